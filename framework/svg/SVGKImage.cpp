#include "framework/svg/SVGKImage.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorDoubleText.h"
#include "framework/model/QntConnectorEndPoint.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntText.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRObjectOwnerLayer.h"
#include "framework/notations/QntSvgPathData.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStrokeDash.h"
#include "framework/styles/VRStyle.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QSet>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <cmath>
#include <optional>
#include <vector>

// One element of the picture with its attributes and children; character data lives in
// children with an empty tag. An element has a few attributes, each name once: a list looked
// through is quicker to make, search and free than a hash.
struct SVGKImage::Node {
    QString tag;
    QList<std::pair<QString, QString>> attributes;
    QStringList classes;
    QString text;
    Node *parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;

    const QString *find(QStringView name) const
    {
        for (const auto &[key, value] : attributes) {
            if (key == name)
                return &value;
        }
        return nullptr;
    }
    QString attribute(QStringView name) const
    {
        const QString *value = find(name);
        return value ? *value : QString();
    }
    bool has(QStringView name) const { return find(name) != nullptr; }
    bool hasClass(const QString &name) const { return classes.contains(name); }
};

namespace {

using Node = SVGKImage::Node;

// Commas and white space between numbers; made once, as compiling it costs more than a split.
const QRegularExpression &separators()
{
    static const QRegularExpression separator(QStringLiteral("[,\\s]+"));
    return separator;
}

// ---- stylesheet -------------------------------------------------------------------------

struct Compound {
    QString tag;
    QString id;
    QStringList classes;
    bool child = false; // joined to the compound before it by ">"
};

struct Rule {
    QList<Compound> selector; // leftmost first
    int specificity = 0;
    int order = 0;
    QList<std::pair<QString, QString>> declarations;
    QList<bool> important;
};

QList<std::pair<QString, QString>> parseDeclarations(const QString &block, QList<bool> *important)
{
    QList<std::pair<QString, QString>> result;
    for (const QString &item : block.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const int colon = item.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            continue;
        QString value = item.mid(colon + 1).trimmed();
        bool isImportant = false;
        if (value.endsWith(QLatin1String("!important"))) {
            isImportant = true;
            value.chop(10);
            value = value.trimmed();
        }
        result.append({item.left(colon).trimmed().toLower(), value});
        if (important)
            important->append(isImportant);
    }
    return result;
}

std::optional<QList<Compound>> parseSelector(const QString &text, int *specificity)
{
    static const QRegularExpression unsupported(QStringLiteral("[:\\[\\*+~]"));
    if (text.contains(unsupported))
        return std::nullopt;
    QString spaced = text;
    spaced.replace(QLatin1Char('>'), QLatin1String(" > "));
    QList<Compound> compounds;
    bool nextIsChild = false;
    int a = 0, b = 0, c = 0;
    for (const QString &token : spaced.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (token == QLatin1String(">")) {
            nextIsChild = true;
            continue;
        }
        Compound compound;
        compound.child = nextIsChild;
        nextIsChild = false;
        static const QRegularExpression part(QStringLiteral("([#.]?)([^#.]+)"));
        auto it = part.globalMatch(token);
        while (it.hasNext()) {
            const auto m = it.next();
            if (m.captured(1) == QLatin1String("#")) {
                compound.id = m.captured(2);
                ++a;
            } else if (m.captured(1) == QLatin1String(".")) {
                compound.classes.append(m.captured(2));
                ++b;
            } else {
                compound.tag = m.captured(2).toLower();
                ++c;
            }
        }
        compounds.append(compound);
    }
    // Long selectors cost a walk up the tree per compound; Mermaid's have a few.
    if (compounds.isEmpty() || compounds.first().child || compounds.size() > 8)
        return std::nullopt;
    *specificity = a * 10000 + b * 100 + c;
    return compounds;
}

QList<Rule> parseStylesheet(QString css, int &order)
{
    static const QRegularExpression comments(QStringLiteral("/\\*.*?\\*/"),
                                             QRegularExpression::DotMatchesEverythingOption);
    css.remove(comments);
    QList<Rule> rules;
    qsizetype i = 0;
    const qsizetype n = css.size();
    while (i < n) {
        while (i < n && css.at(i).isSpace())
            ++i;
        if (i >= n)
            break;
        if (css.at(i) == QLatin1Char('@')) {
            // At-rules (keyframes, media, font faces) say nothing about the shapes: skip them.
            qsizetype j = i;
            while (j < n && css.at(j) != QLatin1Char('{') && css.at(j) != QLatin1Char(';'))
                ++j;
            if (j < n && css.at(j) == QLatin1Char('{')) {
                int depth = 0;
                for (; j < n; ++j) {
                    if (css.at(j) == QLatin1Char('{'))
                        ++depth;
                    else if (css.at(j) == QLatin1Char('}') && --depth == 0)
                        break;
                }
            }
            i = j + 1;
            continue;
        }
        const qsizetype open = css.indexOf(QLatin1Char('{'), i);
        if (open < 0)
            break;
        const qsizetype close = css.indexOf(QLatin1Char('}'), open);
        if (close < 0)
            break;
        const QString prelude = css.mid(i, open - i);
        const QString body = css.mid(open + 1, close - open - 1);
        i = close + 1;
        QList<bool> important;
        const auto declarations = parseDeclarations(body, &important);
        for (const QString &selectorText : prelude.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            int specificity = 0;
            auto selector = parseSelector(selectorText.trimmed(), &specificity);
            if (!selector)
                continue;
            rules.append(Rule{*selector, specificity, order++, declarations, important});
        }
    }
    return rules;
}

bool matchesCompound(const Node &node, const Compound &compound)
{
    if (!compound.tag.isEmpty() && node.tag != compound.tag)
        return false;
    if (!compound.id.isEmpty() && node.attribute(QStringLiteral("id")) != compound.id)
        return false;
    for (const QString &cls : compound.classes) {
        if (!node.hasClass(cls))
            return false;
    }
    return true;
}

bool matchesFrom(const Node *node, const QList<Compound> &selector, int index)
{
    if (!node || !matchesCompound(*node, selector.at(index)))
        return false;
    if (index == 0)
        return true;
    if (selector.at(index).child)
        return matchesFrom(node->parent, selector, index - 1);
    for (const Node *up = node->parent; up; up = up->parent) {
        if (matchesFrom(up, selector, index - 1))
            return true;
    }
    return false;
}

// ---- computed style ---------------------------------------------------------------------

struct Paint {
    QColor fill = Qt::black;
    QColor stroke; // invalid: none
    double strokeWidth = 1.0;
    QList<double> dash;
    double opacity = 1.0;
    double fillOpacity = 1.0;
    double strokeOpacity = 1.0;
    double fontSize = 16.0;
    QString fontFamily = QStringLiteral("sans-serif");
    bool bold = false;
    bool italic = false;
    QString anchor = QStringLiteral("start");
    // Where y puts the text: on its baseline, or its middle ("central", "middle").
    bool centralBaseline = false;
    bool hidden = false;
};

QColor parseColour(QString text)
{
    text = text.trimmed();
    if (text.isEmpty() || text == QLatin1String("none") || text == QLatin1String("transparent"))
        return {};
    if (text.startsWith(QLatin1String("url(")))
        return {};
    static const QRegularExpression functional(QStringLiteral("^(rgba?|hsla?)\\(([^)]*)\\)$"),
                                               QRegularExpression::CaseInsensitiveOption);
    const auto m = functional.match(text);
    if (m.hasMatch()) {
        const QString kind = m.captured(1).toLower();
        static const QRegularExpression colourSeparator(QStringLiteral("[,\\s/]+"));
        QStringList parts = m.captured(2).split(colourSeparator, Qt::SkipEmptyParts);
        if (parts.size() < 3)
            return {};
        auto number = [](QString s, double full) {
            if (s.endsWith(QLatin1Char('%'))) {
                s.chop(1);
                return s.toDouble() / 100.0 * full;
            }
            return s.toDouble();
        };
        const double alpha = parts.size() > 3 ? number(parts.at(3), 1.0) : 1.0;
        QColor colour;
        if (kind.startsWith(QLatin1String("rgb"))) {
            colour = QColor::fromRgbF(std::clamp(number(parts.at(0), 255) / 255.0, 0.0, 1.0),
                                      std::clamp(number(parts.at(1), 255) / 255.0, 0.0, 1.0),
                                      std::clamp(number(parts.at(2), 255) / 255.0, 0.0, 1.0));
        } else {
            QString hue = parts.at(0);
            hue.remove(QLatin1String("deg"));
            double h = std::fmod(hue.toDouble(), 360.0);
            if (h < 0)
                h += 360.0;
            colour = QColor::fromHslF(float(h / 360.0),
                                      float(std::clamp(number(parts.at(1), 1.0), 0.0, 1.0)),
                                      float(std::clamp(number(parts.at(2), 1.0), 0.0, 1.0)));
        }
        colour.setAlphaF(float(std::clamp(alpha, 0.0, 1.0)));
        return colour;
    }
    const QColor colour = QColor::fromString(text);
    return colour.isValid() ? colour : QColor();
}

double parseLength(QString text, double fontSize, double fallback)
{
    text = text.trimmed();
    if (text.isEmpty())
        return fallback;
    double scale = 1.0;
    if (text.endsWith(QLatin1String("px")) || text.endsWith(QLatin1String("pt"))) {
        text.chop(2);
    } else if (text.endsWith(QLatin1String("em"))) {
        text.chop(2);
        scale = fontSize;
    } else if (text.endsWith(QLatin1Char('%'))) {
        return fallback;
    }
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value) ? value * scale : fallback;
}

