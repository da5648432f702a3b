#include "framework/styles/VRTextAdornment.h"

#include "framework/model/VRTextBlock.h"
#include "framework/styles/VRPathGeometry.h"
#include "framework/archive/VRJsonWriter.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPainter>
#include <QRawFont>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

VR_CLASS_IMPL(VRTextAdornment, VRRasterizer)

thread_local int VRTextAdornment::MeasuringAlongside::t_depth = 0;

namespace {
constexpr int kMaxLabel = 100000;
constexpr int kMaxRichText = 1 << 20;
} // namespace

VRTextAdornment::VRTextAdornment()
{
    m_font = QFont(QStringLiteral("Helvetica"));
    m_font.setPointSizeF(12.0);
}

void VRTextAdornment::setLabel(const QString &label)
{
    const QString text = label.left(kMaxLabel);
    if (text == m_label)
        return;
    // Undo of a new label brings the rich text back with the old one.
    if (!m_richText.isEmpty())
        setRichText(QString());
    changeProperty(m_label, text, "setLabel:", &VRTextAdornment::setLabel);
    notifyOwner();
}

void VRTextAdornment::setRichText(const QString &html)
{
    changeProperty(m_richText, html.left(kMaxRichText),
                   "setRichText:", &VRTextAdornment::setRichText);
    forgetLayout();
}

void VRTextAdornment::setLayoutMode(int mode)
{
    if (mode != InBounds && mode != AlongPath && mode != AlongMirroredPath && mode != FlowedInShape
        && mode != AtPoint)
        mode = InBounds;
    changeProperty(m_layoutMode, mode, "setLayoutMode:", &VRTextAdornment::setLayoutMode);
}

void VRTextAdornment::setAlignment(int alignment)
{
    changeProperty(m_alignment, std::clamp(alignment, 0, 3),
                   "setAlignment:", &VRTextAdornment::setAlignment);
    forgetLayout();
    notifyOwner();
}

void VRTextAdornment::setVerticalAlignment(int alignment)
{
    changeProperty(m_verticalAlignment, std::clamp(alignment, 0, 2),
                   "setVerticalAlignment:", &VRTextAdornment::setVerticalAlignment);
    notifyOwner();
}

void VRTextAdornment::setWrapsLines(bool wraps)
{
    changeProperty(m_wrapsLines, wraps, "setWrapsLines:", &VRTextAdornment::setWrapsLines);
}

void VRTextAdornment::setClipping(bool clipping)
{
    changeProperty(m_clipping, clipping, "setClipping:", &VRTextAdornment::setClipping);
}

void VRTextAdornment::setAppliesObjectAngle(bool applies)
{
    changeProperty(m_appliesObjectAngle, applies,
                   "setAppliesObjectAngle:", &VRTextAdornment::setAppliesObjectAngle);
}

void VRTextAdornment::setAngleInDegrees(double angle)
{
    if (!std::isfinite(angle))
        return;
    changeProperty(m_angleInDegrees, std::fmod(angle, 360.0),
                   "setAngleInDegrees:", &VRTextAdornment::setAngleInDegrees);
    notifyOwner();
}

void VRTextAdornment::setOwnerChangeHandler(std::function<void(const VRTextAdornment &)> handler)
{
    m_ownerChanged = std::move(handler);
}

void VRTextAdornment::notifyOwner() const
{
    if (m_ownerChanged && m_notifiesOwner)
        m_ownerChanged(*this);
}

void VRTextAdornment::setFlowedTextPathInset(double inset)
{
    if (std::isfinite(inset))
        changeProperty(m_flowedTextPathInset, std::clamp(inset, 0.0, 1000.0),
                       "setFlowedTextPathInset:", &VRTextAdornment::setFlowedTextPathInset);
}

void VRTextAdornment::setColour(const QColor &colour)
{
    if (colour.isValid())
        changeProperty(m_colour, colour.toRgb(), "setColour:", &VRTextAdornment::setColour);
    notifyOwner();
}

void VRTextAdornment::setFont(const QFont &font)
{
    changeProperty(m_font, font, "setFont:", &VRTextAdornment::setFont);
    forgetLayout();
    notifyOwner();
}

void VRTextAdornment::setTextAttributes(const QVariantMap &attributes)
{
    changeProperty(m_textAttributes, attributes,
                   "setTextAttributes:", &VRTextAdornment::setTextAttributes);
    forgetLayout();
}

QFont VRTextAdornment::effectiveFont() const
{
    QFont font = m_textAttributes.contains(QStringLiteral("font"))
                     ? m_textAttributes.value(QStringLiteral("font")).value<QFont>()
                     : m_font;
    if (m_textAttributes.contains(QStringLiteral("underline")))
        font.setUnderline(m_textAttributes.value(QStringLiteral("underline")).toBool());
    return font;
}

