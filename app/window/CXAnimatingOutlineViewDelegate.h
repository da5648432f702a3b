#pragma once

#include "platform/NotificationCenter.h"

class CXAnimatingOutlineView;
class CXCollapsibleView;

// The owner of an inspector column: the gap between sections, whether a section may open or
// close, and the item notifications (userInfo "NSObject" holds the section).
class CXAnimatingOutlineViewDelegate
{
public:
    virtual ~CXAnimatingOutlineViewDelegate() = default;
    virtual double rowSeparation() const = 0;
    virtual bool outlineViewShouldExpandItem(CXAnimatingOutlineView *, CXCollapsibleView *)
    {
        return true;
    }
    virtual bool outlineViewShouldCollapseItem(CXAnimatingOutlineView *, CXCollapsibleView *)
    {
        return true;
    }
    virtual void outlineViewItemWillExpand(const Notification &) {}
    virtual void outlineViewItemDidExpand(const Notification &) {}
    virtual void outlineViewItemWillCollapse(const Notification &) {}
    virtual void outlineViewItemDidCollapse(const Notification &) {}
};
