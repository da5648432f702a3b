#include "framework/notations/QntSvgPathData.h"

#include <QtMath>

#include <cmath>

namespace {

class Scanner
{
public:
    explicit Scanner(const QString &text)
        : m_text(text)
    {
    }

    void skipSeparators()
    {
        while (m_pos < m_text.size()
               && (m_text.at(m_pos).isSpace() || m_text.at(m_pos) == QLatin1Char(',')))
            ++m_pos;
    }
    bool atEnd()
    {
        skipSeparators();
        return m_pos >= m_text.size();
    }
    bool nextIsNumber()
    {
        skipSeparators();
        if (m_pos >= m_text.size())
            return false;
        const QChar c = m_text.at(m_pos);
        return c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('+')
               || c == QLatin1Char('.');
    }
    QChar command()
    {
        skipSeparators();
        return m_text.at(m_pos++);
    }
    std::optional<double> number()
    {
        skipSeparators();
        const int start = m_pos;
        if (m_pos < m_text.size()
            && (m_text.at(m_pos) == QLatin1Char('-') || m_text.at(m_pos) == QLatin1Char('+')))
            ++m_pos;
        bool digits = false;
        bool dot = false;
        while (m_pos < m_text.size()) {
            const QChar c = m_text.at(m_pos);
            if (c.isDigit()) {
                digits = true;
            } else if (c == QLatin1Char('.') && !dot) {
                dot = true;
            } else {
                break;
            }
            ++m_pos;
        }
        if (digits && m_pos < m_text.size()
            && (m_text.at(m_pos) == QLatin1Char('e') || m_text.at(m_pos) == QLatin1Char('E'))) {
            int p = m_pos + 1;
            if (p < m_text.size()
                && (m_text.at(p) == QLatin1Char('-') || m_text.at(p) == QLatin1Char('+')))
                ++p;
            if (p < m_text.size() && m_text.at(p).isDigit()) {
                m_pos = p;
                while (m_pos < m_text.size() && m_text.at(m_pos).isDigit())
                    ++m_pos;
            }
        }
        if (!digits)
            return std::nullopt;
        bool ok = false;
        const double value = QStringView(m_text).mid(start, m_pos - start).toDouble(&ok);
        if (!ok || !std::isfinite(value))
            return std::nullopt;
        return value;
    }
    // Arc flags may be written without separators ("a1 1 0 01 1 1").
    std::optional<bool> flag()
    {
        skipSeparators();
        if (m_pos >= m_text.size())
            return std::nullopt;
        const QChar c = m_text.at(m_pos);
        if (c != QLatin1Char('0') && c != QLatin1Char('1'))
            return std::nullopt;
        ++m_pos;
        return c == QLatin1Char('1');
    }
    int position() const { return m_pos; }

private:
    const QString &m_text;
    int m_pos = 0;
};

// Endpoint arc to cubic segments (SVG implementation notes, F.6).
void arcTo(QPainterPath &path, QPointF from, double rx, double ry, double xAxisRotation,
           bool largeArc, bool sweep, QPointF to)
{
    if (from == to)
        return;
    rx = std::fabs(rx);
    ry = std::fabs(ry);
    if (rx == 0 || ry == 0) {
        path.lineTo(to);
        return;
    }
    const double phi = qDegreesToRadians(xAxisRotation);
    const double cosPhi = std::cos(phi);
    const double sinPhi = std::sin(phi);
    const double dx = (from.x() - to.x()) / 2;
    const double dy = (from.y() - to.y()) / 2;
    const double x1 = cosPhi * dx + sinPhi * dy;
    const double y1 = -sinPhi * dx + cosPhi * dy;
    double lambda = (x1 * x1) / (rx * rx) + (y1 * y1) / (ry * ry);
    if (lambda > 1) {
        rx *= std::sqrt(lambda);
        ry *= std::sqrt(lambda);
    }
    const double num = rx * rx * ry * ry - rx * rx * y1 * y1 - ry * ry * x1 * x1;
    const double den = rx * rx * y1 * y1 + ry * ry * x1 * x1;
    double coef = den == 0 ? 0 : std::sqrt(std::max(0.0, num / den));
    if (largeArc == sweep)
        coef = -coef;
    const double cx1 = coef * rx * y1 / ry;
    const double cy1 = -coef * ry * x1 / rx;
    const double cx = cosPhi * cx1 - sinPhi * cy1 + (from.x() + to.x()) / 2;
    const double cy = sinPhi * cx1 + cosPhi * cy1 + (from.y() + to.y()) / 2;
    auto angle = [](double ux, double uy, double vx, double vy) {
        return std::atan2(ux * vy - uy * vx, ux * vx + uy * vy);
    };
    const double theta1 = angle(1, 0, (x1 - cx1) / rx, (y1 - cy1) / ry);
    double delta = angle((x1 - cx1) / rx, (y1 - cy1) / ry, (-x1 - cx1) / rx, (-y1 - cy1) / ry);
    if (!sweep && delta > 0)
        delta -= 2 * M_PI;
    else if (sweep && delta < 0)
        delta += 2 * M_PI;
    const int segments = std::max(1, int(std::ceil(std::fabs(delta) / (M_PI / 2))));
    const double step = delta / segments;
    const double t = 4.0 / 3.0 * std::tan(step / 4);
    double a = theta1;
    auto point = [&](double ang) {
        const double ex = rx * std::cos(ang);
        const double ey = ry * std::sin(ang);
        return QPointF(cosPhi * ex - sinPhi * ey + cx, sinPhi * ex + cosPhi * ey + cy);
    };
    auto derivative = [&](double ang) {
        const double ex = -rx * std::sin(ang);
        const double ey = ry * std::cos(ang);
        return QPointF(cosPhi * ex - sinPhi * ey, sinPhi * ex + cosPhi * ey);
    };
    for (int i = 0; i < segments; ++i) {
        const double b = a + step;
        const QPointF p1 = point(a) + t * derivative(a);
        const QPointF p2 = point(b) - t * derivative(b);
        const QPointF p3 = (i == segments - 1) ? to : point(b);
        path.cubicTo(p1, p2, p3);
        a = b;
    }
}

} // namespace

