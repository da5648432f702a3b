#include "library/mermaid/QntMermaidPlugin.h"
#include "library/webengine/QntWebMermaidRenderer.h"
#include "platform/QntPaths.h"
#include "common/QtTestProgram.h"
#include "common/WaitUntil.h"

// The main of the web renderer's tests: the web engine is prepared before the application
// object exists, as the application's main does, and before its first page, as loading the
// plugin does; it is started once before the first test (its
// start sets environment variables of its own, which no test should be blamed for).
int main(int argc, char **argv)
{
    QntMermaidPlugin::prepareApplication();
    return qnt::test::runQtTestProgram(argc, argv, [] {
        // The renderer is made here without the plugin, which would make the context it shares.
        QntMermaidPlugin::prepareSharedOpenGLContext();
        QntWebMermaidRenderer renderer;
        bool done = false;
        renderer.render(QntPaths::bundleResourcesPath() + QStringLiteral("/Mermaid/seq.html"),
                        QStringLiteral("graph TD\n  A --> B\n"), QString(),
                        [&done](const QntMermaidRenderer::Result &) { done = true; });
        qnt::test::waitUntil([&done] { return done; }, std::chrono::seconds(60));
    });
}
