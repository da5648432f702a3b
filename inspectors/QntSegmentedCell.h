#pragma once

#include <QIcon>
#include <QStringList>
#include <QWidget>

#include <vector>

// A segmented control drawn for dark, translucent panels: an outline with a soft shadow, each
// segment filled with a gray gradient (lighter when selected), thin dividers, white labels and
// images centred in their segment. Each segment carries a tag; clicking one selects it.
class QntSegmentedCell : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kRounded = 1;
    static constexpr int kSmallSquare = 6;

    explicit QntSegmentedCell(QWidget *parent = nullptr);

    void addSegment(const QString &label, int tag, const QIcon &image = QIcon());
    int segmentCount() const { return int(m_segments.size()); }
    QString labelForSegment(int index) const;
    int tagForSegment(int index) const;
    int selectedSegment() const { return m_selected; }
    void setSelectedSegment(int index);
    int selectedTag() const { return tagForSegment(m_selected); }
    bool selectSegmentWithTag(int tag);

    int segmentStyle() const { return m_style; }
    // Only the rounded and the small square styles are taken; any other value is ignored.
    void setSegmentStyle(int style);
    // True when at least one segment has a label that is not empty.
    bool hasText() const;

    // The outline's rectangle within the widget, and a segment's within the outline.
    QRectF outlineRect() const;
    QRectF rectForSegment(int index) const;

    static QColor strokeColor();
    static QColor textColor();
    static double alphaValue() { return 0.6; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void segmentClicked(int tag);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    struct Segment {
        QString label;
        int tag = 0;
        QIcon image;
    };
    void drawSegment(QPainter &painter, int index, const QRectF &frame) const;
    void drawInteriorForSegment(QPainter &painter, int index, const QRectF &rect) const;

    std::vector<Segment> m_segments;
    int m_selected = 0;
    int m_style = kRounded;
};
