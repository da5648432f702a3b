#include "framework/model/VRDrawing.h"

#include "framework/base/VRConstants.h"
#include "framework/base/VRNumberFormat.h"
#include "framework/model/QntConnector.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRGuideLayer.h"
#include "framework/model/VRInterlacedPNG.h"
#include "framework/model/VRSvgGenerator.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/QntNotation.h"
#include "framework/routing/VRAvoidRouter.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QBuffer>
#include <QImageWriter>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kPointsPerCentimetre = 28.346456692913;

} // namespace

VRDrawing::VRDrawing(QObject *parent)
    : QObject(parent)
    , m_undoManager(std::make_unique<VRUndoManager>())
{
    m_margins[0] = m_margins[2] = 1.225 * kPointsPerCentimetre;
    m_margins[1] = m_margins[3] = 1.025 * kPointsPerCentimetre;
    m_snapsToGrid =
        UserDefaults::standardUserDefaults().boolForKey(kVRDrawingSnapToGridUserDefault);
    auto guides = std::make_shared<VRGuideLayer>();
    auto layer = std::make_shared<VRObjectDrawingLayer>();
    layer->setName(QStringLiteral("Layer 1"));
    auto grid = std::make_shared<VRGridLayer>();
    for (const VRLayerRef &l : {VRLayerRef(guides), VRLayerRef(layer), VRLayerRef(grid)}) {
        l->setDrawing(this);
        m_layers.append(l);
    }
    m_activeLayer = layer.get();
}

VRDrawing::~VRDrawing()
{
    NotificationCenter::defaultCenter().post(kQntDrawingDestroyedNotification, this);
    for (const auto &l : std::as_const(m_layers))
        l->setDrawing(nullptr);
}

void VRDrawing::recordUndo(const char *selector, const QString &actionName,
                           std::function<void(VRDrawing &)> inverse, const void *target)
{
    if (!m_undoManager || !m_undoManager->isUndoRegistrationEnabled())
        return;
    QPointer<VRDrawing> self(this);
    m_undoManager->registerUndoTask(target ? target : this, QString::fromLatin1(selector),
                                    [self, inverse = std::move(inverse)] {
                                        if (self)
                                            inverse(*self);
                                    });
    if (!actionName.isEmpty())
        m_undoManager->setActionName(actionName);
}

void VRDrawing::postLayerNotification(const QString &name, const VRLayerRef &layer)
{
    QVariantMap info{{QStringLiteral("object"), QVariant::fromValue(this)}};
    if (layer)
        info.insert(QStringLiteral("layer"), QVariant::fromValue(layer));
    NotificationCenter::defaultCenter().post(name, this, info);
}

bool VRDrawing::setActiveLayer(VRLayer *layer)
{
    if (layer == m_activeLayer)
        return true;
    if (layer
        && (indexOfLayer(layer) < 0 || layer->isKindOf<VRGridLayer>()
            || layer->isKindOf<VRGuideLayer>()))
        return false;
    m_activeLayer = layer;
    postLayerNotification(kVRDrawingActiveLayerDidChange, layerRef(layer));
    setNeedsDisplay(true);
    return true;
}

VRLayer *VRDrawing::activeLayerOfClass(const VRClassInfo &cls) const
{
    return m_activeLayer && m_activeLayer->isKindOfClass(cls) ? m_activeLayer : nullptr;
}

VRLayer *VRDrawing::firstActivateableLayerOfClass(const VRClassInfo &cls) const
{
    for (const auto &l : m_layers) {
        if (l->isKindOfClass(cls) && l->isVisible() && !l->isLocked() && !l->isKindOf<VRGridLayer>()
            && !l->isKindOf<VRGuideLayer>())
            return l.get();
    }
    return nullptr;
}

QList<VRLayer *> VRDrawing::layersOfClass(const VRClassInfo &cls) const
{
    QList<VRLayer *> result;
    for (const auto &l : m_layers) {
        if (l->isKindOfClass(cls))
            result.append(l.get());
    }
    return result;
}

