#include "app/window/DIDizeZoziDocument.h"

#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "platform/DocumentController.h"

#include <QCoreApplication>

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
