#pragma once

#include "framework/base/VRTypes.h"
#include "platform/NotificationCenter.h"

#include <QPointer>
#include <QFont>
#include <QWidget>

#include <functional>
#include <memory>

class QTextEdit;
class VKUndoGroup;
class VRUndoManager;

// The editing area of the text-format bar. An object being edited loads its text here and
// every edit is written back to the object at once, so the drawing follows the typing. A run of
// typing is one undo step, and each formatting change made through
// applyFormattingChange is one step ("Changing text attributes"). When the object's text is
// replaced from elsewhere (undo, redo) the area reloads and
// kQntUpdateTextEditorControlsNotification is posted.
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

    // Runs a formatting change of the editing area; what it changes is written back as one
    // undo step with the given name.
    void applyFormattingChange(const QString &actionName, const std::function<void()> &change);
    // Puts the object's text back as it was when editing began and takes back the undo steps
    // recorded since then, so that nothing of the session stays behind.
    void discardChanges();
    // The font and alignment (0 left, 1 right, 2 centre, 3 justified) an object draws its text
    // with; false for objects without text.
    static bool textLookOfObject(const VRDrawableObject &object, QFont *font, int *alignment);

private:
    void writeBack();
    void objectDidChange();
    void loadText(const VRDrawableObject &object);
    VRUndoManager *undoManager() const;

    QTextEdit *m_editor = nullptr;
    std::weak_ptr<VRDrawableObject> m_object;
    NotificationToken m_token;
    bool m_loading = false;
    // Keystrokes after the first of a run are written back without undo registration.
    bool m_typingRun = false;
    QString m_formattingActionName;
    QPointer<VRUndoManager> m_undoManager;
    std::weak_ptr<VKUndoGroup> m_topGroupAtStart;
    bool m_hadGroupAtStart = false;
    QString m_originalHtml;
};
