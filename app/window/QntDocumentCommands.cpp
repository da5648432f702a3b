#include "app/window/QntDocumentCommands.h"

#include "app/sheets/DrawingSizeController.h"
#include "app/launch/VOReruRerAppDelegate.h"
#include "app/sheets/QntPageSetupDialog.h"
#include "app/sheets/VKExportOptionsController.h"
#include "framework/document/VRDrawingPrinter.h"
#include "framework/document/VRPrintInfo.h"
#include "app/sheets/VKLinearDuplicateController.h"
#include "app/sheets/VKPolarDuplicateController.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/notations/QntImportFromGraffle.h"
#include "framework/notations/QntNotation.h"
#include "library/QntStencilImport.h"
#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRObjectCreationTool.h"
#include "framework/view/VRToolRegistry.h"
#include "framework/view/VRZoomTool.h"
#include "platform/AtomicFile.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDebug>
#include <QFileDialog>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QTextEdit>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QMetaObject>
#include <QUrl>

#include <cmath>

namespace {

constexpr qint64 kTIFFType = 0;
constexpr qint64 kJPEGType = 3;
constexpr qint64 kPNGType = 4;
constexpr qint64 kSVGType = 5;

// The editing commands a text field answers itself while it has the keyboard focus; every other
// command of the Edit menu (Duplicate) still reaches the drawing.
bool isTextEditingAction(const QByteArray &action)
{
    return action == "undo" || action == "redo" || action == "cut" || action == "copy"
           || action == "paste" || action == "deleteSelection" || action == "selectAll";
}

// The text field a widget stands for: a line edit, a text view, or the line edit inside a spin
// box or an editable combo box. Null for any other widget.
QWidget *textFieldOf(QWidget *widget)
{
    if (!widget)
        return nullptr;
    if (qobject_cast<QLineEdit *>(widget) || qobject_cast<QTextEdit *>(widget)
        || qobject_cast<QPlainTextEdit *>(widget))
        return widget;
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        return combo->lineEdit();
    if (qobject_cast<QAbstractSpinBox *>(widget))
        return widget->findChild<QLineEdit *>();
    return nullptr;
}

bool isTextField(const QWidget *widget)
{
    return qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QTextEdit *>(widget)
           || qobject_cast<const QPlainTextEdit *>(widget);
}

// Remembers the text field of another window (the text editor window, a panel) that was being
// typed in when a click on this window's menu bar made this window the active one: the Edit
// menu, opened from that click, still means that field, as a desktop's one menu bar would.
// The memory holds while the menu is open and for the item chosen in it; once the menu is
// closed (and no other menu of the bar took its place), or this window is clicked or typed
// in, it is forgotten, so a shortcut typed afterwards goes where the focus is. It also knows
// where the focus was before the menu bar took it for keyboard use (after Escape closed the
// menu), since the bar gives it back there. It lives as a child of the Edit menu.
class TextFieldAcrossWindows : public QObject
{
public:
    explicit TextFieldAcrossWindows(QMenu *menu)
        : QObject(menu)
        , m_menu(menu)
        , m_window(menu->parentWidget() ? menu->parentWidget()->window() : nullptr)
    {
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget *old, QWidget *now) {
            if (qobject_cast<QMenuBar *>(now)) {
                // Taken from a widget of this window; one that came with the window's
                // activation says nothing about where the bar gives the focus back.
                if (now->window() == m_window && old && old->window() == m_window)
                    m_focusBeforeMenuBar = old;
                return;
            }
            if (isTextField(now))
                m_field.clear();
            else if (isTextField(old) && (!now || now->window() != old->window())
                     && old->window() != m_window)
                m_field = old;
        });
        // Shown: the menu means the remembered field. Hidden: the item chosen in it (Qt
        // triggers it right after hiding) still does; after that the memory goes, unless
        // the user only moved along the bar to another menu.
        connect(menu, &QMenu::aboutToShow, this, [this] { m_menuOpen = true; });
        connect(menu, &QMenu::aboutToHide, this, [this] {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_menuOpen = false;
                    if (!QApplication::activePopupWidget())
                        m_field.clear();
                },
                Qt::QueuedConnection);
        });
        qApp->installEventFilter(this);
    }

    // The menu's memory, if it has one.
    static TextFieldAcrossWindows *find(const QMenu *menu)
    {
        for (QObject *child : menu->children()) {
            if (auto *memory = dynamic_cast<TextFieldAcrossWindows *>(child))
                return memory;
        }
        return nullptr;
    }
    static TextFieldAcrossWindows *of(QMenu *menu)
    {
        TextFieldAcrossWindows *memory = find(menu);
        return memory ? memory : new TextFieldAcrossWindows(menu);
    }

    // The remembered field while the menu is open (or its item is being carried out) and the
    // field still on screen.
    QWidget *field() const
    {
        if (!m_menuOpen && !m_menu->isVisible())
            return nullptr;
        QWidget *field = m_field.data();
        return field && field->isVisible() && field->window()->isVisible() ? field : nullptr;
    }

    // Where the keys go back to once this window's menu bar, which holds the focus for
    // keyboard use, lets it go.
    QWidget *focusBeforeMenuBar() const { return m_focusBeforeMenuBar.data(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (m_field
            && (type == QEvent::MouseButtonPress || type == QEvent::KeyPress
                || type == QEvent::Wheel)) {
            auto *widget = qobject_cast<QWidget *>(watched);
            if (widget && widget->window() == m_window && !qobject_cast<QMenuBar *>(widget))
                m_field.clear();
        }
        return false;
    }

private:
    const QMenu *m_menu;
    // Compared, never used: the window whose menu bar holds the menu (a menu is a window of
    // its own).
    const QWidget *m_window;
    QPointer<QWidget> m_field;
    QPointer<QWidget> m_focusBeforeMenuBar;
    bool m_menuOpen = false;
};

