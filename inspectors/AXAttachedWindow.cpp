#include "inspectors/AXAttachedWindow.h"

#include "inspectors/AXScreen.h"
#include "platform/DelayedPerform.h"
#include "platform/NotificationCenter.h"
#include "platform/WindowTranslucency.h"

#include <QCursor>
#include <QEasingCurve>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QMouseEvent>
#include <QPainter>
#include <QParallelAnimationGroup>
#include <QPolygonF>
#include <QPropertyAnimation>
#include <QRegion>

#include <algorithm>
#include <cmath>

const QString kQXPopoverDidCloseNotification = QStringLiteral("QXPopoverDidClose");

namespace {
// Control-point factor of a quarter circle drawn as one cubic curve.
constexpr double kQuarterArc = 0.5522847498;

// A rounded corner from the path's current point (r before the corner on the incoming edge)
// to `to` (r after it on the outgoing edge), tangent to both edges.
void appendCornerArc(QPainterPath &path, QPointF corner, QPointF to)
{
    const QPointF from = path.currentPosition();
    path.cubicTo(from + (corner - from) * kQuarterArc, to + (corner - to) * kQuarterArc, to);
}
} // namespace

AXAttachedWindow::Family AXAttachedWindow::familyOfSide(int side)
{
    switch (side) {
    case 0:
    case 4:
    case 5: return Family::Left;
    case 1:
    case 10:
    case 11: return Family::Below;
    case 2:
    case 6:
    case 7: return Family::Right;
    case 3:
    case 8:
    case 9: return Family::Above;
    default: return Family::None;
    }
}

AXAttachedWindow *AXAttachedWindow::create(QWidget *view, QPointF point, QWidget *inWindow,
                                           int side, double distance)
{
    if (!view)
        return nullptr;
    return new AXAttachedWindow(view, point, inWindow, side, distance);
}

AXAttachedWindow::AXAttachedWindow(QWidget *view, QPointF point, QWidget *inWindow, int side,
                                   double distance)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint)
    , _MABackgroundColor(QColor::fromRgbF(0.1f, 0.1f, 0.1f, 0.75f))
    , _view(view)
    , _window(inWindow)
    , _point(point)
    , _side(side)
    , _distance(distance)
    , m_translucent(WindowTranslucency::isAvailable())
{
    // Without blending, an alpha-carrying window shows its transparent pixels as black: such a
    // window is opaque, cut to the bubble and painted in opaque colours.
    setAttribute(Qt::WA_TranslucentBackground, m_translucent);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowOpacity(1.0);
    if (view->size().isEmpty())
        view->resize(view->sizeHint());
    _viewFrame = QRectF(QPointF(0, 0), QSizeF(view->size()));
    if (_side == kAutomatic)
        _side = bestSideForAutomaticPosition();
    updateWindowGeometry();
    updateBackground();
    view->setParent(this);
    view->show();
}

AXAttachedWindow::~AXAttachedWindow() = default;

QSizeF AXAttachedWindow::contentSize() const
{
    return _view ? QSizeF(_view->size()) : _viewFrame.size();
}

QPointF AXAttachedWindow::attachPointOnScreen() const
{
    if (_window)
        return AXScreen::fromGlobal(QPointF(_window->mapToGlobal(_point.toPoint())));
    return _point;
}

double AXAttachedWindow::arrowInset() const
{
    return m_arrowBaseWidth / 2.0 + (m_drawsRoundCornerBesideArrow ? m_cornerRadius : 0.0);
}

