#include "framework/model/VRDrawablePath.h"

#include "framework/archive/VRArchiveReader.h"
#include "framework/archive/VRArchiveWriter.h"
#include "framework/model/VRDrawableContainer.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/archive/VRJsonWriter.h"

#include <QJsonObject>
#include <QStringTokenizer>
#include <QVarLengthArray>
#include <QtMath>

#include <charconv>
#include <cmath>

VR_CLASS_IMPL(VRDrawablePath, VRDrawableObject)

VRDrawablePath::VRDrawablePath(const QPainterPath &path)
    : m_path(path)
{
    syncGeometryFromPath();
}

VRObjectRef VRDrawablePath::drawablePathWithBezierPath(const QPainterPath &path)
{
    return std::make_shared<VRDrawablePath>(path);
}

void VRDrawablePath::syncGeometryFromPath()
{
    const QRectF r = m_path.boundingRect();
    // Measured now, as every change of the path comes here: copies share the measures, and
    // measuring the object (on any thread) then changes nothing.
    m_path.controlPointRect();
    m_location = r.center();
    m_size = r.size();
    m_offset = QSizeF(0, 0);
}

void VRDrawablePath::changePath(const QPainterPath &path, const char *selector,
                                const QString &actionName)
{
    for (int i = 0; i < path.elementCount(); ++i) {
        const auto e = path.elementAt(i);
        if (!std::isfinite(e.x) || !std::isfinite(e.y))
            return;
    }
    if (path == m_path)
        return;
    const QPainterPath old = m_path;
    recordUndo(selector, actionName,
               [old](VRDrawableObject &o) { static_cast<VRDrawablePath &>(o).setPath(old); });
    m_path = path;
    syncGeometryFromPath();
    geometryDidChange();
}

void VRDrawablePath::setPath(const QPainterPath &path)
{
    changePath(path, "setPath:", QStringLiteral("Change Path"));
}

QPainterPath VRDrawablePath::renderingPath() const
{
    if (container())
        return container()->contentTransform().map(m_path);
    return m_path;
}

void VRDrawablePath::setLocation(QPointF location)
{
    if (!std::isfinite(location.x()) || !std::isfinite(location.y()))
        return;
    const QPointF delta = location - m_location;
    if (delta.isNull())
        return;
    changePath(m_path.translated(delta), "setLocation:", QStringLiteral("Move"));
}

void VRDrawablePath::setSize(QSizeF size)
{
    if (!std::isfinite(size.width()) || !std::isfinite(size.height()) || size.width() < 0
        || size.height() < 0 || size == m_size)
        return;
    const QRectF r = m_path.boundingRect();
    const double sx = r.width() > 0 ? size.width() / r.width() : 1.0;
    const double sy = r.height() > 0 ? size.height() / r.height() : 1.0;
    QTransform t;
    t.translate(r.center().x(), r.center().y());
    t.scale(sx, sy);
    t.translate(-r.center().x(), -r.center().y());
    changePath(t.map(m_path), "setSize:", QStringLiteral("Resize"));
}

void VRDrawablePath::setAngle(double radians)
{
    if (!std::isfinite(radians))
        return;
    const double delta = radians - m_angle;
    if (delta == 0.0)
        return;
    const double old = m_angle;
    changePath(VRPath::rotatedPath(m_path, delta), "setAngle:", QStringLiteral("Rotate"));
    recordUndo("setPathAngle:", QString(),
               [old](VRDrawableObject &o) { static_cast<VRDrawablePath &>(o).m_angle = old; });
    m_angle = std::remainder(radians, 2 * M_PI);
}

void VRDrawablePath::applyTransform(const QTransform &transform)
{
    changePath(transform.map(m_path), "setPath:", QStringLiteral("Change Path"));
}

bool VRDrawablePath::hitTest(QPointF p) const
{
    if (!isVisible() || !bounds().adjusted(-4, -4, 4, 4).contains(p))
        return false;
    QPainterPathStroker stroker;
    stroker.setWidth(std::max(6.0, 2 * styleExtraSpace(style().get())));
    const QPainterPath path = renderingPath();
    return stroker.createStroke(path).contains(p)
           || (path.elementCount() > 2 && path.contains(p)
               && path.elementAt(0) == path.elementAt(path.elementCount() - 1));
}

