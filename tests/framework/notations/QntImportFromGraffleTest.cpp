#include "framework/notations/QntImportFromGraffle.h"

#include "framework/model/QntElement.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRImageShape.h"
#include "framework/model/VRShapeGroup.h"
#include "framework/model/VRTextShape.h"
#include "framework/styles/VRStyle.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <zlib.h>

namespace {

QByteArray gzipped(const QByteArray &data)
{
    z_stream s{};
    deflateInit2(&s, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&s, uLong(data.size())) + 64), Qt::Uninitialized);
    s.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    s.avail_in = uInt(data.size());
    s.next_out = reinterpret_cast<Bytef *>(out.data());
    s.avail_out = uInt(out.size());
    deflate(&s, Z_FINISH);
    out.resize(qsizetype(s.total_out));
    deflateEnd(&s);
    return out;
}

QByteArray plist(const QByteArray &body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body
           + "</plist>\n";
}

QStringList listing(const QString &folder)
{
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names << it.next();
    names.sort();
    return names;
}

class StencilImportTest : public ::testing::Test
{
protected:
    // The importer remembers the file it reads; a later test finds what it found.
    void TearDown() override { QntImportFromGraffle::setImportedFilepath(m_importedBefore); }
    QString write(const QString &name, const QByteArray &content)
    {
        const QString path = m_dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        return path;
    }
    QTemporaryDir m_dir;
    const QString m_importedBefore = QntImportFromGraffle::importedFilepath();
};

TEST_F(StencilImportTest, StencilNamesNeverNameHiddenFiles)
{
    const QByteArray stencil = plist(R"(<dict><key>Objects</key><array>
        <dict><key>Kind</key><string>shape</string>
              <key>Frame</key><array><real>0</real><real>0</real><real>20</real><real>20</real></array></dict>
      </array></dict>)");
    const struct {
        const char *file;
        const char *name;
    } cases[] = {{" .Hidden.plist", "Hidden"}, {". .plist", "Stencil"}};
    for (const auto &c : cases) {
        QntImportFromGraffle::setImportedFilepath(write(QString::fromUtf8(c.file), stencil));
        QntImportFromGraffle reader;
        const auto read = reader.readStencil();
        ASSERT_TRUE(read.ok()) << c.file << ": " << read.errorMessage().toStdString();
        EXPECT_EQ(read->value(QStringLiteral("LastImportedFilename")).toString(),
                  QString::fromUtf8(c.name))
            << c.file;
    }
}