// Families drawn in the same widths as each other: a picture asking for one that is missing is
// laid out by the web page in another of its set, and read in it too, so its texts keep the
// widths and places the page gave them.
const QList<QStringList> &metricCompatibleFamilies()
{
    static const QList<QStringList> sets{
        {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")},
        {QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"),
         QStringLiteral("Tinos")},
        {QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
         QStringLiteral("Cousine")},
        {QStringLiteral("Calibri"), QStringLiteral("Carlito")},
        {QStringLiteral("Cambria"), QStringLiteral("Caladea")},
    };
    return sets;
}

QString installedFamily(const QString &list)
{
    static QHash<QString, QString> cache;
    const auto cached = cache.constFind(list);
    if (cached != cache.constEnd())
        return cached.value();
    const QStringList families = QFontDatabase::families();
    const auto installed = [&families](const QString &family) -> QString {
        const auto found = std::find_if(families.begin(), families.end(), [&](const QString &f) {
            return f.compare(family, Qt::CaseInsensitive) == 0;
        });
        return found != families.end() ? *found : QString();
    };
    QString chosen = QStringLiteral("sans-serif");
    for (QString family : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        family = family.trimmed();
        family.remove(QLatin1Char('"'));
        family.remove(QLatin1Char('\''));
        if (family.compare(QLatin1String("sans-serif"), Qt::CaseInsensitive) == 0)
            break;
        QString found = installed(family);
        for (const QStringList &set : metricCompatibleFamilies()) {
            if (!found.isEmpty())
                break;
            if (!set.contains(family, Qt::CaseInsensitive))
                continue;
            for (const QString &other : set) {
                found = installed(other);
                if (!found.isEmpty())
                    break;
            }
        }
        if (!found.isEmpty()) {
            chosen = found;
            break;
        }
    }
    cache.insert(list, chosen);
    return chosen;
}

void applyProperty(Paint &paint, const QString &name, const QString &value, bool &displayNone)
{
    if (value == QLatin1String("inherit"))
        return;
    if (name == QLatin1String("fill")) {
        paint.fill = parseColour(value);
    } else if (name == QLatin1String("stroke")) {
        paint.stroke = parseColour(value);
    } else if (name == QLatin1String("stroke-width")) {
        paint.strokeWidth = std::max(0.0, parseLength(value, paint.fontSize, paint.strokeWidth));
    } else if (name == QLatin1String("stroke-dasharray")) {
        paint.dash.clear();
        if (value != QLatin1String("none")) {
            for (const QString &part : value.split(separators(), Qt::SkipEmptyParts))
                paint.dash.append(std::max(0.0, parseLength(part, paint.fontSize, 0.0)));
            // One number repeats; all zeros (or "1, 0") draw a solid line.
            if (paint.dash.size() == 1)
                paint.dash.append(paint.dash.first());
            bool gaps = false;
            for (int i = 1; i < paint.dash.size(); i += 2)
                gaps = gaps || paint.dash.at(i) > 0;
            if (!gaps)
                paint.dash.clear();
        }
    } else if (name == QLatin1String("opacity")) {
        paint.opacity *= std::clamp(value.toDouble(), 0.0, 1.0);
    } else if (name == QLatin1String("fill-opacity")) {
        paint.fillOpacity = std::clamp(value.toDouble(), 0.0, 1.0);
    } else if (name == QLatin1String("stroke-opacity")) {
        paint.strokeOpacity = std::clamp(value.toDouble(), 0.0, 1.0);
    } else if (name == QLatin1String("font-size")) {
        paint.fontSize = std::clamp(parseLength(value, paint.fontSize, paint.fontSize), 1.0, 400.0);
    } else if (name == QLatin1String("font-family")) {
        paint.fontFamily = installedFamily(value);
    } else if (name == QLatin1String("font-weight")) {
        paint.bold = value == QLatin1String("bold") || value == QLatin1String("bolder")
                     || value.toInt() >= 600;
    } else if (name == QLatin1String("font-style")) {
        paint.italic = value == QLatin1String("italic") || value == QLatin1String("oblique");
    } else if (name == QLatin1String("text-anchor")) {
        paint.anchor = value;
    } else if (name == QLatin1String("dominant-baseline")
               || name == QLatin1String("alignment-baseline")) {
        paint.centralBaseline =
            value == QLatin1String("central") || value == QLatin1String("middle");
    } else if (name == QLatin1String("display")) {
        displayNone = value == QLatin1String("none");
    } else if (name == QLatin1String("visibility")) {
        paint.hidden = value == QLatin1String("hidden") || value == QLatin1String("collapse");
    }
}

// ---- transforms and geometry --------------------------------------------------------------

QTransform parseTransform(const QString &text)
{
    QTransform result;
    static const QRegularExpression item(QStringLiteral("(\\w+)\\s*\\(([^)]*)\\)"));
    auto it = item.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        QList<double> v;
        for (const QString &s : m.captured(2).split(separators(), Qt::SkipEmptyParts))
            v.append(s.toDouble());
        const QString kind = m.captured(1);
        QTransform t;
        if (kind == QLatin1String("translate") && !v.isEmpty()) {
            t.translate(v.at(0), v.size() > 1 ? v.at(1) : 0.0);
        } else if (kind == QLatin1String("scale") && !v.isEmpty()) {
            t.scale(v.at(0), v.size() > 1 ? v.at(1) : v.at(0));
        } else if (kind == QLatin1String("rotate") && !v.isEmpty()) {
            if (v.size() >= 3) {
                t.translate(v.at(1), v.at(2));
                t.rotate(v.at(0));
                t.translate(-v.at(1), -v.at(2));
            } else {
                t.rotate(v.at(0));
            }
        } else if (kind == QLatin1String("matrix") && v.size() == 6) {
            t = QTransform(v.at(0), v.at(1), v.at(2), v.at(3), v.at(4), v.at(5));
        } else if (kind == QLatin1String("skewX") && !v.isEmpty()) {
            t.shear(std::tan(qDegreesToRadians(v.at(0))), 0);
        } else if (kind == QLatin1String("skewY") && !v.isEmpty()) {
            t.shear(0, std::tan(qDegreesToRadians(v.at(0))));
        }
        // SVG applies the list right to left: the rightmost transform is innermost.
        result = t * result;
    }
    return result;
}

double number(const Node &node, const char *name, double fallback = 0.0)
{
    bool ok = false;
    QString text = node.attribute(QString::fromLatin1(name)).trimmed();
    if (text.endsWith(QLatin1String("px")))
        text.chop(2);
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value) ? value : fallback;
}

QList<QPointF> parsePoints(const QString &text)
{
    QList<double> values;
    for (const QString &s : text.split(separators(), Qt::SkipEmptyParts))
        values.append(s.toDouble());
    QList<QPointF> points;
    for (int i = 0; i + 1 < values.size(); i += 2)
        points.append(QPointF(values.at(i), values.at(i + 1)));
    return points;
}

// The outline of a basic shape in its own coordinates; closed tells whether it encloses.
std::optional<QPainterPath> outlineOf(const Node &node, bool &closed)
{
    QPainterPath path;
    closed = true;
    if (node.tag == QLatin1String("rect")) {
        const double w = number(node, "width"), h = number(node, "height");
        if (w <= 0 || h <= 0)
            return std::nullopt;
        const double rx = number(node, "rx", number(node, "ry")),
                     ry = number(node, "ry", number(node, "rx"));
        const QRectF r(number(node, "x"), number(node, "y"), w, h);
        if (rx > 0 || ry > 0)
            path.addRoundedRect(r, std::min(rx, w / 2), std::min(ry, h / 2));
        else
            path.addRect(r);
    } else if (node.tag == QLatin1String("circle")) {
        const double r = number(node, "r");
        if (r <= 0)
            return std::nullopt;
        path.addEllipse(QPointF(number(node, "cx"), number(node, "cy")), r, r);
    } else if (node.tag == QLatin1String("ellipse")) {
        const double rx = number(node, "rx"), ry = number(node, "ry");
        if (rx <= 0 || ry <= 0)
            return std::nullopt;
        path.addEllipse(QPointF(number(node, "cx"), number(node, "cy")), rx, ry);
    } else if (node.tag == QLatin1String("line")) {
        closed = false;
        path.moveTo(number(node, "x1"), number(node, "y1"));
        path.lineTo(number(node, "x2"), number(node, "y2"));
    } else if (node.tag == QLatin1String("polygon") || node.tag == QLatin1String("polyline")) {
        const QList<QPointF> points = parsePoints(node.attribute(QStringLiteral("points")));
        if (points.size() < 2)
            return std::nullopt;
        path.moveTo(points.first());
        for (int i = 1; i < points.size(); ++i)
            path.lineTo(points.at(i));
        closed = node.tag == QLatin1String("polygon");
        if (closed)
            path.closeSubpath();
    } else if (node.tag == QLatin1String("path")) {
        const QString data = node.attribute(QStringLiteral("d"));
        if (data.trimmed().isEmpty())
            return std::nullopt;
        const auto parsed = QntSvgPathData::parse(data);
        if (!parsed)
            return std::nullopt;
        path = *parsed;
        closed = data.trimmed().endsWith(QLatin1Char('z'), Qt::CaseInsensitive);
    } else {
        return std::nullopt;
    }
    if (path.isEmpty())
        return std::nullopt;
    // SVG fills by the non-zero rule (a subroutine's outline crosses itself).
    path.setFillRule(Qt::WindingFill);
    return path;
}

