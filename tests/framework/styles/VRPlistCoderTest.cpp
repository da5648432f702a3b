#include "framework/styles/VRPlistCoder.h"

#include "framework/styles/VRColorStop.h"
#include "framework/styles/VRGradient.h"
#include "platform/PropertyList.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct IntegerCase {
    const char *name;
    QVariant value;
    const char *written; // the <integer> text in the file
};

class VRPlistCoderIntegerTest : public testing::TestWithParam<IntegerCase>
{
};

// Integers keep their value and signedness through a property-list file, also unsigned ones
// beyond the signed 64-bit range.
TEST_P(VRPlistCoderIntegerTest, RoundTripsThroughAFile)
{
    VRPlistCoder coder;
    coder.encodeObject(GetParam().value, QStringLiteral("n"));
    const VRResult<QByteArray> xml = VRPlistCoder::xmlData(coder.dictionary());
    ASSERT_TRUE(xml.ok()) << xml.errorMessage().toStdString();
    EXPECT_TRUE(xml->contains(QByteArray("<integer>") + GetParam().written + "</integer>"))
        << xml->toStdString();
    const VRResult<QVariantMap> back = VRPlistCoder::dictionaryFromData(*xml);
    ASSERT_TRUE(back.ok()) << back.errorMessage().toStdString();
    const QVariant read = VRPlistCoder(*back).decodeObjectForKey(QStringLiteral("n"));
    const bool isUnsigned = GetParam().value.typeId() == QMetaType::ULongLong
                            || GetParam().value.typeId() == QMetaType::ULong;
    if (isUnsigned
        && GetParam().value.toULongLong() > quint64(std::numeric_limits<qint64>::max())) {
        EXPECT_EQ(read.typeId(), QMetaType::ULongLong);
        EXPECT_EQ(read.toULongLong(), GetParam().value.toULongLong());
    } else {
        EXPECT_EQ(read.typeId(), QMetaType::LongLong);
        EXPECT_EQ(read.toLongLong(), GetParam().value.toLongLong());
    }
    // The platform property list reads the coder's file the same way, and the coder reads the
    // platform's file the same way.
    const std::optional<QVariant> platform = PropertyList::fromData(*xml);
    ASSERT_TRUE(platform.has_value());
    EXPECT_EQ(platform->toMap().value(QStringLiteral("n")), read);
    const std::optional<QByteArray> platformXml = PropertyList::toXml(coder.dictionary());
    ASSERT_TRUE(platformXml.has_value());
    EXPECT_EQ(*platformXml, *xml);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VRPlistCoderIntegerTest,
    testing::Values(IntegerCase{"LargestUnsigned", QVariant(std::numeric_limits<quint64>::max()),
                                "18446744073709551615"},
                    IntegerCase{"JustAboveSigned", QVariant(quint64(1) << 63),
                                "9223372036854775808"},
                    IntegerCase{"UnsignedLong",
                                QVariant::fromValue(std::numeric_limits<unsigned long>::max() - 1),
                                "18446744073709551614"},
                    IntegerCase{"SmallUnsigned", QVariant(quint64(42)), "42"},
                    IntegerCase{"LargestSigned", QVariant(std::numeric_limits<qint64>::max()),
                                "9223372036854775807"},
                    IntegerCase{"SmallestSigned", QVariant(std::numeric_limits<qint64>::min()),
                                "-9223372036854775808"},
                    IntegerCase{"MinusOne", QVariant(qint64(-1)), "-1"}),
    [](const testing::TestParamInfo<IntegerCase> &info) { return std::string(info.param.name); });

// A gradient file as the format has always been written loads unchanged.
TEST(VRPlistCoderTest, EarlierGradientFileStillLoads)
{
    const QByteArray file = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>angle</key>
	<real>45</real>
	<key>blending</key>
	<integer>1</integer>
	<key>elliptical</key>
	<array>
		<real>2</real>
		<real>0.5</real>
		<real>0.25</real>
		<real>-0.25</real>
		<real>15</real>
	</array>
	<key>interpolation</key>
	<integer>4</integer>
	<key>isa</key>
	<string>VRGradient</string>
	<key>linearEnd</key>
	<array>
		<real>0.5</real>
		<real>-0.5</real>
	</array>
	<key>linearStart</key>
	<array>
		<real>-0.5</real>
		<real>0.5</real>
	</array>
	<key>radialEnd</key>
	<array>
		<real>0.0</real>
		<real>0.0</real>
	</array>
	<key>radialEndRadius</key>
	<real>0.5</real>
	<key>radialStart</key>
	<array>
		<real>0.0</real>
		<real>0.0</real>
	</array>
	<key>radialStartRadius</key>
	<real>0.0</real>
	<key>stops</key>
	<array>
		<dict>
			<key>color</key>
			<string>#0A141E28</string>
			<key>isa</key>
			<string>VRColorStop</string>
			<key>position</key>
			<real>0.0</real>
		</dict>
		<dict>
			<key>color</key>
			<string>#010203FF</string>
			<key>isa</key>
			<string>VRColorStop</string>
			<key>position</key>
			<real>0.25</real>
		</dict>
		<dict>
			<key>color</key>
			<string>#C86432FF</string>
			<key>isa</key>
			<string>VRColorStop</string>
			<key>position</key>
			<real>1</real>
		</dict>
	</array>
	<key>type</key>
	<integer>4</integer>
</dict>
</plist>
)";
    const VRResult<QVariantMap> dictionary = VRPlistCoder::dictionaryFromData(file);
    ASSERT_TRUE(dictionary.ok()) << dictionary.errorMessage().toStdString();
    const VRResult<VRGradientRef> gradient = VRGradient::gradientWithPlist(*dictionary);
    ASSERT_TRUE(gradient.ok()) << gradient.errorMessage().toStdString();
    const VRGradientRef g = *gradient;
    EXPECT_EQ(g->gradientType(), VRGradient::Elliptical);
    EXPECT_EQ(g->gradientBlending(), VRGradient::HSV);
    EXPECT_DOUBLE_EQ(g->angleInDegrees(), 45.0);
    EXPECT_EQ(g->gradientInterpolation(), VRGradient::Sinusoidal);
    ASSERT_EQ(g->countOfColorStops(), 3);
    EXPECT_EQ(g->colorStops().at(1)->color(), QColor(1, 2, 3));
    // The writer still produces the same text.
    EXPECT_EQ(g->fileRepresentation().toStdString(), file.toStdString());
}

TEST(VRPlistCoderTest, DatesReadAsAbsentAndBinaryListsAreRefused)
{
    const auto dated = VRPlistCoder::dictionaryFromData(
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>when</key>"
        "<date>2001-01-01T00:00:00Z</date><key>name</key><string>x</string></dict></plist>");
    ASSERT_TRUE(dated.ok()) << dated.errorMessage().toStdString();
    EXPECT_TRUE(dated->contains(QStringLiteral("when")));
    EXPECT_FALSE(dated->value(QStringLiteral("when")).isValid());
    EXPECT_EQ(dated->value(QStringLiteral("name")).toString(), QStringLiteral("x"));

    const auto refused = VRPlistCoder::dictionaryFromData(QByteArray("bplist00\xd0\x08", 10));
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(refused.errorMessage(), QStringLiteral("The file is not an XML property list."));
}

} // namespace
