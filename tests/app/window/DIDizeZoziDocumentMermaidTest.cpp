#include "app/window/DIDizeZoziDocument.h"

#include "app/common/CXViewAnimation.h"
#include "app/launch/QntDocumentController.h"
#include "app/launch/QntStartUpController.h"
#include "app/launch/VOReruRerAppDelegate.h"
#include "app/window/OXOverlayController.h"
#include "app/window/OXOverlayView.h"
#include "app/window/OXOverlayWindow.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/notations/QntNotation.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/VRDrawingView.h"
#include "library/mermaid/CommandsHelpWindowController.h"
#include "library/mermaid/QntMermaidPlugin.h"
#include "app/TestDocumentController.h"
#include "common/WaitUntil.h"
#include "common/ScopedEnvironment.h"
#include "common/SharedStateKeepers.h"

#include <QCoreApplication>
#include <QFile>
#include <QHelpEvent>
#include <QTextBlock>
#include <QToolTip>
#include <QtTest/QTest>
#include <QMainWindow>
#include <QMessageBox>
#include <QOpenGLContext>
#include <QTemporaryDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using qnt::test::waitUntil;

Q_GUI_EXPORT QOpenGLContext *qt_gl_global_share_context();

namespace {

// Answers each render with the next prepared result, later on the event loop, as the web page
// does; records what it was asked.
class ScriptedRenderer : public QntMermaidRenderer
{
public:
    struct Call {
        QString hostPage, text, stylesheet;
    };
    static inline QList<Result> results;
    static inline QList<Call> calls;

