#pragma once

#include <QDialog>
#include <QPointer>

class QLineEdit;

// The sheet that renames an image-bank entry: a text field with OK and Cancel.
class QntImageCellTitleEditor : public QDialog
{
    Q_OBJECT
public:
    explicit QntImageCellTitleEditor(QWidget *parent = nullptr);

    QLineEdit *titleTextField() const { return m_titleTextField; }
    // Runs the editor as a sheet on the window; the delegate is told the return code (1 OK,
    // 0 Cancel) through sheetDidEnd.
    void openImageCellEditorInParentWindow(QWidget *window, QObject *modalDelegate);

    void ok();
    void cancel();
    // Return and Escape end the sheet as the buttons do.
    void accept() override { ok(); }
    void reject() override { cancel(); }

signals:
    void sheetDidEnd(int returnCode);

private:
    QLineEdit *m_titleTextField;
    QPointer<QObject> mDelegateRef;
};
