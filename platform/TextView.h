#pragma once

#include <QTextEdit>

// The rich text view every editable text field of ours is made from. It takes in data only
// when there is something to take: an X selection whose owner has gone hands out data without a
// single format, which Qt 6.4's own insertion cannot bear, whatever road (paste key, middle
// button, context menu, drop) brought it.
class TextView : public QTextEdit
{
    Q_OBJECT
public:
    explicit TextView(QWidget *parent = nullptr);

protected:
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;
};
