#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

TEST(NotificationCenter, DeliversByNameWithUserInfo)
{
    NotificationCenter center;
    std::vector<Notification> seen;
    auto token =
        center.addObserver("A", nullptr, [&](const Notification &n) { seen.push_back(n); });
    center.post("B");
    center.post("A", nullptr, {{"k", 7}});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].name, "A");
    EXPECT_EQ(seen[0].userInfo.value("k").toInt(), 7);
}

TEST(NotificationCenter, EmptyNameObservesEveryName)
{
    NotificationCenter center;
    QStringList names;
    auto token = center.addObserver({}, nullptr, [&](const Notification &n) { names << n.name; });
    center.post("A");
    center.post("B");
    EXPECT_EQ(names, (QStringList{"A", "B"}));
}

TEST(NotificationCenter, ObjectFilterMatchesOnlyThatSender)
{
    NotificationCenter center;
    int a = 0, b = 0;
    int hitsForA = 0, hitsForAny = 0;
    auto t1 = center.addObserver("N", &a, [&](const Notification &n) {
        EXPECT_EQ(n.object, &a);
        ++hitsForA;
    });
    auto t2 = center.addObserver("N", nullptr, [&](const Notification &) { ++hitsForAny; });
    center.post("N", &a);
    center.post("N", &b);
    center.post("N");
    EXPECT_EQ(hitsForA, 1);
    EXPECT_EQ(hitsForAny, 3);
}

TEST(NotificationCenter, DestroyingTheTokenRemovesTheObserver)
{
    NotificationCenter center;
    int hits = 0;
    {
        auto token = center.addObserver("N", nullptr, [&](const Notification &) { ++hits; });
        center.post("N");
        EXPECT_EQ(center.observerCount(), 1);
    }
    center.post("N");
    EXPECT_EQ(hits, 1);
    EXPECT_EQ(center.observerCount(), 0);
}

TEST(NotificationCenter, ResetMoveAndReassignRemoveExactlyOnce)
{
    NotificationCenter center;
    int first = 0, second = 0;
    NotificationToken token =
        center.addObserver("N", nullptr, [&](const Notification &) { ++first; });
    NotificationToken moved = std::move(token);
    EXPECT_FALSE(token.isActive());
    EXPECT_TRUE(moved.isActive());
    center.post("N");
    moved = center.addObserver("N", nullptr, [&](const Notification &) { ++second; });
    center.post("N");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
    moved.reset();
    center.post("N");
    EXPECT_EQ(second, 1);
    EXPECT_EQ(center.observerCount(), 0);
}

TEST(NotificationCenter, ObserverRemovedDuringDeliveryIsNotCalled)
{
    NotificationCenter center;
    int laterHits = 0;
    std::optional<NotificationToken> later;
    auto first = center.addObserver("N", nullptr, [&](const Notification &) { later.reset(); });
    later = center.addObserver("N", nullptr, [&](const Notification &) { ++laterHits; });
    center.post("N");
    EXPECT_EQ(laterHits, 0);
}

TEST(NotificationCenter, ObserverMayRemoveItselfAndAddOthers)
{
    NotificationCenter center;
    int selfHits = 0, addedHits = 0;
    NotificationToken self;
    NotificationToken added;
    self = center.addObserver("N", nullptr, [&](const Notification &) {
        ++selfHits;
        self.reset();
        added = center.addObserver("N", nullptr, [&](const Notification &) { ++addedHits; });
    });
    center.post("N");
    center.post("N");
    EXPECT_EQ(selfHits, 1);
    EXPECT_EQ(addedHits, 1);
}

TEST(NotificationCenter, TokenMayOutliveItsCentre)
{
    NotificationToken token;
    {
        NotificationCenter center;
        token = center.addObserver("N", nullptr, [](const Notification &) {});
    }
    EXPECT_FALSE(token.isActive());
    token.reset();
}

TEST(NotificationCenter, DefaultCenterIsShared)
{
    int hits = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(
        "QntTestDefaultCenter", nullptr, [&](const Notification &) { ++hits; });
    NotificationCenter::defaultCenter().post(Notification{"QntTestDefaultCenter", nullptr, {}});
    EXPECT_EQ(hits, 1);
}
