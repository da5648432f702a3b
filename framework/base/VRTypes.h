#pragma once

// Shared handle types and small value types of the framework.

#include <QList>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <optional>
#include <utility>

class VRDrawableObject;
class VRStyle;
class VRLayer;
class VRDrawing;
class VRUndoManager;

using VRObjectRef = std::shared_ptr<VRDrawableObject>;
using VRObjectList = QList<VRObjectRef>;
using VRStyleRef = std::shared_ptr<VRStyle>;
using VRLayerRef = std::shared_ptr<VRLayer>;

// The null marker of dictionaries (distinct from an absent key); JSON null in files.
struct VRNull {
    bool operator==(const VRNull &) const { return true; }
};

// A failure with a message a user can read.
struct VRError {
    QString message;
};

// Expected-style result of an operation that can fail.
template <class T> class VRResult
{
public:
    VRResult(T value)
        : m_value(std::move(value))
    {
    }
    VRResult(VRError error)
        : m_error(std::move(error.message))
    {
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T &value() const { return *m_value; }
    T &value() { return *m_value; }
    const T *operator->() const { return &*m_value; }
    const T &operator*() const { return *m_value; }
    const QString &errorMessage() const { return m_error; }

private:
    std::optional<T> m_value;
    QString m_error;
};

template <> class VRResult<void>
{
public:
    VRResult() = default;
    VRResult(VRError error)
        : m_ok(false)
        , m_error(std::move(error.message))
    {
    }

    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    const QString &errorMessage() const { return m_error; }

private:
    bool m_ok = true;
    QString m_error;
};

// Logs a broken precondition and recovers with the given statement, which may be `return`,
// `continue` or `break` of the enclosing function or loop (no do-while of its own to capture them).
#define VR_ASSERT(cond, action)                                                                    \
    if (Q_LIKELY(cond)) {                                                                          \
    } else {                                                                                       \
        qWarning("vr: assertion \"%s\" failed at %s:%d", #cond, __FILE__, __LINE__);               \
        action;                                                                                    \
    }                                                                                              \
    do {                                                                                           \
    } while (false)