QColor VRTextAdornment::effectiveColour() const
{
    const QColor c = m_textAttributes.value(QStringLiteral("colour")).value<QColor>();
    return c.isValid() ? c : m_colour;
}

std::shared_ptr<QTextDocument>
VRTextAdornment::layOutRichText(const QString &html, const QFont &font, int alignment, double width)
{
    auto document = std::make_shared<QTextDocument>();
    // Only drawn and measured, never edited: no undo stack (a sixth of a kept layout).
    document->setUndoRedoEnabled(false);
    document->setDocumentMargin(0.0);
    document->setDefaultFont(font);
    QTextOption option;
    option.setAlignment(VRTextBlock::qtAlignment(alignment));
    option.setWrapMode(width > 0.0 ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                   : QTextOption::NoWrap);
    document->setDefaultTextOption(option);
    document->setHtml(html);
    document->setTextWidth(width > 0.0 ? width : -1.0);
    return document;
}

void VRTextAdornment::render(QPainter &painter, const VRRenderContext &context) const
{
    if (!m_richText.isEmpty()) {
        renderRichText(painter, context, m_richText);
        return;
    }
    const QString text = textToDraw(context);
    if (text.isEmpty())
        return;
    if (m_layoutMode == AlongPath || m_layoutMode == AlongMirroredPath)
        renderAlongPath(painter, context, text);
    else if (m_label.isEmpty() && context.textDocument)
        // The object's rich text keeps its formatting.
        renderRichText(painter, context, context.textDocument->toHtml());
    else
        renderInFrame(painter, context, text);
}

QString VRTextAdornment::textToDraw(const VRRenderContext &context) const
{
    if (!m_label.isEmpty())
        return m_label;
    return context.textDocument ? context.textDocument->toPlainText() : context.text;
}

QRectF VRTextAdornment::inkBounds(const VRRenderContext &context) const
{
    QRectF ink;
    if (!m_richText.isEmpty()) {
        ink = richTextInk(context, m_richText);
    } else {
        const QString text = textToDraw(context);
        if (text.isEmpty())
            return {};
        if (m_layoutMode == AlongPath || m_layoutMode == AlongMirroredPath)
            // Laid along the path: extraSpace() tells how far from it.
            return context.path.boundingRect().adjusted(-extraSpace(), -extraSpace(), extraSpace(),
                                                        extraSpace());
        ink = m_label.isEmpty() && context.textDocument
                  ? richTextInk(context, context.textDocument->toHtml())
                  : plainTextInk(context, text);
    }
    if (!ink.isNull() && (m_clipping || m_layoutMode == FlowedInShape))
        ink = ink.intersected(context.path.boundingRect());
    return ink;
}

namespace {

// The glyphs' own outlines as the fonts describe them, of the runs of a laid-out line, in the
// layout's coordinates.
QRectF glyphInk(const QTextLine &line, QPointF origin)
{
    QRectF ink;
    for (const QGlyphRun &run : line.glyphRuns()) {
        const QRawFont font = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i) {
            const QRectF glyph = font.boundingRect(glyphs.at(i));
            if (!glyph.isEmpty())
                ink |= glyph.translated(positions.at(i) + origin);
        }
    }
    return ink;
}

