// The PNG, SVG and PDF exports of a drawing show the same picture: the SVG rasterised by librsvg
// and the PDF by poppler are compared with the PNG, pixel by pixel after a slight blur.
#include "framework/ModelFixtures.h"
#include "common/GoldenPicture.h"
#include "common/QtChildProcess.h"

#include "framework/base/VRConstants.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRTextShape.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRGradient.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStrokeDash.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocumentFragment>

#include <functional>
#include <ostream>

using namespace qnt::test;

namespace {

VRStyleRef fillAndStroke(const VRRendererRef &fill, const VRRendererRef &stroke)
{
    auto style = VRStyle::create();
    if (fill)
        style->addRenderer(fill);
    if (stroke)
        style->addRenderer(stroke);
    return style;
}

VRGradientRef gradient(int type, double degrees)
{
    auto g = VRGradient::create();
    g->setColorStops(
        {{0.0, QColor(30, 90, 200)}, {0.5, QColor(250, 250, 120)}, {1.0, QColor(200, 40, 60)}});
    g->setGradientType(type);
    g->setAngleInDegrees(degrees);
    return g;
}

std::shared_ptr<QntElement> element(QRectF frame, const QString &text, bool oval)
{
    auto contour = VRDrawableShape::shapeWithRect(QRectF(0, 0, 100, 60),
                                                  oval ? VRDrawableShape::unitOvalAtOrigin()
                                                       : VRDrawableShape::unitRectAtOrigin());
    contour->setID(QStringLiteral("contour"));
    contour->setStyle(VRStyle::styleWithFillColour(QColor(220, 240, 255), QColor(20, 60, 120), 2));
    auto e = QntElement::createWithObjects({contour}, QStringLiteral("e"), QSizeF(100, 60));
    e->addTextShape();
    e->text()->setString(text);
    e->setSize(frame.size());
    e->setLocation(frame.center());
    return e;
}

std::unique_ptr<VRDrawing> emptyDrawing(QSizeF size)
{
    auto drawing = std::make_unique<VRDrawing>();
    drawing->setDrawingSize(size);
    drawing->gridLayer()->setVisible(false);
    drawing->undoManager()->disableUndoRegistration();
    return drawing;
}

// Texts of every kind: in shapes (one and two lines, left and centred, bold and italic),
// on a connector, free, and turned.
std::unique_ptr<VRDrawing> textDrawing()
{
    auto drawing = emptyDrawing(QSizeF(640, 420));
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    auto title =
        element(QRectF(30, 30, 260, 80), QStringLiteral("Quarterly planning review"), false);
    QFont big(QStringLiteral("DejaVu Sans"));
    big.setPointSizeF(20);
    title->text()->setFont(big);
    auto twoLines = element(QRectF(330, 30, 260, 80),
                            QStringLiteral("First line of the title\nand its second line"), false);
    auto oval = element(QRectF(30, 160, 200, 90), QStringLiteral("Decision?"), true);
    QFont bold(QStringLiteral("Liberation Serif"));
    bold.setPointSizeF(16);
    bold.setBold(true);
    bold.setItalic(true);
    oval->text()->setFont(bold);
    auto target = element(QRectF(380, 170, 180, 70), QStringLiteral("Target in Helvetica"), false);
    // A family fontconfig answers with another one, of a named foundry.
    QFont helvetica(QStringLiteral("Helvetica"));
    helvetica.setPointSizeF(14);
    target->text()->setFont(helvetica);
    layer->addObjectsFromArray({title, twoLines, oval, target});

    auto connector = std::make_shared<QntConnector>();
    connector->setStyle(VRStyle::styleWithFillColour(QColor(), QColor(20, 20, 20), 1.5));
    layer->addObject(connector);
    oval->connectToTargetElement(target.get(), connector);
    connector->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("yes, go on")));
    connector->routeOrthogonal();

    auto free = std::make_shared<VRTextShape>();
    free->restoreGeometry({QPointF(160, 330), QSizeF(260, 60), QSizeF(0, 0), 0.0, QPainterPath()});
    free->setString(QStringLiteral("A free text, left as typed\nwith a second line"));
    auto turned = std::make_shared<VRTextShape>();
    turned->restoreGeometry(
        {QPointF(500, 340), QSizeF(160, 40), QSizeF(0, 0), 0.4, QPainterPath()});
    turned->setString(QStringLiteral("Turned words"));
    layer->addObjectsFromArray({free, turned});
    return drawing;
}

