#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <optional>

// Typed property lists through libplist. Values map one to one:
//   bool <-> <true/>/<false/>, qint64 (and the other integer types) <-> <integer>, quint64
//   above the qint64 range <-> <integer> in unsigned form, double <-> <real>,
//   QString <-> <string>, QByteArray <-> <data>, QDateTime <-> <date> (whole seconds in XML),
//   QVariantMap <-> <dict>, QVariantList/QStringList <-> <array>.
// Anything else cannot be stored and is reported, never guessed.
class PropertyList
{
public:
    // The XML form of a value, or nothing (with a reason in *error) if it holds a type
    // that a property list cannot carry.
    static std::optional<QByteArray> toXml(const QVariant &value, QString *error = nullptr);

    static constexpr qsizetype kMaximumBytes = qsizetype(64) * 1024 * 1024;
    static constexpr int kMaximumDepth = 64;

    // Reads XML property-list bytes; nothing (with a reason in *error) when the bytes are not
    // one, hold a NUL character, or nest containers deeper than kMaximumDepth.
    static std::optional<QVariant> fromData(const QByteArray &data, QString *error = nullptr);
    // Reads XML property-list bytes (also a bare root element without <plist>), for callers that
    // choose which texts they accept; nothing (with a reason in *error) when unreadable, holding a
    // NUL character or nested deeper than kMaximumDepth.
    static std::optional<QVariant> fromXml(const QByteArray &data, QString *error = nullptr);

    // Whether a value (recursively) consists only of storable types.
    static bool isStorable(const QVariant &value);
};
