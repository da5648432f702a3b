#include "app/launch/QntThreadPreparation.h"

#include "telemetry/crash/Faultline.h"

#include <QObject>
#include <QtGlobal>

// Qt's hook table for tools (exported by QtCore, versioned, laid out in its qhooks_p.h): the
// version of the table, its size, then the callbacks.
extern quintptr qtHookData[];

namespace {

constexpr int kHookDataVersion = 0;
constexpr int kHookDataSize = 1;
constexpr int kAddQObject = 3; // void (*)(QObject *), since version 1 of the table

using AddQObjectCallback = void (*)(QObject *);

AddQObjectCallback g_previous = nullptr;
bool g_installed = false;

void objectAdded(QObject *object)
{
    Faultline::prepareCurrentThread();
    if (g_previous)
        g_previous(object);
}

} // namespace

bool QntThreadPreparation::install()
{
    if (g_installed)
        return true;
    if (qtHookData[kHookDataVersion] < 1 || qtHookData[kHookDataSize] <= kAddQObject)
        return false;
    g_previous = reinterpret_cast<AddQObjectCallback>(qtHookData[kAddQObject]);
    qtHookData[kAddQObject] = reinterpret_cast<quintptr>(&objectAdded);
    g_installed = true;
    return true;
}

void QntThreadPreparation::remove()
{
    if (!g_installed)
        return;
    if (qtHookData[kAddQObject] == reinterpret_cast<quintptr>(&objectAdded))
        qtHookData[kAddQObject] = reinterpret_cast<quintptr>(g_previous);
    g_previous = nullptr;
    g_installed = false;
}

bool QntThreadPreparation::isInstalled()
{
    return g_installed;
}
