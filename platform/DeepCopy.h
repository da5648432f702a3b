#pragma once

#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

// Copies of nested property-list containers that share nothing with the original, so a
// copy handed to another thread or kept as a snapshot is never touched by later edits.
QVariant deepCopy(const QVariant &value);
QVariantMap deepCopy(const QVariantMap &map);
QVariantList deepCopy(const QVariantList &list);
