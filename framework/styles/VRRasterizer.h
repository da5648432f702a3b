#pragma once

#include "framework/base/VRClassInfo.h"
#include "framework/base/VRTypes.h"
#include "framework/styles/VRRenderContext.h"
#include "framework/styles/VRStyleCoding.h"

#include <QJsonObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

class QMimeData;
class QPainter;
class VRRastGroup;
class VRRasterizer;
class VRJsonWriter;
class VRStyle;
using VRRendererRef = std::shared_ptr<VRRasterizer>;

// One step of a style's drawing: a stroke, a fill, a text, an effect group ... A style is the
// root group of a tree of these. Property setters record undo with the drawing of the style's
// clients and tell the clients to repaint.
class VRRasterizer : public std::enable_shared_from_this<VRRasterizer>
{
    VR_ROOT_CLASS(VRRasterizer)

public:
    VRRasterizer() = default;
    virtual ~VRRasterizer();
    VRRasterizer(const VRRasterizer &) = delete;
    VRRasterizer &operator=(const VRRasterizer &) = delete;

    // The group holding this renderer; null for a style root or a detached renderer.
    VRRastGroup *container() const { return m_container; }
    // The root style; null when detached.
    VRStyle *style() const;

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    // Properties by key, as an outline or table column names them. Only "enabled" is a key
    // today; an unknown key reads as an invalid value and is refused on writing.
    virtual QVariant valueForKey(const QString &key) const;
    virtual bool setValueForKey(const QVariant &value, const QString &key);

    // A deep copy, detached.
    VRRendererRef copy() const { return makeCopy(); }
    static QString UIName() { return QStringLiteral("Renderer"); }
    virtual QString uiName() const { return UIName(); }

    // Draws on the context's path or bounds. Disabled renderers are skipped by their group.
    virtual void render(QPainter &painter, const VRRenderContext &context) const = 0;
    // How far this renderer paints outside the outline.
    virtual double extraSpace() const { return 0.0; }
    // Whether it paints the interior (decides the swatch shape).
    virtual bool isFill() const { return false; }

    // Native records: {"class", "enabled", properties...}; images go to the image table.
    QJsonObject toJson(QJsonObject &images) const;
    // The same record written as the next value of `out`.
    void writeRecord(VRJsonWriter &out, QJsonObject &images) const;
    // Creates a renderer from its record through the class allow-list; null with the reason
    // (JSON path and violation) in coding.error() for anything not sound.
    static VRRendererRef fromJson(const QJsonObject &record, VRStyleCoding &coding);
    static VRResult<VRRendererRef> fromJson(const QJsonObject &record, const QJsonObject &images);

    bool isEqual(const VRRasterizer &other) const;

    // Pasteboard ({"format": "quintora.renderer", "renderer", "images"}).
    void copyToPasteboard(QMimeData *mimeData) const;
    // Null when the pasteboard has no renderer or an unreadable one.
    static VRRendererRef rasterizerFromPasteboard(const QMimeData *mimeData);

protected:
    friend class VRRastGroup;

    virtual VRRendererRef makeCopy() const;
    // Subclasses add their properties; the base handles "class" and "enabled".
    virtual void writeProperties(VRJsonWriter &record, QJsonObject &images) const;
    virtual void readProperties(const QJsonObject &record, VRStyleCoding &coding);

    // Brackets a change for the style's clients (repaint, notification).
    void willChange() const;
    void didChange() const;
    // Records an undo step "selector" with the drawing of the style's clients.
    void registerUndo(const char *selector, std::function<void()> inverse) const;

    // The common setter: no-op when equal; otherwise undo, change, notify.
    template <typename Self, typename T, typename Arg>
    void changeProperty(T &field, const T &value, const char *selector, void (Self::*setter)(Arg))
    {
        if (field == value)
            return;
        std::weak_ptr<VRRasterizer> weak = weak_from_this();
        registerUndo(selector, [weak, old = field, setter] {
            if (auto self = weak.lock())
                (static_cast<Self *>(self.get())->*setter)(old);
        });
        willChange();
        field = value;
        didChange();
    }

private:
    VRRastGroup *m_container = nullptr;
    bool m_enabled = true;
};
