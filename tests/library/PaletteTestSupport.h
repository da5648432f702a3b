#pragma once

#include "library/QntNotationPalette.h"

#include "app/common/QntUtils.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/QntNotation.h"
#include "framework/view/VRDrawingView.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QStandardPaths>

#include <memory>

// Notations installed into the test's private home and the application's defaults registered.
inline void preparePaletteEnvironment()
{
    static bool prepared = false;
    if (prepared)
        return;
    prepared = true;
    registerQntDefaults(UserDefaults::standardUserDefaults());
    (void)QntNotation::copyNotationsFromBundleToAppSupportFolder();
}

inline QString notationFile(const QString &relative)
{
    return QntNotation::rootNotationsSrcFolderPath() + QLatin1Char('/') + relative;
}

// A document with a view on its drawing and a palette beside it.
struct PaletteHarness {
    explicit PaletteHarness(
        const QString &notationRelativePath = QStringLiteral("FlowChart/FlowChart.db"),
        std::unique_ptr<VRDrawingDocument> doc = nullptr)
    {
        preparePaletteEnvironment();
        document = doc ? std::move(doc) : std::make_unique<VRDrawingDocument>();
        if (!notationRelativePath.isEmpty() && !document->drawing()->currentNotation())
            document->drawing()->setCurrentNotation(
                QntNotation::notationWithPath(notationFile(notationRelativePath)));
        view = std::make_unique<VRDrawingView>(document->drawing());
        view->resize(900, 700);
        document->setMainView(view.get(), view.get());
        palette = std::make_unique<QntNotationPalette>(document.get());
        palette->resize(180, 700);
        palette->loadNotationElements();
    }
    ~PaletteHarness()
    {
        palette.reset();
        document->setMainView(nullptr, nullptr);
        view.reset();
    }
    VRDrawing *drawing() const { return document->drawing(); }
    VRObjectDrawingLayer *layer() const
    {
        return drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    }

    std::unique_ptr<VRDrawingDocument> document;
    std::unique_ptr<VRDrawingView> view;
    std::unique_ptr<QntNotationPalette> palette;
};
