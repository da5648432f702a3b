#pragma once

#include "framework/base/VRTypes.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QPainterPath>
#include <QVariant>

// Writes object records of the native format: it numbers objects (uids) so references
// survive, and collects every style and image once for the file's shared tables.
class VRArchiveWriter
{
public:
    VRArchiveWriter() = default;

    // The full record of an object (its class writes its own fields).
    QJsonObject objectRecord(const VRDrawableObject &object);
    QJsonArray objectRecords(const VRObjectList &objects);
    // The uid of an object, given on first use.
    qint64 uidOf(const VRDrawableObject *object);
    // The style's key; the style's record joins the table. Two style objects carrying the same
    // key (copies read back from the pasteboard keep theirs) are two records: the second is
    // written under a new key, so neither look is lost.
    QJsonValue styleReference(const VRStyleRef &style);
    // The sha1 of the image; its PNG joins the image table.
    QString imageReference(const QImage &image);

    QJsonArray stylesTable() const { return m_styles; }
    QJsonObject &imagesTable() { return m_images; }

    static QJsonValue value(const QVariant &value, VRArchiveWriter *writer = nullptr);
    static QJsonObject map(const QVariantMap &map, VRArchiveWriter *writer = nullptr);
    static QString colour(const QColor &colour);
    static QJsonArray point(QPointF p) { return {p.x(), p.y()}; }
    static QJsonArray size(QSizeF s) { return {s.width(), s.height()}; }
    static QJsonArray rect(const QRectF &r) { return {r.x(), r.y(), r.width(), r.height()}; }
    static QJsonObject font(const QFont &font);

private:
    QHash<const VRDrawableObject *, qint64> m_uids;
    QHash<QString, bool> m_styleKeys;
    QHash<const VRStyle *, QString> m_keyOfStyle;
    QJsonArray m_styles;
    QJsonObject m_images;
    qint64 m_nextUid = 1;
};
