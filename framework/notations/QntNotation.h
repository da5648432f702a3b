#pragma once

#include "framework/base/VRTypes.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class FMDatabase;
class QObject;
class QWidget;
class QntNotation;

using QntNotationRef = std::shared_ptr<QntNotation>;

// One element of a notation list; the shape library reads its elementId and tooltip.
struct QntElementRecord {
    QString elementId;
    QString title;
    QString list;
    QString tooltip;
    VRObjectRef prototype;
    int direction = -1;
};

struct QntArrowheadRecord {
    QString elementId;
    bool present = true;
    QString placement; // "StartOnly", "EndOnly", else both ends
};

struct QntConnectorRecord {
    QString connectorId;
    QString title;
    double thickness = 0.0;
};

struct QntColorSchemeData {
    qint64 schemeId = 0;
    QString name;
    QColor colour;
};

struct QntColorSchemeItemRecord {
    qint64 itemId = 0;
    qint64 schemeId = 0;
    QColor colour;
    QString comment;
};

// A shape library: one SQLite database with parameters, element prototypes and lists, connector
// bodies and arrowheads, colour schemes and imported elements. Opened read-only; the writers open
// their own read-write connection, change the file inside one transaction and leave the reader
// connection to see the result.
class QntNotation
{
public:
    // The four colour item tables, by the names the colour-scheme editor passes.
    static const QStringList &colorSchemeItemTables();
    static constexpr int kSchemaVersion = 1;

    // ---- folders and the set of notations ----
    static QString rootNotationsFolderPath();
    static QString rootNotationsSrcFolderPath();
    // The shipped databases: the bundle's Notations folder.
    static QString bundleNotationsFolderPath();
    // Copies every shipped database into the user's folder when missing there or older
    // (PRAGMA user_version); Imported/ and ImageBank/ are never touched. A failure names what
    // could not be copied (the rest is still copied). installed, when given, gets the paths
    // (relative to the folder) of the databases copied.
    static VRResult<void>
    copyNotationsFromBundleToAppSupportFolder(QStringList *installed = nullptr);
    // A damaged database of the user's notations folder, moved out of the way so it is neither
    // read nor overwritten: keptAs is its new name beside the old one (empty when it could not
    // be moved); problem says what is wrong with it.
    struct SetAsideNotation {
        QString path;
        QString keptAs;
        QString problem;
    };
    // Sets aside every damaged database below the root (a database of a newer version is not
    // damaged, and an empty file counts as missing). Run before the shipped ones are copied,
    // which then puts the shipped database back in the place of a damaged one.
    static QList<SetAsideNotation> setAsideDamagedNotations();
    // Whether the database at the path is one the bundle ships (and so can be put back).
    static bool isShippedNotation(const QString &path);
    // Every .db below the root, sorted; "notationPath" (home-relative), "notationName" (file name).
    static QList<QVariantMap> notations();
    static QList<QntNotationRef> notationsFromPath(const QString &folder);
    // Home-relative or absolute; a cached instance per canonical path.
    static QntNotationRef notationWithPath(const QString &path);
    static QString absolutePathForNotationPath(const QString &homeRelativeOrAbsolute);
    static QString homeRelativePath(const QString &absolutePath);

    // ---- whole-database writers ----
    // Imported/<sanitised name>.db made from the base notation (or the template
    // Misc/CustomizableStyle.db), holding the objects as imported elements. Replaces an earlier
    // import of that name atomically. The path of the new database.
    // progress, when given, is told each element written (done of total) and is asked once
    // more, with done = total, right before the new file takes its place; a false answer at any
    // call cancels the import and leaves no file behind. Any thread.
    using ImportProgress = std::function<bool(qsizetype done, qsizetype total)>;
    static VRResult<QString> importIntoDB(const QString &fileName, const VRObjectList &objects,
                                          const QByteArray &icon,
                                          const QString &baseNotationFilename,
                                          const ImportProgress &progress = {});
    // Adds one element to the imported elements of an existing notation database.
    static VRResult<void> insertIntoDB(const QString &databasePath, const VRObjectRef &element);
    // Developer maintenance: rebuilds the user's copies of the shipped databases from the notation
    // sources named by QNT_NOTATION_SOURCE_DIR (only in debug builds; rewriteAll also replaces
    // copies the user changed). Does nothing otherwise.
    static void loadAllToDB(bool rewriteAll);
    // The built-in libraries: "Office", "Network", "Misc", "Apple".
    static QStringList builtinLibraryNames();
    // The built-in libraries' elements of one list, from Misc/BuiltinLibraries.db below the root.
    static QList<QntElementRecord> builtinLibraryElementsList(const QString &listName);
    // Hands those lists to the shared tool registry as its Office, Network, Misc and Apple
    // prototypes. The application does it at launch, after installing the notations. GUI thread.
    static void registerBuiltinLibraries();

