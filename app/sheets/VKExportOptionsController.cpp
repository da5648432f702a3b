#include "app/sheets/VKExportOptionsController.h"

#include "app/sheets/VKExportOptionsDelegate.h"
#include "framework/base/VRConstants.h"
#include "platform/MenuAdditions.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

struct TypeInfo {
    qint64 tag;
    const char *title;
    int tab;
    const char *suffix;
    const char *filter;
};

const TypeInfo kTypes[] = {
    {VKExportOptionsController::PDF, "PDF", 0, "pdf", "PDF document (*.pdf)"},
    {VKExportOptionsController::TIFF, "TIFF", 3, "tiff", "TIFF image (*.tiff *.tif)"},
    {VKExportOptionsController::JPEG, "JPEG", 1, "jpg", "JPEG image (*.jpg *.jpeg)"},
    {VKExportOptionsController::PNG, "PNG", 2, "png", "PNG image (*.png)"},
    {VKExportOptionsController::SVG, "SVG", 4, nullptr, nullptr},
};

const TypeInfo *typeInfo(qint64 type)
{
    for (const TypeInfo &info : kTypes) {
        if (info.tag == type)
            return &info;
    }
    return nullptr;
}

// The platform's TIFF compression codes that the framework writes.
constexpr int kTIFFCompressionNone = 1;
constexpr int kTIFFCompressionLZW = 5;

constexpr int kPDFResolution = 300;

QString pixelText(double value)
{
    if (!std::isfinite(value))
        value = 0;
    return QString::number(static_cast<qint64>(std::llround(value)));
}

} // namespace

VKExportOptionsController::VKExportOptionsController(QObject *parent)
    : QObject(parent)
{
    buildAccessoryView();
}

VKExportOptionsController::~VKExportOptionsController()
{
    // The accessory lives inside the current chooser while one exists.
    if (m_panel) {
        mExportAccessoryView->setParent(nullptr);
        delete m_panel.data();
    }
    delete mExportAccessoryView;
}

QList<int> VKExportOptionsController::resolutions()
{
    return {72, 96, 144, 150, 300, 600};
}

