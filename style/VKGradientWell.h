#pragma once

#include "framework/styles/VRGradient.h"
#include "style/VRGradientCell.h"

#include <QPointer>
#include <QWidget>

class QMenu;
class QMimeData;

// A small control showing one gradient. It copies, cuts, pastes and deletes it, copies its
// picture, drags it out (to other wells, other programs or a folder as a ".gradient" file) and
// takes gradients, ".gradient" files and colours dropped on it. Every change of its gradient is
// reported through gradientAction(). One well at a time may be the active well, marked by a ring.
class VKGradientWell : public QWidget
{
    Q_OBJECT
public:
    enum ControlMode { NoControls = 0, LinearControls = 1, RadialControls = 2, SweepControls = 3 };

    explicit VKGradientWell(QWidget *parent = nullptr);
    ~VKGradientWell() override;

    VRGradientCell *cell() const { return m_cell; }
    // Gives the well another cell (the well owns it), which takes over the gradient.
    void setCell(VRGradientCell *cell);
    VRGradientRef gradient() const { return m_cell->gradient(); }
    // The gradient already shown changes nothing; any other is shown and reported.
    virtual void setGradient(const VRGradientRef &gradient);
    // Reports the gradient (once, also when a receiver sets the gradient while told).
    void syncGradientToControlSettings();

    int controlMode() const { return mControlMode; }
    void setControlMode(int mode);
    bool displaysProxyIcon() const { return mShowProxyIcon; }
    void setDisplaysProxyIcon(bool shows) { mShowProxyIcon = shows; }
    void setForceSquare(bool square);
    bool canBecomeActiveWell() const { return mCanBecomeActive; }
    void setCanBecomeActiveWell(bool can) { mCanBecomeActive = can; }

    static void setActiveWell(VKGradientWell *well);
    static VKGradientWell *activeWell();
    static void clearAllActiveWells();
    bool isActiveWell() const { return activeWell() == this; }
    void toggleActiveWell();

    // Menu actions.
    void cut();
    void copy();
    // Reads the clipboard; without a gradient there the well keeps its own.
    void paste();
    void deleteGradient();
    void copyImage();
    void copyBorderedImage();
    void resetRadial();
    virtual QMenu *menuForEvent(const QPoint &position, Qt::KeyboardModifiers modifiers);
    bool validateMenuItem(const QString &action) const;

    // Starts a drag of the gradient (its data, a picture and a ".gradient" file).
    void initiateGradientDrag();
    // Writes the gradient as a ".gradient" file under a free name in the folder; its name.
    QString namesOfPromisedFilesDroppedAtDestination(const QString &folder);
    // What a drop of the data would do, and doing it; false when it changed nothing. A refused
    // ".gradient" file is reported with a message.
    bool canAcceptDrop(const QMimeData *data) const;
    virtual bool performDrop(const QMimeData *data, QPointF position, bool fromSelf);

    // The message shown when a dropped or pasted gradient is refused (tests read it).
    QString lastRefusal() const { return m_lastRefusal; }

    // Whether the mouse is dragging one of the on-swatch controls.
    bool isTrackingControls() const { return m_trackingControls; }

signals:
    void gradientAction();
    // A drag of an on-swatch control has ended.
    void controlTrackingFinished();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    virtual void wellDidBecomeActive();
    virtual void wellWillResignActive();
    void refuse(const QString &message);

private:
    void placeSquare();

    VRGradientCell *m_cell = nullptr;
    int mControlMode = NoControls;
    bool mForceSquare = false;
    bool mShowProxyIcon = false;
    bool mCanBecomeActive = true;
    bool mIsSendingAction = false;
    bool m_pressed = false;
    bool m_dragging = false;
    bool m_trackingControls = false;
    QString m_lastRefusal;
};
