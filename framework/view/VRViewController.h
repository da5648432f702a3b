#pragma once

#include <QObject>
#include <QPointer>

class VRDrawing;
class VRDrawingTool;
class VRDrawingView;

// The document view controller: the view's current tool and its modes, and the drawing's owner.
class VRViewController : public QObject
{
    Q_OBJECT
public:
    explicit VRViewController(VRDrawingView *view);
    ~VRViewController() override;

    VRDrawingView *view() const { return m_view; }
    // The drawing view this controller runs (the document's main view).
    VRDrawingView *mainView() const { return m_view; }
    VRDrawing *drawing() const;

    // Never null: falls back to "Select".
    VRDrawingTool *drawingTool() const;
    // Posts kVRDidChangeToolNotification (object: the view; userInfo "tool").
    void setDrawingTool(VRDrawingTool *tool);
    // Makes the registered tool of that name current; false when there is none.
    bool selectDrawingToolWithName(const QString &name);

    bool activatesLayersAutomatically() const { return m_activatesLayers; }
    void setActivatesLayersAutomatically(bool activates) { m_activatesLayers = activates; }
    // After one use a non-select tool reverts to "Select".
    bool autoRevert() const { return m_autoRevert; }
    void setAutoRevert(bool autoRevert) { m_autoRevert = autoRevert; }

    // The controller of the active document window: the last one made current (a view that
    // gets focus or is shown makes its controller current).
    static VRViewController *current();
    static void setCurrent(VRViewController *controller);

signals:
    void drawingToolChanged(VRDrawingTool *tool);

private:
    VRDrawingView *m_view;
    VRDrawingTool *m_tool = nullptr;
    bool m_activatesLayers = true;
    bool m_autoRevert = true;
    static QPointer<VRViewController> s_current;
};
