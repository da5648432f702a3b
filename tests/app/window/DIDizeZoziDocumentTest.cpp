#include "app/window/DIDizeZoziDocument.h"

#include "framework/base/VRConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRShapeGroup.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/VRDrawingView.h"
#include "platform/DocumentController.h"

#include <QAction>
#include <QClipboard>
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QTextEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <ostream>

#include <memory>

#include <gtest/gtest.h>

TEST(DIDizeZoziDocument, QualityFlagReachesEveryOpenDrawing)
{
    DocumentController &controller = DocumentController::sharedDocumentController();
    QList<VRDrawingDocument *> documents;
    for (int i = 0; i < 3; ++i) {
        auto *document = new VRDrawingDocument;
        controller.addDocument(document);
        documents << document;
    }
    // A launch earlier in this process may have read the flag from the preferences.
    const bool before = DIDizeZoziDocument::defaultQualityModulation();
    DIDizeZoziDocument::setDefaultQualityModulation(false);
    EXPECT_FALSE(DIDizeZoziDocument::defaultQualityModulation());
    DIDizeZoziDocument::setDefaultQualityModulation(true);
    EXPECT_TRUE(DIDizeZoziDocument::defaultQualityModulation());
    for (VRDrawingDocument *document : documents)
        EXPECT_TRUE(document->drawing()->dynamicQualityModulationEnabled());
    DIDizeZoziDocument::setDefaultQualityModulation(false);
    for (VRDrawingDocument *document : documents) {
        EXPECT_FALSE(document->drawing()->dynamicQualityModulationEnabled());
        controller.removeDocument(document);
    }
    DIDizeZoziDocument::setDefaultQualityModulation(before);
    QCoreApplication::processEvents();
}

// The application reads every renderer a file may name, also those none of its own commands
// makes: here a drawing whose stroke became a rough stroke and whose fill a zig-zag fill.
TEST(DIDizeZoziDocument, ReadsStylesWithRenderersTheApplicationNeverMakes)
{
    VRDrawingDocument written;
    auto shape =
        VRDrawableShape::shapeWithRect(QRectF(10, 10, 80, 40), VRDrawableShape::unitRectAtOrigin());
    shape->setStyle(VRStyle::styleWithFillColour(Qt::yellow, Qt::black, 2));
    written.drawing()->activeLayerOfClass<VRObjectDrawingLayer>()->addObject(shape);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rough.quintora"));
    ASSERT_TRUE(written.writeToFile(path).ok());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray data = file.readAll();
    file.close();
    ASSERT_TRUE(data.contains("\"VRStroke\"") && data.contains("\"VRFill\""));
    data.replace("\"VRStroke\"", "\"VRRoughStroke\"").replace("\"VRFill\"", "\"VRZigZagFill\"");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
    file.close();

    DIDizeZoziDocument document;
    const VRResult<void> read = document.readFromFile(path);
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    const VRObjectList objects =
        document.drawing()->activeLayerOfClass<VRObjectDrawingLayer>()->objects();
    ASSERT_EQ(objects.size(), 1);
    QStringList classes;
    for (const VRRendererRef &renderer : objects.first()->style()->renderList())
        classes << renderer->className();
    EXPECT_TRUE(classes.contains(QStringLiteral("VRRoughStroke")))
        << classes.join(' ').toStdString();
    EXPECT_TRUE(classes.contains(QStringLiteral("VRZigZagFill")))
        << classes.join(' ').toStdString();
}

TEST(DIDizeZoziDocument, EveryDrawingTheDocumentTakesOnFollowsTheQualityFlag)
{
    const bool before = DIDizeZoziDocument::defaultQualityModulation();
    for (const bool flag : {true, false}) {
        DIDizeZoziDocument::setDefaultQualityModulation(flag);
        DIDizeZoziDocument document;
        EXPECT_EQ(document.drawing()->dynamicQualityModulationEnabled(), flag);
        auto replacement = std::make_unique<VRDrawing>();
        replacement->setDynamicQualityModulationEnabled(!flag);
        document.setDrawing(std::move(replacement));
        EXPECT_EQ(document.drawing()->dynamicQualityModulationEnabled(), flag);
    }
    DIDizeZoziDocument::setDefaultQualityModulation(before);
    QCoreApplication::processEvents();
}

