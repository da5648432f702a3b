#include "connectors/QntConnectorModeInspector.h"

#include "library/PaletteTestSupport.h"

#include "app/common/QntConstants.h"
#include "framework/base/VRConstants.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorArrow.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRGradient.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/QntStyleCopyingTool.h"
#include "framework/view/VRViewController.h"
#include "platform/DelayedPerform.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kSkinNotation = QStringLiteral("FlowChart/FlowChart.db");
const QString kOtherSkinNotation = QStringLiteral("Network/Network.db");
const QString kCustomizableNotation = QStringLiteral("Misc/CustomizableStyle.db");

void flushEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A document in a notation with a connector inspector; the stored defaults a test writes are
// removed again.
struct Harness {
    explicit Harness(const QString &notation)
        : palette(notation)
    {
        QntConnectorModeInspector::resetLastAppliedSettings();
        VRInspectorBase::setMainDocumentOverride(palette.document.get());
        inspector = std::make_unique<QntConnectorModeInspector>(
            QStringLiteral("QntConnectorModeInspector"));
    }
    ~Harness()
    {
        palette.view->controller()->setDrawingTool(nullptr);
        inspector.reset();
        VRInspectorBase::setMainDocumentOverride(nullptr);
        QntConnectorModeInspector::resetLastAppliedSettings();
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        for (const QString &key : defaults.persistentDomain().keys())
            if (key.contains(QStringLiteral("NotationConnector"))
                || key == kQntCustomNotationElementArrow || key == QntApplyDefaultsKey)
                defaults.removeObjectForKey(key);
        flushEvents();
    }

    std::shared_ptr<QntElement> placeElement(QPointF at) { return palette.placeShape(at); }
    std::shared_ptr<QntConnector> connect(QPointF from, QPointF to)
    {
        const std::shared_ptr<QntElement> a = placeElement(from);
        const std::shared_ptr<QntElement> b = placeElement(to);
        const std::shared_ptr<QntConnector> connector = palette.connectWithArrow(a, b);
        palette.layer()->replaceSelectionWithObject(connector);
        return connector;
    }
    // An element arrow of the notation's palette, placed and selected as a drop leaves it.
    std::shared_ptr<QntElementArrow> placeArrow(QPointF at)
    {
        for (const auto &record : palette.drawing()->currentNotation()->arrowElementsList()) {
            if (!record.prototype || !record.prototype->isKindOf<QntElementArrow>())
                continue;
            VRObjectRef arrow = record.prototype->copy();
            arrow->setIsPrototype(false);
            arrow->setLocation(at);
            palette.layer()->addObject(arrow);
            palette.layer()->replaceSelectionWithObject(arrow);
            return std::static_pointer_cast<QntElementArrow>(arrow);
        }
        return nullptr;
    }
    void post(const QString &name, const VRObjectRef &object)
    {
        NotificationCenter::defaultCenter().post(
            name, object.get(), {{QStringLiteral("object"), QVariant::fromValue(object)}});
    }
    // Lets the inspector's delayed calls run.
    void runDelayedCalls()
    {
        while (DelayedPerform::pendingPerformRequests(inspector.get()) > 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        flushEvents();
    }
    QString notationKey() const
    {
        return notationConnectorDefaultsKey(palette.drawing()->currentNotation()->notationName());
    }
    VRUndoManager *undo() const { return palette.drawing()->undoManager(); }
    int depth() const
    {
        undo()->closeOpenGroups();
        return int(undo()->undoStack().size());
    }

    PaletteHarness palette;
    std::unique_ptr<QntConnectorModeInspector> inspector;
};

QString endArrow(const QntConnector &connector)
{
    const QntConnectorArrow *arrow = connector.endEndPoint()->arrow();
    return arrow ? arrow->ID() : QString();
}

} // namespace

