#include "PaletteTestSupport.h"

#include "library/ImagesBankItem.h"
#include "library/QntImagesBankController.h"
#include "library/QntNotationSubGroupItem.h"
#include "library/QntNotationSubgroup.h"
#include "library/QntOutlineView.h"

#include "app/common/QntConstants.h"
#include "common/FolderSetAside.h"
#include "framework/archive/VRArchiver.h"
#include "framework/base/VRConstants.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/notations/FMDatabase.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/VRObjectCreationTool.h"
#include "framework/view/VRToolRegistry.h"
#include "platform/NotificationCenter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDropEvent>
#include <QDir>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QSet>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

namespace {

// An image bank with pictures, a palette beside a drawing, and the tool names restored after.
struct EditingFixture {
    explicit EditingFixture(int pictures = 2)
        : aside(std::filesystem::path(
            QDir::cleanPath(QntImagesBankController::imageBankFolderPath()).toStdString()))
    {
        preparePaletteEnvironment();
        const QStringList names = VRToolRegistry::sharedToolRegistry().toolNames();
        toolsBefore = QSet<QString>(names.begin(), names.end());
        QntImagesBankController bank(QStringLiteral("QntImagesBank"));
        EXPECT_TRUE(bank.initImageBank());
        for (int i = 0; i < pictures; ++i) {
            const QString path = files.filePath(QStringLiteral("pic%1.png").arg(i));
            QImage image(30, 20, QImage::Format_ARGB32);
            image.fill(QColor(40 * i, 90, 160));
            image.save(path);
            EXPECT_TRUE(bank.addElementWithPath(path));
        }
        harness = std::make_unique<PaletteHarness>();
        observer = NotificationCenter::defaultCenter().addObserver(
            kQntImageBankReloadNeededNotification, nullptr,
            [this](const Notification &) { ++bankReloads; });
    }
    ~EditingFixture()
    {
        delete palette().replaceAlert();
        delete palette().deleteAlert();
        harness.reset();
        for (const QString &name : VRToolRegistry::sharedToolRegistry().toolNames())
            if (!toolsBefore.contains(name))
                VRToolRegistry::sharedToolRegistry().unregisterDrawingTool(name);
    }

    QntNotationPalette &palette() const { return *harness->palette; }
    QntNotationSubgroup &custom() const { return *palette().subgroupCustom(); }
    QStringList customIds() const
    {
        QStringList ids;
        for (const auto &item : custom().children())
            ids.push_back(item->title());
        return ids;
    }
    static QStringList storedIds()
    {
        FMDatabase db(QntImagesBankController::imageBankFilePath());
        if (!db.openReadOnly())
            return {};
        QStringList ids;
        auto rs = db.executeQuery(QStringLiteral("SELECT ID FROM ImportedElements ORDER BY _ID"));
        while (rs && rs->next())
            ids.push_back(rs->stringForColumnIndex(0));
        return ids;
    }
    static std::unique_ptr<QMimeData> dragOf(const VRObjectList &objects)
    {
        auto data = std::make_unique<QMimeData>();
        data->setData(kVRDrawableObjectPasteboardType, VRArchiver::objectsData(objects));
        return data;
    }
    static VRObjectRef element(QColor colour = Qt::red)
    {
        auto part = VRDrawableShape::shapeWithRect(QRectF(0, 0, 60, 40));
        part->setStyle(VRStyle::styleWithFillColour(colour, Qt::black, 1.0));
        auto made = QntElement::createWithObjects({part}, QStringLiteral("drawn"), QSizeF(60, 40));
        made->setSize(QSizeF(60, 40));
        return made;
    }

    qnt::test::FolderSetAside aside;
    QTemporaryDir files;
    QSet<QString> toolsBefore;
    std::unique_ptr<PaletteHarness> harness;
    NotificationToken observer;
    int bankReloads = 0;
};

void clickButton(QMessageBox *box, const QString &text)
{
    ASSERT_TRUE(box);
    for (QAbstractButton *button : box->buttons())
        if (button->text() == text) {
            button->click();
            return;
        }
    FAIL() << "no button " << text.toStdString();
}

} // namespace

