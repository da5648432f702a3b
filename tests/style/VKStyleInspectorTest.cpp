#include "style/VKStyleInspector.h"

#include "app/sheets/VKBasicDialogController.h"
#include "platform/MenuAdditions.h"
#include "platform/TagEnablingAdditions.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRCIFilterRastGroup.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRFillPattern.h"
#include "framework/styles/VRGradient.h"
#include "framework/styles/VRPathDecorator.h"
#include "framework/styles/VRHatching.h"
#include "framework/styles/VRImageAdornment.h"
#include "framework/styles/VRQuartzBlendRastGroup.h"
#include "framework/styles/VRRoughStroke.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/styles/VRStyleRegistry.h"
#include "framework/styles/VRTextAdornment.h"
#include "framework/styles/VRZigZagFill.h"
#include "framework/styles/VRZigZagStroke.h"
#include "framework/undo/VRUndoManager.h"
#include "style/VKDashEditor.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QMimeData>
#include <QPushButton>
#include <QTreeView>

#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class StyleInspectorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        VRStyleRegistry::resetRegistry();
        layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
        shape = addShape(VRStyle::styleWithFillColour(Qt::white, Qt::black, 1.0));
        inspector = new VKStyleInspector(VREmbedded{}, nullptr, &drawing);
        // The view owns the inspector, as in a document window.
        view.reset(inspector->mainView());
        inspector->setParent(view.get());
        select({shape});
        undo().removeAllActions();
    }
    void TearDown() override
    {
        view.reset();
        QGuiApplication::clipboard()->clear();
        VRStyleRegistry::resetRegistry();
    }
    std::shared_ptr<VRDrawableShape> addShape(const VRStyleRef &style)
    {
        auto s = VRDrawableShape::shapeWithRect(QRectF(10, 10, 100, 60));
        s->setStyle(style);
        layer->addObject(s);
        return s;
    }
    void select(const VRObjectList &objects)
    {
        layer->deselectAll();
        for (const VRObjectRef &o : objects)
            layer->addObjectToSelection(o);
    }
    VRUndoManager &undo() { return *drawing.undoManager(); }
    QString lastActionName()
    {
        undo().closeOpenGroups();
        return undo().undoActionName();
    }
    VRStyleRef style() const { return shape->style(); }
    void selectItem(const VRRasterizer *item) { inspector->selectRow(inspector->rowForItem(item)); }

    VRDrawing drawing;
    VRObjectDrawingLayer *layer = nullptr;
    std::shared_ptr<VRDrawableShape> shape;
    VKStyleInspector *inspector = nullptr;
    std::unique_ptr<QWidget> view;
};

TEST_F(StyleInspectorTest, SelectionRoadChoosesStyleAndPane)
{
    EXPECT_EQ(inspector->style(), style());
    EXPECT_EQ(inspector->clientCountText()->text(), "Clients: 1");

    select({});
    EXPECT_FALSE(inspector->style());
    EXPECT_EQ(inspector->selectedPane(), VKStyleInspector::NoStylePane);
    EXPECT_FALSE(inspector->addRendererButton()->isEnabled());

    for (VRObjectRef object : {VRObjectRef(std::make_shared<QntElementTable>()),
                               VRObjectRef(std::make_shared<QntConnector>())}) {
        object->setStyle(VRStyle::styleWithFillColour(Qt::red, Qt::black, 1));
        layer->addObject(object);
        select({object});
        EXPECT_FALSE(inspector->style());
        EXPECT_EQ(inspector->selectedPane(), VKStyleInspector::NoStylePane);
    }

    // Two objects with one sharable style: its group pane and two clients.
    auto shared = VRStyle::styleWithFillColour(Qt::yellow, Qt::black, 1);
    shared->setStyleSharable(true);
    auto a = addShape(shared), b = addShape(shared);
    select({a, b});
    EXPECT_EQ(inspector->style(), shared);
    EXPECT_EQ(inspector->selectedPane(), VKStyleInspector::GroupPane);
    EXPECT_EQ(inspector->clientCountText()->text(), "Clients: 2");

    select({a, shape});
    EXPECT_FALSE(inspector->style());
    EXPECT_EQ(inspector->selectedPane(), VKStyleInspector::MixedStylesPane);
}

