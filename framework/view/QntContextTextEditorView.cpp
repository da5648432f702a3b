#include "framework/view/QntContextTextEditorView.h"

#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"

#include <QTextEdit>
#include <QVBoxLayout>

QntContextTextEditorView::QntContextTextEditorView(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_editor = new QTextEdit(this);
    layout->addWidget(m_editor);
    connect(m_editor, &QTextEdit::textChanged, this, [this] { writeBack(); });
}

QntContextTextEditorView::~QntContextTextEditorView()
{
    if (auto object = m_object.lock())
        object->clearTextEditorRef();
}

void QntContextTextEditorView::editObject(const VRObjectRef &object)
{
    if (auto old = m_object.lock(); old && old != object)
        old->clearTextEditorRef();
    m_object = object;
    m_token.reset();
    m_loading = true;
    m_editor->setHtml(object ? object->textContent().toHtml() : QString());
    m_loading = false;
    if (!object)
        return;
    m_token = NotificationCenter::defaultCenter().addObserver(
        kVRDrawableDidChangeNotification, object.get(),
        [this](const Notification &) { objectDidChange(); });
}

void QntContextTextEditorView::writeBack()
{
    if (m_loading)
        return;
    if (auto object = m_object.lock()) {
        m_loading = true;
        object->setTextContent(QTextDocumentFragment(m_editor->document()));
        m_loading = false;
    }
}

void QntContextTextEditorView::objectDidChange()
{
    auto object = m_object.lock();
    if (!object || m_loading)
        return;
    const QString current = QTextDocumentFragment(m_editor->document()).toPlainText();
    if (object->textContent().toPlainText() == current)
        return;
    m_loading = true;
    m_editor->setHtml(object->textContent().toHtml());
    m_loading = false;
    NotificationCenter::defaultCenter().post(
        kQntUpdateTextEditorControlsNotification, object.get(),
        {{QStringLiteral("object"), QVariant::fromValue(object)}});
}
