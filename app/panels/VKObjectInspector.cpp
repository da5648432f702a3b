#include "app/panels/VKObjectInspector.h"

#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRShapeGroup.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/styles/VRStyle.h"

#include <QButtonGroup>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

// New metadata keys count up for the whole run.
qint64 g_metaKeyCounter = 0;

// Three decimals are enough to read; the fields are only applied when the user edits them.
QString number(double value)
{
    QString text = QString::number(value, 'f', 3);
    while (text.contains(QLatin1Char('.'))
           && (text.endsWith(QLatin1Char('0')) || text.endsWith(QLatin1Char('.'))))
        text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

QPixmap lockedSymbol()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(90, 90, 90), 1.6));
    painter.drawArc(QRectF(4, 1.5, 8, 9), 0, 180 * 16);
    painter.drawLine(QPointF(4, 6), QPointF(4, 8));
    painter.drawLine(QPointF(12, 6), QPointF(12, 8));
    painter.fillRect(QRectF(2.5, 7.5, 11, 7.5), QColor(90, 90, 90));
    return pixmap;
}

} // namespace

VKObjectInspector::VKObjectInspector(QObject *parent)
    : VRInspectorBase(QStringLiteral("ObjectInspector"), parent)
{
}

VKObjectInspector::~VKObjectInspector() = default;

