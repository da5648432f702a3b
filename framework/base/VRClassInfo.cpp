#include "framework/base/VRClassInfo.h"

#include <QHash>

namespace {

QHash<QString, const VRClassInfo *> &registry()
{
    static QHash<QString, const VRClassInfo *> table;
    return table;
}

} // namespace

bool VRClassInfo::isSubclassOf(const VRClassInfo &other) const
{
    for (const VRClassInfo *c = this; c; c = c->super) {
        if (c == &other)
            return true;
    }
    return false;
}

const VRClassInfo *VRClassInfo::byName(QStringView name)
{
    return registry().value(name.toString(), nullptr);
}

QStringList VRClassInfo::registeredClassNames()
{
    QStringList names = registry().keys();
    names.sort();
    return names;
}

bool VRClassInfo::registerClass(const VRClassInfo *info)
{
    if (!info || !info->name)
        return false;
    registry().insert(QString::fromLatin1(info->name), info);
    return true;
}
