#pragma once

#include "framework/base/VRClassInfo.h"
#include "framework/base/VRTypes.h"

#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTextDocumentFragment>
#include <QTransform>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>

class QJsonObject;
class QMimeData;
class QPainter;
class QTextEdit;
class QntContextTextEditorView;
class VRArchiveReader;
class VRArchiveWriter;
class VRJsonWriter;
class VRDrawableContainer;
class VRObjectOwnerLayer;
struct VRRenderContext;

// How closely bounds are measured: Exact lays out each text to find where its glyphs go;
// Outer only holds all of them, from the fonts' metrics, laying out only what those cannot
// vouch for (far quicker for many texts never yet drawn).
enum class VRBoundsMeasure { Exact, Outer };

// Base of everything drawn: class identity, geometry, style, lock, state marks, metadata.
// Objects are not QObjects so that large drawings stay light; they are held by
// std::shared_ptr and owned by their layer or group. Setters record undo with the undo
// manager of the drawing they are in; detached objects and prototypes record nothing.
class VRDrawableObject : public std::enable_shared_from_this<VRDrawableObject>
{
    VR_ROOT_CLASS(VRDrawableObject)
public:
    VRDrawableObject();
    virtual ~VRDrawableObject();
    VRDrawableObject(const VRDrawableObject &) = delete;
    VRDrawableObject &operator=(const VRDrawableObject &) = delete;

    // Deep copy: parts and metadata; the style is shared when sharable, else copied.
    virtual VRObjectRef copy() const;

    QString ID() const;
    void setID(const QString &id);
    bool isPrototype() const { return m_prototype; }
    void setIsPrototype(bool prototype) { m_prototype = prototype; }
    // Transient marks (not saved, no undo).
    int state() const { return m_state; }
    virtual void setState(int state) { m_state = state; }

    VRDrawableContainer *container() const { return m_container; }
    void setContainer(VRDrawableContainer *container);
    VRObjectOwnerLayer *layer() const;
    VRDrawing *drawing() const;
    VRUndoManager *undoManager() const;

    // Geometry. The anchor (location) is the centre plus offset x size.
    QPointF location() const { return m_location; }
    virtual void setLocation(QPointF location);
    QSizeF size() const { return m_size; }
    virtual void setSize(QSizeF size);
    QSizeF offset() const { return m_offset; }
    virtual void setOffset(QSizeF offset);
    double angle() const { return m_angle; }
    double angleInDegrees() const;
    virtual void setAngle(double radians);
    void moveBy(QPointF delta) { setLocation(m_location + delta); }
    // Unit square to member (container) coordinates.
    QTransform transform() const;
    // Unit square to drawing coordinates, parents included.
    QTransform transformIncludingParent() const;
    // The outline in drawing coordinates.
    virtual QPainterPath renderingPath() const;
    // A rectangle that holds the outline: every control point of renderingPath() (so its
    // curves too), found without making the path where the object can.
    virtual QRectF outlineOuterRect() const;
    // Axis-aligned drawing bounds of the outline only.
    QRectF logicalBounds() const;
    // Axis-aligned drawing bounds, stroke and shadow included.
    QRectF bounds() const;
    // Never smaller than bounds(), and bounds() itself once that is known: what the layer's
    // index is built on, so that opening a document lays out no text before it is drawn.
    QRectF outerBounds() const;
    QRectF bounds(VRBoundsMeasure measure) const
    {
        return measure == VRBoundsMeasure::Exact ? bounds() : outerBounds();
    }
    // The bounds must be computed again; the container hears of it (its index may hold them).
    void invalidateBoundsCache();
    // Applies a transform (in container coordinates) to the geometry.
    virtual void applyTransform(const QTransform &transform);
    // The container's content now maps to another place in the drawing (a group was moved,
    // resized or turned): what the object keeps in drawing coordinates follows.
    virtual void containerGeometryDidChange();
    virtual bool hitTest(QPointF drawingPoint) const;
    // Whether the object, moved by `delta`, lies within the coordinates a drawing holds
    // (VRDrawing::kMaximumCoordinate): its place and its outline within that distance of the
    // origin, its size no larger. A document keeps and reads back only such objects.
    bool fitsTheDrawing(QPointF delta = {}) const;
    // What fitsTheDrawing() weighs of the object's geometry, as one rectangle: the place and
    // the outline with every control point of its curves (logicalBounds() leaves those out).
    QRectF reachBounds() const;
    // Whether it would still fit after `change`, which is tried on a detached copy: the object
    // itself changes nothing and records nothing.
    bool wouldFitTheDrawingAfter(const std::function<void(VRDrawableObject &)> &change) const;

    // Everything geometric about an object, for operations that restore it exactly.
    struct Geometry {
        QPointF location;
        QSizeF size;
        QSizeF offset;
        double angle = 0.0;
        QPainterPath path;
        // A connector's own route, in the path's coordinates: the points the user put on it
        // and how far its middle run was moved.
        QList<QPointF> routePoints{};
        QPointF routeBend{};
    };
    virtual Geometry saveGeometry() const;
    virtual void restoreGeometry(const Geometry &geometry);

    int verticalAlignment() const { return m_verticalAlignment; }
    void setVerticalAlignment(int alignment);

    bool isLocked() const { return m_locked; }
    void setLocked(bool locked);
    bool isVisible() const { return m_visible; }
    void setVisible(bool visible);

    VRStyleRef style() const { return m_style; }
    virtual void setStyle(VRStyleRef style);
    // The style that gives the object its look, as the style editors show and change it:
    // the object's own, unless the object is drawn by a part (see QntElement).
    virtual VRStyleRef editableStyle() const { return style(); }
    virtual void setEditableStyle(VRStyleRef style) { setStyle(std::move(style)); }
    bool hasManuallyAssignedGradient() const { return m_manualGradient; }
    void setHasManuallyAssignedGradient(bool manual) { m_manualGradient = manual; }

