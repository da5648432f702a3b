#include "framework/model/VRTextBlock.h"

#include "framework/styles/VRTextAdornment.h"

#include "framework/archive/VRArchiveReader.h"
#include "framework/archive/VRArchiveWriter.h"

#include <QAbstractTextDocumentLayout>
#include <QJsonObject>
#include <QPainter>
#include <QTextDocument>
#include <QTextOption>

#include <cmath>

namespace {
constexpr int kMaximumTextLength = 1 << 20;

Qt::Alignment qtAlignment(int alignment)
{
    switch (alignment) {
    case 0: return Qt::AlignLeft;
    case 1: return Qt::AlignRight;
    case 3: return Qt::AlignJustify;
    default: return Qt::AlignHCenter;
    }
}
} // namespace

VRTextBlock::VRTextBlock()
{
    m_font = QFont(QStringLiteral("DejaVu Sans"));
    m_font.setPointSizeF(12);
}

void VRTextBlock::setHtml(const QString &html)
{
    m_html = html.left(kMaximumTextLength);
    m_document.reset();
}

QString VRTextBlock::plainText() const
{
    if (m_html.isEmpty())
        return QString();
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
    m_document.reset();
}

void VRTextBlock::setColour(const QColor &colour)
{
    if (colour.isValid())
        m_colour = colour;
}

void VRTextBlock::setAlignment(int alignment)
{
    m_alignment = std::clamp(alignment, 0, 3);
    m_document.reset();
}

void VRTextBlock::setVerticalAlignment(int alignment)
{
    m_verticalAlignment = std::clamp(alignment, 0, 2);
}

QTextDocument *VRTextBlock::document(double width) const
{
    if (!m_document || m_documentWidth != width) {
        m_document = std::make_shared<QTextDocument>();
        m_document->setDocumentMargin(0);
        m_document->setDefaultFont(m_font);
        QTextOption option;
        option.setAlignment(qtAlignment(m_alignment));
        option.setWrapMode(width > 0 ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                     : QTextOption::NoWrap);
        m_document->setDefaultTextOption(option);
        m_document->setHtml(m_html);
        m_document->setTextWidth(width > 0 ? width : -1);
        m_documentWidth = width;
    }
    return m_document.get();
}

QSizeF VRTextBlock::naturalSize(double maxWidth) const
{
    if (m_html.isEmpty())
        return QSizeF(0, 0);
    return document(maxWidth > 0 ? maxWidth : 0)->size();
}

void VRTextBlock::draw(QPainter &painter, const QRectF &frame, double objectAngle) const
{
    if (m_html.isEmpty() || frame.width() <= 0)
        return;
    const double width = m_fixedWidth > 0 ? m_fixedWidth : frame.width();
    QTextDocument *doc = document(width);
    const QSizeF size = doc->size();
    double top = frame.top();
    if (m_verticalAlignment == 1)
        top = frame.center().y() - size.height() / 2;
    else if (m_verticalAlignment == 2)
        top = frame.bottom() - size.height();
    const double left = frame.center().x() - width / 2;
    painter.save();
    const QPointF centre = frame.center();
    painter.translate(centre);
    painter.rotate(qRadiansToDegrees(objectAngle) + m_angle);
    painter.translate(-centre);
    painter.translate(left, top);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, m_colour);
    doc->documentLayout()->draw(&painter, context);
    painter.restore();
}

void VRTextBlock::write(QJsonObject &r) const
{
    r.insert(QStringLiteral("text"), m_html);
    r.insert(QStringLiteral("font"), VRArchiveWriter::font(m_font));
    r.insert(QStringLiteral("colour"), VRArchiveWriter::colour(m_colour));
    r.insert(QStringLiteral("alignment"), m_alignment);
    r.insert(QStringLiteral("verticalAlignment"), m_verticalAlignment);
    r.insert(QStringLiteral("fixedWidth"), m_fixedWidth);
    r.insert(QStringLiteral("textAngle"), m_angle);
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

void VRTextBlock::describeIn(VRTextAdornment &adornment) const
{
    adornment.setLabel(plainText());
    adornment.setFont(m_font);
    adornment.setColour(m_colour);
    adornment.setAlignment(m_alignment);
    adornment.setVerticalAlignment(m_verticalAlignment);
    adornment.setAngleInDegrees(m_angle);
}
