#include "StyleTestSupport.h"

#include "framework/base/VRConstants.h"
#include "framework/styles/VRColorStop.h"
#include "framework/styles/VRGradient.h"
#include "framework/styles/VRPlistCoder.h"
#include "platform/NotificationCenter.h"
#include "common/GoldenPicture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

namespace {

QColor pixel(const QImage &image, int x, int y)
{
    return QColor::fromRgba(image.pixel(x, y));
}

bool near(const QColor &a, const QColor &b, int tolerance = 3)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
           && std::abs(a.blue() - b.blue()) <= tolerance
           && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

QImage filled(const VRGradient &gradient, int w = 100, int h = 100)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    gradient.fillRect(painter, QRectF(0, 0, w, h));
    return image;
}

TEST(GradientTest, ColourAtValueInterpolatesBetweenSortedStops)
{
    auto g = VRGradient::create();
    g->addColor(QColor(0, 0, 0), 1.0);
    g->addColor(QColor(200, 100, 0), 0.0);
    EXPECT_TRUE(near(g->colorAtValue(0.0), QColor(200, 100, 0)));
    EXPECT_TRUE(near(g->colorAtValue(0.5), QColor(100, 50, 0)));
    EXPECT_TRUE(near(g->colorAtValue(2.0), QColor(0, 0, 0)));
    g->setGradientInterpolation(2); // quadratic: a quarter of the way at the middle
    EXPECT_TRUE(near(g->colorAtValue(0.5), QColor(150, 75, 0)));
    g->setGradientInterpolation(1); // reads as linear
    EXPECT_EQ(g->gradientInterpolation(), 0);
}

TEST(GradientTest, HsvBlendingGoesRoundTheHueCircle)
{
    auto g = VRGradient::gradientWithStartingColor(QColor(255, 0, 0), QColor(0, 0, 255));
    EXPECT_TRUE(near(g->colorAtValue(0.5), QColor(128, 0, 128), 2));
    g->setGradientBlending(VRGradient::HSV);
    const QColor middle = g->colorAtValue(0.5).toHsv();
    EXPECT_NEAR(middle.hsvHueF(), 300.0 / 360.0, 0.01); // red → magenta → blue, the short way
    EXPECT_NEAR(middle.valueF(), 1.0, 0.01);
}

TEST(GradientTest, StopsAddRemoveSortReverseAndNotify)
{
    auto g = VRGradient::create();
    QObject observer;
    int changes = 0;
    g->setUpKVOForObserver(&observer, [&] { ++changes; });
    auto a = g->addColor(Qt::red, 0.2);
    auto b = g->addColor(Qt::blue, 0.9);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(changes, 2);
    b->setPosition(0.1);
    EXPECT_EQ(changes, 3);
    b->setColor(QColor()); // refused
    EXPECT_EQ(b->color(), QColor(Qt::blue));
    EXPECT_EQ(changes, 3);
    b->setPosition(7.0);
    EXPECT_DOUBLE_EQ(b->position(), 1.0);
    g->reverseColorStops();
    EXPECT_DOUBLE_EQ(g->colorStops().first()->position(), 0.0);
    EXPECT_DOUBLE_EQ(g->colorStops().last()->position(), 0.8);
    g->removeColorStop(a);
    EXPECT_EQ(g->countOfColorStops(), 1);
    g->tearDownKVOForObserver(&observer);
    const int before = changes;
    g->setAngleInDegrees(33);
    EXPECT_EQ(changes, before);
}

