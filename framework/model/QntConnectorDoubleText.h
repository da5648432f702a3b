#pragma once

#include "framework/model/QntConnector.h"

// A connector with a label near each end; the second label sits near the end point.
class QntConnectorDoubleText : public QntConnector
{
    VR_CLASS(QntConnectorDoubleText)
public:
    QntConnectorDoubleText() = default;

    const VRTextBlock &secondLabel() const { return m_label2; }
    void setSecondLabel(const VRTextBlock &label);
    // The second label's own text renderer (as textAdornment() is the first one's).
    VRTextAdornment *secondTextAdornment() const;
    // Applies to both labels.
    void setLayoutMode(int mode) override;
    QPointF secondLabelPosition() const;

    VRObjectRef copy() const override;
    void writeRecord(VRJsonWriter &record, VRArchiveWriter &writer) const override;
    bool readRecord(const QJsonObject &record, VRArchiveReader &reader,
                    const QString &path) override;

protected:
    void drawContent(QPainter &painter) const override;
    QRectF computeBounds(VRBoundsMeasure measure) const override;

private:
    VRTextBlock m_label2;
    VROwnTextRenderer m_secondTextRenderer;
};
