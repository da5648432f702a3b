#pragma once

#include "library/mermaid/QntMermaidRenderer.h"

#include <QString>
#include <QtPlugin>

#include <memory>

// What the Mermaid plugin (target qnt_mermaid, the only one that links a web engine) gives the
// application: renderers. The plugin is loaded on the first Mermaid build, so a launch, and
// every document that never builds Mermaid text, runs without a web engine.
class QntMermaidRendererPlugin
{
public:
    virtual ~QntMermaidRendererPlugin() = default;
    virtual std::unique_ptr<QntMermaidRenderer> createRenderer() = 0;
};

#define QntMermaidRendererPlugin_iid "org.quintora.MermaidRendererPlugin/1"
Q_DECLARE_INTERFACE(QntMermaidRendererPlugin, QntMermaidRendererPlugin_iid)

// Finds and loads the Mermaid plugin: plugins/libqnt_mermaid.so beside the executable
// (QNT_PLUGIN_DIR names another folder).
namespace QntMermaidPlugin {

// The web engine runs without background networking, which must be set before the application
// object exists, long before the plugin is loaded.
void prepareApplication();

// The web engine shares OpenGL contexts with the application: the context they share is made
// just before the plugin is loaded (made at launch, it would start the OpenGL driver in every
// process, Mermaid or not). Does nothing once there is one.
void prepareSharedOpenGLContext();

// The folder the plugin is loaded from, and the plugin's file in it.
QString pluginFolder();
QString pluginPath();

// A renderer of the plugin, loading the plugin on the first call; null when it cannot be
// loaded, and errorString() then says why.
std::unique_ptr<QntMermaidRenderer> createRenderer();
QString errorString();

// True once the plugin is loaded (it stays loaded until the process ends).
bool isLoaded();

} // namespace QntMermaidPlugin
