// QntElementModeInspector: the element text bar, and the rotation and padding modes.
#include "inspectors/QntElementModeInspector.h"

#include "inspectors/AXAttachedWindow.h"
#include "inspectors/QntButtonMatrix.h"
#include "inspectors/QntDoubleSlider.h"
#include "inspectors/QntElementTextEditor.h"
#include "inspectors/QntTextFieldCell.h"

#include "app/common/QntConstants.h"
#include "framework/base/VRConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntTextCell.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/view/QntContextTextEditorView.h"
#include "framework/view/VRDrawingView.h"

#include <QGridLayout>
#include <QLabel>
#include <QTextEdit>

#include <cmath>

namespace {
// The object whose text the bar edits: a table edits its active cell.
VRObjectRef editedTextObject(const std::shared_ptr<QntElement> &element)
{
    if (element && element->isKindOf<QntElementTable>()) {
        auto *table = static_cast<QntElementTable *>(element.get());
        if (QntTextCell *cell = table->activeTextCell())
            return cell->shared_from_this();
    }
    return element;
}
} // namespace

void QntElementModeInspector::openElementTextEditor()
{
    const std::shared_ptr<QntElement> element = contextElement();
    if (!element)
        return;
    VRDrawingDocument *document = currentDocument();
    VRDrawingView *view = document ? document->mainView() : nullptr;
    if (view && view->inlineEditor())
        return;
    if (!mElementTextEditor || !mElementTextEditor->attachedWindow()) {
        if (mElementTextEditor) {
            mElementTextEditor->closeAttachedWindows();
            mElementTextEditor->deleteLater();
        }
        mElementTextEditor = new QntElementTextEditor(this);
    }
    setPaddingMode(0);
    mElementTextEditor->setPaddingMode(0);
    mElementTextEditor->setParentModeInspector(this);
    const VRObjectRef edited = editedTextObject(element);
    edited->startEditingInContextEditorWithView(mElementTextEditor->editorView());
    closeAttachedWindow();
    mElementTextEditor->showEditorForSelection({element});
    mElementTextEditor->setupTextAttributesControls();
    QVariantMap hint{
        {QStringLiteral("msg"), tr("Type the text; OK (Ctrl+Return) keeps it, Cancel (Escape) "
                                   "discards every change.")}};
    if (AXAttachedWindow *window = mElementTextEditor->attachedWindow())
        hint.insert(QStringLiteral("avoidRect"), window->frameGeometry());
    NotificationCenter::defaultCenter().post(kQntShowInfoPanelNotification, this, hint);
    if (AXAttachedWindow *window = mElementTextEditor->attachedWindow()) {
        window->orderFront(true);
        QTextEdit *text = mElementTextEditor->editorView()->textEditingView();
        text->setFocus(Qt::ActiveWindowFocusReason);
        // Existing text is selected; an empty one keeps the typing attributes just prepared.
        if (!text->document()->isEmpty())
            text->selectAll();
    }
}

void QntElementModeInspector::closeAttachedTextEditorWindow()
{
    if (mElementTextEditor && mElementTextEditor->attachedWindow()) {
        // Closing by other means than Cancel keeps what was typed.
        const VRObjectRef edited = mElementTextEditor->editorView()->editedObject();
        mElementTextEditor->closeAttachedWindows();
        if (edited)
            edited->endEditingInContextEditor(true);
        mElementTextEditor->contextMenuDidClose();
    }
    if (const std::shared_ptr<QntElement> element = contextElement())
        element->endEditingInContextEditor(true);
}

void QntElementModeInspector::highlightElementInGroupChanged(const Notification &notification)
{
    if (!mElementTextEditor || !mElementTextEditor->attachedWindow())
        return;
    const VRObjectRef highlighted =
        notification.userInfo.value(QStringLiteral("object")).value<VRObjectRef>();
    if (!highlighted || !highlighted->isKindOf<QntElement>())
        return;
    QntContextTextEditorView *editorView = mElementTextEditor->editorView();
    const VRObjectRef edited = editorView->editedObject();
    if (edited == highlighted)
        return;
    if (edited)
        edited->endEditingInContextEditor(true);
    highlighted->startEditingInContextEditorWithView(editorView);
    mElementTextEditor->setupTextAttributesControls();
    // The double-click that moved the highlight made the drawing's window the active one: the
    // bar takes the keyboard back, so the typing goes to the member and not to the tool keys.
    mElementTextEditor->attachedWindow()->orderFront(true);
    QTextEdit *text = editorView->textEditingView();
    text->setFocus(Qt::ActiveWindowFocusReason);
    if (!text->document()->isEmpty())
        text->selectAll();
}

void QntElementModeInspector::noHighlightElementInGroup(const Notification &)
{
    if (mElementTextEditor && mElementTextEditor->attachedWindow())
        closeAttachedTextEditorWindow();
}

