#include "StyleTestSupport.h"

#include "framework/base/VRConstants.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStyle.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMimeData>

#include <gtest/gtest.h>

namespace {

QJsonObject parse(const char *json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

TEST(StyleCodingTest, EveryRendererKindSurvivesWriteReadWrite)
{
    for (const VRRendererRef &renderer : styletest::everyRenderer()) {
        SCOPED_TRACE(renderer->className().toStdString());
        QJsonObject images;
        const QJsonObject record = renderer->toJson(images);
        auto back = VRRasterizer::fromJson(record, images);
        ASSERT_TRUE(back.ok()) << back.errorMessage().toStdString();
        EXPECT_TRUE(back.value()->isMemberOfClass(renderer->classInfo()));
        QJsonObject images2;
        EXPECT_EQ(back.value()->toJson(images2), record);
        EXPECT_EQ(images2, images);
        EXPECT_TRUE(back.value()->isEqual(*renderer));
    }
}

TEST(StyleCodingTest, WholeStyleRoundTripsThroughJsonText)
{
    const VRStyleRef style = styletest::everyRendererStyle();
    QJsonObject images;
    const QJsonObject record = style->toJson(images);
    // Through text, as in a file.
    const QJsonObject reread = QJsonDocument::fromJson(QJsonDocument(record).toJson()).object();
    const QJsonObject rereadImages =
        QJsonDocument::fromJson(QJsonDocument(images).toJson()).object();
    auto back = VRStyle::fromJson(reread, rereadImages);
    ASSERT_TRUE(back.ok()) << back.errorMessage().toStdString();
    EXPECT_EQ(back.value()->uniqueKey(), style->uniqueKey());
    EXPECT_EQ(back.value()->name(), QStringLiteral("Everything"));
    EXPECT_EQ(back.value()->countOfRenderList(), style->countOfRenderList());
    EXPECT_FALSE(back.value()->rendererAtIndex(back.value()->countOfRenderList() - 1)->isEnabled());
    EXPECT_TRUE(back.value()->isEqual(*style));
    EXPECT_EQ(back.value()->textAttributes().value(QStringLiteral("underline")).toBool(), true);
    QJsonObject images2;
    EXPECT_EQ(back.value()->toJson(images2), record);
}

TEST(StyleCodingTest, CopyIsDeepWithNewKeyAndUnlocked)
{
    const VRStyleRef style = styletest::everyRendererStyle();
    style->setLocked(true);
    const VRStyleRef copy = style->copy();
    EXPECT_NE(copy.get(), style.get());
    EXPECT_NE(copy->uniqueKey(), style->uniqueKey());
    EXPECT_FALSE(copy->isLocked());
    EXPECT_EQ(copy->name(), style->name());
    EXPECT_NE(copy->rendererAtIndex(0).get(), style->rendererAtIndex(0).get());
    copy->setStrokeColour(Qt::green);
    EXPECT_NE(style->strokeColour(), QColor(Qt::green));
}

TEST(StyleCodingTest, RendererTravelsOnThePasteboard)
{
    auto stroke = VRStroke::strokeWithWidth(4.0, QColor(1, 2, 3));
    QMimeData mime;
    stroke->copyToPasteboard(&mime);
    ASSERT_TRUE(mime.hasFormat(kVRRasterizerPasteboardType));
    const VRRendererRef back = VRRasterizer::rasterizerFromPasteboard(&mime);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqual(*stroke));

    QMimeData garbage;
    garbage.setData(kVRRasterizerPasteboardType,
                    "{\"format\":\"quintora.renderer\",\"renderer\":{\"class\":\"VRDrawing\"}}");
    EXPECT_FALSE(VRRasterizer::rasterizerFromPasteboard(&garbage));
    QMimeData empty;
    EXPECT_FALSE(VRRasterizer::rasterizerFromPasteboard(&empty));
}

struct HostileCase {
    const char *name;
    const char *record;
    const char *expectedInError;
};

class StyleHostileInputTest : public testing::TestWithParam<HostileCase>
{
};

TEST_P(StyleHostileInputTest, IsRefusedWithItsPath)
{
    const HostileCase &c = GetParam();
    auto result = VRStyle::fromJson(parse(c.record), QJsonObject(), QStringLiteral("styles[0]"));
    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(result.errorMessage().contains(QLatin1String(c.expectedInError)))
        << result.errorMessage().toStdString();
}

const HostileCase kHostileCases[] = {
    {"UnknownClass", R"({"renderers":[{"class":"QProcess"}]})", "styles[0].renderers[0].class"},
    {"NonRendererClass", R"({"renderers":[{"class":"VRDrawableShape"}]})",
     "is not a renderer class"},
    {"AbstractClass", R"({"renderers":[{"class":"VRRasterizer"}]})", "is not a renderer class"},
    {"NestedStyle", R"({"renderers":[{"class":"VRStyle"}]})", "is not a renderer class"},
    {"MissingClass", R"({"renderers":[{"width":1}]})", "renderers[0].class"},
    {"RendererNotObject", R"({"renderers":[7]})", "renderers[0]"},
    {"HugeWidth", R"({"renderers":[{"class":"VRStroke","width":1e300}]})", "renderers[0].width"},
    {"NegativeWidth", R"({"renderers":[{"class":"VRStroke","width":-2}]})", "renderers[0].width"},
    {"WidthAsText", R"({"renderers":[{"class":"VRStroke","width":"3"}]})", "renderers[0].width"},
    {"BadColour", R"({"renderers":[{"class":"VRFill","colour":"red"}]})", "renderers[0].colour"},
    {"BadCap", R"({"renderers":[{"class":"VRStroke","lineCapStyle":7}]})", "lineCapStyle"},
    {"FractionalCap", R"({"renderers":[{"class":"VRStroke","lineCapStyle":1.5}]})", "lineCapStyle"},
    {"LongDash", R"({"renderers":[{"class":"VRStroke","dash":{"pattern":[1,2,3,4,5,6,7,8,9]}}]})",
     "dash.pattern"},
    {"BadShadow", R"({"renderers":[{"class":"VRStroke","shadow":{"blur":"x"}}]})", "shadow.blur"},
    {"BadGradientStop",
     R"({"renderers":[{"class":"VRFill","gradient":{"stops":[[2,"#FFFFFFFF"]]}}]})",
     "gradient.stops[0]"},
    {"BadGradientType", R"({"renderers":[{"class":"VRFill","gradient":{"type":3,"stops":[]}}]})",
     "gradient.type"},
    {"MissingImage", R"({"renderers":[{"class":"VRImageAdornment","image":"0123"}]})",
     "renderers[0].image"},
    {"UnknownFilter", R"({"renderers":[{"class":"VRCIFilterRastGroup","filter":"rm -rf"}]})",
     "filter"},
    {"BadLayoutMode", R"({"renderers":[{"class":"VRTextAdornment","layoutMode":5}]})",
     "layoutMode"},
    {"RenderersNotList", R"({"renderers":{"class":"VRStroke"}})", "styles[0].renderers"},
    {"NameNotText", R"({"name":12})", "styles[0].name"},
    {"LockedNotBool", R"({"locked":"yes"})", "styles[0].locked"},
};

INSTANTIATE_TEST_SUITE_P(Cases, StyleHostileInputTest, testing::ValuesIn(kHostileCases),
                         [](const testing::TestParamInfo<HostileCase> &info) {
                             return std::string(info.param.name);
                         });

TEST(StyleCodingTest, DeepNestingIsRefusedWithoutCrashing)
{
    QJsonObject innermost{{"class", "VRRastGroup"}};
    for (int i = 0; i < 200; ++i)
        innermost = QJsonObject{{"class", "VRRastGroup"}, {"renderers", QJsonArray{innermost}}};
    const QJsonObject record{{"renderers", QJsonArray{innermost}}};
    auto result = VRStyle::fromJson(record, QJsonObject());
    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(result.errorMessage().contains(QLatin1String("nested")))
        << result.errorMessage().toStdString();
}

TEST(StyleCodingTest, CorruptImageDataIsRefused)
{
    const QJsonObject images{{"abc", QStringLiteral("bm90IGEgcG5n")}};
    const QJsonObject record{
        {"renderers", QJsonArray{QJsonObject{{"class", "VRFill"}, {"patternImage", "abc"}}}}};
    auto result = VRStyle::fromJson(record, images);
    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(result.errorMessage().contains(QLatin1String("patternImage")))
        << result.errorMessage().toStdString();
}

TEST(StyleCodingTest, UnknownKeysAreIgnoredAndAbsentOnesTakeDefaults)
{
    auto result = VRStyle::fromJson(
        parse(R"({"future":1,"renderers":[{"class":"VRStroke","sparkle":true}]})"), QJsonObject());
    ASSERT_TRUE(result.ok()) << result.errorMessage().toStdString();
    ASSERT_TRUE(result.value()->stroke());
    EXPECT_DOUBLE_EQ(result.value()->stroke()->width(), 1.0);
    EXPECT_EQ(result.value()->stroke()->colour(), QColor(Qt::black));
}

} // namespace

