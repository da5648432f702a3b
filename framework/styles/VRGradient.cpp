#include "framework/styles/VRGradient.h"

#include "framework/base/VRConstants.h"
#include "framework/styles/VRColorStop.h"
#include "framework/styles/VRKeyedCoder.h"
#include "framework/styles/VRPlistCoder.h"

#include "platform/AtomicFile.h"
#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMaxStops = 256;
constexpr double kMaxRelative = 100.0; // relative points and radii stay within ±100 rectangles
constexpr int kSampledStops = 48;

QString colourString(const QColor &c)
{
    return QStringLiteral("#%1%2%3%4")
        .arg(c.red(), 2, 16, QLatin1Char('0'))
        .arg(c.green(), 2, 16, QLatin1Char('0'))
        .arg(c.blue(), 2, 16, QLatin1Char('0'))
        .arg(c.alpha(), 2, 16, QLatin1Char('0'))
        .toUpper();
}

QColor colourFromString(const QString &s)
{
    static const QRegularExpression pattern(QStringLiteral("^#([0-9A-Fa-f]{6}|[0-9A-Fa-f]{8})$"));
    if (!pattern.match(s).hasMatch())
        return {};
    const uint value = s.mid(1).toUInt(nullptr, 16);
    if (s.size() == 7)
        return QColor((value >> 16) & 0xff, (value >> 8) & 0xff, value & 0xff);
    return QColor((value >> 24) & 0xff, (value >> 16) & 0xff, (value >> 8) & 0xff, value & 0xff);
}

double finiteOr(double v, double fallback)
{
    return std::isfinite(v) ? v : fallback;
}

QPointF clampedPoint(const QPointF &p)
{
    return {std::clamp(finiteOr(p.x(), 0.0), -kMaxRelative, kMaxRelative),
            std::clamp(finiteOr(p.y(), 0.0), -kMaxRelative, kMaxRelative)};
}

double shape(double t, int interpolation)
{
    switch (interpolation) {
    case VRGradient::Quadratic: return t * t;
    case VRGradient::Cubic: return t * t * (3.0 - 2.0 * t);
    case VRGradient::Sinusoidal: return (1.0 - std::cos(M_PI * t)) / 2.0;
    default: return t;
    }
}

QColor mix(const QColor &a, const QColor &b, double t, int blending)
{
    if (blending == VRGradient::HSV) {
        const QColor ha = a.toHsv(), hb = b.toHsv();
        double h0 = ha.hsvHueF(), h1 = hb.hsvHueF();
        if (h0 < 0)
            h0 = h1 < 0 ? 0 : h1;
        if (h1 < 0)
            h1 = h0;
        double dh = h1 - h0;
        if (dh > 0.5)
            dh -= 1.0;
        else if (dh < -0.5)
            dh += 1.0;
        double h = h0 + dh * t;
        h -= std::floor(h);
        return QColor::fromHsvF(
                   static_cast<float>(h),
                   static_cast<float>(ha.hsvSaturationF()
                                      + (hb.hsvSaturationF() - ha.hsvSaturationF()) * t),
                   static_cast<float>(ha.valueF() + (hb.valueF() - ha.valueF()) * t),
                   static_cast<float>(ha.alphaF() + (hb.alphaF() - ha.alphaF()) * t))
            .toRgb();
    }
    auto lerp = [t](float x, float y) { return static_cast<float>(x + (y - x) * t); };
    return QColor::fromRgbF(lerp(a.redF(), b.redF()), lerp(a.greenF(), b.greenF()),
                            lerp(a.blueF(), b.blueF()), lerp(a.alphaF(), b.alphaF()));
}

} // namespace

VRGradient::VRGradient()
{
    // Readers make gradients on worker threads; the gradients are used on the GUI thread, so
    // they belong there from the start (their change signals must not become queued calls).
    if (QCoreApplication *app = QCoreApplication::instance(); app && thread() != app->thread())
        moveToThread(app->thread());
}
VRGradient::~VRGradient() = default;

VRGradientRef VRGradient::create()
{
    return std::make_shared<VRGradient>();
}

