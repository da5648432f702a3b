#include "framework/notations/QntNotationArchive.h"

#include "framework/archive/VRArchiver.h"
#include "framework/base/VRConstants.h"
#include "framework/model/QntElement.h"
#include "platform/NotificationCenter.h"

#include <QJsonDocument>
#include <QJsonObject>

QByteArray QntNotationArchive::encodeElement(const VRObjectRef &element)
{
    return element ? VRArchiver::objectData(element) : QByteArray();
}

VRObjectRef QntNotationArchive::decodeElement(const QByteArray &data, const QString &notationPath)
{
    if (data.isEmpty())
        return nullptr;
    VRObjectRef object = VRArchiver::objectFromData(data);
    if (!object)
        return nullptr;
    // Stored elements answer to the notation they are read from, wherever they were built.
    if (object->isKindOf<QntElement>() && !notationPath.isEmpty())
        static_cast<QntElement &>(*object).setNotationPath(
            QntNotation::homeRelativePath(notationPath));
    object->setIsPrototype(true);
    return object;
}

QByteArray QntNotationArchive::encodeObjectForKey(const VRObjectRef &object, const QString &key)
{
    if (!object)
        return {};
    QJsonObject record = QJsonDocument::fromJson(VRArchiver::objectData(object)).object();
    record.insert(QStringLiteral("root"), key);
    return QJsonDocument(record).toJson(QJsonDocument::Compact);
}

VRObjectRef QntNotationArchive::decodeObjectForKey(const QByteArray &data)
{
    return data.isEmpty() ? nullptr : VRArchiver::objectFromData(data);
}

QString QntNotationArchive::elementId(const VRObjectRef &object)
{
    return object ? object->ID() : QString();
}

void QntNotationArchive::completeRecord(QntElementRecord &record)
{
    if (!record.prototype)
        return;
    if (record.elementId.isEmpty())
        record.elementId = record.prototype->ID();
    if (record.tooltip.isEmpty())
        record.tooltip = record.prototype->stringForKey(QStringLiteral("tooltip"));
    if (record.title.isEmpty())
        record.title = record.prototype->stringForKey(QStringLiteral("TITLE"));
    // The built-in libraries keep an imported element's title in its own "title" entry.
    if (record.title.isEmpty())
        record.title = record.prototype->stringForKey(QStringLiteral("title"));
}

void QntNotationArchive::postImageBankNotification(bool willAdd, const VRObjectRef &element)
{
    QVariantMap info;
    info.insert(QStringLiteral("object"), QVariant::fromValue(element));
    NotificationCenter::defaultCenter().post(willAdd ? kQntElementWillBeAddedToImageBankNotification
                                                     : kQntElementAddedToImageBankNotification,
                                             element.get(), info);
}
