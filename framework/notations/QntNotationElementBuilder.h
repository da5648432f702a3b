#pragma once

#include "framework/notations/QntNotationSource.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

// Builds an element prototype from its source description and stores it the way notation rows
// hold elements.
class QntNotationElementBuilder
{
public:
    // Never null on success.
    static VRResult<VRObjectRef> buildElement(const QntNotationSource::Element &element,
                                              const QntNotationSource &notation, qint64 schemeId,
                                              const QString &notationPath);
    // The element's row data, checked to read back.
    static VRResult<QByteArray> elementData(const QntNotationSource::Element &element,
                                            const QntNotationSource &notation, qint64 schemeId,
                                            const QString &notationPath);
    // The object drawn alone, scaled to fit the picture inside the margin; transparent around.
    static QImage renderImage(const VRObjectRef &object, QSize size, int margin);
    // A PNG icon (64 x 64) of the element.
    static QByteArray iconData(const QntNotationSource::Element &element,
                               const QntNotationSource &notation, qint64 schemeId,
                               const QString &notationPath);
};
