// The settings panes of the style inspector: one per renderer kind, filled from the selected
// renderer and writing every control's change straight into it.
#include "style/VKStyleInspector.h"

#include "platform/MenuAdditions.h"
#include "platform/TagEnablingAdditions.h"

#include "framework/model/VRDrawing.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRCIFilterRastGroup.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRFillPattern.h"
#include "framework/styles/VRGradient.h"
#include "framework/styles/VRHatching.h"
#include "framework/styles/VRImageAdornment.h"
#include "framework/styles/VRPathDecorator.h"
#include "framework/styles/VRQuartzBlendRastGroup.h"
#include "framework/styles/VRRoughStroke.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/styles/VRTextAdornment.h"
#include "framework/styles/VRZigZagFill.h"
#include "framework/styles/VRZigZagStroke.h"
#include "inspectors/QntColorWell.h"
#include "style/VKDashEditor.h"
#include "style/VKGradientFillEditor.h"
#include "style/VKGradientWell.h"
#include "style/WXGradientControl.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kTagRole = Qt::UserRole;

// Groups of pane controls shown and hidden together, by tag.
constexpr int kZigZagGroupTag = 145;
constexpr int kDecoratorOnlyGroupTag = 146;
constexpr int kPatternOnlyGroupTag = 147;
constexpr int kArrowGroupTag = 148;
constexpr int kFillShadowGroupTag = 149; // enabled and disabled, never hidden
constexpr int kRoughGroupTag = 150;

void showGroups(QWidget *pane, std::initializer_list<std::pair<int, bool>> groups)
{
    for (const auto &[tag, shown] : groups)
        TagEnablingAdditions::setSubviewsWithTag(pane, tag, !shown);
}
constexpr int kDashRole = Qt::UserRole + 1;

QFormLayout *formOf(QWidget *pane)
{
    auto *form = new QFormLayout(pane);
    form->setContentsMargins(0, 4, 0, 4);
    form->setSpacing(4);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setHorizontalSpacing(6);
    return form;
}

QComboBox *tagMenu(QWidget *parent, const QList<std::pair<int, QString>> &items)
{
    auto *menu = new QComboBox(parent);
    for (const auto &[tag, title] : items)
        menu->addItem(title, tag);
    return menu;
}

void selectTag(QComboBox *menu, int tag)
{
    const int index = menu->findData(tag, kTagRole);
    menu->setCurrentIndex(index);
}

int tagOf(QComboBox *menu, int index)
{
    return menu->itemData(index, kTagRole).toInt();
}

QntColorWell *colourWell(QWidget *parent, const QString &name)
{
    auto *well = new QntColorWell(parent);
    well->setObjectName(name);
    well->setFixedSize(48, 22);
    return well;
}