TEST(GradientTest, AddingAndRemovingStopsPostWillAndDid)
{
    auto g = VRGradient::create();
    QStringList seen;
    std::shared_ptr<VRColorStop> announced;
    auto token =
        NotificationCenter::defaultCenter().addObserver({}, g.get(), [&](const Notification &n) {
            seen.append(n.name);
            announced = n.userInfo.value("stop").value<std::shared_ptr<VRColorStop>>();
            EXPECT_EQ(n.userInfo.value("object").value<VRGradientRef>(), g);
        });
    auto stop = g->addColor(Qt::red, 0.5);
    EXPECT_EQ(announced, stop);
    g->removeColorStop(stop);
    EXPECT_EQ(seen, QStringList({kVRNotificationGradientWillAddColorStop,
                                 kVRNotificationGradientDidAddColorStop,
                                 kVRNotificationGradientWillRemoveColorStop,
                                 kVRNotificationGradientDidRemoveColorStop}));
}

TEST(GradientTest, DefaultGradientRunsWhiteAtTopToBlackAtBottom)
{
    const QImage image = filled(*VRGradient::defaultGradient());
    EXPECT_TRUE(near(pixel(image, 50, 0), QColor(Qt::white), 6));
    EXPECT_TRUE(near(pixel(image, 50, 99), QColor(Qt::black), 6));
    EXPECT_TRUE(near(pixel(image, 0, 50), pixel(image, 99, 50), 2));
}

TEST(GradientTest, AStartingCircleLargerThanTheEndingOneStillPaints)
{
    auto g = VRGradient::gradientWithStartingColor(QColor(255, 0, 0), QColor(0, 0, 255),
                                                   VRGradient::Radial, 0.0);
    g->setRadialStartingRadius(0.5);
    g->setRadialEndingRadius(0.1);
    const QImage image = filled(*g);
    // Inside the small ending circle the ending colour, out at the starting circle the first.
    EXPECT_TRUE(near(pixel(image, 50, 50), QColor(0, 0, 255), 8));
    EXPECT_TRUE(near(pixel(image, 99, 50), QColor(255, 0, 0), 12));
}

TEST(GradientTest, LinearPointsReplaceTheAngle)
{
    auto g = VRGradient::gradientWithStartingColor(QColor(255, 0, 0), QColor(0, 0, 255),
                                                   VRGradient::Linear, 90.0);
    g->setLinearStartingPoint(QPointF(0.5, 0.0));
    g->setLinearEndingPoint(QPointF(-0.5, 0.0));
    const QImage image = filled(*g);
    EXPECT_TRUE(near(pixel(image, 99, 50), QColor(255, 0, 0), 8));
    EXPECT_TRUE(near(pixel(image, 0, 50), QColor(0, 0, 255), 8));
}

TEST(GradientTest, RadialAndSweepKinds)
{
    auto radial = VRGradient::gradientWithStartingColor(QColor(255, 255, 255), QColor(0, 0, 0),
                                                        VRGradient::Radial, 0);
    radial->setRadialEndingRadius(0.5);
    QImage image = filled(*radial);
    EXPECT_TRUE(near(pixel(image, 50, 50), QColor(Qt::white), 8));
    EXPECT_TRUE(near(pixel(image, 0, 0), QColor(Qt::black), 2));

    auto sweep = VRGradient::gradientWithStartingColor(QColor(255, 0, 0), QColor(0, 0, 255),
                                                       VRGradient::Sweep, 0);
    image = filled(*sweep);
    // Clockwise from the right: just below the axis is near the start, just above near the end.
    EXPECT_GT(pixel(image, 95, 53).red(), 200);
    EXPECT_GT(pixel(image, 95, 47).blue(), 200);
    auto elliptical =
        VRGradient::gradientWithStartingColor(Qt::yellow, Qt::darkGreen, VRGradient::Elliptical, 0);
    elliptical->setQntEllipticalGradientParams({1.0, 0.5, 0.1, 0.0, 30.0});
    EXPECT_TRUE(
        qnt::test::matchesGolden(filled(*elliptical, 120, 80), "styles/gradient-elliptical"));
    EXPECT_TRUE(qnt::test::matchesGolden(filled(*sweep, 80, 80), "styles/gradient-sweep"));
}

