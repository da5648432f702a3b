#pragma once

#include "framework/base/VRClassInfo.h"
#include "framework/document/VRPrintInfo.h"
#include "framework/base/VRTypes.h"

#include <QColor>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSizeF>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>

class QIODevice;
class QPainter;
class QPaintDevice;
class QntNotation;
class VRAvoidRouter;
class VRGridLayer;
class VRGuideLayer;
class VRObjectDrawingLayer;
class VRViewController;
using QntNotationRef = std::shared_ptr<QntNotation>;

// A unit of measure the drawing can show lengths in.
struct VRUnit {
    QString name;
    double pointsPerUnit = 1.0;
    QString abbreviation;
};

// The model of one drawing: size, margins, units, paper, layers (guides on top, object layers,
// grid at the bottom), the active layer, current notation, router settings, undo manager and
// metadata. Renders and exports itself.
class VRDrawing : public QObject
{
    Q_OBJECT
public:
    // A drawing with the factory values of a new document.
    explicit VRDrawing(QObject *parent = nullptr);
    ~VRDrawing() override;

    // Layers: index 0 is the top.
    VRLayer *activeLayer() const { return m_activeLayer; }
    bool setActiveLayer(VRLayer *layer);
    VRLayer *activeLayerOfClass(const VRClassInfo &cls) const;
    template <class T> T *activeLayerOfClass() const
    {
        return static_cast<T *>(activeLayerOfClass(T::staticClass()));
    }
    VRLayer *firstActivateableLayerOfClass(const VRClassInfo &cls) const;
    QList<VRLayer *> layersOfClass(const VRClassInfo &cls) const;
    int countOfLayers() const { return int(m_layers.size()); }
    VRLayer *objectInLayersAtIndex(int index) const;
    VRLayerRef layerRef(const VRLayer *layer) const;
    int indexOfLayer(const VRLayer *layer) const;
    int indexOfActiveLayer() const { return indexOfLayer(m_activeLayer); }
    void addLayer(VRLayerRef layer, bool andActivateIt);
    void insertLayer(VRLayerRef layer, int index, bool andActivateIt);
    bool removeLayer(VRLayer *layer, VRLayer *andActivateLayer);
    void moveLayer(VRLayer *layer, int toIndex);
    VRGridLayer *gridLayer() const;
    VRGuideLayer *guideLayer() const;
    // Replaces every layer at once (readers); grid and guides must be among them.
    void setLayers(const QList<VRLayerRef> &layers, int activeIndex);

    // The farthest from the origin, in points, that a place, a size or an outline may lie: a
    // document keeps and reads back only those (VRArchiveReader checks every one it reads).
    static constexpr double kMaximumCoordinate = 1e7;
    // Whether every object, moved by `delta`, lies within kMaximumCoordinate
    // (VRDrawableObject::fitsTheDrawing).
    static bool holdsObjects(const VRObjectList &objects, QPointF delta = {});
    // What the user is told when a change would take objects beyond kMaximumCoordinate.
    static QString objectsTooFarOutMessage();
    // A change was refused: whoever shows this drawing's messages tells the user why
    // (kVRDrawingRefusedChangeNotification).
    void refuseChange(const QString &message) const;
    // refuseChange() for a change that would have taken objects beyond kMaximumCoordinate.
    void refuseObjectsTooFarOut() const { refuseChange(objectsTooFarOutMessage()); }
    // When the objects, moved by `delta`, would not all fit (holdsObjects), refuses the change
    // (refuseObjectsTooFarOut) and answers true: the caller then changes nothing.
    bool refusesObjectsTooFarOut(const VRObjectList &objects, QPointF delta = {}) const;

    QSizeF drawingSize() const { return m_size; }
    // False, with nothing changed, for a size that is negative, not a number or larger than
    // kMaximumCoordinate.
    bool setDrawingSize(QSizeF size);
    double topMargin() const { return m_margins[1]; }
    double leftMargin() const { return m_margins[0]; }
    double rightMargin() const { return m_margins[2]; }
    double bottomMargin() const { return m_margins[3]; }
    bool setMarginsLeft(double left, double top, double right, double bottom);
    QRectF interior() const;

