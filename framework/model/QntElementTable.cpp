#include "framework/model/QntElementTable.h"

#include "framework/archive/VRArchiveReader.h"
#include "framework/archive/VRArchiveWriter.h"
#include "framework/base/VRConstants.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/archive/VRJsonWriter.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <QPainterPathStroker>

#include <algorithm>
#include <cmath>

VR_CLASS_IMPL(QntElementTable, QntElement)

namespace {
constexpr int kMaximumRowsOrColumns = 1000;
}

QntElementTable::QntElementTable() = default;

std::shared_ptr<QntElementTable> QntElementTable::tableWithRows(int rows, int columns,
                                                                QSizeF cellSize)
{
    auto table = std::make_shared<QntElementTable>();
    rows = std::clamp(rows, 1, kMaximumRowsOrColumns);
    columns = std::clamp(columns, 1, kMaximumRowsOrColumns);
    Structure s;
    for (int r = 0; r < rows; ++r)
        s.rows.append(cellSize.height());
    for (int c = 0; c < columns; ++c)
        s.columns.append(cellSize.width());
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c)
            s.cells.append({r, c, 1, 1, table->newCell()});
    }
    table->m_location = QPointF(columns * cellSize.width() / 2, rows * cellSize.height() / 2);
    table->m_size = QSizeF(columns * cellSize.width(), rows * cellSize.height());
    table->setStructure(s, QString());
    table->setOriginalSize(table->size());
    table->setOriginalSizeWithoutScale(table->size());
    return table;
}

std::shared_ptr<QntTextCell> QntElementTable::newCell() const
{
    auto cell = std::make_shared<QntTextCell>();
    const UserDefaults &defaults = UserDefaults::standardUserDefaults();
    bool ok1 = false, ok2 = false;
    const double lr = defaults.objectForKey(kQntElementTableLeftRightCellPadding).toDouble(&ok1);
    const double tb = defaults.objectForKey(kQntElementTableTopBottomCellPadding).toDouble(&ok2);
    cell->setPaddings(ok1 && lr >= 0 ? lr : 5.0, ok2 && tb >= 0 ? tb : 5.0);
    return cell;
}

std::shared_ptr<QntTextCell> QntElementTable::cellAt(int row, int column) const
{
    for (const auto &p : m_cells) {
        if (row >= p.row && row < p.row + p.rowSpan && column >= p.column
            && column < p.column + p.columnSpan)
            return p.cell;
    }
    return nullptr;
}

QntElementTable::Structure QntElementTable::structure() const
{
    return {m_rows, m_columns, m_cells, m_selection};
}

void QntElementTable::setStructure(const Structure &s, const QString &actionName)
{
    const Structure old = structure();
    if (!actionName.isEmpty()) {
        recordUndo("setStructure:", actionName, [old, actionName](VRDrawableObject &o) {
            static_cast<QntElementTable &>(o).setStructure(old, actionName);
        });
    }
    double oldWidth = 0, oldHeight = 0;
    for (double w : std::as_const(m_columns))
        oldWidth += w;
    for (double h : std::as_const(m_rows))
        oldHeight += h;
    const double sx = oldWidth > 0 && m_size.width() > 0 ? m_size.width() / oldWidth : 1.0;
    const double sy = oldHeight > 0 && m_size.height() > 0 ? m_size.height() / oldHeight : 1.0;
    const QPointF topLeft = transform().map(QPointF(-0.5, -0.5));
    m_rows = s.rows;
    m_columns = s.columns;
    m_cells = s.cells;
    m_selection = s.selection;
    double width = 0, height = 0;
    for (double w : std::as_const(m_columns))
        width += w;
    for (double h : std::as_const(m_rows))
        height += h;
    if (oldWidth > 0 && oldHeight > 0) {
        m_size = QSizeF(width * sx, height * sy);
        m_offset = QSizeF(0, 0);
        QTransform t;
        t.rotateRadians(m_angle);
        m_location = topLeft + t.map(QPointF(m_size.width() / 2, m_size.height() / 2));
    }
    relayout();
    notifyVisualChange();
    postSelectionChanged();
}

