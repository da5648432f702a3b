#include "connectors/QntConnectorTextEditor.h"

#include "inspectors/AXScreen.h"
#include "inspectors/QntContextMenu.h"
#include "inspectors/QntDoubleSlider.h"
#include "inspectors/QntEscapedView.h"
#include "inspectors/QntTextFieldCell.h"

#include "app/common/QntConstants.h"
#include "framework/base/VRNumberFormat.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorDoubleText.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/QntContextTextEditorView.h"
#include "platform/UserDefaults.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QStandardItemModel>

#include <cmath>
#include <numbers>

namespace {
QString twoDigits(double value)
{
    return vrFormattedNumber(value, 2, VRDigitGrouping::None);
}

// One undo step per drag of a slider.
void groupDrags(QntDoubleSlider *slider, QntConnectorTextEditor *editor)
{
    QObject::connect(slider, &QSlider::sliderPressed, editor, [editor] {
        if (const auto connector = editor->contextConnector())
            if (VRUndoManager *undo = connector->undoManager())
                undo->beginUndoGrouping();
    });
    QObject::connect(slider, &QSlider::sliderReleased, editor, [editor] {
        if (const auto connector = editor->contextConnector())
            if (VRUndoManager *undo = connector->undoManager(); undo && undo->groupingLevel() > 0)
                undo->endUndoGrouping();
    });
}
} // namespace

QntConnectorTextEditor::QntConnectorTextEditor(QObject *parent)
    : QntContextTextEditor(QStringLiteral("QntConnectorTextEditor"), parent)
{
    int row = buildView(QStringLiteral("QntConnectorFontSizeMenu"));
    auto *grid = static_cast<QGridLayout *>(_view->layout());
    QWidget *view = _view;
    view->setStyleSheet(view->styleSheet() + QntEscapedView::darkPopUpStyleSheet());

    m_textLayoutMode = new QComboBox(view);
    m_textLayoutMode->setObjectName(QStringLiteral("textLayoutMode"));
    m_textLayoutMode->addItem(tr("Along the connector"), kAlongMode);
    m_textLayoutMode->addItem(tr("Along the connector, mirrored"), kAlongMirroredMode);
    m_textLayoutMode->addItem(tr("At a point"), kAtPointMode);
    connect(m_textLayoutMode, &QComboBox::activated, this, [this] { textLayoutModeAction(); });
    grid->addWidget(new QLabel(tr("Label position"), view), row, 0);
    grid->addWidget(m_textLayoutMode, row++, 1, 1, 3);

    const auto sliderRow = [&](const QString &name, const QString &caption,
                               QntDoubleSlider **slider, QntTextFieldCell **box, QLabel **left,
                               QLabel **right) {
        *slider = new QntDoubleSlider(view);
        (*slider)->setObjectName(name + QStringLiteral("Slider"));
        (*slider)->setMinimumWidth(160);
        *box = QntTextFieldCell::numberField(view, name + QStringLiteral("Textbox"));
        *left = new QLabel(view);
        *right = new QLabel(view);
        auto *line = new QHBoxLayout;
        line->addWidget(*left);
        line->addWidget(*slider, 1);
        line->addWidget(*right);
        grid->addWidget(new QLabel(caption, view), row, 0);
        grid->addLayout(line, row, 1, 1, 2);
        grid->addWidget(*box, row++, 3);
        groupDrags(*slider, this);
    };
    sliderRow(QStringLiteral("textXOffset"), tr("X"), &m_textXOffset, &m_textXOffsetTextbox,
              &m_textXOffsetLeftLabel, &m_textXOffsetRightLabel);
    sliderRow(QStringLiteral("textYOffset"), tr("Y"), &m_textYOffset, &m_textYOffsetTextbox,
              &m_textYOffsetLeftLabel, &m_textYOffsetRightLabel);
    connect(m_textXOffset, &QntDoubleSlider::doubleValueChanged, this,
            [this] { textXOffsetAction(); });
    connect(m_textYOffset, &QntDoubleSlider::doubleValueChanged, this,
            [this] { textYOffsetAction(); });
    connect(m_textXOffsetTextbox, &QLineEdit::returnPressed, this,
            [this] { textXOffsetTextboxAction(); });
    connect(m_textYOffsetTextbox, &QLineEdit::returnPressed, this,
            [this] { textYOffsetTextboxAction(); });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    addCancelAndOk(
        buttons, [this] { cancelAction(); }, [this] { okAction(); });
    grid->addLayout(buttons, row++, 0, 1, 4);
}