// How far the glyphs of the text reach past their own line boxes at most: their outlines
// against their advances, the line's ascent and its descent.
QMarginsF glyphOverhang(const QString &text, const QFont &font)
{
    QString flat = text;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    QTextLayout layout(flat, font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    QMarginsF overhang;
    if (!line.isValid())
        return overhang;
    for (const QGlyphRun &run : line.glyphRuns()) {
        const QRawFont raw = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> advances = raw.advancesForGlyphIndexes(glyphs);
        for (qsizetype i = 0; i < glyphs.size() && i < advances.size(); ++i) {
            const QRectF glyph = raw.boundingRect(glyphs.at(i));
            if (glyph.isEmpty())
                continue;
            overhang.setLeft(std::max(overhang.left(), -glyph.left()));
            overhang.setRight(std::max(overhang.right(), glyph.right() - advances.at(i).x()));
            overhang.setTop(std::max(overhang.top(), -glyph.top() - line.ascent()));
            overhang.setBottom(std::max(overhang.bottom(), glyph.bottom() - line.descent()));
        }
    }
    return overhang;
}

QTransform turnedAbout(QPointF centre, double degrees)
{
    QTransform turn;
    if (degrees != 0.0) {
        turn.translate(centre.x(), centre.y());
        turn.rotate(degrees);
        turn.translate(-centre.x(), -centre.y());
    }
    return turn;
}

// The text of HTML that is a single run of plain text as escaping writes it (no tags; only the
// entities of &, <, > and quotes), and none of what a document's HTML reading or bidirectional
// layout would change (runs of white space, breaks, controls, right-to-left letters). Such text
// is laid out by a document exactly as by one line layout of the same font and options; other
// HTML gives nothing.
std::optional<QString> singleRunText(const QString &html)
{
    static const struct {
        QLatin1StringView entity;
        QChar character;
    } kEntities[] = {{QLatin1StringView("&amp;"), QLatin1Char('&')},
                     {QLatin1StringView("&lt;"), QLatin1Char('<')},
                     {QLatin1StringView("&gt;"), QLatin1Char('>')},
                     {QLatin1StringView("&quot;"), QLatin1Char('"')},
                     {QLatin1StringView("&#39;"), QLatin1Char('\'')}};
    if (html.isEmpty() || html.front() == QLatin1Char(' ') || html.back() == QLatin1Char(' '))
        return std::nullopt;
    QString text;
    text.reserve(html.size());
    QChar previous;
    for (qsizetype i = 0; i < html.size(); ++i) {
        QChar c = html.at(i);
        if (c == QLatin1Char('&')) {
            const QStringView rest = QStringView(html).mid(i);
            const auto *known =
                std::find_if(std::begin(kEntities), std::end(kEntities),
                             [&](const auto &e) { return rest.startsWith(e.entity); });
            if (known == std::end(kEntities))
                return std::nullopt;
            c = known->character;
            i += known->entity.size() - 1;
        } else if (c == QLatin1Char('<') || c == QChar::Nbsp || c == QChar::SoftHyphen
                   || c == QChar::ObjectReplacementCharacter || c.isSurrogate()
                   || (c == QLatin1Char(' ') && previous == QLatin1Char(' '))) {
            return std::nullopt;
        } else if (c != QLatin1Char(' ')) {
            switch (c.category()) {
            case QChar::Other_Control:
            case QChar::Other_Format:
            case QChar::Separator_Space:
            case QChar::Separator_Line:
            case QChar::Separator_Paragraph: return std::nullopt;
            default: break;
            }
            switch (c.direction()) {
            case QChar::DirR:
            case QChar::DirAL:
            case QChar::DirRLE:
            case QChar::DirRLO:
            case QChar::DirRLI:
            case QChar::DirFSI:
            case QChar::DirAN: return std::nullopt;
            default: break;
            }
        }
        text.append(c);
        previous = c;
    }
    return text;
}

} // namespace

std::unique_ptr<VRTextAdornment::RunLayout> VRTextAdornment::layOutSingleRun(const QString &html,
                                                                             const QFont &font,
                                                                             int alignment,
                                                                             double width)
{
    const std::optional<QString> text = singleRunText(html);
    if (!text)
        return nullptr;
    const bool wraps = width > 0.0;
    // A document measures widths in whole 64ths of a point, dropping what is left over.
    const double lineWidth = wraps ? std::floor(width * 64.0) / 64.0 : 0.0;
    auto run = std::make_unique<RunLayout>();
    QTextLayout &layout = run->layout;
    layout.setText(*text);
    layout.setFont(font);
    QTextOption option;
    option.setAlignment(VRTextBlock::qtAlignment(alignment));
    option.setWrapMode(wraps ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    layout.setTextOption(option);
    const auto layOut = [&](double at) {
        double y = 0.0;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(at);
            line.setPosition(QPointF(0.0, y));
            y += line.height();
        }
        layout.endLayout();
        return y;
    };
    const double height = layOut(wraps ? lineWidth : 1.0e6);
    if (!wraps) {
        // Unwrapped, the text is as wide as its one line and aligned within that.
        if (layout.lineCount() != 1)
            return nullptr;
        const double natural = layout.lineAt(0).naturalTextWidth();
        run->size = QSizeF(natural, layOut(natural));
        return run;
    }
    for (int i = 0; i < layout.lineCount(); ++i) {
        // A line wider than the width widens a document: its own layout is asked.
        if (layout.lineAt(i).naturalTextWidth() > lineWidth)
            return nullptr;
    }
    run->size = QSizeF(lineWidth, height);
    return run;
}

VRTextAdornment::Ink VRTextAdornment::RunLayout::ink() const
{
    Ink ink{QRectF(QPointF(0, 0), size), size};
    for (int i = 0; i < layout.lineCount(); ++i)
        ink.area |= glyphInk(layout.lineAt(i), QPointF());
    return ink;
}

std::optional<QString> VRTextAdornment::plainRunText(const QString &html)
{
    return singleRunText(html);
}

QSizeF VRTextAdornment::richTextSize(const QString &html, const QFont &font, int alignment,
                                     double width)
{
    if (const std::unique_ptr<RunLayout> run = layOutSingleRun(html, font, alignment, width))
        return run->size;
    return layOutRichText(html, font, alignment, width)->size();
}

