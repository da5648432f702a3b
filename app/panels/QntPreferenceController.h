#pragma once

#include "platform/NotificationCenter.h"

#include <QHash>
#include <QPointer>
#include <QVariantMap>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSlider;
class QSpinBox;
class QStackedWidget;
class QToolBar;
class QPushButton;
class SRRecorderControl;
class QntColorWell;
class VRDrawing;
class VRDrawingDocument;
class UserDefaults;
class WindowFrameAutosave;

// The application's preferences window: General (application switches, palette options and
// tool shortcuts), Units & Grid (the current drawing's units, size, margins and grid, edited
// live, and the document defaults) and Update. Every switch is written at once and kept; the
// scroller, palette colour and clip-art switches are also posted so that every open window
// follows at once. One per application, made by the application delegate. GUI thread only.
class QntPreferenceController : public QWidget
{
    Q_OBJECT
public:
    explicit QntPreferenceController(VRDrawing *drawing, QWidget *parent = nullptr);
    ~QntPreferenceController() override;

    static const QStringList &paneIdentifiers();
    void selectPaneWithIdentifier(const QString &identifier);
    QString selectedPane() const { return m_pane; }
    // Fills the Units & Grid pane from the current document, then shows the window.
    void showWindow();

    // ---- General ----
    void initGeneralPane();
    QCheckBox *checkBox(const QString &key) const;
    QSlider *elementScaleSlider() const { return _elementScaleSlider; }
    QntColorWell *paletteBackgroundColorWell() const { return _paletteBackgroundColorWell; }
    QComboBox *slideCaptionPlacementCombobox() const { return _slideCaptionPlacementCombobox; }
    void elementScaleAction();
    void paletteBackgroundColorWellAction(const QColor &colour);
    void slideCaptionPlacementComboboxAction();

    // ---- tool shortcuts ----
    struct Shortcut {
        int tag; // the factory key code
        const char *title;
        QString key;
        QString toolName; // empty: stored only
    };
    static const std::vector<Shortcut> &shortcuts();
    // The code in force for a tag: the stored one, else the factory one.
    static int shortcutCode(int tag);
    // Gives every tool its stored code; the application does it at launch.
    static void applyStoredShortcuts();
    QComboBox *toolNamePopupButton() const { return _toolNamePopupButton; }
    SRRecorderControl *shortcutRecorder() const { return shortcutRecorder_; }
    QLabel *shortcutMessage() const { return _shortcutMessage; }
    void toolNamePopupButtonAction();
    // Records a key code for the selected tool; a code another tool or command already has is
    // refused with a message. True when taken.
    bool shortcutRecorderKeyComboDidChange(int keyCode);
    void restoreDefaultShortcutsButtonAction();

    // ---- Update ----
    void initUpdatePane();
    QCheckBox *autoCheckUpdates() const { return _autoCheckUpdates; }
    QComboBox *checkInterval() const { return _checkInterval; }
    QLabel *lastUpdateCheckDate() const { return _lastUpdateCheckDate; }
    void autoCheckUpdatesAction();
    void checkIntervalAction();
    void checkForUpdatesAction();

    // ---- Units & Grid ----
    void prepareDialogWithDrawing(VRDrawing *drawing);
    VRDrawing *drawing() const { return mDrawing; }
    double unitConversionFactor() const { return mUnitConversionFactor; }
    static QStringList unitNames();
    static QStringList sizesNames();
    void unitsComboBoxAction();
    void conversionFactorAction();
    void sizesPresetComboBoxAction();
    void widthHeightAction();
    void setDrawingSize();
    void controlTextDidChange();
    void marginsAction();
    void tweakMarginsAction();
    void paperColourAction(const QColor &colour);
    void enlargeRightAction();
    void enlargeDownAction();
    void setFitPaginationAction();
    void setShowPageBreaksAction();
    void setShowGridAction();
    void showGrid(int show);
    void gridSpanAction();
    void gridDivsAction();
    void gridMajorsAction();
    void gridRulerStepsAction();
    void gridThemeColourAction(const QColor &colour);
    void gridPrintAction();

    QComboBox *unitsComboBox() const { return mUnitsComboBox; }
    QComboBox *sizesComboBox() const { return mSizesComboBox; }
    QLineEdit *widthTextField() const { return mWidthTextField; }
    QLineEdit *heightTextField() const { return mHeightTextField; }
    QLineEdit *conversionFactorTextField() const { return mConversionFactorTextField; }
    QLineEdit *leftMarginTextField() const { return mLeftMarginTextField; }
    QLineEdit *topMarginTextField() const { return mTopMarginTextField; }
    QLineEdit *rightMarginTextField() const { return mRightMarginTextField; }
    QLineEdit *bottomMarginTextField() const { return mBottomMarginTextField; }
    QLineEdit *gridSpanTextField() const { return mGridSpanTextField; }
    QSpinBox *gridDivsSpin() const { return mGridDivsSpinControl; }
    QSpinBox *gridMajorsSpin() const { return mGridMajorsSpinControl; }
    QSpinBox *gridRulerStepsSpin() const { return mGridRulerStepsSpinControl; }
    QCheckBox *showGridCheckbox() const { return mShowGridCheckbox; }
    QCheckBox *gridPrintCheckbox() const { return mGridPrintCheckbox; }
    QCheckBox *showPageBreaksCheckbox() const { return mShowPageBreaksCheckbox; }
    QCheckBox *fitPaginationCheckbox() const { return mFitPaginationCheckbox; }
    QCheckBox *tweakMarginsCheckbox() const { return mTweakMarginsCheckbox; }
    QntColorWell *paperColourWell() const { return mPaperColourWell; }
    QntColorWell *gridThemeColourWell() const { return mGridThemeColourWell; }
    QWidget *unitsPaneControls() const { return _unitsPaneControls; }
    QComboBox *defaultsCommandPopup() const { return _defaultsCommand; }
    QLabel *unitsMessage() const { return _unitsMessage; }