bool isShapeTag(const QString &tag)
{
    static const QStringList tags{QStringLiteral("rect"),    QStringLiteral("circle"),
                                  QStringLiteral("ellipse"), QStringLiteral("line"),
                                  QStringLiteral("polygon"), QStringLiteral("polyline"),
                                  QStringLiteral("path")};
    return tags.contains(tag);
}

bool isSkippedTag(const QString &tag)
{
    static const QStringList tags{QStringLiteral("defs"),     QStringLiteral("marker"),
                                  QStringLiteral("style"),    QStringLiteral("title"),
                                  QStringLiteral("desc"),     QStringLiteral("filter"),
                                  QStringLiteral("clipPath"), QStringLiteral("mask"),
                                  QStringLiteral("symbol"),   QStringLiteral("metadata"),
                                  QStringLiteral("pattern"),  QStringLiteral("linearGradient"),
                                  QStringLiteral("script"),   QStringLiteral("radialGradient")};
    return tags.contains(tag);
}

// Mermaid writes some characters of labels as entities that the picture keeps as text.
QString decodeLabelEntities(QString text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    static const QRegularExpression numeric(QStringLiteral("&#(x?)([0-9a-fA-F]{1,6});"));
    QString out;
    qsizetype last = 0;
    auto it = numeric.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        out += text.mid(last, m.capturedStart() - last);
        bool ok = false;
        const uint code = m.captured(2).toUInt(&ok, m.captured(1).isEmpty() ? 10 : 16);
        if (ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF))
            out += QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1);
        else
            out += m.captured(0);
        last = m.capturedEnd();
    }
    out += text.mid(last);
    out.replace(QLatin1String("&quot;"), QLatin1String("\""));
    out.replace(QLatin1String("&apos;"), QLatin1String("'"));
    out.replace(QLatin1String("&lt;"), QLatin1String("<"));
    out.replace(QLatin1String("&gt;"), QLatin1String(">"));
    out.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return out;
}

QColor withAlpha(QColor colour, double alpha)
{
    if (colour.isValid())
        colour.setAlphaF(float(std::clamp(colour.alphaF() * alpha, 0.0, 1.0)));
    return colour;
}

// ---- the walk ---------------------------------------------------------------------------

struct TextRow {
    QString text;
    QPointF anchor; // the row's anchor point in picture coordinates (baseline)
};

struct TextInfo {
    QList<TextRow> rows;
    Paint paint;
};

class Builder
{
public:
    Builder(const Node &root, VRObjectOwnerLayer &layer)
        : m_root(root)
        , m_layer(layer)
    {
        int order = 0;
        collectStyles(root, order);
    }

    void build(QPointF origin)
    {
        // Flowcharts have nodes and edges; other diagrams come through as what they draw.
        m_flowchart = m_root.attribute(QStringLiteral("aria-roledescription"))
                          .startsWith(QLatin1String("flowchart"))
                      || m_root.hasClass(QStringLiteral("flowchart"));
        QTransform base;
        base.translate(origin.x(), origin.y());
        const QString viewBox = m_root.attribute(QStringLiteral("viewBox"));
        const QStringList v = viewBox.split(separators(), Qt::SkipEmptyParts);
        if (v.size() == 4)
            base = QTransform::fromTranslate(-v.at(0).toDouble(), -v.at(1).toDouble()) * base;
        collectEdgeLabels(m_root, base, Paint());
        m_namedEdges = hasNamedEdges(m_root);
        if (m_root.attribute(QStringLiteral("aria-roledescription")) == QLatin1String("sequence"))
            collectSequence(base);
        walk(m_root, base, Paint());
        if (m_sequence)
            holdFramesContents();
        else
            keepSharedPairsApart();
    }

private:
    void collectStyles(const Node &node, int &order)
    {
        if (node.tag == QLatin1String("style")) {
            QString css;
            for (const auto &child : node.children)
                css += child->text;
            m_rules += parseStylesheet(css, order);
            return;
        }
        for (const auto &child : node.children)
            collectStyles(*child, order);
    }

    // The style of a node given its parent's; false when the node is not displayed. A node's
    // style always comes from its parent's along the picture's tree, whichever pass asks, so it
    // is worked out once.
    bool computeStyle(const Node &node, const Paint &parent, Paint &paint) const
    {
        const auto known = m_styles.constFind(&node);
        if (known != m_styles.constEnd()) {
            paint = known->first;
            return known->second;
        }
        const bool displayed = styleOf(node, parent, paint);
        m_styles.insert(&node, {paint, displayed});
        return displayed;
    }

    bool styleOf(const Node &node, const Paint &parent, Paint &paint) const
    {
        paint = parent;
        paint.opacity = 1.0;
        bool displayNone = false;
        static const QStringList presentation{QStringLiteral("fill"),
                                              QStringLiteral("stroke"),
                                              QStringLiteral("stroke-width"),
                                              QStringLiteral("stroke-dasharray"),
                                              QStringLiteral("opacity"),
                                              QStringLiteral("fill-opacity"),
                                              QStringLiteral("stroke-opacity"),
                                              QStringLiteral("font-size"),
                                              QStringLiteral("font-family"),
                                              QStringLiteral("font-weight"),
                                              QStringLiteral("font-style"),
                                              QStringLiteral("text-anchor"),
                                              QStringLiteral("display"),
                                              QStringLiteral("visibility"),
                                              QStringLiteral("dominant-baseline"),
                                              QStringLiteral("alignment-baseline")};
        for (const QString &name : presentation) {
            if (const QString *value = node.find(name))
                applyProperty(paint, name, *value, displayNone);
        }
        const QList<const Rule *> matched = matchedRules(node);
        const auto inlineDeclarations =
            parseDeclarations(node.attribute(QStringLiteral("style")), nullptr);
        for (int pass = 0; pass < 2; ++pass) {
            for (const Rule *rule : std::as_const(matched)) {
                for (int i = 0; i < rule->declarations.size(); ++i) {
                    if (rule->important.at(i) == (pass == 1))
                        applyProperty(paint, rule->declarations.at(i).first,
                                      rule->declarations.at(i).second, displayNone);
                }
            }
            if (pass == 0) {
                for (const auto &[name, value] : inlineDeclarations)
                    applyProperty(paint, name, value, displayNone);
            }
        }
        paint.opacity *= parent.opacity;
        return !displayNone;
    }

    // Stylesheet rules of a node by specificity, then order; important declarations are applied
    // last by the caller.
    QList<const Rule *> matchedRules(const Node &node) const
    {
        QList<const Rule *> matched;
        for (const Rule &rule : m_rules) {
            if (matchesFrom(&node, rule.selector, int(rule.selector.size()) - 1))
                matched.append(&rule);
        }
        std::stable_sort(matched.begin(), matched.end(), [](const Rule *a, const Rule *b) {
            return a->specificity != b->specificity ? a->specificity < b->specificity
                                                    : a->order < b->order;
        });
        return matched;
    }

    QTransform transformOf(const Node &node, const QTransform &parent) const
    {
        const QString text = node.attribute(QStringLiteral("transform"));
        return text.isEmpty() ? parent : parseTransform(text) * parent;
    }

    // Edge labels, by the "data-id" of their edge.
    void collectEdgeLabels(const Node &node, const QTransform &parent, const Paint &inherited)
    {
        Paint paint;
        if (!computeStyle(node, inherited, paint))
            return;
        const QTransform ctm = transformOf(node, parent);
        if (node.tag == QLatin1String("g") && node.hasClass(QStringLiteral("edgeLabel"))) {
            TextInfo info;
            collectTexts(node, parent, inherited, info);
            QString id;
            for (const auto &child : node.children) {
                if (child->hasClass(QStringLiteral("label")))
                    id = child->attribute(QStringLiteral("data-id"));
            }
            QStringList rows;
            for (const TextRow &row : std::as_const(info.rows))
                rows.append(row.text);
            const QString text = rows.join(QLatin1Char('\n')).trimmed();
            if (!id.isEmpty() && !text.isEmpty())
                m_edgeLabels.insert(id, {text, info});
            return;
        }
        for (const auto &child : node.children)
            collectEdgeLabels(*child, ctm, paint);
    }

    // Every text below a node, as rows in picture coordinates.
    void collectTexts(const Node &node, const QTransform &parent, const Paint &inherited,
                      TextInfo &info)
    {
        Paint paint;
        if (!computeStyle(node, inherited, paint))
            return;
        const QTransform ctm = transformOf(node, parent);
        if (node.tag == QLatin1String("text")) {
            readText(node, ctm, paint, info);
            return;
        }
        for (const auto &child : node.children)
            collectTexts(*child, ctm, paint, info);
    }

