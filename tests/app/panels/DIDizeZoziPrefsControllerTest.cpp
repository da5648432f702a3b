#include "app/panels/DIDizeZoziPrefsController.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRObjectOwnerLayer.h"
#include "platform/UserDefaults.h"
#include "common/SharedStateKeepers.h"

#include <QCheckBox>

#include <gtest/gtest.h>

TEST(DIDizeZoziPrefsController, SwitchesReachTheDrawingFramework)
{
    const qnt::test::UserDefaultsKeeper defaults;
    const VRClassInfo &before = VRObjectOwnerLayer::storageClass();
    const bool undoable = VRObjectDrawingLayer::defaultSelectionChangesAreUndoable();
    DIDizeZoziPrefsController panel;
    panel.storageTypeCheckbox()->setChecked(false);
    panel.storageTypeCheckbox()->click();
    EXPECT_EQ(UserDefaults::standardUserDefaults().stringForKey(kVRObjectStorageClassKey),
              QStringLiteral("VRBSPObjectStorage"));
    EXPECT_EQ(&VRObjectOwnerLayer::storageClass(), &VRBSPObjectStorage::staticClass());
    panel.storageTypeCheckbox()->click();
    EXPECT_EQ(UserDefaults::standardUserDefaults().stringForKey(kVRObjectStorageClassKey),
              QStringLiteral("VRLinearObjectStorage"));

    panel.undoSelectionsCheckbox()->setChecked(undoable);
    panel.undoSelectionsCheckbox()->click();
    EXPECT_EQ(VRObjectDrawingLayer::defaultSelectionChangesAreUndoable(), !undoable);
    VRObjectDrawingLayer::setDefaultSelectionChangesAreUndoable(undoable);
    VRObjectOwnerLayer::setStorageClass(before);
}
