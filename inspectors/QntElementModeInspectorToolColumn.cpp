// QntElementModeInspector: the tool column, filled by the element's class and the notation,
// and the dispatch of its buttons by title.
#include "inspectors/QntElementModeInspector.h"

#include "inspectors/QntButtonCell.h"
#include "inspectors/QntButtonMatrix.h"

#include "framework/base/VRConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntElement.h"
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
    if (plain || object->isMemberOf<QntText>())
        add(columnCell(new QntButtonCell, QStringLiteral("Replace Element"),
                       QStringLiteral("ReplaceElement"), tr("Replace Element")),
            QStringLiteral("Replace Element"), 0, QStringLiteral("Replace Element"));
    if (!customizable && plain)
        add(columnCell(new QntButtonCell, QStringLiteral("Contour Style"),
                       QStringLiteral("RoundedRect"), tr("Contour Style")),
            QStringLiteral("Contour Style"), 0, QStringLiteral("Contour Style"));
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
    if (title == QStringLiteral("Element Style")) {
        closeAttachedReplaceElementWindow();
        createSimpleStyleToolbar(matrix);
    } else if (title == QStringLiteral("Replace Element")) {
        closeAttachedSimpleStyleWindow();
        createReplaceElementToolbar(matrix);
    } else if (title == QStringLiteral("Contour Style")) {
        closeAttachedReplaceElementWindow();
        closeAttachedSimpleStyleWindow();
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