bool VRTextAdornment::plainTextPlacement(const VRRenderContext &context, QRectF *box, int *flags,
                                         QPointF *centre, double *degrees) const
{
    QRectF frame = context.bounds.isValid() ? context.bounds : context.path.boundingRect();
    if (m_layoutMode == FlowedInShape)
        frame = frame.adjusted(m_flowedTextPathInset, m_flowedTextPathInset, -m_flowedTextPathInset,
                               -m_flowedTextPathInset);
    if (frame.width() <= 0.0 && m_layoutMode != AtPoint)
        return false;
    *centre = frame.center();
    *degrees = m_angleInDegrees + (m_appliesObjectAngle ? context.angle * 180.0 / M_PI : 0.0);

    const bool wraps = m_wrapsLines && m_layoutMode != AtPoint;
    int f = static_cast<int>(VRTextBlock::qtAlignment(m_alignment == 3 ? 0 : m_alignment));
    if (m_layoutMode == AtPoint)
        f = Qt::AlignHCenter | Qt::AlignVCenter;
    else if (m_verticalAlignment == 1)
        f |= Qt::AlignVCenter;
    else if (m_verticalAlignment == 2)
        f |= Qt::AlignBottom;
    else
        f |= Qt::AlignTop;
    if (wraps)
        f |= Qt::TextWordWrap;
    *box = frame;
    if (m_layoutMode == AtPoint || !wraps) {
        // Unwrapped text may run past the frame sideways: give it room, keep the anchor.
        const double room = 1.0e5;
        if (m_layoutMode == AtPoint || (f & Qt::AlignHCenter))
            box->adjust(-room, 0, room, 0);
        else if (f & Qt::AlignRight)
            box->setLeft(box->left() - room);
        else
            box->setRight(box->right() + room);
        if (m_layoutMode == AtPoint)
            box->adjust(0, -room, 0, room);
    }
    *flags = f | Qt::TextDontClip;
    return true;
}

void VRTextAdornment::renderInFrame(QPainter &painter, const VRRenderContext &context,
                                    const QString &text) const
{
    QRectF box;
    int flags = 0;
    QPointF centre;
    double degrees = 0.0;
    if (!plainTextPlacement(context, &box, &flags, &centre, &degrees))
        return;

    painter.save();
    if (m_clipping || m_layoutMode == FlowedInShape)
        painter.setClipPath(context.path, Qt::IntersectClip);
    if (degrees != 0.0) {
        painter.translate(centre);
        painter.rotate(degrees);
        painter.translate(-centre);
    }
    // Plain text is drawn directly (a text document per repaint would dominate the drawing of
    // big diagrams).
    painter.setFont(effectiveFont());
    painter.setPen(effectiveColour());
    painter.drawText(box, flags, text);
    painter.restore();
}

QRectF VRTextAdornment::plainTextInk(const VRRenderContext &context, const QString &text) const
{
    QRectF box;
    int flags = 0;
    QPointF centre;
    double degrees = 0.0;
    if (!plainTextPlacement(context, &box, &flags, &centre, &degrees))
        return {};
    const QFont font = effectiveFont();
    // The lines' boxes where the text goes, and past them what its glyphs' outlines reach.
    const QRectF lines = QFontMetricsF(font).boundingRect(box, flags, text);
    const QRectF ink = lines.marginsAdded(glyphOverhang(text, font));
    return turnedAbout(centre, degrees).mapRect(ink);
}

bool VRTextAdornment::richTextFrame(const VRRenderContext &context, QRectF *frame,
                                    double *width) const
{
    *frame = context.bounds.isValid() ? context.bounds : context.path.boundingRect();
    if (m_layoutMode == FlowedInShape)
        *frame = frame->adjusted(m_flowedTextPathInset, m_flowedTextPathInset,
                                 -m_flowedTextPathInset, -m_flowedTextPathInset);
    if (frame->width() <= 0.0)
        return false;
    *width = m_wrapsLines ? frame->width() : 0.0;
    return true;
}

QTransform VRTextAdornment::richTextPlacement(const VRRenderContext &context, const QRectF &frame,
                                              QSizeF size) const
{
    const QPointF centre = frame.center();
    double left = centre.x() - frame.width() / 2.0;
    if (!m_wrapsLines) {
        if (m_alignment == 0)
            left = frame.left();
        else if (m_alignment == 1)
            left = frame.right() - size.width();
        else
            left = centre.x() - size.width() / 2.0;
    }
    double top = frame.top();
    if (m_verticalAlignment == 1 || m_layoutMode == AtPoint)
        top = centre.y() - size.height() / 2.0;
    else if (m_verticalAlignment == 2)
        top = frame.bottom() - size.height();
    QTransform place;
    place.translate(centre.x(), centre.y());
    place.rotate(m_angleInDegrees + (m_appliesObjectAngle ? context.angle * 180.0 / M_PI : 0.0));
    place.translate(-centre.x(), -centre.y());
    place.translate(left, top);
    return place;
}

