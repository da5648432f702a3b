#pragma once

#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QWidget>

class QVariantAnimation;

// The puff of smoke that marks an item dragged away or deleted: a small borderless window over
// everything at a screen point that plays a few frames of a cloud growing and fading, then goes
// away by itself. It takes no input and never becomes active.
class DisappearingItemAnimation : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kFrameCount = 5;
    static constexpr int kDurationMs = 300;
    static QSize defaultSize() { return {48, 48}; }

    // Plays the animation centred on a point in global (screen) coordinates. The window deletes
    // itself when it is over, or goes with the owner (the control the item left) before.
    static DisappearingItemAnimation *showCentredAt(QWidget *owner, QPoint globalCentre,
                                                    QSize size = defaultSize());
    // One frame of the cloud, from 0 (full, small) to kFrameCount - 1 (faint, wide).
    static QImage frameImage(int frame, QSize size);
    // The first frame at cursor size: the picture of a cursor that deletes what it drags.
    static QImage cursorImage();

    int frame() const { return m_frame; }
    // Ends at once, as the last frame does.
    void finish();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    DisappearingItemAnimation(QWidget *owner, QPoint globalCentre, QSize size);
    void showFrame(int frame);

    int m_frame = 0;
    bool m_masked = false;
    QPointer<QVariantAnimation> m_animation;
};
