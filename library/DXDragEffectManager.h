#pragma once

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>

class QLabel;
class QPropertyAnimation;
class QVariantAnimation;
class QWidget;

// The floating window that follows the pointer during a shape drag: the inside picture while
// the pointer is over the palette, the outside picture elsewhere. It fades in and out and,
// when the drop is refused, slides back to where the drag started.
class DXDragEffectManager : public QObject
{
    Q_OBJECT
public:
    static DXDragEffectManager &sharedDragEffectManager();

    void startDragShowFromSourceScreenRect(const QRect &sourceRect, QPoint startingAtPoint,
                                           QSize offset, const QImage &insideImage,
                                           const QImage &outsideImage, bool slideBack);
    // Follows the pointer.
    void updatePosition();
    void updatePosition(QPoint globalPoint);
    void endDragShowWithResult(Qt::DropAction operation);

    QWidget *window() const { return m_window; }
    bool isShowingInsideImage() const;
    double alphaValue() const { return m_alpha; }
    bool slideBack() const { return _slideBack; }
    QPoint startPoint() const { return _startPoint; }
    // Where the window's centre is, or is animating to.
    QPoint targetCentre() const { return m_targetCentre; }

    // 1 = the real durations; 0 = no animation (tests).
    static void setAnimationScale(double scale);

private:
    DXDragEffectManager();
    void centerWindowOverPoint(QPoint point, QSize offset, bool animate);
    void animateAlpha(double to, double seconds);
    void setAlpha(double alpha);
    void animationDidStop(bool finished);
    void orderOutAndCleanUp();
    void swapTo(QLabel *show, QLabel *hide);

    QPointer<QWidget> m_window;
    QLabel *_imageViewA = nullptr;
    QLabel *_imageViewB = nullptr;
    QPointer<QVariantAnimation> m_alphaAnimation;
    QPointer<QPropertyAnimation> m_moveAnimation;
    QRect _sourceRect;
    QPoint _startPoint;
    QSize _offset;
    QSize _insideImageSize;
    QSize _outsideImageSize;
    QPoint m_targetCentre;
    double m_alpha = 0.0;
    bool _slideBack = false;
};
