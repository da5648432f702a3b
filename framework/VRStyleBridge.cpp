#include "framework/VRStyleBridge.h"

#include <QPainter>

// Styles are built by the styles library; until a style class exists every call is inert.

void VRStyleBridge::render(const VRStyle &, QPainter &, const VRDrawableObject &, const QPainterPath &) {}

double VRStyleBridge::extraSpace(const VRStyle &)
{
    return 0.0;
}

bool VRStyleBridge::isSharable(const VRStyle &)
{
    return true;
}

int VRStyleBridge::clientCount(const VRStyle &)
{
    return 0;
}

void VRStyleBridge::addClient(VRStyle &, VRDrawableObject *) {}

void VRStyleBridge::removeClient(VRStyle &, VRDrawableObject *) {}

VRStyleRef VRStyleBridge::copyForNewClient(const VRStyleRef &style)
{
    return style;
}

QString VRStyleBridge::uniqueKey(const VRStyle &)
{
    return QString();
}

VRStyleRef VRStyleBridge::styleWithFillColour(const QColor &, const QColor &, double)
{
    return nullptr;
}

QJsonObject VRStyleBridge::toJson(const VRStyle &, QJsonObject &)
{
    return {};
}

VRResult<VRStyleRef> VRStyleBridge::fromJson(const QJsonObject &, const QJsonObject &)
{
    return VRError{QStringLiteral("styles are not supported")};
}

QByteArray VRStyleBridge::pasteboardData(const VRStyle &)
{
    return {};
}

void VRStyleBridge::setFillColour(VRStyle &, const QColor &) {}

void VRStyleBridge::setStrokeColour(VRStyle &, const QColor &) {}

QColor VRStyleBridge::strokeColour(const VRStyle &, const QColor &fallback)
{
    return fallback;
}