void VKExportOptionsController::buildAccessoryView()
{
    mExportAccessoryView = new QWidget;
    mExportAccessoryView->setObjectName(QStringLiteral("ExportAccessoryView"));

    mExportFormatPopUpButton = new QComboBox;
    mExportResolutionLabel = new QLabel(tr("Resolution:"));
    mExportResolutionPopUpButton = new QComboBox;
    for (int dpi : resolutions())
        mExportResolutionPopUpButton->addItem(tr("%1 dpi").arg(dpi), dpi);
    mExportIncludeGridCheckbox = new QCheckBox(tr("Include grid"));
    mExportCropCheckbox = new QCheckBox(tr("Crop to objects"));

    auto *intOnly = new QIntValidator(1, 100000, mExportAccessoryView);
    mExportWidthLabel = new QLabel(tr("Width:"));
    mExportHeightLabel = new QLabel(tr("Height:"));
    mExportWidthTextbox = new QLineEdit;
    mExportHeightTextbox = new QLineEdit;
    for (QLineEdit *box : {mExportWidthTextbox, mExportHeightTextbox}) {
        box->setValidator(intOnly);
        box->setAlignment(Qt::AlignRight);
        box->setMaximumWidth(90);
    }
    mExportWidthDimLabel = new QLabel(tr("px"));
    mExportHeightDimLabel = new QLabel(tr("px"));

    // Options per format, in the order of the tab indexes.
    mExportOptionsTabView = new QStackedWidget;
    auto *pdfTab = new QLabel(tr("The drawing is written as vector graphics."));
    pdfTab->setWordWrap(true);

    auto *jpegTab = new QWidget;
    mJPEGQualitySlider = new QSlider(Qt::Horizontal);
    mJPEGQualitySlider->setRange(0, 100);
    mJPEGQualitySlider->setTickPosition(QSlider::TicksBelow);
    mJPEGQualitySlider->setTickInterval(10);
    mJPEGProgressiveCheckbox = new QCheckBox(tr("Progressive"));
    auto *jpegLayout = new QFormLayout(jpegTab);
    auto *qualityRow = new QHBoxLayout;
    qualityRow->addWidget(new QLabel(tr("Least")));
    qualityRow->addWidget(mJPEGQualitySlider, 1);
    qualityRow->addWidget(new QLabel(tr("Best")));
    jpegLayout->addRow(tr("Quality:"), qualityRow);
    jpegLayout->addRow(QString(), mJPEGProgressiveCheckbox);

    auto *pngTab = new QWidget;
    mPNGAlphaCheckbox = new QCheckBox(tr("Transparent background"));
    mPNGInterlaceCheckbox = new QCheckBox(tr("Interlaced"));
    auto *pngLayout = new QVBoxLayout(pngTab);
    pngLayout->addWidget(mPNGAlphaCheckbox);
    pngLayout->addWidget(mPNGInterlaceCheckbox);
    pngLayout->addStretch();

    auto *tiffTab = new QWidget;
    mTIFFCompressionTypePopUpButton = new QComboBox;
    mTIFFCompressionTypePopUpButton->addItem(tr("None"), kTIFFCompressionNone);
    mTIFFCompressionTypePopUpButton->addItem(tr("LZW"), kTIFFCompressionLZW);
    mTIFFAlphaCheckbox = new QCheckBox(tr("Transparent background"));
    auto *tiffLayout = new QFormLayout(tiffTab);
    tiffLayout->addRow(tr("Compression:"), mTIFFCompressionTypePopUpButton);
    tiffLayout->addRow(QString(), mTIFFAlphaCheckbox);

    auto *svgTab = new QLabel(tr(
        "The drawing is written as an SVG file named after the document into the chosen folder."));
    svgTab->setWordWrap(true);

    mExportOptionsTabView->addWidget(pdfTab);
    mExportOptionsTabView->addWidget(jpegTab);
    mExportOptionsTabView->addWidget(pngTab);
    mExportOptionsTabView->addWidget(tiffTab);
    mExportOptionsTabView->addWidget(svgTab);

    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("Format:")), 0, 0, Qt::AlignRight);
    grid->addWidget(mExportFormatPopUpButton, 0, 1);
    grid->addWidget(mExportResolutionLabel, 0, 2, Qt::AlignRight);
    grid->addWidget(mExportResolutionPopUpButton, 0, 3);
    grid->addWidget(mExportWidthLabel, 1, 0, Qt::AlignRight);
    auto *widthRow = new QHBoxLayout;
    widthRow->addWidget(mExportWidthTextbox);
    widthRow->addWidget(mExportWidthDimLabel);
    widthRow->addStretch();
    grid->addLayout(widthRow, 1, 1);
    grid->addWidget(mExportHeightLabel, 1, 2, Qt::AlignRight);
    auto *heightRow = new QHBoxLayout;
    heightRow->addWidget(mExportHeightTextbox);
    heightRow->addWidget(mExportHeightDimLabel);
    heightRow->addStretch();
    grid->addLayout(heightRow, 1, 3);
    grid->addWidget(mExportIncludeGridCheckbox, 2, 1);
    grid->addWidget(mExportCropCheckbox, 2, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    auto *optionsBox = new QGroupBox(tr("Options"));
    auto *optionsLayout = new QVBoxLayout(optionsBox);
    optionsLayout->addWidget(mExportOptionsTabView);

    auto *layout = new QVBoxLayout(mExportAccessoryView);
    layout->setContentsMargins(0, 8, 0, 0);
    layout->addLayout(grid);
    layout->addWidget(optionsBox);

    connect(mExportFormatPopUpButton, &QComboBox::activated, this, [this] { formatPopUpAction(); });
    connect(mExportResolutionPopUpButton, &QComboBox::activated, this,
            [this] { resolutionPopUpAction(); });
    connect(mExportIncludeGridCheckbox, &QCheckBox::clicked, this,
            [this] { formatIncludeGridAction(); });
    connect(mExportCropCheckbox, &QCheckBox::clicked, this, [this] { cropAction(); });
    connect(mJPEGQualitySlider, &QSlider::valueChanged, this, [this] { jpegQualityAction(); });
    connect(mJPEGProgressiveCheckbox, &QCheckBox::clicked, this,
            [this] { jpegProgressiveAction(); });
    connect(mTIFFCompressionTypePopUpButton, &QComboBox::activated, this,
            [this] { tiffCompressionAction(); });
    connect(mTIFFAlphaCheckbox, &QCheckBox::clicked, this, [this] { tiffAlphaAction(); });
    connect(mPNGAlphaCheckbox, &QCheckBox::clicked, this, [this] { pngAlphaAction(); });
    connect(mPNGInterlaceCheckbox, &QCheckBox::clicked, this, [this] { pngInterlaceAction(); });
    connect(mExportWidthTextbox, &QLineEdit::editingFinished, this,
            [this] { exportedWidthAction(); });
    connect(mExportHeightTextbox, &QLineEdit::editingFinished, this,
            [this] { exportedHeightAction(); });
}

