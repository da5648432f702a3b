#include "library/mermaid/QntMermaidPlugin.h"
#include "library/webengine/QntWebMermaidRenderer.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorEndPoint.h"
#include "framework/model/QntStickySpot.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntText.h"
#include "framework/model/VRObjectOwnerLayer.h"
#include "framework/styles/VRStyle.h"
#include "framework/svg/SVGKImage.h"
#include "platform/QntPaths.h"
#include "common/WaitUntil.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTcpSocket>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

using qnt::test::waitUntil;
using Failure = QntMermaidRenderer::Result::Failure;

namespace {

QString mermaidText(const QString &name)
{
    QFile file(QStringLiteral(QNT_TEST_DATA_DIR "/mermaid/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QString::fromUtf8(file.readAll());
}

// One web page for the whole program, as the application keeps one per document: starting the
// engine is the slow part. The renderer comes from the plugin, as the application's does.
class WebMermaid : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { s_renderer = QntMermaidPlugin::createRenderer().release(); }
    void SetUp() override
    {
        ASSERT_TRUE(s_renderer) << QntMermaidPlugin::errorString().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete s_renderer;
        s_renderer = nullptr;
    }

    static QntMermaidRenderer::Result render(const QString &text, const QString &css = {})
    {
        std::optional<QntMermaidRenderer::Result> answer;
        s_renderer->render(hostPage(), text, css,
                           [&answer](const QntMermaidRenderer::Result &r) { answer = r; });
        EXPECT_TRUE(waitUntil([&] { return answer.has_value(); }, std::chrono::seconds(60)));
        return answer.value_or(QntMermaidRenderer::Result{});
    }
    static QString hostPage()
    {
        return QntPaths::bundleResourcesPath() + QStringLiteral("/Mermaid/seq.html");
    }

    static inline QntMermaidRenderer *s_renderer = nullptr;
};

// A page of its own for looking into what the renderer's page runs: off the record, loading
// the host page beside the Mermaid script, or an empty page.
class ScriptPage
{
public:
    explicit ScriptPage(const QUrl &url = {})
    {
        QObject::connect(&m_page, &QWebEnginePage::loadFinished,
                         [this](bool ok) { m_loaded = ok ? 1 : -1; });
        QObject::connect(&m_page, &QWebEnginePage::titleChanged, [this](const QString &title) {
            if (title == QLatin1String("qnt-answer"))
                m_page.runJavaScript(
                    QStringLiteral("window.qntAnswer"),
                    [answer = m_answer](const QVariant &v) { *answer = v.toString(); });
        });
        if (url.isEmpty())
            m_page.setHtml(QStringLiteral("<!DOCTYPE html><html><body></body></html>"));
        else
            m_page.load(url);
        EXPECT_TRUE(waitUntil([this] { return m_loaded != 0; }, std::chrono::seconds(60)));
        EXPECT_EQ(m_loaded, 1);
    }
    ~ScriptPage() { m_page.disconnect(); }

    // The text the asynchronous function body answers (its errors as "error: ...").
    QString answer(const QString &body)
    {
        m_answer->reset();
        m_page.runJavaScript(
            QStringLiteral("document.title = '';"
                           "(async function () { %1 })().then("
                           "  function (v) { window.qntAnswer = String(v); },"
                           "  function (e) { window.qntAnswer = 'error: ' + e; })"
                           ".then(function () { document.title = 'qnt-answer'; });")
                .arg(body));
        EXPECT_TRUE(waitUntil([this] { return m_answer->has_value(); }, std::chrono::seconds(60)));
        return m_answer->value_or(QStringLiteral("no answer"));
    }
    void run(const QString &script) { m_page.runJavaScript(script); }

private:
    QWebEngineProfile m_profile;
    QWebEnginePage m_page{&m_profile};
    int m_loaded = 0;
    std::shared_ptr<std::optional<QString>> m_answer = std::make_shared<std::optional<QString>>();
};

} // namespace

// The names of the elements and the ends of the connectors a picture reads into, sorted.
std::pair<QStringList, QStringList> namesAndEnds(const QntMermaidRenderer::Result &result)
{
    QStringList names;
    QStringList edges;
    const auto image = SVGKImage::imageWithData(result.svg.toUtf8());
    EXPECT_TRUE(image.ok()) << image.errorMessage().toStdString();
    if (!image.ok())
        return {};
    const auto tree = (*image)->newVRTree();
    for (const VRObjectRef &object : tree->objects()) {
        if (object->isMemberOf<QntElement>())
            names.append(object->stringForKey("name"));
        if (object->isKindOf<QntConnector>())
            edges.append(object->stringForKey("from") + ">" + object->stringForKey("to"));
    }
    names.sort();
    edges.sort();
    return {names, edges};
}

TEST_F(WebMermaid, AFlowchartComesBackWithNamedNodesAndEdgeEnds)
{
    const auto result = render(mermaidText("flow-TD.mmd"));
    ASSERT_TRUE(result.ok()) << result.message.toStdString();
    EXPECT_FALSE(result.svg.contains("foreignObject")); // plain SVG labels
    const auto [names, edges] = namesAndEnds(result);
    EXPECT_EQ(names, QStringList({"A", "B", "C", "D", "E", "F", "G", "H", "S1"}));
    EXPECT_EQ(edges, QStringList({"A>B", "B>C", "C>D", "D>E", "E>F", "E>G", "F>H", "G>H"}));
}

// Each build names the nodes and edge ends of its own text, whatever was built before it in
// the page: other flowcharts, the same nodes joined otherwise, other kinds of diagram.
TEST_F(WebMermaid, EveryBuildNamesItsOwnNodesAndEdgeEnds)
{
    const struct {
        QString text;
        QStringList names;
        QStringList edges;
    } builds[] = {
        {"graph LR\n  a --> b\n  b --> c\n", {"a", "b", "c"}, {"a>b", "b>c"}},
        {"graph LR\n  a --> c\n  c --> b\n", {"a", "b", "c"}, {"a>c", "c>b"}},
        {"sequenceDiagram\n  Alice->>Bob: Hi\n", {"Alice", "Bob"}, {"Alice>Bob"}},
        {"graph TD\n  x_1 --> y_2\n  x_1 e1@--> z\n  subgraph G\n    z\n  end\n",
         {"G", "x_1", "y_2", "z"},
         {"x_1>y_2", "x_1>z"}},
        {"graph LR\n  a --> b\n  b --> c\n", {"a", "b", "c"}, {"a>b", "b>c"}},
        {"graph LR\n  a --> b\n  b --> c\n  c --> a\n", {"a", "b", "c"}, {"a>b", "b>c", "c>a"}},
        {"graph LR\n  a __proto__@--> b\n  b toString@--> c\n", {"a", "b", "c"}, {"a>b", "b>c"}},
        // A non-breaking space in a label still gives a plain picture.
        {"graph LR\n  a[\"one#nbsp;two\"] --> b\n", {"a", "b"}, {"a>b"}},
        {"graph LR\n  a[\"x > y\"] --> b[\"p < q & r\"]\n", {"a", "b"}, {"a>b"}},
        // A click link to a web address builds; the link itself is dropped.
        {"graph LR\n  a --> b\n  click a href \"https://example.com/a\"\n", {"a", "b"}, {"a>b"}},
        {"graph LR\n  a --> b\n  click b \"https://example.com/b\" \"Tip\"\n", {"a", "b"}, {"a>b"}},
    };
    for (const auto &build : builds) {
        SCOPED_TRACE(build.text.toStdString());
        const auto result = render(build.text);
        ASSERT_TRUE(result.ok()) << result.message.toStdString();
        const auto [names, edges] = namesAndEnds(result);
        EXPECT_EQ(names, build.names);
        EXPECT_EQ(edges, build.edges);
        EXPECT_FALSE(result.svg.contains("example.com"));
    }
}

// The page keeps Mermaid's settings from one render to the next: a text's own directives
// change only its own picture.
TEST_F(WebMermaid, ADirectiveChangesOnlyItsOwnPicture)
{
    const QString text = "graph TD\n  A --> B\n";
    // Each render has its own ids; the rest of the picture is what is compared.
    const auto withoutIds = [](QString svg) {
        return svg.replace(QRegularExpression("qnt-svg-[0-9]+"), "qnt-svg");
    };
    const auto before = render(text);
    ASSERT_TRUE(before.ok()) << before.message.toStdString();
    const auto dark =
        render("%%{init: {\"theme\": \"dark\", \"flowchart\": {\"nodeSpacing\": 200}}}%%\n" + text);
    ASSERT_TRUE(dark.ok()) << dark.message.toStdString();
    EXPECT_NE(withoutIds(dark.svg), withoutIds(before.svg));
    const auto after = render(text);
    ASSERT_TRUE(after.ok()) << after.message.toStdString();
    EXPECT_EQ(withoutIds(after.svg), withoutIds(before.svg));
    // A changed stylesheet reaches the next picture, and the one before comes back after it.
    const auto styled = render(text, ".node rect { fill: #123456; }");
    ASSERT_TRUE(styled.ok()) << styled.message.toStdString();
    EXPECT_NE(withoutIds(styled.svg), withoutIds(before.svg));
    EXPECT_EQ(withoutIds(render(text).svg), withoutIds(before.svg));
}

TEST_F(WebMermaid, TheStylesheetReachesThePicture)
{
    const auto result = render("graph TD\n  A --> B\n", ".node rect { fill: #ab1234; }");
    ASSERT_TRUE(result.ok()) << result.message.toStdString();
    const auto tree = (*SVGKImage::imageWithData(result.svg.toUtf8()))->newVRTree();
    for (const VRObjectRef &object : tree->objects()) {
        if (!object->isMemberOf<QntElement>())
            continue;
        const VRObjectRef contour = static_cast<QntElement &>(*object).contourObject();
        ASSERT_NE(contour, nullptr);
        EXPECT_EQ(contour->style()->fillColour().name(), "#ab1234");
    }
}

TEST_F(WebMermaid, ASyntaxErrorTellsItsLineAndColumn)
{
    struct Case {
        const char *text;
        int line;
        int column;
    };
    const Case cases[] = {
        {"graph TD\n  A --> B\n  B --> C{Ask\n  C --> D\n", 3, 0},
        {"sequenceDiagram\n  Alice->>Bob: Hi\n  Bob-->>: nobody\n", 3, 0},
        {"classDiagram\n  Animal <|-- Duck\n  Duck : +swim(\n  Duck <<<< Fish\n", 4, 0},
        {"stateDiagram-v2\n  [*] --> Still\n  Still --> --> Moving\n", 3, 0},
        {"pie\n  \"Dogs\" : 3\n  \"Cats\" : many\n", 3, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const QntMermaidRenderer::Result result = render(QString::fromUtf8(c.text));
        EXPECT_EQ(result.failure, Failure::Syntax) << result.message.toStdString();
        EXPECT_EQ(result.errorLine, c.line) << result.message.toStdString();
        EXPECT_GT(result.errorColumn, c.column) << result.message.toStdString();
        EXPECT_FALSE(result.message.isEmpty());
    }
    // A text Mermaid cannot place has no line.
    const QntMermaidRenderer::Result unknown = render("this is no diagram");
    EXPECT_EQ(unknown.failure, Failure::Syntax);
    EXPECT_EQ(unknown.errorLine, 0) << unknown.message.toStdString();
}

TEST_F(WebMermaid, FailuresSayWhy)
{
    EXPECT_EQ(render("graph TD\n  A -->\n").failure, Failure::Syntax);
    EXPECT_EQ(render("this is no diagram").failure, Failure::Syntax);
    // A chain of 2,000 nodes is refused at once, whole.
    QString chain = "graph LR\n";
    for (int i = 0; i < 2000; ++i)
        chain += QStringLiteral("  n%1 --> n%2\n").arg(i).arg(i + 1);
    EXPECT_EQ(render(chain).failure, Failure::TooLarge);
    EXPECT_EQ(render(QString(QntWebMermaidRenderer::kMaxTextLength + 1, 'x')).failure,
              Failure::TooLarge);
    // The page still works afterwards.
    EXPECT_TRUE(render("graph TD\n  A --> B\n").ok());
}

TEST_F(WebMermaid, MarkupAndScriptInTheTextRunNothingAndReachNoServer)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    int connections = 0;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            ++connections;
            socket->close();
        }
    });
    const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
    const QString text = QStringLiteral("%%{init: {\"securityLevel\": \"loose\"}}%%\n"
                                        "graph TD\n"
                                        "  A[\"<img src=%1a onerror=location.href='%1b'>\"] --> B\n"
                                        "  B[\"<script>fetch('%1c')</script>\"] --> C\n"
                                        "  C[\"<iframe src=%1d></iframe>\"]\n"
                                        "  click A href \"%1e\"\n"
                                        "  click B call fetch(\"%1f\")\n")
                             .arg(url);
    const auto result = render(text);
    // A second render gives anything the first started time to arrive.
    render("graph TD\n  A --> B\n");
    EXPECT_EQ(connections, 0);
    if (!result.ok())
        return; // refusing the text is sound too
    // The picture holds no script, no event handler and no link to the server.
    QXmlStreamReader reader(result.svg);
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        EXPECT_NE(reader.name(), u"script");
        EXPECT_NE(reader.name(), u"iframe");
        EXPECT_NE(reader.name(), u"foreignObject");
        for (const QXmlStreamAttribute &attribute : reader.attributes()) {
            EXPECT_FALSE(attribute.name().startsWith(u"on"))
                << attribute.name().toString().toStdString();
            EXPECT_FALSE(attribute.value().contains(url))
                << attribute.value().toString().toStdString();
        }
    }
    EXPECT_FALSE(reader.hasError());
    // What is not refused builds: the link is dropped, the nodes are named.
    EXPECT_TRUE(SVGKImage::imageWithData(result.svg.toUtf8()).ok());
    EXPECT_TRUE(result.svg.contains("data-qnt-name=\"A\""));
}

