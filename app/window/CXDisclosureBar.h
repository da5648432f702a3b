#pragma once

#include "app/common/CXGradientView.h"

#include <QIcon>
#include <QPointer>

class QLabel;
class QToolButton;

// The title bar of one section of the inspector column: a disclosure triangle, an optional
// image, the label and an optional accessory view on the right. A click anywhere on the bar
// toggles its section.
class CXDisclosureBar : public CXGradientView
{
    Q_OBJECT
public:
    static constexpr double kBarHeight = 21.0;
    static constexpr double kGap = 6.0;

    CXDisclosureBar(const QRect &frame, bool expanded, QWidget *parent = nullptr);
    CXDisclosureBar(const QRect &frame, const QIcon &leftImage, const QString &label, bool expanded,
                    QWidget *parent = nullptr);
    ~CXDisclosureBar() override;

    QToolButton *disclosureButton() const { return m_disclosureButton; }
    QLabel *imageViewLeft() const { return m_imageViewLeft; }
    QLabel *labelField() const { return m_labelField; }
    QWidget *accessoryView() const { return m_accessoryView; }

    void setLeftImage(const QIcon &image);
    QIcon leftImage() const { return m_leftImage; }
    QString label() const;
    void setLabel(const QString &label);
    void setAccessoryView(QWidget *view);
    bool hasDisclosureButton() const;
    void setHasDisclosureButton(bool has);
    // The disclosure button's state: true shows the open triangle.
    void setDisclosureState(bool open);
    bool disclosureState() const;

signals:
    // The disclosure button's action: the section toggles.
    void toggled();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeSubviews();
    void fitLabelAfterResize();
    double rightEdge() const;

    QToolButton *m_disclosureButton = nullptr;
    QLabel *m_imageViewLeft = nullptr;
    QLabel *m_labelField = nullptr;
    QPointer<QWidget> m_accessoryView;
    QIcon m_leftImage;
    QString m_label;
};
