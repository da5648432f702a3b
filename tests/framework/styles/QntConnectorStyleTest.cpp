#include "framework/ModelFixtures.h"
#include "common/RenderedObject.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorArrow.h"
#include "framework/model/QntConnectorStylizedPath.h"
#include "framework/archive/VRArchiver.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/styles/QntConnectorStyle.h"
#include "framework/styles/VRStyle.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

std::shared_ptr<QntConnector> redConnector()
{
    auto connector = std::make_shared<QntConnector>();
    connector->setStyle(VRStyle::styleWithFillColour(QColor(), QColor(220, 0, 0), 3.0));
    connector->setEnds(QPointF(10, 50), QPointF(150, 50));
    return connector;
}

QList<VRRendererRef> connectorRenderers(const VRDrawableObject &object)
{
    return object.style() ? object.style()->renderersOfClass(QntConnectorStyle::staticClass())
                          : QList<VRRendererRef>();
}

QImage rendered(const VRDrawableObject &object)
{
    return qnt::test::renderedOnWhite(object, QSize(200, 100));
}

int pixelsLike(const QImage &image, bool (*test)(QRgb))
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += test(image.pixel(x, y));
    return count;
}

bool isRed(QRgb p)
{
    return qRed(p) > 180 && qGreen(p) < 80 && qBlue(p) < 80;
}

bool isBlue(QRgb p)
{
    return qBlue(p) > 180 && qRed(p) < 80 && qGreen(p) < 80;
}

// Every renderer record of the given class anywhere in a file's JSON.
void collectRecordsOfClass(QJsonValue &value, const QString &className,
                           const std::function<void(QJsonObject &)> &edit, int &count)
{
    if (value.isArray()) {
        QJsonArray array = value.toArray();
        for (auto it = array.begin(); it != array.end(); ++it) {
            QJsonValue item = *it;
            collectRecordsOfClass(item, className, edit, count);
            *it = item;
        }
        value = array;
    } else if (value.isObject()) {
        QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            QJsonValue item = it.value();
            collectRecordsOfClass(item, className, edit, count);
            it.value() = item;
        }
        if (object.value(QStringLiteral("class")).toString() == className) {
            edit(object);
            ++count;
        }
        value = object;
    }
}

} // namespace

TEST(ConnectorStyleTest, AConnectorsStyleEndsWithItsConnectorRenderer)
{
    auto connector = redConnector();
    connector->addSkin({{QStringLiteral("startArrowheadId"), QVariant::fromValue(VRNull{})},
                        {QStringLiteral("endArrowheadId"), QStringLiteral("a1")}});

    const QList<VRRendererRef> found = connectorRenderers(*connector);
    ASSERT_EQ(found.size(), 1);
    const VRStyleRef style = connector->style();
    EXPECT_EQ(style->rendererAtIndex(style->countOfRenderList() - 1), found.last());
    auto *renderer = static_cast<QntConnectorStyle *>(found.last().get());
    EXPECT_EQ(renderer, connector->connectorStyle());
    ASSERT_NE(renderer->shaft(), nullptr);
    EXPECT_EQ(renderer->shaft(), connector->shaft());
    EXPECT_EQ(renderer->adornment(), renderer->shaft());
    EXPECT_EQ(renderer->startArrow(), nullptr);
    ASSERT_NE(renderer->endArrow(), nullptr);
    EXPECT_EQ(renderer->endArrow(), connector->endEndPoint()->arrow());
    EXPECT_EQ(renderer->endArrow()->userInfo().value(QStringLiteral("ID")).toString(),
              QStringLiteral("a1"));
}

TEST(ConnectorStyleTest, RebuildingAndCopyingKeepExactlyOneRendererOfTheirOwn)
{
    auto connector = redConnector();
    connector->addSkin({{QStringLiteral("endArrowheadId"), QStringLiteral("a1")}});
    connector->addSkin({{QStringLiteral("startArrowheadId"), QStringLiteral("a2")}});
    connector->updateStyle();
    ASSERT_EQ(connectorRenderers(*connector).size(), 1);
    EXPECT_EQ(connector->connectorStyle()->endArrow(), nullptr);
    ASSERT_NE(connector->connectorStyle()->startArrow(), nullptr);

    auto copy = std::static_pointer_cast<QntConnector>(connector->copy());
    const QList<VRRendererRef> copied = connectorRenderers(*copy);
    ASSERT_EQ(copied.size(), 1);
    EXPECT_EQ(copied.last().get(), copy->connectorStyle());
    EXPECT_NE(copy->connectorStyle(), connector->connectorStyle());
    EXPECT_NE(copy->connectorStyle()->startArrow(), connector->connectorStyle()->startArrow());

    // Moving to another style takes the renderer along.
    connector->setStyle(VRStyle::styleWithFillColour(QColor(), QColor(0, 0, 220), 3.0));
    ASSERT_EQ(connectorRenderers(*connector).size(), 1);
    EXPECT_EQ(connectorRenderers(*connector).last().get(), connector->connectorStyle());
}

