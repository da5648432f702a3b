#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class VKDuplicationDelegate;

// The sheet that asks for a centre, a number of copies, an angle step and whether copies
// rotate, or for an automatic fit of copies around a circle, and hands the answer to the
// document's polar duplication.
class VKPolarDuplicateController : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kMaximumCopies = 1000;

    explicit VKPolarDuplicateController(QWidget *parent = nullptr);

    void beginPolarDuplicationDialog(QWidget *parentWindow, VKDuplicationDelegate *delegate);
    void duplicateAction();
    void cancelAction();
    void centreAction() { conditionallyEnableOKButton(); }
    void autoFitAction();
    void angleAction() { conditionallyEnableOKButton(); }
    void copiesAction() { conditionallyEnableOKButton(); }
    void rotateCopiesAction() {}
    void conditionallyEnableOKButton();
    void sheetDidEnd(int returnCode);

    QLineEdit *angleIncrementTextField() const { return mAngleIncrementTextField; }
    QLineEdit *centreXTextField() const { return mCentreXTextField; }
    QLineEdit *centreYTextField() const { return mCentreYTextField; }
    QLineEdit *copiesTextField() const { return mCopiesTextField; }
    QCheckBox *rotateCopiesCheckbox() const { return mRotateCopiesCheckbox; }
    QCheckBox *autoFitCircleCheckbox() const { return mAutoFitCircleCheckbox; }
    QPushButton *okButton() const { return mOKButton; }

private:
    QLineEdit *mAngleIncrementTextField = nullptr;
    QLineEdit *mCentreXTextField = nullptr;
    QLineEdit *mCentreYTextField = nullptr;
    QLineEdit *mCopiesTextField = nullptr;
    QCheckBox *mRotateCopiesCheckbox = nullptr;
    QCheckBox *mAutoFitCircleCheckbox = nullptr;
    QPushButton *mOKButton = nullptr;
    QPushButton *mCancelButton = nullptr;
    QGroupBox *mManualSettingsBox = nullptr;
    VKDuplicationDelegate *mDelegateRef = nullptr;
};
