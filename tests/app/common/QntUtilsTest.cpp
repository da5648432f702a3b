#include "app/common/QntUtils.h"

#include "framework/model/VRDrawableObject.h"
#include "framework/styles/VRTextAdornment.h"
#include "platform/KeyedArchiver.h"
#include "platform/UserDefaults.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr size_t kEntries = 59;

enum class Kind { Integer, Real, Boolean, String, IntegerArray, ColourData };

struct Entry {
    const char *key;
    Kind kind;
    QVariant value; // the colour entry compares colours instead
};

const std::vector<Entry> &factoryTable()
{
    static const std::vector<Entry> table = {
        {"PreferencePane", Kind::String, QString("")},
        {"QntDisplayHelpMessagesKey", Kind::Integer, 1},
        {"QntShowLayersPaletteKey", Kind::Integer, 0},
        {"QntContextTextEditorFontSize", Kind::Real, 14.0},
        {"QntContextTextEditorFontFamily", Kind::String, QString("Helvetica")},
        {"QntContextTextEditorAlign", Kind::Integer, 2},
        {"QntContextTextEditorFontBold", Kind::Integer, -1},
        {"QntContextTextEditorFontItalic", Kind::Integer, -1},
        {"QntContextTextEditorFontUnderline", Kind::Integer, 0},
        {"QntConnectorTextEditorTextPosition", Kind::Integer, 1},
        {"QntConnectorTextXOffset", Kind::Real, 0.0},
        {"QntConnectorTextYOffset", Kind::Real, VRTextAdornment::defaultMaximumVerticalOffset()},
        {"QntConnectorOffsetForPointForTextLayoutWidth", Kind::Real, 0.0},
        {"QntConnectorOffsetForPointForTextLayoutHeight", Kind::Real, 0.0},
        {"kQntElementTableLeftRightCellPadding", Kind::Real, 5.0},
        {"kQntElementTableTopBottomCellPadding", Kind::Real, 5.0},
        {"kQntElementRightLeftPaddingCoef", Kind::Real, 0.05},
        {"kQntElementTopBottomPaddingCoef", Kind::Real, 0.05},
        {"QntShowScrollBarKey", Kind::Integer, 1},
        {"QntShowStyleSchooserAfterStart", Kind::Integer, 1},
        {"QntDrawBorderLinesOnSlideInfoLayerKey", Kind::Integer, 1},
        {"QntSlideCaptionPlacementKey", Kind::Integer, 3},
        {"QntApplyDefaultsKey", Kind::Integer, 1},
        {"kQntEnableInlineEditor", Kind::Boolean, false},
        {"QntShowBuiltInClipartKey", Kind::Boolean, true},
        {"QntAutoEnlargeKey", Kind::Boolean, false},
        {"QntFilenameForImagesKey", Kind::Boolean, false},
        {"QntUseImageInsteadOfPDFKey", Kind::Boolean, false},
        {"QntShowConnectorPopupMenuKey", Kind::Boolean, true},
        {"QntShapeAutosizeKey", Kind::Integer, 1},
        {"QntHiddenGroupsKey", Kind::IntegerArray, QVariantList{7, 5, 10, 6, 8, 9}},
        {"QntPaletteBackgroundColorKey", Kind::ColourData, {}},
        {"QntContextTextEditorSaveTextProperties", Kind::Integer, 1},
        {"QntElementScaleKey", Kind::Real, 1.0},
        {"QntGlobalAutosizeElementsKey", Kind::Integer, 1},
        {"QntPaperSizePresetKey", Kind::String, QString("Other")},
        {"kQntElementTextViewCollapsed", Kind::Integer, 0},
        {"kQntGeometryViewCollapsed", Kind::Integer, 0},
        {"kQntCustomElementStyleViewCollapsed", Kind::Integer, 0},
        {"kQntNoncustomElementStyleViewCollapsed", Kind::Integer, 0},
        {"kQntCustomConnectorStyleViewCollapsed", Kind::Integer, 0},
        {"kQntNoncustomConnectorStyleViewCollapsed", Kind::Integer, 0},
        {"kQntLayersViewCollapsed", Kind::Integer, 0},
        {"kQntColorSchemeViewCollapsed", Kind::Integer, 0},
        {"kQntLayoutViewCollapsed", Kind::Integer, 0},
        {"kQntTableViewCollapsed", Kind::Integer, 0},
        {"kQntStyleViewCollapsed", Kind::Integer, 0},
        {"kQntSeqViewCollapsed", Kind::Integer, 0},
        {"kQntSequenceViewSwitchedOff", Kind::Boolean, true},
        {"kVRDrawingSnapToGridUserDefault", Kind::Boolean, false},
        {"QntAllowAutosizeToMinSizeKey", Kind::Integer, 0},
        {"QntSeqMinEntityWidthKey", Kind::Integer, 160},
        {"QntSeqMinEntityHeightKey", Kind::Integer, 50},
        {"QntSeqPaddingLeftKey", Kind::Integer, 40},
        {"QntSeqPaddingTopKey", Kind::Integer, 20},
        {"QntSeqContainerMarginKey", Kind::Integer, 20},
        {"QntSeqContainerLedgeKey", Kind::Integer, 30},
        {"QntSeqFontNameKey", Kind::String, QString("Helvetica")},
        {"QntSeqFontSizeKey", Kind::Integer, 14},
    };
    return table;
}

