#pragma once

#include "library/QntNotationPalette.h"

#include "app/common/QntUtils.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorEndPoint.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/QntNotation.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRStyle.h"
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
    // A copy of the notation's shape at the index, placed at the point (and sized when a size
    // is given), not yet on a layer.
    std::shared_ptr<QntElement> shapeCopy(QPointF at, int index = 0, QSizeF size = QSizeF()) const
    {
        VRObjectRef element =
            drawing()->currentNotation()->shapeElementsList().at(index).prototype->copy();
        element->setIsPrototype(false);
        element->setLocation(at);
        if (!size.isEmpty())
            element->setSize(size);
        return std::static_pointer_cast<QntElement>(element);
    }
    // The same copy added to the active layer.
    std::shared_ptr<QntElement> placeShape(QPointF at, int index = 0, QSizeF size = QSizeF()) const
    {
        auto element = shapeCopy(at, index, size);
        layer()->addObject(element);
        return element;
    }
    // A straight connector with an arrow stroke from spot 1 of a to spot 3 of b.
    std::shared_ptr<QntConnector> connectWithArrow(const std::shared_ptr<QntElement> &a,
                                                   const std::shared_ptr<QntElement> &b) const
    {
        auto connector = std::make_shared<QntConnector>();
        auto style = VRStyle::create();
        style->addRenderer(std::make_shared<VRArrowStroke>());
        connector->setStyle(style);
        connector->setEnds(a->location(), b->location());
        layer()->addObject(connector);
        connector->startEndPoint()->attach(a, 1);
        connector->endEndPoint()->attach(b, 3);
        connector->makeStraight();
        connector->updateStyle();
        connector->endsDidMove();
        return connector;
    }

    std::unique_ptr<VRDrawingDocument> document;
    std::unique_ptr<VRDrawingView> view;
    std::unique_ptr<QntNotationPalette> palette;
};