TEST(ConnectorDefaultsTest, TwoNotationsKeepTheirOwnDefaultsAcrossARestart)
{
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    QString firstKey;
    QVariantMap first;
    {
        Harness h(kSkinNotation);
        const std::shared_ptr<QntConnector> c = h.connect({100, 100}, {400, 100});
        h.inspector->setContextObject(c);
        h.inspector->applyDefaults(
            {{kQntNotationConnectorLine, 3}, {kQntNotationConnectorEndArrowheadLength, 18.0}}, c);
        h.post(kQntSaveConnectorDefaultsNotification, c);
        firstKey = h.notationKey();
        first = defaults.dictionaryForKey(firstKey);
        EXPECT_EQ(first.value(kQntNotationConnectorLine).toInt(), 3);
        // Saved defaults carry no label and no last-applied settings.
        EXPECT_FALSE(first.contains(kQntNotationConnectorTextLayoutMode));
        EXPECT_FALSE(first.contains(QStringLiteral("lastAppliedAdornmentId")));

        Harness other(kOtherSkinNotation);
        const std::shared_ptr<QntConnector> d = other.connect({100, 100}, {400, 100});
        other.post(kQntSaveConnectorDefaultsNotification, d);
        ASSERT_NE(other.notationKey(), firstKey);
        EXPECT_EQ(defaults.dictionaryForKey(other.notationKey()).value(kQntNotationConnectorLine),
                  QntConnectorModeInspector::kStraightRouting);
        EXPECT_EQ(defaults.dictionaryForKey(firstKey), first);

        ASSERT_TRUE(defaults.synchronize());
        defaults.reload();
        EXPECT_EQ(defaults.dictionaryForKey(firstKey), first);
        EXPECT_TRUE(defaults.objectForKey(other.notationKey()).isValid());
    }
    EXPECT_FALSE(defaults.objectForKey(firstKey).isValid());
}

TEST(ConnectorDefaultsTest, ApplyingIsOneUndoStepAndKeepsTheLabelWhereItIs)
{
    Harness h(kSkinNotation);
    const std::shared_ptr<QntConnector> c = h.connect({100, 100}, {400, 300});
    c->setLayoutMode(40);
    c->setOffsetForPointForTextLayout(QSizeF(12, -7));
    c->setTextXOffset(0.25);
    const QPainterPath path = c->path();
    const QVariantMap before = h.inspector->styleOfObject(c).value();
    UserDefaults::standardUserDefaults().setObject(
        QVariantMap{{kQntNotationConnectorLine, int(QntConnectorModeInspector::kOrthogonalRouting)},
                    {kQntNotationConnectorEndArrowheadLength, 18.0},
                    {kQntNotationConnectorEndArrowhead, QStringLiteral("noarrow")}},
        h.notationKey());
    const int depth = h.depth();

    h.post(kQntApplyConnectorDefaultsNotification, c);
    EXPECT_EQ(h.depth(), depth + 1);
    EXPECT_EQ(h.undo()->undoActionName(), QStringLiteral("Apply defaults"));
    EXPECT_EQ(QntConnectorModeInspector::routingTagForConnector(*c),
              QntConnectorModeInspector::kOrthogonalRouting);
    EXPECT_TRUE(endArrow(*c).isEmpty());
    EXPECT_EQ(c->layoutMode(), 40);
    EXPECT_EQ(c->offsetForPointForTextLayout(), QSizeF(12, -7));
    EXPECT_DOUBLE_EQ(c->textXOffset(), 0.25);
    const QVariantMap applied = h.inspector->styleOfObject(c).value();

    h.undo()->undo();
    EXPECT_EQ(c->path(), path);
    EXPECT_EQ(h.inspector->styleOfObject(c).value(), before);
    h.undo()->redo();
    EXPECT_EQ(h.inspector->styleOfObject(c).value(), applied);
}

