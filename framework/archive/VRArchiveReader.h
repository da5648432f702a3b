#pragma once

#include "framework/base/VRTypes.h"
#include "framework/styles/VRStyleCoding.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QPainterPath>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <vector>

class VRRecordSource;
struct VRWithheldPicture;

// Reads object records of the native format, checking every field: type, range (finite
// numbers, non-negative sizes, coordinates within +-1e7), classes through the allow-list,
// references to uids, styles and images. The first violation stops reading and is reported
// with its JSON path ("drawing.layers[0].objects[3].size: expected two non-negative numbers").
class VRArchiveReader
{
public:
    static constexpr double kMaximumCoordinate = 1e7;
    static constexpr int kMaximumValueDepth = 64;

    VRArchiveReader() = default;

    // Shared tables of the file. Styles are read at once; images on demand.
    bool readStyles(const QJsonValue &styles, const QString &path);
    bool readStyles(VRRecordSource &styles, const QString &path);
    void setImages(const QJsonObject &images) { m_images = images; }

    // An object made through the allow-list from its record; null after a failure.
    VRObjectRef readObject(const QJsonValue &record, const QString &path);
    VRObjectList readObjects(const QJsonValue &records, const QString &path);
    VRObjectList readObjects(VRRecordSource &records, const QString &path);
    // Runs the deferred reference fix-ups (connector ends, selections); false on failure.
    bool resolveReferences();
    void defer(std::function<bool(VRArchiveReader &)> fixUp) { m_fixUps.append(std::move(fixUp)); }
    VRObjectRef objectForUid(qint64 uid) const { return m_objects.value(uid); }
    // Objects copied without what they were attached to (a connector without its shapes) are
    // read with those ends free; a drawing that names a shape it doesn't hold is damaged.
    void setFreesEndsOfMissingElements(bool frees) { m_freesEndsOfMissingElements = frees; }
    bool freesEndsOfMissingElements() const { return m_freesEndsOfMissingElements; }

    // Told the number of records read so far (styles and the objects of the lists read, not
    // the objects inside them) after every kProgressEvery of them; false stops the reading as a
    // failure, and cancelled() tells it apart from damage.
    static constexpr qsizetype kProgressEvery = 64;
    void setProgress(std::function<bool(qsizetype recordsRead)> progress)
    {
        m_progress = std::move(progress);
    }
    bool cancelled() const { return m_cancelled; }

    bool failed() const { return !m_error.isEmpty(); }
    QString errorMessage() const { return m_error; }
    // Records the first failure; always returns false.
    bool fail(const QString &path, const QString &message);

    // Field readers: `required` fields must be present; absent optional ones leave `out` alone.
    bool readNumber(const QJsonObject &o, const QString &key, const QString &path, double &out,
                    bool required = false, double min = -kMaximumCoordinate,
                    double max = kMaximumCoordinate);
    bool readInt(const QJsonObject &o, const QString &key, const QString &path, int &out,
                 bool required = false, int min = -1000000, int max = 1000000);
    bool readInt64(const QJsonObject &o, const QString &key, const QString &path, qint64 &out,
                   bool required = false);
    bool readBool(const QJsonObject &o, const QString &key, const QString &path, bool &out,
                  bool required = false);
    bool readString(const QJsonObject &o, const QString &key, const QString &path, QString &out,
                    bool required = false, bool nullable = false);
    bool readPoint(const QJsonObject &o, const QString &key, const QString &path, QPointF &out,
                   bool required = false);
    bool readSize(const QJsonObject &o, const QString &key, const QString &path, QSizeF &out,
                  bool required = false, bool allowNegative = false);
    bool readColour(const QJsonObject &o, const QString &key, const QString &path, QColor &out,
                    bool required = false, bool nullable = false);
    bool readPath(const QJsonObject &o, const QString &key, const QString &path, QPainterPath &out,
                  bool required = false);
    bool readFont(const QJsonObject &o, const QString &key, const QString &path, QFont &out);
    bool readStyle(const QJsonObject &o, const QString &key, const QString &path, VRStyleRef &out);
    // A picture too large to decode fails the read, unless withheld is given: it then receives
    // the picture's data as the file holds it and out stays null.
    bool readImage(const QJsonObject &o, const QString &key, const QString &path, QImage &out,
                   VRWithheldPicture *withheld = nullptr);
    bool readObjectRecord(const QJsonObject &o, const QString &key, const QString &path,
                          QJsonObject &out, bool required = false);
    bool readArray(const QJsonObject &o, const QString &key, const QString &path, QJsonArray &out,
                   bool required = false);
    bool readValue(const QJsonValue &v, const QString &path, QVariant &out, int depth = 0);
    bool readMap(const QJsonObject &o, const QString &key, const QString &path, QVariantMap &out);

    static QColor colourFromString(const QString &text);
    // Two numbers within the drawing range; false (out untouched) for anything else.
    static bool pointFromValue(const QJsonValue &v, QPointF &out);
    static QString typeError(const char *expected);

private:
    // Counts one record read; false when the progress says to stop.
    bool countRecord(const QString &path);

    // Dictionaries of up to this many plain values are shared between equal records.
    static constexpr qsizetype kMaximumSharedMapSize = 4;
    struct FontKey {
        QString family;
        double size = 0;
        bool bold = false, italic = false, underline = false;
        bool operator==(const FontKey &) const = default;
    };
    friend size_t qHash(const FontKey &key, size_t seed = 0)
    {
        return qHashMulti(seed, key.family, key.size, key.bold, key.italic, key.underline);
    }

    QHash<qint64, VRObjectRef> m_objects;
    QHash<FontKey, QFont> m_fonts;
    QHash<VRStyleCoding::RecordKey, QVariantMap> m_maps;
    // The styles in the order of the table, and where each key is in it (the last of a key
    // stands; those before it have their key cleared). A file names its styles mostly in the
    // order its table lists them: the one after the style named last is tried first.
    std::vector<std::pair<QString, VRStyleRef>> m_styleOrder;
    QHash<QString, size_t> m_styles;
    size_t m_nextStyle = 0;
    // Pictures of shapes and styles alike, within one budget (VRStyleCoding::kMaxDecodedPixels).
    VRStyleCoding::DecodedImagesRef m_decoded = std::make_shared<VRStyleCoding::DecodedImages>();
    QJsonObject m_images;
    QList<std::function<bool(VRArchiveReader &)>> m_fixUps;
    bool m_freesEndsOfMissingElements = false;
    QString m_error;
    std::function<bool(qsizetype)> m_progress;
    qsizetype m_recordsRead = 0;
    int m_listDepth = 0; // lists of objects being read, one inside the other
    bool m_cancelled = false;
};