    void readText(const Node &text, const QTransform &ctm, const Paint &paint, TextInfo &info)
    {
        if (info.rows.isEmpty())
            info.paint = paint;
        const double fontSize = paint.fontSize;
        double x = number(text, "x");
        double y = number(text, "y");
        y += parseLength(text.attribute(QStringLiteral("dy")), fontSize, 0.0);
        x += parseLength(text.attribute(QStringLiteral("dx")), fontSize, 0.0);
        QString direct;
        bool hasRows = false;
        for (const auto &child : text.children) {
            if (child->tag.isEmpty()) {
                direct += child->text;
                continue;
            }
            if (child->tag != QLatin1String("tspan"))
                continue;
            Paint rowPaint;
            if (!computeStyle(*child, paint, rowPaint))
                continue;
            // A tspan with its own x, y or dy starts a row; its inner spans are words.
            double rx = x, ry = y;
            if (child->has(u"x"))
                rx = parseLength(child->attribute(QStringLiteral("x")), fontSize, x);
            if (child->has(u"y"))
                ry = parseLength(child->attribute(QStringLiteral("y")), fontSize, y);
            ry += parseLength(child->attribute(QStringLiteral("dy")), fontSize, 0.0);
            rx += parseLength(child->attribute(QStringLiteral("dx")), fontSize, 0.0);
            const QString content = decodeLabelEntities(allText(*child));
            if (content.trimmed().isEmpty())
                continue;
            // The first row's own style gives the colour (a sheet may colour the spans only).
            if (!hasRows && info.rows.isEmpty())
                info.paint = rowPaint;
            hasRows = true;
            info.rows.append({content, ctm.map(QPointF(rx, ry))});
            x = rx;
            y = ry;
        }
        if (!hasRows && !direct.trimmed().isEmpty())
            info.rows.append({decodeLabelEntities(direct.trimmed()), ctm.map(QPointF(x, y))});
    }

    static QString allText(const Node &node)
    {
        if (node.tag.isEmpty())
            return node.text;
        QString text;
        for (const auto &child : node.children)
            text += allText(*child);
        return text;
    }

    VRStyleRef styleFor(const Paint &paint, bool closed) const
    {
        const QColor fill =
            closed ? withAlpha(paint.fill, paint.fillOpacity * paint.opacity) : QColor();
        const QColor stroke = withAlpha(paint.stroke, paint.strokeOpacity * paint.opacity);
        VRStyleRef style =
            VRStyle::styleWithFillColour(fill, stroke, stroke.isValid() ? paint.strokeWidth : 0);
        if (!paint.dash.isEmpty() && style->stroke())
            style->stroke()->setDash(VRStrokeDash::create(paint.dash));
        return style;
    }

    static std::shared_ptr<VRDrawableShape> shapeFromPath(const QPainterPath &path)
    {
        QRectF bounds = path.boundingRect();
        if (bounds.width() < 0.01)
            bounds.adjust(-0.5, 0, 0.5, 0);
        if (bounds.height() < 0.01)
            bounds.adjust(0, -0.5, 0, 0.5);
        QTransform toUnit;
        toUnit.translate(-0.5, -0.5);
        toUnit.scale(1.0 / bounds.width(), 1.0 / bounds.height());
        toUnit.translate(-bounds.left(), -bounds.top());
        return VRDrawableShape::shapeWithRect(bounds, toUnit.map(path));
    }

    static bool hasCurves(const QPainterPath &path)
    {
        for (int i = 0; i < path.elementCount(); ++i) {
            if (path.elementAt(i).isCurveTo())
                return true;
        }
        return false;
    }

    // An enclosing outline as shapes. One that overlaps itself (a subroutine's box with its
    // side bars) becomes its filled union and, above it, its strokes: the look no longer
    // depends on a fill rule, which files do not keep.
    VRObjectList enclosingShapes(const QPainterPath &path, const Paint &paint) const
    {
        if (!hasCurves(path)) {
            QPainterPath nonZero = path;
            nonZero.setFillRule(Qt::WindingFill);
            QPainterPath evenOdd = path;
            evenOdd.setFillRule(Qt::OddEvenFill);
            const QRectF differs = nonZero.subtracted(evenOdd).boundingRect();
            const QPainterPath union_ = nonZero.simplified();
            if (differs.width() * differs.height() > 1.0 && !union_.isEmpty()) {
                Paint fillOnly = paint;
                fillOnly.stroke = QColor();
                Paint strokeOnly = paint;
                strokeOnly.fill = QColor();
                auto body = shapeFromPath(union_);
                body->setStyle(styleFor(fillOnly, true));
                auto lines = shapeFromPath(path);
                lines->setStyle(styleFor(strokeOnly, true));
                VRObjectList shapes;
                if (fillOnly.fill.isValid())
                    shapes.append(body);
                if (strokeOnly.stroke.isValid())
                    shapes.append(lines);
                return shapes;
            }
        }
        auto shape = shapeFromPath(path);
        shape->setStyle(styleFor(paint, true));
        return {shape};
    }

    // The visible outline of a basic shape in picture coordinates with its style: nothing, one
    // object, or two for an outline that overlaps itself. In a node, open outlines are filled
    // too, as SVG fills every path.
    VRObjectList plainShape(const Node &node, const QTransform &ctm, const Paint &paint,
                            QPainterPath *outline = nullptr, bool fillOpen = false) const
    {
        bool closed = true;
        const auto local = outlineOf(node, closed);
        if (!local || paint.hidden)
            return {};
        const bool filled = (closed || fillOpen) && paint.fill.isValid() && paint.fill.alpha() > 0
                            && paint.fillOpacity * paint.opacity > 0;
        const bool stroked = paint.stroke.isValid() && paint.stroke.alpha() > 0
                             && paint.strokeWidth > 0 && paint.strokeOpacity * paint.opacity > 0;
        if (!filled && !stroked)
            return {};
        const QPainterPath path = ctm.map(*local);
        if (outline)
            *outline = path;
        if (closed || fillOpen) {
            Paint visible = paint;
            if (!filled)
                visible.fill = QColor();
            return enclosingShapes(path, visible);
        }
        auto open = std::make_shared<VRDrawablePath>(path);
        open->setStyle(styleFor(paint, false));
        // Marked ends (a sequence message's arrow) keep an arrowhead of their kind.
        const int start = arrowKindFor(node.attribute(QStringLiteral("marker-start")));
        const int end = arrowKindFor(node.attribute(QStringLiteral("marker-end")));
        if ((start || end) && stroked) {
            auto arrow = std::make_shared<VRArrowStroke>();
            arrow->setColour(withAlpha(paint.stroke, paint.strokeOpacity * paint.opacity));
            arrow->setWidth(std::max(paint.strokeWidth, 1.0));
            if (!paint.dash.isEmpty())
                arrow->setDash(VRStrokeDash::create(paint.dash));
            arrow->setArrowHeadAtStart(start);
            arrow->setArrowHeadAtEnd(end);
            VRStyleRef style = VRStyle::create();
            style->addRenderer(arrow);
            open->setStyle(style);
        }
        return {open};
    }

    QFont fontFor(const Paint &paint) const
    {
        QFont font(paint.fontFamily);
        // Picture units are CSS pixels; the drawing's text sizes are points at 96 per inch.
        font.setPointSizeF(paint.fontSize * 0.75);
        font.setBold(paint.bold);
        font.setItalic(paint.italic);
        return font;
    }

    static int alignmentFor(const QString &anchor)
    {
        if (anchor == QLatin1String("middle"))
            return 2;
        if (anchor == QLatin1String("end"))
            return 1;
        return 0;
    }

    void setText(QntTextShape &text, const QString &string, const Paint &paint) const
    {
        text.setFont(fontFor(paint));
        text.setString(string);
        text.setAlignment(2);
        const QColor colour = withAlpha(paint.fill, paint.fillOpacity * paint.opacity);
        text.setTextColour(colour.isValid() ? colour : QColor(Qt::black));
    }

    // Free text placed where the picture puts it: the row's anchor on the same side, the first
    // baseline at the anchor's height.
    void addText(const TextInfo &info)
    {
        if (auto text = makeText(info))
            m_layer.addObject(text);
    }

    std::shared_ptr<QntText> makeText(const TextInfo &info) const
    {
        if (info.rows.isEmpty())
            return nullptr;
        QStringList rows;
        for (const TextRow &row : info.rows)
            rows.append(row.text);
        const QString string = rows.join(QLatin1Char('\n'));
        auto text = std::make_shared<QntText>();
        text->addTextShape();
        QntTextShape *part = text->text();
        setText(*part, string, info.paint);
        const int alignment = alignmentFor(info.paint.anchor);
        part->setAlignment(alignment);
        VRTextBlock block = part->textBlock();
        block.setVerticalAlignment(0);
        part->setTextBlock(block);
        const QFontMetricsF metrics(fontFor(info.paint));
        const QSizeF natural = block.naturalSize();
        const double width = std::max(natural.width(), 1.0) + 2.0;
        const double height = std::max(natural.height(), metrics.height());
        const QPointF anchor = info.rows.first().anchor;
        double left = anchor.x();
        if (alignment == 2)
            left -= width / 2;
        else if (alignment == 1)
            left -= width;
        const double top = info.paint.centralBaseline
                               ? anchor.y() - (metrics.ascent() + metrics.descent()) / 2
                               : anchor.y() - metrics.ascent();
        const QRectF frame(left, top, width, height);
        text->setPaddingMode(1);
        text->setPaddingLeftRight(0);
        text->setPaddingTopBottom(0);
        text->setGroupObjects({}, QRectF(QPointF(0, 0), frame.size()));
        text->setLocation(frame.center());
        text->setSize(frame.size());
        text->setOriginalSize(frame.size());
        return text;
    }

    // Where the first row of a text starts, as its top: on its baseline, or its middle.
    double textTop(const TextInfo &info) const
    {
        const QFontMetricsF metrics(fontFor(info.paint));
        const double y = info.rows.first().anchor.y();
        return info.paint.centralBaseline ? y - (metrics.ascent() + metrics.descent()) / 2
                                          : y - metrics.ascent();
    }