namespace {

// One document window with three overlapping squares A, B, C stacked bottom to top.
struct CommandWindow {
    DIDizeZoziDocument document;
    VRObjectDrawingLayer *layer = nullptr;
    VRObjectRef a, b, c;

    CommandWindow()
    {
        document.makeWindowControllers();
        document.window()->show();
        document.window()->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(document.window()));
        layer = document.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
        a = VRDrawableShape::shapeWithRect(QRectF(100, 100, 60, 40));
        b = VRDrawableShape::shapeWithRect(QRectF(120, 110, 60, 40));
        c = VRDrawableShape::shapeWithRect(QRectF(140, 120, 60, 40));
        layer->addObjectsFromArray({a, b, c});
        settle();
        document.undoManager()->removeAllActions();
        document.undoManager()->markClean();
        document.updateChangeCount(Document::ChangeType::Cleared);
        document.mainView()->setFocus();
    }
    ~CommandWindow() { document.window()->close(); }

    static void settle() { QCoreApplication::processEvents(); }
    VRDrawingView *view() const { return document.mainView(); }
    // Where the command sits in the menu bar: menu title (without '&') and item.
    QAction *item(const char *action, QString *menuTitle = nullptr) const
    {
        for (QAction *top : document.window()->menuBar()->actions()) {
            if (!top->menu())
                continue;
            for (QAction *entry : top->menu()->actions()) {
                if (entry->objectName() == QLatin1String(action)) {
                    if (menuTitle)
                        *menuTitle = top->text().remove(QLatin1Char('&'));
                    return entry;
                }
            }
        }
        return nullptr;
    }
    // Chooses a menu item as a user does: the menu opens (validating its items), the item is
    // triggered, the menu closes. False when the item was disabled.
    bool choose(const char *action)
    {
        QAction *entry = item(action);
        if (!entry)
            return false;
        QMenu *menu = qobject_cast<QMenu *>(entry->parent());
        if (menu)
            emit menu->aboutToShow();
        const bool enabled = entry->isEnabled();
        if (enabled)
            entry->trigger();
        if (menu)
            emit menu->aboutToHide();
        settle();
        return enabled;
    }
    void press(const QKeySequence &keys)
    {
        const QKeyCombination combination = keys[0];
        QTest::keyClick(view(), combination.key(), combination.keyboardModifiers());
        settle();
    }
    void select(const VRObjectList &objects)
    {
        layer->exchangeSelectionWithObjectsFromArray(objects);
        settle();
    }

    // What undo must bring back: the objects in stacking order with their frames and locks.
    struct State {
        QList<const VRDrawableObject *> order;
        QList<QRectF> frames;
        QList<bool> locks;
        bool operator==(const State &) const = default;
    };
    State state() const
    {
        State s;
        for (const VRObjectRef &o : layer->objects()) {
            s.order << o.get();
            s.frames << o->logicalBounds();
            s.locks << o->isLocked();
        }
        return s;
    }
    QList<const VRDrawableObject *> order() const { return state().order; }
};

struct EditCase {
    const char *name;
    const char *action;    // the menu item; null for keys that are no menu item
    QKeySequence shortcut; // empty when the item has none
    const char *undoName;
    std::function<void(CommandWindow &)> prepare;
    std::function<void(CommandWindow &)> check;
};

void PrintTo(const EditCase &c, std::ostream *os)
{
    *os << c.name;
}

