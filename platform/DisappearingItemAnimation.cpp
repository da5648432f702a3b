#include "platform/DisappearingItemAnimation.h"

#include "platform/WindowTranslucency.h"

#include <QBitmap>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

#include <algorithm>
#include <array>

namespace {
// The puffs of the cloud: centre and radius as fractions of the picture's side.
struct Puff {
    double x, y, r;
};
constexpr std::array<Puff, 5> kPuffs{{
    {0.50, 0.50, 0.24},
    {0.30, 0.58, 0.17},
    {0.70, 0.58, 0.17},
    {0.40, 0.34, 0.16},
    {0.62, 0.36, 0.15},
}};
} // namespace

DisappearingItemAnimation::DisappearingItemAnimation(QWidget *owner, QPoint globalCentre,
                                                     QSize size)
    : QWidget(owner ? owner->window() : nullptr,
              Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                  | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Without blending the window is cut to the cloud instead.
    m_masked = !WindowTranslucency::isAvailable();
    setAttribute(Qt::WA_TranslucentBackground, !m_masked);
    setGeometry(QRect(globalCentre - QPoint(size.width() / 2, size.height() / 2), size));
}

DisappearingItemAnimation *DisappearingItemAnimation::showCentredAt(QWidget *owner,
                                                                    QPoint globalCentre, QSize size)
{
    auto *window = new DisappearingItemAnimation(owner, globalCentre, size.expandedTo(QSize(8, 8)));
    window->showFrame(0);
    window->show();
    auto *animation = new QVariantAnimation(window);
    animation->setStartValue(0);
    animation->setEndValue(kFrameCount);
    animation->setDuration(kDurationMs);
    QObject::connect(animation, &QVariantAnimation::valueChanged, window,
                     [window](const QVariant &value) {
                         window->showFrame(std::min(value.toInt(), kFrameCount - 1));
                     });
    QObject::connect(animation, &QVariantAnimation::finished, window,
                     &DisappearingItemAnimation::finish);
    window->m_animation = animation;
    animation->start();
    return window;
}

QImage DisappearingItemAnimation::frameImage(int frame, QSize size)
{
    frame = std::clamp(frame, 0, kFrameCount - 1);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double progress = double(frame) / (kFrameCount - 1);
    const double side = std::min(size.width(), size.height());
    // The cloud grows from 70 % of the picture to all of it while it fades.
    const double scale = 0.7 + 0.3 * progress;
    painter.setOpacity(1.0 - 0.75 * progress);
    QPainterPath cloud;
    for (const Puff &puff : kPuffs) {
        const QPointF centre(size.width() * 0.5 + (puff.x - 0.5) * side * scale,
                             size.height() * 0.5 + (puff.y - 0.5) * side * scale);
        const double r = puff.r * side * scale * (1.0 + 0.15 * progress);
        cloud.addEllipse(centre, r, r);
    }
    cloud = cloud.simplified();
    painter.setPen(QPen(QColor(90, 90, 90), std::max(1.0, side / 32.0)));
    painter.setBrush(QColor(245, 245, 245));
    painter.drawPath(cloud);
    return image;
}

QImage DisappearingItemAnimation::cursorImage()
{
    return frameImage(0, QSize(24, 24));
}

void DisappearingItemAnimation::showFrame(int frame)
{
    m_frame = frame;
    if (m_masked) {
        const QImage image = frameImage(frame, size());
        setMask(QBitmap::fromImage(image.createAlphaMask()));
    }
    update();
}

void DisappearingItemAnimation::finish()
{
    if (m_animation)
        m_animation->stop();
    m_frame = kFrameCount - 1;
    close();
}

void DisappearingItemAnimation::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_masked)
        painter.fillRect(rect(), QColor(245, 245, 245));
    painter.drawImage(QPoint(0, 0), frameImage(m_frame, size()));
}
