#include "inspectors/QntGroupModeInspector.h"

#include "framework/model/QntElement.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntTextCell.h"
#include "inspectors/QntDoubleSlider.h"
#include "inspectors/QntElementModeInspector.h"
#include "inspectors/QntElementTextEditor.h"
#include "inspectors/QntSegmentedCell.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/notations/QntNotation.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/base/VRConstants.h"
#include "framework/view/VRDrawingView.h"
#include "platform/NotificationCenter.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <algorithm>
#include <cmath>

// Paddings, automatic sizing, size and position of the selected shapes; lengths are typed in
// the drawing's units.

namespace {

// The largest length a size or position field takes, in points.
constexpr double kLargestLength = 1.0e6;

QLineEdit *lengthField(const QString &name, QWidget *parent)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setMaximumWidth(80);
    return field;
}

// Whether every object of the kind would stay within the coordinates a drawing holds after
// `change`, tried on copies; the others are not changed and not asked.
template <class Kind>
bool allOfKindWouldFitAfter(const VRObjectList &objects,
                            const std::function<void(VRDrawableObject &)> &change)
{
    return std::all_of(objects.begin(), objects.end(), [&](const VRObjectRef &o) {
        return !o || !o->isKindOf<Kind>() || o->wouldFitTheDrawingAfter(change);
    });
}

} // namespace

QWidget *QntGroupModeInspector::buildGeometryView(QWidget *pane)
{
    _geometryView = new QWidget(pane);
    _geometryView->setObjectName(QStringLiteral("groupGeometry"));
    auto *geometryForm = new QFormLayout(_geometryView);
    geometryForm->setContentsMargins(12, 4, 12, 4);
    auto *geometry = new QWidget(_geometryView);
    auto *grid = new QGridLayout(geometry);
    grid->setContentsMargins(0, 0, 0, 0);
    _widthTextbox = lengthField(QStringLiteral("widthTextbox"), geometry);
    _heightTextbox = lengthField(QStringLiteral("heightTextbox"), geometry);
    _xCenterTextbox = lengthField(QStringLiteral("xCenterTextbox"), geometry);
    _yCenterTextbox = lengthField(QStringLiteral("yCenterTextbox"), geometry);
    const QString captions[] = {tr("Width"), tr("Height"), tr("X (centre)"), tr("Y (centre)")};
    QLineEdit *fields[] = {_widthTextbox, _heightTextbox, _xCenterTextbox, _yCenterTextbox};
    for (int k = 0; k < 4; ++k) {
        grid->addWidget(new QLabel(captions[k], geometry), k / 2, (k % 2) * 3);
        grid->addWidget(fields[k], k / 2, (k % 2) * 3 + 1);
        _unitLabels[k] = new QLabel(geometry);
        grid->addWidget(_unitLabels[k], k / 2, (k % 2) * 3 + 2);
    }
    geometryForm->addRow(geometry);
    // A drawing view reports the geometry of its shape while it is moved or resized.
    m_observers.push_back(NotificationCenter::defaultCenter().addObserver(
        kQntShapeInfoUpdated, nullptr,
        [this](const Notification &n) { selectedShapeInfoDidChange(n); }));
    connect(_widthTextbox, &QLineEdit::returnPressed, this,
            [this] { widthAction(_widthTextbox->text()); });
    connect(_heightTextbox, &QLineEdit::returnPressed, this,
            [this] { heightAction(_heightTextbox->text()); });
    connect(_xCenterTextbox, &QLineEdit::returnPressed, this,
            [this] { xCenterAction(_xCenterTextbox->text()); });
    connect(_yCenterTextbox, &QLineEdit::returnPressed, this,
            [this] { yCenterAction(_yCenterTextbox->text()); });
    auto *buttons = new QWidget(_geometryView);
    auto *row = new QHBoxLayout(buttons);
    row->setContentsMargins(0, 0, 0, 0);
    auto *dimension = new QPushButton(tr("Apply Size"), buttons);
    dimension->setObjectName(QStringLiteral("applyDimension"));
    auto *location = new QPushButton(tr("Apply Position"), buttons);
    location->setObjectName(QStringLiteral("applyLocation"));
    auto *largest = new QPushButton(tr("Resize to Largest"), _geometryView);
    largest->setObjectName(QStringLiteral("resizeToLargest"));
    _elemResizeToLargestButton = largest;
    row->addWidget(dimension);
    row->addWidget(location);
    geometryForm->addRow(buttons);
    connect(dimension, &QPushButton::clicked, this, [this] { applyDimensionAction(); });
    connect(location, &QPushButton::clicked, this, [this] { applyLocationAction(); });
    connect(largest, &QPushButton::clicked, this, [this] { resizeToLargest(); });
    _elemResizeEachElementSlider = new QSlider(Qt::Horizontal, _geometryView);
    _elemResizeEachElementSlider->setObjectName(QStringLiteral("resizeEachElement"));
    // Tenths of the shapes' original size, from a tenth to four times.
    _elemResizeEachElementSlider->setRange(1, 40);
    _elemResizeEachElementSlider->setValue(10);
    _elemResizeEachElementSlider->setTracking(false);
    geometryForm->addRow(largest, _elemResizeEachElementSlider);
    auto *autosize = new QWidget(_geometryView);
    auto *autosizeRow = new QHBoxLayout(autosize);
    autosizeRow->setContentsMargins(0, 0, 0, 0);
    auto *autosizeOn = new QPushButton(tr("Autosize On"), autosize);
    autosizeOn->setObjectName(QStringLiteral("turnAutosizeOn"));
    autosizeOn->setToolTip(tr("Selected shapes follow the size of their text"));
    auto *autosizeOff = new QPushButton(tr("Autosize Off"), autosize);
    autosizeOff->setObjectName(QStringLiteral("turnAutosizeOff"));
    autosizeOff->setToolTip(tr("Selected shapes keep the size they have"));
    autosizeRow->addWidget(autosizeOn);
    autosizeRow->addWidget(autosizeOff);
    geometryForm->addRow(autosize);
    connect(autosizeOn, &QPushButton::clicked, this, [this] { turnAutosizeOnAction(); });
    connect(autosizeOff, &QPushButton::clicked, this, [this] { turnAutosizeOffAction(); });
    auto *defaults = new QPushButton(tr("Apply Defaults"), _geometryView);
    defaults->setObjectName(QStringLiteral("applyDefaults"));
    defaults->setToolTip(tr("Give every selected object its stored defaults"));
    geometryForm->addRow(defaults);
    connect(defaults, &QPushButton::clicked, this, [this] {
        applyDefaultsAction();
        showSelectionAgain();
    });
    _elemResizeEachElementSlider->setToolTip(tr("Scale each shape from its original size"));
    connect(_elemResizeEachElementSlider, &QSlider::valueChanged, this,
            [this](int value) { resizeEachElement(value / 10.0); });
    return _geometryView;
}