void QntElementTable::relayout()
{
    QList<double> xs{0}, ys{0};
    for (double w : std::as_const(m_columns))
        xs.append(xs.last() + w);
    for (double h : std::as_const(m_rows))
        ys.append(ys.last() + h);
    VRObjectList members;
    for (const auto &p : std::as_const(m_cells)) {
        const int r2 = std::min(p.row + p.rowSpan, int(m_rows.size()));
        const int c2 = std::min(p.column + p.columnSpan, int(m_columns.size()));
        const QRectF rect(QPointF(xs.value(p.column), ys.value(p.row)),
                          QPointF(xs.value(c2), ys.value(r2)));
        Geometry g = p.cell->saveGeometry();
        g.location = rect.center();
        g.size = rect.size();
        g.offset = QSizeF(0, 0);
        g.angle = 0;
        p.cell->setContainer(nullptr);
        p.cell->restoreGeometry(g);
        members.append(p.cell);
    }
    setGroupObjects(members, QRectF(0, 0, xs.last(), ys.last()));
    layoutText();
}

void QntElementTable::postSelectionChanged()
{
    if (!layer())
        return;
    QVariantList cells;
    for (const auto &c : selectedCells())
        cells.append(QVariant::fromValue(c));
    NotificationCenter::defaultCenter().post(
        kQntTextCellSelectionChangedNotification, this,
        {{QStringLiteral("selection"), cells},
         {QStringLiteral("object"), QVariant::fromValue(shared_from_this())}});
}

bool QntElementTable::validateAction(const QByteArray &action) const
{
    if (action == "addRow:" || action == "addColumn:")
        return true;
    if (action == "removeRow:")
        return m_rows.size() > 1;
    if (action == "removeColumn:")
        return m_columns.size() > 1;
    if (action == "joinCells:")
        return m_selection.size() >= 2 && selectionIsRectangle(nullptr, nullptr, nullptr, nullptr);
    if (action == "splitCells:") {
        for (const auto &p : m_cells) {
            if (m_selection.contains(p.cell) && (p.rowSpan > 1 || p.columnSpan > 1))
                return true;
        }
    }
    return false;
}

int QntElementTable::targetRow() const
{
    for (auto it = m_cells.crbegin(); it != m_cells.crend(); ++it) {
        if (!m_selection.isEmpty() && m_selection.last() == it->cell)
            return it->row + it->rowSpan - 1;
    }
    return int(m_rows.size()) - 1;
}

int QntElementTable::targetColumn() const
{
    for (auto it = m_cells.crbegin(); it != m_cells.crend(); ++it) {
        if (!m_selection.isEmpty() && m_selection.last() == it->cell)
            return it->column + it->columnSpan - 1;
    }
    return int(m_columns.size()) - 1;
}

void QntElementTable::addRow(QObject *)
{
    if (m_rows.size() >= kMaximumRowsOrColumns)
        return;
    Structure s = structure();
    const int after = targetRow();
    s.rows.insert(after + 1, s.rows.value(after, 20.0));
    for (auto &p : s.cells) {
        if (p.row > after)
            ++p.row;
        else if (p.row + p.rowSpan - 1 > after)
            ++p.rowSpan;
    }
    for (int c = 0; c < s.columns.size(); ++c) {
        bool covered = false;
        for (const auto &p : std::as_const(s.cells))
            covered |= p.row <= after + 1 && after + 1 < p.row + p.rowSpan && p.column <= c
                       && c < p.column + p.columnSpan;
        if (!covered)
            s.cells.append({after + 1, c, 1, 1, newCell()});
    }
    setStructure(s, QStringLiteral("Add Row"));
}

void QntElementTable::removeRow(QObject *)
{
    if (m_rows.size() <= 1)
        return;
    Structure s = structure();
    const int row = targetRow();
    s.rows.removeAt(row);
    QList<CellPlacement> kept;
    for (auto p : std::as_const(s.cells)) {
        if (p.row == row && p.rowSpan == 1)
            continue;
        if (p.row > row)
            --p.row;
        else if (p.row + p.rowSpan - 1 >= row)
            --p.rowSpan;
        kept.append(p);
    }
    s.cells = kept;
    s.selection.clear();
    setStructure(s, QStringLiteral("Remove Row"));
}