void VRTextAdornment::renderRichText(QPainter &painter, const VRRenderContext &context,
                                     const QString &html) const
{
    QRectF frame;
    double width = 0.0;
    if (!richTextFrame(context, &frame, &width))
        return;
    // Laid out once for each text, font, alignment and width, and kept: a plain run of text on
    // one line layout as a document lays it out, other text as a document.
    if (!hasLayout(html, width)) {
        m_run = layOutSingleRun(html, effectiveFont(), m_alignment, width);
        m_layout = m_run ? nullptr : layOutRichText(html, effectiveFont(), m_alignment, width);
        m_layoutHtml = html;
        m_layoutWidth = width;
    }
    painter.save();
    if (m_clipping || m_layoutMode == FlowedInShape)
        painter.setClipPath(context.path, Qt::IntersectClip);
    painter.setTransform(richTextPlacement(context, frame, m_run ? m_run->size : m_layout->size()),
                         true);
    if (m_run) {
        // In the colour a document draws its text in.
        painter.setPen(effectiveColour());
        m_run->layout.draw(&painter, QPointF(0, 0));
    } else {
        QAbstractTextDocumentLayout::PaintContext paint;
        paint.palette.setColor(QPalette::Text, effectiveColour());
        m_layout->documentLayout()->draw(&painter, paint);
    }
    painter.restore();
}

QRectF VRTextAdornment::richTextInk(const VRRenderContext &context, const QString &html) const
{
    QRectF frame;
    double width = 0.0;
    if (!richTextFrame(context, &frame, &width))
        return {};
    // Kept for the text, font, alignment and width, as moving the text does not change it;
    // the layout it is measured on is kept only when drawing made it (a text out of sight
    // holds no layout). Measured alongside other threads, the drawn layout is left alone and
    // nothing is kept.
    const bool alongside = MeasuringAlongside::isActive();
    if (m_ink && m_inkWidth == width && m_inkHtml == html)
        return richTextPlacement(context, frame, m_ink->size).mapRect(m_ink->area);
    const bool drawn = !alongside && hasLayout(html, width);
    // A plain run of text is measured without a document, which would cost several times as
    // much to make.
    std::optional<Ink> ink;
    if (drawn && m_run)
        ink = m_run->ink();
    else if (!drawn)
        if (const std::unique_ptr<RunLayout> run =
                layOutSingleRun(html, effectiveFont(), m_alignment, width))
            ink = run->ink();
    if (!ink) {
        const std::shared_ptr<QTextDocument> layout =
            drawn ? m_layout : layOutRichText(html, effectiveFont(), m_alignment, width);
        // The laid-out document (lines, list marks, rules), and past it what the glyphs'
        // outlines reach.
        ink = Ink{QRectF(QPointF(0, 0), layout->size()), layout->size()};
        for (QTextBlock block = layout->begin(); block.isValid(); block = block.next()) {
            const QTextLayout *lines = block.layout();
            if (!lines)
                continue;
            for (int i = 0; i < lines->lineCount(); ++i)
                ink->area |= glyphInk(lines->lineAt(i), lines->position());
        }
    }
    if (!alongside) {
        m_ink = ink;
        m_inkHtml = html;
        m_inkWidth = width;
    }
    return richTextPlacement(context, frame, ink->size).mapRect(ink->area);
}

namespace {

// What a text's glyphs can take at most, from its font's metrics of each character alone,
// without laying it out: per line (at its breaks), the sum of the advances with room for
// kerning and rounding, and the count of characters; how far any glyph reaches past its advance
// and past the line's ascent and descent; the height of a line. None where those metrics cannot
// vouch for the layout: characters the font lacks (a fallback font makes lines taller), marks
// that stack, scripts whose shaping rearranges glyphs, controls, and spacing or capitals the
// font adds.
struct TextReach {
    struct Line {
        double width = 0.0;
        int characters = 0;
        // The widest run between spaces: a wrapped line wider than its width is one such run.
        double longestWord = 0.0;
        double word = 0.0;
    };
    std::vector<Line> lines{Line()};
    // The widest single character, with its room.
    double widestCharacter = 0.0;
    QMarginsF overhang;
    double lineHeight = 0.0;
};

bool fontSpacesPlainly(const QFont &font)
{
    const bool letters = font.letterSpacingType() == QFont::PercentageSpacing
                             ? font.letterSpacing() == 100.0 || font.letterSpacing() == 0.0
                             : font.letterSpacing() == 0.0;
    return letters && font.wordSpacing() == 0.0 && font.capitalization() == QFont::MixedCase;
}

bool plainlyShaped(QChar c)
{
    if (c.isSurrogate())
        return false;
    switch (c.category()) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph: return false;
    default: break;
    }
    switch (c.script()) {
    case QChar::Script_Common:
    case QChar::Script_Latin:
    case QChar::Script_Greek:
    case QChar::Script_Cyrillic:
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana: return true;
    default: return false;
    }
}

