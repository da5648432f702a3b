#include "platform/ImageResources.h"

#include "common/ScopedEnvironment.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(ImageResources, FindsImagesInTheResourcesFolder)
{
    QTemporaryDir bundle;
    QDir(bundle.path()).mkdir("Images");
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(bundle.path() + "/Images/dial.png"));
    const qnt::test::ScopedEnvironmentVariable bundleFolder("QNT_BUNDLE_DIR",
                                                            bundle.path().toStdString());
    EXPECT_EQ(ImageResources::pathForImageResource("dial"), bundle.path() + "/Images/dial.png");
    EXPECT_EQ(ImageResources::pathForImageResource("dial.png"), bundle.path() + "/Images/dial.png");
    EXPECT_FALSE(ImageResources::imageNamed("dial").isNull());
    EXPECT_TRUE(ImageResources::imageNamed("missing").isNull());
    EXPECT_TRUE(ImageResources::pathForImageResource("../etc/passwd").isEmpty());
}
