#include "app/panels/QntPreferenceController.h"

#include "app/common/QntConstants.h"
#include "app/common/QntUtils.h"
#include "app/panels/SRRecorderControl.h"
#include "app/panels/SUUpdater.h"
#include "framework/base/VRConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/VRDrawingTool.h"
#include "inspectors/QntColorWell.h"
#include "platform/KeyedArchiver.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

UserDefaults &store()
{
    return UserDefaults::standardUserDefaults();
}

class Preferences : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static bool registered = false;
        if (!registered) {
            registerQntDefaults(store());
            registered = true;
        }
        forget();
    }
    void TearDown() override
    {
        forget();
        for (const auto &s : QntPreferenceController::shortcuts()) {
            if (VRDrawingTool *tool = VRDrawingTool::drawingToolWithName(s.toolName))
                tool->setKeyCode(0);
        }
    }
    static void forget()
    {
        for (const auto &s : QntPreferenceController::shortcuts())
            store().removeObjectForKey(s.key);
        for (const QString &key :
             {kPreferencePane, QntShowScrollBarKey, QntPaletteBackgroundColorKey,
              QntShowBuiltInClipartKey, QntApplyDefaultsKey, kQntDefaultDocument,
              QntPaperSizePresetKey, QStringLiteral("SULastCheckTime"), QntElementScaleKey,
              QntShowStyleSchooserAfterStart})
            store().removeObjectForKey(key);
    }
    static std::unique_ptr<VRDrawing> drawingIn(const QString &units)
    {
        auto drawing = std::make_unique<VRDrawing>();
        drawing->setDrawingUnits(units, VRDrawing::standardFactorForUnits(units));
        return drawing;
    }
};

TEST_F(Preferences, SwitchesAreStoredAndTheWatchedOnesPostedWithTheirValue)
{
    QntPreferenceController prefs(nullptr);
    struct Row {
        QString key;
        bool posted;
    };
    for (const Row &row :
         {Row{QntShowScrollBarKey, true}, Row{QntShowBuiltInClipartKey, true},
          Row{QntShowStyleSchooserAfterStart, false}, Row{QntApplyDefaultsKey, false}}) {
        SCOPED_TRACE(row.key.toStdString());
        QCheckBox *box = prefs.checkBox(row.key);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->isChecked(), store().boolForKey(row.key));
        QList<QVariant> posted;
        NotificationToken token = NotificationCenter::defaultCenter().addObserver(
            row.key, nullptr,
            [&](const Notification &n) { posted << n.userInfo.value(QStringLiteral("object")); });
        const bool was = box->isChecked();
        box->click();
        EXPECT_EQ(store().boolForKey(row.key), !was);
        EXPECT_TRUE(store().hasPersistentValue(row.key));
        if (row.posted) {
            ASSERT_EQ(posted.size(), 1);
            EXPECT_EQ(posted.first().toBool(), !was);
        } else {
            EXPECT_TRUE(posted.isEmpty());
        }
    }

    // The palette colour: stored as archived data, posted as the colour itself.
    QVariant posted;
    NotificationToken token = NotificationCenter::defaultCenter().addObserver(
        QntPaletteBackgroundColorKey, nullptr,
        [&](const Notification &n) { posted = n.userInfo.value(QStringLiteral("object")); });
    emit prefs.paletteBackgroundColorWell()->colorChanged(QColor(10, 20, 30));
    EXPECT_EQ(posted.value<QColor>(), QColor(10, 20, 30));
    EXPECT_EQ(KeyedArchiver::unarchiveColor(store().dataForKey(QntPaletteBackgroundColorKey)),
              QColor(10, 20, 30));

    // The element scale is kept in single precision.
    prefs.elementScaleSlider()->setValue(133);
    EXPECT_EQ(store().doubleForKey(QntElementScaleKey), double(1.33f));
}

