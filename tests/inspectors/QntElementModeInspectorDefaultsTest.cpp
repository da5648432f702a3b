#include "inspectors/QntElementModeInspector.h"

#include "library/PaletteTestSupport.h"

#include "app/common/QntConstants.h"
#include "framework/base/VRConstants.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntImageShape.h"
#include "framework/model/QntTextShape.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/QntStyleCopyingTool.h"
#include "framework/view/VRViewController.h"
#include "platform/KeyedArchiver.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QAction>
#include <QFont>
#include <QMenu>
#include <QMimeData>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Style dictionaries print as their keys and values.
void PrintTo(const QVariantMap &map, std::ostream *os)
{
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const QVariant &v = it.value();
        *os << "\n  " << it.key().toStdString() << " = "
            << (v.typeId() == QMetaType::QByteArray ? v.toByteArray().toHex().left(24).toStdString()
                                                    : v.toString().toStdString());
    }
}

namespace {

const QString kSkinNotation = QStringLiteral("FlowChart/FlowChart.db");
const QString kCustomizableNotation = QStringLiteral("Misc/CustomizableStyle.db");

void flushEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A document in a notation with the element inspector; the stored defaults a test writes are
// removed again.
struct Harness {
    explicit Harness(const QString &notation)
        : palette(notation)
    {
        VRInspectorBase::setMainDocumentOverride(palette.document.get());
        inspector =
            std::make_unique<QntElementModeInspector>(QStringLiteral("ElementModeInspector"));
    }
    ~Harness()
    {
        palette.view->controller()->setDrawingTool(nullptr);
        inspector.reset();
        VRInspectorBase::setMainDocumentOverride(nullptr);
        for (const QString &key :
             {kQntCustomNotationDefaultElement, kQntDefaultImageShape, QntApplyDefaultsKey})
            UserDefaults::standardUserDefaults().removeObjectForKey(key);
        flushEvents();
    }

    VRObjectRef placeElement(QPointF at)
    {
        const std::shared_ptr<QntElement> element = palette.shapeCopy(at);
        element->addTextShape();
        add(element);
        return element;
    }
    void add(const VRObjectRef &object)
    {
        palette.layer()->addObject(object);
        palette.layer()->replaceSelectionWithObject(object);
    }
    void post(const QString &name, const VRObjectRef &object)
    {
        NotificationCenter::defaultCenter().post(
            name, object.get(), {{QStringLiteral("object"), QVariant::fromValue(object)}});
    }
    // As the palette does after a drop: the new shape is the selection. The undo record is
    // emptied first, so that what is left is what taking the defaults recorded.
    void addFromPalette(const VRObjectRef &object)
    {
        add(object);
        flushEvents();
        undo()->removeAllActions();
        NotificationCenter::defaultCenter().post(kQntElementAddedToLayerNotification, nullptr, {});
        flushEvents();
    }
    QVariantMap styleOf(const VRObjectRef &object)
    {
        return inspector->styleOfObject(object).value_or(QVariantMap());
    }
    VRUndoManager *undo() const { return palette.drawing()->undoManager(); }

    PaletteHarness palette;
    std::unique_ptr<QntElementModeInspector> inspector;
};

// Red 5 pt contour, a three-colour gradient, Courier 18 centred, paddings and a text angle.
QVariantMap styledLook()
{
    QFont courier(QStringLiteral("Courier"));
    courier.setPointSizeF(18);
    return {
        {kQntCustomNotationElementContourColor, KeyedArchiver::archivedDataWithColor(Qt::red)},
        {kQntCustomNotationElementContouWidth, 5.0},
        {kQntCustomNotationElementContourOpacity, 1.0},
        {kQntCustomNotationElementContourShadow, 1},
        {kQntCustomNotationElementBackgroundFill, QntContextMenu::kLinearThreeColourFill},
        {kQntCustomNotationElementLineType, 1},
        {kQntCustomNotationElementBackgroundColor1,
         KeyedArchiver::archivedDataWithColor(QColor(255, 255, 0))},
        {kQntCustomNotationElementBackgroundColor2,
         KeyedArchiver::archivedDataWithColor(QColor(0, 255, 0))},
        {kQntCustomNotationElementBackgroundColor3,
         KeyedArchiver::archivedDataWithColor(QColor(0, 0, 255))},
        {kQntCustomNotationElementBackgroundOpacity, 1.0},
        {kQntCustomNotationElementBackgroundGradientPosition, 0.25},
        {kQntCustomNotationElementBackgroundGradientAngle, 90.0},
        {kQntNotationElementTextFont, KeyedArchiver::archivedDataWithFont(courier)},
        {kQntNotationElementTextFontSize, 18.0},
        {kQntNotationElementTextFontColor, KeyedArchiver::archivedDataWithColor(Qt::blue)},
        {kQntNotationElementTextAlignment, 2},
        {kQntNotationElementPaddingTopBottom, 0.2},
        {kQntNotationElementPaddingLeftRight, 0.15},
        {kQntNotationElementTextAngle, 30.0},
    };
}

} // namespace