int AXAttachedWindow::bestSideForAutomaticPosition() const
{
    const QPointF p = attachPointOnScreen();
    const QRectF s = AXScreen::visibleFrameForPoint(p);
    const QSizeF content = contentSize();
    const double w = content.width() + 2 * m_viewMargin;
    const double h = content.height() + 2 * m_viewMargin;
    const double a = m_arrowHeight + _distance;
    const double i = arrowInset();
    const QRectF f = _window ? AXScreen::fromGlobal(QRectF(_window->window()->frameGeometry())) : s;
    int side = kBelow;
    if (p.y() - h - a >= s.top())
        side = kBelow;
    else if (p.x() + w + a < s.right())
        side = kRight;
    else if (p.x() - w - a >= s.left())
        side = kLeft;
    else if (p.y() + h + a < s.bottom())
        side = kAbove;
    // QRectF's top() is the smaller y: with y up that is the bottom edge, bottom() the top.
    const double sMinY = s.top(), sMaxY = s.bottom(), sMinX = s.left(), sMaxX = s.right();
    const double fMinY = f.top(), fMaxY = f.bottom(), fMinX = f.left(), fMaxX = f.right();
    if (side == kLeft || side == kRight) {
        if (fMinY > p.y() - h / 2 && p.y() + h - i < sMaxY)
            return side == kLeft ? 4 : 6;
        if (fMinY <= p.y() - h / 2 && p.y() + h / 2 >= fMaxY && p.y() - h + i >= sMinY)
            return side == kLeft ? 5 : 7;
        return side;
    }
    if (fMinX > p.x() - w / 2 && p.x() + w - i < sMaxX)
        return side == kBelow ? 11 : 9;
    if (fMinX <= p.x() - w / 2 && p.x() + w / 2 >= fMaxX && p.x() - w + i >= sMinX)
        return side == kBelow ? 10 : 8;
    return side;
}

void AXAttachedWindow::updateWindowGeometry()
{
    const QSizeF content = contentSize();
    const double w = content.width(), h = content.height();
    const double m = m_viewMargin, a = m_arrowHeight, d = _distance;
    _viewFrame = QRectF(m, m, w, h);
    double width = w + 2 * m, height = h + 2 * m;
    const Family family = familyOfSide(_side);
    switch (family) {
    case Family::Left: width += a; break;
    case Family::Below: height += a; break;
    case Family::Right:
        _viewFrame.moveLeft(_viewFrame.x() + a);
        width += a;
        break;
    case Family::Above:
        _viewFrame.moveTop(_viewFrame.y() + a);
        height += a;
        break;
    case Family::None: break;
    }
    const QPointF p = attachPointOnScreen();
    const double i = arrowInset();
    QPointF origin;
    switch (_side) {
    case 0: origin = {p.x() - width, p.y() - height / 2}; break;
    case 1: origin = {p.x() - width / 2, p.y() - height}; break;
    case 2: origin = {p.x(), p.y() - height / 2}; break;
    case 3: origin = {p.x() - width / 2, p.y()}; break;
    case 4: origin = {p.x() - width, p.y() - i}; break;
    case 5: origin = {p.x() - width, p.y() - (height - i)}; break;
    case 6: origin = {p.x(), p.y() - i}; break;
    case 7: origin = {p.x(), p.y() - (height - i)}; break;
    case 8: origin = {p.x() - (width - i), p.y()}; break;
    case 9: origin = {p.x() - i, p.y()}; break;
    case 10: origin = {p.x() - (width - i), p.y() - height}; break;
    case 11: origin = {p.x() - i, p.y() - height}; break;
    default: origin = p; break;
    }
    if (!_isArrowlessMode && !currentOriginLocation.isNull())
        origin = currentOriginLocation;
    switch (family) {
    case Family::Left: origin.rx() -= d; break;
    case Family::Below: origin.ry() -= d; break;
    case Family::Right: origin.rx() += d; break;
    case Family::Above: origin.ry() += d; break;
    case Family::None: break;
    }
    if (!_isArrowlessMode) {
        if (origin.x() > p.x()) {
            const double grow = origin.x() - p.x();
            _viewFrame.moveLeft(_viewFrame.x() + grow);
            width += grow;
            origin.setX(p.x());
        } else if (p.x() > origin.x() + width) {
            width += p.x() - (origin.x() + width);
        }
    }
    m_frame = QRectF(origin, QSizeF(width, height));
    applyFrame();
}

void AXAttachedWindow::applyFrame()
{
    // Windows sit on whole pixels: the frame is rounded once, so the bubble, the arrow tip
    // and the real window agree.
    const QPointF origin(std::round(m_frame.x()), std::round(m_frame.y()));
    const QSizeF size(std::ceil(m_frame.width() - 1e-9), std::ceil(m_frame.height() - 1e-9));
    m_frame = QRectF(origin, size);
    setGeometry(AXScreen::toGlobal(m_frame).toRect());
    if (_view)
        _view->setGeometry(viewGeometry());
    // While a slide runs the animation places the second view.
    if (_view2 && !m_slide)
        _view2->setGeometry(viewGeometry());
}

QRect AXAttachedWindow::viewGeometry() const
{
    const QRectF v = _viewFrame;
    return QRectF(v.x(), m_frame.height() - v.y() - v.height(), v.width(), v.height()).toRect();
}