QWidget *VKObjectInspector::createWindow()
{
    auto *window = new QWidget(nullptr, Qt::Tool);
    window->setObjectName(windowName());
    window->setWindowTitle(tr("Object Inspector"));
    window->setAttribute(Qt::WA_ShowWithoutActivating);

    mMainTabView = new QStackedWidget(window);
    auto *none = new QLabel(tr("No selection"));
    none->setAlignment(Qt::AlignCenter);
    none->setEnabled(false);
    mMultiInfoItemCountField = new QLabel;
    auto *multi = new QWidget;
    auto *multiLayout = new QFormLayout(multi);
    multiLayout->addRow(tr("Objects selected:"), mMultiInfoItemCountField);

    auto *single = new QWidget;
    auto field = [] {
        auto *edit = new QLineEdit;
        auto *validator = new QDoubleValidator(edit);
        validator->setNotation(QDoubleValidator::StandardNotation);
        edit->setValidator(validator);
        edit->setAlignment(Qt::AlignRight);
        return edit;
    };
    mGenInfoLocationXField = field();
    mGenInfoLocationYField = field();
    mGenInfoWidthField = field();
    mGenInfoHeightField = field();
    mGenInfoAngleField = field();
    mGenInfoTypeField = new QLineEdit;
    mGenInfoStyleNameField = new QLineEdit;
    for (QLineEdit *info : {mGenInfoTypeField, mGenInfoStyleNameField})
        info->setReadOnly(true);
    mGroupInfoItemCountField = new QLabel;
    mLockIconImageWell = new QLabel;
    mLockIconImageWell->setFixedSize(16, 16);

    auto *drawingCoordinates = new QRadioButton(tr("Drawing units"));
    auto *points = new QRadioButton(tr("Points"));
    mGenInfoCoordinateRadioButtons = new QButtonGroup(single);
    mGenInfoCoordinateRadioButtons->addButton(drawingCoordinates, 0);
    mGenInfoCoordinateRadioButtons->addButton(points, 1);
    drawingCoordinates->setChecked(true);

    auto *geometry = new QGridLayout;
    geometry->addWidget(new QLabel(tr("X (centre):")), 0, 0, Qt::AlignRight);
    geometry->addWidget(mGenInfoLocationXField, 0, 1);
    geometry->addWidget(new QLabel(tr("Y (centre):")), 0, 2, Qt::AlignRight);
    geometry->addWidget(mGenInfoLocationYField, 0, 3);
    geometry->addWidget(new QLabel(tr("Width:")), 1, 0, Qt::AlignRight);
    geometry->addWidget(mGenInfoWidthField, 1, 1);
    geometry->addWidget(new QLabel(tr("Height:")), 1, 2, Qt::AlignRight);
    geometry->addWidget(mGenInfoHeightField, 1, 3);
    geometry->addWidget(new QLabel(tr("Angle:")), 2, 0, Qt::AlignRight);
    geometry->addWidget(mGenInfoAngleField, 2, 1);
    geometry->addWidget(mLockIconImageWell, 2, 3, Qt::AlignRight);
    auto *units = new QHBoxLayout;
    units->addWidget(drawingCoordinates);
    units->addWidget(points);
    units->addStretch();
    auto *info = new QFormLayout;
    info->addRow(tr("Type:"), mGenInfoTypeField);
    info->addRow(tr("Style:"), mGenInfoStyleNameField);
    info->addRow(tr("Group members:"), mGroupInfoItemCountField);

    mMetaTableView = new QTableWidget(0, 2);
    mMetaTableView->setHorizontalHeaderLabels({tr("Key"), tr("Value")});
    mMetaTableView->horizontalHeader()->setStretchLastSection(true);
    mMetaTableView->verticalHeader()->hide();
    mMetaTableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    mMetaTableView->setSelectionMode(QAbstractItemView::SingleSelection);
    mMetaAddItemButton = new QToolButton;
    mMetaAddItemButton->setText(QStringLiteral("+"));
    mMetaAddItemButton->setPopupMode(QToolButton::InstantPopup);
    auto *addMenu = new QMenu(mMetaAddItemButton);
    const std::pair<int, QString> kinds[] = {
        {StringType, tr("String")}, {IntegerType, tr("Integer")}, {RealType, tr("Real")}};
    for (const auto &[tag, title] : kinds) {
        const int t = tag;
        addMenu->addAction(title, this, [this, t] { addMetaItemAction(t); });
    }
    mMetaAddItemButton->setMenu(addMenu);
    mMetaRemoveItemButton = new QPushButton(QStringLiteral("−"));
    mMetaRemoveItemButton->setFixedWidth(32);
    auto *metaButtons = new QHBoxLayout;
    metaButtons->addWidget(mMetaAddItemButton);
    metaButtons->addWidget(mMetaRemoveItemButton);
    metaButtons->addStretch();

    auto *singleLayout = new QVBoxLayout(single);
    singleLayout->addLayout(geometry);
    singleLayout->addLayout(units);
    singleLayout->addLayout(info);
    singleLayout->addWidget(new QLabel(tr("Metadata")));
    singleLayout->addWidget(mMetaTableView, 1);
    singleLayout->addLayout(metaButtons);

    auto *group = new QLabel(tr("Group"));
    mMainTabView->addWidget(none);
    mMainTabView->addWidget(multi);
    mMainTabView->addWidget(single);
    mMainTabView->addWidget(group);
    auto *layout = new QVBoxLayout(window);
    layout->addWidget(mMainTabView);
    window->resize(340, 460);

    connect(mGenInfoCoordinateRadioButtons, &QButtonGroup::idClicked, this,
            [this](int id) { changeCoordinatesAction(id); });
    connect(mGenInfoLocationXField, &QLineEdit::editingFinished, this,
            [this] { changeLocationAction(); });
    connect(mGenInfoLocationYField, &QLineEdit::editingFinished, this,
            [this] { changeLocationAction(); });
    connect(mGenInfoWidthField, &QLineEdit::editingFinished, this, [this] { changeSizeAction(); });
    connect(mGenInfoHeightField, &QLineEdit::editingFinished, this, [this] { changeSizeAction(); });
    connect(mGenInfoAngleField, &QLineEdit::editingFinished, this, [this] { changeAngleAction(); });
    connect(mMetaRemoveItemButton, &QPushButton::clicked, this, [this] { removeMetaItemAction(); });
    connect(mMetaTableView, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (m_filling)
            return;
        if (!setObjectValue(item->text(), item->column(), item->row()))
            reloadMetadataTable();
    });
    return window;
}

void VKObjectInspector::windowDidLoad()
{
    mMainTabView->setCurrentIndex(NoSelectionTab);
    mConvertCoordinates = true;
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(center.addObserver(kVRDrawableDidChangeNotification, nullptr,
                                             [this](const Notification &n) { objectChanged(n); }));
    m_observers.push_back(center.addObserver(kVRStyleNameChangedNotification, nullptr,
                                             [this](const Notification &n) { styleChanged(n); }));
    redisplayContentForSelection(selectedObjectForCurrentTarget());
}

int VKObjectInspector::currentTab() const
{
    return mMainTabView ? mMainTabView->currentIndex() : NoSelectionTab;
}

