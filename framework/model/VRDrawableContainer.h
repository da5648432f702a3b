#pragma once

#include <QTransform>

class VRDrawableObject;
class VRObjectOwnerLayer;

// Something that holds drawables: a layer, or a group whose members live in its own content
// coordinates.
class VRDrawableContainer
{
public:
    virtual ~VRDrawableContainer() = default;

    // The layer at the root of the containment, or null when detached.
    virtual VRObjectOwnerLayer *containerLayer() const = 0;
    // Maps member coordinates to drawing coordinates.
    virtual QTransform contentTransform() const = 0;
    // A member's geometry or look changed.
    virtual void memberDidChange(VRDrawableObject &) {}
    // A member's bounds are no longer what they were (it moved, grew or was restyled).
    virtual void memberBoundsDidChange(VRDrawableObject &) {}
};
