#include "framework/notations/FMDatabase.h"
#include "framework/notations/QntColorScheme.h"
#include "framework/notations/QntNotation.h"
#include "framework/notations/QntNotationCompiler.h"

#include "CompiledNotations.h"
#include "framework/notations/QntNotationElementBuilder.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/archive/VRArchiver.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/styles/VRStyle.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class QntNotationElementsTest : public CompiledNotationsTest
{
protected:
    void SetUp() override
    {
        QntColorScheme::setCustomColorSchemePropsRef(nullptr);
        QntColorScheme::releaseColorSchemeCache();
    }
    static QColor fillOf(const VRObjectRef &part) { return part->style()->fillColour(); }
};

TEST_F(QntNotationElementsTest, ColourSchemesRecolourElements)
{
    const QString path = copyOf(QStringLiteral("FlowChart/FlowChart.db"),
                                m_dir.filePath(QStringLiteral("FlowChart.db")));
    QntNotation notation(path);
    ASSERT_TRUE(notation.isValid());
    QHash<QString, qint64> ids;
    for (const auto &scheme : notation.colorSchemesList())
        ids.insert(scheme.name, scheme.schemeId);
    ASSERT_TRUE(ids.contains(QStringLiteral("Ocean")) && ids.contains(QStringLiteral("Forest")));

    auto object = QntElement::createWithElementId(QStringLiteral("fcProcess"), path);
    ASSERT_TRUE(object && object->isKindOf<QntElement>());
    auto element = std::static_pointer_cast<QntElement>(object);
    EXPECT_EQ(element->colorSchemeId(), ids.value(QStringLiteral("Ocean")));
    const VRObjectRef contour = element->contourObject();
    ASSERT_TRUE(contour && contour->style());
    EXPECT_EQ(fillOf(contour).rgb(), QColor(QStringLiteral("#DCEBFA")).rgb());

    element->replaceColorScheme(ids.value(QStringLiteral("Forest")));
    EXPECT_EQ(element->colorSchemeId(), ids.value(QStringLiteral("Forest")));
    EXPECT_EQ(fillOf(contour).rgb(), QColor(QStringLiteral("#DFF3E4")).rgb());
    EXPECT_EQ(contour->style()->strokeColour().rgb(), QColor(QStringLiteral("#2F855A")).rgb());

    // Every element of every list takes the scheme's colours where its parts ask for them.
    int recoloured = 0;
    for (const auto &record : notation.shapeElementsList() + notation.flowChartElementsList()) {
        auto copy = std::static_pointer_cast<QntElement>(
            QntElement::createWithElementId(record.elementId, path));
        ASSERT_TRUE(copy) << record.elementId.toStdString();
        copy->replaceColorScheme(ids.value(QStringLiteral("Forest")));
        for (const auto &part : copy->groupObjects()) {
            if (!part->hasMetadataForKey(QStringLiteral("QntSchemeFill")))
                continue;
            const int index = int(part->intValueForKey(QStringLiteral("QntSchemeFill")));
            EXPECT_EQ(fillOf(part).rgb(),
                      notation.colorSchemesItemsFill(ids.value(QStringLiteral("Forest")))
                          .at(index)
                          .colour.rgb());
            ++recoloured;
        }
    }
    EXPECT_GT(recoloured, 20);

    // The user's customised colours win over the database.
    auto live = std::make_shared<QVariantMap>();
    QVariantMap root{{QStringLiteral("Children"),
                      QVariantList{QVariantMap{
                          {QStringLiteral("Id"), ids.value(QStringLiteral("Forest"))},
                          {QStringLiteral("Children"),
                           QVariantList{QVariantMap{
                               {QStringLiteral("Name"), QStringLiteral("Fill")},
                               {QStringLiteral("Children"),
                                QVariantList{QVariantMap{
                                    {QStringLiteral("Id"), 0},
                                    {QStringLiteral("HexColorValue"), QStringLiteral("#123456")},
                                    {QStringLiteral("AlphaValue"), 1.0}}}}}}}}}}};
    live->insert(notation.notationName(), root);
    QntColorScheme::setCustomColorSchemePropsRef(live);
    element->replaceColorScheme(ids.value(QStringLiteral("Forest")));
    EXPECT_EQ(fillOf(contour).rgb(), QColor(QStringLiteral("#123456")).rgb());
    QntColorScheme::setCustomColorSchemePropsRef(nullptr);
}