TEST(ConnectorDefaultsTest, ResetForThisOnlyKeepsTheStoredDefaults)
{
    Harness h(kCustomizableNotation);
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const std::shared_ptr<QntConnector> c = h.connect({100, 100}, {400, 100});
    QVariantMap custom = QntConnectorModeInspector::defaultsForCustomConnector();
    custom[kQntCustomNotationConnectorWidth] = 6.0;
    custom[kQntCustomNotationConnectorShadow] = 1;
    h.inspector->applyDefaults(custom, c);
    EXPECT_DOUBLE_EQ(c->shaftStyle()->strokeWidth(), 6.0);
    h.post(kQntSaveConnectorDefaultsNotification, c);
    EXPECT_DOUBLE_EQ(defaults.dictionaryForKey(kQntCustomNotationConnector)
                         .value(kQntCustomNotationConnectorWidth)
                         .toDouble(),
                     6.0);

    h.post(kQntResetDefaultsForCurrentOnlyConnectorNotification, c);
    EXPECT_DOUBLE_EQ(c->shaftStyle()->strokeWidth(), 3.0);
    EXPECT_TRUE(defaults.objectForKey(kQntCustomNotationConnector).isValid());
    h.post(kQntApplyConnectorDefaultsNotification, c);
    EXPECT_DOUBLE_EQ(c->shaftStyle()->strokeWidth(), 6.0);
    h.post(kQntResetDefaultsForConnectorNotification, c);
    EXPECT_FALSE(defaults.objectForKey(kQntCustomNotationConnector).isValid());
    EXPECT_DOUBLE_EQ(c->shaftStyle()->strokeWidth(), 3.0);
}

struct ResetCase {
    const char *name;
    const QString &notation;
    const QString &notification;
    const char *stepName;
};

void PrintTo(const ResetCase &c, std::ostream *os)
{
    *os << c.name;
}

class ConnectorResetTest : public testing::TestWithParam<ResetCase>
{
};