bool QntGroupModeInspector::readLength(const QString &typed, bool positive, double *points)
{
    bool ok = false;
    const double value = QLocale().toDouble(typed.trimmed(), &ok);
    const double v = ok ? value : QLocale::c().toDouble(typed.trimmed(), &ok);
    if (!ok || !std::isfinite(v)) {
        refuse(tr("\"%1\" is not a number.").arg(typed));
        return false;
    }
    const double p = v * unitConversionFactor();
    if (positive && !(p > 0)) {
        refuse(tr("The size must be greater than 0."));
        return false;
    }
    if (!std::isfinite(p) || std::abs(p) > kLargestLength) {
        refuse(tr("\"%1\" is too large.").arg(typed));
        return false;
    }
    *points = p;
    return true;
}

double QntGroupModeInspector::unitConversionFactor() const
{
    // The drawing's own conversion, so that typed lengths, the lengths shown and the geometry
    // a drawing view reports are one measure.
    VRDrawing *drawing = targetDrawing();
    const double factor = drawing ? drawing->unitToPointsConversionFactor() : 1.0;
    return std::isfinite(factor) && factor > 0 ? factor : 1.0;
}

bool QntGroupModeInspector::setGeometry(const QList<GeometryValue> &values, const QString &name)
{
    if (values.isEmpty())
        return false;
    VRDrawing *drawing = targetDrawing();
    const double left = drawing ? drawing->leftMargin() : 0.0;
    const double top = drawing ? drawing->topMargin() : 0.0;
    const auto place = [=](VRDrawableObject &o) {
        for (const GeometryValue &value : values) {
            const double v = value.points;
            const QSizeF size = o.size();
            const QPointF at = o.location();
            switch (value.which) {
            case 0: o.setSize({v, size.height()}); break;
            case 1: o.setSize({size.width(), v}); break;
            case 2: o.setLocation({v + left, at.y()}); break;
            default: o.setLocation({at.x(), v + top}); break;
            }
        }
    };
    // The whole change is tried first: a shape it would take out of the drawing leaves every
    // shape as it is.
    if (!allOfKindWouldFitAfter<VRDrawableShape>(selection(), place)) {
        refuse(VRDrawing::objectsTooFarOutMessage());
        return false;
    }
    return changeSelection(name, [&](const VRObjectRef &o) {
        if (!o->isKindOf<VRDrawableShape>())
            return false;
        place(*o);
        if (isMemberOfElements(*o) && o->isKindOf<QntElement>())
            static_cast<QntElement &>(*o).updateConnectedConnectors();
        return true;
    });
}

