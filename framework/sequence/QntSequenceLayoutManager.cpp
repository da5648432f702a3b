#include "framework/sequence/QntSequenceLayoutManager.h"

#include "framework/base/VRConstants.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorStylizedPath.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntUMLSequenceElement.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/sequence/ISDiagram.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRStrokeDash.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QString kConnectorIdKey = QStringLiteral("SEQUENCE_DIAGRAM_CONNECTOR_ID");
const QString kTimelineIdKey = QStringLiteral("SEQUENCE_DIAGRAM_TIMELINE_ID");
const QString kElementIdKey = QStringLiteral("SEQUENCE_DIAGRAM_ELEMENT_ID");
const QString kGeneratedKey = QStringLiteral("SEQ");

// Distances of the drawing that the parameters do not set (points).
constexpr double kSelfLoopWidth = 40.0;
constexpr double kLabelGap = 6.0;
constexpr double kHeaderTextPadding = 24.0;

VRStyleRef styleValue(const QVariant &value)
{
    if (value.metaType() != QMetaType::fromType<VRStyleRef>())
        return nullptr;
    return value.value<VRStyleRef>();
}

VRStyleRef lineStyle(const QColor &colour, double width, int arrowhead, bool dashed)
{
    auto style = VRStyle::create();
    auto stroke = std::make_shared<VRArrowStroke>();
    stroke->setColour(colour);
    stroke->setWidth(width);
    stroke->setArrowHeadAtStart(0);
    stroke->setArrowHeadAtEnd(arrowhead);
    if (dashed)
        stroke->setDash(VRStrokeDash::create({6.0, 4.0}));
    style->addRenderer(stroke);
    return style;
}

// The parameters of one drawing, each positive.
struct Metrics {
    double entityWidth = 160, entityHeight = 50, paddingLeft = 40, paddingTop = 20;
    double margin = 20, ledge = 30, fontSize = 14;
    QString fontName = QStringLiteral("Helvetica");
    QFont font;

    explicit Metrics(const QVariantMap &options)
    {
        const auto number = [&options](const QString &key, double fallback) {
            bool ok = false;
            const double v = options.value(key).toDouble(&ok);
            return ok && v > 0 && std::isfinite(v) ? std::min(v, 10000.0) : fallback;
        };
        entityWidth = number(QntSeqMinEntityWidthKey, 160);
        entityHeight = number(QntSeqMinEntityHeightKey, 50);
        paddingLeft = number(QntSeqPaddingLeftKey, 40);
        paddingTop = number(QntSeqPaddingTopKey, 20);
        margin = number(QntSeqContainerMarginKey, 20);
        ledge = number(QntSeqContainerLedgeKey, 30);
        fontSize = std::min(number(QntSeqFontSizeKey, 14), 200.0);
        const QString name = options.value(QntSeqFontNameKey).toString();
        if (!name.trimmed().isEmpty())
            fontName = name;
        font = QFont(fontName);
        font.setPointSizeF(fontSize);
    }

    VRTextBlock block(const QString &text, int alignment = 2, int vertical = 1) const
    {
        VRTextBlock b;
        b.setFont(font);
        b.setPlainText(text);
        b.setAlignment(alignment);
        b.setVerticalAlignment(vertical);
        return b;
    }
    // The size of a text as labels and element texts draw it.
    QSizeF textSize(const QString &text) const
    {
        if (text.isEmpty())
            return {0, 0};
        return block(text).naturalSize(0);
    }
};

// Frame of an option, loop or alternatives, and where each of its conditions starts.
struct Frame {
    const ISContainer *container = nullptr;
    QRectF rect;
    QString tabText;
    QSizeF tabSize;
    struct Condition {
        const ISAlternativeCondition *condition;
        double top;
        double height;
        bool first;
    };
    QList<Condition> conditions;
};

struct Row {
    const ISMessage *message;
    double y;
    int from;
    int to;
    QSizeF label;
    double loopHeight;
};