const EditCase kEditCases[] = {
    {"Cut", "cut", QKeySequence(Qt::CTRL | Qt::Key_X), "Cut",
     [](CommandWindow &w) { w.select({w.b}); },
     [](CommandWindow &w) {
         EXPECT_EQ(w.layer->countOfObjects(), 2);
         EXPECT_FALSE(w.layer->objects().contains(w.b));
         EXPECT_TRUE(
             QGuiApplication::clipboard()->mimeData()->hasFormat(kVRDrawableObjectPasteboardType));
     }},
    {"Paste", "paste", QKeySequence(Qt::CTRL | Qt::Key_V), "Paste",
     [](CommandWindow &w) {
         w.select({w.a});
         w.document.copy();
     },
     [](CommandWindow &w) {
         ASSERT_EQ(w.layer->countOfObjects(), 4);
         const VRObjectRef pasted = w.layer->objects().last();
         EXPECT_EQ(w.layer->singleSelection(), pasted);
         EXPECT_EQ(pasted->logicalBounds(), w.a->logicalBounds().translated(10, 10));
     }},
    {"Duplicate", "duplicate", QKeySequence(Qt::CTRL | Qt::Key_D), "Duplicate",
     [](CommandWindow &w) { w.select({w.c}); },
     [](CommandWindow &w) {
         ASSERT_EQ(w.layer->countOfObjects(), 4);
         EXPECT_EQ(w.layer->singleSelection(), w.layer->objects().last());
         EXPECT_EQ(w.layer->objects().last()->logicalBounds(),
                   w.c->logicalBounds().translated(10, 10));
     }},
    {"Delete", "deleteSelection", QKeySequence(Qt::Key_Delete), "Delete",
     [](CommandWindow &w) {
         w.select({w.a, w.c});
     },
     [](CommandWindow &w) { EXPECT_EQ(w.order(), QList<const VRDrawableObject *>{w.b.get()}); }},
    {"Group", "group", QKeySequence(Qt::CTRL | Qt::Key_G), "Group",
     [](CommandWindow &w) {
         w.select({w.a, w.b});
     },
     [](CommandWindow &w) {
         ASSERT_EQ(w.layer->countOfObjects(), 2);
         auto group = std::dynamic_pointer_cast<VRShapeGroup>(w.layer->objects().first());
         ASSERT_NE(group, nullptr);
         EXPECT_EQ(group->groupObjects(), (VRObjectList{w.a, w.b}));
         EXPECT_EQ(w.layer->singleSelection(), group);
     }},
    {"Ungroup", "ungroup", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G), "Ungroup",
     [](CommandWindow &w) {
         w.select({w.b, w.c});
         w.document.group();
         w.settle();
     },
     [](CommandWindow &w) {
         EXPECT_EQ(w.order(), (QList<const VRDrawableObject *>{w.a.get(), w.b.get(), w.c.get()}));
         EXPECT_EQ(w.layer->selection(), (VRObjectList{w.b, w.c}));
     }},
    {"BringToFront",
     "bringToFront",
     {},
     "Bring to Front",
     [](CommandWindow &w) { w.select({w.a}); },
     [](CommandWindow &w) {
         EXPECT_EQ(w.order(), (QList<const VRDrawableObject *>{w.b.get(), w.c.get(), w.a.get()}));
     }},
    {"BringForward",
     "bringForward",
     {},
     "Bring Forward",
     [](CommandWindow &w) { w.select({w.a}); },
     [](CommandWindow &w) {
         EXPECT_EQ(w.order(), (QList<const VRDrawableObject *>{w.b.get(), w.a.get(), w.c.get()}));
     }},
    {"SendBackward",
     "sendBackward",
     {},
     "Send Backward",
     [](CommandWindow &w) { w.select({w.c}); },
     [](CommandWindow &w) {
         EXPECT_EQ(w.order(), (QList<const VRDrawableObject *>{w.a.get(), w.c.get(), w.b.get()}));
     }},
    {"SendToBack",
     "sendToBack",
     {},
     "Send to Back",
     [](CommandWindow &w) { w.select({w.c}); },
     [](CommandWindow &w) {
         EXPECT_EQ(w.order(), (QList<const VRDrawableObject *>{w.c.get(), w.a.get(), w.b.get()}));
     }},
    {"Lock",
     "lock",
     {},
     "Lock",
     [](CommandWindow &w) {
         w.select({w.a, w.b});
     },
     [](CommandWindow &w) {
         EXPECT_TRUE(w.a->isLocked());
         EXPECT_TRUE(w.b->isLocked());
         EXPECT_FALSE(w.c->isLocked());
     }},
    {"Unlock",
     "unlock",
     {},
     "Unlock",
     [](CommandWindow &w) {
         w.select({w.b});
         w.document.lock();
         w.settle();
     },
     [](CommandWindow &w) { EXPECT_FALSE(w.b->isLocked()); }},
    {"NudgeRight", nullptr, QKeySequence(Qt::Key_Right), "Move",
     [](CommandWindow &w) {
         w.select({w.a, w.b});
     },
     [](CommandWindow &w) {
         EXPECT_EQ(w.a->logicalBounds(), QRectF(101, 100, 60, 40));
         EXPECT_EQ(w.b->logicalBounds(), QRectF(121, 110, 60, 40));
     }},
    {"NudgeUpTen", nullptr, QKeySequence(Qt::SHIFT | Qt::Key_Up), "Move",
     [](CommandWindow &w) { w.select({w.c}); },
     [](CommandWindow &w) { EXPECT_EQ(w.c->logicalBounds(), QRectF(140, 110, 60, 40)); }},
    {"NudgeLeftTen", nullptr, QKeySequence(Qt::SHIFT | Qt::Key_Left), "Move",
     [](CommandWindow &w) { w.select({w.c}); },
     [](CommandWindow &w) { EXPECT_EQ(w.c->logicalBounds(), QRectF(130, 120, 60, 40)); }},
    {"NudgeDown", nullptr, QKeySequence(Qt::Key_Down), "Move",
     [](CommandWindow &w) { w.select({w.c}); },
     [](CommandWindow &w) { EXPECT_EQ(w.c->logicalBounds(), QRectF(140, 121, 60, 40)); }},
};

