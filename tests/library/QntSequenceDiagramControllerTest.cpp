#include "library/QntSequenceDiagramController.h"

#include "framework/model/VRDrawing.h"
#include "framework/sequence/ISDiagram.h"
#include "framework/undo/VRUndoManager.h"
#include "library/QntSeqOutlineView.h"

#include <QApplication>
#include <QCheckBox>
#include <QFont>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QSet>
#include <QStyle>
#include <QStyleOptionViewItem>

#include <gtest/gtest.h>

namespace {

using Node = std::shared_ptr<QntSeqTreeNode>;

struct Outline {
    std::unique_ptr<VRDrawing> drawing = std::make_unique<VRDrawing>();
    QntSequenceDiagramController controller;
    std::unique_ptr<QWidget> pane;

    Outline()
    {
        pane.reset(controller.createPane(nullptr));
        controller.setupWithDrawing(drawing.get());
    }
    VRUndoManager *undo() const { return drawing->undoManager(); }
    void commit() const { undo()->closeOpenGroups(); }
    QntSeqTreeNode &root() const { return *controller.rootNode(); }
    void select(const QntSeqTreeNode *node)
    {
        QItemSelectionModel *s = controller.outlineView()->selectionModel();
        s->clearSelection();
        if (node)
            s->select(controller.indexForNode(node),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    Node add(int kind, QntSeqTreeNode *parent = nullptr, const QString &text = {})
    {
        auto data = SimpleNodeData::nodeDataWithName(SimpleNodeData::defaultNameForKind(kind));
        data->setNodeKind(kind);
        data->setContainer(SimpleNodeData::isContainerKind(kind));
        data->setText(text);
        Node node = controller.addNewData(data, nullptr, parent ? parent : &root(), -1);
        commit();
        return node;
    }
    QString timeline(int i) const { return controller.timelineIdentifiersOrdered().value(i); }
    void roles(QntSeqTreeNode &node, int source, int target)
    {
        controller.setRole(node, timeline(source), SimpleNodeData::Source);
        controller.setRole(node, timeline(target), SimpleNodeData::Target);
        commit();
    }
};

QStringList names(const QntSeqTreeNode &node)
{
    QStringList n;
    for (const auto &c : node.childNodes())
        n << c->representedObject()->name();
    return n;
}

} // namespace

TEST(QntSequenceDiagramController, StoresTheOutlineAndReadsItBack)
{
    Outline o;
    EXPECT_EQ(o.drawing->sequenceDic(), QVariantMap{});
    o.controller.saveSequenceToDrawing(o.drawing.get());
    const QVariantMap empty = o.drawing->sequenceDic();
    EXPECT_EQ(empty.value("Name"), "OVRoot");
    EXPECT_TRUE(empty.value("Children").toList().isEmpty());
    EXPECT_TRUE(empty.value("TimelineIdentifiersAndNames").toMap().isEmpty());
    EXPECT_TRUE(empty.value("TimelineIdentifiersOrdered").toList().isEmpty());

    for (int i = 0; i < 3; ++i)
        o.controller.addTimeline();
    o.controller.setTimelineTitle(3, "Client");
    Node call = o.add(SimpleNodeData::Message, nullptr, "login()");
    o.roles(*call, 0, 1);
    Node loop = o.add(SimpleNodeData::Loop, nullptr, "3");
    o.controller.setName(*loop, "");
    Node alt = o.add(SimpleNodeData::Alternative);
    o.controller.setName(*alt, "");
    Node self = o.add(SimpleNodeData::Response, alt.get(), "done");
    o.controller.setRole(*self, o.timeline(2), SimpleNodeData::Self);

    const QVariantMap stored = o.drawing->sequenceDic();
    EXPECT_EQ(stored.value("TimelineIdentifiersOrdered").toStringList(),
              o.controller.timelineIdentifiersOrdered());
    EXPECT_EQ(stored.value("TimelineIdentifiersAndNames").toMap().value(o.timeline(0)), "Client");
    const QVariantList children = stored.value("Children").toList();
    ASSERT_EQ(children.size(), 3);
    const QVariantMap leaf = children[0].toMap();
    EXPECT_EQ(leaf.value("Kind").toInt(), 0);
    EXPECT_EQ(leaf.value("Text"), "login()");
    EXPECT_EQ(leaf.value("Source"), o.timeline(0));
    EXPECT_EQ(leaf.value("Target"), o.timeline(1));
    EXPECT_EQ(leaf.value("ID"), call->representedObject()->ID());
    EXPECT_EQ(children[1].toMap().value("Name"), "Loop");
    EXPECT_EQ(children[1].toMap().value("Text"), "3");
    EXPECT_EQ(children[2].toMap().value("Name"), "Alternatives");
    const QVariantMap selfLeaf = children[2].toMap().value("Children").toList().value(0).toMap();
    EXPECT_EQ(selfLeaf.value("Self"), o.timeline(2));
    EXPECT_EQ(selfLeaf.value("Kind").toInt(), 1);

    // A second window on the same drawing shows the same outline.
    QntSequenceDiagramController again;
    again.setupWithDrawing(o.drawing.get());
    EXPECT_EQ(again.sequenceDictionary(), stored);
    EXPECT_EQ(again.timelineTitle(3), "Client");
    EXPECT_FALSE(again.rootNode()->childNodes()[0]->representedObject()->isContainer());
    EXPECT_TRUE(again.rootNode()->childNodes()[1]->representedObject()->isContainer());
}

TEST(QntSequenceDiagramController, FlattensAContainerOfAnotherKind)
{
    const QVariantMap stored{
        {"Name", "OVRoot"},
        {"Children", QVariantList{QVariantMap{{"Kind", 0},
                                              {"Name", "was a leaf"},
                                              {"ID", "x"},
                                              {"Children", QVariantList{QVariantMap{{"Kind", 1},
                                                                                    {"ID", "y"}}}}},
                                  QVariantMap{{"ID", "z"}}}}};
    VRDrawing drawing;
    drawing.setSequenceDic(stored);
    QntSequenceDiagramController c;
    c.setupWithDrawing(&drawing);
    ASSERT_EQ(c.rootNode()->childNodes().size(), 2);
    c.saveSequenceToDrawing(&drawing);
    const QVariantList children = drawing.sequenceDic().value("Children").toList();
    ASSERT_EQ(children.size(), 2);
    EXPECT_EQ(children[0].toMap().value("ID"), "y");
    EXPECT_EQ(children[1].toMap().value("ID"), "z");
    EXPECT_EQ(children[1].toMap().value("Kind").toInt(), 0);
}

TEST(QntSequenceDiagramController, ReadsDamagedOutlinesAsFarAsTheyGo)
{
    QVariantMap deep{{"Kind", 2}, {"ID", "deep"}, {"Children", QVariantList{}}};
    for (int i = 0; i < 200; ++i)
        deep = QVariantMap{{"Kind", 5}, {"ID", "same"}, {"Children", QVariantList{deep}}};
    const QVariantMap cases[] = {
        {{"Children", "not a list"}},
        {{"Children", QVariantList{1, "two", QVariantList{}, QVariantMap{}}}},
        {{"Children", QVariantList{QVariantMap{{"Kind", 99}, {"ID", "a"}},
                                   QVariantMap{{"Kind", -3}, {"ID", "a"}},
                                   QVariantMap{{"Kind", 17}, {"ID", "a"}, {"Children", 5}}}}},
        {{"Children", QVariantList{deep}}},
        {{"TimelineIdentifiersOrdered", QVariantList{"t", "t", 3, "", QVariantMap{}, "u"}},
         {"TimelineIdentifiersAndNames", QVariantMap{{"t", 5}, {"u", "U"}}},
         {"Children", QVariantList{QVariantMap{{"Source", "t"}, {"Target", "gone"}}}}},
    };
    for (const QVariantMap &stored : cases) {
        VRDrawing drawing;
        drawing.setSequenceDic(stored);
        QntSequenceDiagramController c;
        c.setupWithDrawing(&drawing);
        // Every entity has an identifier of its own and a kind the outline knows.
        QSet<QString> ids;
        std::function<void(const QntSeqTreeNode &)> check = [&](const QntSeqTreeNode &n) {
            for (const auto &child : n.childNodes()) {
                const SimpleNodeData &d = *child->representedObject();
                EXPECT_FALSE(d.ID().isEmpty());
                EXPECT_FALSE(ids.contains(d.ID()));
                ids.insert(d.ID());
                EXPECT_GE(d.nodeKind(), 0);
                EXPECT_LE(d.nodeKind(), 5);
                check(*child);
            }
        };
        check(*c.rootNode());
        c.sequenceDiagram();
        c.saveSequenceToDrawing(&drawing);
    }
    VRDrawing drawing;
    drawing.setSequenceDic(cases[4]);
    QntSequenceDiagramController c;
    c.setupWithDrawing(&drawing);
    EXPECT_EQ(c.timelineIdentifiersOrdered(), (QStringList{"t", "u"}));
    EXPECT_EQ(c.timelineTitle(3), "Timeline");
    EXPECT_EQ(c.timelineTitle(4), "U");
    // The message names a timeline that is gone: it is left out of the diagram.
    EXPECT_TRUE(c.sequenceDiagram()->children().empty());
}

TEST(QntSequenceDiagramController, AddsEntitiesWhereTheSelectionSays)
{
    Outline o;
    o.controller.addMessage();
    o.controller.addResponse();
    EXPECT_EQ(names(o.root()), (QStringList{"Message", "Response"}));
    // After the selected leaf, in its parent.
    o.select(o.root().childNodes()[0].get());
    o.controller.addLoopContainer();
    EXPECT_EQ(names(o.root()), (QStringList{"Message", "Loop", "Response"}));
    // Into the selected container, at its end.
    QntSeqTreeNode *loop = o.root().childNodes()[1].get();
    o.select(loop);
    o.controller.addMessage();
    o.select(loop);
    o.controller.addResponse();
    EXPECT_EQ(names(*loop), (QStringList{"Message", "Response"}));
    EXPECT_TRUE(o.controller.outlineView()->isExpanded(o.controller.indexForNode(loop)));
    EXPECT_EQ(loop->representedObject()->text(), "1");
}

TEST(QntSequenceDiagramController, KeepsTheRoleRule)
{
    struct Case {
        QList<int> before;
        int column;
        int role;
        QList<int> after;
    };
    const Case cases[] = {
        {{0, 2, 0}, 0, SimpleNodeData::Source, {1, 2, 0}},
        {{1, 0, 0}, 2, SimpleNodeData::Source, {0, 0, 1}},
        {{3, 0, 0}, 1, SimpleNodeData::Source, {0, 1, 0}},
        {{1, 0, 0}, 1, SimpleNodeData::Target, {1, 2, 0}},
        {{0, 2, 0}, 2, SimpleNodeData::Target, {0, 0, 2}},
        {{1, 2, 0}, 2, SimpleNodeData::Self, {0, 0, 3}},
        {{1, 2, 0}, 0, SimpleNodeData::None, {0, 2, 0}},
    };
    for (const Case &c : cases) {
        Outline o;
        for (int i = 0; i < 3; ++i)
            o.controller.addTimeline();
        Node n = o.add(SimpleNodeData::Message);
        QMap<QString, int> before;
        for (int i = 0; i < 3; ++i)
            before.insert(o.timeline(i), c.before[i]);
        n->representedObject()->setTimelines(before);
        o.controller.setData(o.controller.indexForNode(n.get(), 3 + c.column), c.role);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(n->representedObject()->timelines().value(o.timeline(i)), c.after[i])
                << "column " << c.column << " role " << c.role << " timeline " << i;
    }
}

TEST(QntSequenceDiagramController, OffersTheKindsThatFitTheRow)
{
    Outline o;
    Node alt = o.add(SimpleNodeData::Alternative);
    Node inside = o.add(SimpleNodeData::Message, alt.get());
    Node outside = o.add(SimpleNodeData::Message);
    Node option = o.add(SimpleNodeData::Option);
    EXPECT_EQ(o.controller.allowedKinds(*inside), (QList<int>{0, 1, 4}));
    EXPECT_EQ(o.controller.allowedKinds(*outside), (QList<int>{0, 1}));
    EXPECT_EQ(o.controller.allowedKinds(*option), (QList<int>{2, 3, 5}));
    o.controller.setKind(*outside, SimpleNodeData::AlternativeCondition);
    EXPECT_EQ(outside->representedObject()->nodeKind(), SimpleNodeData::Message);
    o.controller.setKind(*option, SimpleNodeData::Loop);
    EXPECT_EQ(option->representedObject()->nodeKind(), SimpleNodeData::Loop);
}

TEST(QntSequenceDiagramController, KindAndRoleChangesResetTheRememberedLook)
{
    Outline o;
    for (int i = 0; i < 2; ++i)
        o.controller.addTimeline();
    Node n = o.add(SimpleNodeData::Message);
    const QString id = n->representedObject()->ID();
    QVariantMap &looks = o.drawing->sequenceStyleDic();
    const QVariantMap label{{"LayoutMode", 1}, {"TextXOffset", 0.2}};
    looks.insert(id + "-CONNECTOR_PROPERTIES", label);
    looks.insert(id, QVariant::fromValue(VRStyleRef()));

    o.controller.setRole(*n, o.timeline(0), SimpleNodeData::Source);
    EXPECT_EQ(looks.value(id + "-CONNECTOR_PROPERTIES").toMap(),
              (QVariantMap{{"TextXOffset", 0.2}}));
    EXPECT_NE(looks.value(id).metaType().id(), QMetaType::QString);

    looks.insert(id + "-CONNECTOR_PROPERTIES", label);
    o.controller.setKind(*n, SimpleNodeData::Response);
    EXPECT_EQ(looks.value(id), "REMOVE");
    EXPECT_FALSE(looks.value(id + "-CONNECTOR_PROPERTIES").toMap().contains("LayoutMode"));
}

TEST(QntSequenceDiagramController, UndoesAndRedoesEntitiesAndTimelines)
{
    Outline o;
    o.add(SimpleNodeData::Message);
    Node loop = o.add(SimpleNodeData::Loop);
    o.add(SimpleNodeData::Message, loop.get());
    o.add(SimpleNodeData::Response, loop.get());
    o.add(SimpleNodeData::Response);
    const QString loopId = loop->representedObject()->ID();
    o.drawing->sequenceStyleDic().insert(loopId, "look");
    o.drawing->sequenceStyleDic().insert(loopId + "_PROPERTIES",
                                         QVariantMap{{"PaddingLeftRight", 4}});

    o.select(loop.get());
    o.controller.deleteSelections();
    o.commit();
    EXPECT_EQ(names(o.root()), (QStringList{"Message", "Response"}));
    EXPECT_FALSE(o.drawing->sequenceStyleDic().contains(loopId));
    EXPECT_FALSE(o.drawing->sequenceStyleDic().contains(loopId + "_PROPERTIES"));
    EXPECT_EQ(o.undo()->undoActionName(), "Remove Entity");
    o.undo()->undo();
    EXPECT_EQ(names(o.root()), (QStringList{"Message", "Loop", "Response"}));
    EXPECT_EQ(names(*o.root().childNodes()[1]), (QStringList{"Message", "Response"}));
    o.undo()->redo();
    EXPECT_EQ(names(o.root()), (QStringList{"Message", "Response"}));
    // The outline in the drawing follows every step.
    EXPECT_EQ(o.drawing->sequenceDic().value("Children").toList().size(), 2);

    // Timelines.
    o.controller.addTimeline();
    o.commit();
    EXPECT_EQ(o.undo()->undoActionName(), "Insert Timeline");
    o.controller.setClickedColumn(2);
    o.controller.addTimelineBefore();
    EXPECT_EQ(o.controller.numberOfColumns(), 4);
    o.controller.addTimelineAfter();
    o.commit();
    ASSERT_EQ(o.controller.numberOfColumns(), 5);
    const QString first = o.timeline(0);
    const QString second = o.timeline(1);
    o.drawing->sequenceStyleDic().insert(second, "line");
    o.drawing->sequenceStyleDic().insert(second + "-TIMELINE_HEADER", "header");
    o.drawing->sequenceStyleDic().insert(second + "-TIMELINE_HEADER_PROPERTIES", QVariantMap());
    o.controller.setClickedColumn(4);
    o.controller.deleteTimeline();
    o.commit();
    EXPECT_EQ(o.controller.timelineIdentifiersOrdered(), QStringList{first});
    EXPECT_FALSE(o.drawing->sequenceStyleDic().contains(second));
    EXPECT_FALSE(o.drawing->sequenceStyleDic().contains(second + "-TIMELINE_HEADER"));
    EXPECT_FALSE(o.drawing->sequenceStyleDic().contains(second + "-TIMELINE_HEADER_PROPERTIES"));
    EXPECT_EQ(o.undo()->undoActionName(), "Remove Timeline");
    o.undo()->undo();
    EXPECT_EQ(o.controller.timelineIdentifiersOrdered(), (QStringList{first, second}));
    o.undo()->undo();
    EXPECT_EQ(o.controller.timelineIdentifiersOrdered(), QStringList{second});
}

TEST(QntSequenceDiagramController, DeleteKeyRemovesTheSelectedRowsButNotWhileEditing)
{
    Outline o;
    Node a = o.add(SimpleNodeData::Message);
    o.add(SimpleNodeData::Message);
    o.select(nullptr);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(o.controller.outlineView(), &del);
    EXPECT_EQ(o.root().childNodes().size(), 2);
    o.select(a.get());
    QApplication::sendEvent(o.controller.outlineView(), &del);
    EXPECT_EQ(o.root().childNodes().size(), 1);
}

TEST(QntSequenceDiagramController, ReordersByDragAndRefusesDropsThatWouldLoseEntities)
{
    Outline o;
    Node a = o.add(SimpleNodeData::Message);
    Node opt = o.add(SimpleNodeData::Option);
    Node inner = o.add(SimpleNodeData::Message, opt.get());
    Node b = o.add(SimpleNodeData::Response);

    std::unique_ptr<QMimeData> drag(o.controller.mimeData({o.controller.indexForNode(opt.get())}));
    ASSERT_TRUE(o.controller.dragIsLocalReorder(drag.get()));
    // Onto itself, into itself, onto a leaf: refused.
    EXPECT_FALSE(o.controller.validateDrop(drag.get(), o.controller.indexForNode(opt.get()), -1));
    EXPECT_FALSE(o.controller.validateDrop(drag.get(), o.controller.indexForNode(opt.get()), 0));
    EXPECT_FALSE(o.controller.validateDrop(drag.get(), o.controller.indexForNode(a.get()), -1));
    // To the end of the outline, as one undoable move.
    EXPECT_TRUE(o.controller.acceptDrop(drag.get(), {}, 3));
    o.controller.draggingSessionEnded();
    o.commit();
    EXPECT_EQ(names(o.root()), (QStringList{"Message", "Response", "Option"}));
    EXPECT_EQ(o.undo()->undoActionName(), "Move Entity");
    o.undo()->undo();
    EXPECT_EQ(names(o.root()), (QStringList{"Message", "Option", "Response"}));
    EXPECT_FALSE(o.controller.dragIsLocalReorder(drag.get()));

    // Text dropped from elsewhere becomes new leaves; undo takes them away.
    QMimeData outside;
    outside.setText("from elsewhere");
    EXPECT_FALSE(o.controller.validateDrop(&outside, o.controller.indexForNode(b.get()), -1));
    EXPECT_TRUE(o.controller.acceptDrop(&outside, o.controller.indexForNode(opt.get()), -1));
    o.commit();
    EXPECT_EQ(names(*opt), (QStringList{"from elsewhere", "Message"}));
    o.undo()->undo();
    EXPECT_EQ(names(*opt), QStringList{"Message"});
    (void)inner;
}

TEST(QntSequenceDiagramController, BuildsTheDiagramModel)
{
    Outline o;
    EXPECT_FALSE(o.controller.canBuildSeqDiagram());
    for (int i = 0; i < 3; ++i)
        o.controller.addTimeline();
    EXPECT_FALSE(o.controller.canBuildSeqDiagram());
    Node call = o.add(SimpleNodeData::Message, nullptr, "call");
    EXPECT_TRUE(o.controller.canBuildSeqDiagram());
    o.roles(*call, 0, 1);
    Node reply = o.add(SimpleNodeData::Response, nullptr, "reply");
    o.controller.setRole(*reply, o.timeline(1), SimpleNodeData::Self);
    o.add(SimpleNodeData::Message, nullptr, "no target");
    Node option = o.add(SimpleNodeData::Option);
    o.add(SimpleNodeData::AlternativeCondition, option.get(), "ignored");
    Node alt = o.add(SimpleNodeData::Alternative);
    o.add(SimpleNodeData::AlternativeCondition, alt.get(), "yes");
    Node loop = o.add(SimpleNodeData::Loop, nullptr, "4");

    const auto diagram = o.controller.sequenceDiagram();
    EXPECT_EQ(diagram->name(), "SequenceDiagram");
    ASSERT_EQ(diagram->timelines().size(), 3u);
    EXPECT_EQ(diagram->timelines()[0]->ID(), o.timeline(0));
    const auto &top = diagram->children();
    ASSERT_EQ(top.size(), 5u);
    const auto *m = static_cast<const ISMessage *>(top[0].get());
    EXPECT_EQ(m->name(), "call");
    EXPECT_EQ(m->ID(), call->representedObject()->ID());
    EXPECT_EQ(m->fromTimeline(), diagram->timelines()[0].get());
    EXPECT_EQ(m->lineType(), 0);
    const auto *r = static_cast<const ISMessage *>(top[1].get());
    EXPECT_TRUE(r->isSelfMessage());
    EXPECT_EQ(r->lineType(), 1);
    EXPECT_EQ(top[2]->kind(), ISElement::Kind::Option);
    EXPECT_TRUE(static_cast<const ISContainer *>(top[2].get())->children().empty());
    EXPECT_EQ(top[3]->kind(), ISElement::Kind::Alternatives);
    EXPECT_EQ(static_cast<const ISContainer *>(top[3].get())->children().size(), 1u);
    EXPECT_EQ(static_cast<const ISLoop *>(top[4].get())->count(), 4);
    EXPECT_EQ(top[4]->ID(), loop->representedObject()->ID());
}

TEST(QntSequenceDiagramController, MenusSayWhatWasClicked)
{
    Outline o;
    o.controller.addTimeline();
    o.controller.setTimelineTitle(3, "Shop");
    Node a = o.add(SimpleNodeData::Message);
    QMenu menu;
    o.controller.setClickedColumn(1);
    o.controller.prepareHeaderMenu(menu);
    EXPECT_EQ(menu.actions().first()->text(), "You didn't click on any timeline...");
    for (QAction *action : menu.actions())
        EXPECT_FALSE(action->isEnabled() && !action->isSeparator());
    o.controller.setClickedColumn(3);
    o.controller.prepareHeaderMenu(menu);
    EXPECT_EQ(menu.actions().first()->text(), "You clicked on: 'Shop'");
    EXPECT_TRUE(menu.actions().last()->isEnabled());

    o.select(nullptr);
    o.controller.prepareOutlineMenu(menu, {});
    EXPECT_EQ(menu.actions().first()->text(), "You didn't click on any rows...");
    EXPECT_FALSE(menu.findChild<QAction *>("deleteSelectedItemsMenuItem")->isEnabled());
    o.select(a.get());
    o.controller.prepareOutlineMenu(menu, o.controller.indexForNode(a.get()));
    EXPECT_EQ(menu.actions().first()->text(), "You clicked on: 'Message'");
    EXPECT_TRUE(menu.findChild<QAction *>("deleteSelectedItemsMenuItem")->isEnabled());
    EXPECT_EQ(o.controller.selectionTextField()->text(), "Message");
}

TEST(QntSequenceDiagramController, NestedRowsShowTheirDepthInTheKindColumn)
{
    Outline o;
    Node top = o.add(SimpleNodeData::Message);
    Node loop = o.add(SimpleNodeData::Loop);
    Node inLoop = o.add(SimpleNodeData::Message, loop.get());
    Node option = o.add(SimpleNodeData::Option, loop.get());
    Node inOption = o.add(SimpleNodeData::Message, option.get());
    QntSeqOutlineView *view = o.controller.outlineView();
    view->expandAll();
    o.select(nullptr);
    view->setCurrentIndex(QModelIndex());
    o.pane->resize(900, 300);
    o.pane->show();
    QApplication::processEvents();
    const QImage picture = view->viewport()->grab().toImage();
    // Where the kind's first letter begins in the row: its leftmost dark pixel.
    const auto kindStart = [&](const Node &node) {
        const QRect cell = view->visualRect(
            o.controller.indexForNode(node.get(), QntSequenceDiagramController::NodeKindColumn));
        for (int x = cell.left(); x <= cell.right(); ++x) {
            for (int y = cell.top(); y <= cell.bottom(); ++y) {
                if (qGray(picture.pixel(x, y)) < 110)
                    return x - cell.left();
            }
        }
        return -1;
    };
    const int step = view->indentation();
    ASSERT_GT(step, 0);
    const struct {
        const char *name;
        Node node;
        int depth;
    } rows[] = {{"top", top, 0},
                {"loop", loop, 0},
                {"in loop", inLoop, 1},
                {"option", option, 1},
                {"in option", inOption, 2}};
    const int base = kindStart(top);
    ASSERT_GE(base, 0);
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_NEAR(kindStart(row.node), base + row.depth * step, 3);
    }
    o.pane->hide();
}

TEST(QntSequenceDiagramController, DropsGoWhereThePanesCheckBoxesAllow)
{
    struct Case {
        const char *name;
        bool onContainer, onLeaf, onlyRoot;
        int target; // 0: the option, 1: the leaf "a"
        bool accepted;
        QStringList top, inOption;
    };
    const Case cases[] = {
        {"into a container", true, false, false, 0, true, {"a", "Option"}, {"x", "b"}},
        {"container drops off", false, false, false, 0, false, {"a", "Option"}, {"b"}},
        {"onto a leaf refused", true, false, false, 1, false, {"a", "Option"}, {"b"}},
        {"onto a leaf: after it", true, true, false, 1, true, {"a", "x", "Option"}, {"b"}},
        {"only on root", false, false, true, 0, true, {"a", "Option", "x"}, {"b"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Outline o;
        o.add(SimpleNodeData::Message)->representedObject()->setName("a");
        Node opt = o.add(SimpleNodeData::Option);
        o.add(SimpleNodeData::Message, opt.get())->representedObject()->setName("b");
        o.pane->findChild<QCheckBox *>("allowDropOnContainerCheckbox")->setChecked(c.onContainer);
        o.pane->findChild<QCheckBox *>("allowDropOnLeafCheckbox")->setChecked(c.onLeaf);
        o.pane->findChild<QCheckBox *>("onlyAcceptDropOnRootCheckbox")->setChecked(c.onlyRoot);
        EXPECT_EQ(o.controller.allowsDropOnContainer(), c.onContainer);
        EXPECT_EQ(o.controller.allowsDropOnLeaf(), c.onLeaf);
        EXPECT_EQ(o.controller.onlyAcceptsDropOnRoot(), c.onlyRoot);
        const QModelIndex target =
            c.target == 0 ? o.controller.indexForNode(opt.get())
                          : o.controller.indexForNode(o.root().childNodes().first().get());
        QMimeData outside;
        outside.setText("x");
        EXPECT_EQ(o.controller.validateDrop(&outside, target, -1), c.accepted);
        EXPECT_EQ(o.controller.acceptDrop(&outside, target, -1), c.accepted);
        EXPECT_EQ(names(o.root()), c.top);
        EXPECT_EQ(names(*opt), c.inOption);
        // Whatever lands is stored: nothing hangs under a leaf.
        for (const auto &n : o.root().childNodes())
            if (!n->representedObject()->isContainer())
                EXPECT_TRUE(n->childNodes().isEmpty());
    }
}

TEST(QntSequenceDiagramController, ExpandableAndSelectableColumnsToggleTheRowFlags)
{
    Outline o;
    o.controller.addTimeline();
    Node leaf = o.add(SimpleNodeData::Message);
    Node loop = o.add(SimpleNodeData::Loop);
    o.add(SimpleNodeData::Message, loop.get());
    EXPECT_EQ(o.controller.columnCount(), 6);
    EXPECT_EQ(o.controller.columnIdentifier(4), "IsExpandableColumn");
    EXPECT_EQ(o.controller.columnIdentifier(5), "IsSelectableColumn");
    // Only a container's expandable cell can be clicked.
    const QModelIndex loopExpandable = o.controller.indexForNode(loop.get(), 4);
    EXPECT_TRUE(o.controller.flags(loopExpandable) & Qt::ItemIsEnabled);
    EXPECT_FALSE(o.controller.flags(o.controller.indexForNode(leaf.get(), 4)) & Qt::ItemIsEnabled);
    EXPECT_EQ(loopExpandable.data(Qt::CheckStateRole).toInt(), Qt::Checked);

    QntSeqOutlineView *view = o.controller.outlineView();
    const QModelIndex loopRow = o.controller.indexForNode(loop.get());
    view->expand(loopRow);
    ASSERT_TRUE(view->isExpanded(loopRow));
    o.controller.setData(loopExpandable, Qt::Unchecked, Qt::CheckStateRole);
    EXPECT_FALSE(loop->representedObject()->isExpandable());
    EXPECT_FALSE(view->isExpanded(loopRow));
    view->expand(loopRow);
    EXPECT_FALSE(view->isExpanded(loopRow));

    // The expandable column's menu flips the flag back.
    QMenu menu;
    o.select(nullptr);
    o.controller.prepareExpandableMenu(menu, loopExpandable);
    QAction *item = menu.findChild<QAction *>("expandableMenuItem");
    ASSERT_TRUE(item);
    EXPECT_TRUE(item->isEnabled());
    EXPECT_FALSE(item->isChecked());
    item->trigger();
    EXPECT_TRUE(loop->representedObject()->isExpandable());
    o.controller.prepareExpandableMenu(menu, o.controller.indexForNode(leaf.get(), 4));
    EXPECT_FALSE(menu.findChild<QAction *>("expandableMenuItem")->isEnabled());
    o.controller.prepareExpandableMenu(menu, {});
    EXPECT_FALSE(menu.findChild<QAction *>("expandableMenuItem")->isEnabled());

    // A row that is not selectable drops out of the selection and cannot be selected.
    o.select(leaf.get());
    o.controller.setData(o.controller.indexForNode(leaf.get(), 5), Qt::Unchecked,
                         Qt::CheckStateRole);
    EXPECT_FALSE(leaf->representedObject()->isSelectable());
    EXPECT_FALSE(view->selectionModel()->hasSelection());
    EXPECT_FALSE(o.controller.flags(o.controller.indexForNode(leaf.get())) & Qt::ItemIsSelectable);
    // New timelines go before the check-box columns.
    o.controller.addTimeline();
    EXPECT_EQ(o.controller.columnIdentifier(6), "IsSelectableColumn");
    o.controller.setClickedColumn(5);
    o.controller.addTimelineAfter();
    o.controller.deleteTimeline();
    EXPECT_EQ(o.controller.timelineIdentifiersOrdered().size(), 2);
}

TEST(QntSequenceDiagramController, CheckBoxClicksSelectTheRowOnlyWhenAllowed)
{
    for (const bool selects : {false, true}) {
        SCOPED_TRACE(selects);
        Outline o;
        Node a = o.add(SimpleNodeData::Message);
        Node b = o.add(SimpleNodeData::Message);
        o.pane->resize(1200, 400);
        o.pane->show();
        o.pane->findChild<QCheckBox *>("buttonCellsChangeSelectionCheckbox")->setChecked(selects);
        o.select(b.get());
        QntSeqOutlineView *view = o.controller.outlineView();
        const QModelIndex cell =
            o.controller.indexForNode(a.get(), o.controller.selectableColumn());
        view->scrollTo(cell);
        QStyleOptionViewItem option;
        option.initFrom(view);
        option.rect = view->visualRect(cell);
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
        const QPoint box =
            view->style()
                ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view)
                .center();
        QMouseEvent press(QEvent::MouseButtonPress, box, view->viewport()->mapToGlobal(box),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &press);
        EXPECT_FALSE(a->representedObject()->isSelectable());
        EXPECT_FALSE(view->selectionModel()->isRowSelected(0, {}));
        // Clicked again: selectable once more, and selected when the box says so.
        QApplication::sendEvent(view->viewport(), &press);
        EXPECT_TRUE(a->representedObject()->isSelectable());
        EXPECT_EQ(view->selectionModel()->isRowSelected(0, {}), selects);
        EXPECT_EQ(view->selectionModel()->isRowSelected(1, {}), !selects);
    }
}

TEST(QntSequenceDiagramController, GroupRowLookSpansContainerRows)
{
    Outline o;
    Node leaf = o.add(SimpleNodeData::Message);
    Node loop = o.add(SimpleNodeData::Loop);
    Node inner = o.add(SimpleNodeData::Option, loop.get());
    QntSeqOutlineView *view = o.controller.outlineView();
    const auto spanned = [&](const Node &n) {
        const QModelIndex i = o.controller.indexForNode(n.get());
        return view->isFirstColumnSpanned(i.row(), i.parent());
    };
    EXPECT_FALSE(spanned(loop));
    o.pane->findChild<QCheckBox *>("useGroupRowLookCheckbox")->setChecked(true);
    EXPECT_TRUE(o.controller.usesGroupRowLook());
    EXPECT_TRUE(spanned(loop));
    EXPECT_TRUE(spanned(inner));
    EXPECT_FALSE(spanned(leaf));
    EXPECT_TRUE(o.controller.indexForNode(loop.get()).data(Qt::FontRole).value<QFont>().bold());
    // Rows added later follow the look.
    Node later = o.add(SimpleNodeData::Alternative);
    EXPECT_TRUE(spanned(later));
    o.controller.setUsesGroupRowLook(false);
    EXPECT_FALSE(o.pane->findChild<QCheckBox *>("useGroupRowLookCheckbox")->isChecked());
    EXPECT_FALSE(spanned(loop));
    EXPECT_FALSE(spanned(later));
}
