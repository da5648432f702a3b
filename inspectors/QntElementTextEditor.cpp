#include "inspectors/QntElementTextEditor.h"

#include "inspectors/AXScreen.h"
#include "inspectors/QntButtonCell.h"
#include "inspectors/QntContextMenu.h"
#include "inspectors/QntDoubleSlider.h"
#include "inspectors/QntEscapedView.h"
#include "inspectors/QntTextFieldCell.h"
#include "inspectors/RoundedView.h"

#include "app/common/QntConstants.h"
#include "framework/base/VRConstants.h"
#include "framework/base/VRNumberFormat.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntImageShape.h"
#include "framework/model/QntText.h"
#include "framework/model/QntTextCell.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/view/VRDrawingView.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/QntContextTextEditorView.h"
#include "platform/TextView.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QTextEdit>
#include <QVBoxLayout>

#include <cmath>

namespace {
QString twoDigits(double value)
{
    return vrFormattedNumber(value, 2, VRDigitGrouping::None);
}
} // namespace

QntElementTextEditor::QntElementTextEditor(QObject *parent)
    : QntContextTextEditor(QStringLiteral("QntElementTextEditor"), parent)
{
    int row = buildView(QStringLiteral("QntElementFontSizeMenu"));
    auto *grid = static_cast<QGridLayout *>(_view->layout());
    QWidget *view = _view;
    const auto slider = [view](const QString &name, double min, double max) {
        return QntDoubleSlider::create(view, name, min, max);
    };
    const auto field = [view](const QString &name) {
        return QntTextFieldCell::numberField(view, name);
    };

    widthView_ = new QWidget(view);
    widthView_->setObjectName(QStringLiteral("widthView"));
    auto *widthRow = new QHBoxLayout(widthView_);
    widthRow->setContentsMargins(0, 0, 0, 0);
    widthRow->addWidget(new QLabel(tr("Width"), widthView_));
    widthSlider_ = slider(QStringLiteral("widthSlider"), 0, 1000);
    widthSlider_->setParent(widthView_);
    widthRow->addWidget(widthSlider_, 1);
    grid->addWidget(widthView_, row++, 0, 1, 4);
    connect(widthSlider_, &QntDoubleSlider::doubleValueChanged, this,
            [this] { widthSliderAction(); });

    auto *sizing = new QHBoxLayout;
    autosizeCheckbox_ = new QCheckBox(tr("Automatic size"), view);
    autosizeCheckbox_->setObjectName(QStringLiteral("autosizeCheckbox"));
    keepFixedWidthCheckbox_ = new QCheckBox(tr("Keep width"), view);
    keepFixedWidthCheckbox_->setObjectName(QStringLiteral("keepFixedWidthCheckbox"));
    connect(autosizeCheckbox_, &QCheckBox::clicked, this, [this] { autosizeCheckboxAction(); });
    connect(keepFixedWidthCheckbox_, &QCheckBox::clicked, this,
            [this] { keepFixedWidthCheckboxAction(); });
    _textRotateLabel = new QLabel(tr("Rotate"), view);
    _textRotateSlider = slider(QStringLiteral("textRotateSlider"), -180, 180);
    connect(_textRotateSlider, &QntDoubleSlider::doubleValueChanged, this,
            [this] { textRotateAction(); });
    sizing->addWidget(autosizeCheckbox_);
    sizing->addWidget(keepFixedWidthCheckbox_);
    sizing->addStretch(1);
    sizing->addWidget(_textRotateLabel);
    sizing->addWidget(_textRotateSlider);
    grid->addLayout(sizing, row++, 0, 1, 4);

    _topBottomPaddingSlider = slider(QStringLiteral("topBottomPaddingSlider"), 0, 0.4);
    _topBottomPaddingTextbox = field(QStringLiteral("topBottomPaddingTextbox"));
    _topBottomPaddingTextboxLabel = new QLabel(QStringLiteral("%"), view);
    grid->addWidget(new QLabel(tr("Top and bottom padding"), view), row, 0);
    grid->addWidget(_topBottomPaddingSlider, row, 1);
    grid->addWidget(_topBottomPaddingTextbox, row, 2);
    grid->addWidget(_topBottomPaddingTextboxLabel, row++, 3);
    _leftRightPaddingSlider = slider(QStringLiteral("leftRightPaddingSlider"), 0, 0.4);
    _leftRightPaddingTextbox = field(QStringLiteral("leftRightPaddingTextbox"));
    _leftRightPaddingTextboxLabel = new QLabel(QStringLiteral("%"), view);
    grid->addWidget(new QLabel(tr("Left and right padding"), view), row, 0);
    grid->addWidget(_leftRightPaddingSlider, row, 1);
    grid->addWidget(_leftRightPaddingTextbox, row, 2);
    grid->addWidget(_leftRightPaddingTextboxLabel, row++, 3);
    connect(_topBottomPaddingSlider, &QntDoubleSlider::doubleValueChanged, this,
            [this] { elementTopBottomPaddingSliderAction(); });
    connect(_leftRightPaddingSlider, &QntDoubleSlider::doubleValueChanged, this,
            [this] { elementLeftRightPaddingSliderAction(); });
    connect(_topBottomPaddingTextbox, &QLineEdit::returnPressed, this,
            [this] { elementTopBottomPaddingTextboxAction(); });
    connect(_leftRightPaddingTextbox, &QLineEdit::returnPressed, this,
            [this] { elementLeftRightPaddingTextboxAction(); });

    buildNotesView();

    auto *buttons = new QHBoxLayout;
    auto *notes = new QntButtonWhiteCell(view);
    notes->setObjectName(QStringLiteral("notesButton"));
    notes->setText(tr("Notes"));
    notes->setBordered(true);
    notes->setFixedSize(70, 22);
    notes->setToolTip(tr("Notes of the element"));
    connect(notes, &QAbstractButton::clicked, this, [this] { slideToView2Action(); });
    buttons->addWidget(notes);
    buttons->addStretch(1);
    addCancelAndOk(
        buttons, [this] { cancelAction(); }, [this] { okAction(); });
    grid->addLayout(buttons, row++, 0, 1, 4);

    m_editorObservers.push_back(NotificationCenter::defaultCenter().addObserver(
        kQntTextCellChangedNotification, nullptr, [this](const Notification &n) {
            if (_attachedWindow && !_updating && _contextObject && n.object == _contextObject.get())
                setupTextPaddingsControls();
        }));
}

