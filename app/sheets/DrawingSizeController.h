#pragma once

#include <QColor>
#include <QDialog>
#include <QPointer>
#include <QSizeF>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;
#include "framework/model/VRDrawing.h"

// The drawing-size sheet: page size, margins, units with their points-per-unit factor, paper
// colour and grid. Grid, units and colours may be previewed live on the drawing while the
// sheet is open; Cancel puts back everything as it was when the sheet opened.
class DrawingSizeController : public QDialog
{
    Q_OBJECT
public:
    explicit DrawingSizeController(QWidget *parent = nullptr);

    void beginDrawingSizeDialog(QWidget *parentWindow, VRDrawing *drawing);
    void okAction();
    void cancelAction();
    void gridDivsAction();
    void gridMajorsAction();
    void gridSpanAction();
    void gridRulerStepsAction();
    void gridThemeColourAction(const QColor &colour);
    void gridPrintAction();
    void livePreviewAction();
    void unitsComboBoxAction();
    void conversionFactorAction();
    void paperColourAction(const QColor &colour);
    void prepareDialogWithDrawing(VRDrawing *drawing);
    void setupComboBoxWithCurrentUnits(const QString &units);
    static QStringList unitNames();
    void sheetDidEnd(int returnCode);

    VRDrawing *drawing() const { return mDrawing; }
    double unitConversionFactor() const { return mUnitConversionFactor; }
    QDoubleSpinBox *widthTextField() const { return mWidthTextField; }
    QDoubleSpinBox *heightTextField() const { return mHeightTextField; }
    QDoubleSpinBox *topMarginTextField() const { return mTopMarginTextField; }
    QDoubleSpinBox *leftMarginTextField() const { return mLeftMarginTextField; }
    QDoubleSpinBox *rightMarginTextField() const { return mRightMarginTextField; }
    QDoubleSpinBox *bottomMarginTextField() const { return mBottomMarginTextField; }
    QComboBox *unitsComboBox() const { return mUnitsComboBox; }
    QDoubleSpinBox *conversionFactorTextField() const { return mConversionFactorTextField; }
    QLabel *conversionFactorLabelText() const { return mConversionFactorLabelText; }
    QDoubleSpinBox *gridSpanTextField() const { return mGridSpanTextField; }
    QSpinBox *gridDivsTextField() const { return mGridDivsTextField; }
    QSpinBox *gridMajorsTextField() const { return mGridMajorsTextField; }
    QSpinBox *gridRulerStepsTextField() const { return mGridRulerStepsTextField; }
    QCheckBox *gridPrintCheckbox() const { return mGridPrintCheckbox; }
    QCheckBox *gridPreviewCheckbox() const { return mGridPreviewCheckbox; }
    QCheckBox *tweakMarginsCheckbox() const { return mTweakMarginsCheckbox; }
    QLabel *gridAbbrevUnitsText() const { return mGridAbbrevUnitsText; }
    // Why OK left the sheet open (a page or margin larger than a drawing holds); hidden else.
    QLabel *messageText() const { return m_message; }

private:
    void applyGrid(double pointsPerUnit, double span, int divisions, int majors);
    void setLengthFields(double widthPt, double heightPt, double topPt, double leftPt,
                         double rightPt, double bottomPt, double spanPt);
    void setWellColour(QPushButton *well, const QColor &colour);
    void refreshUnitLabels();
    QList<QDoubleSpinBox *> lengthFields() const;
    // The lengths shown, in points, so that a change of units never loses precision.
    void rememberShownLengths();

    QDoubleSpinBox *mBottomMarginTextField = nullptr;
    QSpinBox *mGridDivsTextField = nullptr;
    QSpinBox *mGridMajorsTextField = nullptr;
    QCheckBox *mGridPreviewCheckbox = nullptr;
    QDoubleSpinBox *mGridSpanTextField = nullptr;
    QPushButton *mGridThemeColourWell = nullptr;
    QDoubleSpinBox *mHeightTextField = nullptr;
    QDoubleSpinBox *mLeftMarginTextField = nullptr;
    QDoubleSpinBox *mRightMarginTextField = nullptr;
    QDoubleSpinBox *mTopMarginTextField = nullptr;
    QCheckBox *mTweakMarginsCheckbox = nullptr;
    QComboBox *mUnitsComboBox = nullptr;
    QDoubleSpinBox *mWidthTextField = nullptr;
    QGroupBox *mGridControlsBox = nullptr;
    QLabel *mGridAbbrevUnitsText = nullptr;
    QCheckBox *mGridPrintCheckbox = nullptr;
    QSpinBox *mGridRulerStepsTextField = nullptr;
    QDoubleSpinBox *mConversionFactorTextField = nullptr;
    QLabel *mConversionFactorLabelText = nullptr;
    QPushButton *mPaperColourWell = nullptr;
    QList<QLabel *> m_unitLabels;
    QLabel *m_message = nullptr;
    // Width, height, top, left, right, bottom and grid span in points, as last shown or typed.
    double m_points[7] = {0, 0, 0, 0, 0, 0, 0};

    QPointer<VRDrawing> mDrawing;
    bool mLivePreview = true;
    double mUnitConversionFactor = 1.0;
    QColor m_gridColour;
    QColor m_paperColour;

    // Everything the sheet may change, as it was when the sheet opened.
    struct Saved {
        QSizeF size;
        double margins[4] = {0, 0, 0, 0};
        QString units;
        double factor = 1.0;
        QColor paperColour;
        bool hasGrid = false;
        double unitDistance = 0;
        double span = 1.0;
        qint64 divisions = 0;
        qint64 majors = 0;
        int rulerSteps = 0;
        QColor gridColour;
        bool gridPrints = false;
    } m_saved;
};