VRGradientRef VRGradient::copy() const
{
    auto g = create();
    g->m_type = m_type;
    g->m_blending = m_blending;
    g->m_interpolation = m_interpolation;
    g->m_angleInDegrees = m_angleInDegrees;
    g->m_hasLinearPoints = m_hasLinearPoints;
    g->m_linearStart = m_linearStart;
    g->m_linearEnd = m_linearEnd;
    g->m_radialStart = m_radialStart;
    g->m_radialEnd = m_radialEnd;
    g->m_radialStartRadius = m_radialStartRadius;
    g->m_radialEndRadius = m_radialEndRadius;
    g->m_elliptical = m_elliptical;
    for (const auto &stop : m_stops) {
        auto s = std::make_shared<VRColorStop>(stop->color(), stop->position());
        s->m_gradient = g.get();
        g->m_stops.append(s);
    }
    return g;
}

bool VRGradient::isEqual(const VRGradient &o) const
{
    if (m_stops.size() != o.m_stops.size())
        return false;
    for (qsizetype i = 0; i < m_stops.size(); ++i) {
        if (m_stops[i]->color() != o.m_stops[i]->color()
            || m_stops[i]->position() != o.m_stops[i]->position())
            return false;
    }
    return m_type == o.m_type && m_blending == o.m_blending && m_interpolation == o.m_interpolation
           && m_angleInDegrees == o.m_angleInDegrees && m_hasLinearPoints == o.m_hasLinearPoints
           && (!m_hasLinearPoints
               || (m_linearStart == o.m_linearStart && m_linearEnd == o.m_linearEnd))
           && m_radialStart == o.m_radialStart && m_radialEnd == o.m_radialEnd
           && m_radialStartRadius == o.m_radialStartRadius
           && m_radialEndRadius == o.m_radialEndRadius && m_elliptical == o.m_elliptical;
}

std::shared_ptr<VRColorStop> VRGradient::addColor(const QColor &color, double at)
{
    if (!color.isValid() || m_stops.size() >= kMaxStops)
        return nullptr;
    auto stop = std::make_shared<VRColorStop>(color, finiteOr(at, 0.0));
    postStopNotification(kVRNotificationGradientWillAddColorStop, stop);
    stop->m_gradient = this;
    m_stops.append(stop);
    notifyChange();
    postStopNotification(kVRNotificationGradientDidAddColorStop, stop);
    return stop;
}

void VRGradient::removeColorStop(const std::shared_ptr<VRColorStop> &stop)
{
    if (!stop || !m_stops.contains(stop))
        return;
    postStopNotification(kVRNotificationGradientWillRemoveColorStop, stop);
    m_stops.removeOne(stop);
    stop->m_gradient = nullptr;
    notifyChange();
    postStopNotification(kVRNotificationGradientDidRemoveColorStop, stop);
}

void VRGradient::removeAllColorStops()
{
    if (m_stops.isEmpty())
        return;
    for (const auto &stop : std::as_const(m_stops))
        stop->m_gradient = nullptr;
    m_stops.clear();
    notifyChange();
}

void VRGradient::setColorStops(const QList<std::pair<double, QColor>> &stops)
{
    for (const auto &stop : std::as_const(m_stops))
        stop->m_gradient = nullptr;
    m_stops.clear();
    for (const auto &[position, colour] : stops) {
        if (!colour.isValid() || m_stops.size() >= kMaxStops)
            continue;
        auto stop = std::make_shared<VRColorStop>(colour, finiteOr(position, 0.0));
        stop->m_gradient = this;
        m_stops.append(stop);
    }
    notifyChange();
}

void VRGradient::sortColorStops()
{
    std::stable_sort(m_stops.begin(), m_stops.end(),
                     [](const auto &a, const auto &b) { return a->position() < b->position(); });
    notifyChange();
}

void VRGradient::reverseColorStops()
{
    for (const auto &stop : std::as_const(m_stops))
        stop->m_position = 1.0 - stop->m_position;
    std::reverse(m_stops.begin(), m_stops.end());
    notifyChange();
}

