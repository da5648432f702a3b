#include "framework/document/VRInspectorBase.h"

#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "platform/Document.h"
#include "platform/DocumentController.h"
#include "platform/FloatingWindow.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

namespace {
QPointer<VRDrawingDocument> g_mainDocumentOverride;
bool g_overrideSet = false;
} // namespace

VRInspectorBase::VRInspectorBase(const QString &windowName, QObject *parent)
    : QObject(parent)
    , m_windowName(windowName)
{
    registerObservers();
}

VRInspectorBase::VRInspectorBase(VREmbedded, QWidget *hostWindow)
    : QObject(hostWindow)
    , m_window(hostWindow)
{
    m_windowLoaded = hostWindow != nullptr;
}

VRInspectorBase::~VRInspectorBase()
{
    QWidget *window = m_ownsWindow ? m_window.data() : nullptr;
    if (!window)
        return;
    // An inspector that its own window holds is being deleted by that window.
    for (const QObject *owner = parent(); owner; owner = owner->parent()) {
        if (owner == window)
            return;
    }
    delete window;
}

void VRInspectorBase::registerObservers()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_tokens.push_back(
        center.addObserver(kVRLayerSelectionDidChange, nullptr, [this](const Notification &n) {
            VRDrawing *drawing = currentDrawing();
            if (!drawing)
                return;
            for (int i = 0; i < drawing->countOfLayers(); ++i) {
                if (drawing->objectInLayersAtIndex(i) == n.object) {
                    selectedObjectDidChange(n);
                    return;
                }
            }
        }));
    m_tokens.push_back(
        center.addObserver(kVRDrawingActiveLayerDidChange, nullptr, [this](const Notification &n) {
            if (n.object && n.object == currentDrawing())
                layerDidChange(n);
        }));
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::focusWindowChanged, this, [this] {
            mainDocumentMayHaveChanged();
            // Only a document window taking the focus moves the panels; the focus moving to a
            // panel or a dialog leaves them where they float.
            keepAboveDocumentWindow(true);
        });
    DocumentController &controller = DocumentController::sharedDocumentController();
    connect(&controller, &DocumentController::documentAdded, this,
            [this] { mainDocumentMayHaveChanged(); });
    connect(&controller, &DocumentController::documentRemoved, this,
            [this] { mainDocumentMayHaveChanged(); });
}

void VRInspectorBase::mainDocumentMayHaveChanged()
{
    VRDrawingDocument *document = currentDocument();
    if (document == m_lastDocument)
        return;
    m_lastDocument = document;
    QWidget *window = document ? document->windowForSheet() : nullptr;
    Notification n;
    n.name = document ? QStringLiteral("NSWindowDidBecomeMainNotification")
                      : QStringLiteral("NSWindowDidResignMainNotification");
    n.object = window;
    documentDidChange(n);
    redisplayContentForSelection(selectedObjectForCurrentTarget());
}

void VRInspectorBase::setMainDocumentOverride(VRDrawingDocument *document)
{
    g_mainDocumentOverride = document;
    g_overrideSet = document != nullptr;
}

QWidget *VRInspectorBase::window()
{
    if (!m_window && !m_windowLoaded) {
        m_window = createWindow();
        m_ownsWindow = m_window != nullptr;
        m_windowLoaded = true;
        windowDidLoad();
    }
    return m_window;
}

void VRInspectorBase::setWindow(QWidget *window)
{
    if (m_ownsWindow && m_window && m_window != window)
        delete m_window.data();
    m_window = window;
    m_ownsWindow = false;
    m_windowLoaded = true;
}

void VRInspectorBase::showWindow()
{
    if (QWidget *w = window()) {
        keepAboveDocumentWindow(false);
        placeOverDocumentWindow();
        w->show();
        w->raise();
    }
}

void VRInspectorBase::placeOverDocumentWindow()
{
    // A panel opens where it was last, when that place is still on a screen; otherwise over
    // the drawing, clear of the document window's menus and toolbar, a step away from the
    // panels already open there.
    QWidget *panel = m_window;
    if (!panel || !panel->isWindow() || panel->windowType() != Qt::Tool || !panel->windowHandle())
        return;
    if (panel->testAttribute(Qt::WA_Moved)
        && QGuiApplication::screenAt(panel->frameGeometry().center()))
        return;
    QWindow *parent = panel->windowHandle()->transientParent();
    if (!parent)
        return;
    int open = 0;
    for (QWidget *other : QApplication::topLevelWidgets()) {
        if (other != panel && other->isVisible() && other->windowType() == Qt::Tool
            && other->windowHandle() && other->windowHandle()->transientParent() == parent)
            ++open;
    }
    const QPoint origin = parent->geometry().topLeft() + QPoint(240, 120) + QPoint(30, 30) * open;
    panel->move(origin);
}

QWindow *VRInspectorBase::documentWindowToFloatAbove(bool focusedOnly) const
{
    const QList<Document *> documents = DocumentController::sharedDocumentController().documents();
    const auto handleOfDocumentWindow = [&documents](QWindow *candidate) -> QWindow * {
        for (Document *document : documents) {
            for (QWidget *window : document->windows()) {
                if (window->windowHandle() && window->windowHandle() == candidate)
                    return candidate;
            }
        }
        return nullptr;
    };
    if (QWindow *focused = handleOfDocumentWindow(QGuiApplication::focusWindow()))
        return focused;
    if (focusedOnly)
        return nullptr;
    VRDrawingDocument *document = currentDocument();
    QWidget *window = document ? document->windowForSheet() : nullptr;
    return window && window->isVisible() ? window->windowHandle() : nullptr;
}

