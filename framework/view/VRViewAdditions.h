#pragma once

#include <Qt>

class QMimeData;
class QWidget;
class VRGradient;

// Drags that views start.
class VRViewAdditions
{
public:
    // Starts a drag of the data from the view with the gradient's swatch as its picture and
    // returns when it ends (the action the target took, IgnoreAction when refused). The drag
    // takes the data. Window systems without a slide-back animation simply drop the picture.
    static Qt::DropAction dragStandardSwatchGradient(QWidget *view, const VRGradient &gradient,
                                                     bool slideBack, QMimeData *data);
};