QColor VRGradient::colorAtValue(double value) const
{
    if (m_stops.isEmpty())
        return QColor(Qt::transparent);
    value = std::clamp(finiteOr(value, 0.0), 0.0, 1.0);
    QList<std::shared_ptr<VRColorStop>> sorted = m_stops;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto &a, const auto &b) { return a->position() < b->position(); });
    if (value <= sorted.constFirst()->position())
        return sorted.constFirst()->color();
    if (value >= sorted.constLast()->position())
        return sorted.constLast()->color();
    for (qsizetype i = 1; i < sorted.size(); ++i) {
        const auto &a = sorted[i - 1];
        const auto &b = sorted[i];
        if (value <= b->position()) {
            const double span = b->position() - a->position();
            const double t = span > 0 ? (value - a->position()) / span : 1.0;
            return mix(a->color(), b->color(), shape(t, m_interpolation), m_blending);
        }
    }
    return sorted.constLast()->color();
}

void VRGradient::setGradientType(int type)
{
    if (type != Linear && type != Radial && type != Sweep && type != Elliptical)
        type = Linear;
    if (type == m_type)
        return;
    m_type = type;
    notifyChange();
}

void VRGradient::setGradientBlending(int blending)
{
    blending = blending == HSV ? HSV : RGB;
    if (blending == m_blending)
        return;
    m_blending = blending;
    notifyChange();
}

void VRGradient::setGradientInterpolation(int interpolation)
{
    if (interpolation < 0 || interpolation > Sinusoidal || interpolation == 1)
        interpolation = LinearInterpolation;
    if (interpolation == m_interpolation)
        return;
    m_interpolation = interpolation;
    notifyChange();
}

double VRGradient::angle() const
{
    return m_angleInDegrees * M_PI / 180.0;
}

void VRGradient::setAngle(double radians)
{
    setAngleInDegrees(radians * 180.0 / M_PI);
}

void VRGradient::setAngleInDegrees(double degrees)
{
    degrees = std::fmod(finiteOr(degrees, 0.0), 360.0);
    if (degrees == m_angleInDegrees)
        return;
    m_angleInDegrees = degrees;
    notifyChange();
}

void VRGradient::setLinearStartingPoint(const QPointF &point)
{
    m_linearStart = clampedPoint(point);
    m_hasLinearPoints = true;
    notifyChange();
}

void VRGradient::setLinearEndingPoint(const QPointF &point)
{
    m_linearEnd = clampedPoint(point);
    m_hasLinearPoints = true;
    notifyChange();
}

void VRGradient::clearLinearPoints()
{
    if (!m_hasLinearPoints)
        return;
    m_hasLinearPoints = false;
    notifyChange();
}

void VRGradient::setRadialStartingPoint(const QPointF &point)
{
    m_radialStart = clampedPoint(point);
    notifyChange();
}

void VRGradient::setRadialEndingPoint(const QPointF &point)
{
    m_radialEnd = clampedPoint(point);
    notifyChange();
}

void VRGradient::setRadialStartingRadius(double radius)
{
    m_radialStartRadius = std::clamp(finiteOr(radius, 0.0), 0.0, kMaxRelative);
    notifyChange();
}

void VRGradient::setRadialEndingRadius(double radius)
{
    m_radialEndRadius = std::clamp(finiteOr(radius, 0.0), 0.0, kMaxRelative);
    notifyChange();
}

void VRGradient::setQntEllipticalGradientParams(const QntEllipticalGradientParams &p)
{
    QntEllipticalGradientParams clean;
    clean.scaleX = std::clamp(finiteOr(p.scaleX, 1.0), 0.001, kMaxRelative);
    clean.scaleY = std::clamp(finiteOr(p.scaleY, 1.0), 0.001, kMaxRelative);
    clean.offsetX = std::clamp(finiteOr(p.offsetX, 0.0), -kMaxRelative, kMaxRelative);
    clean.offsetY = std::clamp(finiteOr(p.offsetY, 0.0), -kMaxRelative, kMaxRelative);
    clean.angle = std::fmod(finiteOr(p.angle, 0.0), 360.0);
    m_elliptical = clean;
    notifyChange();
}

QPointF VRGradient::mapPointFromRect(const QPointF &point, const QRectF &rect) const
{
    const QPointF c = rect.center();
    return {rect.width() != 0 ? (point.x() - c.x()) / rect.width() : 0.0,
            rect.height() != 0 ? (point.y() - c.y()) / rect.height() : 0.0};
}