struct NewShapeCase {
    const char *name;
    bool applyDefaults;
};

class ElementDefaultsNewShapeTest : public testing::TestWithParam<NewShapeCase>
{
};

TEST_P(ElementDefaultsNewShapeTest, SavedLookGoesOntoTheNextShapeOnlyWhenApplyDefaultsIsOn)
{
    Harness h(kCustomizableNotation);
    UserDefaults::standardUserDefaults().setBool(GetParam().applyDefaults, QntApplyDefaultsKey);
    const VRObjectRef styled = h.placeElement({200, 150});
    h.inspector->applyDefaults(styledLook(), styled);
    h.post(kQntSaveElementDefaultsNotification, styled);
    const QVariantMap saved =
        UserDefaults::standardUserDefaults().dictionaryForKey(kQntCustomNotationDefaultElement);
    EXPECT_EQ(saved, h.styleOf(styled));
    EXPECT_EQ(saved.value(kQntNotationElementTextAlignment).toInt(), 2);
    EXPECT_DOUBLE_EQ(saved.value(kQntCustomNotationElementContouWidth).toDouble(), 5.0);

    const VRObjectRef prototype = h.placeElement({500, 150});
    const QVariantMap prototypeLook = h.styleOf(prototype);
    const VRObjectRef added = h.placeElement({400, 300});
    h.palette.layer()->replaceSelectionWithObject(prototype);
    h.addFromPalette(added);
    EXPECT_EQ(h.styleOf(added), GetParam().applyDefaults ? saved : prototypeLook);
    // Taking the defaults is part of adding the shape: no step of its own.
    EXPECT_FALSE(h.undo()->canUndo());
}

INSTANTIATE_TEST_SUITE_P(Switch, ElementDefaultsNewShapeTest,
                         testing::Values(NewShapeCase{"On", true}, NewShapeCase{"Off", false}),
                         [](const testing::TestParamInfo<NewShapeCase> &info) {
                             return info.param.name;
                         });

TEST(ElementDefaultsTest, NewShapesOfASkinNotationKeepTheirScheme)
{
    Harness h(kSkinNotation);
    UserDefaults::standardUserDefaults().setObject(styledLook(), kQntCustomNotationDefaultElement);
    const VRObjectRef added = h.placeElement({300, 200});
    auto *element = static_cast<QntElement *>(added.get());
    element->replaceColorScheme(3);
    const QVariantMap before = h.styleOf(added);
    h.addFromPalette(added);
    EXPECT_EQ(element->colorSchemeId(), 3);
    EXPECT_EQ(h.styleOf(added), before);
    // Saving in a skin notation stores nothing.
    UserDefaults::standardUserDefaults().removeObjectForKey(kQntCustomNotationDefaultElement);
    h.post(kQntSaveElementDefaultsNotification, added);
    EXPECT_FALSE(UserDefaults::standardUserDefaults()
                     .objectForKey(kQntCustomNotationDefaultElement)
                     .isValid());
}

