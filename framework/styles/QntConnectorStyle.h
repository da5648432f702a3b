#pragma once

#include "framework/styles/VRRasterizer.h"

#include <memory>

class QntConnectorArrow;
class QntConnectorStylizedPath;

// The last renderer of a connector's style: the shaft (a stylised path, which is also the
// connector's "adornment"), then the arrow elements at its ends. The connector rebuilds it
// whenever its skin changes, so files keep only the shaft's style key.
class QntConnectorStyle : public VRRasterizer
{
    VR_CLASS(QntConnectorStyle)

public:
    QntConnectorStyle() = default;

    static QString UIName() { return QStringLiteral("Connector"); }
    QString uiName() const override { return UIName(); }

    QntConnectorStylizedPath *shaft() const { return m_shaft.get(); }
    // The same object as shaft().
    QntConnectorStylizedPath *adornment() const { return m_shaft.get(); }
    QntConnectorArrow *startArrow() const { return m_startArrow.get(); }
    QntConnectorArrow *endArrow() const { return m_endArrow.get(); }
    void setShaft(std::shared_ptr<QntConnectorStylizedPath> shaft);
    void setStartArrow(std::shared_ptr<QntConnectorArrow> arrow);
    void setEndArrow(std::shared_ptr<QntConnectorArrow> arrow);

    void render(QPainter &painter, const VRRenderContext &context) const override;
    double extraSpace() const override;

protected:
    void writeProperties(VRJsonWriter &record, QJsonObject &images) const override;

private:
    std::shared_ptr<QntConnectorStylizedPath> m_shaft;
    std::shared_ptr<QntConnectorArrow> m_startArrow;
    std::shared_ptr<QntConnectorArrow> m_endArrow;
};
