// QntElementModeInspector: the tool column, filled by the element's class and the notation,
// and the dispatch of its buttons by title.
#include "inspectors/QntElementModeInspector.h"

#include "inspectors/QntButtonCell.h"
#include "inspectors/QntButtonMatrix.h"

#include "framework/base/VRConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntImageShape.h"
#include "framework/model/QntText.h"
#include "framework/model/QntUMLSequenceElement.h"
#include "framework/model/VRDrawing.h"
#include "framework/notations/QntNotation.h"
#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRDrawingView.h"
#include "platform/ImageResources.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPainter>
#include <QPainterPath>

namespace {
// Line art for the column's buttons, drawn in white at any size; a picture of that name in the
// application's resources wins.
QIcon columnIcon(const QString &name)
{
    const QIcon shipped = ImageResources::imageNamed(name);
    if (!shipped.isNull())
        return shipped;
    QPixmap pixmap(56, 56);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    if (name == QStringLiteral("Qnt Connector")) {
        p.drawEllipse(QRectF(6, 34, 14, 14));
        p.drawLine(QPointF(18, 36), QPointF(44, 12));
        QPainterPath head;
        head.moveTo(48, 8);
        head.lineTo(32, 12);
        head.lineTo(44, 24);
        head.closeSubpath();
        p.setBrush(Qt::white);
        p.drawPath(head);
    } else if (name == QStringLiteral("ReplaceElement")) {
        p.drawRect(QRectF(6, 6, 20, 20));
        p.drawEllipse(QRectF(30, 30, 20, 20));
        p.drawLine(QPointF(34, 12), QPointF(46, 12));
        p.drawLine(QPointF(46, 12), QPointF(46, 24));
        p.drawLine(QPointF(22, 44), QPointF(10, 44));
        p.drawLine(QPointF(10, 44), QPointF(10, 32));
    } else if (name == QStringLiteral("RoundedRect")) {
        p.drawRoundedRect(QRectF(8, 12, 40, 32), 8, 8);
    } else if (name == QStringLiteral("Qnt Text Editor")) {
        p.drawLine(QPointF(12, 12), QPointF(44, 12));
        p.drawLine(QPointF(28, 12), QPointF(28, 46));
    } else if (name.startsWith(QStringLiteral("Table"))) {
        p.drawRect(QRectF(6, 10, 44, 36));
        p.drawLine(QPointF(6, 22), QPointF(50, 22));
        p.drawLine(QPointF(28, 10), QPointF(28, 46));
        p.setPen(QPen(QColor(250, 210, 90), 4, Qt::SolidLine, Qt::RoundCap));
        if (name == QStringLiteral("TableAddRow") || name == QStringLiteral("TableAddColumn")) {
            p.drawLine(QPointF(38, 34), QPointF(50, 34));
            p.drawLine(QPointF(44, 28), QPointF(44, 40));
        } else if (name == QStringLiteral("TableRemoveRow")
                   || name == QStringLiteral("TableRemoveColumn")) {
            p.drawLine(QPointF(38, 34), QPointF(50, 34));
        } else if (name == QStringLiteral("TableJoinCells")) {
            p.drawLine(QPointF(18, 34), QPointF(38, 34));
        } else if (name == QStringLiteral("TableSplitCell")) {
            p.drawLine(QPointF(28, 26), QPointF(28, 42));
        } else if (name == QStringLiteral("TableCellStyle")) {
            p.setBrush(QColor(250, 210, 90));
            p.drawRect(QRectF(30, 24, 18, 20));
        }
    } else if (name == QStringLiteral("StickySpot")) {
        p.drawRoundedRect(QRectF(8, 12, 40, 32), 4, 4);
        p.setBrush(QColor(250, 210, 90));
        p.drawEllipse(QPointF(48, 28), 5, 5);
        p.drawEllipse(QPointF(28, 12), 5, 5);
    } else {
        p.setBrush(QColor(120, 170, 230));
        p.drawRoundedRect(QRectF(8, 12, 40, 32), 4, 4);
        p.setPen(QPen(QColor(250, 210, 90), 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(18, 38), QPointF(38, 18));
    }
    return QIcon(pixmap);
}

QntButtonCell *columnCell(QntButtonCell *cell, const QString &title, const QString &image,
                          const QString &toolTip)
{
    cell->setObjectName(title);
    cell->setText(title);
    cell->setIcon(columnIcon(image));
    cell->setIconSize(QSize(26, 26));
    cell->setToolTip(toolTip);
    cell->setBordered(false);
    return cell;
}
} // namespace

void QntElementModeInspector::populateToolMatrix()
{
    populateMatrix(mToolMatrix);
}

void QntElementModeInspector::populateMatrix(QntButtonMatrix *matrix)
{
    matrix->removeAllRows();
    const VRObjectRef object = _contextObject;
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    if (!object || !object->isKindOf<QntElement>()) {
        matrix->sizeToCells();
        return;
    }
    const auto *element = static_cast<const QntElement *>(object.get());
    const bool customizable = notation && notation->isCustomizable();
    const bool plain = object->isMemberOf<QntElement>() && element->allElements().isEmpty();
    const auto add = [matrix](QntButtonCell *cell, const QString &title, int tag,
                              const QString &toolName) {
        QntButtonMatrix::Cell entry;
        entry.button = cell;
        entry.title = title;
        entry.tag = tag;
        entry.representedObject =
            toolName.isEmpty() ? nullptr : VRDrawingTool::drawingToolWithName(toolName);
        matrix->addRow(entry);
    };

    add(columnCell(new ConnectorButtonCell, QStringLiteral("Connector"),
                   QStringLiteral("Qnt Connector"), tr("Connector (c)")),
        QStringLiteral("Connector"), 0,
        object->isKindOf<QntUMLSequenceElement>() ? kVRQntUMLSequenceConnectorToolName
                                                  : QStringLiteral("Connector"));
    const bool table = object->isKindOf<QntElementTable>();
    const auto *asTable = table ? static_cast<const QntElementTable *>(object.get()) : nullptr;
    if (!table || asTable->selection().size() <= 1)
        add(columnCell(new TextEditorButtonCell, QStringLiteral("Text Editor"),
                       QStringLiteral("Qnt Text Editor"), tr("Text Editor (t)")),
            QStringLiteral("Text Editor"), 0, QStringLiteral("Text Editor"));
    if (plain || object->isMemberOf<QntText>())
        add(columnCell(new QntButtonCell, QStringLiteral("Replace Element"),
                       QStringLiteral("ReplaceElement"), tr("Replace Element")),
            QStringLiteral("Replace Element"), 0, QStringLiteral("Replace Element"));
    if (!customizable && plain)
        add(columnCell(new QntButtonCell, QStringLiteral("Contour Style"),
                       QStringLiteral("RoundedRect"), tr("Contour Style")),
            QStringLiteral("Contour Style"), 0, QStringLiteral("Contour Style"));
    if (object->isMemberOf<QntElement>() && !customizable
        && !element->ID().endsWith(QStringLiteral("IMPORTED")))
        add(columnCell(new QntButtonCell, QStringLiteral("Color Palette"), QString(),
                       tr("Color Palette")),
            QStringLiteral("Color Palette"), 0, QString());
    if (plain && !customizable)
        add(columnCell(new QntButtonCell, QStringLiteral("Sticky Spot"),
                       QStringLiteral("StickySpot"), tr("Sticky Spot")),
            QStringLiteral("Sticky Spot"), 0, QString());
    if (table) {
        add(columnCell(new QntButtonCell, QStringLiteral("Table Style"),
                       QStringLiteral("TableStyle"), tr("Table Style")),
            QStringLiteral("Table Style"), 0, QString());
        add(columnCell(new QntButtonCell, QStringLiteral("Cell Style"),
                       QStringLiteral("TableCellStyle"), tr("Cell Style")),
            QStringLiteral("Cell Style"), 0, QString());
        const struct {
            const char *title, *image, *action;
        } operations[] = {{"Add Row", "TableAddRow", "addRow:"},
                          {"Remove Row", "TableRemoveRow", "removeRow:"},
                          {"Add Column", "TableAddColumn", "addColumn:"},
                          {"Remove Column", "TableRemoveColumn", "removeColumn:"},
                          {"Join Cells", "TableJoinCells", "joinCells:"},
                          {"Split Cells", "TableSplitCell", "splitCells:"}};
        for (const auto &operation : operations) {
            if (!asTable->validateAction(QByteArray(operation.action)))
                continue;
            const QString title = QString::fromLatin1(operation.title);
            add(columnCell(new QntButtonCell, title, QString::fromLatin1(operation.image),
                           tr(operation.title)),
                title, 0, QString());
        }
    }
    if (object->isKindOf<QntImageShape>())
        add(columnCell(new QntButtonCell, QStringLiteral("Image Shape Style"),
                       QStringLiteral("RoundedRect"), tr("Image Shape Style")),
            QStringLiteral("Image Shape Style"), 11, QString());
    if (customizable && plain)
        add(columnCell(new QntButtonCell, QStringLiteral("Element Style"),
                       QStringLiteral("CustomElementStyle"), tr("Element Style")),
            QStringLiteral("Element Style"), 11, QString());
    matrix->sizeToCells();
}

void QntElementModeInspector::toolButtonMatrixAction(QntButtonMatrix *matrix)
{
    const QntButtonMatrix::Cell *cell = matrix ? matrix->selectedCell() : nullptr;
    if (!cell)
        return;
    VRDrawingTool *tool = cell->representedObject;
    const QString toolName = tool ? tool->registeredName() : QString();
    const SimpleStyleControls &controls = simpleStyleControls();
    controls.onlyContourModeCheckbox->hide();

    if (toolName.endsWith(QStringLiteral("Connector"))) {
        const std::shared_ptr<QntElement> element = contextElement();
        if (!element) {
            tool->set();
            return;
        }
        element->setHighlightedForConnectorSnapping(true);
        element->notifyVisualChange();
        closeAttachedWindows();
        tool->set();
        VRDrawingDocument *document = currentDocument();
        if (VRDrawingView *view = document ? document->mainView() : nullptr)
            element->postMouseDownAtPoint(element->location(), view);
        return;
    }
    const QString title = cell->title;
    const auto tableCommand = [this](void (QntElementTable::*command)(QObject *)) {
        closeAttachedTextEditorWindow();
        closeAttachedTableStyleWindow();
        if (_contextObject && _contextObject->isKindOf<QntElementTable>()) {
            const VRObjectRef keep = _contextObject;
            (static_cast<QntElementTable *>(keep.get())->*command)(nullptr);
            // The column shows what the table allows now.
            populateMatrix(mToolMatrix);
            if (_viewVertical)
                _viewVertical->resize(_viewVertical->sizeHint());
            if (_attachedWindow)
                _attachedWindow->redisplay();
        }
    };
    if (title == QStringLiteral("Sticky Spot")) {
        createStickyPointToolbar(matrix);
    } else if (title == QStringLiteral("Color Palette") || title.isEmpty()) {
        closeAttachedReplaceElementWindow();
        createColorToolbar(matrix);
    } else if (title == QStringLiteral("Text Editor")) {
        closeAttachedReplaceElementWindow();
        closeAttachedTableStyleWindow();
        closeAttachedCellStyleWindow();
        if (contextElement())
            openElementTextEditor();
        return;
    } else if (title == QStringLiteral("Table Style")) {
        closeAttachedTextEditorWindow();
        closeAttachedCellStyleWindow();
        createTableStyleToolbar(matrix);
    } else if (title == QStringLiteral("Cell Style")) {
        closeAttachedTextEditorWindow();
        closeAttachedTableStyleWindow();
        createCellStyleToolbar(matrix);
    } else if (title == QStringLiteral("Add Row")) {
        tableCommand(&QntElementTable::addRow);
    } else if (title == QStringLiteral("Remove Row")) {
        tableCommand(&QntElementTable::removeRow);
    } else if (title == QStringLiteral("Add Column")) {
        tableCommand(&QntElementTable::addColumn);
    } else if (title == QStringLiteral("Remove Column")) {
        tableCommand(&QntElementTable::removeColumn);
    } else if (title == QStringLiteral("Join Cells")) {
        tableCommand(&QntElementTable::joinCells);
    } else if (title == QStringLiteral("Split Cells")) {
        tableCommand(&QntElementTable::splitCells);
    } else if (title == QStringLiteral("Image Shape Style")) {
        closeAttachedTextEditorWindow();
        createImageShapeStyleToolbar(matrix);
    } else if (title == QStringLiteral("Element Style")) {
        closeAttachedReplaceElementWindow();
        closeAttachedTextEditorWindow();
        populateRotationControls();
        createSimpleStyleToolbar(matrix);
    } else if (title == QStringLiteral("Replace Element")) {
        closeAttachedSimpleStyleWindow();
        createReplaceElementToolbar(matrix);
    } else if (title == QStringLiteral("Contour Style")) {
        closeAttachedReplaceElementWindow();
        closeAttachedSimpleStyleWindow();
        closeAttachedTextEditorWindow();
        populateRotationControls();
        createSimpleStyleToolbar(matrix);
        if (const std::shared_ptr<QntElement> element = contextElement())
            controls.onlyContourModeCheckbox->setChecked(element->onlyContourMode());
        controls.onlyContourModeCheckbox->show();
        if (_viewSimpleStyle)
            _viewSimpleStyle->resize(_viewSimpleStyle->sizeHint());
        if (_attachedSimpleStyleWindow)
            _attachedSimpleStyleWindow->redisplay();
    }
    if (tool)
        tool->set();
}
