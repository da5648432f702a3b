// A text's ink measured quickly for plain runs of text must equal what the document that draws
// the text gives: the same text behind a tag is always measured on a document. The outer bounds
// found without laying a text out hold all of its ink.
#include "framework/styles/VRRenderContext.h"
#include "framework/styles/VRTextAdornment.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTextDocument>
#include <QPainterPath>

#include <gtest/gtest.h>

namespace {

QFont font(const char *family, double points, bool italic = false, bool bold = false)
{
    QFont f{QString::fromLatin1(family)};
    f.setPointSizeF(points);
    f.setItalic(italic);
    f.setBold(bold);
    return f;
}

QRectF inkOf(const QString &html, const QFont &f, int alignment, bool wraps, const QRectF &frame)
{
    VRTextAdornment text;
    text.setFont(f);
    text.setAlignment(alignment);
    text.setWrapsLines(wraps);
    text.setRichText(html);
    VRRenderContext context;
    context.path.addRect(frame);
    context.bounds = frame;
    return text.inkBounds(context);
}

TEST(TextInk, PlainRunsMeasureAsTheirDocument)
{
    // Texts that are one plain run, and texts a document reads or lays out otherwise (white
    // space, breaks, right-to-left letters, entities, words wider than the frame, emoji).
    const QStringList texts = {
        QStringLiteral("Element 12"),
        QStringLiteral("value"),
        QStringLiteral("Hello world, this is a longer text that wraps"),
        QStringLiteral("Ag \u00c9jy \u00c5ngstr\u00f6m"),
        QStringLiteral("fj ffi WAVE"),
        QStringLiteral("x"),
        QStringLiteral("WWWWWWWWWWWWWWWWWW"),
        QStringLiteral("Tom & Jerry <3 \"quoted\" 'single'"),
        QStringLiteral("a  b   c"),
        QStringLiteral(" leading and trailing "),
        QStringLiteral("tab\there"),
        QStringLiteral("two\nlines"),
        QStringLiteral("\u65e5\u672c\u8a9e\u306e\u30c6\u30ad\u30b9\u30c8"),
        QStringLiteral("\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd"),
        QStringLiteral("mixed \u0627\u0644\u0639\u0631\u0628\u064a\u0629 text"),
        QStringLiteral("non\u00a0breaking soft\u00adhyphen"),
        QStringLiteral("emoji \U0001F600 here"),
        QStringLiteral("e\u0301 combining"),
    };
    const QList<QFont> fonts = {font("DejaVu Sans", 12), font("DejaVu Serif", 40, true),
                                font("Helvetica", 9.5, false, true)};
    const QList<QRectF> frames = {QRectF(10, 20, 60, 40), QRectF(-5, 3, 133.3, 50),
                                  QRectF(0, 0, 20, 20), QRectF(7.25, 0, 301.7, 90)};
    int compared = 0;
    for (const QString &text : texts) {
        QString html = text.toHtmlEscaped();
        html.replace(QLatin1Char('\n'), QLatin1String("<br/>"));
        const QString tagged = QStringLiteral("<span>%1</span>").arg(html);
        for (const QFont &f : fonts)
            for (const QRectF &frame : frames)
                for (int alignment = 0; alignment < 4; ++alignment)
                    for (const bool wraps : {true, false}) {
                        const QRectF quick = inkOf(html, f, alignment, wraps, frame);
                        const QRectF document = inkOf(tagged, f, alignment, wraps, frame);
                        SCOPED_TRACE(QStringLiteral("%1, %2 %3 pt, frame width %4, alignment "
                                                    "%5, %6")
                                         .arg(text, f.family())
                                         .arg(f.pointSizeF())
                                         .arg(frame.width())
                                         .arg(alignment)
                                         .arg(wraps ? u"wrapped" : u"unwrapped")
                                         .toStdString());
                        ASSERT_FALSE(document.isNull());
                        EXPECT_EQ(quick.left(), document.left());
                        EXPECT_EQ(quick.top(), document.top());
                        EXPECT_EQ(quick.right(), document.right());
                        EXPECT_EQ(quick.bottom(), document.bottom());
                        ++compared;
                    }
    }
    EXPECT_EQ(compared, int(texts.size()) * 3 * 4 * 4 * 2);
}

QImage drawn(const QString &html, const QFont &f, int alignment, bool wraps, double degrees)
{
    VRTextAdornment text;
    text.setFont(f);
    text.setAlignment(alignment);
    text.setWrapsLines(wraps);
    text.setAngleInDegrees(degrees);
    text.setColour(QColor(20, 90, 160));
    text.setRichText(html);
    const QRectF frame(30.25, 20.5, 133.3, 60);
    VRRenderContext context;
    context.path.addRect(frame);
    context.bounds = frame;
    QImage image(240, 140, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.scale(1.25, 1.25);
    text.render(painter, context);
    return image;
}

TEST(TextInk, PlainRunsDrawAsTheirDocument)
{
    // A plain run of text is drawn from one line layout; behind a tag, from a document.
    const QStringList htmls = {QStringLiteral("Element 12"),
                               QStringLiteral("Hello world, this is a longer text that wraps"),
                               QStringLiteral("Tom &amp; Jerry &lt;3 fj ffi WAVE"),
                               QStringLiteral("WWWWWWWWWWWWWWWWWWWWWWWWWWWWWW")};
    const QList<QFont> fonts = {font("DejaVu Sans", 12), font("DejaVu Serif", 17, true),
                                font("Helvetica", 9.5, false, true)};
    int compared = 0;
    for (const QString &html : htmls)
        for (const QFont &f : fonts)
            for (int alignment = 0; alignment < 4; ++alignment)
                for (const bool wraps : {true, false}) {
                    SCOPED_TRACE(QStringLiteral("%1, %2, alignment %3, %4")
                                     .arg(html, f.family())
                                     .arg(alignment)
                                     .arg(wraps ? u"wrapped" : u"unwrapped")
                                     .toStdString());
                    const double degrees = compared % 3 == 0 ? 20.0 : 0.0;
                    const QImage run = drawn(html, f, alignment, wraps, degrees);
                    const QImage document = drawn(QStringLiteral("<span>%1</span>").arg(html), f,
                                                  alignment, wraps, degrees);
                    QImage blank(run.size(), run.format());
                    blank.fill(Qt::white);
                    ASSERT_FALSE(run == blank);
                    EXPECT_TRUE(run == document);
                    ++compared;
                }
    EXPECT_EQ(compared, int(htmls.size()) * 3 * 4 * 2);
}

TEST(TextInk, PlainRunsTakeTheSizeOfTheirDocument)
{
    // A text's size (a connector's label is as large) is found without a document for a plain
    // run of text, and equals the document's for any text.
    const QStringList htmls = {
        QStringLiteral("Element 12"),
        QStringLiteral("Hello world, this is a longer text that wraps"),
        QStringLiteral("WWWWWWWWWWWWWWWWWW"),
        QStringLiteral("Tom &amp; Jerry &lt;3 &quot;quoted&quot;"),
        QStringLiteral("Ag \u00c9jy \u00c5ngstr\u00f6m"),
        QStringLiteral("two<br/>lines"),
        QStringLiteral("<b>bold</b> and plain"),
        QStringLiteral("a  b"),
        QStringLiteral("\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd"),
    };
    const QList<QFont> fonts = {font("DejaVu Sans", 12), font("DejaVu Serif", 40, true),
                                font("Helvetica", 9.5, false, true)};
    int compared = 0;
    for (const QString &html : htmls)
        for (const QFont &f : fonts)
            for (const double width : {0.0, 8.0, 60.0, 133.3})
                for (int alignment = 0; alignment < 4; ++alignment) {
                    SCOPED_TRACE(QStringLiteral("%1, %2 %3 pt, width %4, alignment %5")
                                     .arg(html, f.family())
                                     .arg(f.pointSizeF())
                                     .arg(width)
                                     .arg(alignment)
                                     .toStdString());
                    const QSizeF document =
                        VRTextAdornment::layOutRichText(html, f, alignment, width)->size();
                    EXPECT_EQ(VRTextAdornment::richTextSize(html, f, alignment, width), document);
                    ++compared;
                }
    EXPECT_EQ(compared, int(htmls.size()) * 3 * 4 * 4);
}

TEST(TextInk, OuterBoundsHoldAllTheInk)
{
    const QStringList texts = {
        QStringLiteral("Element 12"),
        QStringLiteral("Hello world, this is a longer text that wraps"),
        QStringLiteral("Ag \u00c9jy \u00c5ngstr\u00f6m"),
        QStringLiteral("WWWWWWWWWWWWWWWWWW"),
        QStringLiteral("fj ffi WAVE ,,, ''' ___ |||"),
        QStringLiteral("two\nlines\n\nand an empty one"),
        QStringLiteral("\u65e5\u672c\u8a9e\u306e\u30c6\u30ad\u30b9\u30c8"),
        QStringLiteral("mixed \u0627\u0644\u0639\u0631\u0628\u064a\u0629 text"),
        QStringLiteral("emoji \U0001F600 here"),
        QStringLiteral("e\u0301 combining \u0323\u0323\u0323"),
        QStringLiteral("tab\there"),
    };
    const QList<QFont> fonts = {font("DejaVu Sans", 12), font("DejaVu Serif", 40, true),
                                font("Helvetica", 9.5, false, true)};
    const QList<QRectF> frames = {QRectF(10, 20, 60, 40), QRectF(0, 0, 8, 20),
                                  QRectF(7.25, 0, 301.7, 90)};
    struct Placing {
        int layoutMode;
        int verticalAlignment;
        double degrees;
        bool clipping;
    };
    const Placing placings[] = {{VRTextAdornment::InBounds, 0, 0.0, false},
                                {VRTextAdornment::InBounds, 1, 30.0, false},
                                {VRTextAdornment::InBounds, 2, -90.0, false},
                                {VRTextAdornment::AtPoint, 1, 0.0, false},
                                {VRTextAdornment::FlowedInShape, 1, 0.0, false},
                                {VRTextAdornment::InBounds, 1, 10.0, true}};
    int compared = 0;
    for (const QString &text : texts)
        for (const bool rich : {true, false})
            for (const QFont &f : fonts)
                for (const QRectF &frame : frames)
                    for (int alignment = 0; alignment < 4; ++alignment)
                        for (const bool wraps : {true, false})
                            for (const Placing &placing : placings) {
                                VRTextAdornment adornment;
                                adornment.setFont(f);
                                adornment.setAlignment(alignment);
                                adornment.setWrapsLines(wraps);
                                adornment.setLayoutMode(placing.layoutMode);
                                adornment.setVerticalAlignment(placing.verticalAlignment);
                                adornment.setAngleInDegrees(placing.degrees);
                                adornment.setClipping(placing.clipping);
                                if (rich)
                                    adornment.setRichText(text.toHtmlEscaped());
                                else
                                    adornment.setLabel(text);
                                VRRenderContext context;
                                context.path.addRect(frame);
                                context.bounds = frame;
                                const QRectF outer = adornment.outerInkBounds(context);
                                const QRectF ink = adornment.inkBounds(context);
                                SCOPED_TRACE(QStringLiteral("%1 (%2), %3 %4 pt, frame width %5, "
                                                            "alignment %6, %7, mode %8, %9 deg")
                                                 .arg(text, rich ? u"rich" : u"plain", f.family())
                                                 .arg(f.pointSizeF())
                                                 .arg(frame.width())
                                                 .arg(alignment)
                                                 .arg(wraps ? u"wrapped" : u"unwrapped")
                                                 .arg(placing.layoutMode)
                                                 .arg(placing.degrees)
                                                 .toStdString());
                                if (ink.isNull())
                                    continue;
                                EXPECT_LE(outer.left(), ink.left());
                                EXPECT_LE(outer.top(), ink.top());
                                EXPECT_GE(outer.right(), ink.right());
                                EXPECT_GE(outer.bottom(), ink.bottom());
                                ++compared;
                            }
    EXPECT_GT(compared, 1000);
}

} // namespace
