#pragma once

#include <QSlider>

// A horizontal slider over a range of doubles (QSlider counts whole steps only).
class QntDoubleSlider : public QSlider
{
    Q_OBJECT
public:
    explicit QntDoubleSlider(QWidget *parent = nullptr);
    // A slider of the toolbars over [min, max], named for style sheets and tests.
    static QntDoubleSlider *create(QWidget *parent, const QString &name, double min, double max,
                                   int minimumWidth = 110);

    double minValue() const { return m_min; }
    double maxValue() const { return m_max; }
    void setMinValue(double value);
    void setMaxValue(double value);
    double doubleValue() const;
    // Clamped into the range; sends nothing.
    void setDoubleValue(double value);

signals:
    // The user moved the slider.
    void doubleValueChanged(double value);

private:
    static constexpr int kSteps = 1000;
    void updateFromRange(double keep);

    double m_min = 0.0;
    double m_max = 1.0;
    double m_value = 0.0;
};
