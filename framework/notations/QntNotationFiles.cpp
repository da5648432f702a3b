// QntNotation: notation folders, the open-notation cache, installing, importing whole files.
#include "framework/notations/QntNotation.h"

#include "framework/notations/FMDatabase.h"
#include "framework/notations/QntNotationArchive.h"
#include "framework/notations/QntNotationCompiler.h"
#include "platform/AtomicFile.h"
#include "platform/QntPaths.h"

#include "framework/view/VRToolRegistry.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>

#include <cstdio>

Q_DECLARE_LOGGING_CATEGORY(lcNotation)

namespace {

QMutex g_cacheMutex;
QHash<QString, std::weak_ptr<QntNotation>> &notationCache()
{
    static QHash<QString, std::weak_ptr<QntNotation>> cache;
    return cache;
}

int userVersionOfFile(const QString &path)
{
    FMDatabase db(path);
    if (!db.openReadOnly())
        return -1;
    return db.userVersion();
}

// Every notation database below folder, in path order.
QStringList sortedDatabasePaths(const QString &folder)
{
    QStringList paths;
    QDirIterator it(folder, {QStringLiteral("*.db")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    std::sort(paths.begin(), paths.end());
    return paths;
}

} // namespace

// ---------------------------------------------------------------- folders

QString QntNotation::rootNotationsFolderPath()
{
    return QntPaths::applicationSupportFolder() + QStringLiteral("/Notations");
}

QString QntNotation::rootNotationsSrcFolderPath()
{
    // One folder for the palette, the image bank and the templates, so they always agree.
    return rootNotationsFolderPath();
}

QString QntNotation::bundleNotationsFolderPath()
{
    return QntPaths::bundleResourcesPath() + QStringLiteral("/Notations");
}

VRResult<void> QntNotation::copyNotationsFromBundleToAppSupportFolder(QStringList *installed)
{
    const QString source = bundleNotationsFolderPath();
    const QString target = rootNotationsFolderPath();
    QStringList failures;
    if (!QDir().mkpath(target))
        failures << QStringLiteral("cannot create %1").arg(target);
    QDirIterator it(source, {QStringLiteral("*.db")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString from = it.next();
        const QString relative = QDir(source).relativeFilePath(from);
        // The user's own folders are never shipped, but never overwrite them either.
        if (relative.startsWith(QLatin1String("Imported/"))
            || relative.startsWith(QLatin1String("ImageBank/")))
            continue;
        const QString to = target + QLatin1Char('/') + relative;
        if (QFileInfo::exists(to)) {
            const int have = userVersionOfFile(to);
            const int shipped = userVersionOfFile(from);
            if (have >= 0 && have >= shipped && QFileInfo(to).size() > 0)
                continue;
        }
        QDir().mkpath(QFileInfo(to).absolutePath());
        // Copy beside the target, then rename over it: a reader never sees half a database.
        const QString temporary = to + QStringLiteral(".part");
        QFile::remove(temporary);
        if (!QFile::copy(from, temporary)) {
            failures << QStringLiteral("cannot copy %1").arg(relative);
            continue;
        }
        QFile::setPermissions(temporary, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                             | QFile::ReadOther);
        AtomicFile::syncFile(temporary);
        QFile::remove(to);
        if (!QFile::rename(temporary, to)) {
            QFile::remove(temporary);
            failures << QStringLiteral("cannot install %1").arg(relative);
            continue;
        }
        AtomicFile::syncFolder(QFileInfo(to).absolutePath());
        if (installed)
            installed->append(relative);
    }
    {
        QMutexLocker lock(&g_cacheMutex);
        notationCache().clear();
    }
    if (!failures.isEmpty()) {
        const QString message = QStringLiteral("Some notations could not be installed: %1.")
                                    .arg(failures.join(QStringLiteral("; ")));
        qCWarning(lcNotation).noquote() << message;
        return VRError{message};
    }
    return {};
}

QList<QntNotation::SetAsideNotation> QntNotation::setAsideDamagedNotations()
{
    const QStringList paths = sortedDatabasePaths(QntNotation::rootNotationsFolderPath());
    QList<SetAsideNotation> result;
    for (const QString &path : std::as_const(paths)) {
        if (QFileInfo(path).size() == 0)
            continue;
        QString problem;
        {
            FMDatabase db(path);
            db.openReadOnly();
            problem = checkDatabaseFile(db);
            // Only a file that cannot be read as a notation is damaged: a newer one is kept.
            if (problem.isEmpty() || problem == newerVersionProblem())
                continue;
        }
        QString keptAs = path + QStringLiteral(".damaged");
        for (int n = 2; QFileInfo::exists(keptAs); ++n)
            keptAs = path + QStringLiteral(".damaged-%1").arg(n);
        if (QFile::rename(path, keptAs))
            AtomicFile::syncFolder(QFileInfo(path).absolutePath());
        else
            keptAs.clear();
        qCWarning(lcNotation).noquote()
            << "the notation" << path << "is damaged (" << problem << ");"
            << (keptAs.isEmpty() ? QStringLiteral("it could not be set aside")
                                 : QStringLiteral("set it aside as ") + keptAs);
        result.append({path, keptAs, problem});
    }
    if (!result.isEmpty()) {
        QMutexLocker lock(&g_cacheMutex);
        notationCache().clear();
    }
    return result;
}

bool QntNotation::isShippedNotation(const QString &path)
{
    const QString relative = QDir(rootNotationsFolderPath()).relativeFilePath(path);
    if (relative.startsWith(QLatin1String("Imported/"))
        || relative.startsWith(QLatin1String("ImageBank/"))
        || relative.startsWith(QLatin1String("../")))
        return false;
    return QFileInfo(bundleNotationsFolderPath() + QLatin1Char('/') + relative).isFile();
}

QString QntNotation::absolutePathForNotationPath(const QString &path)
{
    if (path.isEmpty())
        return {};
    if (QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
    QString relative = path;
    if (relative.startsWith(QLatin1String("~/")))
        relative = relative.mid(2);
    return QDir::cleanPath(QDir::homePath() + QLatin1Char('/') + relative);
}

QString QntNotation::homeRelativePath(const QString &absolutePath)
{
    const QString home = QDir::cleanPath(QDir::homePath());
    const QString clean = QDir::cleanPath(absolutePath);
    if (clean.startsWith(home + QLatin1Char('/')))
        return clean.mid(home.size() + 1);
    return clean;
}

QList<QVariantMap> QntNotation::notations()
{
    const QStringList paths = sortedDatabasePaths(QntNotation::rootNotationsFolderPath());
    QList<QVariantMap> result;
    for (const QString &path : std::as_const(paths)) {
        result.append(QVariantMap{
            {QStringLiteral("notationPath"), homeRelativePath(path)},
            {QStringLiteral("notationName"), QFileInfo(path).fileName()},
        });
    }
    return result;
}

QList<QntNotationRef> QntNotation::notationsFromPath(const QString &folder)
{
    QDir dir(absolutePathForNotationPath(folder));
    const QStringList names = dir.entryList({QStringLiteral("*.db")}, QDir::Files, QDir::Name);
    QList<QntNotationRef> result;
    for (const QString &name : names) {
        auto notation = notationWithPath(dir.filePath(name));
        if (notation && notation->isValid())
            result.append(notation);
    }
    return result;
}

QntNotationRef QntNotation::notationWithPath(const QString &path)
{
    const QString absolute = absolutePathForNotationPath(path);
    if (absolute.isEmpty())
        return {};
    const QFileInfo info(absolute);
    const QString key = info.exists() ? info.canonicalFilePath() : absolute;
    QMutexLocker lock(&g_cacheMutex);
    if (auto cached = notationCache().value(key).lock()) {
        // A file replaced behind our back (a new import) is opened again.
        if (cached->isValid() && QFileInfo::exists(key))
            return cached;
    }
    auto notation = std::make_shared<QntNotation>(absolute);
    notationCache().insert(key, notation);
    return notation;
}

VRResult<void> QntNotation::insertIntoDB(const QString &databasePath, const VRObjectRef &element)
{
    auto fail = [](const QString &message) -> VRResult<void> {
        qCWarning(lcNotation).noquote() << message;
        return VRError{message};
    };
    const QString id = QntNotationArchive::elementId(element);
    const QByteArray data = QntNotationArchive::encodeElement(element);
    if (data.isEmpty())
        return VRError{QStringLiteral("The element cannot be encoded.")};
    const QString path = absolutePathForNotationPath(databasePath);
    const bool imageBank = QFileInfo(path).fileName() == QLatin1String("imagebank.db");
    if (imageBank)
        QntNotationArchive::postImageBankNotification(true, element);
    FMDatabase db(path);
    if (!QFileInfo(path).isFile() || !db.open())
        return fail(QStringLiteral("The notation %1 cannot be opened: %2")
                        .arg(path, db.lastErrorMessage()));
    if (const QString problem = checkDatabase(db); !problem.isEmpty())
        return VRError{QStringLiteral("The notation %1 cannot be read: %2").arg(path, problem)};
    if (!db.executeUpdate(QStringLiteral("INSERT INTO ImportedElements (ID, Data) VALUES (?, ?)"),
                          {id.isEmpty() ? QVariant() : QVariant(id), data}))
        return fail(QStringLiteral("The element cannot be added to %1: %2")
                        .arg(path, db.lastErrorMessage()));
    if (imageBank)
        QntNotationArchive::postImageBankNotification(false, element);
    return {};
}

VRResult<QString> QntNotation::importIntoDB(const QString &fileName, const VRObjectList &objects,
                                            const QByteArray &icon,
                                            const QString &baseNotationFilename,
                                            const ImportProgress &progress)
{
    auto fail = [&](const QString &message) -> VRResult<QString> {
        qCWarning(lcNotation).noquote() << message;
        return VRError{message};
    };
    QString name = QntPaths::safeFileName(QFileInfo(fileName).fileName());
    if (name.endsWith(QLatin1String(".db"), Qt::CaseInsensitive))
        name.chop(3);
    name = name.trimmed();
    if (name.isEmpty())
        return fail(QStringLiteral("The imported notation needs a name."));
    const QString folder = rootNotationsFolderPath() + QStringLiteral("/Imported");
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("The folder %1 cannot be created.").arg(folder));
    const QString target = folder + QLatin1Char('/') + name + QStringLiteral(".db");

    QString base = baseNotationFilename.isEmpty()
                       ? rootNotationsFolderPath() + QStringLiteral("/Misc/CustomizableStyle.db")
                       : absolutePathForNotationPath(baseNotationFilename);
    if (!QDir::isAbsolutePath(baseNotationFilename) && !baseNotationFilename.isEmpty()
        && !QFileInfo::exists(base))
        base = rootNotationsFolderPath() + QLatin1Char('/') + baseNotationFilename;

    // Build the new file beside the target and rename it over: an earlier import of that name
    // survives any failure.
    const QString temporary = folder + QStringLiteral("/.") + name + QStringLiteral(".")
                              + QUuid::createUuid().toString(QUuid::Id128) + QStringLiteral(".db");
    bool fresh = true;
    if (QFileInfo::exists(base)) {
        FMDatabase check(base);
        check.openReadOnly();
        if (checkDatabase(check).isEmpty() && QFile::copy(base, temporary)) {
            QFile::setPermissions(temporary, QFile::ReadOwner | QFile::WriteOwner);
            fresh = false;
        }
    }
    {
        FMDatabase db(temporary);
        if (!db.openWithFlags(FMDatabase::OpenReadWrite | FMDatabase::OpenCreate)) {
            QFile::remove(temporary);
            return fail(QStringLiteral("The imported notation cannot be written: %1")
                            .arg(db.lastErrorMessage()));
        }
        QString error;
        bool ok = true;
        if (fresh) {
            const VRResult<void> schema = createSchema(db);
            ok = schema.ok();
            error = schema.errorMessage();
        }
        ok = ok && db.beginTransaction();
        ok = ok && db.executeUpdate(QStringLiteral("DELETE FROM ImportedElements"));
        ok = ok
             && db.executeUpdate(QStringLiteral("DELETE FROM StringParams WHERE Key IN "
                                                "('NotationName', 'Editable')"));
        ok = ok
             && db.executeUpdate(QStringLiteral("DELETE FROM BlobParams WHERE Key = ?"),
                                 {QStringLiteral("notationIcon")});
        ok = ok
             && db.executeUpdate(
                 QStringLiteral("INSERT INTO StringParams (Key, Value) VALUES (?, ?)"),
                 {QStringLiteral("NotationName"), name});
        if (ok && !icon.isEmpty())
            ok = db.executeUpdate(
                QStringLiteral("INSERT INTO BlobParams (Key, Value) VALUES (?, ?)"),
                {QStringLiteral("notationIcon"), icon});
        bool cancelled = false;
        for (qsizetype i = 0; i < objects.size(); ++i) {
            if (!ok)
                break;
            const VRObjectRef &object = objects.at(i);
            const QByteArray data = QntNotationArchive::encodeElement(object);
            if (!data.isEmpty()) {
                const QString id = QntNotationArchive::elementId(object);
                ok = db.executeUpdate(
                    QStringLiteral("INSERT INTO ImportedElements (ID, Data) VALUES (?, ?)"),
                    {id.isEmpty() ? QVariant() : QVariant(id), data});
            }
            if (ok && progress && !progress(i + 1, objects.size())) {
                cancelled = true;
                ok = false;
            }
        }
        if (cancelled) {
            db.rollback();
            db.close();
            QFile::remove(temporary);
            return VRError{QStringLiteral("The import was cancelled.")};
        }
        if (!ok) {
            error = error.isEmpty() ? db.lastErrorMessage() : error;
            db.rollback();
            db.close();
            QFile::remove(temporary);
            return fail(QStringLiteral("The imported notation cannot be written: %1").arg(error));
        }
        if (!db.commit()) {
            error = db.lastErrorMessage();
            db.close();
            QFile::remove(temporary);
            return fail(QStringLiteral("The imported notation cannot be written: %1").arg(error));
        }
        db.setUserVersion(kSchemaVersion);
    }
    // The last moment to give up: after the rename the import is done.
    if (progress && !progress(objects.size(), objects.size())) {
        QFile::remove(temporary);
        return VRError{QStringLiteral("The import was cancelled.")};
    }
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData())
        != 0) {
        QFile::remove(temporary);
        return fail(QStringLiteral("The imported notation cannot be saved as %1.").arg(target));
    }
    AtomicFile::syncFolder(QFileInfo(target).absolutePath());
    {
        QMutexLocker lock(&g_cacheMutex);
        notationCache().remove(QFileInfo(target).canonicalFilePath());
    }
    return target;
}

void QntNotation::loadAllToDB(bool rewriteAll)
{
#ifdef QT_NO_DEBUG
    Q_UNUSED(rewriteAll)
#else
    const QString sources = qEnvironmentVariable("QNT_NOTATION_SOURCE_DIR");
    if (sources.isEmpty()) {
        qCInfo(lcNotation) << "set QNT_NOTATION_SOURCE_DIR to rebuild the notation databases";
        return;
    }
    QTemporaryDir staging;
    const auto written = QntNotationCompiler::compileAll(sources, staging.path());
    if (!written) {
        qCWarning(lcNotation).noquote() << "notation sources:" << written.errorMessage();
        return;
    }
    for (const QString &path : *written) {
        const QString relative = QDir(staging.path()).relativeFilePath(path);
        const QString target = rootNotationsFolderPath() + QLatin1Char('/') + relative;
        if (QFileInfo::exists(target) && !rewriteAll)
            continue;
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::remove(target);
        if (!QFile::copy(path, target))
            qCWarning(lcNotation) << "cannot install" << target;
    }
    QMutexLocker lock(&g_cacheMutex);
    notationCache().clear();
#endif
}

void QntNotation::registerBuiltinLibraries()
{
    for (const QString &list : builtinLibraryNames()) {
        VRObjectList prototypes;
        for (const QntElementRecord &record : builtinLibraryElementsList(list))
            prototypes.append(record.prototype);
        VRToolRegistry::sharedToolRegistry().setPrototypesForGroup(list, prototypes);
    }
}

QStringList QntNotation::builtinLibraryNames()
{
    return {QStringLiteral("Office"), QStringLiteral("Network"), QStringLiteral("Misc"),
            QStringLiteral("Apple")};
}

QList<QntElementRecord> QntNotation::builtinLibraryElementsList(const QString &listName)
{
    const QntNotationRef notation =
        notationWithPath(rootNotationsFolderPath() + QStringLiteral("/Misc/BuiltinLibraries.db"));
    return notation && notation->isValid() ? notation->elementsList(listName)
                                           : QList<QntElementRecord>();
}
