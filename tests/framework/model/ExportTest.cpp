#include "framework/ModelFixtures.h"
#include "common/GoldenPicture.h"

#include "framework/base/VRConstants.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorDoubleText.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntTextCell.h"
#include "framework/styles/VRTextAdornment.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntText.h"
#include "framework/model/VRTextShape.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRGradient.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStyle.h"
#include "common/QtChildProcess.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QXmlStreamReader>

#include <functional>
#include <sstream>

using namespace qnt::test;

namespace {

QString save(const QTemporaryDir &dir, const QString &name, const QByteArray &data)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(data);
    return path;
}

QImage decode(const QByteArray &data)
{
    QBuffer buffer;
    buffer.setData(data);
    QImageReader reader(&buffer);
    return reader.read();
}

// The drawing area, in points, that the picture's visible pixels cover (null when none is).
QRectF paintedArea(const QImage &image, double scale, QPointF origin = {})
{
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            // Faint antialiasing past the edge does not count.
            if (qAlpha(line[x]) < 24)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0)
        return {};
    return QRectF(left / scale, top / scale, (right + 1 - left) / scale, (bottom + 1 - top) / scale)
        .translated(origin);
}

// The drawing area, in points, that the object covers when drawn alone with a wide margin
// around its bounds, so nothing it paints outside them is cut off.
QRectF paintedAlone(const VRDrawableObject &object)
{
    const double scale = 4;
    const QRectF area = object.bounds().adjusted(-40, -40, 40, 40);
    QImage image((area.size() * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    painter.translate(-area.topLeft());
    object.render(painter);
    painter.end();
    return paintedArea(image, scale, area.topLeft());
}

std::string describe(const QRectF &r)
{
    std::ostringstream text;
    text << "(" << r.left() << ", " << r.top() << ", " << r.right() << ", " << r.bottom() << ")";
    return text.str();
}

class Export : public ::testing::Test
{
protected:
    void SetUp() override { m_drawing = drawingWithEveryKind(); }
    std::unique_ptr<VRDrawing> m_drawing;
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(Export, PdfIsOneVectorPageOfTheDrawingSize)
{
    const QByteArray pdf = m_drawing->PDFDataWithProperties({});
    ASSERT_TRUE(pdf.startsWith("%PDF"));
    const QString info =
        childOutput(QStringLiteral("pdfinfo"), {save(m_dir, QStringLiteral("d.pdf"), pdf)});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))))
        << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+800 x 600 pts"))))
        << info.toStdString();
    // Cropped to the objects.
    const QSizeF crop = m_drawing->sourceImageSizeWithCropping(true);
    EXPECT_LT(crop.width(), 800);
    const QString cropped =
        childOutput(QStringLiteral("pdfinfo"),
                    {save(m_dir, QStringLiteral("c.pdf"),
                          m_drawing->PDFDataWithProperties({{kQntCropExportedFile, true}}))});
    const QRegularExpression size(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts"));
    const auto match = size.match(cropped);
    ASSERT_TRUE(match.hasMatch()) << cropped.toStdString();
    EXPECT_NEAR(match.captured(1).toDouble(), crop.width(), 1.0);
    EXPECT_NEAR(match.captured(2).toDouble(), crop.height(), 1.0);
}

TEST_F(Export, PngHasTheResolutionSizeAndAlphaAsked)
{
    const QByteArray png = m_drawing->PNGDataWithProperties({{kVRExportPropertiesResolution, 144}});
    const QString info =
        childOutput(QStringLiteral("file"), {save(m_dir, QStringLiteral("d.png"), png)});
    EXPECT_TRUE(info.contains(QStringLiteral("PNG image data, 1600 x 1200"))) << info.toStdString();
    const QImage image = decode(png);
    EXPECT_EQ(image.size(), QSize(1600, 1200));
    EXPECT_EQ(qRound(image.dotsPerMeterX() * 0.0254), 144);
    EXPECT_EQ(image.pixelColor(2, 2).alpha(), 255); // paper painted

    const QImage alpha = decode(m_drawing->PNGDataWithProperties({{kQntPNGAlpha, true}}));
    EXPECT_EQ(alpha.pixelColor(2, 2).alpha(), 0);

    const QImage sized = decode(
        m_drawing->PNGDataWithProperties({{kQntExportedWidth, 400}, {kQntExportedHeight, 100}}));
    EXPECT_EQ(sized.size(), QSize(400, 100));
    const QImage widthOnly = decode(m_drawing->PNGDataWithProperties({{kQntExportedWidth, 400}}));
    EXPECT_EQ(widthOnly.size(), QSize(400, 300));
}

