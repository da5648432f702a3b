#include "framework/model/QntElement.h"

#include "framework/model/QntConnector.h"
#include "framework/archive/VRArchiveReader.h"
#include "framework/archive/VRArchiveWriter.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRObjectOwnerLayer.h"
#include "framework/model/VRTextBlock.h"
#include "framework/notations/QntColorScheme.h"
#include "framework/notations/QntNotation.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/QntConnectorTool.h"
#include "framework/view/VRDrawingView.h"
#include "framework/archive/VRJsonWriter.h"
#include "platform/UserDefaults.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <functional>

VR_CLASS_IMPL(QntElement, VRShapeGroup)

namespace {
// The notation at that path, when it can be read.
QntNotationRef validNotation(const QString &notationPath)
{
    QntNotationRef notation = QntNotation::notationWithPath(notationPath);
    return notation && notation->isValid() ? notation : nullptr;
}
constexpr int kMaximumStickySpots = 1000;

// The box of a contour whose outline is a diamond (its corners in the middles of its box's
// sides), in the coordinates its container gives it; null for any other outline.
QRectF diamondBox(const VRDrawableObject &contour)
{
    if (!contour.isKindOf<VRDrawableShape>())
        return {};
    const QList<QPolygonF> outlines =
        static_cast<const VRDrawableShape &>(contour).unitPath().toSubpathPolygons();
    if (outlines.size() != 1)
        return {};
    QPolygonF corners = outlines.first();
    if (corners.size() > 1 && corners.first() == corners.last())
        corners.removeLast();
    if (corners.size() != 4)
        return {};
    const QRectF box = corners.boundingRect();
    if (box.width() <= 0 || box.height() <= 0)
        return {};
    const QPointF c = box.center();
    const QList<QPointF> middles{QPointF(c.x(), box.top()), QPointF(box.right(), c.y()),
                                 QPointF(c.x(), box.bottom()), QPointF(box.left(), c.y())};
    for (const QPointF &middle : middles) {
        const bool corner = std::any_of(corners.begin(), corners.end(), [&](QPointF p) {
            return std::abs(p.x() - middle.x()) <= box.width() * 1e-3
                   && std::abs(p.y() - middle.y()) <= box.height() * 1e-3;
        });
        if (!corner)
            return {};
    }
    if (contour.angle() != 0)
        return {};
    return contour.transform().mapRect(box);
}
} // namespace

QntElement::QntElement()
{
    const UserDefaults &defaults = UserDefaults::standardUserDefaults();
    bool ok = false;
    const double lr = defaults.objectForKey(kQntElementRightLeftPaddingCoef).toDouble(&ok);
    if (ok && lr >= 0 && lr < 0.5)
        m_paddingLR = lr;
    const double tb = defaults.objectForKey(kQntElementTopBottomPaddingCoef).toDouble(&ok);
    if (ok && tb >= 0 && tb < 0.5)
        m_paddingTB = tb;
    setStickySpots({QPointF(0, -0.5), QPointF(0.5, 0), QPointF(0, 0.5), QPointF(-0.5, 0)});
}

QntElement::~QntElement()
{
    if (m_text && m_text->container() == this)
        m_text->setContainer(nullptr);
}

VRObjectRef QntElement::createWithElementId(const QString &elementId, const QString &notationPath)
{
    const QntNotationRef notation = validNotation(notationPath);
    const VRObjectRef prototype = notation ? notation->prototypeForElementId(elementId) : nullptr;
    if (!prototype)
        return nullptr;
    VRObjectRef element = prototype->copy();
    if (element && element->isKindOf<QntElement>())
        static_cast<QntElement &>(*element).m_notationPath = notationPath;
    return element;
}

std::shared_ptr<QntElement> QntElement::createWithObjects(const VRObjectList &objects,
                                                          const QString &id, QSizeF originalSize)
{
    auto element = std::make_shared<QntElement>();
    element->setGroupObjects(objects);
    element->setUserInfo({{QStringLiteral("ID"), id}});
    element->m_originalSize = originalSize;
    element->m_originalSizeWithoutScale = originalSize;
    return element;
}