QntConnectorTextEditor::~QntConnectorTextEditor() = default;

VRObjectRef QntConnectorTextEditor::contextObject() const
{
    return _contextObject && _contextObject->isKindOf<QntConnector>() ? _contextObject
                                                                      : VRObjectRef();
}

std::shared_ptr<QntConnector> QntConnectorTextEditor::contextConnector() const
{
    const VRObjectRef object = contextObject();
    return object ? std::static_pointer_cast<QntConnector>(object) : nullptr;
}

QFont QntConnectorTextEditor::contextObjectFont() const
{
    const auto connector = contextConnector();
    return connector ? connector->font() : QFont();
}

QPointF QntConnectorTextEditor::menuPosition()
{
    const QPointF p =
        _parentModeInspector ? _parentModeInspector->contextMenuPositionOnScreen() : QPointF();
    const auto connector = contextConnector();
    double a = connector ? connector->lastSegmentAngle() : 0.0;
    if (a < 0)
        a = 2 * std::numbers::pi - std::abs(a);
    const double turn = a / std::numbers::pi;
    const QSizeF size = _view ? QSizeF(_view->sizeHint()) : QSizeF();
    const QRectF screen = AXScreen::visibleFrameForPoint(p);
    int side = AXAttachedWindow::kRight;
    // y up: the screen's top edge is the rectangle's bottom().
    if ((turn >= 0 && turn <= 0.375) || (turn > 0.625 && turn <= 1.0)) {
        side = AXAttachedWindow::kAbove;
        if (!screen.isEmpty() && p.y() + 30 + size.height() > screen.bottom())
            side = AXAttachedWindow::kBelow;
    } else if ((turn > 0.375 && turn <= 0.625) || (turn > 1.375 && turn <= 1.625)) {
        side = AXAttachedWindow::kRight;
        if (!screen.isEmpty() && p.x() + 30 + size.width() > screen.right())
            side = AXAttachedWindow::kLeft;
    } else if ((turn > 1.0 && turn <= 1.375) || (turn > 1.625 && turn < 2.0)) {
        side = AXAttachedWindow::kBelow;
        if (!screen.isEmpty() && p.y() - 30 - size.height() < screen.top())
            side = AXAttachedWindow::kAbove;
    }
    setArrowPosition(side);
    return p;
}

void QntConnectorTextEditor::createAttachedWindowAtPoint(QPointF point)
{
    if (_attachedWindow)
        return;
    _view->resize(_view->sizeHint());
    AXAttachedWindow *window = AXAttachedWindow::create(_view, point, arrowPosition(), 0.0);
    if (!window)
        return;
    window->setObjectName(QStringLiteral("connectorTextEditorWindow"));
    window->setAttachedToolbarLook(30.0);
    if (_parentModeInspector)
        window->addToParentWindow(_parentModeInspector->attachedWindowsHost());
    _attachedWindow = window;
    placeAttachedWindowInScreenFrame(window, point, arrowPosition());
    window->orderFront(true);
}

int QntConnectorTextEditor::selectedMode() const
{
    return m_textLayoutMode->currentData().toInt();
}

void QntConnectorTextEditor::setupTextAttributesControls()
{
    const auto connector = contextConnector();
    if (connector) {
        if (VRDrawing *drawing = connector->drawing())
            if (auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
                layer && layer->singleSelection() != connector)
                layer->replaceSelectionWithObject(connector);
    }
    QntContextTextEditor::setupTextAttributesControls();
    m_loading = true;
    const int mode = connector ? connector->layoutMode() : kAlongMode;
    int index = m_textLayoutMode->findData(mode);
    if (index < 0) {
        // A mode this bar does not offer: shown as placing at a point.
        index = m_textLayoutMode->findData(kAtPointMode);
    }
    m_textLayoutMode->setCurrentIndex(index);
    auto *list = qobject_cast<QListView *>(m_textLayoutMode->view());
    if (list)
        list->setRowHidden(m_textLayoutMode->findData(kAtPointMode),
                           connector && connector->fixedLayoutMode());
    configureSliders(mode);
    setSlidersDefaults(mode, -1);
    m_loading = false;
}