VRLayer *VRDrawing::objectInLayersAtIndex(int index) const
{
    return index >= 0 && index < m_layers.size() ? m_layers.at(index).get() : nullptr;
}

VRLayerRef VRDrawing::layerRef(const VRLayer *layer) const
{
    for (const auto &l : m_layers) {
        if (l.get() == layer)
            return l;
    }
    return nullptr;
}

int VRDrawing::indexOfLayer(const VRLayer *layer) const
{
    for (int i = 0; i < m_layers.size(); ++i) {
        if (m_layers.at(i).get() == layer)
            return i;
    }
    return -1;
}

void VRDrawing::addLayer(VRLayerRef layer, bool andActivateIt)
{
    // On top of the object layers, below the guides.
    const int guides = guideLayer() ? indexOfLayer(guideLayer()) + 1 : 0;
    insertLayer(std::move(layer), guides, andActivateIt);
}

void VRDrawing::insertLayer(VRLayerRef layer, int index, bool andActivateIt)
{
    if (!layer || indexOfLayer(layer.get()) >= 0)
        return;
    index = std::clamp(index, 0, int(m_layers.size()));
    VRLayer *previousActive = m_activeLayer;
    std::weak_ptr<VRLayer> weak = layer;
    recordUndo(
        "addLayer:", QStringLiteral("Add Layer"),
        [weak, previousActive](VRDrawing &d) {
            if (auto l = weak.lock())
                d.removeLayer(l.get(),
                              d.indexOfLayer(previousActive) >= 0 ? previousActive : nullptr);
        },
        layer.get());
    layer->setDrawing(this);
    m_layers.insert(index, layer);
    registerObjectsWithAvoidRouter(*layer);
    postLayerNotification(kVRLayerGroupDidAddLayer, layer);
    if (andActivateIt)
        setActiveLayer(layer.get());
    setNeedsDisplay(true);
}

bool VRDrawing::removeLayer(VRLayer *layer, VRLayer *andActivateLayer)
{
    const int index = indexOfLayer(layer);
    if (index < 0 || !layer->layerMayBeDeleted())
        return false;
    VRLayerRef ref = m_layers.at(index);
    const bool wasActive = m_activeLayer == layer;
    recordUndo(
        "removeLayer:", QStringLiteral("Delete Layer"),
        [ref, index, wasActive](VRDrawing &d) { d.insertLayer(ref, index, wasActive); }, layer);
    m_layers.removeAt(index);
    if (wasActive || m_activeLayer == layer) {
        VRLayer *next =
            andActivateLayer && indexOfLayer(andActivateLayer) >= 0 ? andActivateLayer : nullptr;
        if (!next) {
            // The next object layer below, else above.
            for (int i = index; i < m_layers.size() && !next; ++i) {
                if (m_layers.at(i)->isKindOf<VRObjectOwnerLayer>())
                    next = m_layers.at(i).get();
            }
            for (int i = index - 1; i >= 0 && !next; --i) {
                if (m_layers.at(i)->isKindOf<VRObjectOwnerLayer>())
                    next = m_layers.at(i).get();
            }
        }
        m_activeLayer = nullptr;
        setActiveLayer(next);
    } else if (andActivateLayer) {
        setActiveLayer(andActivateLayer);
    }
    if (ref->isKindOf<VRObjectOwnerLayer>())
        static_cast<VRObjectOwnerLayer &>(*ref).unregisterObjectsFromAvoidRouter();
    ref->setDrawing(nullptr);
    // Undo needs the layer attached to this drawing's undo manager again; it keeps the ref.
    postLayerNotification(kVRLayerGroupDidRemoveLayer, ref);
    setNeedsDisplay(true);
    return true;
}

void VRDrawing::moveLayer(VRLayer *layer, int toIndex)
{
    const int from = indexOfLayer(layer);
    if (from < 0)
        return;
    toIndex = std::clamp(toIndex, 0, int(m_layers.size()) - 1);
    if (from == toIndex)
        return;
    recordUndo(
        "moveLayer:", QStringLiteral("Reorder Layers"),
        [layer, from](VRDrawing &d) { d.moveLayer(layer, from); }, layer);
    m_layers.move(from, toIndex);
    postLayerNotification(kVRLayerGroupDidReorderLayers, layerRef(layer));
    setNeedsDisplay(true);
}

