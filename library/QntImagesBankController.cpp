// QntImagesBankController: the image bank's database file, its rows and the loading of entries.
#include "library/QntImagesBankController.h"

#include "library/ImagesBankItem.h"

#include "app/common/QntConstants.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRImageShape.h"
#include "framework/notations/FMDatabase.h"
#include "framework/notations/QntNotation.h"
#include "framework/notations/QntNotationArchive.h"
#include "framework/view/VRDrawingTool.h"
#include "platform/ImageResources.h"
#include "platform/QntPaths.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QLoggingCategory>
#include <QPainter>
#include <QUuid>

#include <cmath>

Q_LOGGING_CATEGORY(lcImageBank, "quintora.imagebank")

namespace {

qint64 g_thumbnailRenders = 0;

// What one stored row became: kept while the row is unchanged, so reloading the bank neither
// decodes an element nor draws its picture again.
struct LoadedRow {
    VRObjectRef element;
    QImage thumbnail;
};

QHash<QByteArray, LoadedRow> &loadedRows()
{
    static QHash<QByteArray, LoadedRow> rows;
    return rows;
}

QByteArray rowKey(const QString &database, const QString &identifier, const QByteArray &data)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(QFile::encodeName(QFileInfo(database).absoluteFilePath()));
    hash.addData(QByteArrayView("\n"));
    hash.addData(identifier.toUtf8());
    hash.addData(QByteArrayView("\n"));
    hash.addData(data);
    return hash.result();
}

QByteArray storedData(const QString &database, const QString &identifier)
{
    FMDatabase db(database);
    if (!db.openReadOnly())
        return {};
    auto rows = db.executeQuery(
        QStringLiteral("SELECT Data FROM ImportedElements WHERE ID = ? ORDER BY _ID LIMIT 1"),
        {identifier});
    if (rows && rows->next())
        return rows->dataForColumnIndex(0);
    return {};
}

QByteArray imageBankIcon()
{
    QImage icon = ImageResources::readImage(QntPaths::bundleResourcesPath()
                                            + QStringLiteral("/image_bank_icon.png"));
    if (icon.isNull()) {
        // Drawn when the bundle lacks the picture: a framed landscape.
        icon = QImage(64, 64, QImage::Format_ARGB32_Premultiplied);
        icon.fill(Qt::transparent);
        QPainter painter(&icon);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(70, 70, 80), 3));
        painter.setBrush(QColor(200, 225, 245));
        painter.drawRoundedRect(QRectF(6, 10, 52, 44), 4, 4);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(250, 200, 60));
        painter.drawEllipse(QPointF(20, 24), 6, 6);
        painter.setBrush(QColor(80, 150, 90));
        painter.drawPolygon(QPolygonF(
            {QPointF(9, 51), QPointF(28, 30), QPointF(40, 42), QPointF(47, 36), QPointF(55, 51)}));
    }
    QByteArray tiff;
    QBuffer buffer(&tiff);
    buffer.open(QIODevice::WriteOnly);
    if (!icon.save(&buffer, "TIFF"))
        icon.save(&buffer, "PNG");
    return tiff;
}

} // namespace

// ---- folders -------------------------------------------------------------------------------

QString QntImagesBankController::imageBankFolderPath()
{
    return QntNotation::rootNotationsFolderPath() + QStringLiteral("/ImageBank/");
}

QString QntImagesBankController::imageBankFilePath()
{
    return imageBankFolderPath() + QStringLiteral("imagebank.db");
}

QString QntImagesBankController::importedFolderPath()
{
    return QntNotation::rootNotationsFolderPath() + QStringLiteral("/Imported/");
}

QString QntImagesBankController::templatePath()
{
    return QntNotation::rootNotationsFolderPath() + QStringLiteral("/Misc/CustomizableStyle.db");
}

// ---- the database file ---------------------------------------------------------------------

bool QntImagesBankController::imageBankFileIsUsable(QString *problem)
{
    FMDatabase db(imageBankFilePath());
    if (!db.openReadOnly()) {
        *problem = db.lastErrorMessage();
        return false;
    }
    *problem = QntNotation::checkDatabase(db);
    return problem->isEmpty();
}

bool QntImagesBankController::initImageBank()
{
    return ensureImageBank(&m_imageBankProblem);
}

