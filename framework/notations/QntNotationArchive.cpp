#include "framework/notations/QntNotationArchive.h"

QByteArray QntNotationArchive::encodeElement(const VRObjectRef &element)
{
    Q_UNUSED(element)
    return {};
}

VRObjectRef QntNotationArchive::decodeElement(const QByteArray &data, const QString &notationPath)
{
    Q_UNUSED(data)
    Q_UNUSED(notationPath)
    return {};
}

QByteArray QntNotationArchive::encodeObjectForKey(const VRObjectRef &object, const QString &key)
{
    Q_UNUSED(object)
    Q_UNUSED(key)
    return {};
}

VRObjectRef QntNotationArchive::decodeObjectForKey(const QByteArray &data)
{
    Q_UNUSED(data)
    return {};
}

QString QntNotationArchive::elementId(const VRObjectRef &object)
{
    Q_UNUSED(object)
    return {};
}

void QntNotationArchive::completeRecord(QntElementRecord &record)
{
    Q_UNUSED(record)
}

void QntNotationArchive::postImageBankNotification(bool willAdd, const VRObjectRef &element)
{
    Q_UNUSED(willAdd)
    Q_UNUSED(element)
}

void QntNotationArchive::rebuildUserNotations(bool rewriteAll)
{
    Q_UNUSED(rewriteAll)
}