TEST_F(Export, JpegQualityAndProgressive)
{
    const QByteArray low = m_drawing->JPEGDataWithProperties({{kNSImageCompressionFactor, 0.1}});
    const QByteArray high = m_drawing->JPEGDataWithProperties({{kNSImageCompressionFactor, 1.0}});
    EXPECT_LT(low.size(), high.size());
    const QString baseline =
        childOutput(QStringLiteral("file"), {save(m_dir, QStringLiteral("b.jpg"), high)});
    EXPECT_TRUE(baseline.contains(QStringLiteral("JPEG image data"))) << baseline.toStdString();
    EXPECT_TRUE(baseline.contains(QStringLiteral("800x600"))) << baseline.toStdString();
    const QByteArray progressive = m_drawing->JPEGDataWithProperties({{kNSImageProgressive, true}});
    const QString info =
        childOutput(QStringLiteral("file"), {save(m_dir, QStringLiteral("p.jpg"), progressive)});
    EXPECT_TRUE(info.contains(QStringLiteral("progressive"))) << info.toStdString();
}

TEST_F(Export, TiffCompressionAndAlpha)
{
    const QByteArray lzw =
        m_drawing->TIFFDataWithProperties({{kNSImageCompressionMethod, 5}, {kQntTIFFAlpha, true}});
    const QByteArray plain = m_drawing->TIFFDataWithProperties({});
    EXPECT_LT(lzw.size(), plain.size());
    const QString info =
        childOutput(QStringLiteral("file"), {save(m_dir, QStringLiteral("d.tiff"), lzw)});
    EXPECT_TRUE(info.contains(QStringLiteral("TIFF image data"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("LZW"))) << info.toStdString();
    EXPECT_EQ(decode(lzw).pixelColor(1, 1).alpha(), 0);
    EXPECT_EQ(decode(plain).size(), QSize(800, 600));
}

TEST_F(Export, SvgParsesAndHasNoForeignObject)
{
    VRDrawingDocument document;
    document.setDrawing(drawingWithEveryKind());
    const auto svg =
        document.saveToSVG(QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("d.svg"))), {});
    ASSERT_TRUE(svg.has_value());
    EXPECT_FALSE(svg->contains("foreignObject"));
    const QString path = save(m_dir, QStringLiteral("d.svg"), *svg);
    const QString out = childOutput(
        QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import sys,xml.etree.ElementTree as E;r=E.parse(sys.argv[1]).getroot();"
                        "print(r.tag, r.get('width'), r.get('height'), r.get('viewBox'))"),
         path});
    EXPECT_TRUE(out.startsWith(QStringLiteral("{http://www.w3.org/2000/svg}svg")))
        << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("0 0 800 600"))) << out.toStdString();
}

namespace {

QStringList &qtMessages()
{
    static QStringList messages;
    return messages;
}

void keepQtMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    qtMessages().append(message);
}

struct SvgText {
    QString content;
    double fontSize = 0;
};

// The texts of an SVG file as a reader finds them (the characters of each text element, its
// spans included) and their font sizes.
QList<SvgText> svgTexts(const QByteArray &svg)
{
    QList<SvgText> texts;
    QXmlStreamReader reader(svg);
    int depth = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("text")) {
            if (depth++ == 0)
                texts.append({QString(), reader.attributes().value("font-size").toDouble()});
        } else if (reader.isEndElement() && reader.name() == QLatin1String("text")) {
            --depth;
        } else if (reader.isCharacters() && depth > 0) {
            texts.last().content += reader.text();
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    return texts;
}

} // namespace