TEST(ElementDefaultsTest, ApplyingIsOneUndoStepAndLeavesTheRestOfTheSelectionAlone)
{
    Harness h(kCustomizableNotation);
    UserDefaults::standardUserDefaults().setObject(styledLook(), kQntCustomNotationDefaultElement);
    const VRObjectRef element = h.placeElement({200, 150});
    const VRObjectRef other = h.placeElement({450, 150});
    h.palette.layer()->exchangeSelectionWithObjectsFromArray({element, other});
    const QVariantMap before = h.styleOf(element);
    const QVariantMap otherBefore = h.styleOf(other);
    flushEvents();

    h.post(kQntApplyElementDefaultsNotification, element);
    const QVariantMap applied = h.styleOf(element);
    EXPECT_NE(applied, before);
    EXPECT_DOUBLE_EQ(applied.value(kQntCustomNotationElementContouWidth).toDouble(), 5.0);
    EXPECT_DOUBLE_EQ(applied.value(kQntNotationElementTextAngle).toDouble(), 30.0);
    EXPECT_EQ(h.styleOf(other), otherBefore);
    flushEvents();

    h.undo()->undo();
    EXPECT_EQ(h.styleOf(element), before);
    flushEvents();
    h.undo()->redo();
    EXPECT_EQ(h.styleOf(element), applied);
    EXPECT_EQ(h.styleOf(other), otherBefore);
}

TEST(ElementDefaultsTest, ResetRemovesTheStoredLookAndGivesTheBuiltInOne)
{
    Harness h(kCustomizableNotation);
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const VRObjectRef element = h.placeElement({200, 150});
    h.inspector->applyDefaults(styledLook(), element);
    defaults.setObject(styledLook(), kQntCustomNotationDefaultElement);
    // Each reset is one undo step, named after it.
    const auto steps = [&] {
        h.undo()->closeOpenGroups();
        return h.undo()->undoStack().size();
    };
    const auto depth = steps();

    h.post(kQntResetDefaultsForCurrentOnlyElementNotification, element);
    EXPECT_EQ(steps(), depth + 1);
    EXPECT_EQ(h.undo()->undoActionName(), QStringLiteral("Reset This Only"));
    EXPECT_TRUE(defaults.objectForKey(kQntCustomNotationDefaultElement).isValid());
    const QVariantMap reset = h.styleOf(element);
    const QVariantMap builtIn = QntElementModeInspector::defaultsForElement();
    for (auto it = builtIn.cbegin(); it != builtIn.cend(); ++it) {
        if (it.key() == kQntCustomNotationElementBackgroundColor2
            || it.key() == kQntCustomNotationElementBackgroundColor3
            || it.key() == kQntCustomNotationElementBackgroundGradientPosition
            || it.key() == kQntCustomNotationElementBackgroundGradientAngle)
            continue; // not part of a flat fill
        if (it.value().typeId() == QMetaType::QByteArray) {
            const auto colour = [](const QVariant &v) {
                return KeyedArchiver::unarchiveColor(v.toByteArray()).value_or(QColor()).rgb();
            };
            EXPECT_EQ(colour(reset.value(it.key())), colour(it.value())) << it.key().toStdString();
        } else {
            EXPECT_EQ(reset.value(it.key()), it.value()) << it.key().toStdString();
        }
    }
    // The text keeps its look: the built-in dictionary has no text keys.
    EXPECT_EQ(reset.value(kQntNotationElementTextAlignment).toInt(), 2);

    h.inspector->applyDefaults(styledLook(), element);
    const auto applied = steps();
    h.post(kQntResetDefaultsForElementNotification, element);
    EXPECT_FALSE(defaults.objectForKey(kQntCustomNotationDefaultElement).isValid());
    EXPECT_EQ(steps(), applied + 1);
    EXPECT_EQ(h.undo()->undoActionName(), QStringLiteral("Reset Defaults"));
}

TEST(ElementDefaultsTest, ImageShapeDefaultsSaveApplyAndReset)
{
    Harness h(kCustomizableNotation);
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    auto picture = std::make_shared<QntImageShape>();
    picture->restoreGeometry({QPointF(100, 100), QSizeF(64, 48), QSizeF(0, 0), 0.0, {}});
    picture->setShowContour(true);
    picture->setContourType(1);
    picture->setContourWidth(4.0);
    h.add(picture);
    h.post(kQntSaveElementDefaultsNotification, picture);
    const QVariantMap saved = defaults.dictionaryForKey(kQntDefaultImageShape);
    EXPECT_EQ(saved.value(kQntDefaultImageShapeShowContour).toInt(), 1);
    EXPECT_EQ(saved.value(kQntDefaultImageShapeContourType).toInt(), 1);
    EXPECT_DOUBLE_EQ(saved.value(kQntDefaultImageShapeContourWidth).toDouble(), 4.0);

    auto other = std::make_shared<QntImageShape>();
    other->restoreGeometry({QPointF(300, 100), QSizeF(64, 48), QSizeF(0, 0), 0.0, {}});
    h.add(other);
    h.post(kQntApplyElementDefaultsNotification, other);
    EXPECT_TRUE(other->showContour());
    EXPECT_EQ(other->contourType(), 1);
    EXPECT_DOUBLE_EQ(other->contourWidth(), 4.0);

    h.post(kQntResetDefaultsForElementNotification, other);
    EXPECT_FALSE(defaults.objectForKey(kQntDefaultImageShape).isValid());
    EXPECT_FALSE(other->showContour());
    // The corner radius is a rectangle contour's: an oval keeps its own.
    EXPECT_EQ(other->contourType(), 1);
    EXPECT_DOUBLE_EQ(other->rectangleCornerRaduis(), 0.0);
    other->setContourType(0);
    h.post(kQntResetDefaultsForCurrentOnlyElementNotification, other);
    EXPECT_DOUBLE_EQ(other->rectangleCornerRaduis(), 16.0);
}

