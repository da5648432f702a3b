#include "library/mermaid/QntMermaidPlugin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPluginLoader>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcMermaidPlugin, "quintora.mermaid.plugin")

namespace {

struct PluginState {
    QntMermaidRendererPlugin *plugin = nullptr;
    QString error;
};

PluginState &state()
{
    static PluginState loaded;
    return loaded;
}

QString executableFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe"))
        .symLinkTarget()
        .section(QLatin1Char('/'), 0, -2);
}

} // namespace

namespace QntMermaidPlugin {

void prepareApplication()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    // The page is never shown: without the last flag Chromium would run it as a background tab,
    // at a lower process priority, and a build would wait on everything else the machine does.
    for (const char *flag : {"--disable-background-networking", "--disable-component-update",
                             "--no-first-run", "--disable-renderer-backgrounding"}) {
        if (!flags.contains(flag))
            flags += (flags.isEmpty() ? "" : " ") + QByteArray(flag);
    }
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    // Chromium's sandbox refuses to start as root; without this the page would not run at all.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

QString pluginFolder()
{
    const QString overridden = qEnvironmentVariable("QNT_PLUGIN_DIR");
    if (!overridden.isEmpty())
        return QDir::cleanPath(overridden);
    return QDir::cleanPath(executableFolder() + QStringLiteral("/plugins"));
}

QString pluginPath()
{
    return pluginFolder() + QStringLiteral("/libqnt_mermaid.so");
}

std::unique_ptr<QntMermaidRenderer> createRenderer()
{
    PluginState &loaded = state();
    if (!loaded.plugin) {
        const QString path = pluginPath();
        if (!QFileInfo::exists(path)) {
            loaded.error = QCoreApplication::translate("QntMermaidPlugin",
                                                       "The Mermaid plugin is missing: there is "
                                                       "no %1.")
                               .arg(QDir::toNativeSeparators(path));
            qCWarning(lcMermaidPlugin).noquote() << loaded.error;
            return nullptr;
        }
        // Loaded once and never unloaded: the web engine it brings cannot be started twice.
        QPluginLoader loader(path);
        loader.setLoadHints(QLibrary::PreventUnloadHint);
        QObject *instance = loader.instance();
        auto *plugin = qobject_cast<QntMermaidRendererPlugin *>(instance);
        if (!plugin) {
            const QString why = instance ? QCoreApplication::translate("QntMermaidPlugin",
                                                                       "it is not a Mermaid plugin")
                                         : loader.errorString();
            loaded.error = QCoreApplication::translate("QntMermaidPlugin",
                                                       "The Mermaid plugin %1 cannot be loaded: %2")
                               .arg(QDir::toNativeSeparators(path), why);
            qCWarning(lcMermaidPlugin).noquote() << loaded.error;
            return nullptr;
        }
        qCInfo(lcMermaidPlugin).noquote() << "loaded the Mermaid plugin" << path;
        loaded.plugin = plugin;
        loaded.error.clear();
    }
    return loaded.plugin->createRenderer();
}

QString errorString()
{
    return state().error;
}

bool isLoaded()
{
    return state().plugin != nullptr;
}

} // namespace QntMermaidPlugin