TEST_F(Export, SvgTextsStayTextsAtTheSizeTheyAreDrawn)
{
    VRDrawing drawing;
    drawing.setDrawingSize(QSizeF(400, 200));
    drawing.gridLayer()->setVisible(false);
    auto text = std::make_shared<VRTextShape>();
    text->restoreGeometry({QPointF(200, 100), QSizeF(390, 80), QSizeF(0, 0), 0.0, QPainterPath()});
    text->setString(QStringLiteral("Quarterly planning & review\nsecond <line>"));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(18);
    text->setFont(font);
    drawing.activeLayerOfClass<VRObjectDrawingLayer>()->addObject(text);

    const QByteArray svg = drawing.SVGDataWithProperties({});
    const QList<SvgText> texts = svgTexts(svg);
    ASSERT_EQ(texts.size(), 2) << svg.toStdString();
    EXPECT_EQ(texts.at(0).content, QStringLiteral("Quarterly planning & review"));
    EXPECT_EQ(texts.at(1).content, QStringLiteral("second <line>"));
    // 18 points laid out as on screen and in the PNG export: 24 pixels, one unit each.
    for (const SvgText &t : texts)
        EXPECT_NEAR(t.fontSize, 24.0, 0.01);
    EXPECT_FALSE(svg.contains("foreignObject"));
}

TEST_F(Export, SvgWritesAFilledAndStrokedShapeAsOneElement)
{
    VRDrawing drawing;
    drawing.setDrawingSize(QSizeF(300, 200));
    drawing.gridLayer()->setVisible(false);
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    for (int k = 0; k < 5; ++k) {
        auto shape = VRDrawableShape::shapeWithRect(QRectF(10 + 50 * k, 20, 40, 30));
        shape->setStyle(VRStyle::styleWithFillColour(QColor(200, 100, 50), Qt::black, 2));
        layer->addObject(shape);
    }
    const QByteArray svg = drawing.SVGDataWithProperties({});
    // One element each, filled and stroked, and no other copy of the shapes.
    const QRegularExpression both(
        QStringLiteral("<path[^>]* fill=\"#c86432\"[^>]* stroke=\"#000000\"[^>]*/>"));
    EXPECT_EQ(QString::fromUtf8(svg).count(both), 5) << svg.toStdString();
    EXPECT_EQ(svg.count("#c86432"), 5) << svg.toStdString();
    EXPECT_EQ(svg.count("#000000"), 5) << svg.toStdString();
}

TEST_F(Export, SvgSweepGradientIsAPictureWithNoDanglingReference)
{
    VRDrawing drawing;
    drawing.setDrawingSize(QSizeF(300, 200));
    drawing.gridLayer()->setVisible(false);
    auto gradient = VRGradient::create();
    gradient->setColorStops({{0.0, Qt::red}, {1.0, Qt::blue}});
    gradient->setGradientType(VRGradient::Sweep);
    auto style = VRStyle::create();
    style->addRenderer(VRFill::fillWithGradient(gradient));
    style->addRenderer(VRStroke::strokeWithWidth(2, Qt::black));
    auto shape = VRDrawableShape::shapeWithRect(QRectF(50, 40, 120, 120),
                                                VRDrawableShape::unitOvalAtOrigin());
    shape->setStyle(style);
    drawing.activeLayerOfClass<VRObjectDrawingLayer>()->addObject(shape);

    qtMessages().clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepQtMessage);
    const QByteArray svg = drawing.SVGDataWithProperties({});
    qInstallMessageHandler(previous);
    EXPECT_EQ(svg.count("<image"), 1) << svg.left(2000).toStdString();
    // Every reference names an element of the file.
    const QRegularExpression reference(QStringLiteral("url\\(#([^)]*)\\)"));
    int references = 0;
    for (const auto &match : reference.globalMatch(QString::fromUtf8(svg))) {
        ++references;
        EXPECT_FALSE(match.captured(1).isEmpty());
        EXPECT_TRUE(svg.contains("id=\"" + match.captured(1).toUtf8() + "\""))
            << match.captured(0).toStdString();
    }
    EXPECT_GE(references, 1); // the clip of the drawing's area
    EXPECT_TRUE(qtMessages().isEmpty()) << qtMessages().join(u'\n').toStdString();
}

