#include "library/mermaid/CommandsHelpWindowController.h"

#include "platform/QntPaths.h"

#include <QFile>
#include <QFileInfo>
#include <QTabBar>
#include <QTextBrowser>
#include <QVBoxLayout>

CommandsHelpWindowController::CommandsHelpWindowController(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(windowNibName());
    setWindowTitle(tr("Mermaid Commands"));
    resize(640, 560);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    m_helpControl = new QTabBar(this);
    m_helpControl->setObjectName(QStringLiteral("helpControl"));
    m_helpControl->addTab(tr("Flowchart"));
    m_helpControl->addTab(tr("Sequence"));
    m_helpControl->addTab(tr("Gantt"));
    m_helpControl->setExpanding(false);
    m_webView = new QTextBrowser(this);
    m_webView->setObjectName(QStringLiteral("helpView"));
    // The pages are our own; their links go nowhere.
    m_webView->setOpenLinks(false);
    m_webView->setOpenExternalLinks(false);
    layout->addWidget(m_helpControl);
    layout->addWidget(m_webView, 1);
    connect(m_helpControl, &QTabBar::currentChanged, this,
            [this](int index) { switchHelp(index); });
    windowDidLoad();
}

void CommandsHelpWindowController::windowDidLoad()
{
    switchHelp(-1);
}

QString CommandsHelpWindowController::helpPagePath(int segment)
{
    QString name = QStringLiteral("help_gantt");
    if (segment <= 0)
        name = QStringLiteral("help_flowchart");
    else if (segment == 1)
        name = QStringLiteral("help_sequence");
    return QntPaths::bundleResourcesPath() + QStringLiteral("/help/") + name
           + QStringLiteral(".html");
}

void CommandsHelpWindowController::switchHelp(int segment)
{
    const QString path = helpPagePath(segment);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_pagePath.clear();
        m_webView->setPlainText(tr("The help page %1 is missing.").arg(QFileInfo(path).fileName()));
        return;
    }
    m_pagePath = path;
    m_webView->setSearchPaths({QFileInfo(path).absolutePath()});
    m_webView->setHtml(QString::fromUtf8(file.read(4 * 1024 * 1024)));
    const int index = segment < 0 ? 0 : std::min(segment, 2);
    if (m_helpControl->currentIndex() != index) {
        const QSignalBlocker blocker(m_helpControl);
        m_helpControl->setCurrentIndex(index);
    }
}