void VKObjectInspector::redisplayContentForSelection(const VRObjectList &selection)
{
    if (!mMainTabView)
        return;
    VRObjectList objects = selection;
    if (auto *layer = dynamic_cast<VRObjectDrawingLayer *>(currentActiveLayer()))
        objects = layer->selection();
    int index = NoSelectionTab;
    if (objects.size() == 1)
        index = SingleObjectTab;
    else if (objects.size() > 1)
        index = MultipleSelectionTab;
    if (index != SingleObjectTab)
        mSel.reset();
    updateTabAtIndex(index, objects);
    reloadMetadataTable();
    mMainTabView->setCurrentIndex(index);
}

void VKObjectInspector::updateTabAtIndex(int index, const VRObjectList &selection)
{
    mSel.reset();
    switch (index) {
    case MultipleSelectionTab:
        mMultiInfoItemCountField->setText(QString::number(selection.size()));
        break;
    case SingleObjectTab:
        if (!selection.isEmpty()) {
            mSel = selection.last();
            updateSingleItemTabWithObject(selection.last());
        }
        break;
    case GroupTab:
        if (!selection.isEmpty())
            updateGroupTabWithObject(selection.last());
        break;
    default: break;
    }
}

void VKObjectInspector::updateGroupTabWithObject(const VRObjectRef &group)
{
    auto *shapeGroup = dynamic_cast<VRShapeGroup *>(group.get());
    mGroupInfoItemCountField->setText(
        shapeGroup ? QString::number(shapeGroup->groupObjects().size()) : QStringLiteral("n/a"));
}

void VKObjectInspector::updateSingleItemTabWithObject(const VRObjectRef &object)
{
    if (!object)
        return;
    VRDrawing *drawing = object->drawing() ? object->drawing() : currentDrawing();
    QPointF location = object->location();
    double factor = 1.0;
    if (mConvertCoordinates && drawing) {
        factor = 1.0 / drawing->unitToPointsConversionFactor();
        if (VRGridLayer *grid = drawing->gridLayer())
            location = grid->gridLocationForPoint(location);
    }
    const bool locked = object->isLocked();
    const bool shapeFixed = dynamic_cast<VRDrawablePath *>(object.get()) != nullptr || locked;
    for (QLineEdit *field : {mGenInfoAngleField, mGenInfoWidthField, mGenInfoHeightField})
        field->setEnabled(!shapeFixed);
    mGenInfoAngleField->setText(number(object->angleInDegrees()));
    mGenInfoWidthField->setText(number(object->size().width() * factor));
    mGenInfoHeightField->setText(number(object->size().height() * factor));
    mGenInfoLocationXField->setText(number(location.x()));
    mGenInfoLocationYField->setText(number(location.y()));
    mGenInfoTypeField->setText(object->className());
    mGenInfoLocationXField->setEnabled(!locked);
    mGenInfoLocationYField->setEnabled(!locked);
    mLockIconImageWell->setPixmap(locked ? lockedSymbol() : QPixmap());
    mLockIconImageWell->setToolTip(locked ? QStringLiteral("locked_symbol") : QString());
    mMetaTableView->setEnabled(!locked);
    mMetaAddItemButton->setEnabled(!locked);
    mMetaRemoveItemButton->setEnabled(!locked);
    updateGroupTabWithObject(object);
    const VRStyleRef style = object->style();
    mGenInfoStyleNameField->setText(!style                    ? QStringLiteral("none")
                                    : style->name().isEmpty() ? QStringLiteral("(unnamed)")
                                                              : style->name());
    reloadMetadataTable();
}

void VKObjectInspector::nameUndoAction(const QString &name)
{
    VRObjectRef object = mSel.lock();
    VRDrawing *drawing = object && object->drawing() ? object->drawing() : currentDrawing();
    if (drawing && drawing->undoManager())
        drawing->undoManager()->setActionName(name);
}

void VKObjectInspector::changeCoordinatesAction(int tag)
{
    mConvertCoordinates = tag == 0;
    if (VRObjectRef object = mSel.lock())
        updateSingleItemTabWithObject(object);
}

