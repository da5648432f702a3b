#include "fuzz/FuzzEntryPoints.h"

#include "framework/archive/VRArchiveParser.h"
#include "framework/archive/VRArchiver.h"
#include "framework/archive/VRPasteboardInfo.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawing.h"
#include "framework/notations/FMDatabase.h"
#include "framework/notations/QntImportFromGraffle.h"
#include "framework/notations/QntNotation.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRObjectOwnerLayer.h"
#include "framework/svg/SVGKImage.h"
#include "framework/sequence/ISDiagram.h"
#include "framework/sequence/QntSequenceLayoutManager.h"
#include "framework/styles/VRGradient.h"
#include "framework/styles/VRStyle.h"
#include "framework/styles/VRStyleRegistry.h"
#include "library/ImagesBankItem.h"
#include "library/QntImagesBankController.h"
#include "library/QntSequenceDiagramController.h"
#include "platform/KeyedArchiver.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "telemetry/TallyKit/TLYCleanupFilesOperation.h"
#include "telemetry/TallyKit/TLYMetadata.h"
#include "telemetry/TallyKit/TLYSettings.h"
#include "telemetry/core/FLTUserDefaults.h"
#include "telemetry/core/PLNSettings.h"
#include "telemetry/crash/FLTFile.h"
#include "telemetry/crash/FLTFileManager.h"
#include "telemetry/crash/FLTInternalReport.h"
#include "telemetry/crash/FLTPackageReportOperation.h"
#include "telemetry/crash/FLTProcessReportOperation.h"
#include "telemetry/crash/FLTReportsController.h"
#include "telemetry/crash/FLTSettings.h"
#include "telemetry/platform/PlistValue.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <memory>

