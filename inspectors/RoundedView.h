#pragma once

#include <QPainterPath>
#include <QWidget>

// A view that paints a dark, translucent rounded rectangle (corner radius 10) over its whole
// area, as a backdrop for the controls placed on it.
class RoundedView : public QWidget
{
    Q_OBJECT
public:
    explicit RoundedView(QWidget *parent = nullptr);

    static QColor fillColor();
    // The outline painted for a view of the given size.
    static QPainterPath roundedPath(const QSize &size);

protected:
    void paintEvent(QPaintEvent *event) override;
};
