#include "framework/notations/QntIconReference.h"

#include "framework/model/QntElement.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"

#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSet>

#include <algorithm>
#include <memory>

const QString QntIconReference::kFileName = QStringLiteral("Cisco_Icon_Library.pdf");

namespace {

struct Source {
    const char *database; // below the Notations folder
    const char *title;    // the shape library's title of its group
    bool imported;        // the elements are the library's imported ones
};

// As the shape library shows them: the notation's own shapes, then the extended library.
constexpr Source kSources[] = {
    {"Network/Network.db", "Network", false},
    {"Misc/ExtraCisco.db", "Ext. Network", true},
};

// A4 in points, and the margins of the printed area.
constexpr double kMargin = 42.0;
constexpr double kTitleHeight = 44.0;
constexpr double kHeadingHeight = 30.0;

QString nameOf(const QntElementRecord &record)
{
    if (!record.title.isEmpty())
        return record.title;
    if (record.prototype) {
        const QString title = record.prototype->stringForKey(QStringLiteral("TITLE"));
        if (!title.isEmpty())
            return title;
    }
    return record.elementId;
}

// Draws a prototype as vectors, scaled to fit the box and centred in it.
void drawIcon(QPainter &painter, VRObjectDrawingLayer &layer, const VRObjectRef &prototype,
              const QRectF &box)
{
    if (!prototype)
        return;
    const VRObjectRef shape = prototype->copy();
    if (!shape)
        return;
    shape->setContainer(&layer);
    VRUndoManager *undo = shape->undoManager();
    if (undo)
        undo->disableUndoRegistration();
    const QRectF bounds = shape->bounds();
    if (!bounds.isEmpty()) {
        const double scale = std::min(box.width() / bounds.width(), box.height() / bounds.height());
        painter.save();
        painter.translate(box.center());
        painter.scale(scale, scale);
        painter.translate(-bounds.center());
        shape->render(painter);
        painter.restore();
    }
    if (undo)
        undo->enableUndoRegistration();
    shape->setContainer(nullptr);
}

} // namespace

VRResult<QList<QntIconReference::Group>>
QntIconReference::groupsFromFolder(const QString &notationsFolder)
{
    QList<Group> groups;
    // The names of the texts, arrows and lines the libraries share: no icons.
    QSet<QString> shared;
    for (const Source &source : kSources) {
        const QString path = notationsFolder + QLatin1Char('/') + QLatin1String(source.database);
        QntNotation notation(QFileInfo(path).absoluteFilePath());
        if (!notation.isValid())
            return VRError{notation.errorMessage()};
        for (const auto &list : {notation.textElementsList(), notation.shortArrowElementsList(),
                                 notation.arrowElementsList(), notation.separatorElementsList()}) {
            for (const QntElementRecord &record : list)
                shared.insert(nameOf(record));
        }
        QList<QntElementRecord> elements =
            source.imported ? notation.importedElementsList() : notation.shapeElementsList();
        elements.erase(std::remove_if(elements.begin(), elements.end(),
                                      [&shared](const QntElementRecord &r) {
                                          return !r.prototype
                                                 || !r.prototype->isMemberOf<QntElement>()
                                                 || shared.contains(nameOf(r));
                                      }),
                       elements.end());
        if (elements.isEmpty())
            return VRError{QStringLiteral("The notation “%1” holds no icon.")
                               .arg(QLatin1String(source.database))};
        groups.append({QString::fromLatin1(source.title), elements});
    }
    return groups;
}

VRResult<QList<QntIconReference::Placement>> QntIconReference::write(const QList<Group> &groups,
                                                                     const QString &pdfPath)
{
    QPdfWriter writer(pdfPath);
    writer.setResolution(72); // one unit is one point
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Point));
    writer.setTitle(QStringLiteral("Network Icon Reference"));
    writer.setCreator(QStringLiteral("Quintora"));
    const QSizeF page = QPageSize(QPageSize::A4).size(QPageSize::Point);
    QPainter painter;
    if (!painter.begin(&writer))
        return VRError{QStringLiteral("The file %1 cannot be written.").arg(pdfPath)};
    painter.setRenderHint(QPainter::Antialiasing);

    const std::unique_ptr<VRDrawing> drawing =
        VRDrawing::defaultDrawingWithSize(VRDrawing::isoA2PaperSize(false));
    VRObjectDrawingLayer *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    if (!layer)
        return VRError{QStringLiteral("No drawing layer to draw the icons in.")};

    QFont titleFont;
    titleFont.setPointSizeF(20);
    titleFont.setBold(true);
    QFont headingFont;
    headingFont.setPointSizeF(14);
    headingFont.setBold(true);
    QFont nameFont;
    nameFont.setPointSizeF(9);

    const int columns = std::max(1, int((page.width() - 2 * kMargin) / kCellWidth));
    QList<Placement> placements;
    int pageIndex = 0;
    double y = kMargin;
    painter.setFont(titleFont);
    painter.drawText(QRectF(kMargin, y, page.width() - 2 * kMargin, kTitleHeight),
                     Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Network Icon Reference"));
    y += kTitleHeight;
    const auto newPage = [&] {
        writer.newPage();
        ++pageIndex;
        y = kMargin;
    };
    for (const Group &group : groups) {
        // A heading never stands alone at the foot of a page.
        if (y + kHeadingHeight + kCellHeight > page.height() - kMargin)
            newPage();
        painter.setFont(headingFont);
        painter.drawText(QRectF(kMargin, y, page.width() - 2 * kMargin, kHeadingHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, group.title);
        painter.setPen(QPen(QColor(0x99, 0x99, 0x99), 0.5));
        painter.drawLine(QPointF(kMargin, y + kHeadingHeight - 4),
                         QPointF(page.width() - kMargin, y + kHeadingHeight - 4));
        painter.setPen(Qt::black);
        y += kHeadingHeight;
        for (qsizetype i = 0; i < group.elements.size(); ++i) {
            const int column = int(i % columns);
            if (column == 0 && i > 0)
                y += kCellHeight;
            if (column == 0 && y + kCellHeight > page.height() - kMargin)
                newPage();
            const QntElementRecord &record = group.elements.at(i);
            const double x = kMargin + column * kCellWidth;
            Placement placement;
            placement.name = nameOf(record);
            placement.page = pageIndex;
            placement.icon = QRectF(x + (kCellWidth - kIconSide) / 2, y + 8, kIconSide, kIconSide);
            placement.label =
                QRectF(x + 4, y + 12 + kIconSide, kCellWidth - 8, kCellHeight - 20 - kIconSide);
            drawIcon(painter, *layer, record.prototype, placement.icon);
            painter.setFont(nameFont);
            painter.setPen(Qt::black);
            painter.drawText(placement.label, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                             placement.name);
            placements.append(placement);
        }
        y += kCellHeight + 8;
    }
    if (!painter.end())
        return VRError{QStringLiteral("The file %1 cannot be written.").arg(pdfPath)};
    return placements;
}
