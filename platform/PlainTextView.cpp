#include "platform/PlainTextView.h"

#include "platform/PasteGuard.h"

PlainTextView::PlainTextView(QWidget *parent)
    : QPlainTextEdit(parent)
{
}

bool PlainTextView::canInsertFromMimeData(const QMimeData *source) const
{
    return PasteGuard::hasPasteableData(source) && QPlainTextEdit::canInsertFromMimeData(source);
}

void PlainTextView::insertFromMimeData(const QMimeData *source)
{
    if (PasteGuard::hasPasteableData(source))
        QPlainTextEdit::insertFromMimeData(source);
}