    // A text the picture puts off the middle of its box (a frame's condition sits right of
    // it, beside the frame's kind) keeps its place across: aligned to the side it leans to,
    // as far in from that side as the picture has it.
    void keepTextAcross(QntElement &element, const TextInfo &info, const QRectF &bounds) const
    {
        if (info.rows.isEmpty() || !element.text() || bounds.width() <= 0)
            return;
        const QFontMetricsF metrics(fontFor(info.paint));
        double left = qInf(), right = -qInf();
        for (const TextRow &row : info.rows) {
            const double width = metrics.horizontalAdvance(row.text);
            double start = row.anchor.x();
            if (info.paint.anchor == QLatin1String("middle"))
                start -= width / 2;
            else if (info.paint.anchor == QLatin1String("end"))
                start -= width;
            left = std::min(left, start);
            right = std::max(right, start + width);
        }
        const double lean = (left + right) / 2 - bounds.center().x();
        if (std::abs(lean) < 1 || !std::isfinite(lean))
            return;
        const double inset = lean > 0 ? bounds.right() - right : left - bounds.left();
        if (inset < 0)
            return;
        VRTextBlock block = element.text()->textBlock();
        block.setAlignment(lean > 0 ? 1 : 0);
        element.text()->setTextBlock(block);
        element.setPaddingLeftRight(inset);
    }

    // Puts an element's text at the top of its box, where the picture has its first row.
    static void placeTextAtTop(QntElement &element, double top, const QRectF &bounds)
    {
        VRTextBlock block = element.text()->textBlock();
        block.setVerticalAlignment(0);
        element.text()->setTextBlock(block);
        element.setPaddingTopBottom(std::clamp(top - bounds.top(), 0.0, bounds.height() / 2));
    }

    // The middles of the box's sides: on or near the outline of the node shapes Mermaid draws,
    // where the box's corners lie well outside a rhombus or a circle.
    static QList<QPointF> defaultSpots()
    {
        return {QPointF(0, -0.5), QPointF(0.5, 0), QPointF(0, 0.5), QPointF(-0.5, 0)};
    }

    // A node or a subgraph: its outlines become the parts, its texts the label.
    void addElement(const Node &node, const QTransform &parent, const Paint &inherited,
                    bool cluster)
    {
        Paint paint;
        if (!computeStyle(node, inherited, paint))
            return;
        const QTransform ctm = transformOf(node, parent);
        VRObjectList parts;
        QRectF bounds;
        collectParts(node, ctm, paint, parts, bounds);
        TextInfo info;
        std::optional<double> top;
        if (const Node *title = childWithClass(node, QStringLiteral("label-group"))) {
            // A class: its name is the element's text at the top, its annotation, attributes
            // and operations are texts of its own where the picture has them.
            collectTexts(*title, ctm, paint, info);
            if (!info.rows.isEmpty())
                top = textTop(info);
            for (const auto &child : node.children) {
                if (child.get() == title || child->tag != QLatin1String("g")
                    || !child->hasClass(QStringLiteral("text")))
                    continue;
                QList<TextInfo> rows;
                collectTextList(*child, ctm, paint, rows);
                for (const TextInfo &row : std::as_const(rows)) {
                    if (auto text = makeText(row))
                        parts.append(text);
                }
            }
        } else {
            collectTexts(node, parent, inherited, info);
            // A subgraph's or composite state's title sits at its top.
            if (cluster && !info.rows.isEmpty())
                top = textTop(info);
        }
        auto element = makeElement(parts, bounds, info, paint, top);
        if (!element)
            return;
        const QString id = node.attribute(QStringLiteral("id"));
        const QString name = node.attribute(QStringLiteral("data-qnt-name"));
        element->setString(name.isEmpty() ? id : name, QStringLiteral("name"));
        if (!id.isEmpty())
            element->setString(id, QStringLiteral("uid"));
        QString cls = node.attribute(QStringLiteral("class"));
        // A composite state is a container like a subgraph: it goes behind its states.
        if (cluster && !cls.startsWith(QLatin1String("cluster")))
            cls = QStringLiteral("cluster ") + cls;
        element->setString(cls, QStringLiteral("class"));
        m_layer.addObject(element);
    }

    // An element of the parts (the first one its contour) and the text, centred, or at the
    // top from `top` on; null when there is neither.
    std::shared_ptr<QntElement> makeElement(VRObjectList parts, QRectF bounds, const TextInfo &info,
                                            const Paint &paint, std::optional<double> top) const
    {
        if (parts.isEmpty() && info.rows.isEmpty())
            return nullptr;
        auto element = std::make_shared<QntElement>();
        if (!parts.isEmpty()) {
            parts.first()->setString(QStringLiteral("contour"), QStringLiteral("ID"));
        } else {
            // A label with no outline: its text rows make the box.
            for (const TextRow &row : std::as_const(info.rows))
                bounds |=
                    QRectF(row.anchor - QPointF(20, paint.fontSize), QSizeF(40, paint.fontSize));
        }
        if (bounds.width() < 1)
            bounds.adjust(-0.5, 0, 0.5, 0);
        if (bounds.height() < 1)
            bounds.adjust(0, -0.5, 0, 0.5);
        element->setGroupObjects(parts, bounds);
        element->setLocation(bounds.center());
        element->setSize(bounds.size());
        element->setOriginalSize(bounds.size());
        element->setOriginalSizeWithoutScale(bounds.size());
        element->setPaddingMode(1);
        element->setPaddingLeftRight(2);
        element->setPaddingTopBottom(2);
        if (!info.rows.isEmpty()) {
            element->addTextShape();
            QStringList rows;
            for (const TextRow &row : std::as_const(info.rows))
                rows.append(row.text);
            setText(*element->text(), rows.join(QLatin1Char('\n')), info.paint);
            if (top)
                placeTextAtTop(*element, *top, bounds);
        }
        element->setStickySpots(defaultSpots());
        return element;
    }

    static const Node *childWithClass(const Node &node, const QString &cls)
    {
        for (const auto &child : node.children) {
            if (child->hasClass(cls))
                return child.get();
        }
        return nullptr;
    }

    // Every text below a node, one entry each.
    void collectTextList(const Node &node, const QTransform &parent, const Paint &inherited,
                         QList<TextInfo> &list)
    {
        Paint paint;
        if (!computeStyle(node, inherited, paint))
            return;
        const QTransform ctm = transformOf(node, parent);
        if (node.tag == QLatin1String("text")) {
            TextInfo info;
            readText(node, ctm, paint, info);
            if (!info.rows.isEmpty() && !paint.hidden)
                list.append(info);
            return;
        }
        for (const auto &child : node.children)
            collectTextList(*child, ctm, paint, list);
    }

    void collectParts(const Node &node, const QTransform &ctm, const Paint &paint,
                      VRObjectList &parts, QRectF &bounds)
    {
        for (const auto &child : node.children) {
            if (child->tag.isEmpty() || isSkippedTag(child->tag)
                || child->tag == QLatin1String("text"))
                continue;
            Paint childPaint;
            if (!computeStyle(*child, paint, childPaint))
                continue;
            const QTransform childCtm = transformOf(*child, ctm);
            // Labels bring only text; their background boxes are not outlines.
            if (child->hasClass(QStringLiteral("label"))
                || child->hasClass(QStringLiteral("cluster-label"))
                || child->hasClass(QStringLiteral("background")))
                continue;
            if (isShapeTag(child->tag)) {
                QPainterPath outline;
                const VRObjectList shapes =
                    plainShape(*child, childCtm, childPaint, &outline, true);
                if (!shapes.isEmpty()) {
                    parts += shapes;
                    bounds |= outline.boundingRect();
                }
                continue;
            }
            collectParts(*child, childCtm, childPaint, parts, bounds);
        }
    }

    void addEdge(const Node &node, const QTransform &ctm, const Paint &paint)
    {
        bool closed = false;
        const auto local = outlineOf(node, closed);
        if (!local)
            return;
        const QPainterPath path = ctm.map(*local);
        // A class relation's multiplicities sit near its ends, as two labels of their own.
        const QString startLabel = node.attribute(QStringLiteral("data-qnt-start-label"));
        const QString endLabel = node.attribute(QStringLiteral("data-qnt-end-label"));
        const bool ends = !startLabel.isEmpty() || !endLabel.isEmpty();
        std::shared_ptr<QntConnector> connector;
        if (ends)
            connector = std::make_shared<QntConnectorDoubleText>();
        else
            connector = std::make_shared<QntConnector>();
        const QColor stroke = withAlpha(paint.stroke.isValid() ? paint.stroke : QColor(Qt::black),
                                        paint.strokeOpacity * paint.opacity);
        connector->setStyle(styleFor(paint, false));
        connector->setShaftColor(stroke);
        connector->setEnds(VRPath::firstPoint(path), VRPath::lastPoint(path));
        QVariantMap skin;
        skin.insert(QStringLiteral("startArrowheadId"),
                    arrowheadFor(node.attribute(QStringLiteral("marker-start"))));
        skin.insert(QStringLiteral("endArrowheadId"),
                    arrowheadFor(node.attribute(QStringLiteral("marker-end"))));
        connector->addSkin(skin);
        const QString from = node.attribute(QStringLiteral("data-qnt-from"));
        const QString to = node.attribute(QStringLiteral("data-qnt-to"));
        if (!from.isEmpty())
            connector->setString(from, QStringLiteral("from"));
        if (!to.isEmpty())
            connector->setString(to, QStringLiteral("to"));
        const QString id = node.attribute(QStringLiteral("data-id"));
        if (!id.isEmpty())
            connector->setString(id, QStringLiteral("uid"));
        const auto label = m_edgeLabels.constFind(id);
        if (ends) {
            auto &both = static_cast<QntConnectorDoubleText &>(*connector);
            const Paint &look = label != m_edgeLabels.constEnd() ? label->second.paint : paint;
            both.setLabel(endLabelBlock(connector->label(), startLabel, look));
            both.setSecondLabel(endLabelBlock(both.secondLabel(), endLabel, look));
            // Near the ends, off the line.
            connector->setLayoutMode(1);
            connector->setTextXOffset(-0.4);
            connector->setTextYOffset(-10);
            // The relation's own name stays where the picture has it.
            if (!id.isEmpty() && label != m_edgeLabels.constEnd())
                addText(label->second);
        } else if (!id.isEmpty() && label != m_edgeLabels.constEnd()) {
            VRTextBlock block = connector->label();
            block.setPlainText(label->first);
            block.setFont(fontFor(label->second.paint));
            const QColor colour =
                withAlpha(label->second.paint.fill, label->second.paint.fillOpacity);
            block.setColour(colour.isValid() ? colour : QColor(Qt::black));
            block.setAlignment(2);
            connector->setLabel(block);
            // The label sits on the line, as Mermaid draws it.
            connector->setLayoutMode(0);
        }
        m_layer.addObject(connector);
    }