    // The object record under the key (the pasteboard's object format) and back.
    static QByteArray vrObject(const VRObjectRef &object, const QString &asXMLDataForKey);
    static VRObjectRef vrObjectWithData(const QByteArray &data);

    // ---- schema ----
    // Creates every table of the notation schema in an empty database and sets user_version.
    static VRResult<void> createSchema(FMDatabase &db);
    // Empty when the open database is a readable notation; else a sentence saying why not.
    static QString checkDatabase(FMDatabase &db);
    // checkDatabase for a database file: one that passed it whole in this process and has not
    // changed since (the same file, of the same size and times) is not read through again.
    static QString checkDatabaseFile(FMDatabase &db);
    // While one lives, checkDatabaseFile() leaves out reading a file through for damage: the
    // file opens, is not newer and has the notation tables. For listing notations (names and
    // icons) before setAsideDamagedNotations() has read them through.
    class ReadThroughDeferred
    {
    public:
        ReadThroughDeferred();
        ~ReadThroughDeferred();
        ReadThroughDeferred(const ReadThroughDeferred &) = delete;
        ReadThroughDeferred &operator=(const ReadThroughDeferred &) = delete;
    };
    // checkDatabase's answer for a sound database made by a newer version.
    static QString newerVersionProblem();

    explicit QntNotation(const QString &homeRelativeOrAbsolutePath);
    // The notation whose database file holds these bytes, read from a private copy in memory
    // with the same checks and readers as the file; its writes change the copy alone. The path
    // names it, as the file's would.
    QntNotation(const QByteArray &bytes, const QString &homeRelativeOrAbsolutePath);
    ~QntNotation();
    QntNotation(const QntNotation &) = delete;
    QntNotation &operator=(const QntNotation &) = delete;

    bool isValid() const { return m_valid; }
    // Why the notation could not be opened; empty when valid.
    QString errorMessage() const { return m_error; }

    QString notationName() const;
    void setNotationName(const QString &name);
    // Home-relative when the file is below the home folder, else absolute.
    QString notationPath() const;
    QString absolutePath() const { return m_path; }

    QString stringParamForKey(const QString &key) const; // null when absent
    QByteArray blobParamForKey(const QString &key) const;
    bool isCustomizable() const;
    bool isEditable() const;
    QImage icon() const;

    // ---- element lists (OrderNumber order) ----
    QList<QntElementRecord> elementsList(const QString &listName) const;
    QList<QntElementRecord> shapeElementsList() const;
    QList<QntElementRecord> textElementsList() const;
    QList<QntElementRecord> flowChartElementsList() const;
    QList<QntElementRecord> separatorElementsList() const;
    QList<QntElementRecord> shortArrowElementsList() const;
    QList<QntElementRecord> arrowElementsList() const;
    QList<QntElementRecord> shortVerticalArrowElementsListForDirection(int direction) const;
    QList<QntElementRecord> shortHorizontalArrowElementsListForDirection(int direction) const;
    QList<QntElementRecord> verticalArrowElementsListForDirection(int direction) const;
    QList<QntElementRecord> horizontalArrowElementsListForDirection(int direction) const;
    QList<QntElementRecord> importedElementsList() const;
    QList<QntElementRecord> importedElementsListWithSheet(QWidget *sheet, QWidget *parentWindow,
                                                          QObject *delegate) const;
    QList<QntElementRecord> allElementsAsPrototypesList() const;
    // The stored prototype of an element id (Elements first, then ImportedElements); the caller
    // gets its own copy. Null when unknown.
    VRObjectRef prototypeForElementId(const QString &elementId) const;
    QByteArray elementDataForId(const QString &elementId) const;
    bool existElementWithId(const QString &elementId) const;