    // Metadata.
    const QVariantMap &userInfo() const { return m_userInfo; }
    void setUserInfo(const QVariantMap &info);
    void setMetadataObject(const QVariant &value, const QString &key);
    QVariant metadataObjectForKey(const QString &key) const { return m_userInfo.value(key); }
    void removeMetadataForKey(const QString &key);
    bool hasMetadataForKey(const QString &key) const { return m_userInfo.contains(key); }
    void setString(const QString &value, const QString &forKey);
    QString stringForKey(const QString &key) const;
    void setIntValue(qint64 value, const QString &forKey);
    void setFloatValue(double value, const QString &forKey);
    qint64 intValueForKey(const QString &key) const;
    double floatValueForKey(const QString &key) const;
    virtual void setupMetadata();

    void notifyVisualChange();
    virtual void updateStyle() {}
    virtual void objectWasAddedToLayer(VRObjectOwnerLayer *layer);
    virtual void objectWillBeRemovedFromLayer(VRObjectOwnerLayer *layer);

    // Parts (members of groups, elements, connectors); empty for simple objects.
    virtual VRObjectList parts() const { return {}; }
    // The part with this ID, or the parts whose ID starts with the prefix, at any depth.
    virtual VRObjectRef objectWithId(const QString &id) const;
    virtual VRObjectList objectsWithPrefixId(const QString &prefix) const;
    VRObjectList allPartsOfClass(const VRClassInfo &cls) const;

    // A new element of the notation in this object's place: same place and size, colour scheme
    // and text copied, connectors re-attached, same z-index, selected; undoable "Replace Element".
    VRObjectRef replaceWithObject(const QString &elementId, const QString &notationPath,
                                  bool animated);

    virtual qint64 colorSchemeId() const { return 0; }
    virtual void replaceColorScheme(qint64) {}
    virtual void changeTransparencyWithCoef(double) {}

    // Text; the base object has none.
    virtual QTextDocumentFragment textContent() const { return {}; }
    virtual void setTextContent(const QTextDocumentFragment &) {}
    void startEditingInContextEditorWithView(QntContextTextEditorView *view);
    void endEditingInContextEditor(bool commit);
    void clearTextEditorRef() { m_editorView = nullptr; }
    bool isEditing() const { return m_editorView != nullptr; }
    QTextEdit *textEditor() const;
    void setDblClickCount(int count) { m_dblClickCount = count; }

    // Native file record: every class writes and reads its own fields after its base's.
    virtual void writeRecord(VRJsonWriter &record, VRArchiveWriter &writer) const;
    virtual bool readRecord(const QJsonObject &record, VRArchiveReader &reader,
                            const QString &path);

    // Drawing: the object in drawing coordinates.
    virtual void render(QPainter &painter) const;

    void writeSupplementaryDataToPasteboard(QMimeData *data) const;
    static VRObjectList nativeObjectsFromPasteboard(const QMimeData *data);
    void copyDrawingStyle(QObject *sender = nullptr) const;

    static bool displaysSizeInfoWhenDragging();
    static void setDisplaysSizeInfoWhenDragging(bool displays);

    // Renders a style on a path (stroke, fill and the rest of its renderers).
    static void renderStyle(QPainter &painter, const VRStyle *style, const VRDrawableObject &object,
                            const QPainterPath &path);
    // Extra bounds around the outline that a style paints (stroke, shadow).
    static double styleExtraSpace(const VRStyle *style);
    // What a style draws on for the object: the path, the object's unturned frame and its
    // angle.
    static VRRenderContext styleContext(const VRDrawableObject &object, const QPainterPath &path);
    // Copies a style the way attaching it to another object would: sharable styles are
    // shared, others copied.
    static VRStyleRef styleForCopy(const VRStyleRef &style);

protected:
    // Records the inverse of a change, named for the undo menu. Nothing is recorded for
    // detached objects, prototypes or while registration is off.
    void recordUndo(const char *selector, const QString &actionName,
                    std::function<void(VRDrawableObject &)> inverse);
    // Geometry changed: invalidate caches, repaint, tell the container and observers.
    virtual void geometryDidChange();
    // Copies this object's base fields into a fresh object of the same class.
    void copyBaseInto(VRDrawableObject &target) const;
    // Draws the object's own content (the base draws its style on its outline).
    virtual void drawContent(QPainter &painter) const;
    // The bounds of the outline and of what the style paints around it (strokes, shadows):
    // bounds() without what may reach further (text). Hits are weighed within them.
    QRectF outlineBounds() const;
    // Outline, style and the labels the style draws.
    virtual QRectF computeBounds(VRBoundsMeasure measure) const;
    // fitsTheDrawing() with the outline taken through `outer` first.
    bool fitsTheDrawing(const QTransform &outer, QPointF delta) const;

    QPointF m_location;
    QSizeF m_size{0, 0};
    QSizeF m_offset{0, 0};
    double m_angle = 0.0;

private:
    void metadataChanged(const QVariantMap &old);

    VRStyleRef m_style;
    QVariantMap m_userInfo;
    VRDrawableContainer *m_container = nullptr;
    QntContextTextEditorView *m_editorView = nullptr;
    mutable QRectF m_boundsCache;
    mutable QRectF m_outerBoundsCache;
    int m_state = 0;
    int m_verticalAlignment = 1;
    int m_dblClickCount = 0;
    bool m_prototype = false;
    bool m_locked = false;
    bool m_visible = true;
    bool m_manualGradient = false;
    mutable bool m_boundsValid = false;
    mutable bool m_outerBoundsValid = false;
};

VRObjectList deepCopy(const VRObjectList &objects);
