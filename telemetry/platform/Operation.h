#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tel {

// A unit of work for an OperationQueue, with dependencies, cancellation and a completion
// block. The base runs `main()` synchronously inside `start()`. A subclass whose work ends
// later overrides isAsynchronous/isExecuting/isFinished, keeps its own flags and announces
// each change with willChangeValueForKey / didChangeValueForKey ("isExecuting", "isFinished"),
// as key-value observers expect. Thread-safe.
class Operation : public std::enable_shared_from_this<Operation>
{
public:
    // Called before (prior = true) and after (prior = false) a change of the named key.
    using KeyObserver = std::function<void(const std::string &key, bool prior)>;

    Operation() = default;
    virtual ~Operation() = default;
    Operation(const Operation &) = delete;
    Operation &operator=(const Operation &) = delete;

    virtual void start();
    virtual void main() {}
    virtual bool isAsynchronous() const { return false; }
    virtual bool isExecuting() const { return m_executing.load(); }
    virtual bool isFinished() const { return m_finished.load(); }
    bool isCancelled() const { return m_cancelled.load(); }
    virtual void cancel();
    // All dependencies finished.
    bool isReady() const;

    void addDependency(const std::shared_ptr<Operation> &operation);
    std::vector<std::shared_ptr<Operation>> dependencies() const;

    // Runs once, on a completion thread of the client, after the operation has finished.
    void setCompletionBlock(std::function<void()> block);
    void setName(std::string name);
    std::string name() const;

    // Blocks until isFinished.
    void waitUntilFinished();

    int addKeyObserver(KeyObserver observer);
    void removeKeyObserver(int id);

protected:
    void willChangeValueForKey(const std::string &key);
    void didChangeValueForKey(const std::string &key);

private:
    friend class OperationQueue;
    // Queue hook: runs once the operation reports itself finished.
    void addFinishListener(std::function<void()> listener);
    void notifyIfFinished();

    std::atomic<bool> m_executing{false};
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_cancelled{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_finishedCondition;
    std::vector<std::shared_ptr<Operation>> m_dependencies;
    std::function<void()> m_completionBlock;
    std::vector<std::function<void()>> m_finishListeners;
    std::vector<std::pair<int, KeyObserver>> m_keyObservers;
    int m_nextObserverId = 1;
    bool m_finishAnnounced = false;
    std::string m_name;
};

// An operation made of one block.
class BlockOperation : public Operation
{
public:
    explicit BlockOperation(std::function<void()> block)
        : m_block(std::move(block))
    {
    }
    void main() override
    {
        if (m_block)
            m_block();
    }

private:
    std::function<void()> m_block;
};

} // namespace tel
