#pragma once

#include <QColor>
#include <QString>
#include <QVariantMap>

#include <memory>

class QntNotation;

// The colours elements and connectors take from a notation's schemes: the user's customised copy
// of the schemes first (kept by reference, shared with the colour-scheme section), else the
// notation database, read once and cached.
class QntColorScheme
{
public:
    // notation name → root dictionary ({"Children": [scheme…]}); the live copy is not copied.
    static void setCustomColorSchemePropsRef(std::shared_ptr<QVariantMap> liveCopy);
    static std::shared_ptr<QVariantMap> customColorSchemePropsRef();
    static void releaseColorSchemeCache();

    // itemsType: "Fill", "Stroke", "Text", "GradientStops" or the item table names. Invalid when
    // the scheme has no such item or the item holds no colour ("#"). The colour carries the
    // item's alpha; alpha (when given) gets it too.
    static QColor colour(const QntNotation &notation, qint64 schemeId, const QString &itemsType,
                         int index, double *alpha = nullptr);

    // The group name used by the user copy: "Fill", "Stroke", "Text" or "GradientStops".
    static QString groupName(const QString &itemsType);
};
