#include "platform/TagEnablingAdditions.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

TEST(TagEnablingAdditions, MatchingContainerIsHiddenAloneButPassesEnabling)
{
    QWidget root;
    auto *container = new QWidget(&root);
    auto *button = new QPushButton("b", container);
    auto *label = new QLabel("l", container);
    auto *other = new QPushButton("o", &root);
    TagEnablingAdditions::setTag(container, 7);
    TagEnablingAdditions::setTag(button, 7);
    TagEnablingAdditions::setTag(other, 7);

    TagEnablingAdditions::setSubviewsWithTag(&root, 7, true);
    EXPECT_TRUE(container->isHidden());
    EXPECT_FALSE(button->isHidden()); // left alone below a matching view
    EXPECT_FALSE(label->isHidden());
    EXPECT_TRUE(other->isHidden());

    TagEnablingAdditions::setSubviewsWithTagEnabled(&root, 7, false);
    EXPECT_TRUE(container->isEnabled()); // a container cannot be enabled on its own
    EXPECT_FALSE(button->isEnabled());
    EXPECT_FALSE(other->isEnabled());
    EXPECT_TRUE(label->isEnabled());
}
