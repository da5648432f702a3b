#include "framework/model/VRSvgGenerator.h"

#include <QBuffer>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QIODevice>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTextLayout>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// The largest side of a picture that stands for a fill SVG cannot describe, in pixels.
constexpr int kMaximumFillPicture = 4096;
// Pixels per unit of such pictures.
constexpr double kFillPictureScale = 2.0;
// Written out whenever this much has gathered.
constexpr qsizetype kFlushSize = 1 << 20;

// Points of the default font resolution: what texts laid out without a device measure in.
double defaultDpi()
{
    static const double dpi = [] {
        QFont font;
        font.setPointSizeF(72.0);
        const int pixels = QFontInfo(font).pixelSize();
        return pixels > 0 ? double(pixels) : 96.0;
    }();
    return dpi;
}

// The rectangle a path is, when it is one with sides along the axes.
bool asRect(const QPainterPath &path, QRectF *rect)
{
    if (path.elementCount() != 5 || !path.elementAt(0).isMoveTo())
        return false;
    QPointF corners[5];
    for (int i = 0; i < 5; ++i) {
        if (i && !path.elementAt(i).isLineTo())
            return false;
        corners[i] = path.elementAt(i);
    }
    if (corners[4] != corners[0])
        return false;
    for (int i = 0; i < 4; ++i) {
        if (corners[i].x() != corners[i + 1].x() && corners[i].y() != corners[i + 1].y())
            return false;
    }
    *rect = path.boundingRect();
    return true;
}

bool isSimpleText(const QString &text)
{
    for (const QChar c : text) {
        if (c.isSurrogate() || c.isMark() || c.category() == QChar::Other_Format
            || c.direction() == QChar::DirR || c.direction() == QChar::DirAL
            || c == QLatin1Char('\t'))
            return false;
    }
    return true;
}

} // namespace

class VRSvgPaintEngine : public QPaintEngine
{
public:
    explicit VRSvgPaintEngine(VRSvgGenerator &device)
        : QPaintEngine(QPaintEngine::AllFeatures)
        , m_device(device)
    {
    }

    bool begin(QPaintDevice *) override;
    bool end() override;
    void updateState(const QPaintEngineState &state) override;
    void drawPath(const QPainterPath &path) override { drawShape(path, true); }
    void drawPolygon(const QPointF *points, int count, PolygonDrawMode mode) override;
    void drawPixmap(const QRectF &r, const QPixmap &pixmap, const QRectF &sr) override
    {
        drawImage(r, pixmap.toImage(), sr, Qt::AutoColor);
    }
    void drawImage(const QRectF &r, const QImage &image, const QRectF &sr,
                   Qt::ImageConversionFlags flags) override;
    void drawTextItem(const QPointF &p, const QTextItem &textItem) override;
    Type type() const override { return QPaintEngine::User; }

private:
    struct PendingFill {
        bool active = false;
        QPainterPath path;
        QTransform transform;
        QByteArray attributes;
    };

    // Output.
    void put(const char *text) { m_out.append(text); }
    void put(const QByteArray &text) { m_out.append(text); }
    void number(double value);
    void escaped(const QString &text);
    void flushOutput(bool all);

    // Attributes.
    void transformAttribute(const QTransform &transform);
    // The paint of a brush: a colour, a gradient written before as a definition, or empty when
    // SVG has none for it.
    QByteArray paint(const QBrush &brush, double *opacity);
    QByteArray gradientDefinition(const QBrush &brush);
    QByteArray fillAttributes(const QBrush &brush, Qt::FillRule rule);
    QByteArray strokeAttributes();
    static bool hasSvgPaint(const QBrush &brush);

    // Elements.
    void drawShape(const QPainterPath &path, bool fills);
    void writePath(const QPainterPath &path, const QTransform &transform, const QByteArray &fill,
                   const QByteArray &stroke);
    void pathData(const QPainterPath &path);
    void fillWithPicture(const QPainterPath &path);
    void writeImage(const QRectF &target, const QImage &image, const QTransform &transform,
                    double opacity);
    void flushPending();

    // Clipping.
    void applyClip(const QPainterPath &path, Qt::ClipOperation operation);
    bool clipIsEmpty() const;
    void enterClip();

