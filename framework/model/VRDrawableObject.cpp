#include "framework/model/VRDrawableObject.h"

#include "framework/base/VRGeometry.h"
#include "framework/model/QntConnector.h"
#include "framework/styles/VRRenderContext.h"
#include "framework/styles/VRStyle.h"
#include "framework/styles/VRTextAdornment.h"
#include "framework/view/QntContextTextEditorView.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntStickySpot.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/archive/VRArchiveReader.h"
#include "framework/archive/VRArchiveWriter.h"
#include "framework/archive/VRArchiver.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableContainer.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectOwnerLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/archive/VRJsonWriter.h"
#include "platform/NotificationCenter.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QJsonObject>
#include <QMimeData>
#include <QPainter>
#include <QTextEdit>
#include <QVarLengthArray>
#include <QtMath>

#include <algorithm>
#include <cmath>

VR_ROOT_CLASS_IMPL(VRDrawableObject, nullptr)

namespace {
bool g_displaysSizeInfoWhenDragging = false;

bool isFinitePoint(QPointF p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}
} // namespace

VRDrawableObject::VRDrawableObject() = default;

VRDrawableObject::~VRDrawableObject()
{
    // The style keeps plain pointers to its clients.
    if (m_style)
        m_style->removeClient(this);
}

VRObjectRef VRDrawableObject::copy() const
{
    const VRClassInfo &info = classInfo();
    if (!info.create)
        return nullptr;
    auto object = std::static_pointer_cast<VRDrawableObject>(info.create());
    copyBaseInto(*object);
    return object;
}

void VRDrawableObject::copyBaseInto(VRDrawableObject &target) const
{
    target.m_location = m_location;
    target.m_size = m_size;
    target.m_offset = m_offset;
    target.m_angle = m_angle;
    target.m_style = styleForCopy(m_style);
    if (target.m_style)
        target.m_style->addClient(&target);
    target.m_userInfo = m_userInfo;
    target.m_verticalAlignment = m_verticalAlignment;
    target.m_locked = m_locked;
    target.m_visible = m_visible;
    target.m_manualGradient = m_manualGradient;
    target.m_prototype = false;
    target.m_boundsValid = false;
    target.m_outerBoundsValid = false;
}

VRStyleRef VRDrawableObject::styleForCopy(const VRStyleRef &style)
{
    // A sharable style is shared; any other is copied for its new client.
    if (!style || style->isStyleSharable())
        return style;
    return style->copy();
}

QString VRDrawableObject::ID() const
{
    return m_userInfo.value(QStringLiteral("ID")).toString();
}

void VRDrawableObject::setID(const QString &id)
{
    setMetadataObject(id, QStringLiteral("ID"));
}

void VRDrawableObject::setContainer(VRDrawableContainer *container)
{
    m_container = container;
    m_boundsValid = false;
    m_outerBoundsValid = false;
}

VRObjectOwnerLayer *VRDrawableObject::layer() const
{
    return m_container ? m_container->containerLayer() : nullptr;
}

VRDrawing *VRDrawableObject::drawing() const
{
    VRObjectOwnerLayer *l = layer();
    return l ? l->drawing() : nullptr;
}

VRUndoManager *VRDrawableObject::undoManager() const
{
    VRDrawing *d = drawing();
    return d ? d->undoManager() : nullptr;
}

void VRDrawableObject::recordUndo(const char *selector, const QString &actionName,
                                  std::function<void(VRDrawableObject &)> inverse)
{
    if (m_prototype)
        return;
    VRUndoManager *um = undoManager();
    if (!um || !um->isUndoRegistrationEnabled())
        return;
    std::weak_ptr<VRDrawableObject> weak = weak_from_this();
    if (weak.expired())
        return;
    um->registerUndo(this, selector, [weak, inverse = std::move(inverse)] {
        if (auto self = weak.lock())
            inverse(*self);
    });
    if (!actionName.isEmpty())
        um->setActionName(actionName);
}

void VRDrawableObject::setLocation(QPointF location)
{
    if (!isFinitePoint(location) || location == m_location)
        return;
    const QPointF old = m_location;
    recordUndo("setLocation:", QStringLiteral("Move"),
               [old](VRDrawableObject &o) { o.setLocation(old); });
    m_location = location;
    geometryDidChange();
}

