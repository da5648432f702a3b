#include "platform/ImageResources.h"

#include "common/ScopedEnvironment.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPixmap>
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

// Pictures are read as the format their name (or the caller) says, and still read when that is
// wrong; what is no picture is a null image.
TEST(ImageResources, ReadsPicturesAsTheFormatGivenAndOtherwiseAsTheyAre)
{
    QTemporaryDir folder;
    QImage image(6, 3, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(image.save(&buffer, "PNG"));
    }
    const struct {
        const char *name;
        QByteArray bytes;
        bool readable;
    } files[] = {
        {"right.png", png, true},
        {"UPPER.PNG", png, true},
        {"misnamed.bmp", png, true},
        {"nosuffix", png, true},
        {"text.png", "not a picture", false},
        {"empty.png", "", false},
    };
    for (const auto &file : files) {
        const QString path = folder.filePath(file.name);
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(file.bytes);
        out.close();
        const QImage read = ImageResources::readImage(path);
        EXPECT_EQ(!read.isNull(), file.readable) << file.name;
        if (file.readable)
            EXPECT_EQ(read.size(), QSize(6, 3)) << file.name;
        EXPECT_EQ(ImageResources::iconFromFiles({path}).isNull(), !file.readable) << file.name;
    }
    EXPECT_TRUE(ImageResources::readImage(folder.filePath("missing.png")).isNull());

    EXPECT_EQ(ImageResources::imageFromData(png, "png").size(), QSize(6, 3));
    EXPECT_EQ(ImageResources::imageFromData(png, "bmp").size(), QSize(6, 3));
    EXPECT_EQ(ImageResources::imageFromData(png, nullptr).size(), QSize(6, 3));
    EXPECT_TRUE(ImageResources::imageFromData("not a picture", "png").isNull());
    EXPECT_TRUE(ImageResources::imageFromData({}, "png").isNull());
}

// An icon's open pictures are its pictures for the open state only.
TEST(ImageResources, AnIconHasItsOpenPicturesForTheOpenState)
{
    QTemporaryDir folder;
    QImage closed(16, 16, QImage::Format_ARGB32);
    closed.fill(Qt::red);
    QImage open(16, 16, QImage::Format_ARGB32);
    open.fill(Qt::green);
    ASSERT_TRUE(closed.save(folder.filePath("closed.png")));
    ASSERT_TRUE(open.save(folder.filePath("open.png")));
    const QIcon icon = ImageResources::iconFromFiles({folder.filePath("closed.png")},
                                                     {folder.filePath("open.png")});
    const auto colourOf = [&icon](QIcon::State state) {
        return icon.pixmap(QSize(16, 16), QIcon::Normal, state).toImage().pixelColor(8, 8);
    };
    EXPECT_EQ(colourOf(QIcon::Off), QColor(Qt::red));
    EXPECT_EQ(colourOf(QIcon::On), QColor(Qt::green));
}

TEST(ImageResources, AnIconReadWhenUsedReadsItsFileOnlyThen)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("app.png");
    // Made before its file exists: nothing is read yet.
    QIcon icon = ImageResources::iconFromFileWhenUsed(path);
    QImage picture(32, 32, QImage::Format_ARGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(path));
    const QIcon copy = icon;
    EXPECT_FALSE(copy.isNull());
    EXPECT_EQ(copy.availableSizes(), QList<QSize>{QSize(32, 32)});
    EXPECT_EQ(copy.pixmap(QSize(16, 16)).toImage().pixelColor(8, 8), QColor(Qt::blue));
    // Read once: a later change of the file is not seen.
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(path));
    EXPECT_EQ(icon.pixmap(QSize(32, 32)).toImage().pixelColor(8, 8), QColor(Qt::blue));
    // A file that cannot be read makes a null icon, as iconFromFiles does.
    EXPECT_TRUE(ImageResources::iconFromFileWhenUsed(folder.filePath("none.png")).isNull());
}
