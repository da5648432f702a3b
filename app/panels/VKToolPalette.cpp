#include "app/panels/VKToolPalette.h"

#include "app/window/QntDocumentConstants.h"
#include "app/launch/VOReruRerAppDelegate.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/styles/VRStyle.h"
#include "framework/styles/VRStyleRegistry.h"
#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRDrawingView.h"
#include "framework/view/VRObjectCreationTool.h"
#include "platform/ImageResources.h"
#include "platform/UserDefaults.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const std::pair<const char *, const char *> kTitles[] = {
    {"Path", "Path Tool"},
    {"Insert Path Point", "Insert Path Point Tool"},
    {"Delete Path Point", "Delete Path Point Tool"},
    {"Rectangle", "Rectangle Tool"},
    {"Oval", "Circle Tool"},
    {"Round Rectangle", "Rounded Rectangle Tool"},
    {"Round End Rectangle", "Round End Rectangle Tool"},
    {"Polygon", "Polygon Tool"},
    {"Line", "Line Tool"},
    {"Freehand", "Freehand Tool"},
    {"Text", "Text Tool"},
};

constexpr int kColumns = 2;

} // namespace

VKToolPalette::VKToolPalette(QObject *parent)
    : VRInspectorBase(QStringLiteral("ToolPalette"), parent)
{
}

VKToolPalette::~VKToolPalette() = default;

QString VKToolPalette::toolName2ButtonTitle(const QString &toolName)
{
    for (const auto &[name, title] : kTitles) {
        if (toolName == QLatin1String(name))
            return QString::fromLatin1(title);
    }
    return toolName;
}

QString VKToolPalette::buttonTitle2ToolName(const QString &buttonTitle)
{
    for (const auto &[name, title] : kTitles) {
        if (buttonTitle == QLatin1String(title))
            return QString::fromLatin1(name);
    }
    return buttonTitle;
}

QStringList VKToolPalette::buttonTitles()
{
    return {QStringLiteral("Select"),
            QStringLiteral("Zoom"),
            QStringLiteral("Rectangle Tool"),
            QStringLiteral("Rounded Rectangle Tool"),
            QStringLiteral("Circle Tool"),
            QStringLiteral("Round End Rectangle Tool"),
            QStringLiteral("Polygon Tool"),
            QStringLiteral("Line Tool"),
            QStringLiteral("Path Tool"),
            QStringLiteral("Freehand Tool"),
            QStringLiteral("Insert Path Point Tool"),
            QStringLiteral("Delete Path Point Tool"),
            QStringLiteral("Text Tool"),
            QString()};
}

QWidget *VKToolPalette::createWindow()
{
    auto *window = new QWidget(nullptr, Qt::Tool);
    window->setObjectName(windowName());
    window->setWindowTitle(tr("Tools"));
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->installEventFilter(this);

    mToolMatrix = new QButtonGroup(window);
    mToolMatrix->setExclusive(true);
    auto *matrix = new QGridLayout;
    matrix->setSpacing(2);
    const QStringList titles = buttonTitles();
    for (int i = 0; i < titles.size(); ++i) {
        auto *button = new QToolButton;
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setText(QString(titles.at(i)).remove(QStringLiteral(" Tool")));
        button->setProperty("title", titles.at(i));
        button->setMinimumWidth(110);
        button->installEventFilter(this);
        mToolMatrix->addButton(button, i);
        matrix->addWidget(button, i / kColumns, i % kColumns);
        m_buttons << button;
    }
    connect(mToolMatrix, &QButtonGroup::buttonClicked, this,
            [this](QAbstractButton *b) { toolButtonMatrixAction(b); });

    mStylePreviewView = new QLabel;
    mStylePreviewView->setFixedSize(kPreviewSize, kPreviewSize);
    mStylePreviewView->setAlignment(Qt::AlignCenter);
    mStylePreviewView->setFrameShape(QFrame::StyledPanel);
    mStylePopUpButton = new QToolButton;
    mStylePopUpButton->setText(QStringLiteral("Style"));
    mStylePopUpButton->setPopupMode(QToolButton::InstantPopup);
    mStylePopUpButton->setToolButtonStyle(Qt::ToolButtonTextOnly);

    auto *layout = new QVBoxLayout(window);
    layout->addLayout(matrix);
    layout->addWidget(mStylePreviewView, 0, Qt::AlignHCenter);
    layout->addWidget(mStylePopUpButton, 0, Qt::AlignHCenter);
    return window;
}

void VKToolPalette::windowDidLoad()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(
        center.addObserver(kVRDidChangeToolNotification, nullptr,
                           [this](const Notification &n) { toolChangedNotification(n); }));
    m_observers.push_back(center.addObserver(
        kVRStyleRegistryDidFlagPossibleUIChange, &VRStyleRegistry::sharedStyleRegistry(),
        [this](const Notification &n) { styleRegistryChanged(n); }));
    for (QToolButton *button : m_buttons) {
        const QString title = button->property("title").toString();
        const QIcon icon = title.isEmpty() ? QIcon() : ImageResources::imageNamed(title);
        if (!icon.isNull()) {
            button->setIcon(icon);
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        }
        if (title.isEmpty()) {
            button->setEnabled(false);
            continue;
        }
        button->setToolTip(title);
    }
    populatePopUpButtonWithLibraryStyles();
    selectToolWithName(QStringLiteral("Select"));
}