void VRDrawableObject::setSize(QSizeF size)
{
    if (!std::isfinite(size.width()) || !std::isfinite(size.height()) || size.width() < 0
        || size.height() < 0 || size == m_size)
        return;
    const QSizeF old = m_size;
    recordUndo("setSize:", QStringLiteral("Resize"),
               [old](VRDrawableObject &o) { o.setSize(old); });
    m_size = size;
    geometryDidChange();
}

void VRDrawableObject::setOffset(QSizeF offset)
{
    if (!std::isfinite(offset.width()) || !std::isfinite(offset.height()) || offset == m_offset)
        return;
    // The object stays where it is on the paper: the anchor moves with the offset.
    const QSizeF old = m_offset;
    const QPointF oldLocation = m_location;
    recordUndo("setOffset:", QStringLiteral("Change Offset"),
               [old, oldLocation](VRDrawableObject &o) {
                   o.setOffset(old);
                   o.setLocation(oldLocation);
               });
    const QTransform t = transform();
    const QPointF newAnchor = t.map(QPointF(offset.width(), offset.height()));
    m_offset = offset;
    m_location = newAnchor;
    geometryDidChange();
}

double VRDrawableObject::angleInDegrees() const
{
    return qRadiansToDegrees(m_angle);
}

void VRDrawableObject::setAngle(double radians)
{
    if (!std::isfinite(radians))
        return;
    radians = std::remainder(radians, 2 * M_PI);
    if (radians == m_angle)
        return;
    const double old = m_angle;
    recordUndo("setAngle:", QStringLiteral("Rotate"),
               [old](VRDrawableObject &o) { o.setAngle(old); });
    m_angle = radians;
    geometryDidChange();
}

QTransform VRDrawableObject::transform() const
{
    // Moved to the location, turned, scaled, and moved by the offset, in one matrix.
    const double cosine = m_angle == 0.0 ? 1.0 : std::cos(m_angle);
    const double sine = m_angle == 0.0 ? 0.0 : std::sin(m_angle);
    const double m11 = cosine * m_size.width();
    const double m12 = sine * m_size.width();
    const double m21 = -sine * m_size.height();
    const double m22 = cosine * m_size.height();
    const double dx = -m_offset.width();
    const double dy = -m_offset.height();
    return QTransform(m11, m12, m21, m22, m_location.x() + (dx * m11 + dy * m21),
                      m_location.y() + (dy * m22 + dx * m12));
}

QTransform VRDrawableObject::transformIncludingParent() const
{
    QTransform t = transform();
    if (m_container)
        t *= m_container->contentTransform();
    return t;
}

QPainterPath VRDrawableObject::renderingPath() const
{
    QPainterPath unit;
    unit.addRect(QRectF(-0.5, -0.5, 1, 1));
    return transformIncludingParent().map(unit);
}

QRectF VRDrawableObject::outlineOuterRect() const
{
    return renderingPath().controlPointRect();
}

QRectF VRDrawableObject::logicalBounds() const
{
    return renderingPath().boundingRect();
}

QRectF VRDrawableObject::bounds() const
{
    if (!m_boundsValid) {
        m_boundsCache = computeBounds(VRBoundsMeasure::Exact);
        m_boundsValid = true;
    }
    return m_boundsCache;
}

QRectF VRDrawableObject::outerBounds() const
{
    if (m_boundsValid)
        return m_boundsCache;
    if (!m_outerBoundsValid) {
        m_outerBoundsCache = computeBounds(VRBoundsMeasure::Outer);
        m_outerBoundsValid = true;
    }
    return m_outerBoundsCache;
}

QRectF VRDrawableObject::outlineBounds() const
{
    const double extra = styleExtraSpace(m_style.get());
    return logicalBounds().adjusted(-extra, -extra, extra, extra);
}