TEST_F(StencilImportTest, DocumentedExampleReads)
{
    const QString path = write(QStringLiteral("Basic Shapes!.plist"), plist(R"(<dict>
      <key>Title</key><string>Basics</string>
      <key>Objects</key><array>
        <dict><key>Kind</key><string>shape</string><key>Name</key><string>Box</string>
              <key>Frame</key><array><real>10</real><real>20</real><real>100</real><real>50</real></array>
              <key>Shape</key><string>roundrect</string><key>Fill</key><string>#FFCC00FF</string>
              <key>Stroke</key><string>#000000FF</string><key>StrokeWidth</key><real>2</real>
              <key>Text</key><string>Hello</string><key>Unknown</key><string>ignored</string></dict>
        <dict><key>Kind</key><string>hologram</string></dict>
        <dict><key>Kind</key><string>line</string>
              <key>Frame</key><array><real>0</real><real>0</real><real>50</real><real>50</real></array></dict>
      </array></dict>)"));
    QntImportFromGraffle::setImportedFilepath(path);
    QntImportFromGraffle reader;
    const auto stencil = reader.readStencil();
    ASSERT_TRUE(stencil.ok()) << stencil.errorMessage().toStdString();
    EXPECT_EQ(stencil->value(QStringLiteral("LastImportedFilename")).toString(),
              QStringLiteral("Basic Shapes"));
    EXPECT_FALSE(stencil->contains(QStringLiteral("Sheets")));
    const VRObjectList objects = reader.all(*stencil);
    ASSERT_EQ(objects.size(), 2); // the unknown kind is skipped
    EXPECT_TRUE(objects.at(0)->isMemberOf<VRDrawableShape>());
    EXPECT_EQ(objects.at(0)->logicalBounds().toRect(), QRect(10, 20, 100, 50));
    EXPECT_EQ(objects.at(0)->style()->fillColour(), QColor(0xFF, 0xCC, 0x00));
    EXPECT_TRUE(objects.at(1)->isKindOf<VRDrawablePath>());
    const VRObjectList elements = reader.all2Elements(objects);
    ASSERT_EQ(elements.size(), 2);
    ASSERT_TRUE(elements.at(0)->isKindOf<QntElement>());
    EXPECT_TRUE(elements.at(0)->ID().endsWith(QLatin1String("IMPORTED")));
    EXPECT_NE(elements.at(0)->ID(), elements.at(1)->ID());
    EXPECT_EQ(elements.at(0)->stringForKey(QStringLiteral("tooltip")), QStringLiteral("Box"));
    ASSERT_TRUE(static_cast<QntElement &>(*elements.at(0)).text());
    EXPECT_EQ(static_cast<QntElement &>(*elements.at(0)).text()->string(), QStringLiteral("Hello"));
    QImage icon;
    ASSERT_TRUE(icon.loadFromData(reader.imageData(objects)));
    EXPECT_EQ(icon.size(), QSize(64, 64));
}

TEST_F(StencilImportTest, WrittenStencilsReadBack)
{
    auto box =
        VRDrawableShape::shapeWithRect(QRectF(10, 10, 80, 40), VRDrawableShape::unitRectAtOrigin());
    box->setStyle(VRStyle::styleWithFillColour(QColor(10, 20, 30), QColor(200, 100, 50), 3));
    box->setString(QStringLiteral("Box"), QStringLiteral("name"));
    auto oval = VRDrawableShape::shapeWithRect(QRectF(100, 10, 60, 60),
                                               VRDrawableShape::unitOvalAtOrigin());
    oval->setStyle(VRStyle::styleWithFillColour(QColor(Qt::yellow), QColor(Qt::black), 1));
    QPainterPath zig;
    zig.moveTo(0, 100);
    zig.lineTo(50, 150);
    zig.cubicTo(60, 160, 80, 160, 100, 100);
    auto line = VRDrawablePath::drawablePathWithBezierPath(zig);
    line->setStyle(VRStyle::styleWithFillColour(QColor(), QColor(Qt::red), 2));
    auto text = std::make_shared<VRTextShape>();
    text->setSize(QSizeF(120, 30));
    text->setLocation(QPointF(300, 50));
    text->setString(QStringLiteral("Label text"));
    auto a = VRDrawableShape::shapeWithRect(QRectF(200, 200, 20, 20),
                                            VRDrawableShape::unitRectAtOrigin());
    auto b = VRDrawableShape::shapeWithRect(QRectF(240, 220, 20, 20),
                                            VRDrawableShape::unitOvalAtOrigin());
    a->setStyle(VRStyle::styleWithFillColour(QColor(Qt::green), QColor(Qt::black), 1));
    b->setStyle(VRStyle::styleWithFillColour(QColor(Qt::blue), QColor(Qt::black), 1));
    auto group = VRShapeGroup::groupWithObjects({a, b});
    QImage picture(16, 8, QImage::Format_ARGB32);
    picture.fill(Qt::magenta);
    auto image = std::make_shared<VRImageShape>(picture);
    image->setLocation(QPointF(400, 400));
    const VRObjectList objects{box, oval, line, text, group, image};

    for (const QString &name : {QStringLiteral("out.plist"), QStringLiteral("out.gstencil"),
                                QStringLiteral("Out.graffle")}) {
        const QString path = m_dir.filePath(name);
        const auto written = QntImportFromGraffle::writeStencil(
            path, {{QStringLiteral("One"), objects}, {QStringLiteral("Two"), {box}}});
        ASSERT_TRUE(written.ok()) << written.errorMessage().toStdString();
        QntImportFromGraffle::setImportedFilepath(path);
        QntImportFromGraffle reader;
        const auto stencil = reader.readStencil();
        ASSERT_TRUE(stencil.ok()) << stencil.errorMessage().toStdString();
        const QVariantList sheets = stencil->value(QStringLiteral("Sheets")).toList();
        ASSERT_EQ(sheets.size(), 2);
        const VRObjectList back = reader.all(sheets.first().toMap());
        const bool folder = name.endsWith(QLatin1String(".graffle"));
        // Pictures travel only in the folder form.
        ASSERT_EQ(back.size(), folder ? 6 : 5) << name.toStdString();
        for (int i = 0; i < back.size(); ++i) {
            const QRectF want = objects.at(i)->logicalBounds();
            const QRectF got = back.at(i)->logicalBounds();
            EXPECT_NEAR(got.x(), want.x(), 0.5) << name.toStdString() << " object " << i;
            EXPECT_NEAR(got.y(), want.y(), 0.5);
            EXPECT_NEAR(got.width(), want.width(), 0.5);
            EXPECT_NEAR(got.height(), want.height(), 0.5);
        }
        EXPECT_EQ(back.at(0)->style()->fillColour(), QColor(10, 20, 30));
        EXPECT_EQ(back.at(0)->style()->strokeColour(), QColor(200, 100, 50));
        EXPECT_DOUBLE_EQ(back.at(0)->style()->strokeWidth(), 3.0);
        EXPECT_EQ(back.at(0)->stringForKey(QStringLiteral("name")), QStringLiteral("Box"));
        EXPECT_TRUE(back.at(2)->isKindOf<VRDrawablePath>());
        ASSERT_TRUE(back.at(3)->isKindOf<VRTextShape>());
        EXPECT_EQ(static_cast<VRTextShape &>(*back.at(3)).string(), QStringLiteral("Label text"));
        ASSERT_TRUE(back.at(4)->isKindOf<VRShapeGroup>());
        EXPECT_EQ(static_cast<VRShapeGroup &>(*back.at(4)).groupObjects().size(), 2);
        if (folder) {
            ASSERT_TRUE(back.at(5)->isKindOf<VRImageShape>());
            EXPECT_EQ(static_cast<VRImageShape &>(*back.at(5)).image().size(), QSize(16, 8));
        }
    }
}

TEST_F(StencilImportTest, ForeignAndDamagedFilesAreRefusedClearly)
{
    QByteArray deep = "<dict><key>Objects</key><array>";
    for (int i = 0; i < 40; ++i)
        deep += "<dict><key>Kind</key><string>group</string><key>Objects</key><array>";
    for (int i = 0; i < 40; ++i)
        deep += "</array></dict>";
    deep += "</array></dict>";
    QByteArray many = "<dict><key>Objects</key><array>";
    for (int i = 0; i < 10001; ++i)
        many += "<dict><key>Kind</key><string>shape</string></dict>";
    many += "</array></dict>";
    const QByteArray valid = plist("<dict><key>Objects</key><array/></dict>");
    QByteArray bomb =
        "<?xml version=\"1.0\"?><plist><dict><key>Objects</key><array/><key>Pad</key><string>";
    bomb += QByteArray(40 * 1024 * 1024, 'a');
    bomb += "</string></dict></plist>";
    struct Case {
        const char *name;
        QByteArray content;
        const char *reason;
    };
    const Case cases[] = {
        {"other.graffle.plist",
         plist("<dict><key>GraphicsList</key><array/><key>ApplicationVersion</key><array/></dict>"),
         "another program"},
        {"binary.plist", QByteArray("bplist00\xd0\x08\x00\x00", 12), "binary"},
        {"junk.plist", QByteArray("\x01\x02\x03 not a stencil"), "malformed"},
        {"truncated.plist", valid.left(valid.size() / 2), "malformed"},
        {"truncated.gstencil", gzipped(valid).left(20), "compressed data"},
        {"bomb.gstencil", gzipped(bomb), "larger than 32 MiB"},
        {"deep.plist", plist(deep), "nested"},
        {"many.plist", plist(many), "more than 10000 objects"},
        {"format.plist",
         plist("<dict><key>Format</key><string>acme.stencil</string><key>Objects</key><array/></"
               "dict>"),
         "acme.stencil"},
        {"newer.plist",
         plist("<dict><key>Version</key><integer>9</integer><key>Objects</key><array/></dict>"),
         "newer version"},
        {"empty.plist", plist("<dict/>"), "neither"},
        {"array.plist", plist("<array/>"), "dictionary"},
        {"entity.plist",
         QByteArray("<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY x "
                    "\"y\">]><plist><dict><key>&x;</key><string/></dict></plist>"),
         ""},
        {"escape.graffle/stencil.plist",
         plist("<dict><key>ImageList</key><array><string>../../secret.png</string></"
               "array><key>Objects</key><array/></dict>"),
         "outside the stencil"},
    };
    for (const Case &c : cases) {
        const QString path = write(QString::fromLatin1(c.name), c.content);
        const QString opened = QString::fromLatin1(c.name).contains(QLatin1String(".graffle/"))
                                   ? QFileInfo(path).absolutePath()
                                   : path;
        const QStringList before = listing(m_dir.path());
        QntImportFromGraffle::setImportedFilepath(opened);
        QntImportFromGraffle reader;
        const auto stencil = reader.readStencil();
        EXPECT_FALSE(stencil.ok()) << c.name;
        const QString message = stencil.errorMessage();
        EXPECT_TRUE(message.contains(QFileInfo(opened).fileName())) << message.toStdString();
        EXPECT_TRUE(message.contains(QLatin1String(c.reason)))
            << c.name << ": " << message.toStdString();
        EXPECT_TRUE(message.contains(QLatin1String("Quintora imports stencils in its own format")))
            << c.name;
        EXPECT_EQ(listing(m_dir.path()), before) << c.name;
    }
    QntImportFromGraffle::setImportedFilepath(m_dir.filePath(QStringLiteral("missing.plist")));
    QntImportFromGraffle reader;
    const auto stencil = reader.readStencil();
    EXPECT_FALSE(stencil.ok());
    EXPECT_TRUE(stencil.errorMessage().contains(QLatin1String("does not exist")));
}

// The pictures of one stencil share one budget of decoded pixels: five pictures of 8000 × 4000
// (small files, one bit a pixel) are refused before any is decoded; four are read.
TEST_F(StencilImportTest, PicturesPastTheStencilBudgetAreRefused)
{
    for (const int count : {4, 5}) {
        const QString folder = m_dir.filePath(QStringLiteral("Pictures%1.graffle").arg(count));
        QByteArray names;
        QByteArray objects;
        for (int i = 0; i < count; ++i) {
            QImage picture(8000, 4000, QImage::Format_Mono);
            picture.fill(0);
            picture.setPixel(i, 0, 1);
            const QString name = QStringLiteral("p%1.png").arg(i);
            QDir().mkpath(folder);
            ASSERT_TRUE(picture.save(QDir(folder).filePath(name)));
            names += "<string>" + name.toUtf8() + "</string>";
            objects += "<dict><key>Kind</key><string>image</string><key>Image</key><integer>"
                       + QByteArray::number(i)
                       + "</integer><key>Frame</key><array><real>0</real><real>0</real>"
                         "<real>80</real><real>40</real></array></dict>";
        }
        write(QStringLiteral("Pictures%1.graffle/stencil.plist").arg(count),
              plist("<dict><key>ImageList</key><array>" + names
                    + "</array><key>Objects</key><array>" + objects + "</array></dict>"));
        QntImportFromGraffle::setImportedFilepath(folder);
        QntImportFromGraffle reader;
        const auto stencil = reader.readStencil();
        if (count == 4) {
            EXPECT_TRUE(stencil.ok()) << stencil.errorMessage().toStdString();
            continue;
        }
        ASSERT_FALSE(stencil.ok());
        EXPECT_TRUE(stencil.errorMessage().contains(
            QLatin1String("its pictures are too large: together they hold more than 134 million")))
            << stencil.errorMessage().toStdString();
    }
}

} // namespace