TEST_F(StyleInspectorTest, RememberedRowBeyondTheTreeFallsBack)
{
    style()->setLastSelectedRowInInspector(2); // the stroke
    select({});
    select({shape});
    EXPECT_EQ(inspector->selectedPane(), VKStyleInspector::StrokePane);
    style()->setLastSelectedRowInInspector(40);
    select({});
    select({shape});
    EXPECT_EQ(inspector->selectedPane(), VKStyleInspector::GroupPane);
}

struct AddCase {
    int tag;
    const VRClassInfo *cls;
    int pane;
};

TEST_F(StyleInspectorTest, EveryRendererKindIsAddedSelectedShownAndUndone)
{
    const AddCase cases[] = {
        {VKStyleInspector::AddStroke, &VRStroke::staticClass(), VKStyleInspector::StrokePane},
        {VKStyleInspector::AddFill, &VRFill::staticClass(), VKStyleInspector::FillPane},
        {VKStyleInspector::AddGroup, &VRRastGroup::staticClass(), VKStyleInspector::GroupPane},
        {VKStyleInspector::AddImage, &VRImageAdornment::staticClass(), VKStyleInspector::ImagePane},
        {VKStyleInspector::AddEffect, &VRCIFilterRastGroup::staticClass(),
         VKStyleInspector::EffectPane},
        {VKStyleInspector::AddText, &VRTextAdornment::staticClass(), VKStyleInspector::TextPane},
        {VKStyleInspector::AddHatch, &VRHatching::staticClass(), VKStyleInspector::HatchPane},
        {VKStyleInspector::AddArrowStroke, &VRArrowStroke::staticClass(),
         VKStyleInspector::StrokePane},
        {VKStyleInspector::AddPathDecorator, &VRPathDecorator::staticClass(),
         VKStyleInspector::DecoratorPane},
        {VKStyleInspector::AddFillPattern, &VRFillPattern::staticClass(),
         VKStyleInspector::DecoratorPane},
        {VKStyleInspector::AddBlend, &VRQuartzBlendRastGroup::staticClass(),
         VKStyleInspector::BlendPane},
        {VKStyleInspector::AddZigZagStroke, &VRZigZagStroke::staticClass(),
         VKStyleInspector::StrokePane},
        {VKStyleInspector::AddZigZagFill, &VRZigZagFill::staticClass(), VKStyleInspector::FillPane},
        {VKStyleInspector::AddRoughStroke, &VRRoughStroke::staticClass(),
         VKStyleInspector::StrokePane},
    };
    for (const AddCase &c : cases) {
        SCOPED_TRACE(c.cls->name);
        inspector->selectRow(0);
        const int before = style()->countOfRenderList();
        inspector->addRendererElementAction(c.tag);
        ASSERT_EQ(style()->countOfRenderList(), before + 1);
        const VRRendererRef added = style()->rendererAtIndex(before);
        EXPECT_EQ(&added->classInfo(), c.cls);
        EXPECT_EQ(inspector->selectedRenderer(), added);
        EXPECT_EQ(inspector->selectedPane(), c.pane);
        EXPECT_EQ(lastActionName(), "Add Style Component");
        undo().undo();
        EXPECT_EQ(style()->countOfRenderList(), before);
    }
    inspector->addRendererElementAction(99);
    EXPECT_EQ(style()->countOfRenderList(), 2);
}

TEST_F(StyleInspectorTest, AddingBesideALeafGoesToItsGroupAndArrowsAreNeverThin)
{
    auto group = std::make_shared<VRRastGroup>();
    group->addRenderer(VRStroke::strokeWithWidth(6.0, Qt::red));
    style()->addRenderer(group);
    selectItem(group->rendererAtIndex(0).get());
    inspector->addRendererElementAction(VKStyleInspector::AddArrowStroke);
    ASSERT_EQ(group->countOfRenderList(), 2);
    auto arrow = std::dynamic_pointer_cast<VRArrowStroke>(group->rendererAtIndex(1));
    ASSERT_TRUE(arrow);
    EXPECT_DOUBLE_EQ(arrow->width(), 6.0);

    auto thin = VRStyle::create();
    thin->addRenderer(std::make_shared<VRFill>());
    shape->setStyle(thin);
    select({});
    select({shape});
    inspector->addRendererElementAction(VKStyleInspector::AddArrowStroke);
    EXPECT_DOUBLE_EQ(thin->renderersOfClass<VRArrowStroke>().value(0)->width(), 1.0);
}

