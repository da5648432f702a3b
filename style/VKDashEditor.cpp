#include "style/VKDashEditor.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {
// The pattern in an eight-value buffer: values beyond the dash's count read 1.
std::array<double, VRStrokeDash::kMaximumCount> patternBuffer(const VRStrokeDash &dash)
{
    std::array<double, VRStrokeDash::kMaximumCount> values;
    values.fill(1.0);
    const QList<double> pattern = dash.dashPattern();
    for (int i = 0; i < std::min<int>(int(pattern.size()), VRStrokeDash::kMaximumCount); ++i)
        values[size_t(i)] = pattern.at(i);
    return values;
}

QList<double> firstValues(const std::array<double, VRStrokeDash::kMaximumCount> &values, int n)
{
    QList<double> pattern;
    for (int i = 0; i < std::clamp(n, 0, VRStrokeDash::kMaximumCount); ++i)
        pattern.append(values[size_t(i)]);
    return pattern;
}

Qt::PenCapStyle penCap(int style)
{
    return style == 1 ? Qt::RoundCap : style == 2 ? Qt::SquareCap : Qt::FlatCap;
}

Qt::PenJoinStyle penJoin(int style)
{
    return style == 1 ? Qt::RoundJoin : style == 2 ? Qt::BevelJoin : Qt::MiterJoin;
}
} // namespace

// ---- the sample line -------------------------------------------------------------------------

VKDashEditView::VKDashEditView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("dashEditView"));
    setMinimumSize(240, 80);
}

void VKDashEditView::setDash(const VRDashRef &dash)
{
    mDash = dash;
    update();
}

void VKDashEditView::setLineWidth(double width)
{
    m_lineWidth = std::isfinite(width) ? std::max(width, 0.0) : 0.0;
    update();
}

void VKDashEditView::setLineCapStyle(int style)
{
    m_cap = style;
    update();
}

void VKDashEditView::setLineJoinStyle(int style)
{
    m_join = style;
    update();
}

void VKDashEditView::setLineColour(const QColor &colour)
{
    mLineColour = colour.isValid() ? colour : QColor(Qt::gray);
    update();
}

double VKDashEditView::scale() const
{
    // A zero-width sample that scales would put every handle on one spot and divide by zero.
    if (mDash && mDash->scalesToLineWidth())
        return m_lineWidth > 0.0 ? m_lineWidth : 1.0;
    return 1.0;
}

double VKDashEditView::lineY() const
{
    return (2.0 * 0 + height()) * 0.25;
}

void VKDashEditView::calcHandles()
{
    mHandles.clear();
    if (!mDash)
        return;
    const double s = scale();
    const QList<double> pattern = mDash->dashPattern();
    const double y = lineY();
    const double top = y + kHandleDrop;
    double x = kMargin - kHandleSize / 2 + mDash->phase() * s;
    for (int i = 0; i < std::min<int>(int(pattern.size()), VRStrokeDash::kMaximumCount); ++i) {
        x += pattern.at(i) * s;
        QRectF handle(x, top, kHandleSize, kHandleSize);
        if (i > 0 && handle.intersects(mHandles.constLast()))
            handle.moveTop(mHandles.constLast().bottom() + 1);
        mHandles.append(handle);
    }
    mPhaseHandle = QRectF(kMargin + mDash->phase() * s, y + std::max(s, 2.0), 5, 10);
}

void VKDashEditView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(QPen(Qt::lightGray, 1.0));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    const double y = lineY();
    QPen pen(mLineColour, m_lineWidth, Qt::SolidLine, penCap(m_cap), penJoin(m_join));
    if (mDash)
        mDash->applyToPen(pen, m_lineWidth);
    if (m_lineWidth > 0.0) {
        painter.setPen(pen);
        painter.drawLine(QPointF(kMargin, y), QPointF(width() - kMargin, y));
    }
    calcHandles();
    if (mSelected >= 0 && mSelected < mHandles.size()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::green);
        painter.drawEllipse(mHandles.at(mSelected));
    }
    QPainterPath handles;
    for (const QRectF &handle : std::as_const(mHandles)) {
        handles.moveTo(handle.center().x(), y + kLeaderGap);
        handles.lineTo(handle.center().x(), handle.top());
        handles.addEllipse(handle);
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::darkGray, 1.0));
    painter.drawPath(handles);
    if (mDash) {
        QPainterPath triangle;
        const QRectF &p = mPhaseHandle;
        triangle.moveTo(p.x(), p.y());
        triangle.lineTo(p.x(), p.y() + p.height());
        triangle.lineTo(p.x() + p.width(), p.y() + p.height() / 2);
        triangle.closeSubpath();
        painter.fillPath(triangle, Qt::darkGray);
    }
}

