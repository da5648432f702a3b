#pragma once

#include "framework/styles/VRRastGroup.h"

#include <QStringList>

// An effect: its children drawn off-screen, then passed through a picture filter.
class VRCIFilterRastGroup : public VRRastGroup
{
    VR_CLASS(VRCIFilterRastGroup)

public:
    VRCIFilterRastGroup() = default;

    static QString UIName() { return QStringLiteral("Effect"); }
    QString uiName() const override { return UIName(); }

    // One of filterNames().
    QString filter() const { return m_filter; }
    void setFilter(const QString &filter);
    bool clipping() const { return m_clipping; }
    void setClipping(bool clipping);

    static QStringList filterNames();
    static QString localizedFilterName(const QString &filter);

    void render(QPainter &painter, const VRRenderContext &context) const override;
    double extraSpace() const override;

protected:
    void writeProperties(VRJsonWriter &record, QJsonObject &images) const override;
    void readProperties(const QJsonObject &record, VRStyleCoding &coding) override;

private:
    QString m_filter = QStringLiteral("VRBlur");
    bool m_clipping = false;
};
