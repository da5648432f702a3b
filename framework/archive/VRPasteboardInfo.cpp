#include "framework/archive/VRPasteboardInfo.h"

#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>

#include <cmath>

VRPasteboardInfo VRPasteboardInfo::pasteboardInfoForObjects(const VRObjectList &objects)
{
    VRPasteboardInfo info;
    for (const auto &o : objects) {
        if (!o)
            continue;
        ++info.m_count;
        if (!info.m_classNames.contains(o->className()))
            info.m_classNames.append(o->className());
        info.m_bounds = info.m_bounds.isNull() ? o->bounds() : info.m_bounds.united(o->bounds());
    }
    return info;
}

void VRPasteboardInfo::writeToPasteboard(QMimeData *data) const
{
    if (!data)
        return;
    const QJsonObject o{
        {QStringLiteral("count"), m_count},
        {QStringLiteral("classes"), QJsonArray::fromStringList(m_classNames)},
        {QStringLiteral("bounds"),
         QJsonArray{m_bounds.x(), m_bounds.y(), m_bounds.width(), m_bounds.height()}}};
    data->setData(kVRPasteboardInfoType, QJsonDocument(o).toJson(QJsonDocument::Compact));
}

std::optional<VRPasteboardInfo> VRPasteboardInfo::fromPasteboard(const QMimeData *data)
{
    if (!data || !data->hasFormat(kVRPasteboardInfoType))
        return std::nullopt;
    const QByteArray bytes = data->data(kVRPasteboardInfoType);
    if (bytes.size() > 1024 * 1024)
        return std::nullopt;
    const QJsonObject o = QJsonDocument::fromJson(bytes).object();
    const QJsonArray b = o.value(QStringLiteral("bounds")).toArray();
    const double count = o.value(QStringLiteral("count")).toDouble(-1);
    if (count < 0 || count > 1e9 || count != std::floor(count) || b.size() != 4)
        return std::nullopt;
    VRPasteboardInfo info;
    info.m_count = int(count);
    for (const QJsonValue &v : o.value(QStringLiteral("classes")).toArray())
        info.m_classNames.append(v.toString());
    double r[4];
    for (int i = 0; i < 4; ++i) {
        r[i] = b.at(i).toDouble(std::nan(""));
        if (!std::isfinite(r[i]))
            return std::nullopt;
    }
    info.m_bounds = QRectF(r[0], r[1], r[2], r[3]);
    return info;
}