void VKExportOptionsController::ensureOptions(bool forSaveDialog)
{
    if (m_optionsMade)
        return;
    m_optionsMade = true;
    if (!forSaveDialog)
        return;
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    mOptionsDict.insert(kNSImageCompressionFactor, 0.67);
    const QVariant stored = defaults.objectForKey(kVRExportPropertiesResolution);
    const qint64 dpi =
        stored.isValid() ? defaults.integerForKey(kVRExportPropertiesResolution) : 72;
    m_bitmapResolution = dpi > 0 && dpi <= 10000 ? int(dpi) : 72;
    mOptionsDict.insert(kVRExportPropertiesResolution, m_bitmapResolution);
}

void VKExportOptionsController::makePanel(QWidget *parent, bool chooseFolder)
{
    if (m_panel) {
        mExportAccessoryView->setParent(nullptr);
        m_panel->deleteLater();
    }
    auto *panel = new QFileDialog(parent);
    panel->setObjectName(QStringLiteral("ExportPanel"));
    panel->setOption(QFileDialog::DontUseNativeDialog, true);
    panel->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    if (chooseFolder) {
        panel->setAcceptMode(QFileDialog::AcceptOpen);
        panel->setFileMode(QFileDialog::Directory);
        panel->setOption(QFileDialog::ShowDirsOnly, true);
    } else {
        panel->setAcceptMode(QFileDialog::AcceptSave);
        panel->setFileMode(QFileDialog::AnyFile);
    }
    panel->setLabelText(QFileDialog::Accept, tr("Export"));
    panel->setWindowTitle(tr("Export The Drawing"));
    // The options go below the chooser's own controls.
    if (auto *layout = qobject_cast<QGridLayout *>(panel->layout()))
        layout->addWidget(mExportAccessoryView, layout->rowCount(), 0, 1, layout->columnCount());
    else
        panel->layout()->addWidget(mExportAccessoryView);
    mExportAccessoryView->show();
    connect(panel, &QFileDialog::finished, this, [this, panel](int result) {
        if (panel != m_panel)
            return;
        exportPanelDidEnd(result == QDialog::Accepted ? 1 : 0, panel->selectedUrls().value(0));
    });
    m_panel = panel;
}