    QString drawingUnits() const { return m_units; }
    QString abbreviatedDrawingUnits() const { return abbreviationForUnits(m_units); }
    double unitToPointsConversionFactor() const { return m_unitFactor; }
    bool setDrawingUnits(const QString &units, double unitToPointsConversionFactor);
    double convertLength(double points) const { return points / m_unitFactor; }
    double convertLengthFromDrawingToBase(double units) const { return units * m_unitFactor; }
    QString formattedConvertedLength(double points) const;
    QString formattedConvertedLengthOnlyValue(double points) const;
    QStringList formattedConvertedPoint(QPointF point) const;
    QStringList formattedConvertedPointOnlyValue(QPointF point) const;

    QColor paperColour() const { return m_paperColour; }
    void setPaperColour(const QColor &colour);
    VRPrintInfo printInfo() const { return m_printInfo; }
    void setPrintInfo(const VRPrintInfo &info) { m_printInfo = info; }
    int paginationMode() const { return m_paginationMode; }
    void setPaginationMode(int mode) { m_paginationMode = mode; }
    bool pageBreaksVisible() const { return m_pageBreaksVisible; }
    void setPageBreaksVisible(bool visible);

    void setNeedsDisplay(bool needs);
    void invalidateCursors() { emit cursorsInvalidated(); }
    void scrollToRect(const QRectF &rect) { emit scrollRequested(rect); }
    VRViewController *owner() const { return m_owner; }
    void setOwner(VRViewController *owner) { m_owner = owner; }
    void setDynamicQualityModulationEnabled(bool enabled) { m_lowQuality = enabled; }
    bool dynamicQualityModulationEnabled() const { return m_lowQuality; }
    bool snapsToGrid() const { return m_snapsToGrid; }
    void setSnapsToGrid(bool snaps) { m_snapsToGrid = snaps; }

    QntNotationRef currentNotation() const { return m_notation; }
    void setCurrentNotation(QntNotationRef notation);
    // The notation as stored: home-relative path and name (kept even when it cannot be opened).
    QString currentNotationPath() const { return m_notationPath; }
    QString currentNotationName() const { return m_notationName; }
    void setCurrentNotationPath(const QString &path, const QString &name);
    void registerExtraNotations();

    QStringList importedElementsKeys() const { return m_importedElements.keys(); }
    VRObjectList importedElementsForKey(const QString &key) const
    {
        return m_importedElements.value(key);
    }
    void setImportedElements(const VRObjectList &elements, const QString &forKey);
    void removeImportedElementsForKey(const QString &key) { m_importedElements.remove(key); }

    QSet<int> *hiddenGroupTags() { return m_hiddenGroupTags ? &*m_hiddenGroupTags : nullptr; }
    void setHiddenGroupTags(const QSet<int> &tags) { m_hiddenGroupTags = tags; }
    void clearHiddenGroupTags() { m_hiddenGroupTags.reset(); }
    QVariantMap sequenceDic() const { return m_sequenceDic; }
    void setSequenceDic(const QVariantMap &dic) { m_sequenceDic = dic; }
    QVariantMap &sequenceStyleDic() { return m_sequenceStyleDic; }
    QString mermaidSourceText() const { return m_mermaidSourceText; }
    void setMermaidSourceText(const QString &text) { m_mermaidSourceText = text; }
    QVariantMap &metadata() { return m_metadata; }
    const QVariantMap &metadata() const { return m_metadata; }

    // Router settings as stored values (0 = the router's default).
    VRAvoidRouter *avoidRouter() const;
    void setAvoidRouterIsDisabled(bool disabled) { m_routerDisabled = disabled; }
    bool avoidRouterIsDisabled() const { return m_routerDisabled; }
    double shapeBufferDistance() const { return m_shapeBufferDistance; }
    void setShapeBufferDistance(double d) { m_shapeBufferDistance = d; }
    double segmentPenalty() const { return m_segmentPenalty; }
    void setSegmentPenalty(double p) { m_segmentPenalty = p; }
    bool nudgeOrthogonalSegments() const { return m_nudge; }
    void setNudgeOrthogonalSegments(bool nudge) { m_nudge = nudge; }
    bool wasChangedFromDefaultNudgeOrthogonalSegments() const { return m_nudgeChanged; }
    void setWasChangedFromDefaultNudgeOrthogonalSegments(bool changed) { m_nudgeChanged = changed; }