void QntConnectorTextEditor::configureSliders(int mode)
{
    double w = 0, h = 0;
    if (multipleSelectionMode() == 1) {
        w = h = 100;
    } else if (const auto connector = contextConnector()) {
        w = connector->bounds().width();
        h = connector->bounds().height();
    }
    const bool along = alongMode(mode);
    m_textXOffset->setMinValue(along ? -0.5 : -w / 2);
    m_textXOffset->setMaxValue(along ? 0.5 : w / 2);
    m_textYOffset->setMinValue(along ? -30 : -h / 2);
    m_textYOffset->setMaxValue(along ? 30 : h / 2);
    if (mode == kAlongMode) {
        m_textXOffsetLeftLabel->setText(tr("Start"));
        m_textXOffsetRightLabel->setText(tr("End"));
    } else if (mode == kAlongMirroredMode) {
        m_textXOffsetLeftLabel->setText(tr("End"));
        m_textXOffsetRightLabel->setText(tr("Start"));
    } else {
        m_textXOffsetLeftLabel->setText(tr("To the left"));
        m_textXOffsetRightLabel->setText(tr("To the right"));
    }
    m_textYOffsetLeftLabel->setText(along ? tr("Lower") : tr("Above"));
    m_textYOffsetRightLabel->setText(along ? tr("Above") : tr("Lower"));
}

void QntConnectorTextEditor::setSlidersDefaults(int mode, int)
{
    // Opening the bar shows where the label is; it moves nothing.
    const auto connector = contextConnector();
    const bool wasLoading = m_loading;
    m_loading = true;
    if (connector) {
        if (alongMode(mode)) {
            m_textXOffset->setDoubleValue(connector->textXOffset());
            m_textYOffset->setDoubleValue(connector->textYOffset());
        } else {
            const QSizeF offset = connector->offsetForPointForTextLayout();
            m_textXOffset->setMinValue(
                std::min(m_textXOffset->minValue(), -std::abs(offset.width())));
            m_textXOffset->setMaxValue(
                std::max(m_textXOffset->maxValue(), std::abs(offset.width())));
            m_textYOffset->setMinValue(
                std::min(m_textYOffset->minValue(), -std::abs(offset.height())));
            m_textYOffset->setMaxValue(
                std::max(m_textYOffset->maxValue(), std::abs(offset.height())));
            m_textXOffset->setDoubleValue(offset.width());
            m_textYOffset->setDoubleValue(offset.height());
        }
    }
    showX();
    showY();
    m_loading = wasLoading;
}

void QntConnectorTextEditor::showX()
{
    const double factor = alongMode(selectedMode()) ? 100.0 : 1.0;
    m_textXOffsetTextbox->setText(twoDigits(m_textXOffset->doubleValue() * factor));
}

void QntConnectorTextEditor::showY()
{
    m_textYOffsetTextbox->setText(twoDigits(m_textYOffset->doubleValue()));
}

VRObjectList QntConnectorTextEditor::targetConnectors() const
{
    if (multipleSelectionMode() != 1) {
        if (const VRObjectRef connector = contextObject())
            return {connector};
    }
    return selectedObjectForCurrentTarget();
}

void QntConnectorTextEditor::textSetXOffset(double value)
{
    textSetOffset(value, true);
}

void QntConnectorTextEditor::textSetYOffset(double value)
{
    textSetOffset(value, false);
}

void QntConnectorTextEditor::textSetOffset(double value, bool horizontal)
{
    if (!std::isfinite(value))
        return;
    for (const VRObjectRef &object : targetConnectors()) {
        if (!object || !object->isKindOf<QntConnector>())
            continue;
        auto *connector = static_cast<QntConnector *>(object.get());
        if (!alongMode(connector->layoutMode()))
            connector->setOffsetForPointForTextLayout(
                QSizeF(m_textXOffset->doubleValue(), m_textYOffset->doubleValue()));
        else if (horizontal)
            connector->setTextXOffset(value);
        else
            connector->setTextYOffset(value);
        connector->textDidChange();
    }
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    if (multipleSelectionMode() != 1
        && !defaults.boolForKey(QntContextTextEditorSaveTextProperties))
        return;
    const bool along = alongMode(selectedMode());
    if (horizontal)
        defaults.setObject(value, along ? QntConnectorTextXOffset
                                        : QntConnectorOffsetForPointForTextLayoutWidth);
    else
        defaults.setObject(value, along ? QntConnectorTextYOffset
                                        : QntConnectorOffsetForPointForTextLayoutHeight);
}