    VRTextBlock endLabelBlock(VRTextBlock block, const QString &text, const Paint &paint) const
    {
        block.setPlainText(text);
        block.setFont(fontFor(paint));
        const QColor colour = withAlpha(paint.fill, paint.fillOpacity);
        block.setColour(colour.isValid() ? colour : QColor(Qt::black));
        block.setAlignment(2);
        return block;
    }

    // The arrow stroke's head for a marker: open heads stay open, crosses become bars.
    static int arrowKindFor(const QString &marker)
    {
        if (marker.isEmpty())
            return 0;
        if (marker.contains(QLatin1String("open"), Qt::CaseInsensitive))
            return 11;
        if (marker.contains(QLatin1String("circle"), Qt::CaseInsensitive))
            return 3;
        if (marker.contains(QLatin1String("cross"), Qt::CaseInsensitive))
            return 7;
        if (marker.contains(QLatin1String("extension"), Qt::CaseInsensitive))
            return 12;
        if (marker.contains(QLatin1String("composition"), Qt::CaseInsensitive))
            return 14;
        if (marker.contains(QLatin1String("aggregation"), Qt::CaseInsensitive))
            return 13;
        if (marker.contains(QLatin1String("dependency"), Qt::CaseInsensitive))
            return 11;
        if (marker.contains(QLatin1String("lollipop"), Qt::CaseInsensitive))
            return 3;
        return 1;
    }

    static QVariant arrowheadFor(const QString &marker)
    {
        if (marker.isEmpty())
            return QVariant::fromValue(VRNull{});
        // Class relations: inheritance and realisation, composition, aggregation, association
        // and dependency, a provided interface.
        static const std::pair<const char *, const char *> heads[] = {
            {"extension", "cdHeadHollow"},
            {"composition", "cdHeadDiamondFilled"},
            {"aggregation", "cdHeadDiamondHollow"},
            {"dependency", "cdHeadOpen"},
            {"lollipop", "cdHeadCircleHollow"},
            {"circle", "cdHeadCircleFilled"},
            {"cross", "cdHeadBar"},
            // A sequence diagram's asynchronous message; a state transition's barb.
            {"filled-head", "cdHeadOpen"},
            {"barb", "cdHeadFilled"},
        };
        for (const auto &[kind, head] : heads) {
            if (marker.contains(QLatin1String(kind), Qt::CaseInsensitive))
                return QString::fromLatin1(head);
        }
        return QStringLiteral("cdHeadFilled");
    }

    static bool isEdge(const Node &node)
    {
        return node.has(u"data-qnt-from") || node.hasClass(QStringLiteral("flowchart-link"));
    }

    static bool hasNamedEdges(const Node &node)
    {
        if (node.has(u"data-qnt-from"))
            return true;
        for (const auto &child : node.children) {
            if (hasNamedEdges(*child))
                return true;
        }
        return false;
    }

    // ---- sequence diagrams ----------------------------------------------------------------
    // Each participant is one element: its box or figure at the top, its lifeline, its box at
    // the bottom and its activation bars, with a sticky spot on the lifeline wherever a message
    // meets it. Messages are connectors between those spots, notes elements, and the loop, alt,
    // opt, par (and like) frames elements that lie behind what they hold and name it: each
    // message and frame inside a frame, and in no smaller one, is held by it.

    // A node of the picture with what it inherits.
    struct Placed {
        const Node *node = nullptr;
        QTransform parent;
        Paint inherited;
    };
    struct Participant {
        Placed top;
        Placed lifeline;
        QList<Placed> pieces;
        double x = 0;
        QList<double> heights;
    };
    struct Message {
        Placed line;
        Placed text;
        QString from;
        QString to;
        QPointF start;
        QPointF end;
        double width = 0;
    };

    void collectSequence(const QTransform &base)
    {
        Placed pendingText;
        QList<Placed> activations;
        collectSequence(m_root, base, Paint(), pendingText, activations);
        // Without participants the picture comes in as it is drawn.
        for (auto it = m_participants.begin(); it != m_participants.end();) {
            if (!it->top.node || !it->lifeline.node)
                it = m_participants.erase(it);
            else
                ++it;
        }
        if (m_participants.isEmpty()) {
            m_consumed.clear();
            return;
        }
        m_sequence = true;
        const auto nearest = [this](double x) {
            QString best;
            double distance = 0;
            for (auto it = m_participants.cbegin(); it != m_participants.cend(); ++it) {
                const double d = std::abs(it->x - x);
                if (best.isEmpty() || d < distance) {
                    best = it.key();
                    distance = d;
                }
            }
            return best;
        };
        for (Message &message : m_messageList) {
            // Pictures of older Mermaid versions do not name a message's ends.
            if (!m_participants.contains(message.from))
                message.from = nearest(message.start.x());
            if (!m_participants.contains(message.to))
                message.to = nearest(message.end.x());
            // The ends go onto the lifelines, where their spots are.
            message.start.setX(m_participants[message.from].x);
            message.end.setX(m_participants[message.to].x);
            m_participants[message.from].heights.append(message.start.y());
            m_participants[message.to].heights.append(message.end.y());
        }
        for (const Placed &bar : std::as_const(activations)) {
            Paint paint;
            computeStyle(*bar.node, bar.inherited, paint);
            bool closed = true;
            const auto outline = outlineOf(*bar.node, closed);
            if (!outline)
                continue;
            const QRectF box = transformOf(*bar.node, bar.parent).map(*outline).boundingRect();
            m_participants[nearest(box.center().x())].pieces.append(bar);
        }
    }

    void collectSequence(const Node &node, const QTransform &parent, const Paint &inherited,
                         Placed &pendingText, QList<Placed> &activations)
    {
        if (node.tag.isEmpty() || isSkippedTag(node.tag))
            return;
        Paint paint;
        if (!computeStyle(node, inherited, paint))
            return;
        const QTransform ctm = transformOf(node, parent);
        const QString kind = node.attribute(QStringLiteral("data-et"));
        const Placed placed{&node, parent, inherited};
        if (kind == QLatin1String("participant")) {
            m_participants[node.attribute(QStringLiteral("data-id"))].top = placed;
            return;
        }
        if (kind == QLatin1String("life-line")) {
            Participant &participant = m_participants[node.attribute(QStringLiteral("data-id"))];
            participant.lifeline = placed;
            participant.x = ctm.map(QPointF(number(node, "x1"), number(node, "y1"))).x();
            m_consumed.insert(&node);
            return;
        }
        if (node.tag == QLatin1String("g") && kind.isEmpty()) {
            // A participant's box or figure at the bottom.
            QString owner;
            if (node.hasClass(QStringLiteral("actor-bottom")))
                owner = node.attribute(QStringLiteral("name"));
            for (const auto &child : node.children) {
                if (owner.isEmpty() && isShapeTag(child->tag)
                    && child->hasClass(QStringLiteral("actor-bottom")))
                    owner = child->attribute(QStringLiteral("name"));
            }
            if (!owner.isEmpty()) {
                m_participants[owner].pieces.append(placed);
                m_consumed.insert(&node);
                return;
            }
        }
        if (node.tag == QLatin1String("rect")
            && std::any_of(node.classes.begin(), node.classes.end(), [](const QString &c) {
                   return c.startsWith(QLatin1String("activation"));
               })) {
            activations.append(placed);
            m_consumed.insert(&node);
            return;
        }
        if (node.tag == QLatin1String("text") && node.hasClass(QStringLiteral("messageText"))) {
            pendingText = placed;
            return;
        }
        if (kind == QLatin1String("message") && isShapeTag(node.tag)) {
            bool closed = false;
            const auto outline = outlineOf(node, closed);
            if (!outline)
                return;
            const QPainterPath path = ctm.map(*outline);
            Message message{placed,
                            pendingText,
                            node.attribute(QStringLiteral("data-from")),
                            node.attribute(QStringLiteral("data-to")),
                            VRPath::firstPoint(path),
                            VRPath::lastPoint(path),
                            path.boundingRect().width()};
            if (pendingText.node)
                m_consumed.insert(pendingText.node);
            pendingText = {};
            m_messageIndex.insert(&node, int(m_messageList.size()));
            m_messageList.append(message);
            return;
        }
        for (const auto &child : node.children)
            collectSequence(*child, ctm, paint, pendingText, activations);
    }