TEST_F(Export, GridOnlyWhenAsked)
{
    m_drawing->gridLayer()->setVisible(true);
    const QImage without = decode(m_drawing->PNGDataWithProperties({}));
    const QImage with =
        decode(m_drawing->PNGDataWithProperties({{kVKIncludeGridInExportedFile, true}}));
    EXPECT_GT(differingPixels(without, with), 1000);
    EXPECT_FALSE(m_drawing->gridLayer()->shouldDrawToPrinter()); // restored after the export
}

TEST(ExportSizes, CroppingAndEmptyDrawings)
{
    VRDrawing drawing;
    drawing.setDrawingSize(QSizeF(300, 200));
    EXPECT_EQ(drawing.sourceImageSizeWithCropping(false), QSizeF(300, 200));
    EXPECT_EQ(drawing.sourceImageSizeWithCropping(true), QSizeF(0, 0));
    EXPECT_TRUE(drawing.PNGDataWithProperties({{kQntCropExportedFile, true}}).isEmpty());
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    auto shape = VRDrawableShape::shapeWithRect(QRectF(10, 20, 30, 40));
    shape->setStyle(VRStyle::styleWithFillColour(Qt::red, Qt::black, 2));
    layer->addObject(shape);
    const QSizeF crop = drawing.sourceImageSizeWithCropping(true);
    // The stroke is included: at least half its width on each side.
    EXPECT_GE(crop.width(), 32);
    EXPECT_LE(crop.width(), 40);
    EXPECT_GE(crop.height(), 42);
    EXPECT_LE(crop.height(), 50);
    // Absurd sizes are refused instead of exhausting memory.
    EXPECT_TRUE(drawing.PNGDataWithProperties({{kVRExportPropertiesResolution, 1e6}}).isEmpty());
}

TEST_F(Export, InterlacedPngHoldsTheSamePicture)
{
    // The interlace method is byte 28 of the file: signature (8), IHDR length and type (8),
    // width, height, depth, colour type, compression and filter (12).
    for (const bool alpha : {false, true}) {
        SCOPED_TRACE(alpha);
        const QVariantMap plain{{kVRExportPropertiesResolution, 144}, {kQntPNGAlpha, alpha}};
        QVariantMap interlacedOptions = plain;
        interlacedOptions.insert(kNSImageInterlaced, true);
        const QByteArray interlaced = m_drawing->PNGDataWithProperties(interlacedOptions);
        const QByteArray flat = m_drawing->PNGDataWithProperties(plain);
        ASSERT_GT(interlaced.size(), 29);
        ASSERT_GT(flat.size(), 29);
        EXPECT_EQ(interlaced.mid(12, 4), "IHDR");
        EXPECT_EQ(int(interlaced.at(28)), 1);
        EXPECT_EQ(int(flat.at(28)), 0);
        const QImage a = decode(interlaced);
        const QImage b = decode(flat);
        ASSERT_EQ(a.size(), QSize(1600, 1200));
        EXPECT_EQ(a.convertToFormat(QImage::Format_ARGB32),
                  b.convertToFormat(QImage::Format_ARGB32));
        EXPECT_EQ(qRound(a.dotsPerMeterX() * 0.0254), 144);
        EXPECT_EQ(a.hasAlphaChannel(), b.hasAlphaChannel());
    }
}

// Whatever an object paints lies within its bounds, strokes whole: the bounds are what a crop to
// the objects, a repaint and hit testing go by. Strokes are made thick, so half of one left
// out shows.
TEST_F(Export, EveryObjectPaintsWithinItsBounds)
{
    auto *layer = m_drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    ASSERT_NE(layer, nullptr);
    int tables = 0;
    for (const VRObjectRef &object : layer->objects()) {
        if (auto *table = dynamic_cast<QntElementTable *>(object.get())) {
            table->setGridLineWidth(9);
            ++tables;
        }
        const QRectF bounds = object->bounds();
        const QRectF painted = paintedAlone(*object);
        const QRectF allowed = bounds.adjusted(-0.5, -0.5, 0.5, 0.5);
        EXPECT_TRUE(painted.isNull() || allowed.contains(painted))
            << object->className().toStdString() << " paints " << describe(painted)
            << " beyond its bounds " << describe(bounds);
    }
    EXPECT_EQ(tables, 1);
}