TEST_F(WebMermaid, LabelsArriveIntact)
{
    const auto result = render(mermaidText("labels.mmd"));
    ASSERT_TRUE(result.ok()) << result.message.toStdString();
    const auto tree = (*SVGKImage::imageWithData(result.svg.toUtf8()))->newVRTree();
    QStringList labels;
    for (const VRObjectRef &object : tree->objects()) {
        if (object->isMemberOf<QntElement>())
            labels.append(static_cast<QntElement &>(*object).text()->string());
    }
    EXPECT_TRUE(labels.contains("She said \"hi\""));
    EXPECT_TRUE(labels.contains("Fish & Chips"));
    EXPECT_TRUE(labels.contains(QString::fromUtf8("日本語 テキスト")));
    EXPECT_TRUE(labels.contains("first line\nsecond line"));
}

TEST_F(WebMermaid, ANewerRenderSupersedesOneStillRunning)
{
    std::optional<QntMermaidRenderer::Result> first, second;
    s_renderer->render(hostPage(), "graph TD\n  A --> B\n", {},
                       [&](const QntMermaidRenderer::Result &r) { first = r; });
    s_renderer->render(hostPage(), "graph TD\n  C --> D\n", {},
                       [&](const QntMermaidRenderer::Result &r) { second = r; });
    ASSERT_TRUE(waitUntil([&] { return second.has_value(); }, std::chrono::seconds(60)));
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->failure, Failure::Page);
    ASSERT_TRUE(second->ok());
    EXPECT_TRUE(second->svg.contains("data-qnt-name=\"C\""));
}

