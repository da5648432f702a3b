#pragma once

#include "framework/notations/QntNotation.h"
#include "style/VKColourPickerView.h"

// A swatch picker whose swatches are the Text colours of one colour scheme of a notation, six to
// a row; grey past the last colour.
class QntColorPickerView : public VKColourPickerView
{
    Q_OBJECT
public:
    explicit QntColorPickerView(const QRect &frame = QRect(0, 0, 246, 41),
                                QWidget *parent = nullptr);

    void setCurrentNotation(const QntNotationRef &notation) { _currentNotation = notation; }
    void setCurrentColorSchemeId(qint64 schemeId) { _currentColorSchemeId = schemeId; }
    QColor colorForSwatchX(int x, int y) const override;
    int gridColumns() const override { return 6; }
    int gridRows() const override { return 1; }

protected:
    QntNotationRef _currentNotation;
    qint64 _currentColorSchemeId = 0;
};

// A swatch picker of the notation's colour schemes themselves, one swatch per scheme.
class QntColorSchemePickerView : public QntColorPickerView
{
    Q_OBJECT
public:
    explicit QntColorSchemePickerView(const QRect &frame = QRect(0, 0, 246, 41),
                                      QWidget *parent = nullptr);

    QColor colorForSwatchX(int x, int y) const override;
    qint64 colorSchemeIdForSwatchX(int x, int y) const;
    // The scheme of the swatch picked in the single row of six; 0 for none.
    qint64 colorSchemeId() const;
};
