#pragma once

#include <QDialog>

#include <functional>

class QDialogButtonBox;
class QPushButton;
class QVBoxLayout;

// A generic OK/Cancel dialog, run application-modal or as a sheet on a window. The result is
// 1 for OK and 0 for Cancel.
class VKBasicDialogController : public QDialog
{
    Q_OBJECT
public:
    // Called when a sheet ends: the result code and the dialog.
    using SheetDidEnd = std::function<void(int returnCode, VKBasicDialogController *dialog)>;

    explicit VKBasicDialogController(QWidget *parent = nullptr);

    // The content above the buttons; primaryItem is the control the dialog is about.
    QVBoxLayout *contentLayout() const { return m_content; }
    void setPrimaryItem(QWidget *item) { mPrimaryItem = item; }
    QWidget *primaryItem() const { return mPrimaryItem; }

    int runModal();
    void runAsSheetInParentWindow(QWidget *parent, SheetDidEnd modalDelegate);
    bool isRunningAsSheet() const { return mRunningAsSheet; }
    void ok();
    void cancel();
    void primaryItemAction() {}

    QPushButton *okButton() const { return mOK; }
    QPushButton *cancelButton() const { return mCancel; }

private:
    QPushButton *mOK = nullptr;
    QPushButton *mCancel = nullptr;
    QWidget *mPrimaryItem = nullptr;
    QVBoxLayout *m_content = nullptr;
    SheetDidEnd m_sheetDidEnd;
    bool mRunningAsSheet = false;
};