    VRSvgGenerator &m_device;
    QByteArray m_out;
    QPen m_pen;
    QBrush m_brush;
    QPointF m_brushOrigin;
    QTransform m_transform;
    double m_opacity = 1.0;
    bool m_clipEnabled = false;
    bool m_hasClip = false;
    QPainterPath m_clip;
    bool m_clipChanged = false;
    int m_clipId = -1;
    QPainterPath m_clipWritten;
    bool m_groupOpen = false;
    int m_nextId = 0;
    QByteArray m_lastGradientKey;
    QByteArray m_lastGradientId;
    PendingFill m_pending;
};

// ---- Output ------------------------------------------------------------------------------

void VRSvgPaintEngine::number(double value)
{
    if (!std::isfinite(value))
        value = 0.0;
    double rounded = std::round(value * 1000.0) / 1000.0;
    if (rounded == 0.0)
        rounded = 0.0;
    char buffer[64];
    auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed, 3);
    if (error != std::errc()) {
        m_out.append('0');
        return;
    }
    char *last = end;
    while (last > buffer && last[-1] == '0')
        --last;
    if (last > buffer && last[-1] == '.')
        --last;
    m_out.append(buffer, last - buffer);
}

void VRSvgPaintEngine::escaped(const QString &text)
{
    QString clean;
    clean.reserve(text.size());
    for (const QChar c : text) {
        // XML holds no other control characters.
        if (c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n'))
            clean.append(QLatin1Char(' '));
        else if (c.unicode() == 0xFFFE || c.unicode() == 0xFFFF)
            continue;
        else
            clean.append(c);
    }
    m_out.append(clean.toHtmlEscaped().toUtf8());
}

void VRSvgPaintEngine::flushOutput(bool all)
{
    if (!all && m_out.size() < kFlushSize)
        return;
    if (QIODevice *device = m_device.outputDevice())
        device->write(m_out);
    m_out.clear();
}

bool VRSvgPaintEngine::begin(QPaintDevice *)
{
    QIODevice *device = m_device.outputDevice();
    if (!device || (!device->isOpen() && !device->open(QIODevice::WriteOnly))
        || !device->isWritable())
        return false;
    m_out.clear();
    m_out.reserve(kFlushSize + 4096);
    m_pen = QPen();
    m_brush = QBrush();
    m_brushOrigin = QPointF();
    m_transform = QTransform();
    m_opacity = 1.0;
    m_clipEnabled = m_hasClip = m_clipChanged = m_groupOpen = false;
    m_clip = m_clipWritten = QPainterPath();
    m_clipId = -1;
    m_nextId = 0;
    m_lastGradientKey.clear();
    m_pending = PendingFill();
    const QSizeF size = m_device.size();
    put("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" "
        "xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"1.1\" width=\"");
    number(size.width());
    put("pt\" height=\"");
    number(size.height());
    put("pt\" viewBox=\"0 0 ");
    number(size.width());
    put(" ");
    number(size.height());
    // What most of a drawing's paths use, so that their elements need not repeat it.
    put("\" fill-rule=\"evenodd\" stroke-miterlimit=\"8\">\n");
    if (!m_device.title().isEmpty()) {
        put("<title>");
        escaped(m_device.title());
        put("</title>\n");
    }
    return true;
}

bool VRSvgPaintEngine::end()
{
    flushPending();
    if (m_groupOpen)
        put("</g>\n");
    m_groupOpen = false;
    put("</svg>\n");
    flushOutput(true);
    return true;
}

// ---- State ---------------------------------------------------------------------------------

void VRSvgPaintEngine::updateState(const QPaintEngineState &state)
{
    const DirtyFlags flags = state.state();
    if (flags & DirtyPen)
        m_pen = state.pen();
    if (flags & DirtyBrush)
        m_brush = state.brush();
    if (flags & DirtyBrushOrigin)
        m_brushOrigin = state.brushOrigin();
    if (flags & DirtyTransform)
        m_transform = state.transform();
    if (flags & DirtyOpacity)
        m_opacity = std::clamp(state.opacity(), 0.0, 1.0);
    if (flags & DirtyClipEnabled) {
        if (m_clipEnabled != state.isClipEnabled())
            m_clipChanged = true;
        m_clipEnabled = state.isClipEnabled();
    }
    if (flags & DirtyClipPath)
        applyClip(state.clipPath(), state.clipOperation());
    if (flags & DirtyClipRegion) {
        QPainterPath path;
        path.addRegion(state.clipRegion());
        applyClip(path, state.clipOperation());
    }
}

void VRSvgPaintEngine::applyClip(const QPainterPath &path, Qt::ClipOperation operation)
{
    m_clipChanged = true;
    if (operation == Qt::NoClip) {
        m_hasClip = false;
        m_clip = QPainterPath();
        return;
    }
    QPainterPath mapped = m_transform.map(path);
    mapped.setFillRule(Qt::WindingFill);
    if (operation == Qt::IntersectClip && m_hasClip) {
        QRectF a, b;
        if (asRect(m_clip, &a) && asRect(mapped, &b)) {
            m_clip = QPainterPath();
            m_clip.addRect(a.intersected(b));
            m_clip.setFillRule(Qt::WindingFill);
        } else {
            m_clip = m_clip.intersected(mapped);
        }
    } else {
        m_clip = mapped;
    }
    m_hasClip = true;
}

bool VRSvgPaintEngine::clipIsEmpty() const
{
    return m_clipEnabled && m_hasClip && m_clip.boundingRect().isEmpty();
}

void VRSvgPaintEngine::enterClip()
{
    if (!m_clipChanged)
        return;
    m_clipChanged = false;
    const bool clips = m_clipEnabled && m_hasClip;
    if (clips && m_groupOpen && m_clipId >= 0 && m_clip == m_clipWritten)
        return;
    if (!clips && !m_groupOpen)
        return;
    if (m_groupOpen)
        put("</g>\n");
    m_groupOpen = false;
    if (!clips)
        return;
    if (m_clipId < 0 || m_clip != m_clipWritten) {
        m_clipId = m_nextId++;
        m_clipWritten = m_clip;
        put("<clipPath id=\"c");
        number(m_clipId);
        put("\"><path d=\"");
        pathData(m_clip);
        put("\"/></clipPath>\n");
    }
    put("<g clip-path=\"url(#c");
    number(m_clipId);
    put(")\">\n");
    m_groupOpen = true;
}

// ---- Attributes ----------------------------------------------------------------------------

void VRSvgPaintEngine::transformAttribute(const QTransform &t)
{
    if (t.isIdentity())
        return;
    if (t.type() == QTransform::TxTranslate) {
        put(" transform=\"translate(");
        number(t.dx());
        put(" ");
        number(t.dy());
        put(")\"");
        return;
    }
    put(" transform=\"matrix(");
    number(t.m11());
    put(" ");
    number(t.m12());
    put(" ");
    number(t.m21());
    put(" ");
    number(t.m22());
    put(" ");
    number(t.dx());
    put(" ");
    number(t.dy());
    put(")\"");
}

bool VRSvgPaintEngine::hasSvgPaint(const QBrush &brush)
{
    switch (brush.style()) {
    case Qt::NoBrush:
    case Qt::SolidPattern: return true;
    case Qt::LinearGradientPattern:
    case Qt::RadialGradientPattern:
        return brush.gradient()
               && brush.gradient()->coordinateMode() != QGradient::StretchToDeviceMode;
    default: return false;
    }
}

static QByteArray colourText(const QColor &colour)
{
    return colour.toRgb().name(QColor::HexRgb).toLatin1();
}

QByteArray VRSvgPaintEngine::gradientDefinition(const QBrush &brush)
{
    const QGradient *gradient = brush.gradient();
    // Written with this engine's number format into a separate array.
    QByteArray saved;
    saved.swap(m_out);
    const bool linear = gradient->type() == QGradient::LinearGradient;
    put(linear ? "<linearGradient" : "<radialGradient");
    put(gradient->coordinateMode() == QGradient::LogicalMode
            ? " gradientUnits=\"userSpaceOnUse\""
            : " gradientUnits=\"objectBoundingBox\"");
    if (linear) {
        const auto *g = static_cast<const QLinearGradient *>(gradient);
        put(" x1=\"");
        number(g->start().x());
        put("\" y1=\"");
        number(g->start().y());
        put("\" x2=\"");
        number(g->finalStop().x());
        put("\" y2=\"");
        number(g->finalStop().y());
        put("\"");
    } else {
        const auto *g = static_cast<const QRadialGradient *>(gradient);
        put(" cx=\"");
        number(g->center().x());
        put("\" cy=\"");
        number(g->center().y());
        put("\" r=\"");
        number(g->radius());
        put("\" fx=\"");
        number(g->focalPoint().x());
        put("\" fy=\"");
        number(g->focalPoint().y());
        put("\"");
        if (g->focalRadius() > 0.0) {
            put(" fr=\"");
            number(g->focalRadius());
            put("\"");
        }
    }
    if (gradient->spread() == QGradient::ReflectSpread)
        put(" spreadMethod=\"reflect\"");
    else if (gradient->spread() == QGradient::RepeatSpread)
        put(" spreadMethod=\"repeat\"");
    QTransform t = brush.transform();
    if (!m_brushOrigin.isNull())
        t *= QTransform::fromTranslate(m_brushOrigin.x(), m_brushOrigin.y());
    if (!t.isIdentity()) {
        QByteArray attribute;
        attribute.swap(m_out);
        transformAttribute(t);
        attribute.swap(m_out);
        // transformAttribute writes " transform=": a gradient names it differently.
        m_out.append(" gradient");
        m_out.append(attribute.mid(1));
    }
    put(">");
    for (const QGradientStop &stop : gradient->stops()) {
        put("<stop offset=\"");
        number(stop.first);
        put("\" stop-color=\"");
        put(colourText(stop.second));
        put("\"");
        if (stop.second.alphaF() < 1.0) {
            put(" stop-opacity=\"");
            number(stop.second.alphaF());
            put("\"");
        }
        put("/>");
    }
    put(linear ? "</linearGradient>" : "</radialGradient>");
    saved.swap(m_out);
    return saved;
}

QByteArray VRSvgPaintEngine::paint(const QBrush &brush, double *opacity)
{
    *opacity = m_opacity;
    if (brush.style() == Qt::SolidPattern) {
        *opacity *= brush.color().alphaF();
        return colourText(brush.color());
    }
    if (!hasSvgPaint(brush) || brush.style() == Qt::NoBrush)
        return {};
    const QByteArray definition = gradientDefinition(brush);
    // A gradient drawn again, as each of a row of like shapes does, is written once.
    if (definition != m_lastGradientKey) {
        m_lastGradientKey = definition;
        m_lastGradientId = "g" + QByteArray::number(m_nextId++);
        const qsizetype tagEnd = definition.indexOf(' ');
        put("<defs>");
        m_out.append(definition.left(tagEnd));
        put(" id=\"");
        put(m_lastGradientId);
        put("\"");
        m_out.append(definition.mid(tagEnd));
        put("</defs>\n");
    }
    return "url(#" + m_lastGradientId + ")";
}

QByteArray VRSvgPaintEngine::fillAttributes(const QBrush &brush, Qt::FillRule rule)
{
    double opacity = 1.0;
    const QByteArray colour = paint(brush, &opacity);
    QByteArray saved;
    saved.swap(m_out);
    put(" fill=\"");
    put(colour.isEmpty() ? QByteArray("none") : colour);
    put("\"");
    if (!colour.isEmpty() && opacity < 1.0) {
        put(" fill-opacity=\"");
        number(opacity);
        put("\"");
    }
    if (rule == Qt::WindingFill)
        put(" fill-rule=\"nonzero\"");
    saved.swap(m_out);
    return saved;
}

QByteArray VRSvgPaintEngine::strokeAttributes()
{
    if (m_pen.style() == Qt::NoPen)
        return {};
    double opacity = 1.0;
    QBrush brush = m_pen.brush();
    if (!hasSvgPaint(brush))
        brush = QBrush(m_pen.color());
    const QByteArray colour = paint(brush, &opacity);
    if (colour.isEmpty())
        return {};
    QByteArray saved;
    saved.swap(m_out);
    put(" stroke=\"");
    put(colour);
    put("\"");
    if (opacity < 1.0) {
        put(" stroke-opacity=\"");
        number(opacity);
        put("\"");
    }
    const double width = m_pen.widthF() > 0.0 ? m_pen.widthF() : 1.0;
    if (width != 1.0) {
        put(" stroke-width=\"");
        number(width);
        put("\"");
    }
    if (m_pen.isCosmetic())
        put(" vector-effect=\"non-scaling-stroke\"");
    switch (m_pen.capStyle()) {
    case Qt::SquareCap: put(" stroke-linecap=\"square\""); break;
    case Qt::RoundCap: put(" stroke-linecap=\"round\""); break;
    default: break;
    }
    switch (m_pen.joinStyle()) {
    case Qt::MiterJoin:
    case Qt::SvgMiterJoin:
        // Qt measures the miter from the join's middle, SVG across the whole join.
        if (m_pen.miterLimit() * 2.0 != 8.0) {
            put(" stroke-miterlimit=\"");
            number(std::max(1.0, m_pen.miterLimit() * 2.0));
            put("\"");
        }
        break;
    case Qt::RoundJoin: put(" stroke-linejoin=\"round\""); break;
    default: put(" stroke-linejoin=\"bevel\""); break;
    }
    if (m_pen.style() != Qt::SolidLine) {
        const QList<qreal> dashes = m_pen.dashPattern();
        if (!dashes.isEmpty()) {
            put(" stroke-dasharray=\"");
            for (qsizetype i = 0; i < dashes.size(); ++i) {
                if (i)
                    put(" ");
                number(dashes.at(i) * width);
            }
            put("\"");
            if (m_pen.dashOffset() != 0.0) {
                put(" stroke-dashoffset=\"");
                number(m_pen.dashOffset() * width);
                put("\"");
            }
        }
    }
    saved.swap(m_out);
    return saved;
}

// ---- Elements ------------------------------------------------------------------------------

void VRSvgPaintEngine::pathData(const QPainterPath &path)
{
    const int count = path.elementCount();
    int start = 0;
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            put(i ? " M" : "M");
            start = i;
            number(e.x);
            put(" ");
            number(e.y);
            break;
        case QPainterPath::LineToElement: {
            // A line back to where the figure began closes it: strokes join there, as Qt's do.
            const bool last =
                i + 1 == count || path.elementAt(i + 1).type == QPainterPath::MoveToElement;
            const QPainterPath::Element first = path.elementAt(start);
            if (last && i - start > 1 && e.x == first.x && e.y == first.y) {
                put("Z");
                break;
            }
            put("L");
            number(e.x);
            put(" ");
            number(e.y);
            break;
        }
        case QPainterPath::CurveToElement:
            put("C");
            number(e.x);
            put(" ");
            number(e.y);
            break;
        case QPainterPath::CurveToDataElement:
            put(" ");
            number(e.x);
            put(" ");
            number(e.y);
            break;
        }
    }
}

