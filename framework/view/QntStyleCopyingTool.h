#pragma once

#include "framework/base/VRTypes.h"
#include "framework/view/VRDrawingTool.h"

#include <QVariantMap>

// Copies a style from one object to others. Made current it is in mode 1. Mode 1: a click on an
// object posts kQntStyleShouldBeCopiedNotification (object: that object). Mode 2: a click on an
// object makes it the only selection and posts kQntStyleShouldBeAppliedNotification (object: the
// tool; userInfo "style": the copied options). Escape or a click on paper ends.
class QntStyleCopyingTool : public VRDrawingTool
{
    VR_CLASS(QntStyleCopyingTool)
public:
    QntStyleCopyingTool() = default;

    void setCopiedStyleOptions(const QVariantMap &options) { m_options = options; }
    QVariantMap copiedStyleOptions() const { return m_options; }
    void setClassOfTargetObject(const VRClassInfo *cls) { m_targetClass = cls; }
    const VRClassInfo *classOfTargetObject() const { return m_targetClass; }
    void setLastSourceObject(VRObjectRef object) { m_lastSource = std::move(object); }
    VRObjectRef lastSourceObject() const { return m_lastSource; }
    // A short read-out near the object.
    void showInfoWindowForObject(const VRObjectRef &object, QPointF point);
    // 0 idle, 1 pick a source, 2 apply.
    int mode() const { return m_mode; }
    void setMode(int mode) { m_mode = mode; }

    void mousePressed(VRDrawingView &view, const VRToolEvent &event) override;
    bool keyPressed(VRDrawingView &view, QKeyEvent *event) override;
    // Made current, the tool waits for the object to copy from; a copied style is forgotten.
    void toolDidBecomeCurrent(VRDrawingView &view) override;
    QCursor cursor() const override { return QCursor(Qt::PointingHandCursor); }

private:
    void end(VRDrawingView &view);

    QVariantMap m_options;
    const VRClassInfo *m_targetClass = nullptr;
    VRObjectRef m_lastSource;
    int m_mode = 0;
};
