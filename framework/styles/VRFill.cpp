#include "framework/styles/VRFill.h"
#include "framework/archive/VRJsonWriter.h"

#include <QPainter>

#include <cmath>

VR_CLASS_IMPL(VRFill, VRRasterizer)

VRFill::~VRFill()
{
    QObject::disconnect(m_gradientConnection);
}

std::shared_ptr<VRFill> VRFill::fillWithColour(const QColor &colour)
{
    auto fill = std::make_shared<VRFill>();
    if (colour.isValid())
        fill->m_colour = colour.toRgb();
    return fill;
}

std::shared_ptr<VRFill> VRFill::fillWithGradient(const VRGradientRef &gradient)
{
    auto fill = std::make_shared<VRFill>();
    fill->m_gradient = gradient;
    fill->watchGradient();
    return fill;
}

void VRFill::setColour(const QColor &colour)
{
    if (colour.isValid())
        changeProperty(m_colour, colour.toRgb(), "setColour:", &VRFill::setColour);
}

void VRFill::setPatternImage(const QImage &image)
{
    changeProperty(m_patternImage, image, "setPatternImage:", &VRFill::setPatternImage);
}

void VRFill::setShadow(const std::optional<VRShadow> &shadow)
{
    changeProperty(m_shadow, shadow, "setShadow:", &VRFill::setShadow);
}

void VRFill::setGradient(const VRGradientRef &gradient)
{
    if (gradient == m_gradient)
        return;
    changeProperty(m_gradient, gradient, "setGradient:", &VRFill::setGradient);
    watchGradient();
}

void VRFill::watchGradient()
{
    QObject::disconnect(m_gradientConnection);
    if (!m_gradient)
        return;
    // Edits made on the gradient itself repaint the clients too.
    VRGradient *watched = m_gradient.get();
    m_gradientConnection = QObject::connect(
        watched, &VRGradient::changed, watched,
        [this] {
            willChange();
            didChange();
        },
        Qt::DirectConnection);
}

void VRFill::setGradientMultiplier(double multiplier)
{
    if (!std::isfinite(multiplier) || multiplier <= 0.0)
        return;
    changeProperty(m_gradientMultiplier, std::min(multiplier, 100.0),
                   "setGradientMultiplier:", &VRFill::setGradientMultiplier);
}

void VRFill::setTracksObjectAngle(bool tracks)
{
    changeProperty(m_tracksObjectAngle, tracks,
                   "setTracksObjectAngle:", &VRFill::setTracksObjectAngle);
}

double VRFill::gradientManualAngleInDegrees() const
{
    return m_gradient ? m_gradient->angleInDegrees() : 0.0;
}

void VRFill::setGradientManualAngleInDegrees(double degrees)
{
    if (!m_gradient || !std::isfinite(degrees) || degrees == m_gradient->angleInDegrees())
        return;
    const double old = m_gradient->angleInDegrees();
    std::weak_ptr<VRRasterizer> weak = weak_from_this();
    registerUndo("setGradientManualAngleInDegrees:", [weak, old] {
        if (auto self = weak.lock())
            static_cast<VRFill &>(*self).setGradientManualAngleInDegrees(old);
    });
    m_gradient->setAngleInDegrees(degrees); // the gradient's change signal repaints
}

QBrush VRFill::brush(const VRRenderContext &context) const
{
    if (m_gradient) {
        const QRectF frame =
            context.bounds.isValid() ? context.bounds : context.path.boundingRect();
        QBrush b = m_gradient->brushForRect(frame, m_gradientMultiplier);
        if (m_tracksObjectAngle && context.angle != 0.0) {
            const QPointF c = frame.center();
            QTransform turn;
            turn.translate(c.x(), c.y());
            turn.rotateRadians(context.angle);
            turn.translate(-c.x(), -c.y());
            b.setTransform(b.transform() * turn);
        }
        return b;
    }
    if (!m_patternImage.isNull())
        return QBrush(m_patternImage);
    return QBrush(m_colour);
}

QPainterPath VRFill::filledPath(const VRRenderContext &context) const
{
    return context.path;
}

void VRFill::render(QPainter &painter, const VRRenderContext &context) const
{
    if (!m_gradient && m_patternImage.isNull() && m_colour.alpha() == 0)
        return;
    const QPainterPath area = filledPath(context);
    if (area.isEmpty())
        return;
    const QBrush b = brush(context);
    if (m_shadow)
        m_shadow->draw(painter, area.boundingRect(), [&](QPainter &p) { p.fillPath(area, b); });
    painter.fillPath(area, b);
}

double VRFill::extraSpace() const
{
    return m_shadow ? m_shadow->extent() : 0.0;
}

void VRFill::writeProperties(VRJsonWriter &record, QJsonObject &images) const
{
    VRRasterizer::writeProperties(record, images);
    record.insert("colour", VRStyleCoding::colourString(m_colour));
    record.insert("patternImage", VRStyleCoding::imageJson(m_patternImage, images));
    record.insert("shadow", VRStyleCoding::shadowJson(m_shadow));
    record.insert("gradient", VRStyleCoding::gradientJson(m_gradient));
    record.insert("gradientMultiplier", m_gradientMultiplier);
    record.insert("tracksObjectAngle", m_tracksObjectAngle);
}

void VRFill::readProperties(const QJsonObject &record, VRStyleCoding &coding)
{
    VRRasterizer::readProperties(record, coding);
    m_colour = coding.colour(record, QStringLiteral("colour"), m_colour);
    m_patternImage = coding.image(record, QStringLiteral("patternImage"));
    m_shadow = coding.shadow(record, QStringLiteral("shadow"));
    m_gradient = coding.gradient(record, QStringLiteral("gradient"));
    m_gradientMultiplier =
        coding.number(record, QStringLiteral("gradientMultiplier"), 1.0, 1.0e-3, 100.0);
    m_tracksObjectAngle = coding.boolean(record, QStringLiteral("tracksObjectAngle"), true);
    watchGradient();
}