TEST(ConnectorStyleTest, TheShaftFollowsEditsToTheConnectorsStyleAtOnce)
{
    auto connector = redConnector();
    connector->addSkin({{QStringLiteral("endArrowheadId"), QStringLiteral("a1")}});
    EXPECT_GT(pixelsLike(rendered(*connector), isRed), 100);

    connector->style()->setStrokeColour(QColor(0, 0, 220));
    const QImage after = rendered(*connector);
    EXPECT_EQ(pixelsLike(after, isRed), 0);
    EXPECT_GT(pixelsLike(after, isBlue), 100);
}

TEST(ConnectorStyleTest, AStyleSharedByConnectorsHoldsNoConnectorsParts)
{
    auto shared = VRStyle::styleWithFillColour(QColor(), QColor(220, 0, 0), 3.0);
    shared->setStyleSharable(true);
    auto one = std::make_shared<QntConnector>();
    auto two = std::make_shared<QntConnector>();
    one->setStyle(shared);
    two->setStyle(shared);
    one->setEnds(QPointF(10, 20), QPointF(150, 20));
    two->setEnds(QPointF(10, 80), QPointF(150, 80));
    EXPECT_TRUE(connectorRenderers(*one).isEmpty());
    // Each still draws its own shaft.
    EXPECT_GT(pixelsLike(rendered(*one), isRed), 100);
    EXPECT_GT(pixelsLike(rendered(*two), isRed), 100);
}

TEST(ConnectorStyleTest, EachConnectorOnASharedStyleKeepsItsOwnRendererWithItsParts)
{
    auto shared = VRStyle::styleWithFillColour(QColor(), QColor(220, 0, 0), 3.0);
    shared->setStyleSharable(true);
    const QString sharedKey = shared->uniqueKey();
    auto one = std::make_shared<QntConnector>();
    auto two = std::make_shared<QntConnector>();
    for (const auto &connector : {one, two}) {
        connector->setStyle(shared);
        connector->addSkin({{QStringLiteral("endArrowheadId"), QStringLiteral("a1")}});
    }
    one->setEnds(QPointF(10, 20), QPointF(150, 20));
    two->setEnds(QPointF(10, 80), QPointF(150, 80));
    ASSERT_EQ(one->style(), two->style());
    EXPECT_EQ(one->style()->uniqueKey(), sharedKey);
    for (const auto &connector : {one, two}) {
        const QntConnectorStyle *renderer = connector->connectorStyle();
        ASSERT_NE(renderer, nullptr);
        EXPECT_EQ(renderer->shaft(), connector->shaft());
        ASSERT_NE(renderer->endArrow(), nullptr);
        EXPECT_EQ(renderer->endArrow(), connector->endEndPoint()->arrow());
    }
    EXPECT_NE(one->connectorStyle(), two->connectorStyle());
    EXPECT_NE(one->connectorStyle()->endArrow(), two->connectorStyle()->endArrow());
}

TEST(ConnectorStyleTest, FilesWithAnyStoredShaftStyleKeyReadAndRebuildTheRenderer)
{
    auto drawing = qnt::test::drawingWithEveryKind();
    QJsonValue file = QJsonDocument::fromJson(VRArchiver::documentData(*drawing)).object();
    int records = 0;
    collectRecordsOfClass(
        file, QStringLiteral("QntConnectorStyle"),
        [](QJsonObject &record) {
            record[QStringLiteral("shaftStyle")] = QStringLiteral("no-such-style");
        },
        records);
    ASSERT_GT(records, 0);

    auto read = VRArchiver::drawingFromData(QJsonDocument(file.toObject()).toJson());
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    int connectors = 0;
    for (const auto &object : read.value()->activeLayerOfClass<VRObjectDrawingLayer>()->objects()) {
        if (!object->isKindOf<QntConnector>() || !object->style())
            continue;
        ++connectors;
        const auto &connector = static_cast<const QntConnector &>(*object);
        const QList<VRRendererRef> found = connectorRenderers(connector);
        ASSERT_EQ(found.size(), 1) << connector.className().toStdString();
        EXPECT_EQ(found.last().get(), connector.connectorStyle());
        EXPECT_EQ(connector.connectorStyle()->shaft(), connector.shaft());
    }
    EXPECT_EQ(connectors, records);
}

TEST(ConnectorStyleTest, DrawsTheShaftThenTheArrowsAndSurvivesTheRecord)
{
    QPainterPath route;
    route.moveTo(10, 20);
    route.lineTo(190, 20);
    auto shaft = std::make_shared<QntConnectorStylizedPath>();
    shaft->setPath(route);
    shaft->setStyle(VRStyle::styleWithFillColour(QColor(), QColor(0, 0, 255), 4.0));
    auto connectorStyle = std::make_shared<QntConnectorStyle>();
    connectorStyle->setShaft(shaft);
    EXPECT_EQ(connectorStyle->adornment(), connectorStyle->shaft());
    EXPECT_FALSE(connectorStyle->startArrow());
    QImage image(200, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    connectorStyle->render(painter, VRRenderContext::forPath(route));
    painter.end();
    EXPECT_EQ(image.pixel(100, 20), qRgb(0, 0, 255));

    QJsonObject images;
    const QJsonObject record = connectorStyle->toJson(images);
    EXPECT_EQ(record.value("shaftStyle").toString(), shaft->style()->uniqueKey());
    auto back = VRRasterizer::fromJson(record, images);
    ASSERT_TRUE(back.ok()) << back.errorMessage().toStdString();
    EXPECT_TRUE(back.value()->isMemberOf<QntConnectorStyle>());
}
