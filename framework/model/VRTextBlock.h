#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>
#include <QTextDocumentFragment>

#include <memory>

class QJsonObject;
class VRArchiveReader;
class VRJsonWriter;
class VRTextAdornment;

// A block of rich text with its font, colour and alignment, as shown by text shapes, element
// text parts, table cells and connector labels. Alignment values are the framework's:
// 0 left, 1 right, 2 centre, 3 justified; vertical 0 top, 1 middle, 2 bottom.
class VRTextBlock
{
public:
    VRTextBlock();

    QString html() const { return m_html; }
    void setHtml(const QString &html);
    QString plainText() const;
    void setPlainText(const QString &text);
    QTextDocumentFragment fragment() const;
    void setFragment(const QTextDocumentFragment &fragment);
    bool isEmpty() const { return m_html.isEmpty(); }

    QFont font() const { return m_font; }
    void setFont(const QFont &font);
    // The font after a typeface change from the font panel: trait mask bit 1 italic,
    // 0x01000000 upright, 2 bold, 4 not bold; underlined as given.
    static QFont fontWithTraits(QFont font, int traitMask, bool underlined);
    QColor colour() const { return m_colour; }
    void setColour(const QColor &colour);
    int alignment() const { return m_alignment; }
    void setAlignment(int alignment);
    // The alignment numbers as Qt's flags and back, for everything that shows or edits text. A
    // number outside 0–3 is centred, the alignment a new text has; a Qt alignment without a
    // horizontal flag is left, where Qt puts such text.
    static Qt::Alignment qtAlignment(int alignment);
    static int alignmentFromQt(Qt::Alignment alignment);
    int verticalAlignment() const { return m_verticalAlignment; }
    void setVerticalAlignment(int alignment);
    // 0 = the frame's width.
    double fixedWidth() const { return m_fixedWidth; }
    void setFixedWidth(double width) { m_fixedWidth = width > 0 ? width : 0; }
    double angleInDegrees() const { return m_angle; }
    void setAngleInDegrees(double degrees) { m_angle = degrees; }

    // The text's size when laid out at most maxWidth wide (0 = unlimited).
    QSizeF naturalSize(double maxWidth = 0) const;
    // Where the text is laid out in an object's text frame: the frame, or as wide as the fixed
    // width about the same centre.
    QRectF layoutFrame(const QRectF &frame) const;

    // Describes this text on a text renderer (rich text, label, font, colour, alignments,
    // angle): the renderer then draws it. Without the label (the plain text, read out of the
    // HTML) for a renderer that only measures: it measures the rich text.
    void describeIn(VRTextAdornment &adornment, bool withLabel = true) const;
    // Takes back what was set on a renderer that describes this text (a new label becomes the
    // plain text).
    void takeFrom(const VRTextAdornment &adornment);

    // File record: "text" (HTML), "font", "colour", "alignment", "fixedWidth", "textAngle".
    void write(VRJsonWriter &record) const;
    bool read(const QJsonObject &record, VRArchiveReader &reader, const QString &path);

    bool operator==(const VRTextBlock &other) const;

private:
    void forgetSize() { m_sizeWidth = -1; }

    QString m_html;
    QFont m_font;
    QColor m_colour = Qt::black;
    int m_alignment = 2;
    int m_verticalAlignment = 1;
    double m_fixedWidth = 0;
    double m_angle = 0;
    // The size last measured and the width it was measured for (-1: none).
    mutable QSizeF m_size;
    mutable double m_sizeWidth = -1;
};