TEST_F(WebMermaid, AMissingHostPageIsAFailureNotAHang)
{
    std::optional<QntMermaidRenderer::Result> answer;
    s_renderer->render(QntPaths::bundleResourcesPath() + "/Mermaid/none.html", "graph TD\n A-->B",
                       {}, [&](const QntMermaidRenderer::Result &r) { answer = r; });
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }));
    EXPECT_EQ(answer->failure, Failure::Page);
}

// The page's quicker Object.defineProperty must do exactly what the engine's does, for the
// calls it takes the quick way and for all the others.
TEST(WebMermaidPageSetUp, DefinesPropertiesAsTheEngineDoes)
{
    ScriptPage page;
    const QString answer = page.answer(QStringLiteral(R"JS(
        var engine = Object.defineProperty;
        %1
        var quick = Object.defineProperty;
        if (quick === engine) { return 'not installed'; }
        var all = { value: 1, writable: true, enumerable: true, configurable: true };
        var cases = {
          newPlainProperty: function (d) { var o = { a: 0 }; d(o, 'b', all); return o; },
          returnsTheObject: function (d) { var o = {}; return { same: d(o, 'x', all) === o }; },
          protoKey: function (d) { var o = {}; d(o, '__proto__', { value: { p: 1 }, writable: true, enumerable: true, configurable: true }); return o; },
          inheritedName: function (d) { var o = {}; d(o, 'toString', all); return o; },
          pollutedSetter: function (d) {
            var hits = 0;
            engine(Object.prototype, 'qntPolluted', { set: function () { ++hits; }, configurable: true });
            try { var o = {}; d(o, 'qntPolluted', all); return { o: o, hits: hits }; }
            finally { delete Object.prototype.qntPolluted; }
          },
          existingReadOnly: function (d) { var o = {}; engine(o, 'a', { value: 1 }); d(o, 'a', all); return o; },
          existingOther: function (d) { var o = { a: 2, b: 3 }; d(o, 'a', all); return o; },
          notExtensible: function (d) { var o = Object.preventExtensions({}); d(o, 'a', all); return o; },
          frozen: function (d) { var o = Object.freeze({ a: 1 }); d(o, 'b', all); return o; },
          partialDescriptor: function (d) { var o = {}; d(o, 'a', { value: 1, writable: true }); return o; },
          notEnumerable: function (d) { var o = {}; d(o, 'a', { value: 1, writable: true, enumerable: false, configurable: true }); return o; },
          accessor: function (d) { var o = {}; d(o, 'a', { get: function () { return 7; }, enumerable: true, configurable: true }); return { a: o.a, keys: Object.keys(o) }; },
          mixed: function (d) { var o = {}; d(o, 'a', { value: 1, writable: true, enumerable: true, configurable: true, get: function () {} }); return o; },
          nullPrototype: function (d) { var o = Object.create(null); d(o, 'a', all); return o; },
          classInstance: function (d) {
            var hits = 0;
            var C = function () {};
            engine(C.prototype, 'a', { set: function () { ++hits; } });
            var o = new C(); d(o, 'a', all); return { own: Object.getOwnPropertyDescriptor(o, 'a'), hits: hits };
          },
          arrayIndex: function (d) { var o = [1, 2]; d(o, '5', all); return { length: o.length, keys: Object.keys(o) }; },
          integerKeysKeepOrder: function (d) { var o = { b: 1 }; d(o, '2', all); d(o, '1', all); d(o, 'a', all); return Object.keys(o); },
          numberKey: function (d) { var o = {}; d(o, 3, all); return o; },
          symbolKey: function (d) { var s = Symbol('s'); var o = {}; d(o, s, all); return { has: o[s] === 1, enumerable: o.propertyIsEnumerable(s) }; },
          notAnObject: function (d) { return d(1, 'a', all); },
          noDescriptor: function (d) { return d({}, 'a', 5); },
          nullDescriptor: function (d) { return d({}, 'a', null); },
          functionTarget: function (d) { var f = function () {}; d(f, 'a', all); return { a: f.a, keys: Object.keys(f) }; }
        };
        var describe = function (name, d) {
          try {
            var value = cases[name](d);
            var own = function (o) {
              if (o === null || typeof o !== 'object') { return o; }
              var out = { proto: Object.getPrototypeOf(o) === Object.prototype ? 'plain' : String(Object.getPrototypeOf(o)), props: [] };
              Reflect.ownKeys(o).forEach(function (k) {
                var p = Object.getOwnPropertyDescriptor(o, k);
                out.props.push([String(k), own(p.value), p.writable, p.enumerable, p.configurable, typeof p.get, typeof p.set]);
              });
              return out;
            };
            return JSON.stringify(own(value));
          } catch (e) {
            return 'throws ' + e.constructor.name;
          }
        };
        var differ = [];
        Object.keys(cases).forEach(function (name) {
          var a = describe(name, engine), b = describe(name, quick);
          if (a !== b) { differ.push(name + ': ' + a + ' / ' + b); }
        });
        return differ.length ? differ.join('\n') : 'same';
    )JS")
                                           .arg(QntWebMermaidRenderer::pageSetUpScript()));
    EXPECT_EQ(answer, "same");
}