bool QntGroupModeInspector::setGeometry(const QString &typed, int which)
{
    double v = 0;
    if (!readLength(typed, which < 2, &v))
        return false;
    const QString names[] = {tr("Change Width"), tr("Change Height"), tr("Move"), tr("Move")};
    return setGeometry({{which, v}}, names[which]);
}

bool QntGroupModeInspector::widthAction(const QString &typed)
{
    return setGeometry(typed, 0);
}

bool QntGroupModeInspector::heightAction(const QString &typed)
{
    return setGeometry(typed, 1);
}

bool QntGroupModeInspector::xCenterAction(const QString &typed)
{
    return setGeometry(typed, 2);
}

bool QntGroupModeInspector::yCenterAction(const QString &typed)
{
    return setGeometry(typed, 3);
}

bool QntGroupModeInspector::applyDimensionAction()
{
    mainView();
    // Both fields are checked before either changes anything.
    double w = 0, h = 0;
    const QString wt = _widthTextbox->text(), ht = _heightTextbox->text();
    if ((!wt.isEmpty() && !readLength(wt, true, &w))
        || (!ht.isEmpty() && !readLength(ht, true, &h)))
        return false;
    QList<GeometryValue> values;
    if (!wt.isEmpty())
        values.append({0, w});
    if (!ht.isEmpty())
        values.append({1, h});
    return setGeometry(values, tr("Change Size"));
}

bool QntGroupModeInspector::applyLocationAction()
{
    mainView();
    double x = 0, y = 0;
    const QString xt = _xCenterTextbox->text(), yt = _yCenterTextbox->text();
    if ((!xt.isEmpty() && !readLength(xt, false, &x))
        || (!yt.isEmpty() && !readLength(yt, false, &y)))
        return false;
    QList<GeometryValue> values;
    if (!xt.isEmpty())
        values.append({2, x});
    if (!yt.isEmpty())
        values.append({3, y});
    return setGeometry(values, tr("Move"));
}

void QntGroupModeInspector::resizeToLargest()
{
    // The largest width and the largest height of the elements, each taken on its own.
    double w = 0, h = 0;
    for (const VRObjectRef &o : selection()) {
        if (o && isMemberOfElements(*o)) {
            w = std::max(w, o->size().width());
            h = std::max(h, o->size().height());
        }
    }
    if (w <= 0 || h <= 0)
        return;
    VRDrawing *drawing = targetDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    const double m = std::max(w, h);
    changeSelection(tr("Resize to Largest"), [&](const VRObjectRef &o) {
        if (!isMemberOfElements(*o))
            return false;
        const bool square = notation && notation->proportionalReziseForElementId(o->ID());
        o->setSize(square ? QSizeF(m, m) : QSizeF(w, h));
        if (o->isKindOf<QntElement>())
            static_cast<QntElement &>(*o).updateConnectedConnectors();
        return true;
    });
}

