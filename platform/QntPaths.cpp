#include "platform/QntPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>

namespace QntPaths {

namespace {

QString xdgFolder(const char *variable, const QString &fallbackBelowHome)
{
    QString base = qEnvironmentVariable(variable);
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QLatin1Char('/') + fallbackBelowHome;
    return QDir::cleanPath(base + QStringLiteral("/Quintora"));
}

} // namespace

QString bundleResourcesPath()
{
    const QString overridden = qEnvironmentVariable("QNT_BUNDLE_DIR");
    if (!overridden.isEmpty())
        return QDir::cleanPath(overridden);
    QString exeDir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                  : QFileInfo(QStringLiteral("/proc/self/exe"))
                                                        .symLinkTarget()
                                                        .section(QLatin1Char('/'), 0, -2);
    return QDir::cleanPath(exeDir + QStringLiteral("/../share/quintora"));
}

QString applicationSupportFolder()
{
    return xdgFolder("XDG_DATA_HOME", QStringLiteral(".local/share"));
}

QString cachesFolder()
{
    return xdgFolder("XDG_CACHE_HOME", QStringLiteral(".cache"));
}

QString configFolder()
{
    return xdgFolder("XDG_CONFIG_HOME", QStringLiteral(".config"));
}

QString safeFileName(const QString &name)
{
    QString out;
    for (const QChar c : name) {
        if ((c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char(' ')
            || c == QLatin1Char('_') || c == QLatin1Char('-') || c == QLatin1Char('.'))
            out.append(c);
    }
    // Dots and spaces go together: " .x" must not become the hidden ".x".
    qsizetype start = 0;
    while (start < out.size()
           && (out.at(start) == QLatin1Char('.') || out.at(start) == QLatin1Char(' ')))
        ++start;
    return out.mid(start, 100).trimmed();
}

} // namespace QntPaths
