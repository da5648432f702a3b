#include "ModelFixtures.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorDoubleText.h"
#include "framework/model/QntDecoratedSeparator.h"
#include "framework/model/QntDirectlyDrawedElement.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntFreeConnector.h"
#include "framework/model/QntImageShape.h"
#include "framework/model/QntText.h"
#include "framework/model/QntUMLSequenceElement.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRImageShape.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRShapeGroup.h"
#include "framework/styles/VRStyle.h"
#include "framework/model/VRTextShape.h"
#include "framework/undo/VRUndoManager.h"

#include <QDateTime>
#include <QPainter>

namespace qnt::test {

namespace {

VRStyleRef style(QColor fill, QColor stroke, double width)
{
    return VRStyle::styleWithFillColour(fill, stroke, width);
}

QImage checkerImage()
{
    QImage image(16, 12, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(
                x, y, (x / 4 + y / 4) % 2 ? QColor(200, 40, 40) : QColor(40, 40, 200, 180));
    }
    return image;
}

std::shared_ptr<QntElement> element(QRectF frame, const QString &text)
{
    auto contour =
        VRDrawableShape::shapeWithRect(QRectF(0, 0, 100, 60), VRDrawableShape::unitOvalAtOrigin());
    contour->setID(QStringLiteral("contour"));
    contour->setStyle(style(QColor(255, 240, 200), QColor(120, 80, 0), 2));
    contour->setIntValue(0, QStringLiteral("QntSchemeFill"));
    auto e = QntElement::createWithObjects({contour}, QStringLiteral("e1"), QSizeF(100, 60));
    e->addTextShape();
    e->text()->setString(text);
    e->setSize(frame.size());
    e->setLocation(frame.center());
    return e;
}

} // namespace

std::unique_ptr<VRDrawing> drawingWithEveryKind()
{
    auto drawing = std::make_unique<VRDrawing>();
    drawing->setDrawingSize(QSizeF(800, 600));
    drawing->setMarginsLeft(20, 20, 20, 20);
    drawing->gridLayer()->setVisible(false);
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    drawing->undoManager()->disableUndoRegistration();

    auto rect = VRDrawableShape::shapeWithRect(QRectF(40, 40, 120, 80));
    rect->setStyle(style(QColor(180, 220, 255), QColor(0, 60, 120), 3));
    rect->setAngle(0.3);
    rect->setMetadataObject(QStringLiteral("text"), QStringLiteral("string"));
    rect->setIntValue(42, QStringLiteral("int"));
    rect->setFloatValue(2.5, QStringLiteral("real"));
    rect->setMetadataObject(true, QStringLiteral("bool"));
    rect->setMetadataObject(QColor(1, 2, 3, 4), QStringLiteral("colour"));
    rect->setMetadataObject(QSizeF(3, 4), QStringLiteral("size"));
    rect->setMetadataObject(QPointF(5, 6), QStringLiteral("point"));
    rect->setMetadataObject(QRectF(1, 2, 3, 4), QStringLiteral("rect"));
    rect->setMetadataObject(QByteArray("\x01\x02", 2), QStringLiteral("data"));
    rect->setMetadataObject(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9), Qt::UTC),
                            QStringLiteral("date"));
    rect->setMetadataObject(QVariantList{1, QStringLiteral("two"), QVariant::fromValue(VRNull{})},
                            QStringLiteral("list"));
    rect->setMetadataObject(
        QVariantMap{{QStringLiteral("$dollar"), 1},
                    {QStringLiteral("nested"), QVariantMap{{QStringLiteral("a"), 1.5}}}},
        QStringLiteral("map"));

    auto oval = VRDrawableShape::shapeWithRect(QRectF(200, 40, 100, 100),
                                               VRDrawableShape::unitOvalAtOrigin());
    oval->setStyle(style(QColor(255, 200, 200), QColor(150, 0, 0), 1));

    QPainterPath p;
    p.moveTo(320, 60);
    p.lineTo(380, 120);
    p.cubicTo(400, 140, 420, 60, 460, 80);
    auto path =
        std::static_pointer_cast<VRDrawablePath>(VRDrawablePath::drawablePathWithBezierPath(p));
    path->setStyle(style(QColor(), QColor(0, 120, 0), 2));

    auto a = VRDrawableShape::shapeWithRect(QRectF(500, 40, 40, 40));
    a->setStyle(style(QColor(200, 255, 200), QColor(0, 0, 0), 1));
    auto b = VRDrawableShape::shapeWithRect(QRectF(560, 60, 40, 60),
                                            VRDrawableShape::unitOvalAtOrigin());
    b->setStyle(style(QColor(255, 255, 160), QColor(0, 0, 0), 1));
    auto group = VRShapeGroup::groupWithObjects({a, b});
    group->setAngle(-0.2);

    auto textShape = std::make_shared<VRTextShape>();
    textShape->restoreGeometry(
        {QPointF(120, 180), QSizeF(160, 40), QSizeF(0, 0), 0.0, QPainterPath()});
    textShape->setString(QStringLiteral("Free text\nsecond line"));

    auto image = std::make_shared<VRImageShape>(checkerImage());
    image->setLocation(QPointF(260, 180));

    auto e1 = element(QRectF(60, 260, 120, 70), QStringLiteral("Element one"));
    auto e2 = element(QRectF(320, 260, 120, 70), QStringLiteral("Element two"));
    e2->setNotes(QStringLiteral("Some notes"));

    auto qtext = std::make_shared<QntText>();
    qtext->restoreGeometry({QPointF(560, 200), QSizeF(120, 30), QSizeF(0, 0), 0.0, QPainterPath()});
    qtext->text()->setString(QStringLiteral("A text element"));

    auto table = QntElementTable::tableWithRows(2, 3, QSizeF(50, 24));
    table->setLocation(QPointF(600, 300));
    std::static_pointer_cast<QntTextCell>(table->cells().at(0))->setString(QStringLiteral("A1"));
    std::static_pointer_cast<QntTextCell>(table->cells().at(4))
        ->fillWithColor(QColor(255, 220, 220));
    table->setGridColor(QColor(60, 60, 60));

    auto picture = std::make_shared<QntImageShape>();
    picture->setImage(checkerImage());
    picture->restoreGeometry(
        {QPointF(100, 420), QSizeF(64, 48), QSizeF(0, 0), 0.0, QPainterPath()});
    picture->setShowContour(true);
    picture->setContourType(1);

    auto direct = std::make_shared<QntDirectlyDrawedElement>();
    direct->restoreGeometry({QPointF(220, 420), QSizeF(60, 60), QSizeF(0, 0), 0.0, QPainterPath()});
    direct->setColors({QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255)});

    auto participant = std::make_shared<QntUMLSequenceElement>();
    participant->restoreGeometry(
        {QPointF(340, 420), QSizeF(80, 40), QSizeF(0, 0), 0.0, QPainterPath()});
    participant->addTextShape();
    participant->text()->setString(QStringLiteral("Actor"));

    layer->addObjectsFromArray({rect, oval, path, group, textShape, image, e1, e2, qtext, table,
                                picture, direct, participant});

    auto connector = std::make_shared<QntConnector>();
    connector->setStyle(style(QColor(), QColor(20, 20, 20), 1.5));
    layer->addObject(connector);
    e1->connectToTargetElement(e2.get(), connector);
    connector->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("label")));
    connector->routeOrthogonal();
    connector->addSkin({{QStringLiteral("bodyID"), QStringLiteral("VRStyledConnector")},
                        {QStringLiteral("startArrowheadId"), QVariant::fromValue(VRNull{})},
                        {QStringLiteral("colorSchemeId"), 3}});

    auto free = std::make_shared<QntFreeConnector>();
    free->setEnds(QPointF(460, 400), QPointF(560, 460));
    auto separator = std::make_shared<QntDecoratedSeparator>();
    separator->setEnds(QPointF(40, 520), QPointF(400, 520));
    auto twoLabels = std::make_shared<QntConnectorDoubleText>();
    twoLabels->setEnds(QPointF(460, 540), QPointF(700, 540));
    twoLabels->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("one")));
    VRTextBlock second;
    second.setPlainText(QStringLiteral("two"));
    twoLabels->setSecondLabel(second);
    auto arrow = std::make_shared<QntElementArrow>();
    QPainterPath arrowPath;
    arrowPath.moveTo(620, 400);
    arrowPath.lineTo(740, 400);
    arrow->setPath(arrowPath);
    arrow->setMetadataObject(QStringLiteral("ElementArrowAsAdjustableArrow"),
                             QStringLiteral("Kind"));
    layer->addObjectsFromArray({free, separator, twoLabels, arrow});
    layer->exchangeSelectionWithObjectsFromArray({rect, e1});

    auto second_layer = std::make_shared<VRObjectDrawingLayer>();
    second_layer->setName(QStringLiteral("Notes"));
    drawing->addLayer(second_layer, false);
    auto note = VRDrawableShape::shapeWithRect(QRectF(700, 40, 60, 30));
    note->setStyle(style(QColor(255, 255, 0), QColor(0, 0, 0), 1));
    second_layer->addObject(note);
    drawing->metadata().insert(QStringLiteral("author"), QStringLiteral("tests"));
    drawing->setHiddenGroupTags({7, 5});
    drawing->setMermaidSourceText(QStringLiteral("graph TD; A-->B"));
    drawing->setSequenceDic({{QStringLiteral("timelines"), QVariantList{QStringLiteral("t1")}}});
    drawing->setImportedElements({element(QRectF(0, 0, 50, 30), QStringLiteral("imported"))},
                                 QStringLiteral("Imported"));

    drawing->undoManager()->enableUndoRegistration();
    drawing->undoManager()->removeAllActions();
    drawing->undoManager()->markClean();
    return drawing;
}

QImage renderDrawing(const VRDrawing &drawing)
{
    const QSize size = drawing.drawingSize().toSize();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawing.render(painter, QRectF(QPointF(), drawing.drawingSize()), true);
    return image;
}

} // namespace qnt::test
