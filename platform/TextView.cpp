#include "platform/TextView.h"

#include "platform/PasteGuard.h"

TextView::TextView(QWidget *parent)
    : QTextEdit(parent)
{
}

bool TextView::canInsertFromMimeData(const QMimeData *source) const
{
    return PasteGuard::hasPasteableData(source) && QTextEdit::canInsertFromMimeData(source);
}

void TextView::insertFromMimeData(const QMimeData *source)
{
    if (PasteGuard::hasPasteableData(source))
        QTextEdit::insertFromMimeData(source);
}
