#include "library/QntImageCellTitleEditor.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

QntImageCellTitleEditor::QntImageCellTitleEditor(QWidget *parent)
    : QDialog(parent)
    , m_titleTextField(new QLineEdit(this))
{
    setObjectName(QStringLiteral("imageCellTitleEditor"));
    setWindowTitle(tr("Rename Picture"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Title:"), this));
    m_titleTextField->setObjectName(QStringLiteral("titleTextField"));
    m_titleTextField->setMinimumWidth(260);
    layout->addWidget(m_titleTextField);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QntImageCellTitleEditor::ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QntImageCellTitleEditor::cancel);
}

void QntImageCellTitleEditor::openImageCellEditorInParentWindow(QWidget *window,
                                                                QObject *modalDelegate)
{
    mDelegateRef = modalDelegate;
    if (window && parentWidget() != window)
        setParent(window, windowFlags());
    setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    m_titleTextField->selectAll();
    m_titleTextField->setFocus();
    open();
}

void QntImageCellTitleEditor::ok()
{
    hide();
    setResult(1);
    emit sheetDidEnd(1);
}

void QntImageCellTitleEditor::cancel()
{
    hide();
    setResult(0);
    emit sheetDidEnd(0);
}