TEST(GradientTest, MapPointsBetweenRelativeAndRectangle)
{
    VRGradient g;
    const QRectF rect(10, 20, 100, 50);
    EXPECT_EQ(g.mapPointToRect(QPointF(0, 0), rect), QPointF(60, 45));
    EXPECT_EQ(g.mapPointFromRect(QPointF(110, 70), rect), QPointF(0.5, 0.5));
    EXPECT_EQ(g.mapPointFromRect(g.mapPointToRect(QPointF(-0.3, 0.2), rect), rect),
              QPointF(-0.3, 0.2));
}

TEST(GradientTest, ColorizingKeepsLightness)
{
    auto g = VRGradient::gradientWithStartingColor(QColor(255, 255, 255), QColor(0, 0, 0));
    g->addColor(QColor(128, 128, 128), 0.5);
    auto tinted = g->gradientByColorizingWithColor(QColor(255, 0, 0));
    ASSERT_EQ(tinted->countOfColorStops(), 3);
    const QColor mid = tinted->colorStops().at(2)->color();
    EXPECT_NEAR(mid.lightnessF(), QColor(128, 128, 128).lightnessF(), 0.01);
    EXPECT_GT(mid.red(), mid.green());
    EXPECT_EQ(g->colorStops().at(2)->color(), QColor(128, 128, 128));
}

TEST(GradientTest, CoderRoundTripKeepsEverything)
{
    auto g = VRGradient::gradientWithStartingColor(QColor(10, 20, 30, 40), QColor(200, 100, 50),
                                                   VRGradient::Elliptical, 45);
    g->addColor(QColor(1, 2, 3), 0.25);
    g->setGradientBlending(VRGradient::HSV);
    g->setGradientInterpolation(VRGradient::Sinusoidal);
    g->setRadialStartingPoint(QPointF(0.25, -0.25));
    g->setRadialEndingRadius(0.75);
    g->setLinearStartingPoint(QPointF(-0.5, 0.5));
    g->setLinearEndingPoint(QPointF(0.5, -0.5));
    g->setQntEllipticalGradientParams({2.0, 0.5, 0.25, -0.25, 15.0});
    VRPlistCoder coder;
    g->encodeWithCoder(coder);
    EXPECT_EQ(coder.dictionary().value("stops").toList().first().toMap().value("isa").toString(),
              "VRColorStop");
    auto back = VRGradient::decodeWithCoder(coder);
    ASSERT_TRUE(back.ok()) << back.errorMessage().toStdString();
    EXPECT_TRUE((*back)->isEqual(*g));
}

TEST(GradientTest, GradientFileRoundTrips)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("untitled gradient.gradient");
    auto g = VRGradient::gradientWithStartingColor(Qt::cyan, Qt::magenta, VRGradient::Radial, 30);
    g->addColor(QColor(10, 200, 30, 128), 0.375); // the file keeps floats
    const auto written = g->writeToFile(path);
    ASSERT_TRUE(written.ok()) << written.errorMessage().toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    EXPECT_TRUE(data.contains("<key>isa</key>"));
    EXPECT_TRUE(data.contains("<string>VRGradient</string>"));
    auto back = VRGradient::gradientWithContentsOfFile(path);
    ASSERT_TRUE(back.ok()) << back.errorMessage().toStdString();
    EXPECT_TRUE((*back)->isEqual(*g));
}

struct CorruptGradient {
    const char *name;
    QByteArray content;
};

class GradientCorruptFileTest : public testing::TestWithParam<CorruptGradient>
{
};

TEST_P(GradientCorruptFileTest, IsRefusedWithAReason)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("bad.gradient");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(GetParam().content);
    file.close();
    const auto read = VRGradient::gradientWithContentsOfFile(path);
    EXPECT_FALSE(read.ok());
    EXPECT_FALSE(read.errorMessage().isEmpty());
}

QByteArray validXml()
{
    return VRGradient::defaultGradient()->fileRepresentation();
}

QByteArray replaced(QByteArray data, const QByteArray &from, const QByteArray &to)
{
    return data.replace(from, to);
}

