#include "framework/styles/VRStyleRegistry.h"

#include "framework/base/VRConstants.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRHatching.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStyle.h"
#include "platform/AtomicFile.h"
#include "platform/NotificationCenter.h"
#include "platform/QntPaths.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QPixmap>

#include <algorithm>

namespace {
constexpr qint64 kMaxFileBytes = 256LL * 1024 * 1024;
constexpr int kMaxStyles = 100000;
constexpr int kMaxCategories = 10000;
constexpr int kMaxCategoryName = 200;

VRError error(const QString &message)
{
    return VRError{message};
}
} // namespace

VRStyleRegistry::VRStyleRegistry()
{
    m_categories.append({kVRDefaultCategoryName, {}});
    m_categories.append({recentlyUsedCategoryName(), {}});
}

VRStyleRegistry &VRStyleRegistry::sharedStyleRegistry()
{
    static VRStyleRegistry *registry = new VRStyleRegistry; // lives as long as the process
    return *registry;
}

QString VRStyleRegistry::recentlyUsedCategoryName()
{
    return QStringLiteral("Recently Used");
}

QString VRStyleRegistry::defaultRegistryPath()
{
    return QntPaths::applicationSupportFolder() + QStringLiteral("/Styles/Registry.styles");
}

QStringList *VRStyleRegistry::keysOf(const QString &category)
{
    for (auto &entry : m_categories) {
        if (entry.first == category)
            return &entry.second;
    }
    return nullptr;
}

const QStringList *VRStyleRegistry::keysOf(const QString &category) const
{
    for (const auto &entry : m_categories) {
        if (entry.first == category)
            return &entry.second;
    }
    return nullptr;
}

void VRStyleRegistry::flagPossibleUIChange()
{
    NotificationCenter::defaultCenter().post(kVRStyleRegistryDidFlagPossibleUIChange, this);
}

void VRStyleRegistry::addStyle(const VRStyleRef &style)
{
    // Filing a style in the library is no edit of any drawing: nothing goes on an undo stack.
    style->m_sharable = true;
    style->m_locked = true;
    style->setRegistered(true);
    const QString key = style->uniqueKey();
    if (const auto old = m_styles.value(key); old && old != style)
        old->setRegistered(false);
    m_styles.insert(key, style);
    QStringList *all = keysOf(kVRDefaultCategoryName);
    if (!all->contains(key))
        all->append(key);
}

void VRStyleRegistry::removeStyle(const QString &key)
{
    if (const VRStyleRef style = m_styles.take(key))
        style->setRegistered(false);
    for (auto &entry : m_categories)
        entry.second.removeAll(key);
}

void VRStyleRegistry::registerStyle(VRStyleRef style)
{
    if (!style)
        return;
    VRStyleRegistry &registry = sharedStyleRegistry();
    registry.addStyle(style);
    registry.flagPossibleUIChange();
}

void VRStyleRegistry::unregisterStyle(const VRStyleRef &style)
{
    if (!style)
        return;
    VRStyleRegistry &registry = sharedStyleRegistry();
    if (registry.m_styles.value(style->uniqueKey()) != style)
        return;
    registry.removeStyle(style->uniqueKey());
    registry.flagPossibleUIChange();
}

void VRStyleRegistry::resetRegistry()
{
    VRStyleRegistry &registry = sharedStyleRegistry();
    for (const VRStyleRef &style : std::as_const(registry.m_styles))
        style->setRegistered(false);
    registry.m_styles.clear();
    registry.m_categories.clear();
    registry.m_categories.append({kVRDefaultCategoryName, {}});
    registry.m_categories.append({recentlyUsedCategoryName(), {}});
    registry.flagPossibleUIChange();
}

