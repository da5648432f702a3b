#include "library/DXDragEffectManager.h"

#include <QCursor>
#include <QLabel>
#include <QPropertyAnimation>
#include <QVariantAnimation>
#include <QWidget>

namespace {
double g_animationScale = 1.0;

QRect centred(QSize size, QSize in)
{
    return QRect(QPoint((in.width() - size.width()) / 2, (in.height() - size.height()) / 2), size);
}
} // namespace

DXDragEffectManager &DXDragEffectManager::sharedDragEffectManager()
{
    static DXDragEffectManager *manager = new DXDragEffectManager;
    return *manager;
}

void DXDragEffectManager::setAnimationScale(double scale)
{
    g_animationScale = scale < 0 ? 0 : scale;
}

DXDragEffectManager::DXDragEffectManager()
{
    m_window = new QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                                        | Qt::WindowTransparentForInput);
    m_window->setObjectName(QStringLiteral("dragEffectWindow"));
    m_window->setAttribute(Qt::WA_TranslucentBackground);
    m_window->setAttribute(Qt::WA_ShowWithoutActivating);
    m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    m_window->resize(64, 64);
    _imageViewA = new QLabel(m_window);
    _imageViewA->setScaledContents(true);
    _imageViewB = new QLabel(m_window);
    _imageViewB->setScaledContents(true);
    _imageViewB->hide();
}

void DXDragEffectManager::startDragShowFromSourceScreenRect(const QRect &sourceRect,
                                                            QPoint startingAtPoint, QSize offset,
                                                            const QImage &insideImage,
                                                            const QImage &outsideImage,
                                                            bool slideBack)
{
    if (m_moveAnimation)
        m_moveAnimation->stop();
    if (m_alphaAnimation)
        m_alphaAnimation->stop();
    _sourceRect = sourceRect;
    _startPoint = startingAtPoint;
    _offset = offset;
    _slideBack = slideBack;
    _insideImageSize = insideImage.size();
    _outsideImageSize = outsideImage.size();
    const QSize size(std::max({_insideImageSize.width(), _outsideImageSize.width(), 1}),
                     std::max({_insideImageSize.height(), _outsideImageSize.height(), 1}));
    m_window->resize(size);
    _imageViewA->setGeometry(centred(_insideImageSize, size));
    _imageViewB->setGeometry(QRect(QPoint(0, 0), _outsideImageSize));
    _imageViewB->hide();
    _imageViewA->show();
    _imageViewA->setPixmap(QPixmap::fromImage(insideImage));
    _imageViewB->setPixmap(QPixmap::fromImage(outsideImage));
    centerWindowOverPoint(startingAtPoint, offset, false);
    setAlpha(0.0);
    m_window->show();
    animateAlpha(1.0, 0.125);
}

void DXDragEffectManager::updatePosition()
{
    updatePosition(QCursor::pos());
}

void DXDragEffectManager::updatePosition(QPoint globalPoint)
{
    if (!m_window || !m_window->isVisible())
        return;
    centerWindowOverPoint(globalPoint, _offset, false);
    const bool inside = _sourceRect.contains(globalPoint);
    QLabel *show = inside ? _imageViewA : _imageViewB;
    QLabel *hide = inside ? _imageViewB : _imageViewA;
    if (!show->isVisible())
        swapTo(show, hide);
}

void DXDragEffectManager::swapTo(QLabel *show, QLabel *hide)
{
    const QSize pictureSize = show == _imageViewA ? _insideImageSize : _outsideImageSize;
    const QRect target = centred(pictureSize, m_window->size());
    show->setGeometry(hide->geometry());
    hide->hide();
    show->show();
    if (g_animationScale <= 0) {
        show->setGeometry(target);
        return;
    }
    auto *animation = new QPropertyAnimation(show, "geometry", show);
    animation->setDuration(int(200 * g_animationScale));
    animation->setEndValue(target);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

bool DXDragEffectManager::isShowingInsideImage() const
{
    return _imageViewA->isVisibleTo(m_window);
}

void DXDragEffectManager::endDragShowWithResult(Qt::DropAction operation)
{
    if (!m_window || !m_window->isVisible())
        return;
    if (operation == Qt::IgnoreAction && _slideBack)
        centerWindowOverPoint(_startPoint, _offset, true);
    animateAlpha(0.0, 0.125);
}

void DXDragEffectManager::centerWindowOverPoint(QPoint point, QSize offset, bool animate)
{
    m_targetCentre = point + QPoint(offset.width(), offset.height());
    const QPoint origin = m_targetCentre - QPoint(m_window->width() / 2, m_window->height() / 2);
    if (m_moveAnimation)
        m_moveAnimation->stop();
    if (!animate || g_animationScale <= 0) {
        m_window->move(origin);
        return;
    }
    m_moveAnimation = new QPropertyAnimation(m_window, "pos", this);
    m_moveAnimation->setDuration(int(150 * g_animationScale));
    m_moveAnimation->setEndValue(origin);
    m_moveAnimation->start(QAbstractAnimation::DeleteWhenStopped);
}

void DXDragEffectManager::setAlpha(double alpha)
{
    m_alpha = alpha;
    if (m_window)
        m_window->setWindowOpacity(alpha);
}

void DXDragEffectManager::animateAlpha(double to, double seconds)
{
    if (m_alphaAnimation) {
        m_alphaAnimation->disconnect(this);
        m_alphaAnimation->stop();
    }
    if (g_animationScale <= 0) {
        setAlpha(to);
        animationDidStop(true);
        return;
    }
    auto *animation = new QVariantAnimation(this);
    animation->setStartValue(m_alpha);
    animation->setEndValue(to);
    animation->setDuration(int(seconds * 1000 * g_animationScale));
    connect(animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { setAlpha(value.toDouble()); });
    connect(animation, &QAbstractAnimation::finished, this, [this, to] {
        setAlpha(to);
        animationDidStop(true);
    });
    m_alphaAnimation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void DXDragEffectManager::animationDidStop(bool finished)
{
    if (finished && m_alpha == 0.0)
        orderOutAndCleanUp();
}

void DXDragEffectManager::orderOutAndCleanUp()
{
    if (m_moveAnimation)
        m_moveAnimation->stop();
    m_window->hide();
    _slideBack = false;
    _sourceRect = QRect();
    _startPoint = QPoint();
    _offset = QSize();
    _insideImageSize = QSize();
    _outsideImageSize = QSize();
    _imageViewA->clear();
    _imageViewB->clear();
}