VRGridLayer *VRDrawing::gridLayer() const
{
    for (const auto &l : m_layers) {
        if (l->isKindOf<VRGridLayer>())
            return static_cast<VRGridLayer *>(l.get());
    }
    return nullptr;
}

VRGuideLayer *VRDrawing::guideLayer() const
{
    for (const auto &l : m_layers) {
        if (l->isKindOf<VRGuideLayer>())
            return static_cast<VRGuideLayer *>(l.get());
    }
    return nullptr;
}

void VRDrawing::setLayers(const QList<VRLayerRef> &layers, int activeIndex)
{
    for (const auto &l : std::as_const(m_layers)) {
        if (l->isKindOf<VRObjectOwnerLayer>())
            static_cast<VRObjectOwnerLayer &>(*l).unregisterObjectsFromAvoidRouter();
        l->setDrawing(nullptr);
    }
    m_layers = layers;
    for (const auto &l : std::as_const(m_layers)) {
        l->setDrawing(this);
        registerObjectsWithAvoidRouter(*l);
    }
    if (!guideLayer()) {
        auto guides = std::make_shared<VRGuideLayer>();
        guides->setDrawing(this);
        m_layers.prepend(guides);
        ++activeIndex;
    }
    if (!gridLayer()) {
        auto grid = std::make_shared<VRGridLayer>();
        grid->setDrawing(this);
        m_layers.append(grid);
    }
    m_activeLayer = nullptr;
    VRLayer *active = objectInLayersAtIndex(activeIndex);
    if (!active || active->isKindOf<VRGridLayer>() || active->isKindOf<VRGuideLayer>())
        active = firstActivateableLayerOfClass(VRObjectOwnerLayer::staticClass());
    setActiveLayer(active);
}

void VRDrawing::registerObjectsWithAvoidRouter(VRLayer &layer)
{
    // A layer that comes with objects (read from a file, or a deleted layer coming back)
    // brings them to the router: shapes first, so the connectors find their ends' shapes.
    if (!layer.isKindOf<VRObjectOwnerLayer>())
        return;
    const VRObjectList &objects = static_cast<VRObjectOwnerLayer &>(layer).objects();
    if (objects.isEmpty())
        return;
    VRAvoidRouter *router = avoidRouter();
    for (const VRObjectRef &o : objects)
        if (!o->isKindOf<QntConnector>())
            router->registerObject(o.get());
    for (const VRObjectRef &o : objects)
        if (o->isKindOf<QntConnector>())
            router->registerObject(o.get());
}

bool VRDrawing::holdsObjects(const VRObjectList &objects, QPointF delta)
{
    return std::all_of(objects.begin(), objects.end(),
                       [delta](const VRObjectRef &o) { return !o || o->fitsTheDrawing(delta); });
}

bool VRDrawing::refusesObjectsTooFarOut(const VRObjectList &objects, QPointF delta) const
{
    if (holdsObjects(objects, delta))
        return false;
    refuseObjectsTooFarOut();
    return true;
}

QString VRDrawing::objectsTooFarOutMessage()
{
    return tr("That would put objects too far out for a drawing");
}

void VRDrawing::refuseChange(const QString &message) const
{
    NotificationCenter::defaultCenter().post(kVRDrawingRefusedChangeNotification, this,
                                             {{QStringLiteral("message"), message}});
}

bool VRDrawing::setDrawingSize(QSizeF size)
{
    if (!std::isfinite(size.width()) || !std::isfinite(size.height()) || size.width() < 0
        || size.height() < 0 || size.width() > kMaximumCoordinate
        || size.height() > kMaximumCoordinate)
        return false;
    if (size == m_size)
        return true;
    recordUndo("setDrawingSize:", QStringLiteral("Change Drawing Size"),
               [old = m_size](VRDrawing &d) { d.setDrawingSize(old); });
    m_size = size;
    setNeedsDisplay(true);
    return true;
}

