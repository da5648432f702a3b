#include "telemetry/core/AdNetKit.h"
#include "telemetry/core/Plinth.h"
#include "telemetry/TallyKit/Tally.h"
#include "telemetry/crash/Faultline.h"
#include "telemetry/platform/SystemLog.h"

#include <gtest/gtest.h>

namespace {

class NamedKit : public PLNKit
{
public:
    explicit NamedKit(std::string name, bool conforms = true)
        : m_name(std::move(name))
        , m_conforms(conforms)
    {
    }
    std::string className() const override { return m_name; }
    bool conformsToPLNKit() const override { return m_conforms; }
    std::string bundleIdentifier() const override { return "test." + m_name; }
    std::string kitDisplayVersion() const override { return "2.0"; }

private:
    std::string m_name;
    bool m_conforms;
};

class LegacyInstance : public PLNLegacyKitInstance
{
public:
    explicit LegacyInstance(bool complete)
        : m_complete(complete)
    {
    }
    bool respondsToVersion() const override { return m_complete; }
    void start() override { ++starts; }
    std::string bundleIdentifier() const override { return "legacy.kit"; }
    std::string version() const override { return "0.9"; }
    int starts = 0;

private:
    bool m_complete;
};

class LegacyKit : public NamedKit
{
public:
    LegacyKit(std::string name, PLNLegacyKitInstance *instance)
        : NamedKit(std::move(name), false)
        , m_instance(instance)
    {
    }
    PLNLegacyKitInstance *sharedInstance() const override { return m_instance; }

private:
    PLNLegacyKitInstance *m_instance;
};

class KitInstance : public PLNKitInstance
{
public:
    explicit KitInstance(const PLNKit &kit)
        : m_kit(kit)
    {
    }
    const PLNKit &kitClass() const override { return m_kit; }

private:
    const PLNKit &m_kit;
};

class PlinthKitList : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tel::SystemLog::setSink([this](const std::string &line) { logs.push_back(line); });
        // The analytics kit is linked in and registered by name; these tests register their own.
        PLNKit::unregisterClass("Tally");
    }
    void TearDown() override
    {
        tel::SystemLog::setSink({});
        for (const char *name : {"Screenly", "Dialpad", "ADNMobileAds", "Faultline", "Tally"})
            PLNKit::unregisterClass(name);
        PLNKit::registerClass(&Faultline::metaClass());
        PLNKit::registerClass(&Tally::metaClass());
    }
    std::vector<std::string> logs;
};

std::vector<std::string> names(const std::vector<const PLNKit *> &kits)
{
    std::vector<std::string> out;
    for (const PLNKit *kit : kits)
        out.push_back(kit->className());
    return out;
}

} // namespace

TEST_F(PlinthKitList, InstancesAndClassesGiveTheSameList)
{
    NamedKit a("A"), b("B");
    KitInstance instanceOfB(b);
    EXPECT_EQ(Plinth::convertToKitClassesIfNeeded({&a, &instanceOfB}),
              Plinth::convertToKitClassesIfNeeded({&a, &b}));
}

TEST_F(PlinthKitList, ScreenlyMovesToTheFrontOthersKeepTheirOrder)
{
    NamedKit a("A"), b("B"), screenly("Screenly");
    // Not a registered class of that name: nothing moves.
    EXPECT_EQ(names(Plinth::kitClassesByEnsuringScreenlyIsFirst({&a, &b, &screenly})),
              (std::vector<std::string>{"A", "B", "Screenly"}));
    PLNKit::registerClass(&screenly);
    EXPECT_EQ(names(Plinth::kitClassesByEnsuringScreenlyIsFirst({&a, &b, &screenly})),
              (std::vector<std::string>{"Screenly", "A", "B"}));
    EXPECT_EQ(names(Plinth::kitClassesByEnsuringScreenlyIsFirst({&a, &b})),
              (std::vector<std::string>{"A", "B"}));
}

TEST_F(PlinthKitList, OptionalKitsAreAddedByName)
{
    NamedKit faultline("Faultline"), tally("Tally"), dialpad("Dialpad"), ads("ADNMobileAds"),
        a("A");
    EXPECT_EQ(names(Plinth::kitClassesByAddingDialpadIfFound({&a})),
              (std::vector<std::string>{"A"}));
    PLNKit::registerClass(&dialpad);
    EXPECT_EQ(names(Plinth::kitClassesByAddingDialpadIfFound({&a})),
              (std::vector<std::string>{"A", "Dialpad"}));
    EXPECT_EQ(names(Plinth::kitClassesByAddingDialpadIfFound({&dialpad})),
              (std::vector<std::string>{"Dialpad"}));

    PLNKit::registerClass(&faultline);
    EXPECT_EQ(names(Plinth::kitClassesByAddingTallyIfFound({&faultline})),
              (std::vector<std::string>{"Faultline"}));
    PLNKit::registerClass(&tally);
    EXPECT_EQ(names(Plinth::kitClassesByAddingTallyIfFound({&faultline})),
              (std::vector<std::string>{"Faultline", "Tally"}));
    EXPECT_EQ(names(Plinth::kitClassesByAddingTallyIfFound({&a})), (std::vector<std::string>{"A"}));
    EXPECT_EQ(names(Plinth::kitClassesByAddingTallyIfFound({&faultline, &tally})),
              (std::vector<std::string>{"Faultline", "Tally"}));

    EXPECT_EQ(names(Plinth::kitClassesByAddingAdNetIfFound({&a})), (std::vector<std::string>{"A"}));
    PLNKit::registerClass(&ads);
    const PLNKit *adNet = &AdNetKit::shared();
    // Appended even when the caller passed it already.
    const auto withAdNet = Plinth::kitClassesByAddingAdNetIfFound({adNet});
    EXPECT_EQ(names(withAdNet), (std::vector<std::string>{"AdNetKit", "AdNetKit"}));
    EXPECT_EQ(adNet->bundleIdentifier(), "com.beacon.adnet.ios");
    EXPECT_EQ(adNet->kitDisplayVersion(), "0.0.0");
}

