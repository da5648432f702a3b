#include "framework/model/VRTextBlock.h"

#include "framework/styles/VRTextAdornment.h"

#include "framework/archive/VRArchiveReader.h"
#include "framework/archive/VRArchiveWriter.h"
#include "framework/archive/VRJsonWriter.h"

#include <QJsonObject>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>

namespace {
constexpr int kMaximumTextLength = 1 << 20;
} // namespace

VRTextBlock::VRTextBlock()
{
    m_font = QFont(QStringLiteral("DejaVu Sans"));
    m_font.setPointSizeF(12);
}

void VRTextBlock::setHtml(const QString &html)
{
    m_html = html.left(kMaximumTextLength);
    forgetSize();
}

QString VRTextBlock::plainText() const
{
    if (m_html.isEmpty())
        return QString();
    // Most texts are one run of plain text, read without making a document.
    if (std::optional<QString> run = VRTextAdornment::plainRunText(m_html))
        return *std::move(run);
    QString text = QTextDocumentFragment::fromHtml(m_html).toPlainText();
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

void VRTextBlock::setPlainText(const QString &text)
{
    if (text.isEmpty()) {
        setHtml(QString());
        return;
    }
    QString html = text.toHtmlEscaped();
    html.replace(QLatin1Char('\n'), QLatin1String("<br/>"));
    setHtml(html);
}

QTextDocumentFragment VRTextBlock::fragment() const
{
    return QTextDocumentFragment::fromHtml(m_html);
}

void VRTextBlock::setFragment(const QTextDocumentFragment &fragment)
{
    setHtml(fragment.isEmpty() ? QString() : fragment.toHtml());
    if (fragment.isEmpty())
        return;
    // A fragment's HTML leaves out the format of its first paragraph, so an alignment that all
    // its paragraphs share becomes the text's own alignment.
    QTextDocument document;
    QTextCursor(&document).insertFragment(fragment);
    int shared = -1;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat format = block.blockFormat();
        if (!format.hasProperty(QTextFormat::BlockAlignment))
            return;
        const int value = alignmentFromQt(format.alignment());
        if (shared >= 0 && value != shared)
            return;
        shared = value;
    }
    if (shared >= 0)
        setAlignment(shared);
}

Qt::Alignment VRTextBlock::qtAlignment(int alignment)
{
    switch (alignment) {
    case 0: return Qt::AlignLeft;
    case 1: return Qt::AlignRight;
    case 3: return Qt::AlignJustify;
    default: return Qt::AlignHCenter;
    }
}

int VRTextBlock::alignmentFromQt(Qt::Alignment alignment)
{
    if (alignment & Qt::AlignRight)
        return 1;
    if (alignment & Qt::AlignJustify)
        return 3;
    if (alignment & Qt::AlignHCenter)
        return 2;
    return 0;
}

QFont VRTextBlock::fontWithTraits(QFont font, int traitMask, bool underlined)
{
    if (traitMask & 1)
        font.setItalic(true);
    if (traitMask & 0x01000000)
        font.setItalic(false);
    if (traitMask & 2)
        font.setBold(true);
    if (traitMask & 4)
        font.setBold(false);
    font.setUnderline(underlined);
    return font;
}

void VRTextBlock::setFont(const QFont &font)
{
    m_font = font;
    forgetSize();
}

void VRTextBlock::setColour(const QColor &colour)
{
    if (colour.isValid())
        m_colour = colour;
}

void VRTextBlock::setAlignment(int alignment)
{
    m_alignment = std::clamp(alignment, 0, 3);
    forgetSize();
}

void VRTextBlock::setVerticalAlignment(int alignment)
{
    m_verticalAlignment = std::clamp(alignment, 0, 2);
}

QSizeF VRTextBlock::naturalSize(double maxWidth) const
{
    if (m_html.isEmpty())
        return QSizeF(0, 0);
    const double width = maxWidth > 0 ? maxWidth : 0;
    if (m_sizeWidth == width)
        return m_size;
    // Laid out as the text renderer lays it out when drawing.
    const QSizeF size = VRTextAdornment::richTextSize(m_html, m_font, m_alignment, width);
    // Other threads may be measuring copies of this text meanwhile.
    if (!VRTextAdornment::MeasuringAlongside::isActive()) {
        m_size = size;
        m_sizeWidth = width;
    }
    return size;
}

QRectF VRTextBlock::layoutFrame(const QRectF &frame) const
{
    if (m_fixedWidth <= 0)
        return frame;
    QRectF placed(QPointF(), QSizeF(m_fixedWidth, frame.height()));
    placed.moveCenter(frame.center());
    return placed;
}

void VRTextBlock::write(VRJsonWriter &r) const
{
    r.insert("text", m_html);
    r.key(QLatin1String("font"));
    VRArchiveWriter::writeFont(r, m_font);
    r.insert("colour", VRArchiveWriter::colour(m_colour));
    r.insert("alignment", m_alignment);
    r.insert("verticalAlignment", m_verticalAlignment);
    r.insert("fixedWidth", m_fixedWidth);
    r.insert("textAngle", m_angle);
}

bool VRTextBlock::read(const QJsonObject &r, VRArchiveReader &reader, const QString &path)
{
    QString html;
    if (!reader.readString(r, QStringLiteral("text"), path, html)
        || !reader.readFont(r, QStringLiteral("font"), path, m_font)
        || !reader.readColour(r, QStringLiteral("colour"), path, m_colour)
        || !reader.readInt(r, QStringLiteral("alignment"), path, m_alignment, false, 0, 3)
        || !reader.readInt(r, QStringLiteral("verticalAlignment"), path, m_verticalAlignment, false,
                           0, 2)
        || !reader.readNumber(r, QStringLiteral("fixedWidth"), path, m_fixedWidth, false, 0, 1e7)
        || !reader.readNumber(r, QStringLiteral("textAngle"), path, m_angle, false, -36000, 36000))
        return false;
    if (html.size() > kMaximumTextLength)
        return reader.fail(path + QStringLiteral(".text"), QStringLiteral("text too long"));
    setHtml(html);
    return true;
}

bool VRTextBlock::operator==(const VRTextBlock &o) const
{
    return m_html == o.m_html && m_font == o.m_font && m_colour == o.m_colour
           && m_alignment == o.m_alignment && m_verticalAlignment == o.m_verticalAlignment
           && m_fixedWidth == o.m_fixedWidth && m_angle == o.m_angle;
}

void VRTextBlock::describeIn(VRTextAdornment &adornment, bool withLabel) const
{
    if (withLabel)
        adornment.setLabel(plainText());
    adornment.setRichText(m_html);
    adornment.setFont(m_font);
    adornment.setColour(m_colour);
    adornment.setAlignment(m_alignment);
    adornment.setVerticalAlignment(m_verticalAlignment);
    adornment.setAngleInDegrees(m_angle);
}

void VRTextBlock::takeFrom(const VRTextAdornment &adornment)
{
    if (adornment.richText().isEmpty() && adornment.string() != plainText())
        setPlainText(adornment.string());
    setFont(adornment.font());
    setColour(adornment.colour());
    setAlignment(adornment.alignment());
    setVerticalAlignment(adornment.verticalAlignment());
    setAngleInDegrees(adornment.angleInDegrees());
}