QPointF VRGradient::mapPointToRect(const QPointF &point, const QRectF &rect) const
{
    const QPointF c = rect.center();
    return {c.x() + point.x() * rect.width(), c.y() + point.y() * rect.height()};
}

QGradientStops VRGradient::qtStops(bool reversed) const
{
    QGradientStops stops;
    if (m_stops.isEmpty()) {
        stops.append({0.0, QColor(Qt::transparent)});
        stops.append({1.0, QColor(Qt::transparent)});
        return stops;
    }
    auto add = [&](double pos, const QColor &c) { stops.append({reversed ? 1.0 - pos : pos, c}); };
    if (m_blending == RGB && m_interpolation == LinearInterpolation) {
        QList<std::shared_ptr<VRColorStop>> sorted = m_stops;
        std::stable_sort(sorted.begin(), sorted.end(), [](const auto &a, const auto &b) {
            return a->position() < b->position();
        });
        for (const auto &s : std::as_const(sorted))
            add(s->position(), s->color());
    } else {
        // Qt blends linearly in RGB only; other blends are sampled.
        for (int i = 0; i <= kSampledStops; ++i) {
            const double v = static_cast<double>(i) / kSampledStops;
            add(v, colorAtValue(v));
        }
    }
    if (reversed)
        std::reverse(stops.begin(), stops.end());
    // Qt wants strictly increasing positions.
    QGradientStops clean;
    for (const auto &s : std::as_const(stops)) {
        if (!clean.isEmpty() && s.first <= clean.constLast().first)
            clean.append({std::min(1.0, clean.constLast().first + 1e-9), s.second});
        else
            clean.append(s);
    }
    return clean;
}

QBrush VRGradient::brushFor(const QRectF &rect, QPointF start, double startRadius, QPointF end,
                            double endRadius, bool explicitGeometry) const
{
    const QPointF centre = rect.center();
    switch (m_type) {
    case Radial: {
        // A starting circle larger than the ending one is the same gradient run backwards (the
        // platform draws nothing for a focal circle larger than the outer one).
        if (startRadius > endRadius) {
            QRadialGradient g(start, startRadius, end, std::max(endRadius, 0.0));
            g.setStops(qtStops(true));
            g.setSpread(QGradient::PadSpread);
            return QBrush(g);
        }
        QRadialGradient g(end, std::max(endRadius, 0.0), start, std::max(startRadius, 0.0));
        g.setStops(qtStops());
        g.setSpread(QGradient::PadSpread);
        return QBrush(g);
    }
    case Sweep: {
        // Qt sweeps counter-clockwise on screen; ours runs clockwise from the angle.
        const QPointF c = explicitGeometry ? start : centre;
        QConicalGradient g(c, -m_angleInDegrees);
        g.setStops(qtStops(true));
        return QBrush(g);
    }
    case Elliptical: {
        QRadialGradient g(QPointF(0, 0), std::max(endRadius, 1e-3));
        g.setStops(qtStops());
        QBrush brush(g);
        QTransform t;
        t.translate(centre.x() + m_elliptical.offsetX * rect.width(),
                    centre.y() + m_elliptical.offsetY * rect.height());
        t.rotate(m_elliptical.angle);
        t.scale(m_elliptical.scaleX,
                m_elliptical.scaleY * (rect.width() > 0 ? rect.height() / rect.width() : 1.0));
        brush.setTransform(t);
        return brush;
    }
    default: {
        QLinearGradient g(start, end);
        g.setStops(qtStops());
        return QBrush(g);
    }
    }
}

