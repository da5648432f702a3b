// VRDrawingView: construction, the drawing it shows and the changes it listens to.
#include "framework/view/VRDrawingView.h"

#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRViewController.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"

VRDrawingView::VRDrawingView(VRDrawing *drawing, QWidget *parent)
    : QWidget(parent)
    , m_drawing(drawing)
    , m_controller(new VRViewController(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAcceptDrops(true);
    if (m_drawing)
        m_drawing->setOwner(m_controller);
    updateGeometryForScale();
    observeDrawing();
    setCursor(drawingTool()->cursor());
}

VRDrawingView::~VRDrawingView()
{
    m_tokens.clear();
    if (m_drawing && m_drawing->owner() == m_controller)
        m_drawing->setOwner(nullptr);
}

void VRDrawingView::setDrawing(VRDrawing *drawing)
{
    if (drawing == m_drawing)
        return;
    endInlineEditing(false);
    m_tokens.clear();
    if (m_drawing) {
        disconnect(m_drawing, nullptr, this, nullptr);
        if (m_drawing->owner() == m_controller)
            m_drawing->setOwner(nullptr);
    }
    m_drawing = drawing;
    m_highlighted.reset();
    m_paintedBounds.clear();
    m_paintedBoundsComplete = true;
    m_cache = QImage();
    if (m_drawing)
        m_drawing->setOwner(m_controller);
    observeDrawing();
    updateGeometryForScale();
    update();
}

void VRDrawingView::observeDrawing()
{
    if (!m_drawing)
        return;
    connect(m_drawing, &VRDrawing::needsDisplay, this, [this] {
        // A page that grew or shrank (drawing size, automatic layout) resizes the view.
        if (size() != sizeHint())
            updateGeometryForScale();
        // During a drag the objects that change report their own areas; drawing everything on
        // each mouse move would make large drawings sluggish. Catch up when the drag ends.
        if (m_pressed) {
            m_fullRepaintAfterGesture = true;
            update();
            return;
        }
        invalidateAllContent();
        update();
    });
    connect(m_drawing, &VRDrawing::scrollRequested, this, &VRDrawingView::scrollToRect);
    connect(m_drawing, &VRDrawing::cursorsInvalidated, this,
            [this] { setCursor(drawingTool()->cursor()); });
    connect(m_drawing, &QObject::destroyed, this, [this] {
        m_tokens.clear();
        m_drawing = nullptr;
    });
    NotificationCenter &nc = NotificationCenter::defaultCenter();
    m_tokens.push_back(
        nc.addObserver(kVRDrawableDidChangeNotification, nullptr, [this](const Notification &n) {
            const VRObjectRef object =
                n.userInfo.value(QStringLiteral("object")).value<VRObjectRef>();
            objectDidChange(object, n.object);
        }));
    // A recorded step, its undo and its redo may have moved or resized the one selected object
    // without the view's tools: its geometry is reported again, as while it is dragged.
    m_tokens.push_back(
        nc.addObserver(kQntUndoRedoChangedNotification, nullptr, [this](const Notification &n) {
            if (!m_drawing
                || n.userInfo.value(QStringLiteral("UndoManager")).value<VRUndoManager *>()
                       != m_drawing->undoManager())
                return;
            VRObjectDrawingLayer *layer = activeObjectLayer();
            const VRObjectRef selected = layer ? layer->singleSelection() : nullptr;
            if (!selected)
                return;
            if (m_reportedObject.lock() != selected
                || m_reportedGeometry != reportedGeometry(*selected))
                postShapeInfo(selected);
        }));
    const auto repaintForLayer = [this](const Notification &n) {
        if (n.object == m_drawing) {
            invalidateAllContent();
            update();
            return;
        }
        // Layer notifications carry the layer as object; ours belong to our drawing.
        if (!m_drawing)
            return;
        for (int k = 0; k < m_drawing->countOfLayers(); ++k) {
            if (m_drawing->objectInLayersAtIndex(k) == n.object) {
                if (n.name != kVRLayerSelectionDidChange)
                    invalidateAllContent();
                update();
                return;
            }
        }
    };
    for (const QString &name :
         {kVRLayerSelectionDidChange, kVRDrawingActiveLayerDidChange, kVRLayerVisibleStateDidChange,
          kVRLayerLockStateDidChange, kVRLayerGroupDidAddLayer, kVRLayerGroupDidRemoveLayer,
          kVRLayerGroupDidReorderLayers})
        m_tokens.push_back(nc.addObserver(name, nullptr, repaintForLayer));
}

VRDrawingTool *VRDrawingView::drawingTool() const
{
    return m_controller->drawingTool();
}

VRObjectDrawingLayer *VRDrawingView::activeObjectLayer() const
{
    if (!m_drawing)
        return nullptr;
    return m_drawing->activeLayerOfClass<VRObjectDrawingLayer>();
}

bool VRDrawingView::isKindOfNamed(const VRDrawableObject &object, QStringView className)
{
    const VRClassInfo *cls = VRClassInfo::byName(className);
    return cls && object.isKindOfClass(*cls);
}

QVariantMap VRDrawingView::objectInfo(const VRObjectRef &object)
{
    return {{QStringLiteral("object"), QVariant::fromValue(object)}};
}