    void render(const QString &hostPagePath, const QString &text, const QString &stylesheet,
                Completion completion) override
    {
        calls.append({hostPagePath, text, stylesheet});
        const Result result = results.isEmpty() ? Result{} : results.takeFirst();
        QTimer::singleShot(0, [completion, result] { completion(result); });
    }
};

QString picture(const QString &name)
{
    QFile file(QStringLiteral(QNT_TEST_DATA_DIR "/mermaid/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QString::fromUtf8(file.readAll());
}

QntMermaidRenderer::Result rendered(const QString &name)
{
    return {picture(name), QntMermaidRenderer::Result::Failure::None, {}};
}

QString readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class DocumentMermaid : public ::testing::Test
{
protected:
    // Declared first, so it ends last: the settings the test's windows save go back after them.
    qnt::test::UserDefaultsKeeper m_defaults;
    void SetUp() override
    {
        static bool copied = false;
        if (!copied) {
            ASSERT_TRUE(QntNotation::copyNotationsFromBundleToAppSupportFolder().ok());
            copied = true;
        }
        m_timeScale = CXViewAnimation::timeScale();
        CXViewAnimation::setTimeScale(0.0);
        DIDizeZoziDocument::setSwitchAnimationScale(0.0);
        VOReruRerAppDelegate::copyMermaidSrcFromBundleToAppSupportFolderRewriteAll(true);
        m_factory = QntMermaidRenderer::factory();
        QntMermaidRenderer::setFactory([] { return std::make_unique<ScriptedRenderer>(); });
        ScriptedRenderer::results.clear();
        ScriptedRenderer::calls.clear();
    }
    void TearDown() override
    {
        for (Document *document : testDocumentController().documents()) {
            testDocumentController().removeDocument(document);
            delete document;
        }
        QntMermaidRenderer::setFactory(m_factory);
        ScriptedRenderer::results.clear();
        ScriptedRenderer::calls.clear();
        CXViewAnimation::setTimeScale(m_timeScale);
        DIDizeZoziDocument::setSwitchAnimationScale(1.0);
        VOReruRerAppDelegate::copyMermaidSrcFromBundleToAppSupportFolderRewriteAll(true);
    }

    DIDizeZoziDocument *newMermaidDocument()
    {
        testDocumentController().newDocument();
        QntStartUpController *startUp = QntDocumentController::startUpController();
        EXPECT_TRUE(startUp && startUp->selectGroupNamed("CommandDriven"));
        startUp->outlineViewAction();
        EXPECT_TRUE(startUp->selectNotationNamed("Command Driven Style"));
        startUp->okAction();
        auto *document =
            qobject_cast<DIDizeZoziDocument *>(testDocumentController().documents().last());
        EXPECT_NE(document, nullptr);
        return document;
    }

    static VRObjectDrawingLayer &layerOf(DIDizeZoziDocument &document)
    {
        return *document.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    }
    static VRObjectList generated(DIDizeZoziDocument &document)
    {
        VRObjectList result;
        for (const VRObjectRef &object : layerOf(document).objects()) {
            if (object->stringForKey("GENERATED") == "YES")
                result.append(object);
        }
        return result;
    }
    // Types the text and presses Build, then waits for the picture to arrive.
    static void build(DIDizeZoziDocument &document, const QString &text)
    {
        document.commandEditor()->setPlainText(text);
        const int before = int(ScriptedRenderer::calls.size());
        document.buildButton()->click();
        ASSERT_EQ(int(ScriptedRenderer::calls.size()), before + 1);
        // The completion is queued: let it run.
        ASSERT_TRUE(waitUntil([&] { return ScriptedRenderer::results.isEmpty(); }));
        QCoreApplication::processEvents();
    }
    static QString overlayLabel(DIDizeZoziDocument &document)
    {
        OXOverlayController *overlay = document.overlayController();
        return overlay && overlay->isOverlay() ? overlay->overlayWindow()->overlayView()->label()
                                               : QString();
    }

private:
    double m_timeScale = 1.0;
    QntMermaidRenderer::Factory m_factory;
};

} // namespace

TEST_F(DocumentMermaid, ThePaneOffersEditorsAndButtonsOnlyForTheCommandNotation)
{
    DIDizeZoziDocument *document = newMermaidDocument();
    ASSERT_NE(document, nullptr);
    EXPECT_TRUE(document->commandView()->isVisibleTo(document->window()));
    EXPECT_TRUE(document->commandEditor()->isVisibleTo(document->window()));
    EXPECT_FALSE(document->stylesheetEditor()->isVisibleTo(document->window()));
    EXPECT_TRUE(document->helpButton()->isVisibleTo(document->window()));
    EXPECT_FALSE(document->restoreStylesheetButton()->isVisibleTo(document->window()));
    // The web page is made on the first build, not with the document.
    EXPECT_EQ(document->webView(), nullptr);
    // The stylesheet editor holds the installed stylesheet.
    EXPECT_EQ(document->stylesheetEditor()->toPlainText(),
              readFile(VOReruRerAppDelegate::mermaidSupportFolder() + "/mermaid.forest.css"));

    document->commandsOrStyleControl()->setCurrentIndex(1);
    EXPECT_FALSE(document->commandEditor()->isVisibleTo(document->window()));
    EXPECT_TRUE(document->stylesheetEditor()->isVisibleTo(document->window()));
    EXPECT_TRUE(document->restoreStylesheetButton()->isVisibleTo(document->window()));
    document->commandsOrStyleControl()->setCurrentIndex(0);
    EXPECT_TRUE(document->commandEditor()->isVisibleTo(document->window()));

    // The help button toggles the help window, made once.
    document->helpButton()->click();
    CommandsHelpWindowController *help = document->commandsHelpWindowController();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    document->helpButton()->click();
    EXPECT_FALSE(help->isVisible());
    document->helpButton()->click();
    EXPECT_EQ(document->commandsHelpWindowController(), help);
    EXPECT_TRUE(help->isVisible());
}

TEST_F(DocumentMermaid, BuildMakesAttachedShapesAndReplacesOnlyItsOwnObjects)
{
    DIDizeZoziDocument *document = newMermaidDocument();
    ASSERT_NE(document, nullptr);
    VRObjectDrawingLayer &layer = layerOf(*document);
    auto handDrawn = VRDrawableShape::shapeWithRect(QRectF(600, 600, 40, 40));
    layer.addObject(handDrawn);

    const QString text = "graph TD\n  A[Rectangle] --> B(Round)\n";
    ScriptedRenderer::results = {rendered("flow-TD.svg")};
    build(*document, text);
    // The text goes to Mermaid unchanged and is kept with the drawing.
    EXPECT_EQ(ScriptedRenderer::calls.last().text, text);
    EXPECT_TRUE(ScriptedRenderer::calls.last().hostPage.endsWith("/Mermaid/seq.html"));
    EXPECT_EQ(document->drawing()->mermaidSourceText(), text);
    EXPECT_EQ(document->undoManager()->undoActionName(), "Build Diagram");

    const VRObjectList first = generated(*document);
    int elements = 0, connectors = 0;
    for (const VRObjectRef &object : first) {
        elements += object->isMemberOf<QntElement>() ? 1 : 0;
        connectors += object->isKindOf<QntConnector>() ? 1 : 0;
    }
    EXPECT_EQ(elements, 9); // eight nodes and the subgraph
    EXPECT_EQ(connectors, 8);
    // Every edge is attached to the two elements it names.
    for (const VRObjectRef &object : first) {
        if (!object->isKindOf<QntConnector>())
            continue;
        auto connector = std::static_pointer_cast<QntConnector>(object);
        const auto from =
            DIDizeZoziDocument::findObjectWithName(connector->stringForKey("from"), layer);
        const auto to =
            DIDizeZoziDocument::findObjectWithName(connector->stringForKey("to"), layer);
        ASSERT_TRUE(from && to);
        EXPECT_TRUE(connector->isAttachedTo(from.get()));
        EXPECT_TRUE(connector->isAttachedTo(to.get()));
    }
    // Moving a node drags its connectors' ends along.
    const auto a = DIDizeZoziDocument::findObjectWithName("A", layer);
    std::shared_ptr<QntConnector> fromA;
    for (const auto &connector : a->connectedConnectors())
        fromA = connector;
    ASSERT_NE(fromA, nullptr);
    const QPointF before = VRPath::firstPoint(fromA->path());
    a->moveBy(QPointF(-120, 0));
    const QPointF after = VRPath::firstPoint(fromA->path());
    EXPECT_LT(after.x(), before.x() - 60);
    EXPECT_TRUE(a->logicalBounds().adjusted(-3, -3, 3, 3).contains(after));
    // The subgraph box lies behind every other generated object.
    const auto cluster = DIDizeZoziDocument::findObjectWithName("S1", layer);
    ASSERT_NE(cluster, nullptr);
    for (const VRObjectRef &object : first) {
        if (object != cluster) {
            EXPECT_LT(layer.indexOfObject(cluster.get()), layer.indexOfObject(object.get()));
        }
    }

    // A second build replaces the first build's objects only.
    ScriptedRenderer::results = {rendered("labels.svg")};
    build(*document, "graph TD\n  Q --> R\n");
    const VRObjectList second = generated(*document);
    EXPECT_EQ(DIDizeZoziDocument::findObjectWithName("A", layer), nullptr);
    EXPECT_NE(DIDizeZoziDocument::findObjectWithName("Q", layer), nullptr);
    for (const VRObjectRef &object : first)
        EXPECT_EQ(layer.indexOfObject(object.get()), -1);
    EXPECT_NE(layer.indexOfObject(handDrawn.get()), -1);
    EXPECT_EQ(int(layer.objects().size()), int(second.size()) + 1);

    // One undo brings the first build back whole.
    document->undoManager()->undo();
    EXPECT_NE(DIDizeZoziDocument::findObjectWithName("A", layer), nullptr);
    EXPECT_EQ(DIDizeZoziDocument::findObjectWithName("Q", layer), nullptr);
    EXPECT_EQ(int(generated(*document).size()), int(first.size()));
    EXPECT_NE(layer.indexOfObject(handDrawn.get()), -1);
}

// A build reaching past the page's right and bottom edges grows the drawing to hold it, in the
// build's own undo step, and the view brings the built objects in.
TEST_F(DocumentMermaid, ABuildPastThePageGrowsTheDrawingAndComesIntoView)
{
    DIDizeZoziDocument *document = newMermaidDocument();
    ASSERT_NE(document, nullptr);
    VRDrawing &drawing = *document->drawing();
    VRDrawingView *view = document->mainView();
    ASSERT_NE(view, nullptr);
    const auto builtBounds = [&] {
        QRectF bounds;
        for (const VRObjectRef &object : generated(*document))
            bounds = bounds.united(object->bounds());
        return bounds;
    };
    const auto holds = [&](const QRectF &bounds) {
        return drawing.drawingSize().width() >= bounds.right() + drawing.rightMargin()
               && drawing.drawingSize().height() >= bounds.bottom() + drawing.bottomMargin();
    };

    // A page too narrow and too low for the picture.
    ASSERT_TRUE(drawing.setDrawingSize(QSizeF(400, 150)));
    document->undoManager()->removeAllActions();
    const QSizeF page = drawing.drawingSize();
    ScriptedRenderer::results = {rendered("flow-LR.svg")};
    build(*document, "graph LR\n A-->B");
    const QRectF wide = builtBounds();
    ASSERT_GT(wide.right(), page.width());
    ASSERT_GT(wide.bottom(), page.height());
    EXPECT_TRUE(holds(wide)) << drawing.drawingSize().width() << " " << wide.right();
    EXPECT_EQ(document->undoManager()->undoActionName(), "Build Diagram");
    // One undo takes the build and the page's growth back together.
    document->undoManager()->undo();
    EXPECT_TRUE(generated(*document).isEmpty());
    EXPECT_EQ(drawing.drawingSize(), page);

    // A build that fits leaves a larger page as it is, and comes into view from wherever the
    // view was.
    ASSERT_TRUE(drawing.setDrawingSize(QSizeF(6000, 6000)));
    QCoreApplication::processEvents();
    view->scrollPointToCentre(QPointF(5800, 5800));
    ASSERT_FALSE(view->visibleDrawingRect().contains(QPointF(100, 100)));
    ScriptedRenderer::results = {rendered("flow-TD.svg")};
    build(*document, "graph TD\n A-->B");
    const QRectF built = builtBounds();
    EXPECT_EQ(drawing.drawingSize(), QSizeF(6000, 6000));
    EXPECT_TRUE(waitUntil([&] { return view->visibleDrawingRect().contains(built.topLeft()); }))
        << "visible " << view->visibleDrawingRect().x() << "," << view->visibleDrawingRect().y();
    // Building again while some of the build shows keeps the view where the user put it.
    view->scrollPointToCentre(view->visibleDrawingRect().center() + QPointF(40, 30));
    const QRectF place = view->visibleDrawingRect();
    ASSERT_TRUE(place.intersects(built));
    ScriptedRenderer::results = {rendered("flow-TD.svg")};
    build(*document, "graph TD\n A-->B");
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(view->visibleDrawingRect(), place);
}

// A build larger than the window is zoomed out to fit it, wherever the view was; one that fits
// comes into sight at the zoom the user chose.
TEST_F(DocumentMermaid, ABuildLargerThanTheWindowIsFittedIntoSight)
{
    DIDizeZoziDocument *document = newMermaidDocument();
    ASSERT_NE(document, nullptr);
    VRDrawingView *view = document->mainView();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(document->drawing()->setDrawingSize(QSizeF(6000, 6000)));
    QCoreApplication::processEvents();
    const auto builtBounds = [&] {
        QRectF bounds;
        for (const VRObjectRef &object : generated(*document))
            bounds = bounds.united(object->bounds());
        return bounds;
    };

    view->setScale(4.0);
    view->scrollPointToCentre(QPointF(5000, 5000));
    ScriptedRenderer::results = {rendered("flow-LR.svg")};
    build(*document, "graph LR\n A-->B");
    const QRectF wide = builtBounds();
    ASSERT_GT(wide.width() * 4.0, view->visibleDrawingRect().width());
    EXPECT_TRUE(waitUntil([&] { return view->visibleDrawingRect().contains(wide); }))
        << "scale " << view->scale();
    EXPECT_LT(view->scale(), 4.0);

    // The user zooms in and goes elsewhere: a smaller build comes into sight at that zoom.
    document->undoManager()->undo();
    view->setScale(0.2);
    view->scrollPointToCentre(QPointF(5000, 5000));
    ScriptedRenderer::results = {rendered("flow-TD.svg")};
    build(*document, "graph TD\n A-->B");
    const QRectF small = builtBounds();
    const QSizeF room = view->visibleDrawingRect().size() * 0.2 - QSizeF(100, 100);
    ASSERT_LT(small.width() * 0.2, room.width());
    ASSERT_LT(small.height() * 0.2, room.height());
    EXPECT_TRUE(waitUntil([&] { return view->visibleDrawingRect().contains(small); }));
    EXPECT_DOUBLE_EQ(view->scale(), 0.2);
}

TEST_F(DocumentMermaid, FailuresShowTheirMessageAndLeaveTheDrawing)
{
    DIDizeZoziDocument *document = newMermaidDocument();
    ASSERT_NE(document, nullptr);
    ScriptedRenderer::results = {rendered("flow-LR.svg")};
    build(*document, "graph LR\n A-->B");
    const VRObjectList built = layerOf(*document).objects();
    using Failure = QntMermaidRenderer::Result::Failure;
    const std::pair<QntMermaidRenderer::Result, const char *> cases[] = {
        {{QString(), Failure::Syntax, "Parse error on line 1"}, "Syntax error"},
        {{QString(), Failure::TooLarge, "Edge limit exceeded"}, "Diagram too large"},
        {{QString(), Failure::Page, "did not answer"}, "Mermaid failed"},
        {{"<svg xmlns=\"http://www.w3.org/2000/svg\"/>", Failure::None, {}}, "Empty diagram"},
        {{"<svg><g>", Failure::None, {}}, "Unreadable picture"}};
    for (const auto &[result, message] : cases) {
        SCOPED_TRACE(message);
        ScriptedRenderer::results = {result};
        build(*document, "graph LR\n A-->");
        EXPECT_EQ(overlayLabel(*document), QString::fromLatin1(message));
        EXPECT_EQ(layerOf(*document).objects(), built);
        // The message goes away by itself.
        EXPECT_TRUE(waitUntil([&] { return !document->overlayController()->isOverlay(); }));
    }

    // An empty text asks nothing of Mermaid and changes nothing.
    const int calls = int(ScriptedRenderer::calls.size());
    document->commandEditor()->setPlainText("  \n ");
    document->buildButton()->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(int(ScriptedRenderer::calls.size()), calls);
    EXPECT_EQ(layerOf(*document).objects(), built);
}

// Without its plugin (here an empty plugin folder) Mermaid cannot build: the document says so
// and why, keeps its drawing, and tries the plugin again on the next build.
TEST_F(DocumentMermaid, AMissingPluginIsAMessageNotACrash)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QByteArray previous = qgetenv("QNT_PLUGIN_DIR");
    const bool hadPrevious = qEnvironmentVariableIsSet("QNT_PLUGIN_DIR");
    qputenv("QNT_PLUGIN_DIR", folder.path().toUtf8());
    QntMermaidRenderer::setFactory(&QntMermaidPlugin::createRenderer);
    DIDizeZoziDocument *document = newMermaidDocument();
    ASSERT_NE(document, nullptr);
    const VRObjectList before = layerOf(*document).objects();
    document->commandEditor()->setPlainText("graph LR\n A-->B");
    for (int attempt = 0; attempt < 2; ++attempt) {
        document->buildButton()->click();
        QMessageBox *box = nullptr;
        EXPECT_TRUE(waitUntil([&] {
            box = document->window()->findChild<QMessageBox *>("MermaidUnavailable");
            return box && box->isVisible();
        }));
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->informativeText().contains(folder.path() + "/libqnt_mermaid.so"))
            << box->informativeText().toStdString();
        EXPECT_TRUE(box->informativeText().contains("missing"));
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Mermaid is not available"));
        box->close();
        EXPECT_EQ(layerOf(*document).objects(), before);
        EXPECT_EQ(document->webView(), nullptr);
    }
    EXPECT_FALSE(QntMermaidPlugin::isLoaded());
    if (hadPrevious)
        qputenv("QNT_PLUGIN_DIR", previous);
    else
        qunsetenv("QNT_PLUGIN_DIR");
}

