#include "app/common/QntApplicationStyle.h"

#include "platform/ImageResources.h"

#include <QApplication>
#include <QStyleFactory>

namespace {

struct StandardPictures {
    QStyle::StandardPixmap kind;
    // The desktop theme's icon, which the style takes first when there is one.
    const char *themeName;
    const char *picture;
    const char *rightToLeftPicture;
    const char *openPicture;
    std::initializer_list<int> sizes;
};

// Qt's own pictures for the standard icons they stand for, as its common style adds them.
const StandardPictures kPictures[] = {
    {QStyle::SP_DirIcon, "folder", "dirclosed", nullptr, "diropen", {16, 32, 128}},
    {QStyle::SP_FileDialogDetailedView,
     "view-list-details",
     "viewdetailed",
     nullptr,
     nullptr,
     {16, 32, 128}},
    {QStyle::SP_FileDialogListView, "view-list-text", "viewlist", nullptr, nullptr, {16, 32, 128}},
    {QStyle::SP_BrowserReload, "view-refresh", "refresh", nullptr, nullptr, {24, 32}},
    {QStyle::SP_ToolBarHorizontalExtensionButton,
     nullptr,
     "toolbar-ext-h",
     "toolbar-ext-h-rtl",
     nullptr,
     {8, 16, 32}},
    {QStyle::SP_ToolBarVerticalExtensionButton,
     nullptr,
     "toolbar-ext-v",
     nullptr,
     nullptr,
     {5, 10, 20}},
};

QStringList picturePaths(const char *name, std::initializer_list<int> sizes)
{
    QStringList paths;
    if (!name)
        return paths;
    for (const int size : sizes)
        paths << QStringLiteral(":/qt-project.org/styles/commonstyle/images/%1-%2.png")
                     .arg(QLatin1String(name))
                     .arg(size);
    return paths;
}

} // namespace

QntApplicationStyle::QntApplicationStyle(const QString &key)
    : QProxyStyle(key)
{
}

void QntApplicationStyle::install()
{
    // Fusion's standard icons are the common style's pictures; other styles draw their own.
    const QString key = QApplication::style() ? QApplication::style()->name() : QString();
    if (key.compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0)
        return;
    QApplication::setStyle(new QntApplicationStyle(key));
}

QIcon QntApplicationStyle::standardIcon(StandardPixmap kind, const QStyleOption *option,
                                        const QWidget *widget) const
{
    const bool rightToLeft =
        (option && option->direction == Qt::RightToLeft)
        || (!option && (widget ? widget->isRightToLeft() : QApplication::isRightToLeft()));
    for (const StandardPictures &entry : kPictures) {
        if (entry.kind != kind)
            continue;
        if (entry.themeName && !QIcon::themeName().isEmpty()
            && QIcon::hasThemeIcon(QLatin1String(entry.themeName)))
            break;
        const bool mirrored = rightToLeft && entry.rightToLeftPicture;
        const int cacheKey = int(kind) * 2 + (mirrored ? 1 : 0);
        if (const auto known = m_icons.constFind(cacheKey); known != m_icons.cend())
            return *known;
        const QIcon icon = ImageResources::iconFromFiles(
            picturePaths(mirrored ? entry.rightToLeftPicture : entry.picture, entry.sizes),
            picturePaths(entry.openPicture, entry.sizes));
        if (icon.isNull())
            break;
        m_icons.insert(cacheKey, icon);
        return icon;
    }
    return QProxyStyle::standardIcon(kind, option, widget);
}
