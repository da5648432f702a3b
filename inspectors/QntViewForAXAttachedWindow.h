#pragma once

#include <QWidget>

class AXAttachedWindow;

// A view that hands its mouse presses and drags on to its attached window, so the window can be
// dragged by any point of the view, its arrow following the attach point. Made as the background
// of a toolbar's content view (fillBehind), it takes the presses the controls leave alone.
class QntViewForAXAttachedWindow : public QWidget
{
    Q_OBJECT
public:
    explicit QntViewForAXAttachedWindow(QWidget *parent = nullptr);

    // Makes one behind every other child of the view, filling it and following its size.
    static QntViewForAXAttachedWindow *fillBehind(QWidget *view);

    // The attached window holding the view, or null when it is in no attached window.
    AXAttachedWindow *attachedWindow() const;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