bool VRDrawing::setMarginsLeft(double left, double top, double right, double bottom)
{
    for (double v : {left, top, right, bottom}) {
        if (!std::isfinite(v) || v < 0 || v > kMaximumCoordinate)
            return false;
    }
    if (left == m_margins[0] && top == m_margins[1] && right == m_margins[2]
        && bottom == m_margins[3])
        return true;
    const double l = m_margins[0], t = m_margins[1], r = m_margins[2], b = m_margins[3];
    recordUndo("setMarginsLeft:", QStringLiteral("Change Margins"),
               [=](VRDrawing &d) { d.setMarginsLeft(l, t, r, b); });
    m_margins[0] = left;
    m_margins[1] = top;
    m_margins[2] = right;
    m_margins[3] = bottom;
    setNeedsDisplay(true);
    return true;
}

QRectF VRDrawing::interior() const
{
    return QRectF(leftMargin(), topMargin(), m_size.width() - leftMargin() - rightMargin(),
                  m_size.height() - topMargin() - bottomMargin());
}

bool VRDrawing::setDrawingUnits(const QString &units, double factor)
{
    if (!(factor > 0) || !std::isfinite(factor) || units.isEmpty())
        return false;
    if (units == m_units && factor == m_unitFactor)
        return true;
    recordUndo("setDrawingUnits:", QStringLiteral("Change Units"),
               [u = m_units, f = m_unitFactor](VRDrawing &d) { d.setDrawingUnits(u, f); });
    m_units = units;
    m_unitFactor = factor;
    NotificationCenter::defaultCenter().post(
        kVRDrawingUnitsDidChange, this, {{QStringLiteral("object"), QVariant::fromValue(this)}});
    setNeedsDisplay(true);
    return true;
}

QString VRDrawing::formattedConvertedLength(double points) const
{
    return formattedConvertedLengthOnlyValue(points) + QLatin1Char(' ') + abbreviatedDrawingUnits();
}

QString VRDrawing::formattedConvertedLengthOnlyValue(double points) const
{
    return vrFormattedNumber(convertLength(points));
}

QStringList VRDrawing::formattedConvertedPoint(QPointF point) const
{
    const QPointF p = point - QPointF(leftMargin(), topMargin());
    return {formattedConvertedLength(p.x()), formattedConvertedLength(p.y())};
}

QStringList VRDrawing::formattedConvertedPointOnlyValue(QPointF point) const
{
    const QPointF p = point - QPointF(leftMargin(), topMargin());
    return {formattedConvertedLengthOnlyValue(p.x()), formattedConvertedLengthOnlyValue(p.y())};
}

void VRDrawing::setPaperColour(const QColor &colour)
{
    if (!colour.isValid() || colour == m_paperColour)
        return;
    recordUndo("setPaperColour:", QStringLiteral("Change Paper Colour"),
               [old = m_paperColour](VRDrawing &d) { d.setPaperColour(old); });
    m_paperColour = colour;
    setNeedsDisplay(true);
}

void VRDrawing::setPageBreaksVisible(bool visible)
{
    m_pageBreaksVisible = visible;
    setNeedsDisplay(true);
}

void VRDrawing::setNeedsDisplay(bool needs)
{
    if (!needs || m_displayPending)
        return;
    // Many changes in one turn of the event loop repaint once.
    m_displayPending = true;
    QPointer<VRDrawing> self(this);
    QTimer::singleShot(0, this, [self] {
        if (!self)
            return;
        self->m_displayPending = false;
        emit self->needsDisplay();
    });
}

void VRDrawing::setCurrentNotation(QntNotationRef notation)
{
    m_notation = std::move(notation);
    m_notationPath = m_notation ? m_notation->notationPath() : QString();
    m_notationName = m_notation ? m_notation->notationName() : QString();
}