// What the page set-up changes is speed only: Mermaid draws the same pictures with it. Two fresh
// pages draw the same texts, one with the set-up and one without; chance is made repeatable in
// both, as Mermaid's hand-drawn outlines use it.
TEST(WebMermaidPageSetUp, MermaidDrawsTheSamePicturesWithIt)
{
    QString texts;
    for (const char *name :
         {"flow-TD.mmd", "flow-LR.mmd", "labels.mmd", "sequence.mmd", "class.mmd", "state.mmd"})
        texts += QString::fromUtf8(QJsonDocument(QJsonArray{mermaidText(QString::fromLatin1(name))})
                                       .toJson(QJsonDocument::Compact))
                 + QLatin1Char(',');
    const QString drawAll = QStringLiteral(R"JS(
        var seed = 1;
        Math.random = function () { seed = (seed * 16807) % 2147483647; return (seed - 1) / 2147483646; };
        mermaid.initialize({ startOnLoad: false, securityLevel: 'strict', theme: 'forest',
                             htmlLabels: false, deterministicIds: true,
                             flowchart: { htmlLabels: false, useMaxWidth: false } });
        var texts = [%1];
        var pictures = [];
        for (var i = 0; i < texts.length; ++i) {
          pictures.push((await mermaid.render('qnt-same-' + i, texts[i][0])).svg);
        }
        return JSON.stringify(pictures);
    )JS")
                                .arg(texts);
    const QUrl host =
        QUrl::fromLocalFile(QntPaths::bundleResourcesPath() + QStringLiteral("/Mermaid/seq.html"));
    QString without;
    {
        ScriptPage page(host);
        without = page.answer(drawAll);
    }
    ScriptPage page(host);
    page.run(QntWebMermaidRenderer::pageSetUpScript());
    const QString with = page.answer(drawAll);
    ASSERT_TRUE(without.startsWith("[\"<svg")) << without.left(300).toStdString();
    EXPECT_EQ(without.size(), with.size());
    EXPECT_TRUE(without == with);
}