void VRStyleRegistry::loadDefaults()
{
    VRStyleRegistry &registry = sharedStyleRegistry();
    const QString path = defaultRegistryPath();
    if (QFileInfo::exists(path)) {
        const VRResult<void> read = registry.readFromFile(path, ReplaceRegistry);
        if (read.ok())
            return;
        // The next save would replace the unreadable file: keep it aside instead of losing it.
        const QString aside =
            QFileInfo(path).absolutePath() + QStringLiteral("/Registry (unreadable).styles");
        QFile::remove(aside);
        QFile::rename(path, aside);
        qWarning("vr: the style library could not be read and was kept as \"%s\": %s",
                 qPrintable(aside), qPrintable(read.errorMessage()));
    }
    // Start from the standard library.
    for (const VRStyleRef &style : standardStyles()) {
        if (!registry.m_styles.contains(style->uniqueKey()))
            registry.addStyle(style);
    }
    registry.flagPossibleUIChange();
}

VRResult<void> VRStyleRegistry::saveDefaults()
{
    const QString path = defaultRegistryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return error(QStringLiteral("The folder for the style library could not be created."));
    return sharedStyleRegistry().writeToFile(path, true);
}

VRStyleRef VRStyleRegistry::styleForKeyAddingToRecentlyUsed(const QString &key)
{
    VRStyleRegistry &registry = sharedStyleRegistry();
    VRStyleRef style = registry.styleForKey(key);
    if (!style)
        return nullptr;
    QStringList *recent = registry.keysOf(recentlyUsedCategoryName());
    if (!recent) {
        registry.m_categories.append({recentlyUsedCategoryName(), {}});
        recent = &registry.m_categories.last().second;
    }
    recent->removeAll(key);
    recent->prepend(key);
    while (recent->size() > kRecentlyUsedCount)
        recent->removeLast();
    registry.flagPossibleUIChange();
    return style;
}

QList<VRStyleRef> VRStyleRegistry::standardStyles()
{
    QList<VRStyleRef> styles;
    auto make = [&](const QString &key, const QString &name) {
        auto style = VRStyle::create();
        style->setUniqueKey(key);
        style->setName(name);
        styles.append(style);
        return style;
    };
    make(QStringLiteral("QNT-STANDARD-BLACK-STROKE"), QStringLiteral("Black Stroke"))
        ->addRenderer(VRStroke::strokeWithWidth(1.0, Qt::black));
    auto basic = make(QStringLiteral("QNT-STANDARD-BASIC-SHAPE"), QStringLiteral("Basic Shape"));
    basic->addRenderer(VRFill::fillWithColour(Qt::white));
    basic->addRenderer(VRStroke::strokeWithWidth(1.0, Qt::black));
    auto blue = make(QStringLiteral("QNT-STANDARD-BLUE-FILL"), QStringLiteral("Blue Fill"));
    blue->addRenderer(VRFill::fillWithColour(QColor(164, 196, 240)));
    blue->addRenderer(VRStroke::strokeWithWidth(1.0, QColor(40, 80, 150)));
    auto shadowed =
        make(QStringLiteral("QNT-STANDARD-SHADOWED-BOX"), QStringLiteral("Shadowed Box"));
    auto shadowFill = VRFill::fillWithColour(QColor(255, 250, 220));
    shadowFill->setShadow(VRStyle::defaultShadow());
    shadowed->addRenderer(shadowFill);
    shadowed->addRenderer(VRStroke::strokeWithWidth(1.0, QColor(90, 90, 90)));
    auto gradient = make(QStringLiteral("QNT-STANDARD-GRADIENT"), QStringLiteral("Soft Gradient"));
    gradient->addRenderer(VRFill::fillWithGradient(VRGradient::gradientWithStartingColor(
        Qt::white, QColor(190, 205, 225), VRGradient::Linear, 90.0)));
    gradient->addRenderer(VRStroke::strokeWithWidth(1.0, QColor(80, 90, 110)));
    auto dashed = make(QStringLiteral("QNT-STANDARD-DASHED-LINE"), QStringLiteral("Dashed Line"));
    auto dashStroke = VRStroke::strokeWithWidth(1.0, Qt::black);
    dashStroke->setDash(VRStrokeDash::registeredDashes().first());
    dashed->addRenderer(dashStroke);
    auto arrow = make(QStringLiteral("QNT-STANDARD-ARROW"), QStringLiteral("Arrow"));
    auto arrowStroke = std::make_shared<VRArrowStroke>();
    arrowStroke->setArrowHeadAtEnd(1);
    arrow->addRenderer(arrowStroke);
    auto hatched = make(QStringLiteral("QNT-STANDARD-HATCHED"), QStringLiteral("Hatched"));
    hatched->addRenderer(VRFill::fillWithColour(Qt::white));
    hatched->addRenderer(std::make_shared<VRHatching>());
    hatched->addRenderer(VRStroke::strokeWithWidth(1.0, Qt::black));
    return styles;
}