    // ---- document defaults ----
    static QVariantMap dictDefaults();
    // 0 save, 1 remove and apply the factory set, 2 apply the factory set, 3 apply the saved
    // set (or the factory set).
    void saveAsDefaults(int tag);
    void applyDefaultsToDrawing(VRDrawing *drawing, const QVariantMap &dictionary);
    // A new document: the saved set, when one is saved and "apply defaults" is on.
    void applyDefaults(const Notification &notification);

    // Messages are shown in a box; tests take them instead.
    using Alert = std::function<void(const QString &text)>;
    void setAlert(Alert alert) { m_alert = std::move(alert); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *makeGeneralPane();
    QWidget *makeUnitsPane();
    QWidget *makeUpdatePane();
    void addSwitch(QWidget *parent, class QGridLayout *grid, int row, int column,
                   const QString &key, const QString &title, bool posted);
    void resetDrawing(const Notification &notification);
    void refreshSizeFields(bool presetToOther);
    VRDrawingDocument *currentDocument() const;
    bool validLength(QLineEdit *field, double *value, bool positive);
    // Fills a length field with a value, shown rounded to `decimals`.
    void showLength(QLineEdit *field, double value, int decimals = 3);
    void alert(const QString &text);
    QString formatted(double value, int decimals = 3) const;
    void refreshMarginFields();
    double factorOfUnitsText(const QString &text) const;

    // Each length field's text as it was filled, with the exact value it stands for.
    QHash<const QLineEdit *, std::pair<QString, double>> m_shownLengths;
    QString m_pane;
    QToolBar *m_toolbar = nullptr;
    QStackedWidget *m_stack = nullptr;
    std::vector<QWidget *> m_panes;
    QList<QAction *> m_paneActions;
    Alert m_alert;

    // General
    std::vector<std::pair<QString, QCheckBox *>> m_switches;
    QCheckBox *_displayDragInfoButton = nullptr;
    QCheckBox *_showSmartGuidesButton = nullptr;
    QSlider *_elementScaleSlider = nullptr;
    QntColorWell *_paletteBackgroundColorWell = nullptr;
    QComboBox *_slideCaptionPlacementCombobox = nullptr;
    SRRecorderControl *shortcutRecorder_ = nullptr;
    QComboBox *_toolNamePopupButton = nullptr;
    QLabel *_shortcutMessage = nullptr;

    // Update
    QCheckBox *_autoCheckUpdates = nullptr;
    QComboBox *_checkInterval = nullptr;
    QLabel *_lastUpdateCheckDate = nullptr;

    // Units & Grid
    QWidget *_unitsPaneControls = nullptr;
    QLabel *_unitsPaneBkgLabel = nullptr;
    QLineEdit *mHeightTextField = nullptr;
    QLineEdit *mWidthTextField = nullptr;
    QComboBox *mUnitsComboBox = nullptr;
    QLineEdit *mConversionFactorTextField = nullptr;
    QLabel *mConversionFactorLabelText = nullptr;
    QntColorWell *mPaperColourWell = nullptr;
    QLineEdit *mLeftMarginTextField = nullptr;
    QLineEdit *mRightMarginTextField = nullptr;
    QLineEdit *mTopMarginTextField = nullptr;
    QLineEdit *mBottomMarginTextField = nullptr;
    QCheckBox *mTweakMarginsCheckbox = nullptr;
    QComboBox *mSizesComboBox = nullptr;
    QCheckBox *mShowPageBreaksCheckbox = nullptr;
    QCheckBox *mFitPaginationCheckbox = nullptr;
    QCheckBox *mShowGridCheckbox = nullptr;
    QSpinBox *mGridDivsSpinControl = nullptr;
    QSpinBox *mGridMajorsSpinControl = nullptr;
    QLabel *mGridAbbrevUnitsText = nullptr;
    QCheckBox *mGridPrintCheckbox = nullptr;
    QSpinBox *mGridRulerStepsSpinControl = nullptr;
    QLineEdit *mGridSpanTextField = nullptr;
    QntColorWell *mGridThemeColourWell = nullptr;
    QComboBox *_defaultsCommand = nullptr;
    QLabel *_unitsMessage = nullptr;

    QPointer<VRDrawing> mDrawing;
    double mUnitConversionFactor = 1.0;
    bool m_filling = false;
    std::vector<NotificationToken> m_observers;
    // Keeps the window's place under "PreferencesWindow".
    WindowFrameAutosave *m_frameAutosave = nullptr;
};