VRResult<QPainterPath> QntSvgPathData::parse(const QString &data)
{
    Scanner scanner(data);
    QPainterPath path;
    QPointF current;
    QPointF subpathStart;
    QPointF lastControl;
    QChar lastCommand;
    auto fail = [&](const QString &why) -> VRResult<QPainterPath> {
        return VRError{QStringLiteral("path data at %1: %2").arg(scanner.position()).arg(why)};
    };
    QChar command;
    bool first = true;
    while (!scanner.atEnd()) {
        if (!scanner.nextIsNumber()) {
            command = scanner.command();
            if (!QStringLiteral("MmLlHhVvCcSsQqTtAaZz").contains(command))
                return fail(QStringLiteral("unknown command “%1”").arg(command));
        } else if (command.isNull() || command == QLatin1Char('z') || command == QLatin1Char('Z')) {
            return fail(QStringLiteral("number without a command"));
        }
        if (first && command.toUpper() != QLatin1Char('M'))
            return fail(QStringLiteral("a path must start with a move"));
        first = false;
        const bool relative = command.isLower();
        const QPointF base = relative ? current : QPointF();
        auto numbers = [&](int count, double *out) {
            for (int i = 0; i < count; ++i) {
                auto n = scanner.number();
                if (!n)
                    return false;
                out[i] = *n;
            }
            return true;
        };
        double v[7];
        switch (command.toUpper().unicode()) {
        case 'M':
            if (!numbers(2, v))
                return fail(QStringLiteral("a move needs two numbers"));
            current = base + QPointF(v[0], v[1]);
            path.moveTo(current);
            subpathStart = current;
            // Further pairs after a move are lines.
            command = relative ? QLatin1Char('l') : QLatin1Char('L');
            lastCommand = QLatin1Char('M');
            continue;
        case 'L':
            if (!numbers(2, v))
                return fail(QStringLiteral("a line needs two numbers"));
            current = base + QPointF(v[0], v[1]);
            path.lineTo(current);
            break;
        case 'H':
            if (!numbers(1, v))
                return fail(QStringLiteral("a horizontal line needs a number"));
            current.setX((relative ? current.x() : 0) + v[0]);
            path.lineTo(current);
            break;
        case 'V':
            if (!numbers(1, v))
                return fail(QStringLiteral("a vertical line needs a number"));
            current.setY((relative ? current.y() : 0) + v[0]);
            path.lineTo(current);
            break;
        case 'C': {
            if (!numbers(6, v))
                return fail(QStringLiteral("a curve needs six numbers"));
            const QPointF c1 = base + QPointF(v[0], v[1]);
            const QPointF c2 = base + QPointF(v[2], v[3]);
            current = base + QPointF(v[4], v[5]);
            path.cubicTo(c1, c2, current);
            lastControl = c2;
            lastCommand = QLatin1Char('C');
            continue;
        }
        case 'S': {
            if (!numbers(4, v))
                return fail(QStringLiteral("a smooth curve needs four numbers"));
            const QPointF c1 =
                (lastCommand == QLatin1Char('C')) ? 2 * current - lastControl : current;
            const QPointF c2 = base + QPointF(v[0], v[1]);
            current = base + QPointF(v[2], v[3]);
            path.cubicTo(c1, c2, current);
            lastControl = c2;
            lastCommand = QLatin1Char('C');
            continue;
        }
        case 'Q': {
            if (!numbers(4, v))
                return fail(QStringLiteral("a quadratic curve needs four numbers"));
            const QPointF c = base + QPointF(v[0], v[1]);
            current = base + QPointF(v[2], v[3]);
            path.quadTo(c, current);
            lastControl = c;
            lastCommand = QLatin1Char('Q');
            continue;
        }
        case 'T': {
            if (!numbers(2, v))
                return fail(QStringLiteral("a smooth quadratic curve needs two numbers"));
            const QPointF c =
                (lastCommand == QLatin1Char('Q')) ? 2 * current - lastControl : current;
            current = base + QPointF(v[0], v[1]);
            path.quadTo(c, current);
            lastControl = c;
            lastCommand = QLatin1Char('Q');
            continue;
        }
        case 'A': {
            if (!numbers(3, v))
                return fail(QStringLiteral("an arc needs radii and a rotation"));
            const auto large = scanner.flag();
            const auto sweep = scanner.flag();
            if (!large || !sweep || !numbers(2, v + 3))
                return fail(QStringLiteral("an arc needs two flags and an end point"));
            const QPointF to = base + QPointF(v[3], v[4]);
            arcTo(path, current, v[0], v[1], v[2], *large, *sweep, to);
            current = to;
            break;
        }
        case 'Z':
            path.closeSubpath();
            current = subpathStart;
            break;
        }
        lastCommand = command.toUpper();
    }
    if (first)
        return fail(QStringLiteral("empty path"));
    return path;
}