QColor QntElement::schemeColour(const QString &notationPath, qint64 schemeId,
                                const QString &itemsType, int index, double *alpha)
{
    const QntNotationRef notation = validNotation(notationPath);
    return notation ? QntColorScheme::colour(*notation, schemeId, itemsType, index, alpha)
                    : QColor();
}

void QntElement::setupAfterDraggingFromPalette()
{
    VRUndoManager *um = undoManager();
    if (um)
        um->disableUndoRegistration();
    const UserDefaults &defaults = UserDefaults::standardUserDefaults();
    bool ok = false;
    double scale = defaults.objectForKey(QntElementScaleKey).toDouble(&ok);
    if (!ok || !(scale > 0) || scale > 100)
        scale = 1.0;
    if (m_originalSizeWithoutScale.isEmpty())
        m_originalSizeWithoutScale = m_size;
    m_originalSize = m_originalSizeWithoutScale * scale;
    if (!m_originalSize.isEmpty())
        setSize(m_originalSize);
    if (defaults.boolForKey(QntGlobalAutosizeElementsKey))
        m_autoSize = true;
    if (m_autoSize)
        performAutoSize();
    if (um)
        um->enableUndoRegistration();
}

void QntElement::addTextShape()
{
    if (m_text)
        return;
    m_text = std::make_shared<QntTextShape>();
    m_text->setUserInfo({{QStringLiteral("ID"), QStringLiteral("text")}});
    m_text->setContainer(this);
    layoutText();
}

VRObjectList QntElement::parts() const
{
    VRObjectList all = m_members;
    if (m_text)
        all.append(m_text);
    return all;
}

VRObjectRef QntElement::contourObject() const
{
    for (const auto &m : m_members) {
        if (m->ID() == QLatin1String("contour"))
            return m;
    }
    return nullptr;
}

VRStyleRef QntElement::editableStyle() const
{
    if (style())
        return style();
    const VRObjectRef contour = contourObject();
    return contour ? contour->style() : nullptr;
}

void QntElement::setEditableStyle(VRStyleRef style)
{
    const VRObjectRef contour = contourObject();
    if (this->style() || !contour) {
        setStyle(std::move(style));
        return;
    }
    contour->setStyle(std::move(style));
    notifyVisualChange();
}

QList<std::shared_ptr<QntElement>> QntElement::allElements() const
{
    QList<std::shared_ptr<QntElement>> result;
    for (const auto &m : m_members) {
        if (m->isKindOf<QntElement>()) {
            auto element = std::static_pointer_cast<QntElement>(m);
            result.append(element);
            result.append(element->allElements());
        }
    }
    return result;
}

QTextDocumentFragment QntElement::textContent() const
{
    return m_text ? m_text->textContent() : QTextDocumentFragment();
}

void QntElement::setTextContent(const QTextDocumentFragment &content)
{
    addTextShape();
    m_text->setTextContent(content);
    if (m_autoSize)
        performAutoSize();
    notifyVisualChange();
}

void QntElement::setTextFontFamily(const QString &family)
{
    addTextShape();
    QFont font = m_text->font();
    font.setFamily(family);
    m_text->setFont(font);
    if (m_autoSize)
        performAutoSize();
    notifyVisualChange();
}

void QntElement::setTextFontTypeface(int traitMask, bool underlined)
{
    addTextShape();
    m_text->setFont(VRTextBlock::fontWithTraits(m_text->font(), traitMask, underlined));
    if (m_autoSize)
        performAutoSize();
    notifyVisualChange();
}

void QntElement::setTextFontSize(double size)
{
    addTextShape();
    m_text->setFontSize(size);
    if (m_autoSize)
        performAutoSize();
    notifyVisualChange();
}

void QntElement::setTextColor(const QColor &colour)
{
    addTextShape();
    m_text->setTextColour(colour);
    notifyVisualChange();
}