void VKExportOptionsController::beginExportDialogWithParentWindow(QWidget *parent,
                                                                  VKExportOptionsDelegate *delegate)
{
    mDelegate = delegate;
    ensureOptions(true);
    mFileType = PDF;
    makePanel(parent, false);

    MenuAdditions::removeAllItems(mExportFormatPopUpButton);
    for (const TypeInfo &info : kTypes) {
        if (info.tag != SVG)
            mExportFormatPopUpButton->addItem(QString::fromLatin1(info.title), info.tag);
    }
    // A stored type the dialog does not offer (SVG has its own dialog) is ignored.
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    if (defaults.objectForKey(kQntFileType).isValid()) {
        const qint64 stored = defaults.integerForKey(kQntFileType);
        if (mExportFormatPopUpButton->findData(stored) >= 0)
            mFileType = stored;
    }
    displayOptionsForFileType(mFileType);

    const bool crop = defaults.boolForKey(kQntCropExportedFile);
    const bool pngAlpha = defaults.boolForKey(kQntPNGAlpha);
    const bool tiffAlpha = defaults.boolForKey(kQntTIFFAlpha);
    mExportCropCheckbox->setChecked(crop);
    mPNGAlphaCheckbox->setChecked(pngAlpha);
    mTIFFAlphaCheckbox->setChecked(tiffAlpha);
    mOptionsDict.insert(kQntCropExportedFile, crop);
    mOptionsDict.insert(kQntPNGAlpha, pngAlpha);
    mOptionsDict.insert(kQntTIFFAlpha, tiffAlpha);

    if (mOptionsDict.value(kVRExportPropertiesResolution).toInt() == 72)
        fillSizeBoxesFromSource();

    QString name = delegate ? delegate->displayName() : QString();
    name = QFileInfo(name).completeBaseName().isEmpty() ? name : QFileInfo(name).completeBaseName();
    m_panel->selectFile(name);
    m_panel->open();
    formatPopUpAction();
}

void VKExportOptionsController::beginSVGExportDialogWithParentWindow(
    QWidget *parent, VKExportOptionsDelegate *delegate)
{
    mDelegate = delegate;
    ensureOptions(false);
    mFileType = SVG;
    makePanel(parent, true);
    MenuAdditions::removeAllItems(mExportFormatPopUpButton);
    mExportFormatPopUpButton->addItem(QStringLiteral("SVG"), qint64(SVG));
    displayOptionsForFileType(SVG);
    const bool crop = UserDefaults::standardUserDefaults().boolForKey(kQntCropExportedFile);
    mExportCropCheckbox->setChecked(crop);
    mOptionsDict.insert(kQntCropExportedFile, crop);
    m_panel->open();
    formatPopUpAction();
}

