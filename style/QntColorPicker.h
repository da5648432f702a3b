#pragma once

#include "framework/base/VRTypes.h"
#include "framework/notations/QntNotation.h"

#include <QColor>
#include <QPushButton>

class QntColorPicker;
class QntColorSchemePicker;
class VKColourPickerView;

// The inspector behind a colour picker button: the drawing and the object being inspected, and
// optionally what to do with a picked colour.
class QntColorPickerDelegate
{
public:
    virtual ~QntColorPickerDelegate() = default;
    virtual VRDrawing *currentDrawing() const = 0;
    virtual VRObjectRef contextObject() const = 0;
    virtual bool respondsToChangeColor() const { return false; }
    virtual void changeColor(QntColorPicker &) {}
    // A colour scheme picked in a scheme picker.
    virtual bool respondsToChangeColorScheme() const { return false; }
    virtual void changeColorScheme(QntColorSchemePicker &, qint64) {}
};

// What the button's cell keeps from the last click: the colour shown, the notation and the
// colour scheme whose colours the pop-up offers.
struct QntColorPickerButtonCell {
    QColor mColour;
    QRect mFrame;
    QntNotationRef _currentNotation;
    qint64 _colorSchemeId = 0;
};

// A button showing a colour; a click pops up the Text colours of the inspected object's colour
// scheme, and every colour picked there goes to the delegate at once.
class QntColorPicker : public QPushButton
{
    Q_OBJECT
public:
    explicit QntColorPicker(QWidget *parent = nullptr);

    void setDelegate(QntColorPickerDelegate *delegate) { m_delegate = delegate; }
    QntColorPickerDelegate *delegate() const { return m_delegate; }
    // Black while no colour was set.
    QColor color() const;
    // Shows the colour as the button's whole picture.
    void setColor(const QColor &colour);
    const QntColorPickerButtonCell &cell() const { return m_cell; }

    virtual void colourChangeFromPicker(VKColourPickerView &picker);
    // Pops the picker up under the button and returns when it has closed.
    void trackMouse(const QMouseEvent *event);

signals:
    // The pop-up's picker is up (for tests that act while it tracks).
    void pickerShown(VKColourPickerView *picker);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    virtual VKColourPickerView *makePickerView();

    QntColorPickerButtonCell m_cell;
    QntColorPickerDelegate *m_delegate = nullptr;
};

// The same button offering the notation's colour schemes, one swatch per scheme; the scheme
// picked goes to the delegate.
class QntColorSchemePicker : public QntColorPicker
{
    Q_OBJECT
public:
    explicit QntColorSchemePicker(QWidget *parent = nullptr);
    void colourChangeFromPicker(VKColourPickerView &picker) override;

protected:
    VKColourPickerView *makePickerView() override;
};
