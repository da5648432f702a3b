#pragma once

// Drives a drawing view offscreen with real mouse events, inside a scroll area like the
// document window's.

#include "framework/view/VRDrawingView.h"
#include "framework/view/VRViewController.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollArea>
#include <QTest>

#include <memory>

struct ViewHarness {
    std::unique_ptr<VRDrawing> drawing = std::make_unique<VRDrawing>();
    QScrollArea area;
    VRDrawingView *view = nullptr;

    explicit ViewHarness(QSize viewport = QSize(900, 700))
    {
        view = new VRDrawingView(drawing.get());
        area.setWidget(view);
        area.resize(viewport);
        area.show();
        (void)QTest::qWaitForWindowExposed(&area);
        view->scrollPointToCentre(QPointF(300, 250));
        QApplication::processEvents();
    }
    ~ViewHarness()
    {
        // The view goes before the drawing it shows.
        delete area.takeWidget();
    }

    VRObjectDrawingLayer *layer() const { return view->activeObjectLayer(); }
    VRUndoManager *undo() const { return drawing->undoManager(); }

    QPoint at(QPointF drawingPoint) const { return view->mapFromDrawing(drawingPoint).toPoint(); }

    void send(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons,
              Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QMouseEvent event(type, QPointF(pos), view->mapToGlobal(QPointF(pos)), button, buttons,
                          mods);
        QApplication::sendEvent(view, &event);
    }
    void press(QPointF p, Qt::KeyboardModifiers mods = Qt::NoModifier,
               Qt::MouseButton b = Qt::LeftButton)
    {
        send(QEvent::MouseButtonPress, at(p), b, b, mods);
    }
    void release(QPointF p, Qt::KeyboardModifiers mods = Qt::NoModifier,
                 Qt::MouseButton b = Qt::LeftButton)
    {
        send(QEvent::MouseButtonRelease, at(p), b, Qt::NoButton, mods);
    }
    void click(QPointF p, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        press(p, mods);
        release(p, mods);
        QApplication::processEvents();
    }
    // Press at a, move in steps to b, release: one drag gesture.
    void drag(QPointF a, QPointF b, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        press(a, mods);
        const int steps = 6;
        for (int k = 1; k <= steps; ++k)
            send(QEvent::MouseMove, at(a + (b - a) * (double(k) / steps)), Qt::NoButton,
                 Qt::LeftButton, mods);
        release(b, mods);
        QApplication::processEvents();
    }
    // Drag starting at a view position (handles sit at fixed pixel distances).
    void dragView(QPoint a, QPoint b, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        // The pointer moves over the screen; the view may scroll under it meanwhile.
        QWidget *viewport = area.viewport();
        const QPoint va = view->mapTo(viewport, a), vb = view->mapTo(viewport, b);
        send(QEvent::MouseButtonPress, a, Qt::LeftButton, Qt::LeftButton, mods);
        const int steps = 6;
        for (int k = 1; k <= steps; ++k)
            send(QEvent::MouseMove, view->mapFrom(viewport, va + (vb - va) * k / steps),
                 Qt::NoButton, Qt::LeftButton, mods);
        send(QEvent::MouseButtonRelease, view->mapFrom(viewport, vb), Qt::LeftButton, Qt::NoButton,
             mods);
        QApplication::processEvents();
    }
    void useTool(const QString &name) { view->controller()->selectDrawingToolWithName(name); }
    void undoStep()
    {
        QApplication::processEvents();
        view->undo();
        QApplication::processEvents();
    }
    void redoStep()
    {
        QApplication::processEvents();
        view->redo();
        QApplication::processEvents();
    }
};