bool QntImagesBankController::ensureImageBank(QString *problemOut)
{
    QString ignored;
    QString &problem = problemOut ? *problemOut : ignored;
    problem.clear();
    const QString path = imageBankFilePath();
    const QFileInfo info(path);
    if (info.exists() && info.isFile() && info.size() == 0)
        QFile::remove(path);
    if (QFileInfo::exists(path)) {
        // An existing bank is never changed; one we cannot read is reported, not replaced.
        QString why;
        if (imageBankFileIsUsable(&why))
            return true;
        problem =
            tr("The image bank “%1” cannot be read: %2.").arg(QDir::toNativeSeparators(path), why);
        qCWarning(lcImageBank).noquote() << problem;
        return false;
    }

    // The new file is made beside its place and renamed into it once complete, so a bank is
    // either whole or absent, whatever happens meanwhile.
    if (!QDir().mkpath(imageBankFolderPath())) {
        problem = tr("The folder “%1” cannot be made.")
                      .arg(QDir::toNativeSeparators(imageBankFolderPath()));
        qCWarning(lcImageBank).noquote() << problem;
        return false;
    }
    const QString temporary = imageBankFolderPath() + QStringLiteral(".imagebank.")
                              + QUuid::createUuid().toString(QUuid::Id128) + QStringLiteral(".db");
    const bool fromTemplate = QFile::copy(templatePath(), temporary);
    if (fromTemplate)
        QFile::setPermissions(temporary, QFile::ReadOwner | QFile::WriteOwner);
    QString error;
    {
        FMDatabase db(temporary);
        if (!db.openWithFlags(FMDatabase::OpenReadWrite | FMDatabase::OpenCreate)) {
            qCWarning(lcImageBank).noquote() << "Could not open db" << path;
            problem = tr("Could not open db %1").arg(path);
            QFile::remove(temporary);
            return false;
        }
        bool ok = true;
        if (!fromTemplate) {
            // Without the template the other tables of a notation are made empty.
            const VRResult<void> schema = QntNotation::createSchema(db);
            ok = schema.ok();
            error = schema.errorMessage();
        }
        ok = ok && db.beginTransaction();
        const char *const createImported = "CREATE TABLE ImportedElements(_ID INTEGER NOT NULL "
                                           "PRIMARY KEY AUTOINCREMENT, ID TEXT NULL, Data BLOB)";
        const char *const statements[] = {
            "DROP TABLE IF EXISTS ImportedElements",
            createImported,
            "DROP TABLE IF EXISTS StringParams",
            "CREATE TABLE StringParams (Key TEXT, Value TEXT)",
            "DROP TABLE IF EXISTS BlobParams",
            "CREATE TABLE BlobParams (Key TEXT, Value BLOB)",
            // Identifiers stay unique, whoever adds a row.
            "CREATE UNIQUE INDEX IF NOT EXISTS ImportedElementsUniqueID ON ImportedElements(ID)",
        };
        for (const char *statement : statements)
            ok = ok && db.executeUpdate(QString::fromLatin1(statement));
        const QList<std::pair<QString, QString>> parameters = {
            {QStringLiteral("VRStyledConnectorDefaultWidth"), QStringLiteral("3")},
            {QStringLiteral("UseVRStyledConnector"), QStringLiteral("YES")},
            {QStringLiteral("ConnectorSkinTextPathVerticalAlignmentOffset"),
             QStringLiteral("15.0")},
            {QStringLiteral("VRStyledConnectorDefaultColor"), QStringLiteral("#998A95")},
            {QStringLiteral("NotationName"), QFileInfo(path).completeBaseName()},
            {QStringLiteral("Editable"), QStringLiteral("YES")},
        };
        for (const auto &[key, value] : parameters)
            ok = ok
                 && db.executeUpdate(
                     QStringLiteral("INSERT INTO StringParams (Key,Value) VALUES (?,?)"),
                     {key, value});
        ok =
            ok
            && db.executeUpdate(QStringLiteral("insert into BlobParams (key, value) values (?, ?)"),
                                {QStringLiteral("notationIcon"), imageBankIcon()});
        ok = ok && db.commit();
        ok = ok && db.setUserVersion(QntNotation::kSchemaVersion);
        if (!ok) {
            if (error.isEmpty())
                error = db.lastErrorMessage();
            db.rollback();
        }
        db.close();
        if (!ok) {
            QFile::remove(temporary);
            problem = tr("The image bank cannot be made: %1").arg(error);
            qCWarning(lcImageBank).noquote() << problem;
            return false;
        }
    }
    if (!QFile::rename(temporary, path)) {
        QFile::remove(temporary);
        // Another process made the bank meanwhile: use that one.
        QString why;
        if (QFileInfo::exists(path) && imageBankFileIsUsable(&why))
            return true;
        problem = tr("The image bank cannot be saved as “%1”.").arg(path);
        qCWarning(lcImageBank).noquote() << problem;
        return false;
    }
    return true;
}

