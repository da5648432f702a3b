#pragma once

#include <QString>

#include <functional>
#include <memory>

// Turns Mermaid text into an SVG picture. The application renders with the pinned Mermaid
// script in an off-screen web page (target qnt_mermaid, the only one that links a web engine);
// the rest of the application sees only this interface, so its tests run without a web engine.
class QntMermaidRenderer
{
public:
    struct Result {
        // The rendered picture; empty when rendering failed.
        QString svg;
        // Why rendering failed: the text does not parse, the diagram is too large, the page
        // did not load or did not answer in time.
        enum class Failure { None, Syntax, TooLarge, Page } failure = Failure::None;
        QString message;
        // Where a render's time went, in milliseconds, when the renderer knows it: Mermaid's
        // own drawing of the picture, and naming its nodes and edge ends afterwards.
        double mermaidMs = 0;
        double namingMs = 0;
        // Where a text that does not parse goes wrong, as Mermaid tells it: the line (1 for the
        // first) and the column (1 for the first); 0 when Mermaid did not say.
        int errorLine = 0;
        int errorColumn = 0;
        bool ok() const { return failure == Failure::None && !svg.isEmpty(); }
    };
    using Completion = std::function<void(const Result &result)>;
    using Factory = std::function<std::unique_ptr<QntMermaidRenderer>()>;

    virtual ~QntMermaidRenderer() = default;

    // Renders the text with the host page (which loads the Mermaid script beside it) and the
    // stylesheet's rules added to the picture. The completion runs later on the calling
    // thread's event loop, exactly once, unless the renderer is destroyed first. A second
    // render while one runs supersedes it: the first completion then reports a page failure.
    virtual void render(const QString &hostPagePath, const QString &text, const QString &stylesheet,
                        Completion completion) = 0;

    // The renderer the application makes on first use; tests set their own and restore the
    // previous one.
    static Factory factory();
    static void setFactory(Factory factory);
    // A renderer of the current factory; null when none is set.
    static std::unique_ptr<QntMermaidRenderer> create();
};
