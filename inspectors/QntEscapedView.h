#pragma once

#include <QWidget>

// A container that closes every attached window of the inspectors when Escape is pressed in it
// (or in a child that leaves Escape alone). The content view of the attached toolbars.
class QntEscapedView : public QWidget
{
    Q_OBJECT
public:
    explicit QntEscapedView(QWidget *parent = nullptr);
    explicit QntEscapedView(const QRect &frame, QWidget *parent = nullptr);

    // The style sheet rules of pop-up menus on the dark toolbars, to add to a view's own.
    static QString darkPopUpStyleSheet();

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
