#pragma once

#include "framework/notations/QntNotation.h"

#include <QColor>
#include <QJsonObject>
#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

// A notation as its source file describes it, checked and resolved (shared shapes, scheme sets,
// common elements), ready to be written into a database.
class QntNotationSource
{
public:
    struct Part {
        QString id;          // "contour", "decor…", "p…" or "text"
        QPainterPath path;   // in the element's box coordinates
        QRectF box;          // the element's box
        int fill = -1;       // scheme Fill index, -1 none
        int stroke = -1;     // scheme Stroke index, -1 none
        QList<int> gradient; // scheme GradientStops indices (vertical), empty none
        double strokeWidth = 1.0;
        QList<double> dash;
        bool closed = true; // open paths are lines
    };
    struct Text {
        QString string;
        int colour = 0; // scheme Text index
        double fontSize = 12.0;
        bool bold = false;
        bool italic = false;
        int alignment = 2;         // 0 left, 1 right, 2 centre
        int verticalAlignment = 1; // 0 top, 1 middle, 2 bottom
        QRectF frame;              // in box coordinates; empty = the whole box
    };
    struct Element {
        QString id;
        QString list;
        QString title;
        QString tooltip;
        QString className; // QntElement, QntText, QntElementTable, QntUMLSequenceElement …
        QString kind;      // metadata "Kind" (adjustable arrows)
        int direction = -1;
        bool proportional = false;
        QSizeF size;
        QRectF box;
        QList<Part> parts;
        std::optional<Text> text;
        QList<QPointF> stickySpots; // unit coordinates; empty = the four edge midpoints
        QVariantMap extra;          // class-specific values (table rows/columns …)
        bool imported = false;      // stored among the imported elements (extra libraries)
    };
    struct ColourItem {
        QString colour; // "#RRGGBB" or "#"
        double alpha = 1.0;
        QString comment;
        bool tableCell = false;
        bool tableGrid = false;
        bool isDefault = false;
    };
    struct Scheme {
        qint64 id = 0;
        QString name;
        QString iconColour;
        bool isDefault = false;
        QList<ColourItem> fill, stroke, gradientStops, text;
    };
    struct Arrowhead {
        QString elementId;
        bool present = true;
        QString placement = QStringLiteral("Both");
        bool defaultStart = false;
        bool defaultEnd = false;
        int lengthKind = 1;
    };
    struct Connector {
        QString id;
        int kind = 2;
        QString title;
        double thickness = 1.0;
        bool isDefault = false;
        QList<Arrowhead> arrowheads;
    };

    // Reads a notation source; the library folder holds the shared shapes, scheme sets and
    // common elements. Fails with the reason (file and JSON path).
    static VRResult<QntNotationSource> read(const QString &path, const QString &libraryFolder);

    QString sourcePath;
    QString file; // output path below the Notations folder
    QString name;
    QVariantMap stringParams;
    QString iconElement; // element drawn as the notation's icon
    QList<Scheme> schemes;
    QList<Element> elements;
    QList<Connector> connectors;
    QMap<QString, QStringList> paletteColours; // "connector", "tableGrid", "table", "text"
};
