// qnt_fuzz_seeds <corpus folder>: writes the seed corpus of every fuzz target with our own
// writers, one folder per target, so the fuzzers start from files the application makes.

#include "framework/archive/VRArchiver.h"
#include "framework/archive/VRPasteboardInfo.h"
#include "framework/base/VRConstants.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRImageShape.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRShapeGroup.h"
#include "framework/model/VRTextShape.h"
#include "framework/notations/QntImportFromGraffle.h"
#include "framework/notations/QntNotation.h"
#include "framework/styles/VRGradient.h"
#include "framework/styles/VRStyle.h"
#include "framework/styles/VRStyleRegistry.h"
#include "framework/undo/VRUndoManager.h"
#include "library/QntImagesBankController.h"
#include "platform/KeyedArchiver.h"
#include "platform/UserDefaults.h"
#include "telemetry/TallyKit/TLYCompressLogOperation.h"
#include "telemetry/TallyKit/TLYCustomEvent.h"
#include "telemetry/TallyKit/TLYPackageLogOperation.h"
#include "telemetry/TallyKit/TLYWriteEventOperation.h"
#include "telemetry/core/FLTUserDefaults.h"
#include "telemetry/crash/FLTFile.h"
#include "telemetry/platform/PlistValue.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTimeZone>

#include <cstdio>
#include <cstdlib>

namespace {

QString g_corpus;

void put(const char *target, const char *name, const QByteArray &data)
{
    const QString folder = g_corpus + QLatin1Char('/') + QLatin1String(target);
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size()) {
        std::fprintf(stderr, "cannot write %s/%s\n", target, name);
        std::exit(1);
    }
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

VRObjectList someObjects()
{
    auto rect = VRDrawableShape::shapeWithRect(QRectF(10, 10, 120, 60));
    rect->setStyle(VRStyle::styleWithFillColour(QColor(200, 220, 255), QColor(0, 0, 90), 2));
    rect->setString(QStringLiteral("Box"), QStringLiteral("name"));
    auto oval = VRDrawableShape::shapeWithRect(QRectF(150, 10, 80, 80),
                                               VRDrawableShape::unitOvalAtOrigin());
    QPainterPath curve;
    curve.moveTo(0, 0);
    curve.cubicTo(30, 40, 60, -20, 90, 30);
    auto path = VRDrawablePath::drawablePathWithBezierPath(curve);
    auto text = std::make_shared<VRTextShape>();
    text->setString(QStringLiteral("Text ünïcode"));
    QImage picture(6, 4, QImage::Format_ARGB32);
    picture.fill(Qt::darkMagenta);
    auto image = std::make_shared<VRImageShape>(picture);
    image->setLocation(QPointF(300, 40));
    auto group =
        VRShapeGroup::groupWithObjects({VRDrawableShape::shapeWithRect(QRectF(0, 200, 40, 40)),
                                        VRDrawableShape::shapeWithRect(QRectF(50, 200, 40, 40))});
    auto element =
        QntElement::createWithObjects({rect->copy()}, QStringLiteral("SEED1"), QSizeF(120, 60));
    return {rect, oval, path, text, image, group, element};
}

void documents()
{
    VRDrawing empty;
    put("document", "empty.quintora", VRArchiver::documentData(empty));
    VRDrawing drawing;
    drawing.undoManager()->disableUndoRegistration();
    drawing.activeLayerOfClass<VRObjectDrawingLayer>()->addObjectsFromArray(someObjects());
    put("document", "objects.quintora", VRArchiver::documentData(drawing));
}

void pasteboards()
{
    const VRObjectList objects = someObjects();
    put("pasteboard", "objects.json", VRArchiver::objectsData(objects));
    QMimeData mime;
    VRPasteboardInfo::pasteboardInfoForObjects(objects).writeToPasteboard(&mime);
    put("pasteboard", "info.json", mime.data(kVRPasteboardInfoType));
    const VRStyleRef style = VRStyle::styleWithFillColour(Qt::yellow, Qt::black, 3);
    QMimeData styleMime;
    style->copyToPasteboard(&styleMime);
    put("pasteboard", "style.json", styleMime.data(kVRRasterizerPasteboardType));
}

void stencils(const QString &scratch)
{
    const VRObjectList objects = someObjects();
    const QString folder = scratch + QStringLiteral("/Seed.graffle");
    if (QntImportFromGraffle::writeStencil(
            folder, {{QStringLiteral("One"), objects}, {QStringLiteral("Two"), {objects.first()}}})
            .ok())
        put("stencil", "sheets.plist", readAll(folder + QStringLiteral("/stencil.plist")));
    const QString compressed = scratch + QStringLiteral("/Seed.gstencil");
    if (QntImportFromGraffle::writeStencil(compressed, {{QStringLiteral("Only"), objects}}).ok())
        put("stencil", "compressed.gstencil", readAll(compressed));
}

void gradients()
{
    put("gradient", "default.gradient", VRGradient::defaultGradient()->fileRepresentation());
    put("gradient", "aqua.gradient", VRGradient::aquaNormalGradient()->fileRepresentation());
    put("gradient", "two.gradient",
        VRGradient::gradientWithStartingColor(QColor(10, 20, 30, 40), Qt::white)
            ->fileRepresentation());
}

void styleLibraries(const QString &scratch)
{
    const QString path = scratch + QStringLiteral("/Seed.styles");
    for (const VRStyleRef &style : VRStyleRegistry::standardStyles())
        VRStyleRegistry::registerStyle(style);
    if (VRStyleRegistry::sharedStyleRegistry().writeToFile(path, true).ok())
        put("styles", "standard.styles", readAll(path));
    VRStyleRegistry::resetRegistry();
}

void userDefaults(const QString &scratch)
{
    const QString path = scratch + QStringLiteral("/Quintora.plist");
    {
        UserDefaults defaults(path);
        defaults.setInteger(14, QStringLiteral("Integer"));
        defaults.setDouble(14.5, QStringLiteral("Real"));
        defaults.setBool(true, QStringLiteral("Flag"));
        defaults.setObject(QStringLiteral("Grüße"), QStringLiteral("Text"));
        defaults.setObject(QByteArray("\x00\x01\xfe", 3), QStringLiteral("Data"));
        defaults.setObject(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9), QTimeZone::utc()),
                           QStringLiteral("Date"));
        defaults.setObject(QVariantMap{{QStringLiteral("list"), QVariantList{1, 2.5, false}}},
                           QStringLiteral("Nested"));
        defaults.synchronize();
    }
    put("defaults", "Quintora.plist", readAll(path));
    // A stored element style, with its archived colour and font.
    const QString styles = scratch + QStringLiteral("/StoredStyles.plist");
    {
        UserDefaults defaults(styles);
        defaults.setObject(
            QVariantMap{
                {QStringLiteral("kQntCustomNotationElementContourColor"),
                 KeyedArchiver::archivedDataWithColor(QColor(200, 10, 20, 128))},
                {QStringLiteral("kQntCustomNotationElementContouWidth"), 5.0},
                {QStringLiteral("kQntNotationElementTextFont"),
                 KeyedArchiver::archivedDataWithFont(QFont(QStringLiteral("Courier"), 18))},
                {QStringLiteral("kQntNotationElementTextFontSize"), 18.0},
            },
            QStringLiteral("kQntCustomNotationDefaultElement"));
        defaults.synchronize();
    }
    put("defaults", "StoredStyles.plist", readAll(styles));
}

