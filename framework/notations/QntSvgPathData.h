#pragma once

#include <QPainterPath>
#include <QString>

#include <optional>

// SVG path data ("M 0 0 L 10 0 A 5 5 0 0 1 ...") as used by notation sources and stencil files.
// All commands, absolute and relative. Malformed data gives nullopt, never a partial path.
class QntSvgPathData
{
public:
    static std::optional<QPainterPath> parse(const QString &data, QString *errorMessage = nullptr);
};
