#include "library/mermaid/QntMermaidPlugin.h"
#include "library/webengine/QntWebMermaidRenderer.h"

#include <QObject>

// The plugin the application loads on its first Mermaid build: renderers in off-screen web
// pages.
class QntWebMermaidPlugin : public QObject, public QntMermaidRendererPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QntMermaidRendererPlugin_iid)
    Q_INTERFACES(QntMermaidRendererPlugin)
public:
    std::unique_ptr<QntMermaidRenderer> createRenderer() override
    {
        return std::make_unique<QntWebMermaidRenderer>();
    }
};

#include "QntWebMermaidPlugin.moc"
