#pragma once

#include <QPointF>
#include <QSizeF>

// What the linear and polar duplication sheets ask of the document they duplicate in.
// Centres and offsets are in grid units.
class VKDuplicationDelegate
{
public:
    virtual ~VKDuplicationDelegate() = default;
    virtual int countOfItemsInSelection() const = 0;
    virtual void doPolarDuplicateCopies(int copies, QPointF centre, double incAngle,
                                        bool rotateCopies) = 0;
    virtual void doAutoPolarDuplicateWithCentre(QPointF centre) = 0;
    virtual void doLinearDuplicateCopies(int copies, QSizeF offset) = 0;
};
