#include "framework/model/VROwnTextRenderer.h"

#include "framework/styles/VRTextAdornment.h"

void VROwnTextRenderer::create(Handler handler) const
{
    m_renderer = std::make_shared<VRTextAdornment>();
    m_renderer->setOwnerChangeHandler(std::move(handler));
    m_described.reset();
}

QRectF VROwnTextRenderer::inkBounds(const VRTextBlock &text, const VRRenderContext &context,
                                    std::optional<int> layoutMode, VRBoundsMeasure measure) const
{
    const auto measureOn = [&](const VRTextAdornment &adornment) {
        return measure == VRBoundsMeasure::Exact ? adornment.inkBounds(context)
                                                 : adornment.outerInkBounds(context);
    };
    // Measured alongside other threads, the renderer is asked only when it describes the text
    // already: describing it again would drop its layout, which drawing made on another thread.
    if (m_renderer
        && (!VRTextAdornment::MeasuringAlongside::isActive()
            || (m_described && *m_described == text
                && (!layoutMode || m_renderer->layoutMode() == *layoutMode))))
        return measureOn(*describe(text, layoutMode));
    // One passing renderer per thread, described afresh for each text as describe() does the
    // kept one, so that measuring a text never drawn keeps no renderer and makes none.
    thread_local VRTextAdornment passing;
    static const int kDefaultLayoutMode = VRTextAdornment().layoutMode();
    text.describeIn(passing, false);
    passing.setLayoutMode(layoutMode.value_or(kDefaultLayoutMode));
    return measureOn(passing);
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
