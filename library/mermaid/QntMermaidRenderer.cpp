#include "library/mermaid/QntMermaidRenderer.h"

namespace {
QntMermaidRenderer::Factory &currentFactory()
{
    static QntMermaidRenderer::Factory factory;
    return factory;
}
} // namespace

QntMermaidRenderer::Factory QntMermaidRenderer::factory()
{
    return currentFactory();
}

void QntMermaidRenderer::setFactory(Factory factory)
{
    currentFactory() = std::move(factory);
}

std::unique_ptr<QntMermaidRenderer> QntMermaidRenderer::create()
{
    return currentFactory() ? currentFactory()() : nullptr;
}
