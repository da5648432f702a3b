#pragma once

#include <QPointer>
#include <QSizeF>
#include <QWidget>

#include <memory>

class QLabel;

// A small read-out window shown near a point (sizes while dragging, values of sliders).
// Format patterns "0", "0.0", "0.00"; a "%" suffix shows the value times 100.
class VKInfoFloater : public QWidget
{
    Q_OBJECT
public:
    VKInfoFloater();
    ~VKInfoFloater() override;

    static std::unique_ptr<VKInfoFloater> infoFloater();

    void setFormat(const QString &format) { m_format = format; }
    QString format() const { return m_format; }
    void setDoubleValue(double value);
    void setStringValue(const QString &text);
    QString text() const;
    void setWindowOffset(QSizeF offset) { m_offset = offset; }
    // Places the window near a point of the view (view coordinates).
    void positionNearPoint(QPointF point, QWidget *view);
    void orderFront()
    {
        show();
        raise();
    }
    void orderOut() { hide(); }
    // place > 0 above relativeTo, < 0 below, 0 out.
    void orderWindow(int place, QWidget *relativeTo);
    QRect frame() const { return frameGeometry(); }

    static QString formatValue(double value, const QString &format);

private:
    QLabel *m_label = nullptr;
    QString m_format = QStringLiteral("0.00");
    QSizeF m_offset{12, 12};
};
