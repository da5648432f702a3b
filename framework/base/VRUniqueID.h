#pragma once

#include <QString>

// Fresh identifiers for styles, imported elements and generated objects.
class VRUniqueID
{
public:
    // A new UUID, upper-case, without braces.
    static QString uniqueKey();
};
