#include "common/TestFonts.h"

#include "common/TestEnvironment.h"

#include <QFile>
#include <QFont>
#include <QFontInfo>
#include <QStringList>

#include <cstdlib>
#include <filesystem>

namespace qnt::test {

namespace {

struct PinnedFamily {
    const char *requested;
    const char *resolved;
    const char *package;
};

// The families named in code and notations, and what they must resolve to.
constexpr PinnedFamily kPinnedFamilies[] = {
    {"Helvetica", "Nimbus Sans", "fonts-urw-base35"},
    {"Times", "Nimbus Roman", "fonts-urw-base35"},
    {"Courier", "Nimbus Mono PS", "fonts-urw-base35"},
    {"Arial", "Liberation Sans", "fonts-liberation2"},
    {"DejaVu Sans", "DejaVu Sans", "fonts-dejavu-core"},
    {"DejaVu Serif", "DejaVu Serif", "fonts-dejavu-core"},
    {"DejaVu Sans Mono", "DejaVu Sans Mono", "fonts-dejavu-core"},
};

// Both URW folders: for a family present in both, Qt draws from the Type 1 files, and the goldens
// were drawn so.
constexpr const char *kFontFolders[] = {
    "/usr/share/fonts/truetype/dejavu",
    "/usr/share/fonts/truetype/liberation2",
    "/usr/share/fonts/opentype/urw-base35",
    "/usr/share/fonts/type1/urw-base35",
};

// Debian's default choice of rules (fontconfig-config, fonts-dejavu-core, fonts-urw-base35), named
// one by one so rules other packages or the administrator add do not change the rendering.
constexpr const char *kRuleFiles[] = {
    "10-hinting-slight.conf",
    "10-scale-bitmap-fonts.conf",
    "10-yes-antialias.conf",
    "11-lcdfilter-default.conf",
    "20-unhint-small-dejavu-sans-mono.conf",
    "20-unhint-small-dejavu-sans.conf",
    "20-unhint-small-dejavu-serif.conf",
    "30-metric-aliases.conf",
    "40-nonlatin.conf",
    "45-generic.conf",
    "45-latin.conf",
    "48-spacing.conf",
    "49-sansserif.conf",
    "57-dejavu-sans-mono.conf",
    "57-dejavu-sans.conf",
    "57-dejavu-serif.conf",
    "60-generic.conf",
    "60-latin.conf",
    "urw-fallback-backwards.conf",
    "urw-fallback-generics.conf",
    "urw-nimbus-mono-ps.conf",
    "urw-nimbus-roman.conf",
    "urw-nimbus-sans.conf",
    "65-nonlatin.conf",
    "70-no-bitmaps.conf",
    "90-synthetic.conf",
};

// fontconfig-config and fonts-urw-base35 keep their rules in the first, fonts-dejavu-core in the
// second.
constexpr const char *kRuleFolders[] = {"/usr/share/fontconfig/conf.avail",
                                        "/etc/fonts/conf.avail"};

} // namespace

void pinInstalledFonts()
{
    const std::filesystem::path home(isolateUserFolders());
    const std::filesystem::path cache = home / ".cache" / "fontconfig";
    std::filesystem::create_directories(cache);
    QString config = QStringLiteral("<?xml version=\"1.0\"?>\n"
                                    "<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
                                    "<fontconfig>\n");
    for (const char *folder : kFontFolders)
        config += QStringLiteral("  <dir>%1</dir>\n").arg(QLatin1String(folder));
    config += QStringLiteral("  <cachedir>%1</cachedir>\n").arg(QString::fromStdString(cache));
    // The spelling "sans" stands for sans-serif, as the stock configuration says.
    config += QStringLiteral(
        "  <match target=\"pattern\"><test qual=\"any\" name=\"family\"><string>sans</string>"
        "</test><edit name=\"family\" mode=\"assign\" binding=\"same\"><string>sans-serif</string>"
        "</edit></match>\n");
    for (const char *rules : kRuleFiles) {
        for (const char *folder : kRuleFolders)
            config += QStringLiteral("  <include ignore_missing=\"yes\">%1/%2</include>\n")
                          .arg(QLatin1String(folder), QLatin1String(rules));
    }
    config += QStringLiteral("</fontconfig>\n");
    const std::filesystem::path path = home / "fonts.conf";
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0)
        return;
    file.close();
    setenv("FONTCONFIG_FILE", path.c_str(), 1);
}

QString missingFonts()
{
    QStringList missing;
    for (const PinnedFamily &pin : kPinnedFamilies) {
        // The URW files name two foundries, which Qt appends as "Family [FOUNDRY]".
        QString got = QFontInfo(QFont(QLatin1String(pin.requested))).family();
        got = got.left(got.indexOf(QStringLiteral(" ["))).trimmed();
        if (got != QLatin1String(pin.resolved))
            missing << QStringLiteral("“%1” is drawn with “%2” instead of “%3” (install %4)")
                           .arg(QLatin1String(pin.requested), got, QLatin1String(pin.resolved),
                                QLatin1String(pin.package));
    }
    if (missing.isEmpty())
        return {};
    return QStringLiteral("fonts missing: ") + missing.join(QStringLiteral("; "));
}

} // namespace qnt::test
