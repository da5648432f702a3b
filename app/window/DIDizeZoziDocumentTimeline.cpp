// DIDizeZoziDocument: the timeline layout of dated objects.
#include "app/window/DIDizeZoziDocument.h"

#include "framework/archive/VRArchiveReader.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/VRDrawingView.h"

#include <QMainWindow>

#include <algorithm>
#include <cmath>
#include <vector>

const QString DIDizeZoziDocument::kTimelineBaseLineKey = QStringLiteral("TimelineBaseLine");
const QString DIDizeZoziDocument::kTimelineLeaderLineKey = QStringLiteral("TimelineLeaderLine");

namespace {

constexpr double kInitialBaseLine = -10000.0;
const QString kYearKey = QStringLiteral("year");

struct Dated {
    VRObjectRef object;
    qint64 year = 0;
};

// The whole-number year of an object, or nothing when its "year" is not a whole number.
std::optional<qint64> yearOf(const VRDrawableObject &object)
{
    const QVariant value = object.metadataObjectForKey(kYearKey);
    bool ok = false;
    const double d = value.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d) || std::abs(d) > 1e9)
        return std::nullopt;
    return qint64(std::floor(d));
}

} // namespace

VRStyleRef DIDizeZoziDocument::leaderLineStyle()
{
    static const VRStyleRef style = [] {
        VRStyleRef made = VRStyle::styleWithFillColour(QColor(), QColor(Qt::gray), 0.5);
        made->setStyleSharable(true);
        return made;
    }();
    return style;
}

QPainterPath DIDizeZoziDocument::leaderLinePathFromPoint(QPointF a, QPointF b)
{
    QPainterPath path(a);
    path.lineTo(a.x(), b.y());
    path.lineTo(b);
    return path;
}

VRObjectRef DIDizeZoziDocument::leaderLineFromPoint(QPointF a, QPointF b)
{
    VRObjectRef line = VRDrawablePath::drawablePathWithBezierPath(leaderLinePathFromPoint(a, b));
    line->setStyle(leaderLineStyle());
    // Lines read from a file or pasted have a style of their own: the tag finds them too.
    line->setMetadataObject(true, kTimelineLeaderLineKey);
    return line;
}

void DIDizeZoziDocument::timelineAction()
{
    if (auto *layer = drawing()->activeLayerOfClass<VRObjectDrawingLayer>())
        performTimelineLayoutWithLayer(layer, true);
}

bool DIDizeZoziDocument::performTimelineLayoutWithLayer(VRObjectDrawingLayer *layer,
                                                        bool showAsYouGo)
{
    if (!layer)
        return false;
    VRDrawing *d = drawing();
    VRGridLayer *grid = d->gridLayer();
    const double step = grid ? grid->divisionDistance() : 0.0;
    if (!(step > 0) || !std::isfinite(step)) {
        // A grid without spacing would stack objects upward forever.
        showLayoutMessage(tr("The grid has no spacing"));
        return false;
    }

    // 1. The dated objects, in the layer's order; the axis lies below the lowest of them and
    // never moves up, so a second run finds everything where the first one put it.
    std::vector<Dated> dated;
    double baseLine = kInitialBaseLine;
    bool known = false;
    const double stored = d->metadata().value(kTimelineBaseLineKey).toDouble(&known);
    if (known && std::isfinite(stored))
        baseLine = stored;
    for (const VRObjectRef &o : layer->availableObjects()) {
        if (!o->hasMetadataForKey(kYearKey) || o->hasMetadataForKey(kTimelineLeaderLineKey))
            continue;
        const std::optional<qint64> year = yearOf(*o);
        if (!year)
            continue;
        dated.push_back({o, *year});
        baseLine = std::max(baseLine, o->location().y());
    }
    if (dated.empty()) {
        showLayoutMessage(tr("No object has a year"));
        return false;
    }
    // 2. By year as a number, so that 999 comes before 1000; equal years keep their order.
    std::stable_sort(dated.begin(), dated.end(),
                     [](const Dated &a, const Dated &b) { return a.year < b.year; });
    // A year's column so far out that an object would leave the coordinates a drawing holds
    // would make a document that cannot be read back: nothing moves then.
    for (const Dated &one : dated) {
        const double x = grid->pointForGridLocation(QPointF(double(one.year), 0)).x();
        const double right = x + 2 * step + one.object->size().width();
        if (!std::isfinite(right) || std::abs(x) > VRArchiveReader::kMaximumCoordinate
            || std::abs(right) > VRArchiveReader::kMaximumCoordinate) {
            showLayoutMessage(tr("A year lies too far out for the drawing"));
            return false;
        }
    }

    VRUndoManager *um = undoManager();
    if (um)
        um->beginUndoGrouping();
    d->metadata().insert(kTimelineBaseLineKey, baseLine);
    // 3. The leader lines of an earlier run.
    VRObjectList oldLines = layer->objectsWithStyle(leaderLineStyle());
    for (const VRObjectRef &o : layer->objects())
        if (o->hasMetadataForKey(kTimelineLeaderLineKey) && !oldLines.contains(o))
            oldLines.append(o);
    if (!oldLines.isEmpty())
        layer->removeObjectsInArray(oldLines);

    // 5. Latest first; each is placed above the later ones it would overlap.
    std::vector<VRObjectRef> placed; // earliest first
    for (auto it = dated.rbegin(); it != dated.rend(); ++it) {
        VRDrawableObject &o = *it->object;
        o.setOffset(QSizeF(-0.5, -0.5));
        const double x = grid->pointForGridLocation(QPointF(double(it->year), 0)).x();
        const QSizeF size = o.size();
        double h = size.height();
        if (h < 4 * step) {
            h = 4 * step;
        } else if (h > 4 * step) {
            const double whole = h - std::fmod(h, step);
            h = whole > 4 * step ? 6 * step : whole;
        }
        if (h != size.height())
            o.setSize(QSizeF(size.width(), h));
        QRectF candidate(x + step, baseLine - h, size.width() + step, h + step);
        bool moved = true;
        while (moved) {
            moved = false;
            for (const VRObjectRef &p : placed) {
                if (p->location().x() > candidate.right())
                    break;
                if (candidate.intersects(QRectF(p->location(), p->size()))) {
                    candidate.translate(0, -step);
                    moved = true;
                    break;
                }
            }
        }
        o.setLocation(QPointF(x + step, candidate.y()));
        o.setVerticalAlignment(1);
        placed.insert(placed.begin(), it->object);

        VRObjectRef line = leaderLineFromPoint(QPointF(x, baseLine + 3 * step),
                                               QPointF(x + step, candidate.y() + h / 2));
        layer->addObject(line);
        layer->moveObjectToBottom(line);
        if (showAsYouGo) {
            d->scrollToRect(QRectF(x + step, candidate.y(), size.width() + step, h));
            if (VRDrawingView *view = mainView())
                view->repaint();
        }
    }
    if (um) {
        um->endUndoGrouping();
        um->setActionName(tr("Timeline Layout"));
    }
    return true;
}
