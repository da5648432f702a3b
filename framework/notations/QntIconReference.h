#pragma once

#include "framework/base/VRTypes.h"
#include "framework/notations/QntNotation.h"

#include <QList>
#include <QRectF>
#include <QString>

// The printable reference of the network icons: every icon of the Network notation and of the
// extended network library, each with its name, in groups titled as the shape library titles
// them, written as a PDF into the application's resources at build time (tools/icon-reference).
// Help > Cisco Icon Reference opens it with the desktop's viewer.
class QntIconReference
{
public:
    // The file name in the bundle resources.
    static const QString kFileName; // "Cisco_Icon_Library.pdf"

    struct Group {
        QString title;
        QList<QntElementRecord> elements;
    };
    // Where one icon went: its page (from 0), its picture's cell and its name's line, in points
    // from the page's top left.
    struct Placement {
        QString name;
        int page = 0;
        QRectF icon;
        QRectF label;
    };

    // The groups read from a folder of notation databases (the built Notations folder): the
    // Network notation's shapes, then the extended network library, each with its icons (plain
    // elements) in the library's order. Fails, naming the database, when one cannot be read or
    // holds no icon.
    static VRResult<QList<Group>> groupsFromFolder(const QString &notationsFolder);
    // Writes the reference: A4 pages with a title, each group's heading and a grid of icons
    // drawn as vectors with their names underneath. Answers where each icon went.
    static VRResult<QList<Placement>> write(const QList<Group> &groups, const QString &pdfPath);

    static constexpr double kCellWidth = 128.0;
    static constexpr double kCellHeight = 104.0;
    static constexpr double kIconSide = 56.0;
};
