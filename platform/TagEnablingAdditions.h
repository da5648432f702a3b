#pragma once

class QWidget;

// Hiding and enabling parts of a view tree by tag. A widget's tag is a property of the widget.
class TagEnablingAdditions
{
public:
    static void setTag(QWidget *view, int tag);
    static int tag(const QWidget *view); // 0 when none was set

    // A control is a widget that can be enabled on its own (buttons, sliders, fields, lists);
    // containers pass enabling on to their children.
    static bool isControl(const QWidget *view);

    // A view whose tag matches is hidden or shown and its children are left alone; any other
    // view passes the call to each of its child widgets.
    static void setSubviewsWithTag(QWidget *view, int tag, bool hidden);
    // A control whose tag matches is enabled or disabled and its children are left alone; any
    // other view, a matching container included, passes the call to each of its child widgets.
    static void setSubviewsWithTagEnabled(QWidget *view, int tag, bool enabled);
};
