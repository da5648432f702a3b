#pragma once

#include "framework/notations/QntNotation.h"

#include <QByteArray>
#include <QString>

// Where notation rows meet the object serialiser: element blobs, object records under a key, and
// the metadata a row is filed under. Kept apart so the database code stays free of the model.
class QntNotationArchive
{
public:
    // One element's Data blob and back. Null / empty on failure.
    static QByteArray encodeElement(const VRObjectRef &element);
    static VRObjectRef decodeElement(const QByteArray &data, const QString &notationPath);

    static QByteArray encodeObjectForKey(const VRObjectRef &object, const QString &key);
    static VRObjectRef decodeObjectForKey(const QByteArray &data);

    // The object's "ID" metadata.
    static QString elementId(const VRObjectRef &object);
    // Fills a record's empty id, title and tooltip from its prototype's metadata.
    static void completeRecord(QntElementRecord &record);

    static void postImageBankNotification(bool willAdd, const VRObjectRef &element);
};
