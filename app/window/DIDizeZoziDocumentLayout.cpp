// DIDizeZoziDocument: the Layout and Smart Connectors sections of the inspector column.
#include "app/window/DIDizeZoziDocument.h"

#include "app/window/OXOverlayController.h"
#include "app/window/OXOverlayView.h"
#include "app/window/OXOverlayWindow.h"

#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/routing/VRAutomaticLayout.h"
#include "framework/routing/VRAvoidRouter.h"
#include "framework/routing/VRRouteFinder.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/VRDrawingView.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QScrollArea>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cmath>
#include <optional>

const QString DIDizeZoziDocument::kShortestRouteKey = QStringLiteral("ShortestRoute");

namespace {

int g_layoutProgressThreshold = 200;
std::atomic<int> g_runningComputations{0};

// A number typed in the user's locale or with a point.
std::optional<double> numberFromText(const QString &text)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    double value = QLocale().toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The work a worker thread shares with the window. The thread may outlive the document, so it
// holds only a copy of the graph: model objects are never touched, nor released, off the main
// thread.
struct LayoutJob {
    VRAutomaticLayout::Graph graph;
    std::optional<VRResult<VRAutomaticLayout::Placement>> result;
    std::atomic<bool> cancelled{false};
};

} // namespace

void DIDizeZoziDocument::showLayoutMessage(const QString &message)
{
    if (!_overlayController || !mainView() || !_scrollView)
        return;
    // The overlay's standard 200 points hold only a few words of its 24-pixel text.
    QFont font;
    font.setPixelSize(24);
    const double width = std::max(200.0, QFontMetricsF(font).horizontalAdvance(message) + 48.0);
    _overlayController->endOverlay();
    _overlayController->beginOverlayToView(_scrollView, message, 4.0, QSizeF(width, 50));
    // The message goes after a while unless another one took its place.
    QPointer<OXOverlayController> overlay(_overlayController);
    QTimer::singleShot(kLayoutMessageDuration, this, [overlay, message] {
        if (overlay && overlay->isOverlay() && overlay->overlayWindow()
            && overlay->overlayWindow()->overlayView()->label() == message)
            overlay->endOverlay();
    });
}

void DIDizeZoziDocument::setLayoutProgressThreshold(int nodes)
{
    g_layoutProgressThreshold = std::max(1, nodes);
}

int DIDizeZoziDocument::layoutProgressThreshold()
{
    return g_layoutProgressThreshold;
}

int DIDizeZoziDocument::runningLayoutComputations()
{
    return g_runningComputations;
}

void DIDizeZoziDocument::showLayoutParameters()
{
    auto *layer = drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    if (!layer || !_vertexDistanceTextfield)
        return;
    // Unset or unusable values show what the layout will use; the offset keeps its fraction,
    // so that pressing Layout never truncates it.
    const VRAutomaticLayout::Parameters p =
        VRAutomaticLayout::parametersFrom(layer->layoutParams());
    _vertexDistanceTextfield->setText(QString::number(p.vertexDistance));
    _layerDistanceTextfield->setText(QString::number(p.layerDistance));
    _layoutOffsetTextfield->setText(QString::number(p.layoutOffset));
    const int index = _edgeRoutingType->findData(p.edgeRouting);
    _edgeRoutingType->setCurrentIndex(std::max(0, index));
}

void DIDizeZoziDocument::connectLayoutControls()
{
    const auto onField = [this](QLineEdit *field, void (DIDizeZoziDocument::*action)()) {
        // Leaving a field that was not edited lays nothing out; Return always does.
        connect(field, &QLineEdit::editingFinished, this, [this, field, action] {
            if (field->isModified())
                (this->*action)();
        });
        connect(field, &QLineEdit::returnPressed, this, [this, field, action] {
            if (!field->isModified())
                (this->*action)();
        });
    };
    onField(_vertexDistanceTextfield, &DIDizeZoziDocument::vertexDistanceAction);
    onField(_layerDistanceTextfield, &DIDizeZoziDocument::layerDistanceAction);
    onField(_layoutOffsetTextfield, &DIDizeZoziDocument::offsetDistanceAction);
    connect(_edgeRoutingType, &QComboBox::activated, this, [this] { edgeRoutingAction(); });
}