int VKDashEditView::mouseInHandle(const QPointF &point) const
{
    for (int i = 0; i < mHandles.size(); ++i) {
        if (mHandles.at(i).contains(point))
            return i;
    }
    if (mPhaseHandle.contains(point))
        return kPhaseHandle;
    return kNoHandle;
}

void VKDashEditView::calcDashForPoint(const QPointF &point)
{
    if (!mDash)
        return;
    const double s = scale();
    const double x = point.x();
    if (mSelected == kPhaseHandle) {
        mDash->setPhase(std::max(0.0, (x - kMargin) / s));
    } else {
        QList<double> pattern = mDash->dashPattern();
        if (mSelected < 0 || mSelected >= pattern.size())
            return;
        double start = kMargin + mDash->phase() * s;
        for (int i = 0; i < mSelected; ++i)
            start += pattern.at(i) * s;
        pattern[mSelected] = std::max(0.0, (x - start) / s);
        mDash->setDashPattern(pattern);
    }
    emit dashDidChange();
}

void VKDashEditView::mousePressEvent(QMouseEvent *event)
{
    calcHandles();
    mSelected = mouseInHandle(event->position());
    update();
}

void VKDashEditView::mouseMoveEvent(QMouseEvent *event)
{
    if (mSelected == kNoHandle)
        return;
    calcDashForPoint(event->position());
    update();
}

void VKDashEditView::mouseReleaseEvent(QMouseEvent *)
{
    mSelected = kNoHandle;
    update();
}

// ---- the editor ------------------------------------------------------------------------------

VKDashEditor::VKDashEditor(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dashEditor"));
    setWindowTitle(tr("Dash"));
    auto *layout = new QVBoxLayout(this);
    mDashPreviewEditView = new VKDashEditView(this);
    layout->addWidget(mDashPreviewEditView, 1);
    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("Mark"), this), 0, 0);
    grid->addWidget(new QLabel(tr("Space"), this), 1, 0);
    for (int i = 0; i < VRStrokeDash::kMaximumCount; ++i) {
        auto *field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("dashField%1").arg(i));
        auto *validator = new QDoubleValidator(0.0, 10000.0, 2, field);
        validator->setNotation(QDoubleValidator::StandardNotation);
        field->setValidator(validator);
        field->setFixedWidth(56);
        connect(field, &QLineEdit::editingFinished, this, [this] { dashValueAction(); });
        mEF[size_t(i)] = field;
        // mark 1, space 1, mark 2, ...: marks in the first row, spaces in the second.
        grid->addWidget(field, i % 2, 1 + i / 2);
    }
    layout->addLayout(grid);
    auto *countRow = new QHBoxLayout;
    countRow->addWidget(new QLabel(tr("Values:"), this));
    mDashCountButtonMatrix = new QButtonGroup(this);
    for (int column = 0; column < 4; ++column) {
        auto *button = new QPushButton(QString::number(2 * column + 2), this);
        button->setCheckable(true);
        button->setObjectName(QStringLiteral("dashCount%1").arg(2 * column + 2));
        mDashCountButtonMatrix->addButton(button, column);
        countRow->addWidget(button);
    }
    mDashCountButtonMatrix->setExclusive(true);
    connect(mDashCountButtonMatrix, &QButtonGroup::idClicked, this,
            [this](int column) { dashCountMatrixAction(column); });
    countRow->addStretch(1);
    layout->addLayout(countRow);
    mDashScaleCheckbox = new QCheckBox(tr("Scale to line width"), this);
    connect(mDashScaleCheckbox, &QCheckBox::clicked, this, [this] { dashScaleCheckboxAction(); });
    layout->addWidget(mDashScaleCheckbox);
    mPhaseSlider = new QSlider(Qt::Horizontal, this);
    mPhaseSlider->setRange(0, 100);
    mPhaseSlider->hide(); // the phase handle of the sample line sets the phase
    connect(mPhaseSlider, &QSlider::valueChanged, this, [this] { dashPhaseSliderAction(); });
    layout->addWidget(mPhaseSlider);
    auto *bottom = new QHBoxLayout;
    mPreviewCheckbox = new QCheckBox(tr("Preview"), this);
    mPreviewCheckbox->setChecked(true);
    bottom->addWidget(mPreviewCheckbox);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { ok(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { cancel(); });
    bottom->addWidget(buttons, 1);
    layout->addLayout(bottom);
    connect(mDashPreviewEditView, &VKDashEditView::dashDidChange, this,
            [this] { viewDidChangeDash(); });
    resize(420, 260);
    updateForDash();
}