TEST_F(Preferences, ARecordedShortcutWorksAtOnceAndAfterARestartATakenOneIsRefused)
{
    VRDrawingTool *connector = VRDrawingTool::drawingToolWithName(kVRQntConnectorToolName);
    VRDrawingTool *zoom = VRDrawingTool::drawingToolWithName(kVRStandardZoomToolName);
    ASSERT_TRUE(connector && zoom);
    {
        QntPreferenceController prefs(nullptr);
        EXPECT_EQ(prefs.shortcutRecorder()->keyCode(), 8);
        prefs.shortcutRecorder()->setFocus();
        QTest::mouseClick(prefs.shortcutRecorder(), Qt::LeftButton);
        QTest::keyClick(prefs.shortcutRecorder(), Qt::Key_K);
        EXPECT_EQ(store().integerForKey("kQntConnectorToolShortcutKeyCode"), 40);
        EXPECT_EQ(connector->qtKey(), int(Qt::Key_K));

        // Z belongs to zoom in: refused, with a message, nothing stored.
        EXPECT_FALSE(prefs.shortcutRecorderKeyComboDidChange(6));
        EXPECT_TRUE(prefs.shortcutMessage()->text().contains("Zoom in"));
        EXPECT_EQ(store().integerForKey("kQntConnectorToolShortcutKeyCode"), 40);
        EXPECT_EQ(prefs.shortcutRecorder()->keyCode(), 40);

        // The text editor's key is stored only.
        prefs.toolNamePopupButton()->setCurrentIndex(prefs.toolNamePopupButton()->findData(17));
        prefs.toolNamePopupButtonAction();
        EXPECT_EQ(prefs.shortcutRecorder()->keyCode(), 17);
        EXPECT_TRUE(prefs.shortcutRecorderKeyComboDidChange(37));
        EXPECT_EQ(store().integerForKey("kQntTextEditorShortcutKeyCode"), 37);
    }
    // A new run: the tools start without codes and get the stored ones at launch.
    connector->setKeyCode(0);
    store().reload();
    QntPreferenceController::applyStoredShortcuts();
    EXPECT_EQ(connector->keyCode(), 40);
    EXPECT_EQ(zoom->keyCode(), 6);

    QntPreferenceController prefs(nullptr);
    prefs.restoreDefaultShortcutsButtonAction();
    for (const auto &s : QntPreferenceController::shortcuts())
        EXPECT_FALSE(store().objectForKey(s.key).isValid()) << s.key.toStdString();
    EXPECT_EQ(connector->keyCode(), 8);
    EXPECT_EQ(prefs.toolNamePopupButton()->currentData().toInt(), 8);
    EXPECT_EQ(prefs.shortcutRecorder()->keyCode(), 8);
}

TEST_F(Preferences, PanesStartOnGeneralAndTheChosenOneIsKept)
{
    store().setObject(QStringLiteral("Nonsense"), kPreferencePane);
    {
        QntPreferenceController prefs(nullptr);
        EXPECT_EQ(prefs.selectedPane(), "PreferenceGeneral");
        EXPECT_EQ(prefs.windowTitle(), "General");
        prefs.findChild<QAction *>("PreferenceUpdate")->trigger();
        EXPECT_EQ(prefs.windowTitle(), "Update");
        EXPECT_EQ(store().stringForKey(kPreferencePane), "PreferenceUpdate");
    }
    QntPreferenceController again(nullptr);
    EXPECT_EQ(again.selectedPane(), "PreferenceUpdate");
    EXPECT_FALSE(again.unitsPaneControls()->isVisibleTo(&again)); // no drawing
}