void VKExportOptionsController::displayOptionsForFileType(qint64 type)
{
    const int index = mExportFormatPopUpButton->findData(type);
    if (index >= 0)
        mExportFormatPopUpButton->setCurrentIndex(index);
    mFileType = type;

    if (type == SVG) {
        mExportIncludeGridCheckbox->setEnabled(false);
        mExportResolutionPopUpButton->hide();
        mExportResolutionLabel->hide();
        mExportResolutionPopUpButton->setEnabled(false);
        mExportWidthTextbox->setEnabled(false);
        mExportHeightTextbox->setEnabled(false);
    } else if (type == PDF) {
        // The PDF is vector graphics: the resolution shown is fixed and not remembered, so
        // looking at PDF does not change the resolution of the next bitmap export.
        mExportIncludeGridCheckbox->setEnabled(true);
        mExportResolutionPopUpButton->show();
        mExportResolutionLabel->show();
        mExportResolutionPopUpButton->setEnabled(false);
        mExportCropCheckbox->setEnabled(true);
        mExportWidthTextbox->setEnabled(false);
        mExportHeightTextbox->setEnabled(false);
    } else {
        mExportIncludeGridCheckbox->setEnabled(true);
        mExportResolutionPopUpButton->show();
        mExportResolutionLabel->show();
        mExportResolutionPopUpButton->setEnabled(true);
        mExportCropCheckbox->setEnabled(true);
        mExportWidthTextbox->setEnabled(true);
        mExportHeightTextbox->setEnabled(true);
        // Coming from PDF: back to the bitmap resolution.
        mOptionsDict.insert(kVRExportPropertiesResolution, m_bitmapResolution);
    }

    // Load the controls from the options.
    const QSignalBlocker blockSlider(mJPEGQualitySlider);
    mJPEGQualitySlider->setValue(
        int(std::lround(mOptionsDict.value(kNSImageCompressionFactor, 0.67).toDouble() * 100)));
    mJPEGProgressiveCheckbox->setChecked(mOptionsDict.value(kNSImageProgressive).toBool());
    mPNGInterlaceCheckbox->setChecked(mOptionsDict.value(kNSImageInterlaced).toBool());
    const int compression = mTIFFCompressionTypePopUpButton->findData(
        mOptionsDict.value(kNSImageCompressionMethod).toInt());
    mTIFFCompressionTypePopUpButton->setCurrentIndex(compression >= 0 ? compression : 0);
    mTIFFAlphaCheckbox->setChecked(mOptionsDict.value(kQntTIFFAlpha).toBool());
    mPNGAlphaCheckbox->setChecked(mOptionsDict.value(kQntPNGAlpha).toBool());
    mExportIncludeGridCheckbox->setChecked(
        mOptionsDict.value(kVKIncludeGridInExportedFile).toBool());
    selectResolution(type == PDF ? kPDFResolution : m_bitmapResolution);
    resolutionPopUpAction();

    const TypeInfo *info = typeInfo(type);
    mExportOptionsTabView->setCurrentIndex(info ? info->tab : 0);
    if (type == SVG || !info || !m_panel)
        return;
    m_panel->setNameFilter(QString::fromLatin1(info->filter));
    m_panel->setDefaultSuffix(QString::fromLatin1(info->suffix));
}

void VKExportOptionsController::selectResolution(int dpi)
{
    int index = mExportResolutionPopUpButton->findData(dpi);
    if (index < 0) {
        mExportResolutionPopUpButton->addItem(tr("%1 dpi").arg(dpi), dpi);
        index = mExportResolutionPopUpButton->count() - 1;
    }
    mExportResolutionPopUpButton->setCurrentIndex(index);
}

QSizeF VKExportOptionsController::sourceImageSize() const
{
    return mDelegate ? mDelegate->sourceImageSize(mFileType, mOptionsDict) : QSizeF();
}

void VKExportOptionsController::setSizeBoxesVisible(bool visible)
{
    for (QWidget *w : std::initializer_list<QWidget *>{mExportWidthTextbox, mExportHeightTextbox,
                                                       mExportWidthLabel, mExportHeightLabel,
                                                       mExportWidthDimLabel, mExportHeightDimLabel})
        w->setVisible(visible);
}

void VKExportOptionsController::fillSizeBoxesFromSource()
{
    const QSizeF size = sourceImageSize();
    mExportWidthTextbox->setText(pixelText(size.width()));
    mExportHeightTextbox->setText(pixelText(size.height()));
    mOptionsDict.insert(kQntExportedWidth, mExportWidthTextbox->text().toDouble());
    mOptionsDict.insert(kQntExportedHeight, mExportHeightTextbox->text().toDouble());
    // Nothing to scale when the source has no area (an empty drawing cropped to its objects).
    const bool usable =
        size.width() > 0 && size.height() > 0 && mFileType != PDF && mFileType != SVG;
    mExportWidthTextbox->setEnabled(usable);
    mExportHeightTextbox->setEnabled(usable);
}

void VKExportOptionsController::formatPopUpAction()
{
    const QVariant tag = mExportFormatPopUpButton->currentData();
    if (tag.isValid())
        displayOptionsForFileType(tag.toLongLong());
}