// The field the Edit menu's editing commands go to: the one with the keyboard focus (while
// the menu bar holds it, the one it gives it back to), else the one of another window typed
// in just before the menu bar was clicked, while that menu is open. Null: the drawing.
QWidget *textFieldForEditMenu(QMenu *menu)
{
    const TextFieldAcrossWindows *memory = menu ? TextFieldAcrossWindows::find(menu) : nullptr;
    QWidget *focus = QApplication::focusWidget();
    if (memory && qobject_cast<QMenuBar *>(focus))
        focus = memory->focusBeforeMenuBar();
    if (QWidget *field = textFieldOf(focus))
        return field;
    return memory ? memory->field() : nullptr;
}

// What a rich or plain text view offers the commands, read the same way for both kinds.
template <typename View> bool viewCanPerform(const View *view, const QByteArray &action)
{
    const bool editable = !view->isReadOnly();
    const bool selection = view->textCursor().hasSelection();
    if (action == "undo")
        return editable && view->document()->isUndoAvailable();
    if (action == "redo")
        return editable && view->document()->isRedoAvailable();
    if (action == "cut" || action == "deleteSelection")
        return editable && selection;
    if (action == "copy")
        return selection;
    if (action == "paste")
        return editable && view->canPaste();
    return action == "selectAll";
}

template <typename View> void viewPerform(View *view, const QByteArray &action)
{
    if (!viewCanPerform(view, action))
        return;
    if (action == "undo")
        view->undo();
    else if (action == "redo")
        view->redo();
    else if (action == "cut")
        view->cut();
    else if (action == "copy")
        view->copy();
    else if (action == "paste")
        view->paste();
    else if (action == "selectAll")
        view->selectAll();
    else if (action == "deleteSelection") {
        QTextCursor cursor = view->textCursor();
        cursor.removeSelectedText();
        view->setTextCursor(cursor);
    }
}

bool lineEditCanPerform(const QLineEdit *edit, const QByteArray &action)
{
    const bool editable = !edit->isReadOnly();
    // A password field gives nothing away.
    const bool readable = edit->echoMode() == QLineEdit::Normal;
    if (action == "undo")
        return editable && edit->isUndoAvailable();
    if (action == "redo")
        return editable && edit->isRedoAvailable();
    if (action == "cut")
        return editable && readable && edit->hasSelectedText();
    if (action == "deleteSelection")
        return editable && edit->hasSelectedText();
    if (action == "copy")
        return readable && edit->hasSelectedText();
    if (action == "paste") {
        const QClipboard *clipboard = QGuiApplication::clipboard();
        return editable && clipboard && !clipboard->text().isEmpty();
    }
    return action == "selectAll";
}

void lineEditPerform(QLineEdit *edit, const QByteArray &action)
{
    if (!lineEditCanPerform(edit, action))
        return;
    if (action == "undo")
        edit->undo();
    else if (action == "redo")
        edit->redo();
    else if (action == "cut")
        edit->cut();
    else if (action == "copy")
        edit->copy();
    else if (action == "paste")
        edit->paste();
    else if (action == "selectAll")
        edit->selectAll();
    else if (action == "deleteSelection")
        edit->del();
}

bool textFieldCanPerform(const QWidget *field, const QByteArray &action)
{
    if (const auto *edit = qobject_cast<const QLineEdit *>(field))
        return lineEditCanPerform(edit, action);
    if (const auto *view = qobject_cast<const QTextEdit *>(field))
        return viewCanPerform(view, action);
    if (const auto *view = qobject_cast<const QPlainTextEdit *>(field))
        return viewCanPerform(view, action);
    return false;
}

void textFieldPerform(QWidget *field, const QByteArray &action)
{
    if (auto *edit = qobject_cast<QLineEdit *>(field))
        lineEditPerform(edit, action);
    else if (auto *view = qobject_cast<QTextEdit *>(field))
        viewPerform(view, action);
    else if (auto *view = qobject_cast<QPlainTextEdit *>(field))
        viewPerform(view, action);
}

} // namespace

