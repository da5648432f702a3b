#pragma once

#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <QUrl>
#include <QVariantMap>

class QCheckBox;
class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QMessageBox;
class QSlider;
class QStackedWidget;
class QWidget;
class VKExportOptionsDelegate;

// The export dialog of one document: a file chooser (a folder chooser for SVG) carrying the
// export options. The options live as long as the controller, so choices carry over from one
// export of the document to the next; several of them are also remembered in the defaults.
class VKExportOptionsController : public QObject
{
    Q_OBJECT
public:
    enum ExportType : qint64 { PDF = -1, TIFF = 0, JPEG = 3, PNG = 4, SVG = 5 };

    explicit VKExportOptionsController(QObject *parent = nullptr);
    ~VKExportOptionsController() override;

    void beginExportDialogWithParentWindow(QWidget *parent, VKExportOptionsDelegate *delegate);
    void beginSVGExportDialogWithParentWindow(QWidget *parent, VKExportOptionsDelegate *delegate);

    // The chooser's completion: with 1 (OK) the file or folder is exported to url. A file's
    // extension follows the format; a file that would be replaced without the chooser having
    // asked (an SVG named after the document in the folder chosen, or a name whose extension
    // changed) is replaced only once the user agrees.
    void exportPanelDidEnd(int returnCode, const QUrl &url);
    // The question asked before replacing a file, while it is shown.
    QMessageBox *replaceAlert() const;

    // The file a name chosen for a format is written to: a name ending in another format's
    // extension takes this one's instead, any other name gets it added. SVG chooses a folder,
    // which is kept.
    static QUrl fileURLForType(const QUrl &url, qint64 type);
    // The name of an SVG export of a document of that display name.
    static QString svgFileName(const QString &displayName);

    void displayOptionsForFileType(qint64 type);
    QSizeF sourceImageSize() const;

    // Control actions.
    void formatPopUpAction();
    void resolutionPopUpAction();
    void formatIncludeGridAction();
    void cropAction();
    void jpegQualityAction();
    void jpegProgressiveAction();
    void tiffCompressionAction();
    void tiffAlphaAction();
    void pngAlphaAction();
    void pngInterlaceAction();
    void exportedWidthAction();
    void exportedHeightAction();

    qint64 fileType() const { return mFileType; }
    const QVariantMap &options() const { return mOptionsDict; }
    QFileDialog *panel() const { return m_panel; }
    QWidget *accessoryView() const { return mExportAccessoryView; }
    QComboBox *formatPopUpButton() const { return mExportFormatPopUpButton; }
    QComboBox *resolutionPopUpButton() const { return mExportResolutionPopUpButton; }
    QCheckBox *includeGridCheckbox() const { return mExportIncludeGridCheckbox; }
    QCheckBox *cropCheckbox() const { return mExportCropCheckbox; }
    QCheckBox *pngAlphaCheckbox() const { return mPNGAlphaCheckbox; }
    QCheckBox *pngInterlaceCheckbox() const { return mPNGInterlaceCheckbox; }
    QCheckBox *tiffAlphaCheckbox() const { return mTIFFAlphaCheckbox; }
    QCheckBox *jpegProgressiveCheckbox() const { return mJPEGProgressiveCheckbox; }
    QComboBox *tiffCompressionPopUpButton() const { return mTIFFCompressionTypePopUpButton; }
    QSlider *jpegQualitySlider() const { return mJPEGQualitySlider; }
    QLineEdit *widthTextbox() const { return mExportWidthTextbox; }
    QLineEdit *heightTextbox() const { return mExportHeightTextbox; }
    QStackedWidget *optionsTabView() const { return mExportOptionsTabView; }

    // The resolutions offered, in dots per inch.
    static QList<int> resolutions();

private:
    void buildAccessoryView();
    void makePanel(QWidget *parent, bool chooseFolder);
    void ensureOptions(bool forSaveDialog);
    void fillSizeBoxesFromSource();
    void setSizeBoxesVisible(bool visible);
    void selectResolution(int dpi);
    void performExport();
    bool isSVG() const { return mFileType == SVG; }

    QWidget *mExportAccessoryView = nullptr;
    QComboBox *mExportFormatPopUpButton = nullptr;
    QLabel *mExportResolutionLabel = nullptr;
    QComboBox *mExportResolutionPopUpButton = nullptr;
    QCheckBox *mExportIncludeGridCheckbox = nullptr;
    QStackedWidget *mExportOptionsTabView = nullptr;
    QSlider *mJPEGQualitySlider = nullptr;
    QCheckBox *mJPEGProgressiveCheckbox = nullptr;
    QCheckBox *mPNGInterlaceCheckbox = nullptr;
    QComboBox *mTIFFCompressionTypePopUpButton = nullptr;
    QCheckBox *mTIFFAlphaCheckbox = nullptr;
    QCheckBox *mPNGAlphaCheckbox = nullptr;
    QCheckBox *mExportCropCheckbox = nullptr;
    QLineEdit *mExportWidthTextbox = nullptr;
    QLineEdit *mExportHeightTextbox = nullptr;
    QLabel *mExportWidthLabel = nullptr;
    QLabel *mExportHeightLabel = nullptr;
    QLabel *mExportWidthDimLabel = nullptr;
    QLabel *mExportHeightDimLabel = nullptr;
    QPointer<QFileDialog> m_panel;
    QPointer<QMessageBox> m_replaceAlert;
    VKExportOptionsDelegate *mDelegate = nullptr;
    QVariantMap mOptionsDict;
    bool m_optionsMade = false;
    // The resolution of bitmap exports; PDF shows its own fixed value without changing it.
    int m_bitmapResolution = 72;
    qint64 mFileType = PDF;
};
