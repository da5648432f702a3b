#pragma once

#include <QWidget>

// A background for inspector panels: white at the top shading to grey at the bottom, with its
// children drawn over it as in any plain view. Like the panels it serves it is not flipped: it
// paints with y running up from its bottom-left corner.
class QntGradientView : public QWidget
{
    Q_OBJECT
public:
    explicit QntGradientView(QWidget *parent = nullptr);

    bool isFlipped() const { return false; }

protected:
    void paintEvent(QPaintEvent *event) override;
};
