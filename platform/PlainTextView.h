#pragma once

#include <QPlainTextEdit>

// The plain text view every editable plain text field of ours is made from; like TextView, it
// takes in data only when there is something to take.
class PlainTextView : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit PlainTextView(QWidget *parent = nullptr);

protected:
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;
};