TEST_F(Preferences, UnitsSizesAndMarginsReachTheDrawingLive)
{
    auto drawing = drawingIn("Inches");
    QntPreferenceController prefs(drawing.get());
    ASSERT_TRUE(drawing->gridLayer());
    prefs.gridSpanTextField()->setText("1");
    prefs.gridSpanAction();

    prefs.sizesComboBox()->setCurrentText("Small");
    prefs.sizesPresetComboBoxAction();
    EXPECT_EQ(drawing->drawingUnits(), "Centimetres");
    EXPECT_NEAR(drawing->drawingSize().width(), 594.992, 0.001);
    EXPECT_NEAR(drawing->drawingSize().height(), 841.890, 0.001);
    EXPECT_EQ(prefs.gridSpanTextField()->text(), QLocale().toString(2.54, 'f', 2));
    EXPECT_EQ(store().stringForKey(QntPaperSizePresetKey), "Small");

    prefs.leftMarginTextField()->setText("1");
    prefs.topMarginTextField()->setText("2");
    prefs.rightMarginTextField()->setText("3");
    prefs.bottomMarginTextField()->setText("4");
    prefs.marginsAction();
    EXPECT_NEAR(drawing->leftMargin(), 28.346, 0.001);
    EXPECT_NEAR(drawing->topMargin(), 56.693, 0.001);
    EXPECT_NEAR(drawing->rightMargin(), 85.039, 0.001);
    EXPECT_NEAR(drawing->bottomMargin(), 113.386, 0.001);

    // Typing marks the size as "Other"; a width that is not a length is refused.
    QTest::keyClicks(prefs.widthTextField(), "x");
    EXPECT_EQ(prefs.sizesComboBox()->currentText(), "Other");
    prefs.widthTextField()->setText("-3");
    prefs.widthHeightAction();
    EXPECT_NEAR(drawing->drawingSize().width(), 594.992, 0.001);
    EXPECT_FALSE(prefs.unitsMessage()->text().isEmpty());
    prefs.conversionFactorTextField()->setText("0");
    prefs.conversionFactorAction();
    EXPECT_NEAR(drawing->unitToPointsConversionFactor(), 28.346456692913, 1e-9);

    // A kilometre is a thousand metres.
    prefs.unitsComboBox()->setCurrentText("Kilometres");
    prefs.unitsComboBoxAction();
    EXPECT_DOUBLE_EQ(drawing->unitToPointsConversionFactor(), 2834645.6692913);
    EXPECT_EQ(prefs.unitsComboBox()->count(), 7);
    EXPECT_EQ(prefs.sizesComboBox()->count(), 7);

    // Grid off and on again.
    prefs.showGrid(0);
    EXPECT_FALSE(drawing->gridLayer()->isVisible());
    prefs.showGrid(1);
    EXPECT_TRUE(drawing->gridLayer()->isVisible());
}

TEST_F(Preferences, ConfirmingAFieldUnchangedOrAfterARefusalLeavesTheDrawingExact)
{
    // Values that the fields can only show rounded.
    auto drawing = drawingIn("Centimetres");
    drawing->setDrawingSize(QSizeF(595, 842));
    drawing->setMarginsLeft(34.7, 29.1, 34.75, 29.15);
    QntPreferenceController prefs(drawing.get());
    prefs.gridSpanTextField()->setText("0.12345");
    prefs.gridSpanAction();
    prefs.prepareDialogWithDrawing(drawing.get());
    ASSERT_EQ(prefs.gridSpanTextField()->text(), QLocale().toString(0.123, 'f', 3));

    // Equal up to the last bits that converting units back and forth may touch.
    struct Snapshot {
        std::vector<double> values;
        bool operator==(const Snapshot &other) const
        {
            for (size_t i = 0; i < values.size(); ++i)
                if (std::abs(values[i] - other.values[i]) > 1e-9)
                    return false;
            return true;
        }
    };
    const auto snapshot = [&] {
        return Snapshot{{drawing->drawingSize().width(), drawing->drawingSize().height(),
                         drawing->leftMargin(), drawing->topMargin(), drawing->rightMargin(),
                         drawing->bottomMargin(), drawing->unitToPointsConversionFactor(),
                         drawing->gridLayer()->spanDistance()}};
    };
    const Snapshot before = snapshot();
    drawing->undoManager()->closeOpenGroups();
    drawing->undoManager()->removeAllActions();
    for (QLineEdit *field :
         {prefs.widthTextField(), prefs.heightTextField(), prefs.leftMarginTextField(),
          prefs.topMarginTextField(), prefs.rightMarginTextField(), prefs.bottomMarginTextField(),
          prefs.conversionFactorTextField(), prefs.gridSpanTextField()}) {
        emit field->editingFinished(); // Return in the untouched field
        EXPECT_TRUE(snapshot() == before) << field->objectName().toStdString();
        drawing->undoManager()->closeOpenGroups();
        EXPECT_FALSE(drawing->undoManager()->canUndo()) << field->objectName().toStdString();
    }

    // A refused factor shows the one in force; leaving the field then changes nothing either.
    prefs.conversionFactorTextField()->setText("0");
    emit prefs.conversionFactorTextField()->editingFinished();
    EXPECT_FALSE(prefs.unitsMessage()->text().isEmpty());
    emit prefs.conversionFactorTextField()->editingFinished();
    EXPECT_TRUE(snapshot() == before);

    // A typed value is still taken as typed.
    prefs.widthTextField()->setText("20");
    emit prefs.widthTextField()->editingFinished();
    EXPECT_DOUBLE_EQ(drawing->drawingSize().width(), 20 * 28.346456692913);
    EXPECT_NEAR(drawing->drawingSize().height(), 842, 1e-9);
}