void QntElementTextEditor::buildNotesView()
{
    // The second view: the element's notes on a dark backdrop, slid in over the text controls.
    auto *view2 = new QntEscapedView;
    view2->setObjectName(QStringLiteral("notesView"));
    view2->setStyleSheet(QStringLiteral("QLabel { color: white; }"
                                        "QTextEdit { background: white; color: black; }"));
    auto *outer = new QVBoxLayout(view2);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *backdrop = new RoundedView(view2);
    outer->addWidget(backdrop);
    auto *column = new QVBoxLayout(backdrop);
    column->setContentsMargins(10, 8, 10, 8);
    column->setSpacing(6);
    column->addWidget(new QLabel(tr("Notes"), backdrop));
    _notesTextField = new TextView(backdrop);
    _notesTextField->setObjectName(QStringLiteral("notesTextField"));
    _notesTextField->setAcceptRichText(false);
    _notesTextField->setTabChangesFocus(true);
    column->addWidget(_notesTextField, 1);
    auto *back = new QntButtonWhiteCell(backdrop);
    back->setObjectName(QStringLiteral("notesBackButton"));
    back->setText(tr("Back"));
    back->setBordered(true);
    back->setFixedSize(70, 22);
    back->setToolTip(tr("Back to the text controls"));
    connect(back, &QAbstractButton::clicked, this, [this] { slideToView1Action(); });
    column->addWidget(back, 0, Qt::AlignLeft);
    view2->hide();
    _view2 = view2;
}

QntElementTextEditor::~QntElementTextEditor()
{
    m_editorObservers.clear();
}

VRObjectRef QntElementTextEditor::contextObject() const
{
    return _contextObject && _contextObject->isKindOf<QntElement>() ? _contextObject
                                                                    : VRObjectRef();
}

std::shared_ptr<QntElement> QntElementTextEditor::contextElement() const
{
    const VRObjectRef object = contextObject();
    return object ? std::static_pointer_cast<QntElement>(object) : nullptr;
}

QFont QntElementTextEditor::contextObjectFont() const
{
    const auto element = contextElement();
    return element && element->text() ? element->text()->font() : QFont();
}

