#include "app/window/DIDizeZoziDocument.h"

#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/styles/VRStyle.h"
#include "platform/DocumentController.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

#include <gtest/gtest.h>

TEST(DIDizeZoziDocument, QualityFlagReachesEveryOpenDrawing)
{
    DocumentController &controller = DocumentController::sharedDocumentController();
    QList<VRDrawingDocument *> documents;
    for (int i = 0; i < 3; ++i) {
        auto *document = new VRDrawingDocument;
        controller.addDocument(document);
        documents << document;
    }
    // A launch earlier in this process may have read the flag from the preferences.
    const bool before = DIDizeZoziDocument::defaultQualityModulation();
    DIDizeZoziDocument::setDefaultQualityModulation(false);
    EXPECT_FALSE(DIDizeZoziDocument::defaultQualityModulation());
    DIDizeZoziDocument::setDefaultQualityModulation(true);
    EXPECT_TRUE(DIDizeZoziDocument::defaultQualityModulation());
    for (VRDrawingDocument *document : documents)
        EXPECT_TRUE(document->drawing()->dynamicQualityModulationEnabled());
    DIDizeZoziDocument::setDefaultQualityModulation(false);
    for (VRDrawingDocument *document : documents) {
        EXPECT_FALSE(document->drawing()->dynamicQualityModulationEnabled());
        controller.removeDocument(document);
    }
    DIDizeZoziDocument::setDefaultQualityModulation(before);
    QCoreApplication::processEvents();
}

// The application reads every renderer a file may name, also those none of its own commands
// makes: here a drawing whose stroke became a rough stroke and whose fill a zig-zag fill.
TEST(DIDizeZoziDocument, ReadsStylesWithRenderersTheApplicationNeverMakes)
{
    VRDrawingDocument written;
    auto shape =
        VRDrawableShape::shapeWithRect(QRectF(10, 10, 80, 40), VRDrawableShape::unitRectAtOrigin());
    shape->setStyle(VRStyle::styleWithFillColour(Qt::yellow, Qt::black, 2));
    written.drawing()->activeLayerOfClass<VRObjectDrawingLayer>()->addObject(shape);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rough.quintora"));
    ASSERT_TRUE(written.writeToFile(path).ok());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray data = file.readAll();
    file.close();
    ASSERT_TRUE(data.contains("\"VRStroke\"") && data.contains("\"VRFill\""));
    data.replace("\"VRStroke\"", "\"VRRoughStroke\"").replace("\"VRFill\"", "\"VRZigZagFill\"");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
    file.close();

    DIDizeZoziDocument document;
    const VRResult<void> read = document.readFromFile(path);
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    const VRObjectList objects =
        document.drawing()->activeLayerOfClass<VRObjectDrawingLayer>()->objects();
    ASSERT_EQ(objects.size(), 1);
    QStringList classes;
    for (const VRRendererRef &renderer : objects.first()->style()->renderList())
        classes << renderer->className();
    EXPECT_TRUE(classes.contains(QStringLiteral("VRRoughStroke")))
        << classes.join(' ').toStdString();
    EXPECT_TRUE(classes.contains(QStringLiteral("VRZigZagFill")))
        << classes.join(' ').toStdString();
}

TEST(DIDizeZoziDocument, EveryDrawingTheDocumentTakesOnFollowsTheQualityFlag)
{
    const bool before = DIDizeZoziDocument::defaultQualityModulation();
    for (const bool flag : {true, false}) {
        DIDizeZoziDocument::setDefaultQualityModulation(flag);
        DIDizeZoziDocument document;
        EXPECT_EQ(document.drawing()->dynamicQualityModulationEnabled(), flag);
        auto replacement = std::make_unique<VRDrawing>();
        replacement->setDynamicQualityModulationEnabled(!flag);
        document.setDrawing(std::move(replacement));
        EXPECT_EQ(document.drawing()->dynamicQualityModulationEnabled(), flag);
    }
    DIDizeZoziDocument::setDefaultQualityModulation(before);
    QCoreApplication::processEvents();
}