QntDocumentCommands::QntDocumentCommands(VRDrawingDocument &document, QObject *parent)
    : QObject(parent)
    , m_document(document)
{
}

QntDocumentCommands::~QntDocumentCommands()
{
    delete m_drawingSizeController.data();
    delete m_linearController.data();
    delete m_polarController.data();
    delete m_exportController.data();
    delete m_errorAlert.data();
}

VKExportOptionsController *QntDocumentCommands::exportController() const
{
    return m_exportController;
}
VKLinearDuplicateController *QntDocumentCommands::linearDuplicateController() const
{
    return m_linearController;
}
VKPolarDuplicateController *QntDocumentCommands::polarDuplicateController() const
{
    return m_polarController;
}
DrawingSizeController *QntDocumentCommands::drawingSizeController() const
{
    return m_drawingSizeController;
}
QMessageBox *QntDocumentCommands::errorAlert() const
{
    return m_errorAlert;
}

QWidget *QntDocumentCommands::windowForSheet() const
{
    return m_document.windowForSheet();
}

VRObjectDrawingLayer *QntDocumentCommands::activeObjectLayer() const
{
    return m_document.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
}

void QntDocumentCommands::addMenus(QMenuBar *menuBar)
{
    if (!menuBar)
        return;
    QMenu *fileMenu = nullptr;
    for (QAction *action : menuBar->actions()) {
        if (action->menu() && action->text().remove(QLatin1Char('&')) == QLatin1String("File"))
            fileMenu = action->menu();
    }
    if (!fileMenu)
        fileMenu = menuBar->addMenu(tr("&File"));
    fileMenu->addSeparator();
    fileMenu->addAction(tr("&Import Stencil…"), this, &QntDocumentCommands::importAction)
        ->setObjectName(QStringLiteral("importStencilAction"));
    QAction *exportItem =
        fileMenu->addAction(tr("&Export…"), this, &QntDocumentCommands::exportAction);
    exportItem->setObjectName(QStringLiteral("exportAction"));
    exportItem->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    fileMenu->addAction(tr("Export as S&VG…"), this, &QntDocumentCommands::exportSVGAction)
        ->setObjectName(QStringLiteral("exportSVGAction"));
    fileMenu->addSeparator();
    QAction *pageSetup =
        fileMenu->addAction(tr("Page Set&up…"), this, &QntDocumentCommands::pageSetupAction);
    pageSetup->setObjectName(QStringLiteral("pageSetupAction"));
    pageSetup->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    QAction *print = fileMenu->addAction(tr("&Print…"), this, &QntDocumentCommands::printAction);
    print->setObjectName(QStringLiteral("printAction"));
    print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));

    QMenu *arrange = menuBar->addMenu(tr("&Arrange"));
    arrange->setObjectName(QStringLiteral("arrangeMenu"));
    addDocumentAction(arrange, m_document, tr("&Group"), "group",
                      {QKeySequence(Qt::CTRL | Qt::Key_G)});
    addDocumentAction(arrange, m_document, tr("&Ungroup"), "ungroup",
                      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G)});
    arrange->addSeparator();
    addDocumentAction(arrange, m_document, tr("Bring to &Front"), "bringToFront",
                      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_BracketRight)});
    addDocumentAction(arrange, m_document, tr("Bring For&ward"), "bringForward",
                      {QKeySequence(Qt::CTRL | Qt::Key_BracketRight)});
    addDocumentAction(arrange, m_document, tr("Send Back&ward"), "sendBackward",
                      {QKeySequence(Qt::CTRL | Qt::Key_BracketLeft)});
    addDocumentAction(arrange, m_document, tr("Send to &Back"), "sendToBack",
                      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_BracketLeft)});
    arrange->addSeparator();
    addDocumentAction(arrange, m_document, tr("&Lock"), "lock");
    addDocumentAction(arrange, m_document, tr("U&nlock"), "unlock");
    arrange->addSeparator();
    validateItemsWhenShown(arrange, m_document);
    QMenu *align = arrange->addMenu(tr("&Align"));
    for (const char *title :
         {"Align Left Edges", "Align Vertical Centers", "Align Right Edges", "Align Top Edges",
          "Align Horizontal Centers", "Align Bottom Edges"}) {
        const QString cell = QString::fromLatin1(title);
        align->addAction(tr(title), this, [this, cell] { alignButtonMatrixAction(cell); });
    }
    QMenu *distribute = arrange->addMenu(tr("&Distribute"));
    for (const char *title : {"Distribute Vertical Space", "Distribute Horizontal Space"}) {
        const QString cell = QString::fromLatin1(title);
        distribute->addAction(tr(title), this,
                              [this, cell] { distributeButtonMatrixAction(cell); });
    }
    arrange->addSeparator();
    arrange->addAction(tr("&Linear Duplication…"), this, &QntDocumentCommands::linearDuplicate);
    arrange->addAction(tr("&Polar Duplication…"), this, &QntDocumentCommands::polarDuplicate);
    arrange->addSeparator();
    arrange->addAction(tr("Drawing &Size…"), this, &QntDocumentCommands::openDrawingSizePanel);

    // The panels that follow the drawing in front; the application adds its own editors below.
    QMenu *panels = menuBar->addMenu(tr("&Window"));
    panels->setObjectName(QStringLiteral("panelsMenu"));
    panels->addAction(tr("&Tool Palette"), this, [] {
        if (VOReruRerAppDelegate *delegate = VOReruRerAppDelegate::sharedDelegate())
            delegate->showToolPalette();
    });
    panels->addAction(tr("&Object Inspector"), this, [] {
        if (VOReruRerAppDelegate *delegate = VOReruRerAppDelegate::sharedDelegate())
            delegate->showObjectInspector();
    });
    panels
        ->addAction(tr("&Layers"), this,
                    [] {
                        if (VOReruRerAppDelegate *delegate = VOReruRerAppDelegate::sharedDelegate())
                            delegate->showLayersPalette();
                    })
        ->setObjectName(QStringLiteral("layersPaletteAction"));
    panels
        ->addAction(tr("&Style Inspector"), this,
                    [] {
                        if (VOReruRerAppDelegate *delegate = VOReruRerAppDelegate::sharedDelegate())
                            delegate->showStyleInspector();
                    })
        ->setObjectName(QStringLiteral("styleInspectorAction"));
    panels->addAction(tr("&Undo Inspector"), this, [] {
        if (VOReruRerAppDelegate *delegate = VOReruRerAppDelegate::sharedDelegate())
            delegate->showUndoInspector();
    });
}

