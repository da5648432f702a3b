#pragma once

#include "framework/document/VRInspectorBase.h"
#include "framework/base/VRTypes.h"
#include "platform/NotificationCenter.h"

#include <vector>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTableWidget;
class QTableWidgetItem;
class QToolButton;

// A floating panel with the geometry, type, style name, lock state and metadata of the one
// selected object of the current drawing. Position, size and angle are edited undoably;
// metadata is edited in a key/value table.
class VKObjectInspector : public VRInspectorBase
{
    Q_OBJECT
public:
    enum Tab { NoSelectionTab = 0, MultipleSelectionTab = 1, SingleObjectTab = 2, GroupTab = 3 };
    enum MetadataType { StringType = 0, IntegerType = 1, RealType = 2 };

    explicit VKObjectInspector(QObject *parent = nullptr);
    ~VKObjectInspector() override;

    void updateTabAtIndex(int index, const VRObjectList &selection);
    void updateSingleItemTabWithObject(const VRObjectRef &object);
    void updateGroupTabWithObject(const VRObjectRef &group);

    void changeCoordinatesAction(int tag);
    void changeLocationAction();
    void changeSizeAction();
    void changeAngleAction();
    void addMetaItemAction(int tag);
    void removeMetaItemAction();
    void ungroupButtonAction() {}

    // The metadata table: rows are the sorted keys of the shown object's metadata.
    int numberOfRows() const;
    QVariant objectValue(int column, int row) const;
    // False when the edit was refused (locked object, empty or taken key).
    bool setObjectValue(const QVariant &value, int column, int row);
    bool shouldEdit(int row) const;
    void reloadMetadataTable();

    VRObjectRef shownObject() const { return mSel.lock(); }
    bool convertsCoordinates() const { return mConvertCoordinates; }
    int currentTab() const;
    QLineEdit *angleField() const { return mGenInfoAngleField; }
    QLineEdit *widthField() const { return mGenInfoWidthField; }
    QLineEdit *heightField() const { return mGenInfoHeightField; }
    QLineEdit *locationXField() const { return mGenInfoLocationXField; }
    QLineEdit *locationYField() const { return mGenInfoLocationYField; }
    QLineEdit *styleNameField() const { return mGenInfoStyleNameField; }
    QLineEdit *typeField() const { return mGenInfoTypeField; }
    QLabel *multiItemCountField() const { return mMultiInfoItemCountField; }
    QLabel *groupItemCountField() const { return mGroupInfoItemCountField; }
    QLabel *lockIconImageWell() const { return mLockIconImageWell; }
    QTableWidget *metaTableView() const { return mMetaTableView; }
    QToolButton *metaAddItemButton() const { return mMetaAddItemButton; }
    QPushButton *metaRemoveItemButton() const { return mMetaRemoveItemButton; }

protected:
    QWidget *createWindow() override;
    void windowDidLoad() override;
    void redisplayContentForSelection(const VRObjectList &selection) override;

private:
    void objectChanged(const Notification &notification);
    void styleChanged(const Notification &notification);
    QStringList sortedKeys() const;
    void nameUndoAction(const QString &name);
    // A typed place, size or angle would take the object out of the drawing: nothing changes.
    void refuseTooFarOut(const VRObjectRef &object, VRDrawing *drawing);

    QLineEdit *mGenInfoAngleField = nullptr;
    QLineEdit *mGenInfoHeightField = nullptr;
    QLineEdit *mGenInfoLocationXField = nullptr;
    QLineEdit *mGenInfoLocationYField = nullptr;
    QLineEdit *mGenInfoStyleNameField = nullptr;
    QLineEdit *mGenInfoTypeField = nullptr;
    QLineEdit *mGenInfoWidthField = nullptr;
    QButtonGroup *mGenInfoCoordinateRadioButtons = nullptr;
    QLabel *mMultiInfoItemCountField = nullptr;
    QLabel *mGroupInfoItemCountField = nullptr;
    QStackedWidget *mMainTabView = nullptr;
    QToolButton *mMetaAddItemButton = nullptr;
    QPushButton *mMetaRemoveItemButton = nullptr;
    QTableWidget *mMetaTableView = nullptr;
    QLabel *mLockIconImageWell = nullptr;
    std::weak_ptr<VRDrawableObject> mSel;
    bool mConvertCoordinates = true;
    bool m_filling = false;
    std::vector<NotificationToken> m_observers;
};