void QntConnectorTextEditor::textXOffsetAction()
{
    if (m_loading)
        return;
    textSetXOffset(m_textXOffset->doubleValue());
    showX();
}

void QntConnectorTextEditor::textYOffsetAction()
{
    if (m_loading)
        return;
    textSetYOffset(m_textYOffset->doubleValue());
    showY();
}

std::optional<double> QntConnectorTextEditor::typed(QntTextFieldCell *box) const
{
    bool ok = false;
    const double value = QLocale().toDouble(box->text().trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

void QntConnectorTextEditor::textXOffsetTextboxAction()
{
    if (const auto value = typed(m_textXOffsetTextbox)) {
        const double divisor = alongMode(selectedMode()) ? 100.0 : 1.0;
        const double x =
            std::clamp(*value / divisor, m_textXOffset->minValue(), m_textXOffset->maxValue());
        m_loading = true;
        m_textXOffset->setDoubleValue(x);
        m_loading = false;
        textSetXOffset(x);
    }
    showX();
}

void QntConnectorTextEditor::textYOffsetTextboxAction()
{
    if (const auto value = typed(m_textYOffsetTextbox)) {
        const double y = std::clamp(*value, m_textYOffset->minValue(), m_textYOffset->maxValue());
        m_loading = true;
        m_textYOffset->setDoubleValue(y);
        m_loading = false;
        textSetYOffset(y);
    }
    showY();
}

void QntConnectorTextEditor::textLayoutModeAction()
{
    const int mode = selectedMode();
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const bool reposition =
        multipleSelectionMode() == 1 || defaults.boolForKey(QntContextTextEditorSaveTextProperties);
    for (const VRObjectRef &object : targetConnectors()) {
        if (!object)
            continue;
        if (object->isKindOf<QntConnectorDoubleText>()) {
            static_cast<QntConnector *>(object.get())->setLayoutMode(mode);
            continue;
        }
        if (!object->isKindOf<QntConnector>())
            continue;
        auto *connector = static_cast<QntConnector *>(object.get());
        const int old = connector->layoutMode();
        connector->setLayoutMode(mode);
        connector->textDidChange();
        configureSliders(mode);
        if (!reposition) {
            setSlidersDefaults(mode, old);
            continue;
        }
        const double r = connector->textReferencePointRelative();
        if (alongMode(mode)) {
            const double f = old == kAlongMirroredMode ? -1.0 : 1.0;
            const double x = mode == kAlongMode ? f * (r - 0.5) : f * ((1 - r) - 0.5);
            m_loading = true;
            m_textXOffset->setDoubleValue(x);
            m_textYOffset->setDoubleValue(connector->textYOffset());
            m_loading = false;
            textXOffsetAction();
            textYOffsetAction();
            connector->setOffsetForPointForTextLayout(QSizeF(0, 0));
        } else {
            double x = 30.0, y = 30.0;
            if (old == kAtPointMode) {
                x = connector->offsetForPointForTextLayout().width();
                y = connector->offsetForPointForTextLayout().height();
            } else if (old == kAlongMirroredMode) {
                connector->setTextReferencePointRelative(1 - r);
            }
            m_loading = true;
            m_textXOffset->setMaxValue(std::max(m_textXOffset->maxValue(), std::abs(x)));
            m_textYOffset->setMaxValue(std::max(m_textYOffset->maxValue(), std::abs(y)));
            m_textXOffset->setDoubleValue(x);
            m_textYOffset->setDoubleValue(y);
            m_loading = false;
            textXOffsetAction();
            textYOffsetAction();
        }
        defaults.setObject(qint64(mode), QntConnectorTextEditorTextPosition);
    }
    showX();
    showY();
}

void QntConnectorTextEditor::okAction()
{
    if (const auto connector = contextConnector())
        connector->endEditingInContextEditor(true);
    saveTextPropertiesCheckboxAction();
    if (_contextObject)
        _contextObject->setDblClickCount(0);
    closeAttachedWindows();
    contextMenuDidClose();
}

void QntConnectorTextEditor::cancelAction()
{
    if (const auto connector = contextConnector())
        connector->endEditingInContextEditor(false);
    closeAttachedWindows();
    contextMenuDidClose();
}
