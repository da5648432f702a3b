#include "platform/DeepCopy.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

QVariant deepCopy(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QVariantMap: return deepCopy(value.toMap());
    case QMetaType::QVariantList: return deepCopy(value.toList());
    case QMetaType::QStringList: {
        QStringList copy;
        for (const QString &text : value.toStringList())
            copy.append(QString(text.constData(), text.size()));
        return copy;
    }
    case QMetaType::QString: {
        const QString text = value.toString();
        return QString(text.constData(), text.size());
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return QByteArray(bytes.constData(), bytes.size());
    }
    default: return value;
    }
}

QVariantMap deepCopy(const QVariantMap &map)
{
    QVariantMap copy;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        copy.insert(QString(it.key().constData(), it.key().size()), deepCopy(it.value()));
    return copy;
}

QVariantList deepCopy(const QVariantList &list)
{
    QVariantList copy;
    copy.reserve(list.size());
    for (const QVariant &item : list)
        copy.append(deepCopy(item));
    return copy;
}