// What a font's characters reach, each asked of the font once: a document's texts share few
// fonts and fewer characters. Kept per thread, as Qt keeps its font engines.
class FontReach
{
public:
    struct Character {
        // Not in the font: laid out in another one.
        bool missing = true;
        double advance = 0.0;
        // Empty for a glyph that puts no ink down.
        QRectF glyph;
    };

    explicit FontReach(const QFont &font)
        : m_font(font)
        , m_raw(QRawFont::fromFont(font))
    {
        if (!m_raw.isValid())
            return;
        m_ascent = m_raw.ascent();
        m_descent = m_raw.descent();
        m_leading = m_raw.leading();
    }

    // The font of `font`'s description, made the first time it is asked for.
    static FontReach &of(const QFont &font)
    {
        thread_local std::vector<std::unique_ptr<FontReach>> fonts;
        const auto found = std::find_if(fonts.begin(), fonts.end(),
                                        [&](const auto &known) { return known->m_font == font; });
        if (found != fonts.end()) {
            // The most asked stay in front.
            std::rotate(fonts.begin(), found, found + 1);
            return *fonts.front();
        }
        constexpr std::size_t kMostFonts = 32;
        if (fonts.size() == kMostFonts)
            fonts.pop_back();
        fonts.insert(fonts.begin(), std::make_unique<FontReach>(font));
        return *fonts.front();
    }

    bool isValid() const { return m_raw.isValid(); }
    double ascent() const { return m_ascent; }
    double descent() const { return m_descent; }
    double leading() const { return m_leading; }

    const Character &character(QChar c)
    {
        const auto known = m_characters.constFind(c.unicode());
        if (known != m_characters.cend())
            return *known;
        Character measured;
        const QList<quint32> glyphs = m_raw.glyphIndexesForString(QString(c));
        if (glyphs.size() == 1 && glyphs.front() != 0) {
            const QList<QPointF> advances = m_raw.advancesForGlyphIndexes(glyphs);
            if (!advances.isEmpty()) {
                measured.missing = false;
                measured.advance = std::max(0.0, advances.front().x());
                measured.glyph = m_raw.boundingRect(glyphs.front());
            }
        }
        return *m_characters.insert(c.unicode(), measured);
    }

private:
    QFont m_font;
    QRawFont m_raw;
    double m_ascent = 0.0;
    double m_descent = 0.0;
    double m_leading = 0.0;
    QHash<char16_t, Character> m_characters;
};

std::optional<TextReach> textReach(const QString &text, const QFont &font)
{
    if (!fontSpacesPlainly(font))
        return std::nullopt;
    for (const QChar c : text)
        if (c != QLatin1Char('\n') && !plainlyShaped(c))
            return std::nullopt;
    // The font that lays out the characters it has (the first of its family's fallbacks).
    FontReach &raw = FontReach::of(font);
    if (!raw.isValid())
        return std::nullopt;
    const double ascent = raw.ascent();
    const double descent = raw.descent();
    const double em = ascent + descent;
    // Kerning, ligatures and positions rounded to pixels move a glyph by far less than this.
    const double room = 0.15 * em + 0.5;
    TextReach reach;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n')) {
            reach.lines.emplace_back();
            continue;
        }
        // A character the font lacks is laid out in another font, whose lines may be taller.
        const FontReach::Character &character = raw.character(c);
        if (character.missing)
            return std::nullopt;
        const double advance = character.advance;
        TextReach::Line &line = reach.lines.back();
        line.width += advance + room;
        ++line.characters;
        line.word = c == QLatin1Char(' ') ? 0.0 : line.word + advance + room;
        line.longestWord = std::max(line.longestWord, line.word);
        reach.widestCharacter = std::max(reach.widestCharacter, advance + room);
        const QRectF &glyph = character.glyph;
        if (glyph.isEmpty())
            continue;
        reach.overhang.setLeft(std::max(reach.overhang.left(), -glyph.left()));
        reach.overhang.setRight(std::max(reach.overhang.right(), glyph.right() - advance));
        reach.overhang.setTop(std::max(reach.overhang.top(), -glyph.top() - ascent));
        reach.overhang.setBottom(std::max(reach.overhang.bottom(), glyph.bottom() - descent));
    }
    // Antialiasing and hinting may set a glyph's edge a little past its outline.
    const double edge = 1.0 + 0.05 * em;
    reach.overhang += QMarginsF(edge, edge, edge, edge);
    reach.lineHeight = em + std::max(0.0, raw.leading()) + 1.0;
    return reach;
}