void QntElementModeInspector::openTextEditor(const Notification &notification)
{
    VRObjectRef object = notification.userInfo.value(QStringLiteral("object")).value<VRObjectRef>();
    if (!object) {
        VRDrawing *drawing = currentDrawing();
        auto *layer = drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
        object = layer ? layer->singleSelection() : nullptr;
    }
    if (!object)
        return;
    // A cell double-clicked in a table edits the table with that cell active.
    if (object->isKindOf<QntTextCell>()) {
        if (QntElementTable *table = static_cast<QntTextCell *>(object.get())->owner())
            object = table->shared_from_this();
    }
    if (!object->isKindOf<QntElement>())
        return;
    closeAttachedWindows();
    setContextObject(object);
    menuPosition();
    openElementTextEditor();
}

void QntElementModeInspector::elementTableTextCellSelectionChanged(const Notification &notification)
{
    // Cells the toolbars pick themselves ("Apply to all cells") leave the open toolbar alone.
    if (!_attachedWindow || !canShowAttachedWindow() || m_selectingAllCells)
        return;
    const VRObjectRef table =
        notification.userInfo.value(QStringLiteral("object")).value<VRObjectRef>();
    closeAttachedWindows();
    if (table)
        redisplayContentForSelection({table});
}

void QntElementModeInspector::setPaddingMode(int mode)
{
    _paddingMode = mode;
    if (mElementTextEditor)
        mElementTextEditor->setPaddingMode(mode);
    if (_tableTextEditor)
        _tableTextEditor->setPaddingMode(mode);
}

void QntElementModeInspector::setAngleValue(double degrees)
{
    if (!std::isfinite(degrees))
        return;
    const double radians = degrees * 0.017453292519943295;
    for (const VRObjectRef &object : selectedObjectForCurrentTarget()) {
        if (!object || turnTableText(object, degrees, false))
            continue;
        if (object->isKindOf<QntElement>()) {
            auto *element = static_cast<QntElement *>(object.get());
            element->setAngle(radians);
            element->updateConnectedConnectors();
        } else if (object->isKindOf<QntElementArrow>()) {
            object->setAngle(radians);
            object->notifyVisualChange();
        }
    }
}

void QntElementModeInspector::angleAction()
{
    if (m_populating)
        return;
    setAngleValue(_angleSlider->doubleValue());
    _angleTextbox->setText(formattedNumber(_angleSlider->doubleValue()));
}

void QntElementModeInspector::angleTextboxAction()
{
    const std::optional<double> typed = numberFromField(_angleTextbox, _angleSlider->doubleValue());
    if (!typed)
        return;
    const double degrees = std::clamp(*typed, _angleSlider->minValue(), _angleSlider->maxValue());
    setAngleValue(degrees);
    _angleSlider->setDoubleValue(degrees);
}

void QntElementModeInspector::updatePaddingControlsForElement(QntElement *element)
{
    if (!m_table.leftRightPaddingSlider)
        return;
    if (_paddingMode == 1 && element) {
        QSizeF size = element->size();
        if (element->isKindOf<QntElementTable>()) {
            if (QntTextCell *cell = static_cast<QntElementTable *>(element)->activeTextCell())
                size = cell->size();
        }
        m_table.leftRightPaddingSlider->setMaxValue(size.width());
        m_table.topBottomPaddingSlider->setMaxValue(size.height());
    } else {
        m_table.leftRightPaddingSlider->setMaxValue(1.0);
        m_table.topBottomPaddingSlider->setMaxValue(1.0);
    }
}

void QntElementModeInspector::addRotationControls()
{
    if (_angleSlider)
        return;
    QWidget *view = simpleStyleView();
    auto *grid = qobject_cast<QGridLayout *>(view->layout());
    if (!grid)
        return;
    _angleSlider = new QntDoubleSlider(view);
    _angleSlider->setObjectName(QStringLiteral("angleSlider"));
    _angleSlider->setMinValue(-180);
    _angleSlider->setMaxValue(180);
    _angleTextbox = QntTextFieldCell::numberField(view, QStringLiteral("angleTextbox"));
    const int row = grid->rowCount();
    auto *label = new QLabel(tr("Rotation"), view);
    label->setStyleSheet(QStringLiteral("color: white;"));
    grid->addWidget(label, row, 0);
    grid->addWidget(_angleSlider, row, 1);
    grid->addWidget(_angleTextbox, row, 2);
    auto *unit = new QLabel(QStringLiteral("\u00B0"), view);
    unit->setStyleSheet(QStringLiteral("color: white;"));
    grid->addWidget(unit, row, 3);
    connect(_angleSlider, &QntDoubleSlider::doubleValueChanged, this, [this] { angleAction(); });
    connect(_angleTextbox, &QLineEdit::editingFinished, this, [this] {
        if (!_angleTextbox->isModified())
            return;
        _angleTextbox->setModified(false);
        angleTextboxAction();
    });
    connect(_angleTextbox, &QLineEdit::returnPressed, this, [this] { angleTextboxAction(); });
}

void QntElementModeInspector::populateRotationControls()
{
    addRotationControls();
    if (!_angleSlider)
        return;
    m_populating = true;
    const std::shared_ptr<QntElement> element = contextElement();
    double degrees = element ? element->angle() / 0.017453292519943295 : 0.0;
    degrees = std::remainder(degrees, 360.0);
    _angleSlider->setDoubleValue(degrees);
    _angleTextbox->setText(formattedNumber(degrees));
    m_populating = false;
}
