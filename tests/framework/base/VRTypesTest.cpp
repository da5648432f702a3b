#include "framework/base/VRTypes.h"

#include <QList>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

// Collects the warnings logged while it lives and puts the earlier handler back.
class WarningCatcher
{
public:
    WarningCatcher()
    {
        messages().clear();
        m_previous = qInstallMessageHandler(&WarningCatcher::handle);
    }
    ~WarningCatcher() { qInstallMessageHandler(m_previous); }
    WarningCatcher(const WarningCatcher &) = delete;
    WarningCatcher &operator=(const WarningCatcher &) = delete;

    static QStringList &messages()
    {
        static QStringList list;
        return list;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type == QtWarningMsg)
            messages().append(message);
    }

    QtMessageHandler m_previous = nullptr;
};

int positiveOrMinusOne(int value)
{
    VR_ASSERT(value > 0, return -1);
    return value;
}

TEST(VRAssertTest, ReturnLeavesTheFunction)
{
    WarningCatcher catcher;
    EXPECT_EQ(positiveOrMinusOne(3), 3);
    EXPECT_TRUE(WarningCatcher::messages().isEmpty());
    EXPECT_EQ(positiveOrMinusOne(0), -1);
    ASSERT_EQ(WarningCatcher::messages().size(), 1);
    EXPECT_TRUE(WarningCatcher::messages().first().contains(QLatin1String("\"value > 0\"")))
        << WarningCatcher::messages().first().toStdString();
}

TEST(VRAssertTest, ContinueSkipsOnlyThatRoundOfTheLoop)
{
    WarningCatcher catcher;
    QList<int> visited;
    for (int i = 0; i < 5; ++i) {
        VR_ASSERT(i != 2, continue);
        visited.append(i);
    }
    EXPECT_EQ(visited, QList<int>({0, 1, 3, 4}));
    EXPECT_EQ(WarningCatcher::messages().size(), 1);
}

TEST(VRAssertTest, BreakLeavesTheLoop)
{
    WarningCatcher catcher;
    QList<int> visited;
    for (int i = 0; i < 5; ++i) {
        VR_ASSERT(i < 3, break);
        visited.append(i);
    }
    EXPECT_EQ(visited, QList<int>({0, 1, 2}));
    EXPECT_EQ(WarningCatcher::messages().size(), 1);
}

TEST(VRResultTest, CarriesAValueOrAMessage)
{
    const VRResult<QString> value(QStringLiteral("made"));
    ASSERT_TRUE(value.ok());
    EXPECT_EQ(*value, QStringLiteral("made"));
    EXPECT_TRUE(value.errorMessage().isEmpty());
    const VRResult<QString> failure(VRError{QStringLiteral("refused")});
    EXPECT_FALSE(failure.ok());
    EXPECT_EQ(failure.errorMessage(), QStringLiteral("refused"));
    EXPECT_TRUE(VRResult<void>().ok());
    EXPECT_FALSE(VRResult<void>(VRError{QStringLiteral("no")}).ok());
}

} // namespace