QAction *QntDocumentCommands::addDocumentAction(QMenu *menu, VRDrawingDocument &document,
                                                const QString &title, const char *action,
                                                const QList<QKeySequence> &shortcuts)
{
    QAction *item = menu->addAction(title);
    item->setObjectName(QString::fromLatin1(action));
    item->setProperty("documentAction", QByteArray(action));
    item->setShortcuts(shortcuts);
    QPointer<VRDrawingDocument> target(&document);
    const QByteArray slot(action);
    if (isTextEditingAction(slot))
        TextFieldAcrossWindows::of(menu);
    QPointer<QMenu> owner(menu);
    QObject::connect(item, &QAction::triggered, &document, [target, slot, item, owner] {
        // As on every desktop editor, the editing commands act on the text field being typed
        // in, whichever road (menu or shortcut) brought them; the drawing gets them otherwise.
        if (isTextEditingAction(slot)) {
            if (QWidget *field = textFieldForEditMenu(owner)) {
                textFieldPerform(field, slot);
                // Typing goes on in that field, in its own window.
                if (field->window() != QApplication::activeWindow()) {
                    field->window()->activateWindow();
                    field->setFocus(Qt::OtherFocusReason);
                }
                return;
            }
        }
        if (target)
            QMetaObject::invokeMethod(target, slot.constData(), Q_ARG(QObject *, item));
    });
    return item;
}

void QntDocumentCommands::validateItemsWhenShown(QMenu *menu, VRDrawingDocument &document)
{
    QPointer<VRDrawingDocument> target(&document);
    QObject::connect(menu, &QMenu::aboutToShow, &document, [menu, target] {
        if (!target)
            return;
        QWidget *field = textFieldForEditMenu(menu);
        for (QAction *item : menu->actions()) {
            const QByteArray action = item->property("documentAction").toByteArray();
            if (action.isEmpty())
                continue;
            if (field && isTextEditingAction(action)) {
                item->setEnabled(textFieldCanPerform(field, action));
                if (action == "undo")
                    item->setText(QntDocumentCommands::tr("Undo"));
                else if (action == "redo")
                    item->setText(QntDocumentCommands::tr("Redo"));
                continue;
            }
            item->setEnabled(target->validateAction(action));
            if (action == "undo")
                item->setText(target->undoManager()->undoMenuItemTitle());
            else if (action == "redo")
                item->setText(target->undoManager()->redoMenuItemTitle());
        }
    });
    QObject::connect(menu, &QMenu::aboutToHide, menu, [menu] {
        for (QAction *item : menu->actions()) {
            if (!item->property("documentAction").isNull())
                item->setEnabled(true);
        }
    });
}

// --- tools ---------------------------------------------------------------------------------

void QntDocumentCommands::sendAutoRevert(bool on, QObject *sender)
{
    if (on)
        m_document.switchOnAutoRevertAction(sender);
    else
        m_document.switchOffAutoRevertAction(sender);
}

