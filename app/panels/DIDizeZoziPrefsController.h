#pragma once

#include <QDialog>

class QCheckBox;

// A small panel of four drawing switches: quality throttling while dragging, undoable
// selection changes, the object storage kind of new layers and size info while dragging.
class DIDizeZoziPrefsController : public QDialog
{
    Q_OBJECT
public:
    explicit DIDizeZoziPrefsController(QWidget *parent = nullptr);

    // Loads the boxes from the switches' current values.
    void awakeFromNib();
    void qualityThrottlingAction();
    void undoableSelectionAction();
    void setStorageTypeAction();
    void displaysSizeInfoWhenDraggingAction();

    QCheckBox *qualityThrottlingCheckbox() const { return mQualityThrottlingCheckbox; }
    QCheckBox *undoSelectionsCheckbox() const { return mUndoSelectionsCheckbox; }
    QCheckBox *storageTypeCheckbox() const { return mStorageTypeCheckbox; }
    QCheckBox *displaysSizeInfoWhenDraggingCheckbox() const
    {
        return _displaysSizeInfoWhenDraggingCheckbox;
    }

private:
    QCheckBox *mQualityThrottlingCheckbox = nullptr;
    QCheckBox *mUndoSelectionsCheckbox = nullptr;
    QCheckBox *mStorageTypeCheckbox = nullptr;
    QCheckBox *_displaysSizeInfoWhenDraggingCheckbox = nullptr;
};