void QntElement::setTextAlign(int alignment)
{
    addTextShape();
    m_text->setAlignment(alignment);
    notifyVisualChange();
}

QntElement::Settings QntElement::settings() const
{
    Settings s;
    s.paddingMode = m_paddingMode;
    s.paddingLR = m_paddingLR;
    s.paddingTB = m_paddingTB;
    s.autoSize = m_autoSize;
    s.keepFixedWidth = m_keepFixedWidth;
    s.colorSchemeId = m_colorSchemeId;
    s.transparency = m_transparency;
    for (const auto &spot : m_spots)
        s.spots.append(spot->relativePosition());
    return s;
}

void QntElement::setSettings(const Settings &s, const QString &actionName)
{
    const Settings old = settings();
    recordUndo("setSettings:", actionName, [old, actionName](VRDrawableObject &o) {
        static_cast<QntElement &>(o).setSettings(old, actionName);
    });
    m_paddingMode = s.paddingMode;
    m_paddingLR = s.paddingLR;
    m_paddingTB = s.paddingTB;
    m_autoSize = s.autoSize;
    m_keepFixedWidth = s.keepFixedWidth;
    m_colorSchemeId = s.colorSchemeId;
    m_transparency = s.transparency;
    QList<QPointF> current;
    for (const auto &spot : std::as_const(m_spots))
        current.append(spot->relativePosition());
    const bool spotsMoved = current != s.spots;
    if (spotsMoved)
        setStickySpots(s.spots);
    layoutText();
    // The connectors on the spots follow them, also when an undo puts the spots back.
    if (spotsMoved)
        updateConnectedConnectors();
    notifyVisualChange();
}

void QntElement::setPaddingMode(int mode)
{
    Settings s = settings();
    s.paddingMode = mode == 1 ? 1 : 0;
    setSettings(s, QStringLiteral("Change Paddings"));
    if (m_autoSize)
        performAutoSize();
}

double QntElement::paddingTopBottomAbs() const
{
    return m_paddingMode == 1 ? m_paddingTB : m_paddingTB * m_size.height();
}

double QntElement::paddingLeftRightAbs() const
{
    return m_paddingMode == 1 ? m_paddingLR : m_paddingLR * m_size.width();
}

void QntElement::setPaddingTopBottom(double padding)
{
    if (!std::isfinite(padding) || padding < 0)
        return;
    Settings s = settings();
    s.paddingTB = padding;
    setSettings(s, QStringLiteral("Change Paddings"));
    if (m_autoSize)
        performAutoSize();
}

void QntElement::setPaddingLeftRight(double padding)
{
    if (!std::isfinite(padding) || padding < 0)
        return;
    Settings s = settings();
    s.paddingLR = padding;
    setSettings(s, QStringLiteral("Change Paddings"));
    if (m_autoSize)
        performAutoSize();
}

void QntElement::setAutoSize(bool autoSize)
{
    Settings s = settings();
    s.autoSize = autoSize;
    setSettings(s, QStringLiteral("Change Autosize"));
    if (autoSize)
        performAutoSize();
}

void QntElement::setKeepFixedWidth(bool keep)
{
    if (keep == m_keepFixedWidth)
        return;
    Settings s = settings();
    s.keepFixedWidth = keep;
    setSettings(s, QStringLiteral("Change Autosize"));
    if (m_autoSize)
        performAutoSize();
}

