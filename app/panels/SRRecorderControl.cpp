#include "app/panels/SRRecorderControl.h"

#include "framework/view/VRDrawingTool.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QPainter>
#include <QStyleOptionFrame>

SRRecorderControl::SRRecorderControl(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setToolTip(tr("Click, then press the key for the shortcut"));
}

void SRRecorderControl::setKeyCombo(int keyCode)
{
    m_keyCode = keyCode;
    update();
}

QString SRRecorderControl::keyName(int keyCode)
{
    const int key = VRDrawingTool::qtKeyForKeyCode(keyCode);
    return key ? QKeySequence(key).toString(QKeySequence::NativeText) : QStringLiteral("?");
}

int SRRecorderControl::keyCodeForQtKey(int qtKey)
{
    for (int code = 0; code < 128; ++code) {
        if (VRDrawingTool::qtKeyForKeyCode(code) == qtKey)
            return code;
    }
    return -1;
}

void SRRecorderControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.lineWidth = 1;
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, &painter, this);
    painter.setPen(palette().color(m_recording ? QPalette::PlaceholderText : QPalette::Text));
    painter.drawText(rect(), Qt::AlignCenter,
                     m_recording ? tr("Type shortcut") : keyName(m_keyCode));
}

void SRRecorderControl::mousePressEvent(QMouseEvent *event)
{
    setFocus(Qt::MouseFocusReason);
    m_recording = true;
    update();
    event->accept();
}

void SRRecorderControl::keyPressEvent(QKeyEvent *event)
{
    if (!m_recording) {
        if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return) {
            m_recording = true;
            update();
            return;
        }
        QWidget::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        m_recording = false;
        update();
        return;
    }
    const int code = keyCodeForQtKey(event->key());
    if (code < 0)
        return; // modifiers alone and keys without a code keep recording
    m_recording = false;
    update();
    emit keyComboDidChange(code);
}

void SRRecorderControl::focusOutEvent(QFocusEvent *event)
{
    m_recording = false;
    update();
    QWidget::focusOutEvent(event);
}
