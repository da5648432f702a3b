#include "app/sheets/VKPolarDuplicateController.h"

#include "app/sheets/VKDuplicationDelegate.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QDoubleValidator *numberValidator(QObject *parent)
{
    auto *validator = new QDoubleValidator(-1e6, 1e6, 4, parent);
    validator->setNotation(QDoubleValidator::StandardNotation);
    return validator;
}

} // namespace

VKPolarDuplicateController::VKPolarDuplicateController(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("polar_duplication"));
    setWindowTitle(tr("Polar Duplication"));
    mCentreXTextField = new QLineEdit;
    mCentreYTextField = new QLineEdit;
    mCopiesTextField = new QLineEdit(QStringLiteral("3"));
    mAngleIncrementTextField = new QLineEdit(QStringLiteral("90"));
    mCentreXTextField->setValidator(numberValidator(this));
    mCentreYTextField->setValidator(numberValidator(this));
    mAngleIncrementTextField->setValidator(numberValidator(this));
    mCopiesTextField->setValidator(new QIntValidator(1, kMaximumCopies, this));
    mRotateCopiesCheckbox = new QCheckBox(tr("Rotate copies"));
    mRotateCopiesCheckbox->setChecked(true);
    mAutoFitCircleCheckbox = new QCheckBox(tr("Fit copies around the circle"));

    auto *centreBox = new QGroupBox(tr("Centre (grid units)"));
    auto *centreForm = new QFormLayout(centreBox);
    centreForm->addRow(tr("X:"), mCentreXTextField);
    centreForm->addRow(tr("Y:"), mCentreYTextField);

    mManualSettingsBox = new QGroupBox(tr("Copies"));
    auto *manualForm = new QFormLayout(mManualSettingsBox);
    manualForm->addRow(tr("Number of copies:"), mCopiesTextField);
    manualForm->addRow(tr("Angle step (degrees):"), mAngleIncrementTextField);
    manualForm->addRow(QString(), mRotateCopiesCheckbox);

    for (QLineEdit *field :
         {mCentreXTextField, mCentreYTextField, mCopiesTextField, mAngleIncrementTextField}) {
        field->setAlignment(Qt::AlignRight);
        connect(field, &QLineEdit::textChanged, this, [this] { conditionallyEnableOKButton(); });
    }
    connect(mAutoFitCircleCheckbox, &QCheckBox::clicked, this, [this] { autoFitAction(); });

    auto *buttons = new QDialogButtonBox;
    mOKButton = buttons->addButton(tr("Duplicate"), QDialogButtonBox::AcceptRole);
    mOKButton->setDefault(true);
    mCancelButton = buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { duplicateAction(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { cancelAction(); });
    connect(this, &QDialog::finished, this, [this](int code) { sheetDidEnd(code); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(centreBox);
    layout->addWidget(mAutoFitCircleCheckbox);
    layout->addWidget(mManualSettingsBox);
    layout->addWidget(buttons);
}

void VKPolarDuplicateController::beginPolarDuplicationDialog(QWidget *parentWindow,
                                                             VKDuplicationDelegate *delegate)
{
    mDelegateRef = delegate;
    if (parentWindow && parentWidget() != parentWindow)
        setParent(parentWindow, windowFlags() | Qt::Sheet);
    setWindowModality(parentWindow ? Qt::WindowModal : Qt::ApplicationModal);
    open();
    const bool single = delegate && delegate->countOfItemsInSelection() == 1;
    mAutoFitCircleCheckbox->setEnabled(single);
    if (!single && mAutoFitCircleCheckbox->isChecked()) {
        mAutoFitCircleCheckbox->setChecked(false);
        autoFitAction();
    }
    conditionallyEnableOKButton();
}

void VKPolarDuplicateController::duplicateAction()
{
    done(1);
}

void VKPolarDuplicateController::cancelAction()
{
    done(0);
}

void VKPolarDuplicateController::autoFitAction()
{
    const bool autoFit = mAutoFitCircleCheckbox->isChecked();
    mAngleIncrementTextField->setEnabled(!autoFit);
    mCopiesTextField->setEnabled(!autoFit);
    if (autoFit)
        mRotateCopiesCheckbox->setChecked(true);
    mRotateCopiesCheckbox->setEnabled(!autoFit);
    conditionallyEnableOKButton();
}

void VKPolarDuplicateController::conditionallyEnableOKButton()
{
    bool ok = mCentreXTextField->hasAcceptableInput() && mCentreYTextField->hasAcceptableInput();
    // Without the automatic fit the count and step must be usable numbers as well.
    if (!mAutoFitCircleCheckbox->isChecked())
        ok = ok && mCopiesTextField->hasAcceptableInput()
             && mAngleIncrementTextField->hasAcceptableInput();
    mOKButton->setEnabled(ok);
}

void VKPolarDuplicateController::sheetDidEnd(int returnCode)
{
    if (returnCode != 1 || !mDelegateRef || !mOKButton->isEnabled())
        return;
    const QLocale locale;
    const QPointF centre(locale.toDouble(mCentreXTextField->text()),
                         locale.toDouble(mCentreYTextField->text()));
    if (mAutoFitCircleCheckbox->isChecked() && mAutoFitCircleCheckbox->isEnabled()) {
        mDelegateRef->doAutoPolarDuplicateWithCentre(centre);
        return;
    }
    mDelegateRef->doPolarDuplicateCopies(mCopiesTextField->text().toInt(), centre,
                                         locale.toDouble(mAngleIncrementTextField->text()),
                                         mRotateCopiesCheckbox->isChecked());
}