class Placer
{
public:
    Placer(const ISDiagram &diagram, const Metrics &m)
        : m_diagram(diagram)
        , m_m(m)
    {
        int index = 0;
        for (const auto &t : diagram.timelines())
            m_column.insert(t.get(), index++);
    }

    // Column distance: room for the widest header and for every label between its lifelines.
    double columnSpacing(const QList<double> &headerWidths) const
    {
        double widest = m_m.entityWidth;
        for (double w : headerWidths)
            widest = std::max(widest, w);
        double spacing = widest + m_m.paddingLeft;
        visit(m_diagram, [&](const ISMessage &message) {
            const int a = m_column.value(message.fromTimeline(), -1);
            const int b = m_column.value(message.toTimeline(), -1);
            if (a < 0 || b < 0)
                return;
            const double label = m_m.textSize(message.name()).width();
            if (a == b)
                spacing = std::max(spacing, kSelfLoopWidth + label + 3 * kLabelGap + m_m.margin);
            else
                spacing = std::max(spacing, (label + 4 * kLabelGap) / std::abs(a - b));
        });
        return spacing;
    }

    template <class F> static void visit(const ISContainer &container, const F &f)
    {
        for (const auto &child : container.children()) {
            if (child->kind() == ISElement::Kind::Message)
                f(static_cast<const ISMessage &>(*child));
            else if (auto *c = dynamic_cast<const ISContainer *>(child.get()))
                visit(*c, f);
        }
    }

    // Places the rows of a container from y on; returns the horizontal extent of its content
    // (empty when it has none) and moves y past it.
    std::pair<double, double> place(const ISContainer &container, double &y)
    {
        double minX = std::numeric_limits<double>::infinity();
        double maxX = -std::numeric_limits<double>::infinity();
        const auto extend = [&](double a, double b) {
            minX = std::min(minX, a);
            maxX = std::max(maxX, b);
        };
        Frame *alternatives = nullptr;
        int frameIndex = -1;
        if (container.kind() == ISElement::Kind::Alternatives) {
            frameIndex = int(m_frames.size()) - 1;
            alternatives = &m_frames[frameIndex];
        }
        bool firstChild = true;
        for (const auto &child : container.children()) {
            switch (child->kind()) {
            case ISElement::Kind::Message: {
                const auto &message = static_cast<const ISMessage &>(*child);
                const int a = m_column.value(message.fromTimeline(), -1);
                const int b = m_column.value(message.toTimeline(), -1);
                if (a < 0 || b < 0)
                    break;
                const QSizeF label = m_m.textSize(message.name());
                Row row{&message, 0, a, b, label, 0};
                if (a == b) {
                    row.loopHeight = std::max(m_m.fontSize, label.height()) + 8;
                    row.y = y + kLabelGap;
                    y += row.loopHeight + 2 * kLabelGap + m_m.fontSize;
                    extend(x(a), x(a) + kSelfLoopWidth + 2 * kLabelGap + label.width());
                } else {
                    row.y = y + label.height() + kLabelGap;
                    y = row.y + std::max(kLabelGap * 2, m_m.fontSize);
                    extend(std::min(x(a), x(b)), std::max(x(a), x(b)));
                }
                m_rows.push_back(row);
                break;
            }
            case ISElement::Kind::AlternativeCondition: {
                if (!alternatives)
                    break;
                const auto &condition = static_cast<const ISAlternativeCondition &>(*child);
                const double height =
                    m_m.textSize(QStringLiteral("[%1]").arg(condition.name())).height()
                    + 2 * kLabelGap;
                m_frames[frameIndex].conditions.push_back({&condition, y, height, firstChild});
                y += height;
                break;
            }
            case ISElement::Kind::Option:
            case ISElement::Kind::Loop:
            case ISElement::Kind::Alternatives: {
                const auto &inner = static_cast<const ISContainer &>(*child);
                const int index = int(m_frames.size());
                m_frames.push_back(Frame{&inner, {}, tabText(inner), {}, {}});
                Frame &frame = m_frames.back();
                frame.tabSize = m_m.textSize(frame.tabText) + QSizeF(2 * kLabelGap, kLabelGap);
                frame.tabSize.setHeight(std::max(frame.tabSize.height(), m_m.ledge));
                const double top = y;
                y += frame.tabSize.height() + kLabelGap;
                auto [a, b] = place(inner, y);
                if (!(a <= b)) {
                    a = x(0);
                    b = x(0);
                }
                y += m_m.margin;
                double left = a - m_m.margin;
                double right = std::max(b + m_m.margin,
                                        left + m_frames[index].tabSize.width() + 2 * kLabelGap);
                for (const auto &c : std::as_const(m_frames[index].conditions)) {
                    const double w =
                        m_m.textSize(QStringLiteral("[%1]").arg(c.condition->name())).width();
                    right = std::max(right, left + w + 2 * kLabelGap);
                }
                m_frames[index].rect = QRectF(QPointF(left, top), QPointF(right, y));
                y += m_m.fontSize;
                extend(left, right);
                alternatives = frameIndex >= 0 ? &m_frames[frameIndex] : nullptr;
                break;
            }
            default: break;
            }
            firstChild = false;
        }
        return {minX, maxX};
    }