void QntGroupModeInspector::resizeEachElement(double factor)
{
    if (!std::isfinite(factor) || factor <= 0)
        return;
    const auto scale = [factor](VRDrawableObject &o) {
        auto &e = static_cast<QntElement &>(o);
        const QSizeF original = e.originalSize().isEmpty() ? e.size() : e.originalSize();
        e.setSize({original.width() * factor, original.height() * factor});
    };
    if (!allOfKindWouldFitAfter<QntElement>(selection(), scale)) {
        refuse(VRDrawing::objectsTooFarOutMessage());
        return;
    }
    changeSelection(tr("Resize"), [&scale](const VRObjectRef &o) {
        if (!o->isKindOf<QntElement>())
            return false;
        auto &e = static_cast<QntElement &>(*o);
        scale(e);
        e.setResizedByUser(true);
        e.updateConnectedConnectors();
        return true;
    });
}

// ---------------------------------------------------------------- paddings and autosize

QWidget *QntGroupModeInspector::buildPaddingView(QWidget *pane)
{
    auto *box = new QWidget(pane);
    box->setObjectName(QStringLiteral("elementPaddingBox"));
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    _elemPaddingModeSegmentedControl = new QntSegmentedCell(box);
    _elemPaddingModeSegmentedControl->setObjectName(QStringLiteral("elemPaddingMode"));
    _elemPaddingModeSegmentedControl->addSegment(tr("Relative"), 0);
    _elemPaddingModeSegmentedControl->addSegment(tr("Absolute"), 1);
    _elemPaddingModeSegmentedControl->selectSegmentWithTag(0);
    grid->addWidget(new QLabel(tr("Padding"), box), 0, 0);
    grid->addWidget(_elemPaddingModeSegmentedControl, 0, 1, 1, 3, Qt::AlignLeft);
    connect(_elemPaddingModeSegmentedControl, &QntSegmentedCell::segmentClicked, this,
            [this](int tag) { elementPaddingModeAction(tag); });
    const QString captions[] = {tr("Top and bottom"), tr("Left and right")};
    QntDoubleSlider **sliders[] = {&_elemTopBottomPaddingSlider, &_elemLeftRightPaddingSlider};
    QLineEdit **boxes[] = {&_elemTopBottomPaddingTextbox, &_elemLeftRightPaddingTextbox};
    QLabel **labels[] = {&_elemTopBottomPaddingLabel, &_elemLeftRightPaddingLabel};
    const QString names[] = {QStringLiteral("elemTopBottomPadding"),
                             QStringLiteral("elemLeftRightPadding")};
    for (int k = 0; k < 2; ++k) {
        auto *slider = new QntDoubleSlider(box);
        slider->setObjectName(names[k] + QStringLiteral("Slider"));
        slider->setMinimumWidth(110);
        auto *field = lengthField(names[k] + QStringLiteral("Textbox"), box);
        field->setMaximumWidth(60);
        auto *unit = new QLabel(QStringLiteral("%"), box);
        grid->addWidget(new QLabel(captions[k], box), k + 1, 0);
        grid->addWidget(slider, k + 1, 1);
        grid->addWidget(field, k + 1, 2);
        grid->addWidget(unit, k + 1, 3);
        *sliders[k] = slider;
        *boxes[k] = field;
        *labels[k] = unit;
    }
    connect(_elemTopBottomPaddingSlider, &QntDoubleSlider::doubleValueChanged, this,
            [this](double v) { elementTopBottomPaddingSliderAction(v); });
    connect(_elemLeftRightPaddingSlider, &QntDoubleSlider::doubleValueChanged, this,
            [this](double v) { elementLeftRightPaddingSliderAction(v); });
    connect(_elemTopBottomPaddingTextbox, &QLineEdit::returnPressed, this,
            [this] { elementTopBottomPaddingTextboxAction(_elemTopBottomPaddingTextbox->text()); });
    connect(_elemLeftRightPaddingTextbox, &QLineEdit::returnPressed, this,
            [this] { elementLeftRightPaddingTextboxAction(_elemLeftRightPaddingTextbox->text()); });
    return box;
}

int QntGroupModeInspector::paddingMode() const
{
    return _elemPaddingModeSegmentedControl && _elemPaddingModeSegmentedControl->selectedTag() == 1
               ? 1
               : 0;
}

