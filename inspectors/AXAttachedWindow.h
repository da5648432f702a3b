#pragma once

#include <QColor>
#include <QParallelAnimationGroup>
#include <QPainterPath>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QRegion>
#include <QString>
#include <QWidget>

#include <functional>

// Posted with the window as object when a popover closes itself.
extern const QString kQXPopoverDidCloseNotification;

// A borderless top-level bubble with an arrow whose tip points at a point on screen (the attach
// point). It carries one content view, and optionally a second one that can slide in over it. It
// chooses its side when asked to, can be dragged by its
// background with the arrow stretching to keep pointing at the attach point, has an arrowless
// mode, and as a popover closes itself when it stops being the active window.
//
// Points and rectangles are in AXScreen geometry (y up, bottom-left origins); the window's own
// coordinates (content frame, bubble path, arrow tip) are y up from its bottom-left corner.
class AXAttachedWindow : public QWidget
{
    Q_OBJECT
public:
    // Sides: where the bubble lies relative to the attach point.
    static constexpr int kLeft = 0;
    static constexpr int kBelow = 1;
    static constexpr int kRight = 2;
    static constexpr int kAbove = 3;
    static constexpr int kAutomatic = 12;
    enum class Family { Left, Below, Right, Above, None };
    static Family familyOfSide(int side);

    // The window around the view; null when there is no view. With a parent window the point
    // is in that window's coordinates (Qt's, y down), else on screen. Side 12 picks the best.
    static AXAttachedWindow *create(QWidget *view, QPointF point, QWidget *inWindow, int side,
                                    double distance);
    static AXAttachedWindow *create(QWidget *view, QPointF point, int side, double distance)
    {
        return create(view, point, nullptr, side, distance);
    }
    ~AXAttachedWindow() override;

