#include "app/sheets/VKLinearDuplicateController.h"

#include "app/sheets/VKDuplicationDelegate.h"

#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

VKLinearDuplicateController::VKLinearDuplicateController(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("linear_duplication"));
    setWindowTitle(tr("Linear Duplication"));
    mNumberOfCopiesTextField = new QLineEdit(QStringLiteral("1"));
    mNumberOfCopiesTextField->setValidator(new QIntValidator(1, kMaximumCopies, this));
    mXOffsetTextField = new QLineEdit(QStringLiteral("1"));
    mYOffsetTextField = new QLineEdit(QStringLiteral("0"));
    for (QLineEdit *field : {mXOffsetTextField, mYOffsetTextField}) {
        auto *validator = new QDoubleValidator(-1e6, 1e6, 4, this);
        validator->setNotation(QDoubleValidator::StandardNotation);
        field->setValidator(validator);
    }
    for (QLineEdit *field : {mNumberOfCopiesTextField, mXOffsetTextField, mYOffsetTextField}) {
        field->setAlignment(Qt::AlignRight);
        connect(field, &QLineEdit::textChanged, this, [this] { conditionallyEnableOKButton(); });
    }
    auto *form = new QFormLayout;
    form->addRow(tr("Number of copies:"), mNumberOfCopiesTextField);
    form->addRow(tr("Horizontal offset:"), mXOffsetTextField);
    form->addRow(tr("Vertical offset:"), mYOffsetTextField);
    auto *hint = new QLabel(tr("Offsets are in grid units."));
    hint->setEnabled(false);
    auto *buttons = new QDialogButtonBox;
    mOKButton = buttons->addButton(tr("Duplicate"), QDialogButtonBox::AcceptRole);
    mOKButton->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { okAction(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { cancelAction(); });
    connect(this, &QDialog::finished, this, [this](int code) { sheetDidEnd(code); });
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(buttons);
}

void VKLinearDuplicateController::beginLinearDuplicationDialog(QWidget *parentWindow,
                                                               VKDuplicationDelegate *delegate)
{
    mDelegateRef = delegate;
    if (parentWindow && parentWidget() != parentWindow)
        setParent(parentWindow, windowFlags() | Qt::Sheet);
    setWindowModality(parentWindow ? Qt::WindowModal : Qt::ApplicationModal);
    open();
    conditionallyEnableOKButton();
}

void VKLinearDuplicateController::okAction()
{
    done(1);
}

void VKLinearDuplicateController::cancelAction()
{
    done(0);
}

void VKLinearDuplicateController::conditionallyEnableOKButton()
{
    // A count outside 1 ... kMaximumCopies or an offset that is not a number is refused too.
    mOKButton->setEnabled(mNumberOfCopiesTextField->hasAcceptableInput()
                          && mXOffsetTextField->hasAcceptableInput()
                          && mYOffsetTextField->hasAcceptableInput());
}

void VKLinearDuplicateController::sheetDidEnd(int returnCode)
{
    if (returnCode != 1 || !mDelegateRef || !mOKButton->isEnabled())
        return;
    const QLocale locale;
    mDelegateRef->doLinearDuplicateCopies(mNumberOfCopiesTextField->text().toInt(),
                                          QSizeF(locale.toDouble(mXOffsetTextField->text()),
                                                 locale.toDouble(mYOffsetTextField->text())));
}