void VKObjectInspector::changeLocationAction()
{
    VRObjectRef object = mSel.lock();
    if (!object || object->isLocked())
        return;
    if (!mGenInfoLocationXField->isModified() && !mGenInfoLocationYField->isModified())
        return;
    mGenInfoLocationXField->setModified(false);
    mGenInfoLocationYField->setModified(false);
    bool okX = false, okY = false;
    QPointF location(QLocale().toDouble(mGenInfoLocationXField->text(), &okX),
                     QLocale().toDouble(mGenInfoLocationYField->text(), &okY));
    if (!okX || !okY || !std::isfinite(location.x()) || !std::isfinite(location.y())) {
        updateSingleItemTabWithObject(object);
        return;
    }
    VRDrawing *drawing = object->drawing() ? object->drawing() : currentDrawing();
    if (mConvertCoordinates && drawing && drawing->gridLayer())
        location = drawing->gridLayer()->pointForGridLocation(location);
    if (location == object->location())
        return;
    if (!object->fitsTheDrawing(location - object->location())) {
        refuseTooFarOut(object, drawing);
        return;
    }
    object->setLocation(location);
    nameUndoAction(tr("Position Object"));
}

void VKObjectInspector::refuseTooFarOut(const VRObjectRef &object, VRDrawing *drawing)
{
    // The fields show the object's own values again; the document window says why.
    updateSingleItemTabWithObject(object);
    if (drawing)
        drawing->refuseObjectsTooFarOut();
}

void VKObjectInspector::changeSizeAction()
{
    VRObjectRef object = mSel.lock();
    if (!object || object->isLocked() || dynamic_cast<VRDrawablePath *>(object.get()))
        return;
    if (!mGenInfoWidthField->isModified() && !mGenInfoHeightField->isModified())
        return;
    mGenInfoWidthField->setModified(false);
    mGenInfoHeightField->setModified(false);
    bool okW = false, okH = false;
    QSizeF size(QLocale().toDouble(mGenInfoWidthField->text(), &okW),
                QLocale().toDouble(mGenInfoHeightField->text(), &okH));
    VRDrawing *drawing = object->drawing() ? object->drawing() : currentDrawing();
    if (mConvertCoordinates && drawing)
        size *= drawing->unitToPointsConversionFactor();
    // A size must have an area: zero, negative or not-a-number sizes are refused.
    if (!okW || !okH || !(size.width() > 0) || !(size.height() > 0) || !std::isfinite(size.width())
        || !std::isfinite(size.height())) {
        updateSingleItemTabWithObject(object);
        return;
    }
    if (size == object->size())
        return;
    if (!object->wouldFitTheDrawingAfter([size](VRDrawableObject &o) { o.setSize(size); })) {
        refuseTooFarOut(object, drawing);
        return;
    }
    object->setSize(size);
    nameUndoAction(tr("Set Object Size"));
}

void VKObjectInspector::changeAngleAction()
{
    VRObjectRef object = mSel.lock();
    if (!object || object->isLocked() || dynamic_cast<VRDrawablePath *>(object.get()))
        return;
    if (!mGenInfoAngleField->isModified())
        return;
    mGenInfoAngleField->setModified(false);
    bool ok = false;
    const double degrees = QLocale().toDouble(mGenInfoAngleField->text(), &ok);
    if (!ok || !std::isfinite(degrees)) {
        updateSingleItemTabWithObject(object);
        return;
    }
    const double radians = degrees * M_PI / 180.0;
    if (std::abs(radians - object->angle()) < 1e-12)
        return;
    if (!object->wouldFitTheDrawingAfter([radians](VRDrawableObject &o) { o.setAngle(radians); })) {
        refuseTooFarOut(object, object->drawing() ? object->drawing() : currentDrawing());
        return;
    }
    object->setAngle(radians);
    nameUndoAction(tr("Set Object Angle"));
}

QStringList VKObjectInspector::sortedKeys() const
{
    VRObjectRef object = mSel.lock();
    if (!object)
        return {};
    QStringList keys = object->userInfo().keys();
    std::sort(keys.begin(), keys.end());
    return keys;
}

int VKObjectInspector::numberOfRows() const
{
    VRObjectRef object = mSel.lock();
    return object ? int(object->userInfo().size()) : 0;
}

QVariant VKObjectInspector::objectValue(int column, int row) const
{
    const QStringList keys = sortedKeys();
    if (row < 0 || row >= keys.size())
        return {};
    if (column == 0)
        return keys.at(row);
    return mSel.lock()->userInfo().value(keys.at(row));
}