// A file in the plugin's place that is not a plugin is refused with the loader's reason.
TEST(MermaidPlugin, AFileThatIsNotThePluginIsRefusedWithItsReason)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QFile file(folder.filePath("libqnt_mermaid.so"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a shared library");
    file.close();
    const QByteArray previous = qgetenv("QNT_PLUGIN_DIR");
    const bool hadPrevious = qEnvironmentVariableIsSet("QNT_PLUGIN_DIR");
    qputenv("QNT_PLUGIN_DIR", folder.path().toUtf8());
    EXPECT_EQ(QntMermaidPlugin::pluginPath(), folder.filePath("libqnt_mermaid.so"));
    EXPECT_EQ(QntMermaidPlugin::createRenderer(), nullptr);
    EXPECT_TRUE(QntMermaidPlugin::errorString().contains("cannot be loaded"))
        << QntMermaidPlugin::errorString().toStdString();
    EXPECT_FALSE(QntMermaidPlugin::isLoaded());
    EXPECT_EQ(qt_gl_global_share_context(), nullptr);
    if (hadPrevious)
        qputenv("QNT_PLUGIN_DIR", previous);
    else
        qunsetenv("QNT_PLUGIN_DIR");
}

// The OpenGL context the web engine shares is made as its plugin is loaded, not with the
// application: made at launch, it would start the OpenGL driver in every process.
TEST(MermaidPlugin, TheSharedOpenGLContextIsMadeOnlyForThePlugin)
{
    if (QntMermaidPlugin::isLoaded() || qt_gl_global_share_context())
        GTEST_SKIP() << "the web engine already runs in this process";
    // What the preparation sets in the environment is put back afterwards.
    const auto current = [](const char *name) {
        return qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name).toStdString())
                                               : std::nullopt;
    };
    const qnt::test::ScopedEnvironmentVariable flags("QTWEBENGINE_CHROMIUM_FLAGS",
                                                     current("QTWEBENGINE_CHROMIUM_FLAGS"));
    const qnt::test::ScopedEnvironmentVariable sandbox("QTWEBENGINE_DISABLE_SANDBOX",
                                                       current("QTWEBENGINE_DISABLE_SANDBOX"));
    QntMermaidPlugin::prepareApplication();
    EXPECT_FALSE(QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts));
    EXPECT_EQ(qt_gl_global_share_context(), nullptr);

    QntMermaidPlugin::prepareSharedOpenGLContext();
    QOpenGLContext *shared = qt_gl_global_share_context();
    EXPECT_NE(shared, nullptr);
    EXPECT_TRUE(QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts));
    QntMermaidPlugin::prepareSharedOpenGLContext();
    EXPECT_EQ(qt_gl_global_share_context(), shared);

    delete shared;
    EXPECT_EQ(qt_gl_global_share_context(), nullptr);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, false);
}

