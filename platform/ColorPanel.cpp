#include "platform/ColorPanel.h"

#include <QColorDialog>

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
    window->show();
    window->raise();
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
