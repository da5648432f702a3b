#pragma once

#include <QObject>
#include <QRect>
#include <QString>

class QWidget;
class UserDefaults;

// Keeps a top-level window's frame (its place on the screen and its size) in the user's
// defaults under an autosave name, so the window comes back where the user left it at the next
// launch. The frame is written whenever the window moves, is resized or hides.
class WindowFrameAutosave : public QObject
{
    Q_OBJECT
public:
    // Watches `window` (which owns the returned object) from now on.
    static WindowFrameAutosave *attach(QWidget *window, const QString &autosaveName,
                                       UserDefaults *defaults = nullptr);

    enum class Restore { PlaceAndSize, PlaceOnly };
    // Puts the window back where it was kept. False, with the window untouched, when nothing
    // is kept or the kept frame lies off every screen (a screen that was unplugged): the
    // caller then gives the window its usual place.
    bool restore(Restore what = Restore::PlaceAndSize);

    // The defaults key of an autosave name.
    static QString defaultsKey(const QString &autosaveName);
    // Whether enough of the frame's top (where its title bar is) lies on one of the screens for
    // the user to take hold of it.
    static bool isOnAScreen(const QRect &frame);
    // The frame as kept: the place of the window's outer frame and the size of its content.
    static QRect keptFrame(const QWidget &window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    WindowFrameAutosave(QWidget *window, const QString &autosaveName, UserDefaults *defaults);
    void save();
    UserDefaults &defaults() const;

    QWidget *m_window;
    QString m_key;
    UserDefaults *m_defaults;
    // No frame is written while the kept one is being put back.
    bool m_restoring = false;
};
