#include "fuzz/FuzzEntryPoints.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

#include <string>

namespace {

// Every file of a target's seed corpus and of its regression corpus (inputs that once crashed,
// hung or ran out of memory), through the same entry point the fuzz target uses.
QStringList inputsOf(const char *target)
{
    QStringList files;
    for (const char *corpus : {"corpus", "regressions"}) {
        const QString folder =
            QStringLiteral(QNT_FUZZ_DIR "/%1/%2").arg(QLatin1String(corpus), QLatin1String(target));
        QDirIterator it(folder, QDir::Files | QDir::Hidden);
        while (it.hasNext())
            files << it.next();
    }
    files.sort();
    return files;
}

class FuzzEntryPoints : public testing::TestWithParam<qnt::fuzz::Target>
{
protected:
    static void SetUpTestSuite() { qnt::fuzz::initialise(); }
};

} // namespace

TEST_P(FuzzEntryPoints, ReplaysItsCorporaWithoutFailing)
{
    const QStringList files = inputsOf(GetParam().name);
    EXPECT_FALSE(files.isEmpty()) << "no seed corpus for " << GetParam().name;
    for (const QString &path : files) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        const QByteArray data = file.readAll();
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(GetParam().run(reinterpret_cast<const std::uint8_t *>(data.constData()),
                                 std::size_t(data.size())),
                  0);
    }
}

// Empty and one-byte inputs reach every reader too.
TEST_P(FuzzEntryPoints, TakesTinyInputs)
{
    const std::uint8_t bytes[] = {0, '<', '{', 0xff};
    for (std::size_t size = 0; size <= 1; ++size) {
        for (const std::uint8_t &byte : bytes)
            EXPECT_EQ(GetParam().run(&byte, size), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzEntryPoints, testing::ValuesIn(qnt::fuzz::targets()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(FuzzEntryPointsLookup, FindsEveryTargetByName)
{
    for (const auto &target : qnt::fuzz::targets())
        EXPECT_EQ(qnt::fuzz::target(target.name), &target);
    EXPECT_EQ(qnt::fuzz::target("nothing"), nullptr);
}