TEST_F(PlinthKitList, ValidationAcceptsKitsAndCompleteOlderKitsOnly)
{
    NamedKit good("Good");
    LegacyInstance complete(true), incomplete(false);
    LegacyKit older("Older", &complete), broken("Broken", &incomplete), bare("Bare", nullptr);
    EXPECT_NO_THROW(Plinth::validatePLNKitConformance({&good, &older}));
    EXPECT_EQ(logs, std::vector<std::string>{
                        "[Plinth] Please upgrade to the latest version of \"Older\""});
    try {
        Plinth::validatePLNKitConformance({&broken});
        FAIL() << "no exception";
    } catch (const PLNException &e) {
        EXPECT_EQ(
            e.reason(),
            "[Plinth] It appears that \"Broken\" is not a valid Plinth Kit. Please make sure you "
            "only pass Plinth Kits to [Plinth with:].");
    }
    EXPECT_EQ(logs.size(), 2u); // the upgrade line comes whatever the result
    EXPECT_THROW(Plinth::validatePLNKitConformance({&bare}), PLNException);
    EXPECT_EQ(logs.size(), 2u);

    Plinth::initializeKit(&older);
    EXPECT_EQ(complete.starts, 1);
}

TEST_F(PlinthKitList, KitVersionsAndConfiguration)
{
    Plinth &sdk = Plinth::sharedSDK();
    NamedKit a("A");
    LegacyInstance complete(true);
    LegacyKit older("Older", &complete);
    sdk.setKitClasses({&a, &older});
    EXPECT_EQ(sdk.kitVersionsByKitBundleIdentifier(),
              (std::map<std::string, std::string>{
                  {"test.A", "2.0"}, {"legacy.kit", "0.9"}, {"io.plinth.sdk.mac", "1.7.2"}}));
    sdk.setKitClasses({});

    sdk.setPlinthConfig(
        {{"APIKey", "k"},
         {"Kits", tel::PlistValue::Array{
                      tel::PlistValue::Dictionary{
                          {"KitName", "A"}, {"KitInfo", tel::PlistValue::Dictionary{{"x", 1}}}},
                      tel::PlistValue::Dictionary{{"KitName", "Older"}}}}});
    EXPECT_EQ(Plinth::configurationDictionaryForKitClass(a),
              (tel::PlistValue::Dictionary{{"x", 1}}));
    EXPECT_EQ(Plinth::configurationDictionaryForKitClass(older), tel::PlistValue::Dictionary{});
    EXPECT_FALSE(Plinth::configurationDictionaryForKitClass(NamedKit("Missing")));
}

TEST_F(PlinthKitList, ConfigurationValidationReasons)
{
    Plinth &sdk = Plinth::sharedSDK();
    using D = tel::PlistValue::Dictionary;
    const auto reason = [&](const std::optional<tel::PlistValue> &info) -> std::string {
        try {
            sdk.validPlinthConfigFromInfoPlist(info);
        } catch (const PLNException &e) {
            return e.reason();
        }
        return "valid";
    };
    EXPECT_EQ(reason(std::nullopt), "[Plinth] Cannot find Info.plist.");
    EXPECT_EQ(reason(tel::PlistValue(D{{"Plinth", "text"}})),
              "[Plinth] Value of Info.plist key \"Plinth\" must be a NSDictionary.");
    EXPECT_EQ(reason(tel::PlistValue(D{{"Plinth", D{{"APIKey", 5}}}})),
              "[Plinth] Value of Info.plist[Plinth][APIKey] must contain your Plinth API Key.");
    logs.clear();
    EXPECT_EQ(reason(tel::PlistValue(D{{"Plinth", D{{"APIKey", "key"}}}})), "valid");
    EXPECT_EQ(logs,
              std::vector<std::string>{
                  "[Plinth] [Plinth] Value of Info.plist[Plinth][Kits] should be a NSArray."});
    EXPECT_EQ(sdk.installationMode(), 1u);
    EXPECT_FALSE(sdk.hearthMode());
}
