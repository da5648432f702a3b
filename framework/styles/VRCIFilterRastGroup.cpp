#include "framework/styles/VRCIFilterRastGroup.h"

#include "framework/styles/VRImageFilters.h"
#include "framework/archive/VRJsonWriter.h"

#include <QPainter>

#include <cmath>

VR_CLASS_IMPL(VRCIFilterRastGroup, VRRastGroup)

QStringList VRCIFilterRastGroup::filterNames()
{
    return {QStringLiteral("VRBlur"),  QStringLiteral("VRGreyscale"), QStringLiteral("VRInvert"),
            QStringLiteral("VRSepia"), QStringLiteral("VRPosterize"), QStringLiteral("VRSharpen")};
}

QString VRCIFilterRastGroup::localizedFilterName(const QString &filter)
{
    if (!filterNames().contains(filter))
        return filter;
    return filter.mid(2);
}

void VRCIFilterRastGroup::setFilter(const QString &filter)
{
    if (filterNames().contains(filter))
        changeProperty(m_filter, filter, "setFilter:", &VRCIFilterRastGroup::setFilter);
}

void VRCIFilterRastGroup::setClipping(bool clipping)
{
    changeProperty(m_clipping, clipping, "setClipping:", &VRCIFilterRastGroup::setClipping);
}

void VRCIFilterRastGroup::render(QPainter &painter, const VRRenderContext &context) const
{
    QRect area;
    QImage image = renderChildrenOffscreen(painter, context, &area);
    if (image.isNull())
        return;
    const double scale = std::sqrt(std::abs(painter.worldTransform().determinant()));
    VRImageFilters::apply(m_filter, image, scale);
    painter.save();
    if (m_clipping)
        painter.setClipPath(context.path, Qt::IntersectClip);
    painter.resetTransform();
    painter.drawImage(area.topLeft(), image);
    painter.restore();
}

double VRCIFilterRastGroup::extraSpace() const
{
    return VRRastGroup::extraSpace() + (m_filter == QLatin1String("VRBlur") ? 8.0 : 0.0);
}

void VRCIFilterRastGroup::writeProperties(VRJsonWriter &record, QJsonObject &images) const
{
    VRRastGroup::writeProperties(record, images);
    record.insert("filter", m_filter);
    record.insert("clipping", m_clipping);
}

void VRCIFilterRastGroup::readProperties(const QJsonObject &record, VRStyleCoding &coding)
{
    VRRastGroup::readProperties(record, coding);
    const QString filter =
        coding.string(record, QStringLiteral("filter"), QStringLiteral("VRBlur"), 100);
    if (!filterNames().contains(filter))
        coding.fail(
            QStringLiteral("filter"),
            QStringLiteral("expected one of %1").arg(filterNames().join(QStringLiteral(", "))));
    else
        m_filter = filter;
    m_clipping = coding.boolean(record, QStringLiteral("clipping"), false);
}
