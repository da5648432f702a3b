#include "framework/notations/QntNotationElementBuilder.h"

#include "framework/notations/QntNotationArchive.h"
#include "framework/archive/VRArchiver.h"
#include "framework/model/QntDecoratedSeparator.h"
#include "framework/styles/QntPathDecorator.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntFreeConnector.h"
#include "framework/model/QntText.h"
#include "framework/model/QntTextCell.h"
#include "framework/model/QntUMLSequenceElement.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStrokeDash.h"
#include "framework/styles/VRStyle.h"

#include <QBuffer>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>

namespace {

const QntNotationSource::Scheme *schemeWithId(const QntNotationSource &notation, qint64 id)
{
    for (const auto &scheme : notation.schemes) {
        if (scheme.id == id)
            return &scheme;
    }
    return notation.schemes.isEmpty() ? nullptr : &notation.schemes.first();
}

QColor itemColour(const QList<QntNotationSource::ColourItem> &items, int index)
{
    if (index < 0 || index >= items.size())
        return {};
    QColor colour = QColor::fromString(items.at(index).colour);
    if (colour.isValid())
        colour.setAlphaF(float(items.at(index).alpha));
    return colour;
}

VRStyleRef partStyle(const QntNotationSource::Part &part, const QntNotationSource::Scheme &scheme)
{
    VRStyleRef style =
        VRStyle::styleWithFillColour(itemColour(scheme.fill, part.fill),
                                     itemColour(scheme.stroke, part.stroke), part.strokeWidth);
    if (!part.dash.isEmpty() && style->stroke())
        style->stroke()->setDash(VRStrokeDash::create(part.dash));
    return style;
}

// The part's path mapped from its own bounds onto the unit square.
std::shared_ptr<VRDrawableShape> partShape(const QntNotationSource::Part &part)
{
    QRectF bounds = part.path.boundingRect();
    // Straight lines have no height (or width); give them a hair so the mapping stays finite.
    if (bounds.width() < 0.01)
        bounds.adjust(-0.5, 0, 0.5, 0);
    if (bounds.height() < 0.01)
        bounds.adjust(0, -0.5, 0, 0.5);
    QTransform toUnit;
    toUnit.translate(-0.5, -0.5);
    toUnit.scale(1.0 / bounds.width(), 1.0 / bounds.height());
    toUnit.translate(-bounds.left(), -bounds.top());
    return VRDrawableShape::shapeWithRect(bounds, toUnit.map(part.path));
}

void setCommonMetadata(VRDrawableObject &object, const QntNotationSource::Element &element)
{
    object.setString(element.id, QStringLiteral("ID"));
    if (!element.tooltip.isEmpty())
        object.setString(element.tooltip, QStringLiteral("tooltip"));
    if (!element.title.isEmpty())
        object.setString(element.title, QStringLiteral("title"));
    if (!element.kind.isEmpty())
        object.setString(element.kind, QStringLiteral("Kind"));
    object.setIsPrototype(true);
}

VRObjectRef buildLine(const QntNotationSource::Element &element,
                      const QntNotationSource::Scheme &scheme)
{
    std::shared_ptr<QntFreeConnector> line;
    if (element.className == QLatin1String("QntDecoratedSeparator"))
        line = std::make_shared<QntDecoratedSeparator>();
    else
        line = std::make_shared<QntFreeConnector>();
    const double y = element.size.height() / 2;
    line->setEnds(QPointF(0, y), QPointF(element.size.width(), y));
    if (!element.parts.isEmpty()) {
        line->setStyle(partStyle(element.parts.first(), scheme));
        if (element.parts.first().stroke >= 0)
            line->setIntValue(element.parts.first().stroke, QStringLiteral("QntSchemeStroke"));
    }
    if (line->isKindOf<QntDecoratedSeparator>() && line->style()) {
        // The decoration repeated along the line: a small diamond in the scheme's accent.
        QPainterPath diamond;
        diamond.moveTo(5, 0);
        diamond.lineTo(10, 5);
        diamond.lineTo(5, 10);
        diamond.lineTo(0, 5);
        diamond.closeSubpath();
        QntNotationSource::Part look;
        look.path = diamond;
        look.fill = 2;
        look.stroke = 1;
        look.strokeWidth = 1.0;
        auto shape = partShape(look);
        shape->setID(QStringLiteral("contour"));
        shape->setStyle(partStyle(look, scheme));
        auto motif = QntElement::createWithObjects({shape}, element.id + QStringLiteral("Motif"),
                                                   QSizeF(10, 10));
        auto decorator = std::make_shared<QntPathDecorator>(motif);
        decorator->setInterval(24.0);
        line->style()->addRenderer(decorator);
    }
    line->updateStyle();
    setCommonMetadata(*line, element);
    return line;
}

VRObjectRef buildElementArrow(const QntNotationSource::Element &element,
                              const QntNotationSource::Scheme &scheme)
{
    auto arrow = std::make_shared<QntElementArrow>();
    arrow->setDirection(element.direction < 0 ? 3 : element.direction);
    const bool vertical = arrow->isVertical();
    const double length = vertical ? element.size.height() : element.size.width();
    const double thickness = vertical ? element.size.width() : element.size.height();
    QPointF start, end;
    switch (arrow->direction()) {
    case 0:
        start = QPointF(0, length);
        end = QPointF(0, 0);
        break;
    case 1:
    case 4:
        start = QPointF(0, 0);
        end = QPointF(0, length);
        break;
    case 2:
        start = QPointF(length, 0);
        end = QPointF(0, 0);
        break;
    default:
        start = QPointF(0, 0);
        end = QPointF(length, 0);
        break;
    }
    arrow->setEnds(start, end);
    arrow->setThickness(thickness / 2);
    QntNotationSource::Part look;
    look.fill = 2;
    look.stroke = 1;
    look.strokeWidth = 1.5;
    for (const auto &part : element.parts) {
        if (part.id == QLatin1String("contour"))
            look = part;
    }
    arrow->setStyle(partStyle(look, scheme));
    if (look.fill >= 0)
        arrow->setIntValue(look.fill, QStringLiteral("QntSchemeFill"));
    if (look.stroke >= 0)
        arrow->setIntValue(look.stroke, QStringLiteral("QntSchemeStroke"));
    arrow->prepare();
    setCommonMetadata(*arrow, element);
    return arrow;
}

std::shared_ptr<QntElement> makeElementOfClass(const QString &className)
{
    if (className == QLatin1String("QntText"))
        return std::make_shared<QntText>();
    if (className == QLatin1String("QntUMLSequenceElement"))
        return std::make_shared<QntUMLSequenceElement>();
    if (className == QLatin1String("QntElement"))
        return std::make_shared<QntElement>();
    return nullptr;
}

} // namespace