void QntDocumentCommands::useTool(const QString &name, bool autoRevert, QObject *sender)
{
    VRDrawingTool *tool = VRDrawingTool::drawingToolWithName(name);
    sendAutoRevert(autoRevert, sender);
    if (tool)
        tool->set();
}

void QntDocumentCommands::selectToolAction(const QString &senderLabel, QObject *sender)
{
    useTool(senderLabel, true, sender);
}

void QntDocumentCommands::moveStickySpotToolAction(QObject *sender)
{
    useTool(QStringLiteral("Select Sticky Spot"), false, sender);
}

void QntDocumentCommands::zoomToolAction(QObject *sender)
{
    VRDrawingTool *tool = VRDrawingTool::drawingToolWithName(QStringLiteral("Zoom"));
    if (auto *zoom = dynamic_cast<VRZoomTool *>(tool)) {
        zoom->setZoomsOut(false);
        m_document.drawing()->invalidateCursors();
    }
    sendAutoRevert(false, sender);
    if (tool)
        tool->set();
}

void QntDocumentCommands::panToolAction(const QString &senderLabel, QObject *sender)
{
    useTool(senderLabel, false, sender);
}

void QntDocumentCommands::tableToolAction(QObject *sender)
{
    // The table tool draws the table element of the drawing's notation; it is registered the
    // first time a drawing asks for it.
    const QString name = QStringLiteral("e100TABLE");
    if (!VRDrawingTool::drawingToolWithName(name)) {
        if (const QntNotationRef notation = m_document.drawing()->currentNotation()) {
            for (const QntElementRecord &record :
                 notation->elementsList(QStringLiteral("Tables"))) {
                if (record.elementId == name && record.prototype) {
                    VRToolRegistry::sharedToolRegistry().registerDrawingTool(
                        std::make_shared<VRObjectCreationTool>(record.prototype), name);
                    break;
                }
            }
        }
    }
    useTool(name, true, sender);
}

void QntDocumentCommands::styleCopyToolAction(QObject *sender)
{
    useTool(QStringLiteral("Style Copy Tool"), false, sender);
}

void QntDocumentCommands::connectorToolAction(const QString &itemIdentifier, QObject *sender)
{
    const QString name = itemIdentifier == QLatin1String("ConnectorDoubleToolItemId")
                             ? kVRQntDoubleTextConnectorToolName
                             : kVRQntConnectorToolName;
    useTool(name, true, sender);
}

void QntDocumentCommands::toolButtonMatrixAction(const QString &cellTitle, VRDrawingTool *tool,
                                                 QObject *sender)
{
    if (!tool)
        return;
    const QString name = tool->registeredName();
    sendAutoRevert(name == QLatin1String("Select") || name == QLatin1String("e100TABLE"), sender);
    if (auto *zoom = dynamic_cast<VRZoomTool *>(tool)) {
        if (cellTitle == QLatin1String("Zoom In") || cellTitle == QLatin1String("Zoom Out")) {
            zoom->setZoomsOut(cellTitle == QLatin1String("Zoom Out"));
            m_document.drawing()->invalidateCursors();
        }
    }
    tool->set();
}

QString QntDocumentCommands::toolbarItemIdentifierForToolName(const QString &name)
{
    static const QHash<QString, QString> items{
        {QStringLiteral("Select"), QStringLiteral("SelectToolbarItemId")},
        {QStringLiteral("Select Sticky Spot"), QStringLiteral("MoveStickySpotToolbarItemId")},
        {QStringLiteral("Zoom In"), QStringLiteral("ZoomToolbarItemId")},
        {QStringLiteral("Pan"), QStringLiteral("PanToolbarItemId")},
        {QStringLiteral("e100TABLE"), QStringLiteral("TableToolbarItemId")},
        {QStringLiteral("Connector"), QStringLiteral("ConnectorToolItemId")},
    };
    return items.value(name);
}

// --- button matrices -----------------------------------------------------------------------

void QntDocumentCommands::undoredoButtonMatrixAction(const QString &cellTitle, QObject *sender)
{
    if (cellTitle == QLatin1String("Undo"))
        m_document.undo(sender);
    else if (cellTitle == QLatin1String("Redo"))
        m_document.redo(sender);
}

QByteArray QntDocumentCommands::arrangementActionForCellTitle(const QString &cellTitle)
{
    // The vertical/horizontal naming of the centre commands is crossed on purpose: a
    // "vertical centres" cell lines the centres up on one vertical line.
    static const QHash<QString, QByteArray> actions{
        {QStringLiteral("Align Left Edges"), "alignLeftEdges"},
        {QStringLiteral("Align Vertical Centers"), "alignHorizontalCentres"},
        {QStringLiteral("Align Right Edges"), "alignRightEdges"},
        {QStringLiteral("Align Top Edges"), "alignTopEdges"},
        {QStringLiteral("Align Horizontal Centers"), "alignVerticalCentres"},
        {QStringLiteral("Align Bottom Edges"), "alignBottomEdges"},
        {QStringLiteral("Distribute Vertical Space"), "distributeVerticalSpace"},
        {QStringLiteral("Distribute Horizontal Space"), "distributeHorizontalSpace"},
    };
    return actions.value(cellTitle);
}