TEST_P(ConnectorResetTest, AResetIsOneUndoStepNamedAfterIt)
{
    Harness h(GetParam().notation);
    const std::shared_ptr<QntConnector> c = h.connect({100, 100}, {400, 300});
    h.inspector->applyDefaults(
        {{kQntNotationConnectorLine, int(QntConnectorModeInspector::kOrthogonalRouting)},
         {kQntCustomNotationConnectorLine, int(QntConnectorModeInspector::kOrthogonalRouting)},
         {kQntCustomNotationConnectorWidth, 6.0}},
        c);
    // The connector's own look, without what was applied last (the inspector's, not the
    // connector's).
    const auto ownLook = [&] {
        QVariantMap look = h.inspector->styleOfObject(c).value();
        for (const QString &key : look.keys())
            if (key.startsWith(QStringLiteral("last")))
                look.remove(key);
        return look;
    };
    const int depth = h.depth();
    const QVariantMap before = ownLook();

    h.post(GetParam().notification, c);
    EXPECT_EQ(h.depth(), depth + 1);
    EXPECT_EQ(h.undo()->undoActionName(), QString::fromLatin1(GetParam().stepName));
    EXPECT_EQ(QntConnectorModeInspector::routingTagForConnector(*c),
              QntConnectorModeInspector::kStraightRouting);
    h.undo()->undo();
    EXPECT_EQ(ownLook(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConnectorResetTest,
    testing::Values(ResetCase{"SkinThisOnly", kSkinNotation,
                              kQntResetDefaultsForCurrentOnlyConnectorNotification,
                              "Reset This Only"},
                    ResetCase{"SkinDefaults", kSkinNotation,
                              kQntResetDefaultsForConnectorNotification, "Reset Defaults"},
                    ResetCase{"CustomThisOnly", kCustomizableNotation,
                              kQntResetDefaultsForCurrentOnlyConnectorNotification,
                              "Reset This Only"},
                    ResetCase{"CustomDefaults", kCustomizableNotation,
                              kQntResetDefaultsForConnectorNotification, "Reset Defaults"}),
    [](const testing::TestParamInfo<ResetCase> &info) { return info.param.name; });

TEST(ConnectorDefaultsTest, AResetGivesTheNotationsOwnConnectorWithItsArrowheads)
{
    // The notation draws no styled connectors: its new connectors take its default body, which
    // the reset brings back with that body's arrowheads.
    Harness h(kSkinNotation);
    const QntNotationRef notation = h.palette.drawing()->currentNotation();
    ASSERT_EQ(notation->stringParamForKey(QStringLiteral("UseVRStyledConnector")),
              QStringLiteral("NO"));
    const QString body = notation->defaultConnectorId();
    const QString end = notation->defaultArrowIdAsStart(false, body);
    ASSERT_FALSE(end.isEmpty());
    const std::shared_ptr<QntConnector> c = h.connect({100, 100}, {400, 300});
    QString otherBody;
    for (const QntConnectorRecord &record : notation->connectorsList(2))
        if (record.connectorId != body && !notation->arrowheadsList(record.connectorId).isEmpty())
            otherBody = record.connectorId;
    ASSERT_FALSE(otherBody.isEmpty());
    c->addSkin({{QStringLiteral("bodyID"), otherBody},
                {QStringLiteral("startArrowheadId"), QStringLiteral("fcHeadDiamondHollow")},
                {QStringLiteral("endArrowheadId"), QStringLiteral("fcHeadBar")}});

    h.post(kQntResetDefaultsForCurrentOnlyConnectorNotification, c);
    EXPECT_EQ(c->ID(), body);
    EXPECT_EQ(endArrow(*c), end);
    const QntConnectorArrow *start = c->startEndPoint()->arrow();
    EXPECT_EQ(start ? start->ID() : QString(), notation->defaultArrowIdAsStart(true, body));
}

struct NewConnectorCase {
    const char *name;
    bool deleteBeforeTheDelay;
};

class NewConnectorDefaultsTest : public testing::TestWithParam<NewConnectorCase>
{
};

TEST_P(NewConnectorDefaultsTest, StoredDefaultsComeAfterTheDelayOnlyToALiveConnector)
{
    Harness h(kSkinNotation);
    UserDefaults::standardUserDefaults().setBool(true, QntApplyDefaultsKey);
    UserDefaults::standardUserDefaults().setObject(
        QVariantMap{
            {kQntNotationConnectorLine, int(QntConnectorModeInspector::kOrthogonalRouting)}},
        h.notationKey());
    h.inspector->setNewConnectorDelays(0.001, 0.002);
    const std::shared_ptr<QntConnector> c = h.connect({100, 100}, {400, 300});
    int selectionPosts = 0;
    const NotificationToken token = NotificationCenter::defaultCenter().addObserver(
        kVRLayerSelectionDidChange, nullptr, [&](const Notification &) { ++selectionPosts; });
    const int depth = h.depth();
    h.post(kQntDidCreateConnectorNotification, c);
    EXPECT_EQ(c->state(), 0);
    EXPECT_EQ(h.palette.layer()->singleSelection(), c);
    if (GetParam().deleteBeforeTheDelay)
        h.palette.layer()->removeObject(c);
    selectionPosts = 0; // the layer's own, for the changes above
    h.runDelayedCalls();
    if (GetParam().deleteBeforeTheDelay) {
        EXPECT_EQ(h.depth(), depth + 1); // the deletion, nothing after it
        EXPECT_NE(h.undo()->undoActionName(), QStringLiteral("Apply defaults"));
        EXPECT_EQ(selectionPosts, 0);
    } else {
        EXPECT_EQ(h.depth(), depth + 1);
        EXPECT_EQ(h.undo()->undoActionName(), QStringLiteral("Apply defaults"));
        EXPECT_EQ(QntConnectorModeInspector::routingTagForConnector(*c),
                  QntConnectorModeInspector::kOrthogonalRouting);
        EXPECT_GE(selectionPosts, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, NewConnectorDefaultsTest,
                         testing::Values(NewConnectorCase{"Kept", false},
                                         NewConnectorCase{"DeletedMeanwhile", true}),
                         [](const testing::TestParamInfo<NewConnectorCase> &info) {
                             return info.param.name;
                         });

TEST(ConnectorDefaultsTest, ACopiedStyleGoesOnlyOntoAConnectorOfTheSameClass)
{
    // Made before the harness, which takes it out of the view before either goes.
    QntStyleCopyingTool tool;
    Harness h(kSkinNotation);
    const std::shared_ptr<QntConnector> source = h.connect({100, 100}, {400, 100});
    const std::shared_ptr<QntConnector> target = h.connect({100, 300}, {400, 500});
    h.inspector->applyDefaults(
        {{kQntNotationConnectorLine, int(QntConnectorModeInspector::kOrthogonalRouting)}}, source);
    h.palette.view->controller()->setDrawingTool(&tool);
    h.post(kQntStyleShouldBeCopiedNotification, source);
    ASSERT_EQ(tool.mode(), 2);
    h.palette.layer()->replaceSelectionWithObject(target);
    NotificationCenter::defaultCenter().post(
        kQntStyleShouldBeAppliedNotification, &tool,
        {{QStringLiteral("style"), tool.copiedStyleOptions()}});
    EXPECT_EQ(QntConnectorModeInspector::routingTagForConnector(*target),
              QntConnectorModeInspector::kOrthogonalRouting);
    EXPECT_EQ(endArrow(*target), endArrow(*source));
}

TEST(ConnectorDefaultsTest, ElementArrowDefaultsAreTheArrowsOwnStyle)
{
    Harness h(kCustomizableNotation);
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setBool(true, QntApplyDefaultsKey);
    const std::shared_ptr<QntElementArrow> styled = h.placeArrow({300, 200});
    ASSERT_NE(styled, nullptr);
    const QStringList keys = QntConnectorModeInspector::defaultsForElementArrow().keys();
    const auto lookOf = [&](const std::shared_ptr<QntElementArrow> &arrow) {
        QVariantMap look;
        const QVariantMap style = h.inspector->styleOfObject(arrow).value();
        for (const QString &key : keys)
            look.insert(key, style.value(key));
        return look;
    };

    // The style toolbar reads and changes the style the arrow draws with, one undo step each.
    h.inspector->setContextObject(styled);
    EXPECT_DOUBLE_EQ(lookOf(styled).value(kQntCustomNotationElementContouWidth).toDouble(),
                     styled->style()->strokeWidth());
    int depth = h.depth();
    h.inspector->simpleStyleContourSetWidth(6.0);
    EXPECT_DOUBLE_EQ(styled->style()->strokeWidth(), 6.0);
    EXPECT_EQ(h.depth(), depth + 1);
    h.inspector->simpleStyleSetFillKind(2, Qt::blue, Qt::white, Qt::gray, 0.5, 1.0, 0.0);
    ASSERT_NE(styled->style()->fill(), nullptr);
    ASSERT_NE(styled->style()->fill()->gradient(), nullptr);

    h.post(kQntSaveConnectorDefaultsNotification, styled);
    const QVariantMap saved = defaults.dictionaryForKey(kQntCustomNotationElementArrow);
    EXPECT_DOUBLE_EQ(saved.value(kQntCustomNotationElementContouWidth).toDouble(), 6.0);
    EXPECT_EQ(saved.value(kQntCustomNotationElementBackgroundFill).toInt(), 2);
    EXPECT_EQ(saved, lookOf(styled));

    // A new arrow gets the saved look exactly.
    const std::shared_ptr<QntElementArrow> dropped = h.placeArrow({300, 400});
    EXPECT_NE(lookOf(dropped), saved);
    NotificationCenter::defaultCenter().post(kQntElementAddedToLayerNotification, nullptr);
    EXPECT_EQ(lookOf(dropped), saved);

    // Reset for this arrow only gives the built-in look and keeps the saved one; applying
    // brings the saved one back as one undo step.
    h.post(kQntResetDefaultsForCurrentOnlyConnectorNotification, dropped);
    EXPECT_DOUBLE_EQ(dropped->style()->strokeWidth(), 3.0);
    EXPECT_EQ(defaults.dictionaryForKey(kQntCustomNotationElementArrow), saved);
    depth = h.depth();
    h.post(kQntApplyConnectorDefaultsNotification, dropped);
    EXPECT_EQ(lookOf(dropped), saved);
    EXPECT_EQ(h.depth(), depth + 1);
    EXPECT_EQ(h.undo()->undoActionName(), QStringLiteral("Apply defaults"));
    h.undo()->undo();
    EXPECT_DOUBLE_EQ(dropped->style()->strokeWidth(), 3.0);
    EXPECT_DOUBLE_EQ(styled->style()->strokeWidth(), 6.0);
}