class DocumentEditCommand : public ::testing::TestWithParam<EditCase>
{
};

// Each editing command, chosen from its menu and typed as its shortcut, is one named undo step
// that undo takes back and redo does again, from the Edit menu and from the keyboard.
TEST_P(DocumentEditCommand, IsOneNamedUndoStepFromMenuAndShortcut)
{
    const EditCase &row = GetParam();
    for (const bool byKeyboard : {false, true}) {
        if (byKeyboard ? row.shortcut.isEmpty() : row.action == nullptr)
            continue;
        SCOPED_TRACE(byKeyboard ? "shortcut" : "menu");
        CommandWindow w;
        row.prepare(w);
        const CommandWindow::State before = w.state();
        const int steps = int(w.document.undoManager()->undoStack().size());
        if (byKeyboard)
            w.press(row.shortcut);
        else
            ASSERT_TRUE(w.choose(row.action));
        row.check(w);
        const CommandWindow::State after = w.state();
        EXPECT_EQ(int(w.document.undoManager()->undoStack().size()), steps + 1);
        EXPECT_EQ(w.document.undoManager()->undoActionName(), QLatin1String(row.undoName));
        EXPECT_TRUE(w.document.isDocumentEdited());
        if (byKeyboard)
            w.press(QKeySequence(Qt::CTRL | Qt::Key_Z));
        else
            ASSERT_TRUE(w.choose("undo"));
        EXPECT_TRUE(w.state() == before);
        if (byKeyboard)
            w.press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
        else
            ASSERT_TRUE(w.choose("redo"));
        EXPECT_TRUE(w.state() == after);
        row.check(w);
    }
}