QRectF QntElement::textAreaForSize(QSizeF size) const
{
    const double w = std::max(0.0, size.width()), h = std::max(0.0, size.height());
    QRectF box(-w / 2, -h / 2, w, h);
    // A diamond's box, from the content rectangle its parts are placed in to the element's.
    QRectF diamond;
    if (const VRObjectRef contour = contourObject())
        diamond = diamondBox(*contour);
    if (!diamond.isNull() && m_contentRect.width() > 0 && m_contentRect.height() > 0) {
        QTransform toElement;
        toElement.scale(w / m_contentRect.width(), h / m_contentRect.height());
        toElement.translate(-m_contentRect.center().x(), -m_contentRect.center().y());
        box = toElement.mapRect(diamond);
    } else {
        diamond = QRectF();
    }
    const double lr = m_paddingMode == 1 ? m_paddingLR : m_paddingLR * w;
    const double tb = m_paddingMode == 1 ? m_paddingTB : m_paddingTB * h;
    QRectF area = box.adjusted(lr, tb, -lr, -tb);
    area.setWidth(std::max(0.0, area.width()));
    area.setHeight(std::max(0.0, area.height()));
    if (!diamond.isNull()) {
        // The largest rectangle inside a diamond: half as wide and half as high, about its
        // centre.
        const QPointF centre = area.center();
        area.setSize(area.size() / 2);
        area.moveCenter(centre);
    }
    return area;
}

void QntElement::performAutoSize()
{
    if (!m_text || m_text->textBlock().isEmpty())
        return;
    const QSizeF size = m_size.isEmpty() ? QSizeF(100, 100) : m_size;
    const QRectF area = textAreaForSize(size);
    const QSizeF text =
        m_text->textBlock().naturalSize(m_keepFixedWidth ? std::max(1.0, area.width()) : 0.0);
    // The text's room grows in step with the element (paddings may be fractions of its size):
    // the size whose room holds the text, measured in whole points with a point to spare, as
    // lines are broken at the room's width.
    const QRectF twice = textAreaForSize(size * 2);
    const auto fitting = [](double room, double roomTwice, double length, double wanted) {
        const double perPoint = (roomTwice - room) / length;
        if (!(perPoint > 1e-3))
            return length;
        return length + (wanted - room) / perPoint;
    };
    const double width = m_keepFixedWidth ? size.width()
                                          : fitting(area.width(), twice.width(), size.width(),
                                                    std::ceil(text.width()) + 1);
    const double height =
        fitting(area.height(), twice.height(), size.height(), std::ceil(text.height()));
    QSizeF wanted(width, height);
    const bool mayShrink =
        UserDefaults::standardUserDefaults().boolForKey(QntAllowAutosizeToMinSizeKey);
    if (!mayShrink && !m_originalSize.isEmpty())
        wanted = wanted.expandedTo(m_originalSize);
    if (wanted.width() > 0 && wanted.height() > 0 && wanted.width() < 1e6 && wanted.height() < 1e6
        && (std::abs(wanted.width() - m_size.width()) > 1e-6
            || std::abs(wanted.height() - m_size.height()) > 1e-6))
        setSize(wanted);
}

void QntElement::layoutText()
{
    if (!m_text)
        return;
    QRectF content = m_contentRect;
    if (content.isEmpty())
        content = QRectF(QPointF(m_size.width() / -2, m_size.height() / -2), m_size);
    const double sx = m_size.width() > 0 ? content.width() / m_size.width() : 1.0;
    const double sy = m_size.height() > 0 ? content.height() / m_size.height() : 1.0;
    const QRectF area = textAreaForSize(m_size);
    Geometry g = m_text->saveGeometry();
    g.location = content.center() + QPointF(area.center().x() * sx, area.center().y() * sy);
    g.size = QSizeF(area.width() * sx, area.height() * sy);
    g.offset = QSizeF(0, 0);
    g.angle = 0;
    m_text->restoreGeometry(g);
}

void QntElement::geometryDidChange()
{
    layoutText();
    VRShapeGroup::geometryDidChange();
    updateConnectedConnectors();
}

QRectF QntElement::computeBounds(VRBoundsMeasure measure) const
{
    // The text is laid out inside the paddings, but its glyphs may reach past the element.
    const QRectF bounds = VRShapeGroup::computeBounds(measure);
    if (!m_text || m_text->textBlock().isEmpty())
        return bounds;
    return bounds.united(m_text->bounds(measure));
}