void notations(const QString &scratch)
{
    const auto imported =
        QntNotation::importIntoDB(QStringLiteral("Seed Notation"), someObjects(), QByteArray(), {});
    if (imported.ok())
        put("notation", "imported.qntnotation", readAll(imported.value()));
    Q_UNUSED(scratch)
}

void imageBanks(const QString &scratch)
{
    const QString bankPath = QntImagesBankController::imageBankFilePath();
    QntImagesBankController bank(QStringLiteral("QntImagesBank"));
    if (!bank.initImageBank())
        return;
    put("image_bank", "empty.db", readAll(bankPath));
    QImage sky(24, 16, QImage::Format_ARGB32);
    sky.fill(QColor(90, 160, 230));
    QImage sea(16, 24, QImage::Format_RGB32);
    sea.fill(QColor(20, 60, 120));
    const QString png = scratch + QStringLiteral("/sky.png");
    const QString jpeg = scratch + QStringLiteral("/sea.jpg");
    const QString bmp = scratch + QStringLiteral("/sand.bmp");
    sky.save(png);
    sea.save(jpeg);
    sea.save(bmp);
    bank.addElementWithPath(png);
    bank.addElementWithPath(jpeg);
    put("image_bank", "two-pictures.db", readAll(bankPath));
    put("image_bank_picture", "sky.png", readAll(png));
    put("image_bank_picture", "sea.jpg", readAll(jpeg));
    put("image_bank_picture", "sand.bmp", readAll(bmp));
    put("image_bank_picture", "cut-short.png", readAll(png).left(60));
}

