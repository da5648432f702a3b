#pragma once

#include <QColor>
#include <QObject>
#include <QPointer>

#include <functional>

class QColorDialog;

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

    void orderFront();
    void orderOut();
    bool isVisible() const;

    // The panel's window (made when first asked for).
    QColorDialog *dialog();

signals:
    // The user picked a colour.
    void colorChanged(const QColor &colour);

private:
    ColorPanel() = default;
    void userPicked(const QColor &colour);

    QPointer<QColorDialog> m_dialog;
    bool m_showsAlpha = false;
    bool m_settingColour = false;
    QColor m_colour = Qt::white;
    QPointer<QObject> m_target;
    std::function<void(const QColor &)> m_action;
};
