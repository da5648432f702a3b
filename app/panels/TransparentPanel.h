#pragma once

#include <QPoint>
#include <QWidget>

// A borderless, translucent floating panel that the user drags by its body; it never rises
// above the top of the screen's work area. The info panel is one.
class TransparentPanel : public QWidget
{
    Q_OBJECT
public:
    explicit TransparentPanel(QWidget *parent = nullptr);

    QPoint initialLocation() const { return m_initialLocation; }
    // Repaints while visible.
    void redisplay();
    // Where a drag to the global mouse position puts the panel's origin, kept below the top
    // of the work area.
    static QPoint draggedOrigin(const QPoint &globalMouse, const QPoint &initialLocation,
                                const QSize &panelSize, const QRect &workArea);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QPoint m_initialLocation;
};
