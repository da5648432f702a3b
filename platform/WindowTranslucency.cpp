#include "platform/WindowTranslucency.h"

#include <QByteArray>
#include <QColor>
#include <QGuiApplication>
#include <QString>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>

#include <cstdlib>
#endif

namespace {

#if QT_CONFIG(xcb)
// The default screen's number from the display name (":0.1" is screen 1), as xcb reads it.
int defaultScreenNumber()
{
    const QByteArray display = qgetenv("DISPLAY");
    const int colon = display.lastIndexOf(':');
    const int dot = display.indexOf('.', colon < 0 ? 0 : colon);
    if (dot < 0)
        return 0;
    bool ok = false;
    const int screen = display.mid(dot + 1).toInt(&ok);
    return ok && screen >= 0 ? screen : 0;
}

bool compositingManagerRuns(xcb_connection_t *connection)
{
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(defaultScreenNumber());
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, uint16_t(name.size()), name.constData()),
        nullptr);
    if (!atom)
        return false;
    const xcb_atom_t selection = atom->atom;
    std::free(atom);
    if (selection == XCB_ATOM_NONE)
        return false; // Nobody ever named the selection, so nobody owns it.
    xcb_get_selection_owner_reply_t *owner = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr);
    if (!owner)
        return false;
    const bool owned = owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
    return owned;
}
#endif

} // namespace

bool WindowTranslucency::isAvailable()
{
#if QT_CONFIG(xcb)
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        auto *x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (x11 && x11->connection())
            return compositingManagerRuns(x11->connection());
    }
#endif
    return true;
}

QColor WindowTranslucency::opaqueOverLight(const QColor &colour)
{
    const float a = colour.alphaF();
    const auto over = [a](float c) { return c * a + (1.0f - a); };
    return QColor::fromRgbF(over(colour.redF()), over(colour.greenF()), over(colour.blueF()));
}
