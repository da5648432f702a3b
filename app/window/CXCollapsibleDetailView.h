#pragma once

// What a section's detail view may answer to take part in expanding and collapsing. A
// detail widget that also derives from this interface is asked; any other widget is not.
class CXCollapsibleDetailView
{
public:
    virtual ~CXCollapsibleDetailView() = default;
    virtual bool canExpand() const { return true; }
    virtual bool canCollapse() const { return true; }
    virtual void viewWillExpand() {}
    virtual void viewDidExpand() {}
    virtual void viewWillCollapse() {}
    virtual void viewDidCollapse() {}
};
