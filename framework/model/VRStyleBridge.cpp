#include "framework/model/VRStyleBridge.h"

#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStyle.h"

#include <QMimeData>
#include <QPainter>

#include <cmath>

void VRStyleBridge::render(const VRStyle &style, QPainter &painter, const VRDrawableObject &object,
                           const QPainterPath &path)
{
    const QTransform t = object.transformIncludingParent();
    VRRenderContext context;
    context.path = path;
    QRectF frame(QPointF(), QSizeF(std::hypot(t.m11(), t.m12()), std::hypot(t.m21(), t.m22())));
    frame.moveCenter(t.map(QPointF(0, 0)));
    context.bounds = frame;
    context.angle = std::atan2(t.m12(), t.m11());
    const QTransform device = painter.deviceTransform();
    context.scale = std::max(1e-3, std::hypot(device.m11(), device.m12()));
    // Stable across saving and reading: derived from where the object is, not its address.
    context.seed = qHash(qRound64(frame.x() * 16)) ^ (qHash(qRound64(frame.y() * 16)) << 1)
                   ^ (qHash(qRound64(frame.width() * 16)) << 2);
    style.render(painter, context);
}

double VRStyleBridge::extraSpace(const VRStyle &style)
{
    return style.extraSpace();
}

bool VRStyleBridge::isSharable(const VRStyle &style)
{
    return style.isStyleSharable();
}

int VRStyleBridge::clientCount(const VRStyle &style)
{
    return style.countOfClients();
}

void VRStyleBridge::addClient(VRStyle &style, VRDrawableObject *client)
{
    style.addClient(client);
}

void VRStyleBridge::removeClient(VRStyle &style, VRDrawableObject *client)
{
    style.removeClient(client);
}

VRStyleRef VRStyleBridge::copyForNewClient(const VRStyleRef &style)
{
    if (!style || style->isStyleSharable())
        return style;
    return style->copy();
}

QString VRStyleBridge::uniqueKey(const VRStyle &style)
{
    return style.uniqueKey();
}

QJsonObject VRStyleBridge::toJson(const VRStyle &style, QJsonObject &images)
{
    return style.toJson(images);
}

VRResult<VRStyleRef> VRStyleBridge::fromJson(const QJsonObject &record, const QJsonObject &images)
{
    return VRStyle::fromJson(record, images);
}

QByteArray VRStyleBridge::pasteboardData(const VRStyle &style)
{
    QMimeData data;
    style.copyToPasteboard(&data);
    return data.data(kVRRasterizerPasteboardType);
}

void VRStyleBridge::setFillColour(VRStyle &style, const QColor &colour)
{
    style.setFillColour(colour);
}

void VRStyleBridge::setStrokeColour(VRStyle &style, const QColor &colour)
{
    style.setStrokeColour(colour);
}

QColor VRStyleBridge::strokeColour(const VRStyle &style, const QColor &fallback)
{
    return style.hasStroke() ? style.strokeColour() : fallback;
}

bool VRStyleBridge::makeSoleLastRenderer(VRStyle &style, const VRRendererRef &renderer)
{
    if (!renderer)
        return false;
    const QList<VRRendererRef> found = style.renderersOfClass(renderer->classInfo());
    if (found.size() == 1 && found.first() == renderer
        && style.indexOfRenderer(renderer.get()) == style.countOfRenderList() - 1)
        return false;
    for (const VRRendererRef &r : found) {
        if (r != renderer && r->container())
            r->container()->removeRenderer(r.get());
    }
    style.addRenderer(renderer);
    return true;
}

void VRStyleBridge::removeRenderersOfClass(VRStyle &style, const VRClassInfo &classInfo)
{
    if (!style.renderersOfClass(classInfo).isEmpty())
        style.removeRenderersOfClass(classInfo, true);
}

void VRStyleBridge::detachRenderer(VRRasterizer &renderer)
{
    if (VRRastGroup *group = renderer.container())
        group->removeRenderer(&renderer);
}