void QntDocumentCommands::alignButtonMatrixAction(const QString &cellTitle, QObject *sender)
{
    const QByteArray action = arrangementActionForCellTitle(cellTitle);
    if (!action.isEmpty())
        QMetaObject::invokeMethod(&m_document, action.constData(), Qt::DirectConnection,
                                  Q_ARG(QObject *, sender));
}

void QntDocumentCommands::distributeButtonMatrixAction(const QString &cellTitle, QObject *sender)
{
    alignButtonMatrixAction(cellTitle, sender);
}

// --- duplication ---------------------------------------------------------------------------

void QntDocumentCommands::polarDuplicate()
{
    if (!m_polarController)
        m_polarController = new VKPolarDuplicateController;
    m_polarController->beginPolarDuplicationDialog(windowForSheet(), this);
}

void QntDocumentCommands::linearDuplicate()
{
    if (!m_linearController)
        m_linearController = new VKLinearDuplicateController;
    m_linearController->beginLinearDuplicationDialog(windowForSheet(), this);
}

int QntDocumentCommands::countOfItemsInSelection() const
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    return layer ? int(layer->selectedAvailableObjects().size()) : 0;
}

bool QntDocumentCommands::refuseTooManyCopies(qsizetype objects, int copies) const
{
    if (!VRObjectDrawingLayer::makesTooManyObjects(objects, copies))
        return false;
    m_document.drawing()->refuseChange(
        tr("One duplication makes at most %1 objects")
            .arg(QLocale().toString(VRObjectDrawingLayer::kMaximumObjectsMade)));
    return true;
}

void QntDocumentCommands::finishDuplication(VRObjectDrawingLayer &layer, const VRObjectList &copies,
                                            const QString &actionName)
{
    if (copies.isEmpty())
        return;
    // Copies beyond the coordinates a drawing holds would make a document that cannot be read
    // back: none is added.
    if (m_document.drawing()->refusesObjectsTooFarOut(copies))
        return;
    VRUndoManager *undo = layer.undoManager();
    if (undo)
        undo->beginUndoGrouping();
    layer.recordSelectionForUndo();
    layer.addObjectsFromArray(copies);
    layer.exchangeSelectionWithObjectsFromArray(copies);
    layer.commitSelectionUndoWithActionName(actionName);
    if (undo)
        undo->endUndoGrouping();
}

void QntDocumentCommands::doPolarDuplicateCopies(int copies, QPointF centre, double incAngle,
                                                 bool rotateCopies)
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!layer)
        return;
    const VRObjectList selection = layer->selectedAvailableObjects();
    if (selection.isEmpty())
        return;
    if (refuseTooManyCopies(selection.size(), copies))
        return;
    const double radians = incAngle * M_PI / 180.0;
    VRGridLayer *grid = m_document.drawing()->gridLayer();
    const QPointF point = grid ? grid->pointForGridLocation(centre) : centre;
    const VRObjectList made =
        layer->polarDuplicate(selection, point, copies, radians, rotateCopies);
    finishDuplication(*layer, made, tr("Polar Duplication"));
}

void QntDocumentCommands::doAutoPolarDuplicateWithCentre(QPointF centre)
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!layer)
        return;
    const VRObjectRef single = layer->singleSelection();
    if (!single)
        return;
    VRGridLayer *grid = m_document.drawing()->gridLayer();
    const QPointF point = grid ? grid->pointForGridLocation(centre) : centre;
    const int copies = VRObjectDrawingLayer::autoPolarCopyCount(*single, point);
    if (copies > VRObjectDrawingLayer::kMaximumCopies) {
        m_document.drawing()->refuseChange(
            tr("A circle that large would take more than %1 copies")
                .arg(QLocale().toString(VRObjectDrawingLayer::kMaximumCopies)));
        return;
    }
    if (copies < 1) {
        m_document.drawing()->refuseChange(tr("No copy fits on the circle around that centre"));
        return;
    }
    finishDuplication(*layer, layer->autoPolarDuplicate(single, point),
                      tr("Auto Polar Duplication"));
}

void QntDocumentCommands::doLinearDuplicateCopies(int copies, QSizeF offset)
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!layer)
        return;
    const VRObjectList selection = layer->selectedAvailableObjects();
    if (selection.isEmpty())
        return;
    if (refuseTooManyCopies(selection.size(), copies))
        return;
    VRGridLayer *grid = m_document.drawing()->gridLayer();
    const QSizeF distance = grid ? grid->quartzDistanceForGridDistance(offset) : offset;
    finishDuplication(*layer, layer->linearDuplicate(selection, distance, copies),
                      tr("Linear Duplication"));
}

