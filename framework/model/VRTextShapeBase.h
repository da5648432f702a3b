#pragma once

#include "framework/model/VRDrawableShape.h"
#include "framework/model/VROwnTextRenderer.h"
#include "framework/model/VRTextBlock.h"
#include "framework/styles/VRRenderContext.h"

#include <optional>

class VRTextAdornment;
class QTextEdit;

// What the free text shape and an element's text part share: a shape whose content is a block
// of rich text. Every text setter records undo as "Changing text attributes". Not a class of its
// own in the class registry: the two shapes stay siblings below VRDrawableShape there.
class VRTextShapeBase : public VRDrawableShape
{
public:
    const VRTextBlock &textBlock() const { return m_text; }
    // The object's own text renderer: it draws the text, and its label, font, colour,
    // alignments and angle set through it reach the object's text (as one undo step each).
    VRTextAdornment *textAdornment() const;
    void setTextBlock(const VRTextBlock &block);

    QString string() const { return m_text.plainText(); }
    void setString(const QString &text);
    QFont font() const { return m_text.font(); }
    void setFont(const QFont &font);
    double fontSize() const { return m_text.font().pointSizeF(); }
    void setFontSize(double size);
    QColor textColour() const { return m_text.colour(); }
    void setTextColour(const QColor &colour);
    int alignment() const { return m_text.alignment(); }
    void setAlignment(int alignment);
    double fixedWidth() const { return m_text.fixedWidth(); }
    void setFixedWidth(double width);
    double textAngle() const { return m_text.angleInDegrees(); }
    void setTextAngle(double degrees);
    bool isEditingInInlineEditor() const { return isEditing(); }
    // Where the text is laid out, in drawing coordinates before the object's turn: what its
    // lines wrap at and are aligned in. None for a box without width.
    std::optional<QRectF> textFrame() const;

    QTextDocumentFragment textContent() const override { return m_text.fragment(); }
    void setTextContent(const QTextDocumentFragment &content) override;

    VRObjectRef copy() const override;
    void writeRecord(VRJsonWriter &record, VRArchiveWriter &writer) const override;
    bool readRecord(const QJsonObject &record, VRArchiveReader &reader,
                    const QString &path) override;

protected:
    VRTextShapeBase() = default;

    void drawContent(QPainter &painter) const override;
    QRectF computeBounds(VRBoundsMeasure measure) const override;
    // Where the text goes in the object's box: as wide as its fixed width, about the same
    // centre, when it has one.
    virtual QRectF textFrameInBox(const QRectF &box) const { return m_text.layoutFrame(box); }

private:
    // What the text is drawn on: the box, turned with the object; none for a box without width.
    std::optional<VRRenderContext> textContext() const;

    VRTextBlock m_text;
    VROwnTextRenderer m_textRenderer;
};
