#pragma once

#include "framework/model/VRDrawableObject.h"
#include "framework/view/VRToolRegistry.h"

#include <QHash>
#include <QStringList>

#include <memory>

// Header-only: the test mains of this folder do not link the framework.
namespace qnt::test {

// Registers one creation tool per prototype in the shared tool registry for as long as it
// lives; then the tools those names had before are back, or the names are free again.
class ScopedCreationTools
{
public:
    explicit ScopedCreationTools(const VRObjectList &prototypes)
    {
        for (const VRObjectRef &prototype : prototypes)
            if (prototype && !prototype->ID().isEmpty())
                m_earlier.insert(prototype->ID(), registry().toolRefWithName(prototype->ID()));
        m_names = registry().registerCreationToolsForPrototypes(prototypes);
    }
    ~ScopedCreationTools()
    {
        for (auto it = m_earlier.cbegin(); it != m_earlier.cend(); ++it) {
            if (it.value())
                registry().registerDrawingTool(it.value(), it.key());
            else
                registry().unregisterDrawingTool(it.key());
        }
    }
    ScopedCreationTools(const ScopedCreationTools &) = delete;
    ScopedCreationTools &operator=(const ScopedCreationTools &) = delete;

    // The tool names, one per prototype with an ID, in order.
    const QStringList &names() const { return m_names; }

private:
    static VRToolRegistry &registry() { return VRToolRegistry::sharedToolRegistry(); }

    QHash<QString, std::shared_ptr<VRDrawingTool>> m_earlier;
    QStringList m_names;
};

} // namespace qnt::test
