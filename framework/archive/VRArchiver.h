#pragma once

#include "framework/base/VRTypes.h"

#include <QByteArray>
#include <QJsonObject>

#include <functional>
#include <memory>

class VRArchiveParser;
class VRJsonStreamWriter;

// The one serialiser of the native format: documents, the objects pasteboard, stored element
// data and copies all use the same object records. Reading is all-or-nothing and never makes
// an object of a class outside the allow-list.
class VRArchiver
{
public:
    static constexpr int kFormatVersion = 1;
    static constexpr qint64 kMaximumFileSize = qint64(256) * 1024 * 1024;
    static constexpr int kMaximumNesting = 64;

    // A whole document.
    static QByteArray documentData(const VRDrawing &drawing);
    // The same text, handed to `sink` (valid during the call only) from memory kept for the
    // next: what a save writes to its file.
    static void writeDocument(const VRDrawing &drawing,
                              const std::function<void(QByteArrayView text)> &sink);
    // `progress`, when given, is told how far the reading is (0 to 1) every few records; when it
    // answers false the reading stops and fails with cancelledMessage().
    using Progress = std::function<bool(double fraction)>;
    // `release`, when given, is told which stretches of a large document's text are read and no
    // longer needed, and answers up to where it gave them back (see VRArchiveParser::Release).
    // When a reading that gave text back fails, it sets `readAgain` and tells nothing more: the
    // caller reads the text afresh and reads it again without release, for the message.
    using Release = std::function<qsizetype(qsizetype begin, qsizetype end)>;
    static VRResult<std::unique_ptr<VRDrawing>> drawingFromData(const QByteArray &data,
                                                                const Progress &progress = {},
                                                                const Release &release = {},
                                                                bool *readAgain = nullptr);
    static QString cancelledMessage();

    // Objects with their styles and images ({"format": "quintora.objects", ...}).
    static QByteArray objectsData(const VRObjectList &objects);
    static VRResult<VRObjectList> objectsFromData(const QByteArray &data);
    // One object; an independent copy round-trips.
    static QByteArray objectData(const VRObjectRef &object) { return objectsData({object}); }
    static VRObjectRef objectFromData(const QByteArray &data);

    // Checks size and nesting before parsing, then parses; the error names what is wrong.
    static VRResult<QJsonObject> parse(const QByteArray &data, const QString &expectedFormat);

private:
    // Documents from this size on are parsed in parts on worker threads.
    static constexpr qsizetype kPartsThreshold = 256 * 1024;

    static void writeDocument(VRJsonStreamWriter &out, const VRDrawing &drawing);
    static VRResult<QJsonObject> checkRoot(const QJsonObject &root, const QString &expectedFormat);
    static VRResult<std::unique_ptr<VRDrawing>>
    readDrawing(const QJsonObject &root, VRArchiveParser *parts, const Progress &progress = {});
};
