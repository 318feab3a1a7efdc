#include "host/formula/evaluationbudget.h"

#include <ctime>

namespace zeltpc5::host {

namespace {

// Reported work between two looks at the clock: a fraction of a millisecond of copying.
constexpr std::size_t WorkBetweenLooks = 64 * 1024;

} // namespace

EvaluationBudget::EvaluationBudget(std::int64_t instructions,
                                   std::chrono::nanoseconds processorTime)
    : m_instructions(instructions), m_processorTime(processorTime)
{}

std::chrono::nanoseconds EvaluationBudget::ThreadProcessorTime()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

void EvaluationBudget::start()
{
    m_running = true;
    m_spent = Spent::Nothing;
    m_executed = 0;
    m_workBeforeLook = WorkBetweenLooks;
    m_startedAt = ThreadProcessorTime();
    m_nextLook = std::chrono::steady_clock::now() + m_processorTime;
}

void EvaluationBudget::finish()
{
    m_running = false;
    m_spent = Spent::Nothing;
}

bool EvaluationBudget::outOfTime()
{
    // Reading the thread's processor time is a system call; the monotonic clock is cheap,
    // and a thread cannot use more processor time than passes on it. So the processor
    // time is read only once the rest of the budget could have been used up.
    const auto now = std::chrono::steady_clock::now();
    if (now < m_nextLook)
        return false;
    const auto used = ThreadProcessorTime() - m_startedAt;
    if (used >= m_processorTime)
        return true;
    m_nextLook = now + (m_processorTime - used);
    return false;
}

bool EvaluationBudget::executed(std::int64_t instructions)
{
    if (!m_running || m_spent != Spent::Nothing)
        return m_spent == Spent::Nothing;
    m_executed += instructions;
    if (m_executed >= m_instructions)
        m_spent = Spent::Instructions;
    else if (outOfTime())
        m_spent = Spent::ProcessorTime;
    return m_spent == Spent::Nothing;
}

bool EvaluationBudget::worked(std::size_t units)
{
    if (!m_running || m_spent != Spent::Nothing)
        return m_spent == Spent::Nothing;
    if (units < m_workBeforeLook) {
        m_workBeforeLook -= units;
        return true;
    }
    m_workBeforeLook = WorkBetweenLooks;
    if (outOfTime())
        m_spent = Spent::ProcessorTime;
    return m_spent == Spent::Nothing;
}

void EvaluationBudget::giveBack(std::chrono::nanoseconds time)
{
    m_startedAt += time;
    // The clock may be read at once; the next look works out the rest again.
    m_nextLook = std::chrono::steady_clock::now();
}

} // namespace zeltpc5::host