TEST_F(QntNotationElementsTest, StoredElementsRoundTripThroughTheWriters)
{
    // importIntoDB starts from the template in the user's notations folder.
    copyOf(QStringLiteral("Misc/CustomizableStyle.db"),
           QntNotation::rootNotationsFolderPath() + QStringLiteral("/Misc/CustomizableStyle.db"));
    QntNotation source(compiledPath(QStringLiteral("Network/Network.db")));
    VRObjectList objects;
    for (const auto &record : source.shapeElementsList())
        objects.append(record.prototype->copy());
    ASSERT_GE(objects.size(), 10);

    const auto imported = QntNotation::importIntoDB(QStringLiteral("My:Stencil?"), objects,
                                                    QByteArray("icon"), QString());
    ASSERT_TRUE(imported.ok()) << imported.errorMessage().toStdString();
    EXPECT_TRUE(imported.value().endsWith(QStringLiteral("/Imported/MyStencil.db")))
        << imported.value().toStdString();
    QntNotation copy(imported.value());
    ASSERT_TRUE(copy.isValid());
    EXPECT_EQ(copy.notationName(), QStringLiteral("MyStencil"));
    EXPECT_EQ(copy.blobParamForKey(QStringLiteral("notationIcon")), QByteArray("icon"));
    auto list = copy.importedElementsList();
    ASSERT_EQ(list.size(), objects.size());
    for (int i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list.at(i).elementId, objects.at(i)->ID());
        // Written, read and written again: the same record (read elements answer to their
        // notation).
        auto original = std::static_pointer_cast<QntElement>(objects.at(i));
        original->setNotationPath(copy.notationPath());
        original->setIsPrototype(true);
        const QByteArray a = VRArchiver::objectData(list.at(i).prototype);
        const QByteArray b = VRArchiver::objectData(original);
        EXPECT_TRUE(a == b) << list.at(i).elementId.toStdString();
    }
    // The template's own element tables stay available to the imported notation.
    EXPECT_TRUE(copy.existElementWithId(QStringLiteral("e100TABLE")));

    // Row writers.
    auto extra = objects.first()->copy();
    extra->setID(QStringLiteral("EXTRA-1"));
    ASSERT_TRUE(QntNotation::insertIntoDB(imported.value(), extra));
    QntNotation after(imported.value());
    EXPECT_EQ(after.importedElementsList().size(), objects.size() + 1);
    extra->setString(QStringLiteral("Renamed"), QStringLiteral("TITLE"));
    EXPECT_TRUE(after.updateImportedElement(extra));
    EXPECT_EQ(after.prototypeForElementId(QStringLiteral("EXTRA-1"))
                  ->stringForKey(QStringLiteral("TITLE")),
              QStringLiteral("Renamed"));
    EXPECT_TRUE(after.removeImportedElement(extra));
    EXPECT_FALSE(after.removeImportedElement(extra));
    EXPECT_FALSE(after.existElementWithId(QStringLiteral("EXTRA-1")));

    // A second import of the same name replaces the first whole.
    const auto again =
        QntNotation::importIntoDB(QStringLiteral("MyStencil.db"), {objects.first()}, {}, QString());
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.value(), imported.value());
    EXPECT_EQ(QntNotation(again.value()).importedElementsList().size(), 1);
}