void VRInspectorBase::keepAboveDocumentWindow(bool focusedOnly)
{
    // Only a floating panel of its own follows the document windows.
    QWidget *panel = m_window;
    if (!panel || !panel->isWindow() || panel->windowType() != Qt::Tool)
        return;
    QWindow *target = documentWindowToFloatAbove(focusedOnly);
    if (!target)
        return;
    // The document window the user just clicked keeps the focus.
    floatAboveWindow(panel, target, true);
}

QWidget *VRInspectorBase::createWindow()
{
    auto *w = new QWidget(nullptr, Qt::Tool);
    w->setWindowTitle(m_windowName);
    return w;
}

VRDrawingDocument *VRInspectorBase::mainDocument()
{
    if (g_overrideSet)
        return g_mainDocumentOverride;
    return qobject_cast<VRDrawingDocument *>(
        DocumentController::sharedDocumentController().currentDocument());
}

VRDrawingDocument *VRInspectorBase::currentDocument() const
{
    return mainDocument();
}

VRDrawing *VRInspectorBase::currentDrawing() const
{
    // A bound inspector whose drawing has gone works on nothing, not on another document.
    if (m_boundToDrawing)
        return m_targetDrawing.data();
    VRDrawingDocument *document = currentDocument();
    return document ? document->drawing() : nullptr;
}

void VRInspectorBase::setTargetDrawing(VRDrawing *drawing)
{
    m_targetDrawing = drawing;
    m_boundToDrawing = drawing != nullptr;
}

VRLayer *VRInspectorBase::currentActiveLayer() const
{
    VRDrawing *drawing = currentDrawing();
    return drawing ? drawing->activeLayer() : nullptr;
}

VRDrawing *VRInspectorBase::drawingForTargetWindow(QWidget *window) const
{
    if (!window)
        return nullptr;
    for (Document *d : DocumentController::sharedDocumentController().documents()) {
        auto *document = qobject_cast<VRDrawingDocument *>(d);
        if (!document)
            continue;
        for (QWidget *w : document->windows()) {
            if (w == window || w->isAncestorOf(window))
                return document->drawing();
        }
    }
    return nullptr;
}

VRViewController *VRInspectorBase::currentMainViewController() const
{
    VRDrawing *drawing = currentDrawing();
    return drawing ? drawing->owner() : nullptr;
}

double VRInspectorBase::totalScreensWidth() const
{
    double right = 0;
    for (QScreen *screen : QGuiApplication::screens())
        right = std::max(right, double(screen->geometry().right() + 1));
    return right;
}

void VRInspectorBase::setObjectsClass(const VRClassInfo *cls)
{
    m_classes.clear();
    if (cls)
        m_classes.append(cls);
}

const VRClassInfo *VRInspectorBase::objectsClass() const
{
    return m_classes.isEmpty() ? nullptr : m_classes.first();
}

VRObjectList VRInspectorBase::selectedObjectForCurrentTarget() const
{
    VRDrawing *drawing = currentDrawing();
    auto *layer = drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
    if (!layer)
        return {};
    if (m_classes.isEmpty())
        return layer->selection();
    return objectsInSelectionOfClasses(m_classes);
}

VRObjectList VRInspectorBase::objectsInSelectionOfClass(const VRClassInfo &cls) const
{
    return objectsInSelectionOfClasses({&cls});
}

VRObjectList
VRInspectorBase::objectsInSelectionOfClasses(const QList<const VRClassInfo *> &classes) const
{
    VRDrawing *drawing = currentDrawing();
    auto *layer = drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
    if (!layer)
        return {};
    VRObjectList result;
    for (const auto &o : layer->selection()) {
        for (const VRClassInfo *cls : classes) {
            if (cls && o->isKindOfClass(*cls)) {
                result.append(o);
                break;
            }
        }
    }
    return result;
}

VRObjectRef VRInspectorBase::firstObjectOfClassInSelection(const VRClassInfo &cls) const
{
    const VRObjectList objects = objectsInSelectionOfClass(cls);
    return objects.isEmpty() ? nullptr : objects.first();
}

bool VRInspectorBase::isMemberOfElements(const VRDrawableObject &object) const
{
    static const char *const names[] = {"QntElement", "QntText", "QntDirectlyDrawedElement",
                                        "QntUMLSequenceElement"};
    for (const char *name : names) {
        if (const VRClassInfo *cls = VRClassInfo::byName(QString::fromLatin1(name));
            cls && object.isMemberOfClass(*cls))
            return true;
    }
    return false;
}

void VRInspectorBase::documentDidChange(const Notification &)
{
}

void VRInspectorBase::selectedObjectDidChange(const Notification &)
{
    redisplayContentForSelection(selectedObjectForCurrentTarget());
}

void VRInspectorBase::layerDidChange(const Notification &)
{
}

void VRInspectorBase::redisplayContentForSelection(const VRObjectList &)
{
}