void QntGroupModeInspector::showPadding(QntDoubleSlider *slider, QLineEdit *box, double value)
{
    if (!slider || !box)
        return;
    slider->setDoubleValue(value);
    const double shown = paddingMode() == 0 ? value * 100.0 : value;
    box->setText(QLocale().toString(std::round(shown * 100.0) / 100.0, 'g', 10));
}

void QntGroupModeInspector::updatePaddingModeControl(const QntElement *element)
{
    mainView();
    if (!element)
        return;
    const int mode = element->paddingMode() == 1 ? 1 : 0;
    _elemPaddingModeSegmentedControl->selectSegmentWithTag(mode);
    const QString unit = mode == 1 ? QStringLiteral("px") : QStringLiteral("%");
    _elemTopBottomPaddingLabel->setText(unit);
    _elemLeftRightPaddingLabel->setText(unit);
    elementTextEditor()->setPaddingMode(mode);
    elementModeInspector()->setPaddingMode(mode);
    if (mode == 0) {
        _elemTopBottomPaddingSlider->setMaxValue(1.0);
        _elemLeftRightPaddingSlider->setMaxValue(1.0);
        showPadding(_elemTopBottomPaddingSlider, _elemTopBottomPaddingTextbox,
                    element->paddingTopBottom());
        showPadding(_elemLeftRightPaddingSlider, _elemLeftRightPaddingTextbox,
                    element->paddingLeftRight());
        return;
    }
    QSizeF size = element->size();
    if (element->isKindOf<QntElementTable>()) {
        const auto *table = static_cast<const QntElementTable *>(element);
        const QntTextCell *cell = table->activeTextCell();
        size = cell ? cell->size() : QSizeF();
        if (size.isEmpty())
            size = table->minCellSize();
    }
    if (size.height() > 0)
        _elemTopBottomPaddingSlider->setMaxValue(size.height() * 0.5);
    if (size.width() > 0)
        _elemLeftRightPaddingSlider->setMaxValue(size.width() * 0.5);
    showPadding(_elemTopBottomPaddingSlider, _elemTopBottomPaddingTextbox,
                element->paddingTopBottomAbs());
    showPadding(_elemLeftRightPaddingSlider, _elemLeftRightPaddingTextbox,
                element->paddingLeftRightAbs());
}

void QntGroupModeInspector::elementPaddingModeAction(int mode)
{
    mainView();
    mode = mode == 1 ? 1 : 0;
    _elemPaddingModeSegmentedControl->selectSegmentWithTag(mode);
    const VRObjectList objects = selection();
    const QntElement *shown = nullptr;
    inOneStep(tr("Change Paddings"), [&] {
        for (const VRObjectRef &o : objects) {
            if (!o || !(isMemberOfElements(*o) || o->isKindOf<QntElementTable>())
                || !o->isKindOf<QntElement>())
                continue;
            auto &element = static_cast<QntElement &>(*o);
            if (!shown)
                shown = &element;
            if (element.paddingMode() == mode)
                continue;
            // The same paddings in the other unit: the text keeps its place.
            const double topBottom = element.paddingTopBottomAbs();
            const double leftRight = element.paddingLeftRightAbs();
            const QSizeF size = element.size();
            element.setPaddingMode(mode);
            if (mode == 1) {
                element.setPaddingTopBottom(topBottom);
                element.setPaddingLeftRight(leftRight);
            } else {
                if (size.height() > 0)
                    element.setPaddingTopBottom(topBottom / size.height());
                if (size.width() > 0)
                    element.setPaddingLeftRight(leftRight / size.width());
            }
            o->notifyVisualChange();
        }
    });
    // The boxes show the first selected element's paddings in the new unit.
    if (shown)
        updatePaddingModeControl(shown);
    const QString unit = mode == 1 ? QStringLiteral("px") : QStringLiteral("%");
    _elemTopBottomPaddingLabel->setText(unit);
    _elemLeftRightPaddingLabel->setText(unit);
    elementTextEditor()->setPaddingMode(mode);
    elementModeInspector()->setPaddingMode(mode);
}

