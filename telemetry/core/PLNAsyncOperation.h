#pragma once

#include "telemetry/platform/Operation.h"
#include "telemetry/platform/TelemetryError.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>

// Base of the client's operations whose work ends later (in a callback or on another thread).
// A subclass puts its work in main() and ends every run with finishWithError (or markDone).
// The executing and finished flags live under a recursive lock; their changes are announced
// to key observers ("isExecuting", then "isFinished") while the lock is held.
// Finishing twice, even from two threads at once, has no further effect: the completion runs once
// (for the first call), the flags change once.
class PLNAsyncOperation : public tel::Operation
{
public:
    using Completion = std::function<void(const std::optional<tel::TelemetryError> &error)>;

    PLNAsyncOperation();

    bool isConcurrent() const { return true; }
    bool isAsynchronous() const override { return true; }
    bool isExecuting() const override;
    bool isFinished() const override;

    void start() override;
    void finishWithError(const std::optional<tel::TelemetryError> &error);
    // True (after marking the operation done) when it has been cancelled.
    bool checkForCancellation();
    void markStarted();
    void markDone();
    void lock(const std::function<void()> &block) const;
    void changeValueForKey(const std::string &key, const std::function<void()> &block);

    void setAsyncCompletion(Completion completion);
    // "com.quintora.telemetry.<class name>-lock".
    std::string lockName() const { return "com.quintora.telemetry." + className() + "-lock"; }

protected:
    // The class name used in the lock's name; subclasses answer their own.
    virtual std::string className() const { return "PLNAsyncOperation"; }

private:
    mutable std::recursive_mutex m_lock;
    bool internalExecuting = false;
    bool internalFinished = false;
    bool finishClaimed = false; // a finishWithError call is under way or done
    Completion asyncCompletion;
};
