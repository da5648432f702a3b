#include "app/panels/QntInfoPanelController.h"

#include "app/common/Geometrics.h"
#include "app/common/QntConstants.h"
#include "app/panels/TransparentPanel.h"
#include "platform/Document.h"
#include "platform/DocumentController.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPropertyAnimation>
#include <QScreen>
#include <QToolButton>

namespace {

constexpr int kPanelWidth = 420;
constexpr int kMargin = 12;
constexpr int kTextWidth = kPanelWidth - 2 * kMargin - 24;

} // namespace

QntInfoPanelController &QntInfoPanelController::sharedController()
{
    static QntInfoPanelController *controller =
        new QntInfoPanelController(QCoreApplication::instance());
    return *controller;
}

QntInfoPanelController::QntInfoPanelController(QObject *parent)
    : QObject(parent)
{
}

void QntInfoPanelController::buildPanel()
{
    if (_infoPanel)
        return;
    auto *panel = new TransparentPanel;
    panel->setObjectName(QStringLiteral("infoPanel"));
    panel->resize(kPanelWidth, 80);
    _infoPanelText = new QLabel(panel);
    _infoPanelText->setObjectName(QStringLiteral("infoPanelText"));
    _infoPanelText->setWordWrap(true);
    _infoPanelText->setTextFormat(Qt::PlainText);
    _infoPanelText->setStyleSheet(QStringLiteral("QLabel { color: white; }"));
    _infoPanelDontShowCheckbox =
        new QCheckBox(QCoreApplication::translate("InfoPanel", "Don't show again"), panel);
    _infoPanelDontShowCheckbox->setStyleSheet(QStringLiteral("QCheckBox { color: #dddddd; }"));
    auto *close = new QToolButton(panel);
    close->setText(QStringLiteral("×"));
    close->setAutoRaise(true);
    close->setStyleSheet(
        QStringLiteral("QToolButton { color: white; border: none; font-size: 14px; }"));
    close->setGeometry(kPanelWidth - 22, 4, 18, 18);
    connect(close, &QToolButton::clicked, this, &QntInfoPanelController::closeInfoPanel);
    connect(_infoPanelDontShowCheckbox.data(), &QCheckBox::toggled, this,
            &QntInfoPanelController::dontShowAgainInfoPanel);
    _infoPanel = panel;
}

QRect QntInfoPanelController::finalFrame(const QRect &documentWindowFrame, int panelWidth,
                                         int textHeight, int margin)
{
    const int checkboxHeight = 22;
    const int height = 2 * margin + textHeight + checkboxHeight;
    // Centred on the document window, standing on its bottom edge.
    return QRect(documentWindowFrame.x() + documentWindowFrame.width() / 2 - panelWidth / 2,
                 documentWindowFrame.y() + documentWindowFrame.height() - height, panelWidth,
                 height);
}

void QntInfoPanelController::openInfoPanel(const Notification &notification)
{
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    if (!defaults.boolForKey(QntDisplayHelpMessagesKey))
        return;
    buildPanel();
    {
        const QSignalBlocker blocker(_infoPanelDontShowCheckbox.data());
        _infoPanelDontShowCheckbox->setChecked(false);
    }
    const QString message = notification.userInfo.value(QStringLiteral("msg")).toString();
    _infoPanelText->setText(message);
    const int textHeight =
        int(std::ceil(Geometrics::heightForWidth(message, kTextWidth, _infoPanelText->font())));
    _infoPanelText->setGeometry(kMargin, kMargin, kTextWidth, textHeight);
    _infoPanelDontShowCheckbox->setGeometry(kMargin, kMargin + textHeight + 2, kTextWidth, 20);

    Document *document = DocumentController::sharedDocumentController().currentDocument();
    QWidget *window = document ? document->windowForSheet() : nullptr;
    const QRect windowFrame = window ? window->frameGeometry() : QRect();
    QRect target = finalFrame(windowFrame, kPanelWidth, textHeight, kMargin);
    const QRect avoid = notification.userInfo.value(QStringLiteral("avoidRect")).toRect();
    if (!avoid.isEmpty()) {
        const QScreen *screen = QGuiApplication::screenAt(avoid.center());
        target = frameAvoiding(target, windowFrame, avoid,
                               screen ? screen->availableGeometry() : QRect());
    }
    _infoPanel->setGeometry(target.translated(0, target.height()));
    _infoPanel->show();
    _infoPanel->raise();
    if (m_slide)
        m_slide->stop();
    m_slide = new QPropertyAnimation(_infoPanel.data(), "geometry", this);
    m_slide->setDuration(200);
    m_slide->setStartValue(_infoPanel->geometry());
    m_slide->setEndValue(target);
    m_slide->start(QAbstractAnimation::DeleteWhenStopped);
    _infoPanel->redisplay();
}

QRect QntInfoPanelController::frameAvoiding(const QRect &frame, const QRect &documentWindowFrame,
                                            const QRect &avoid, const QRect &screen)
{
    constexpr int gap = 8;
    if (avoid.isEmpty() || !frame.intersects(avoid))
        return frame;
    const auto fits = [&](const QRect &r) {
        return !r.intersects(avoid) && (screen.isEmpty() || screen.contains(r));
    };
    QRect top = frame;
    top.moveTop(documentWindowFrame.y() + 40);
    QRect above = frame;
    above.moveBottom(avoid.top() - gap);
    QRect below = frame;
    below.moveTop(avoid.bottom() + gap);
    for (const QRect &candidate : {top, above, below}) {
        if (fits(candidate))
            return candidate;
    }
    // No room on this screen: at least off the bar.
    return above;
}

void QntInfoPanelController::hideInfoPanel(const Notification &)
{
    closeInfoPanel();
}

void QntInfoPanelController::closeInfoPanel()
{
    if (m_slide)
        m_slide->stop();
    if (_infoPanel)
        _infoPanel->hide();
}

void QntInfoPanelController::dontShowAgainInfoPanel(bool checked)
{
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setBool(!checked, QntDisplayHelpMessagesKey);
    defaults.synchronize();
}

TransparentPanel *QntInfoPanelController::panel() const
{
    return _infoPanel;
}

QLabel *QntInfoPanelController::textView() const
{
    return _infoPanelText;
}

QCheckBox *QntInfoPanelController::dontShowCheckbox() const
{
    return _infoPanelDontShowCheckbox;
}