void VRSvgPaintEngine::writePath(const QPainterPath &path, const QTransform &transform,
                                 const QByteArray &fill, const QByteArray &stroke)
{
    put("<path");
    transformAttribute(transform);
    put(fill.isEmpty() ? QByteArray(" fill=\"none\"") : fill);
    put(stroke);
    put(" d=\"");
    pathData(path);
    put("\"/>\n");
    flushOutput(false);
}

void VRSvgPaintEngine::flushPending()
{
    if (!m_pending.active)
        return;
    m_pending.active = false;
    writePath(m_pending.path, m_pending.transform, m_pending.attributes, {});
    m_pending.path = QPainterPath();
}

void VRSvgPaintEngine::drawShape(const QPainterPath &path, bool mayFill)
{
    const bool fills = mayFill && m_brush.style() != Qt::NoBrush;
    const bool strokes = m_pen.style() != Qt::NoPen;
    if ((!fills && !strokes) || path.isEmpty())
        return;
    if (m_pending.active) {
        // The stroke of the path just filled: one element with both.
        if (!fills && !m_clipChanged && m_pending.transform == m_transform
            && m_pending.path == path) {
            const QByteArray stroke = strokeAttributes();
            m_pending.active = false;
            writePath(path, m_transform, m_pending.attributes, stroke);
            m_pending.path = QPainterPath();
            return;
        }
        flushPending();
    }
    if (clipIsEmpty())
        return;
    enterClip();
    QByteArray fill;
    if (fills) {
        if (hasSvgPaint(m_brush))
            fill = fillAttributes(m_brush, path.fillRule());
        else
            fillWithPicture(path);
    }
    if (!strokes) {
        if (!fill.isEmpty())
            m_pending = PendingFill{true, path, m_transform, fill};
        return;
    }
    const QByteArray stroke = strokeAttributes();
    if (fill.isEmpty() && stroke.isEmpty())
        return;
    writePath(path, m_transform, fill, stroke);
}

