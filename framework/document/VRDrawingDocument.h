#pragma once

#include "framework/base/VRTypes.h"
#include "platform/Document.h"
#include "platform/NotificationCenter.h"

#include <QByteArray>
#include <QPointer>
#include <QUrl>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class QScrollArea;
class VRObjectDrawingLayer;
class VRDrawingView;

// A drawing document: one drawing with its undo manager, read from and written to the native
// file (atomically: a failed save never touches the previous file), exported to SVG, and the
// receiver of the responder actions, which it forwards to its main view.
class VRDrawingDocument : public Document
{
    Q_OBJECT
public:
    static const QString kVRDrawingDocumentType;

    explicit VRDrawingDocument(QObject *parent = nullptr);
    ~VRDrawingDocument() override;

    // Never null.
    VRDrawing *drawing() const { return m_drawing.get(); }
    virtual void setDrawing(std::unique_ptr<VRDrawing> drawing);
    VRUndoManager *undoManager() const;

    // The main drawing view, made by windowControllerDidLoadNib(); null before.
    VRDrawingView *mainView() const { return m_mainView; }
    QWidget *mainViewWidget() const { return m_mainViewWidget; }
    void setMainView(VRDrawingView *view, QWidget *asWidget);
    // Makes the view in drawingScrollArea() and posts kQntDocumentStateRestoredNotification
    // for a document read from disk.
    virtual void windowControllerDidLoadNib();
    virtual QScrollArea *drawingScrollArea() { return nullptr; }

    void setIsLoadingFromNib(bool loading) { m_loadingFromNib = loading; }
    bool isLoadingFromNib() const { return m_loadingFromNib; }

    // Whether an action can run now: the view implements it and its selection precondition holds.
    virtual bool validateAction(const QByteArray &action) const;

    std::optional<QByteArray> saveToSVG(const QUrl &url, const QVariantMap &options) const;

    // Native file I/O. A refused read leaves the document untouched.
    VRResult<void> readFromFile(const QString &path);
    VRResult<void> writeToFile(const QString &path) const;
    bool readFromURL(const QString &path, QString *errorMessage) override;
    bool writeToURL(const QString &path, QString *errorMessage) override;
    // Names the pictures too large to show, which the drawing holds as placeholders.
    QString openingNotice() const override;
    // Those pictures, described with their names and sizes.
    QStringList withheldPictures() const;
    void updateChangeCount(ChangeType change) override;
    bool isDocumentEdited() const override;

public slots:
    void enlargeRightAction(QObject *sender = nullptr);
    void enlargeLeftAction(QObject *sender = nullptr);
    void enlargeDownAction(QObject *sender = nullptr);
    void enlargeUpAction(QObject *sender = nullptr);
    void newLayerWithSelection(QObject *sender = nullptr);
    void toggleGridVisible(QObject *sender = nullptr);
    void setShowPageBreaks(QObject *sender = nullptr);
    void switchOnAutoRevertAction(QObject *sender = nullptr);
    void switchOffAutoRevertAction(QObject *sender = nullptr);
    void toggleAutoRevertAction(QObject *sender = nullptr);
    void zoomToActualSize(QObject *sender = nullptr);
    void alignLeftEdges(QObject *sender = nullptr);
    void alignHorizontalCentres(QObject *sender = nullptr);
    void alignRightEdges(QObject *sender = nullptr);
    void alignTopEdges(QObject *sender = nullptr);
    void alignVerticalCentres(QObject *sender = nullptr);
    void alignBottomEdges(QObject *sender = nullptr);
    void distributeVerticalSpace(QObject *sender = nullptr);
    void distributeHorizontalSpace(QObject *sender = nullptr);
    void selectDrawingTool(QObject *sender = nullptr);
    void undo(QObject *sender = nullptr);
    void redo(QObject *sender = nullptr);
    void cut(QObject *sender = nullptr);
    void copy(QObject *sender = nullptr);
    void paste(QObject *sender = nullptr);
    void deleteSelection(QObject *sender = nullptr);
    void selectAll(QObject *sender = nullptr);
    void duplicate(QObject *sender = nullptr);
    void group(QObject *sender = nullptr);
    void ungroup(QObject *sender = nullptr);
    void bringToFront(QObject *sender = nullptr);
    void bringForward(QObject *sender = nullptr);
    void sendBackward(QObject *sender = nullptr);
    void sendToBack(QObject *sender = nullptr);
    void lock(QObject *sender = nullptr);
    void unlock(QObject *sender = nullptr);
    void zoomIn(QObject *sender = nullptr);
    void zoomOut(QObject *sender = nullptr);
    void zoomToFit(QObject *sender = nullptr);

private:
    // Hands an action to the main view when it implements it; true when it did.
    bool forwardToView(const char *action, QObject *sender);
    // Runs one user action as a single undo step with the given name; with a layer, the change of
    // that layer's selection is part of the step.
    void undoableStep(const QString &actionName, const std::function<void()> &body,
                      VRObjectDrawingLayer *selectionLayer = nullptr);
    // Adds objects to the layer and selects them, as one undo step.
    void addAndSelect(VRObjectDrawingLayer *layer, const VRObjectList &objects,
                      const QString &actionName);
    void enlarge(int dx, int dy, bool shiftContent);
    void watchUndoManager();
    // A drawing view in drawingScrollArea(), or a free one that lives as long as the document.
    void makeMainView();
    VRObjectDrawingLayer *activeObjectLayer() const;

    std::unique_ptr<VRDrawing> m_drawing;
    VRDrawingView *m_mainView = nullptr;
    QPointer<QWidget> m_mainViewWidget;
    std::vector<NotificationToken> m_tokens;
    // Pastes since the clipboard last changed: each lands one offset further than the last.
    int m_pastesOfClipboard = 0;
    bool m_loadingFromNib = false;
    bool m_readFromDisk = false;
};