namespace {
// The enabled labels of a style's renderer tree.
void collectTexts(const VRRastGroup &group, QVarLengthArray<const VRTextAdornment *, 4> &texts)
{
    for (const VRRendererRef &renderer : group.members()) {
        if (!renderer->isEnabled())
            continue;
        if (const auto *text = dynamic_cast<const VRTextAdornment *>(renderer.get()))
            texts.append(text);
        else if (const auto *inner = dynamic_cast<const VRRastGroup *>(renderer.get()))
            collectTexts(*inner, texts);
    }
}
} // namespace

QRectF VRDrawableObject::computeBounds(VRBoundsMeasure measure) const
{
    const double extra = styleExtraSpace(m_style.get());
    QVarLengthArray<const VRTextAdornment *, 4> texts;
    if (m_style)
        collectTexts(*m_style, texts);
    // Without labels, outer bounds take the outline's control points as they are mapped,
    // making no path.
    if (texts.isEmpty() && measure == VRBoundsMeasure::Outer)
        return outlineOuterRect().adjusted(-extra, -extra, extra, extra);
    // outlineBounds(), of the outline made once for it and the labels' context.
    const QPainterPath path = renderingPath();
    const QRectF outline = path.boundingRect().adjusted(-extra, -extra, extra, extra);
    if (texts.isEmpty())
        return outline;
    // A label the style draws may reach past the outline; an effect of the style (a shadow)
    // may carry it as far again as around the outline.
    QRectF ink;
    const VRRenderContext context = styleContext(*this, path);
    for (const VRTextAdornment *text : texts)
        ink |= measure == VRBoundsMeasure::Exact ? text->inkBounds(context)
                                                 : text->outerInkBounds(context);
    if (ink.isNull())
        return outline;
    return outline.united(ink.adjusted(-extra, -extra, extra, extra));
}

void VRDrawableObject::applyTransform(const QTransform &t)
{
    // Location moves with the transform; size scales by the transform's axis scales; the
    // rotation part adds to the angle. Shear is not kept.
    const QPointF newLocation = t.map(m_location);
    const double sx = std::hypot(t.m11(), t.m12());
    const double sy = std::hypot(t.m21(), t.m22());
    const double rot = std::atan2(t.m12(), t.m11());
    setLocation(newLocation);
    setSize(QSizeF(m_size.width() * sx, m_size.height() * sy));
    if (rot != 0.0)
        setAngle(m_angle + rot);
}

bool VRDrawableObject::hitTest(QPointF p) const
{
    // Only the outline and what the style paints around it answer, not a text's glyphs past it.
    if (!m_visible || !bounds().contains(p) || !outlineBounds().contains(p))
        return false;
    const QPainterPath path = renderingPath();
    if (path.contains(p))
        return true;
    QPainterPathStroker stroker;
    stroker.setWidth(std::max(4.0, 2 * styleExtraSpace(m_style.get())));
    return stroker.createStroke(path).contains(p);
}

namespace {
static_assert(VRDrawing::kMaximumCoordinate == VRArchiveReader::kMaximumCoordinate,
              "a drawing holds what a document reads back");

bool withinTheDrawing(double v)
{
    return std::isfinite(v) && std::abs(v) <= VRDrawing::kMaximumCoordinate;
}
} // namespace

bool VRDrawableObject::fitsTheDrawing(QPointF delta) const
{
    return fitsTheDrawing(QTransform(), delta);
}

bool VRDrawableObject::fitsTheDrawing(const QTransform &outer, QPointF delta) const
{
    const QPointF at = m_location + delta;
    if (!withinTheDrawing(at.x()) || !withinTheDrawing(at.y()) || !withinTheDrawing(m_size.width())
        || !withinTheDrawing(m_size.height()))
        return false;
    // The control points too: a curve's are written with it.
    const QRectF outline = outer.map(renderingPath()).controlPointRect().translated(delta);
    return withinTheDrawing(outline.left()) && withinTheDrawing(outline.right())
           && withinTheDrawing(outline.top()) && withinTheDrawing(outline.bottom());
}

QRectF VRDrawableObject::reachBounds() const
{
    const QPainterPath outline = renderingPath();
    if (outline.isEmpty())
        return QRectF(m_location, QSizeF(0, 0));
    return vrSpanOfRects(outline.controlPointRect(), QRectF(m_location, QSizeF(0, 0)));
}