QBrush VRGradient::brushForRect(const QRectF &rect, double radialMultiplier) const
{
    const double multiplier =
        radialMultiplier > 0 && std::isfinite(radialMultiplier) ? radialMultiplier : 1.0;
    if (m_type == Radial || m_type == Elliptical) {
        return brushFor(rect, mapPointToRect(m_radialStart, rect),
                        m_radialStartRadius * rect.width() * multiplier,
                        mapPointToRect(m_radialEnd, rect),
                        m_radialEndRadius * rect.width() * multiplier, false);
    }
    if (m_type == Linear && m_hasLinearPoints) {
        return brushFor(rect, mapPointToRect(m_linearStart, rect), 0,
                        mapPointToRect(m_linearEnd, rect), 0, false);
    }
    // The axis crosses the rectangle's centre and spans its projection on that axis.
    const double a = angle();
    const QPointF d(std::cos(a), std::sin(a));
    const double half = (std::abs(rect.width() * d.x()) + std::abs(rect.height() * d.y())) / 2.0;
    const QPointF c = rect.center();
    return brushFor(rect, c - d * half, 0, c + d * half, 0, false);
}

void VRGradient::fillRect(QPainter &painter, const QRectF &rect) const
{
    painter.fillRect(rect, brushForRect(rect));
}

void VRGradient::fillPath(QPainter &painter, const QPainterPath &path, QPointF startingAtPoint,
                          double startRadius, QPointF endingAtPoint, double endRadius) const
{
    painter.fillPath(path, brushFor(path.boundingRect(), startingAtPoint, startRadius,
                                    endingAtPoint, endRadius, true));
}

void VRGradient::fillPathInRect(QPainter &painter, const QPainterPath &path, const QRectF &rect,
                                double radialMultiplier) const
{
    painter.fillPath(path, brushForRect(rect, radialMultiplier));
}

