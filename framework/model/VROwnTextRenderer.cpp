#include "framework/model/VROwnTextRenderer.h"

#include "framework/styles/VRTextAdornment.h"

void VROwnTextRenderer::create(Handler handler) const
{
    m_renderer = std::make_shared<VRTextAdornment>();
    m_renderer->setOwnerChangeHandler(std::move(handler));
    m_described.reset();
}

QRectF VROwnTextRenderer::inkBounds(const VRTextBlock &text, const VRRenderContext &context,
                                    std::optional<int> layoutMode) const
{
    if (m_renderer)
        return describe(text, layoutMode)->inkBounds(context);
    VRTextAdornment passing;
    text.describeIn(passing, false);
    if (layoutMode)
        passing.setLayoutMode(*layoutMode);
    return passing.inkBounds(context);
}

VRTextAdornment *VROwnTextRenderer::describe(const VRTextBlock &text,
                                             std::optional<int> layoutMode) const
{
    const bool changed = !m_described || !(*m_described == text);
    if (changed || (layoutMode && m_renderer->layoutMode() != *layoutMode)) {
        m_renderer->setNotifiesOwner(false);
        if (changed) {
            text.describeIn(*m_renderer);
            m_described = text;
        }
        if (layoutMode)
            m_renderer->setLayoutMode(*layoutMode);
        m_renderer->setNotifiesOwner(true);
    }
    return m_renderer.get();
}