TEST_F(Preferences, FactoryDefaultsOnAnInchDrawingAndSavedDefaultsOnNewDocumentsWhenAsked)
{
    auto drawing = drawingIn("Inches");
    QntPreferenceController prefs(drawing.get());
    prefs.saveAsDefaults(2);
    EXPECT_EQ(drawing->drawingUnits(), "Centimetres");
    EXPECT_DOUBLE_EQ(drawing->unitToPointsConversionFactor(), 28.346456692913);
    EXPECT_NEAR(drawing->drawingSize().width(), 1685.197, 0.001);
    EXPECT_NEAR(drawing->drawingSize().height(), 1191.968, 0.001);
    EXPECT_NEAR(drawing->leftMargin(), 1.225 * 28.346456692913, 0.001);
    EXPECT_NEAR(drawing->topMargin(), 1.025 * 28.346456692913, 0.001);
    EXPECT_EQ(drawing->paperColour(), QColor(Qt::white));
    VRGridLayer *grid = drawing->gridLayer();
    EXPECT_EQ(grid->divisions(), 5);
    EXPECT_EQ(grid->majors(), 10);
    EXPECT_EQ(grid->rulerSteps(), 2);
    EXPECT_FALSE(grid->shouldDrawToPrinter());
    EXPECT_TRUE(grid->isVisible());
    EXPECT_FALSE(store().objectForKey(kQntDefaultDocument).isValid());

    // Saved: 3 divisions, grid hidden.
    prefs.gridDivsSpin()->setValue(3);
    prefs.showGridCheckbox()->setChecked(false);
    prefs.setShowGridAction();
    prefs.saveAsDefaults(0);
    ASSERT_TRUE(store().objectForKey(kQntDefaultDocument).isValid());

    struct Row {
        bool apply;
        int divisions;
        bool gridVisible;
    };
    for (const Row &row : {Row{true, 3, false}, Row{false, 5, true}}) {
        SCOPED_TRACE(row.apply);
        store().setBool(row.apply, QntApplyDefaultsKey);
        VRDrawingDocument document;
        document.setDrawing(std::make_unique<VRDrawing>());
        NotificationCenter::defaultCenter().post(
            QStringLiteral("kQntNewDocumentCreatedNotification"), &document,
            {{QStringLiteral("object"), QVariant::fromValue<QObject *>(&document)}});
        EXPECT_EQ(document.drawing()->gridLayer()->divisions(), row.divisions);
        EXPECT_EQ(document.drawing()->gridLayer()->isVisible(), row.gridVisible);
    }
    prefs.saveAsDefaults(1);
    EXPECT_FALSE(store().objectForKey(kQntDefaultDocument).isValid());
}

TEST_F(Preferences, CheckingForUpdatesRecordsTheDateAndSaysHowUpdatesCome)
{
    QntPreferenceController prefs(nullptr);
    QStringList said;
    SUUpdater::sharedUpdater().setAlert([&](const QString &text) { said << text; });
    prefs.checkForUpdatesAction();
    SUUpdater::sharedUpdater().setAlert({});
    ASSERT_EQ(said.size(), 1);
    EXPECT_EQ(said.first(), SUUpdater::checkResultText());
    EXPECT_TRUE(SUUpdater::sharedUpdater().lastUpdateCheckDate().isValid());
    EXPECT_NE(prefs.lastUpdateCheckDate()->text(), "Never");
}

} // namespace
