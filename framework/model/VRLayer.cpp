#include "framework/model/VRLayer.h"

#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawing.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/NotificationCenter.h"

VR_ROOT_CLASS_IMPL(VRLayer, nullptr)

VRUndoManager *VRLayer::undoManager() const
{
    return m_drawing ? m_drawing->undoManager() : nullptr;
}

void VRLayer::recordLayerUndo(const char *selector, const QString &actionName,
                              std::function<void(VRLayer &)> inverse, const void *target)
{
    VRUndoManager *um = undoManager();
    if (!um || !um->isUndoRegistrationEnabled())
        return;
    std::weak_ptr<VRLayer> weak = weak_from_this();
    if (weak.expired())
        return;
    um->registerUndoTask(target ? target : this, QString::fromLatin1(selector),
                         [weak, inverse = std::move(inverse)] {
                             if (auto self = weak.lock())
                                 inverse(*self);
                         });
    if (!actionName.isEmpty())
        um->setActionName(actionName);
}

void VRLayer::setNeedsDisplay() const
{
    if (m_drawing)
        m_drawing->setNeedsDisplay(true);
}

void VRLayer::setName(const QString &name)
{
    if (name == m_name)
        return;
    recordLayerUndo("setName:", QStringLiteral("Rename Layer"),
                    [old = m_name](VRLayer &l) { l.setName(old); });
    m_name = name;
}

void VRLayer::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    recordLayerUndo(
        "setVisible:", visible ? QStringLiteral("Show Layer") : QStringLiteral("Hide Layer"),
        [old = m_visible](VRLayer &l) { l.setVisible(old); });
    m_visible = visible;
    setNeedsDisplay();
    NotificationCenter::defaultCenter().post(
        kVRLayerVisibleStateDidChange, this,
        {{QStringLiteral("layer"), QVariant::fromValue(shared_from_this())},
         {QStringLiteral("object"), QVariant::fromValue(shared_from_this())}});
}

void VRLayer::setLocked(bool locked)
{
    if (locked == m_locked)
        return;
    recordLayerUndo(
        "setLocked:", locked ? QStringLiteral("Lock Layer") : QStringLiteral("Unlock Layer"),
        [old = m_locked](VRLayer &l) { l.setLocked(old); });
    m_locked = locked;
    setNeedsDisplay();
    NotificationCenter::defaultCenter().post(
        kVRLayerLockStateDidChange, this,
        {{QStringLiteral("layer"), QVariant::fromValue(shared_from_this())},
         {QStringLiteral("object"), QVariant::fromValue(shared_from_this())}});
}

void VRLayer::setShouldDrawToPrinter(bool print)
{
    if (print == m_print)
        return;
    recordLayerUndo("setShouldDrawToPrinter:", QStringLiteral("Change Layer Printing"),
                    [old = m_print](VRLayer &l) { l.setShouldDrawToPrinter(old); });
    m_print = print;
}

QVariant VRLayer::valueForKey(const QString &key) const
{
    if (key == QLatin1String("name"))
        return m_name;
    if (key == QLatin1String("visible"))
        return m_visible;
    if (key == QLatin1String("locked"))
        return m_locked;
    if (key == QLatin1String("shouldDrawToPrinter"))
        return m_print;
    return {};
}

bool VRLayer::setValueForKey(const QVariant &value, const QString &key)
{
    if (key == QLatin1String("name")) {
        setName(value.toString());
        return true;
    }
    if (key == QLatin1String("visible")) {
        setVisible(value.toBool());
        return true;
    }
    if (key == QLatin1String("locked")) {
        setLocked(value.toBool());
        return true;
    }
    if (key == QLatin1String("shouldDrawToPrinter")) {
        setShouldDrawToPrinter(value.toBool());
        return true;
    }
    return false;
}

void VRLayer::render(QPainter &, bool) const
{
}