namespace {

TEST(StyleCodingTest, StylesTravelOnThePasteboardToo)
{
    const VRStyleRef style = VRStyle::styleWithFillColour(Qt::yellow, Qt::blue, 2.0);
    QMimeData mime;
    style->copyToPasteboard(&mime);
    const VRStyleRef back = VRStyle::styleFromPasteboard(&mime);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqual(*style));
    EXPECT_FALSE(VRRasterizer::rasterizerFromPasteboard(&mime)); // a style is not a renderer
    QMimeData strokeOnly;
    VRStroke::strokeWithWidth(1.0, Qt::red)->copyToPasteboard(&strokeOnly);
    EXPECT_FALSE(VRStyle::styleFromPasteboard(&strokeOnly));
}

} // namespace

// Records read alike are found again by their values: records equal as JSON (numbers written
// as integers or with a fraction, 0 and -0, any member order in the text) hash alike, so a
// later equal record always meets the first one.
TEST(StyleCodingTest, RecordsEqualAsJsonHaveOneRecordKey)
{
    const std::pair<const char *, const char *> alike[] = {
        {R"([{"class":"VRFill","colour":"#F09B9BFF","width":1}])",
         R"([{"width":1.0,"colour":"#F09B9BFF","class":"VRFill"}])"},
        {R"({"a":0,"b":[true,null,{"c":-0.0}]})", R"({"b":[true,null,{"c":0}],"a":-0})"},
        {R"({"ID":"contour"})", R"({ "ID" : "contour" })"},
        {R"([])", R"([ ])"},
    };
    const auto key = [](const char *text) {
        const QJsonDocument document = QJsonDocument::fromJson(text);
        return VRStyleCoding::RecordKey{document.isArray() ? QJsonValue(document.array())
                                                           : QJsonValue(document.object())};
    };
    for (const auto &[first, second] : alike) {
        SCOPED_TRACE(first);
        ASSERT_TRUE(key(first) == key(second));
        EXPECT_EQ(qHash(key(first), 7), qHash(key(second), 7));
        QHash<VRStyleCoding::RecordKey, int> table;
        table.insert(key(first), 1);
        EXPECT_EQ(table.value(key(second)), 1);
    }
    // Records differing in one value are told apart.
    EXPECT_FALSE(key(R"({"ID":"contour"})") == key(R"({"ID":"contours"})"));
    EXPECT_NE(qHash(key(R"([{"colour":"#F09B9BFF"}])"), 7),
              qHash(key(R"([{"colour":"#F09B9CFF"}])"), 7));
}
