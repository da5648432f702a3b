#pragma once

#include <QSizeF>
#include <QString>
#include <QVariantMap>

// What the export options dialog asks of the document it exports.
class VKExportOptionsDelegate
{
public:
    virtual ~VKExportOptionsDelegate() = default;
    virtual QString displayName() const = 0;
    // The pixel size the export would have with these options.
    virtual QSizeF sourceImageSize(qint64 type, const QVariantMap &options) const = 0;
    // Writes the file; false when nothing was written (the delegate has told the user why).
    virtual bool performExportType(qint64 type, const QVariantMap &options) = 0;
};
