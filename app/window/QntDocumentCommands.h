#pragma once

#include "app/sheets/VKDuplicationDelegate.h"
#include "app/sheets/VKExportOptionsDelegate.h"
#include "framework/base/VRTypes.h"
#include "library/QntImportOptionsController.h"

#include <QObject>
#include <QPointer>

#include <memory>

class DrawingSizeController;
class QAction;
class QDialog;
class QPrinter;
class QKeySequence;
class QMenu;
class QMenuBar;
class QMessageBox;
class QWidget;
class QntImportOptionsController;
class QntStencilImport;
class VKExportOptionsController;
class VKLinearDuplicateController;
class VKPolarDuplicateController;
class VRDrawingDocument;
class VRDrawingTool;
class VRObjectDrawingLayer;

// The tool, arrangement, duplication, drawing-size, export and print commands of a document
// window.
// The window hands its toolbar items, button matrices and menu commands to it; it drives the
// framework's tools and layers and owns the sheets and dialogs, made on first use.
class QntDocumentCommands : public QObject,
                            public VKExportOptionsDelegate,
                            public VKDuplicationDelegate,
                            public QntImportOptionsDelegate
{
    Q_OBJECT
public:
    explicit QntDocumentCommands(VRDrawingDocument &document, QObject *parent = nullptr);
    ~QntDocumentCommands() override;

    VRDrawingDocument &document() const { return m_document; }

    // Adds the export, import and print commands to the File menu and an Arrange menu with
    // grouping, stacking order, locking, alignment, distribution, duplication and the drawing size.
    void addMenus(QMenuBar *menuBar);

    // A menu item that sends a framework action (a slot `action(QObject *)` of the document)
    // with its shortcuts; its object name is the action's name.
    static QAction *addDocumentAction(QMenu *menu, VRDrawingDocument &document,
                                      const QString &title, const char *action,
                                      const QList<QKeySequence> &shortcuts = {});
    // While the menu is open its document actions are enabled only where they apply and Undo
    // and Redo name the step; closed, every item stays enabled so shortcuts always reach the
    // document, which ignores what does not apply.
    static void validateItemsWhenShown(QMenu *menu, VRDrawingDocument &document);

    // Tools. The string arguments are what the sending control carries: its label, its
    // identifier or the title of its selected cell.
    void selectToolAction(const QString &senderLabel, QObject *sender = nullptr);
    void moveStickySpotToolAction(QObject *sender = nullptr);
    void zoomToolAction(QObject *sender = nullptr);
    void panToolAction(const QString &senderLabel, QObject *sender = nullptr);
    void tableToolAction(QObject *sender = nullptr);
    void styleCopyToolAction(QObject *sender = nullptr);
    void connectorToolAction(const QString &itemIdentifier, QObject *sender = nullptr);
    // The tool matrix: the selected cell's title and the tool it represents.
    void toolButtonMatrixAction(const QString &cellTitle, VRDrawingTool *tool,
                                QObject *sender = nullptr);
    // The toolbar item that shows a tool name; empty for names without an item.
    static QString toolbarItemIdentifierForToolName(const QString &name);

    // Button matrices: the selected cell's title picks the command; other titles do nothing.
    void undoredoButtonMatrixAction(const QString &cellTitle, QObject *sender = nullptr);
    void alignButtonMatrixAction(const QString &cellTitle, QObject *sender = nullptr);
    void distributeButtonMatrixAction(const QString &cellTitle, QObject *sender = nullptr);
    // The framework action a cell title of the align or distribute matrix sends; empty if none.
    static QByteArray arrangementActionForCellTitle(const QString &cellTitle);

    // Menu commands that open sheets on the document's window.
    void polarDuplicate();
    void linearDuplicate();
    void openDrawingSizePanel();
    void exportAction();
    void exportSVGAction();
    // Printing through the print dialog: the drawing's pages as its pagination lays them out on
    // its paper. Page Setup chooses that paper, its orientation and margins, which the page
    // breaks then follow.
    void printAction();
    void pageSetupAction();
    // The print or page set-up dialog while it is open.
    QDialog *printDialog() const;
    // Stencil import into this document: the import dialog, then the chosen file.
    void importAction();
    // Reads a stencil into a new Imported notation and stores its elements in the drawing. The
    // work runs on a worker thread behind a progress dialog with Cancel; this returns when it is
    // over. False when the file cannot be imported (after telling the user), when the user
    // cancelled (nothing is left behind) or while another import of this window runs.
    bool performImportFilepath(const QString &path, const QVariantMap &options = {}) override;
    QntImportOptionsController *importOptionsController();
    // The import running now, else null.
    QntStencilImport *stencilImport() const;

    // VKDuplicationDelegate
    int countOfItemsInSelection() const override;
    void doPolarDuplicateCopies(int copies, QPointF centre, double incAngle,
                                bool rotateCopies) override;
    void doAutoPolarDuplicateWithCentre(QPointF centre) override;
    void doLinearDuplicateCopies(int copies, QSizeF offset) override;

    // VKExportOptionsDelegate
    QString displayName() const override;
    QSizeF sourceImageSize(qint64 type, const QVariantMap &options) const override;
    bool performExportType(qint64 type, const QVariantMap &options) override;

    // The sheets, null until first used.
    VKExportOptionsController *exportController() const;
    VKLinearDuplicateController *linearDuplicateController() const;
    VKPolarDuplicateController *polarDuplicateController() const;
    DrawingSizeController *drawingSizeController() const;
    // The last error shown to the user, while it is open.
    QMessageBox *errorAlert() const;

signals:
    // A stencil became a notation of that name: the shape library shows the new group.
    void notationElementsImported(const QString &name);
    // An import began; stencilImport() reports its progress.
    void stencilImportStarted();

private:
    VRObjectDrawingLayer *activeObjectLayer() const;
    void showImportError(const QString &path, const QString &reason);
    // More objects than one duplication makes: the drawing tells the user, nothing is made.
    bool refuseTooManyCopies(qsizetype objects, int copies) const;
    void finishDuplication(VRObjectDrawingLayer &layer, const VRObjectList &copies,
                           const QString &actionName);
    void sendAutoRevert(bool on, QObject *sender);
    // Looks the tool up by name, sets auto-revert as asked and makes the tool current.
    void useTool(const QString &name, bool autoRevert, QObject *sender);
    // Why an export made no data: nothing to show, a picture too large to be made, or a picture
    // or format that could not be made.
    QString emptyExportReason(qint64 type, const QVariantMap &options) const;
    void showExportError(const QString &path, const QString &reason);
    // A printer set up with the drawing's paper, for the print and page set-up dialogs.
    QPrinter &printer();
    void showPrintError();
    QWidget *windowForSheet() const;

    VRDrawingDocument &m_document;
    QPointer<VKExportOptionsController> m_exportController;
    std::unique_ptr<QPrinter> m_printer;
    QPointer<QDialog> m_printDialog;
    QPointer<VKLinearDuplicateController> m_linearController;
    QPointer<VKPolarDuplicateController> m_polarController;
    QPointer<DrawingSizeController> m_drawingSizeController;
    QPointer<QMessageBox> m_errorAlert;
    QPointer<QntImportOptionsController> m_importOptionsController;
    QPointer<QntStencilImport> m_stencilImport;
};