void AXAttachedWindow::setSubView2(QWidget *view)
{
    if (_view2 || !view)
        return;
    _view2 = view;
    view->setParent(this);
    view->setGeometry(viewGeometry());
    view->hide();
}

void AXAttachedWindow::slideToView2(SlideDidEnd didEnd)
{
    slide(true, std::move(didEnd));
}

void AXAttachedWindow::slideToView1(SlideDidEnd didEnd)
{
    slide(false, std::move(didEnd));
}

void AXAttachedWindow::slide(bool toView2, SlideDidEnd didEnd)
{
    if (!_view || !_view2)
        return;
    finishSlide();
    const QRect frame = viewGeometry();
    auto *fade = qobject_cast<QGraphicsOpacityEffect *>(_view->graphicsEffect());
    if (!fade) {
        // Without an effect the first view is fully shown.
        fade = new QGraphicsOpacityEffect(_view);
        fade->setOpacity(1.0);
        _view->setGraphicsEffect(fade);
    }
    auto *group = new QParallelAnimationGroup(this);
    auto *fading = new QPropertyAnimation(fade, "opacity", group);
    fading->setDuration(500);
    fading->setEasingCurve(QEasingCurve::InQuad);
    fading->setEndValue(toView2 ? 0.0 : 1.0);
    auto *sliding = new QPropertyAnimation(_view2, "geometry", group);
    sliding->setDuration(500);
    sliding->setEasingCurve(QEasingCurve::InQuad);
    if (toView2) {
        _view2->setGeometry(frame.translated(frame.width(), 0));
        _view2->show();
        _view2->raise();
        sliding->setEndValue(frame);
    } else {
        const QRect current = _view2->geometry();
        sliding->setStartValue(current);
        sliding->setEndValue(current.translated(current.width(), 0));
    }
    m_slide = group;
    const FirstViewEffect effect = toView2 ? FirstViewEffect::FadeOut : FirstViewEffect::FadeIn;
    connect(group, &QAbstractAnimation::finished, this, [this, group, effect, didEnd] {
        if (m_slide == group)
            m_slide = nullptr;
        group->deleteLater();
        // Back on the first view: it draws without the effect again, and the second view,
        // slid out, is hidden so that a later layout cannot put it back over the first.
        if (effect == FirstViewEffect::FadeIn) {
            if (_view)
                _view->setGraphicsEffect(nullptr);
            if (_view2)
                _view2->hide();
        }
        if (didEnd)
            didEnd(effect);
    });
    group->start();
}

void AXAttachedWindow::finishSlide()
{
    if (!m_slide)
        return;
    QParallelAnimationGroup *group = m_slide;
    m_slide = nullptr;
    // Running to its end finishes the animation, which runs the callback.
    group->setCurrentTime(group->totalDuration());
    if (group->state() != QAbstractAnimation::Stopped)
        group->stop();
}

void AXAttachedWindow::moveWithAttachPoint(QPointF delta)
{
    if (delta.isNull())
        return;
    if (!_window)
        _point += delta;
    if (!currentOriginLocation.isNull())
        currentOriginLocation += delta;
    setUpdatesEnabled(false);
    updateWindowGeometry();
    updateBackground();
    setUpdatesEnabled(true);
}

