#include "framework/view/QntStyleCopyingTool.h"

#include "framework/view/VRDrawingView.h"
#include "framework/view/VRViewController.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "platform/NotificationCenter.h"

#include <QKeyEvent>
#include <QToolTip>

VR_CLASS_IMPL_WITH(QntStyleCopyingTool, &VRDrawingTool::staticClass(), nullptr)

void QntStyleCopyingTool::showInfoWindowForObject(const VRObjectRef &object, QPointF point)
{
    Q_UNUSED(object);
    QToolTip::showText(point.toPoint(), QObject::tr("Style copied"));
}

void QntStyleCopyingTool::mousePressed(VRDrawingView &view, const VRToolEvent &event)
{
    VRObjectRef hit = view.objectAtPoint(event.rawPoint);
    if (!hit) {
        end(view);
        return;
    }
    QVariantMap info{{QStringLiteral("object"), QVariant::fromValue(hit)}};
    if (m_mode == 1) {
        m_lastSource = hit;
        NotificationCenter::defaultCenter().post(kQntStyleShouldBeCopiedNotification, hit.get(),
                                                 info);
        showInfoWindowForObject(hit, event.globalPosition);
        return;
    }
    if (m_mode == 2) {
        if (VRObjectDrawingLayer *layer = view.activeObjectLayer())
            layer->replaceSelectionWithObject(hit);
        QVariantMap applied{{QStringLiteral("style"), m_options}};
        NotificationCenter::defaultCenter().post(kQntStyleShouldBeAppliedNotification, this,
                                                 applied);
    }
}

void QntStyleCopyingTool::toolDidBecomeCurrent(VRDrawingView &view)
{
    VRDrawingTool::toolDidBecomeCurrent(view);
    m_options.clear();
    m_targetClass = nullptr;
    m_lastSource.reset();
    m_mode = 1;
}

bool QntStyleCopyingTool::keyPressed(VRDrawingView &view, QKeyEvent *event)
{
    if (event->key() != Qt::Key_Escape)
        return false;
    end(view);
    return true;
}

void QntStyleCopyingTool::end(VRDrawingView &view)
{
    m_mode = 0;
    view.controller()->setDrawingTool(nullptr);
}