// How many lines a line of text wraps into at most at width: each holds a character at least,
// and of two lines one after the other, the first with the start of the second is wider than
// the width (else the start would have been kept on the first).
int wrappedLines(const TextReach::Line &line, double width)
{
    const int most = std::max(1, line.characters);
    if (width <= 0.0)
        return most;
    const double paired = 2.0 * line.width / width + 2.0;
    return paired < double(most) ? int(paired) : most;
}

// The span a line of at most `width` takes when aligned (Qt flags) between from and to.
std::pair<double, double> alignedSpan(double from, double to, double width, int flags)
{
    if (flags & Qt::AlignHCenter) {
        const double middle = (from + to) / 2.0;
        return {middle - width / 2.0, middle + width / 2.0};
    }
    if (flags & Qt::AlignRight)
        return {to - width, to};
    return {from, from + width};
}

} // namespace

QRectF VRTextAdornment::outerInkBounds(const VRRenderContext &context) const
{
    QRectF ink;
    if (!m_richText.isEmpty()) {
        ink = richTextOuterInk(context, m_richText);
    } else {
        const QString text = textToDraw(context);
        if (text.isEmpty())
            return {};
        // Along a path the measure takes no layout; a document's own formatting is measured.
        if (m_layoutMode == AlongPath || m_layoutMode == AlongMirroredPath
            || (m_label.isEmpty() && context.textDocument))
            return inkBounds(context);
        ink = plainTextOuterInk(context, text);
    }
    if (!ink.isNull() && (m_clipping || m_layoutMode == FlowedInShape))
        ink = ink.intersected(context.path.boundingRect());
    return ink;
}

QRectF VRTextAdornment::plainTextOuterInk(const VRRenderContext &context, const QString &text) const
{
    QRectF box;
    int flags = 0;
    QPointF centre;
    double degrees = 0.0;
    if (!plainTextPlacement(context, &box, &flags, &centre, &degrees))
        return {};
    const std::optional<TextReach> reach = textReach(text, effectiveFont());
    if (!reach)
        return plainTextInk(context, text);
    const bool wraps = flags & Qt::TextWordWrap;
    double widest = 0.0;
    int lines = 0;
    for (const TextReach::Line &line : reach->lines) {
        // A word longer than the box runs past it.
        widest =
            std::max(widest, wraps ? std::min(line.width, std::max(box.width(), line.longestWord))
                                   : line.width);
        lines += wraps ? wrappedLines(line, box.width()) : 1;
    }
    const auto [left, right] = alignedSpan(box.left(), box.right(), widest, flags);
    const double height = lines * reach->lineHeight;
    double top = box.top();
    if (flags & Qt::AlignVCenter)
        top = box.center().y() - height / 2.0;
    else if (flags & Qt::AlignBottom)
        top = box.bottom() - height;
    const QRectF ink = QRectF(left, top, right - left, height).marginsAdded(reach->overhang);
    return turnedAbout(centre, degrees).mapRect(ink);
}

QRectF VRTextAdornment::richTextOuterInk(const VRRenderContext &context, const QString &html) const
{
    QRectF frame;
    double width = 0.0;
    if (!richTextFrame(context, &frame, &width))
        return {};
    // Measured already (drawn, or asked before): that measure is the tightest.
    if (m_ink && m_inkWidth == width && m_inkHtml == html)
        return richTextInk(context, html);
    const std::optional<QString> text = singleRunText(html);
    const std::optional<TextReach> reach =
        text ? textReach(*text, effectiveFont()) : std::optional<TextReach>();
    if (!reach || reach->lines.size() != 1)
        return richTextInk(context, html);
    const TextReach::Line &line = reach->lines.front();
    const QPointF centre = frame.center();
    double left = 0.0, right = 0.0;
    int lines = 1;
    if (width > 0.0) {
        // Wrapped in a document as wide as the frame, or as its longest word where that is
        // wider.
        const double lineWidth = std::floor(width * 64.0) / 64.0;
        lines = wrappedLines(line, lineWidth);
        left = centre.x() - frame.width() / 2.0;
        right = left + std::max({lineWidth, line.longestWord, reach->widestCharacter});
    } else {
        const int flags = m_alignment == 0   ? Qt::AlignLeft
                          : m_alignment == 1 ? Qt::AlignRight
                                             : Qt::AlignHCenter;
        std::tie(left, right) = alignedSpan(frame.left(), frame.right(), line.width, flags);
    }
    const double height = lines * reach->lineHeight;
    double top = frame.top();
    if (m_verticalAlignment == 1 || m_layoutMode == AtPoint)
        top = centre.y() - height / 2.0;
    else if (m_verticalAlignment == 2)
        top = frame.bottom() - height;
    const QRectF ink = QRectF(left, top, right - left, height).marginsAdded(reach->overhang);
    const double degrees =
        m_angleInDegrees + (m_appliesObjectAngle ? context.angle * 180.0 / M_PI : 0.0);
    return turnedAbout(centre, degrees).mapRect(ink);
}

