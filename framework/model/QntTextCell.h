#pragma once

#include "framework/model/VRDrawableShape.h"
#include "framework/model/VROwnTextRenderer.h"
#include "framework/model/VRTextBlock.h"
#include "framework/styles/VRRenderContext.h"

#include <optional>

class VRTextAdornment;
class QntElementTable;

// One cell of a table: its text, background colour and paddings.
class QntTextCell : public VRDrawableShape
{
    VR_CLASS(QntTextCell)
public:
    QntTextCell() = default;

    QntElementTable *owner() const;
    const VRTextBlock &textBlock() const { return m_text; }
    // The object's own text renderer: it draws the text, and its label, font, colour,
    // alignments and angle set through it reach the object's text (as one undo step each).
    VRTextAdornment *textAdornment() const;
    void setTextBlock(const VRTextBlock &block);
    QString string() const { return m_text.plainText(); }
    void setString(const QString &text);
    QTextDocumentFragment textContent() const override { return m_text.fragment(); }
    void setTextContent(const QTextDocumentFragment &content) override;

    QColor fillColour() const { return m_fill; }
    void fillWithColor(const QColor &colour);
    double paddingLeftRight() const { return m_paddingLR; }
    double paddingTopBottom() const { return m_paddingTB; }
    void setPaddings(double leftRight, double topBottom);
    double textAngle() const { return m_text.angleInDegrees(); }
    void setTextAngle(double degrees);

    VRObjectRef copy() const override;
    void writeRecord(VRJsonWriter &record, VRArchiveWriter &writer) const override;
    bool readRecord(const QJsonObject &record, VRArchiveReader &reader,
                    const QString &path) override;

protected:
    void drawContent(QPainter &painter) const override;
    QRectF computeBounds(VRBoundsMeasure measure) const override;

private:
    // What the text is drawn on: the cell inside its paddings; none without width.
    std::optional<VRRenderContext> textContext() const;

    VRTextBlock m_text;
    VROwnTextRenderer m_textRenderer;
    QColor m_fill;
    double m_paddingLR = 5.0;
    double m_paddingTB = 5.0;
};