void QntElement::drawContent(QPainter &painter) const
{
    VRShapeGroup::drawContent(painter);
    if (m_text)
        m_text->render(painter);
    if (m_highlighted) {
        painter.save();
        QPen pen(QColor(0, 120, 255));
        pen.setWidthF(2);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(VRDrawableShape::renderingPath());
        painter.restore();
    }
}

namespace {

// Connectors of the objects attached to the element, those inside groups included.
void collectConnectorsOn(const QntElement *element, const VRObjectList &objects,
                         QList<std::shared_ptr<QntConnector>> &result)
{
    for (const auto &o : objects) {
        if (o->isKindOf<QntConnector>()) {
            auto connector = std::static_pointer_cast<QntConnector>(o);
            if (connector->isAttachedTo(element))
                result.append(connector);
        } else if (o->isMemberOf<VRShapeGroup>()) {
            collectConnectorsOn(element, static_cast<const VRShapeGroup &>(*o).groupObjects(),
                                result);
        }
    }
}

} // namespace

QList<std::shared_ptr<QntConnector>> QntElement::connectedConnectors() const
{
    QList<std::shared_ptr<QntConnector>> result;
    if (VRObjectOwnerLayer *l = layer())
        collectConnectorsOn(this, l->objects(), result);
    return result;
}

void QntElement::carryHeldObjects(const VRObjectList &moved, QPointF delta)
{
    if (delta.isNull() || !std::isfinite(delta.x()) || !std::isfinite(delta.y()))
        return;
    QSet<const VRDrawableObject *> done;
    for (const VRObjectRef &object : moved)
        done.insert(object.get());
    // The spots to slide, each once however many held connectors end on it.
    QHash<QntElement *, QSet<int>> spots;
    QList<std::shared_ptr<QntElement>> spotOwners;
    const std::function<void(const VRDrawableObject &)> carry =
        [&](const VRDrawableObject &holder) {
            const QString holds = holder.stringForKey(QStringLiteral("holds"));
            VRObjectOwnerLayer *layer = holder.layer();
            if (holds.isEmpty() || !layer)
                return;
            const QStringList uids = holds.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            for (const VRObjectRef &object : layer->objects()) {
                if (done.contains(object.get())
                    || !uids.contains(object->stringForKey(QStringLiteral("uid"))))
                    continue;
                done.insert(object.get());
                if (object->isKindOf<QntConnector>()) {
                    const auto &connector = static_cast<const QntConnector &>(*object);
                    for (const QntConnectorEndPoint *end :
                         {connector.startEndPoint(), connector.endEndPoint()}) {
                        const auto element = end->targetElement();
                        if (!element || !end->targetStickySpot())
                            continue;
                        if (!spots.contains(element.get()))
                            spotOwners.append(element);
                        spots[element.get()].insert(end->spotIndex());
                    }
                } else if (object->isKindOf<QntElement>()) {
                    object->setLocation(object->location() + delta);
                    carry(*object);
                }
            }
        };
    for (const VRObjectRef &object : moved) {
        if (object->isKindOf<QntElement>())
            carry(*object);
    }
    for (const auto &element : std::as_const(spotOwners)) {
        const double height = element->size().height();
        if (height <= 0)
            continue;
        Settings s = element->settings();
        for (int index : std::as_const(spots[element.get()])) {
            if (index < 0 || index >= s.spots.size())
                continue;
            QPointF &spot = s.spots[index];
            spot.setY(std::clamp(spot.y() + delta.y() / height, -0.5, 0.5));
        }
        element->setSettings(s, QStringLiteral("Move"));
    }
}

void QntElement::updateConnectedConnectors()
{
    if (state() == 1)
        return; // members are being scaled programmatically
    for (const auto &connector : connectedConnectors())
        connector->endsDidMove();
}

void QntElement::setHighlightedForConnectorSnapping(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    notifyVisualChange();
}

void QntElement::postMouseDownAtPoint(QPointF point, VRDrawingView *view)
{
    if (!view)
        return;
    // Elements armed for a connector start the drag through the current connector tool.
    if (auto *tool = dynamic_cast<QntConnectorTool *>(view->drawingTool()))
        tool->beginDragFromElement(*view, *this, point);
}

