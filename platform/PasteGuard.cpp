#include "platform/PasteGuard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {

bool isEditableTextView(const QObject *object)
{
    if (const auto *text = qobject_cast<const QTextEdit *>(object))
        return text->textInteractionFlags() & Qt::TextEditable;
    if (const auto *plain = qobject_cast<const QPlainTextEdit *>(object))
        return plain->textInteractionFlags() & Qt::TextEditable;
    return false;
}

// The text view whose viewport the object is: mouse events go to the viewport.
bool isEditableTextViewport(const QObject *object)
{
    const auto *area =
        object ? qobject_cast<const QAbstractScrollArea *>(object->parent()) : nullptr;
    return area && area->viewport() == object && isEditableTextView(area);
}

bool clipboardHasPasteableData(QClipboard::Mode mode)
{
    return PasteGuard::hasPasteableData(QGuiApplication::clipboard()->mimeData(mode));
}

} // namespace

PasteGuard::PasteGuard(QObject *parent)
    : QObject(parent)
{
}

bool PasteGuard::hasPasteableData(const QMimeData *data)
{
    return data && !data->formats().isEmpty();
}

bool PasteGuard::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto *key = static_cast<const QKeyEvent *>(event);
        if (!key->matches(QKeySequence::Paste) || !isEditableTextView(watched))
            return false;
        // Ctrl+Shift+Insert pastes the selection where there is one, as the text views do.
        const bool selection = QGuiApplication::clipboard()->supportsSelection()
                               && key->key() == Qt::Key_Insert
                               && key->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier);
        return !clipboardHasPasteableData(selection ? QClipboard::Selection
                                                    : QClipboard::Clipboard);
    }
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<const QMouseEvent *>(event);
        if (mouse->button() != Qt::MiddleButton
            || !QGuiApplication::clipboard()->supportsSelection()
            || !isEditableTextViewport(watched))
            return false;
        return !clipboardHasPasteableData(QClipboard::Selection);
    }
    default: return false;
    }
}