INSTANTIATE_TEST_SUITE_P(EditingCommands, DocumentEditCommand, ::testing::ValuesIn(kEditCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

TEST(DIDizeZoziDocument, StandardCommandsSitInTheirMenusWithTheirShortcuts)
{
    CommandWindow w;
    struct Row {
        const char *action;
        const char *menu;
        QList<QKeySequence> shortcuts;
    };
    const Row rows[] = {
        {"undo", "Edit", QKeySequence::keyBindings(QKeySequence::Undo)},
        {"redo", "Edit", QKeySequence::keyBindings(QKeySequence::Redo)},
        {"cut", "Edit", QKeySequence::keyBindings(QKeySequence::Cut)},
        {"copy", "Edit", QKeySequence::keyBindings(QKeySequence::Copy)},
        {"paste", "Edit", QKeySequence::keyBindings(QKeySequence::Paste)},
        {"duplicate", "Edit", {QKeySequence(Qt::CTRL | Qt::Key_D)}},
        {"deleteSelection", "Edit", {QKeySequence(Qt::Key_Delete)}},
        {"selectAll", "Edit", QKeySequence::keyBindings(QKeySequence::SelectAll)},
        {"zoomIn",
         "View",
         {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)}},
        {"zoomOut", "View", {QKeySequence(Qt::CTRL | Qt::Key_Minus)}},
        {"zoomToActualSize", "View", {QKeySequence(Qt::CTRL | Qt::Key_0)}},
        {"zoomToFit", "View", {QKeySequence(Qt::CTRL | Qt::Key_1)}},
        {"group", "Arrange", {QKeySequence(Qt::CTRL | Qt::Key_G)}},
        {"ungroup", "Arrange", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G)}},
        {"bringToFront", "Arrange", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_BracketRight)}},
        {"bringForward", "Arrange", {QKeySequence(Qt::CTRL | Qt::Key_BracketRight)}},
        {"sendBackward", "Arrange", {QKeySequence(Qt::CTRL | Qt::Key_BracketLeft)}},
        {"sendToBack", "Arrange", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_BracketLeft)}},
        {"lock", "Arrange", {}},
        {"unlock", "Arrange", {}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.action);
        QString menu;
        QAction *entry = w.item(row.action, &menu);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(menu, QLatin1String(row.menu));
        EXPECT_EQ(entry->shortcuts(), row.shortcuts);
    }
    // An open menu shows what applies now and names the step Undo takes back.
    w.select({w.a});
    w.document.lock();
    CommandWindow::settle();
    QMenu *arrange = qobject_cast<QMenu *>(w.item("lock")->parent());
    emit arrange->aboutToShow();
    EXPECT_FALSE(w.item("lock")->isEnabled());
    EXPECT_TRUE(w.item("unlock")->isEnabled());
    EXPECT_FALSE(w.item("group")->isEnabled());
    emit arrange->aboutToHide();
    EXPECT_TRUE(w.item("lock")->isEnabled()); // closed, shortcuts always reach the document
    QMenu *edit = qobject_cast<QMenu *>(w.item("undo")->parent());
    emit edit->aboutToShow();
    EXPECT_EQ(w.item("undo")->text(), QStringLiteral("Undo Lock"));
    EXPECT_FALSE(w.item("redo")->isEnabled());
    emit edit->aboutToHide();
}

TEST(DIDizeZoziDocument, CopySelectAllAndZoomChangeNothingUndoable)
{
    struct Row {
        const char *name;
        const char *action;
        QKeySequence shortcut;
        double scaleBefore;
        std::function<void(CommandWindow &)> check;
    };
    const auto scale = [](double expected) {
        return [expected](CommandWindow &w) { EXPECT_DOUBLE_EQ(w.view()->scale(), expected); };
    };
    const Row rows[] = {
        {"copy", "copy", QKeySequence(Qt::CTRL | Qt::Key_C), 1.0,
         [](CommandWindow &) {
             const VRObjectList copied = VRDrawableObject::nativeObjectsFromPasteboard(
                 QGuiApplication::clipboard()->mimeData());
             ASSERT_EQ(copied.size(), 1);
             EXPECT_EQ(copied.first()->logicalBounds(), QRectF(120, 110, 60, 40));
         }},
        {"select all", "selectAll", QKeySequence(Qt::CTRL | Qt::Key_A), 1.0,
         [](CommandWindow &w) { EXPECT_EQ(w.layer->countOfSelection(), 3); }},
        {"zoom in", "zoomIn", QKeySequence(Qt::CTRL | Qt::Key_Plus), 1.0, scale(1.25)},
        {"zoom in (=)", nullptr, QKeySequence(Qt::CTRL | Qt::Key_Equal), 1.25, scale(1.5)},
        {"zoom out", "zoomOut", QKeySequence(Qt::CTRL | Qt::Key_Minus), 1.0, scale(0.75)},
        {"actual size", "zoomToActualSize", {}, 3.0, scale(1.0)},
        {"zoom to fit",
         "zoomToFit",
         {},
         3.0,
         [](CommandWindow &w) {
             const QRectF paper(QPointF(0, 0), w.document.drawing()->drawingSize());
             const QSize viewport = w.document.drawingScrollArea()->viewport()->size();
             const QRectF shown = w.view()->mapRectFromDrawing(paper);
             EXPECT_LE(shown.width(), viewport.width());
             EXPECT_LE(shown.height(), viewport.height());
             // One side fills the view but for the margins around the paper (scroll bars may
             // come and go meanwhile).
             EXPECT_GE(
                 std::max(shown.width() - viewport.width(), shown.height() - viewport.height()),
                 -96.0 - 20.0);
         }},
    };
    for (const Row &row : rows) {
        for (const bool byKeyboard : {false, true}) {
            if (byKeyboard ? row.shortcut.isEmpty() : row.action == nullptr)
                continue;
            SCOPED_TRACE(std::string(row.name) + (byKeyboard ? " by shortcut" : " from menu"));
            CommandWindow w;
            w.view()->setScale(row.scaleBefore);
            w.select({w.b});
            QGuiApplication::clipboard()->clear();
            if (byKeyboard)
                w.press(row.shortcut);
            else
                ASSERT_TRUE(w.choose(row.action));
            row.check(w);
            EXPECT_TRUE(w.document.undoManager()->undoStack().isEmpty());
            EXPECT_FALSE(w.document.isDocumentEdited());
        }
    }
    QGuiApplication::clipboard()->clear();
}