// The page's engine lacks URL.canParse; the set-up gives it, answering as the standard one does.
TEST(WebMermaidPageSetUp, GivesURLCanParse)
{
    ScriptPage page;
    page.run(QntWebMermaidRenderer::pageSetUpScript());
    EXPECT_EQ(page.answer(QStringLiteral(R"JS(
        var threw = false;
        try { URL.canParse(); } catch (e) { threw = e instanceof TypeError; }
        return [URL.canParse('https://example.com/a?b#c'), URL.canParse('not a url'),
                URL.canParse('/a', 'https://example.com'), URL.canParse('/a'),
                URL.canParse('a', 'not a base'), URL.canParse('mailto:x@example.com'),
                Object.keys(URL).indexOf('canParse') < 0, threw].join(',');
    )JS")),
              "true,false,true,false,false,true,true,true");
}

// The build copies Mermaid's pinned script with a few edits that change its speed only: it draws
// the same pictures as the pinned script itself, for flowcharts with labels, subgraphs, links and
// directives, labels that wrap, and other kinds of diagram. Chance is made repeatable in both
// pages, as Mermaid's hand-drawn outlines use it.
TEST(WebMermaidPageSetUp, TheEditedScriptDrawsWhatThePinnedOneDraws)
{
    const QString bundle = QntPaths::bundleResourcesPath() + QStringLiteral("/Mermaid/");
    QFile edited(bundle + QStringLiteral("mermaid.js"));
    ASSERT_TRUE(edited.open(QIODevice::ReadOnly));
    const QByteArray editedScript = edited.readAll();
    ASSERT_TRUE(editedScript.contains("getSharedConfig"));
    ASSERT_TRUE(editedScript.contains("qntFitsWidth"));
    QTemporaryDir pinned;
    ASSERT_TRUE(pinned.isValid());
    for (const char *name : {"seq.html", "mermaid.forest.css"})
        ASSERT_TRUE(
            QFile::copy(bundle + QLatin1String(name), pinned.filePath(QLatin1String(name))));
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(QNT_TEST_DATA_DIR "/../../resources/mermaid/mermaid.min.js"),
                    pinned.filePath(QStringLiteral("mermaid.js"))));

    QJsonArray texts;
    for (const char *name :
         {"flow-TD.mmd", "flow-LR.mmd", "labels.mmd", "sequence.mmd", "class.mmd", "state.mmd"})
        texts.append(mermaidText(QString::fromLatin1(name)));
    QString chain = QStringLiteral("graph TD\n");
    for (int i = 1; i < 60; ++i)
        chain += QStringLiteral("  n%1[Node %1] -->|to %2| n%2(Step %2)\n").arg((i - 1) / 2).arg(i);
    texts.append(chain);
    texts.append(
        QStringLiteral("%%{init: {\"theme\": \"dark\", \"flowchart\": {\"nodeSpacing\": 200, "
                       "\"wrappingWidth\": 60}}}%%\ngraph LR\n  a[A rather long label "
                       "that wraps] --> b\n  subgraph S [Sub]\n    b --> c\n  end\n"));
    texts.append(
        QStringLiteral("%%{init: {\"htmlLabels\": true}}%%\ngraph TD\n  a[\"**bold** x\"] "
                       "-- \"edge label\" --> b\n  click a href \"https://example.com\"\n"));
    texts.append(QStringLiteral("erDiagram\n  A ||--o{ B : has\n"));
    // The benchmark's flowchart, and labels that wrap or measure unusually: long lines, words
    // longer than a line, runs of spaces, scripts other than Latin, emoji, several lines, empty
    // labels, other fonts and sizes, and hand-drawn outlines (which draw on chance).
    QString benchmark = QStringLiteral("graph TD\n");
    for (int i = 1; i < 100; ++i)
        benchmark += QStringLiteral("  n%1[Node %1] --> n%2(Step %2)\n").arg((i - 1) / 2).arg(i);
    texts.append(benchmark);
    for (const char *text : {
             "graph LR\n  a[A rather long label that wraps around several times because it is "
             "long] --> b[Averyveryveryverylongwordwithoutanyspacesatallthatmustbesplitbycharacte"
             "rs]\n  b --> c[\"tab\tand  double  spaces   here and there and everywhere\"]\n",
             "graph TD\n  a[\"日本語 テキスト とても長いラベルはここで"
             "折り返されるかどうか 日本語 テキスト\"]\n"
             "  a --> b[\"😀 emoji 🎉🎉🎉 party 👩‍👩‍👧 family "
             "🇩🇪 flag and more words to wrap\"]\n"
             "  b --> c[\"mixed عربي text and עברית and "
             "हिन्दी and ไทย Кириллица αβγ ﬁ ffi\"]\n",
             "graph TD\n  a[\"**bold** and *italic* words in a markdown label long enough to "
             "wrap\"] --> b[\"line one\nline two that is a good deal longer than the first "
             "one\"]\n  b --> c[\"x<br>y<br/>z\"]\n  c --> d[\" \"]\n  d -- \"an edge label "
             "that is rather long and will wrap\" --> e\n  e -->|short| f\n",
             "graph TD\n  classDef big font-size:22px,font-family:serif\n  a[\"A big serif label "
             "that wraps eventually\"]:::big --> b[\"`**Markdown** string with a *long* text "
             "that wraps`\"]\n  style b font-size:30px\n",
             "%%{init: {\"look\": \"handDrawn\"}}%%\ngraph TD\n  a[Hand drawn] --> b(Round)\n "
             " b --> c{A decision with a long question text?}\n  c -->|yes| d[\"two\nlines\"]\n "
             " c -->|no| e((Circle))\n",
             "stateDiagram-v2\n  [*] --> Still\n  Still --> Moving : a long transition label "
             "here\n  Moving --> [*]\n",
         })
        texts.append(QString::fromUtf8(text));
    const QString drawAll =
        QStringLiteral(R"JS(
        var seed = 1;
        Math.random = function () { seed = (seed * 16807) % 2147483647; return (seed - 1) / 2147483646; };
        mermaid.initialize({ startOnLoad: false, securityLevel: 'loose', theme: 'forest',
                             htmlLabels: false, deterministicIds: true,
                             flowchart: { htmlLabels: false, useMaxWidth: false } });
        var texts = %1;
        var pictures = [];
        for (var i = 0; i < texts.length; ++i) {
          try {
            pictures.push((await mermaid.render('qnt-same-' + i, texts[i])).svg);
          } catch (e) {
            pictures.push('error: ' + e);
          }
        }
        return JSON.stringify(pictures);
    )JS")
            .arg(QString::fromUtf8(QJsonDocument(texts).toJson(QJsonDocument::Compact)));
    QString fromPinned;
    {
        ScriptPage page(QUrl::fromLocalFile(pinned.filePath(QStringLiteral("seq.html"))));
        page.run(QntWebMermaidRenderer::pageSetUpScript());
        fromPinned = page.answer(drawAll);
    }
    ScriptPage page(QUrl::fromLocalFile(bundle + QStringLiteral("seq.html")));
    page.run(QntWebMermaidRenderer::pageSetUpScript());
    const QString fromEdited = page.answer(drawAll);
    const QJsonArray a = QJsonDocument::fromJson(fromPinned.toUtf8()).array();
    const QJsonArray b = QJsonDocument::fromJson(fromEdited.toUtf8()).array();
    ASSERT_EQ(a.size(), texts.size()) << fromPinned.left(300).toStdString();
    ASSERT_EQ(b.size(), texts.size()) << fromEdited.left(300).toStdString();
    for (qsizetype i = 0; i < a.size(); ++i) {
        SCOPED_TRACE(texts[i].toString().left(80).toStdString());
        EXPECT_TRUE(a[i].toString().startsWith("<svg")) << a[i].toString().left(200).toStdString();
        EXPECT_TRUE(a[i].toString() == b[i].toString());
    }
}