QByteArray deeplyNested()
{
    QByteArray data = "<?xml version=\"1.0\"?><plist "
                      "version=\"1.0\"><dict><key>isa</key><string>VRGradient</string><key>x</key>";
    for (int i = 0; i < 5000; ++i)
        data += "<array>";
    for (int i = 0; i < 5000; ++i)
        data += "</array>";
    return data + "</dict></plist>";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GradientCorruptFileTest,
    testing::Values(
        CorruptGradient{"Empty", QByteArray()},
        CorruptGradient{"Truncated", validXml().left(validXml().size() / 2)},
        CorruptGradient{"NotAPlist", "hello world"},
        CorruptGradient{"ArrayRoot",
                        "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>"},
        CorruptGradient{"WrongIsa", replaced(validXml(), "<string>VRGradient</string>",
                                             "<string>NSTask</string>")},
        CorruptGradient{"StopNotAStop", replaced(validXml(), "<string>VRColorStop</string>",
                                                 "<string>VRGradient</string>")},
        CorruptGradient{"BadColour", replaced(validXml(), "<string>#FFFFFFFF</string>",
                                              "<string>white</string>")},
        CorruptGradient{"BadType", replaced(validXml(), "<key>type</key>\n\t<integer>0</integer>",
                                            "<key>type</key>\n\t<integer>9</integer>")},
        CorruptGradient{"Binary", QByteArray("bplist00\xd1\x01\x02", 11)},
        CorruptGradient{"DeepNesting", deeplyNested()},
        // libplist aborted the process on a string holding a NUL character.
        CorruptGradient{"NulInString", replaced(validXml(), "<string>#FFFFFFFF</string>",
                                                QByteArray("<string>#FF\0FFFFFF</string>", 27))}),
    [](const testing::TestParamInfo<CorruptGradient> &info) {
        return std::string(info.param.name);
    });

TEST(GradientTest, PlistCoderValueForms)
{
    VRPlistCoder coder;
    coder.encodeBool(true, "b");
    coder.encodeInt(-7, "i");
    coder.encodeFloat(1.5f, "f");
    coder.encodeObject(QVariant(), "nil");
    const QVariantMap dictionary = coder.dictionary();
    EXPECT_EQ(dictionary.value("b").toString(), "YES");
    EXPECT_FALSE(dictionary.contains("nil"));
    const auto xml = VRPlistCoder::xmlData(dictionary);
    ASSERT_TRUE(xml.ok()) << xml.errorMessage().toStdString();
    const auto back = VRPlistCoder::dictionaryFromData(*xml);
    ASSERT_TRUE(back.ok()) << back.errorMessage().toStdString();
    const VRPlistCoder reader(*back);
    EXPECT_TRUE(reader.decodeBoolForKey("b"));
    EXPECT_EQ(reader.decodeIntForKey("i"), -7);
    EXPECT_FLOAT_EQ(reader.decodeFloatForKey("f"), 1.5f);
    EXPECT_EQ(reader.decodeIntForKey("missing"), 0);
    const VRPlistCoder yes(QVariantMap{{"a", "yes"}, {"b", "Yes"}});
    EXPECT_TRUE(yes.decodeBoolForKey("a"));
    EXPECT_FALSE(yes.decodeBoolForKey("b"));
}

} // namespace

namespace {

TEST(GradientTest, GradientsMadeOnWorkerThreadsBelongToTheGuiThread)
{
    VRGradientRef made;
    std::thread worker([&] { made = VRGradient::defaultGradient(); });
    worker.join();
    ASSERT_TRUE(made);
    EXPECT_EQ(made->thread(), QCoreApplication::instance()->thread());
    QObject observer;
    int changes = 0;
    made->setUpKVOForObserver(&observer, [&] { ++changes; });
    made->setAngleInDegrees(10.0);
    EXPECT_EQ(changes, 1);
}

} // namespace
