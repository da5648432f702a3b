#pragma once

#include "inspectors/QntDoubleSlider.h"

// A small slider drawn for dark translucent panels: a thin light track and a round white knob.
class BWTransparentSlider : public QntDoubleSlider
{
    Q_OBJECT
public:
    explicit BWTransparentSlider(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