VRDrawableObject::Geometry VRDrawablePath::saveGeometry() const
{
    Geometry g = VRDrawableObject::saveGeometry();
    g.path = m_path;
    return g;
}

void VRDrawablePath::restoreGeometry(const Geometry &g)
{
    m_path = g.path;
    m_angle = g.angle;
    syncGeometryFromPath();
    geometryDidChange();
}

VRObjectRef VRDrawablePath::makeShape() const
{
    const QPainterPath drawn = renderingPath();
    const QRectF r = drawn.boundingRect();
    QTransform toUnit;
    toUnit.scale(r.width() > 0 ? 1.0 / r.width() : 1.0, r.height() > 0 ? 1.0 / r.height() : 1.0);
    toUnit.translate(-r.center().x(), -r.center().y());
    auto shape = VRDrawableShape::shapeWithRect(r, toUnit.map(drawn));
    shape->setStyle(styleForCopy(style()));
    return shape;
}

double VRDrawablePath::length() const
{
    return renderingPath().length();
}

void VRDrawablePath::insertPathPoint(QPointF point)
{
    // Splits the straight segment nearest to the point.
    if (m_path.elementCount() < 2)
        return;
    int best = -1;
    double bestDistance = 1e300;
    for (int i = 1; i < m_path.elementCount(); ++i) {
        const QPointF a = m_path.elementAt(i - 1), b = m_path.elementAt(i);
        const QPointF ab = b - a;
        const double len2 = QPointF::dotProduct(ab, ab);
        double t = len2 > 0 ? QPointF::dotProduct(point - a, ab) / len2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        const QPointF q = a + t * ab;
        const double d = std::hypot(point.x() - q.x(), point.y() - q.y());
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    QPainterPath result;
    for (int i = 0; i < m_path.elementCount(); ++i) {
        const auto e = m_path.elementAt(i);
        if (i == best)
            result.lineTo(point);
        if (e.isMoveTo())
            result.moveTo(e);
        else
            result.lineTo(e);
    }
    changePath(result, "insertPathPoint:", QStringLiteral("Insert Path Point"));
}

void VRDrawablePath::deletePathPoint(QPointF point)
{
    if (m_path.elementCount() <= 2)
        return;
    int best = -1;
    double bestDistance = 1e300;
    for (int i = 0; i < m_path.elementCount(); ++i) {
        const QPointF e = m_path.elementAt(i);
        const double d = std::hypot(point.x() - e.x(), point.y() - e.y());
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    QPainterPath result;
    bool first = true;
    for (int i = 0; i < m_path.elementCount(); ++i) {
        if (i == best)
            continue;
        const auto e = m_path.elementAt(i);
        if (first || e.isMoveTo())
            result.moveTo(e);
        else
            result.lineTo(e);
        first = false;
    }
    changePath(result, "deletePathPoint:", QStringLiteral("Delete Path Point"));
}

VRObjectRef VRDrawablePath::copy() const
{
    auto object = VRDrawableObject::copy();
    if (object) {
        auto &target = static_cast<VRDrawablePath &>(*object);
        target.m_path = m_path;
        target.syncGeometryFromPath();
        target.m_angle = m_angle;
    }
    return object;
}

namespace VRPath {

QPainterPath rotatedPath(const QPainterPath &path, double radians)
{
    const QPointF c = path.boundingRect().center();
    QTransform t;
    t.translate(c.x(), c.y());
    t.rotateRadians(radians);
    t.translate(-c.x(), -c.y());
    return t.map(path);
}

QPointF firstPoint(const QPainterPath &path)
{
    return path.elementCount() > 0 ? QPointF(path.elementAt(0)) : QPointF();
}

QPointF lastPoint(const QPainterPath &path)
{
    return path.elementCount() > 0 ? QPointF(path.elementAt(path.elementCount() - 1)) : QPointF();
}

QString toSvgData(const QPainterPath &path)
{
    QString out;
    auto num = [](double v) { return QString::number(v, 'g', 17); };
    for (int i = 0; i < path.elementCount(); ++i) {
        const auto e = path.elementAt(i);
        if (!out.isEmpty())
            out += QLatin1Char(' ');
        switch (e.type) {
        case QPainterPath::MoveToElement:
            out += QStringLiteral("M ") + num(e.x) + QLatin1Char(' ') + num(e.y);
            break;
        case QPainterPath::LineToElement:
            out += QStringLiteral("L ") + num(e.x) + QLatin1Char(' ') + num(e.y);
            break;
        case QPainterPath::CurveToElement: {
            out += QStringLiteral("C ") + num(e.x) + QLatin1Char(' ') + num(e.y);
            for (int k = 1; k <= 2 && i + 1 < path.elementCount(); ++k) {
                const auto d = path.elementAt(++i);
                out += QLatin1Char(' ') + num(d.x) + QLatin1Char(' ') + num(d.y);
            }
            break;
        }
        case QPainterPath::CurveToDataElement: break;
        }
    }
    return out;
}

namespace {

// A number of path data. The numbers written are plain decimals: those are read without the
// locale machinery; anything else (a sign, spaces around it) is read as QString reads it.
bool pathNumber(QStringView token, double &v)
{
    char plain[64];
    qsizetype n = 0;
    if (token.size() < qsizetype(sizeof plain)) {
        for (const QChar c : token) {
            const char16_t u = c.unicode();
            if (!((u >= u'0' && u <= u'9') || u == u'.' || u == u'-' || u == u'e' || u == u'E')) {
                n = 0;
                break;
            }
            plain[n++] = char(u);
        }
    }
    if (n > 0) {
        const auto [end, error] = std::from_chars(plain, plain + n, v);
        if (error == std::errc() && end == plain + n)
            return true;
    }
    bool ok = false;
    v = token.toDouble(&ok);
    return ok;
}

} // namespace

std::optional<QPainterPath> fromSvgData(const QString &data)
{
    QVarLengthArray<QStringView, 32> tokens;
    for (const QStringView token : QStringView(data).tokenize(u' ', Qt::SkipEmptyParts))
        tokens.append(token);
    QPainterPath path;
    qsizetype i = 0;
    auto readNumber = [&](double &v) {
        if (i >= tokens.size())
            return false;
        return pathNumber(tokens[i++], v) && std::isfinite(v) && std::abs(v) <= 1e7;
    };
    while (i < tokens.size()) {
        const QStringView cmd = tokens[i++];
        double x1, y1, x2, y2, x3, y3;
        if (cmd == u"M" || cmd == u"L") {
            if (!readNumber(x1) || !readNumber(y1))
                return std::nullopt;
            if (cmd == u"M")
                path.moveTo(x1, y1);
            else
                path.lineTo(x1, y1);
        } else if (cmd == u"C") {
            if (!readNumber(x1) || !readNumber(y1) || !readNumber(x2) || !readNumber(y2)
                || !readNumber(x3) || !readNumber(y3))
                return std::nullopt;
            path.cubicTo(x1, y1, x2, y2, x3, y3);
        } else if (cmd == u"Z") {
            path.closeSubpath();
        } else {
            return std::nullopt;
        }
    }
    return path;
}

} // namespace VRPath

void VRDrawablePath::writeRecord(VRJsonWriter &r, VRArchiveWriter &writer) const
{
    VRDrawableObject::writeRecord(r, writer);
    r.insert("path", VRPath::toSvgData(m_path));
}

bool VRDrawablePath::readRecord(const QJsonObject &r, VRArchiveReader &reader, const QString &path)
{
    if (!VRDrawableObject::readRecord(r, reader, path))
        return false;
    const double angle = m_angle;
    if (!reader.readPath(r, QStringLiteral("path"), path, m_path))
        return false;
    syncGeometryFromPath();
    m_angle = angle;
    return true;
}