void VKDashEditor::openDashEditorInParentWindow(QWidget *parent)
{
    if (!mDash)
        setDash(VRStrokeDash::defaultDash());
    // A dialog made inside the inspector already belongs to its window; another parent's
    // window is only used to place the sheet.
    if (parent && !parentWidget())
        move(parent->window()->geometry().center() - rect().center());
    setWindowModality(Qt::WindowModal);
    m_ending = false;
    show();
    raise();
    notifyDelegate();
}

void VKDashEditor::setDash(const VRDashRef &dash)
{
    mDash = dash;
    updateForDash();
}

void VKDashEditor::updateForDash()
{
    mDashPreviewEditView->setDash(mDash);
    if (!mDash) {
        for (QLineEdit *field : mEF) {
            field->clear();
            field->setEnabled(false);
        }
        return;
    }
    setDashCount(mDash->count());
    mDashScaleCheckbox->setChecked(mDash->scalesToLineWidth());
    mPhaseSlider->blockSignals(true);
    mPhaseSlider->setValue(int(std::lround(mDash->phase())));
    mPhaseSlider->blockSignals(false);
}

void VKDashEditor::setLineWidth(double width)
{
    mDashPreviewEditView->setLineWidth(width);
}

void VKDashEditor::setLineCapStyle(int style)
{
    mDashPreviewEditView->setLineCapStyle(style);
}

void VKDashEditor::setLineJoinStyle(int style)
{
    mDashPreviewEditView->setLineJoinStyle(style);
}

void VKDashEditor::setLineColour(const QColor &colour)
{
    mDashPreviewEditView->setLineColour(colour);
}

void VKDashEditor::setDashCount(int count)
{
    if (!mDash)
        return;
    count = std::clamp(count, 0, int(VRStrokeDash::kMaximumCount));
    const auto values = patternBuffer(*mDash);
    if (mDash->count() != count)
        mDash->setDashPattern(firstValues(values, count));
    for (int i = 0; i < VRStrokeDash::kMaximumCount; ++i) {
        QLineEdit *field = mEF[size_t(i)];
        field->setText(i < count ? QString::number(values[size_t(i)], 'g', 6) : QString());
        field->setEnabled(i < count);
    }
    if (QAbstractButton *cell = mDashCountButtonMatrix->button(std::max(0, (count - 1) / 2)))
        cell->setChecked(true);
    mPhaseSlider->setMaximum(int(std::ceil(mDash->length())));
}

void VKDashEditor::dashCountMatrixAction(int column)
{
    setDashCount(2 * column + 2);
    notifyDelegate();
    mDashPreviewEditView->update();
}

void VKDashEditor::dashValueAction()
{
    if (!mDash)
        return;
    std::array<double, VRStrokeDash::kMaximumCount> values;
    values.fill(1.0);
    const int count = std::min(mDash->count(), int(VRStrokeDash::kMaximumCount));
    for (int i = 0; i < count; ++i)
        values[size_t(i)] = mEF[size_t(i)]->text().toDouble();
    const QList<double> pattern = firstValues(values, count);
    if (pattern == mDash->dashPattern())
        return;
    mDash->setDashPattern(pattern);
    notifyDelegate();
    mPhaseSlider->setMaximum(int(std::ceil(mDash->length())));
    mDashPreviewEditView->update();
}

void VKDashEditor::dashScaleCheckboxAction()
{
    if (!mDash)
        return;
    mDash->setScalesToLineWidth(mDashScaleCheckbox->isChecked());
    notifyDelegate();
    mDashPreviewEditView->update();
}

void VKDashEditor::dashPhaseSliderAction()
{
    if (!mDash)
        return;
    mDash->setPhase(mPhaseSlider->value());
    notifyDelegate();
    mDashPreviewEditView->update();
}

void VKDashEditor::viewDidChangeDash()
{
    if (!mDash)
        return;
    setDashCount(mDash->count());
    notifyDelegate();
}

void VKDashEditor::notifyDelegate()
{
    if (mPreviewCheckbox->isChecked())
        emit dashChanged();
}

void VKDashEditor::ok()
{
    // A value typed but not yet committed counts.
    dashValueAction();
    m_ending = true;
    hide();
    emit sheetEnded(kOK);
}

void VKDashEditor::cancel()
{
    m_ending = true;
    hide();
    emit sheetEnded(kCancel);
}

void VKDashEditor::reject()
{
    // Escape and the window's close button cancel.
    if (!m_ending)
        cancel();
}