void DIDizeZoziDocument::addLayoutMenuItems(QMenu *menu)
{
    if (!menu)
        return;
    menu->addSeparator();
    QAction *layout =
        menu->addAction(tr("Automatic La&yout"), this, &DIDizeZoziDocument::layoutAction);
    layout->setObjectName(QStringLiteral("automaticLayoutAction"));
    layout->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    menu->addAction(tr("&Timeline Layout"), this, &DIDizeZoziDocument::timelineAction)
        ->setObjectName(QStringLiteral("timelineLayoutAction"));
    menu->addAction(tr("Compute Shortest &Route"), this, [this] { computeShortestRoute(); })
        ->setObjectName(QStringLiteral("computeShortestRouteAction"));
}

QPair<double, double> DIDizeZoziDocument::computeShortestRoute()
{
    auto *layer = drawing()->activeLayerOfClass<VRObjectOwnerLayer>();
    if (!layer)
        return {};
    VRUndoManager *um = undoManager();
    if (um)
        um->disableUndoRegistration();
    VRObjectList previous, objects;
    for (const VRObjectRef &o : layer->objects())
        (o->hasMetadataForKey(kShortestRouteKey) ? previous : objects).append(o);
    if (!previous.isEmpty())
        layer->removeObjectsInArray(previous);
    VRRouteFinder finder = VRRouteFinder::routeFinderWithObjects(objects);
    double lengths[2] = {0, 0};
    for (int algorithm : {VRRouteFinder::kNearestNeighbour, VRRouteFinder::kSimulatedAnnealing}) {
        finder.shortestRoute(algorithm);
        lengths[algorithm == VRRouteFinder::kNearestNeighbour ? 0 : 1] = finder.pathLength();
        if (objects.size() < 2)
            continue;
        VRObjectRef path = VRDrawablePath::drawablePathWithBezierPath(finder.routePath());
        const QColor colour =
            algorithm == VRRouteFinder::kSimulatedAnnealing ? QColor(Qt::red) : QColor(Qt::magenta);
        path->setStyle(VRStyle::styleWithFillColour(QColor(), colour, 3));
        path->setMetadataObject(algorithm, kShortestRouteKey);
        layer->addObject(path);
    }
    if (um)
        um->enableUndoRegistration();
    qInfo("path lengths: NN = %f; SA = %f; diff = %f", lengths[0], lengths[1],
          lengths[0] - lengths[1]);
    return {lengths[0], lengths[1]};
}

void DIDizeZoziDocument::connectSmartConnectorsControls()
{
    connect(m_bufferDistanceField, &QDoubleSpinBox::valueChanged, this, [this](double value) {
        setShapeBufferDistance(value);
        shapeBufferDistanceAction();
    });
    connect(m_segmentPenaltyField, &QDoubleSpinBox::valueChanged, this, [this](double value) {
        setSegmentPenalty(value);
        segmentPenaltyAction();
    });
    connect(m_nudgeCheckBox, &QCheckBox::toggled, this, [this](bool checked) {
        setNudgeOrthogonalSegments(checked);
        nudgeOrthogonalSegmentsAction();
    });
}