// ---- pictures into elements ------------------------------------------------------------------

std::optional<QImage> QntImagesBankController::readPicture(const QString &path,
                                                           QString *whyNot) const
{
    const QString name = QFileInfo(path).fileName();
    auto refuse = [&](const QString &reason) -> std::optional<QImage> {
        if (whyNot)
            *whyNot = reason;
        return std::nullopt;
    };
    if (!QFileInfo(path).isFile())
        return refuse(tr("“%1” is not a file.").arg(name));
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return refuse(tr("“%1” is not a picture.").arg(name));
    const QSize size = reader.size();
    if (size.isValid()
        && (size.width() > kMaximumSide || size.height() > kMaximumSide
            || qint64(size.width()) * size.height() > kMaximumPixels))
        return refuse(tr("“%1” is too large (%2 × %3 pixels); the image bank takes pictures of "
                         "at most %4 million pixels.")
                          .arg(name)
                          .arg(size.width())
                          .arg(size.height())
                          .arg(kMaximumPixels / 1000000));
    // Pictures without a size in their header are held to the same limit while decoding.
    const int allocationLimit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(int((kMaximumPixels * 4) / (1024 * 1024)) + 1);
    const QImage image = reader.read();
    QImageReader::setAllocationLimit(allocationLimit);
    if (image.isNull())
        return refuse(tr("“%1” cannot be read as a picture: %2.").arg(name, reader.errorString()));
    if (image.width() > kMaximumSide || image.height() > kMaximumSide
        || qint64(image.width()) * image.height() > kMaximumPixels)
        return refuse(tr("“%1” is too large.").arg(name));
    // A picture cut short decodes partly; its reader still notices the missing end.
    if (reader.error() != QImageReader::UnknownError)
        return refuse(tr("“%1” is damaged: %2.").arg(name, reader.errorString()));
    return image;
}

QString QntImagesBankController::uniqueIdentifier(const QString &base) const
{
    const QntNotationRef bank = QntNotation::notationWithPath(imageBankFilePath());
    auto taken = [&](const QString &candidate) {
        return existsItemWithId(candidate)
               || (bank && bank->isValid() && bank->existElementWithId(candidate))
               || VRDrawingTool::drawingToolWithName(candidate) != nullptr;
    };
    QString candidate = base;
    for (qint64 counter = 1; taken(candidate); ++counter)
        candidate = QStringLiteral("%1_%2").arg(base).arg(counter);
    return candidate;
}

QImage QntImagesBankController::thumbnailOfObject(const VRDrawableObject &object, int side)
{
    const QRectF bounds = object.bounds();
    if (bounds.isEmpty() || side <= 0)
        return {};
    const double scale = std::min(1.0, side / std::max(bounds.width(), bounds.height()));
    const QSize pixels(std::max(1, int(std::ceil(bounds.width() * scale))),
                       std::max(1, int(std::ceil(bounds.height() * scale))));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);
    painter.translate(-bounds.topLeft());
    object.render(painter);
    ++g_thumbnailRenders;
    return image;
}

qint64 QntImagesBankController::thumbnailRenderCount()
{
    return g_thumbnailRenders;
}

QntImagesBankController::ItemRef QntImagesBankController::elementWithPath(const QString &path,
                                                                          QString *whyNot)
{
    const std::optional<QImage> picture = readPicture(path, whyNot);
    if (!picture)
        return nullptr;
    const QString identifier = uniqueIdentifier(QFileInfo(path).fileName());
    auto shape = std::make_shared<VRImageShape>(*picture);
    shape->setString(identifier, QStringLiteral("ID"));
    const VRObjectRef part = shape->copy();
    auto element = QntElement::createWithObjects({part}, identifier, shape->size());
    element->setCanUngroup(true);
    element->setMode(2);
    element->setString(identifier, QStringLiteral("ID"));
    element->setString(QFileInfo(path).fileName(), QStringLiteral("TITLE"));
    return itemForElement(element, identifier);
}

