#include "style/VKGradientFillEditor.h"

#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "style/VKGradientCell.h"
#include "style/VKGradientWell.h"
#include "style/WXGradientControl.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

VKGradientFillEditor::VKGradientFillEditor(VRDrawing *drawing, QWidget *parent)
    : QWidget(parent)
    , m_drawing(drawing)
{
    setObjectName(QStringLiteral("gradientFillEditor"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->setSpacing(8);
    m_well = new VKGradientWell(this);
    m_well->setCell(new VKGradientCell(m_well));
    m_well->setFixedSize(112, 96);
    layout->addWidget(m_well);
    auto *column = new QVBoxLayout;
    m_caption = new QLabel(tr("Fill gradient"), this);
    m_caption->setWordWrap(true);
    column->addWidget(m_caption);
    column->addStretch(1);
    m_stops = new WXGradientControl(this);
    m_stops->setFixedHeight(26);
    column->addWidget(m_stops);
    layout->addLayout(column, 1);

    connect(m_well, &VKGradientWell::gradientAction, this, [this] {
        if (m_updating)
            return;
        // A gradient pasted, dropped, cut or deleted in the well: the bar edits it too.
        m_updating = true;
        if (m_well->gradient())
            m_stops->setGradient(m_well->gradient());
        m_updating = false;
        showControlsForKind();
        // A drag of an on-swatch control is one change, applied when it ends.
        if (!m_well->isTrackingControls())
            apply(m_well->gradient());
    });
    connect(m_well, &VKGradientWell::controlTrackingFinished, this, [this] {
        if (!m_updating)
            apply(m_well->gradient());
    });
    connect(m_stops, &VKGradientWell::gradientAction, this, [this] {
        showControlsForKind();
        m_well->update();
        if (m_updating || m_stops->isTracking())
            return;
        apply(m_stops->gradient());
    });
    connect(m_stops, &WXGradientControl::trackingFinished, this, [this] {
        if (!m_updating)
            apply(m_stops->gradient());
    });
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_tokens.push_back(center.addObserver(kVRLayerSelectionDidChange, nullptr,
                                          [this](const Notification &) { reloadLater(); }));
    m_tokens.push_back(center.addObserver(kQntUndoRedoChangedNotification, nullptr,
                                          [this](const Notification &) { reloadLater(); }));
    reload();
}

VKGradientFillEditor::~VKGradientFillEditor() = default;

std::shared_ptr<VRDrawableObject> VKGradientFillEditor::selectedObject() const
{
    if (!m_drawing)
        return nullptr;
    auto *layer = m_drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    if (!layer || layer->isLocked())
        return nullptr;
    return layer->singleSelection();
}

VRFill *VKGradientFillEditor::targetFill() const
{
    if (m_editsGivenFill)
        return m_fill.lock().get();
    const auto object = selectedObject();
    return object && object->style() ? object->style()->fill() : nullptr;
}

void VKGradientFillEditor::setFill(const std::shared_ptr<VRFill> &fill)
{
    const bool changed = !m_editsGivenFill || m_fill.lock() != fill;
    m_editsGivenFill = true;
    m_fill = fill;
    if (changed) {
        // Another fill: its gradient replaces whatever the editors showed.
        m_updating = true;
        m_well->setGradient(nullptr);
        m_updating = false;
    }
    reload();
}

void VKGradientFillEditor::reloadLater()
{
    if (m_reloadPending)
        return;
    m_reloadPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_reloadPending = false;
            if (!m_stops->isTracking() && !m_well->isTrackingControls())
                reload();
        },
        Qt::QueuedConnection);
}

void VKGradientFillEditor::reload()
{
    const auto object = m_editsGivenFill ? nullptr : selectedObject();
    VRFill *fill = targetFill();
    const VRGradientRef shown = fill ? fill->gradient() : nullptr;
    // Unchanged: keep the editors' own gradient (and the selected stop).
    if (shown && m_well->gradient() && shown->isEqual(*m_well->gradient())
        && (object || (m_editsGivenFill && fill)))
        return;
    m_updating = true;
    const VRGradientRef copy = shown ? shown->copy() : nullptr;
    m_well->setGradient(copy);
    m_stops->setGradient(copy ? copy : VRGradient::defaultGradient());
    m_updating = false;
    showControlsForKind();
    if (m_editsGivenFill) {
        setEnabled(fill != nullptr);
        m_caption->setText(tr("Gradient"));
        return;
    }
    setEnabled(object != nullptr && object->style() != nullptr);
    m_caption->setText(object ? tr("Fill gradient") : tr("Fill gradient (select one object)"));
}

void VKGradientFillEditor::showControlsForKind()
{
    // The on-swatch controls follow the gradient's kind: an angle dial, irises or a centre.
    const VRGradientRef g = m_well->gradient();
    int mode = VKGradientWell::NoControls;
    if (g && g->gradientType() == VRGradient::Linear)
        mode = VKGradientWell::LinearControls;
    else if (g && g->gradientType() == VRGradient::Radial)
        mode = VKGradientWell::RadialControls;
    else if (g && g->gradientType() == VRGradient::Sweep)
        mode = VKGradientWell::SweepControls;
    m_well->setControlMode(mode);
}

void VKGradientFillEditor::apply(const VRGradientRef &gradient)
{
    if (m_editsGivenFill) {
        VRFill *fill = m_fill.lock().get();
        if (!fill || (!gradient && !fill->gradient()))
            return;
        if (gradient && fill->gradient() && fill->gradient()->isEqual(*gradient))
            return;
        fill->setGradient(gradient ? gradient->copy() : nullptr);
        if (VRUndoManager *undo = m_drawing ? m_drawing->undoManager() : nullptr)
            undo->setActionName(tr("Fill Gradient"));
        emit gradientApplied();
        return;
    }
    const auto object = selectedObject();
    if (!object || !object->style() || !m_drawing)
        return;
    VRStyle &style = *object->style();
    VRFill *fill = style.fill();
    if (!gradient && (!fill || !fill->gradient()))
        return;
    if (fill && gradient && fill->gradient() && fill->gradient()->isEqual(*gradient))
        return;
    if (gradient && !m_well->gradient()) {
        m_updating = true;
        m_well->setGradient(gradient);
        m_updating = false;
    }
    // The object keeps a gradient of its own: the editors go on editing theirs.
    if (fill)
        fill->setGradient(gradient ? gradient->copy() : nullptr);
    else
        style.addRenderer(VRFill::fillWithGradient(gradient->copy()));
    if (VRUndoManager *undo = m_drawing->undoManager())
        undo->setActionName(tr("Fill Gradient"));
    emit gradientApplied();
}
