// VRDrawingView: editing an object's text in place.
#include "framework/view/VRDrawingView.h"

#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/UserDefaults.h"

#include <QKeyEvent>
#include <QTextDocumentFragment>
#include <QTextEdit>

#include <algorithm>

void VRDrawingView::editTextOfObject(const VRObjectRef &object)
{
    if (!object)
        return;
    if (UserDefaults::standardUserDefaults().boolForKey(kQntEnableInlineEditor)) {
        beginInlineEditing(object);
        return;
    }
    NotificationCenter::defaultCenter().post(kQntShowTextEditorNotification, this,
                                             objectInfo(object));
}

QTextEdit *VRDrawingView::inlineEditor() const
{
    return m_inlineEditor.data();
}

void VRDrawingView::beginInlineEditing(const VRObjectRef &object)
{
    if (!object || object->isLocked())
        return;
    endInlineEditing(true);
    m_inlineObject = object;
    auto *editor = new QTextEdit(this);
    editor->setFrameStyle(QFrame::NoFrame);
    editor->setAcceptRichText(true);
    editor->setStyleSheet(QStringLiteral("QTextEdit { background: rgba(255,255,255,230);"
                                         " border: 1px solid rgb(40,110,220); }"));
    const QTextDocumentFragment text = object->textContent();
    if (!text.isEmpty())
        editor->document()->setHtml(text.toHtml());
    QFont font = editor->font();
    font.setPointSizeF(std::max(4.0, 12.0 * m_scale));
    editor->document()->setDefaultFont(font);
    editor->setAlignment(Qt::AlignCenter);
    QRectF r = mapRectFromDrawing(object->logicalBounds());
    r.setWidth(std::max(r.width(), 120.0));
    r.setHeight(std::max(r.height(), 28.0));
    editor->setGeometry(r.toAlignedRect());
    editor->installEventFilter(this);
    editor->show();
    editor->setFocus();
    editor->selectAll();
    m_inlineEditor = editor;
    NotificationCenter &nc = NotificationCenter::defaultCenter();
    nc.post(kQntCloseAttachedWindowsWithKindNotification, this, {{QStringLiteral("mask"), 16}});
    nc.post(kQntInlineEditingStartedNotification, object.get(), objectInfo(object));
}

void VRDrawingView::endInlineEditing(bool commit)
{
    if (!m_inlineEditor)
        return;
    QTextEdit *editor = m_inlineEditor;
    VRObjectRef object = m_inlineObject;
    m_inlineEditor = nullptr;
    m_inlineObject.reset();
    editor->removeEventFilter(this);
    if (commit && object) {
        const QTextDocumentFragment fragment(editor->document());
        if (fragment.toHtml() != object->textContent().toHtml()) {
            object->setTextContent(fragment);
            if (VRUndoManager *undo = m_drawing ? m_drawing->undoManager() : nullptr)
                undo->setActionName(QStringLiteral("Typing"));
        }
        updateDrawingRect(object->bounds());
    }
    editor->hide();
    editor->deleteLater();
    setFocus();
}

bool VRDrawingView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_inlineEditor) {
        if (event->type() == QEvent::FocusOut) {
            endInlineEditing(true);
            return false;
        }
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Escape) {
                endInlineEditing(false);
                return true;
            }
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
                && (key->modifiers() & (Qt::ControlModifier | Qt::KeypadModifier))) {
                endInlineEditing(true);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}
