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

#include <QCheckBox>
#include <QComboBox>

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
    controls.saveAsDefaultsPopupButton->show();

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
        // A skin notation keeps no element defaults: the contour toolbar offers none.
        controls.saveAsDefaultsPopupButton->hide();
        if (_viewSimpleStyle)
            _viewSimpleStyle->resize(_viewSimpleStyle->sizeHint());
        if (_attachedSimpleStyleWindow)
            _attachedSimpleStyleWindow->redisplay();
    }
    if (tool)
        tool->set();
}
