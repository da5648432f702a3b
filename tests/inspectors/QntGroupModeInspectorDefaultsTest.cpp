#include "inspectors/GroupModeHarness.h"

#include "connectors/QntConnectorModeInspector.h"
#include "inspectors/QntElementModeInspector.h"
#include "platform/UserDefaults.h"

#include "framework/styles/VRStyle.h"
#include "framework/undo/VKConcreteUndoTask.h"

#include <gtest/gtest.h>

namespace {

// Removes a stored default when the test ends, whatever happened.
struct Forget {
    QString key;
    ~Forget() { UserDefaults::standardUserDefaults().removeObjectForKey(key); }
};

bool stored(const QString &key)
{
    return UserDefaults::standardUserDefaults().objectForKey(key).isValid();
}

QString contours(const GroupModeHarness &h)
{
    QString s;
    for (const auto &e : h.elements) {
        const VRObjectRef contour = e->contourObject();
        s += QString::number(contour && contour->style() ? contour->style()->strokeWidth() : -1)
             + QLatin1Char('|');
    }
    return s;
}

QString ends(const GroupModeHarness &h)
{
    QString s;
    for (const auto &c : h.connectors)
        s += GroupModeHarness::arrowAt(*c, false) + QLatin1Char('|');
    return s;
}

} // namespace

TEST(QntGroupModeInspectorDefaultsTest, ElementsMenuSavesFromOneElementAndAppliesToAllInOneStep)
{
    GroupModeHarness h(QStringLiteral("Misc/CustomizableStyle.db"));
    const Forget forget{kQntCustomNotationDefaultElement};
    UserDefaults::standardUserDefaults().removeObjectForKey(kQntCustomNotationDefaultElement);
    h.placeRow(3);
    ASSERT_NE(h.elements[0]->contourObject(), nullptr);
    // Saving names one object: with two selected nothing is stored.
    h.select({h.elements[0], h.elements[1]});
    h.inspector->simpleStyleContourWidthAction(7.0);
    h.inspector->saveAsDefaults(0);
    EXPECT_FALSE(stored(kQntCustomNotationDefaultElement));
    h.select({h.elements[0]});
    h.inspector->saveAsDefaults(0);
    ASSERT_TRUE(stored(kQntCustomNotationDefaultElement));

    // Apply: every element takes the defaults; the connectors are left alone.
    h.select({h.elements[2]});
    h.inspector->simpleStyleContourWidthAction(2.0);
    h.selectAll();
    const QString before = contours(h), connectorsBefore = ends(h);
    const int depth = h.depth();
    h.inspector->saveAsDefaults(3);
    EXPECT_EQ(contours(h), QStringLiteral("7|7|7|"));
    EXPECT_EQ(ends(h), connectorsBefore);
    EXPECT_EQ(h.depth(), depth + 1);
    EXPECT_EQ(h.undo()->undoActionName(), QStringLiteral("Applying defaults"));
    h.undoStep();
    EXPECT_EQ(contours(h), before);

    // Loading does the same through the stored element dictionary.
    h.inspector->elementLoadDefaults();
    EXPECT_EQ(contours(h), QStringLiteral("7|7|7|"));
    EXPECT_EQ(h.depth(), depth + 1);
    h.undoStep();
    EXPECT_EQ(contours(h), before);
    // Nothing stored: nothing changes and nothing is recorded.
    UserDefaults::standardUserDefaults().removeObjectForKey(kQntCustomNotationDefaultElement);
    h.inspector->elementLoadDefaults();
    EXPECT_EQ(contours(h), before);
    EXPECT_EQ(h.depth(), depth);
}