void VRDrawing::setCurrentNotationPath(const QString &path, const QString &name)
{
    m_notationPath = path;
    m_notationName = name;
    // Drawings keep their notation by path, so a reopened document finds it again.
    m_notation = path.isEmpty() ? nullptr : QntNotation::notationWithPath(path);
    if (m_notation && !m_notation->isValid())
        m_notation.reset();
}

void VRDrawing::registerExtraNotations()
{
    // TODO: register the tools of Misc/ExtraCisco.db, Misc/ExtraPeople.db and the UML notations
    // here; until then the notation palette registers the tools of the elements it shows.
}

void VRDrawing::setImportedElements(const VRObjectList &elements, const QString &forKey)
{
    for (const auto &e : elements)
        e->setIsPrototype(true);
    m_importedElements.insert(forKey, elements);
}

VRAvoidRouter *VRDrawing::avoidRouter() const
{
    if (!m_router)
        m_router = std::make_shared<VRAvoidRouter>(const_cast<VRDrawing &>(*this));
    return m_router.get();
}

void VRDrawing::setUndoManager(std::unique_ptr<VRUndoManager> manager)
{
    if (manager)
        m_undoManager = std::move(manager);
}

void VRDrawing::render(QPainter &painter, const QRectF &area, bool printing, bool paintPaper) const
{
    painter.save();
    if (paintPaper)
        painter.fillRect(area.isNull() ? QRectF(QPointF(), m_size) : area, m_paperColour);
    if (!area.isNull())
        painter.setClipRect(area, Qt::IntersectClip);
    for (auto it = m_layers.crbegin(); it != m_layers.crend(); ++it) {
        const VRLayer &layer = **it;
        if (!layer.isVisible())
            continue;
        if (printing && !layer.shouldDrawToPrinter())
            continue;
        // On screen, a grid lying right on the paper is copied from pictures made once per zoom.
        if (paintPaper && !printing && it == m_layers.crbegin() && layer.isKindOf<VRGridLayer>())
            static_cast<const VRGridLayer &>(layer).renderOnPaper(painter, m_paperColour);
        else
            layer.render(painter, printing);
    }
    painter.restore();
}

QRectF VRDrawing::printableObjectsBounds() const
{
    QRectF r;
    for (const auto &l : m_layers) {
        if (!l->isVisible() || !l->shouldDrawToPrinter() || !l->isKindOf<VRObjectOwnerLayer>())
            continue;
        const QRectF b = static_cast<VRObjectOwnerLayer &>(*l).unionOfAllObjectBounds();
        if (!b.isNull())
            r = r.isNull() ? b : r.united(b);
    }
    return r;
}

void VRDrawing::loadDefaults()
{
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const QString storage = defaults.stringForKey(kVRObjectStorageClassKey);
    if (const VRClassInfo *cls = VRClassInfo::byName(storage))
        VRObjectOwnerLayer::setStorageClass(*cls);
    if (defaults.objectForKey(kVRDefaultSelectionChangesAreUndoableKey).isValid())
        VRObjectDrawingLayer::setDefaultSelectionChangesAreUndoable(
            defaults.boolForKey(kVRDefaultSelectionChangesAreUndoableKey));
    if (defaults.objectForKey(kVRShowSmartGuidesKey).isValid())
        VRGuideLayer::setShowSmartGuides(defaults.boolForKey(kVRShowSmartGuidesKey));
}

void VRDrawing::saveDefaults()
{
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(VRObjectOwnerLayer::storageClass().className(), kVRObjectStorageClassKey);
    defaults.setBool(VRObjectDrawingLayer::defaultSelectionChangesAreUndoable(),
                     kVRDefaultSelectionChangesAreUndoableKey);
    defaults.setBool(VRGuideLayer::showSmartGuides(), kVRShowSmartGuidesKey);
    defaults.synchronize();
}

QSizeF VRDrawing::isoA2PaperSize(bool landscape)
{
    const QSizeF portrait(1190.551, 1683.780);
    return landscape ? portrait.transposed() : portrait;
}