TEST_F(QntNotationElementsTest, ImportedNotationsAreNeverHiddenFiles)
{
    copyOf(QStringLiteral("Misc/CustomizableStyle.db"),
           QntNotation::rootNotationsFolderPath() + QStringLiteral("/Misc/CustomizableStyle.db"));
    QntNotation source(compiledPath(QStringLiteral("Network/Network.db")));
    const VRObjectList objects{source.shapeElementsList().first().prototype->copy()};
    const QString folder = QntNotation::rootNotationsFolderPath() + QStringLiteral("/Imported");
    const QString names[] = {QStringLiteral(" .x"), QStringLiteral(". .x.db"),
                             QStringLiteral("..x")};
    for (const QString &name : names) {
        const auto imported = QntNotation::importIntoDB(name, objects, {}, QString());
        ASSERT_TRUE(imported.ok()) << imported.errorMessage().toStdString();
        EXPECT_EQ(imported.value(), folder + QStringLiteral("/x.db")) << name.toStdString();
        EXPECT_TRUE(QntNotation(imported.value()).isValid());
    }
    const QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    EXPECT_TRUE(files.contains(QStringLiteral("x.db")));
    for (const QString &file : files)
        EXPECT_FALSE(file.startsWith(QLatin1Char('.'))) << file.toStdString();
    const auto unnamed = QntNotation::importIntoDB(QStringLiteral(" . "), objects, {}, QString());
    EXPECT_FALSE(unnamed.ok());
    QFile::remove(folder + QStringLiteral("/x.db"));
}

TEST_F(QntNotationElementsTest, UnreadableRowsAreSkipped)
{
    const QString path =
        copyOf(QStringLiteral("Office/Office.db"), m_dir.filePath(QStringLiteral("Office.db")));
    const int before = int(QntNotation(path).shapeElementsList().size());
    {
        FMDatabase db(path);
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(db.executeUpdate(
            QStringLiteral("UPDATE Elements SET Data = ? WHERE ID = ?"),
            {QByteArray("{\"format\":\"quintora.objects\",\"objects\":[{\"class\":\"NSObject\"}]}"),
             QStringLiteral("ofFolder")}));
        ASSERT_TRUE(
            db.executeUpdate(QStringLiteral("UPDATE Elements SET Data = ? WHERE ID = ?"),
                             {QByteArray("\x00\x01garbage", 9), QStringLiteral("ofClock")}));
    }
    QntNotation notation(path);
    EXPECT_EQ(notation.shapeElementsList().size(), before - 2);
    EXPECT_FALSE(QntElement::createWithElementId(QStringLiteral("ofFolder"), path));
    EXPECT_TRUE(QntElement::createWithElementId(QStringLiteral("ofBriefcase"), path));
}

// The Thick Arrow body of the flowchart notation offers no arrowheads: the body draws its own
// head. Its band is thinner than the head, which comes to a point at the end of the line.
TEST_F(QntNotationElementsTest, TheThickArrowBodyEndsInItsHead)
{
    const QString path = copyOf(QStringLiteral("FlowChart/FlowChart.db"),
                                m_dir.filePath(QStringLiteral("FlowChart.db")));
    VRDrawing drawing;
    drawing.setCurrentNotationPath(path, QStringLiteral("FlowChart"));
    auto line = std::make_shared<QntConnector>();
    line->setEnds({20, 50}, {220, 50});
    drawing.activeLayerOfClass<VRObjectDrawingLayer>()->addObject(line);
    line->addSkin({{QStringLiteral("bodyID"), QStringLiteral("fcArrowThick")}});
    ASSERT_TRUE(line->hasThickBody());

    QImage picture(240, 100, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    line->render(painter);
    painter.end();
    // The height the body covers across the line at x.
    const auto across = [&picture](int x) {
        int covered = 0;
        for (int y = 0; y < picture.height(); ++y)
            covered += qAlpha(picture.pixel(x, y)) > 128 ? 1 : 0;
        return covered;
    };
    const int band = across(100);
    EXPECT_GT(band, 4);
    EXPECT_GT(across(207), band); // the head is wider than the band
    EXPECT_LT(across(218), band); // and comes to a point
}

} // namespace
