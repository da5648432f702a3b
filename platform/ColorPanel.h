#pragma once

#include <QColor>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>

#include <functional>

class QColorDialog;
class QWidget;

// The application's one colour panel: a non-modal colour chooser that sends each colour the
// user picks to its current target. Its window is made on first use. GUI thread only.
class ColorPanel : public QObject
{
    Q_OBJECT
public:
    static ColorPanel &sharedColorPanel();

    // Whether the panel offers an opacity control.
    void setShowsAlpha(bool shows);
    bool showsAlpha() const;

    // Sets the shown colour without sending it to the target.
    void setColor(const QColor &colour);
    QColor color() const;

    // Colours the user picks go to the action while the target lives.
    void setTarget(QObject *target, std::function<void(const QColor &)> action);
    QObject *target() const;

    // Brings the panel forward, floating above the active window.
    void orderFront();
    // Brings the panel forward; one that is not on screen yet opens beside the window of the
    // control that opened it, so it covers neither that window nor the control. It floats above
    // that window, as the inspectors float above their document window.
    void orderFrontBeside(const QWidget *opener);
    void orderOut();
    bool isVisible() const;

    // The panel's window (made when first asked for).
    QColorDialog *dialog();

    // Where a panel of the size opens beside the opener's window on the screen's free area: to
    // its right, else to its left, its top level with the window's; beside the opening control
    // when neither side of the window has room; moved back onto the screen by its overshoot.
    static QPoint originBeside(QSize panel, const QRect &openerWindow, const QRect &openerControl,
                               const QRect &screen);

signals:
    // The user picked a colour.
    void colorChanged(const QColor &colour);

private:
    ColorPanel() = default;
    void userPicked(const QColor &colour);
    void floatAbove(const QWidget *window);

    QPointer<QColorDialog> m_dialog;
    bool m_showsAlpha = false;
    bool m_settingColour = false;
    QColor m_colour = Qt::white;
    QPointer<QObject> m_target;
    std::function<void(const QColor &)> m_action;
};