std::unique_ptr<VRDrawing> VRDrawing::defaultDrawingWithSize(QSizeF size)
{
    auto drawing = std::make_unique<VRDrawing>();
    drawing->m_undoManager->disableUndoRegistration();
    drawing->setDrawingSize(size);
    drawing->setMarginsLeft(0, 0, 0, 0);
    drawing->gridLayer()->setVisible(false);
    drawing->m_undoManager->enableUndoRegistration();
    drawing->setAvoidRouterIsDisabled(true);
    return drawing;
}

const QList<VRUnit> &VRDrawing::standardUnits()
{
    static const QList<VRUnit> units{
        {QStringLiteral("Pixels"), 1.0, QStringLiteral("px")},
        {QStringLiteral("Picas"), 12.0, QStringLiteral("pc")},
        {QStringLiteral("Inches"), 72.0, QStringLiteral("in")},
        {QStringLiteral("Millimetres"), 2.8346456692913, QStringLiteral("mm")},
        {QStringLiteral("Centimetres"), 28.346456692913, QStringLiteral("cm")},
        {QStringLiteral("Metres"), 2834.6456692913, QStringLiteral("m")},
        {QStringLiteral("Kilometres"), 2834645.6692913, QStringLiteral("km")},
    };
    return units;
}

double VRDrawing::standardFactorForUnits(const QString &units)
{
    for (const auto &u : standardUnits()) {
        if (u.name == units)
            return u.pointsPerUnit;
    }
    return 1.0;
}

QString VRDrawing::abbreviationForUnits(const QString &units)
{
    for (const auto &u : standardUnits()) {
        if (u.name == units)
            return u.abbreviation;
    }
    return units;
}

// ---- Export -------------------------------------------------------------------------------

QSizeF VRDrawing::sourceImageSizeWithCropping(bool crop) const
{
    if (!crop)
        return m_size;
    const QRectF r = printableObjectsBounds();
    return r.isNull() ? QSizeF(0, 0) : r.size();
}

void VRDrawing::renderForExport(QPainter &painter, const QRectF &source,
                                const QVariantMap &properties) const
{
    VRGridLayer *grid = gridLayer();
    const bool includeGrid = grid && properties.value(kVKIncludeGridInExportedFile).toBool();
    const bool gridPrint = grid && grid->shouldDrawToPrinter();
    if (includeGrid)
        grid->setShouldDrawToPrinterSilently(true);
    render(painter, source, true, false);
    if (includeGrid)
        grid->setShouldDrawToPrinterSilently(gridPrint);
}

QRectF VRDrawing::exportRect(const QVariantMap &properties) const
{
    if (properties.value(kQntCropExportedFile).toBool()) {
        const QRectF r = printableObjectsBounds();
        return r.isNull() ? QRectF() : r;
    }
    return QRectF(QPointF(), m_size);
}

QSize VRDrawing::exportPixelSize(const QVariantMap &properties) const
{
    const QRectF source = exportRect(properties);
    if (source.isEmpty())
        return {};
    double dpi = properties.value(kVRExportPropertiesResolution, 72.0).toDouble();
    if (!(dpi > 0) || !std::isfinite(dpi))
        dpi = 72.0;
    // Sizes past what an int holds stay at its maximum, still far above what may be made.
    const auto pixelsFor = [](double length) {
        return int(std::clamp(std::round(length), 0.0, double(std::numeric_limits<int>::max())));
    };
    QSize pixels(pixelsFor(source.width() * dpi / 72.0), pixelsFor(source.height() * dpi / 72.0));
    const int w = properties.value(kQntExportedWidth).toInt();
    const int h = properties.value(kQntExportedHeight).toInt();
    if (w > 0 && h > 0)
        pixels = QSize(w, h);
    else if (w > 0)
        pixels = QSize(w, qMax(1, pixelsFor(w * source.height() / source.width())));
    else if (h > 0)
        pixels = QSize(qMax(1, pixelsFor(h * source.width() / source.height())), h);
    return pixels;
}