    // Both fail when the notation has no imported element with the prototype's id.
    VRResult<void> removeImportedElement(const VRObjectRef &prototype);
    VRResult<void> updateImportedElement(const VRObjectRef &prototype);
    // Puts the imported elements in the order of the ids (ids not named keep their order after
    // them); one transaction.
    VRResult<void> reorderImportedElements(const QStringList &ids);
    bool proportionalReziseForElementId(const QString &elementId) const;

    // ---- colour schemes: readers ----
    QVariantMap colorSchemes() const;
    QVariantList colorSchemesDic() const;
    QList<QntColorSchemeData> colorSchemesList() const;
    QList<QntColorSchemeItemRecord> colorSchemesItemsFill(qint64 schemeId) const;
    QList<QntColorSchemeItemRecord> colorSchemesItemsStroke(qint64 schemeId) const;
    QList<QntColorSchemeItemRecord> colorSchemesItemsGradientStops(qint64 schemeId) const;
    QList<QntColorSchemeItemRecord> colorSchemesItemsText(qint64 schemeId) const;
    QList<QntColorSchemeItemRecord> colorSchemesItems(const QString &tableName,
                                                      qint64 schemeId) const;
    // One colour of a built-in scheme; invalid when absent or "#". alpha gets the stored alpha.
    QColor colorSchemeItemColour(qint64 schemeId, const QString &itemsType, int index,
                                 double *alpha = nullptr) const;
    qint64 defaultColorSchemeId() const;
    void populateCache(QVariantMap &cache, const QString &colorType) const;
    bool isFillTableCellBackgroundColor(const QString &hex, qint64 schemeId) const;
    bool isStrokeTableGridColor(const QString &hex, qint64 schemeId) const;
    QColor defaultColorText(qint64 schemeId) const;
    QColor iconColor(qint64 schemeId) const;
    QList<QColor> colorSchemesTextColors(qint64 schemeId) const;
    QList<QColor> colorSchemesColors() const;
    QList<QColor> tableGridColors() const;
    QList<QColor> tableColors() const;
    QList<QColor> connectorColors() const;

    // ---- colour schemes: writers (each one transaction; a failure changes nothing) ----
    VRResult<void> updateColorSchemesItemsTable(const QVariantMap &params);
    VRResult<void> updateColorSchemesTable(const QVariantMap &params);
    VRResult<qint64> duplicateColorScheme(qint64 schemeId); // the new scheme's id
    VRResult<void> removeColorScheme(qint64 schemeId);
    VRResult<void> addColorSchemesItems(const QList<qint64> &schemeIds, const QString &tableName);
    VRResult<void> removeColorSchemesItems(const QString &tableName, qint64 colorSchemeId,
                                           const QString &colorValue);
    VRResult<void> updateColorSchemesOrderNumber(const QVariantList &schemes);
    VRResult<void> exportColorSchemes(const QString &path) const;

    // ---- connectors ----
    QList<QntConnectorRecord> connectorsList(int kind) const;
    QList<QntArrowheadRecord> arrowheadsList(const QString &connectorId) const;
    QString defaultArrowIdAsStart(bool asStart, const QString &forConnectorWithId) const;
    QString defaultConnectorId() const;
    int lengthKindForArrowId(const QString &arrowId) const;
    bool existConnectorWithId(const QString &connectorId) const;
    double connectorThickness(const QString &connectorId) const;

private:
    // Takes the connection opened for the notation and checks it; valid when it passes.
    // isFile: the database is the file at the notation's path, not a copy in memory.
    void adopt(std::unique_ptr<FMDatabase> db, bool isFile);
    // readThrough: with every page of the file read for damage.
    static QString checkDatabase(FMDatabase &db, bool readThrough);
    FMDatabase *reader() const;
    // Runs fn inside a transaction on a fresh read-write connection; rolls back when it fails.
    VRResult<void> write(const std::function<VRResult<void>(FMDatabase &)> &fn);
    QList<QntElementRecord> readElements(const QString &sql, const QVariantList &args) const;
    QList<QntElementRecord> arrowsForDirection(const QString &list, bool vertical,
                                               int direction) const;
    QList<QColor> paletteColors(const QString &kind) const;
    void invalidateCaches();

    QString m_path;
    QString m_name;
    bool m_valid = false;
    bool m_inMemory = false;
    QString m_error;
    mutable std::unique_ptr<FMDatabase> m_db;
    mutable QMutex m_paramsMutex;
    mutable std::optional<QVariantMap> m_stringParams;
};
