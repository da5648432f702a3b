#include "library/SimpleNodeData.h"

#include <QDir>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

TEST(SimpleNodeData, NewNodesTakeTheDefaults)
{
    SimpleNodeData a, b;
    EXPECT_EQ(a.name(), "Untitled");
    EXPECT_TRUE(a.text().isEmpty());
    EXPECT_FALSE(a.ID().isEmpty());
    EXPECT_NE(a.ID(), b.ID());
    EXPECT_EQ(a.nodeKind(), SimpleNodeData::Message);
    EXPECT_TRUE(a.timelines().isEmpty());
    EXPECT_TRUE(a.isExpandable());
    EXPECT_TRUE(a.isSelectable());
    EXPECT_TRUE(a.isContainer());
    EXPECT_EQ(SimpleNodeData("Call").name(), "Call");
    EXPECT_EQ(a.description(),
              "SimpleNodeData - 'Untitled' expandable: 1, selectable: 1, container: 1");
}

TEST(SimpleNodeData, ReadsAStoredNode)
{
    struct Case {
        QVariantMap stored;
        int kind;
        QString source, target, self;
        bool hasID;
    };
    const Case cases[] = {
        {{{"ID", "n1"},
          {"Name", "Call"},
          {"Kind", 1},
          {"Text", "hi"},
          {"Source", "t1"},
          {"Target", "t2"},
          {"None", "t3"}},
         1,
         "t1",
         "t2",
         "",
         true},
        {{{"ID", "n2"}, {"Self", "t1"}}, 0, "", "", "t1", true},
        {{{"Name", "no kind, no id"}}, 0, "", "", "", false},
        {{{"ID", "n3"}, {"Kind", "seven"}}, 0, "", "", "", true},
        {{{"ID", "n4"}, {"Kind", 42}}, 0, "", "", "", true},
        {{{"ID", "n5"}, {"Kind", 5}}, 5, "", "", "", true},
    };
    for (const Case &c : cases) {
        const SimpleNodeData node(c.stored);
        EXPECT_EQ(node.nodeKind(), c.kind) << node.name().toStdString();
        EXPECT_EQ(node.sourceTimelineName(), c.source);
        EXPECT_EQ(node.targetTimelineName(), c.target);
        EXPECT_EQ(node.selfTimelineName(), c.self);
        EXPECT_EQ(!node.ID().isEmpty(), c.hasID);
        EXPECT_FALSE(node.timelines().contains("t3"));
    }
    const SimpleNodeData first(cases[0].stored);
    EXPECT_EQ(first.name(), "Call");
    EXPECT_EQ(first.text(), "hi");
    EXPECT_EQ(first.ID(), "n1");
}

TEST(SimpleNodeData, ComparesByName)
{
    EXPECT_LT(SimpleNodeData("Alpha").compare(SimpleNodeData("Beta")), 0);
    EXPECT_GT(SimpleNodeData("b").compare(SimpleNodeData("a")), 0);
    EXPECT_EQ(SimpleNodeData("same").compare(SimpleNodeData("same")), 0);
}

TEST(SimpleNodeData, GoesThroughThePasteboard)
{
    SimpleNodeData node("login()");
    QMimeData written;
    node.writeToMimeData(written);
    EXPECT_EQ(written.text(), "login()");
    const auto fromText = SimpleNodeData::nodesFromMimeData(written);
    ASSERT_EQ(fromText.size(), 1);
    EXPECT_EQ(fromText[0]->name(), "login()");
    EXPECT_FALSE(fromText[0]->isContainer());
    EXPECT_FALSE(fromText[0]->isExpandable());
    EXPECT_NE(fromText[0]->ID(), node.ID());

    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("Folder"));
    QMimeData urls;
    urls.setUrls({QUrl::fromLocalFile(dir.filePath("Folder")),
                  QUrl::fromLocalFile(dir.filePath("missing.txt"))});
    const auto fromUrls = SimpleNodeData::nodesFromMimeData(urls);
    ASSERT_EQ(fromUrls.size(), 2);
    EXPECT_EQ(fromUrls[0]->name(), "Folder");
    EXPECT_TRUE(fromUrls[0]->isContainer());
    EXPECT_EQ(fromUrls[1]->name(), "missing.txt");
    EXPECT_FALSE(fromUrls[1]->isContainer());
    EXPECT_EQ(fromUrls[1]->nodeKind(), SimpleNodeData::Message);
    EXPECT_TRUE(SimpleNodeData::nodesFromMimeData(QMimeData()).isEmpty());
}
