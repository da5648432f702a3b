#pragma once

class QColor;

// Whether top-level windows can show per-pixel translucency. On X11 that takes a compositing
// manager (an owner of the _NET_WM_CM_S<screen> selection); without one, the transparent pixels
// of a translucent window show as black. Other platforms (offscreen, Wayland) always blend.
namespace WindowTranslucency {

// Asks the windowing system; on X11 one round trip to the server.
bool isAvailable();

// The opaque colour that looks like `colour` laid over a light window: what a translucent
// window paints where nothing blends its pixels.
QColor opaqueOverLight(const QColor &colour);

} // namespace WindowTranslucency