// A drawing cropped to its objects holds a table's outer grid line whole: the picture's edge
// rows and columns are the line, as wide as it is.
TEST(ExportSizes, CroppingHoldsATablesWholeGridLine)
{
    struct Case {
        double gridWidth;
        bool frame;
    };
    for (const Case c : {Case{1, true}, Case{6, true}, Case{6, false}}) {
        SCOPED_TRACE(testing::Message() << "grid " << c.gridWidth << " frame " << c.frame);
        VRDrawing drawing;
        drawing.setDrawingSize(QSizeF(400, 300));
        drawing.gridLayer()->setVisible(false);
        auto table = QntElementTable::tableWithRows(2, 3, QSizeF(50, 24));
        table->setLocation(QPointF(200, 150));
        table->setGridColor(Qt::black);
        table->setGridLineWidth(c.gridWidth);
        table->setShowTableFrame(c.frame);
        drawing.activeLayerOfClass<VRObjectDrawingLayer>()->addObject(table);
        const double half = c.gridWidth / 2;
        const QRectF outline = table->logicalBounds();
        const QRectF source = drawing.printableObjectsBounds();
        EXPECT_TRUE(source.contains(outline.adjusted(-half, -half, half, half)));
        EXPECT_EQ(drawing.sourceImageSizeWithCropping(true), source.size());
        const QImage image =
            decode(drawing.PNGDataWithProperties({{kQntCropExportedFile, true},
                                                  {kVRExportPropertiesResolution, 288},
                                                  {kQntPNGAlpha, true}}));
        ASSERT_FALSE(image.isNull());
        const QRectF painted =
            paintedArea(image.convertToFormat(QImage::Format_ARGB32), 4, source.topLeft());
        ASSERT_FALSE(painted.isNull());
        // Every side of the line is in the picture: it reaches half the line's width past the
        // outline, and no further than the picture's own edge.
        EXPECT_NEAR(painted.left(), outline.left() - half, 0.5);
        EXPECT_NEAR(painted.top(), outline.top() - half, 0.5);
        EXPECT_NEAR(painted.right(), outline.right() + half, 0.5);
        EXPECT_NEAR(painted.bottom(), outline.bottom() + half, 0.5);
    }
}

namespace {

QFont testFont(const char *family, double size, bool italic, bool bold = false)
{
    QFont font{QString::fromLatin1(family)};
    font.setPointSizeF(size);
    font.setItalic(italic);
    font.setBold(bold);
    return font;
}

// A free text in a box of its text's own size (the Text tool's), or of the size given.
VRObjectRef freeText(const QString &text, const QFont &font, QSizeF box = {}, double angle = 0)
{
    auto shape = std::make_shared<VRTextShape>();
    shape->setString(text);
    shape->setFont(font);
    if (box.isEmpty())
        box = shape->textBlock().naturalSize();
    shape->restoreGeometry({QPointF(200, 150), box, QSizeF(0, 0), angle, QPainterPath()});
    return shape;
}

} // namespace

