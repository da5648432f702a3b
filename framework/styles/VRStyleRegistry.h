#pragma once

#include "framework/base/VRTypes.h"
#include "framework/styles/VRStyleMergeDelegate.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>

class QAction;
class QMenu;
class QWidget;

// The style library: registered styles by uniqueKey, filed in named categories. The default
// category holds every registered style; "Recently Used" keeps the last ten looked up. Saved
// to and merged from .styles files. Every change posts kVRStyleRegistryDidFlagPossibleUIChange.
class VRStyleRegistry : public QObject
{
    Q_OBJECT

public:
    enum MergeOption { ReplaceRegistry = 0, ReplaceSameKeys = 1, KeepExisting = 2 };
    static constexpr int kRecentlyUsedCount = 10;

    static VRStyleRegistry &sharedStyleRegistry();
    static QString recentlyUsedCategoryName();
    // The registry file in the user's Application Support folder.
    static QString defaultRegistryPath();

    // Registering locks the style, makes it sharable and files it in the default category.
    static void registerStyle(VRStyleRef style);
    static void unregisterStyle(const VRStyleRef &style);
    static void resetRegistry();
    // Reads the user's registry file; without a readable one, installs the standard styles.
    static void loadDefaults();
    static VRResult<void> saveDefaults();
    static VRStyleRef styleForKeyAddingToRecentlyUsed(const QString &key);
    // The standard library every new user starts with.
    static QList<VRStyleRef> standardStyles();

    VRStyleRef styleForKey(const QString &key) const;
    VRStyleRef objectForKey(const QString &key) const { return styleForKey(key); }
    QString styleNameForKey(const QString &key) const;
    int count() const { return static_cast<int>(m_styles.size()); }

    QStringList allCategories() const;
    QStringList allKeysInCategory(const QString &category) const;
    QStringList allSortedKeysInCategory(const QString &category) const;
    QList<VRStyleRef> objectsInCategory(const QString &category) const;
    bool keyExistsInCategory(const QString &key, const QString &category) const;
    void addCategory(const QString &category);
    void removeCategory(const QString &category);
    void renameCategory(const QString &category, const QString &to);
    void addKey(const QString &key, const QString &toCategory, bool createCategory);
    void removeKey(const QString &key, const QString &fromCategory);

    // One submenu per category; items carry the style's name, swatch and key (data()).
    QMenu *managedStylesMenu(QWidget *parent, std::function<void(QAction *)> itemAction) const;

    VRResult<void> writeToFile(const QString &path, bool atomically) const;
    // All or nothing: a refused file leaves the registry as it was.
    VRResult<void> readFromFile(const QString &path, int mergeOptions,
                                VRStyleMergeDelegate *mergeDelegate = nullptr);

private:
    VRStyleRegistry();
    void addStyle(const VRStyleRef &style);
    void removeStyle(const QString &key);
    void flagPossibleUIChange();
    QStringList *keysOf(const QString &category);
    const QStringList *keysOf(const QString &category) const;

    QHash<QString, VRStyleRef> m_styles;
    QList<std::pair<QString, QStringList>> m_categories; // ordered; the default category first
};
