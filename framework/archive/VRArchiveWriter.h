#pragma once

#include "framework/archive/VRJsonStreamWriter.h"
#include "framework/base/VRTypes.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QJsonObject>
#include <QVariant>

#include <vector>

class VRJsonWriter;

// Writes object records of the native format as they are visited: it numbers objects (uids)
// so references survive, and collects every style and image once for the file's shared
// tables. Style records are written into the style table's text as they are first met.
class VRArchiveWriter
{
public:
    VRArchiveWriter();
    ~VRArchiveWriter();
    VRArchiveWriter(const VRArchiveWriter &) = delete;
    VRArchiveWriter &operator=(const VRArchiveWriter &) = delete;

    // The full record of an object as the next value (its class writes its own fields).
    void writeObject(VRJsonWriter &out, const VRDrawableObject &object);
    // An array of object records as the next value; null entries are left out.
    void writeObjects(VRJsonWriter &out, const VRObjectList &objects);
    // The same array, the text the same byte for byte; a long list is written in parts on
    // worker threads, each part into its own text, and the parts are joined in order.
    void writeObjectsInParts(VRJsonStreamWriter &out, const VRObjectList &objects);
    // From this many objects on, writeObjectsInParts uses worker threads.
    static constexpr qsizetype kPartsThreshold = 512;
    // The uid of an object, given on first use.
    qint64 uidOf(const VRDrawableObject *object);
    // The style's key as the next value (null without a style); the style's record joins the
    // table. Two style objects carrying the same key (copies read back from the pasteboard
    // keep theirs) are two records: the second is written under a new key, so neither look is
    // lost.
    void writeStyleReference(VRJsonWriter &out, const VRStyleRef &style);
    // The sha1 of the image; its PNG joins the image table.
    QString imageReference(const QImage &image);
    // Puts encoded picture data into the image table as it was read, under its key.
    QString keepImageData(const QString &key, const QString &encoded);

    // The style table as JSON text (an array); call once, after every object is written.
    QByteArray takeStylesText();
    // The same text, left in the writer (valid while it lives); call once, instead.
    QByteArrayView finishStylesText();
    QJsonObject &imagesTable() { return m_images; }

    // A value of the native format (tagged colours, sizes, styles, objects ...).
    static void writeValue(VRJsonWriter &out, const QVariant &value,
                           VRArchiveWriter *writer = nullptr);
    static void writeMap(VRJsonWriter &out, const QVariantMap &map,
                         VRArchiveWriter *writer = nullptr);
    static QString colour(const QColor &colour);
    static void writeFont(VRJsonWriter &out, const QFont &font);

    // Texts are written into memory kept from earlier writes where there is some: a save then
    // neither asks the system for fresh memory nor fills it page by page. A borrowed writer is
    // empty: the kept one with the least room of at least `room` bytes, else the roomiest. One
    // given back is kept (up to a bound on what is kept in all) for the next.
    static VRJsonStreamWriter borrowText(qsizetype room);
    static void giveBackText(VRJsonStreamWriter &&text);

private:
    class Part;
    // A writer of one part: uids and style keys are decided when the parts are joined, so it
    // writes markers for them and keeps what each marker stands for.
    explicit VRArchiveWriter(VRJsonStreamWriter *partText);
    struct Reference {
        const void *target = nullptr; // the object numbered, or the style
        bool style = false;
        qsizetype recordBegin = 0; // the style's record in m_styles
        qsizetype recordEnd = 0;
    };
    quint32 referenceTo(const void *target, bool style);
    // What a part's reference is in the joined text: a uid, or a style's key (its record then
    // joins the style table).
    void resolve(const VRArchiveWriter &part, const Reference &reference, QByteArray &text);
    void writePartStyleReference(VRJsonWriter &out, const VRStyleRef &style);
    // A second style under a key already in the table is written under a new key, returned.
    QString writeRenamedStyleRecord(const VRStyle &style);

    QHash<const VRDrawableObject *, qint64> m_uids;
    QHash<QString, bool> m_styleKeys;
    QHash<const VRStyle *, QString> m_keyOfStyle;
    VRJsonStreamWriter m_styles;
    bool m_stylesTaken = false;
    QJsonObject m_images;
    qint64 m_nextUid = 1;
    VRJsonStreamWriter *m_partText = nullptr;
    std::vector<Reference> m_references;
    QHash<const void *, quint32> m_referenceOf;
    bool m_partFailed = false;
};
