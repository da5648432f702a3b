#include "library/mermaid/QntMermaidPlugin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QOpenGLContext>
#include <QPluginLoader>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcMermaidPlugin, "quintora.mermaid.plugin")

// Exported by Qt GUI for the modules that share its OpenGL context (declared in a private header).
Q_GUI_EXPORT QOpenGLContext *qt_gl_global_share_context();
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);

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

void prepareSharedOpenGLContext()
{
    if (!QGuiApplication::instance() || qt_gl_global_share_context())
        return;
    // What the application object does at its start when it is asked to share contexts.
    auto *context = new QOpenGLContext(QGuiApplication::instance());
    context->setFormat(QSurfaceFormat::defaultFormat());
    if (!context->create())
        qCInfo(lcMermaidPlugin) << "no OpenGL context to share: the web engine draws in software";
    qt_gl_set_global_share_context(context);
    QObject::connect(context, &QObject::destroyed, [] { qt_gl_set_global_share_context(nullptr); });
    // Set late on purpose: the web engine checks it, and finds the context made above.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
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
        // The web engine starts as its library is loaded; a file that is no plugin at all (its
        // description is read without loading it) gets no context.
        if (!loader.metaData().isEmpty())
            prepareSharedOpenGLContext();
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