VRResult<VRObjectRef>
QntNotationElementBuilder::buildElement(const QntNotationSource::Element &element,
                                        const QntNotationSource &notation, qint64 schemeId,
                                        const QString &notationPath)
{
    auto fail = [](const QString &why) -> VRResult<VRObjectRef> { return VRError{why}; };
    const auto *scheme = schemeWithId(notation, schemeId);
    if (!scheme)
        return fail(QStringLiteral("the notation has no colour scheme"));
    if (element.className == QLatin1String("QntFreeConnector")
        || element.className == QLatin1String("QntDecoratedSeparator"))
        return buildLine(element, *scheme);
    if (element.className == QLatin1String("QntElementArrow"))
        return buildElementArrow(element, *scheme);

    std::shared_ptr<QntElement> result;
    if (element.className == QLatin1String("QntElementTable")) {
        const int rows =
            std::clamp(int(element.extra.value(QStringLiteral("rows"), 3).toLongLong()), 1, 50);
        const int columns =
            std::clamp(int(element.extra.value(QStringLiteral("columns"), 3).toLongLong()), 1, 50);
        result = QntElementTable::tableWithRows(
            rows, columns, QSizeF(element.size.width() / columns, element.size.height() / rows));
        if (!result)
            return fail(QStringLiteral("the table cannot be made"));
        auto *table = static_cast<QntElementTable *>(result.get());
        table->setGridColor(itemColour(scheme->stroke, 0));
        // Cell texts row by row; a header row takes the body colour and a bold face.
        const QVariantList texts = element.extra.value(QStringLiteral("cells")).toList();
        const bool header = element.extra.value(QStringLiteral("header")).toBool();
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < columns; ++column) {
                const auto cell = table->cellAt(row, column);
                if (!cell)
                    continue;
                const bool isHeader = header && row == 0;
                cell->fillWithColor(itemColour(scheme->fill, isHeader ? 0 : 1));
                const int index = row * columns + column;
                if (index >= texts.size())
                    continue;
                VRTextBlock block = cell->textBlock();
                block.setPlainText(texts.at(index).toString());
                QFont font = block.font();
                font.setPointSizeF(11);
                font.setBold(isHeader);
                block.setFont(font);
                block.setColour(itemColour(scheme->text, 0));
                block.setAlignment(isHeader ? 2 : 0);
                cell->setTextBlock(block);
            }
        }
    } else {
        result = makeElementOfClass(element.className);
        if (!result)
            return fail(QStringLiteral("unknown element class %1").arg(element.className));
        VRObjectList parts;
        for (const auto &part : element.parts) {
            auto shape = partShape(part);
            shape->setStyle(partStyle(part, *scheme));
            shape->setString(part.id, QStringLiteral("ID"));
            if (part.fill >= 0)
                shape->setIntValue(part.fill, QStringLiteral("QntSchemeFill"));
            if (part.stroke >= 0)
                shape->setIntValue(part.stroke, QStringLiteral("QntSchemeStroke"));
            parts.append(shape);
        }
        if (!parts.isEmpty())
            result->setGroupObjects(parts, element.box);
        else
            result->setGroupObjects({}, QRectF(QPointF(0, 0), element.size));
    }
    result->setLocation(QPointF(element.size.width() / 2, element.size.height() / 2));
    result->setSize(element.size);
    result->setOriginalSize(element.size);
    result->setOriginalSizeWithoutScale(element.size);
    result->setNotationPath(notationPath);
    if (element.text) {
        result->addTextShape();
        if (QntTextShape *text = result->text()) {
            QFont font = text->font();
            font.setPointSizeF(element.text->fontSize);
            font.setBold(element.text->bold);
            font.setItalic(element.text->italic);
            text->setFont(font);
            text->setAlignment(element.text->alignment);
            text->setString(element.text->string);
            text->setTextColour(itemColour(scheme->text, element.text->colour));
            VRTextBlock block = text->textBlock();
            block.setVerticalAlignment(element.text->verticalAlignment);
            text->setTextBlock(block);
        }
        result->setIntValue(element.text->colour, QStringLiteral("QntSchemeText"));
    }
    if (!element.stickySpots.isEmpty())
        result->setStickySpots(element.stickySpots);
    setCommonMetadata(*result, element);
    // Records the scheme; the colours above stay where the database cannot be read yet.
    result->replaceColorScheme(schemeId);
    return VRObjectRef(result);
}