TEST_F(DocumentMermaid, TheStylesheetIsSharedEditedAndRestored)
{
    DIDizeZoziDocument *document = newMermaidDocument();
    DIDizeZoziDocument *other = newMermaidDocument();
    ASSERT_TRUE(document && other);
    const QString folder = VOReruRerAppDelegate::mermaidSupportFolder();
    const QString shipped = readFile(folder + "/mermaid.forest.css");
    ASSERT_FALSE(shipped.isEmpty());
    document->commandsOrStyleControl()->setCurrentIndex(1);
    const QString edited = ".node rect { fill: #ff0000; }\n";
    document->stylesheetEditor()->setPlainText(edited);
    EXPECT_EQ(readFile(folder + "/mermaid.forest.css"), edited);
    // The host page's link gets a fresh query: seconds since 1970 with six decimals.
    static const QRegularExpression link(
        R"re(<link rel="stylesheet" href="mermaid\.forest\.css\?\d+\.\d{6}"/><!-- -->)re");
    EXPECT_TRUE(link.match(readFile(folder + "/seq.html")).hasMatch());
    // The other window's editor follows, so its next edit keeps this one.
    EXPECT_EQ(other->stylesheetEditor()->toPlainText(), edited);
    EXPECT_FALSE(other->isDocumentEdited());

    // The next build renders with the edited stylesheet.
    ScriptedRenderer::results = {rendered("flow-TD.svg")};
    build(*document, "graph TD\n A-->B");
    EXPECT_EQ(ScriptedRenderer::calls.last().stylesheet, edited);

    document->restoreStylesheetButton()->click();
    EXPECT_EQ(readFile(folder + "/mermaid.forest.css"), shipped);
    EXPECT_EQ(document->stylesheetEditor()->toPlainText(), shipped);
    EXPECT_EQ(other->stylesheetEditor()->toPlainText(), shipped);
}