bool QntElementTextEditor::newTextFont(QFont *font) const
{
    // A group element writes its own text in the font its members' texts are drawn in.
    VRObjectRef edited = _editorView ? _editorView->editedObject() : nullptr;
    if (!edited || !edited->isKindOf<QntElement>())
        edited = contextObject();
    if (!edited || !edited->isKindOf<QntElement>())
        return false;
    const auto &element = static_cast<const QntElement &>(*edited);
    const QList<std::shared_ptr<QntElement>> members = element.allElements();
    if (members.isEmpty())
        return false;
    if (element.text()) {
        *font = element.text()->font();
        return true;
    }
    for (const std::shared_ptr<QntElement> &member : members) {
        if (member->text()) {
            *font = member->text()->font();
            return true;
        }
    }
    return false;
}

QPointF QntElementTextEditor::menuPosition()
{
    const QPointF p =
        _parentModeInspector ? _parentModeInspector->contextMenuPositionOnScreen() : QPointF();
    setArrowPosition(AXAttachedWindow::kRight);
    const double width = _view ? _view->sizeHint().width() : 0;
    const double height = _view ? _view->sizeHint().height() : 0;
    const QRectF screen = AXScreen::frameForPoint(p);
    if (!screen.isEmpty() && p.x() + width > screen.right()) {
        const auto element = contextElement();
        const double half = element ? element->bounds().height() * 0.5 : 0.0;
        // y-up: room below the element.
        setArrowPosition(p.y() - half - height > screen.top() ? AXAttachedWindow::kBelow
                                                              : AXAttachedWindow::kAbove);
    }
    return p;
}

void QntElementTextEditor::createAttachedWindowAtPoint(QPointF point)
{
    if (_attachedWindow)
        return;
    _view->resize(_view->sizeHint());
    AXAttachedWindow *window = AXAttachedWindow::create(_view, point, arrowPosition(), 0.0);
    if (!window)
        return;
    window->setObjectName(QStringLiteral("elementTextEditorWindow"));
    const auto element = contextElement();
    window->setHostBounds(element ? element->bounds() : QRectF());
    window->setAttachedToolbarLook(30.0);
    if (_parentModeInspector)
        window->addToParentWindow(_parentModeInspector->attachedWindowsHost());
    _attachedWindow = window;
    placeAttachedWindowInScreenFrame(window, point, arrowPosition());
    window->orderFront(true);
}

void QntElementTextEditor::setupTextAttributesControls()
{
    QntContextTextEditor::setupTextAttributesControls();
    _updating = true;
    const auto element = contextElement();
    const bool text = element && element->isKindOf<QntText>();
    widthView_->setVisible(text);
    _textRotateLabel->setVisible(!text);
    _textRotateSlider->setVisible(!text);
    VRDrawing *drawing = element ? element->drawing() : nullptr;
    widthSlider_->setMinValue(0);
    widthSlider_->setMaxValue(drawing ? drawing->drawingSize().width() : 1000.0);
    widthSlider_->setDoubleValue(element ? element->size().width() : 0.0);
    const bool table = element && element->isKindOf<QntElementTable>();
    _textRotateLabel->setEnabled(!table);
    _textRotateSlider->setEnabled(!table);
    autosizeCheckbox_->setChecked(element && element->autoSize());
    autosizeCheckbox_->setEnabled(
        UserDefaults::standardUserDefaults().boolForKey(QntShapeAutosizeKey));
    keepFixedWidthCheckbox_->setChecked(element && element->keepFixedWidth());
    keepFixedWidthCheckbox_->setEnabled(element && element->autoSize());
    setupTextPaddingsControls();
    _textRotateSlider->setDoubleValue(element && element->text() ? element->text()->textAngle()
                                                                 : 0.0);
    _notesTextField->setPlainText(element ? element->stringForKey(QStringLiteral("Notes"))
                                          : QString());
    if (_attachedWindow)
        _attachedWindow->redisplayLater();
    _updating = false;
}

