#pragma once

#include "framework/base/VRTypes.h"

#include <QJsonObject>
#include <QPainterPath>

class QPainter;
class VRDrawableObject;
class VRClassInfo;
class VRRasterizer;

// The few things the model needs of a style, in one place: drawing it on an object's path,
// the space it paints outside the path, client bookkeeping, and its file record.
class VRStyleBridge
{
public:
    static void render(const VRStyle &style, QPainter &painter, const VRDrawableObject &object,
                       const QPainterPath &path);
    static double extraSpace(const VRStyle &style);
    static bool isSharable(const VRStyle &style);
    static int clientCount(const VRStyle &style);
    static void addClient(VRStyle &style, VRDrawableObject *client);
    static void removeClient(VRStyle &style, VRDrawableObject *client);
    // The style a new client gets: the same one when sharable, else a copy.
    static VRStyleRef copyForNewClient(const VRStyleRef &style);
    static QString uniqueKey(const VRStyle &style);

    // Colours a scheme assigns (the last fill; every stroke).
    static void setFillColour(VRStyle &style, const QColor &colour);
    static void setStrokeColour(VRStyle &style, const QColor &colour);
    static QColor strokeColour(const VRStyle &style, const QColor &fallback);
    // Makes the renderer the style's last one and the only one of its class, dropping others
    // of that class; false when nothing needed to change.
    static bool makeSoleLastRenderer(VRStyle &style, const std::shared_ptr<VRRasterizer> &renderer);
    static void removeRenderersOfClass(VRStyle &style, const VRClassInfo &classInfo);
    // Takes the renderer out of the group it sits in, if any.
    static void detachRenderer(VRRasterizer &renderer);
    // The style as a renderer on the pasteboard.
    static QByteArray pasteboardData(const VRStyle &style);
    // File records; images are collected into / read from the shared image table.
    static QJsonObject toJson(const VRStyle &style, QJsonObject &images);
    static VRResult<VRStyleRef> fromJson(const QJsonObject &record, const QJsonObject &images);
};
