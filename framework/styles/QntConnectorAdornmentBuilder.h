#pragma once

#include <QString>

// What connectors are drawn with when their notation names no body of its own.
class QntConnectorAdornmentBuilder
{
public:
    // The body id of a plain connector: the line drawn with the connector's own style, with no
    // body element of a notation.
    static QString defaultAdornmentId();
};