void QntElement::connectToTargetElement(QntElement *target,
                                        const std::shared_ptr<QntConnector> &connector)
{
    if (!connector)
        return;
    const QPointF from = transformIncludingParent().map(QPointF(0, 0));
    const QPointF to = target ? target->transformIncludingParent().map(QPointF(0, 0))
                              : connector->endEndPoint()->location();
    // An end drawn on a spot (within half a point) stays on it, as a message meets a lifeline
    // at its own height; any other end takes the spot that faces the other element.
    constexpr double kSpotAtEndDistance = 0.5;
    const auto spotAt = [](const QntElement &element, QPointF point) {
        auto spot = element.nearestStickySpot(point);
        if (spot && QLineF(spot->location(), point).length() > kSpotAtEndDistance)
            spot = nullptr;
        return spot;
    };
    const QPointF start = connector->startEndPoint()->location();
    const QPointF end = connector->endEndPoint()->location();
    auto startSpot = spotAt(*this, start);
    if (!startSpot)
        startSpot = nearestStickySpot(to);
    connector->startEndPoint()->attachTo(startSpot.get());
    if (target) {
        auto endSpot = spotAt(*target, end);
        if (!endSpot || endSpot == startSpot)
            endSpot = target->nearestStickySpot(from);
        connector->endEndPoint()->attachTo(endSpot.get());
    }
    connector->endsDidMove();
}

std::shared_ptr<QntStickySpot> QntElement::stickySpotAtIndex(int index) const
{
    return index >= 0 && index < m_spots.size() ? m_spots.at(index) : nullptr;
}

std::shared_ptr<QntStickySpot> QntElement::nearestStickySpot(QPointF point) const
{
    std::shared_ptr<QntStickySpot> best;
    double bestDistance = 0;
    for (const auto &spot : m_spots) {
        const QPointF d = spot->location() - point;
        const double distance = d.x() * d.x() + d.y() * d.y();
        if (!best || distance < bestDistance) {
            best = spot;
            bestDistance = distance;
        }
    }
    return best;
}

void QntElement::setStickySpots(const QList<QPointF> &positions)
{
    for (const auto &spot : std::as_const(m_spots))
        spot->setOwner(nullptr);
    m_spots.clear();
    for (const QPointF &p : positions) {
        if (m_spots.size() >= kMaximumStickySpots)
            break;
        m_spots.append(std::make_shared<QntStickySpot>(this, p));
    }
}

void QntElement::insertStickySpot(QPointF relativePosition)
{
    if (!std::isfinite(relativePosition.x()) || !std::isfinite(relativePosition.y())
        || m_spots.size() >= kMaximumStickySpots)
        return;
    Settings s = settings();
    s.spots.append(relativePosition);
    setSettings(s, QStringLiteral("Insert Sticky Spot"));
}

void QntElement::removeStickySpot(QntStickySpot *spot)
{
    const int index = spot ? spot->index() : -1;
    if (index < 0 || spot->owner() != this)
        return;
    Settings s = settings();
    s.spots.removeAt(index);
    setSettings(s, QStringLiteral("Delete Sticky Spot"));
}

void QntElement::replaceColorScheme(qint64 schemeId)
{
    VRUndoManager *um = undoManager();
    if (um)
        um->beginUndoGrouping();
    Settings s = settings();
    s.colorSchemeId = schemeId;
    setSettings(s, QStringLiteral("Change Colour Scheme"));
    recolourParts();
    if (um) {
        um->endUndoGrouping();
        um->setActionName(QStringLiteral("Change Colour Scheme"));
    }
}

void QntElement::changeTransparencyWithCoef(double coef)
{
    if (!std::isfinite(coef))
        return;
    Settings s = settings();
    s.transparency = std::clamp(coef, 0.0, 2.0);
    VRUndoManager *um = undoManager();
    if (um)
        um->beginUndoGrouping();
    setSettings(s, QStringLiteral("Change Transparency"));
    recolourParts();
    if (um) {
        um->endUndoGrouping();
        um->setActionName(QStringLiteral("Change Transparency"));
    }
}

