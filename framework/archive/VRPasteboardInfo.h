#pragma once

#include "framework/base/VRTypes.h"

#include <QRectF>
#include <QStringList>

#include <optional>

class QMimeData;

// A summary of objects on the pasteboard: how many, of which classes, and their bounds.
class VRPasteboardInfo
{
public:
    static VRPasteboardInfo pasteboardInfoForObjects(const VRObjectList &objects);
    void writeToPasteboard(QMimeData *data) const;
    // Nothing when the pasteboard has no summary or an unreadable one.
    static std::optional<VRPasteboardInfo> fromPasteboard(const QMimeData *data);

    int count() const { return m_count; }
    QStringList classNames() const { return m_classNames; }
    QRectF bounds() const { return m_bounds; }

private:
    int m_count = 0;
    QStringList m_classNames;
    QRectF m_bounds;
};
