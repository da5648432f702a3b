#include "framework/notations/QntNotationArchive.h"

#include "framework/notations/QntColorScheme.h"

#include <QJsonDocument>
#include <QJsonObject>

#if __has_include("framework/model/QntElement.h") && __has_include("framework/archive/VRArchiver.h")
#define QNT_NOTATION_ELEMENTS 1
#include "framework/model/QntElement.h"
#include "framework/archive/VRArchiver.h"
#include "framework/base/VRConstants.h"
#include "platform/NotificationCenter.h"
#endif

namespace {

#ifdef QNT_NOTATION_ELEMENTS
// Elements find their notation's prototypes and scheme colours through the notation library.
const bool g_providersInstalled = [] {
    QntElement::setPrototypeProvider(
        [](const QString &elementId, const QString &notationPath) -> VRObjectRef {
            const QntNotationRef notation = QntNotation::notationWithPath(notationPath);
            return notation && notation->isValid() ? notation->prototypeForElementId(elementId)
                                                   : nullptr;
        });
    QntElement::setSchemeColourProvider([](const QString &notationPath, qint64 schemeId,
                                           const QString &itemsType, int index,
                                           double *alpha) -> QColor {
        const QntNotationRef notation = QntNotation::notationWithPath(notationPath);
        if (!notation || !notation->isValid())
            return {};
        return QntColorScheme::colour(*notation, schemeId, itemsType, index, alpha);
    });
    return true;
}();
#endif

} // namespace

QByteArray QntNotationArchive::encodeElement(const VRObjectRef &element)
{
#ifdef QNT_NOTATION_ELEMENTS
    return element ? VRArchiver::objectData(element) : QByteArray();
#else
    Q_UNUSED(element)
    return {};
#endif
}

VRObjectRef QntNotationArchive::decodeElement(const QByteArray &data, const QString &notationPath)
{
#ifdef QNT_NOTATION_ELEMENTS
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
#else
    Q_UNUSED(data)
    Q_UNUSED(notationPath)
    return {};
#endif
}

QByteArray QntNotationArchive::encodeObjectForKey(const VRObjectRef &object, const QString &key)
{
#ifdef QNT_NOTATION_ELEMENTS
    if (!object)
        return {};
    QJsonObject record = QJsonDocument::fromJson(VRArchiver::objectData(object)).object();
    record.insert(QStringLiteral("root"), key);
    return QJsonDocument(record).toJson(QJsonDocument::Compact);
#else
    Q_UNUSED(object)
    Q_UNUSED(key)
    return {};
#endif
}

VRObjectRef QntNotationArchive::decodeObjectForKey(const QByteArray &data)
{
#ifdef QNT_NOTATION_ELEMENTS
    return data.isEmpty() ? nullptr : VRArchiver::objectFromData(data);
#else
    Q_UNUSED(data)
    return {};
#endif
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
}

void QntNotationArchive::postImageBankNotification(bool willAdd, const VRObjectRef &element)
{
#ifdef QNT_NOTATION_ELEMENTS
    QVariantMap info;
    info.insert(QStringLiteral("object"), QVariant::fromValue(element));
    NotificationCenter::defaultCenter().post(willAdd ? kQntElementWillBeAddedToImageBankNotification
                                                     : kQntElementAddedToImageBankNotification,
                                             element.get(), info);
#else
    Q_UNUSED(willAdd)
    Q_UNUSED(element)
#endif
}