void QntElementTextEditor::setupTextPaddingsControls()
{
    const auto element = contextElement();
    const bool wasUpdating = _updating;
    _updating = true;
    const QString unit = _paddingMode == 0 ? QStringLiteral("%") : QStringLiteral("pt");
    _topBottomPaddingTextboxLabel->setText(unit);
    _leftRightPaddingTextboxLabel->setText(unit);
    if (element && element->isKindOf<QntElementTable>()) {
        auto *table = static_cast<QntElementTable *>(element.get());
        QntTextCell *cell = table->activeTextCell();
        const QSizeF size = cell ? cell->size() : QSizeF(1, 1);
        if (_paddingMode == 0) {
            _leftRightPaddingSlider->setMaxValue(0.4);
            _topBottomPaddingSlider->setMaxValue(0.4);
            _leftRightPaddingSlider->setDoubleValue(
                size.width() > 0 ? table->cellPaddingLeftRight() / size.width() : 0);
            _topBottomPaddingSlider->setDoubleValue(
                size.height() > 0 ? table->cellPaddingTopBottom() / size.height() : 0);
        } else {
            _leftRightPaddingSlider->setMaxValue(std::max(1.0, size.width() * 0.4));
            _topBottomPaddingSlider->setMaxValue(std::max(1.0, size.height() * 0.4));
            _leftRightPaddingSlider->setDoubleValue(table->cellPaddingLeftRight());
            _topBottomPaddingSlider->setDoubleValue(table->cellPaddingTopBottom());
        }
    } else {
        _leftRightPaddingSlider->setMaxValue(0.4);
        _topBottomPaddingSlider->setMaxValue(0.4);
        _leftRightPaddingSlider->setDoubleValue(element ? element->paddingLeftRight() : 0.0);
        _topBottomPaddingSlider->setDoubleValue(element ? element->paddingTopBottom() : 0.0);
    }
    showPadding(_leftRightPaddingSlider, _leftRightPaddingTextbox);
    showPadding(_topBottomPaddingSlider, _topBottomPaddingTextbox);
    _updating = wasUpdating;
}

void QntElementTextEditor::showPadding(QntDoubleSlider *slider, QntTextFieldCell *box) const
{
    box->setText(twoDigits(slider->doubleValue() * paddingScale()));
}

void QntElementTextEditor::applyPadding(double padding, bool topBottom)
{
    if (!std::isfinite(padding) || padding < 0)
        return;
    for (const VRObjectRef &object : selectedObjectForCurrentTarget()) {
        if (!object)
            continue;
        if (object->isKindOf<QntElementTable>()) {
            auto *table = static_cast<QntElementTable *>(object.get());
            // The table keeps its cell paddings in points; a fraction is of the active cell.
            double points = padding;
            if (_paddingMode == 0) {
                QntTextCell *cell = table->activeTextCell();
                const QSizeF size = cell ? cell->size() : QSizeF();
                points = padding * (topBottom ? size.height() : size.width());
            }
            if (topBottom)
                table->setCellPaddingTopBottom(points, false);
            else
                table->setCellPaddingLeftRight(points, false);
        } else if (isMemberOfElements(*object) || object->isMemberOf<QntText>()
                   || object->isMemberOf<QntImageShape>()) {
            auto *element = static_cast<QntElement *>(object.get());
            if (topBottom)
                element->setPaddingTopBottom(padding);
            else
                element->setPaddingLeftRight(padding);
        }
        object->notifyVisualChange();
    }
}

void QntElementTextEditor::elementSetTopBottomPadding(double padding)
{
    applyPadding(padding, true);
}

void QntElementTextEditor::elementSetLeftRightPadding(double padding)
{
    applyPadding(padding, false);
}

void QntElementTextEditor::elementTopBottomPaddingSliderAction()
{
    if (_updating)
        return;
    elementSetTopBottomPadding(_topBottomPaddingSlider->doubleValue());
    showPadding(_topBottomPaddingSlider, _topBottomPaddingTextbox);
}

void QntElementTextEditor::elementLeftRightPaddingSliderAction()
{
    if (_updating)
        return;
    elementSetLeftRightPadding(_leftRightPaddingSlider->doubleValue());
    showPadding(_leftRightPaddingSlider, _leftRightPaddingTextbox);
}

namespace {
// The typed padding in the slider's units, clamped to its range; nothing for a non-number.
std::optional<double> typedPadding(QntTextFieldCell *box, QntDoubleSlider *slider, double scale)
{
    bool ok = false;
    const double typed = QLocale().toDouble(box->text().trimmed(), &ok);
    if (!ok || !std::isfinite(typed))
        return std::nullopt;
    return std::clamp(typed / scale, slider->minValue(), slider->maxValue());
}
} // namespace