void VRTextAdornment::renderAlongPath(QPainter &painter, const VRRenderContext &context,
                                      const QString &text) const
{
    const QList<QPolygonF> lines = VRPathGeometry::polylines(context.path);
    if (lines.isEmpty())
        return;
    QPolygonF line = lines.first();
    if (m_layoutMode == AlongMirroredPath)
        line = QPolygonF(line.rbegin(), line.rend());
    const double total = VRPathGeometry::length(line);
    if (total <= 0.0)
        return;
    const QFont font = effectiveFont();
    const QFontMetricsF metrics(font);
    const QString flat = QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const double width = metrics.horizontalAdvance(flat);
    double start = 0.0;
    if (m_alignment == 1)
        start = total - width;
    else if (m_alignment == 2 || m_alignment == 3)
        start = (total - width) / 2.0;
    // The text's middle sits the standard offset above the line.
    const double baseline =
        -defaultMaximumVerticalOffset() + (metrics.ascent() - metrics.descent()) / 2.0;

    painter.save();
    painter.setFont(font);
    painter.setPen(effectiveColour());
    double x = start;
    for (const QChar ch : flat) {
        const double advance = metrics.horizontalAdvance(ch);
        const double middle = x + advance / 2.0;
        x += advance;
        if (middle < 0.0 || middle > total || ch.isSpace())
            continue;
        const VRPathGeometry::Placement place = VRPathGeometry::placementAt(line, middle);
        painter.save();
        painter.translate(place.point);
        painter.rotate(place.angleInDegrees);
        painter.drawText(QPointF(-advance / 2.0, baseline), QString(ch));
        painter.restore();
    }
    painter.restore();
}

double VRTextAdornment::extraSpace() const
{
    if (m_layoutMode == AlongPath || m_layoutMode == AlongMirroredPath) {
        const QFontMetricsF metrics(effectiveFont());
        return defaultMaximumVerticalOffset() + metrics.height();
    }
    return 0.0;
}

void VRTextAdornment::writeProperties(VRJsonWriter &record, QJsonObject &images) const
{
    VRRasterizer::writeProperties(record, images);
    record.insert("string", m_label);
    if (!m_richText.isEmpty())
        record.insert("richText", m_richText);
    record.insert("layoutMode", m_layoutMode);
    record.insert("alignment", m_alignment);
    record.insert("verticalAlignment", m_verticalAlignment);
    record.insert("wrapsLines", m_wrapsLines);
    record.insert("clipping", m_clipping);
    record.insert("appliesObjectAngle", m_appliesObjectAngle);
    record.insert("angleInDegrees", m_angleInDegrees);
    record.insert("flowedTextPathInset", m_flowedTextPathInset);
    record.insert("colour", VRStyleCoding::colourString(m_colour));
    record.insert("font", VRStyleCoding::fontJson(m_font));
    record.insert("textAttributes", VRStyleCoding::textAttributesJson(m_textAttributes));
}

void VRTextAdornment::readProperties(const QJsonObject &record, VRStyleCoding &coding)
{
    VRRasterizer::readProperties(record, coding);
    m_label = coding.string(record, QStringLiteral("string"), QString(), kMaxLabel);
    m_richText = coding.string(record, QStringLiteral("richText"), QString(), kMaxRichText);
    forgetLayout();
    m_layoutMode = coding.choice(record, QStringLiteral("layoutMode"), InBounds, {0, 1, 2, 3, 40});
    m_alignment = coding.integer(record, QStringLiteral("alignment"), 2, 0, 3);
    m_verticalAlignment = coding.integer(record, QStringLiteral("verticalAlignment"), 1, 0, 2);
    m_wrapsLines = coding.boolean(record, QStringLiteral("wrapsLines"), true);
    m_clipping = coding.boolean(record, QStringLiteral("clipping"), false);
    m_appliesObjectAngle = coding.boolean(record, QStringLiteral("appliesObjectAngle"), true);
    m_angleInDegrees =
        coding.number(record, QStringLiteral("angleInDegrees"), 0.0, -3600.0, 3600.0);
    m_flowedTextPathInset =
        coding.number(record, QStringLiteral("flowedTextPathInset"), 0.0, 0.0, 1000.0);
    m_colour = coding.colour(record, QStringLiteral("colour"), Qt::black);
    m_font = coding.font(record, QStringLiteral("font"), m_font);
    m_textAttributes = coding.textAttributes(record, QStringLiteral("textAttributes"));
}