TEST(ElementDefaultsTest, AFractionalFontSizeIsKept)
{
    Harness h(kCustomizableNotation);
    const VRObjectRef source = h.placeElement({200, 150});
    const VRObjectRef target = h.placeElement({400, 150});
    static_cast<QntElement *>(source.get())->text()->setFontSize(13.5);
    h.inspector->applyDefaults(h.styleOf(source), target);
    EXPECT_DOUBLE_EQ(static_cast<QntElement *>(target.get())->text()->fontSize(), 13.5);
}

struct StoredEntryCase {
    const char *name;
    QVariant entry;
};

class ElementDefaultsStoredEntryTest : public testing::TestWithParam<StoredEntryCase>
{
};

TEST_P(ElementDefaultsStoredEntryTest, AnUnreadableEntryIsIgnoredWithALogLine)
{
    Harness h(kCustomizableNotation);
    UserDefaults::standardUserDefaults().setObject(GetParam().entry,
                                                   kQntCustomNotationDefaultElement);
    const VRObjectRef prototype = h.placeElement({500, 150});
    const QVariantMap look = h.styleOf(prototype);
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &m) {
            if (type == QtWarningMsg)
                warnings << m;
        });
    const VRObjectRef added = h.placeElement({300, 300});
    h.addFromPalette(added);
    qInstallMessageHandler(previous);
    EXPECT_EQ(h.styleOf(added), look);
    if (GetParam().entry.typeId() != QMetaType::QVariantMap) {
        EXPECT_TRUE(warnings.filter(kQntCustomNotationDefaultElement).size() == 1)
            << warnings.join(QLatin1Char('\n')).toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ElementDefaultsStoredEntryTest,
    testing::Values(StoredEntryCase{"Text", QVariant(QStringLiteral("red and wide"))},
                    StoredEntryCase{"Number", QVariant(qint64(7))},
                    StoredEntryCase{"List", QVariant(QVariantList{1, 2})},
                    StoredEntryCase{"WrongValues",
                                    QVariant(QVariantMap{
                                        {kQntCustomNotationElementContourColor, 12},
                                        {kQntCustomNotationElementContouWidth, QStringLiteral("x")},
                                        {kQntCustomNotationElementLineType, -4},
                                        {kQntNotationElementTextFont, QByteArray("junk")},
                                        {kQntNotationElementTextFontSize, -3},
                                        {kQntNotationElementTextAlignment, 99},
                                    })}),
    [](const testing::TestParamInfo<StoredEntryCase> &info) { return info.param.name; });