void VKExportOptionsController::resolutionPopUpAction()
{
    const int dpi = mExportResolutionPopUpButton->currentData().toInt();
    mOptionsDict.insert(kVRExportPropertiesResolution, dpi);
    if (mFileType != PDF && mFileType != SVG) {
        m_bitmapResolution = dpi;
        UserDefaults::standardUserDefaults().setInteger(dpi, kVRExportPropertiesResolution);
    }
    if (dpi != 72) {
        setSizeBoxesVisible(false);
        mExportWidthTextbox->setText(QStringLiteral("0"));
        mExportHeightTextbox->setText(QStringLiteral("0"));
    } else {
        setSizeBoxesVisible(true);
        fillSizeBoxesFromSource();
    }
}

void VKExportOptionsController::formatIncludeGridAction()
{
    mOptionsDict.insert(kVKIncludeGridInExportedFile, mExportIncludeGridCheckbox->isChecked());
}

void VKExportOptionsController::cropAction()
{
    const bool crop = mExportCropCheckbox->isChecked();
    mOptionsDict.insert(kQntCropExportedFile, crop);
    UserDefaults::standardUserDefaults().setBool(crop, kQntCropExportedFile);
    if (mOptionsDict.value(kVRExportPropertiesResolution).toInt() == 72)
        fillSizeBoxesFromSource();
}

void VKExportOptionsController::jpegQualityAction()
{
    mOptionsDict.insert(kNSImageCompressionFactor, mJPEGQualitySlider->value() / 100.0);
}

void VKExportOptionsController::jpegProgressiveAction()
{
    mOptionsDict.insert(kNSImageProgressive, mJPEGProgressiveCheckbox->isChecked());
}

void VKExportOptionsController::tiffCompressionAction()
{
    mOptionsDict.insert(kNSImageCompressionMethod,
                        mTIFFCompressionTypePopUpButton->currentData().toInt());
}

void VKExportOptionsController::tiffAlphaAction()
{
    mOptionsDict.insert(kQntTIFFAlpha, mTIFFAlphaCheckbox->isChecked());
    UserDefaults::standardUserDefaults().setBool(mTIFFAlphaCheckbox->isChecked(), kQntTIFFAlpha);
}

void VKExportOptionsController::pngAlphaAction()
{
    mOptionsDict.insert(kQntPNGAlpha, mPNGAlphaCheckbox->isChecked());
    UserDefaults::standardUserDefaults().setBool(mPNGAlphaCheckbox->isChecked(), kQntPNGAlpha);
}

void VKExportOptionsController::pngInterlaceAction()
{
    mOptionsDict.insert(kNSImageInterlaced, mPNGInterlaceCheckbox->isChecked());
}

void VKExportOptionsController::exportedWidthAction()
{
    mExportWidthTextbox->setModified(false);
    const QSizeF source = sourceImageSize();
    const double width = mExportWidthTextbox->text().toDouble();
    if (!(source.width() > 0 && source.height() > 0) || !(width > 0)) {
        fillSizeBoxesFromSource();
        return;
    }
    const double ratio = source.width() / source.height();
    const qint64 height = std::max<qint64>(1, std::llround(width / ratio));
    mExportHeightTextbox->setText(QString::number(height));
    mOptionsDict.insert(kQntExportedWidth, width);
    mOptionsDict.insert(kQntExportedHeight, double(height));
}

void VKExportOptionsController::exportedHeightAction()
{
    mExportHeightTextbox->setModified(false);
    const QSizeF source = sourceImageSize();
    const double height = mExportHeightTextbox->text().toDouble();
    if (!(source.width() > 0 && source.height() > 0) || !(height > 0)) {
        fillSizeBoxesFromSource();
        return;
    }
    const double ratio = source.width() / source.height();
    const qint64 width = std::max<qint64>(1, std::llround(ratio * height));
    mExportWidthTextbox->setText(QString::number(width));
    mOptionsDict.insert(kQntExportedWidth, double(width));
    mOptionsDict.insert(kQntExportedHeight, height);
}

