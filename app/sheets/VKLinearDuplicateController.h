#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class VKDuplicationDelegate;

// The sheet that asks for a number of copies and an x/y offset in grid units and hands them
// to the document's linear duplication.
class VKLinearDuplicateController : public QDialog
{
    Q_OBJECT
public:
    // Copies per duplication; larger counts would make the drawing unusable.
    static constexpr int kMaximumCopies = 1000;

    explicit VKLinearDuplicateController(QWidget *parent = nullptr);

    void beginLinearDuplicationDialog(QWidget *parentWindow, VKDuplicationDelegate *delegate);
    void okAction();
    void cancelAction();
    void numberOfCopiesAction() { conditionallyEnableOKButton(); }
    void xyOffsetAction() { conditionallyEnableOKButton(); }
    void conditionallyEnableOKButton();
    void sheetDidEnd(int returnCode);

    QLineEdit *numberOfCopiesTextField() const { return mNumberOfCopiesTextField; }
    QLineEdit *xOffsetTextField() const { return mXOffsetTextField; }
    QLineEdit *yOffsetTextField() const { return mYOffsetTextField; }
    QPushButton *okButton() const { return mOKButton; }

private:
    QLineEdit *mNumberOfCopiesTextField = nullptr;
    QLineEdit *mXOffsetTextField = nullptr;
    QLineEdit *mYOffsetTextField = nullptr;
    QPushButton *mOKButton = nullptr;
    VKDuplicationDelegate *mDelegateRef = nullptr;
};