    QString tabText(const ISContainer &container) const
    {
        QString text;
        QString defaultName;
        switch (container.kind()) {
        case ISElement::Kind::Option:
            text = QStringLiteral("opt");
            defaultName = QStringLiteral("Option");
            break;
        case ISElement::Kind::Loop: {
            text = QStringLiteral("loop");
            const int count = static_cast<const ISLoop &>(container).count();
            if (count > 0)
                text += QStringLiteral(" (%1)").arg(count);
            defaultName = QStringLiteral("Loop");
            break;
        }
        default:
            text = QStringLiteral("alt");
            defaultName = QStringLiteral("Alternative");
            break;
        }
        const QString name = container.name().trimmed();
        if (!name.isEmpty() && name != defaultName && name != defaultName + QLatin1Char('s'))
            text += QStringLiteral(" [%1]").arg(name);
        return text;
    }

    double x(int column) const { return m_originX + column * m_spacing; }

    QHash<const ISTimeline *, int> m_column;
    QList<Row> m_rows;
    QList<Frame> m_frames;
    double m_originX = 0;
    double m_spacing = 0;

private:
    const ISDiagram &m_diagram;
    const Metrics &m_m;
};

void tag(VRDrawableObject &object, const QString &key, const QString &id)
{
    if (id.isEmpty())
        object.setString(QStringLiteral("YES"), kGeneratedKey);
    else
        object.setString(id, key);
}

std::shared_ptr<VRDrawableShape> rectShape(const QRectF &rect, const QString &id,
                                           const VRStyleRef &style)
{
    auto shape = VRDrawableShape::shapeWithRect(rect, VRDrawableShape::unitRectAtOrigin());
    shape->setID(id);
    if (style)
        shape->setStyle(style);
    return shape;
}

std::shared_ptr<QntElement> makeElement(std::shared_ptr<QntElement> element,
                                        const VRObjectList &parts, const QRectF &rect,
                                        const VRTextBlock &text, double padLR, double padTB)
{
    element->setGroupObjects(parts);
    element->setUserInfo({{QStringLiteral("ID"), QStringLiteral("sequence")}});
    element->setOriginalSize(rect.size());
    element->setOriginalSizeWithoutScale(rect.size());
    element->setPaddingMode(1);
    element->setPaddingLeftRight(padLR);
    element->setPaddingTopBottom(padTB);
    element->addTextShape();
    element->text()->setTextBlock(text);
    element->setVerticalAlignment(text.verticalAlignment());
    return element;
}

