#pragma once

#include <QPushButton>

// A small push button drawn for dark translucent panels: a translucent rounded body with a
// light rim and white text. Its tag lets a caller find it among a panel's controls.
class BWTransparentButton : public QPushButton
{
    Q_OBJECT
public:
    explicit BWTransparentButton(const QString &title, QWidget *parent = nullptr);

    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_tag = 0;
};
