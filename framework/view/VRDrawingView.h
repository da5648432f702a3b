#pragma once

#include "framework/base/VRTypes.h"
#include "platform/NotificationCenter.h"

#include <QHash>
#include <QImage>
#include <QRegion>
#include <QTimer>
#include <QPointer>
#include <QRectF>
#include <QVariantMap>
#include <QWidget>

#include <memory>

class QMenu;
class QMimeData;
class QScrollArea;
class QTextEdit;
class VRDrawing;
class VRDrawingTool;
class VRObjectDrawingLayer;
class VRViewController;
struct VRToolEvent;

// Paints one drawing and turns input into tool calls. It sits in a QScrollArea (the document's
// main view) or stands alone (previews). Drawing coordinates are points; at scale 1 one point is
// one pixel. The paper sits a fixed pasteboard margin inside the widget.
class VRDrawingView : public QWidget
{
    Q_OBJECT
public:
    explicit VRDrawingView(VRDrawing *drawing, QWidget *parent = nullptr);
    ~VRDrawingView() override;

    VRDrawing *drawing() const { return m_drawing; }
    // Shows another drawing (the document replaced its drawing).
    void setDrawing(VRDrawing *drawing);
    VRViewController *controller() const { return m_controller; }
    VRDrawingTool *drawingTool() const;
    VRObjectDrawingLayer *activeObjectLayer() const;

    // Zoom: 1.0 = 100 %, clamped to 0.05 ... 16. Posts kVRDrawingViewDidChangeScale.
    double scale() const { return m_scale; }
    void setScale(double scale);
    // Zooms to percent / 100 keeping centredPoint (drawing coordinates) in the middle.
    void zoomToPercentageWithTag(int percent, QPointF centredPoint);
    // Zooms so the drawing rectangle fills the visible area.
    void zoomToRect(const QRectF &rect);
    QPointF centredPointInDocView() const;
    void scrollPointToCentre(QPointF point);
    void scrollToRect(const QRectF &rect);
    // Brings a drawing rectangle (a result just made) into sight: a rectangle the visible area
    // shows whole stays where it is, one that fits is scrolled into the middle, and one larger
    // than the visible area is zoomed out to fit it.
    void revealRect(const QRectF &rect);
    // Scrolls by a distance in view pixels.
    void scrollByPixels(QPointF delta);
    // The part of the drawing on screen, in drawing coordinates.
    QRectF visibleDrawingRect() const;

    bool pageBreaksVisible() const;
    void setPageBreaksVisible(bool visible);

    // Coordinates.
    QPointF mapToDrawing(QPointF viewPoint) const;
    QPointF mapFromDrawing(QPointF drawingPoint) const;
    QRectF mapRectFromDrawing(const QRectF &rect) const;
    QRectF mapRectToDrawing(const QRectF &rect) const;
    // Grid snapping when the drawing snaps to the grid.
    QPointF snapToGrid(QPointF point) const;
    // Smart guides: the offset that snaps a moving rectangle to the others' edges and centres.
    QPointF snapToGuides(const QRectF &moving, const VRObjectList &exclude);
    void clearGuides();

    // Repaints the part of the view showing a drawing rectangle (handles included).
    void updateDrawingRect(const QRectF &rect);
    void updateObjects(const VRObjectList &objects);

    // Selection handles of the single selection: index 0..7 (corners and edge midpoints in unit
    // coordinates), 8 = rotation; -1 = none at that view point.
    int handleAtViewPoint(QPointF viewPoint, VRObjectRef *object) const;
    static QPointF handleUnitPosition(int handle);
    QPointF handleDrawingPosition(const VRDrawableObject &object, int handle) const;

    // Hit testing through the visible, unlocked object layers (active layer first).
    VRObjectRef objectAtPoint(QPointF drawingPoint, VRObjectDrawingLayer **layer = nullptr) const;

    // Posts kQntShapeInfoUpdated for a single selected object.
    void postShapeInfo(const VRObjectRef &object);
    // Posts kQntElementMovedNotification after a move ends.
    void postObjectsMoved(const VRObjectList &objects);

    // Text: inline when "kQntEnableInlineEditor" is on, else kQntShowTextEditorNotification.
    void editTextOfObject(const VRObjectRef &object);
    void beginInlineEditing(const VRObjectRef &object);
    // A widget with this property set (or inside one that has it) formats the text being edited
    // inline: the edit goes on while it has the focus.
    static constexpr const char *kKeepsInlineEditingProperty = "keepsInlineEditing";
    // Commits (or drops) the inline edit in progress.
    void endInlineEditing(bool commit = true);
    QTextEdit *inlineEditor() const;
    VRObjectRef inlineEditedObject() const { return m_inlineObject; }

    // Highlighted sub-element (double-click inside a group element); null clears.
    void setHighlightedObject(const VRObjectRef &object);
    VRObjectRef highlightedObject() const { return m_highlighted; }

    // The object menu: defaults verbs, copy style, properties for the single selection.
    QMenu *objectMenu();

    QSize sizeHint() const override;

