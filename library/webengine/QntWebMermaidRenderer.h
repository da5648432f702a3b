#pragma once

#include "library/mermaid/QntMermaidRenderer.h"

#include <QObject>
#include <QPointer>

class QTimer;
class QWebEnginePage;
class QWebEngineProfile;
class QntMermaidRequestGuard;

// Renders Mermaid text in an off-screen web page that is never shown: an off-the-record
// profile that stores nothing, no view, no network (only the host page's own folder can be
// read), Mermaid with plain SVG labels, and links and click functions that never run. The page
// is made on the first render and kept for the next ones; it loads again when the host page
// changed on disk.
class QntWebMermaidRenderer : public QObject, public QntMermaidRenderer
{
    Q_OBJECT
public:
    // How long one render may take before it counts as failed, counted from the moment the
    // loaded page starts it.
    static constexpr int kRenderTimeoutMs = 10000;
    // How long a new page may take to load before the render waiting for it counts as failed:
    // the first render of a process starts the web engine and reads the whole Mermaid script,
    // which on a busy machine takes far longer than a render.
    static constexpr int kPageLoadTimeoutMs = 60000;
    // The largest text handed to Mermaid; longer texts are refused at once.
    static constexpr int kMaxTextLength = 200000;

    QntWebMermaidRenderer();
    ~QntWebMermaidRenderer() override;

    // The script every page runs once when it has loaded, before its first render: it makes
    // Mermaid's many copies of its configuration quicker without changing what they do, and
    // gives the page's engine the URL.canParse Mermaid asks.
    static QString pageSetUpScript();

    void render(const QString &hostPagePath, const QString &text, const QString &stylesheet,
                Completion completion) override;

    // Requests the page tried to make that the guard refused (network, other files).
    int refusedRequestCount() const;

private:
    struct Job {
        QString text;
        QString stylesheet;
        Completion completion;
        int serial = 0;
    };
    void ensurePage(const QString &hostPagePath);
    void start();
    void finish(const Result &result);
    void fetchResult(int serial);

    QWebEngineProfile *m_profile = nullptr;
    QWebEnginePage *m_page = nullptr;
    QntMermaidRequestGuard *m_guard = nullptr;
    QTimer *m_timeout = nullptr;
    QString m_pagePath;
    qint64 m_pageStamp = -1;
    bool m_pageLoaded = false;
    bool m_pageFailed = false;
    bool m_running = false;
    int m_serial = 0;
    Job m_job;
};
