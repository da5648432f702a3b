// QntElementModeInspector: the sticky-spot toolbar.
#include "inspectors/QntElementModeInspector.h"

#include "inspectors/QntButtonCell.h"
#include "inspectors/QntButtonMatrix.h"
#include "inspectors/QntEscapedView.h"

#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntElement.h"
#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRDrawingView.h"

#include <QHBoxLayout>

void QntElementModeInspector::createStickyPointToolbar(QntButtonMatrix *matrix)
{
    // The button toggles the toolbar.
    if (_attachedStickyPointWindow) {
        closeAttachedStickyPointWindow();
        return;
    }
    if (!_viewStickyPointToolbar) {
        auto *view = new QntEscapedView;
        view->setObjectName(QStringLiteral("stickyPointToolbar"));
        auto *row = new QHBoxLayout(view);
        row->setContentsMargins(8, 6, 8, 6);
        for (const QString &name :
             {QStringLiteral("Insert Sticky Spot"), QStringLiteral("Insert Only One Sticky Spot"),
              QStringLiteral("Delete Sticky Spot")}) {
            auto *button = new QntButtonCell(view);
            button->setObjectName(name);
            button->setText(name);
            button->setToolTip(name);
            button->setBordered(true);
            row->addWidget(button);
            connect(button, &QAbstractButton::clicked, this,
                    [this, name] { toolButtonStickyPointMatrixAction(name); });
        }
        _viewStickyPointToolbar = view;
    }
    AXAttachedWindow *window = openToolbarBesideSelectedCell(matrix, _viewStickyPointToolbar);
    if (!window)
        return;
    window->setObjectName(QStringLiteral("stickyPointWindow"));
    _attachedStickyPointWindow = window;
    // While the toolbar is open a sticky-spot tool stays current for several clicks.
    m_stickyPointDocument = currentDocument();
    if (m_stickyPointDocument)
        m_stickyPointDocument->toggleAutoRevertAction(this);
}

void QntElementModeInspector::closeAttachedStickyPointWindow()
{
    // Closed whether or not it is visible (the text bar hides the column's windows).
    if (!_attachedStickyPointWindow)
        return;
    if (_viewStickyPointToolbar)
        _viewStickyPointToolbar->setParent(nullptr);
    _attachedStickyPointWindow->hide();
    _attachedStickyPointWindow->deleteLater();
    _attachedStickyPointWindow = nullptr;
    if (VRDrawingDocument *document = m_stickyPointDocument)
        document->toggleAutoRevertAction(this);
    m_stickyPointDocument = nullptr;
}

void QntElementModeInspector::toolButtonStickyPointMatrixAction(const QString &toolName)
{
    VRDrawingTool *tool = VRDrawingTool::drawingToolWithName(toolName);
    if (!tool)
        return;
    if (const std::shared_ptr<QntElement> element = contextElement()) {
        element->setHighlightedForConnectorSnapping(true);
        element->notifyVisualChange();
    }
    tool->set();
    VRDrawingDocument *document = currentDocument();
    if (VRDrawingView *view = document ? document->mainView() : nullptr) {
        view->window()->activateWindow();
        view->setFocus(Qt::OtherFocusReason);
    }
}
