#pragma once

#include <QString>

// What the news window asks its delegate.
class QXNewsDelegate
{
public:
    virtual ~QXNewsDelegate() = default;
    // The value of the "options" query parameter of a news request.
    virtual QString optionsForQXNews() = 0;
};
