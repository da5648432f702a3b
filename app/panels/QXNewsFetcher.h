#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

// Fetches the news feed and its icons over HTTP. The network library lives in a plugin,
// plugins/libqnt_news_fetcher.so beside the executable (QNT_PLUGIN_DIR names another folder),
// loaded on the first fetch: a launch, and a session that never checks the news, map none of it.
// GUI thread only.
class QXNewsFetcher
{
public:
    // The body, or an empty one with the reason when the fetch failed.
    using Completion = std::function<void(const QByteArray &body, const QString &error)>;

    virtual ~QXNewsFetcher() = default;

    // Starts a GET of the url: it fails after the time without progress, and once more than the
    // bytes have come. `done` runs on the GUI thread, unless the context is gone by then.
    virtual void get(const QUrl &url, int timeoutMs, qint64 maximumBytes, bool keepSecureRedirects,
                     QObject *context, Completion done) = 0;

    // The fetcher of the process, loading the plugin on first use; null when it cannot be
    // loaded, with the reason in loadError().
    static QXNewsFetcher *shared();
    static QString loadError();
};

// The plugin's entry point: a new fetcher, owned by the caller.
using QXNewsFetcherFactory = QXNewsFetcher *(*)();
