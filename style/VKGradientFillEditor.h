#pragma once

#include "framework/styles/VRGradient.h"
#include "platform/NotificationCenter.h"

#include <QPointer>
#include <QWidget>

#include <vector>

class QLabel;
class VKGradientWell;
class VRDrawing;
class VRDrawableObject;
class VRFill;
class WXGradientControl;

// The fill gradient of the one selected object in a document window: a gradient well (copy,
// paste, drag and drop) over a stop editor. Both show the same gradient; each finished change
// goes to the object's fill as one undoable step.
class VKGradientFillEditor : public QWidget
{
    Q_OBJECT
public:
    explicit VKGradientFillEditor(VRDrawing *drawing, QWidget *parent = nullptr);
    ~VKGradientFillEditor() override;

    VKGradientWell *well() const { return m_well; }
    WXGradientControl *stopEditor() const { return m_stops; }
    // Shows the gradient of the selected object again.
    void reload();
    // From now on the editor edits this fill (a fill renderer chosen in the style inspector)
    // instead of the selected object's last fill; null edits nothing.
    void setFill(const std::shared_ptr<VRFill> &fill);
    bool editsGivenFill() const { return m_editsGivenFill; }

    void setDrawing(VRDrawing *drawing) { m_drawing = drawing; }

signals:
    // A gradient went into the fill.
    void gradientApplied();

private:
    std::shared_ptr<VRDrawableObject> selectedObject() const;
    VRFill *targetFill() const;
    void apply(const VRGradientRef &gradient);
    void reloadLater();
    void showControlsForKind();

    QPointer<VRDrawing> m_drawing;
    VKGradientWell *m_well = nullptr;
    WXGradientControl *m_stops = nullptr;
    QLabel *m_caption = nullptr;
    bool m_updating = false;
    bool m_editsGivenFill = false;
    std::weak_ptr<VRFill> m_fill;
    bool m_reloadPending = false;
    std::vector<NotificationToken> m_tokens;
};
