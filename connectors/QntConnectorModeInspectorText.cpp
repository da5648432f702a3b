// QntConnectorModeInspector: the connector label's text bar.
#include "connectors/QntConnectorModeInspector.h"

#include "connectors/QntConnectorTextEditor.h"

#include "app/common/QntConstants.h"
#include "framework/base/VRConstants.h"
#include "framework/model/QntConnector.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/view/QntContextTextEditorView.h"

#include <QTextEdit>

bool QntConnectorModeInspector::canShowAttachedWindow() const
{
    return !mConnectorTextEditor || !mConnectorTextEditor->attachedWindow();
}

void QntConnectorModeInspector::openTextEditor(const Notification &notification)
{
    VRObjectRef object = notification.userInfo.value(QStringLiteral("object")).value<VRObjectRef>();
    if (!object) {
        VRDrawing *drawing = currentDrawing();
        auto *layer = drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
        object = layer ? layer->singleSelection() : nullptr;
    }
    if (!object || !object->isKindOf<QntConnector>())
        return;
    closeAttachedWindows();
    setContextObject(object);
    _contextMenuPosition = QPointF();
    menuPosition();
    openConnectorTextEditor();
}

void QntConnectorModeInspector::openConnectorTextEditor()
{
    const std::shared_ptr<QntConnector> connector = contextConnector();
    if (!connector || connector->isEditing())
        return;
    if (!mConnectorTextEditor || !mConnectorTextEditor->attachedWindow()) {
        if (mConnectorTextEditor) {
            mConnectorTextEditor->closeAttachedWindows();
            mConnectorTextEditor->deleteLater();
        }
        mConnectorTextEditor = new QntConnectorTextEditor(this);
    }
    mConnectorTextEditor->setParentModeInspector(this);
    connector->startEditingInContextEditorWithView(mConnectorTextEditor->editorView());
    mConnectorTextEditor->showEditorForSelection({connector});
    mConnectorTextEditor->setupTextAttributesControls();
    closeAttachedWindow();
    QVariantMap hint{
        {QStringLiteral("msg"), tr("You can drag editor window if it closes important elements.")}};
    if (AXAttachedWindow *window = mConnectorTextEditor->attachedWindow())
        hint.insert(QStringLiteral("avoidRect"), window->frameGeometry());
    NotificationCenter::defaultCenter().post(kQntShowInfoPanelNotification, this, hint);
    if (AXAttachedWindow *window = mConnectorTextEditor->attachedWindow()) {
        window->orderFront(true);
        QTextEdit *text = mConnectorTextEditor->editorView()->textEditingView();
        text->setFocus(Qt::ActiveWindowFocusReason);
        if (!text->document()->isEmpty())
            text->selectAll();
    }
}

void QntConnectorModeInspector::closeAttachedTextEditorWindow()
{
    if (mConnectorTextEditor && mConnectorTextEditor->attachedWindow()) {
        // Closed by other means than Cancel: what was typed stays.
        const VRObjectRef edited = mConnectorTextEditor->editorView()->editedObject();
        mConnectorTextEditor->closeAttachedWindows();
        if (edited)
            edited->endEditingInContextEditor(true);
        mConnectorTextEditor->contextMenuDidClose();
    }
    if (const std::shared_ptr<QntConnector> connector = contextConnector())
        connector->endEditingInContextEditor(true);
}
