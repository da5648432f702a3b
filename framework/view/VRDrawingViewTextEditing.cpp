// VRDrawingView: editing an object's text in place.
#include "framework/view/VRDrawingView.h"

#include "framework/view/QntContextTextEditorView.h"

#include "framework/base/VRConstants.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntTextCell.h"
#include "framework/model/QntTextShape.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRTextShape.h"
#include "framework/model/VRTextBlock.h"
#include "framework/model/VRTextShapeBase.h"
#include "framework/styles/VRTextAdornment.h"
#include "framework/model/VRDrawing.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/TextView.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QColorDialog>
#include <QCursor>
#include <QKeyEvent>
#include <QTextDocumentFragment>
#include <QTextEdit>

#include <QTextBlock>
#include <QTextCursor>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>

namespace {
// Multiplies every explicit font size of a document (the editor shows the text at the zoom).
void scaleFontSizes(QTextDocument *document, double factor)
{
    if (factor == 1.0 || !(factor > 0))
        return;
    struct Run {
        int from, to;
        QTextCharFormat format;
    };
    std::vector<Run> runs;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().fontPointSize() > 0)
                runs.push_back({fragment.position(), fragment.position() + fragment.length(),
                                fragment.charFormat()});
        }
    }
    for (Run &run : runs) {
        QTextCursor cursor(document);
        cursor.setPosition(run.from);
        cursor.setPosition(run.to, QTextCursor::KeepAnchor);
        QTextCharFormat format;
        format.setFontPointSize(run.format.fontPointSize() * factor);
        cursor.mergeCharFormat(format);
    }
}
} // namespace

namespace {
// The inline editor: its text sits inside margins that put it where the object draws it.
class InlineTextView : public TextView
{
public:
    using TextView::TextView;
    void setTextMargins(const QMargins &margins) { setViewportMargins(margins); }
};

// Whether a widget lies among the controls that format text being edited inline; the shared
// colour panel is one of them.
bool keepsInlineEditing(const QWidget *widget)
{
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (w->property(VRDrawingView::kKeepsInlineEditingProperty).toBool()
            || qobject_cast<const QColorDialog *>(w))
            return true;
    }
    return false;
}

// The same for a focus change: a click on a control that takes no focus gives it to the first
// container that does, so the control under the pointer counts too.
bool focusKeepsInlineEditing(const QWidget *now, Qt::FocusReason reason)
{
    if (keepsInlineEditing(now ? now : QApplication::activeWindow()))
        return true;
    return reason == Qt::MouseFocusReason
           && keepsInlineEditing(QApplication::widgetAt(QCursor::pos()));
}
} // namespace

