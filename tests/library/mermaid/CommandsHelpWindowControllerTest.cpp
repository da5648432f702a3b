#include "library/mermaid/CommandsHelpWindowController.h"

#include "platform/QntPaths.h"

#include <QFileInfo>
#include <QTabBar>
#include <QTextBrowser>

#include <gtest/gtest.h>

TEST(CommandsHelpWindowController, EachSegmentShowsItsPageFromTheResources)
{
    CommandsHelpWindowController controller;
    // The window starts on the flowchart page.
    EXPECT_EQ(QFileInfo(controller.currentPagePath()).fileName(), "help_flowchart.html");
    const std::pair<int, const char *> cases[] = {{1, "help_sequence.html"},
                                                  {2, "help_gantt.html"},
                                                  {7, "help_gantt.html"},
                                                  {0, "help_flowchart.html"},
                                                  {-1, "help_flowchart.html"}};
    for (const auto &[segment, page] : cases) {
        SCOPED_TRACE(segment);
        controller.switchHelp(segment);
        EXPECT_EQ(controller.currentPagePath(),
                  QntPaths::bundleResourcesPath() + "/help/" + QString::fromLatin1(page));
        EXPECT_FALSE(controller.webView()->toPlainText().isEmpty());
    }
    // The segmented control picks the page, too.
    controller.helpControl()->setCurrentIndex(1);
    EXPECT_EQ(QFileInfo(controller.currentPagePath()).fileName(), "help_sequence.html");
    EXPECT_TRUE(controller.webView()->toPlainText().contains("sequenceDiagram"));
}