// --- drawing size --------------------------------------------------------------------------

void QntDocumentCommands::openDrawingSizePanel()
{
    if (!m_drawingSizeController)
        m_drawingSizeController = new DrawingSizeController;
    m_drawingSizeController->beginDrawingSizeDialog(windowForSheet(), m_document.drawing());
}

// --- export --------------------------------------------------------------------------------

void QntDocumentCommands::exportAction()
{
    if (!m_exportController)
        m_exportController = new VKExportOptionsController;
    m_exportController->beginExportDialogWithParentWindow(windowForSheet(), this);
}

void QntDocumentCommands::exportSVGAction()
{
    if (!m_exportController)
        m_exportController = new VKExportOptionsController;
    m_exportController->beginSVGExportDialogWithParentWindow(windowForSheet(), this);
}

QString QntDocumentCommands::displayName() const
{
    return m_document.displayName();
}

QSizeF QntDocumentCommands::sourceImageSize(qint64, const QVariantMap &options) const
{
    const bool crop = (options.value(kQntCropExportedFile).toLongLong() & 0xff) != 0;
    return m_document.drawing()->sourceImageSizeWithCropping(crop);
}

bool QntDocumentCommands::performExportType(qint64 type, const QVariantMap &options)
{
    const QUrl url = options.value(kVKExportedFileURL).toUrl();
    if (!url.isLocalFile()) {
        showExportError(url.toString(), tr("Only files on this computer can be written."));
        return false;
    }

    VRDrawing *drawing = m_document.drawing();
    VRGridLayer *grid = drawing->gridLayer();
    const bool includeGrid = options.value(kVKIncludeGridInExportedFile).toBool();
    const bool gridPrinted = grid && grid->shouldDrawToPrinter();
    if (grid && includeGrid)
        grid->setShouldDrawToPrinterSilently(true);

    QByteArray data;
    switch (type) {
    case kTIFFType: data = drawing->TIFFDataWithProperties(options); break;
    case kJPEGType: data = drawing->JPEGDataWithProperties(options); break;
    case kPNGType: data = drawing->PNGDataWithProperties(options); break;
    case kSVGType: data = m_document.saveToSVG(url, options).value_or(QByteArray()); break;
    default: data = drawing->PDFDataWithProperties(options); break;
    }

    if (grid && includeGrid)
        grid->setShouldDrawToPrinterSilently(gridPrinted);

    // The SVG goes, named after the document, into the folder just chosen.
    QString path = url.toLocalFile();
    if (type == kSVGType)
        path =
            QDir(path).filePath(VKExportOptionsController::svgFileName(m_document.displayName()));

    if (data.isEmpty()) {
        showExportError(path, emptyExportReason(type, options));
        return false;
    }
    if (const auto error = AtomicFile::write(path, data)) {
        showExportError(path, *error);
        return false;
    }
    return true;
}

QString QntDocumentCommands::emptyExportReason(qint64 type, const QVariantMap &options) const
{
    const bool raster = type == kTIFFType || type == kJPEGType || type == kPNGType;
    const QSize pixels = m_document.drawing()->exportPixelSize(options);
    if (pixels.isEmpty())
        return tr("The drawing has nothing to export at this size.");
    if (raster && qint64(pixels.width()) * pixels.height() > VRDrawing::kMaximumExportPixels) {
        const QLocale locale;
        return tr("An image of %1 × %2 pixels is larger than can be made (at most %3 pixels). "
                  "Choose a lower resolution or a smaller size.")
            .arg(locale.toString(pixels.width()), locale.toString(pixels.height()),
                 locale.toString(VRDrawing::kMaximumExportPixels));
    }
    if (raster)
        return tr("An image of %1 × %2 pixels could not be made; there may not be enough memory.")
            .arg(QLocale().toString(pixels.width()), QLocale().toString(pixels.height()));
    return tr("The drawing could not be turned into this format.");
}

void QntDocumentCommands::showExportError(const QString &path, const QString &reason)
{
    qWarning().noquote() << "Export to" << path << "failed:" << reason;
    delete m_errorAlert.data();
    auto *alert = new QMessageBox(
        QMessageBox::Warning, tr("Export failed"),
        tr("The drawing could not be exported to “%1”.").arg(QDir::toNativeSeparators(path)),
        QMessageBox::Ok, windowForSheet());
    alert->setInformativeText(reason);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(windowForSheet() ? Qt::WindowModal : Qt::ApplicationModal);
    m_errorAlert = alert;
    alert->open();
}

// --- printing ------------------------------------------------------------------------------

QPrinter &QntDocumentCommands::printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    m_printer->setPageLayout(m_document.drawing()->printInfo().pageLayout());
    m_printer->setDocName(m_document.displayName());
    return *m_printer;
}

