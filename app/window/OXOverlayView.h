#pragma once

#include <QWidget>

// A dark translucent rounded bezel with a white label centred in it.
class OXOverlayView : public QWidget
{
    Q_OBJECT
public:
    explicit OXOverlayView(QWidget *parent = nullptr);

    double bezelRadius() const { return m_bezelRadius; }
    void setBezelRadius(double radius);
    QString label() const { return m_label; }
    void setLabel(const QString &label);
    // Off where the window's pixels are not blended: the bezel is then painted opaque.
    bool isTranslucent() const { return m_translucent; }
    void setTranslucent(bool translucent);

signals:
    void bezelRadiusChanged();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_bezelRadius = 10.0;
    QString m_label;
    bool m_translucent = true;
};