bool VRDrawableObject::wouldFitTheDrawingAfter(
    const std::function<void(VRDrawableObject &)> &change) const
{
    const VRObjectRef trial = copy();
    if (!trial)
        return fitsTheDrawing();
    change(*trial);
    // The copy has no container: its outline is in the container's coordinates.
    return trial->fitsTheDrawing(m_container ? m_container->contentTransform() : QTransform(),
                                 QPointF());
}

VRDrawableObject::Geometry VRDrawableObject::saveGeometry() const
{
    Geometry g;
    g.location = m_location;
    g.size = m_size;
    g.offset = m_offset;
    g.angle = m_angle;
    return g;
}

void VRDrawableObject::restoreGeometry(const Geometry &g)
{
    m_location = g.location;
    m_size = g.size;
    m_offset = g.offset;
    m_angle = g.angle;
    geometryDidChange();
}

void VRDrawableObject::setVerticalAlignment(int alignment)
{
    alignment = std::clamp(alignment, 0, 2);
    if (alignment == m_verticalAlignment)
        return;
    const int old = m_verticalAlignment;
    recordUndo("setVerticalAlignment:", QStringLiteral("Changing text attributes"),
               [old](VRDrawableObject &o) { o.setVerticalAlignment(old); });
    m_verticalAlignment = alignment;
    notifyVisualChange();
}

void VRDrawableObject::setLocked(bool locked)
{
    if (locked == m_locked)
        return;
    recordUndo("setLocked:", locked ? QStringLiteral("Lock") : QStringLiteral("Unlock"),
               [old = m_locked](VRDrawableObject &o) { o.setLocked(old); });
    m_locked = locked;
    notifyVisualChange();
}

void VRDrawableObject::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    recordUndo("setVisible:", visible ? QStringLiteral("Show") : QStringLiteral("Hide"),
               [old = m_visible](VRDrawableObject &o) { o.setVisible(old); });
    m_visible = visible;
    notifyVisualChange();
}

void VRDrawableObject::setStyle(VRStyleRef style)
{
    if (style == m_style)
        return;
    // A style that is not sharable belongs to one client: another client gets a copy.
    if (style && !style->isStyleSharable() && style->countOfClients() > 0)
        style = styleForCopy(style);
    if (layer()) {
        QVariantMap info;
        info.insert(QStringLiteral("object"), QVariant::fromValue(shared_from_this()));
        info.insert(kVRDrawableOldStyleKey, QVariant::fromValue(m_style));
        info.insert(kVRDrawableNewStyleKey, QVariant::fromValue(style));
        NotificationCenter::defaultCenter().post(kVRDrawableStyleWillBeDetachedNotification, this,
                                                 info);
    }
    VRStyleRef old = m_style;
    recordUndo("setStyle:", QStringLiteral("Change Style"),
               [old](VRDrawableObject &o) { o.setStyle(old); });
    if (m_style)
        m_style->removeClient(this);
    m_style = std::move(style);
    if (m_style)
        m_style->addClient(this);
    notifyVisualChange();
}

void VRDrawableObject::setUserInfo(const QVariantMap &info)
{
    if (info == m_userInfo)
        return;
    const QVariantMap old = m_userInfo;
    m_userInfo = info;
    metadataChanged(old);
}

void VRDrawableObject::metadataChanged(const QVariantMap &old)
{
    recordUndo("setUserInfo:", QStringLiteral("Change Metadata"),
               [old](VRDrawableObject &o) { o.setUserInfo(old); });
    notifyVisualChange();
}

void VRDrawableObject::setMetadataObject(const QVariant &value, const QString &key)
{
    if (key.isEmpty())
        return;
    if (!value.isValid()) {
        removeMetadataForKey(key);
        return;
    }
    auto it = m_userInfo.constFind(key);
    if (it != m_userInfo.constEnd() && it.value() == value
        && it.value().metaType() == value.metaType())
        return;
    const QVariantMap old = m_userInfo;
    m_userInfo.insert(key, value);
    metadataChanged(old);
}

void VRDrawableObject::removeMetadataForKey(const QString &key)
{
    if (!m_userInfo.contains(key))
        return;
    const QVariantMap old = m_userInfo;
    m_userInfo.remove(key);
    metadataChanged(old);
}

