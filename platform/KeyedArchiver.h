#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>

#include <optional>

// Colours and fonts as data, for the user defaults and stored dictionaries. The data is a
// small typed property list naming what it holds; reading accepts only that, never an
// arbitrary object.
class KeyedArchiver
{
public:
    static QByteArray archivedDataWithColor(const QColor &colour);
    static std::optional<QColor> unarchiveColor(const QByteArray &data);

    static QByteArray archivedDataWithFont(const QFont &font);
    static std::optional<QFont> unarchiveFont(const QByteArray &data);
};
