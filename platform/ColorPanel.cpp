#include "platform/ColorPanel.h"

#include "platform/FloatingWindow.h"

#include <QApplication>
#include <QColorDialog>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <optional>

ColorPanel &ColorPanel::sharedColorPanel()
{
    static ColorPanel *panel = new ColorPanel; // lives for the process, like its window
    return *panel;
}

void ColorPanel::setShowsAlpha(bool shows)
{
    m_showsAlpha = shows;
    if (m_dialog)
        m_dialog->setOption(QColorDialog::ShowAlphaChannel, shows);
}

bool ColorPanel::showsAlpha() const
{
    return m_showsAlpha;
}

void ColorPanel::setColor(const QColor &colour)
{
    if (!colour.isValid())
        return;
    m_colour = colour;
    if (m_dialog) {
        m_settingColour = true;
        m_dialog->setCurrentColor(colour);
        m_settingColour = false;
    }
}

QColor ColorPanel::color() const
{
    return m_colour;
}

void ColorPanel::setTarget(QObject *target, std::function<void(const QColor &)> action)
{
    m_target = target;
    m_action = target ? std::move(action) : nullptr;
}

QObject *ColorPanel::target() const
{
    return m_target;
}

void ColorPanel::orderFront()
{
    QColorDialog *window = dialog();
    floatAbove(QApplication::activeWindow());
    window->show();
    window->raise();
}

void ColorPanel::orderFrontBeside(const QWidget *opener)
{
    QColorDialog *window = dialog();
    const QWidget *openerWindow = opener ? opener->window() : nullptr;
    if (!window->isVisible() && openerWindow && openerWindow != window) {
        const QRect control(opener->mapToGlobal(QPoint(0, 0)), opener->size());
        const QRect frame = openerWindow->frameGeometry();
        const QScreen *screen = QGuiApplication::screenAt(frame.center());
        if (!screen)
            screen = openerWindow->screen();
        if (!window->testAttribute(Qt::WA_Resized))
            window->adjustSize();
        if (screen)
            window->move(originBeside(window->frameGeometry().size(), frame, control,
                                      screen->availableGeometry()));
    }
    floatAbove(openerWindow);
    window->show();
    window->raise();
}

QPoint ColorPanel::originBeside(QSize panel, const QRect &openerWindow, const QRect &openerControl,
                                const QRect &screen)
{
    // The gap attached windows keep from what they are attached to.
    constexpr int kGap = 10;
    const auto besideOf = [&](const QRect &r) -> std::optional<int> {
        if (r.right() + 1 + kGap + panel.width() <= screen.right() + 1)
            return r.right() + 1 + kGap;
        if (r.left() - kGap - panel.width() >= screen.left())
            return r.left() - kGap - panel.width();
        return std::nullopt;
    };
    QPoint origin(openerWindow.left(), openerWindow.top());
    if (const std::optional<int> x = besideOf(openerWindow)) {
        origin.setX(*x);
    } else if (const std::optional<int> x = besideOf(openerControl)) {
        origin = QPoint(*x, openerControl.top());
    } else {
        origin.setX(openerWindow.right() + 1 + kGap);
    }
    origin.setX(std::max(screen.left(), std::min(origin.x(), screen.right() + 1 - panel.width())));
    origin.setY(std::max(screen.top(), std::min(origin.y(), screen.bottom() + 1 - panel.height())));
    return origin;
}

void ColorPanel::floatAbove(const QWidget *window)
{
    QColorDialog *panel = dialog();
    if (!window || window == panel)
        return;
    window->winId();
    floatAboveWindow(panel, window->windowHandle(), false);
}

void ColorPanel::orderOut()
{
    if (m_dialog)
        m_dialog->hide();
}

bool ColorPanel::isVisible() const
{
    return m_dialog && m_dialog->isVisible();
}

QColorDialog *ColorPanel::dialog()
{
    if (!m_dialog) {
        m_dialog = new QColorDialog(m_colour);
        // A floating panel like the inspectors: a click in a document window must not bury it.
        m_dialog->setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        m_dialog->setWindowTitle(tr("Colors"));
        m_dialog->setOptions(QColorDialog::NoButtons | QColorDialog::DontUseNativeDialog);
        m_dialog->setOption(QColorDialog::ShowAlphaChannel, m_showsAlpha);
        m_dialog->setModal(false);
        connect(m_dialog, &QColorDialog::currentColorChanged, this, &ColorPanel::userPicked);
    }
    return m_dialog;
}

void ColorPanel::userPicked(const QColor &colour)
{
    if (m_settingColour || !colour.isValid() || colour == m_colour)
        return;
    m_colour = colour;
    emit colorChanged(colour);
    if (m_target && m_action)
        m_action(colour);
}