void QntElement::recolourParts()
{
    if (m_mode == 2)
        return; // image-bank pictures keep their own colours
    auto colourFor = [this](const QString &type, int index) {
        double alpha = 1.0;
        QColor c = schemeColour(m_notationPath, m_colorSchemeId, type, index, &alpha);
        if (c.isValid())
            c.setAlphaF(std::clamp(alpha * m_transparency, 0.0, 1.0));
        return c;
    };
    for (const auto &part : allPartsOfClass(VRDrawableObject::staticClass())) {
        const QVariantMap &info = part->userInfo();
        if (info.contains(QStringLiteral("QntSchemeFill")) && part->style()
            && !part->hasManuallyAssignedGradient()) {
            const QColor c = colourFor(QStringLiteral("Fill"),
                                       int(part->intValueForKey(QStringLiteral("QntSchemeFill"))));
            if (c.isValid())
                part->style()->setFillColour(c);
        }
        if (info.contains(QStringLiteral("QntSchemeStroke")) && part->style()) {
            const QColor c =
                colourFor(QStringLiteral("Stroke"),
                          int(part->intValueForKey(QStringLiteral("QntSchemeStroke"))));
            if (c.isValid())
                part->style()->setStrokeColour(c);
        }
        part->notifyVisualChange();
    }
    if (m_text && hasMetadataForKey(QStringLiteral("QntSchemeText"))) {
        const QColor c =
            colourFor(QStringLiteral("Text"), int(intValueForKey(QStringLiteral("QntSchemeText"))));
        if (c.isValid())
            m_text->setTextColour(c);
    }
    notifyVisualChange();
}

void QntElement::copyElementInto(QntElement &t) const
{
    t.m_notationPath = m_notationPath;
    t.m_originalSize = m_originalSize;
    t.m_originalSizeWithoutScale = m_originalSizeWithoutScale;
    t.m_colorSchemeId = m_colorSchemeId;
    t.m_transparency = m_transparency;
    t.m_paddingLR = m_paddingLR;
    t.m_paddingTB = m_paddingTB;
    t.m_paddingMode = m_paddingMode;
    t.m_mode = m_mode;
    t.m_canUngroup = m_canUngroup;
    t.m_editAllPartsAtOnce = m_editAllPartsAtOnce;
    t.m_onlyContourMode = m_onlyContourMode;
    t.m_autoSize = m_autoSize;
    t.m_keepFixedWidth = m_keepFixedWidth;
    QList<QPointF> spots;
    for (const auto &spot : m_spots)
        spots.append(spot->relativePosition());
    t.setStickySpots(spots);
    if (m_text) {
        t.m_text = std::static_pointer_cast<QntTextShape>(m_text->copy());
        t.m_text->setContainer(&t);
    }
}

VRObjectRef QntElement::copy() const
{
    auto object = VRShapeGroup::copy();
    if (object)
        copyElementInto(static_cast<QntElement &>(*object));
    return object;
}

void QntElement::writeRecord(VRJsonWriter &r, VRArchiveWriter &writer) const
{
    VRShapeGroup::writeRecord(r, writer);
    r.key(QLatin1String("text"));
    if (m_text)
        writer.writeObject(r, *m_text);
    else
        r.null();
    r.insert("notationPath", m_notationPath);
    r.insert("colorSchemeId", m_colorSchemeId);
    r.insert("transparency", m_transparency);
    r.beginObject("padding");
    r.insert("mode", m_paddingMode);
    r.insert("lr", m_paddingLR);
    r.insert("tb", m_paddingTB);
    r.end();
    r.insert("originalSize", {m_originalSize.width(), m_originalSize.height()});
    r.insert("originalSizeWithoutScale",
             {m_originalSizeWithoutScale.width(), m_originalSizeWithoutScale.height()});
    r.insert("autoSize", m_autoSize);
    r.insert("keepFixedWidth", m_keepFixedWidth);
    r.insert("onlyContourMode", m_onlyContourMode);
    r.insert("editAllPartsAtOnce", m_editAllPartsAtOnce);
    r.insert("canUngroup", m_canUngroup);
    r.insert("mode", m_mode);
    r.beginArray("stickySpots");
    for (const auto &spot : m_spots) {
        const QPointF p = spot->relativePosition();
        r.numbers({p.x(), p.y()});
    }
    r.end();
}

