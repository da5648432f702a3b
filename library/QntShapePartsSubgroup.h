#pragma once

#include "library/QntNotationSubgroup.h"

#include <QImage>

#include <functional>

// The parts of a selected element or connector as shape-library items, each with the part's
// picture as it is drawn inside its parent. Used by the inspectors' parts toolbar.
class QntShapePartsSubgroup : public QntNotationSubgroup
{
public:
    QntShapePartsSubgroup(const QString &title, const VRObjectRef &selectedElement);
    // Items kept beyond the group stop following their parts.
    ~QntShapePartsSubgroup() override;

    // One item per part: no tool, no title; the picture of the icon object (or of the part).
    void createSubGroupItemsForObjects(const VRObjectList &objects, const VRObjectRef &parentObject,
                                       const QString &tooltip,
                                       const VRObjectRef &objectForIcon = nullptr);
    // The part's picture as drawn inside its parent; null when it draws nothing.
    QImage imageForObject(const VRObjectRef &object, const VRObjectRef &parentObject) const;

    // Told when an item has drawn its part again (its part was restyled), so that the view
    // showing the group can show the new picture.
    using ItemImageHandler = std::function<void(QntNotationSubGroupItem *item)>;
    void setItemImageHandler(ItemImageHandler handler) { m_itemImageHandler = std::move(handler); }
    void itemImageDidChange(QntNotationSubGroupItem *item) const;

private:
    ItemImageHandler m_itemImageHandler;
};
