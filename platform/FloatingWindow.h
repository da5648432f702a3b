#pragma once

class QWidget;
class QWindow;

// Keeps a floating window (a tool window: a panel, the colour panel) above `parent`. Window
// managers keep a transient window above its parent and read the parent when the window is
// mapped, so a window on screen is mapped again where it was; `withoutActivating` leaves the
// focus where it is then. Nothing happens when the window already floats above `parent`.
void floatAboveWindow(QWidget *window, QWindow *parent, bool withoutActivating);
