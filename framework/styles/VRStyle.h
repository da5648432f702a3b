#pragma once

#include "framework/base/VRTypes.h"
#include "framework/styles/VRRastGroup.h"
#include "framework/styles/VRShadow.h"
#include "framework/styles/VRStyleCoding.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QSizeF>
#include <QVariantMap>

#include <mutex>

class VRDrawableObject;
class VRFill;
class VRStroke;
class VRRenderersReadAlike;

// A shareable set of renderers plus text attributes, with a name, a lock and a registry identity
// (uniqueKey, kept in files). The style is the root group of its renderer tree. Drawables are
// its clients: they are told to repaint after every change, and the undo manager of their
// drawing records the change.
class VRStyle : public VRRastGroup
{
    VR_CLASS(VRStyle)

public:
    VRStyle();
    // A style under the given key; a new key when it is empty.
    explicit VRStyle(const QString &uniqueKey);
    ~VRStyle() override;

    static VRStyleRef create();
    static QString UIName() { return QStringLiteral("Style"); }
    QString uiName() const override { return UIName(); }

    QString name() const { return m_name; }
    void setName(const QString &name);
    // A locked style refuses setName, setStyleSharable and removeTextAttributes.
    bool isLocked() const { return m_locked; }
    void setLocked(bool locked);
    bool isStyleSharable() const { return m_sharable; }
    void setStyleSharable(bool sharable);
    QString uniqueKey() const { return m_uniqueKey; }
    bool isStyleRegistered() const { return m_registered; }
    int lastSelectedRowInInspector() const { return m_lastSelectedRow; }
    void setLastSelectedRowInInspector(int row) { m_lastSelectedRow = row; }

    // Clients: the drawables using this style.
    int countOfClients() const { return static_cast<int>(m_clients.size()); }
    QList<VRDrawableObject *> clients() const { return m_clients; }
    void addClient(VRDrawableObject *client);
    void removeClient(VRDrawableObject *client);

    // Brackets multi-step edits into one repaint and one notification; nests.
    void notifyClientsBeforeChange();
    void notifyClientsAfterChange();

    // Text attributes: keys "font" (QFont), "colour" (QColor), "underline" (bool).
    bool hasTextAttributes() const { return !m_textAttributes.isEmpty(); }
    QVariantMap textAttributes() const { return m_textAttributes; }
    void setTextAttributes(const QVariantMap &attributes);
    void removeTextAttributes();

    double maxStrokeWidth() const;

    // Swatches: type −1 by content (rectangle when it fills, line otherwise), 0 rectangle, 1 line.
    QImage styleSwatchWithSize(const QSizeF &size, int type) const;
    QImage standardStyleSwatch() const;

    // Deep copy: unregistered, unlocked, new key, same name.
    VRStyleRef copy() const;

    // Conveniences over the renderers.
    VRStroke *stroke() const; // the last stroke (kind-of; may be an arrow stroke), may be null
    bool hasStroke() const;   // reads the renderers as they are, shared or not
    bool hasFill() const;     // the same
    QColor strokeColour() const;
    void setStrokeColour(const QColor &colour); // every stroke; adds one when there is none
    double strokeWidth() const;
    void setStrokeWidth(double width); // every stroke
    VRFill *fill() const;              // the last fill, may be null
    QColor fillColour() const;
    void setFillColour(const QColor &colour); // the last fill; adds one when there is none

    void render(QPainter &painter, const VRRenderContext &context) const override;

    // Native record: {"key", "name", "locked", "sharable", "textAttributes", "renderers"}.
    QJsonObject toJson(QJsonObject &images) const;
    // `decoded` shares decoded pictures and their budget with other records of the same file.
    static VRResult<VRStyleRef> fromJson(const QJsonObject &record, const QJsonObject &images,
                                         const QString &jsonPath = QStringLiteral("style"),
                                         VRStyleCoding::DecodedImagesRef decoded = nullptr);
    static VRStyleRef fromJson(const QJsonObject &record, VRStyleCoding &coding);
    // Reads a plain style record (fills and strokes of flat colours, no text attributes) apart
    // from its file's tables, as the threads parsing a large document do. Anything else gives
    // null: the record is then read with its file (fromJson()), which also tells what is wrong
    // with it. `renderersText` is the text of the record's "renderers" as the file has it (empty
    // when not known): styles whose renderers are written alike share them through `alike`.
    static VRStyleRef prepare(const QJsonObject &record, QByteArrayView renderersText,
                              VRRenderersReadAlike &alike);
    bool isEqual(const VRStyle &other) const;
    // A style put on the pasteboard with copyToPasteboard(); null when there is none.
    static VRStyleRef styleFromPasteboard(const QMimeData *mimeData);

    // The undo manager of the clients' drawing records style changes (none when detached).
    void registerUndoForChange(const void *target, const char *selector,
                               std::function<void()> inverse);

    static QString styleNameForFont(const QFont &font);
    static VRShadow defaultShadow();
    static VRStyleRef styleWithFillColour(const QColor &fill, const QColor &strokeColour,
                                          double strokeWidth);

protected:
    VRRendererRef makeCopy() const override;
    void writeProperties(VRJsonWriter &record, QJsonObject &images) const override;
    void readProperties(const QJsonObject &record, VRStyleCoding &coding) override;

private:
    friend class VRStyleRegistry;
    void setNameValue(const QString &name);
    void setSharableValue(bool sharable);
    void setTextAttributesValue(const QVariantMap &attributes);
    void setRegistered(bool registered) { m_registered = registered; }
    void setUniqueKey(const QString &key) { m_uniqueKey = key; }
    void postNotification(const QString &name);

    QString m_name;
    QString m_uniqueKey;
    QVariantMap m_textAttributes;
    QList<VRDrawableObject *> m_clients;
    int m_changeDepth = 0;
    int m_lastSelectedRow = 0;
    bool m_locked = false;
    bool m_sharable = false;
    bool m_registered = false;
};

// The renderer lists of the styles of one file read apart (VRStyle::prepare), by the text of
// their records in the file (equal texts are equal lists): styles written alike share one list.
// Any thread.
class VRRenderersReadAlike
{
public:
    struct Text {
        QByteArray text;
        size_t hash = 0;
        bool operator==(const Text &other) const { return text == other.text; }
        friend size_t qHash(const Text &key, size_t seed = 0)
        {
            return seed == size_t(QHashSeed::globalSeed()) ? key.hash : qHash(key.text, seed);
        }
    };
    static Text textOf(QByteArrayView text)
    {
        return {text.toByteArray(), qHash(text, size_t(QHashSeed::globalSeed()))};
    }
    VRStyleCoding::SharedRenderers find(const Text &text) const
    {
        std::lock_guard lock(m_mutex);
        return m_lists.value(text);
    }
    // Keeps the first list given for a text.
    void insert(const Text &text, VRStyleCoding::SharedRenderers renderers)
    {
        std::lock_guard lock(m_mutex);
        if (!m_lists.contains(text))
            m_lists.insert(text, std::move(renderers));
    }

private:
    mutable std::mutex m_mutex;
    QHash<Text, VRStyleCoding::SharedRenderers> m_lists;
};