TEST(QntNotationPaletteEditing, AnElementDroppedOnTheTopLevelBecomesTheFirstCustomShape)
{
    EditingFixture f;
    const QStringList before = f.customIds();
    ASSERT_EQ(before.size(), 2);
    const auto data = f.dragOf({f.element()});
    QntNotationPalette::DropTarget target; // the top level
    EXPECT_EQ(f.palette().validateDrop(data.get(), target, nullptr), Qt::CopyAction);
    EXPECT_EQ(target.group, &f.custom());
    EXPECT_EQ(target.childIndex, 0);
    ASSERT_TRUE(f.palette().acceptDrop(data.get(), {}, nullptr));

    const QStringList after = f.customIds();
    ASSERT_EQ(after.size(), 3);
    const QString id = after.first();
    EXPECT_EQ(after.mid(1), before);
    EXPECT_FALSE(before.contains(id));
    EXPECT_EQ(id.size(), QUuid::createUuid().toString(QUuid::WithoutBraces).size());
    // Stored first in the image bank, and draggable at once through its tool.
    EXPECT_EQ(f.storedIds(), after);
    auto *tool = dynamic_cast<VRObjectCreationTool *>(VRDrawingTool::drawingToolWithName(id));
    ASSERT_TRUE(tool);
    EXPECT_TRUE(tool->prototype()->isPrototype());
    EXPECT_FALSE(f.custom().children().first()->image().isNull());
    EXPECT_GE(f.bankReloads, 1);

    // After the last shape: appended.
    QntNotationPalette::DropTarget end{&f.custom(), nullptr, 3};
    ASSERT_TRUE(f.palette().acceptDrop(f.dragOf({f.element(Qt::blue)}).get(), end, nullptr));
    EXPECT_EQ(f.customIds().mid(0, 3), after);
    EXPECT_EQ(f.storedIds(), f.customIds());
    // The palette read again from the database shows the same order.
    f.palette().reloadCustomSubgroup();
    EXPECT_EQ(f.storedIds(), f.customIds());
}

TEST(QntNotationPaletteEditing, DropsTheGroupCannotTakeAreRefused)
{
    EditingFixture f;
    const auto element = f.dragOf({f.element()});
    const auto plain = f.dragOf({VRDrawableShape::shapeWithRect(QRectF(0, 0, 10, 10))});
    QntNotationSubgroup *shapes = f.palette().subgroupShapes().get();
    ASSERT_TRUE(shapes && !shapes->children().isEmpty());
    struct Case {
        const char *name;
        QntNotationPalette::DropTarget target;
        const QMimeData *data;
        const QObject *source;
        Qt::DropAction expected;
    };
    const QList<Case> cases = {
        {"onto a built-in group row",
         {shapes, nullptr, -1},
         element.get(),
         nullptr,
         Qt::IgnoreAction},
        {"into a built-in group", {shapes, nullptr, 0}, element.get(), nullptr, Qt::IgnoreAction},
        {"onto a built-in shape",
         {shapes, shapes->children().first().get(), -1},
         element.get(),
         nullptr,
         Qt::IgnoreAction},
        {"a palette shape onto a Custom shape",
         {&f.custom(), f.custom().children().first().get(), -1},
         element.get(),
         f.palette().outlineView(),
         Qt::IgnoreAction},
        {"onto a Custom shape",
         {&f.custom(), f.custom().children().first().get(), -1},
         element.get(),
         nullptr,
         Qt::CopyAction},
        {"into the Custom group",
         {&f.custom(), nullptr, 1},
         element.get(),
         nullptr,
         Qt::MoveAction},
        {"onto the Custom group row",
         {&f.custom(), nullptr, -1},
         element.get(),
         nullptr,
         Qt::CopyAction},
        {"nothing to drop", {&f.custom(), nullptr, 1}, nullptr, nullptr, Qt::IgnoreAction},
    };
    for (Case c : cases)
        EXPECT_EQ(f.palette().validateDrop(c.data, c.target, c.source), c.expected) << c.name;
    // A plain shape dropped into the group is taken but adds nothing.
    EXPECT_TRUE(f.palette().acceptDrop(plain.get(), {&f.custom(), nullptr, 0}, nullptr));
    EXPECT_EQ(f.customIds().size(), 2);
    EXPECT_EQ(f.storedIds().size(), 2);
}

