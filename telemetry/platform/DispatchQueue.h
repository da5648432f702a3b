#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tel {

// A queue of blocks run by worker threads of its own: serial (width 1, blocks run one at a
// time in order) or concurrent (width > 1). Workers start with the first block; their thread
// name is the end of the label (for thread listings and crash records).
// Every member is thread-safe. Destroying a queue runs the blocks still queued, then joins;
// once the process is exiting (ExitGate closed) it lets its workers go without waiting.
class DispatchQueue
{
public:
    explicit DispatchQueue(std::string label, int width = 1);
    ~DispatchQueue();
    DispatchQueue(const DispatchQueue &) = delete;
    DispatchQueue &operator=(const DispatchQueue &) = delete;

    const std::string &label() const { return m_label; }
    int width() const { return m_width; }

    void async(std::function<void()> block);
    // Runs the block on the queue and waits for it. Called from a worker of this queue, the
    // block runs at once on the caller's thread (where a serial queue would otherwise deadlock).
    void sync(const std::function<void()> &block);
    // Runs the block on the queue after `seconds` (through the timer thread).
    void asyncAfter(double seconds, std::function<void()> block);

    // Whether the calling thread is a worker of this queue.
    bool isCurrent() const;
    // The queue whose worker runs the calling thread, or null.
    static DispatchQueue *current();
    // Label of the queue that runs the calling thread, or null.
    static const char *currentLabel();

    // The shared default-priority concurrent queue. Never destroyed.
    static DispatchQueue &global();

private:
    void workerLoop();

    std::string m_label;
    int m_width = 1;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_blocks;
    std::vector<std::thread> m_workers;
    int m_idle = 0;
    bool m_stopping = false;
};

} // namespace tel