QLabel *imagePreview(QWidget *parent, const QString &name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setFixedSize(40, 40);
    label->setFrameShape(QFrame::StyledPanel);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

void showImage(QLabel *label, const QImage &image)
{
    if (image.isNull()) {
        label->clear();
        return;
    }
    label->setPixmap(QPixmap::fromImage(
        image.scaled(label->size() - QSize(4, 4), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

QWidget *group(QWidget *parent, const QString &name, QFormLayout **form)
{
    auto *box = new QWidget(parent);
    box->setObjectName(name);
    *form = formOf(box);
    (*form)->setContentsMargins(0, 0, 0, 0);
    return box;
}

const QList<std::pair<int, QString>> &capItems()
{
    static const QList<std::pair<int, QString>> items = {
        {0, QStringLiteral("Butt")}, {1, QStringLiteral("Round")}, {2, QStringLiteral("Square")}};
    return items;
}

QString arrowheadTitle(int kind)
{
    static const char *titles[] = {
        "None",         "Standard",       "Inflected",       "Round",          "One Feather",
        "Two Feathers", "Three Feathers", "Dimension",       "Dimension Tail", "Square",
        "Diamond",      "Open",           "Hollow Triangle", "Hollow Diamond", "Filled Diamond"};
    if (kind >= 0 && kind < int(std::size(titles)))
        return VKStyleInspector::tr(titles[kind]);
    return QString::number(kind);
}

} // namespace

void VKStyleInspector::buildPanes()
{
    const auto add = [this](QWidget *pane) {
        auto *scroll = new QScrollArea(mTabView);
        scroll->setWidget(pane);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        mTabView->addWidget(scroll);
    };
    add(buildStrokePane());                                                     // 0
    add(buildFillPane());                                                       // 1
    add(buildMessagePane(tr("The selected objects have different styles.")));   // 2
    add(buildMessagePane(tr("No style: select one object that has a style."))); // 3
    add(buildMessagePane(tr("Select a component of the style to edit it.")));   // 4
    add(buildImagePane());                                                      // 5
    add(buildEffectPane());                                                     // 6
    add(buildTextPane());                                                       // 7
    add(buildHatchPane());                                                      // 8
    add(buildDecoratorPane());                                                  // 9
    add(buildBlendPane());                                                      // 10
    mTabView->setMinimumHeight(300);
    // The panes fit the inspector's width: menus and sliders give way rather than being cut.
    for (QComboBox *menu : mTabView->findChildren<QComboBox *>()) {
        menu->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        menu->setMinimumContentsLength(8);
    }
    for (QSlider *slider : mTabView->findChildren<QSlider *>())
        slider->setMinimumWidth(30);
    connectPaneControls();
}

QWidget *VKStyleInspector::buildMessagePane(const QString &text)
{
    auto *pane = new QWidget;
    auto *layout = new QVBoxLayout(pane);
    auto *label = new QLabel(text, pane);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("color: #808080;"));
    layout->addWidget(label);
    layout->addStretch(1);
    return pane;
}

QWidget *VKStyleInspector::buildShadowControls(QWidget *parent)
{
    QFormLayout *form = nullptr;
    QWidget *box = group(parent, QStringLiteral("shadowControls"), &form);
    mShadowColourWell = colourWell(box, QStringLiteral("shadowColourWell"));
    mShadowAngleSlider = new VKStyleNumberControl(-180, 180, 0, box);
    mShadowDistanceSlider = new VKStyleNumberControl(0, 50, 1, box);
    mShadowDistanceSlider->setObjectName(QStringLiteral("shadowDistance"));
    mShadowBlurRadiusSlider = new VKStyleNumberControl(0, 50, 1, box);
    form->addRow(tr("Colour"), mShadowColourWell);
    form->addRow(tr("Angle"), mShadowAngleSlider);
    form->addRow(tr("Distance"), mShadowDistanceSlider);
    form->addRow(tr("Blur"), mShadowBlurRadiusSlider);
    return box;
}

QWidget *VKStyleInspector::buildStrokePane()
{
    auto *pane = new QWidget;
    pane->setObjectName(QStringLiteral("strokePane"));
    QFormLayout *form = formOf(pane);
    mStrokeColourWell = colourWell(pane, QStringLiteral("strokeColourWell"));
    mStrokeWidth = new VKStyleNumberControl(0, 100, 1, pane);
    mStrokeWidth->setObjectName(QStringLiteral("strokeWidth"));
    mStrokeDashPopUpButton = new QComboBox(pane);
    mStrokeDashPopUpButton->setObjectName(QStringLiteral("strokeDashMenu"));
    mStrokeDashPopUpButton->setIconSize(QSize(80, 12));
    mStrokeLineCapSelector = tagMenu(pane, capItems());
    mStrokeLineJoinSelector = tagMenu(pane, {{0, tr("Miter")}, {1, tr("Round")}, {2, tr("Bevel")}});
    mStrokeTrimLength = new VKStyleNumberControl(0, 100, 1, pane);
    mStrokeShadowCheckbox = new QCheckBox(tr("Shadow"), pane);
    mStrokeShadowCheckbox->setObjectName(QStringLiteral("strokeShadowCheckbox"));
    form->addRow(tr("Colour"), mStrokeColourWell);
    form->addRow(tr("Width"), mStrokeWidth);
    form->addRow(tr("Dash"), mStrokeDashPopUpButton);
    form->addRow(tr("Cap"), mStrokeLineCapSelector);
    form->addRow(tr("Join"), mStrokeLineJoinSelector);
    form->addRow(tr("Trim ends"), mStrokeTrimLength);
    auto *scaleRow = new QHBoxLayout;
    mStrokePathScale = new VKStyleNumberControl(0.1, 10, 2, pane);
    mStrokePathScale->setValue(2.0);
    mStrokePathScale->slider()->hide();
    auto *scaleButton = new QPushButton(tr("Scale Width"), pane);
    scaleButton->setObjectName(QStringLiteral("strokeScaleButton"));
    connect(scaleButton, &QPushButton::clicked, this, [this] {
        if (VRStroke *stroke = selected<VRStroke>())
            stroke->scaleWidthBy(mStrokePathScale->value());
    });
    scaleRow->addWidget(mStrokePathScale);
    scaleRow->addWidget(scaleButton);
    form->addRow(tr("Scale by"), scaleRow);

    QFormLayout *arrowForm = nullptr;
    m_arrowGroup = group(pane, QStringLiteral("arrowGroup"), &arrowForm);
    QList<std::pair<int, QString>> heads;
    for (int kind = 0; kind <= VRArrowStroke::kLastArrowhead; ++kind)
        heads.append({kind, arrowheadTitle(kind)});
    mStrokeArrowStartPopUpButton = tagMenu(m_arrowGroup, heads);
    mStrokeArrowStartPopUpButton->setObjectName(QStringLiteral("arrowStartMenu"));
    mStrokeArrowEndPopUpButton = tagMenu(m_arrowGroup, heads);
    mStrokeArrowEndPopUpButton->setObjectName(QStringLiteral("arrowEndMenu"));
    for (int kind = 0; kind <= VRArrowStroke::kLastArrowhead; ++kind) {
        const QIcon icon(QPixmap::fromImage(VRArrowStroke::standardArrowheadSwatchImage(kind)));
        mStrokeArrowStartPopUpButton->setItemIcon(kind, icon);
        mStrokeArrowEndPopUpButton->setItemIcon(kind, icon);
    }
    mStrokeArrowDimensionOptions = tagMenu(m_arrowGroup, {{0, tr("No dimension")},
                                                          {1, tr("Length above")},
                                                          {2, tr("Length below")},
                                                          {3, tr("Length in line")}});
    mStrokeArrowPreviewImageWell = new QLabel(m_arrowGroup);
    mStrokeArrowPreviewImageWell->setObjectName(QStringLiteral("arrowPreview"));
    mStrokeArrowPreviewImageWell->setFixedSize(160, 28);
    mStrokeArrowPreviewImageWell->setFrameShape(QFrame::StyledPanel);
    arrowForm->addRow(tr("Start"), mStrokeArrowStartPopUpButton);
    arrowForm->addRow(tr("End"), mStrokeArrowEndPopUpButton);
    arrowForm->addRow(tr("Dimension"), mStrokeArrowDimensionOptions);
    arrowForm->addRow(tr("Preview"), mStrokeArrowPreviewImageWell);
    TagEnablingAdditions::setTag(m_arrowGroup, kArrowGroupTag);
    form->addRow(m_arrowGroup);

    QFormLayout *roughForm = nullptr;
    m_roughGroup = group(pane, QStringLiteral("roughGroup"), &roughForm);
    mStrokeRoughnessSlider = new VKStyleNumberControl(0, 1, 2, m_roughGroup);
    mStrokeRoughnessSlider->setObjectName(QStringLiteral("roughness"));
    roughForm->addRow(tr("Roughness"), mStrokeRoughnessSlider);
    TagEnablingAdditions::setTag(m_roughGroup, kRoughGroupTag);
    form->addRow(m_roughGroup);

    QFormLayout *zzForm = nullptr;
    m_strokeZigZagGroup = group(pane, QStringLiteral("strokeZigZagGroup"), &zzForm);
    mStrokeZZLength = new VKStyleNumberControl(0.5, 100, 1, m_strokeZigZagGroup);
    mStrokeZZAmp = new VKStyleNumberControl(0, 50, 1, m_strokeZigZagGroup);
    mStrokeZZSpread = new VKStyleNumberControl(0, 1, 2, m_strokeZigZagGroup);
    zzForm->addRow(tr("Wavelength"), mStrokeZZLength);
    zzForm->addRow(tr("Amplitude"), mStrokeZZAmp);
    zzForm->addRow(tr("Spread"), mStrokeZZSpread);
    TagEnablingAdditions::setTag(m_strokeZigZagGroup, kZigZagGroupTag);
    form->addRow(m_strokeZigZagGroup);

    form->addRow(mStrokeShadowCheckbox);
    m_strokeShadowHost = new QWidget(pane);
    auto *hostLayout = new QVBoxLayout(m_strokeShadowHost);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    form->addRow(m_strokeShadowHost);
    populateMenuWithDashes(mStrokeDashPopUpButton);
    return pane;
}

QWidget *VKStyleInspector::buildFillPane()
{
    auto *pane = new QWidget;
    pane->setObjectName(QStringLiteral("fillPane"));
    QFormLayout *form = formOf(pane);
    mFillColourWell = colourWell(pane, QStringLiteral("fillColourWell"));
    form->addRow(tr("Colour"), mFillColourWell);

    mFillGradientControlBar = new VKGradientFillEditor(nullptr, pane);
    mFillGradientControlBar->setObjectName(QStringLiteral("fillGradientBar"));
    mFillGradientControlBar->setFill(nullptr);
    mFillGradientControlBar->setMinimumHeight(100);
    if (QLayout *barLayout = mFillGradientControlBar->layout())
        barLayout->setContentsMargins(0, 4, 0, 4);
    // Narrower than in a section of its own: the pane shares the inspector's width.
    mFillGradientControlBar->well()->setFixedSize(84, 72);
    mFillGradientControlBar->stopEditor()->setMinimumWidth(60);
    form->addRow(mFillGradientControlBar);
    auto *gradientButtons = new QHBoxLayout;
    mFillGradientAddButton = new QPushButton(tr("Add"), pane);
    mFillGradientAddButton->setObjectName(QStringLiteral("fillAddGradientButton"));
    mFillGradientAddButton->setToolTip(tr("Add a gradient to the fill"));
    mFillGradientRemoveButton = new QPushButton(tr("Remove"), pane);
    mFillGradientRemoveButton->setObjectName(QStringLiteral("fillRemoveGradientButton"));
    mFillGradientRemoveButton->setToolTip(tr("Remove the fill's gradient"));
    gradientButtons->addWidget(mFillGradientAddButton);
    gradientButtons->addWidget(mFillGradientRemoveButton);
    form->addRow(tr("Gradient"), gradientButtons);
    mFillGradientAngle = new VKStyleNumberControl(-180, 180, 0, pane);
    mFillGradientAngle->setObjectName(QStringLiteral("fillGradientAngle"));
    form->addRow(tr("Angle"), mFillGradientAngle);
    mFillGradientMultiplier = new VKStyleNumberControl(0.1, 5, 2, pane);
    mFillGradientMultiplierLabel = new QLabel(tr("Radius ×"), pane);
    form->addRow(mFillGradientMultiplierLabel, mFillGradientMultiplier);
    mFillGradientRelativeToObject = new QCheckBox(tr("Turn with object"), pane);
    form->addRow(mFillGradientRelativeToObject);

    auto *patternRow = new QHBoxLayout;
    mFillPatternImagePreview = imagePreview(pane, QStringLiteral("fillPatternPreview"));
    m_fillPatternPasteButton = new QPushButton(tr("Paste"), pane);
    m_fillPatternPasteButton->setToolTip(tr("Tile the picture on the clipboard"));
    m_fillPatternPasteButton->setObjectName(QStringLiteral("fillPatternPasteButton"));
    m_fillPatternFileButton = new QPushButton(tr("File…"), pane);
    m_fillPatternFileButton->setToolTip(tr("Tile a picture from a file"));
    m_fillPatternFileButton->setObjectName(QStringLiteral("fillPatternFileButton"));
    patternRow->addWidget(mFillPatternImagePreview);
    patternRow->addWidget(m_fillPatternPasteButton);
    patternRow->addWidget(m_fillPatternFileButton);
    form->addRow(tr("Pattern"), patternRow);

    QFormLayout *zzForm = nullptr;
    m_fillZigZagGroup = group(pane, QStringLiteral("fillZigZagGroup"), &zzForm);
    mFillZZLength = new VKStyleNumberControl(0.5, 100, 1, m_fillZigZagGroup);
    mFillZZAmp = new VKStyleNumberControl(0, 50, 1, m_fillZigZagGroup);
    mFillZZSpread = new VKStyleNumberControl(0, 1, 2, m_fillZigZagGroup);
    zzForm->addRow(tr("Wavelength"), mFillZZLength);
    zzForm->addRow(tr("Amplitude"), mFillZZAmp);
    zzForm->addRow(tr("Spread"), mFillZZSpread);
    TagEnablingAdditions::setTag(m_fillZigZagGroup, kZigZagGroupTag);
    form->addRow(m_fillZigZagGroup);

    mFillShadowCheckbox = new QCheckBox(tr("Shadow"), pane);
    mFillShadowCheckbox->setObjectName(QStringLiteral("fillShadowCheckbox"));
    form->addRow(mFillShadowCheckbox);
    m_fillShadowGroup = new QWidget(pane);
    auto *shadowLayout = new QVBoxLayout(m_fillShadowGroup);
    shadowLayout->setContentsMargins(0, 0, 0, 0);
    shadowLayout->addWidget(buildShadowControls(m_fillShadowGroup));
    // Each shadow control carries the group's tag, so the fill pane turns them on and off
    // together while their captions stay readable.
    for (QWidget *control : m_fillShadowGroup->findChildren<QWidget *>()) {
        if (TagEnablingAdditions::isControl(control))
            TagEnablingAdditions::setTag(control, kFillShadowGroupTag);
    }
    form->addRow(m_fillShadowGroup);
    return pane;
}

QWidget *VKStyleInspector::buildImagePane()
{
    auto *pane = new QWidget;
    pane->setObjectName(QStringLiteral("imagePane"));
    QFormLayout *form = formOf(pane);
    auto *row = new QHBoxLayout;
    mImageWell = imagePreview(pane, QStringLiteral("imageWell"));
    m_imageFileButton = new QPushButton(tr("Choose Picture…"), pane);
    m_imageFileButton->setObjectName(QStringLiteral("imageFileButton"));
    row->addWidget(mImageWell);
    row->addWidget(m_imageFileButton);
    row->addStretch(1);
    form->addRow(tr("Picture"), row);
    mImageIdentifierTextField = new QLineEdit(pane);
    form->addRow(tr("Identifier"), mImageIdentifierTextField);
    mImageOpacitySlider = new VKStyleNumberControl(0, 1, 2, pane);
    mImageOpacitySlider->setObjectName(QStringLiteral("imageOpacity"));
    form->addRow(tr("Opacity"), mImageOpacitySlider);
    mImageFittingPopUpMenu = tagMenu(
        pane, {{0, tr("Fit proportionally")}, {1, tr("Stretch to fit")}, {2, tr("Use scale")}});
    mImageFittingPopUpMenu->setObjectName(QStringLiteral("imageFittingMenu"));
    form->addRow(tr("Fitting"), mImageFittingPopUpMenu);
    mImageScaleSlider = new VKStyleNumberControl(0.05, 10, 2, pane);
    form->addRow(tr("Scale"), mImageScaleSlider);
    mImageAngleSlider = new VKStyleNumberControl(-180, 180, 0, pane);
    form->addRow(tr("Angle"), mImageAngleSlider);
    mImageClipToPathCheckbox = new QCheckBox(tr("Clip to shape"), pane);
    form->addRow(mImageClipToPathCheckbox);
    return pane;
}

QWidget *VKStyleInspector::buildEffectPane()
{
    auto *pane = new QWidget;
    pane->setObjectName(QStringLiteral("effectPane"));
    QFormLayout *form = formOf(pane);
    mCIFilterPopUpMenu = new QComboBox(pane);
    mCIFilterPopUpMenu->setObjectName(QStringLiteral("filterMenu"));
    populateMenuWithCoreImageFilters(mCIFilterPopUpMenu);
    form->addRow(tr("Effect"), mCIFilterPopUpMenu);
    mCIFilterClipToPathCheckbox = new QCheckBox(tr("Clip to shape"), pane);
    form->addRow(mCIFilterClipToPathCheckbox);
    auto *hint = new QLabel(tr("The effect applies to the components inside this group."), pane);
    hint->setWordWrap(true);
    form->addRow(hint);
    return pane;
}

QWidget *VKStyleInspector::buildTextPane()
{
    auto *pane = new QWidget;
    pane->setObjectName(QStringLiteral("textPane"));
    QFormLayout *form = formOf(pane);
    mTextLabelTextField = new QLineEdit(pane);
    mTextLabelTextField->setObjectName(QStringLiteral("textLabelField"));
    form->addRow(tr("Text"), mTextLabelTextField);
    auto *fontRow = new QHBoxLayout;
    m_textFontLabel = new QLabel(pane);
    m_textFontLabel->setObjectName(QStringLiteral("textFontLabel"));
    m_textFontButton = new QPushButton(tr("Font…"), pane);
    m_textFontButton->setObjectName(QStringLiteral("textFontButton"));
    fontRow->addWidget(m_textFontLabel, 1);
    fontRow->addWidget(m_textFontButton);
    form->addRow(tr("Font"), fontRow);
    mTextColourWell = colourWell(pane, QStringLiteral("textColourWell"));
    form->addRow(tr("Colour"), mTextColourWell);
    mTextLayoutPopUpButton =
        tagMenu(pane, {{VRTextAdornment::InBounds, tr("In the shape")},
                       {VRTextAdornment::AlongPath, tr("Along the path")},
                       {VRTextAdornment::AlongMirroredPath, tr("Along the path, mirrored")},
                       {VRTextAdornment::FlowedInShape, tr("Flowed in the shape")},
                       {VRTextAdornment::AtPoint, tr("At the centre")}});
    mTextLayoutPopUpButton->setObjectName(QStringLiteral("textLayoutMenu"));
    form->addRow(tr("Layout"), mTextLayoutPopUpButton);
    mTextAlignmentPopUpButton =
        tagMenu(pane, {{0, tr("Left")}, {1, tr("Right")}, {2, tr("Centre")}, {3, tr("Justified")}});
    form->addRow(tr("Alignment"), mTextAlignmentPopUpButton);
    mTextLabelPlacementPopUpButton =
        tagMenu(pane, {{0, tr("Top")}, {1, tr("Middle")}, {2, tr("Bottom")}});
    form->addRow(tr("Placement"), mTextLabelPlacementPopUpButton);
    mTextWrapLinesCheckbox = new QCheckBox(tr("Wrap lines"), pane);
    form->addRow(mTextWrapLinesCheckbox);
    mTextClipToPathCheckbox = new QCheckBox(tr("Clip to shape"), pane);
    form->addRow(mTextClipToPathCheckbox);
    mTextRelativeAngleCheckbox = new QCheckBox(tr("Turn with object"), pane);
    form->addRow(mTextRelativeAngleCheckbox);
    mTextAngleSlider = new VKStyleNumberControl(-180, 180, 0, pane);
    form->addRow(tr("Angle"), mTextAngleSlider);
    mFlowedTextInsetSlider = new VKStyleNumberControl(0, 50, 1, pane);
    form->addRow(tr("Inset"), mFlowedTextInsetSlider);
    return pane;
}

QWidget *VKStyleInspector::buildHatchPane()
{
    auto *pane = new QWidget;
    pane->setObjectName(QStringLiteral("hatchPane"));
    QFormLayout *form = formOf(pane);
    mHatchColourWell = colourWell(pane, QStringLiteral("hatchColourWell"));
    form->addRow(tr("Colour"), mHatchColourWell);
    mHatchSpacing = new VKStyleNumberControl(0.5, 100, 1, pane);
    mHatchSpacing->setObjectName(QStringLiteral("hatchSpacing"));
    form->addRow(tr("Spacing"), mHatchSpacing);
    mHatchLineWidth = new VKStyleNumberControl(0, 20, 1, pane);
    form->addRow(tr("Line width"), mHatchLineWidth);
    mHatchAngle = new VKStyleNumberControl(-180, 180, 0, pane);
    form->addRow(tr("Angle"), mHatchAngle);
    mHatchLeadIn = new VKStyleNumberControl(0, 100, 1, pane);
    form->addRow(tr("Lead-in"), mHatchLeadIn);
    mHatchLineCapButton = tagMenu(pane, capItems());
    form->addRow(tr("Cap"), mHatchLineCapButton);
    mHatchDashPopUpButton = new QComboBox(pane);
    mHatchDashPopUpButton->setObjectName(QStringLiteral("hatchDashMenu"));
    mHatchDashPopUpButton->setIconSize(QSize(80, 12));
    form->addRow(tr("Dash"), mHatchDashPopUpButton);
    mHatchRelativeAngleCheckbox = new QCheckBox(tr("Turn with object"), pane);
    form->addRow(mHatchRelativeAngleCheckbox);
    populateMenuWithDashes(mHatchDashPopUpButton);
    return pane;
}

QWidget *VKStyleInspector::buildDecoratorPane()
{
    auto *pane = new QWidget;
    pane->setObjectName(QStringLiteral("decoratorPane"));
    QFormLayout *form = formOf(pane);
    auto *row = new QHBoxLayout;
    mPDPreviewImage = imagePreview(pane, QStringLiteral("decoratorPreview"));
    auto *paste = new QPushButton(tr("Paste"), pane);
    paste->setToolTip(tr("Use the picture on the clipboard as the motif"));
    paste->setObjectName(QStringLiteral("decoratorPasteButton"));
    connect(paste, &QPushButton::clicked, this, [this] { pathDecoratorPasteObjectAction(); });
    auto *file = new QPushButton(tr("File…"), pane);
    file->setToolTip(tr("Use a picture from a file as the motif"));
    file->setObjectName(QStringLiteral("decoratorFileButton"));
    connect(file, &QPushButton::clicked, this, [this] { imageFileButtonAction(); });
    row->addWidget(mPDPreviewImage);
    row->addWidget(paste);
    row->addWidget(file);
    form->addRow(tr("Motif"), row);
    mPDInterval = new VKStyleNumberControl(1, 200, 1, pane);
    mPDInterval->setObjectName(QStringLiteral("decoratorInterval"));
    form->addRow(tr("Interval"), mPDInterval);
    mPDScale = new VKStyleNumberControl(0.05, 10, 2, pane);
    form->addRow(tr("Scale"), mPDScale);

    QFormLayout *pathForm = nullptr;
    m_decoratorOnlyGroup = group(pane, QStringLiteral("decoratorOnlyGroup"), &pathForm);
    mPDLeader = new VKStyleNumberControl(0, 200, 1, m_decoratorOnlyGroup);
    pathForm->addRow(tr("Leader"), mPDLeader);
    mPDRampProportion = new VKStyleNumberControl(0, 0.5, 2, m_decoratorOnlyGroup);
    pathForm->addRow(tr("Ramp"), mPDRampProportion);
    mPDNormalToPathCheckbox = new QCheckBox(tr("Turn with the path"), m_decoratorOnlyGroup);
    pathForm->addRow(mPDNormalToPathCheckbox);
    TagEnablingAdditions::setTag(m_decoratorOnlyGroup, kDecoratorOnlyGroupTag);
    form->addRow(m_decoratorOnlyGroup);

    QFormLayout *patternForm = nullptr;
    m_patternOnlyGroup = group(pane, QStringLiteral("patternOnlyGroup"), &patternForm);
    mPDPatAltOffset = new VKStyleNumberControl(0, 100, 1, m_patternOnlyGroup);
    patternForm->addRow(tr("Row offset"), mPDPatAltOffset);
    mPDAngle = new VKStyleNumberControl(-180, 180, 0, m_patternOnlyGroup);
    patternForm->addRow(tr("Angle"), mPDAngle);
    mPDRelativeAngleCheckbox = new QCheckBox(tr("Turn with object"), m_patternOnlyGroup);
    patternForm->addRow(mPDRelativeAngleCheckbox);
    mMotifAngle = new VKStyleNumberControl(-180, 180, 0, m_patternOnlyGroup);
    patternForm->addRow(tr("Motif angle"), mMotifAngle);
    mMotifRelativeAngleCheckbox = new QCheckBox(tr("Motif turns with pattern"), m_patternOnlyGroup);
    patternForm->addRow(mMotifRelativeAngleCheckbox);
    TagEnablingAdditions::setTag(m_patternOnlyGroup, kPatternOnlyGroupTag);
    form->addRow(m_patternOnlyGroup);
    return pane;
}

QWidget *VKStyleInspector::buildBlendPane()
{
    auto *pane = new QWidget;
    pane->setObjectName(QStringLiteral("blendPane"));
    QFormLayout *form = formOf(pane);
    mBlendModePopUpButton = tagMenu(pane, {{0, tr("Normal")},
                                           {1, tr("Multiply")},
                                           {2, tr("Screen")},
                                           {3, tr("Overlay")},
                                           {4, tr("Darken")},
                                           {5, tr("Lighten")},
                                           {6, tr("Colour Dodge")},
                                           {7, tr("Colour Burn")},
                                           {8, tr("Soft Light")},
                                           {9, tr("Hard Light")},
                                           {10, tr("Difference")},
                                           {11, tr("Exclusion")}});
    mBlendModePopUpButton->setObjectName(QStringLiteral("blendModeMenu"));
    form->addRow(tr("Blend"), mBlendModePopUpButton);
    mBlendGroupAlphaSlider = new VKStyleNumberControl(0, 1, 2, pane);
    mBlendGroupAlphaSlider->setObjectName(QStringLiteral("blendAlpha"));
    form->addRow(tr("Opacity"), mBlendGroupAlphaSlider);
    auto *row = new QHBoxLayout;
    mBlendGroupImagePreview = imagePreview(pane, QStringLiteral("blendMaskPreview"));
    auto *paste = new QPushButton(tr("Paste"), pane);
    paste->setToolTip(tr("Use the picture on the clipboard as the mask"));
    paste->setObjectName(QStringLiteral("blendPasteMaskButton"));
    connect(paste, &QPushButton::clicked, this, [this] { blendGroupImagePasteAction(); });
    row->addWidget(mBlendGroupImagePreview);
    row->addWidget(paste);
    row->addStretch(1);
    form->addRow(tr("Mask"), row);
    auto *hint = new QLabel(tr("The blend applies to the components inside this group."), pane);
    hint->setWordWrap(true);
    form->addRow(hint);
    return pane;
}

// ---- menus -----------------------------------------------------------------------------------

void VKStyleInspector::populateMenuWithDashes(QComboBox *menu)
{
    menu->clear();
    menu->addItem(tr("Solid"), kSolidDashTag);
    // The pictures take the list's text colour: black dashes vanish on a dark list.
    // The list's style sheet reaches its palette once the list is polished.
    menu->view()->ensurePolished();
    const QColor ink = menu->view()->palette().color(QPalette::Text);
    const QList<VRDashRef> &dashes = VRStrokeDash::registeredDashes();
    for (int i = 0; i < dashes.size(); ++i) {
        menu->insertItem(1 + i,
                         QIcon(QPixmap::fromImage(dashes.at(i)->standardDashSwatchImage(ink))),
                         QString(), 0);
        menu->setItemData(1 + i, i, kDashRole);
    }
    menu->addItem(tr("Automatic"), kAutoDashTag);
    menu->addItem(tr("Other…"), kOtherDashTag);
}

void VKStyleInspector::populateMenuWithCoreImageFilters(QComboBox *menu)
{
    MenuAdditions::removeAllItems(menu);
    for (const QString &name : VRCIFilterRastGroup::filterNames())
        menu->addItem(VRCIFilterRastGroup::localizedFilterName(name), name);
}

void VKStyleInspector::selectDashInMenu(QComboBox *menu, const VRDashRef &dash)
{
    if (!dash) {
        menu->setCurrentIndex(menu->findData(kSolidDashTag, kTagRole));
        return;
    }
    const QList<VRDashRef> &dashes = VRStrokeDash::registeredDashes();
    for (int i = 0; i < menu->count(); ++i) {
        const QVariant index = menu->itemData(i, kDashRole);
        if (index.isValid() && dashes.value(index.toInt())
            && dashes.value(index.toInt())->isEqual(*dash)) {
            menu->setCurrentIndex(i);
            return;
        }
    }
    menu->setCurrentIndex(menu->findData(kOtherDashTag, kTagRole));
}

void VKStyleInspector::dashMenuAction(QComboBox *menu, int index, bool hatch)
{
    VRStroke *stroke = hatch ? nullptr : selected<VRStroke>();
    VRHatching *hatching = hatch ? selected<VRHatching>() : nullptr;
    if (!stroke && !hatching)
        return;
    const QVariant dashIndex = menu->itemData(index, kDashRole);
    if (dashIndex.isValid()) {
        const VRDashRef dash = VRStrokeDash::registeredDashes().value(dashIndex.toInt());
        if (!dash)
            return;
        // The renderer gets a dash of its own: the registered ones are shared.
        if (stroke)
            stroke->setDash(dash->copy());
        else
            hatching->setDash(dash->copy());
        return;
    }
    switch (menu->itemData(index, kTagRole).toInt()) {
    case kSolidDashTag:
        if (stroke)
            stroke->setDash(nullptr);
        else
            hatching->setDash(nullptr);
        break;
    case kAutoDashTag:
        if (stroke)
            stroke->setAutoDash();
        else
            hatching->setAutoDash();
        break;
    case kOtherDashTag: openDashEditor(); break;
    default: break;
    }
}

void VKStyleInspector::strokeDashMenuAction(int index)
{
    dashMenuAction(mStrokeDashPopUpButton, index, false);
}

void VKStyleInspector::hatchDashMenuAction(int index)
{
    dashMenuAction(mHatchDashPopUpButton, index, true);
}

// ---- refresh ---------------------------------------------------------------------------------

void VKStyleInspector::updateSettingsForStroke(VRStroke *stroke)
{
    mStrokeColourWell->setColor(stroke->colour());
    mStrokeWidth->setValue(stroke->width());
    mStrokeShadowCheckbox->setChecked(stroke->shadow().has_value());
    selectDashInMenu(mStrokeDashPopUpButton, stroke->dash());
    selectTag(mStrokeLineCapSelector, stroke->lineCapStyle());
    selectTag(mStrokeLineJoinSelector, stroke->lineJoinStyle());
    mStrokeTrimLength->setValue(stroke->trimLength());
    if (stroke->isKindOf<VRArrowStroke>()) {
        auto *arrow = static_cast<VRArrowStroke *>(stroke);
        showGroups(m_arrowGroup->parentWidget(), {{kArrowGroupTag, true}, {kRoughGroupTag, false}});
        selectTag(mStrokeArrowStartPopUpButton, arrow->arrowHeadAtStart());
        selectTag(mStrokeArrowEndPopUpButton, arrow->arrowHeadAtEnd());
        selectTag(mStrokeArrowDimensionOptions, arrow->dimensioningLineOptions());
        mStrokeArrowPreviewImageWell->setPixmap(QPixmap::fromImage(arrow->arrowSwatchImageWithSize(
            mStrokeArrowPreviewImageWell->size(), std::min(arrow->width(), 8.0))));
    } else if (stroke->isKindOf<VRRoughStroke>()) {
        showGroups(m_roughGroup->parentWidget(), {{kArrowGroupTag, false}, {kRoughGroupTag, true}});
        mStrokeRoughnessSlider->setValue(static_cast<VRRoughStroke *>(stroke)->roughness());
    } else {
        showGroups(m_arrowGroup->parentWidget(),
                   {{kArrowGroupTag, false}, {kRoughGroupTag, false}});
    }
    if (stroke->isKindOf<VRZigZagStroke>()) {
        auto *zz = static_cast<VRZigZagStroke *>(stroke);
        mStrokeZZLength->setValue(zz->wavelength());
        mStrokeZZAmp->setValue(zz->amplitude());
        mStrokeZZSpread->setValue(zz->spread());
        showGroups(m_strokeZigZagGroup->parentWidget(), {{kZigZagGroupTag, true}});
    } else {
        showGroups(m_strokeZigZagGroup->parentWidget(), {{kZigZagGroupTag, false}});
    }
    // The shadow controls sit under the shadow box of the pane shown.
    QWidget *shadow = mShadowColourWell->parentWidget();
    if (shadow->parentWidget() != m_strokeShadowHost) {
        shadow->setParent(m_strokeShadowHost);
        m_strokeShadowHost->layout()->addWidget(shadow);
        shadow->show();
    }
    // Under the stroke pane the shadow controls show only with a shadow, always enabled.
    TagEnablingAdditions::setSubviewsWithTagEnabled(m_strokeShadowHost, kFillShadowGroupTag, true);
    const std::optional<VRShadow> s = stroke->shadow();
    m_strokeShadowHost->setVisible(s.has_value());
    if (s) {
        mShadowColourWell->setColor(s->shadowColor());
        mShadowBlurRadiusSlider->setValue(s->shadowBlurRadius());
        mShadowDistanceSlider->setValue(s->distance());
        mShadowAngleSlider->setValue(s->angleInDegrees());
    }
}

void VKStyleInspector::updateSettingsForFill(VRFill *fill)
{
    const std::optional<VRShadow> s = fill->shadow();
    mFillShadowCheckbox->setChecked(s.has_value());
    mFillColourWell->setColor(fill->colour());
    QWidget *shadow = mShadowColourWell->parentWidget();
    if (shadow->parentWidget() != m_fillShadowGroup) {
        shadow->setParent(m_fillShadowGroup);
        m_fillShadowGroup->layout()->addWidget(shadow);
        shadow->show();
    }
    TagEnablingAdditions::setSubviewsWithTagEnabled(m_fillShadowGroup->parentWidget(),
                                                    kFillShadowGroupTag, s.has_value());
    if (s) {
        mShadowColourWell->setColor(s->shadowColor());
        mShadowBlurRadiusSlider->setValue(s->shadowBlurRadius());
        mShadowDistanceSlider->setValue(s->distance());
        mShadowAngleSlider->setValue(s->angleInDegrees());
    }
    const VRGradientRef gradient = fill->gradient();
    if (!mIsChangingGradient) {
        mFillGradientControlBar->setDrawing(targetDrawing());
        mFillGradientControlBar->setFill(
            std::static_pointer_cast<VRFill>(fill->shared_from_this()));
    }
    mFillGradientRemoveButton->setEnabled(gradient != nullptr);
    mFillGradientAddButton->setEnabled(gradient == nullptr);
    mFillGradientControlBar->setVisible(gradient != nullptr);
    const bool radial = gradient && gradient->gradientType() == VRGradient::Radial;
    mFillGradientMultiplierLabel->setVisible(radial);
    mFillGradientMultiplier->setVisible(radial);
    mFillGradientAngle->setEnabled(gradient != nullptr);
    if (gradient)
        mFillGradientAngle->setValue(gradient->manualAngleInDegrees());
    if (fill->gradientMultiplier() > 0)
        mFillGradientMultiplier->setValue(fill->gradientMultiplier());
    mFillGradientRelativeToObject->setChecked(fill->tracksObjectAngle());
    showImage(mFillPatternImagePreview, fill->patternImage());
    if (fill->isKindOf<VRZigZagFill>()) {
        auto *zz = static_cast<VRZigZagFill *>(fill);
        mFillZZLength->setValue(zz->wavelength());
        mFillZZAmp->setValue(zz->amplitude());
        mFillZZSpread->setValue(zz->spread());
        showGroups(m_fillZigZagGroup->parentWidget(), {{kZigZagGroupTag, true}});
    } else {
        showGroups(m_fillZigZagGroup->parentWidget(), {{kZigZagGroupTag, false}});
    }
}

void VKStyleInspector::updateSettingsForHatch(VRHatching *hatch)
{
    mHatchColourWell->setColor(hatch->colour());
    mHatchSpacing->setValue(hatch->spacing());
    mHatchLineWidth->setValue(hatch->width());
    mHatchAngle->setValue(hatch->angleInDegrees());
    mHatchLeadIn->setValue(hatch->leadIn());
    selectTag(mHatchLineCapButton, hatch->lineCapStyle());
    mHatchRelativeAngleCheckbox->setChecked(hatch->angleIsRelativeToObject());
    selectDashInMenu(mHatchDashPopUpButton, hatch->dash());
}

void VKStyleInspector::updateSettingsForImage(VRImageAdornment *image)
{
    showImage(mImageWell, image->image());
    mImageOpacitySlider->setValue(image->opacity());
    mImageScaleSlider->setValue(image->scale());
    mImageAngleSlider->setValue(image->angleInDegrees());
    mImageClipToPathCheckbox->setChecked(image->clipping());
    if (mImageIdentifierTextField->text() != image->imageIdentifier())
        mImageIdentifierTextField->setText(image->imageIdentifier());
    selectTag(mImageFittingPopUpMenu, image->fittingOption());
    mImageScaleSlider->setEnabled(image->fittingOption() == VRImageAdornment::UseScale);
}

void VKStyleInspector::updateSettingsForCoreImageEffect(VRCIFilterRastGroup *effect)
{
    mCIFilterClipToPathCheckbox->setChecked(effect->clipping());
    mCIFilterPopUpMenu->setCurrentIndex(mCIFilterPopUpMenu->findData(effect->filter()));
}

void VKStyleInspector::updateSettingsForTextLabel(VRTextAdornment *text)
{
    if (mTextLabelTextField->text() != text->string())
        mTextLabelTextField->setText(text->string());
    selectTag(mTextLayoutPopUpButton, text->layoutMode());
    selectTag(mTextAlignmentPopUpButton, text->alignment());
    selectTag(mTextLabelPlacementPopUpButton, text->verticalAlignment());
    mTextWrapLinesCheckbox->setChecked(text->wrapsLines());
    mTextClipToPathCheckbox->setChecked(text->clipping());
    mTextRelativeAngleCheckbox->setChecked(text->appliesObjectAngle());
    mTextAngleSlider->setValue(text->angleInDegrees());
    mFlowedTextInsetSlider->setValue(text->flowedTextPathInset());
    mTextColourWell->setColor(text->colour().isValid() ? text->colour() : QColor(Qt::black));
    const bool free = text->layoutMode() != VRTextAdornment::AlongPath
                      && text->layoutMode() != VRTextAdornment::AlongMirroredPath;
    for (QWidget *control : std::initializer_list<QWidget *>{
             mTextClipToPathCheckbox, mTextRelativeAngleCheckbox, mFlowedTextInsetSlider,
             mTextAngleSlider, mTextWrapLinesCheckbox})
        control->setEnabled(free);
    const QFont font = text->font();
    m_textFontLabel->setText(QStringLiteral("%1 %2").arg(font.family()).arg(font.pointSizeF()));
    if (m_fontDialog && m_fontDialog->isVisible() && m_fontDialog->currentFont() != font) {
        m_fontDialog->blockSignals(true);
        m_fontDialog->setCurrentFont(font);
        m_fontDialog->blockSignals(false);
    }
}

void VKStyleInspector::updateSettingsForPathDecorator(VRPathDecorator *decorator)
{
    mPDInterval->setValue(decorator->interval());
    mPDScale->setValue(decorator->scale());
    mPDLeader->setValue(decorator->leaderDistance());
    mPDNormalToPathCheckbox->setChecked(decorator->normalToPath());
    showImage(mPDPreviewImage, decorator->image());
    mPDRampProportion->setValue(decorator->leadInAndOutLengthProportion());
    if (decorator->isKindOf<VRFillPattern>()) {
        auto *pattern = static_cast<VRFillPattern *>(decorator);
        mPDPatAltOffset->setValue(pattern->patternAlternateOffset().height());
        mPDAngle->setValue(pattern->angleInDegrees());
        mPDRelativeAngleCheckbox->setChecked(pattern->angleIsRelativeToObject());
        mMotifAngle->setValue(pattern->motifAngleInDegrees());
        mMotifRelativeAngleCheckbox->setChecked(pattern->motifAngleIsRelativeToPattern());
    }
    const bool pattern = decorator->isKindOf<VRFillPattern>();
    showGroups(m_decoratorOnlyGroup->parentWidget(),
               {{kDecoratorOnlyGroupTag, !pattern}, {kPatternOnlyGroupTag, pattern}});
}

void VKStyleInspector::updateSettingsForBlendEffect(VRQuartzBlendRastGroup *blend)
{
    selectTag(mBlendModePopUpButton, blend->blendMode());
    mBlendGroupAlphaSlider->setValue(blend->alpha());
    showImage(mBlendGroupImagePreview, blend->maskImage());
}

// ---- actions ---------------------------------------------------------------------------------

void VKStyleInspector::applyShadowChange(const std::function<void(VRShadow &)> &change)
{
    if (VRStroke *stroke = selected<VRStroke>()) {
        if (std::optional<VRShadow> s = stroke->shadow()) {
            change(*s);
            stroke->setShadow(s);
        }
    } else if (VRFill *fill = selected<VRFill>()) {
        if (std::optional<VRShadow> s = fill->shadow()) {
            change(*s);
            fill->setShadow(s);
        }
    }
}

void VKStyleInspector::connectPaneControls()
{
    const auto number = [this](VKStyleNumberControl *control, auto apply) {
        connect(control, &VKStyleNumberControl::valueEdited, this, apply);
    };
    const auto check = [this](QCheckBox *box, auto apply) {
        connect(box, &QCheckBox::clicked, this, apply);
    };
    const auto menu = [this](QComboBox *popUp, auto apply) {
        connect(popUp, &QComboBox::activated, this,
                [popUp, apply](int index) { apply(tagOf(popUp, index)); });
    };
    const auto well = [this](QntColorWell *w, auto apply) {
        connect(w, &QntColorWell::colorChanged, this, apply);
    };

    // Stroke.
    well(mStrokeColourWell, setOnSelected<VRStroke>(&VRStroke::setColour));
    number(mStrokeWidth, setOnSelected<VRStroke>(&VRStroke::setWidth));
    check(mStrokeShadowCheckbox, [this](bool on) {
        if (VRStroke *s = selected<VRStroke>())
            s->setShadow(on ? std::optional<VRShadow>(VRStyle::defaultShadow()) : std::nullopt);
    });
    connect(mStrokeDashPopUpButton, &QComboBox::activated, this,
            [this](int index) { strokeDashMenuAction(index); });
    menu(mStrokeArrowStartPopUpButton,
         setOnSelected<VRArrowStroke>(&VRArrowStroke::setArrowHeadAtStart));
    menu(mStrokeArrowEndPopUpButton,
         setOnSelected<VRArrowStroke>(&VRArrowStroke::setArrowHeadAtEnd));
    menu(mStrokeArrowDimensionOptions,
         setOnSelected<VRArrowStroke>(&VRArrowStroke::setDimensioningLineOptions));
    number(mStrokeTrimLength, setOnSelected<VRStroke>(&VRStroke::setTrimLength));
    number(mStrokeZZLength, setOnSelected<VRZigZagStroke>(&VRZigZagStroke::setWavelength));
    number(mStrokeZZAmp, setOnSelected<VRZigZagStroke>(&VRZigZagStroke::setAmplitude));
    number(mStrokeZZSpread, setOnSelected<VRZigZagStroke>(&VRZigZagStroke::setSpread));
    menu(mStrokeLineJoinSelector, setOnSelected<VRStroke>(&VRStroke::setLineJoinStyle));
    menu(mStrokeLineCapSelector, [this](int tag) {
        if (VRStroke *s = selected<VRStroke>())
            s->setLineCapStyle(tag);
        else if (VRHatching *h = selected<VRHatching>())
            h->setLineCapStyle(tag);
    });
    number(mStrokeRoughnessSlider, setOnSelected<VRRoughStroke>(&VRRoughStroke::setRoughness));

    // Fill.
    well(mFillColourWell, setOnSelected<VRFill>(&VRFill::setColour));
    check(mFillShadowCheckbox, [this](bool on) {
        if (VRFill *f = selected<VRFill>())
            f->setShadow(on ? std::optional<VRShadow>(VRStyle::defaultShadow()) : std::nullopt);
    });
    connect(mFillGradientControlBar, &VKGradientFillEditor::gradientApplied, this, [this] {
        if (VRFill *f = selected<VRFill>()) {
            const bool radial =
                f->gradient() && f->gradient()->gradientType() == VRGradient::Radial;
            mFillGradientMultiplierLabel->setVisible(radial);
            mFillGradientMultiplier->setVisible(radial);
        }
    });
    connect(mFillGradientAddButton, &QPushButton::clicked, this,
            [this] { fillAddGradientAction(); });
    connect(mFillGradientRemoveButton, &QPushButton::clicked, this,
            [this] { fillRemoveGradientAction(); });
    number(mFillGradientAngle, setOnSelected<VRFill>(&VRFill::setGradientManualAngleInDegrees));
    number(mFillGradientMultiplier, setOnSelected<VRFill>(&VRFill::setGradientMultiplier));
    check(mFillGradientRelativeToObject, setOnSelected<VRFill>(&VRFill::setTracksObjectAngle));
    connect(m_fillPatternPasteButton, &QPushButton::clicked, this,
            [this] { fillPatternPasteImageAction(); });
    connect(m_fillPatternFileButton, &QPushButton::clicked, this,
            [this] { imageFileButtonAction(); });
    number(mFillZZLength, setOnSelected<VRZigZagFill>(&VRZigZagFill::setWavelength));
    number(mFillZZAmp, setOnSelected<VRZigZagFill>(&VRZigZagFill::setAmplitude));
    number(mFillZZSpread, setOnSelected<VRZigZagFill>(&VRZigZagFill::setSpread));

    // Shadow.
    number(mShadowAngleSlider,
           [this](double v) { applyShadowChange([v](VRShadow &s) { s.setAngleInDegrees(v); }); });
    number(mShadowDistanceSlider,
           [this](double v) { applyShadowChange([v](VRShadow &s) { s.setDistance(v); }); });
    number(mShadowBlurRadiusSlider,
           [this](double v) { applyShadowChange([v](VRShadow &s) { s.setShadowBlurRadius(v); }); });
    well(mShadowColourWell,
         [this](const QColor &c) { applyShadowChange([c](VRShadow &s) { s.setShadowColor(c); }); });

    // Image.
    connect(m_imageFileButton, &QPushButton::clicked, this, [this] { imageFileButtonAction(); });
    connect(mImageIdentifierTextField, &QLineEdit::editingFinished, this, [this] {
        if (auto *i = selected<VRImageAdornment>())
            i->setImageIdentifier(mImageIdentifierTextField->text());
    });
    number(mImageOpacitySlider, setOnSelected<VRImageAdornment>(&VRImageAdornment::setOpacity));
    number(mImageScaleSlider, setOnSelected<VRImageAdornment>(&VRImageAdornment::setScale));
    number(mImageAngleSlider,
           setOnSelected<VRImageAdornment>(&VRImageAdornment::setAngleInDegrees));
    menu(mImageFittingPopUpMenu,
         setOnSelected<VRImageAdornment>(&VRImageAdornment::setFittingOption));
    check(mImageClipToPathCheckbox,
          setOnSelected<VRImageAdornment>(&VRImageAdornment::setClipping));

    // Effect.
    connect(mCIFilterPopUpMenu, &QComboBox::activated, this, [this](int index) {
        if (auto *e = selected<VRCIFilterRastGroup>())
            e->setFilter(mCIFilterPopUpMenu->itemData(index).toString());
    });
    check(mCIFilterClipToPathCheckbox,
          setOnSelected<VRCIFilterRastGroup>(&VRCIFilterRastGroup::setClipping));

    // Text.
    connect(mTextLabelTextField, &QLineEdit::editingFinished, this, [this] {
        if (auto *t = selected<VRTextAdornment>())
            t->setLabel(mTextLabelTextField->text());
    });
    menu(mTextLayoutPopUpButton, setOnSelected<VRTextAdornment>(&VRTextAdornment::setLayoutMode));
    menu(mTextAlignmentPopUpButton, setOnSelected<VRTextAdornment>(&VRTextAdornment::setAlignment));
    menu(mTextLabelPlacementPopUpButton,
         setOnSelected<VRTextAdornment>(&VRTextAdornment::setVerticalAlignment));
    check(mTextWrapLinesCheckbox, setOnSelected<VRTextAdornment>(&VRTextAdornment::setWrapsLines));
    check(mTextClipToPathCheckbox, setOnSelected<VRTextAdornment>(&VRTextAdornment::setClipping));
    check(mTextRelativeAngleCheckbox,
          setOnSelected<VRTextAdornment>(&VRTextAdornment::setAppliesObjectAngle));
    number(mTextAngleSlider, setOnSelected<VRTextAdornment>(&VRTextAdornment::setAngleInDegrees));
    number(mFlowedTextInsetSlider,
           setOnSelected<VRTextAdornment>(&VRTextAdornment::setFlowedTextPathInset));
    well(mTextColourWell, setOnSelected<VRTextAdornment>(&VRTextAdornment::setColour));
    connect(m_textFontButton, &QPushButton::clicked, this, [this] { textFontButtonAction(); });

    // Hatch.
    well(mHatchColourWell, setOnSelected<VRHatching>(&VRHatching::setColour));
    number(mHatchSpacing, setOnSelected<VRHatching>(&VRHatching::setSpacing));
    number(mHatchLineWidth, setOnSelected<VRHatching>(&VRHatching::setWidth));
    number(mHatchAngle, setOnSelected<VRHatching>(&VRHatching::setAngleInDegrees));
    number(mHatchLeadIn, setOnSelected<VRHatching>(&VRHatching::setLeadIn));
    menu(mHatchLineCapButton, setOnSelected<VRHatching>(&VRHatching::setLineCapStyle));
    check(mHatchRelativeAngleCheckbox,
          setOnSelected<VRHatching>(&VRHatching::setAngleIsRelativeToObject));
    connect(mHatchDashPopUpButton, &QComboBox::activated, this,
            [this](int index) { hatchDashMenuAction(index); });

    // Path decorator and fill pattern.
    number(mPDInterval, setOnSelected<VRPathDecorator>(&VRPathDecorator::setInterval));
    number(mPDScale, setOnSelected<VRPathDecorator>(&VRPathDecorator::setScale));
    check(mPDNormalToPathCheckbox,
          setOnSelected<VRPathDecorator>(&VRPathDecorator::setNormalToPath));
    number(mPDLeader, setOnSelected<VRPathDecorator>(&VRPathDecorator::setLeaderDistance));
    number(mPDRampProportion,
           setOnSelected<VRPathDecorator>(&VRPathDecorator::setLeadInAndOutLengthProportion));
    number(mPDPatAltOffset, [this](double v) {
        if (auto *p = selected<VRFillPattern>())
            p->setPatternAlternateOffset(QSizeF(0, v));
    });
    number(mPDAngle, setOnSelected<VRFillPattern>(&VRFillPattern::setAngleInDegrees));
    check(mPDRelativeAngleCheckbox,
          setOnSelected<VRFillPattern>(&VRFillPattern::setAngleIsRelativeToObject));
    number(mMotifAngle, setOnSelected<VRFillPattern>(&VRFillPattern::setMotifAngleInDegrees));
    check(mMotifRelativeAngleCheckbox,
          setOnSelected<VRFillPattern>(&VRFillPattern::setMotifAngleIsRelativeToPattern));

    // Blend.
    menu(mBlendModePopUpButton,
         setOnSelected<VRQuartzBlendRastGroup>(&VRQuartzBlendRastGroup::setBlendMode));
    number(mBlendGroupAlphaSlider,
           setOnSelected<VRQuartzBlendRastGroup>(&VRQuartzBlendRastGroup::setAlpha));
}

void VKStyleInspector::fillAddGradientAction()
{
    VRFill *fill = selected<VRFill>();
    if (!fill)
        return;
    mIsChangingGradient = true;
    fill->setGradient(VRGradient::defaultGradient());
    mIsChangingGradient = false;
    updateSettingsForFill(fill);
}

void VKStyleInspector::fillRemoveGradientAction()
{
    if (VRFill *fill = selected<VRFill>())
        fill->setGradient(nullptr);
}

QImage VKStyleInspector::imageFromClipboard()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasImage())
        return {};
    return qvariant_cast<QImage>(data->imageData());
}

void VKStyleInspector::fillPatternPasteImageAction()
{
    VRFill *fill = selected<VRFill>();
    const QImage image = imageFromClipboard();
    if (!fill || image.isNull()) {
        QApplication::beep();
        return;
    }
    fill->setPatternImage(image);
    showImage(mFillPatternImagePreview, image);
}

void VKStyleInspector::pathDecoratorPasteObjectAction()
{
    auto *decorator = selected<VRPathDecorator>();
    const QImage image = imageFromClipboard();
    if (!decorator || image.isNull()) {
        QApplication::beep();
        return;
    }
    decorator->setImage(image);
}

void VKStyleInspector::blendGroupImagePasteAction()
{
    auto *blend = selected<VRQuartzBlendRastGroup>();
    const QImage image = imageFromClipboard();
    if (!blend || image.isNull()) {
        QApplication::beep();
        return;
    }
    blend->setMaskImage(image);
}

bool VKStyleInspector::loadImageFile(const QString &path, QString *message)
{
    QImageReader reader(path);
    // Pictures beyond this many pixels are refused rather than filling the memory.
    reader.setAllocationLimit(256);
    const QImage image = reader.read();
    if (image.isNull()) {
        if (message)
            *message =
                tr("\"%1\" could not be read as a picture: %2.").arg(path, reader.errorString());
        return false;
    }
    if (auto *i = selected<VRImageAdornment>()) {
        i->setImage(image);
        return true;
    }
    if (auto *d = selected<VRPathDecorator>()) {
        d->setImage(image);
        return true;
    }
    if (VRFill *f = selected<VRFill>()) {
        f->setPatternImage(image);
        showImage(mFillPatternImagePreview, image);
        return true;
    }
    if (message)
        *message = tr("The selected component takes no picture.");
    return false;
}

void VKStyleInspector::imageFileButtonAction()
{
    const QString path = QFileDialog::getOpenFileName(
        mainView()->window(), tr("Choose a Picture"), QString(),
        tr("Pictures (*.png *.jpg *.jpeg *.gif *.bmp *.tif *.tiff *.svg *.webp)"));
    if (path.isEmpty())
        return;
    QString message;
    if (!loadImageFile(path, &message))
        QMessageBox::warning(mainView()->window(), tr("Picture Not Loaded"), message);
}

QFontDialog *VKStyleInspector::fontDialog() const
{
    return m_fontDialog;
}

void VKStyleInspector::textFontButtonAction()
{
    auto *text = selected<VRTextAdornment>();
    if (!text)
        return;
    if (!m_fontDialog) {
        m_fontDialog = new QFontDialog(mainView()->window());
        m_fontDialog->setObjectName(QStringLiteral("styleFontDialog"));
        m_fontDialog->setWindowTitle(tr("Font"));
        m_fontDialog->setOption(QFontDialog::NoButtons, true);
        connect(m_fontDialog, &QFontDialog::currentFontChanged, this,
                [this](const QFont &font) { textChangeFontAction(font); });
    }
    m_fontDialog->blockSignals(true);
    m_fontDialog->setCurrentFont(text->font());
    m_fontDialog->blockSignals(false);
    m_fontDialog->show();
    m_fontDialog->raise();
}

void VKStyleInspector::textChangeFontAction(const QFont &font)
{
    auto *text = selected<VRTextAdornment>();
    if (!text)
        return;
    text->setFont(font);
    redisplayContentForSelection(selectedObjectForCurrentTarget());
}

// ---- dash editor -----------------------------------------------------------------------------

void VKStyleInspector::openDashEditor()
{
    VRRendererRef renderer = selectedRenderer();
    auto *stroke = selected<VRStroke>();
    auto *hatch = selected<VRHatching>();
    if (!stroke && !hatch)
        return;
    const VRDashRef dash = stroke ? stroke->dash() : hatch->dash();
    mSavedDash = dash;
    m_dashTarget = renderer;
    mDashEditController->setDash(dash ? dash->copy() : VRStrokeDash::defaultDash());
    mDashEditController->setLineWidth(stroke ? stroke->width() : hatch->width());
    mDashEditController->setLineCapStyle(stroke ? stroke->lineCapStyle() : hatch->lineCapStyle());
    mDashEditController->setLineJoinStyle(stroke ? stroke->lineJoinStyle() : 0);
    mDashEditController->setLineColour(stroke ? stroke->colour() : hatch->colour());
    mDashEditController->openDashEditorInParentWindow(mainView());
}

namespace {
void setDashOf(VRRasterizer *renderer, const VRDashRef &dash)
{
    if (!renderer)
        return;
    if (renderer->isKindOf<VRStroke>())
        static_cast<VRStroke *>(renderer)->setDash(dash);
    else if (renderer->isKindOf<VRHatching>())
        static_cast<VRHatching *>(renderer)->setDash(dash);
}
} // namespace

void VKStyleInspector::dashDidChange(VKDashEditor *editor)
{
    const VRRendererRef target = m_dashTarget.lock();
    if (!editor || !target || !editor->dash())
        return;
    // A copy each time: the renderer sees a new dash and redraws.
    setDashOf(target.get(), editor->dash()->copy());
}

void VKStyleInspector::sheetDidEnd(VKDashEditor *editor, int returnCode)
{
    if (editor != mDashEditController)
        return;
    const VRRendererRef target = m_dashTarget.lock();
    if (target) {
        if (returnCode == VKDashEditor::kOK && editor->dash())
            setDashOf(target.get(), editor->dash()->copy());
        else
            setDashOf(target.get(), mSavedDash);
    }
    mSavedDash.reset();
    m_dashTarget.reset();
    if (VRRendererRef selected = selectedRenderer())
        selectTabPaneForObject(selected.get());
}
