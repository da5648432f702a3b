#include "app/panels/QXNewsFetcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcNewsFetcher, "quintora.news")

namespace {

struct LoadedFetcher {
    std::unique_ptr<QXNewsFetcher> fetcher;
    QString error;
    bool tried = false;
};

LoadedFetcher &loaded()
{
    static LoadedFetcher state;
    return state;
}

QString pluginPath()
{
    QString folder = qEnvironmentVariable("QNT_PLUGIN_DIR");
    if (folder.isEmpty())
        folder = QCoreApplication::applicationDirPath() + QStringLiteral("/plugins");
    return QDir::cleanPath(folder) + QStringLiteral("/libqnt_news_fetcher.so");
}

} // namespace

QXNewsFetcher *QXNewsFetcher::shared()
{
    LoadedFetcher &state = loaded();
    if (state.tried)
        return state.fetcher.get();
    state.tried = true;
    const QString path = pluginPath();
    // Kept loaded: the fetcher's code stays in use for the rest of the process.
    QLibrary library(path);
    library.setLoadHints(QLibrary::PreventUnloadHint);
    auto factory = reinterpret_cast<QXNewsFetcherFactory>(library.resolve("qntCreateNewsFetcher"));
    if (!factory) {
        state.error =
            QCoreApplication::translate("QXNews", "The news plugin %1 cannot be loaded: %2")
                .arg(QDir::toNativeSeparators(path), library.errorString());
        qCWarning(lcNewsFetcher).noquote() << state.error;
        return nullptr;
    }
    state.fetcher.reset(factory());
    return state.fetcher.get();
}

QString QXNewsFetcher::loadError()
{
    return loaded().error;
}
