#pragma once

#include "framework/styles/VRGradient.h"
#include "framework/styles/VRShadow.h"
#include "framework/styles/VRStrokeDash.h"

#include <QFont>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QSizeF>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>

class VRRasterizer;

// Reading and writing of style records in the native JSON form. Images live in the file's image
// table ({"<sha1>": "<base64 PNG>"}) and records name them by key. Reading checks every value
// for type and range and keeps the first violation with its JSON path
// ("styles[0].renderers[2].width: ...").
class VRStyleCoding
{
public:
    // Limits every reader enforces.
    static constexpr int kMaxDepth = 64;
    static constexpr double kMaxCoordinate = 1.0e7;
    // All pictures one file (a document, a style library, a pasteboard record) may decode
    // together: 512 MiB as 32-bit pixels. Qt's own limit applies to one picture only.
    static constexpr qint64 kMaxDecodedPixels = qint64(128) * 1024 * 1024;

    // A record (or list of records) as the key of a table of things read alike. Its hash walks
    // the values only, not the keys: equal records hash alike, and records of one kind differ
    // in their values, while hashing the keys as well would make a string of each.
    struct RecordKey {
        QJsonValue record;
        bool operator==(const RecordKey &other) const { return record == other.record; }
        friend size_t qHash(const RecordKey &key, size_t seed = 0)
        {
            return valuesHash(key.record, seed);
        }
    };
    static size_t valuesHash(const QJsonValue &value, size_t seed);

    // The pictures decoded from one file's image table: each decoded once, all counted against
    // kMaxDecodedPixels. Shared by every coding that reads from the same file.
    struct DecodedImages {
        QHash<QString, QImage> images;
        qint64 pixels = 0;
        // The styles read so far, by their renderers' records: styles recorded with equal
        // renderers share one list (copied on write, see VRRastGroup). The first style keeps
        // its own list until a second one is read alike.
        struct RendererList {
            std::weak_ptr<VRRasterizer> first;
            std::shared_ptr<const QList<std::shared_ptr<VRRasterizer>>> shared;
        };
        QHash<RecordKey, RendererList> rendererLists; // by the list of renderer records
    };
    using DecodedImagesRef = std::shared_ptr<DecodedImages>;

    explicit VRStyleCoding(const QJsonObject *images = nullptr, const QString &path = {});

    // Writing helpers.
    static QString colourString(const QColor &colour);
    static QJsonValue shadowJson(const std::optional<VRShadow> &shadow);
    static QJsonValue dashJson(const VRDashRef &dash);
    static QJsonValue gradientJson(const VRGradientRef &gradient);
    static QJsonObject fontJson(const QFont &font);
    static QJsonValue textAttributesJson(const QVariantMap &attributes);
    // Stores the image in the table and answers its key; a null image gives JSON null.
    static QJsonValue imageJson(const QImage &image, QJsonObject &images);

    // Reading: each getter answers the default when the key is absent, fails (and answers the
    // default) when it is present with a wrong type or out of range.
    double number(const QJsonObject &o, const QString &key, double def, double min, double max);
    int integer(const QJsonObject &o, const QString &key, int def, int min, int max);
    int choice(const QJsonObject &o, const QString &key, int def,
               std::initializer_list<int> allowed);
    bool boolean(const QJsonObject &o, const QString &key, bool def);
    QString string(const QJsonObject &o, const QString &key, const QString &def,
                   int maxLength = 4096);
    QColor colour(const QJsonObject &o, const QString &key, const QColor &def);
    QSizeF size(const QJsonObject &o, const QString &key, const QSizeF &def, double min,
                double max);
    std::optional<VRShadow> shadow(const QJsonObject &o, const QString &key);
    VRDashRef dash(const QJsonObject &o, const QString &key);
    VRGradientRef gradient(const QJsonObject &o, const QString &key);
    QFont font(const QJsonObject &o, const QString &key, const QFont &def);
    QVariantMap textAttributes(const QJsonObject &o, const QString &key);
    QImage image(const QJsonObject &o, const QString &key);
    // Decodes the PNG of a table entry within the shared budget; a null image and *error set
    // when it is unreadable, too large on its own or past the budget.
    // A picture refused for its size alone sets tooLarge to the size its header gives.
    static QImage decodeImage(const QByteArray &png, DecodedImages &decoded, QString *error,
                              QSize *tooLarge = nullptr);
    static QString picturesTooLargeMessage();
    // Reads with the pictures another coding of the same file has decoded.
    void shareDecodedImages(DecodedImagesRef decoded) { m_decoded = std::move(decoded); }
    DecodedImages &decodedImages() const { return *m_decoded; }
    // Reading a record apart from the other records of its file (on another thread, say): its
    // renderers are not shared through decodedImages() with those of styles read alike...
    void setReadsApart(bool apart) { m_readsApart = apart; }
    bool readsApart() const { return m_readsApart; }
    // ...but taken from a style whose renderers' records are the same, when there is one.
    using SharedRenderers = std::shared_ptr<const QList<std::shared_ptr<VRRasterizer>>>;
    void setRenderersReadAlike(SharedRenderers renderers)
    {
        m_renderersReadAlike = std::move(renderers);
    }
    const SharedRenderers &renderersReadAlike() const { return m_renderersReadAlike; }

    static std::optional<QColor> parseColour(const QString &text);

    // Failure state.
    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    void fail(const QString &key, const QString &what);
    QString path() const { return m_path; }
    QString childPath(const QString &key) const;
    // Nested records (groups) share the image table and error.
    VRStyleCoding child(const QString &key) const;
    int depth() const { return m_depth; }
    void setError(const QString &error)
    {
        if (m_error.isEmpty())
            m_error = error;
    }

private:
    const QJsonObject *m_images = nullptr;
    DecodedImagesRef m_decoded = std::make_shared<DecodedImages>();
    QString m_path;
    QString m_error;
    int m_depth = 0;
    bool m_readsApart = false;
    SharedRenderers m_renderersReadAlike;
};