namespace {

// What a picture reads into, once its connectors are attached to the elements they name.
struct Reading {
    int elements = 0;
    int attached = 0;
    int containers = 0;
    QStringList labels;
    QStringList heads;
    QStringList names;
    // Per container: its text, and what it holds by the labels of messages and the
    // (bracketed) texts of frames.
    QStringList holdings;
    // Connectors lying on another: both ends on the same spots as the other's.
    int onAnother = 0;
    std::unique_ptr<VRObjectOwnerLayer> tree;
};

Reading readAndAttach(const QntMermaidRenderer::Result &result)
{
    Reading reading;
    const auto image = SVGKImage::imageWithData(result.svg.toUtf8());
    EXPECT_TRUE(image.ok()) << image.errorMessage().toStdString();
    if (!image.ok())
        return reading;
    reading.tree = (*image)->newVRTree();
    const auto named = [&](const QString &name) -> std::shared_ptr<QntElement> {
        for (const VRObjectRef &object : reading.tree->objects()) {
            if (object->isKindOf<QntElement>() && object->stringForKey("name") == name)
                return std::static_pointer_cast<QntElement>(object);
        }
        return nullptr;
    };
    for (const VRObjectRef &object : reading.tree->objects()) {
        if (object->isMemberOf<QntElement>()) {
            ++reading.elements;
            if (object->stringForKey("class").startsWith("cluster"))
                ++reading.containers;
            if (!object->stringForKey("name").isEmpty())
                reading.names.append(object->stringForKey("name"));
        }
        if (!object->isKindOf<QntConnector>())
            continue;
        const auto connector = std::static_pointer_cast<QntConnector>(object);
        const auto from = named(object->stringForKey("from"));
        const auto to = named(object->stringForKey("to"));
        if (from && to) {
            from->connectToTargetElement(to.get(), connector);
            if (connector->isAttachedTo(from.get()) && connector->isAttachedTo(to.get()))
                ++reading.attached;
            // A message to oneself loops out beside its lifeline.
            if (from == to)
                EXPECT_GE(connector->renderingPath().boundingRect().width(), 20);
        }
        if (!connector->label().plainText().isEmpty())
            reading.labels.append(connector->label().plainText());
        for (const char *end : {"startArrowheadId", "endArrowheadId"}) {
            const QVariant head = connector->skinOptions().value(end);
            if (head.metaType() == QMetaType::fromType<QString>())
                reading.heads.append(head.toString());
        }
    }
    const auto uidNamed = [&](const QString &uid) -> QString {
        for (const VRObjectRef &object : reading.tree->objects()) {
            if (object->stringForKey("uid") != uid)
                continue;
            if (object->isKindOf<QntConnector>())
                return static_cast<QntConnector &>(*object).label().plainText();
            if (object->isKindOf<QntElement>())
                return "[" + static_cast<QntElement &>(*object).text()->textBlock().plainText()
                       + "]";
        }
        return "?" + uid;
    };
    for (const VRObjectRef &object : reading.tree->objects()) {
        if (!object->isMemberOf<QntElement>()
            || !object->stringForKey("class").startsWith("cluster"))
            continue;
        QStringList held;
        for (const QString &uid : object->stringForKey("holds").split('\n', Qt::SkipEmptyParts))
            held.append(uidNamed(uid));
        held.sort();
        // The kind and the other sections' conditions are texts of the frame's own.
        QStringList own;
        for (const VRObjectRef &part : static_cast<QntElement &>(*object).groupObjects()) {
            if (part->isKindOf<QntText>())
                own.append(static_cast<QntText &>(*part).text()->textBlock().plainText());
        }
        own.sort();
        const auto *text = static_cast<QntElement &>(*object).text();
        reading.holdings.append((text ? text->textBlock().plainText() : QString()) + " ("
                                + own.join(", ") + "): " + held.join(", "));
    }
    QList<QSet<std::pair<const QntStickySpot *, int>>> ends;
    for (const VRObjectRef &object : reading.tree->objects()) {
        if (!object->isKindOf<QntConnector>())
            continue;
        const auto &connector = static_cast<QntConnector &>(*object);
        QSet<std::pair<const QntStickySpot *, int>> both;
        for (const QntConnectorEndPoint *end : {connector.startEndPoint(), connector.endEndPoint()})
            both.insert({end->targetStickySpot(), end->spotIndex()});
        if (!both.contains({nullptr, -1}) && ends.contains(both))
            ++reading.onAnother;
        ends.append(both);
    }
    reading.names.sort();
    reading.labels.sort();
    reading.heads.sort();
    reading.holdings.sort();
    return reading;
}

} // namespace