namespace qnt::fuzz {

namespace {

QTemporaryDir &scratch()
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/quintora-fuzz-XXXXXX"));
    return folder;
}

QByteArray bytes(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Writes the input where a reader expects a file and answers the path.
QString writeInput(const QString &relative, const std::uint8_t *data, std::size_t size)
{
    const QString path = scratch().filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    return path;
}

} // namespace

void initialise()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const QByteArray home = QFile::encodeName(scratch().filePath(QStringLiteral("home")));
    QDir().mkpath(QString::fromLocal8Bit(home));
    if (!QCoreApplication::instance()) {
        // Only a process of our own: the test suite already has its home and its application.
        setenv("HOME", home.constData(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/.config").constData(), 1);
        setenv("XDG_DATA_HOME", (home + "/.local/share").constData(), 1);
        setenv("XDG_CACHE_HOME", (home + "/.cache").constData(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "quintora-fuzz";
        static char *argv[] = {name, nullptr};
        new QApplication(argc, argv); // lives as long as the process
    }
    // Text is drawn once now, so the font system's one-time set-up is not charged to an input.
    QImage canvas(32, 16, QImage::Format_ARGB32);
    QPainter painter(&canvas);
    painter.drawText(QPointF(1, 12), QStringLiteral("Quintora"));
    painter.end();
    // The stencil folder always holds one picture for "image" objects to name.
    QImage picture(4, 3, QImage::Format_ARGB32);
    picture.fill(Qt::darkCyan);
    QDir().mkpath(scratch().filePath(QStringLiteral("Input.graffle")));
    picture.save(scratch().filePath(QStringLiteral("Input.graffle/image1.png")));
}

const std::vector<Target> &targets()
{
    static const std::vector<Target> all{
        {"document", document},
        {"pasteboard", pasteboard},
        {"stencil", stencil},
        {"gradient", gradient},
        {"styles", styles},
        {"defaults", defaults},
        {"notation", notation},
        {"image_bank", imageBank},
        {"image_bank_picture", imageBankPicture},
        {"record", record},
        {"telemetry_settings", telemetrySettings},
        {"crash_report", crashReport},
        {"analytics_files", analyticsFiles},
        {"svg", svg},
        {"sequence_outline", sequenceOutline},
    };
    return all;
}

const Target *target(std::string_view name)
{
    for (const Target &t : targets()) {
        if (name == t.name)
            return &t;
    }
    return nullptr;
}

namespace {

QJsonArray allRecords(VRRecordSource &source)
{
    QJsonArray records;
    for (qsizetype i = 0; i < source.size(); ++i) {
        const QJsonValue record = source.at(i);
        records.append(record);
        // A style read ahead reads as its record does on its own.
        const VRStyleRef prepared = source.preparedStyle(i);
        if (!prepared)
            continue;
        const auto alone = VRStyle::fromJson(record.toObject(), QJsonObject());
        if (!alone.ok() || !alone.value()->isEqual(*prepared))
            std::abort();
    }
    return records;
}

// Large documents are parsed in parts; whatever the size of the input, the parts must make up
// the document the whole text parses to, or fail where the whole text fails.
void checkDocumentParts(const QByteArray &input)
{
    VRArchiveParser parts;
    if (!parts.start(input, VRArchiver::kMaximumNesting) || !parts.rootParsed())
        return;
    QJsonObject root = parts.root();
    if (VRRecordSource *styles = parts.styles())
        root.insert(QStringLiteral("styles"), allRecords(*styles));
    QJsonObject drawing = root.value(QStringLiteral("drawing")).toObject();
    QJsonArray layers = drawing.value(QStringLiteral("layers")).toArray();
    for (qsizetype i = 0; i < layers.size(); ++i) {
        if (VRRecordSource *objects = parts.objectsOfLayer(i)) {
            QJsonObject layer = layers.at(i).toObject();
            layer.insert(QStringLiteral("objects"), allRecords(*objects));
            layers.replace(i, layer);
        }
    }
    drawing.insert(QStringLiteral("layers"), layers);
    root.insert(QStringLiteral("drawing"), drawing);
    QJsonParseError error;
    const QJsonDocument whole = QJsonDocument::fromJson(input, &error);
    const bool wholeParses = error.error == QJsonParseError::NoError && whole.isObject();
    if (parts.broken() ? wholeParses : (!wholeParses || whole.object() != root))
        std::abort();
}

} // namespace

int document(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input = bytes(data, size);
    auto drawing = VRArchiver::drawingFromData(input);
    if (drawing.ok())
        VRArchiver::documentData(*drawing.value()); // what the next save writes
    checkDocumentParts(input);
    return 0;
}

int pasteboard(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input = bytes(data, size);
    auto objects = VRArchiver::objectsFromData(input);
    if (objects.ok())
        VRArchiver::objectsData(objects.value());
    QMimeData mime;
    mime.setData(kVRPasteboardInfoType, input);
    mime.setData(kVRRasterizerPasteboardType, input);
    VRPasteboardInfo::fromPasteboard(&mime);
    VRStyle::styleFromPasteboard(&mime);
    return 0;
}

int stencil(const std::uint8_t *data, std::size_t size)
{
    writeInput(QStringLiteral("Input.graffle/stencil.plist"), data, size);
    QntImportFromGraffle::setImportedFilepath(scratch().filePath(QStringLiteral("Input.graffle")));
    QntImportFromGraffle reader;
    const auto stencil = reader.readStencil();
    if (!stencil)
        return 0;
    QVariantList sheets = stencil->value(QStringLiteral("Sheets")).toList();
    if (!stencil->contains(QStringLiteral("Sheets")))
        sheets = {*stencil};
    for (const QVariant &sheet : std::as_const(sheets)) {
        const VRObjectList objects = reader.all(sheet.toMap());
        reader.all2Elements(objects);
        reader.imageData(objects);
    }
    return 0;
}

int gradient(const std::uint8_t *data, std::size_t size)
{
    const QString path = writeInput(QStringLiteral("Input.gradient"), data, size);
    if (const auto gradient = VRGradient::gradientWithContentsOfFile(path))
        (*gradient)->fileRepresentation();
    return 0;
}

int styles(const std::uint8_t *data, std::size_t size)
{
    const QString path = writeInput(QStringLiteral("Input.styles"), data, size);
    VRStyleRegistry &registry = VRStyleRegistry::sharedStyleRegistry();
    if (registry.readFromFile(path, VRStyleRegistry::ReplaceSameKeys).ok())
        VRStyleRegistry::resetRegistry(); // every input starts from the same registry
    return 0;
}

int defaults(const std::uint8_t *data, std::size_t size)
{
    PropertyList::fromData(bytes(data, size));
    // As at launch: the file is read on first use (and set aside when unreadable).
    const QString path = writeInput(QStringLiteral("Preferences/Quintora.plist"), data, size);
    UserDefaults userDefaults(path);
    const QVariantMap values = userDefaults.persistentDomain();
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        userDefaults.boolForKey(it.key());
        userDefaults.integerForKey(it.key());
        userDefaults.doubleForKey(it.key());
        userDefaults.stringForKey(it.key());
        // Stored styles (element and connector defaults) keep colours and fonts as archived
        // data, which the inspectors decode.
        const QVariantMap style = userDefaults.dictionaryForKey(it.key());
        for (const QVariant &value : style) {
            if (value.typeId() != QMetaType::QByteArray)
                continue;
            KeyedArchiver::unarchiveColor(value.toByteArray());
            KeyedArchiver::unarchiveFont(value.toByteArray());
        }
    }
    QDir(QFileInfo(path).absolutePath()).removeRecursively();
    return 0;
}

int notation(const std::uint8_t *data, std::size_t size)
{
    // The database is read from a copy in memory: the same checks and readers as on the file,
    // without a file written and opened for every input.
    QntNotation notation(bytes(data, size),
                         scratch().filePath(QStringLiteral("Input.qntnotation")));
    if (!notation.isValid())
        return 0;
    notation.notationName();
    notation.icon();
    for (const QntElementRecord &record : notation.allElementsAsPrototypesList())
        notation.prototypeForElementId(record.elementId);
    notation.importedElementsList();
    for (const QntColorSchemeData &scheme : notation.colorSchemesList())
        notation.colorSchemesItemsFill(scheme.schemeId);
    notation.connectorsList(0);
    notation.connectorsList(1);
    return 0;
}

int imageBank(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input = bytes(data, size);
    const QString path = QntImagesBankController::imageBankFilePath();
    QntImagesBankController bank(QStringLiteral("QntImagesBank"));
    {
        // As the bank loads its database (checked, its rows made into entries with their
        // pictures), from a copy in memory rather than a file written for every input.
        FMDatabase db(path);
        db.openWithData(input, FMDatabase::OpenReadOnly);
        bank.addImportedFromDatabase(db, path);
        bank.finishLoading();
    }
    const QList<QntImagesBankController::ItemRef> items =
        bank.images() ? *bank.images() : QList<QntImagesBankController::ItemRef>();
    QList<int> rows;
    for (int row = 0; row < std::min<int>(int(items.size()), 64); ++row)
        rows.push_back(row);
    QMimeData drag;
    if (bank.imageBrowserWriteItemsAtIndexes(rows, &drag) > 0)
        VRArchiver::objectsFromData(drag.data(kVRDrawableObjectPasteboardType));
    if (!items.isEmpty()) {
        // Renamed and removed as the window does, in a copy of the same database.
        QntNotation store(input, path);
        const QntImagesBankController::ItemRef &item = items.first();
        item->setImageTitle(item->imageTitle() + QStringLiteral(" (renamed)"));
        store.updateImportedElement(item->element());
        store.removeImportedElement(item->element());
    }
    return 0;
}

int imageBankPicture(const std::uint8_t *data, std::size_t size)
{
    const QString path = writeInput(QStringLiteral("Pictures/picture"), data, size);
    QntImagesBankController bank(QStringLiteral("QntImagesBank"));
    QString whyNot;
    if (const QntImagesBankController::ItemRef item = bank.elementWithPath(path, &whyNot))
        VRArchiver::objectsData({item->element()}); // what the bank stores and drags
    return 0;
}

int record(const std::uint8_t *data, std::size_t size)
{
    const QString path = writeInput(QStringLiteral("Input.fltrecord"), data, size);
    const auto sections = FLTFileReadSections(QFile::encodeName(path).constData(), false);
    if (!sections)
        return 0;
    for (const nlohmann::json &line : *sections) {
        // Strings in records are hexadecimal; the report builder decodes them.
        for (const auto &item : line.items()) {
            if (item.value().is_string())
                FLTFileHexDecodeString(item.value().get<std::string>());
        }
    }
    return 0;
}

int crashReport(const std::uint8_t *data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    auto manager = std::make_shared<const FLTFileManager>("org.quintora.fuzz");
    manager->removeContentsOfAllPaths();
    if (!manager->prepareForNewLaunch())
        return 0;
    const std::string folder = manager->processingPath() + "/report";
    manager->createDirectoryAtPath(folder);
    for (const char *name : {"metadata.fltrecord", "binary_images.fltrecord", "signal.fltrecord"})
        std::ofstream(folder + "/" + name, std::ios::binary | std::ios::trunc) << input;
    auto report = FLTInternalReport::reportWithPath(folder);
    if (!report)
        report = FLTInternalReport::reportWithPath(folder, "report");
    report->isCrash();
    report->needsToBeSubmitted();
    report->crashedOnDate();
    report->dateCreated();
    FLTProcessReportOperation processing(report, std::make_shared<FLTSymbolResolver>());
    processing.start();
    FLTPackageReportOperation packaging(report, manager);
    packaging.start();
    // The same bytes as a package left in prepared.
    const std::string package =
        manager->preparedPath() + "/0F3C2B1A-0000-4000-8000-000000000001.multipartmime";
    std::ofstream(package, std::ios::binary | std::ios::trunc) << input;
    FLTReportsController::isWellFormedPackage(package);
    manager->removeContentsOfAllPaths();
    return 0;
}

int telemetrySettings(const std::uint8_t *data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    const QString folder = scratch().filePath(QStringLiteral("telemetry"));
    QDir().mkpath(folder);
    const std::string settingsPath = QFile::encodeName(folder + "/settings.json").toStdString();
    std::ofstream(settingsPath, std::ios::binary | std::ios::trunc) << input;
    PLNSettings settings(settingsPath);
    settings.appSettings();
    settings.appStatus();
    settings.appNeedsOnboarding();
    settings.appUpdateRequired();
    const FLTSettings crashSettings(settings.settingsDictionary());
    crashSettings.crashReportingEnabled();
    crashSettings.logBufferSize();
    crashSettings.maxCustomExceptions();
    crashSettings.maxCustomKeys();
    crashSettings.betaSuspendDuration();
    crashSettings.interactivePromptTitle();
    // The same bytes as a property list (the configuration and the defaults store).
    if (const auto value = tel::PlistValue::fromBytes(input)) {
        value->description();
        value->toXml();
    }
    const std::string store = QFile::encodeName(folder + "/store").toStdString();
    QDir().mkpath(QString::fromStdString(store));
    std::ofstream(store + "/FLTUserDefaults.plist", std::ios::binary | std::ios::trunc) << input;
    FLTUserDefaults userDefaults(store);
    userDefaults.dictionaryRepresentation();
    return 0;
}

int analyticsFiles(const std::uint8_t *data, std::size_t size)
{
    const QString folder = scratch().filePath(QStringLiteral("analytics"));
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    const auto put = [&](const char *name) {
        return QFile::encodeName(
                   writeInput(QStringLiteral("analytics/") + QLatin1String(name), data, size))
            .toStdString();
    };
    const std::string log = put("A.log");
    const std::string gz = put("B.gz");
    const std::string package = put("C.multipartmime");
    const std::string metadata = put("crash_metadata");
    // The clean-up reads, mends or deletes each kind, as at a launch after a crash.
    TLYCleanupFilesOperation cleanup(QFile::encodeName(folder).toStdString(), 100);
    cleanup.main();
    TLYCleanupFilesOperation::repairLog(log);
    TLYCrashMetadata::readSerializedDictionaryFromURL(metadata);
    const auto json = nlohmann::json::parse(std::string(reinterpret_cast<const char *>(data), size),
                                            nullptr, false);
    if (!json.is_discarded()) {
        const TLYSettings settings(json);
        settings.shouldCollectAnalytics();
        settings.maximumPayloadSize();
        settings.maxPendingSendFiles();
        settings.flushInterval();
        settings.samplingRate();
        settings.tallyURL();
    }
    (void)gz;
    (void)package;
    return 0;
}

int svg(const std::uint8_t *data, std::size_t size)
{
    const auto image =
        SVGKImage::imageWithData(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!image)
        return 0;
    const auto tree = (*image)->newVRTree();
    for (const VRObjectRef &object : tree->objects())
        object->bounds();
    return 0;
}

int sequenceOutline(const std::uint8_t *data, std::size_t size)
{
    // Outlines are a few kilobytes; larger inputs only make every layout slower.
    if (size > 64 * 1024)
        return 0;
    const QJsonDocument json = QJsonDocument::fromJson(bytes(data, size));
    if (!json.isObject())
        return 0;
    VRDrawing drawing;
    drawing.setSequenceDic(json.object().toVariantMap());
    QntSequenceDiagramController outline;
    outline.setupWithDrawing(&drawing);
    QntSequenceLayoutManager manager;
    manager.setDiagram(outline.sequenceDiagram());
    manager.performDrawingOnDrawing(&drawing, outline.timelineIdentifiersAndNames(), {});
    outline.saveSequenceToDrawing(&drawing);
    return 0;
}

} // namespace qnt::fuzz