TEST_F(StyleInspectorTest, RemoveDuplicateCopyPasteWithTheirNames)
{
    VRStroke *stroke = style()->stroke();
    selectItem(stroke);
    inspector->duplicateRendererElementAction();
    EXPECT_EQ(style()->renderersOfClass<VRStroke>().size(), 2);
    EXPECT_EQ(lastActionName(), "Duplicate Style Component");

    selectItem(stroke);
    inspector->copyRendererElementAction();
    EXPECT_TRUE(inspector->validateAction("paste"));
    inspector->selectRow(0);
    inspector->pasteRendererElementAction();
    EXPECT_EQ(style()->renderersOfClass<VRStroke>().size(), 3);
    EXPECT_EQ(lastActionName(), "Paste Style Component");

    selectItem(stroke);
    inspector->removeRendererElementAction();
    EXPECT_EQ(style()->indexOfRenderer(stroke), -1);
    EXPECT_EQ(inspector->selectedRow(), 0); // its container, the style
    EXPECT_EQ(lastActionName(), "Delete Style Component");

    // The style itself is neither copied, duplicated nor removed.
    const int count = style()->countOfRenderList();
    inspector->selectRow(0);
    for (const char *action : {"copy", "duplicate", "remove"})
        EXPECT_FALSE(inspector->validateAction(action)) << action;
    inspector->removeRendererElementAction();
    inspector->duplicateRendererElementAction();
    EXPECT_EQ(style()->countOfRenderList(), count);

    // Nothing renderer-like on the clipboard: nothing is pasted.
    QGuiApplication::clipboard()->setText(QStringLiteral("{\"class\":\"VRStroke\"}"));
    EXPECT_FALSE(inspector->validateAction("paste"));
    inspector->pasteRendererElementAction();
    EXPECT_EQ(style()->countOfRenderList(), count);
}

TEST_F(StyleInspectorTest, DropsReorderMoveIntoGroupsAndRefuseTheRoot)
{
    auto group = std::make_shared<VRRastGroup>();
    group->addRenderer(std::make_shared<VRHatching>());
    style()->addRenderer(group);
    undo().removeAllActions();
    const VRRendererRef fill = style()->rendererAtIndex(0);

    // Within its own group: a reorder (the index counts the rows before the item left).
    ASSERT_TRUE(inspector->acceptDrop(fill.get(), style().get(), 2));
    EXPECT_EQ(style()->indexOfRenderer(fill.get()), 1);
    EXPECT_EQ(lastActionName(), "Reorder Style Component");
    undo().undo();
    EXPECT_EQ(style()->indexOfRenderer(fill.get()), 0);

    // Into another group at the proposed index, and onto a group: its first child.
    ASSERT_TRUE(inspector->acceptDrop(fill.get(), group.get(), 1));
    EXPECT_EQ(group->indexOfRenderer(fill.get()), 1);
    EXPECT_EQ(lastActionName(), "Move Style Component To Group");
    EXPECT_EQ(inspector->selectedRenderer(), fill);
    undo().undo();
    EXPECT_EQ(style()->indexOfRenderer(fill.get()), 0);
    const VRRendererRef stroke = style()->rendererAtIndex(1);
    ASSERT_TRUE(inspector->acceptDrop(stroke.get(), group.get(), -1));
    EXPECT_EQ(group->indexOfRenderer(stroke.get()), 0);

    // The root cannot be dragged, a group not into itself, nothing onto a leaf.
    QAbstractItemModel *model = inspector->outlineView()->model();
    EXPECT_EQ(model->mimeData({model->index(0, 0, {})}), nullptr);
    EXPECT_FALSE(inspector->acceptDrop(group.get(), group.get(), 0));
    EXPECT_FALSE(inspector->acceptDrop(fill.get(), stroke.get(), 0));
}