bool DIDizeZoziDocument::storeLayoutField(QLineEdit *field, const QString &key, bool zeroAllowed)
{
    auto *layer = drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    if (!field || !layer)
        return false;
    field->setModified(false);
    const std::optional<double> value = numberFromText(field->text());
    const bool tooLarge = value && *value > VRAutomaticLayout::kMaximumDistance;
    const bool accepted = value && !tooLarge && (zeroAllowed ? *value >= 0 : *value > 0);
    if (!accepted) {
        // A refused value would collapse the diagram onto one spot: the stored one stays.
        const VRAutomaticLayout::Parameters stored =
            VRAutomaticLayout::parametersFrom(layer->layoutParams());
        const double shown = key == VRAutomaticLayout::kVertexDistanceKey  ? stored.vertexDistance
                             : key == VRAutomaticLayout::kLayerDistanceKey ? stored.layerDistance
                                                                           : stored.layoutOffset;
        field->setText(QString::number(shown));
        // Too large a value would throw the diagram off any page a drawing can have.
        const QString largest = QString::number(VRAutomaticLayout::kMaximumDistance);
        if (tooLarge)
            showLayoutMessage(zeroAllowed ? tr("The offset must be at most %1").arg(largest)
                                          : tr("Distances must be at most %1").arg(largest));
        else
            showLayoutMessage(zeroAllowed ? tr("The offset must be 0 or more")
                                          : tr("Distances must be above 0"));
        return false;
    }
    // The values are kept with the drawing: a new one makes the document edited. An unset
    // value stands for the default the field showed.
    const VRAutomaticLayout::Parameters effective =
        VRAutomaticLayout::parametersFrom(layer->layoutParams());
    const double current = key == VRAutomaticLayout::kVertexDistanceKey  ? effective.vertexDistance
                           : key == VRAutomaticLayout::kLayerDistanceKey ? effective.layerDistance
                                                                         : effective.layoutOffset;
    if (current != *value) {
        layer->layoutParams().insert(key, *value);
        updateChangeCount(ChangeType::Done);
    }
    return true;
}

void DIDizeZoziDocument::storeEdgeRouting()
{
    auto *layer = drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    if (!layer || !_edgeRoutingType)
        return;
    const qlonglong routing = std::max(0, _edgeRoutingType->currentIndex());
    if (VRAutomaticLayout::parametersFrom(layer->layoutParams()).edgeRouting == routing)
        return;
    layer->layoutParams().insert(VRAutomaticLayout::kEdgeRoutingKey, routing);
    updateChangeCount(ChangeType::Done);
}

void DIDizeZoziDocument::vertexDistanceAction()
{
    if (storeLayoutField(_vertexDistanceTextfield, VRAutomaticLayout::kVertexDistanceKey, false))
        layOutActiveLayer();
}

void DIDizeZoziDocument::layerDistanceAction()
{
    if (storeLayoutField(_layerDistanceTextfield, VRAutomaticLayout::kLayerDistanceKey, false))
        layOutActiveLayer();
}

void DIDizeZoziDocument::offsetDistanceAction()
{
    if (storeLayoutField(_layoutOffsetTextfield, VRAutomaticLayout::kLayoutOffsetKey, true))
        layOutActiveLayer();
}

void DIDizeZoziDocument::edgeRoutingAction()
{
    storeEdgeRouting();
    layOutActiveLayer();
}

void DIDizeZoziDocument::layoutAction()
{
    // All four values as the single actions store them; any refused value stops the layout.
    const bool vertex =
        storeLayoutField(_vertexDistanceTextfield, VRAutomaticLayout::kVertexDistanceKey, false);
    const bool layer =
        storeLayoutField(_layerDistanceTextfield, VRAutomaticLayout::kLayerDistanceKey, false);
    const bool offset =
        storeLayoutField(_layoutOffsetTextfield, VRAutomaticLayout::kLayoutOffsetKey, true);
    storeEdgeRouting();
    if (vertex && layer && offset)
        layOutActiveLayer();
}