// Whatever a text paints lies within its bounds, glyphs whole: the bounds hold the glyphs' ink
// as their fonts describe it, past the box where an italic leans out, a descender of the last
// line or an accent of the first reaches, the text is turned or longer than its box; for free
// texts, element and text-element labels, table cells, connector labels and a shape style's
// label. The box alone still answers a click.
TEST(TextBounds, EveryTextPaintsOnlyInsideItsBounds)
{
    const QFont chancery = testFont("Z003", 40, true);
    const struct {
        const char *name;
        std::function<VRObjectRef()> make;
    } cases[] = {
        {"italic overhang", [&] { return freeText(QStringLiteral("fluffy jiffy"), chancery); }},
        {"italic serif",
         [] { return freeText(QStringLiteral("fjord Wolf"), testFont("DejaVu Serif", 30, true)); }},
        {"large size",
         [] {
             return freeText(QStringLiteral("Ag"), testFont("Liberation Sans", 144, false, true));
         }},
        {"descender on the last line",
         [] { return freeText(QStringLiteral("top\ngjpqy"), testFont("URW Bookman", 28, true)); }},
        {"accents on the first line",
         [] {
             return freeText(QString::fromUtf8("\xc3\x85\xc3\x89\xc3\x8e\nabc"),
                             testFont("Nimbus Roman", 28, true));
         }},
        {"turned", [&] { return freeText(QStringLiteral("fjord"), chancery, {}, 0.5); }},
        {"longer than its box",
         [] {
             return freeText(QStringLiteral("a long line that runs on"),
                             testFont("DejaVu Sans", 14, false), QSizeF(40, 10));
         }},
        {"element label",
         [&] {
             auto contour = VRDrawableShape::shapeWithRect(QRectF(0, 0, 100, 60),
                                                           VRDrawableShape::unitOvalAtOrigin());
             contour->setStyle(VRStyle::styleWithFillColour(Qt::yellow, Qt::black, 1));
             auto element =
                 QntElement::createWithObjects({contour}, QStringLiteral("e"), QSizeF(100, 60));
             element->addTextShape();
             element->text()->setString(QStringLiteral("fluffy label"));
             element->text()->setFont(chancery);
             element->setLocation(QPointF(200, 150));
             return element;
         }},
        {"text element",
         [&] {
             auto text = std::make_shared<QntText>();
             text->text()->setString(QStringLiteral("jiffy"));
             text->text()->setFont(chancery);
             const QSizeF size = text->text()->textBlock().naturalSize();
             text->restoreGeometry({QPointF(200, 150), size, QSizeF(0, 0), 0.0, QPainterPath()});
             return text;
         }},
        {"table cell",
         [&] {
             auto table = QntElementTable::tableWithRows(1, 2, QSizeF(50, 24));
             table->setLocation(QPointF(200, 150));
             table->setGridLineWidth(0);
             auto cell = std::static_pointer_cast<QntTextCell>(table->cells().at(1));
             cell->setPaddings(0, 0);
             cell->setString(QStringLiteral("fjiffy"));
             cell->textAdornment()->setFont(chancery);
             return table;
         }},
        {"connector label",
         [&] {
             auto connector = std::make_shared<QntConnector>();
             connector->setEnds(QPointF(100, 150), QPointF(300, 150));
             connector->setTextContent(QTextDocumentFragment::fromPlainText("fluffy"));
             connector->textAdornment()->setFont(chancery);
             return connector;
         }},
        {"second connector label",
         [&] {
             auto connector = std::make_shared<QntConnectorDoubleText>();
             connector->setEnds(QPointF(100, 150), QPointF(300, 150));
             VRTextBlock second;
             second.setPlainText(QStringLiteral("jiffy"));
             second.setFont(chancery);
             connector->setSecondLabel(second);
             return connector;
         }},
        {"shape style label",
         [&] {
             auto shape = VRDrawableShape::shapeWithRect(QRectF(170, 140, 60, 20));
             auto look = VRStyle::styleWithFillColour(Qt::white, Qt::black, 1);
             auto label = std::make_shared<VRTextAdornment>();
             label->setLabel(QStringLiteral("fluffy jiffy"));
             label->setFont(chancery);
             look->addRenderer(label);
             shape->setStyle(look);
             return shape;
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const VRObjectRef object = c.make();
        const QRectF bounds = object->bounds();
        const QRectF painted = paintedAlone(*object);
        ASSERT_FALSE(painted.isNull());
        EXPECT_TRUE(bounds.adjusted(-0.5, -0.5, 0.5, 0.5).contains(painted))
            << "paints " << describe(painted) << " beyond its bounds " << describe(bounds);
    }

    // A click beside the box, where only the italic's ink reaches, finds nothing, as before.
    const VRObjectRef text = cases[0].make();
    const QRectF box = text->logicalBounds();
    ASSERT_GT(text->bounds().right(), box.right() + 1.5);
    EXPECT_FALSE(text->hitTest(QPointF(box.right() + 1.5, box.center().y())));
    EXPECT_TRUE(text->hitTest(box.center()));
}
