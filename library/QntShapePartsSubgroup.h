#pragma once

#include "library/QntNotationSubgroup.h"

#include <QImage>

// The parts of a selected element or connector as shape-library items, each with the part's
// picture as it is drawn inside its parent. Used by the inspectors' parts toolbar.
class QntShapePartsSubgroup : public QntNotationSubgroup
{
public:
    QntShapePartsSubgroup(const QString &title, const VRObjectRef &selectedElement);

    // One item per part: no tool, no title; the picture of the icon object (or of the part).
    void createSubGroupItemsForObjects(const VRObjectList &objects, const VRObjectRef &parentObject,
                                       const QString &tooltip,
                                       const VRObjectRef &objectForIcon = nullptr);
    // The part's picture as drawn inside its parent; null when it draws nothing.
    QImage imageForObject(const VRObjectRef &object, const VRObjectRef &parentObject) const;
};
