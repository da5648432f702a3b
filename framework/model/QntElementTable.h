#pragma once

#include "framework/model/QntElement.h"
#include "framework/model/QntTextCell.h"

#include <QByteArray>
#include <QList>

// A table element of rows x columns of text cells; cells can be selected, joined, split and
// padded. Structural commands record one undo step each, named after the command.
class QntElementTable : public QntElement
{
    VR_CLASS(QntElementTable)
public:
    QntElementTable();
    // A table of rows x columns cells of the given size.
    static std::shared_ptr<QntElementTable> tableWithRows(int rows, int columns, QSizeF cellSize);

    struct CellPlacement {
        int row = 0;
        int column = 0;
        int rowSpan = 1;
        int columnSpan = 1;
        std::shared_ptr<QntTextCell> cell;
    };

    int rowCount() const { return int(m_rows.size()); }
    int columnCount() const { return int(m_columns.size()); }
    QList<double> rowHeights() const { return m_rows; }
    QList<double> columnWidths() const { return m_columns; }
    const QList<CellPlacement> &placements() const { return m_cells; }
    std::shared_ptr<QntTextCell> cellAt(int row, int column) const;

    bool validateAction(const QByteArray &action) const;
    void addRow(QObject *sender = nullptr);
    void removeRow(QObject *sender = nullptr);
    void addColumn(QObject *sender = nullptr);
    void removeColumn(QObject *sender = nullptr);
    void joinCells(QObject *sender = nullptr);
    void splitCells(QObject *sender = nullptr);

    VRObjectList selection() const { return selectedCells(); }
    // Row-major.
    VRObjectList selectedCells() const;
    VRObjectList cells() const;
    void selectCells(const VRObjectList &cells);
    void selectAllTextCells();
    QntTextCell *activeTextCell() const;
    QSizeF minCellSize() const { return QSizeF(8, 8); }

    bool showGrid() const { return m_look.showGrid; }
    void setShowGrid(bool show);
    bool showTableFrame() const { return m_look.showFrame; }
    void setShowTableFrame(bool show);
    QColor gridColor() const { return m_look.gridColour; }
    void setGridColor(const QColor &colour);
    double gridLineWidth() const { return m_look.gridWidth; }
    void setGridLineWidth(double width);
    double rectangleCornerRaduis() const { return m_look.cornerRadius; }
    void setRectangleCornerRaduis(double radius);

    double cellPaddingTopBottom() const;
    double cellPaddingLeftRight() const;
    void setCellPaddingTopBottom(double padding, bool applyToAllCells);
    void setCellPaddingLeftRight(double padding, bool applyToAllCells);
    double cellTextAngle() const;
    void setCellTextAngle(double degrees, bool applyToAllCells);

    VRObjectRef copy() const override;
    void writeRecord(VRJsonWriter &record, VRArchiveWriter &writer) const override;
    bool readRecord(const QJsonObject &record, VRArchiveReader &reader,
                    const QString &path) override;

protected:
    void drawContent(QPainter &painter) const override;
    QRectF computeBounds(VRBoundsMeasure measure) const override;

private:
    struct Structure {
        QList<double> rows;
        QList<double> columns;
        QList<CellPlacement> cells;
        QList<std::shared_ptr<QntTextCell>> selection;
    };
    struct Look {
        bool showGrid = true;
        bool showFrame = true;
        QColor gridColour = Qt::black;
        double gridWidth = 1.0;
        double cornerRadius = 0.0;
        bool operator==(const Look &) const = default;
    };
    Structure structure() const;
    // Replaces rows, columns, cells and selection; the table keeps its top-left corner and scale.
    void setStructure(const Structure &structure, const QString &actionName);
    void setLook(const Look &look);
    void relayout();
    void postSelectionChanged();
    std::shared_ptr<QntTextCell> newCell() const;
    // The row / column the command works at: the last selected cell's, else the last one.
    int targetRow() const;
    int targetColumn() const;
    bool selectionIsRectangle(int *top, int *left, int *bottom, int *right) const;
    QList<std::shared_ptr<QntTextCell>> cellsForPaddingChange(bool all) const;

    QList<double> m_rows;
    QList<double> m_columns;
    QList<CellPlacement> m_cells;
    QList<std::shared_ptr<QntTextCell>> m_selection;
    Look m_look;
};
