#pragma once

#include "framework/notations/QntNotation.h"
#include "framework/view/VRToolRegistry.h"

#include <QHash>

// Header-only: the test mains of this folder do not link the framework.
namespace qnt::test {

// Keeps the shared tool registry's built-in library lists as they are now and gives them back
// when it ends.
class BuiltinLibrariesKeeper
{
public:
    BuiltinLibrariesKeeper()
    {
        for (const QString &name : QntNotation::builtinLibraryNames())
            m_earlier.insert(name, registry().prototypesForGroup(name));
    }
    ~BuiltinLibrariesKeeper()
    {
        for (auto it = m_earlier.cbegin(); it != m_earlier.cend(); ++it) {
            registry().removeGroup(it.key());
            if (!it.value().isEmpty())
                registry().setPrototypesForGroup(it.key(), it.value());
        }
    }
    BuiltinLibrariesKeeper(const BuiltinLibrariesKeeper &) = delete;
    BuiltinLibrariesKeeper &operator=(const BuiltinLibrariesKeeper &) = delete;

    static VRToolRegistry &registry() { return VRToolRegistry::sharedToolRegistry(); }

private:
    QHash<QString, VRObjectList> m_earlier;
};

// Registers the built-in libraries of the installed notations, as the application does at
// launch, for the life of the object.
class ScopedBuiltinLibraries : public BuiltinLibrariesKeeper
{
public:
    ScopedBuiltinLibraries() { QntNotation::registerBuiltinLibraries(); }
};

} // namespace qnt::test
