#pragma once

#include "platform/NotificationCenter.h"

#include <QColor>
#include <QPointer>
#include <QWidget>

#include <vector>

// A view filled with a vertical gradient, with optional border lines on chosen edges and a
// one-point highlight line. The inspector column's section bars are drawn by it.
class CXGradientView : public QWidget
{
    Q_OBJECT
public:
    // Edges for borderSidesMask(). The view is drawn y-up like the bars it serves: 4 is the
    // bottom edge and 8 the top edge.
    enum BorderSide { MinXEdge = 1, MaxXEdge = 2, MinYEdge = 4, MaxYEdge = 8 };
    enum FillOption { NormalFill = 0, ClickedFill = 2 };

    // Two colours from top to bottom; a single-colour gradient has both the same.
    struct Gradient {
        QColor start;
        QColor end;
        bool operator==(const Gradient &o) const { return start == o.start && end == o.end; }
    };

    explicit CXGradientView(QWidget *parent = nullptr);
    ~CXGradientView() override;

    Gradient activeFillGradient() const { return m_activeFillGradient; }
    void setActiveFillGradient(const Gradient &gradient);
    Gradient inactiveFillGradient() const { return m_inactiveFillGradient; }
    void setInactiveFillGradient(const Gradient &gradient);
    Gradient clickedFillGradient() const { return m_clickedFillGradient; }
    void setClickedFillGradient(const Gradient &gradient);
    int fillOption() const { return m_fillOption; }
    void setFillOption(int option);
    double fillAngle() const { return m_fillAngle; }
    void setFillAngle(double degrees);
    bool drawsHighlight() const { return m_drawsHighlight; }
    void setDrawsHighlight(bool draws);
    QColor highlightColor() const { return m_highlightColor; }
    void setHighlightColor(const QColor &color);
    QColor clickedHighlightColor() const { return m_clickedHighlightColor; }
    void setClickedHighlightColor(const QColor &color);
    bool drawsBorder() const { return m_drawsBorder; }
    void setDrawsBorder(bool draws);
    QColor borderColor() const { return m_borderColor; }
    void setBorderColor(const QColor &color);
    unsigned borderSidesMask() const { return m_borderSidesMask; }
    void setBorderSidesMask(unsigned mask);

    // The gradient the next paint uses: clicked, else active while the window is active.
    Gradient currentFillGradient() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    Gradient m_activeFillGradient;
    Gradient m_inactiveFillGradient;
    Gradient m_clickedFillGradient;
    int m_fillOption = NormalFill;
    double m_fillAngle = 270.0;
    bool m_drawsHighlight = false;
    QColor m_highlightColor;
    QColor m_clickedHighlightColor;
    bool m_drawsBorder = false;
    QColor m_borderColor;
    unsigned m_borderSidesMask = 15;
};