    // True when the node is a piece of a sequence diagram, made (or left out) here.
    bool addSequencePiece(const Node &node, const QTransform &parent, const Paint &inherited)
    {
        if (m_consumed.contains(&node))
            return true;
        const QString kind = node.attribute(QStringLiteral("data-et"));
        if (kind == QLatin1String("participant")) {
            addParticipant(node.attribute(QStringLiteral("data-id")));
            return true;
        }
        if (kind == QLatin1String("note") && node.tag == QLatin1String("g")) {
            addBoxWithTexts(node, parent, inherited, false);
            return true;
        }
        if (kind == QLatin1String("control-structure") && node.tag == QLatin1String("g")) {
            addBoxWithTexts(node, parent, inherited, true);
            return true;
        }
        const auto message = m_messageIndex.constFind(&node);
        if (message != m_messageIndex.constEnd()) {
            addMessage(m_messageList.at(*message));
            return true;
        }
        return false;
    }

    void addParticipant(const QString &name)
    {
        const auto found = m_participants.constFind(name);
        if (found == m_participants.constEnd())
            return;
        const Participant &participant = *found;
        const Placed &top = participant.top;
        Paint paint;
        if (!computeStyle(*top.node, top.inherited, paint))
            return;
        VRObjectList parts;
        QRectF bounds;
        collectParts(*top.node, transformOf(*top.node, top.parent), paint, parts, bounds);
        TextInfo info;
        collectTexts(*top.node, top.parent, top.inherited, info);
        std::optional<double> textAt;
        if (!info.rows.isEmpty()) {
            textAt = textTop(info);
            // A name wider than the figure above it widens the element.
            if (auto probe = makeText(info))
                bounds |=
                    QRectF(probe->location()
                               - QPointF(probe->size().width() / 2, probe->size().height() / 2),
                           probe->size());
        }
        QList<Placed> pieces = participant.pieces;
        pieces.prepend(participant.lifeline);
        for (const Placed &piece : std::as_const(pieces)) {
            Paint piecePaint;
            if (!computeStyle(*piece.node, piece.inherited, piecePaint))
                continue;
            const QTransform ctm = transformOf(*piece.node, piece.parent);
            if (isShapeTag(piece.node->tag)) {
                QPainterPath outline;
                const VRObjectList shapes = plainShape(*piece.node, ctm, piecePaint, &outline);
                parts += shapes;
                if (!shapes.isEmpty())
                    bounds |= outline.boundingRect();
                continue;
            }
            collectParts(*piece.node, ctm, piecePaint, parts, bounds);
            QList<TextInfo> texts;
            collectTextList(*piece.node, piece.parent, piece.inherited, texts);
            for (const TextInfo &text : std::as_const(texts)) {
                if (auto object = makeText(text))
                    parts.append(object);
            }
        }
        auto element = makeElement(parts, bounds, info, paint, textAt);
        if (!element)
            return;
        if (!participant.heights.isEmpty() && bounds.width() > 0 && bounds.height() > 0) {
            QList<QPointF> spots;
            for (double y : participant.heights) {
                const QPointF spot((participant.x - bounds.center().x()) / bounds.width(),
                                   (y - bounds.center().y()) / bounds.height());
                if (!spots.contains(spot))
                    spots.append(spot);
            }
            element->setStickySpots(spots);
        }
        element->setString(name, QStringLiteral("name"));
        const QString id = top.node->attribute(QStringLiteral("id"));
        element->setString(id.isEmpty() ? QStringLiteral("participant-") + name : id,
                           QStringLiteral("uid"));
        element->setString(QStringLiteral("participant ")
                               + top.node->attribute(QStringLiteral("data-type")),
                           QStringLiteral("class"));
        m_layer.addObject(element);
    }

    // A note, or a frame: its outline, its first text (a note's words, a frame's condition)
    // as the element's text where the picture has it, the others (a frame's kind, the
    // conditions of its other sections) as texts of its own. A frame lies behind what it holds.
    void addBoxWithTexts(const Node &node, const QTransform &parent, const Paint &inherited,
                         bool frame)
    {
        Paint paint;
        if (!computeStyle(node, inherited, paint))
            return;
        const QTransform ctm = transformOf(node, parent);
        VRObjectList parts;
        QRectF bounds;
        collectParts(node, ctm, paint, parts, bounds);
        QList<TextInfo> texts;
        int title = -1;
        for (const auto &child : node.children) {
            const qsizetype before = texts.size();
            collectTextList(*child, ctm, paint, texts);
            // A frame's title is its condition, else its kind; a note's its words.
            if (texts.size() > before
                && (title < 0 || (frame && child->hasClass(QStringLiteral("loopText")))))
                title = int(before);
        }
        TextInfo info;
        if (title >= 0 && title < texts.size())
            info = texts.takeAt(title);
        for (const TextInfo &text : std::as_const(texts)) {
            if (auto object = makeText(text))
                parts.append(object);
        }
        auto element =
            makeElement(parts, bounds, info, paint,
                        info.rows.isEmpty() ? std::nullopt : std::optional<double>(textTop(info)));
        if (!element)
            return;
        if (frame)
            keepTextAcross(*element, info, bounds);
        QString id = node.attribute(QStringLiteral("data-id"));
        if (id.isEmpty())
            id = QString::number(++m_unnamedBoxes);
        element->setString(QString(frame ? "frame-" : "note-") + id, QStringLiteral("uid"));
        element->setString(frame ? QStringLiteral("cluster frame") : QStringLiteral("note"),
                           QStringLiteral("class"));
        if (frame)
            m_frames.append({element, bounds});
        m_layer.addObject(element);
    }

    void addMessage(const Message &message)
    {
        const Node &node = *message.line.node;
        Paint paint;
        if (!computeStyle(node, message.line.inherited, paint))
            return;
        auto connector = std::make_shared<QntConnector>();
        const QColor stroke = withAlpha(paint.stroke.isValid() ? paint.stroke : QColor(Qt::black),
                                        paint.strokeOpacity * paint.opacity);
        connector->setStyle(styleFor(paint, false));
        connector->setShaftColor(stroke);
        connector->setEnds(message.start, message.end);
        QVariantMap skin;
        skin.insert(QStringLiteral("startArrowheadId"),
                    arrowheadFor(node.attribute(QStringLiteral("marker-start"))));
        skin.insert(QStringLiteral("endArrowheadId"),
                    arrowheadFor(node.attribute(QStringLiteral("marker-end"))));
        connector->addSkin(skin);
        if (!message.from.isEmpty() && !message.to.isEmpty()) {
            connector->setString(message.from, QStringLiteral("from"));
            connector->setString(message.to, QStringLiteral("to"));
        }
        QString id = node.attribute(QStringLiteral("data-id"));
        if (id.isEmpty())
            id = QStringLiteral("message-%1").arg(m_messages.size() + 1);
        connector->setString(id, QStringLiteral("uid"));
        m_messages.append({connector, QRectF(message.start, message.end).normalized()});
        if (message.from == message.to) {
            // A message to oneself loops out to the right of the lifeline and back.
            const double reach = std::max(20.0, message.width);
            connector->insertPathPoint(QPointF(message.start.x() + reach, message.start.y()));
            connector->insertPathPoint(QPointF(message.end.x() + reach, message.end.y()));
        }
        if (message.text.node) {
            TextInfo info;
            collectTexts(*message.text.node, message.text.parent, message.text.inherited, info);
            if (!info.rows.isEmpty()) {
                QStringList rows;
                for (const TextRow &row : std::as_const(info.rows))
                    rows.append(row.text);
                VRTextBlock block = connector->label();
                block.setPlainText(rows.join(QLatin1Char('\n')));
                block.setFont(fontFor(info.paint));
                const QColor colour = withAlpha(info.paint.fill, info.paint.fillOpacity);
                block.setColour(colour.isValid() ? colour : QColor(Qt::black));
                block.setAlignment(2);
                connector->setLabel(block);
                // Above the line, as the picture has it, whichever way the message goes.
                connector->setLayoutMode(1);
                const double above = block.naturalSize().height() / 2 + 3;
                connector->setTextYOffset(message.end.x() >= message.start.x() ? above : -above);
            }
        }
        m_layer.addObject(connector);
    }

    // Connectors that join the same two elements (both ways, or twice one way) would take the
    // same facing spots and lie on each other: each end of theirs gets a spot of its own where
    // the picture draws it, which attaching keeps.
    void keepSharedPairsApart()
    {
        QHash<QString, std::shared_ptr<QntElement>> elements;
        QHash<std::pair<QString, QString>, QList<std::shared_ptr<QntConnector>>> pairs;
        for (const VRObjectRef &object : m_layer.objects()) {
            if (object->isKindOf<QntElement>()) {
                const auto element = std::static_pointer_cast<QntElement>(object);
                for (const char *key : {"uid", "name"}) {
                    const QString name = object->stringForKey(QString::fromLatin1(key));
                    if (!name.isEmpty())
                        elements.insert(name, element);
                }
                continue;
            }
            if (!object->isKindOf<QntConnector>())
                continue;
            const QString from = object->stringForKey(QStringLiteral("from"));
            const QString to = object->stringForKey(QStringLiteral("to"));
            if (from.isEmpty() || to.isEmpty() || from == to)
                continue;
            pairs[from < to ? std::make_pair(from, to) : std::make_pair(to, from)].append(
                std::static_pointer_cast<QntConnector>(object));
        }
        for (auto it = pairs.cbegin(); it != pairs.cend(); ++it) {
            if (it->size() < 2)
                continue;
            for (const auto &connector : *it) {
                const auto from = elements.value(connector->stringForKey(QStringLiteral("from")));
                const auto to = elements.value(connector->stringForKey(QStringLiteral("to")));
                if (!from || !to)
                    continue;
                addSpotAt(*from, connector->startEndPoint()->location());
                addSpotAt(*to, connector->endEndPoint()->location());
            }
        }
    }

