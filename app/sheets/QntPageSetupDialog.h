#pragma once

#include <QDialog>
#include <QPageLayout>

class QButtonGroup;
class QComboBox;
class QDoubleSpinBox;

// Page Setup: the paper a drawing prints on, its orientation and its margins (in
// millimetres). Works with or without a printer installed; what it chooses becomes the
// drawing's print information, whose imageable area the page breaks and printing follow.
class QntPageSetupDialog : public QDialog
{
    Q_OBJECT
public:
    explicit QntPageSetupDialog(const QPageLayout &layout, QWidget *parent = nullptr);

    // The paper, orientation and margins shown now.
    QPageLayout pageLayout() const;

    QComboBox *paperPopUp() const { return m_paper; }
    QButtonGroup *orientationButtons() const { return m_orientation; }
    // Top, left, right, bottom.
    QDoubleSpinBox *marginBox(int side) const { return m_margins[side]; }

private:
    QComboBox *m_paper = nullptr;
    QButtonGroup *m_orientation = nullptr;
    QDoubleSpinBox *m_margins[4] = {};
};