bool VKObjectInspector::shouldEdit(int) const
{
    VRObjectRef object = mSel.lock();
    return object && !object->isLocked();
}

bool VKObjectInspector::setObjectValue(const QVariant &value, int column, int row)
{
    VRObjectRef object = mSel.lock();
    const QStringList keys = sortedKeys();
    if (!object || object->isLocked() || row < 0 || row >= keys.size())
        return false;
    const QString key = keys.at(row);
    if (column == 0) {
        // A rename must not silently replace another entry.
        const QString newKey = value.toString().trimmed();
        if (newKey.isEmpty() || (newKey != key && object->hasMetadataForKey(newKey)))
            return false;
        if (newKey == key)
            return true;
        const QVariant held = object->metadataObjectForKey(key);
        object->removeMetadataForKey(key);
        object->setMetadataObject(held, newKey);
        reloadMetadataTable();
        // The entry moves to its sorted place: its value is what is edited next, not whatever
        // entry now lies where it was.
        const int moved = int(sortedKeys().indexOf(newKey));
        if (mMetaTableView && moved >= 0) {
            mMetaTableView->setCurrentCell(moved, 1);
            mMetaTableView->scrollToItem(mMetaTableView->item(moved, 1));
            QPointer<QTableWidget> table(mMetaTableView);
            QTimer::singleShot(0, mMetaTableView, [table, newKey] {
                if (!table || !table->isVisible())
                    return;
                const int row = table->currentRow();
                if (row >= 0 && table->item(row, 0) && table->item(row, 0)->text() == newKey)
                    table->editItem(table->item(row, 1));
            });
        }
        return true;
    } else {
        // The entry keeps its kind: numbers stay numbers.
        const QVariant old = object->metadataObjectForKey(key);
        QVariant stored = value;
        bool ok = true;
        if (old.typeId() == QMetaType::LongLong || old.typeId() == QMetaType::Int)
            stored = QLocale().toLongLong(value.toString(), &ok);
        else if (old.typeId() == QMetaType::Double)
            stored = QLocale().toDouble(value.toString(), &ok);
        if (!ok)
            return false;
        object->setMetadataObject(stored, key);
    }
    reloadMetadataTable();
    return true;
}

void VKObjectInspector::reloadMetadataTable()
{
    if (!mMetaTableView)
        return;
    m_filling = true;
    const QStringList keys = sortedKeys();
    mMetaTableView->setRowCount(int(keys.size()));
    VRObjectRef object = mSel.lock();
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable
                                | (shouldEdit(0) ? Qt::ItemIsEditable : Qt::NoItemFlags);
    for (int row = 0; row < keys.size(); ++row) {
        auto *keyItem = new QTableWidgetItem(keys.at(row));
        auto *valueItem = new QTableWidgetItem(object->userInfo().value(keys.at(row)).toString());
        keyItem->setFlags(flags);
        valueItem->setFlags(flags);
        mMetaTableView->setItem(row, 0, keyItem);
        mMetaTableView->setItem(row, 1, valueItem);
    }
    m_filling = false;
}

void VKObjectInspector::addMetaItemAction(int tag)
{
    VRObjectRef object = mSel.lock();
    const QString key = QStringLiteral("** change me %1 **").arg(++g_metaKeyCounter);
    if (!object || object->isLocked())
        return;
    switch (tag) {
    case StringType: object->setString(QString(), key); break;
    case IntegerType: object->setIntValue(0, key); break;
    case RealType: object->setFloatValue(0.0, key); break;
    default: break;
    }
    reloadMetadataTable();
}

void VKObjectInspector::removeMetaItemAction()
{
    VRObjectRef object = mSel.lock();
    if (!object || object->isLocked() || !mMetaTableView)
        return;
    const int row = mMetaTableView->currentRow();
    const QStringList keys = sortedKeys();
    if (row < 0 || row >= keys.size())
        return;
    object->removeMetadataForKey(keys.at(row));
    reloadMetadataTable();
}

void VKObjectInspector::objectChanged(const Notification &notification)
{
    VRObjectRef object = mSel.lock();
    if (object && notification.object == object.get())
        updateSingleItemTabWithObject(object);
}

void VKObjectInspector::styleChanged(const Notification &notification)
{
    VRObjectRef object = mSel.lock();
    if (object && object->style() && notification.object == object->style().get())
        updateSingleItemTabWithObject(object);
}