TEST(DIDizeZoziDocument, RepeatedPastesStepAwayFromEachOther)
{
    CommandWindow w;
    w.select({w.a});
    w.document.copy();
    w.press(QKeySequence(Qt::CTRL | Qt::Key_V));
    w.press(QKeySequence(Qt::CTRL | Qt::Key_V));
    ASSERT_EQ(w.layer->countOfObjects(), 5);
    EXPECT_EQ(w.layer->objects().at(3)->logicalBounds(), w.a->logicalBounds().translated(10, 10));
    EXPECT_EQ(w.layer->objects().at(4)->logicalBounds(), w.a->logicalBounds().translated(20, 20));
    // A new copy starts again next to its original.
    w.select({w.c});
    w.document.copy();
    w.press(QKeySequence(Qt::CTRL | Qt::Key_V));
    EXPECT_EQ(w.layer->objects().last()->logicalBounds(), w.c->logicalBounds().translated(10, 10));
    QGuiApplication::clipboard()->clear();
}

namespace {

// A text field of one of the kinds the window holds (inspector line edits, the in-place and
// window text views, the commands editor), read and worked the same way whatever its kind.
struct Field {
    QWidget *widget = nullptr;

    QString text() const
    {
        if (auto *edit = qobject_cast<QLineEdit *>(widget))
            return edit->text();
        if (auto *view = qobject_cast<QTextEdit *>(widget))
            return view->toPlainText();
        return qobject_cast<QPlainTextEdit *>(widget)->toPlainText();
    }
    QString selectedText() const
    {
        if (auto *edit = qobject_cast<QLineEdit *>(widget))
            return edit->selectedText();
        if (auto *view = qobject_cast<QTextEdit *>(widget))
            return view->textCursor().selectedText();
        return qobject_cast<QPlainTextEdit *>(widget)->textCursor().selectedText();
    }
    // "hello world" with "world" selected and nothing to undo.
    void reset() const
    {
        if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            edit->setText(QStringLiteral("hello world"));
            edit->setSelection(6, 5);
            return;
        }
        auto select = [](auto *view) {
            view->setPlainText(QStringLiteral("hello world"));
            QTextCursor cursor = view->textCursor();
            cursor.setPosition(6);
            cursor.setPosition(11, QTextCursor::KeepAnchor);
            view->setTextCursor(cursor);
        };
        if (auto *view = qobject_cast<QTextEdit *>(widget))
            select(view);
        else
            select(qobject_cast<QPlainTextEdit *>(widget));
    }
    // Types "!" at the end, as one step of the field's own undo.
    void typeBang() const
    {
        if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            edit->end(false);
            edit->insert(QStringLiteral("!"));
            return;
        }
        auto type = [](auto *view) {
            view->moveCursor(QTextCursor::End);
            view->insertPlainText(QStringLiteral("!"));
        };
        if (auto *view = qobject_cast<QTextEdit *>(widget))
            type(view);
        else
            type(qobject_cast<QPlainTextEdit *>(widget));
    }
};

