#pragma once

#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRTextBlock.h"

#include <functional>
#include <memory>
#include <optional>

class VRTextAdornment;
struct VRRenderContext;

// An object's own text renderer: a text adornment that describes one of the object's text
// blocks, is what draws it, and hands what is set on it back to the object (as one undo step).
// A copy of the object starts with a renderer of its own.
class VROwnTextRenderer
{
public:
    using Handler = std::function<void(const VRTextAdornment &)>;

    VROwnTextRenderer() = default;
    VROwnTextRenderer(const VROwnTextRenderer &) {}
    VROwnTextRenderer &operator=(const VROwnTextRenderer &) { return *this; }

    // The renderer, describing text (again only when the text has changed); made on first use,
    // with the handler makeHandler() gives. layoutMode, when given, is set on it too.
    template <class MakeHandler>
    VRTextAdornment *renderer(const VRTextBlock &text, MakeHandler &&makeHandler,
                              std::optional<int> layoutMode = std::nullopt) const
    {
        if (!m_renderer)
            create(makeHandler());
        return describe(text, layoutMode);
    }

    // Where the text would put ink on that context (VRTextAdornment::inkBounds()): asked of the
    // renderer when there is one, else of a passing one described alike, so that measuring a
    // text never drawn keeps no renderer. Outer asks for VRTextAdornment::outerInkBounds().
    QRectF inkBounds(const VRTextBlock &text, const VRRenderContext &context,
                     std::optional<int> layoutMode = std::nullopt,
                     VRBoundsMeasure measure = VRBoundsMeasure::Exact) const;

    // The handler that takes a renderer's changes into owner's text block through its getter
    // and setter; it holds the owner weakly.
    template <class Owner>
    static Handler writingBackTo(const Owner &owner, const VRTextBlock &(Owner::*text)() const,
                                 void (Owner::*setText)(const VRTextBlock &))
    {
        std::weak_ptr<const VRDrawableObject> weak = owner.weak_from_this();
        return [weak, text, setText](const VRTextAdornment &adornment) {
            auto self = std::const_pointer_cast<VRDrawableObject>(weak.lock());
            if (!self)
                return;
            auto &object = static_cast<Owner &>(*self);
            VRTextBlock block = (object.*text)();
            block.takeFrom(adornment);
            (object.*setText)(block);
        };
    }

private:
    void create(Handler handler) const;
    VRTextAdornment *describe(const VRTextBlock &text, std::optional<int> layoutMode) const;

    mutable std::shared_ptr<VRTextAdornment> m_renderer;
    mutable std::optional<VRTextBlock> m_described;
};
