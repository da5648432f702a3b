#pragma once

#include "framework/base/VRClassInfo.h"

#include <QCursor>
#include <QPoint>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <memory>

class QKeyEvent;
class QPainter;
class VRDrawingView;

// One mouse event as a tool sees it: the point in drawing coordinates (snapped to the grid when
// the drawing snaps), the unsnapped point, the position in the view, buttons and modifiers.
struct VRToolEvent {
    QPointF point;
    QPointF rawPoint;
    QPoint viewPosition;
    QPointF globalPosition;
    Qt::MouseButton button = Qt::LeftButton;
    Qt::KeyboardModifiers modifiers;
};

// Turns mouse and key input in a view into edits. Tools are shared between views (one registry);
// a tool keeps per-gesture state only between a press and its release.
class VRDrawingTool
{
    VR_ROOT_CLASS(VRDrawingTool)
public:
    VRDrawingTool() = default;
    virtual ~VRDrawingTool();
    VRDrawingTool(const VRDrawingTool &) = delete;
    VRDrawingTool &operator=(const VRDrawingTool &) = delete;

    // The shared registry's table.
    static VRDrawingTool *drawingToolWithName(const QString &name);
    static void registerDrawingTool(std::shared_ptr<VRDrawingTool> tool, const QString &withName);
    static QStringList toolNames();

    // The name this tool is registered under; empty when it is not registered.
    QString registeredName() const;
    // Makes the tool current in the current view controller.
    void set();

    // The name users see (menus); the registered name unless a title was given.
    virtual QString title() const;
    void setTitle(const QString &title) { m_title = title; }
    // The title given with setTitle(); empty when none was.
    QString givenTitle() const { return m_title; }

    // Shortcut code as the original platform numbered keys; 0 = none.
    void setKeyCode(int keyCode) { m_keyCode = keyCode; }
    int keyCode() const { return m_keyCode; }
    // The Qt key of keyCode(), 0 when unknown.
    int qtKey() const;
    static int qtKeyForKeyCode(int keyCode);

    // Input. Points are drawing coordinates.
    virtual void mousePressed(VRDrawingView &view, const VRToolEvent &event);
    virtual void mouseDragged(VRDrawingView &view, const VRToolEvent &event);
    virtual void mouseReleased(VRDrawingView &view, const VRToolEvent &event);
    virtual void mouseMoved(VRDrawingView &view, const VRToolEvent &event);
    virtual void mouseDoubleClicked(VRDrawingView &view, const VRToolEvent &event);
    // Returns true when the key was used.
    virtual bool keyPressed(VRDrawingView &view, QKeyEvent *event);
    // Draws feedback of the gesture in progress; the painter maps drawing coordinates.
    virtual void paintOverlay(VRDrawingView &view, QPainter &painter) const;
    virtual QCursor cursor() const;
    virtual void toolDidBecomeCurrent(VRDrawingView &view);
    virtual void toolWillResign(VRDrawingView &view);
    // The select tool and its aliases never revert to "Select" after use.
    virtual bool isSelectionTool() const { return false; }
    // True while a gesture of this tool is in progress.
    virtual bool isBusy() const { return false; }

protected:
    // Ends one use of a tool: reverts to "Select" when the controller auto-reverts.
    void finishedUse(VRDrawingView &view);

private:
    int m_keyCode = 0;
    QString m_title;
};