QPainterPath AXAttachedWindow::backgroundPath() const
{
    QPainterPath path;
    const QRectF r = _viewFrame.adjusted(-m_viewMargin, -m_viewMargin, m_viewMargin, m_viewMargin);
    // With y up, QRectF's top() is the bottom edge and bottom() the top edge.
    const double left = std::ceil(r.left() + 0.5);
    const double right = std::floor(r.right() - 0.5);
    const double bottom = std::ceil(r.top() + 0.5);
    const double top = std::floor(r.bottom() - 0.5);
    const double midX = r.left() + r.width() / 2;
    const double midY = r.top() + r.height() / 2;
    const double rad = m_cornerRadius;
    const double b = m_arrowBaseWidth;
    const int s = _side;
    const bool roundBeside = m_drawsRoundCornerBesideArrow;
    const bool topLeft = rad > 0 && (roundBeside || (s != 7 && s != 11));
    const bool topRight = rad > 0 && (roundBeside || (s != 5 && s != 10));
    const bool bottomRight = rad > 0 && (roundBeside || (s != 4 && s != 8));
    const bool bottomLeft = rad > 0 && (roundBeside || (s != 6 && s != 9));

    path.moveTo(topLeft ? QPointF(left + rad, top) : QPointF(left, top));
    // Top edge, rightwards.
    const double topEnd = topRight ? right - rad : right;
    if (s == 11) {
        appendArrowToPath(path);
    } else if (s == 1) {
        path.lineTo(midX - b / 2, top);
        appendArrowToPath(path);
    } else if (s == 10) {
        path.lineTo(topEnd - b, top);
        appendArrowToPath(path);
    }
    path.lineTo(topEnd, top);
    if (topRight)
        appendCornerArc(path, {right, top}, {right, top - rad});
    // Right edge, downwards.
    const double rightEnd = bottomRight ? bottom + rad : bottom;
    if (s == 5) {
        appendArrowToPath(path);
    } else if (s == 0) {
        path.lineTo(right, midY + b / 2);
        appendArrowToPath(path);
    } else if (s == 4) {
        path.lineTo(right, rightEnd + b);
        appendArrowToPath(path);
    }
    path.lineTo(right, rightEnd);
    if (bottomRight)
        appendCornerArc(path, {right, bottom}, {right - rad, bottom});
    // Bottom edge, leftwards.
    const double bottomEnd = bottomLeft ? left + rad : left;
    if (s == 8) {
        appendArrowToPath(path);
    } else if (s == 3) {
        path.lineTo(midX + b / 2, bottom);
        appendArrowToPath(path);
    } else if (s == 9) {
        path.lineTo(bottomEnd + b, bottom);
        appendArrowToPath(path);
    }
    path.lineTo(bottomEnd, bottom);
    if (bottomLeft)
        appendCornerArc(path, {left, bottom}, {left, bottom + rad});
    // Left edge, upwards.
    const double leftEnd = topLeft ? top - rad : top;
    if (s == 6) {
        appendArrowToPath(path);
    } else if (s == 2) {
        path.lineTo(left, midY - b / 2);
        appendArrowToPath(path);
    } else if (s == 7) {
        path.lineTo(left, leftEnd - b);
        appendArrowToPath(path);
    }
    path.lineTo(left, leftEnd);
    if (topLeft)
        appendCornerArc(path, {left, top}, {left + rad, top});
    path.closeSubpath();
    return path;
}

void AXAttachedWindow::appendArrowToPath(QPainterPath &path) const
{
    if (!m_hasArrow || _isArrowlessMode)
        return;
    const QPointF c = path.currentPosition();
    const double b = m_arrowBaseWidth, a = m_arrowHeight;
    QPointF tip, end;
    switch (familyOfSide(_side)) {
    case Family::Left:
        tip = {c.x() + a, c.y() - b / 2};
        end = {c.x(), c.y() - b};
        break;
    case Family::Below:
        tip = {c.x() + b / 2, c.y() + a};
        end = {c.x() + b, c.y()};
        break;
    case Family::Right:
        tip = {c.x() - a, c.y() + b / 2};
        end = {c.x(), c.y() + b};
        break;
    case Family::Above:
        tip = {c.x() - b / 2, c.y() - a};
        end = {c.x() - b, c.y()};
        break;
    case Family::None: return;
    }
    if (savedTipPt.isNull()) {
        savedTipPt = tip;
    } else {
        const QPointF attach = attachPointOnScreen() - m_frame.topLeft();
        if (!attach.isNull())
            savedTipPt = attach;
    }
    path.lineTo(savedTipPt);
    path.lineTo(end);
}

QPointF AXAttachedWindow::arrowTipOnScreen() const
{
    return m_frame.topLeft() + savedTipPt;
}

QRegion AXAttachedWindow::windowMask(bool translucency) const
{
    const QTransform flip(1, 0, 0, -1, 0, m_frame.height());
    QPainterPath outline = flip.map(backgroundPath());
    if (translucency) {
        QPainterPathStroker stroker;
        stroker.setWidth(1.0);
        outline = outline.united(stroker.createStroke(outline));
    }
    return QRegion(outline.toFillPolygon().toPolygon(), Qt::WindingFill);
}

void AXAttachedWindow::updateBackground()
{
    // The window shows only the bubble, also where no compositor blends transparent pixels.
    setMask(windowMask(m_translucent));
    update();
}

void AXAttachedWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool rim = m_borderWidth > 0;
    QColor fill = _MABackgroundColor;
    QColor border = m_borderColor;
    if (!m_translucent) {
        fill = WindowTranslucency::opaqueOverLight(fill);
        border = WindowTranslucency::opaqueOverLight(border);
    }
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // Unblended, the pixels the bubble's edge only partly covers take the rim's colour.
    painter.fillRect(rect(), m_translucent ? QColor(Qt::transparent) : (rim ? border : fill));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setTransform(QTransform(1, 0, 0, -1, 0, m_frame.height()));
    const QPainterPath path = backgroundPath();
    painter.setClipPath(path);
    if (!m_backgroundImage.isNull()) {
        if (!m_translucent)
            painter.fillPath(path, fill);
        painter.fillPath(path, QBrush(m_backgroundImage));
    } else {
        painter.fillPath(path, fill);
    }
    if (rim) {
        QPen pen(border, 2 * m_borderWidth);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.strokePath(path, pen);
    }
}

void AXAttachedWindow::redisplay()
{
    if (_resizing)
        return;
    _resizing = true;
    setUpdatesEnabled(false);
    updateWindowGeometry();
    updateBackground();
    setUpdatesEnabled(true);
    _resizing = false;
}

void AXAttachedWindow::redisplayLater()
{
    DelayedPerform::performLater(this, [this] { redisplay(); });
}

void AXAttachedWindow::setPoint(QPointF point, int side)
{
    _point = point;
    _side = side;
    setUpdatesEnabled(false);
    updateWindowGeometry();
    updateBackground();
    setUpdatesEnabled(true);
}

void AXAttachedWindow::setBackgroundColor(const QColor &colour)
{
    if (colour == _MABackgroundColor && m_backgroundImage.isNull())
        return;
    _MABackgroundColor = colour;
    m_backgroundImage = QImage();
    updateBackground();
}

void AXAttachedWindow::setBackgroundImage(const QImage &image)
{
    if (image.isNull())
        return;
    m_backgroundImage = image;
    updateBackground();
}

void AXAttachedWindow::setBorderColor(const QColor &colour)
{
    if (colour == m_borderColor)
        return;
    m_borderColor = colour;
    updateBackground();
}

void AXAttachedWindow::setBorderWidth(double width)
{
    if (width == m_borderWidth)
        return;
    m_borderWidth = std::min(width, m_viewMargin);
    updateBackground();
}

void AXAttachedWindow::setViewMargin(double margin)
{
    if (margin == m_viewMargin)
        return;
    m_viewMargin = std::max(0.0, margin);
    setCornerRadius(m_cornerRadius);
}

void AXAttachedWindow::setCornerRadius(double radius)
{
    const QSizeF content = _viewFrame.size();
    const double limit =
        (2 * m_viewMargin + std::min(content.width(), content.height()) - m_arrowBaseWidth) / 2;
    m_cornerRadius = std::max(0.0, std::min(radius, limit));
    setArrowBaseWidth(m_arrowBaseWidth);
}

void AXAttachedWindow::setArrowBaseWidth(double width)
{
    const QSizeF content = _viewFrame.size();
    double limit = 2 * m_viewMargin + std::min(content.width(), content.height()) - m_cornerRadius;
    if (m_drawsRoundCornerBesideArrow)
        limit -= m_cornerRadius;
    m_arrowBaseWidth = std::max(0.0, std::min(width, limit));
    redisplay();
}

void AXAttachedWindow::setArrowHeight(double height)
{
    if (height == m_arrowHeight)
        return;
    m_arrowHeight = height;
    redisplay();
}

void AXAttachedWindow::setHasArrow(double flag)
{
    const bool on = static_cast<int>(flag) != 0;
    if (on == m_hasArrow)
        return;
    m_hasArrow = on;
    updateBackground();
}

void AXAttachedWindow::setDrawsRoundCornerBesideArrow(double flag)
{
    const bool on = static_cast<int>(flag) != 0;
    if (on == m_drawsRoundCornerBesideArrow)
        return;
    m_drawsRoundCornerBesideArrow = on;
    redisplay();
}

