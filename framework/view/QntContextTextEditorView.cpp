#include "framework/view/QntContextTextEditorView.h"

#include "framework/model/VRTextBlock.h"

#include "framework/base/VRConstants.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntTextCell.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRTextShapeBase.h"
#include "framework/styles/VRTextAdornment.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/TextView.h"

#include <QTextDocumentFragment>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

bool QntContextTextEditorView::textLookOfObject(const VRDrawableObject &object, QFont *font,
                                                int *alignment)
{
    if (object.isKindOf<QntElement>()) {
        const auto &element = static_cast<const QntElement &>(object);
        if (const QntTextShape *text = element.text()) {
            *font = text->font();
            *alignment = text->alignment();
            return true;
        }
        return false;
    }
    if (object.isKindOf<QntTextCell>()) {
        const VRTextBlock &block = static_cast<const QntTextCell &>(object).textBlock();
        *font = block.font();
        *alignment = block.alignment();
        return true;
    }
    if (object.isKindOf<QntConnector>()) {
        const auto &connector = static_cast<const QntConnector &>(object);
        *font = connector.font();
        *alignment = connector.textAdornment() ? connector.textAdornment()->alignment() : 2;
        return true;
    }
    if (const auto *text = dynamic_cast<const VRTextShapeBase *>(&object)) {
        *font = text->font();
        *alignment = text->alignment();
        return true;
    }
    return false;
}

namespace {
// Records a step that puts the object back where and as large as given; undone, it records the
// way back to the geometry the object had then.
void recordGeometry(const VRObjectRef &object, const VRDrawableObject::Geometry &geometry)
{
    VRUndoManager *undo = object->undoManager();
    if (!undo || !undo->isUndoRegistrationEnabled())
        return;
    std::weak_ptr<VRDrawableObject> weak = object;
    undo->registerUndo(object.get(), "restoreGeometry:", [weak, geometry] {
        const VRObjectRef self = weak.lock();
        if (!self)
            return;
        recordGeometry(self, self->saveGeometry());
        self->restoreGeometry(geometry);
    });
}
} // namespace

QntContextTextEditorView::QntContextTextEditorView(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_editor = new TextView(this);
    m_editor->setAcceptRichText(true);
    layout->addWidget(m_editor);
    connect(m_editor, &QTextEdit::textChanged, this, [this] { writeBack(); });
}

QntContextTextEditorView::~QntContextTextEditorView()
{
    if (auto object = m_object.lock())
        object->clearTextEditorRef();
}

VRUndoManager *QntContextTextEditorView::undoManager() const
{
    auto object = m_object.lock();
    return object ? object->undoManager() : nullptr;
}

void QntContextTextEditorView::editObject(const VRObjectRef &object)
{
    if (auto old = m_object.lock(); old && old != object)
        old->clearTextEditorRef();
    m_object = object;
    m_token.reset();
    m_typingRun = false;
    m_loading = true;
    m_originalHtml = object ? object->textContent().toHtml() : QString();
    m_editor->clear();
    if (object)
        loadText(*object);
    m_loading = false;
    m_undoManager = object ? object->undoManager() : nullptr;
    m_topGroupAtStart.reset();
    m_hadGroupAtStart = false;
    if (m_undoManager) {
        m_undoManager->closeOpenGroups();
        const auto stack = m_undoManager->undoStack();
        m_hadGroupAtStart = !stack.isEmpty();
        if (m_hadGroupAtStart)
            m_topGroupAtStart = stack.last();
    }
    if (!object)
        return;
    m_token = NotificationCenter::defaultCenter().addObserver(
        kVRDrawableDidChangeNotification, object.get(),
        [this](const Notification &) { objectDidChange(); });
}

