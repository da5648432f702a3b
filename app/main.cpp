#include "app/launch/QntApplicationMain.h"
#include "library/webengine/QntWebMermaidRenderer.h"

int main(int argc, char **argv)
{
    // Mermaid renders in a web engine, which must be prepared before the application object.
    QntWebMermaidRenderer::prepareApplication();
    QntMermaidRenderer::setFactory(&QntWebMermaidRenderer::create);
    return QntApplicationMain(argc, argv);
}