// Puts a drawing object (the window's b) and the text "there" on the clipboard together, as
// after a copy elsewhere.
void copyObjectAndText(CommandWindow &w)
{
    w.select({w.b});
    w.document.copy();
    auto *both = new QMimeData;
    const QMimeData *copied = QGuiApplication::clipboard()->mimeData();
    for (const QString &format : copied->formats())
        both->setData(format, copied->data(format));
    both->setText(QStringLiteral("there"));
    QGuiApplication::clipboard()->setMimeData(both);
}

} // namespace

TEST(DIDizeZoziDocument, EditMenuActsOnTheFocusedTextFieldAndLeavesTheDrawingAlone)
{
    CommandWindow w;
    QWidget *central = w.document.window()->centralWidget();
    ASSERT_NE(central, nullptr);
    const Field fields[] = {
        {new QLineEdit(central)}, {new QTextEdit(central)}, {new QPlainTextEdit(central)}};
    const auto cleanup = qScopeGuard([&] {
        for (const Field &field : fields)
            delete field.widget;
        QGuiApplication::clipboard()->clear();
    });
    struct Row {
        const char *action;
        QString text;         // the field's text afterwards
        QString selectedText; // its selection afterwards
        QString clipboard;    // the clipboard's text afterwards
    };
    const Row rows[] = {
        {"paste", "hello there", "", "there"},
        {"cut", "hello ", "", "world"},
        {"copy", "hello world", "world", "world"},
        {"deleteSelection", "hello ", "", "there"},
        {"selectAll", "hello world", "hello world", "there"},
    };
    for (const Field &field : fields) {
        field.widget->show();
        for (const Row &row : rows) {
            SCOPED_TRACE(std::string(field.widget->metaObject()->className()) + " " + row.action);
            copyObjectAndText(w);
            field.reset();
            field.widget->setFocus();
            CommandWindow::settle();
            ASSERT_EQ(QApplication::focusWidget(), field.widget);

            ASSERT_TRUE(w.choose(row.action));
            EXPECT_EQ(field.text(), row.text);
            EXPECT_EQ(field.selectedText(), row.selectedText);
            EXPECT_EQ(QGuiApplication::clipboard()->text(), row.clipboard);
            EXPECT_EQ(w.layer->countOfObjects(), 3);
            EXPECT_EQ(w.layer->countOfSelection(), 1);
            EXPECT_TRUE(w.document.undoManager()->undoStack().isEmpty());
        }

        // Undo and Redo take back the field's typing, not the drawing's last step.
        field.reset();
        w.view()->setFocus();
        ASSERT_TRUE(w.choose("deleteSelection"));
        ASSERT_EQ(w.layer->countOfObjects(), 2);
        field.widget->setFocus();
        field.typeBang();
        CommandWindow::settle();
        QMenu *edit = qobject_cast<QMenu *>(w.item("undo")->parent());
        emit edit->aboutToShow();
        EXPECT_EQ(w.item("undo")->text(), QStringLiteral("Undo"));
        EXPECT_FALSE(w.item("redo")->isEnabled());
        EXPECT_FALSE(w.item("cut")->isEnabled()); // nothing selected in the field
        emit edit->aboutToHide();
        ASSERT_TRUE(w.choose("undo"));
        EXPECT_EQ(field.text(), QStringLiteral("hello world"));
        ASSERT_TRUE(w.choose("redo"));
        EXPECT_EQ(field.text(), QStringLiteral("hello world!"));
        EXPECT_EQ(w.layer->countOfObjects(), 2);
        EXPECT_EQ(w.document.undoManager()->undoStack().size(), 1);
        // With the drawing in front again, the menu reaches the drawing.
        w.view()->setFocus();
        ASSERT_TRUE(w.choose("undo"));
        EXPECT_EQ(w.layer->countOfObjects(), 3);
        w.document.undoManager()->removeAllActions();
        field.widget->hide();
    }
}