TEST(QntNotationPaletteEditing, ReplacingAsksAndCancelChangesNothing)
{
    EditingFixture f;
    const auto target = f.custom().children().at(1);
    const QString id = target->title();
    const QImage oldPicture = target->image();
    auto *tool = dynamic_cast<VRObjectCreationTool *>(target->drawingTool());
    ASSERT_TRUE(tool);
    const VRObjectRef oldPrototype = tool->prototype();
    const auto shape = VRDrawableShape::shapeWithRect(QRectF(0, 0, 80, 30));
    shape->setStyle(VRStyle::styleWithFillColour(Qt::darkGreen, Qt::black, 1.0));
    const auto data = f.dragOf({shape});

    ASSERT_TRUE(f.palette().acceptDrop(data.get(), {&f.custom(), target.get(), -1}, nullptr));
    ASSERT_TRUE(f.palette().replaceAlert());
    EXPECT_EQ(f.palette().replaceAlert()->text(), "Replace this item?");
    clickButton(f.palette().replaceAlert(), QStringLiteral("Cancel"));
    EXPECT_EQ(tool->prototype(), oldPrototype);
    EXPECT_EQ(target->image(), oldPicture);

    ASSERT_TRUE(f.palette().acceptDrop(data.get(), {&f.custom(), target.get(), -1}, nullptr));
    clickButton(f.palette().replaceAlert(), QStringLiteral("Replace"));
    const VRObjectRef replaced = tool->prototype();
    ASSERT_NE(replaced, oldPrototype);
    ASSERT_TRUE(replaced->isKindOf<QntElement>());
    EXPECT_TRUE(static_cast<QntElement &>(*replaced).canUngroup());
    EXPECT_EQ(replaced->stringForKey(QStringLiteral("ID")), id);
    EXPECT_NE(target->image(), oldPicture);
    // Stored: a new palette reads the new shape under the old identifier.
    EXPECT_EQ(f.storedIds().at(1), id);
    const QntNotationRef bank =
        QntNotation::notationWithPath(QntImagesBankController::imageBankFilePath());
    const VRObjectRef stored = bank->prototypeForElementId(id);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->size().toSize(), QSize(80, 30));
}

TEST(QntNotationPaletteEditing, DeleteAsksAndRemovesExactlyTheClickedShape)
{
    EditingFixture f(3);
    const QStringList ids = f.customIds();
    QTreeWidgetItem *row = f.palette().rowForItem(f.custom().children().at(1).get());
    ASSERT_TRUE(row);
    QMenu *menu = f.palette().contextMenuForRow(row);
    QAction *remove = menu->findChild<QAction *>(QStringLiteral("deleteSelectedItemsMenuItem"));
    ASSERT_TRUE(remove);
    EXPECT_TRUE(remove->isVisible());
    delete menu;
    f.palette().deleteOutlineSelections();
    clickButton(f.palette().deleteAlert(), QStringLiteral("Cancel"));
    EXPECT_EQ(f.customIds(), ids);
    f.palette().deleteOutlineSelections();
    clickButton(f.palette().deleteAlert(), QStringLiteral("Delete"));
    EXPECT_EQ(f.customIds(), QStringList({ids.at(0), ids.at(2)}));
    EXPECT_EQ(f.storedIds(), f.customIds());
    // The clicked row is gone: another delete does not take the row that moved up.
    EXPECT_FALSE(f.palette().deleteClickedRow());
    EXPECT_EQ(f.customIds().size(), 2);

    // A built-in shape offers no deletion.
    menu = f.palette().contextMenuForRow(
        f.palette().rowForItem(f.palette().subgroupShapes()->children().first().get()));
    EXPECT_FALSE(
        menu->findChild<QAction *>(QStringLiteral("deleteSelectedItemsMenuItem"))->isVisible());
    delete menu;
}

TEST(QntNotationPaletteEditing, DeletingAnImportedGroupRemovesItsElementsFromTheDrawing)
{
    EditingFixture f(0);
    f.harness->drawing()->setImportedElements({f.element()}, QStringLiteral("Mine"));
    f.palette().loadNotationElements();
    ASSERT_TRUE(f.palette().shownGroupTitles().contains(QStringLiteral("Mine")));
    QTreeWidgetItem *row = nullptr;
    for (const auto &group : f.palette().notationSubgroups())
        if (group->title() == QLatin1String("Mine"))
            row = f.palette().rowForGroup(group.get());
    ASSERT_TRUE(row);
    f.palette().setClickedRow(row);
    EXPECT_TRUE(f.palette().deleteClickedRow());
    EXPECT_FALSE(f.palette().shownGroupTitles().contains(QStringLiteral("Mine")));
    EXPECT_TRUE(f.harness->drawing()->importedElementsForKey(QStringLiteral("Mine")).isEmpty());
}