void VRDrawableObject::setString(const QString &value, const QString &forKey)
{
    setMetadataObject(value, forKey);
}

QString VRDrawableObject::stringForKey(const QString &key) const
{
    const QVariant v = m_userInfo.value(key);
    if (v.metaType().id() != QMetaType::QString)
        return QString();
    return v.toString();
}

void VRDrawableObject::setIntValue(qint64 value, const QString &forKey)
{
    setMetadataObject(QVariant::fromValue(value), forKey);
}

void VRDrawableObject::setFloatValue(double value, const QString &forKey)
{
    if (!std::isfinite(value))
        return;
    setMetadataObject(QVariant::fromValue(value), forKey);
}

qint64 VRDrawableObject::intValueForKey(const QString &key) const
{
    const QVariant v = m_userInfo.value(key);
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return 0;
    return v.toLongLong();
}

double VRDrawableObject::floatValueForKey(const QString &key) const
{
    bool ok = false;
    const double d = m_userInfo.value(key).toDouble(&ok);
    return ok && std::isfinite(d) ? d : 0.0;
}

void VRDrawableObject::setupMetadata()
{
    if (!m_userInfo.contains(QStringLiteral("ID")))
        m_userInfo.insert(QStringLiteral("ID"), QString());
}

void VRDrawableObject::invalidateBoundsCache()
{
    m_boundsValid = false;
    m_outerBoundsValid = false;
    if (m_container)
        m_container->memberBoundsDidChange(*this);
}

void VRDrawableObject::containerGeometryDidChange()
{
    invalidateBoundsCache();
}

void VRDrawableObject::notifyVisualChange()
{
    invalidateBoundsCache();
    if (m_container)
        m_container->memberDidChange(*this);
    VRObjectOwnerLayer *l = layer();
    VRDrawing *d = l ? l->drawing() : nullptr;
    if (!d)
        return;
    // Views repaint just this object's old and new area from the notification; the whole
    // drawing is not redrawn for one object.
    QVariantMap info;
    info.insert(QStringLiteral("object"), QVariant::fromValue(shared_from_this()));
    NotificationCenter::defaultCenter().post(kVRDrawableDidChangeNotification, this, info);
}

void VRDrawableObject::geometryDidChange()
{
    notifyVisualChange();
}

void VRDrawableObject::objectWasAddedToLayer(VRObjectOwnerLayer *)
{
}

void VRDrawableObject::objectWillBeRemovedFromLayer(VRObjectOwnerLayer *)
{
    if (m_editorView) {
        QVariantMap info{{QStringLiteral("object"), QVariant::fromValue(shared_from_this())}};
        NotificationCenter::defaultCenter().post(kQntCloseAttachedTextEditorNotification, this,
                                                 info);
        m_editorView = nullptr;
    }
}

VRObjectRef VRDrawableObject::objectWithId(const QString &id) const
{
    for (const auto &part : parts()) {
        if (part->ID() == id)
            return part;
        if (auto found = part->objectWithId(id))
            return found;
    }
    return nullptr;
}

VRObjectList VRDrawableObject::objectsWithPrefixId(const QString &prefix) const
{
    VRObjectList result;
    for (const auto &part : parts()) {
        if (part->ID().startsWith(prefix))
            result.append(part);
        result.append(part->objectsWithPrefixId(prefix));
    }
    return result;
}

VRObjectList VRDrawableObject::allPartsOfClass(const VRClassInfo &cls) const
{
    VRObjectList result;
    for (const auto &part : parts()) {
        if (part->isKindOfClass(cls))
            result.append(part);
        result.append(part->allPartsOfClass(cls));
    }
    return result;
}

void VRDrawableObject::startEditingInContextEditorWithView(QntContextTextEditorView *view)
{
    m_editorView = view;
    if (view)
        view->editObject(shared_from_this());
}

void VRDrawableObject::endEditingInContextEditor(bool commit)
{
    QntContextTextEditorView *view = m_editorView;
    if (!view)
        return;
    if (commit)
        setTextContent(QTextDocumentFragment(view->textEditingView()->document()));
    else
        view->discardChanges();
    m_editorView = nullptr;
    view->editObject(nullptr);
}

