#include "app/launch/QntApplicationMain.h"
#include "library/mermaid/QntMermaidPlugin.h"

int main(int argc, char **argv)
{
    // Mermaid renders in a web engine, loaded with its plugin on the first Mermaid build; the
    // engine's settings must be made before the application object.
    QntMermaidPlugin::prepareApplication();
    QntMermaidRenderer::setFactory(&QntMermaidPlugin::createRenderer);
    return QntApplicationMain(argc, argv);
}
