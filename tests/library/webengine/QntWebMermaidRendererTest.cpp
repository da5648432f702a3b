#include "library/webengine/QntWebMermaidRenderer.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRObjectOwnerLayer.h"
#include "framework/styles/VRStyle.h"
#include "framework/svg/SVGKImage.h"
#include "platform/QntPaths.h"
#include "common/WaitUntil.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
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
// engine is the slow part.
class WebMermaid : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { s_renderer = new QntWebMermaidRenderer; }
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

    static inline QntWebMermaidRenderer *s_renderer = nullptr;
};

} // namespace

TEST_F(WebMermaid, AFlowchartComesBackWithNamedNodesAndEdgeEnds)
{
    const auto result = render(mermaidText("flow-TD.mmd"));
    ASSERT_TRUE(result.ok()) << result.message.toStdString();
    EXPECT_FALSE(result.svg.contains("foreignObject")); // plain SVG labels
    const auto image = SVGKImage::imageWithData(result.svg.toUtf8());
    ASSERT_TRUE(image.ok()) << image.errorMessage().toStdString();
    const auto tree = (*image)->newVRTree();
    QStringList names;
    QStringList edges;
    for (const VRObjectRef &object : tree->objects()) {
        if (object->isMemberOf<QntElement>())
            names.append(object->stringForKey("name"));
        if (object->isKindOf<QntConnector>())
            edges.append(object->stringForKey("from") + ">" + object->stringForKey("to"));
    }
    names.sort();
    edges.sort();
    EXPECT_EQ(names, QStringList({"A", "B", "C", "D", "E", "F", "G", "H", "S1"}));
    EXPECT_EQ(edges, QStringList({"A>B", "B>C", "C>D", "D>E", "E>F", "E>G", "F>H", "G>H"}));
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