TEST_F(DocumentMermaid, TheTextIsSavedWithTheDrawing)
{
    DIDizeZoziDocument *document = newMermaidDocument();
    ASSERT_NE(document, nullptr);
    const QString text = "graph TD\n  A[\"Fish & Chips\"] --> B[日本]\n";
    document->commandEditor()->setPlainText(text);
    EXPECT_TRUE(document->isDocumentEdited());
    ScriptedRenderer::results = {rendered("flow-TD.svg")};
    build(*document, text);
    QTemporaryDir dir;
    const QString path = dir.filePath("Mermaid.quintora");
    QString error;
    ASSERT_TRUE(document->writeToURL(path, &error)) << error.toStdString();

    auto *reopened = new DIDizeZoziDocument;
    ASSERT_TRUE(reopened->readFromURL(path, &error)) << error.toStdString();
    testDocumentController().addDocument(reopened);
    reopened->makeWindowControllers();
    EXPECT_EQ(reopened->commandEditor()->toPlainText(), text);
    EXPECT_EQ(generated(*reopened).size(), generated(*document).size());
}

namespace {

// Types the text at the editor's cursor a character at a time, as keys do.
void type(QPlainTextEdit &editor, const QString &text)
{
    for (const QChar c : text)
        editor.insertPlainText(QString(c));
}

int editSteps(VRUndoManager &undo)
{
    int steps = 0;
    for (const auto &group : undo.undoStack())
        steps += group->actionName() == "Edit Mermaid Text";
    return steps;
}

} // namespace

