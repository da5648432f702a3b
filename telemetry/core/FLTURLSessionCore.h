#pragma once

// Internal to FLTURLSession: the transfer thread and its state. Not for other callers.

#include "telemetry/core/FLTURLSessionDelegate.h"
#include "telemetry/core/FLTURLSessionTask.h"

#include "telemetry/core/PLNCertificatePinner.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class FLTURLSession;

namespace flt::detail {

struct Transfer;

struct SessionCore : std::enable_shared_from_this<SessionCore> {
    SessionCore();
    ~SessionCore();

    void start(const std::shared_ptr<FLTURLSessionTask> &task);
    void cancel(const std::shared_ptr<FLTURLSessionTask> &task);
    void post(std::function<void()> call);
    void wake();
    void run();

    // Worker thread only.
    void beginTransfer(const std::shared_ptr<FLTURLSessionTask> &task);
    void finishTransfer(Transfer *transfer, int curlCode);
    void complete(const std::shared_ptr<FLTURLSessionTask> &task, std::optional<std::string> data,
                  std::optional<FLTHTTPURLResponse> response,
                  std::optional<tel::TelemetryError> error);
    std::shared_ptr<FLTURLSessionDelegate> currentDelegate();

    std::mutex mutex;
    FLTURLSession *owner = nullptr;
    std::shared_ptr<FLTURLSessionDelegate> delegate;      // dropped on invalidation
    std::shared_ptr<FLTURLSessionDelegate> trustDelegate; // kept for the session's life
    // The pinners of default handling; kept while their TLS contexts may still call them.
    std::vector<std::unique_ptr<PLNCertificatePinner>> defaultPinners;
    std::string sessionDescription;
    std::vector<std::shared_ptr<FLTURLSessionTask>> taskSet;
    std::deque<std::shared_ptr<FLTURLSessionTask>> toStart;
    std::vector<std::shared_ptr<FLTURLSessionTask>> toCancel;
    std::deque<std::function<void()>> calls;
    bool invalidated = false;
    bool stopping = false;

    // Worker thread only.
    void *openTransfers(); // opens libcurl and makes the multi handle; null when it cannot

    // CURLM*, made by the worker thread on its first transfer; until then wake() signals
    // wakeCondition instead.
    std::atomic<void *> multi = nullptr;
    std::condition_variable wakeCondition;
    std::map<void *, std::unique_ptr<Transfer>> running;
    std::thread thread;
};

} // namespace flt::detail
