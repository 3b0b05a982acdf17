#include "QueryBudget.h"

#include <atomic>

namespace ostreld {

namespace {
// Often enough that a stopped query frees its thread well within a second.
constexpr auto kTick = std::chrono::milliseconds(25);
} // namespace

QueryBudget::QueryBudget(std::chrono::milliseconds limit) : m_limit(limit), m_thread([this] { run(); }) {}

QueryBudget::~QueryBudget()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void QueryBudget::stopAll()
{
    std::lock_guard lock(m_mutex);
    m_stopAll = true;
    for (Entry &e : m_running) interrupt(e, StopReason::ShuttingDown);
}

// libxml2 has no way to cancel an evaluation, but it checks its operation limit at every
// step: lowering the limit to 1 makes the evaluation fail with XPATH_OP_LIMIT_EXCEEDED at
// its next step. The evaluating thread only reads the word.
void QueryBudget::interrupt(Entry &e, StopReason why)
{
    if (e.reason != StopReason::None) return;
    e.reason = why;
    std::atomic_ref<unsigned long>(e.ctx->opLimit).store(1, std::memory_order_relaxed);
}

void QueryBudget::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        m_wake.wait_for(lock, kTick);
        const auto now = std::chrono::steady_clock::now();
        for (Entry &e : m_running) {
            if (e.reason != StopReason::None) continue;
            if (now >= e.deadline)
                interrupt(e, StopReason::TimeUp);
            else if (e.clientGone && e.clientGone())
                interrupt(e, StopReason::ClientGone);
        }
    }
}

QueryBudget::Watch::Watch(QueryBudget &budget, xmlXPathContextPtr ctx, std::function<bool()> clientGone)
    : m_budget(budget)
{
    ctx->opLimit = 0; // no limit of libxml2's own: the budget is a time
    ctx->opCount = 0;
    std::lock_guard lock(budget.m_mutex);
    m_entry = budget.m_running.insert(budget.m_running.end(),
                                      Entry{ctx, std::move(clientGone), std::chrono::steady_clock::now() + budget.m_limit});
    if (budget.m_stopAll) interrupt(*m_entry, StopReason::ShuttingDown);
}

QueryBudget::Watch::~Watch()
{
    std::lock_guard lock(m_budget.m_mutex);
    m_budget.m_running.erase(m_entry);
}

StopReason QueryBudget::Watch::reason() const
{
    std::lock_guard lock(m_budget.m_mutex);
    return m_entry->reason;
}

} // namespace ostreld