bool QntElement::readRecord(const QJsonObject &r, VRArchiveReader &reader, const QString &path)
{
    if (!VRShapeGroup::readRecord(r, reader, path))
        return false;
    const QJsonValue text = r.value(QStringLiteral("text"));
    if (text.isObject()) {
        auto object = reader.readObject(text, path + QStringLiteral(".text"));
        if (!object)
            return false;
        if (!object->isKindOf<QntTextShape>())
            return reader.fail(path + QStringLiteral(".text"),
                               QStringLiteral("expected a text part"));
        m_text = std::static_pointer_cast<QntTextShape>(object);
        m_text->setContainer(this);
    } else if (!text.isUndefined() && !text.isNull()) {
        return reader.fail(path + QStringLiteral(".text"),
                           VRArchiveReader::typeError("a text record or null"));
    }
    QJsonObject padding;
    if (!reader.readString(r, QStringLiteral("notationPath"), path, m_notationPath)
        || !reader.readInt64(r, QStringLiteral("colorSchemeId"), path, m_colorSchemeId)
        || !reader.readNumber(r, QStringLiteral("transparency"), path, m_transparency, false, 0, 2)
        || !reader.readObjectRecord(r, QStringLiteral("padding"), path, padding)
        || !reader.readSize(r, QStringLiteral("originalSize"), path, m_originalSize)
        || !reader.readSize(r, QStringLiteral("originalSizeWithoutScale"), path,
                            m_originalSizeWithoutScale)
        || !reader.readBool(r, QStringLiteral("autoSize"), path, m_autoSize)
        || !reader.readBool(r, QStringLiteral("keepFixedWidth"), path, m_keepFixedWidth)
        || !reader.readBool(r, QStringLiteral("onlyContourMode"), path, m_onlyContourMode)
        || !reader.readBool(r, QStringLiteral("editAllPartsAtOnce"), path, m_editAllPartsAtOnce)
        || !reader.readBool(r, QStringLiteral("canUngroup"), path, m_canUngroup)
        || !reader.readInt(r, QStringLiteral("mode"), path, m_mode, false, 0, 100))
        return false;
    const QString pp = path + QStringLiteral(".padding");
    if (!reader.readInt(padding, QStringLiteral("mode"), pp, m_paddingMode, false, 0, 1)
        || !reader.readNumber(padding, QStringLiteral("lr"), pp, m_paddingLR, false, 0, 1e6)
        || !reader.readNumber(padding, QStringLiteral("tb"), pp, m_paddingTB, false, 0, 1e6))
        return false;
    QJsonArray spots;
    if (!reader.readArray(r, QStringLiteral("stickySpots"), path, spots))
        return false;
    if (r.contains(QStringLiteral("stickySpots"))) {
        if (spots.size() > kMaximumStickySpots)
            return reader.fail(path + QStringLiteral(".stickySpots"),
                               QStringLiteral("too many sticky spots"));
        QList<QPointF> positions;
        for (int i = 0; i < spots.size(); ++i) {
            QPointF p;
            if (!VRArchiveReader::pointFromValue(spots.at(i), p)) {
                reader.readPoint(QJsonObject{{QStringLiteral("p"), spots.at(i)}},
                                 QStringLiteral("p"),
                                 path + QStringLiteral(".stickySpots[%1]").arg(i), p, true);
                return false;
            }
            positions.append(p);
        }
        setStickySpots(positions);
    }
    return true;
}