VRStyleRef VRStyleRegistry::styleForKey(const QString &key) const
{
    return m_styles.value(key);
}

QString VRStyleRegistry::styleNameForKey(const QString &key) const
{
    const VRStyleRef style = styleForKey(key);
    return style ? style->name() : QString();
}

QStringList VRStyleRegistry::allCategories() const
{
    QStringList names;
    for (const auto &entry : m_categories)
        names.append(entry.first);
    return names;
}

QStringList VRStyleRegistry::allKeysInCategory(const QString &category) const
{
    const QStringList *keys = keysOf(category);
    return keys ? *keys : QStringList();
}

QStringList VRStyleRegistry::allSortedKeysInCategory(const QString &category) const
{
    QStringList keys = allKeysInCategory(category);
    std::stable_sort(keys.begin(), keys.end(), [this](const QString &a, const QString &b) {
        return QString::localeAwareCompare(styleNameForKey(a), styleNameForKey(b)) < 0;
    });
    return keys;
}

QList<VRStyleRef> VRStyleRegistry::objectsInCategory(const QString &category) const
{
    QList<VRStyleRef> styles;
    for (const QString &key : allKeysInCategory(category)) {
        if (VRStyleRef style = styleForKey(key))
            styles.append(style);
    }
    return styles;
}

bool VRStyleRegistry::keyExistsInCategory(const QString &key, const QString &category) const
{
    const QStringList *keys = keysOf(category);
    return keys && keys->contains(key);
}

void VRStyleRegistry::addCategory(const QString &category)
{
    if (category.isEmpty() || category.size() > kMaxCategoryName || keysOf(category))
        return;
    m_categories.append({category, {}});
    flagPossibleUIChange();
}

void VRStyleRegistry::removeCategory(const QString &category)
{
    if (category == kVRDefaultCategoryName)
        return;
    const auto before = m_categories.size();
    m_categories.removeIf([&](const auto &entry) { return entry.first == category; });
    if (m_categories.size() != before)
        flagPossibleUIChange();
}

void VRStyleRegistry::renameCategory(const QString &category, const QString &to)
{
    if (category == kVRDefaultCategoryName || to == kVRDefaultCategoryName || to.isEmpty()
        || to.size() > kMaxCategoryName || keysOf(to))
        return;
    for (auto &entry : m_categories) {
        if (entry.first == category) {
            entry.first = to;
            flagPossibleUIChange();
            return;
        }
    }
}

void VRStyleRegistry::addKey(const QString &key, const QString &toCategory, bool createCategory)
{
    if (!m_styles.contains(key) || toCategory == kVRDefaultCategoryName)
        return;
    QStringList *keys = keysOf(toCategory);
    if (!keys) {
        if (!createCategory || toCategory.isEmpty() || toCategory.size() > kMaxCategoryName)
            return;
        m_categories.append({toCategory, {}});
        keys = &m_categories.last().second;
    }
    if (!keys->contains(key))
        keys->append(key);
    flagPossibleUIChange();
}

void VRStyleRegistry::removeKey(const QString &key, const QString &fromCategory)
{
    if (fromCategory == kVRDefaultCategoryName)
        return;
    if (QStringList *keys = keysOf(fromCategory); keys && keys->removeAll(key) > 0)
        flagPossibleUIChange();
}