TEST_F(DocumentMermaid, TypedTextReachesTheDrawingAsOneUndoStepPerBurst)
{
    DIDizeZoziDocument *document = newMermaidDocument();
    ASSERT_NE(document, nullptr);
    QPlainTextEdit &editor = *document->commandEditor();
    VRUndoManager &undo = *document->drawing()->undoManager();
    EXPECT_FALSE(document->isDocumentEdited());

    // Every key reaches the drawing at once, unbuilt; the burst is one step.
    type(editor, "graph TD\n");
    EXPECT_EQ(document->drawing()->mermaidSourceText(), "graph TD\n");
    EXPECT_TRUE(document->isDocumentEdited());
    QCoreApplication::processEvents();
    type(editor, "  A-->B");
    QCoreApplication::processEvents();
    EXPECT_EQ(document->drawing()->mermaidSourceText(), "graph TD\n  A-->B");
    EXPECT_EQ(editSteps(undo), 1);
    EXPECT_EQ(undo.undoActionName(), "Edit Mermaid Text");

    // Another step in between ends the burst; so does a pause.
    layerOf(*document).addObject(VRDrawableShape::shapeWithRect(QRectF(10, 10, 40, 40)));
    QCoreApplication::processEvents();
    type(editor, "\n  B-->C");
    QCoreApplication::processEvents();
    EXPECT_EQ(editSteps(undo), 2);
    QTest::qWait(DIDizeZoziDocument::kCommandEditingPauseMs + 300);
    type(editor, "\n  C-->D");
    QCoreApplication::processEvents();
    EXPECT_EQ(editSteps(undo), 3);
    EXPECT_EQ(document->drawing()->mermaidSourceText(), "graph TD\n  A-->B\n  B-->C\n  C-->D");

    // Undo in the drawing takes the burst back, in the drawing and in the editor; redo again.
    undo.undo();
    EXPECT_EQ(document->drawing()->mermaidSourceText(), "graph TD\n  A-->B\n  B-->C");
    EXPECT_EQ(editor.toPlainText(), "graph TD\n  A-->B\n  B-->C");
    undo.redo();
    EXPECT_EQ(editor.toPlainText(), "graph TD\n  A-->B\n  B-->C\n  C-->D");
    undo.undo();
    undo.undo();
    undo.undo();
    undo.undo();
    EXPECT_EQ(editor.toPlainText(), "");
    EXPECT_FALSE(document->isDocumentEdited());
    // Typing after an undo starts a step of its own.
    type(editor, "pie");
    QCoreApplication::processEvents();
    EXPECT_EQ(editSteps(undo), 1);
    EXPECT_FALSE(undo.canRedo());
}