// Fills and strokes: linear, radial and sweep gradients, dashes, arrowheads, a bezier path.
std::unique_ptr<VRDrawing> styleDrawing()
{
    auto drawing = emptyDrawing(QSizeF(640, 360));
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    const auto stroke = [](double width, QColor colour) {
        return VRStroke::strokeWithWidth(width, colour);
    };
    auto linear = VRDrawableShape::shapeWithRect(QRectF(30, 30, 160, 100));
    linear->setStyle(fillAndStroke(VRFill::fillWithGradient(gradient(VRGradient::Linear, 30)),
                                   stroke(2, Qt::black)));
    auto radial = VRDrawableShape::shapeWithRect(QRectF(230, 30, 140, 100),
                                                 VRDrawableShape::unitOvalAtOrigin());
    radial->setStyle(fillAndStroke(VRFill::fillWithGradient(gradient(VRGradient::Radial, 0)),
                                   stroke(1, QColor(80, 0, 0))));
    auto sweep = VRDrawableShape::shapeWithRect(QRectF(420, 30, 120, 120),
                                                VRDrawableShape::unitOvalAtOrigin());
    sweep->setStyle(fillAndStroke(VRFill::fillWithGradient(gradient(VRGradient::Sweep, 45)),
                                  stroke(3, QColor(0, 80, 0))));
    auto dashedStroke = stroke(3, QColor(120, 0, 160));
    dashedStroke->setDash(VRStrokeDash::create({12.0, 6.0}));
    auto dashed = VRDrawableShape::shapeWithRect(QRectF(30, 180, 180, 100));
    dashed->setStyle(fillAndStroke(VRFill::fillWithColour(QColor(250, 230, 200)), dashedStroke));

    auto arrows = std::make_shared<VRArrowStroke>();
    arrows->setWidth(3);
    arrows->setColour(QColor(0, 0, 0));
    arrows->setArrowHeadAtStart(3);
    arrows->setArrowHeadAtEnd(1);
    QPainterPath line;
    line.moveTo(260, 200);
    line.lineTo(420, 200);
    line.cubicTo(480, 200, 470, 320, 580, 300);
    auto path =
        std::static_pointer_cast<VRDrawablePath>(VRDrawablePath::drawablePathWithBezierPath(line));
    path->setStyle(fillAndStroke(nullptr, arrows));
    auto translucent = VRDrawableShape::shapeWithRect(QRectF(120, 230, 200, 90));
    translucent->setStyle(
        VRStyle::styleWithFillColour(QColor(0, 160, 120, 120), QColor(0, 60, 40, 200), 4));
    layer->addObjectsFromArray({linear, radial, sweep, dashed, path, translucent});
    return drawing;
}

std::unique_ptr<VRDrawing> everyKindDrawing()
{
    auto drawing = drawingWithEveryKind();
    drawing->undoManager()->disableUndoRegistration();
    return drawing;
}

struct Fixture {
    const char *name;
    std::function<std::unique_ptr<VRDrawing>()> make;
};

void PrintTo(const Fixture &fixture, std::ostream *out)
{
    *out << fixture.name;
}

constexpr int kTolerance = 32;

// A 3 × 3 box blur: rasterisers smooth the edges of glyphs and shapes each their own way.
QImage blurred(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    QImage out(image.size(), QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    for (int y = 0; y < h; ++y) {
        auto *target = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            int sum[4] = {0, 0, 0, 0};
            int n = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                const int yy = std::clamp(y + dy, 0, h - 1);
                const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(yy));
                for (int dx = -1; dx <= 1; ++dx) {
                    const QRgb p = line[std::clamp(x + dx, 0, w - 1)];
                    sum[0] += qRed(p);
                    sum[1] += qGreen(p);
                    sum[2] += qBlue(p);
                    sum[3] += qAlpha(p);
                    ++n;
                }
            }
            target[x] = qRgba(sum[0] / n, sum[1] / n, sum[2] / n, sum[3] / n);
        }
    }
    return out;
}