QntImagesBankController::ItemRef
QntImagesBankController::itemForElement(const VRObjectRef &element, const QString &identifier) const
{
    auto item = std::make_shared<ImagesBankItem>();
    item->setId(identifier);
    item->setElement(element);
    item->setImage(thumbnailOfObject(*element, kThumbnailSide));
    item->setSourceName(QStringLiteral("ImageBank"));
    item->setSourceDatabase(imageBankFilePath());
    return item;
}

bool QntImagesBankController::existsItemWithId(const QString &identifier) const
{
    if (!m_images)
        return false;
    for (const ItemRef &item : *m_images)
        if (item->id() == identifier)
            return true;
    for (const ItemRef &item : m_filteredOutImages)
        if (item->id() == identifier)
            return true;
    return false;
}

bool QntImagesBankController::addElementToImageBankDB(const VRObjectRef &element)
{
    if (!initImageBank())
        return false;
    m_storing = true;
    const VRResult<void> stored = QntNotation::insertIntoDB(imageBankFilePath(), element);
    m_storing = false;
    if (!stored) {
        qCWarning(lcImageBank).noquote() << stored.errorMessage();
        return false;
    }
    return true;
}

bool QntImagesBankController::removeElementFromImageBankDB(const ImagesBankItem &item)
{
    const QString database =
        item.sourceDatabase().isEmpty() ? imageBankFilePath() : item.sourceDatabase();
    const QntNotationRef notation = QntNotation::notationWithPath(database);
    if (!notation || !notation->isValid() || !item.element())
        return false;
    const VRResult<void> removed = notation->removeImportedElement(item.element());
    if (!removed) {
        qCWarning(lcImageBank).noquote() << removed.errorMessage();
        return false;
    }
    return true;
}

bool QntImagesBankController::updateElementInImageBankDB(const ImagesBankItem &item)
{
    const QString database =
        item.sourceDatabase().isEmpty() ? imageBankFilePath() : item.sourceDatabase();
    const QntNotationRef notation = QntNotation::notationWithPath(database);
    if (!notation || !notation->isValid() || !item.element())
        return false;
    const VRResult<void> updated = notation->updateImportedElement(item.element());
    if (!updated) {
        qCWarning(lcImageBank).noquote() << updated.errorMessage();
        return false;
    }
    return true;
}

void QntImagesBankController::postCustomSubgroupReload()
{
    NotificationCenter::defaultCenter().post(kQntCustomSubgroupReloadNeededNotification, nullptr);
}

bool QntImagesBankController::addElementWithPath(const QString &path, QString *whyNot)
{
    if (QFileInfo(path).fileName().startsWith(QLatin1Char('.')))
        return false;
    const ItemRef item = elementWithPath(path, whyNot);
    if (!item)
        return false;
    if (!addElementToImageBankDB(item->element())) {
        if (whyNot)
            *whyNot =
                tr("“%1” could not be stored in the image bank.").arg(QFileInfo(path).fileName());
        return false;
    }
    if (!m_images)
        m_images.emplace();
    m_images->push_back(item);
    const QByteArray key =
        rowKey(imageBankFilePath(), item->id(), storedData(imageBankFilePath(), item->id()));
    loadedRows().insert(key, {item->element(), item->image()});
    m_loadedKeys.insert(key);
    return true;
}

