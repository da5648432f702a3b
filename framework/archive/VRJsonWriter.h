#pragma once

#include <QJsonValue>
#include <QLatin1String>
#include <QString>

#include <initializer_list>

// Writes JSON values one after another: a record writes its fields straight into whatever the
// writer builds (compact text for files, a QJsonObject for copies and comparisons). Inside an
// object every value follows its key; a key written twice keeps its last value, as with
// QJsonObject::insert.
class VRJsonWriter
{
public:
    virtual ~VRJsonWriter() = default;

    // Keys: literal keys are plain ASCII.
    virtual void key(QLatin1String key) = 0;
    virtual void key(const QString &key) = 0;

    // Values (after a key inside an object, or as the next item of an array).
    virtual void value(bool v) = 0;
    virtual void value(qint64 v) = 0;
    virtual void value(double v) = 0;
    virtual void value(const QString &v) = 0;
    virtual void value(QLatin1String v) = 0;
    virtual void value(const QJsonValue &v) = 0;
    virtual void null() = 0;
    void value(int v) { value(qint64(v)); }
    void value(std::nullptr_t) { null(); }
    void value(const char *) = delete; // would turn into a bool
    // An array of numbers: points, sizes, rects.
    void numbers(std::initializer_list<double> values);

    // Containers as the next value; end() closes the innermost one.
    virtual void beginObject() = 0;
    virtual void beginArray() = 0;
    virtual void end() = 0;
    // Drops a field the open object already holds.
    virtual void remove(QLatin1String key) = 0;

    // Key and value together.
    template <typename T> void insert(const char *key, const T &v)
    {
        this->key(QLatin1String(key));
        value(v);
    }
    void insert(const char *key, std::initializer_list<double> values)
    {
        this->key(QLatin1String(key));
        numbers(values);
    }
    void insert(const char *key, const char *v) = delete;
    void beginObject(const char *key)
    {
        this->key(QLatin1String(key));
        beginObject();
    }
    void beginArray(const char *key)
    {
        this->key(QLatin1String(key));
        beginArray();
    }
};