void VRDrawingView::editTextOfObject(const VRObjectRef &object)
{
    if (!object)
        return;
    // The text bar edits the labels of elements and connectors; a free text has no label
    // to show there and is always edited where it stands.
    if (object->isKindOf<VRTextShape>()
        || UserDefaults::standardUserDefaults().boolForKey(kQntEnableInlineEditor)) {
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
    auto *editor = new InlineTextView(this);
    editor->setFrameStyle(QFrame::NoFrame);
    editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    editor->setAcceptRichText(true);
    editor->setStyleSheet(QStringLiteral("QTextEdit { background: rgba(255,255,255,230);"
                                         " border: 1px solid rgb(40,110,220); }"));
    // The object's own font, size and alignment, at the zoom of the view.
    QFont font = editor->font();
    int alignment = 2;
    if (!QntContextTextEditorView::textLookOfObject(*object, &font, &alignment))
        font.setPointSizeF(12.0);
    m_inlineScale = m_scale > 0 ? m_scale : 1.0;
    QFont shown = font;
    shown.setPointSizeF(std::max(1.0, font.pointSizeF() * m_inlineScale));
    editor->document()->setDefaultFont(shown);
    const QTextDocumentFragment text = object->textContent();
    if (!text.isEmpty()) {
        editor->document()->setHtml(text.toHtml());
        scaleFontSizes(editor->document(), m_inlineScale);
    }
    // Paragraphs without an alignment of their own follow the object's, as when drawn.
    QTextOption option = editor->document()->defaultTextOption();
    option.setAlignment(VRTextBlock::qtAlignment(alignment));
    editor->document()->setDefaultTextOption(option);
    if (text.isEmpty()) {
        QTextCursor all(editor->document());
        QTextBlockFormat block;
        block.setAlignment(VRTextBlock::qtAlignment(alignment));
        all.mergeBlockFormat(block);
    }
    // Where the object lays its text out: a text shape's frame, an element's text part (inside
    // the element's paddings), a cell's frame inside its paddings; the words are placed there as
    // the object draws them, so none moves when the editing begins.
    QRectF frame = object->logicalBounds();
    const VRTextShapeBase *shape = dynamic_cast<const VRTextShapeBase *>(object.get());
    m_inlineGrows = false;
    if (object->isKindOf<QntElement>()) {
        const auto &element = static_cast<const QntElement &>(*object);
        shape = element.text();
        m_inlineGrows = element.autoSize() && !element.keepFixedWidth();
    }
    m_inlineVerticalAlignment = 1;
    if (shape) {
        const std::optional<QRectF> inner = shape->textFrame();
        if (inner && inner->width() > 0 && inner->height() >= 0)
            frame = *inner;
        m_inlineVerticalAlignment = shape->textBlock().verticalAlignment();
    } else if (object->isKindOf<QntTextCell>()) {
        const auto &cell = static_cast<const QntTextCell &>(*object);
        const QRectF inner = frame.adjusted(cell.paddingLeftRight(), cell.paddingTopBottom(),
                                            -cell.paddingLeftRight(), -cell.paddingTopBottom());
        if (inner.width() > 0 && inner.height() > 0)
            frame = inner;
        m_inlineVerticalAlignment = cell.textBlock().verticalAlignment();
    }
    m_inlineFrame = frame;
    editor->document()->setDocumentMargin(0);
    m_inlineEditor = editor;
    placeInlineEditor();
    connect(editor->document(), &QTextDocument::contentsChanged, this,
            [this] { placeInlineEditor(); });
    editor->installEventFilter(this);
    editor->show();
    editor->setFocus();
    editor->selectAll();
    NotificationCenter &nc = NotificationCenter::defaultCenter();
    nc.post(kQntCloseAttachedWindowsWithKindNotification, this, {{QStringLiteral("mask"), 16}});
    nc.post(kQntInlineEditingStartedNotification, object.get(), objectInfo(object));
}

void VRDrawingView::placeInlineEditor()
{
    auto *editor = static_cast<InlineTextView *>(m_inlineEditor.data());
    if (!editor)
        return;
    QTextDocument *document = editor->document();
    const QRectF frame = mapRectFromDrawing(m_inlineFrame);
    // Lines break where the object breaks them; a box that grows with its text takes each line
    // whole, as it will when the edit is done.
    double width = std::max(1.0, frame.width());
    if (m_inlineGrows) {
        const std::unique_ptr<QTextDocument> unwrapped(document->clone());
        unwrapped->setTextWidth(-1);
        width = std::max(width, std::ceil(unwrapped->idealWidth()) + 2);
    }
    const int wrap = std::max(1, qRound(width));
    editor->setLineWrapMode(QTextEdit::FixedPixelWidth);
    if (editor->lineWrapColumnOrWidth() != wrap)
        editor->setLineWrapColumnOrWidth(wrap);
    document->setTextWidth(wrap);
    const double height = document->size().height();
    double top = frame.top();
    if (m_inlineVerticalAlignment == 1)
        top = frame.center().y() - height / 2;
    else if (m_inlineVerticalAlignment == 2)
        top = frame.bottom() - height;
    const QRectF text(frame.center().x() - wrap / 2.0, top, wrap, height);
    // The editor covers the object's own text and holds the text it edits, in its border.
    editor->ensurePolished();
    const int border = editor->frameWidth();
    const QRect inside = frame.united(text).toAlignedRect();
    const int left = std::max(0, qRound(text.left() - inside.left()));
    const int above = std::max(0, qRound(text.top() - inside.top()));
    editor->setTextMargins(QMargins(left, above, std::max(0, inside.width() - left - wrap),
                                    std::max(0, inside.height() - above - qCeil(height))));
    editor->setGeometry(inside.adjusted(-border, -border, border, border));
}

void VRDrawingView::endInlineEditing(bool commit)
{
    if (!m_inlineEditor)
        return;
    QTextEdit *editor = m_inlineEditor;
    VRObjectRef object = m_inlineObject;
    m_inlineEditor = nullptr;
    m_inlineObject.reset();
    disconnect(m_inlineFocusWatch);
    const bool hadFocus = editor->hasFocus();
    editor->removeEventFilter(this);
    if (commit && object) {
        // Back from the zoom of the view to the text's own sizes.
        scaleFontSizes(editor->document(), 1.0 / m_inlineScale);
        QFont font = editor->document()->defaultFont();
        font.setPointSizeF(std::max(1.0, font.pointSizeF() / m_inlineScale));
        editor->document()->setDefaultFont(font);
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
    // The focus goes back to the drawing unless it has moved on to another control.
    if (hadFocus)
        setFocus();
}

bool VRDrawingView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_inlineEditor) {
        if (event->type() == QEvent::FocusOut) {
            // A menu over the editor, or a control that formats its text, takes the focus for
            // a while; the edit goes on until the focus goes anywhere else.
            // A window that is only losing its activation waits to see where the focus goes.
            const QWidget *now = QApplication::focusWidget();
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            if (reason == Qt::PopupFocusReason
                || (reason == Qt::ActiveWindowFocusReason && !now && !QApplication::activeWindow())
                || focusKeepsInlineEditing(now, reason)) {
                if (!m_inlineFocusWatch) {
                    m_inlineFocusWatch = connect(
                        qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *to) {
                            const bool mouse = QApplication::mouseButtons() != Qt::NoButton;
                            if (to && to != m_inlineEditor
                                && !focusKeepsInlineEditing(to, mouse ? Qt::MouseFocusReason
                                                                      : Qt::OtherFocusReason))
                                endInlineEditing(true);
                        });
                }
                return false;
            }
            endInlineEditing(true);
            return false;
        }
        if (event->type() == QEvent::MouseButtonPress
            || event->type() == QEvent::MouseButtonDblClick) {
            // A press the editor's text leaves alone (the middle button, which pastes the X
            // selection on its release, the right button, which opens the editor's menu) would
            // go on to the drawing beneath and end the edit.
            event->accept();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            // Escape ends the edit as Ctrl+Return does: what was typed is the user's and stays
            // (Undo takes it back); nothing is thrown away on a key.
            auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Escape
                || ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
                    && (key->modifiers() & (Qt::ControlModifier | Qt::KeypadModifier)))) {
                endInlineEditing(true);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}