void QntContextTextEditorView::loadText(const VRDrawableObject &object)
{
    // The object's own font and alignment for text that does not name its own.
    QFont font = m_editor->font();
    int alignment = 2;
    if (textLookOfObject(object, &font, &alignment))
        m_editor->document()->setDefaultFont(font);
    QTextOption option = m_editor->document()->defaultTextOption();
    option.setAlignment(VRTextBlock::qtAlignment(alignment));
    m_editor->document()->setDefaultTextOption(option);
    const QTextDocumentFragment text = object.textContent();
    if (text.isEmpty())
        m_editor->clear();
    else
        m_editor->setHtml(text.toHtml());
    // A fresh cursor at the end: no typing attributes of the text that was there before.
    QTextCursor end(m_editor->document());
    end.movePosition(QTextCursor::End);
    m_editor->setTextCursor(end);
}

void QntContextTextEditorView::applyFormattingChange(const QString &actionName,
                                                     const std::function<void()> &change)
{
    m_typingRun = false;
    m_formattingActionName = actionName;
    change();
    m_formattingActionName.clear();
    m_typingRun = false;
}

void QntContextTextEditorView::writeBack()
{
    if (m_loading)
        return;
    auto object = m_object.lock();
    if (!object)
        return;
    VRUndoManager *undo = undoManager();
    const bool formatting = !m_formattingActionName.isEmpty();
    // Later keystrokes of a typing run join the run's step.
    const bool quiet = !formatting && m_typingRun && undo && undo->isUndoRegistrationEnabled();
    if (quiet)
        undo->disableUndoRegistration();
    const VRDrawableObject::Geometry before = object->saveGeometry();
    const bool runStarts = !quiet && !formatting && undo && undo->isUndoRegistrationEnabled();
    const QString textBefore = runStarts ? object->textContent().toHtml() : QString();
    m_loading = true;
    object->setTextContent(QTextDocumentFragment(m_editor->document()));
    m_loading = false;
    if (quiet) {
        undo->enableUndoRegistration();
    } else if (undo && undo->isUndoRegistrationEnabled()) {
        if (formatting) {
            undo->setActionName(m_formattingActionName);
        } else if (object->textContent().toHtml() != textBefore) {
            // The run's later keystrokes record nothing, yet the text they add may resize an
            // autosized object: the run's step brings its geometry back with its text.
            recordGeometry(object, before);
        }
        m_typingRun = !formatting;
    }
}

void QntContextTextEditorView::discardChanges()
{
    auto object = m_object.lock();
    VRUndoManager *undo = m_undoManager;
    if (undo) {
        undo->closeOpenGroups();
        // Take back the steps of this session, newest first.
        for (int guard = 0; guard < VRUndoManager::kMaximumGroups && undo->canUndo(); ++guard) {
            const auto stack = undo->undoStack();
            const bool atStart =
                m_hadGroupAtStart ? stack.last() == m_topGroupAtStart.lock() : stack.isEmpty();
            if (atStart)
                break;
            undo->undo();
        }
    }
    // Whatever was not recorded goes back too.
    if (object && object->textContent().toHtml() != m_originalHtml) {
        if (undo)
            undo->disableUndoRegistration();
        object->setTextContent(m_originalHtml.isEmpty()
                                   ? QTextDocumentFragment()
                                   : QTextDocumentFragment::fromHtml(m_originalHtml));
        if (undo)
            undo->enableUndoRegistration();
    }
}

void QntContextTextEditorView::objectDidChange()
{
    auto object = m_object.lock();
    if (!object || m_loading)
        return;
    const QString current = QTextDocumentFragment(m_editor->document()).toHtml();
    if (object->textContent().toHtml() == current)
        return;
    // Undo or redo replaced the text (or its attributes): show it, and start a new typing run.
    m_loading = true;
    loadText(*object);
    m_loading = false;
    m_typingRun = false;
    NotificationCenter::defaultCenter().post(
        kQntUpdateTextEditorControlsNotification, object.get(),
        {{QStringLiteral("object"), QVariant::fromValue(object)}});
}