    // Look. The colours are kept as copies.
    QColor windowBackgroundColor() const { return _MABackgroundColor; }
    void setBackgroundColor(const QColor &colour);
    QColor borderColor() const { return m_borderColor; }
    void setBorderColor(const QColor &colour);
    double borderWidth() const { return m_borderWidth; }
    void setBorderWidth(double width);
    double viewMargin() const { return m_viewMargin; }
    void setViewMargin(double margin);
    double arrowBaseWidth() const { return m_arrowBaseWidth; }
    void setArrowBaseWidth(double width);
    double arrowHeight() const { return m_arrowHeight; }
    void setArrowHeight(double height);
    // Exchanged as numbers: 1.0 on, 0.0 off (truncated when set).
    double hasArrow() const { return m_hasArrow ? 1.0 : 0.0; }
    void setHasArrow(double flag);
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius);
    double drawsRoundCornerBesideArrow() const { return m_drawsRoundCornerBesideArrow ? 1.0 : 0.0; }
    void setDrawsRoundCornerBesideArrow(double flag);
    // Fills the bubble with the picture tiled; a null picture is ignored.
    void setBackgroundImage(const QImage &image);

    // The standard look of the inspectors' attached toolbars (white rim, half-black fill,
    // margin 1, radius 5, arrow base 10) with the given arrow height.
    void setAttachedToolbarLook(double arrowHeight = 10.0);

    QPointF point() const { return _point; }
    int side() const { return _side; }
    double distance() const { return _distance; }
    // New attach point and side; geometry and bubble are recomputed in one step.
    void setPoint(QPointF point, int side);

    // Popover behaviour: close as a popover when the window stops being active.
    void setCloseOnResignKeyWindow(bool close) { releaseOnResign = close; }
    bool closesOnResignKeyWindow() const { return releaseOnResign; }
    // Closes the window once: hides it, posts QXPopoverDidClose and deletes it later.
    void closePopover();
    bool isReleased() const { return released; }
    // Whether the window closed because another window took the focus from it.
    bool closedOnLosingFocus() const { return m_closedOnLosingFocus; }

    bool isArrowlessMode() const { return _isArrowlessMode; }
    void setIsArrowlessMode(bool arrowless) { _isArrowlessMode = arrowless; }
    bool isSimpleReposition() const { return _isSimpleReposition; }
    void setIsSimpleReposition(bool simple) { _isSimpleReposition = simple; }

    // A drag by program: where it starts and where the pointer is now (screen points).
    void prepareMovingFromPoint(QPointF point);
    void moveToPoint(QPointF point);

    // A rectangle kept for the owner; the window's geometry does not use it.
    void setHostBounds(const QRectF &bounds) { hostBounds = bounds; }
    QRectF hostBoundsRect() const { return hostBounds; }

    // The second content view, laid out in the same frame as the first and hidden until slid in.
    // Set once: a later call while one is set does nothing.
    void setSubView2(QWidget *view);
    QWidget *subView2() const { return _view2; }
    // What the first view did in a slide that has ended.
    enum class FirstViewEffect { FadeOut, FadeIn };
    using SlideDidEnd = std::function<void(FirstViewEffect)>;
    // Half a second, easing in: the first view fades out while the second slides in from one
    // width to the right (slideToView2), or fades back in while the second slides out to the
    // right (slideToView1). The callback runs when the slide ends; a slide that is running is
    // finished first.
    void slideToView2(SlideDidEnd didEnd = {});
    void slideToView1(SlideDidEnd didEnd = {});
    bool isSliding() const { return m_slide != nullptr; }
    // Ends a running slide at once: the views take their end places and the callback runs.
    void finishSlide();
    // Moves the window and its attach point together (the arrow keeps its length).
    void moveWithAttachPoint(QPointF delta);

    // Recomputes geometry and bubble unless already doing so.
    void redisplay();
    // Deferred redisplay on the next turn of the event loop.
    void redisplayLater();

    // The window's frame on screen and the content frame inside it.
    QRectF frame() const { return m_frame; }
    QRectF viewFrame() const { return _viewFrame; }
    QWidget *contentView() const { return _view; }
    // The arrow's tip on screen, as last drawn (the attach point once drawn).
    QPointF arrowTipOnScreen() const;
    // The bubble outline in window coordinates.
    QPainterPath backgroundPath() const;
    // The shape the window is cut to (Qt's coordinates): the bubble, with a half-pixel rim for
    // the antialiased edge where the window's pixels are blended; exactly the bubble where
    // they are not, so no unblended pixel around it shows.
    QRegion windowMask(bool translucency) const;
    // Whether the window blends its pixels with what lies beneath (decided when it is made).
    bool isTranslucent() const { return m_translucent; }
    int bestSideForAutomaticPosition() const;
    double arrowInset() const;

    // Makes the window a child window of a document window: it stays above it and goes with it.
    void addToParentWindow(QWidget *parentWindow);
    // Shows the window above its parent; with makeKey it also takes the keyboard focus.
    void orderFront(bool makeKey);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    AXAttachedWindow(QWidget *view, QPointF point, QWidget *inWindow, int side, double distance);
    void updateWindowGeometry();
    void updateBackground();
    void appendArrowToPath(QPainterPath &path) const;
    QPointF attachPointOnScreen() const;
    QSizeF contentSize() const;
    void applyFrame();
    QRect viewGeometry() const;
    void slide(bool toView2, SlideDidEnd didEnd);

    QColor m_borderColor = Qt::white;
    double m_borderWidth = 2.0;
    double m_viewMargin = 2.0;
    double m_arrowBaseWidth = 20.0;
    double m_arrowHeight = 16.0;
    bool m_hasArrow = true;
    double m_cornerRadius = 8.0;
    bool m_drawsRoundCornerBesideArrow = true;
    QColor _MABackgroundColor;
    QImage m_backgroundImage;
    QPointer<QWidget> _view;
    QPointer<QWidget> _view2;
    QPointer<QWidget> _window;
    QPointF _point;
    int _side = kAutomatic;
    double _distance = 0.0;
    QRectF _viewFrame;
    QRectF m_frame;
    bool _resizing = false;
    QPointF initialLocation;
    QPointF currentOriginLocation;
    mutable QPointF savedTipPt;
    QRectF hostBounds;
    bool releaseOnResign = false;
    bool released = false;
    bool m_closedOnLosingFocus = false;
    bool _isArrowlessMode = false;
    bool _isSimpleReposition = false;
    bool m_translucent = true;
    QPointer<QParallelAnimationGroup> m_slide;
};