TEST(QntNotationPaletteEditing, RenamingAndReorderingAreStored)
{
    EditingFixture f(3);
    const QStringList ids = f.customIds();
    f.palette().setClickedRow(f.palette().rowForItem(f.custom().children().at(2).get()));
    ASSERT_TRUE(f.palette().renameClickedItem(QStringLiteral("Sunset")));
    EXPECT_EQ(f.custom().children().at(2)->tooltip(), "Sunset");
    QntImagesBankController bank(QStringLiteral("QntImagesBank"));
    bank.setupBrowsing();
    EXPECT_EQ(bank.images()->at(2)->imageTitle(), "Sunset");

    // The last shape dragged to the top of its group.
    VRObjectRef dragged = QntNotation::vrObjectWithData(QntNotation::vrObject(
        dynamic_cast<VRObjectCreationTool *>(f.custom().children().at(2)->drawingTool())
            ->prototype(),
        QStringLiteral("root")));
    ASSERT_TRUE(f.palette().acceptDrop(f.dragOf({dragged}).get(), {&f.custom(), nullptr, 0},
                                       f.palette().outlineView()));
    EXPECT_EQ(f.customIds(), QStringList({ids.at(2), ids.at(0), ids.at(1)}));
    EXPECT_EQ(f.storedIds(), f.customIds());
}

TEST(QntNotationPaletteEditing, ADoubleClickPlacesACopyInTheMiddleOfTheVisibleDrawing)
{
    EditingFixture f(1);
    int posted = 0;
    NotificationToken token = NotificationCenter::defaultCenter().addObserver(
        kQntElementAddedToLayerNotification, nullptr, [&](const Notification &n) {
            ++posted;
            EXPECT_EQ(n.object, nullptr);
        });
    VRObjectDrawingLayer *layer = f.harness->layer();
    const int before = layer->countOfObjects();
    const auto item = f.custom().children().first();
    f.palette().notationOutlineDoubleClick(f.palette().rowForItem(item.get()));
    ASSERT_EQ(layer->countOfObjects(), before + 1);
    ASSERT_EQ(layer->countOfSelection(), 1);
    const VRObjectRef placed = layer->singleSelection();
    EXPECT_EQ(posted, 1);
    const QPointF centre = f.harness->view->centredPointInDocView();
    const QSizeF size = f.harness->drawing()->drawingSize();
    EXPECT_DOUBLE_EQ(placed->location().x(), std::min(centre.x(), size.width() / 2));
    EXPECT_DOUBLE_EQ(placed->location().y(), std::min(centre.y(), size.height() / 2));
    EXPECT_FALSE(placed->isPrototype());
    // One undo step takes it away.
    f.harness->drawing()->undoManager()->undo();
    EXPECT_EQ(layer->countOfObjects(), before);

    // A group row does nothing.
    f.palette().notationOutlineDoubleClick(f.palette().rowForGroup(&f.custom()));
    EXPECT_EQ(layer->countOfObjects(), before);
    EXPECT_EQ(posted, 1);
}

TEST(QntNotationPaletteEditing, TheOutlineFollowsADragOverRowsThatRefuseIt)
{
    EditingFixture f(1);
    f.palette().resize(200, 2000);
    QntOutlineView *outline = f.palette().outlineView();
    ASSERT_TRUE(outline->viewport()->acceptDrops());
    const auto data = f.dragOf({f.element()});
    const QPoint refused = outline
                               ->visualItemRect(f.palette().rowForItem(
                                   f.palette().subgroupShapes()->children().first().get()))
                               .center();
    const QPoint taken = outline->visualItemRect(f.palette().rowForGroup(&f.custom())).center();
    // Entering over a built-in shape: the drag is followed, but no drop there.
    QDragEnterEvent enter(refused, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(outline->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::IgnoreAction);
    QDragMoveEvent over(taken, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                        Qt::NoModifier);
    QApplication::sendEvent(outline->viewport(), &over);
    EXPECT_TRUE(over.isAccepted());
    EXPECT_EQ(over.dropAction(), Qt::CopyAction);
    QDropEvent drop(QPointF(taken), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(outline->viewport(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(f.customIds().size(), 2);
}
