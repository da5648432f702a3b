#include "app/sheets/QntPageSetupDialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QRadioButton>

#include <algorithm>

QntPageSetupDialog::QntPageSetupDialog(const QPageLayout &layout, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Page Setup"));
    auto *form = new QFormLayout(this);

    m_paper = new QComboBox(this);
    m_paper->setObjectName(QStringLiteral("paperPopUp"));
    const QPageSize::PageSizeId sizes[] = {QPageSize::A3,     QPageSize::A4,     QPageSize::A5,
                                           QPageSize::B5,     QPageSize::Letter, QPageSize::Legal,
                                           QPageSize::Tabloid};
    for (const QPageSize::PageSizeId id : sizes)
        m_paper->addItem(QPageSize::name(id), QVariant::fromValue(QPageSize(id)));
    // A paper of its own (from a printer or an earlier choice) stays on offer.
    int current = -1;
    for (int i = 0; i < m_paper->count(); ++i) {
        if (m_paper->itemData(i).value<QPageSize>().isEquivalentTo(layout.pageSize()))
            current = i;
    }
    if (current < 0 && layout.pageSize().isValid()) {
        m_paper->addItem(layout.pageSize().name(), QVariant::fromValue(layout.pageSize()));
        current = m_paper->count() - 1;
    }
    m_paper->setCurrentIndex(current >= 0 ? current : 1);
    form->addRow(tr("Paper size:"), m_paper);

    auto *orientationRow = new QHBoxLayout;
    m_orientation = new QButtonGroup(this);
    auto *portrait = new QRadioButton(tr("Portrait"), this);
    auto *landscape = new QRadioButton(tr("Landscape"), this);
    m_orientation->addButton(portrait, QPageLayout::Portrait);
    m_orientation->addButton(landscape, QPageLayout::Landscape);
    (layout.orientation() == QPageLayout::Landscape ? landscape : portrait)->setChecked(true);
    orientationRow->addWidget(portrait);
    orientationRow->addWidget(landscape);
    orientationRow->addStretch();
    form->addRow(tr("Orientation:"), orientationRow);

    const QMarginsF margins = layout.margins(QPageLayout::Millimeter);
    const double values[4] = {margins.top(), margins.left(), margins.right(), margins.bottom()};
    const QString titles[4] = {tr("Top margin:"), tr("Left margin:"), tr("Right margin:"),
                               tr("Bottom margin:")};
    for (int side = 0; side < 4; ++side) {
        auto *box = new QDoubleSpinBox(this);
        box->setRange(0.0, 100.0);
        box->setDecimals(2);
        box->setSuffix(tr(" mm"));
        box->setValue(values[side]);
        m_margins[side] = box;
        form->addRow(titles[side], box);
    }

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

QPageLayout QntPageSetupDialog::pageLayout() const
{
    const QPageSize size = m_paper->currentData().value<QPageSize>();
    const auto orientation = QPageLayout::Orientation(m_orientation->checkedId());
    QPageLayout layout(size, orientation, QMarginsF(), QPageLayout::Millimeter);
    // Margins that would leave no paper inside them are made to fit, half the paper at most.
    const QSizeF paper = layout.fullRect(QPageLayout::Millimeter).size();
    const double across = std::max(0.0, paper.width() / 2.0 - 1.0);
    const double down = std::max(0.0, paper.height() / 2.0 - 1.0);
    layout.setMargins(
        QMarginsF(std::min(m_margins[1]->value(), across), std::min(m_margins[0]->value(), down),
                  std::min(m_margins[2]->value(), across), std::min(m_margins[3]->value(), down)));
    return layout;
}
