// QntElement: what an element holds (metadata "holds"), as a frame holds its messages, kept
// apart for copies.

#include "framework/model/QntElement.h"

#include "framework/model/VRObjectOwnerLayer.h"

#include <QHash>
#include <QSet>

namespace {

const QString kUid = QStringLiteral("uid");
const QString kHolds = QStringLiteral("holds");

QStringList heldUids(const VRDrawableObject &object)
{
    return object.stringForKey(kHolds).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

void QntElement::separateHeldCopies(const QList<VRObjectList> &batches,
                                    const VRObjectOwnerLayer *layer)
{
    QSet<QString> taken;
    QSet<QString> named;
    const auto noteNames = [&named](const VRDrawableObject &object) {
        for (const QString &uid : heldUids(object))
            named.insert(uid);
    };
    if (layer) {
        for (const VRObjectRef &object : layer->objects()) {
            const QString uid = object->stringForKey(kUid);
            if (!uid.isEmpty())
                taken.insert(uid);
            noteNames(*object);
        }
    }
    for (const VRObjectList &batch : batches) {
        for (const VRObjectRef &copy : batch) {
            if (copy)
                noteNames(*copy);
        }
    }
    if (named.isEmpty())
        return;
    for (const VRObjectList &batch : batches) {
        // What each original uid is called among this batch's copies.
        QHash<QString, QString> renamed;
        for (const VRObjectRef &copy : batch) {
            if (!copy)
                continue;
            const QString uid = copy->stringForKey(kUid);
            if (uid.isEmpty())
                continue;
            QString own = uid;
            if (named.contains(uid) && taken.contains(uid)) {
                for (int n = 2; taken.contains(own); ++n)
                    own = uid + QLatin1Char('-') + QString::number(n);
                copy->setString(own, kUid);
            }
            taken.insert(own);
            if (!renamed.contains(uid))
                renamed.insert(uid, own);
        }
        for (const VRObjectRef &copy : batch) {
            if (!copy || !copy->hasMetadataForKey(kHolds))
                continue;
            QStringList held;
            for (const QString &uid : heldUids(*copy)) {
                const auto it = renamed.constFind(uid);
                if (it != renamed.constEnd() && !held.contains(*it))
                    held.append(*it);
            }
            if (held.isEmpty())
                copy->removeMetadataForKey(kHolds);
            else
                copy->setString(held.join(QLatin1Char('\n')), kHolds);
        }
    }
}