QImage VRGradient::swatchImageWithSize(const QSizeF &size, bool withBorder) const
{
    const QSize pixels(std::clamp(static_cast<int>(std::ceil(size.width())), 1, 4096),
                       std::clamp(static_cast<int>(std::ceil(size.height())), 1, 4096));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    // A chequered ground shows transparency.
    const int cell = 6;
    for (int y = 0; y < pixels.height(); y += cell) {
        for (int x = 0; x < pixels.width(); x += cell) {
            if (((x + y) / cell) % 2)
                painter.fillRect(QRect(x, y, cell, cell), QColor(204, 204, 204));
        }
    }
    const QRectF rect(QPointF(0, 0), QSizeF(pixels));
    fillRect(painter, rect);
    if (withBorder) {
        painter.setPen(QPen(QColor(0, 0, 0, 160), 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect.adjusted(0.5, 0.5, -0.5, -0.5));
    }
    return image;
}

VRGradientRef VRGradient::gradientByColorizingWithColor(const QColor &color) const
{
    auto g = copy();
    if (!color.isValid())
        return g;
    const QColor hsl = color.toHsl();
    for (const auto &stop : std::as_const(g->m_stops)) {
        const QColor c = stop->color().toHsl();
        stop->m_color = QColor::fromHslF(hsl.hslHueF() < 0 ? 0.0f : hsl.hslHueF(),
                                         hsl.hslSaturationF(), c.lightnessF(), c.alphaF())
                            .toRgb();
    }
    return g;
}

void VRGradient::setUpKVOForObserver(QObject *observer, std::function<void()> onChange)
{
    if (!observer || !onChange)
        return;
    tearDownKVOForObserver(observer);
    m_observers.insert(observer,
                       connect(this, &VRGradient::changed, observer, std::move(onChange)));
}

void VRGradient::tearDownKVOForObserver(QObject *observer)
{
    const auto it = m_observers.find(observer);
    if (it == m_observers.end())
        return;
    disconnect(it.value());
    m_observers.erase(it);
}

void VRGradient::stopDidChange()
{
    notifyChange();
}

void VRGradient::postStopNotification(const QString &name, const std::shared_ptr<VRColorStop> &stop)
{
    QVariantMap userInfo{{QStringLiteral("stop"), QVariant::fromValue(stop)}};
    if (VRGradientRef self = weak_from_this().lock())
        userInfo.insert(QStringLiteral("object"), QVariant::fromValue(self));
    NotificationCenter::defaultCenter().post(name, this, userInfo);
}

void VRGradient::notifyChange()
{
    emit changed();
}

void VRGradient::encodeWithCoder(VRKeyedCoder &coder) const
{
    coder.encodeInt(m_type, QStringLiteral("type"));
    coder.encodeInt(m_blending, QStringLiteral("blending"));
    coder.encodeInt(m_interpolation, QStringLiteral("interpolation"));
    // Reals at full precision, so that a gradient copied and pasted keeps its exact values.
    coder.encodeObject(m_angleInDegrees, QStringLiteral("angle"));
    auto pair = [](const QPointF &p) { return QVariantList{p.x(), p.y()}; };
    coder.encodeObject(pair(m_radialStart), QStringLiteral("radialStart"));
    coder.encodeObject(pair(m_radialEnd), QStringLiteral("radialEnd"));
    coder.encodeObject(m_radialStartRadius, QStringLiteral("radialStartRadius"));
    coder.encodeObject(m_radialEndRadius, QStringLiteral("radialEndRadius"));
    if (m_hasLinearPoints) {
        coder.encodeObject(pair(m_linearStart), QStringLiteral("linearStart"));
        coder.encodeObject(pair(m_linearEnd), QStringLiteral("linearEnd"));
    }
    if (m_type == Elliptical) {
        coder.encodeObject(QVariantList{m_elliptical.scaleX, m_elliptical.scaleY,
                                        m_elliptical.offsetX, m_elliptical.offsetY,
                                        m_elliptical.angle},
                           QStringLiteral("elliptical"));
    }
    QVariantList stops;
    for (const auto &stop : m_stops) {
        VRPlistCoder stopCoder;
        stopCoder.encodeObject(QStringLiteral("VRColorStop"), QStringLiteral("isa"));
        stopCoder.encodeObject(stop->position(), QStringLiteral("position"));
        stopCoder.encodeObject(colourString(stop->color()), QStringLiteral("color"));
        stops.append(stopCoder.dictionary());
    }
    coder.encodeObject(stops, QStringLiteral("stops"));
}

VRResult<VRGradientRef> VRGradient::decodeWithCoder(const VRKeyedCoder &coder)
{
    auto fail = [](const QString &why) -> VRResult<VRGradientRef> { return VRError{why}; };
    auto number = [](const QVariant &v, double *out) {
        const int t = v.typeId();
        if (t != QMetaType::Double && t != QMetaType::LongLong && t != QMetaType::Int
            && t != QMetaType::Float && t != QMetaType::ULongLong)
            return false;
        *out = v.toDouble();
        return std::isfinite(*out) && std::abs(*out) <= 1.0e7;
    };
    auto point = [&](const QString &key, bool required, QPointF *out) -> bool {
        const QVariant v = coder.decodeObjectForKey(key);
        if (!v.isValid())
            return !required;
        const QVariantList list = v.toList();
        double x = 0, y = 0;
        if (v.typeId() != QMetaType::QVariantList || list.size() != 2 || !number(list[0], &x)
            || !number(list[1], &y) || std::abs(x) > kMaxRelative || std::abs(y) > kMaxRelative)
            return false;
        *out = QPointF(x, y);
        return true;
    };

    // Every number must be a number: text where one belongs refuses the whole gradient.
    auto optionalNumber = [&](const QString &key, double fallback, double *out) {
        const QVariant v = coder.decodeObjectForKey(key);
        if (!v.isValid()) {
            *out = fallback;
            return true;
        }
        return number(v, out);
    };
    double typeValue = 0, blendingValue = 0, interpolationValue = 0, angleValue = 0;
    if (!optionalNumber(QStringLiteral("type"), 0, &typeValue)
        || !optionalNumber(QStringLiteral("blending"), 0, &blendingValue)
        || !optionalNumber(QStringLiteral("interpolation"), 0, &interpolationValue)
        || !optionalNumber(QStringLiteral("angle"), 0, &angleValue))
        return fail(QStringLiteral("A setting of the gradient is not a number."));
    const int type = int(typeValue);
    if (type != typeValue
        || (type != Linear && type != Radial && type != Sweep && type != Elliptical))
        return fail(QStringLiteral("The gradient kind %1 is unknown.").arg(typeValue));
    const int blending = int(blendingValue);
    if (blending != blendingValue || (blending != RGB && blending != HSV))
        return fail(QStringLiteral("The gradient blending %1 is unknown.").arg(blendingValue));
    const int interpolation = int(interpolationValue);
    if (interpolation != interpolationValue || interpolation < 0 || interpolation > Sinusoidal)
        return fail(
            QStringLiteral("The gradient interpolation %1 is unknown.").arg(interpolationValue));
    const double angle = angleValue;
    if (!std::isfinite(angle) || std::abs(angle) > 1.0e6)
        return fail(QStringLiteral("The gradient angle is not a usable number."));

    auto g = create();
    g->m_type = type;
    g->m_blending = blending;
    g->m_interpolation = interpolation == 1 ? LinearInterpolation : interpolation;
    g->m_angleInDegrees = std::fmod(static_cast<double>(angle), 360.0);
    if (!point(QStringLiteral("radialStart"), false, &g->m_radialStart)
        || !point(QStringLiteral("radialEnd"), false, &g->m_radialEnd))
        return fail(QStringLiteral("A radial point of the gradient is not a pair of numbers."));
    double r0 = 0, r1 = 0;
    if (!optionalNumber(QStringLiteral("radialStartRadius"), 0, &r0)
        || !optionalNumber(QStringLiteral("radialEndRadius"), 0, &r1)
        || !(r0 >= 0 && r0 <= kMaxRelative) || !(r1 >= 0 && r1 <= kMaxRelative))
        return fail(QStringLiteral("A radial radius of the gradient is out of range."));
    g->m_radialStartRadius = r0;
    g->m_radialEndRadius = r1;
    const bool hasStart = coder.decodeObjectForKey(QStringLiteral("linearStart")).isValid();
    const bool hasEnd = coder.decodeObjectForKey(QStringLiteral("linearEnd")).isValid();
    if (hasStart || hasEnd) {
        if (!point(QStringLiteral("linearStart"), true, &g->m_linearStart)
            || !point(QStringLiteral("linearEnd"), true, &g->m_linearEnd))
            return fail(QStringLiteral("A linear point of the gradient is not a pair of numbers."));
        g->m_hasLinearPoints = true;
    }
    const QVariant elliptical = coder.decodeObjectForKey(QStringLiteral("elliptical"));
    if (elliptical.isValid()) {
        const QVariantList list = elliptical.toList();
        double v[5] = {};
        bool ok = elliptical.typeId() == QMetaType::QVariantList && list.size() == 5;
        for (int i = 0; ok && i < 5; ++i)
            ok = number(list[i], &v[i]);
        if (!ok || v[0] <= 0 || v[1] <= 0)
            return fail(QStringLiteral(
                "The elliptical geometry of the gradient is not five usable numbers."));
        g->m_elliptical = {std::min(v[0], kMaxRelative), std::min(v[1], kMaxRelative),
                           std::clamp(v[2], -kMaxRelative, kMaxRelative),
                           std::clamp(v[3], -kMaxRelative, kMaxRelative), std::fmod(v[4], 360.0)};
    }
    const QVariant stopsValue = coder.decodeObjectForKey(QStringLiteral("stops"));
    if (stopsValue.typeId() != QMetaType::QVariantList)
        return fail(QStringLiteral("The gradient has no list of colour stops."));
    const QVariantList stops = stopsValue.toList();
    if (stops.isEmpty())
        return fail(QStringLiteral("The gradient has no colour stops."));
    if (stops.size() > kMaxStops)
        return fail(QStringLiteral("The gradient has more than %1 colour stops.").arg(kMaxStops));
    for (qsizetype i = 0; i < stops.size(); ++i) {
        if (stops[i].typeId() != QMetaType::QVariantMap)
            return fail(QStringLiteral("Colour stop %1 is not a dictionary.").arg(i + 1));
        const VRPlistCoder stopCoder(stops[i].toMap());
        if (stopCoder.decodeObjectForKey(QStringLiteral("isa")).toString()
            != QLatin1String("VRColorStop"))
            return fail(QStringLiteral("Colour stop %1 is not a colour stop.").arg(i + 1));
        double position = 0;
        if (!number(stopCoder.decodeObjectForKey(QStringLiteral("position")), &position))
            return fail(QStringLiteral("Colour stop %1 has no usable position.").arg(i + 1));
        const QColor colour =
            colourFromString(stopCoder.decodeObjectForKey(QStringLiteral("color")).toString());
        if (!colour.isValid())
            return fail(
                QStringLiteral("Colour stop %1 has no colour of the form #RRGGBBAA.").arg(i + 1));
        auto stop = std::make_shared<VRColorStop>(colour, position);
        stop->m_gradient = g.get();
        g->m_stops.append(stop);
    }
    return g;
}

QVariantMap VRGradient::plistRepresentation() const
{
    VRPlistCoder coder;
    coder.encodeObject(QStringLiteral("VRGradient"), QStringLiteral("isa"));
    encodeWithCoder(coder);
    return coder.dictionary();
}

QByteArray VRGradient::fileRepresentation() const
{
    // A gradient codes only strings, numbers and lists of them, which a property list holds.
    const VRResult<QByteArray> xml = VRPlistCoder::xmlData(plistRepresentation());
    VR_ASSERT(xml.ok(), return {});
    return *xml;
}

VRResult<void> VRGradient::writeToFile(const QString &path) const
{
    if (const auto why = AtomicFile::write(path, fileRepresentation())) {
        return VRError{
            QStringLiteral("The gradient could not be saved to \"%1\": %2").arg(path, *why)};
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                    | QFile::ReadOther);
    return {};
}

VRResult<VRGradientRef> VRGradient::gradientWithPlist(const QVariantMap &plist)
{
    if (plist.value(QStringLiteral("isa")).toString() != QLatin1String("VRGradient"))
        return VRError{QStringLiteral("The property list does not hold a gradient.")};
    return decodeWithCoder(VRPlistCoder(plist));
}

VRResult<VRGradientRef> VRGradient::gradientWithContentsOfFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return VRError{QStringLiteral("The gradient file \"%1\" could not be opened: %2")
                           .arg(path, file.errorString())};
    }
    if (file.size() > 16 * 1024 * 1024)
        return VRError{QStringLiteral("The gradient file \"%1\" is too large.").arg(path)};
    const VRResult<QVariantMap> dictionary = VRPlistCoder::dictionaryFromData(file.readAll());
    if (!dictionary)
        return VRError{dictionary.errorMessage()};
    return gradientWithPlist(*dictionary);
}

