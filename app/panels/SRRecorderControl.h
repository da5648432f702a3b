#pragma once

#include <QWidget>

// A control that records one key as a shortcut: click it (or give it the keyboard), press a
// key, and the key's code is reported. Escape ends recording without a change. Codes are the
// stored key codes of the tools (see VRDrawingTool::qtKeyForKeyCode). GUI thread only.
class SRRecorderControl : public QWidget
{
    Q_OBJECT
public:
    explicit SRRecorderControl(QWidget *parent = nullptr);

    // Shows a code without reporting it.
    void setKeyCombo(int keyCode);
    int keyCode() const { return m_keyCode; }
    bool isRecording() const { return m_recording; }
    // The letter or digit of a code ("?" when it has none).
    static QString keyName(int keyCode);
    // The code of a Qt key; -1 when the key has no code.
    static int keyCodeForQtKey(int qtKey);

    QSize sizeHint() const override { return {120, 24}; }

signals:
    // The user recorded a key (modifiers are not recorded).
    void keyComboDidChange(int keyCode);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    int m_keyCode = 0;
    bool m_recording = false;
};
