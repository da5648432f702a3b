#include "style/QntColorPicker.h"

#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "style/QntColorPickerView.h"
#include "style/VKWindowMenu.h"

#include <QMouseEvent>
#include <QPainter>

QntColorPicker::QntColorPicker(QWidget *parent)
    : QPushButton(parent)
{
    setObjectName(QStringLiteral("colorPicker"));
}

QColor QntColorPicker::color() const
{
    return m_cell.mColour.isValid() ? m_cell.mColour : QColor(Qt::black);
}

void QntColorPicker::setColor(const QColor &colour)
{
    QPixmap picture(size().isEmpty() ? QSize(1, 1) : size());
    picture.fill(colour.isValid() ? colour : QColor(Qt::black));
    setIcon(QIcon(picture));
    setIconSize(picture.size());
    m_cell.mColour = colour;
}

void QntColorPicker::colourChangeFromPicker(VKColourPickerView &picker)
{
    setColor(picker.color());
    if (m_delegate && m_delegate->respondsToChangeColor())
        m_delegate->changeColor(*this);
}

void QntColorPicker::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QPushButton::mousePressEvent(event);
        return;
    }
    if (m_delegate) {
        VRDrawing *drawing = m_delegate->currentDrawing();
        m_cell._currentNotation = drawing ? drawing->currentNotation() : nullptr;
        const VRObjectRef object = m_delegate->contextObject();
        m_cell._colorSchemeId = object ? object->colorSchemeId() : 0;
        // An object of no scheme is offered the notation's first one.
        if (m_cell._colorSchemeId == 0 && m_cell._currentNotation) {
            const QList<QntColorSchemeData> schemes = m_cell._currentNotation->colorSchemesList();
            if (!schemes.isEmpty())
                m_cell._colorSchemeId = schemes.first().schemeId;
        }
    }
    trackMouse(event);
}

VKColourPickerView *QntColorPicker::makePickerView()
{
    auto *view = new QntColorPickerView(QRect(0, 0, 246, 41));
    view->setCurrentColorSchemeId(m_cell._colorSchemeId);
    return view;
}

void QntColorPicker::trackMouse(const QMouseEvent *event)
{
    m_cell.mFrame = geometry();
    VKColourPickerView *picker = makePickerView();
    VKWindowMenu *menu = VKWindowMenu::windowMenuWithContentView(picker);
    picker->setMode(VKColourPickerView::SwatchMode);
    picker->setTarget(this);
    picker->setAction([this](VKColourPickerView &p) { colourChangeFromPicker(p); });
    picker->setColorForUndefinedSelection(m_cell.mColour);
    picker->setShowsInfo(false);
    static_cast<QntColorPickerView *>(picker)->setCurrentNotation(m_cell._currentNotation);
    QMetaObject::invokeMethod(
        this,
        [this, p = QPointer<VKColourPickerView>(picker)] {
            if (p)
                emit pickerShown(p);
        },
        Qt::QueuedConnection);
    // Under the button, in its window's coordinates.
    const QPoint anchor = mapTo(window(), QPoint(0, height()));
    VKWindowMenu::popUpWindowMenu(menu, anchor, event, this);
}

QntColorSchemePicker::QntColorSchemePicker(QWidget *parent)
    : QntColorPicker(parent)
{
    setObjectName(QStringLiteral("colorSchemePicker"));
}

void QntColorSchemePicker::colourChangeFromPicker(VKColourPickerView &picker)
{
    auto *schemes = dynamic_cast<QntColorSchemePickerView *>(&picker);
    const qint64 schemeId = schemes ? schemes->colorSchemeId() : 0;
    // Off the swatches no scheme is picked and nothing changes.
    if (schemeId == 0)
        return;
    setColor(picker.color());
    if (m_delegate && m_delegate->respondsToChangeColorScheme())
        m_delegate->changeColorScheme(*this, schemeId);
}

VKColourPickerView *QntColorSchemePicker::makePickerView()
{
    return new QntColorSchemePickerView(QRect(0, 0, 246, 41));
}