QUrl VKExportOptionsController::fileURLForType(const QUrl &url, qint64 type)
{
    const TypeInfo *info = typeInfo(type);
    if (!info || !info->suffix || !url.isLocalFile())
        return url;
    const QFileInfo file(url.toLocalFile());
    const QString suffix = file.suffix().toLower();
    // The format's own extensions, as its filter lists them: "TIFF image (*.tiff *.tif)".
    QStringList own;
    const QString filter = QString::fromLatin1(info->filter);
    for (const QString &pattern : filter.section(QLatin1Char('('), 1).chopped(1).split(u' '))
        own.append(pattern.mid(2));
    if (own.contains(suffix))
        return url;
    QString name = file.fileName();
    static const QStringList exportSuffixes{QStringLiteral("pdf"),  QStringLiteral("tiff"),
                                            QStringLiteral("tif"),  QStringLiteral("jpg"),
                                            QStringLiteral("jpeg"), QStringLiteral("png"),
                                            QStringLiteral("svg")};
    if (exportSuffixes.contains(suffix))
        name.chop(suffix.size() + 1);
    if (name.isEmpty())
        return url;
    name += QLatin1Char('.') + QString::fromLatin1(info->suffix);
    return QUrl::fromLocalFile(file.dir().filePath(name));
}

QString VKExportOptionsController::svgFileName(const QString &displayName)
{
    return QFileInfo(displayName).completeBaseName() + QStringLiteral(".svg");
}

void VKExportOptionsController::exportPanelDidEnd(int returnCode, const QUrl &url)
{
    // A size still being typed counts.
    if (mExportWidthTextbox->isModified())
        exportedWidthAction();
    if (mExportHeightTextbox->isModified())
        exportedHeightAction();
    if (returnCode != 1 || !mDelegate || url.isEmpty())
        return;
    const QUrl target = fileURLForType(url, mFileType);
    mOptionsDict.insert(kVKExportedFileURL, target);
    if (mOptionsDict.value(kVRExportPropertiesResolution).toInt() != 72) {
        mOptionsDict.insert(kQntExportedHeight, 0.0);
        mOptionsDict.insert(kQntExportedWidth, 0.0);
    }

    // The chooser asked about the name it was given; not about an SVG named after the document
    // in the folder it chose, nor about a name whose extension changed.
    QString replaced;
    if (target.isLocalFile()) {
        if (isSVG())
            replaced = QDir(target.toLocalFile()).filePath(svgFileName(mDelegate->displayName()));
        else if (target != url)
            replaced = target.toLocalFile();
    }
    if (replaced.isEmpty() || !QFileInfo::exists(replaced)) {
        performExport();
        return;
    }
    delete m_replaceAlert.data();
    QWidget *parent = m_panel ? m_panel->parentWidget() : nullptr;
    auto *alert = new QMessageBox(
        QMessageBox::Warning, tr("Replace File"),
        tr("“%1” already exists. Do you want to replace it?").arg(QFileInfo(replaced).fileName()),
        QMessageBox::Cancel, parent);
    alert->setObjectName(QStringLiteral("ExportReplaceAlert"));
    alert->setInformativeText(
        tr("A file with the same name already exists in “%1”. Replacing it will overwrite its "
           "current contents.")
            .arg(QDir::toNativeSeparators(QFileInfo(replaced).absolutePath())));
    QPushButton *replace = alert->addButton(tr("Replace"), QMessageBox::DestructiveRole);
    alert->setDefaultButton(QMessageBox::Cancel);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    connect(alert, &QMessageBox::finished, this, [this, alert, replace] {
        if (alert->clickedButton() == replace && mDelegate)
            performExport();
    });
    m_replaceAlert = alert;
    alert->open();
}

QMessageBox *VKExportOptionsController::replaceAlert() const
{
    return m_replaceAlert;
}

void VKExportOptionsController::performExport()
{
    mDelegate->performExportType(mFileType, mOptionsDict);
    UserDefaults::standardUserDefaults().setInteger(mFileType, kQntFileType);
}
