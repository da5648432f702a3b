#include "app/panels/DIDizeZoziPrefsController.h"

#include "app/window/DIDizeZoziDocument.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRObjectOwnerLayer.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QVBoxLayout>

DIDizeZoziPrefsController::DIDizeZoziPrefsController(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Drawing Switches"));
    mQualityThrottlingCheckbox = new QCheckBox(tr("Draw with lower quality while dragging"));
    mUndoSelectionsCheckbox = new QCheckBox(tr("Selection changes can be undone"));
    mStorageTypeCheckbox = new QCheckBox(tr("Index objects for large drawings"));
    _displaysSizeInfoWhenDraggingCheckbox =
        new QCheckBox(tr("Show size and position while dragging"));
    auto *layout = new QVBoxLayout(this);
    for (QCheckBox *box : {mQualityThrottlingCheckbox, mUndoSelectionsCheckbox,
                           mStorageTypeCheckbox, _displaysSizeInfoWhenDraggingCheckbox})
        layout->addWidget(box);
    connect(mQualityThrottlingCheckbox, &QCheckBox::clicked, this,
            [this] { qualityThrottlingAction(); });
    connect(mUndoSelectionsCheckbox, &QCheckBox::clicked, this,
            [this] { undoableSelectionAction(); });
    connect(mStorageTypeCheckbox, &QCheckBox::clicked, this, [this] { setStorageTypeAction(); });
    connect(_displaysSizeInfoWhenDraggingCheckbox, &QCheckBox::clicked, this,
            [this] { displaysSizeInfoWhenDraggingAction(); });
    awakeFromNib();
}

void DIDizeZoziPrefsController::awakeFromNib()
{
    mQualityThrottlingCheckbox->setChecked(DIDizeZoziDocument::defaultQualityModulation());
    mUndoSelectionsCheckbox->setChecked(VRObjectDrawingLayer::defaultSelectionChangesAreUndoable());
    // The box shows the storage kind in force, so that it never claims a state that is not the real
    // one.
    mStorageTypeCheckbox->setChecked(&VRObjectOwnerLayer::storageClass()
                                     == &VRBSPObjectStorage::staticClass());
    _displaysSizeInfoWhenDraggingCheckbox->setChecked(
        VRDrawableObject::displaysSizeInfoWhenDragging());
}

void DIDizeZoziPrefsController::qualityThrottlingAction()
{
    DIDizeZoziDocument::setDefaultQualityModulation(mQualityThrottlingCheckbox->isChecked());
}

void DIDizeZoziPrefsController::undoableSelectionAction()
{
    VRObjectDrawingLayer::setDefaultSelectionChangesAreUndoable(
        mUndoSelectionsCheckbox->isChecked());
}

void DIDizeZoziPrefsController::setStorageTypeAction()
{
    VRObjectOwnerLayer::setStorageClass(mStorageTypeCheckbox->isChecked()
                                            ? VRBSPObjectStorage::staticClass()
                                            : VRLinearObjectStorage::staticClass());
    UserDefaults::standardUserDefaults().setObject(VRObjectOwnerLayer::storageClass().className(),
                                                   kVRObjectStorageClassKey);
}

void DIDizeZoziPrefsController::displaysSizeInfoWhenDraggingAction()
{
    VRDrawableObject::setDisplaysSizeInfoWhenDragging(
        _displaysSizeInfoWhenDraggingCheckbox->isChecked());
}
