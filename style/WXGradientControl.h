#pragma once

#include "platform/NotificationCenter.h"
#include "style/VKGradientWell.h"

#include <QList>
#include <QRectF>

#include <memory>
#include <vector>

class VKInfoFloater;
class VRColorStop;
using VRColorStopRef = std::shared_ptr<VRColorStop>;

// A gradient well shown as a left-to-right ramp with its colour stops as small boxes: drag a
// box to move its stop (Shift: whole per cents), off the bar to delete it (never one of the last
// two), click it to edit its colour in the colour panel, right-click it for a pop-up picker,
// drop a colour to add a stop; the menu adds stops, reverses the colours and sets the kind,
// blending and interpolation.
class WXGradientControl : public VKGradientWell
{
    Q_OBJECT
public:
    enum StopState { NormalState = 0, PressedState = 1, SelectedState = 2 };

    explicit WXGradientControl(QWidget *parent = nullptr);
    ~WXGradientControl() override;

    void setGradient(const VRGradientRef &gradient) override;
    void invalidate() { m_boxesValid = false; }

    // Geometry (view coordinates).
    QRectF interior() const;
    double relativeXWithPoint(QPointF point) const;
    QRectF swatchBoxAtPosition(double position) const;
    QList<QRectF> allSwatchBoxes();
    QRectF swatchRectForStop(const VRColorStopRef &stop);
    VRColorStopRef stopAtPoint(QPointF point);
    QColor colorAtPoint(QPointF point) const;
    QRectF safeZone() const;

    // Stops.
    VRColorStopRef addColorStop(const QColor &colour, QPointF point);
    void removeColorStopAtPoint(QPointF point);
    VRColorStopRef selectedStop() const { return mSelectedStopRef; }
    void setSelectedStop(const VRColorStopRef &stop);
    void setColorOfSelectedStop(const QColor &colour);
    // A colour from the colour panel (fromPanel) or the pop-up picker.
    void changeColor(const QColor &colour, bool fromPanel);
    QList<VRColorStopRef> unsortedStops() const { return mUnsortedStops; }
    VRColorStopRef deletionCandidate() const { return mDeletionCandidateRef; }

    // Menu actions.
    void newStop();
    void flip();
    void gradientType(int tag);
    void blendMode(int tag);
    void interpolation(int tag);
    QMenu *menuForEvent(const QPoint &position, Qt::KeyboardModifiers modifiers) override;

    bool showsPositionInfo() const { return mShowsInfo; }
    void setShowsPositionInfo(bool shows) { mShowsInfo = shows; }
    VKInfoFloater *infoFloater() const { return mInfoWin.get(); }

    bool performDrop(const QMimeData *data, QPointF position, bool fromSelf) override;

    // The steps of a press on the bar, for hosts that replay them.
    void mouseDownAt(QPointF point);
    void mouseDraggedTo(QPointF point, Qt::KeyboardModifiers modifiers);
    void mouseUpAt(QPointF point);
    // Whether a stop is being dragged (its changes are reported again when it is let go).
    bool isTracking() const { return mDragStopRef != nullptr; }

signals:
    void trackingFinished();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void drawStop(QPainter &painter, const VRColorStopRef &stop, const QRectF &box,
                  int state) const;
    bool setCursorInSafeLocation(QPointF point);
    QCursor cursorForDeletingStop(const VRColorStopRef &stop);
    QImage dragImageForStop(const VRColorStopRef &stop) const;
    void updateInfoWithPosition(double position);
    void externalStopChange();
    void observeGradient();
    void popUpPickerForStop(const VRColorStopRef &stop, const QPoint &globalPoint);

    VRColorStopRef mDragStopRef;
    VRColorStopRef mSelectedStopRef;
    VRColorStopRef mDeletionCandidateRef;
    std::unique_ptr<VKInfoFloater> mInfoWin;
    QList<VRColorStopRef> mUnsortedStops;
    QList<QRectF> mSBArray;
    bool m_boxesValid = false;
    QPointF mStopInsertHint;
    bool mStopWasDragged = false;
    bool mMouseDownInStop = false;
    bool mShowsInfo = true;
    bool m_pressedOutsideStops = false;
    std::vector<NotificationToken> m_tokens;
    NotificationToken m_wellToken;
};