void applyElementPaddings(QntElement &element, const QVariantMap &looks, const QString &id)
{
    const QVariantMap properties = looks.value(id + QStringLiteral("_PROPERTIES")).toMap();
    bool ok = false;
    const double lr = properties.value(QStringLiteral("PaddingLeftRight")).toDouble(&ok);
    if (ok && std::isfinite(lr) && lr >= 0)
        element.setPaddingLeftRight(lr);
    const double tb = properties.value(QStringLiteral("PaddingTopBottom")).toDouble(&ok);
    if (ok && std::isfinite(tb) && tb >= 0)
        element.setPaddingTopBottom(tb);
}

void applyElementLook(QntElement &element, const QVariantMap &looks, const QString &id)
{
    if (id.isEmpty())
        return;
    if (VRStyleRef style = styleValue(looks.value(id)))
        if (VRObjectRef contour = element.contourObject())
            contour->setStyle(style->copy());
    applyElementPaddings(element, looks, id);
}

// A skin to put back on a connector once it is in the drawing, whose notation its
// arrowheads and body are made from.
struct PendingSkin {
    QntConnector *connector;
    QVariantMap options;
};

void applySkin(const PendingSkin &pending)
{
    QVariantMap options = pending.options;
    // The style belongs to the old connector (kept by undo): the new one draws with a copy.
    const QVariant shaft = options.value(QStringLiteral("shaftStyle"));
    if (VRStyleRef style = styleValue(shaft))
        options.insert(QStringLiteral("shaftStyle"), QVariant::fromValue(style->copy()));
    else if (shaft.isValid())
        options.remove(QStringLiteral("shaftStyle"));
    pending.connector->addSkin(options);
}

void applyConnectorLook(QntConnector &connector, const QVariantMap &looks, const QString &id,
                        QList<PendingSkin> &skins)
{
    if (id.isEmpty())
        return;
    if (VRStyleRef style = styleValue(looks.value(id)))
        connector.setStyle(style->copy());
    const QVariantMap p = looks.value(id + QStringLiteral("-CONNECTOR_PROPERTIES")).toMap();
    const QVariantMap skin = p.value(QStringLiteral("SkinOptions")).toMap();
    if (!skin.isEmpty())
        skins.append({&connector, skin});
    if (!p.contains(QStringLiteral("LayoutMode")))
        return;
    const auto number = [&p](const char *key, double fallback) {
        bool ok = false;
        const double v = p.value(QLatin1String(key)).toDouble(&ok);
        return ok && std::isfinite(v) ? v : fallback;
    };
    connector.setLayoutMode(int(number("LayoutMode", connector.layoutMode())));
    connector.setTextXOffset(number("TextXOffset", connector.textXOffset()));
    connector.setTextYOffset(number("TextYOffset", connector.textYOffset()));
    connector.setTextAlign(int(number("TextAlign", connector.alignment())));
    connector.setOffsetForPointForTextLayout(QSizeF(
        number("OffsetForPointForTextLayoutX", connector.offsetForPointForTextLayout().width()),
        number("OffsetForPointForTextLayoutY", connector.offsetForPointForTextLayout().height())));
}

} // namespace

VRStyleRef QntSequenceLayoutManager::shaftStyle(const QntConnector &connector)
{
    if (QntConnectorStylizedPath *shaft = connector.shaft())
        if (VRStyleRef style = shaft->style())
            return style;
    return connector.style();
}