VRGradientRef VRGradient::defaultGradient()
{
    return gradientWithStartingColor(Qt::white, Qt::black, Linear, 90.0);
}

VRGradientRef VRGradient::gradientWithStartingColor(const QColor &start, const QColor &endingColor)
{
    return gradientWithStartingColor(start, endingColor, Linear, 0.0);
}

VRGradientRef VRGradient::gradientWithStartingColor(const QColor &start, const QColor &endingColor,
                                                    int type, double angle)
{
    auto g = create();
    g->setGradientType(type);
    g->setAngleInDegrees(angle);
    g->addColor(start.isValid() ? start : QColor(Qt::white), 0.0);
    g->addColor(endingColor.isValid() ? endingColor : QColor(Qt::black), 1.0);
    return g;
}

VRGradientRef VRGradient::aquaNormalGradient()
{
    auto g = gradientWithStartingColor(QColor(250, 250, 250), QColor(214, 214, 214), Linear, 90.0);
    g->addColor(QColor(236, 236, 236), 0.5);
    g->addColor(QColor(226, 226, 226), 0.52);
    g->sortColorStops();
    return g;
}

VRGradientRef VRGradient::aquaPressedGradient()
{
    auto g = gradientWithStartingColor(QColor(214, 214, 214), QColor(190, 190, 190), Linear, 90.0);
    g->addColor(QColor(206, 206, 206), 0.5);
    g->addColor(QColor(196, 196, 196), 0.52);
    g->sortColorStops();
    return g;
}

VRGradientRef VRGradient::aquaSelectedGradient()
{
    auto g = gradientWithStartingColor(QColor(198, 222, 252), QColor(112, 168, 238), Linear, 90.0);
    g->addColor(QColor(160, 196, 246), 0.5);
    g->addColor(QColor(136, 182, 242), 0.52);
    g->sortColorStops();
    return g;
}

VRGradientRef VRGradient::sourceListSelectedGradient()
{
    return gradientWithStartingColor(QColor(92, 147, 213), QColor(22, 83, 170), Linear, 90.0);
}