void VRSvgPaintEngine::drawPolygon(const QPointF *points, int count, PolygonDrawMode mode)
{
    if (count < 1)
        return;
    QPainterPath path(points[0]);
    for (int i = 1; i < count; ++i)
        path.lineTo(points[i]);
    if (mode != PolylineMode)
        path.closeSubpath();
    path.setFillRule(mode == WindingMode ? Qt::WindingFill : Qt::OddEvenFill);
    drawShape(path, mode != PolylineMode);
}

void VRSvgPaintEngine::fillWithPicture(const QPainterPath &path)
{
    QRectF area = m_transform.map(path).boundingRect();
    if (m_clipEnabled && m_hasClip)
        area = area.intersected(m_clip.boundingRect());
    area = area.intersected(QRectF(QPointF(), m_device.size()));
    if (area.isEmpty())
        return;
    double scale = kFillPictureScale;
    scale = std::min(scale, kMaximumFillPicture / std::max(area.width(), area.height()));
    const QSize pixels(std::max(1, int(std::ceil(area.width() * scale))),
                       std::max(1, int(std::ceil(area.height() * scale))));
    QImage picture(pixels, QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull())
        return;
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        painter.translate(-area.topLeft());
        painter.setTransform(m_transform, true);
        painter.setBrushOrigin(m_brushOrigin);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_brush);
        painter.drawPath(path);
    }
    writeImage(QRectF(area.topLeft(), QSizeF(pixels) / scale), picture, QTransform(), m_opacity);
}

