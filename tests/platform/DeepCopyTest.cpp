#include "platform/DeepCopy.h"

#include <gtest/gtest.h>

TEST(DeepCopy, NestedContainersShareNothing)
{
    QVariantMap original{{"list", QVariantList{QVariantMap{{"k", "v"}}, QByteArray("b")}},
                         {"n", 1}};
    QVariantMap copy = deepCopy(original);
    EXPECT_EQ(copy, original);
    QVariantList list = copy["list"].toList();
    QVariantMap inner = list[0].toMap();
    inner["k"] = "changed";
    list[0] = inner;
    copy["list"] = list;
    EXPECT_EQ(original["list"].toList()[0].toMap()["k"].toString(), "v");
    const QString text = original["list"].toList()[0].toMap()["k"].toString();
    const QString copied = deepCopy(QVariant(text)).toString();
    EXPECT_NE(text.constData(), copied.constData());
}