// Sequence, class and state diagrams come in as diagrams: their participants, classes and
// states elements, their messages, relations and transitions connectors attached to them.
TEST_F(WebMermaid, SequenceClassAndStateDiagramsBecomeDiagrams)
{
    const struct {
        QString text;
        int elements;
        int attached;
        int containers;
        QStringList names;
        QStringList labels;
        QStringList heads;
        QStringList holdings = {};
    } cases[] = {
        {"sequenceDiagram\n  participant A as Alice\n  actor B\n  A->>B: Hello\n"
         "  B-->>A: Hi\n  A-xB: lost\n  A-)B: later\n  A->>A: think\n  Note right of B: n\n"
         "  loop Every minute\n    A->>B: Ping\n  end\n",
         4,
         6,
         1,
         {"A", "B"},
         {"Hello", "Hi", "Ping", "later", "lost", "think"},
         {"cdHeadBar", "cdHeadFilled", "cdHeadFilled", "cdHeadFilled", "cdHeadFilled",
          "cdHeadOpen"},
         {"[Every minute] (loop): Ping"}},
        {"sequenceDiagram\n  A->B: plain\n  alt yes\n    A->>B: one\n  else no\n"
         "    B->>A: two\n  end\n  opt maybe\n    A->>B: three\n  end\n",
         4,
         4,
         2,
         {"A", "B"},
         {"one", "plain", "three", "two"},
         {"cdHeadFilled", "cdHeadFilled", "cdHeadFilled"},
         {"[maybe] (opt): three", "[yes] ([no], alt): one, two"}},
        {"sequenceDiagram\n  A->>B: a\n  loop L\n    A->>B: x\n    par P\n      B->>A: y\n"
         "    and Q\n      A->>B: z\n    end\n    A->>A: w\n  end\n",
         4,
         5,
         2,
         {"A", "B"},
         {"a", "w", "x", "y", "z"},
         {"cdHeadFilled", "cdHeadFilled", "cdHeadFilled", "cdHeadFilled", "cdHeadFilled"},
         {"[L] (loop): [[P]], w, x", "[P] ([Q], par): y, z"}},
        {"classDiagram\n  class Animal {\n    +String name\n    +eat() void\n  }\n"
         "  Animal <|-- Duck\n  Animal *-- Leg\n  Animal o-- Food\n  Duck --> Pond : swims\n"
         "  Duck ..> Water\n",
         6,
         5,
         0,
         {"Animal", "Duck", "Food", "Leg", "Pond", "Water"},
         {"swims"},
         {"cdHeadDiamondFilled", "cdHeadDiamondHollow", "cdHeadHollow", "cdHeadOpen",
          "cdHeadOpen"}},
        {"stateDiagram-v2\n  Idle --> Busy : start\n  Busy --> Idle : done\n",
         2,
         2,
         0,
         {"Busy", "Idle"},
         {"done", "start"},
         {"cdHeadFilled", "cdHeadFilled"}},
        {"classDiagram\n  Order --> Line\n  Line --> Order\n",
         2,
         2,
         0,
         {"Line", "Order"},
         {},
         {"cdHeadOpen", "cdHeadOpen"}},
        {"classDiagram\n  Customer \"1\" --> \"*\" Ticket\n",
         2,
         1,
         0,
         {"Customer", "Ticket"},
         {"1"},
         {"cdHeadOpen"}},
        {"stateDiagram-v2\n  [*] --> Still\n  Still --> Moving : push\n  state Moving {\n"
         "    [*] --> Slow\n    Slow --> [*]\n  }\n  Moving --> [*]\n",
         7,
         5,
         1,
         {"Moving", "Moving_end", "Moving_start", "Slow", "Still", "root_end", "root_start"},
         {"push"},
         {"cdHeadFilled", "cdHeadFilled", "cdHeadFilled", "cdHeadFilled", "cdHeadFilled"},
         {"Moving (): "}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const auto result = render(c.text);
        ASSERT_TRUE(result.ok()) << result.message.toStdString();
        const Reading reading = readAndAttach(result);
        EXPECT_EQ(reading.elements, c.elements);
        EXPECT_EQ(reading.attached, c.attached);
        EXPECT_EQ(reading.containers, c.containers);
        EXPECT_EQ(reading.names, c.names);
        EXPECT_EQ(reading.labels, c.labels);
        EXPECT_EQ(reading.heads, c.heads);
        EXPECT_EQ(reading.onAnother, 0);
        EXPECT_EQ(reading.holdings.join(" | ").toStdString(), c.holdings.join(" | ").toStdString());
    }
}

// A frame's condition sits where Mermaid draws it, right of the frame's middle beside the
// frame's kind, not in the middle.
TEST_F(WebMermaid, AFrameConditionSitsWhereMermaidDrawsIt)
{
    const auto result = render("sequenceDiagram\n  A->>B: a\n  loop Every minute\n"
                               "    A->>B: Ping\n  end\n");
    ASSERT_TRUE(result.ok()) << result.message.toStdString();
    // Mermaid's own: the condition's anchor (its middle) against the frame's middle.
    double left = qInf(), right = -qInf(), anchor = qQNaN();
    QXmlStreamReader svg(result.svg);
    while (svg.readNextStartElement() || !svg.atEnd()) {
        if (!svg.isStartElement())
            continue;
        const QStringList classes = svg.attributes().value("class").toString().split(' ');
        if (svg.name() == u"line" && classes.contains("loopLine")) {
            for (const char *x : {"x1", "x2"}) {
                left = std::min(left, svg.attributes().value(x).toDouble());
                right = std::max(right, svg.attributes().value(x).toDouble());
            }
        }
        if (svg.name() == u"text" && classes.contains("loopText"))
            anchor = svg.attributes().value("x").toDouble();
    }
    ASSERT_TRUE(std::isfinite(anchor) && left < right);
    const double lean = anchor - (left + right) / 2;
    ASSERT_GT(lean, 10);

    const Reading reading = readAndAttach(result);
    int frames = 0;
    for (const VRObjectRef &object : reading.tree->objects()) {
        if (!object->isMemberOf<QntElement>()
            || object->stringForKey("class") != QLatin1String("cluster frame"))
            continue;
        ++frames;
        const auto &frame = static_cast<QntElement &>(*object);
        const VRTextBlock block = frame.text()->textBlock();
        const auto area = frame.text()->textFrame();
        ASSERT_TRUE(area.has_value());
        const double width = block.naturalSize().width();
        const double middle = block.alignment() == 1   ? area->right() - width / 2
                              : block.alignment() == 0 ? area->left() + width / 2
                                                       : area->center().x();
        EXPECT_NEAR(middle - frame.location().x(), lean, 2);
    }
    EXPECT_EQ(frames, 1);
}

// The texts of a picture come in where the page draws them, in the widths it gives them: a pie's
// title centred over the pie, its legend beside it, its slices' shares on them, short or long.
TEST_F(WebMermaid, APiesTextsSitWhereThePageDrawsThem)
{
    const QStringList texts{
        "pie title Pets adopted by volunteers\n  \"Dogs\" : 386\n  \"Cats\" : 85\n",
        "pie showData\n  title Key elements in Product X\n  \"Calcium\" : 42.96\n"
        "  \"Potassium\" : 50.05\n  \"Iron\" : 5\n",
        "pie\n  title A title far wider than the whole pie chart it names, on and on\n"
        "  \"A\" : 1\n  \"B\" : 2\n",
    };
    ScriptPage page;
    for (const QString &text : texts) {
        SCOPED_TRACE(text.toStdString());
        const auto result = render(text);
        ASSERT_TRUE(result.ok()) << result.message.toStdString();
        // Each text's box in the picture's own units, from its top left corner.
        const QString script =
            QStringLiteral(
                "document.body.innerHTML = %1;"
                "const svg = document.querySelector('svg');"
                "const box = svg.viewBox.baseVal;"
                "return JSON.stringify([...svg.querySelectorAll('text')].map(t => {"
                "  const b = t.getBBox(), m = t.getCTM();"
                "  return [t.textContent, b.x + m.e - box.x, b.y + m.f - box.y, b.width, b.height];"
                "}));")
                .arg(QString::fromUtf8(
                         QJsonDocument(QJsonArray{result.svg}).toJson(QJsonDocument::Compact))
                         .mid(1)
                         .chopped(1));
        const QJsonArray drawn = QJsonDocument::fromJson(page.answer(script).toUtf8()).array();
        ASSERT_GE(drawn.size(), 5);
        const auto tree = (*SVGKImage::imageWithData(result.svg.toUtf8()))->newVRTree();
        for (const QJsonValue &value : drawn) {
            const QJsonArray web = value.toArray();
            const QString words = web.at(0).toString();
            SCOPED_TRACE(words.toStdString());
            const QRectF there(web.at(1).toDouble(), web.at(2).toDouble(), web.at(3).toDouble(),
                               web.at(4).toDouble());
            VRObjectRef ours;
            for (const VRObjectRef &object : tree->objects()) {
                if (object->textContent().toPlainText() == words)
                    ours = object;
            }
            ASSERT_TRUE(ours);
            // Our text boxes keep a point of room on each side.
            const QRectF here = ours->logicalBounds();
            EXPECT_NEAR(here.left(), there.left(), 3);
            EXPECT_NEAR(here.right(), there.right(), 3);
            EXPECT_NEAR(here.center().y(), there.center().y(), 2);
        }
    }
}