void QntElementTable::addColumn(QObject *)
{
    if (m_columns.size() >= kMaximumRowsOrColumns)
        return;
    Structure s = structure();
    const int after = targetColumn();
    s.columns.insert(after + 1, s.columns.value(after, 60.0));
    for (auto &p : s.cells) {
        if (p.column > after)
            ++p.column;
        else if (p.column + p.columnSpan - 1 > after)
            ++p.columnSpan;
    }
    for (int r = 0; r < s.rows.size(); ++r) {
        bool covered = false;
        for (const auto &p : std::as_const(s.cells))
            covered |= p.column <= after + 1 && after + 1 < p.column + p.columnSpan && p.row <= r
                       && r < p.row + p.rowSpan;
        if (!covered)
            s.cells.append({r, after + 1, 1, 1, newCell()});
    }
    setStructure(s, QStringLiteral("Add Column"));
}

void QntElementTable::removeColumn(QObject *)
{
    if (m_columns.size() <= 1)
        return;
    Structure s = structure();
    const int column = targetColumn();
    s.columns.removeAt(column);
    QList<CellPlacement> kept;
    for (auto p : std::as_const(s.cells)) {
        if (p.column == column && p.columnSpan == 1)
            continue;
        if (p.column > column)
            --p.column;
        else if (p.column + p.columnSpan - 1 >= column)
            --p.columnSpan;
        kept.append(p);
    }
    s.cells = kept;
    s.selection.clear();
    setStructure(s, QStringLiteral("Remove Column"));
}

bool QntElementTable::selectionIsRectangle(int *top, int *left, int *bottom, int *right) const
{
    if (m_selection.isEmpty())
        return false;
    int t = INT_MAX, l = INT_MAX, b = -1, r = -1;
    int area = 0;
    for (const auto &p : m_cells) {
        if (!m_selection.contains(p.cell))
            continue;
        t = std::min(t, p.row);
        l = std::min(l, p.column);
        b = std::max(b, p.row + p.rowSpan - 1);
        r = std::max(r, p.column + p.columnSpan - 1);
        area += p.rowSpan * p.columnSpan;
    }
    if (area != (b - t + 1) * (r - l + 1))
        return false;
    if (top)
        *top = t;
    if (left)
        *left = l;
    if (bottom)
        *bottom = b;
    if (right)
        *right = r;
    return true;
}

void QntElementTable::joinCells(QObject *)
{
    int t, l, b, r;
    if (m_selection.size() < 2 || !selectionIsRectangle(&t, &l, &b, &r))
        return;
    Structure s = structure();
    QList<CellPlacement> kept;
    std::shared_ptr<QntTextCell> joined;
    for (const auto &p : std::as_const(s.cells)) {
        const bool inside = p.row >= t && p.row <= b && p.column >= l && p.column <= r;
        if (!inside) {
            kept.append(p);
        } else if (p.row == t && p.column == l) {
            joined = p.cell;
            kept.append({t, l, b - t + 1, r - l + 1, p.cell});
        }
    }
    s.cells = kept;
    s.selection = {joined};
    setStructure(s, QStringLiteral("Join Cells"));
}

void QntElementTable::splitCells(QObject *)
{
    Structure s = structure();
    bool changed = false;
    QList<CellPlacement> result;
    for (const auto &p : std::as_const(s.cells)) {
        if (!s.selection.contains(p.cell) || (p.rowSpan == 1 && p.columnSpan == 1)) {
            result.append(p);
            continue;
        }
        changed = true;
        for (int r = p.row; r < p.row + p.rowSpan; ++r) {
            for (int c = p.column; c < p.column + p.columnSpan; ++c)
                result.append({r, c, 1, 1, r == p.row && c == p.column ? p.cell : newCell()});
        }
    }
    if (!changed)
        return;
    s.cells = result;
    setStructure(s, QStringLiteral("Split Cells"));
}

