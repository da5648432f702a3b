#pragma once

#include <QWidget>

// A plain container whose coordinates start at its top-left corner and run downwards: content
// laid out in rows from the top, such as a scrolled matrix, keeps its first row at the top of
// the scroller however tall the scroller is.
class QntFlippedView : public QWidget
{
    Q_OBJECT
public:
    explicit QntFlippedView(QWidget *parent = nullptr);

    bool isFlipped() const { return true; }
};