void DIDizeZoziDocument::layOutActiveLayer()
{
    if (m_layoutRunning)
        return;
    auto *layer = drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    if (!layer)
        return;
    auto layout = std::make_shared<VRAutomaticLayout>(*layer);
    switch (layout->emptiness()) {
    case VRAutomaticLayout::Emptiness::NoElements:
        showLayoutMessage(tr("Nothing to lay out"));
        return;
    case VRAutomaticLayout::Emptiness::NoConnectors:
        showLayoutMessage(tr("No connectors to lay out"));
        return;
    case VRAutomaticLayout::Emptiness::None: break;
    }
    if (layout->nodeCount() >= g_layoutProgressThreshold && window()) {
        runLayoutWithProgress(std::move(layout));
        return;
    }
    const VRResult<void> computed = layout->compute();
    if (!computed) {
        QMessageBox::warning(windowForSheet(), tr("Layout failed"), computed.errorMessage());
        return;
    }
    finishLayout(*layout);
}

void DIDizeZoziDocument::runLayoutWithProgress(std::shared_ptr<VRAutomaticLayout> layout)
{
    m_layoutRunning = true;
    auto job = std::make_shared<LayoutJob>();
    job->graph = layout->graph();
    auto *progress = new QProgressDialog(tr("Laying out %1 elements…").arg(layout->nodeCount()),
                                         tr("Cancel"), 0, 0, windowForSheet());
    progress->setObjectName(QStringLiteral("layoutProgress"));
    progress->setWindowTitle(tr("Automatic Layout"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(0);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    // Graphviz cannot be interrupted: a cancelled computation finishes unseen and is dropped.
    ++g_runningComputations;
    QThread *thread = QThread::create([job] {
        job->result = VRAutomaticLayout::computePlacement(job->graph);
        --g_runningComputations;
    });
    connect(progress, &QProgressDialog::canceled, this, [this, job, progress] {
        job->cancelled = true;
        m_layoutRunning = false;
        progress->deleteLater();
        showLayoutMessage(tr("Layout cancelled"));
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this, job, layout, progress] {
        if (job->cancelled)
            return;
        m_layoutRunning = false;
        if (!job->result || !*job->result) {
            progress->deleteLater();
            QMessageBox::warning(windowForSheet(), tr("Layout failed"),
                                 job->result ? job->result->errorMessage() : QString());
            return;
        }
        progress->setLabelText(tr("Routing connectors…"));
        progress->setCancelButton(nullptr);
        layout->setPlacement(std::move(job->result->value()));
        finishLayout(*layout);
        progress->deleteLater();
    });
    progress->show();
    thread->start();
}

void DIDizeZoziDocument::finishLayout(VRAutomaticLayout &layout)
{
    if (!layout.fitsTheDrawing()) {
        showLayoutMessage(tr("The diagram would not fit a drawing"));
        return;
    }
    if (!layout.apply()) {
        showLayoutMessage(tr("The drawing changed meanwhile"));
        return;
    }
    if (VRDrawingView *view = mainView())
        view->update();
    revealWhenLaidOut(layout.laidOutBounds(), false);
}

void DIDizeZoziDocument::shapeBufferDistanceAction()
{
    drawing()->avoidRouter()->setRoutingParameter(kRouterShapeBufferDistance, _shapeBufferDistance);
    drawing()->setShapeBufferDistance(_shapeBufferDistance);
    updateChangeCount(ChangeType::Done);
}

void DIDizeZoziDocument::segmentPenaltyAction()
{
    drawing()->avoidRouter()->setRoutingParameter(kRouterSegmentPenalty, _segmentPenalty);
    drawing()->setSegmentPenalty(_segmentPenalty);
    updateChangeCount(ChangeType::Done);
}

void DIDizeZoziDocument::nudgeOrthogonalSegmentsAction()
{
    drawing()->avoidRouter()->setRoutingOption(kRouterNudgeOrthogonalSegments,
                                               _nudgeOrthogonalSegments);
    drawing()->setNudgeOrthogonalSegments(_nudgeOrthogonalSegments);
    drawing()->setWasChangedFromDefaultNudgeOrthogonalSegments(true);
    updateChangeCount(ChangeType::Done);
}
