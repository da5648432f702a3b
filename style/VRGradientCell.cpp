#include "style/VRGradientCell.h"

#include "framework/base/VRConstants.h"

#include <QPainter>
#include <QWidget>

VRGradientCell::VRGradientCell(QObject *parent)
    : QObject(parent)
{
}

VRGradientCell::~VRGradientCell()
{
    stopObserving();
}

const QImage &VRGradientCell::chequeredImage()
{
    static const QImage image = [] {
        QImage chequer(16, 16, QImage::Format_RGB32);
        chequer.fill(Qt::white);
        QPainter painter(&chequer);
        painter.fillRect(0, 0, 8, 8, QColor(204, 204, 204));
        painter.fillRect(8, 8, 8, 8, QColor(204, 204, 204));
        return chequer;
    }();
    return image;
}

void VRGradientCell::setGradient(const VRGradientRef &gradient)
{
    if (gradient == mGradient)
        return;
    stopObserving();
    mGradient = gradient;
    mInset = QSizeF(8, 8);
    mEnableCache = true;
    observe();
    invalidateCache();
}

void VRGradientCell::observe()
{
    if (!mGradient)
        return;
    mGradient->setUpKVOForObserver(this, [this] { invalidateCache(); });
    NotificationCenter &center = NotificationCenter::defaultCenter();
    const VRGradient *g = mGradient.get();
    for (const QString &name :
         {kVRNotificationGradientWillAddColorStop, kVRNotificationGradientWillRemoveColorStop}) {
        m_tokens.push_back(
            center.addObserver(name, g, [this](const Notification &) { gradientWillChange(); }));
    }
    for (const QString &name :
         {kVRNotificationGradientDidAddColorStop, kVRNotificationGradientDidRemoveColorStop}) {
        m_tokens.push_back(
            center.addObserver(name, g, [this](const Notification &) { gradientDidChange(); }));
    }
}

void VRGradientCell::stopObserving()
{
    if (mGradient)
        mGradient->tearDownKVOForObserver(this);
    m_tokens.clear();
}

void VRGradientCell::gradientWillChange()
{
    // The observation follows the new set of stops.
    if (mGradient)
        mGradient->tearDownKVOForObserver(this);
}

void VRGradientCell::gradientDidChange()
{
    invalidateCache();
    if (mGradient)
        mGradient->setUpKVOForObserver(this, [this] { invalidateCache(); });
}

void VRGradientCell::invalidateCache()
{
    m_cache = QImage();
    emit needsDisplay();
}

QImage VRGradientCell::cachedImageForSize(QSize size)
{
    if (m_cache.isNull() && mGradient && !size.isEmpty()) {
        m_cache = QImage(size, QImage::Format_ARGB32_Premultiplied);
        m_cache.fill(Qt::transparent);
        QPainter painter(&m_cache);
        mGradient->fillRect(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    return m_cache;
}

void VRGradientCell::drawInteriorWithFrame(QPainter &painter, const QRectF &frame, QWidget *)
{
    painter.save();
    painter.setPen(QPen(QColor(150, 150, 150), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame.adjusted(0.5, 0.5, -0.5, -0.5));
    if (mGradient) {
        const QRectF inner =
            frame.adjusted(mInset.width(), mInset.height(), -mInset.width(), -mInset.height());
        painter.fillRect(inner, QBrush(chequeredImage()));
        if (mEnableCache) {
            const QImage picture = cachedImageForSize(frame.size().toSize());
            painter.drawImage(inner, picture);
        } else {
            mGradient->fillRect(painter, inner);
        }
        painter.setPen(QPen(QColor(120, 120, 120), 1));
        painter.drawRect(inner.adjusted(-0.5, -0.5, 0.5, 0.5));
    }
    painter.restore();
}