VRDrawingTool *VKToolPalette::toolOfButton(const QAbstractButton *button) const
{
    if (!button)
        return nullptr;
    const QString title = button->property("title").toString();
    return title.isEmpty() ? nullptr
                           : VRDrawingTool::drawingToolWithName(buttonTitle2ToolName(title));
}

QToolButton *VKToolPalette::selectedButton() const
{
    return mToolMatrix ? qobject_cast<QToolButton *>(mToolMatrix->checkedButton()) : nullptr;
}

void VKToolPalette::toolButtonMatrixAction(QAbstractButton *button)
{
    if (VRDrawingTool *tool = toolOfButton(button))
        tool->set();
}

void VKToolPalette::toolDoubleClick(QAbstractButton *button)
{
    VRDrawingDocument *document = currentDocument();
    if (!button || !document)
        return;
    if (button->property("title").toString() == QLatin1String("Zoom"))
        document->zoomToActualSize();
    else
        document->toggleAutoRevertAction();
}

void VKToolPalette::selectToolWithName(const QString &toolName)
{
    if (m_buttons.isEmpty())
        return;
    const QString title = toolName2ButtonTitle(toolName);
    VRStyleRef style = VRObjectCreationTool::styleForCreatedObjects();
    QToolButton *match = nullptr;
    for (QToolButton *button : m_buttons) {
        if (button->property("title").toString() == title) {
            match = button;
            break;
        }
    }
    if (match) {
        match->setChecked(true);
        // Without a chosen style, a creation tool's new objects look like its prototype.
        auto *creation = dynamic_cast<VRObjectCreationTool *>(
            VRDrawingTool::drawingToolWithName(buttonTitle2ToolName(title)));
        if (creation && !style && creation->prototype())
            style = creation->prototype()->style();
    } else {
        m_buttons.first()->setChecked(true);
    }
    updateStylePreviewWithStyle(style);
}

void VKToolPalette::updateStylePreviewWithStyle(const VRStyleRef &style)
{
    if (!mStylePreviewView)
        return;
    if (!style) {
        mStylePreviewView->setPixmap(QPixmap());
        return;
    }
    mStylePreviewView->setPixmap(
        QPixmap::fromImage(style->styleSwatchWithSize(QSizeF(kPreviewSize, kPreviewSize), -1)));
}

void VKToolPalette::populatePopUpButtonWithLibraryStyles()
{
    if (!mStylePopUpButton)
        return;
    // The old menu may be the one whose item is being chosen right now.
    if (m_styleMenu)
        m_styleMenu->deleteLater();
    m_styleMenu = VRStyleRegistry::sharedStyleRegistry().managedStylesMenu(
        mStylePopUpButton, [this](QAction *item) { libraryItemAction(item); });
    mStylePopUpButton->setMenu(m_styleMenu);
    mStylePopUpButton->setText(QStringLiteral("Style"));
    connect(m_styleMenu, &QMenu::aboutToShow, this, [this] { validateMenuItems(); });
    validateMenuItems();
}

void VKToolPalette::validateMenuItems()
{
    if (!m_styleMenu)
        return;
    const VRStyleRef current = VRObjectCreationTool::styleForCreatedObjects();
    std::function<void(QMenu *)> walk = [&](QMenu *menu) {
        for (QAction *action : menu->actions()) {
            action->setEnabled(true);
            if (action->menu()) {
                walk(action->menu());
                continue;
            }
            if (action->data().isValid()) {
                action->setCheckable(true);
                action->setChecked(current && action->data().toString() == current->uniqueKey());
            }
        }
    };
    walk(m_styleMenu);
}

void VKToolPalette::libraryItemAction(QAction *item)
{
    if (!item)
        return;
    VRObjectCreationTool::setStyleForCreatedObjects(
        VRStyleRegistry::styleForKeyAddingToRecentlyUsed(item->data().toString()));
    VRDrawingTool *tool = toolOfButton(selectedButton());
    selectToolWithName(tool ? tool->registeredName() : QStringLiteral("Select"));
    validateMenuItems();
}

void VKToolPalette::styleRegistryChanged(const Notification &)
{
    populatePopUpButtonWithLibraryStyles();
}

void VKToolPalette::toolChangedNotification(const Notification &notification)
{
    const QString name = notification.userInfo.value(QStringLiteral("name")).toString();
    selectToolWithName(name.isEmpty() ? QStringLiteral("Select") : name);
}

void VKToolPalette::documentDidChange(const Notification &)
{
    VRDrawingDocument *document = currentDocument();
    VRDrawingView *view = document ? document->mainView() : nullptr;
    if (VRDrawingTool *tool = view ? view->drawingTool() : nullptr)
        selectToolWithName(tool->registeredName().isEmpty() ? QStringLiteral("Select")
                                                            : tool->registeredName());
}

bool VKToolPalette::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (auto *button = qobject_cast<QAbstractButton *>(watched)) {
            toolDoubleClick(button);
            return true;
        }
    }
    if (event->type() == QEvent::Close && watched == window()) {
        // While the application quits the palette counts as open, so it comes back next time;
        // quitting closes every window before the application's termination begins.
        VOReruRerAppDelegate *delegate = VOReruRerAppDelegate::sharedDelegate();
        if (!delegate || !(delegate->isQuitting() || delegate->isTerminating())) {
            UserDefaults::standardUserDefaults().setBool(false, kQntToolPaletteIsVisible);
            UserDefaults::standardUserDefaults().synchronize();
        }
    }
    return VRInspectorBase::eventFilter(watched, event);
}