QMenu *VRStyleRegistry::managedStylesMenu(QWidget *parent,
                                          std::function<void(QAction *)> itemAction) const
{
    auto *menu = new QMenu(parent);
    for (const auto &entry : m_categories) {
        QMenu *submenu = menu->addMenu(entry.first);
        for (const QString &key : allSortedKeysInCategory(entry.first)) {
            const VRStyleRef style = styleForKey(key);
            if (!style)
                continue;
            QAction *action = submenu->addAction(
                QIcon(QPixmap::fromImage(style->styleSwatchWithSize(QSizeF(22, 22), -1))),
                style->name());
            action->setData(key);
            if (itemAction)
                QObject::connect(action, &QAction::triggered, action,
                                 [action, itemAction] { itemAction(action); });
        }
    }
    return menu;
}

VRResult<void> VRStyleRegistry::writeToFile(const QString &path, bool atomically) const
{
    QJsonObject images;
    QJsonArray styles;
    for (const QString &key : allKeysInCategory(kVRDefaultCategoryName)) {
        if (const VRStyleRef style = styleForKey(key))
            styles.append(style->toJson(images));
    }
    QJsonArray categories;
    for (const auto &entry : m_categories)
        categories.append(
            QJsonObject{{"name", entry.first}, {"keys", QJsonArray::fromStringList(entry.second)}});
    const QJsonObject root{{"format", "quintora.styles"},
                           {"version", 1},
                           {"categories", categories},
                           {"styles", styles},
                           {"images", images}};
    const QByteArray data = QJsonDocument(root).toJson(QJsonDocument::Indented);
    if (atomically) {
        if (const auto why = AtomicFile::write(path, data))
            return error(QStringLiteral("The style library could not be saved to \"%1\": %2")
                             .arg(path, *why));
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size())
        return error(QStringLiteral("The style library could not be saved to \"%1\": %2")
                         .arg(path, file.errorString()));
    return {};
}