TEST(DIDizeZoziDocument, EditMenuReachesTheFieldOfAnotherWindowUntilThisWindowIsUsed)
{
    CommandWindow w;
    // A window of its own with a field being typed in, as the text editor window.
    QWidget editorWindow(nullptr, Qt::Tool);
    auto *field = new QTextEdit(&editorWindow);
    editorWindow.show();
    editorWindow.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editorWindow));
    field->setFocus();
    Field{field}.reset();
    const auto cleanup = qScopeGuard([] { QGuiApplication::clipboard()->clear(); });
    QGuiApplication::clipboard()->setText(QStringLiteral("there"));
    // A click on the document window's menu bar makes that window the active one.
    w.document.window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.document.window()));
    ASSERT_NE(QApplication::focusWidget(), field);

    ASSERT_TRUE(w.choose("paste"));
    EXPECT_EQ(field->toPlainText(), QStringLiteral("hello there"));
    EXPECT_EQ(w.layer->countOfObjects(), 3);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&editorWindow)); // typing goes on there

    // Once this window is clicked, the menu means the drawing again.
    w.document.window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.document.window()));
    QTest::mouseClick(w.view(), Qt::LeftButton, {}, QPoint(5, 5));
    w.select({w.b});
    ASSERT_TRUE(w.choose("selectAll"));
    EXPECT_EQ(w.layer->countOfSelection(), 3);
    EXPECT_FALSE(field->textCursor().hasSelection());
}

TEST(DIDizeZoziDocument, ShortcutsAfterTheEditMenuClosesGoWhereTheFocusIs)
{
    CommandWindow w;
    QWidget editorWindow(nullptr, Qt::Tool);
    auto *field = new QTextEdit(&editorWindow);
    editorWindow.show();
    const auto cleanup = qScopeGuard([] { QGuiApplication::clipboard()->clear(); });
    struct Case {
        const char *name;
        bool menuOpened; // the Edit menu was opened from the menu bar and closed with Escape
    };
    const Case cases[] = {{"menu opened and closed", true}, {"window switched", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        copyObjectAndText(w);
        const qsizetype objects = w.layer->countOfObjects();

        // Typing in the other window, then the document window comes to the front.
        editorWindow.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&editorWindow));
        field->setFocus();
        Field{field}.reset();
        CommandWindow::settle();
        w.document.window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.document.window()));
        w.view()->setFocus();
        CommandWindow::settle();
        if (c.menuOpened) {
            QMenuBar *bar = w.document.window()->menuBar();
            QMenu *edit = qobject_cast<QMenu *>(w.item("paste")->parent());
            bar->setActiveAction(edit->menuAction());
            ASSERT_TRUE(QTest::qWaitFor([edit] { return edit->isVisible(); }));
            QTest::keyClick(edit, Qt::Key_Escape);
            ASSERT_TRUE(QTest::qWaitFor([edit] { return !edit->isVisible(); }));
            // The window under the closed menu is the active one again (the offscreen
            // platform leaves that to us); the bar holds the keys for keyboard use.
            w.document.window()->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(w.document.window()));
            CommandWindow::settle();
            ASSERT_NE(qobject_cast<QMenuBar *>(QApplication::focusWidget()), nullptr);
        }

        // Ctrl+V, typed where the keys go now, reaches the drawing the user was in. Ctrl was
        // held down since before this window came to the front, so only V arrives here (as
        // QTest delivers a key: its shortcut first).
        ASSERT_TRUE(qt_sendShortcutOverrideEvent(QApplication::focusWidget(), 0, Qt::Key_V,
                                                 Qt::ControlModifier, QStringLiteral("v")));
        CommandWindow::settle();
        EXPECT_EQ(w.layer->countOfObjects(), objects + 1);
        EXPECT_EQ(field->toPlainText(), QStringLiteral("hello world"));
        EXPECT_EQ(QApplication::activeWindow(), w.document.window());
        QTest::keyClick(w.document.window()->menuBar(), Qt::Key_Escape); // leaves the bar
        w.view()->setFocus();
    }
}
