// A text's ink measured quickly for plain runs of text must equal what the document that draws
// the text gives: the same text behind a tag is always measured on a document.
#include "framework/styles/VRRenderContext.h"
#include "framework/styles/VRTextAdornment.h"

#include <QFont>
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

} // namespace