void QntGroupModeInspector::elementTopBottomPaddingSliderAction(double value)
{
    if (singleTable()) {
        tableTopBottomPaddingAction(value);
    } else {
        QntElementTextEditor *editor = elementTextEditor();
        editor->setObjectsClass(VRClassInfo::byName(u"QntElement"));
        editor->setMultipleSelectionMode(1);
        editor->setPaddingMode(paddingMode());
        inOneStep(tr("Change Paddings"), [&] { editor->elementSetTopBottomPadding(value); });
    }
    showPadding(_elemTopBottomPaddingSlider, _elemTopBottomPaddingTextbox, value);
}

void QntGroupModeInspector::elementLeftRightPaddingSliderAction(double value)
{
    if (singleTable()) {
        tableLeftRightPaddingAction(value);
    } else {
        QntElementTextEditor *editor = elementTextEditor();
        editor->setObjectsClass(VRClassInfo::byName(u"QntElement"));
        editor->setMultipleSelectionMode(1);
        editor->setPaddingMode(paddingMode());
        inOneStep(tr("Change Paddings"), [&] { editor->elementSetLeftRightPadding(value); });
    }
    showPadding(_elemLeftRightPaddingSlider, _elemLeftRightPaddingTextbox, value);
}

bool QntGroupModeInspector::readPadding(const QString &typed, double *value)
{
    bool ok = false;
    double v = QLocale().toDouble(typed.trimmed(), &ok);
    if (!ok)
        v = QLocale::c().toDouble(typed.trimmed(), &ok);
    if (!ok || !std::isfinite(v) || v < 0 || v > kLargestLength) {
        refuse(tr("\"%1\" is not a padding.").arg(typed));
        return false;
    }
    *value = paddingMode() == 0 ? v / 100.0 : v;
    return true;
}

bool QntGroupModeInspector::elementTopBottomPaddingTextboxAction(const QString &typed)
{
    mainView();
    double v = 0;
    if (!readPadding(typed, &v))
        return false;
    _elemTopBottomPaddingSlider->setMaxValue(std::max(_elemTopBottomPaddingSlider->maxValue(), v));
    elementTopBottomPaddingSliderAction(v);
    return true;
}

bool QntGroupModeInspector::elementLeftRightPaddingTextboxAction(const QString &typed)
{
    mainView();
    double v = 0;
    if (!readPadding(typed, &v))
        return false;
    _elemLeftRightPaddingSlider->setMaxValue(std::max(_elemLeftRightPaddingSlider->maxValue(), v));
    elementLeftRightPaddingSliderAction(v);
    return true;
}

void QntGroupModeInspector::turnAutosizeOnAction()
{
    QntElementModeInspector *inspector = elementsInspector();
    inOneStep(tr("Autosize"), [inspector] { inspector->setAutosize(true); });
}

void QntGroupModeInspector::turnAutosizeOffAction()
{
    QntElementModeInspector *inspector = elementsInspector();
    inOneStep(tr("Autosize"), [inspector] { inspector->setAutosize(false); });
}

void QntGroupModeInspector::selectedShapeInfoDidChange(const Notification &notification)
{
    if (!_widthTextbox)
        return;
    const QVariantMap &info = notification.userInfo;
    const auto *view = qobject_cast<const VRDrawingView *>(
        info.value(QStringLiteral("sender")).value<QObject *>());
    VRDrawing *drawing = targetDrawing();
    if (!view || !drawing || view->drawing() != drawing)
        return;
    // The fields show one shape's geometry: not one of several selected objects as if it were
    // theirs, and not a connector's.
    const VRObjectList objects = selection();
    if (objects.size() > 1
        || (objects.size() == 1 && !objects.first()->isKindOf<VRDrawableShape>()))
        return;
    const QString keys[] = {QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("width"),
                            QStringLiteral("height")};
    double values[4] = {};
    for (int k = 0; k < 4; ++k) {
        bool ok = false;
        values[k] = info.value(keys[k]).toDouble(&ok);
        if (!info.contains(keys[k]) || !ok || !std::isfinite(values[k]))
            return;
    }
    // The values come in the drawing's units already.
    QLineEdit *fields[] = {_xCenterTextbox, _yCenterTextbox, _widthTextbox, _heightTextbox};
    for (int k = 0; k < 4; ++k)
        fields[k]->setText(QLocale().toString(values[k], 'f', 2));
}
