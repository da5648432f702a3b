#include "framework/base/VRUniqueID.h"

#include <QUuid>

QString VRUniqueID::uniqueKey()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}