QTextEdit *VRDrawableObject::textEditor() const
{
    return m_editorView ? m_editorView->textEditingView() : nullptr;
}

void VRDrawableObject::render(QPainter &painter) const
{
    if (!m_visible)
        return;
    drawContent(painter);
}

void VRDrawableObject::drawContent(QPainter &painter) const
{
    renderStyle(painter, m_style.get(), *this, renderingPath());
}

VRRenderContext VRDrawableObject::styleContext(const VRDrawableObject &object,
                                               const QPainterPath &path)
{
    const QTransform t = object.transformIncludingParent();
    VRRenderContext context;
    context.path = path;
    QRectF frame(QPointF(), QSizeF(std::hypot(t.m11(), t.m12()), std::hypot(t.m21(), t.m22())));
    frame.moveCenter(t.map(QPointF(0, 0)));
    context.bounds = frame;
    context.angle = std::atan2(t.m12(), t.m11());
    return context;
}

void VRDrawableObject::renderStyle(QPainter &painter, const VRStyle *style,
                                   const VRDrawableObject &object, const QPainterPath &path)
{
    if (!style)
        return;
    VRRenderContext context = styleContext(object, path);
    const QRectF frame = context.bounds;
    const QTransform device = painter.deviceTransform();
    context.scale = std::max(1e-3, std::hypot(device.m11(), device.m12()));
    // Stable across saving and reading: derived from where the object is, not its address.
    context.seed = qHash(qRound64(frame.x() * 16)) ^ (qHash(qRound64(frame.y() * 16)) << 1)
                   ^ (qHash(qRound64(frame.width() * 16)) << 2);
    style->render(painter, context);
}

double VRDrawableObject::styleExtraSpace(const VRStyle *style)
{
    return style ? style->extraSpace() : 0.0;
}

bool VRDrawableObject::displaysSizeInfoWhenDragging()
{
    return g_displaysSizeInfoWhenDragging;
}

void VRDrawableObject::setDisplaysSizeInfoWhenDragging(bool displays)
{
    g_displaysSizeInfoWhenDragging = displays;
}

VRObjectList deepCopy(const VRObjectList &objects)
{
    VRObjectList result;
    result.reserve(objects.size());
    for (const auto &object : objects) {
        if (object)
            result.append(object->copy());
    }
    return result;
}

void VRDrawableObject::writeRecord(VRJsonWriter &r, VRArchiveWriter &writer) const
{
    r.insert("class", className());
    r.insert("uid", writer.uidOf(this));
    r.insert("location", {m_location.x(), m_location.y()});
    r.insert("size", {m_size.width(), m_size.height()});
    r.insert("offset", {m_offset.width(), m_offset.height()});
    r.insert("angle", m_angle);
    r.insert("locked", m_locked);
    r.insert("visible", m_visible);
    r.key(QLatin1String("style"));
    writer.writeStyleReference(r, m_style);
    r.insert("manualGradient", m_manualGradient);
    r.insert("verticalAlignment", m_verticalAlignment);
    r.key(QLatin1String("metadata"));
    VRArchiveWriter::writeMap(r, m_userInfo, &writer);
}

bool VRDrawableObject::readRecord(const QJsonObject &r, VRArchiveReader &reader,
                                  const QString &path)
{
    VRStyleRef style;
    if (!reader.readPoint(r, QStringLiteral("location"), path, m_location)
        || !reader.readSize(r, QStringLiteral("size"), path, m_size)
        || !reader.readSize(r, QStringLiteral("offset"), path, m_offset, false, true)
        || !reader.readNumber(r, QStringLiteral("angle"), path, m_angle, false, -100, 100)
        || !reader.readBool(r, QStringLiteral("locked"), path, m_locked)
        || !reader.readBool(r, QStringLiteral("visible"), path, m_visible)
        || !reader.readStyle(r, QStringLiteral("style"), path, style)
        || !reader.readBool(r, QStringLiteral("manualGradient"), path, m_manualGradient)
        || !reader.readInt(r, QStringLiteral("verticalAlignment"), path, m_verticalAlignment, false,
                           0, 2)
        || !reader.readMap(r, QStringLiteral("metadata"), path, m_userInfo))
        return false;
    if (std::abs(m_offset.width()) > 1000 || std::abs(m_offset.height()) > 1000)
        return reader.fail(path + QStringLiteral(".offset"), QStringLiteral("offset out of range"));
    // A style that is not sharable belongs to one object, also when a file names it for
    // several: the others get copies, so restyling one leaves the rest alone.
    if (style && !style->isStyleSharable() && style->countOfClients() > 0)
        style = styleForCopy(style);
    m_style = std::move(style);
    if (m_style)
        m_style->addClient(this);
    invalidateBoundsCache();
    return true;
}