TEST_F(DocumentMermaid, UnbuiltTextIsInTheRecoveryCopyAndTheSavedFile)
{
    DIDizeZoziDocument *document = newMermaidDocument();
    ASSERT_NE(document, nullptr);
    const QString text = "graph LR\n  A[\"Fish & Chips\"] --> B[日本]";
    type(*document->commandEditor(), text);
    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(document->autosave(&error)) << error.toStdString();
    const auto textIn = [](const QString &path) {
        VRDrawingDocument read;
        QString error;
        EXPECT_TRUE(read.readFromURL(path, &error)) << error.toStdString();
        return read.drawing()->mermaidSourceText();
    };
    ASSERT_FALSE(document->autosavedContentsPath().isEmpty());
    EXPECT_EQ(textIn(document->autosavedContentsPath()), text);
    ASSERT_TRUE(document->saveToPath(dir.filePath("Plan.quintora"), &error)) << error.toStdString();
    EXPECT_EQ(textIn(dir.filePath("Plan.quintora")), text);
}

TEST_F(DocumentMermaid, ASyntaxErrorMarksTheFailingLineUntilTheTextChanges)
{
    DIDizeZoziDocument *document = newMermaidDocument();
    ASSERT_NE(document, nullptr);
    ScriptedRenderer::results = {rendered("flow-LR.svg")};
    build(*document, "graph LR\n A-->B");
    const VRObjectList built = layerOf(*document).objects();
    QPlainTextEdit &editor = *document->commandEditor();

    using Failure = QntMermaidRenderer::Result::Failure;
    const QString message = "Parse error on line 2:\n A-->\n----^\nExpecting 'AMP', 'ALPHA', got "
                            "'EOF'";
    QntMermaidRenderer::Result failed{QString(), Failure::Syntax, message};
    failed.errorLine = 2;
    failed.errorColumn = 5;
    ScriptedRenderer::results = {failed};
    build(*document, "graph LR\n A-->\n B");
    EXPECT_EQ(overlayLabel(*document), "Syntax error");
    EXPECT_EQ(layerOf(*document).objects(), built);
    EXPECT_EQ(document->commandErrorLine(), 2);
    // The line is marked from its start, the rest of it from the column on.
    const QList<QTextEdit::ExtraSelection> marks = editor.extraSelections();
    ASSERT_EQ(marks.size(), 2);
    EXPECT_EQ(marks[0].cursor.block().blockNumber(), 1);
    EXPECT_EQ(marks[1].cursor.selectionStart(),
              editor.document()->findBlockByNumber(1).position() + 4);
    EXPECT_EQ(marks[1].cursor.selectedText(), ">");
    const QString tip = document->commandErrorToolTip();
    EXPECT_TRUE(tip.startsWith("Line 2, column 5\n")) << tip.toStdString();
    EXPECT_TRUE(tip.contains("Expecting 'AMP', 'ALPHA', got 'EOF'")) << tip.toStdString();

    // The tooltip shows over the failing line, not over the others.
    document->window()->show();
    const QRect line2 = editor.cursorRect(QTextCursor(editor.document()->findBlockByNumber(1)));
    const QPoint at = line2.center() + QPoint(10, 0);
    QHelpEvent over(QEvent::ToolTip, at, editor.viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(editor.viewport(), &over);
    EXPECT_EQ(QToolTip::text(), tip);
    EXPECT_TRUE(QToolTip::isVisible());
    const QRect line1 = editor.cursorRect(QTextCursor(editor.document()->findBlockByNumber(0)));
    QHelpEvent away(QEvent::ToolTip, line1.center(),
                    editor.viewport()->mapToGlobal(line1.center()));
    QCoreApplication::sendEvent(editor.viewport(), &away);
    EXPECT_TRUE(waitUntil([] { return !QToolTip::isVisible(); }));

    // An error without a place marks nothing; a change of the text takes the mark away.
    ScriptedRenderer::results = {{QString(), Failure::Syntax, "No diagram type detected"}};
    build(*document, "nonsense");
    EXPECT_EQ(document->commandErrorLine(), 0);
    EXPECT_TRUE(editor.extraSelections().isEmpty());
    // An error told on the line after the last marks the last one.
    QntMermaidRenderer::Result atTheEnd = failed;
    atTheEnd.errorLine = 4;
    ScriptedRenderer::results = {atTheEnd};
    build(*document, "graph LR\n A-->\n B");
    EXPECT_EQ(document->commandErrorLine(), 3);
    EXPECT_TRUE(document->commandErrorToolTip().startsWith("Line 3\n"));
    EXPECT_EQ(editor.extraSelections().size(), 2);
    type(editor, "x");
    EXPECT_EQ(document->commandErrorLine(), 0);
    EXPECT_TRUE(editor.extraSelections().isEmpty());
    EXPECT_EQ(document->commandErrorToolTip(), "");
}

TEST(DocumentMermaidNames, FindObjectWithNameTakesTheFirstElementByNameOrUid)
{
    VRObjectOwnerLayer layer;
    auto plain = VRDrawableShape::shapeWithRect(QRectF(0, 0, 10, 10));
    plain->setString("A", "name");
    auto byUid = std::make_shared<QntElement>();
    byUid->setString("A", "uid");
    auto byName = std::make_shared<QntElement>();
    byName->setString("A", "name");
    auto other = std::make_shared<QntElement>();
    other->setString("B", "name");
    layer.addObjectsFromArray({plain, byUid, byName, other});
    EXPECT_EQ(DIDizeZoziDocument::findObjectWithName("A", layer), byUid);
    EXPECT_EQ(DIDizeZoziDocument::findObjectWithName("B", layer), other);
    EXPECT_EQ(DIDizeZoziDocument::findObjectWithName("C", layer), nullptr);
    EXPECT_EQ(DIDizeZoziDocument::findObjectWithName("", layer), nullptr);

    // Connectors attach to the elements they name; one naming no element stays free. Subgraph
    // boxes go to the back.
    for (const auto &element : {byUid, other}) {
        element->setGroupObjects({}, QRectF(0, 0, 40, 20));
        element->setSize(QSizeF(40, 20));
        element->setStickySpots({QPointF(0, -0.5), QPointF(0, 0.5)});
    }
    other->setLocation(QPointF(100, 100));
    auto good = std::make_shared<QntConnector>();
    good->setEnds(QPointF(100, 90), QPointF(0, 10));
    good->setString("B", "from");
    good->setString("A", "to");
    auto stray = std::make_shared<QntConnector>();
    stray->setEnds(QPointF(100, 90), QPointF(300, 300));
    stray->setString("B", "from");
    stray->setString("Missing", "to");
    auto cluster = std::make_shared<QntElement>();
    cluster->setString("cluster default", "class");
    layer.addObjectsFromArray({good, stray, cluster});
    DIDizeZoziDocument::connectElements(layer);
    EXPECT_TRUE(good->isAttachedTo(other.get()));
    EXPECT_TRUE(good->isAttachedTo(byUid.get()));
    EXPECT_FALSE(stray->isAttachedTo(other.get()));
    EXPECT_EQ(VRPath::lastPoint(stray->path()), QPointF(300, 300));
    EXPECT_EQ(layer.indexOfObject(cluster.get()), 0);
}