QImage VRDrawing::imageWithProperties(const QVariantMap &properties, bool alpha) const
{
    const QRectF source = exportRect(properties);
    const QSize pixels = exportPixelSize(properties);
    if (pixels.isEmpty() || qint64(pixels.width()) * pixels.height() > kMaximumExportPixels)
        return {};
    double dpi = properties.value(kVRExportPropertiesResolution, 72.0).toDouble();
    if (!(dpi > 0) || !std::isfinite(dpi))
        dpi = 72.0;
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(alpha ? QColor(Qt::transparent) : m_paperColour);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(pixels.width() / source.width(), pixels.height() / source.height());
    painter.translate(-source.topLeft());
    renderForExport(painter, source, properties);
    painter.end();
    return image;
}

static QByteArray writeImage(const QImage &image, const char *format,
                             const std::function<void(QImageWriter &)> &setup)
{
    if (image.isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (setup)
        setup(writer);
    if (!writer.write(image))
        return {};
    return bytes;
}

QByteArray VRDrawing::TIFFDataWithProperties(const QVariantMap &properties) const
{
    const QImage image = imageWithProperties(properties, properties.value(kQntTIFFAlpha).toBool());
    const int method = properties.value(kNSImageCompressionMethod).toInt();
    return writeImage(image, "tiff",
                      [method](QImageWriter &w) { w.setCompression(method == 5 ? 1 : 0); });
}

QByteArray VRDrawing::JPEGDataWithProperties(const QVariantMap &properties) const
{
    const QImage image =
        imageWithProperties(properties, false).convertToFormat(QImage::Format_RGB32);
    double factor = properties.value(kNSImageCompressionFactor, 0.9).toDouble();
    if (!std::isfinite(factor))
        factor = 0.9;
    const int quality = qBound(0, qRound(factor * 100), 100);
    const bool progressive = properties.value(kNSImageProgressive).toBool();
    return writeImage(image, "jpeg", [quality, progressive](QImageWriter &w) {
        w.setQuality(quality);
        w.setProgressiveScanWrite(progressive);
    });
}

QByteArray VRDrawing::PNGDataWithProperties(const QVariantMap &properties) const
{
    const QImage image = imageWithProperties(properties, properties.value(kQntPNGAlpha).toBool());
    if (properties.value(kNSImageInterlaced).toBool())
        return VRInterlacedPNGData(image);
    return writeImage(image, "png", {});
}

QByteArray VRDrawing::vectorExport(
    const QVariantMap &properties, bool paperBackground,
    const std::function<std::unique_ptr<QPaintDevice>(QIODevice &, const QRectF &)> &makeDevice)
    const
{
    const QRectF source = exportRect(properties);
    if (source.isEmpty())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        const std::unique_ptr<QPaintDevice> device = makeDevice(buffer, source);
        QPainter painter;
        if (!painter.begin(device.get()))
            return {};
        painter.translate(-source.topLeft());
        if (paperBackground)
            painter.fillRect(source, m_paperColour);
        renderForExport(painter, source, properties);
        painter.end();
    }
    return bytes;
}

QByteArray VRDrawing::PDFDataWithProperties(const QVariantMap &properties) const
{
    return vectorExport(properties, !properties.value(kQntPNGAlpha).toBool(),
                        [](QIODevice &buffer, const QRectF &source) {
                            auto writer = std::make_unique<QPdfWriter>(&buffer);
                            writer->setCreator(QStringLiteral("Quintora"));
                            writer->setResolution(72);
                            writer->setPageSize(QPageSize(source.size(), QPageSize::Point,
                                                          QString(), QPageSize::ExactMatch));
                            writer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
                            return writer;
                        });
}

QByteArray VRDrawing::SVGDataWithProperties(const QVariantMap &properties) const
{
    return vectorExport(properties, true, [](QIODevice &buffer, const QRectF &source) {
        auto generator = std::make_unique<VRSvgGenerator>(&buffer, source.size());
        generator->setTitle(QStringLiteral("Quintora drawing"));
        return generator;
    });
}
