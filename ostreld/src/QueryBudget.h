#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

#include <libxml/xpath.h>

namespace ostreld {

// Why an evaluation was stopped before it ended by itself.
enum class StopReason { None, TimeUp, ClientGone, ShuttingDown };

// One thread that watches every running XPath evaluation and stops those that run past the
// limit, whose client has gone, or all of them when the server shuts down.
class QueryBudget {
public:
    explicit QueryBudget(std::chrono::milliseconds limit);
    ~QueryBudget();
    QueryBudget(const QueryBudget &) = delete;
    QueryBudget &operator=(const QueryBudget &) = delete;

    std::chrono::milliseconds limit() const { return m_limit; }
    // From now on every evaluation, running or new, stops at once.
    void stopAll();

    struct Entry;
    // Watches an evaluation in ctx for as long as the Watch lives; clientGone is polled from
    // the watching thread (it may be empty).
    class Watch {
    public:
        Watch(QueryBudget &budget, xmlXPathContextPtr ctx, std::function<bool()> clientGone);
        ~Watch();
        Watch(const Watch &) = delete;
        Watch &operator=(const Watch &) = delete;
        StopReason reason() const;

    private:
        QueryBudget &m_budget;
        std::list<Entry>::iterator m_entry;
    };

    struct Entry {
        xmlXPathContextPtr ctx;
        std::function<bool()> clientGone;
        std::chrono::steady_clock::time_point deadline;
        StopReason reason = StopReason::None;
    };

private:
    void run();
    static void interrupt(Entry &e, StopReason why);

    const std::chrono::milliseconds m_limit;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::list<Entry> m_running;
    bool m_stopAll = false;
    bool m_quit = false;
    std::thread m_thread;
};

} // namespace ostreld