void records(const QString &scratch)
{
    const QByteArray path = QFile::encodeName(scratch + QStringLiteral("/seed.fltrecord"));
    FLTFile file;
    if (!FLTFileInitWithPath(&file, path.constData(), true))
        return;
    FLTFileWriteSectionStart(&file, "identity");
    FLTFileWriteHashStart(&file);
    FLTFileWriteHashEntryString(&file, "generator", "Quintora \"seed\"");
    FLTFileWriteHashEntryUInt64(&file, "started_at", 1700000000);
    FLTFileWriteHashEntryBoolean(&file, "beta", false);
    FLTFileWriteHashEntryHexEncodedString(&file, "message", "héllo\nworld");
    FLTFileWriteHashEnd(&file);
    FLTFileWriteSectionEnd(&file);
    FLTFileWriteSectionStart(&file, "kv");
    FLTFileWriteHashStart(&file);
    FLTFileWriteHashEntryHexEncodedString(&file, "key", "colour");
    FLTFileWriteHashEntryHexEncodedString(&file, "value", "blue");
    FLTFileWriteHashEnd(&file);
    FLTFileWriteSectionEnd(&file);
    FLTFileWriteSectionStart(&file, "threads");
    FLTFileWriteArrayStart(&file);
    FLTFileWriteArrayEntryUInt64(&file, 42);
    FLTFileWriteArrayEntryString(&file, "main");
    FLTFileWriteArrayEnd(&file);
    FLTFileWriteSectionEnd(&file);
    FLTFileClose(&file);
    put("record", "seed.fltrecord", readAll(QString::fromLocal8Bit(path)));
}

void telemetrySettings(const QString &scratch)
{
    put("telemetry_settings", "settings.json",
        R"({"app":{"status":"activated","update_required":false},)"
        R"("features":{"collect_reports":true,"collect_logged_exceptions":true,)"
        R"("prompt_enabled":false},"session":{"log_buffer_size":65536,)"
        R"("max_custom_exception_events":16,"max_custom_key_value_pairs":16},)"
        R"("beta":{"update_suspend_duration":604800},)"
        R"("prompt":{"title":"Crash","message":"Send it?"}})");
    const tel::PlistValue info(tel::PlistValue::Dictionary{
        {"CFBundleIdentifier", tel::PlistValue(std::string("org.quintora.Quintora"))},
        {"CFBundleVersion", tel::PlistValue(std::string("1"))},
        {"Faultline", tel::PlistValue(tel::PlistValue::Dictionary{
                          {"collect_reports", tel::PlistValue(true)},
                          {"log_buffer_size", tel::PlistValue(std::int64_t{4096})},
                          {"ratio", tel::PlistValue(0.25)}})}});
    put("telemetry_settings", "Info.plist", QByteArray::fromStdString(info.toXml()));
    const std::string store = QFile::encodeName(scratch + QStringLiteral("/store")).toStdString();
    QDir().mkpath(QString::fromStdString(store));
    {
        FLTUserDefaults defaults(store);
        defaults.setString("value", "key");
        defaults.setBool(true, "flag");
        defaults.synchronize();
    }
    put("telemetry_settings", "FLTUserDefaults.plist",
        readAll(QString::fromStdString(store + "/FLTUserDefaults.plist")));
}

void analyticsFiles(const QString &scratch)
{
    const std::string folder = QFile::encodeName(scratch + QStringLiteral("/events")).toStdString();
    QDir().mkpath(QString::fromStdString(folder));
    TLYMetadata::Fields fields;
    fields.APIKey = "key";
    fields.sessionId = "session";
    fields.installationId = "install";
    const auto metadata = std::make_shared<TLYMetadata>(fields, std::string("2:beta"));
    const std::string log = folder + "/A.log";
    TLYWriteEventOperation(std::make_shared<TLYCustomEvent>(
                               "opened", nlohmann::ordered_json{{"kind", "flowchart"}, {"n", 3}}),
                           metadata, log)
        .main();
    put("analytics_files", "event.log", readAll(QString::fromStdString(log)));
    TLYCompressLogOperation(log, folder + "/A.gz").main();
    put("analytics_files", "event.gz", readAll(QString::fromStdString(folder + "/A.gz")));
    TLYPackageLogOperation(folder + "/A.gz", folder + "/C.multipartmime", "C").main();
    put("analytics_files", "package.multipartmime",
        readAll(QString::fromStdString(folder + "/C.multipartmime")));
    put("analytics_files", "crash_metadata",
        QByteArray::fromStdString(metadata->dictionaryRepresentationWithStartTime(1)->dump()));
    put("analytics_files", "settings.json",
        R"({"features":{"collect_analytics":true},"analytics":{"url":"https://127.0.0.1/spi/v2/events",)"
        R"("max_byte_size_per_file":8000,"max_pending_send_file_count":100,"flush_interval_secs":600,)"
        R"("sampling_rate":2,"forward_to_beacon_analytics":true}})");
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    QTemporaryDir scratch;
    const QByteArray home = QFile::encodeName(scratch.filePath(QStringLiteral("home")));
    setenv("HOME", home.constData(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").constData(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").constData(), 1);
    setenv("XDG_CACHE_HOME", (home + "/.cache").constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    g_corpus = QString::fromLocal8Bit(argv[1]);
    documents();
    pasteboards();
    stencils(scratch.path());
    gradients();
    styleLibraries(scratch.path());
    userDefaults(scratch.path());
    notations(scratch.path());
    imageBanks(scratch.path());
    records(scratch.path());
    telemetrySettings(scratch.path());
    analyticsFiles(scratch.path());
    return 0;
}
