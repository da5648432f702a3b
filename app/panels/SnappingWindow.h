#pragma once

#include <QPoint>
#include <QWidget>

// A borderless window the user drags by its body, which snaps to the edges of the screen's
// usable area when let go near them (Alt held: no snapping).
class SnappingWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SnappingWindow(QWidget *parent = nullptr);

    bool snapsToEdges() const;
    void setSnapsToEdges(bool snaps);
    double snapTolerance() const;
    void setSnapTolerance(double tolerance);
    double padding() const;
    void setPadding(double padding);

    // Where a window with this frame snaps within the area, in screen coordinates (y down):
    // near the bottom edge, then the left, then the right, then the top, each within the
    // tolerance, the window moves to the edge less the padding.
    static QPoint snappedOrigin(const QRect &frame, const QRect &area, double tolerance,
                                double padding);

    // Snaps now, unless snapping is off, Alt is held or a snap is under way.
    void windowMoved();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    bool snapsToEdgesFlag = true;
    double snapToleranceValue = 50.0;
    bool snapping = false;
    QPoint dragStartLocation;
    double paddingValue = 0.0;
};