QDialog *QntDocumentCommands::printDialog() const
{
    return m_printDialog;
}

void QntDocumentCommands::printAction()
{
    if (m_printDialog) {
        m_printDialog->raise();
        return;
    }
    QPrinter &target = printer();
    const int pages =
        int(VRDrawingPrinter::pageRects(*m_document.drawing(),
                                        target.pageLayout().paintRect(QPageLayout::Point).size())
                .size());
    auto *dialog = new QPrintDialog(&target, windowForSheet());
    dialog->setObjectName(QStringLiteral("PrintDialog"));
    // Closed, another may open while this one waits to be deleted.
    connect(dialog, &QDialog::finished, this, [this] { m_printDialog = nullptr; });
    dialog->setWindowTitle(tr("Print “%1”").arg(m_document.displayName()));
    dialog->setMinMax(1, std::max(1, pages));
    dialog->setOption(QAbstractPrintDialog::PrintPageRange, pages > 1);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this] {
        if (!VRDrawingPrinter::print(*m_document.drawing(), *m_printer))
            showPrintError();
    });
    m_printDialog = dialog;
    dialog->open();
}

void QntDocumentCommands::pageSetupAction()
{
    if (m_printDialog) {
        m_printDialog->raise();
        return;
    }
    auto *dialog =
        new QntPageSetupDialog(m_document.drawing()->printInfo().pageLayout(), windowForSheet());
    dialog->setObjectName(QStringLiteral("PageSetupDialog"));
    // Closed, another may open while this one waits to be deleted.
    connect(dialog, &QDialog::finished, this, [this] { m_printDialog = nullptr; });
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(windowForSheet() ? Qt::WindowModal : Qt::ApplicationModal);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        VRDrawing *drawing = m_document.drawing();
        drawing->setPrintInfo(VRPrintInfo(dialog->pageLayout()));
        // The page breaks follow the new paper.
        drawing->setNeedsDisplay(true);
    });
    m_printDialog = dialog;
    dialog->open();
}

void QntDocumentCommands::showPrintError()
{
    delete m_errorAlert.data();
    auto *alert = new QMessageBox(QMessageBox::Warning, tr("Printing failed"),
                                  tr("“%1” could not be printed.").arg(m_document.displayName()),
                                  QMessageBox::Ok, windowForSheet());
    alert->setInformativeText(
        m_document.drawing()->drawingSize().isEmpty()
            ? tr("The drawing has no size.")
            : tr("The printer could not be started, or the pages chosen are not in the drawing."));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(windowForSheet() ? Qt::WindowModal : Qt::ApplicationModal);
    m_errorAlert = alert;
    alert->open();
}

// --- stencil import ------------------------------------------------------------------------

void QntDocumentCommands::importAction()
{
    importOptionsController()->beginImportDialogWithParentWindow(windowForSheet(), this);
}

QntImportOptionsController *QntDocumentCommands::importOptionsController()
{
    if (!m_importOptionsController)
        m_importOptionsController = new QntImportOptionsController(this);
    return m_importOptionsController;
}

QntStencilImport *QntDocumentCommands::stencilImport() const
{
    return m_stencilImport;
}

bool QntDocumentCommands::performImportFilepath(const QString &path, const QVariantMap &)
{
    if (m_stencilImport)
        return false;
    QntStencilImport import;
    m_stencilImport = &import;
    emit stencilImportStarted();
    const QntStencilImport::Result result = import.exec(path, windowForSheet());
    m_stencilImport = nullptr;
    switch (result.outcome) {
    case QntStencilImport::Result::Outcome::Cancelled: return false;
    case QntStencilImport::Result::Outcome::Failed:
        showImportError(path, result.error);
        return false;
    case QntStencilImport::Result::Outcome::Imported: break;
    }
    // The drawing gets elements made on this thread, read back from the new notation.
    VRObjectList elements;
    if (const QntNotationRef notation = QntNotation::notationWithPath(result.database);
        notation && notation->isValid())
        for (const QntElementRecord &record : notation->importedElementsList())
            elements.push_back(record.prototype);
    if (elements.isEmpty())
        elements = result.elements;
    m_document.drawing()->setImportedElements(elements, result.name);
    emit notationElementsImported(result.name);
    import.finish();
    return true;
}

void QntDocumentCommands::showImportError(const QString &path, const QString &reason)
{
    qWarning().noquote() << "Could not import this file" << path;
    delete m_errorAlert.data();
    auto *alert = new QMessageBox(
        QMessageBox::Warning, tr("Import failed"),
        tr("Could not import this file: %1. Please, write to %2.")
            .arg(QDir::toNativeSeparators(path), QStringLiteral("support@quintora.app")),
        QMessageBox::Ok, windowForSheet());
    alert->setInformativeText(reason);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(windowForSheet() ? Qt::WindowModal : Qt::ApplicationModal);
    m_errorAlert = alert;
    alert->open();
}
