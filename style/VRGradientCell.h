#pragma once

#include "framework/styles/VRGradient.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSizeF>

#include <vector>

#include "platform/NotificationCenter.h"

class QPainter;
class QWidget;

// Draws a gradient as a swatch over a chequered ground for a gradient well, through a cached
// picture that is dropped whenever the gradient or its stops change.
class VRGradientCell : public QObject
{
    Q_OBJECT
public:
    explicit VRGradientCell(QObject *parent = nullptr);
    ~VRGradientCell() override;

    VRGradientRef gradient() const { return mGradient; }
    // Observes the new gradient (and its stops) instead of the old one; drops the cache.
    void setGradient(const VRGradientRef &gradient);
    QSizeF inset() const { return mInset; }
    void setInset(QSizeF inset) { mInset = inset; }
    void setCacheEnabled(bool enabled) { mEnableCache = enabled; }
    bool isCacheEnabled() const { return mEnableCache; }
    void invalidateCache();
    bool hasCache() const { return !m_cache.isNull(); }
    QImage cachedImageForSize(QSize size);

    // The bezel, the chequered ground and the gradient.
    virtual void drawInteriorWithFrame(QPainter &painter, const QRectF &frame, QWidget *view);
    // The pattern of the ground.
    static const QImage &chequeredImage();

signals:
    // The picture must be redrawn.
    void needsDisplay();

protected:
    void gradientWillChange();
    void gradientDidChange();

private:
    void observe();
    void stopObserving();

    VRGradientRef mGradient;
    QSizeF mInset{8, 8};
    bool mEnableCache = true;
    QImage m_cache;
    std::vector<NotificationToken> m_tokens;
};
