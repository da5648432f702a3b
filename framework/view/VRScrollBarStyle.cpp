#include "framework/view/VRScrollBarStyle.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOption>

VRScrollBarStyle::VRScrollBarStyle(const QString &key)
    : QProxyStyle(key)
{
}

VRScrollBarStyle *VRScrollBarStyle::forApplicationStyle()
{
    static QPointer<VRScrollBarStyle> shared;
    // The style under the application's own proxy, when it has one.
    const QStyle *style = QApplication::style();
    if (const auto *proxy = qobject_cast<const QProxyStyle *>(style); proxy && proxy->baseStyle())
        style = proxy->baseStyle();
    const QString key = style->name();
    if (!QStyleFactory::keys().contains(key, Qt::CaseInsensitive))
        return nullptr;
    if (!shared || shared->baseStyle()->name() != key) {
        // One made for a style the application has left stays until the application goes:
        // widgets may still use it.
        shared = new VRScrollBarStyle(key);
        shared->setParent(qApp);
    }
    return shared;
}

void VRScrollBarStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                                          QPainter *painter, const QWidget *widget) const
{
    if (control != CC_ScrollBar) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    painter->save();
    painter->setClipRect(option->rect, Qt::IntersectClip);
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    painter->restore();
}