int QntImagesBankController::addImagesFromPaths(const QStringList &paths, int atIndex)
{
    QStringList refusals;
    int added = 0;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        QStringList files;
        if (info.isDir()) {
            const QStringList names =
                QDir(path).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
            for (const QString &name : names)
                files.push_back(QDir(path).filePath(name));
        } else {
            files.push_back(path);
        }
        for (const QString &file : std::as_const(files)) {
            if (QFileInfo(file).fileName().startsWith(QLatin1Char('.')))
                continue;
            QString whyNot;
            const qsizetype before = m_images ? m_images->size() : 0;
            if (!addElementWithPath(file, &whyNot)) {
                refusals.push_back(whyNot);
                continue;
            }
            ++added;
            // Dropped files go to the drop's place, each before the one dropped earlier.
            if (atIndex >= 0 && atIndex < before)
                m_images->move(m_images->size() - 1, atIndex);
        }
    }
    // Dropped pictures keep the place they were dropped at.
    if (added > 0 && atIndex >= 0)
        storeOrder();
    else if (added > 0)
        postCustomSubgroupReload();
    if (m_imageBrowser)
        m_imageBrowser->reloadData();
    updateCount();
    if (!refusals.isEmpty())
        showRefusals(refusals);
    return added;
}

int QntImagesBankController::addImagesFromDirectory(const QString &path)
{
    return addImagesFromPaths({path});
}

void QntImagesBankController::addImageWithPath(const QString &path)
{
    if (QFileInfo(path).fileName().startsWith(QLatin1Char('.')))
        return;
    if (!m_images)
        m_images.emplace();
    auto item = std::make_shared<ImagesBankItem>();
    item->setPath(path);
    m_images->push_back(item);
}

void QntImagesBankController::cleanImages()
{
    m_images.emplace();
}

// ---- loading ---------------------------------------------------------------------------------

void QntImagesBankController::forgetUnloadedRows()
{
    // Only the rows of the sources shown are kept; a source turned on again is read again.
    QHash<QByteArray, LoadedRow> &cache = loadedRows();
    for (auto it = cache.begin(); it != cache.end();)
        it = m_loadedKeys.contains(it.key()) ? std::next(it) : cache.erase(it);
}

void QntImagesBankController::forgetLoadedRows()
{
    QHash<QByteArray, LoadedRow> &cache = loadedRows();
    for (const QByteArray &key : std::as_const(m_loadedKeys))
        cache.remove(key);
    m_loadedKeys.clear();
}

void QntImagesBankController::addImportedFromDirectory(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        const QStringList names = QDir(path).entryList(QDir::Files, QDir::Name);
        for (const QString &name : names)
            if (QFileInfo(name).suffix() == QLatin1String("db"))
                addImportedWithPath(QDir(path).filePath(name));
    } else if (info.isFile()) {
        addImportedWithPath(path);
    }
    finishLoading();
}

void QntImagesBankController::addImportedWithPath(const QString &path)
{
    // Read-only: a missing or foreign file is skipped, never made.
    FMDatabase db(path);
    db.openReadOnly();
    addImportedFromDatabase(db, path);
}

void QntImagesBankController::addImportedFromDatabase(FMDatabase &db, const QString &path)
{
    if (!db.isOpen() || !QntNotation::checkDatabase(db).isEmpty()) {
        qCWarning(lcImageBank).noquote() << "skipping" << path << db.lastErrorMessage();
        return;
    }
    const QString sourceName = QFileInfo(QFileInfo(path).absolutePath()).fileName();
    if (!m_images)
        m_images.emplace();
    auto rows =
        db.executeQuery(QStringLiteral("SELECT ID, Data FROM ImportedElements ORDER BY _ID"));
    if (!rows)
        return;
    QHash<QByteArray, LoadedRow> &cache = loadedRows();
    while (rows->next()) {
        const QString identifier = rows->stringForColumnIndex(0);
        const QByteArray data = rows->dataForColumnIndex(1);
        const QByteArray key = rowKey(path, identifier, data);
        LoadedRow loaded = cache.value(key);
        if (!loaded.element) {
            loaded.element = QntNotationArchive::decodeElement(data, path);
            if (!loaded.element) {
                qCWarning(lcImageBank)
                    << "skipping an unreadable element" << identifier << "of" << path;
                continue;
            }
            loaded.thumbnail = thumbnailOfObject(*loaded.element, kThumbnailSide);
            cache.insert(key, loaded);
        }
        m_loadedKeys.insert(key);
        auto item = std::make_shared<ImagesBankItem>();
        item->setId(identifier);
        item->setImage(loaded.thumbnail);
        item->setElement(loaded.element);
        item->setSourceName(sourceName);
        item->setSourceDatabase(QFileInfo(path).absoluteFilePath());
        m_images->push_back(item);
    }
}
