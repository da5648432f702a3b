#pragma once

#include "framework/base/VRClassInfo.h"
#include "framework/base/VRTypes.h"
#include "platform/NotificationCenter.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <vector>

class VRDrawingDocument;
class VRViewController;
class QWindow;

// Marks an inspector made inside another window's interface: it registers no observers.
struct VREmbedded {
};

// Base of every palette and inspector: tracks the main document, answers selection queries
// for its target classes, and calls its hooks when the main document, its selection or its
// active layer change. Selection changes of other drawings are not delivered.
class VRInspectorBase : public QObject
{
    Q_OBJECT
public:
    explicit VRInspectorBase(const QString &windowName, QObject *parent = nullptr);
    VRInspectorBase(VREmbedded, QWidget *hostWindow);
    ~VRInspectorBase() override;

    QString windowName() const { return m_windowName; }
    // The window, made on first use by createWindow() and then windowDidLoad(); the inspector
    // owns a window it made and deletes it with itself.
    QWidget *window();
    // A window handed in stays its caller's.
    void setWindow(QWidget *window);
    // Shows the window; a floating panel (a tool window) floats above the document windows.
    void showWindow();
    // A floating panel's window becomes a transient of the focused document window (or, unless
    // focusedOnly, of the current document's window), which window managers keep it above;
    // called on showing and as the focus moves.
    void keepAboveDocumentWindow(bool focusedOnly);

    VRDrawingDocument *currentDocument() const;
    // The drawing whose selection the inspector reads and edits: the main document's, unless
    // the inspector sits in one document's window and works on that window's drawing.
    VRDrawing *currentDrawing() const;
    // Binds the inspector to one drawing, whichever document is main; nullptr unbinds it.
    void setTargetDrawing(VRDrawing *drawing);
    VRLayer *currentActiveLayer() const;
    VRDrawing *drawingForTargetWindow(QWidget *window) const;
    VRViewController *currentMainViewController() const;
    double totalScreensWidth() const;

    // Kind-of filter of the selection queries; none = no filter.
    void setObjectsClass(const VRClassInfo *cls);
    const VRClassInfo *objectsClass() const;
    void setObjectsClasses(const QList<const VRClassInfo *> &classes) { m_classes = classes; }
    QList<const VRClassInfo *> objectsClasses() const { return m_classes; }

    virtual VRObjectList selectedObjectForCurrentTarget() const;
    VRObjectList objectsInSelectionOfClass(const VRClassInfo &cls) const;
    VRObjectList objectsInSelectionOfClasses(const QList<const VRClassInfo *> &classes) const;
    VRObjectRef firstObjectOfClassInSelection(const VRClassInfo &cls) const;
    bool isMemberOfElements(const VRDrawableObject &object) const;

    int multipleSelectionMode() const { return _multipleSelectionMode; }
    void setMultipleSelectionMode(int mode) { _multipleSelectionMode = mode; }
    int multipleTextCellsSelectionMode() const { return m_multipleTextCellsSelectionMode; }
    void setMultipleTextCellsSelectionMode(int mode) { m_multipleTextCellsSelectionMode = mode; }
    int shapePartsEditingMode() const { return m_shapePartsEditingMode; }
    void setShapePartsEditingMode(int mode) { m_shapePartsEditingMode = mode; }

    // Tests and hosts without windows name the main document themselves.
    static void setMainDocumentOverride(VRDrawingDocument *document);
    // The document the inspectors work on: the named one, else the current document.
    static VRDrawingDocument *mainDocument();
    // Re-checks which document is main and tells the inspector when it changed.
    void mainDocumentMayHaveChanged();

protected:
    virtual QWidget *createWindow();
    virtual void windowDidLoad() {}
    virtual void documentDidChange(const Notification &notification);
    virtual void selectedObjectDidChange(const Notification &notification);
    virtual void layerDidChange(const Notification &notification);
    virtual void redisplayContentForSelection(const VRObjectList &selection);

    int _multipleSelectionMode = 0;

private:
    void registerObservers();
    QWindow *documentWindowToFloatAbove(bool focusedOnly) const;
    void placeOverDocumentWindow();

    QString m_windowName;
    QPointer<QWidget> m_window;
    QPointer<VRDrawingDocument> m_lastDocument;
    QPointer<VRDrawing> m_targetDrawing;
    bool m_boundToDrawing = false;
    QList<const VRClassInfo *> m_classes;
    std::vector<NotificationToken> m_tokens;
    int m_multipleTextCellsSelectionMode = 0;
    int m_shapePartsEditingMode = 0;
    bool m_windowLoaded = false;
    bool m_ownsWindow = false;
};