TEST(QntGroupModeInspectorDefaultsTest, ConnectorsMenuAndLoadingReachThePlainConnectors)
{
    GroupModeHarness h;
    const QString key =
        notationConnectorDefaultsKey(h.palette.drawing()->currentNotation()->notationName());
    const Forget forget{key};
    UserDefaults::standardUserDefaults().removeObjectForKey(key);
    h.placeRow(4);
    const QntNotationRef notation = h.palette.drawing()->currentNotation();
    const auto heads = notation->arrowheadsList(notation->defaultConnectorId());
    ASSERT_GE(heads.size(), 2);
    QString id;
    for (const auto &head : heads) {
        if (head.present && head.placement != QStringLiteral("StartOnly")
            && head.elementId != GroupModeHarness::arrowAt(*h.connectors[1], false))
            id = head.elementId;
    }
    ASSERT_FALSE(id.isEmpty());
    // The first selected connector's look becomes the defaults.
    h.select({h.connectors[0], h.elements[0]});
    h.inspector->endArrowheadAction(id);
    h.inspector->saveAsDefaultsForConnectors(0);
    ASSERT_TRUE(stored(key));

    // Loading skips connectors in another mode.
    h.connectors[2]->setMode(1);
    h.selectAll();
    const QString before = ends(h);
    const int depth = h.depth();
    h.inspector->connectorLoadDefaults();
    EXPECT_EQ(GroupModeHarness::arrowAt(*h.connectors[1], false), id);
    EXPECT_NE(GroupModeHarness::arrowAt(*h.connectors[2], false), id);
    EXPECT_EQ(h.depth(), depth + 1);
    h.undoStep();
    EXPECT_EQ(ends(h), before);

    // Apply from the connectors menu: every connector, as one step.
    h.inspector->saveAsDefaultsForConnectors(3);
    EXPECT_EQ(ends(h), QStringLiteral("%1|%1|%1|").arg(id));
    EXPECT_EQ(h.depth(), depth + 1);
    EXPECT_EQ(h.undo()->undoActionName(), QStringLiteral("Applying defaults"));
    h.undoStep();
    EXPECT_EQ(ends(h), before);

    // Nothing stored: loading records nothing.
    UserDefaults::standardUserDefaults().removeObjectForKey(key);
    h.inspector->connectorLoadDefaults();
    EXPECT_EQ(ends(h), before);
    EXPECT_EQ(h.depth(), depth);
}

// Whether any step on the undo stack holds a change registered under `name`.
bool recorded(const GroupModeHarness &h, const QString &name)
{
    for (const auto &group : h.undo()->undoStack()) {
        for (const auto &task : group->tasks()) {
            const auto *concrete = dynamic_cast<const VKConcreteUndoTask *>(task.get());
            if (concrete && concrete->selectorName() == name)
                return true;
        }
    }
    return false;
}

TEST(QntGroupModeInspectorDefaultsTest, ResetGoesThroughTheStyleControlsAndNamesNoDefaultsStep)
{
    GroupModeHarness h(QStringLiteral("Misc/CustomizableStyle.db"));
    const Forget forgetElements{kQntCustomNotationDefaultElement};
    const Forget forgetConnectors{kQntCustomNotationConnector};
    h.placeRow(2);
    h.select({h.elements[0]});
    const QString builtIn = QString::number(QntElementModeInspector::defaultsForElement()
                                                .value(kQntCustomNotationElementContouWidth)
                                                .toDouble())
                            + QLatin1Char('|') + contours(h).section(QLatin1Char('|'), 1);
    h.inspector->simpleStyleContourWidthAction(7.0);
    h.inspector->saveAsDefaults(0);
    ASSERT_TRUE(stored(kQntCustomNotationDefaultElement));
    const QString styled = contours(h);
    ASSERT_NE(styled, builtIn);

    const struct {
        const char *name;
        int tag;
        bool keepsStored;
    } resets[] = {{"this only", 2, true}, {"reset", 1, false}};
    for (const auto &reset : resets) {
        SCOPED_TRACE(reset.name);
        const int depth = h.depth();
        h.inspector->saveAsDefaults(reset.tag);
        EXPECT_EQ(contours(h), builtIn);
        EXPECT_EQ(stored(kQntCustomNotationDefaultElement), reset.keepsStored);
        EXPECT_EQ(h.depth(), depth + 1);
        EXPECT_NE(h.undo()->undoActionName(), QStringLiteral("Apply defaults"));
        EXPECT_NE(h.undo()->undoActionName(), QStringLiteral("Applying defaults"));
        EXPECT_FALSE(recorded(h, QStringLiteral("applyDefaults:toElement:")));
        h.undoStep();
        EXPECT_EQ(contours(h), styled);
    }

    // The connectors' menu resets the selected connector the same way.
    h.select({h.connectors[0]});
    const double width = h.connectors[0]->shaftStyle()->strokeWidth();
    h.inspector->saveAsDefaultsForConnectors(0);
    ASSERT_TRUE(stored(kQntCustomNotationConnector));
    const int depth = h.depth();
    h.inspector->saveAsDefaultsForConnectors(1);
    EXPECT_FALSE(stored(kQntCustomNotationConnector));
    EXPECT_EQ(h.depth(), depth + 1);
    EXPECT_NE(h.undo()->undoActionName(), QStringLiteral("Apply defaults"));
    EXPECT_FALSE(recorded(h, QStringLiteral("applyDefaults:toConnector:")));
    EXPECT_DOUBLE_EQ(h.connectors[0]->shaftStyle()->strokeWidth(),
                     QntConnectorModeInspector::defaultsForCustomConnector()
                         .value(kQntCustomNotationConnectorWidth)
                         .toDouble());
    h.undoStep();
    EXPECT_DOUBLE_EQ(h.connectors[0]->shaftStyle()->strokeWidth(), width);
}