VRObjectList QntElementTable::selectedCells() const
{
    QList<CellPlacement> sorted;
    for (const auto &p : m_cells) {
        if (m_selection.contains(p.cell))
            sorted.append(p);
    }
    std::sort(sorted.begin(), sorted.end(), [](const CellPlacement &a, const CellPlacement &b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    VRObjectList result;
    for (const auto &p : std::as_const(sorted))
        result.append(p.cell);
    return result;
}

VRObjectList QntElementTable::cells() const
{
    QList<CellPlacement> sorted = m_cells;
    std::sort(sorted.begin(), sorted.end(), [](const CellPlacement &a, const CellPlacement &b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    VRObjectList result;
    for (const auto &p : std::as_const(sorted))
        result.append(p.cell);
    return result;
}

void QntElementTable::selectCells(const VRObjectList &cells)
{
    QList<std::shared_ptr<QntTextCell>> selection;
    for (const auto &c : cells) {
        for (const auto &p : std::as_const(m_cells)) {
            if (p.cell == c && !selection.contains(p.cell))
                selection.append(p.cell);
        }
    }
    if (selection == m_selection)
        return;
    m_selection = selection;
    notifyVisualChange();
    postSelectionChanged();
}

void QntElementTable::selectAllTextCells()
{
    selectCells(cells());
}

QntTextCell *QntElementTable::activeTextCell() const
{
    for (const auto &p : m_cells) {
        if (p.cell->isEditing())
            return p.cell.get();
    }
    const VRObjectList selected = selectedCells();
    return selected.isEmpty() ? nullptr : static_cast<QntTextCell *>(selected.first().get());
}

void QntElementTable::setLook(const Look &look)
{
    if (look == m_look)
        return;
    const Look old = m_look;
    recordUndo("setLook:", QStringLiteral("Change Table"),
               [old](VRDrawableObject &o) { static_cast<QntElementTable &>(o).setLook(old); });
    m_look = look;
    notifyVisualChange();
}

void QntElementTable::setShowGrid(bool show)
{
    Look l = m_look;
    l.showGrid = show;
    setLook(l);
}

void QntElementTable::setShowTableFrame(bool show)
{
    Look l = m_look;
    l.showFrame = show;
    setLook(l);
}

void QntElementTable::setGridColor(const QColor &colour)
{
    if (!colour.isValid())
        return;
    Look l = m_look;
    l.gridColour = colour;
    setLook(l);
}

void QntElementTable::setGridLineWidth(double width)
{
    if (!std::isfinite(width) || width < 0)
        return;
    Look l = m_look;
    l.gridWidth = width;
    setLook(l);
}

void QntElementTable::setRectangleCornerRaduis(double radius)
{
    if (!std::isfinite(radius) || radius < 0)
        return;
    Look l = m_look;
    l.cornerRadius = radius;
    setLook(l);
}

QList<std::shared_ptr<QntTextCell>> QntElementTable::cellsForPaddingChange(bool all) const
{
    if (!all && !m_selection.isEmpty())
        return m_selection;
    QList<std::shared_ptr<QntTextCell>> result;
    for (const auto &p : m_cells)
        result.append(p.cell);
    return result;
}

double QntElementTable::cellPaddingTopBottom() const
{
    const auto cells = cellsForPaddingChange(false);
    return cells.isEmpty() ? 5.0 : cells.first()->paddingTopBottom();
}

double QntElementTable::cellPaddingLeftRight() const
{
    const auto cells = cellsForPaddingChange(false);
    return cells.isEmpty() ? 5.0 : cells.first()->paddingLeftRight();
}

void QntElementTable::setCellPaddingTopBottom(double padding, bool all)
{
    VRUndoManager *um = undoManager();
    if (um)
        um->beginUndoGrouping();
    for (const auto &c : cellsForPaddingChange(all))
        c->setPaddings(c->paddingLeftRight(), padding);
    if (um) {
        um->endUndoGrouping();
        um->setActionName(QStringLiteral("Change Cell Padding"));
    }
}

void QntElementTable::setCellPaddingLeftRight(double padding, bool all)
{
    VRUndoManager *um = undoManager();
    if (um)
        um->beginUndoGrouping();
    for (const auto &c : cellsForPaddingChange(all))
        c->setPaddings(padding, c->paddingTopBottom());
    if (um) {
        um->endUndoGrouping();
        um->setActionName(QStringLiteral("Change Cell Padding"));
    }
}

double QntElementTable::cellTextAngle() const
{
    const auto cells = cellsForPaddingChange(false);
    return cells.isEmpty() ? 0.0 : cells.first()->textAngle();
}

void QntElementTable::setCellTextAngle(double degrees, bool all)
{
    VRUndoManager *um = undoManager();
    if (um)
        um->beginUndoGrouping();
    for (const auto &c : cellsForPaddingChange(all))
        c->setTextAngle(degrees);
    if (um) {
        um->endUndoGrouping();
        um->setActionName(QStringLiteral("Change Text Angle"));
    }
}

void QntElementTable::drawContent(QPainter &painter) const
{
    // Relative radii count in per cent of half a side.
    const auto relativeRadius = [this](double side) {
        return side > 0 ? std::min(100.0, m_look.cornerRadius / side * 200) : 0.0;
    };
    QPainterPath unitFrame;
    unitFrame.addRoundedRect(QRectF(-0.5, -0.5, 1, 1), relativeRadius(m_size.width()),
                             relativeRadius(m_size.height()), Qt::RelativeSize);
    const QPainterPath frame = transformIncludingParent().map(unitFrame);
    QPen pen(m_look.gridColour);
    pen.setWidthF(m_look.gridWidth);
    pen.setCosmetic(false);
    painter.save();
    if (m_look.cornerRadius > 0) {
        // Rounded corners: the cells' fills and grid lines end at the frame's outer edge, so the
        // corner cells do not stick out square.
        QPainterPath outline = frame;
        if (m_look.gridWidth > 0) {
            QPainterPathStroker stroker;
            stroker.setWidth(m_look.gridWidth);
            outline = outline.united(stroker.createStroke(frame));
        }
        painter.setClipPath(outline, Qt::IntersectClip);
    }
    QntElement::drawContent(painter);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(pen);
    if (m_look.showGrid && m_look.gridWidth > 0) {
        for (const auto &p : m_cells)
            painter.drawPath(p.cell->renderingPath());
    }
    painter.restore();
    if (m_look.showFrame && m_look.gridWidth > 0) {
        painter.save();
        painter.setBrush(Qt::NoBrush);
        painter.setPen(pen);
        painter.drawPath(frame);
        painter.restore();
    }
}

QRectF QntElementTable::computeBounds(VRBoundsMeasure measure) const
{
    // The grid lines and the frame are drawn centred on the cells' edges and the outline: half a
    // line lies outside the outline (the pen's bevelled corners reach no further).
    QRectF r = QntElement::computeBounds(measure);
    if ((m_look.showGrid || m_look.showFrame) && m_look.gridWidth > 0) {
        const double half = m_look.gridWidth / 2;
        r = r.united(logicalBounds().adjusted(-half, -half, half, half));
    }
    return r;
}

VRObjectRef QntElementTable::copy() const
{
    auto object = QntElement::copy();
    if (!object)
        return object;
    auto &t = static_cast<QntElementTable &>(*object);
    // Members were deep-copied in order; rebuild the placements on those copies.
    const VRObjectList copied = t.groupObjects();
    t.m_rows = m_rows;
    t.m_columns = m_columns;
    t.m_look = m_look;
    t.m_cells.clear();
    for (int i = 0; i < m_cells.size() && i < copied.size(); ++i) {
        CellPlacement p = m_cells.at(i);
        p.cell = std::static_pointer_cast<QntTextCell>(copied.at(i));
        t.m_cells.append(p);
    }
    return object;
}

void QntElementTable::writeRecord(VRJsonWriter &r, VRArchiveWriter &writer) const
{
    QntElement::writeRecord(r, writer);
    r.remove(QLatin1String("members")); // the cells are the members
    r.beginArray("rows");
    for (double h : m_rows)
        r.value(h);
    r.end();
    r.beginArray("columns");
    for (double w : m_columns)
        r.value(w);
    r.end();
    r.beginArray("cells");
    for (const auto &p : m_cells) {
        r.beginObject();
        r.insert("row", p.row);
        r.insert("column", p.column);
        r.insert("rowSpan", p.rowSpan);
        r.insert("columnSpan", p.columnSpan);
        r.key(QLatin1String("cell"));
        writer.writeObject(r, *p.cell);
        r.end();
    }
    r.end();
    r.insert("showGrid", m_look.showGrid);
    r.insert("showTableFrame", m_look.showFrame);
    r.insert("gridColor", VRArchiveWriter::colour(m_look.gridColour));
    r.insert("gridLineWidth", m_look.gridWidth);
    r.insert("cornerRadius", m_look.cornerRadius);
}

bool QntElementTable::readRecord(const QJsonObject &r, VRArchiveReader &reader, const QString &path)
{
    if (!QntElement::readRecord(r, reader, path))
        return false;
    QJsonArray rows, columns, cells;
    if (!reader.readArray(r, QStringLiteral("rows"), path, rows, true)
        || !reader.readArray(r, QStringLiteral("columns"), path, columns, true)
        || !reader.readArray(r, QStringLiteral("cells"), path, cells, true)
        || !reader.readBool(r, QStringLiteral("showGrid"), path, m_look.showGrid)
        || !reader.readBool(r, QStringLiteral("showTableFrame"), path, m_look.showFrame)
        || !reader.readColour(r, QStringLiteral("gridColor"), path, m_look.gridColour)
        || !reader.readNumber(r, QStringLiteral("gridLineWidth"), path, m_look.gridWidth, false, 0,
                              1e4)
        || !reader.readNumber(r, QStringLiteral("cornerRadius"), path, m_look.cornerRadius, false,
                              0, 1e6))
        return false;
    if (rows.isEmpty() || columns.isEmpty() || rows.size() > kMaximumRowsOrColumns
        || columns.size() > kMaximumRowsOrColumns)
        return reader.fail(path + QStringLiteral(".rows"),
                           QStringLiteral("a table needs 1 to 1000 rows and columns"));
    auto readExtents = [&](const QJsonArray &array, const QString &key, QList<double> &out) {
        for (int i = 0; i < array.size(); ++i) {
            const double v = array.at(i).toDouble(-1);
            if (!array.at(i).isDouble() || !std::isfinite(v) || v < 0
                || v > VRArchiveReader::kMaximumCoordinate)
                return reader.fail(path + QStringLiteral(".%1[%2]").arg(key).arg(i),
                                   VRArchiveReader::typeError("a non-negative number"));
            out.append(v);
        }
        return true;
    };
    QList<double> heights, widths;
    if (!readExtents(rows, QStringLiteral("rows"), heights)
        || !readExtents(columns, QStringLiteral("columns"), widths))
        return false;
    QList<CellPlacement> placements;
    QVector<bool> covered(heights.size() * widths.size(), false);
    for (int i = 0; i < cells.size(); ++i) {
        const QString cp = path + QStringLiteral(".cells[%1]").arg(i);
        if (!cells.at(i).isObject())
            return reader.fail(cp, VRArchiveReader::typeError("a cell placement"));
        const QJsonObject o = cells.at(i).toObject();
        CellPlacement p;
        if (!reader.readInt(o, QStringLiteral("row"), cp, p.row, true, 0, int(heights.size()) - 1)
            || !reader.readInt(o, QStringLiteral("column"), cp, p.column, true, 0,
                               int(widths.size()) - 1)
            || !reader.readInt(o, QStringLiteral("rowSpan"), cp, p.rowSpan, false, 1,
                               int(heights.size()) - p.row)
            || !reader.readInt(o, QStringLiteral("columnSpan"), cp, p.columnSpan, false, 1,
                               int(widths.size()) - p.column))
            return false;
        for (int rr = p.row; rr < p.row + p.rowSpan; ++rr) {
            for (int cc = p.column; cc < p.column + p.columnSpan; ++cc) {
                bool &slot = covered[rr * widths.size() + cc];
                if (slot)
                    return reader.fail(cp, QStringLiteral("cells overlap"));
                slot = true;
            }
        }
        VRObjectRef cell =
            reader.readObject(o.value(QStringLiteral("cell")), cp + QStringLiteral(".cell"));
        if (!cell)
            return false;
        if (!cell->isKindOf<QntTextCell>())
            return reader.fail(cp + QStringLiteral(".cell"),
                               QStringLiteral("expected a table cell"));
        p.cell = std::static_pointer_cast<QntTextCell>(cell);
        placements.append(p);
    }
    m_rows = heights;
    m_columns = widths;
    m_cells = placements;
    m_selection.clear();
    // Keep the stored frame: lay the cells out in content coordinates only.
    const QPointF location = m_location;
    const QSizeF size = m_size;
    relayout();
    m_location = location;
    m_size = size;
    invalidateBoundsCache();
    return true;
}
