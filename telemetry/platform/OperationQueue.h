#pragma once

#include "Operation.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tel {

class DispatchQueue;

// Runs operations on threads of its own once their dependencies have finished, at most
// `maxConcurrentOperationCount` at a time (1 makes a serial queue; operations then start in
// the order they were added). An asynchronous operation holds its slot until it reports
// itself finished. Thread-safe. Destroying the queue waits for the operations it holds.
class OperationQueue
{
public:
    static constexpr int kDefaultMaxConcurrentOperationCount = -1; // 4 workers

    explicit OperationQueue(std::string name = {},
                            int maxConcurrentOperationCount = kDefaultMaxConcurrentOperationCount);
    ~OperationQueue();
    OperationQueue(const OperationQueue &) = delete;
    OperationQueue &operator=(const OperationQueue &) = delete;

    std::string name() const;
    int maxConcurrentOperationCount() const { return m_maxConcurrent; }

    void addOperation(const std::shared_ptr<Operation> &operation);
    std::shared_ptr<Operation> addOperationWithBlock(std::function<void()> block);
    void addOperations(const std::vector<std::shared_ptr<Operation>> &operations,
                       bool waitUntilFinished);
    void cancelAllOperations();
    void waitUntilAllOperationsAreFinished();
    // Operations added and not yet finished.
    std::vector<std::shared_ptr<Operation>> operations() const;
    std::size_t operationCount() const;

    // The queue whose worker runs the calling thread (inside an operation's start), or null.
    static OperationQueue *currentQueue();

private:
    struct State;
    static void schedule(const std::shared_ptr<State> &state);

    int m_maxConcurrent;
    std::shared_ptr<State> m_state;
};

} // namespace tel
