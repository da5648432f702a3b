#pragma once

#include "framework/base/VRTypes.h"
#include "platform/NotificationCenter.h"

#include <QWidget>

#include <memory>

class QTextEdit;

// The editing area of the text-format bar. An object being edited loads its text here and
// every edit is written back to the object at once; when the object's text is replaced from
// elsewhere (undo, redo) the area reloads and kQntUpdateTextEditorControlsNotification is posted.
class QntContextTextEditorView : public QWidget
{
    Q_OBJECT
public:
    explicit QntContextTextEditorView(QWidget *parent = nullptr);
    ~QntContextTextEditorView() override;

    QTextEdit *textEditingView() const { return m_editor; }
    // Starts editing an object (null stops).
    void editObject(const VRObjectRef &object);
    VRObjectRef editedObject() const { return m_object.lock(); }

private:
    void writeBack();
    void objectDidChange();

    QTextEdit *m_editor = nullptr;
    std::weak_ptr<VRDrawableObject> m_object;
    NotificationToken m_token;
    bool m_loading = false;
};