void VRSvgPaintEngine::writeImage(const QRectF &target, const QImage &image,
                                  const QTransform &transform, double opacity)
{
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG"))
            return;
    }
    put("<image");
    transformAttribute(transform);
    put(" x=\"");
    number(target.x());
    put("\" y=\"");
    number(target.y());
    put("\" width=\"");
    number(target.width());
    put("\" height=\"");
    number(target.height());
    put("\" preserveAspectRatio=\"none\"");
    if (opacity < 1.0) {
        put(" opacity=\"");
        number(opacity);
        put("\"");
    }
    put(" xlink:href=\"data:image/png;base64,");
    put(png.toBase64());
    put("\"/>\n");
    flushOutput(false);
}

void VRSvgPaintEngine::drawImage(const QRectF &r, const QImage &image, const QRectF &sr,
                                 Qt::ImageConversionFlags)
{
    flushPending();
    if (image.isNull() || r.isEmpty() || clipIsEmpty())
        return;
    enterClip();
    const QRect source = sr.toAlignedRect().intersected(image.rect());
    writeImage(r, source == image.rect() ? image : image.copy(source), m_transform, m_opacity);
}

void VRSvgPaintEngine::drawTextItem(const QPointF &p, const QTextItem &item)
{
    flushPending();
    const QString text = item.text();
    if (text.isEmpty()) {
        // Glyphs without their characters: drawn as outlines.
        QPaintEngine::drawTextItem(p, item);
        return;
    }
    if (m_pen.style() == Qt::NoPen || clipIsEmpty())
        return;
    enterClip();

    // The size the glyphs were laid out at: a text laid out without a device took the default
    // resolution, one drawn straight onto this device took its 72 dots per inch. The item's
    // ascent tells which.
    const QFont font = item.font();
    const QFontMetricsF metrics(font);
    const double atDefault =
        font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * defaultDpi() / 72.0;
    double pixels = atDefault;
    if (font.pixelSize() <= 0 && metrics.ascent() > 0.0) {
        const double onDevice = font.pointSizeF();
        const double ascentAtDefault = metrics.ascent();
        const double ascentOnDevice = ascentAtDefault * onDevice / atDefault;
        if (std::abs(item.ascent() - ascentOnDevice) < std::abs(item.ascent() - ascentAtDefault))
            pixels = onDevice;
    }
    QFont laidOut = font;
    laidOut.setPointSizeF(pixels * 72.0 / defaultDpi());

    QList<double> xs;
    if (isSimpleText(text) && !(item.renderFlags() & QTextItem::RightToLeft)) {
        QTextLayout layout(text, laidOut);
        QTextOption option;
        option.setWrapMode(QTextOption::NoWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        layout.endLayout();
        if (line.isValid()) {
            xs.reserve(text.size());
            for (int i = 0; i < text.size(); ++i)
                xs.append(line.cursorToX(i));
            // Justified lines widen their spaces.
            const double extra = item.width() - line.naturalTextWidth();
            const auto spaces = text.count(QLatin1Char(' '));
            if (std::abs(extra) > 0.25 && spaces > 0 && !text.trimmed().isEmpty()) {
                double shift = 0.0;
                for (int i = 0; i < text.size(); ++i) {
                    xs[i] += shift;
                    if (text.at(i) == QLatin1Char(' '))
                        shift += extra / spaces;
                }
            }
        }
    }
    double opacity = 1.0;
    QBrush brush = m_pen.brush();
    if (!hasSvgPaint(brush) || brush.style() == Qt::NoBrush)
        brush = QBrush(m_pen.color());
    const QByteArray colour = paint(brush, &opacity);

    put("<text xml:space=\"preserve\"");
    transformAttribute(m_transform);
    put(" x=\"");
    number(p.x() + (xs.isEmpty() ? 0.0 : xs.first()));
    put("\" y=\"");
    number(p.y());
    put("\" font-family=\"");
    // The family the glyphs came from, without the foundry fontconfig adds to tell families of
    // one name apart ("Nimbus Sans [urw]"), which no reader would find.
    QString family = QFontInfo(laidOut).family();
    if (family.endsWith(QLatin1Char(']')) && family.contains(QStringLiteral(" [")))
        family.truncate(family.lastIndexOf(QStringLiteral(" [")));
    escaped(family);
    put("\" font-size=\"");
    number(pixels);
    put("\"");
    if (font.weight() != QFont::Normal) {
        put(" font-weight=\"");
        number(font.weight());
        put("\"");
    }
    if (font.style() != QFont::StyleNormal)
        put(" font-style=\"italic\"");
    if (xs.isEmpty()) {
        put(" textLength=\"");
        number(item.width());
        put("\" lengthAdjust=\"spacingAndGlyphs\"");
    }
    put(" fill=\"");
    put(colour.isEmpty() ? QByteArray("#000000") : colour);
    put("\"");
    if (opacity < 1.0) {
        put(" fill-opacity=\"");
        number(opacity);
        put("\"");
    }
    put(">");
    if (xs.isEmpty()) {
        escaped(text);
    } else {
        // Each character where the layout put it: readers lay out a run of text with their
        // own rounding of the advances, and not every reader takes a list of positions. The
        // spaces between stay plain text, so the words read and search as typed.
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i) == QLatin1Char(' ')) {
                put(" ");
                continue;
            }
            put("<tspan x=\"");
            number(p.x() + xs.at(i));
            put("\">");
            escaped(text.mid(i, 1));
            put("</tspan>");
        }
    }
    put("</text>\n");
    flushOutput(false);
}

// ---- Device --------------------------------------------------------------------------------

VRSvgGenerator::VRSvgGenerator(QIODevice *output, QSizeF size)
    : m_output(output)
    , m_size(size)
    , m_engine(std::make_unique<VRSvgPaintEngine>(*this))
{
}

VRSvgGenerator::~VRSvgGenerator() = default;

QPaintEngine *VRSvgGenerator::paintEngine() const
{
    return m_engine.get();
}

int VRSvgGenerator::metric(PaintDeviceMetric metric) const
{
    switch (metric) {
    case PdmWidth: return int(std::ceil(m_size.width()));
    case PdmHeight: return int(std::ceil(m_size.height()));
    case PdmWidthMM: return int(std::round(m_size.width() * 25.4 / 72.0));
    case PdmHeightMM: return int(std::round(m_size.height() * 25.4 / 72.0));
    case PdmNumColors: return 0xffffffff;
    case PdmDepth: return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY: return 72;
    case PdmDevicePixelRatio: return 1;
    case PdmDevicePixelRatioScaled: return int(QPaintDevice::devicePixelRatioFScale());
    default: return 0;
    }
}