TEST_F(StyleInspectorTest, EnabledBoxWritesTheRenderer)
{
    QAbstractItemModel *model = inspector->outlineView()->model();
    const QModelIndex root = model->index(0, 0, {});
    const QModelIndex strokeBox = model->index(1, 1, root);
    EXPECT_EQ(model->data(strokeBox, Qt::CheckStateRole).toInt(), Qt::Checked);
    ASSERT_TRUE(model->setData(strokeBox, Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_FALSE(style()->stroke()->isEnabled());
    undo().closeOpenGroups();
    undo().undo();
    EXPECT_TRUE(style()->stroke()->isEnabled());
}

TEST_F(StyleInspectorTest, RegisteredStyleAsksBeforeUnlocking)
{
    style()->setName(QStringLiteral("House"));
    inspector->libraryMenuAction(VKStyleInspector::kAddToLibraryTag);
    ASSERT_TRUE(style()->isStyleRegistered());
    ASSERT_TRUE(style()->isLocked());
    EXPECT_TRUE(inspector->lockCheckbox()->isChecked());
    EXPECT_FALSE(inspector->addRendererButton()->isEnabled());

    QString asked;
    inspector->setUnlockQuestion([&](const QString &name) {
        asked = name;
        return false;
    });
    inspector->lockCheckbox()->click();
    EXPECT_EQ(asked, "House");
    EXPECT_TRUE(style()->isLocked());
    EXPECT_TRUE(inspector->lockCheckbox()->isChecked());

    inspector->setUnlockQuestion([](const QString &) { return true; });
    inspector->lockCheckbox()->click();
    EXPECT_FALSE(style()->isLocked());
    EXPECT_TRUE(inspector->addRendererButton()->isEnabled());
    EXPECT_EQ(lastActionName(), "Unlock Style");
    inspector->lockCheckbox()->click();
    EXPECT_TRUE(style()->isLocked());
    EXPECT_EQ(lastActionName(), "Lock Style");
}

TEST_F(StyleInspectorTest, LibraryStyleAppliesAndCloneSeparates)
{
    auto library = VRStyle::styleWithFillColour(Qt::green, Qt::black, 2);
    VRStyleRegistry::registerStyle(library);
    auto other = addShape(VRStyle::styleWithFillColour(Qt::red, Qt::black, 1));
    select({shape, other});
    inspector->libraryItemAction(library->uniqueKey());
    EXPECT_EQ(lastActionName(), "Apply Style");
    EXPECT_EQ(shape->style(), library);
    EXPECT_EQ(other->style(), library);
    EXPECT_EQ(inspector->clientCountText()->text(), "Clients: 2");

    select({other});
    inspector->cloneStyleAction();
    EXPECT_EQ(lastActionName(), "Clone Style");
    EXPECT_NE(other->style(), library);
    EXPECT_EQ(shape->style(), library);
    EXPECT_EQ(library->countOfClients(), 1);
    EXPECT_EQ(inspector->style(), other->style());
    EXPECT_FALSE(other->style()->isLocked());
}

TEST_F(StyleInspectorTest, StrokePaneShowsAndWritesItsRenderer)
{
    VRStroke *stroke = style()->stroke();
    selectItem(stroke);
    ASSERT_EQ(inspector->selectedPane(), VKStyleInspector::StrokePane);
    inspector->strokeWidthControl()->field()->setValue(5.0);
    EXPECT_DOUBLE_EQ(stroke->width(), 5.0);
    EXPECT_EQ(inspector->strokeDashPopUpButton()->currentData().toInt(),
              VKStyleInspector::kSolidDashTag);

    // A registered dash, then one that is not registered.
    QComboBox *dashes = inspector->strokeDashPopUpButton();
    dashes->setCurrentIndex(2);
    emit dashes->activated(2);
    ASSERT_TRUE(stroke->dash());
    EXPECT_TRUE(stroke->dash()->isEqual(*VRStrokeDash::registeredDashes().at(1)));
    EXPECT_EQ(dashes->currentIndex(), 2);
    stroke->setDash(VRStrokeDash::create({7, 3, 1, 3}));
    EXPECT_EQ(dashes->currentData().toInt(), VKStyleInspector::kOtherDashTag);
    EXPECT_TRUE(inspector->strokeArrowGroup()->isHidden());
    EXPECT_TRUE(inspector->strokeRoughGroup()->isHidden());
    EXPECT_TRUE(inspector->strokeZigZagGroup()->isHidden());

    auto arrow = std::make_shared<VRArrowStroke>();
    arrow->setWidth(20);
    style()->addRenderer(arrow);
    selectItem(arrow.get());
    EXPECT_FALSE(inspector->strokeArrowGroup()->isHidden());
    EXPECT_TRUE(inspector->strokeRoughGroup()->isHidden());
    emit inspector->strokeArrowStartPopUpButton()->activated(3);
    EXPECT_EQ(arrow->arrowHeadAtStart(), 3);

    auto rough = std::make_shared<VRRoughStroke>();
    style()->addRenderer(rough);
    selectItem(rough.get());
    EXPECT_TRUE(inspector->strokeArrowGroup()->isHidden());
    EXPECT_FALSE(inspector->strokeRoughGroup()->isHidden());
    inspector->strokeRoughnessSlider()->field()->setValue(0.9);
    EXPECT_DOUBLE_EQ(rough->roughness(), 0.9);
    selectItem(stroke);
    EXPECT_TRUE(inspector->strokeArrowGroup()->isHidden());
    EXPECT_TRUE(inspector->strokeRoughGroup()->isHidden());
}

TEST_F(StyleInspectorTest, FillPaneAddsAndRemovesAGradient)
{
    VRFill *fill = style()->fill();
    selectItem(fill);
    ASSERT_EQ(inspector->selectedPane(), VKStyleInspector::FillPane);
    EXPECT_TRUE(inspector->fillGradientAddButton()->isEnabled());
    EXPECT_FALSE(inspector->fillGradientRemoveButton()->isEnabled());
    EXPECT_TRUE(inspector->fillGradientMultiplier()->isHidden());

    inspector->fillGradientAddButton()->click();
    ASSERT_TRUE(fill->gradient());
    EXPECT_FALSE(inspector->fillGradientAddButton()->isEnabled());
    EXPECT_TRUE(inspector->fillGradientRemoveButton()->isEnabled());
    inspector->fillGradientAngle()->field()->setValue(30);
    EXPECT_DOUBLE_EQ(fill->gradientManualAngleInDegrees(), 30);

    auto radial = VRGradient::defaultGradient();
    radial->setGradientType(VRGradient::Radial);
    fill->setGradient(radial);
    EXPECT_FALSE(inspector->fillGradientMultiplier()->isHidden());

    inspector->fillGradientRemoveButton()->click();
    EXPECT_FALSE(fill->gradient());
    EXPECT_EQ(fill->colour(), QColor(Qt::white));

    inspector->fillShadowCheckbox()->click();
    ASSERT_TRUE(fill->shadow());
    inspector->shadowDistanceSlider()->field()->setValue(9);
    EXPECT_DOUBLE_EQ(fill->shadow()->distance(), 9);
}

TEST_F(StyleInspectorTest, OtherPanesWriteTheirRenderers)
{
    auto text = std::make_shared<VRTextAdornment>();
    auto image = std::make_shared<VRImageAdornment>();
    auto hatch = std::make_shared<VRHatching>();
    auto pattern = std::make_shared<VRFillPattern>();
    auto blend = std::make_shared<VRQuartzBlendRastGroup>();
    for (const VRRendererRef &r : {VRRendererRef(text), VRRendererRef(image), VRRendererRef(hatch),
                                   VRRendererRef(pattern), VRRendererRef(blend)})
        style()->addRenderer(r);

    selectItem(text.get());
    inspector->textLabelTextField()->setText(QStringLiteral("Hello"));
    emit inspector->textLabelTextField()->editingFinished();
    EXPECT_EQ(text->string(), "Hello");
    QFont font(QStringLiteral("DejaVu Serif"), 17);
    inspector->textChangeFontAction(font);
    EXPECT_EQ(text->font().pointSize(), 17);
    text->setLayoutMode(VRTextAdornment::AlongPath);
    EXPECT_FALSE(inspector->textWrapLinesCheckbox()->isEnabled());

    selectItem(image.get());
    EXPECT_FALSE(inspector->imageScaleSlider()->isEnabled());
    emit inspector->imageFittingPopUpMenu()->activated(2);
    EXPECT_EQ(image->fittingOption(), VRImageAdornment::UseScale);
    EXPECT_TRUE(inspector->imageScaleSlider()->isEnabled());
    inspector->imageOpacitySlider()->field()->setValue(0.5);
    EXPECT_DOUBLE_EQ(image->opacity(), 0.5);

    selectItem(hatch.get());
    ASSERT_EQ(inspector->selectedPane(), VKStyleInspector::HatchPane);
    inspector->hatchSpacing()->field()->setValue(12);
    EXPECT_DOUBLE_EQ(hatch->spacing(), 12);

    selectItem(pattern.get());
    EXPECT_TRUE(inspector->decoratorOnlyGroup()->isHidden());
    EXPECT_FALSE(inspector->patternOnlyGroup()->isHidden());
    inspector->pdInterval()->field()->setValue(30);
    EXPECT_DOUBLE_EQ(pattern->interval(), 30);

    selectItem(blend.get());
    emit inspector->blendModePopUpButton()->activated(1);
    EXPECT_EQ(blend->blendMode(), 1);
    inspector->blendGroupAlphaSlider()->field()->setValue(0.25);
    EXPECT_DOUBLE_EQ(blend->alpha(), 0.25);
}

TEST_F(StyleInspectorTest, DashEditorPreviewsLiveAndCancelRestores)
{
    VRStroke *stroke = style()->stroke();
    const VRDashRef original = VRStrokeDash::create({4, 2});
    stroke->setDash(original);
    selectItem(stroke);
    inspector->openDashEditor();
    VKDashEditor *editor = inspector->dashEditor();
    editor->field(0)->setText(QStringLiteral("9"));
    editor->dashValueAction();
    ASSERT_TRUE(stroke->dash());
    EXPECT_EQ(stroke->dash()->dashPattern(), (QList<double>{9, 2}));
    editor->cancel();
    EXPECT_EQ(stroke->dash(), original);

    inspector->openDashEditor();
    editor->dashCountMatrixAction(1);
    editor->ok();
    EXPECT_EQ(stroke->dash()->dashPattern(), (QList<double>{4, 2, 1, 1}));
}

TEST_F(StyleInspectorTest, RendererRemovedElsewhereIsNotUsed)
{
    VRStroke *stroke = style()->stroke();
    selectItem(stroke);
    ASSERT_TRUE(inspector->selectedRenderer());
    const VRRendererRef kept = stroke->shared_from_this();
    style()->removeRenderer(stroke);
    EXPECT_NE(inspector->selectedRenderer(), kept);
    EXPECT_EQ(inspector->selectedPane(), VKStyleInspector::GroupPane);
    inspector->strokeWidthControl()->field()->setValue(8.0);
    EXPECT_DOUBLE_EQ(static_cast<VRStroke *>(kept.get())->width(), 1.0);
}

} // namespace

TEST_F(StyleInspectorTest, ScriptButtonOpensTheScriptSheetOnTheInspector)
{
    EXPECT_FALSE(inspector->scriptEditController());
    inspector->scriptButton()->click();
    VKBasicDialogController *sheet = inspector->scriptEditController();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(sheet->isRunningAsSheet());
    EXPECT_EQ(sheet->parentWidget(), inspector->window());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    auto *editor = qobject_cast<QPlainTextEdit *>(sheet->primaryItem());
    ASSERT_TRUE(editor);
    editor->setPlainText("fill red");
    sheet->okButton()->click();
    EXPECT_FALSE(sheet->isVisible());
    // The text is there when it opens again.
    inspector->scriptButton()->click();
    EXPECT_EQ(inspector->scriptEditController(), sheet);
    EXPECT_EQ(editor->toPlainText(), "fill red");
    sheet->cancelButton()->click();
    EXPECT_FALSE(sheet->isVisible());
}

TEST_F(StyleInspectorTest, AddMenuDividersTakeNoClickAndNothingIsChecked)
{
    QMenu *menu = inspector->addRendererButton()->menu();
    ASSERT_TRUE(menu);
    int dividers = 0;
    for (QAction *item : menu->actions()) {
        EXPECT_FALSE(item->isChecked());
        if (MenuAdditions::tag(item) == -99) {
            ++dividers;
            EXPECT_FALSE(item->isEnabled());
        }
    }
    EXPECT_EQ(dividers, 3);
}

TEST_F(StyleInspectorTest, FillShadowControlsAreEnabledExactlyWithAShadow)
{
    VRFill *fill = style()->fill();
    fill->setShadow(std::nullopt);
    selectItem(fill);
    ASSERT_EQ(inspector->selectedPane(), VKStyleInspector::FillPane);
    QWidget *group = inspector->fillShadowGroup();
    QList<QWidget *> controls;
    for (QWidget *child : group->findChildren<QWidget *>()) {
        if (TagEnablingAdditions::tag(child) == 149)
            controls << child;
    }
    ASSERT_TRUE(controls.contains(inspector->shadowDistanceSlider()->field()));
    ASSERT_TRUE(controls.contains(inspector->shadowDistanceSlider()->slider()));
    const QList<QLabel *> captions = group->findChildren<QLabel *>();
    ASSERT_FALSE(captions.isEmpty());
    auto expectEnabled = [&](bool enabled) {
        for (QWidget *control : controls)
            EXPECT_EQ(control->isEnabled(), enabled) << control->metaObject()->className();
        // The group itself is never turned off: its captions stay readable.
        EXPECT_TRUE(group->isEnabled());
        for (QLabel *caption : captions)
            EXPECT_TRUE(caption->isEnabled()) << caption->text().toStdString();
    };
    expectEnabled(false);
    inspector->fillShadowCheckbox()->click();
    ASSERT_TRUE(fill->shadow());
    expectEnabled(true);
    inspector->fillShadowCheckbox()->click();
    ASSERT_FALSE(fill->shadow());
    expectEnabled(false);

    // The stroke pane borrows the same controls and shows them, enabled, with its shadow.
    VRStroke *stroke = style()->stroke();
    stroke->setShadow(VRStyle::defaultShadow());
    selectItem(stroke);
    ASSERT_EQ(inspector->selectedPane(), VKStyleInspector::StrokePane);
    EXPECT_TRUE(inspector->shadowDistanceSlider()->isVisibleTo(inspector->mainView()));
    EXPECT_TRUE(inspector->shadowDistanceSlider()->field()->isEnabled());
    EXPECT_TRUE(inspector->shadowDistanceSlider()->slider()->isEnabled());
}

TEST_F(StyleInspectorTest, DecoratorGroupsAreShownByTheirTags)
{
    auto pattern = std::make_shared<VRFillPattern>();
    auto decorator = std::make_shared<VRPathDecorator>();
    style()->addRenderer(pattern);
    style()->addRenderer(decorator);
    EXPECT_EQ(TagEnablingAdditions::tag(inspector->decoratorOnlyGroup()), 146);
    EXPECT_EQ(TagEnablingAdditions::tag(inspector->patternOnlyGroup()), 147);
    const struct {
        VRRasterizer *item;
        bool patternShown;
    } cases[] = {{pattern.get(), true}, {decorator.get(), false}, {pattern.get(), true}};
    for (const auto &c : cases) {
        selectItem(c.item);
        EXPECT_EQ(inspector->patternOnlyGroup()->isHidden(), !c.patternShown);
        EXPECT_EQ(inspector->decoratorOnlyGroup()->isHidden(), c.patternShown);
    }
}

TEST_F(StyleInspectorTest, FilterMenuIsEmptiedFromItsLastItemBeforeItIsFilled)
{
    QComboBox *filters = inspector->filterPopUpMenu();
    const int count = filters->count();
    ASSERT_GT(count, 1);
    QList<int> removed;
    QObject::connect(filters->model(), &QAbstractItemModel::rowsAboutToBeRemoved,
                     [&](const QModelIndex &, int first, int) { removed << first; });
    inspector->populateMenuWithCoreImageFilters(filters);
    QList<int> expected;
    for (int row = count - 1; row >= 0; --row)
        expected << row;
    EXPECT_EQ(removed, expected);
    EXPECT_EQ(filters->count(), count);
}
