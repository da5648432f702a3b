// The image table and the image log follow libraries opened and closed after start-up: when the
// kit next keeps addresses (a recorded error) and, crash-safely, at crash time.

#include "telemetry/crash/FLTBinaryImage.h"
#include "telemetry/crash/FLTContext.h"
#include "telemetry/crash/FLTFile.h"
#include "telemetry/crash/FLTUserLogging.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <dlfcn.h>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

class BinaryImageTracking : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "flt-images-XXXXXX").string();
        m_folder = mkdtemp(pattern.data());
        FLTContextInitData data;
        data.reportPath = m_folder.c_str();
        data.sessionIdentifier = "session";
        ASSERT_TRUE(FLTContextInitializeWithoutHandlers(&data));
        m_plugin = fs::canonical(FLT_CRASH_PLUGIN).string();
    }
    void TearDown() override
    {
        if (m_handle)
            dlclose(m_handle);
        fs::remove_all(m_folder);
    }

    // Opens the plugin; answers the address of its function.
    uintptr_t openPlugin()
    {
        m_handle = dlopen(m_plugin.c_str(), RTLD_NOW);
        EXPECT_NE(m_handle, nullptr) << dlerror();
        return m_handle ? reinterpret_cast<uintptr_t>(dlsym(m_handle, "flt_plugin_fault")) : 0;
    }
    void closePlugin()
    {
        ASSERT_EQ(dlclose(m_handle), 0);
        m_handle = nullptr;
    }
    // The plugin's lines of the image log, as "load" or "unload", in order.
    std::vector<std::string> pluginLines() const
    {
        std::vector<std::string> kinds;
        const auto path = m_folder / "binary_images.fltrecord";
        for (const json &line :
             FLTFileReadSections(path.c_str(), false).value_or(std::vector<json>{}))
            for (const char *kind : {"load", "unload"})
                if (line.contains(kind) && line[kind]["path"] == m_plugin)
                    kinds.push_back(kind);
        return kinds;
    }
    static bool tracked(uintptr_t address)
    {
        FLTBinaryImageSlot slot;
        return FLTBinaryImageSafeFindImageForAddress(address, &slot);
    }

    fs::path m_folder;
    std::string m_plugin;
    void *m_handle = nullptr;
};

TEST_F(BinaryImageTracking, ARecordedErrorPicksUpOpenedAndClosedLibraries)
{
    const uintptr_t function = openPlugin();
    ASSERT_NE(function, 0u);
    EXPECT_FALSE(tracked(function));
    FLTUserLoggingRecordError(FLTError{"org.quintora.test", 1, {}}, {});
    EXPECT_TRUE(tracked(function));
    EXPECT_EQ(pluginLines(), (std::vector<std::string>{"load"}));

    closePlugin();
    FLTUserLoggingRecordError(FLTError{"org.quintora.test", 2, {}}, {});
    EXPECT_FALSE(tracked(function));
    EXPECT_EQ(pluginLines(), (std::vector<std::string>{"load", "unload"}));

    // Nothing changed since: nothing more is written.
    FLTUserLoggingRecordError(FLTError{"org.quintora.test", 3, {}}, {});
    EXPECT_EQ(pluginLines(), (std::vector<std::string>{"load", "unload"}));
}

TEST_F(BinaryImageTracking, TheCrashTimeWalkOfTheLoaderListAddsAndDropsLibraries)
{
    // Opened and closed unseen: the walk adds it, then drops it by its base (the walk keeps no
    // path of its own for what it added).
    uintptr_t function = openPlugin();
    ASSERT_NE(function, 0u);
    FLTBinaryImageSafeUpdateFromLoader();
    FLTBinaryImageSlot slot;
    ASSERT_TRUE(FLTBinaryImageSafeFindImageForAddress(function, &slot));
    EXPECT_NE(slot.ehFrameAddress, 0u);
    EXPECT_EQ(pluginLines(), (std::vector<std::string>{"load"}));
    closePlugin();
    FLTBinaryImageSafeUpdateFromLoader();
    EXPECT_FALSE(tracked(function));
    const auto path = m_folder / "binary_images.fltrecord";
    const auto lines = FLTFileReadSections(path.c_str(), false).value_or(std::vector<json>{});
    ASSERT_FALSE(lines.empty());
    ASSERT_TRUE(lines.back().contains("unload"));
    EXPECT_EQ(lines.back()["unload"]["base"], slot.base);
    EXPECT_EQ(lines.back()["unload"]["size"], slot.size);

    // Seen when it opened, closed unseen: the walk drops it with its full line.
    function = openPlugin();
    FLTUserLoggingRecordError(FLTError{"org.quintora.test", 1, {}}, {});
    EXPECT_TRUE(tracked(function));
    closePlugin();
    FLTBinaryImageSafeUpdateFromLoader();
    EXPECT_FALSE(tracked(function));
    EXPECT_EQ(pluginLines(), (std::vector<std::string>{"load", "load", "unload"}));

    // Every image still loaded keeps its slot, and a walk with nothing new writes nothing.
    EXPECT_TRUE(tracked(reinterpret_cast<uintptr_t>(&FLTBinaryImageSafeUpdateFromLoader)));
    EXPECT_TRUE(tracked(reinterpret_cast<uintptr_t>(&dlopen)));
    const auto before = FLTFileReadSections(path.c_str(), false)->size();
    FLTBinaryImageSafeUpdateFromLoader();
    EXPECT_EQ(FLTFileReadSections(path.c_str(), false)->size(), before);
}

} // namespace