VRObjectList QntSequenceLayoutManager::performDrawingOnDrawing(
    VRDrawing *drawing, const QVariantMap &timelineIdentifiersAndNames, const QVariantMap &options)
{
    m_bounds = QRectF();
    if (!drawing || !m_diagram)
        return {};
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    if (!layer)
        return {};
    const Metrics m(options);
    QVariantMap &looks = drawing->sequenceStyleDic();
    const ISDiagram &diagram = *m_diagram;
    const auto &timelines = diagram.timelines();

    // Headers and their widths.
    QList<double> headerWidths;
    QStringList titles;
    double headerHeight = m.entityHeight;
    for (const auto &t : timelines) {
        QString title = timelineIdentifiersAndNames.value(t->name()).toString();
        if (title.isEmpty())
            title = t->name();
        titles << title;
        const QSizeF size = m.textSize(title);
        headerWidths << std::max(m.entityWidth, size.width() + kHeaderTextPadding);
        headerHeight = std::max(headerHeight, size.height() + 12);
    }

    Placer placer(diagram, m);
    placer.m_spacing = placer.columnSpacing(headerWidths);
    placer.m_originX = 0;
    const double headerTop = drawing->topMargin() + m.paddingTop;
    double y = headerTop + headerHeight + m.fontSize;
    placer.place(diagram, y);
    const double bottom = y + std::max(m.fontSize, m.entityHeight / 2);

    // Everything left of the first header moves right, so the diagram starts at the padding.
    double minX = timelines.empty() ? 0 : placer.x(0) - headerWidths.first() / 2;
    for (const Frame &f : std::as_const(placer.m_frames))
        minX = std::min(minX, f.rect.left());
    const double shift = drawing->leftMargin() + m.paddingLeft - minX;
    placer.m_originX += shift;

    VRObjectList frames, lifelines, messages;
    QList<PendingSkin> skins;
    // Frames, conditions and their tabs lie below the lines.
    for (const Frame &f : std::as_const(placer.m_frames)) {
        const QRectF rect = f.rect.translated(shift, 0);
        auto contourStyle = VRStyle::create();
        auto stroke = std::make_shared<VRStroke>();
        stroke->setColour(QColor(70, 70, 70));
        stroke->setWidth(1.0);
        contourStyle->addRenderer(stroke);
        auto contour = rectShape(rect, QStringLiteral("contour"), contourStyle);
        const QRectF tabRect(rect.topLeft(), f.tabSize);
        QPainterPath tab;
        const double notch = std::min(8.0, tabRect.height() / 3);
        tab.moveTo(tabRect.topLeft());
        tab.lineTo(tabRect.topRight());
        tab.lineTo(tabRect.right(), tabRect.bottom() - notch);
        tab.lineTo(tabRect.right() - notch, tabRect.bottom());
        tab.lineTo(tabRect.bottomLeft());
        tab.closeSubpath();
        auto tabShape = std::make_shared<VRDrawablePath>(tab);
        tabShape->setID(QStringLiteral("decor.tab"));
        tabShape->setStyle(
            VRStyle::styleWithFillColour(QColor(235, 238, 245), QColor(70, 70, 70), 1.0));
        auto frame = makeElement(std::make_shared<QntElement>(), {contour, tabShape}, rect,
                                 m.block(f.tabText, 0, 0), kLabelGap, kLabelGap / 2);
        tag(*frame, kElementIdKey, f.container->ID());
        applyElementLook(*frame, looks, f.container->ID());
        frames << frame;

        for (const Frame::Condition &c : f.conditions) {
            const QRectF row(rect.left(), c.top, rect.width(), c.height);
            auto line = std::make_shared<VRDrawablePath>();
            QPainterPath p;
            p.moveTo(row.topLeft());
            p.lineTo(row.topRight());
            line->setPath(p);
            line->setID(QStringLiteral("contour"));
            if (!c.first)
                line->setStyle(lineStyle(QColor(70, 70, 70), 1.0, 0, true));
            auto area = rectShape(row, QStringLiteral("decor.area"), nullptr);
            auto condition =
                makeElement(std::make_shared<QntElement>(), {area, line}, row,
                            m.block(QStringLiteral("[%1]").arg(c.condition->name()), 0, 0),
                            kLabelGap, kLabelGap);
            tag(*condition, kElementIdKey, c.condition->ID());
            applyElementLook(*condition, looks, c.condition->ID());
            frames << condition;
        }
    }

    // Headers and lifelines.
    VRObjectList headers;
    for (int i = 0; i < int(timelines.size()); ++i) {
        const ISTimeline &t = *timelines[i];
        const double cx = placer.x(i);
        const QRectF rect(cx - headerWidths[i] / 2, headerTop, headerWidths[i], headerHeight);
        const QString headerKey = t.name() + QStringLiteral("-TIMELINE_HEADER");
        VRStyleRef headerStyle = styleValue(looks.value(headerKey));
        if (!headerStyle) {
            headerStyle =
                VRStyle::styleWithFillColour(QColor(240, 244, 252), QColor(60, 70, 90), 1.2);
            headerStyle->setStyleSharable(true);
            looks.insert(headerKey, QVariant::fromValue(headerStyle));
        }
        auto contour = rectShape(rect, QStringLiteral("contour"), headerStyle);
        auto header = makeElement(std::make_shared<QntUMLSequenceElement>(), {contour}, rect,
                                  m.block(titles[i]), 6, 4);
        tag(*header, kGeneratedKey, QString());
        // Named by its entry too, so a style the user put on it in place of the shared one
        // is remembered by the next layout like any generated element's.
        tag(*header, kElementIdKey, headerKey);
        applyElementPaddings(*header, looks, headerKey);
        headers << header;

        auto lifeline = std::make_shared<QntConnector>();
        lifeline->setMode(2);
        lifeline->setStyle(lineStyle(QColor(110, 110, 110), 1.0, 0, true));
        lifeline->setEnds(QPointF(cx, rect.bottom()),
                          QPointF(cx, std::max(bottom, rect.bottom() + 1)));
        lifeline->setString(t.name(), kTimelineIdKey);
        if (VRStyleRef style = styleValue(looks.value(t.name())))
            lifeline->setStyle(style->copy());
        lifelines << lifeline;
    }

    // Messages.
    for (const Row &row : std::as_const(placer.m_rows)) {
        const ISMessage &message = *row.message;
        const bool response = message.lineType() == 1;
        auto connector = std::make_shared<QntConnector>();
        connector->setMode(2);
        connector->setStyle(response ? lineStyle(QColor(45, 45, 45), 1.2, 11, true)
                                     : lineStyle(QColor(45, 45, 45), 1.2, 1, false));
        connector->setLabel(m.block(message.name()));
        connector->setLayoutMode(1);
        const double ax = placer.x(row.from), bx = placer.x(row.to);
        if (row.from == row.to) {
            const QPointF start(ax, row.y), end(ax, row.y + row.loopHeight);
            connector->setEnds(start, end);
            QPainterPath loop(start);
            loop.lineTo(ax + kSelfLoopWidth, row.y);
            loop.lineTo(ax + kSelfLoopWidth, end.y());
            loop.lineTo(end);
            connector->setRoutedPath(loop);
            connector->setTextYOffset(row.label.width() / 2 + kLabelGap);
        } else {
            connector->setEnds(QPointF(ax, row.y), QPointF(bx, row.y));
            const double above = row.label.height() / 2 + kLabelGap / 2;
            // The label's side follows the direction of the line.
            connector->setTextYOffset(bx > ax ? above : -above);
        }
        tag(*connector, kConnectorIdKey, message.ID());
        applyConnectorLook(*connector, looks, message.ID(), skins);
        messages << connector;
    }

    VRObjectList all = frames + lifelines + headers + messages;
    QRectF bounds;
    for (const VRObjectRef &o : std::as_const(all))
        bounds = bounds.united(o->bounds());
    m_bounds = bounds;

    VRUndoManager *undo = drawing->undoManager();
    if (undo)
        undo->beginUndoGrouping();
    const QSizeF size = drawing->drawingSize();
    const QSizeF needed(bounds.right() + drawing->rightMargin() + m.paddingLeft,
                        bounds.bottom() + drawing->bottomMargin() + m.paddingTop);
    if (needed.width() > size.width() || needed.height() > size.height())
        drawing->setDrawingSize(QSizeF(std::max(size.width(), needed.width()),
                                       std::max(size.height(), needed.height())));
    layer->addObjectsFromArray(all);
    for (const PendingSkin &pending : std::as_const(skins))
        applySkin(pending);
    if (undo) {
        undo->setActionName(QStringLiteral("Sequence Layout"));
        undo->endUndoGrouping();
    }
    return all;
}
