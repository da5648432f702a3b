#include "app/DIDizeZoziDocument.h"

#include "framework/VRDrawing.h"
#include "framework/VRDrawingDocument.h"
#include "platform/DocumentController.h"

bool DIDizeZoziDocument::s_defaultQualityModulation = false;

void DIDizeZoziDocument::setDefaultQualityModulation(bool enabled)
{
    s_defaultQualityModulation = enabled;
    for (Document *document : DocumentController::sharedDocumentController().documents()) {
        if (auto *drawingDocument = qobject_cast<VRDrawingDocument *>(document))
            drawingDocument->drawing()->setDynamicQualityModulationEnabled(enabled);
    }
}

bool DIDizeZoziDocument::defaultQualityModulation()
{
    return s_defaultQualityModulation;
}