    static void addSpotAt(QntElement &element, QPointF point)
    {
        bool invertible = false;
        const QPointF relative =
            element.transformIncludingParent().inverted(&invertible).map(point);
        if (!invertible || !std::isfinite(relative.x()) || !std::isfinite(relative.y()))
            return;
        QList<QPointF> spots;
        for (const auto &spot : element.stickySpots())
            spots.append(spot->relativePosition());
        if (!spots.contains(relative)) {
            spots.append(relative);
            element.setStickySpots(spots);
        }
    }

    // Each message and frame goes to the smallest frame that takes it in, named in that
    // frame's "holds", one uid a line. A frame takes in a message whose two ends lie within
    // it, and a smaller frame that lies within it.
    void holdFramesContents()
    {
        constexpr double kSlack = 1.0;
        const auto innermost = [this](const QRectF &area, const QntElement *self) -> int {
            int best = -1;
            for (int i = 0; i < m_frames.size(); ++i) {
                const QRectF &box = m_frames.at(i).second;
                // Corners, as a message's rectangle may have no height.
                const QRectF wide = box.adjusted(-kSlack, -kSlack, kSlack, kSlack);
                if (m_frames.at(i).first.get() == self || !wide.contains(area.topLeft())
                    || !wide.contains(area.bottomRight()))
                    continue;
                const auto areaOf = [](const QRectF &r) { return r.width() * r.height(); };
                if (self && areaOf(box) <= areaOf(area))
                    continue;
                if (best < 0 || areaOf(box) < areaOf(m_frames.at(best).second))
                    best = i;
            }
            return best;
        };
        QList<QStringList> held(m_frames.size());
        for (const auto &[connector, ends] : std::as_const(m_messages)) {
            const int frame = innermost(ends, nullptr);
            if (frame >= 0)
                held[frame].append(connector->stringForKey(QStringLiteral("uid")));
        }
        for (const auto &[element, box] : std::as_const(m_frames)) {
            const int frame = innermost(box, element.get());
            if (frame >= 0)
                held[frame].append(element->stringForKey(QStringLiteral("uid")));
        }
        for (int i = 0; i < m_frames.size(); ++i) {
            if (!held.at(i).isEmpty())
                m_frames.at(i).first->setString(held.at(i).join(QLatin1Char('\n')),
                                                QStringLiteral("holds"));
        }
    }

    void walk(const Node &node, const QTransform &parent, const Paint &inherited)
    {
        if (node.tag.isEmpty() || isSkippedTag(node.tag))
            return;
        if (node.tag == QLatin1String("foreignObject"))
            return addForeignText(node, parent, inherited);
        if ((m_flowchart || m_namedEdges) && node.tag == QLatin1String("g")
            && (node.hasClass(QStringLiteral("edgeLabel"))
                || (m_namedEdges && node.hasClass(QStringLiteral("edgeTerminals")))))
            return; // drawn with its edge
        if (m_sequence && addSequencePiece(node, parent, inherited))
            return;
        const bool cluster = node.hasClass(QStringLiteral("cluster"))
                             || node.hasClass(QStringLiteral("statediagram-cluster"));
        if (node.tag == QLatin1String("g") && (node.hasClass(QStringLiteral("node")) || cluster)
            && (m_flowchart || node.has(u"data-qnt-name")))
            return addElement(node, parent, inherited, cluster);
        Paint paint;
        if (!computeStyle(node, inherited, paint))
            return;
        const QTransform ctm = transformOf(node, parent);
        if (node.tag == QLatin1String("text")) {
            TextInfo info;
            readText(node, ctm, paint, info);
            if (!paint.hidden)
                addText(info);
            return;
        }
        if (isShapeTag(node.tag)) {
            if (isEdge(node))
                return addEdge(node, ctm, paint);
            for (const VRObjectRef &shape : plainShape(node, ctm, paint))
                m_layer.addObject(shape);
            return;
        }
        for (const auto &child : node.children)
            walk(*child, ctm, paint);
    }

    // HTML labels (when a diagram kind ignores the plain-label setting): their text only.
    void addForeignText(const Node &node, const QTransform &parent, const Paint &inherited)
    {
        Paint paint;
        if (!computeStyle(node, inherited, paint))
            return;
        const QTransform ctm = transformOf(node, parent);
        const QString content = allText(node).simplified();
        if (content.isEmpty())
            return;
        TextInfo info;
        info.paint = paint;
        info.paint.anchor = QStringLiteral("middle");
        const double x = number(node, "x") + number(node, "width") / 2;
        const double y = number(node, "y") + QFontMetricsF(fontFor(paint)).ascent();
        info.rows.append({decodeLabelEntities(content), ctm.map(QPointF(x, y))});
        addText(info);
    }

    const Node &m_root;
    VRObjectOwnerLayer &m_layer;
    QList<Rule> m_rules;
    mutable QHash<const Node *, std::pair<Paint, bool>> m_styles;
    QHash<QString, std::pair<QString, TextInfo>> m_edgeLabels;
    bool m_flowchart = false;
    // Edges the page named the ends of: their labels and multiplicities go with them.
    bool m_namedEdges = false;
    bool m_sequence = false;
    QHash<QString, Participant> m_participants;
    QList<Message> m_messageList;
    QHash<const Node *, int> m_messageIndex;
    // The frames with their outlines, and the messages made with where their ends lie.
    QList<std::pair<std::shared_ptr<QntElement>, QRectF>> m_frames;
    QList<std::pair<std::shared_ptr<QntConnector>, QRectF>> m_messages;
    int m_unnamedBoxes = 0;
    // Nodes drawn as part of something else.
    QSet<const Node *> m_consumed;
};

} // namespace

SVGKImage::SVGKImage() = default;
SVGKImage::~SVGKImage() = default;

VRResult<std::shared_ptr<SVGKImage>> SVGKImage::imageWithData(const QByteArray &data)
{
    auto fail = [](const QString &why) -> VRResult<std::shared_ptr<SVGKImage>> {
        return VRError{why};
    };
    if (data.size() > kMaxBytes)
        return fail(QStringLiteral("the picture is larger than %1 MB").arg(kMaxBytes >> 20));
    QXmlStreamReader reader(data);
    // Element and attribute names repeat: the first few dozen are made once and shared.
    std::vector<QString> names;
    const auto shared = [&names](QStringView name) {
        for (const QString &known : names) {
            if (known == name)
                return known;
        }
        if (names.size() >= 64)
            return name.toString();
        names.push_back(name.toString());
        return names.back();
    };
    auto root = std::make_unique<Node>();
    Node *current = root.get();
    int depth = 0;
    int count = 0;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (++depth > kMaxDepth)
                return fail(QStringLiteral("the picture is nested too deeply"));
            if (++count > kMaxElements)
                return fail(QStringLiteral("the picture has too many elements"));
            auto node = std::make_unique<Node>();
            node->tag = shared(reader.name());
            const QXmlStreamAttributes attributes = reader.attributes();
            node->attributes.reserve(attributes.size());
            for (const QXmlStreamAttribute &a : attributes) {
                const QString name = shared(a.qualifiedName());
                auto same =
                    std::find_if(node->attributes.begin(), node->attributes.end(),
                                 [&name](const auto &known) { return known.first == name; });
                if (same != node->attributes.end())
                    same->second = a.value().toString();
                else
                    node->attributes.emplace_back(name, a.value().toString());
            }
            node->classes = node->attribute(QStringLiteral("class"))
                                .split(QLatin1Char(' '), Qt::SkipEmptyParts);
            node->parent = current;
            Node *raw = node.get();
            current->children.push_back(std::move(node));
            current = raw;
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
            current = current->parent ? current->parent : current;
        } else if (token == QXmlStreamReader::Characters && depth > 0) {
            if (++count > kMaxElements)
                return fail(QStringLiteral("the picture has too many elements"));
            auto text = std::make_unique<Node>();
            text->text = reader.text().toString();
            text->parent = current;
            current->children.push_back(std::move(text));
        }
    }
    if (reader.hasError())
        return fail(QStringLiteral("the picture is not well-formed XML: %1 (line %2)")
                        .arg(reader.errorString())
                        .arg(reader.lineNumber()));
    if (root->children.size() != 1 || root->children.front()->tag != QLatin1String("svg"))
        return fail(QStringLiteral("the picture is not an SVG document"));
    auto image = std::shared_ptr<SVGKImage>(new SVGKImage);
    std::unique_ptr<Node> svg = std::move(root->children.front());
    svg->parent = nullptr;
    image->m_root = std::move(svg);
    return image;
}

std::unique_ptr<VRObjectOwnerLayer> SVGKImage::newVRTree(QPointF origin) const
{
    auto layer = std::make_unique<VRObjectOwnerLayer>();
    Builder builder(*m_root, *layer);
    builder.build(origin);
    return layer;
}