TEST_F(StencilImportTest, GroupsWithTextsBecomeGroupElementsOfElements)
{
    const QString path = write(QStringLiteral("Panel.plist"), plist(R"(<dict>
      <key>Objects</key><array>
        <dict><key>Kind</key><string>group</string><key>Name</key><string>Panel</string>
              <key>Text</key><string>Title</string><key>Objects</key><array>
          <dict><key>Kind</key><string>shape</string>
                <key>Frame</key><array><real>0</real><real>0</real><real>200</real><real>80</real></array></dict>
          <dict><key>Kind</key><string>shape</string><key>Text</key><string>Left</string>
                <key>Frame</key><array><real>10</real><real>10</real><real>80</real><real>60</real></array></dict>
          <dict><key>Kind</key><string>group</string><key>Objects</key><array>
            <dict><key>Kind</key><string>shape</string><key>Text</key><string>Right</string>
                  <key>Frame</key><array><real>110</real><real>10</real><real>80</real><real>60</real></array></dict>
          </array></dict>
        </array></dict>
        <dict><key>Kind</key><string>group</string><key>Objects</key><array>
          <dict><key>Kind</key><string>shape</string>
                <key>Frame</key><array><real>0</real><real>0</real><real>20</real><real>20</real></array></dict>
          <dict><key>Kind</key><string>shape</string>
                <key>Frame</key><array><real>30</real><real>0</real><real>20</real><real>20</real></array></dict>
        </array></dict>
      </array></dict>)"));
    QntImportFromGraffle::setImportedFilepath(path);
    QntImportFromGraffle reader;
    const auto stencil = reader.readStencil();
    ASSERT_TRUE(stencil.ok()) << stencil.errorMessage().toStdString();
    const VRObjectList elements = reader.all2Elements(reader.all(*stencil));
    ASSERT_EQ(elements.size(), 2);
    // The members with texts are elements of their own, each showing its text where it was.
    const auto &panel = static_cast<QntElement &>(*elements.at(0));
    ASSERT_TRUE(panel.text());
    EXPECT_EQ(panel.text()->string(), QStringLiteral("Title"));
    EXPECT_EQ(panel.logicalBounds().toRect(), QRect(0, 0, 200, 80));
    const QList<std::shared_ptr<QntElement>> members = panel.allElements();
    ASSERT_EQ(members.size(), 2);
    const struct {
        const char *text;
        QRect bounds;
    } expected[] = {{"Left", QRect(10, 10, 80, 60)}, {"Right", QRect(110, 10, 80, 60)}};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(members.at(i)->text()) << i;
        EXPECT_EQ(members.at(i)->text()->string(), QString::fromUtf8(expected[i].text));
        EXPECT_EQ(members.at(i)->logicalBounds().toRect(), expected[i].bounds) << i;
        EXPECT_TRUE(panel.parts().contains(members.at(i))) << i;
        EXPECT_EQ(members.at(i)->ID(), panel.ID() + QLatin1Char('.') + QString::number(i + 1));
    }
    // A copy, as the palette makes one, keeps them.
    const VRObjectRef copy = panel.copy();
    EXPECT_EQ(static_cast<QntElement &>(*copy).allElements().size(), 2);
    // A group without texts stays one member of its element.
    const auto &plain = static_cast<QntElement &>(*elements.at(1));
    EXPECT_TRUE(plain.allElements().isEmpty());
    ASSERT_EQ(plain.groupObjects().size(), 1);
    EXPECT_TRUE(plain.groupObjects().first()->isMemberOf<VRShapeGroup>());
}
