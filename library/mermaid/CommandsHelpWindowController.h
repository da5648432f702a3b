#pragma once

#include <QWidget>

class QTabBar;
class QTextBrowser;

// The window of help pages on the Mermaid commands: a segmented control picks the flowchart,
// sequence or Gantt page, which the window shows from the application's resources
// ("help/help_flowchart.html", "help/help_sequence.html", "help/help_gantt.html"). Links in
// the pages open nothing.
class CommandsHelpWindowController : public QWidget
{
    Q_OBJECT
public:
    explicit CommandsHelpWindowController(QWidget *parent = nullptr);

    QString windowNibName() const { return QStringLiteral("CommandsHelp"); }
    // The view that shows the page.
    QTextBrowser *webView() const { return m_webView; }
    void setWebView(QTextBrowser *view) { m_webView = view; }
    QTabBar *helpControl() const { return m_helpControl; }
    // Shows the first page.
    void windowDidLoad();
    // Segment 0 (or none, -1) the flowchart page, 1 the sequence page, any other the Gantt page.
    void switchHelp(int segment);
    // The page shown now, as a file path; empty when the page is missing.
    QString currentPagePath() const { return m_pagePath; }
    static QString helpPagePath(int segment);

private:
    QTextBrowser *m_webView = nullptr;
    QTabBar *m_helpControl = nullptr;
    QString m_pagePath;
};