    // Counters for tests and benchmarks: objects painted in the last paint event.
    int lastPaintedObjectCount() const { return m_lastPainted; }

public slots:
    void deleteSelection(QObject *sender = nullptr);
    void selectAll(QObject *sender = nullptr);
    void zoomToActualSize(QObject *sender = nullptr);
    // One step up or down the ladder of zoom levels (percent: 5 ... 1600), keeping the centre.
    void zoomIn(QObject *sender = nullptr);
    void zoomOut(QObject *sender = nullptr);
    // The whole paper in the visible area.
    void zoomToFit(QObject *sender = nullptr);
    void toggleGridVisible(QObject *sender = nullptr);
    void setShowPageBreaks(QObject *sender = nullptr);
    void selectDrawingTool(QObject *sender = nullptr);
    void undo(QObject *sender = nullptr);
    void redo(QObject *sender = nullptr);
    // Inserts dropped or pasted data centred on a drawing point (undo "Drop").
    VRObjectList insertDroppedData(const QMimeData *data, QPointF drawingPoint)
    {
        return dropData(data, drawingPoint);
    }
    // Pictures (image data, or picture files) become image shapes.
    static bool holdsPictures(const QMimeData *data);
    // Pictures on the clipboard go in as image shapes at the centre of the visible area
    // (undo "Paste"); answers the inserted shapes.
    VRObjectList pastePictures(const QMimeData *data);
    void bringToFront(QObject *sender = nullptr);
    void sendToBack(QObject *sender = nullptr);
    void switchOnAutoRevertAction(QObject *sender = nullptr);
    void switchOffAutoRevertAction(QObject *sender = nullptr);
    void toggleAutoRevertAction(QObject *sender = nullptr);

signals:
    // The visible part changed (scroll, zoom, resize).
    void visibleRectChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    friend struct VRDrawingViewTestAccess; // tests compare a partial repaint with a full one

    VRToolEvent toolEvent(QMouseEvent *event) const;
    QScrollArea *scrollArea() const;
    void updateGeometryForScale();
    QRect visibleViewRect() const;
    void invalidateContent(const QRect &viewRect);
    void invalidateAllContent();
    // Frees the picture cache; the next paint makes it again.
    void releasePicture();
    // At 100 % and closer a view in a scroll area keeps no picture: it draws what it is asked
    // for straight onto the screen. What stays in view when it scrolls is moved there by the
    // scroll area, and drawing the few objects of a changed spot at that zoom costs about what
    // copying it would; the picture would cost megabytes on a large screen.
    bool drawsDirectly() const;
    void invalidateGuideLines();
    void paintContent(QPainter &painter, const QRect &viewRect);
    // Draws the dirty part of the cache within a region (merging many small pieces).
    void paintCacheRegion(const QRegion &region);
    // Draws the cache's margins around the visible part once the view has been idle a moment.
    void paintMarginsWhenIdle();
    void paintPageBreaks(QPainter &painter, const QRectF &area) const;
    void paintSelection(QPainter &painter) const;
    void rightMouseUp(QPointF drawingPoint);
    void nudgeSelection(QPointF delta);
    void objectDidChange(const VRObjectRef &object, const void *identity);
    bool canAcceptDrop(const QMimeData *data) const;
    // Inserts what the data holds centred on a drawing point; returns the inserted objects.
    VRObjectList dropData(const QMimeData *data, QPointF drawingPoint,
                          const QString &actionName = QStringLiteral("Drop"));
    void observeDrawing();
    static bool isKindOfNamed(const VRDrawableObject &object, QStringView className);
    static QVariantMap objectInfo(const VRObjectRef &object);
    // The centre and size an object's shape info reports, in the drawing's units.
    QVariantList reportedGeometry(const VRDrawableObject &object) const;

    // Grey pasteboard around the paper, in view pixels at every scale.
    static constexpr int kPasteboardMargin = 48;

    VRDrawing *m_drawing;
    VRViewController *m_controller;
    double m_scale = 1.0;
    bool m_pressed = false;
    Qt::MouseButton m_pressButton = Qt::NoButton;
    QPointer<QTextEdit> m_inlineEditor;
    // The zoom the inline editor shows its text at.
    double m_inlineScale = 1.0;
    VRObjectRef m_inlineObject;
    // Where the edited object lays its text out (drawing coordinates), how it aligns it
    // vertically there (0 top, 1 middle, 2 bottom), and whether the box grows with a line.
    QRectF m_inlineFrame;
    int m_inlineVerticalAlignment = 1;
    bool m_inlineGrows = false;
    // Puts the inline editor's text where the object draws it, as it grows.
    void placeInlineEditor();
    // Ends the inline edit when the focus leaves the widgets that format its text.
    QMetaObject::Connection m_inlineFocusWatch;
    VRObjectRef m_highlighted;
    QPointer<QMenu> m_objectMenu;
    // Where each top-level object was last painted (drawing coordinates), so a change repaints
    // its old area as well as its new one.
    QHash<const void *, QRectF> m_paintedBounds;
    bool m_paintedBoundsComplete = true;
    // The picture cache wraps around: a view point (x, y) lies at (x mod width, y mod height) of
    // the image (logical pixels), so scrolling moves no pixels, and only what scrolled in is drawn.
    QImage m_cache;
    QSize m_cacheSize;
    QRect m_cacheRect;
    QRegion m_cacheDirty;
    QTimer *m_marginTimer = nullptr;
    std::vector<NotificationToken> m_tokens;
    // The object and geometry the last shape info reported.
    std::weak_ptr<VRDrawableObject> m_reportedObject;
    QVariantList m_reportedGeometry;
    int m_lastPainted = 0;
    bool m_fullRepaintAfterGesture = false;
};
