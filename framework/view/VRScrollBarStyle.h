#pragma once

#include <QProxyStyle>

// The application's style, drawing each scroll bar within a clip rectangle of its own. When a
// pan repaints both scroll bars of the drawing view at once, the region being repainted spans
// both, and without a clip rectangle Qt fills a bar row by row over all of that region's rows,
// in its worker threads; on a busy machine the hand-off costs more than the fill. Within a
// widget's own rectangle the clip changes no pixel.
class VRScrollBarStyle final : public QProxyStyle
{
public:
    // The one instance for the application's current style (owned by the application); none
    // when the application uses a style that cannot be made again by its name.
    static VRScrollBarStyle *forApplicationStyle();

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget = nullptr) const override;

private:
    explicit VRScrollBarStyle(const QString &key);
};