void QntElementTextEditor::elementTopBottomPaddingTextboxAction()
{
    const auto value =
        typedPadding(_topBottomPaddingTextbox, _topBottomPaddingSlider, paddingScale());
    if (value) {
        elementSetTopBottomPadding(*value);
        _topBottomPaddingSlider->setDoubleValue(*value);
    }
    showPadding(_topBottomPaddingSlider, _topBottomPaddingTextbox);
}

void QntElementTextEditor::elementLeftRightPaddingTextboxAction()
{
    const auto value =
        typedPadding(_leftRightPaddingTextbox, _leftRightPaddingSlider, paddingScale());
    if (value) {
        elementSetLeftRightPadding(*value);
        _leftRightPaddingSlider->setDoubleValue(*value);
    }
    showPadding(_leftRightPaddingSlider, _leftRightPaddingTextbox);
}

void QntElementTextEditor::widthSliderAction()
{
    if (_updating)
        return;
    const auto element = contextElement();
    if (!element || !element->isKindOf<QntText>())
        return;
    const double width = widthSlider_->doubleValue();
    if (!(width > 0))
        return;
    element->setSize(QSizeF(width, element->size().height()));
    if (element->text())
        element->text()->setFixedWidth(width);
    element->setResizedByUser(true);
    autosizeCheckbox_->setChecked(false);
    element->notifyVisualChange();
}

void QntElementTextEditor::autosizeCheckboxAction()
{
    const bool on = autosizeCheckbox_->isChecked();
    for (const VRObjectRef &object : selectedObjectForCurrentTarget()) {
        if (!object || !object->isKindOf<QntElement>())
            continue;
        auto *element = static_cast<QntElement *>(object.get());
        if (element->isKindOf<QntText>() && element->text())
            element->text()->setFixedWidth(widthSlider_->doubleValue());
        element->setAutoSize(on);
        element->notifyVisualChange();
    }
    keepFixedWidthCheckbox_->setEnabled(on);
}

void QntElementTextEditor::keepFixedWidthCheckboxAction()
{
    for (const VRObjectRef &object : selectedObjectForCurrentTarget()) {
        if (object && object->isKindOf<QntElement>())
            static_cast<QntElement *>(object.get())
                ->setKeepFixedWidth(keepFixedWidthCheckbox_->isChecked());
    }
}

void QntElementTextEditor::textRotateAction()
{
    if (_updating)
        return;
    for (const VRObjectRef &object : selectedObjectForCurrentTarget()) {
        if (!object || !object->isKindOf<QntElement>())
            continue;
        auto *element = static_cast<QntElement *>(object.get());
        if (element->isKindOf<QntElementTable>())
            continue;
        element->addTextShape();
        element->text()->setTextAngle(_textRotateSlider->doubleValue());
        element->notifyVisualChange();
    }
}

void QntElementTextEditor::okAction()
{
    const VRObjectRef edited = _editorView ? _editorView->editedObject() : nullptr;
    if (const auto element = contextElement()) {
        const QString notes = _notesTextField->toPlainText();
        if (notes != element->stringForKey(QStringLiteral("Notes")))
            element->setNotes(notes);
        element->endEditingInContextEditor(true);
    }
    if (edited)
        edited->endEditingInContextEditor(true);
    saveTextPropertiesCheckboxAction();
    if (_contextObject)
        _contextObject->setDblClickCount(0);
    closeAttachedWindows();
    endMemberHighlight();
    contextMenuDidClose();
}

void QntElementTextEditor::cancelAction()
{
    const VRObjectRef edited = _editorView ? _editorView->editedObject() : nullptr;
    if (const auto element = contextElement())
        element->endEditingInContextEditor(false);
    if (edited)
        edited->endEditingInContextEditor(false);
    closeAttachedWindows();
    endMemberHighlight();
    contextMenuDidClose();
}

void QntElementTextEditor::endMemberHighlight()
{
    // The member of a group element that a double-click highlighted for editing is done with
    // once the bar closes.
    VRDrawingDocument *document = currentDocument();
    if (VRDrawingView *view = document ? document->mainView() : nullptr)
        view->setHighlightedObject(nullptr);
}
