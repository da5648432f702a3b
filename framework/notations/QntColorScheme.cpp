#include "framework/notations/QntColorScheme.h"

#include "framework/notations/QntNotation.h"

#include <QHash>
#include <QMutex>

#include <algorithm>
#include <optional>

namespace {

struct CachedColour {
    QColor colour;
    double alpha = 1.0;
};

QMutex g_mutex;
std::shared_ptr<QVariantMap> g_liveCopy;
QHash<QString, CachedColour> g_cache;

QColor parseHex(const QString &text)
{
    const QString t = text.trimmed();
    if (!t.startsWith(QLatin1Char('#')) || (t.size() != 4 && t.size() != 7 && t.size() != 9))
        return {};
    if (t.size() == 9) {
        bool ok = false;
        const uint v = t.mid(1).toUInt(&ok, 16);
        return ok ? QColor((v >> 24) & 0xff, (v >> 16) & 0xff, (v >> 8) & 0xff, v & 0xff)
                  : QColor();
    }
    return QColor::fromString(t);
}

qint64 integerOf(const QVariant &value, bool *ok)
{
    if (value.metaType().id() == QMetaType::QString) {
        return value.toString().trimmed().toLongLong(ok);
    }
    *ok = value.isValid() && value.canConvert<qint64>();
    return *ok ? value.toLongLong() : 0;
}

// The user copy's colour, when it has one for this scheme, group and index.
std::optional<CachedColour> userColour(const QString &notationName, qint64 schemeId,
                                       const QString &group, int index)
{
    if (!g_liveCopy)
        return std::nullopt;
    const QVariantMap root = g_liveCopy->value(notationName).toMap();
    for (const QVariant &schemeValue : root.value(QStringLiteral("Children")).toList()) {
        const QVariantMap scheme = schemeValue.toMap();
        bool ok = false;
        if (integerOf(scheme.value(QStringLiteral("Id")), &ok) != schemeId || !ok)
            continue;
        for (const QVariant &groupValue : scheme.value(QStringLiteral("Children")).toList()) {
            const QVariantMap groupMap = groupValue.toMap();
            if (groupMap.value(QStringLiteral("Name")).toString() != group)
                continue;
            for (const QVariant &colourValue :
                 groupMap.value(QStringLiteral("Children")).toList()) {
                const QVariantMap colourMap = colourValue.toMap();
                if (!colourMap.contains(QStringLiteral("HexColorValue")))
                    continue;
                if (integerOf(colourMap.value(QStringLiteral("Id")), &ok) != index || !ok)
                    continue;
                CachedColour result;
                result.colour =
                    parseHex(colourMap.value(QStringLiteral("HexColorValue")).toString());
                result.alpha =
                    colourMap.contains(QStringLiteral("AlphaValue")) ? std::clamp(
                        colourMap.value(QStringLiteral("AlphaValue")).toDouble(), 0.0, 1.0)
                                                                     : 1.0;
                return result;
            }
        }
    }
    return std::nullopt;
}

} // namespace

void QntColorScheme::setCustomColorSchemePropsRef(std::shared_ptr<QVariantMap> liveCopy)
{
    QMutexLocker lock(&g_mutex);
    g_liveCopy = std::move(liveCopy);
}

std::shared_ptr<QVariantMap> QntColorScheme::customColorSchemePropsRef()
{
    QMutexLocker lock(&g_mutex);
    return g_liveCopy;
}

void QntColorScheme::releaseColorSchemeCache()
{
    QMutexLocker lock(&g_mutex);
    g_cache.clear();
}

QString QntColorScheme::groupName(const QString &itemsType)
{
    const QString prefix = QStringLiteral("ColorSchemeItems");
    return itemsType.startsWith(prefix) ? itemsType.mid(prefix.size()) : itemsType;
}

QColor QntColorScheme::colour(const QntNotation &notation, qint64 schemeId,
                              const QString &itemsType, int index, double *alpha)
{
    const QString group = groupName(itemsType);
    const QString name = notation.notationName();
    CachedColour found;
    {
        QMutexLocker lock(&g_mutex);
        if (auto user = userColour(name, schemeId, group, index)) {
            found = *user;
        } else {
            const QString key = QStringLiteral("%1|%2|%3|%4")
                                    .arg(notation.absolutePath())
                                    .arg(schemeId)
                                    .arg(group)
                                    .arg(index);
            auto it = g_cache.constFind(key);
            if (it == g_cache.cend()) {
                CachedColour fromDatabase;
                fromDatabase.colour =
                    notation.colorSchemeItemColour(schemeId, group, index, &fromDatabase.alpha);
                it = g_cache.insert(key, fromDatabase);
            }
            found = *it;
        }
    }
    if (alpha)
        *alpha = found.alpha;
    QColor result = found.colour;
    if (result.isValid())
        result.setAlphaF(float(found.alpha));
    return result;
}