TEST(ElementDefaultsTest, ACopiedStyleGoesOnlyOntoAnObjectOfTheSameClass)
{
    // Made before the harness, which takes it out of the view before either goes.
    QntStyleCopyingTool tool;
    Harness h(kCustomizableNotation);
    const VRObjectRef source = h.placeElement({200, 150});
    h.inspector->applyDefaults(styledLook(), source);
    const VRObjectRef target = h.placeElement({400, 150});
    auto table = QntElementTable::tableWithRows(1, 2, QSizeF(80, 40));
    table->setLocation({300, 300});
    h.add(table);
    const QVariantMap targetBefore = h.styleOf(target);

    // Without the tool current, nothing is copied or applied.
    h.post(kQntStyleShouldBeCopiedNotification, source);
    EXPECT_EQ(tool.mode(), 0);
    h.palette.view->controller()->setDrawingTool(&tool);
    EXPECT_EQ(tool.mode(), 1);
    h.post(kQntStyleShouldBeCopiedNotification, source);
    EXPECT_EQ(tool.mode(), 2);
    EXPECT_EQ(tool.classOfTargetObject(), &source->classInfo());

    const auto applyTo = [&](const VRObjectRef &object) {
        h.palette.layer()->replaceSelectionWithObject(object);
        NotificationCenter::defaultCenter().post(
            kQntStyleShouldBeAppliedNotification, &tool,
            {{QStringLiteral("style"), tool.copiedStyleOptions()}});
    };
    flushEvents();
    h.undo()->removeAllActions();
    applyTo(table);
    flushEvents();
    EXPECT_FALSE(h.undo()->canUndo());
    applyTo(target);
    EXPECT_EQ(h.styleOf(target), h.styleOf(source));
    flushEvents();
    h.undo()->undo();
    EXPECT_EQ(h.styleOf(target), targetBefore);
}

TEST(ElementDefaultsTest, TheObjectMenuSavesAppliesAndResetsTheSelectedShapesLook)
{
    Harness h(kCustomizableNotation);
    QMenu *menu = h.palette.view->objectMenu();
    auto run = [menu](const char *title) {
        emit menu->aboutToShow();
        for (QAction *item : menu->actions()) {
            if (item->text() == QLatin1String(title)) {
                ASSERT_TRUE(item->isEnabled()) << title;
                item->trigger();
                return;
            }
        }
        FAIL() << "no item " << title;
    };
    const VRObjectRef styled = h.placeElement({200, 150});
    h.inspector->applyDefaults(styledLook(), styled);
    run("Save Defaults");
    const QVariantMap saved =
        UserDefaults::standardUserDefaults().dictionaryForKey(kQntCustomNotationDefaultElement);
    EXPECT_EQ(saved, h.styleOf(styled));

    const VRObjectRef plain = h.placeElement({400, 300});
    ASSERT_NE(h.styleOf(plain), saved);
    run("Apply Defaults");
    EXPECT_EQ(h.styleOf(plain), saved);

    run("Reset Defaults");
    EXPECT_FALSE(UserDefaults::standardUserDefaults()
                     .objectForKey(kQntCustomNotationDefaultElement)
                     .isValid());
    EXPECT_DOUBLE_EQ(h.styleOf(plain).value(kQntCustomNotationElementContouWidth).toDouble(), 3.0);
}

TEST(ElementDefaultsTest, ADroppedPictureIsAnImageShapeThatTakesTheSavedLookAndItsColour)
{
    Harness h(kCustomizableNotation);
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setBool(true, QntApplyDefaultsKey);
    defaults.setObject(QVariantMap{{kQntDefaultImageShapeShowContour, 1},
                                   {kQntDefaultImageShapeContourType, 2},
                                   {kQntDefaultImageShapeContourColor,
                                    KeyedArchiver::archivedDataWithColor(QColor(200, 0, 0))},
                                   {kQntDefaultImageShapeContourWidth, 3.0},
                                   {kQntDefaultImageShapeRectangleContourRadius, 16.0}},
                       kQntDefaultImageShape);
    QImage picture(50, 40, QImage::Format_ARGB32);
    picture.fill(Qt::green);
    QMimeData data;
    data.setImageData(picture);
    const VRObjectList dropped = h.palette.view->insertDroppedData(&data, QPointF(300, 200));
    ASSERT_EQ(dropped.size(), 1);
    ASSERT_TRUE(dropped.first()->isKindOf<QntImageShape>());
    auto *shape = static_cast<QntImageShape *>(dropped.first().get());
    EXPECT_TRUE(shape->showContour());
    EXPECT_EQ(shape->contourType(), 2);
    EXPECT_DOUBLE_EQ(shape->contourWidth(), 3.0);
    ASSERT_NE(shape->contour(), nullptr);
    EXPECT_EQ(shape->contour()->style()->strokeColour(), QColor(200, 0, 0));
    // Its look is a dictionary like any image shape's, and survives a save.
    h.post(kQntSaveElementDefaultsNotification, dropped.first());
    EXPECT_EQ(
        defaults.dictionaryForKey(kQntDefaultImageShape).value(kQntDefaultImageShapeContourType),
        2);
}
