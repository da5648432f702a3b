#pragma once

#include "style/VKSpecialColorWell.h"

#include <QColor>
#include <QLinearGradient>

// A colour well with the dark, translucent look of the attached toolbars: a special colour well
// (its activation is announced, and it sends each colour picked in the colour panel with
// colorChanged) drawn with a dark gradient, a light frame and an optional transparent well.
class QntColorWell : public VKSpecialColorWell
{
    Q_OBJECT
public:
    explicit QntColorWell(QWidget *parent = nullptr);
    ~QntColorWell() override;
    // A well of the toolbars, named for style sheets and tests.
    static QntColorWell *create(QWidget *parent, const QString &name, QSize size = QSize(40, 24));

    bool isBordered() const { return m_bordered; }
    void setBordered(bool bordered);
    // Draw the colour at the well's alpha over a grey underlay instead of opaque.
    bool useTransparentWell() const { return m_useTransparentWell; }
    void setUseTransparentWell(bool transparent);

    static double alphaValue() { return 0.6; }
    static QLinearGradient normalGradient(const QRectF &rect);
    static QLinearGradient highlightGradient(const QRectF &rect);
    static QColor strokeColor();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void drawWellInside(QPainter &painter, const QRectF &rect) const;

    bool m_bordered = true;
    bool m_useTransparentWell = false;
};
