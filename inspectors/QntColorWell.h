#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QLinearGradient>

// A colour well with the dark, translucent look of the attached toolbars. Clicking it makes it
// the active well: the application's colour panel (with opacity) opens on its colour and each
// colour picked there becomes the well's colour and is sent with colorChanged.
class QntColorWell : public QAbstractButton
{
    Q_OBJECT
public:
    explicit QntColorWell(QWidget *parent = nullptr);
    ~QntColorWell() override;

    QColor color() const { return m_color; }
    // Shows the colour without sending it.
    void setColor(const QColor &colour);

    // Whether the colour panel currently sends its colours to this well.
    bool isActive() const;
    void activate();
    void deactivate();

    bool isBordered() const { return m_bordered; }
    void setBordered(bool bordered);
    // Draw the colour at the well's alpha over a grey underlay instead of opaque.
    bool useTransparentWell() const { return m_useTransparentWell; }
    void setUseTransparentWell(bool transparent);

    static double alphaValue() { return 0.6; }
    static QLinearGradient normalGradient(const QRectF &rect);
    static QLinearGradient highlightGradient(const QRectF &rect);
    static QColor strokeColor();

    QSize sizeHint() const override { return {40, 24}; }

signals:
    // The user picked a colour in the panel for this well.
    void colorChanged(const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void drawWellInside(QPainter &painter, const QRectF &rect) const;

    QColor m_color = Qt::white;
    bool m_bordered = true;
    bool m_useTransparentWell = false;
};
