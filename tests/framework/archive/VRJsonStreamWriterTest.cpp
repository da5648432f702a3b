#include "framework/ModelFixtures.h"
#include "framework/styles/StyleTestSupport.h"

#include "framework/archive/VRArchiveWriter.h"
#include "framework/archive/VRJsonStreamWriter.h"
#include "framework/archive/VRJsonTreeWriter.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <functional>
#include <limits>
#include <random>

using namespace qnt::test;

namespace {

QByteArray qtText(const QJsonValue &v)
{
    const QByteArray text = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);
}

// Writes the same values through both writers: the streamed text must be what QJsonDocument
// makes of the tree.
void expectStreamMatchesTree(const std::function<void(VRJsonWriter &)> &write)
{
    VRJsonStreamWriter stream;
    VRJsonTreeWriter tree;
    write(stream);
    write(tree);
    const QByteArray expected = QJsonDocument(tree.takeObject()).toJson(QJsonDocument::Compact);
    EXPECT_EQ(stream.take(), expected);
}

} // namespace

TEST(JsonStreamWriter, NumbersAreSpelledAsQJsonDocumentSpellsThem)
{
    QList<double> numbers{0.0,
                          -0.0,
                          1.0,
                          -1.0,
                          0.5,
                          0.1,
                          1e-4,
                          1.5e-4,
                          0.001,
                          0.01,
                          0.0125,
                          1e-5,
                          2.0 / 3,
                          123456789.25,
                          1e15,
                          1e15 + 0.5,
                          1e16,
                          1.5e17,
                          9.3e18,
                          1e21,
                          1e300,
                          -1e300,
                          4.9e-324,
                          1e7,
                          -2.5e6,
                          12.34567,
                          1e-300,
                          9007199254740992.0,
                          9007199254740991.0,
                          std::nan(""),
                          std::numeric_limits<double>::infinity()};
    std::mt19937_64 random(32);
    std::uniform_real_distribution<double> exponent(-12, 20), mantissa(-1, 1);
    for (int i = 0; i < 20000; ++i) {
        const double d = mantissa(random) * std::pow(10.0, exponent(random));
        numbers.append(d);
        numbers.append(std::round(d));             // whole numbers of every size
        numbers.append(std::round(d * 100) / 100); // coordinates in hundredths
    }
    for (const double d : numbers) {
        QByteArray text;
        VRJsonStreamWriter::appendNumber(text, d);
        ASSERT_EQ(text, qtText(QJsonValue(d))) << d;
    }
}

TEST(JsonStreamWriter, StringsAreEscapedAsQJsonDocumentEscapesThem)
{
    QString controls;
    for (char16_t c = 0; c < 0x80; ++c)
        controls.append(QChar(c));
    const QList<QString> strings{
        QString(),
        QStringLiteral("plain"),
        controls,
        QStringLiteral("quote \" backslash \\ slash /"),
        QString::fromUtf8("Gr\xc3\xbc\xc3\x9f"
                          "e \xe2\x80\xa8 \xef\xbf\xbe"),
        QString::fromUtf16(u"pair \U0001F600 end"),
        QString::fromUtf16(u"lone ") + QChar(0xD800) + QStringLiteral("x") + QChar(0xDC00),
        QString(QChar(0xDBFF)),
    };
    for (const QString &s : strings) {
        QByteArray text;
        VRJsonStreamWriter::appendString(text, s);
        EXPECT_EQ(text, qtText(QJsonValue(s))) << s.toStdString();
    }
}

TEST(JsonStreamWriter, KeysComeOutInObjectOrderAndTheLastWriteOfAKeyCounts)
{
    expectStreamMatchesTree([](VRJsonWriter &w) {
        w.beginObject();
        w.insert("b", 1);
        w.insert("a", QStringLiteral("first"));
        w.key(QString::fromUtf16(u"\U0001F600")); // sorts before U+FFFF by UTF-16 units
        w.value(true);
        w.key(QString(QChar(0xFFFF)));
        w.value(2.5);
        w.insert("B", nullptr);
        w.insert("", QLatin1String("empty key"));
        w.insert("a", QStringLiteral("second"));
        w.beginObject("nested");
        w.insert("z", 1);
        w.insert("y", {1.5, 2.0});
        w.beginArray("list");
        w.beginObject();
        w.insert("q", 1);
        w.insert("p", 2);
        w.end();
        w.value(QJsonValue(QJsonObject{{QStringLiteral("k"), QJsonArray{1, QStringLiteral("v")}}}));
        w.end();
        w.end();
        w.insert("removed", 1);
        w.insert("kept", 1);
        w.remove(QLatin1String("removed"));
        w.insert("again", 1);
        w.remove(QLatin1String("again"));
        w.insert("again", 2);
        w.beginObject("empty");
        w.end();
        w.beginArray("none");
        w.end();
        w.end();
    });
}

TEST(JsonStreamWriter, EveryObjectAndRendererRecordStreamsAsItsTreeIsWritten)
{
    auto drawing = drawingWithEveryKind();
    VRObjectList objects;
    for (int i = 0; i < drawing->countOfLayers(); ++i) {
        if (auto *layer = dynamic_cast<VRObjectOwnerLayer *>(drawing->objectInLayersAtIndex(i)))
            objects.append(layer->objects());
    }
    objects.append(drawing->importedElementsForKey(QStringLiteral("Imported")));
    ASSERT_GE(objects.size(), 18);
    for (const VRObjectRef &object : std::as_const(objects)) {
        SCOPED_TRACE(object->className().toStdString());
        VRArchiveWriter streamArchive, treeArchive;
        VRJsonStreamWriter stream;
        VRJsonTreeWriter tree;
        streamArchive.writeObject(stream, *object);
        treeArchive.writeObject(tree, *object);
        EXPECT_EQ(stream.take(), QJsonDocument(tree.takeObject()).toJson(QJsonDocument::Compact));
        EXPECT_EQ(streamArchive.takeStylesText(), treeArchive.takeStylesText());
        EXPECT_EQ(streamArchive.imagesTable(), treeArchive.imagesTable());
    }
    const VRStyleRef style = styletest::everyRendererStyle();
    QJsonObject images;
    const QJsonObject record = style->toJson(images);
    VRJsonStreamWriter stream;
    QJsonObject streamImages;
    style->writeRecord(stream, streamImages);
    EXPECT_EQ(stream.take(), QJsonDocument(record).toJson(QJsonDocument::Compact));
    EXPECT_EQ(streamImages, images);
}
