// Packing a report folder into one multipart package in the store's prepared folder.

#include "telemetry/crash/FLTPackageReportOperation.h"

#include "common/Gzip.h"
#include "ReportStoreFixture.h"
#include "tests/telemetry/core/NetTestServer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace fs = std::filesystem;
using qnt::test::TemporaryStore;

namespace {

std::vector<qnt::test::FormPart> partsOf(const std::string &package)
{
    const std::string boundary = fs::path(package).stem().string();
    return qnt::test::parseMultipart("multipart/form-data; boundary=" + boundary,
                                     qnt::test::readWholeFile(package));
}

TEST(PackageReportOperation, PacksFieldsAndEveryFileCompressed)
{
    TemporaryStore store;
    const fs::path folder =
        store.addReport(store.manager()->processingPath(), "rep1",
                        {{"signal.fltrecord", "{\"signal\":{}}\n"},
                         {"sdk.log", "INFO  [f:1] hello\n"},
                         {"signal.fltrecord.gz", "left over from an interrupted launch"},
                         {".hidden", "never packed"},
                         {"empty.fltrecord", ""}});
    fs::create_directory(folder / "subfolder");
    FLTPackageReportOperation operation(FLTInternalReport::reportWithPath(folder.string()),
                                        store.manager());
    operation.start();
    ASSERT_TRUE(operation.finalPath());
    EXPECT_EQ(fs::path(*operation.finalPath()).parent_path(),
              fs::path(store.manager()->preparedPath()));
    EXPECT_TRUE(
        FLTPackageReportOperation::isPackageName(fs::path(*operation.finalPath()).filename()));
    const auto parts = partsOf(*operation.finalPath());
    ASSERT_GE(parts.size(), 2u);
    EXPECT_EQ(parts[0].name, "api_key");
    EXPECT_EQ(parts[0].content, "k");
    EXPECT_EQ(parts[1].name, "report_id");
    EXPECT_EQ(parts[1].content, "rep1");
    std::map<std::string, std::string> files;
    for (std::size_t i = 2; i < parts.size(); ++i) {
        EXPECT_EQ(parts[i].filename, parts[i].name + ".gz");
        EXPECT_EQ(parts[i].contentType, "application/x-gzip");
        files[parts[i].name] = qnt::test::gunzip(parts[i].content).value_or("(not gzip)");
    }
    EXPECT_EQ(files, (std::map<std::string, std::string>{
                         {"metadata.fltrecord", qnt::test::metadataRecord("rep1")},
                         {"sdk.log", "INFO  [f:1] hello\n"},
                         {"signal.fltrecord", "{\"signal\":{}}\n"}}));
    // A second run over the same folder (an interrupted launch) finds the same package.
    FLTPackageReportOperation again(FLTInternalReport::reportWithPath(folder.string()),
                                    store.manager());
    again.start();
    EXPECT_EQ(again.finalPath(), operation.finalPath());
    EXPECT_EQ(store.manager()->preparedPathContents().size(), 1u);
}

TEST(PackageReportOperation, WithoutAPIKeyThereIsNoKeyField)
{
    TemporaryStore store;
    const fs::path folder = store.addReport(store.manager()->processingPath(), "rep2",
                                            {{"errors_a.fltrecord", "{}\n"}}, false);
    qnt::test::writeFile(folder / "metadata.fltrecord", qnt::test::metadataRecord("rep2", ""));
    FLTPackageReportOperation operation(FLTInternalReport::reportWithPath(folder.string()),
                                        store.manager());
    operation.start();
    ASSERT_TRUE(operation.finalPath());
    const auto parts = partsOf(*operation.finalPath());
    ASSERT_FALSE(parts.empty());
    EXPECT_EQ(parts[0].name, "report_id");
}

TEST(PackageReportOperation, LinksAreNeitherReadNorWrittenThrough)
{
    TemporaryStore store;
    const fs::path outside = qnt::test::makeTemporaryFolder("flt-outside");
    qnt::test::writeFile(outside / "secret", "do not upload");
    qnt::test::writeFile(outside / "victim", "precious");
    const fs::path folder =
        store.addReport(store.manager()->processingPath(), "rep3", {{"signal.fltrecord", "{}\n"}});
    fs::create_symlink(outside / "secret", folder / "errors_a.fltrecord");
    fs::create_symlink(outside / "victim", folder / "signal.fltrecord.gz");
    FLTPackageReportOperation operation(FLTInternalReport::reportWithPath(folder.string()),
                                        store.manager());
    operation.start();
    ASSERT_TRUE(operation.finalPath());
    EXPECT_EQ(qnt::test::readWholeFile(*operation.finalPath()).find("do not upload"),
              std::string::npos);
    EXPECT_EQ(qnt::test::readWholeFile(outside / "victim"), "precious");
    EXPECT_EQ(qnt::test::readWholeFile(outside / "secret"), "do not upload");
    fs::remove_all(outside);
}

} // namespace