    VRUndoManager *undoManager() const { return m_undoManager.get(); }
    void setUndoManager(std::unique_ptr<VRUndoManager> manager);

    // Rendering: paper, then visible layers bottom to top. `printing` leaves out what does
    // not print (guides, non-printing layers, the grid unless its print flag is on).
    void render(QPainter &painter, const QRectF &area, bool printing, bool paintPaper = true) const;
    // Bounds of every printed object.
    QRectF printableObjectsBounds() const;

    // Export: pixels at 72 dpi (= points).
    QSizeF sourceImageSizeWithCropping(bool crop) const;
    // The picture's size in pixels for these options (empty when there is nothing to show).
    QSize exportPixelSize(const QVariantMap &properties) const;
    // The most pixels a picture may have (about 1 GiB of memory); a larger one is not made.
    static constexpr qint64 kMaximumExportPixels = qint64(1) << 28;
    // Null when there is nothing to show or the picture would be larger than the maximum.
    QImage imageWithProperties(const QVariantMap &properties, bool alphaKey) const;
    QByteArray TIFFDataWithProperties(const QVariantMap &properties) const;
    QByteArray JPEGDataWithProperties(const QVariantMap &properties) const;
    QByteArray PNGDataWithProperties(const QVariantMap &properties) const;
    QByteArray PDFDataWithProperties(const QVariantMap &properties) const;
    QByteArray SVGDataWithProperties(const QVariantMap &properties) const;

    static void loadDefaults();
    static void saveDefaults();
    static QSizeF isoA2PaperSize(bool landscape);
    static std::unique_ptr<VRDrawing> defaultDrawingWithSize(QSizeF size);
    static const QList<VRUnit> &standardUnits();
    static double standardFactorForUnits(const QString &units);
    static QString abbreviationForUnits(const QString &units);

signals:
    void needsDisplay();
    void cursorsInvalidated();
    void scrollRequested(const QRectF &rect);

private:
    void recordUndo(const char *selector, const QString &actionName,
                    std::function<void(VRDrawing &)> inverse, const void *target = nullptr);
    void postLayerNotification(const QString &name, const VRLayerRef &layer);
    void registerObjectsWithAvoidRouter(VRLayer &layer);
    QRectF exportRect(const QVariantMap &properties) const;
    // Renders the export area as printed; the grid too when the properties ask for it.
    void renderForExport(QPainter &painter, const QRectF &source,
                         const QVariantMap &properties) const;
    // A vector export: the export area painted on the device made for the buffer (the paper
    // first when asked); the bytes written, empty when nothing could be painted.
    QByteArray
    vectorExport(const QVariantMap &properties, bool paperBackground,
                 const std::function<std::unique_ptr<QPaintDevice>(QIODevice &, const QRectF &)>
                     &makeDevice) const;

    QList<VRLayerRef> m_layers;
    VRLayer *m_activeLayer = nullptr;
    std::unique_ptr<VRUndoManager> m_undoManager;
    mutable std::shared_ptr<VRAvoidRouter> m_router;
    VRViewController *m_owner = nullptr;
    QntNotationRef m_notation;
    QString m_notationPath;
    QString m_notationName;
    QHash<QString, VRObjectList> m_importedElements;
    std::optional<QSet<int>> m_hiddenGroupTags;
    QVariantMap m_sequenceDic;
    QVariantMap m_sequenceStyleDic;
    QString m_mermaidSourceText;
    QVariantMap m_metadata;
    VRPrintInfo m_printInfo;
    QSizeF m_size{1685.197, 1191.969};
    double m_margins[4] = {34.724, 29.055, 34.724, 29.055}; // left, top, right, bottom
    QString m_units = QStringLiteral("Centimetres");
    double m_unitFactor = 28.346456692913;
    QColor m_paperColour = Qt::white;
    int m_paginationMode = 0;
    double m_shapeBufferDistance = 0;
    double m_segmentPenalty = 0;
    bool m_nudge = true;
    bool m_nudgeChanged = false;
    bool m_routerDisabled = false;
    bool m_pageBreaksVisible = false;
    bool m_snapsToGrid = false;
    bool m_lowQuality = false;
    bool m_displayPending = false;
};