class ExportAgreement : public testing::TestWithParam<Fixture>
{
protected:
    void SetUp() override
    {
        for (const char *tool : {"rsvg-convert", "pdftoppm"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                GTEST_FAIL() << tool << " is missing: scripts/install-deps.sh installs it";
        }
        ASSERT_TRUE(m_dir.isValid());
    }

    QString write(const QString &name, const QByteArray &data)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return path;
    }

    // Compares a rasterised export with the PNG, keeping both pictures for a look.
    void expectAgrees(const QImage &png, const QImage &other, const QString &kind,
                      const QString &exported)
    {
        ASSERT_FALSE(other.isNull()) << kind.toStdString();
        ASSERT_EQ(other.size(), png.size()) << kind.toStdString();
        const QString folder = picturesFolder(QStringLiteral("export-agreement"));
        const QString base = QDir(folder).filePath(QString::fromLatin1(GetParam().name));
        // Blurred twice, and 32 levels of a channel: glyphs hinted each rasteriser's own way,
        // and poppler's whole-pixel strokes, stay apart by up to about 30 levels after the
        // blur; a text at another size or place, or a shape drawn otherwise, by far more.
        const qint64 differing =
            differingPixels(blurred(blurred(png)), blurred(blurred(other)), kTolerance);
        const qint64 allowed = qint64(png.width()) * png.height() / 200;
        if (differing > allowed) {
            png.save(base + QStringLiteral(".png"));
            other.save(base + QStringLiteral(".") + kind + QStringLiteral(".png"));
            QFile::remove(base + QStringLiteral(".") + kind);
            QFile::copy(exported, base + QStringLiteral(".") + kind);
        }
        EXPECT_LE(differing, allowed) << kind.toStdString() << ": " << differing
                                      << " pixels differ; pictures in " << folder.toStdString();
    }

    QTemporaryDir m_dir;
};

TEST_P(ExportAgreement, SvgAndPdfShowWhatThePngShows)
{
    const std::unique_ptr<VRDrawing> drawing = GetParam().make();
    const QVariantMap options{{kVRExportPropertiesResolution, 72}};
    QImage png;
    ASSERT_TRUE(png.loadFromData(drawing->PNGDataWithProperties(options), "PNG"));
    const QSize size = png.size();

    const QByteArray svgData = drawing->SVGDataWithProperties(options);
    ASSERT_FALSE(svgData.isEmpty());
    EXPECT_FALSE(svgData.contains("foreignObject"));
    const QString svg = write(QStringLiteral("d.svg"), svgData);
    const QString fromSvg = m_dir.filePath(QStringLiteral("svg.png"));
    const QString rsvg =
        childOutput(QStringLiteral("rsvg-convert"),
                    {QStringLiteral("-w"), QString::number(size.width()), QStringLiteral("-h"),
                     QString::number(size.height()), QStringLiteral("-o"), fromSvg, svg});
    EXPECT_TRUE(rsvg.trimmed().isEmpty()) << rsvg.toStdString();
    expectAgrees(png, QImage(fromSvg), QStringLiteral("svg"), svg);

    const QString pdf = write(QStringLiteral("d.pdf"), drawing->PDFDataWithProperties(options));
    const QString poppler =
        childOutput(QStringLiteral("pdftoppm"),
                    {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-png"),
                     QStringLiteral("-singlefile"), pdf, m_dir.filePath(QStringLiteral("pdf"))});
    EXPECT_TRUE(poppler.trimmed().isEmpty()) << poppler.toStdString();
    expectAgrees(png, QImage(m_dir.filePath(QStringLiteral("pdf.png"))), QStringLiteral("pdf"),
                 pdf);
}

INSTANTIATE_TEST_SUITE_P(Drawings, ExportAgreement,
                         testing::Values(Fixture{"texts", textDrawing},
                                         Fixture{"styles", styleDrawing},
                                         Fixture{"everyKind", everyKindDrawing}),
                         [](const testing::TestParamInfo<Fixture> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
