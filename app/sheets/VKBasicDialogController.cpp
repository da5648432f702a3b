#include "app/sheets/VKBasicDialogController.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

VKBasicDialogController::VKBasicDialogController(QWidget *parent)
    : QDialog(parent)
{
    m_content = new QVBoxLayout;
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    mOK = buttons->button(QDialogButtonBox::Ok);
    mCancel = buttons->button(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { ok(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { cancel(); });
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(m_content, 1);
    layout->addWidget(buttons);
}

int VKBasicDialogController::runModal()
{
    mRunningAsSheet = false;
    setWindowModality(Qt::ApplicationModal);
    const int code = exec();
    hide();
    return code;
}

void VKBasicDialogController::runAsSheetInParentWindow(QWidget *parent, SheetDidEnd modalDelegate)
{
    mRunningAsSheet = true;
    m_sheetDidEnd = std::move(modalDelegate);
    if (parent && parentWidget() != parent)
        setParent(parent, windowFlags() | Qt::Sheet);
    setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    open();
}

void VKBasicDialogController::ok()
{
    done(1);
    if (mRunningAsSheet && m_sheetDidEnd)
        m_sheetDidEnd(1, this);
}

void VKBasicDialogController::cancel()
{
    done(0);
    if (mRunningAsSheet && m_sheetDidEnd)
        m_sheetDidEnd(0, this);
}