void VRDrawableObject::writeSupplementaryDataToPasteboard(QMimeData *data) const
{
    if (!data)
        return;
    const QRectF b = bounds();
    const QSize pixels(int(std::ceil(b.width())), int(std::ceil(b.height())));
    if (!pixels.isEmpty() && pixels.width() <= 8192 && pixels.height() <= 8192) {
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(-b.topLeft());
        render(painter);
        painter.end();
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        data->setData(QStringLiteral("image/png"), png);
    }
    const QString text = textContent().toPlainText();
    if (!text.isEmpty())
        data->setText(text);
}

VRObjectList VRDrawableObject::nativeObjectsFromPasteboard(const QMimeData *data)
{
    if (!data || !data->hasFormat(kVRDrawableObjectPasteboardType))
        return {};
    auto objects = VRArchiver::objectsFromData(data->data(kVRDrawableObjectPasteboardType));
    return objects.ok() ? objects.value() : VRObjectList{};
}

void VRDrawableObject::copyDrawingStyle(QObject *) const
{
    if (!m_style)
        return;
    auto *data = new QMimeData;
    m_style->copyToPasteboard(data);
    QGuiApplication::clipboard()->setMimeData(data);
}

VRObjectRef VRDrawableObject::replaceWithObject(const QString &elementId,
                                                const QString &notationPath, bool)
{
    VRObjectOwnerLayer *owner = layer();
    if (!owner || m_container != owner)
        return nullptr;
    VRObjectRef fresh = QntElement::createWithElementId(elementId, notationPath);
    if (!fresh)
        return nullptr;
    VRObjectRef self = shared_from_this();
    Geometry g = fresh->saveGeometry();
    g.location = m_location;
    g.offset = m_offset;
    g.angle = m_angle;
    g.size = m_size;
    fresh->restoreGeometry(g);
    const QTextDocumentFragment text = textContent();
    if (!text.isEmpty())
        fresh->setTextContent(text);
    if (colorSchemeId() != 0)
        fresh->replaceColorScheme(colorSchemeId());

    VRUndoManager *um = undoManager();
    if (um)
        um->beginUndoGrouping();
    auto *drawingLayer = dynamic_cast<VRObjectDrawingLayer *>(owner);
    if (drawingLayer)
        drawingLayer->recordSelectionForUndo();
    const int index = owner->indexOfObject(this);
    owner->insertObjects({fresh}, index + 1);
    if (isKindOf<QntElement>() && fresh->isKindOf<QntElement>()) {
        auto *oldElement = static_cast<QntElement *>(this);
        auto newElement = std::static_pointer_cast<QntElement>(fresh);
        for (const auto &connector : oldElement->connectedConnectors()) {
            for (int which = 0; which < 2; ++which) {
                QntConnectorEndPoint *end =
                    which == 0 ? connector->startEndPoint() : connector->endEndPoint();
                if (end->targetElement().get() != oldElement)
                    continue;
                auto spot = newElement->nearestStickySpot(end->location());
                connector->reattachEnd(which, newElement, spot ? spot->index() : -1);
            }
        }
    }
    owner->removeObject(self);
    if (drawingLayer) {
        drawingLayer->exchangeSelectionWithObjectsFromArray({fresh});
        drawingLayer->commitSelectionUndoWithActionName(QStringLiteral("Replace Element"));
    }
    if (um) {
        um->endUndoGrouping();
        um->setActionName(QStringLiteral("Replace Element"));
    }
    return fresh;
}
