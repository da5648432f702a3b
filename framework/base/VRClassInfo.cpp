#include "framework/base/VRClassInfo.h"

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
    return byName(name.toString());
}

const VRClassInfo *VRClassInfo::byName(const QString &name)
{
    return allowList().value(name, nullptr);
}

QStringList VRClassInfo::registeredClassNames()
{
    QStringList names = allowList().keys();
    names.sort();
    return names;
}