void expectFactoryValue(const UserDefaults &defaults, const Entry &entry)
{
    SCOPED_TRACE(entry.key);
    const QVariant value = defaults.objectForKey(entry.key);
    ASSERT_TRUE(value.isValid());
    switch (entry.kind) {
    case Kind::Integer:
        EXPECT_EQ(value.typeId(), QMetaType::LongLong);
        EXPECT_EQ(value.toLongLong(), entry.value.toLongLong());
        break;
    case Kind::Real:
        EXPECT_EQ(value.typeId(), QMetaType::Double);
        EXPECT_DOUBLE_EQ(value.toDouble(), entry.value.toDouble());
        break;
    case Kind::Boolean:
        EXPECT_EQ(value.typeId(), QMetaType::Bool);
        EXPECT_EQ(value.toBool(), entry.value.toBool());
        break;
    case Kind::String:
        EXPECT_EQ(value.typeId(), QMetaType::QString);
        EXPECT_EQ(value.toString(), entry.value.toString());
        break;
    case Kind::IntegerArray: {
        ASSERT_EQ(value.typeId(), QMetaType::QVariantList);
        const QVariantList list = value.toList();
        const QVariantList expected = entry.value.toList();
        ASSERT_EQ(list.size(), expected.size());
        for (int i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i].typeId(), QMetaType::LongLong);
            EXPECT_EQ(list[i].toLongLong(), expected[i].toLongLong());
        }
        break;
    }
    case Kind::ColourData: {
        ASSERT_EQ(value.typeId(), QMetaType::QByteArray);
        const std::optional<QColor> colour = KeyedArchiver::unarchiveColor(value.toByteArray());
        ASSERT_TRUE(colour);
        EXPECT_EQ(colour->red(), 176);
        EXPECT_EQ(colour->green(), 240);
        EXPECT_EQ(colour->blue(), 202);
        EXPECT_EQ(colour->alpha(), 255);
        break;
    }
    }
}

class RegisteredDefaults : public testing::Test
{
protected:
    QString path() const { return m_dir.path() + "/Quintora.plist"; }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(RegisteredDefaults, FreshHomeReadsAllFiftyNineFactoryValuesWithTheirTypes)
{
    UserDefaults defaults(path());
    registerQntDefaults(defaults);
    ASSERT_EQ(factoryTable().size(), kEntries);
    EXPECT_EQ(defaults.registeredDefaults().size(), int(kEntries));
    for (const Entry &entry : factoryTable())
        expectFactoryValue(defaults, entry);
    // Nothing registered is written to disk.
    EXPECT_TRUE(defaults.persistentDomain().isEmpty());
    EXPECT_TRUE(defaults.synchronize());
}

TEST_F(RegisteredDefaults, TableOrderFollowsTheRegistration)
{
    const auto factory = qntFactoryDefaults();
    ASSERT_EQ(factory.size(), factoryTable().size());
    for (size_t i = 0; i < factory.size(); ++i)
        EXPECT_EQ(factory[i].first, QString(factoryTable()[i].key)) << i;
}

TEST_F(RegisteredDefaults, FirstLaunchReadsAsTheUserExpects)
{
    UserDefaults defaults(path());
    registerQntDefaults(defaults);
    EXPECT_TRUE(defaults.boolForKey("QntDisplayHelpMessagesKey"));
    EXPECT_FALSE(defaults.boolForKey("QntShowLayersPaletteKey"));
    EXPECT_EQ(defaults.stringForKey("PreferencePane"), "");
    EXPECT_TRUE(defaults.dataForKey("QntPaletteBackgroundColorKey").size() > 0);
}

TEST_F(RegisteredDefaults, UserValueWinsAndSurvivesARestartWithItsType)
{
    {
        UserDefaults defaults(path());
        registerQntDefaults(defaults);
        defaults.setObject(qint64(20), "QntSeqFontSizeKey");
        defaults.setObject(16.5, "QntContextTextEditorFontSize");
        defaults.setObject(QString("PreferenceUnits"), "PreferencePane");
        defaults.setBool(true, "QntAutoEnlargeKey");
        ASSERT_TRUE(defaults.synchronize());
    }
    UserDefaults restarted(path());
    registerQntDefaults(restarted);
    EXPECT_EQ(restarted.objectForKey("QntSeqFontSizeKey").typeId(), QMetaType::LongLong);
    EXPECT_EQ(restarted.integerForKey("QntSeqFontSizeKey"), 20);
    EXPECT_EQ(restarted.objectForKey("QntContextTextEditorFontSize").typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(restarted.doubleForKey("QntContextTextEditorFontSize"), 16.5);
    EXPECT_EQ(restarted.stringForKey("PreferencePane"), "PreferenceUnits");
    EXPECT_EQ(restarted.objectForKey("QntAutoEnlargeKey").typeId(), QMetaType::Bool);
    EXPECT_TRUE(restarted.boolForKey("QntAutoEnlargeKey"));
    // Removing the user's value brings the factory value back at once.
    restarted.removeObjectForKey("QntSeqFontSizeKey");
    EXPECT_EQ(restarted.integerForKey("QntSeqFontSizeKey"), 14);
}

TEST_F(RegisteredDefaults, SizeInfoWhileDraggingStartsOff)
{
    VRDrawableObject::setDisplaysSizeInfoWhenDragging(true);
    UserDefaults defaults(path());
    registerQntDefaults(defaults);
    EXPECT_FALSE(VRDrawableObject::displaysSizeInfoWhenDragging());
}