VRResult<void> VRStyleRegistry::readFromFile(const QString &path, int mergeOptions,
                                             VRStyleMergeDelegate *mergeDelegate)
{
    if (mergeOptions < ReplaceRegistry || mergeOptions > KeepExisting)
        return error(QStringLiteral("Unknown merge option %1.").arg(mergeOptions));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return error(QStringLiteral("The style library \"%1\" could not be opened: %2")
                         .arg(path, file.errorString()));
    if (file.size() > kMaxFileBytes)
        return error(QStringLiteral("The style library \"%1\" is too large.").arg(path));
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return error(QStringLiteral("The style library \"%1\" is not a readable file: %2")
                         .arg(path, parseError.error != QJsonParseError::NoError
                                        ? parseError.errorString()
                                        : QStringLiteral("no JSON object")));
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("format")).toString() != QLatin1String("quintora.styles"))
        return error(QStringLiteral("The file \"%1\" is not a Quintora style library.").arg(path));
    const QJsonValue version = root.value(QStringLiteral("version"));
    if (!version.isDouble() || version.toDouble() < 1
        || version.toDouble() != std::floor(version.toDouble()))
        return error(QStringLiteral("version: expected a whole number of at least 1"));
    if (version.toDouble() > 1)
        return error(QStringLiteral("This style library was made by a newer version of Quintora."));

    const QJsonObject images = root.value(QStringLiteral("images")).toObject();
    const QJsonValue stylesValue = root.value(QStringLiteral("styles"));
    if (!stylesValue.isArray() || stylesValue.toArray().size() > kMaxStyles)
        return error(
            QStringLiteral("styles: expected a list of at most %1 style records").arg(kMaxStyles));
    QList<VRStyleRef> incoming;
    QHash<QString, VRStyleRef> incomingByKey;
    const auto decoded = std::make_shared<VRStyleCoding::DecodedImages>();
    const QJsonArray styles = stylesValue.toArray();
    for (qsizetype i = 0; i < styles.size(); ++i) {
        const QString where = QStringLiteral("styles[%1]").arg(i);
        if (!styles.at(i).isObject())
            return error(where + QStringLiteral(": expected a style record"));
        const QJsonObject record = styles.at(i).toObject();
        if (!record.value(QStringLiteral("key")).isString()
            || record.value(QStringLiteral("key")).toString().isEmpty())
            return error(where + QStringLiteral(".key: expected the style's key"));
        auto style = VRStyle::fromJson(record, images, where, decoded);
        if (!style)
            return error(style.errorMessage());
        if (incomingByKey.contains(style.value()->uniqueKey()))
            return error(where + QStringLiteral(".key: the key is used twice"));
        incoming.append(style.value());
        incomingByKey.insert(style.value()->uniqueKey(), style.value());
    }
    QList<std::pair<QString, QStringList>> categories;
    const QJsonValue categoriesValue = root.value(QStringLiteral("categories"));
    if (!categoriesValue.isUndefined()) {
        const QJsonArray list = categoriesValue.toArray();
        if (!categoriesValue.isArray() || list.size() > kMaxCategories)
            return error(QStringLiteral("categories: expected a list of at most %1 categories")
                             .arg(kMaxCategories));
        for (qsizetype i = 0; i < list.size(); ++i) {
            const QString where = QStringLiteral("categories[%1]").arg(i);
            const QJsonObject entry = list.at(i).toObject();
            const QString name = entry.value(QStringLiteral("name")).toString();
            if (!list.at(i).isObject() || name.isEmpty() || name.size() > kMaxCategoryName)
                return error(where
                             + QStringLiteral(".name: expected a name of 1 to %1 characters")
                                   .arg(kMaxCategoryName));
            const QJsonValue keysValue = entry.value(QStringLiteral("keys"));
            if (!keysValue.isArray())
                return error(where + QStringLiteral(".keys: expected a list of style keys"));
            QStringList keys;
            const QJsonArray keyList = keysValue.toArray();
            for (qsizetype k = 0; k < keyList.size(); ++k) {
                if (!keyList.at(k).isString() || !incomingByKey.contains(keyList.at(k).toString()))
                    return error(
                        where
                        + QStringLiteral(".keys[%1]: expected the key of a style in the file")
                              .arg(k));
                if (!keys.contains(keyList.at(k).toString()))
                    keys.append(keyList.at(k).toString());
            }
            categories.append({name, keys});
        }
    }

    // The file is sound: apply it.
    if (mergeOptions == ReplaceRegistry) {
        for (const VRStyleRef &style : std::as_const(m_styles))
            style->setRegistered(false);
        m_styles.clear();
        m_categories.clear();
        m_categories.append({kVRDefaultCategoryName, {}});
        m_categories.append({recentlyUsedCategoryName(), {}});
    }
    for (const VRStyleRef &style : std::as_const(incoming)) {
        const VRStyleRef existing = m_styles.value(style->uniqueKey());
        if (existing) {
            std::optional<bool> replace =
                mergeDelegate ? mergeDelegate->shouldReplaceStyle(existing, style) : std::nullopt;
            if (!replace.value_or(mergeOptions != KeepExisting))
                continue;
            existing->setRegistered(false);
        }
        addStyle(style);
    }
    for (const auto &entry : std::as_const(categories)) {
        if (entry.first == kVRDefaultCategoryName)
            continue; // it holds every registered style anyway
        QStringList *keys = keysOf(entry.first);
        if (!keys) {
            m_categories.append({entry.first, {}});
            keys = &m_categories.last().second;
        }
        for (const QString &key : entry.second) {
            if (!keys->contains(key) && m_styles.contains(key))
                keys->append(key);
        }
        if (entry.first == recentlyUsedCategoryName()) {
            while (keys->size() > kRecentlyUsedCount)
                keys->removeLast();
        }
    }
    flagPossibleUIChange();
    return {};
}