void AXAttachedWindow::setAttachedToolbarLook(double arrowHeight)
{
    setBorderColor(Qt::white);
    setBackgroundColor(QColor::fromRgbF(0, 0, 0, 0.5f));
    setViewMargin(1.0);
    setBorderWidth(1.0);
    setCornerRadius(5.0);
    setHasArrow(1.0);
    setDrawsRoundCornerBesideArrow(1.0);
    setArrowBaseWidth(10.0);
    setArrowHeight(arrowHeight);
}

void AXAttachedWindow::closePopover()
{
    if (released)
        return;
    released = true;
    hide();
    NotificationCenter::defaultCenter().post(kQXPopoverDidCloseNotification, this);
    deleteLater();
}

void AXAttachedWindow::prepareMovingFromPoint(QPointF point)
{
    initialLocation = point - m_frame.topLeft();
    if (_isArrowlessMode)
        return;
    const Family family = familyOfSide(_side);
    if (family == Family::Right)
        initialLocation.rx() -= m_arrowHeight;
    else if (family == Family::Above)
        initialLocation.ry() -= m_arrowHeight;
}

void AXAttachedWindow::moveToPoint(QPointF point)
{
    QPointF o = point - initialLocation;
    if (_isArrowlessMode) {
        const QRectF screen = AXScreen::frameForPoint(_point);
        const QRectF visible = AXScreen::visibleFrameForPoint(_point);
        // The highest a window may reach: the top of the screen less its top panel.
        const double topLimit = screen.bottom() - (screen.bottom() - visible.bottom());
        if (o.y() + m_frame.height() > topLimit)
            o.setY(topLimit - m_frame.height());
        if (_isSimpleReposition)
            _point += o - m_frame.topLeft();
        m_frame.moveTopLeft(o);
        applyFrame();
        return;
    }
    const QSizeF content = contentSize();
    const double w = content.width(), h = content.height();
    const QPointF p = _point;
    if (o.y() + h > p.y())
        _side = kAbove;
    if (p.y() > o.y())
        _side = kBelow;
    if (o.x() > p.x() && o.y() <= p.y() && p.y() <= o.y() + h)
        _side = kRight;
    if (p.x() > o.x() + w && o.y() <= p.y() && p.y() <= o.y() + h)
        _side = kLeft;
    m_hasArrow = false;
    const auto recompute = [this] {
        setUpdatesEnabled(false);
        updateWindowGeometry();
        updateBackground();
        setUpdatesEnabled(true);
    };
    const Family family = familyOfSide(_side);
    if ((family == Family::Left && p.x() > o.x() + w)
        || (family == Family::Right && o.x() > p.x())) {
        currentOriginLocation = o;
        if (p.x() > o.x() + w) {
            m_arrowHeight = p.x() - (o.x() + w);
        } else {
            currentOriginLocation.setX(p.x());
            m_arrowHeight = o.x() - p.x();
        }
        m_hasArrow = true;
        recompute();
    }
    if ((family == Family::Below && p.y() > o.y() + h)
        || (family == Family::Above && o.y() > p.y())) {
        currentOriginLocation = o;
        if (p.y() > o.y() + h) {
            m_arrowHeight = p.y() - (o.y() + h);
        } else {
            currentOriginLocation.setY(p.y());
            m_arrowHeight = o.y() - p.y();
        }
        m_hasArrow = true;
        recompute();
    }
    if (!m_hasArrow) {
        currentOriginLocation = o;
        m_arrowHeight = 0;
        recompute();
    }
}

void AXAttachedWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        prepareMovingFromPoint(AXScreen::fromGlobal(event->globalPosition()));
    event->accept();
}

void AXAttachedWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        moveToPoint(AXScreen::fromGlobal(QPointF(QCursor::pos())));
    event->accept();
}

bool AXAttachedWindow::event(QEvent *event)
{
    if (event->type() == QEvent::WindowDeactivate && releaseOnResign && !released) {
        m_closedOnLosingFocus = true;
        closePopover();
    }
    if (event->type() == QEvent::LayoutRequest && _view && !_resizing)
        redisplayLater();
    return QWidget::event(event);
}

void AXAttachedWindow::addToParentWindow(QWidget *parentWindow)
{
    if (!parentWindow)
        return;
    const QRect geometry = this->geometry();
    setParent(parentWindow->window(), windowFlags());
    setGeometry(geometry);
}

void AXAttachedWindow::orderFront(bool makeKey)
{
    show();
    raise();
    if (makeKey) {
        activateWindow();
        if (_view)
            _view->setFocus(Qt::ActiveWindowFocusReason);
    }
}