VRResult<QByteArray>
QntNotationElementBuilder::elementData(const QntNotationSource::Element &element,
                                       const QntNotationSource &notation, qint64 schemeId,
                                       const QString &notationPath)
{
    const VRResult<VRObjectRef> object = buildElement(element, notation, schemeId, notationPath);
    if (!object)
        return VRError{object.errorMessage()};
    const QByteArray data = QntNotationArchive::encodeElement(*object);
    // What the compiler writes must read back: a row nobody can read is refused here.
    if (data.isEmpty() || !QntNotationArchive::decodeElement(data, notationPath))
        return VRError{QStringLiteral("the element does not read back from its stored form")};
    return data;
}

QImage QntNotationElementBuilder::renderImage(const VRObjectRef &object, QSize size, int margin)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (!object)
        return image;
    const QRectF bounds = object->bounds();
    if (bounds.width() <= 0 || bounds.height() <= 0)
        return image;
    const QRectF target(margin, margin, size.width() - 2 * margin, size.height() - 2 * margin);
    const double scale =
        std::min(target.width() / bounds.width(), target.height() / bounds.height());
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(target.center());
    painter.scale(scale, scale);
    painter.translate(-bounds.center());
    object->render(painter);
    return image;
}

QByteArray QntNotationElementBuilder::iconData(const QntNotationSource::Element &element,
                                               const QntNotationSource &notation, qint64 schemeId,
                                               const QString &notationPath)
{
    const VRResult<VRObjectRef> object = buildElement(element, notation, schemeId, notationPath);
    if (!object)
        return {};
    const QImage image = renderImage(*object, QSize(64, 64), 4);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}
