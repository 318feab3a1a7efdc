// What one evaluation of a charge criterion may spend: Lua instructions, counted by the
// sandbox's hook, and processor time. Library functions and the allocator report the work
// they do between instructions, so that the clock is looked at often enough even where no
// instruction runs.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace zeltpc5::host {

class EvaluationBudget
{
public:
    // Why an evaluation had to stop.
    enum class Spent { Nothing, Instructions, ProcessorTime };

    EvaluationBudget(std::int64_t instructions, std::chrono::nanoseconds processorTime);

    void start();
    void finish();
    Spent spent() const { return m_spent; }

    // Each false once the evaluation has to stop, and from then on.
    bool executed(std::int64_t instructions);
    // Work done outside instructions, in units of about one byte copied or compared.
    bool worked(std::size_t units);

    // Time the evaluation did not spend itself (the host reading a document) is given back.
    void giveBack(std::chrono::nanoseconds time);

private:
    static std::chrono::nanoseconds ThreadProcessorTime();
    bool outOfTime();

    std::int64_t m_instructions;
    std::chrono::nanoseconds m_processorTime;
    bool m_running = false;
    Spent m_spent = Spent::Nothing;
    std::int64_t m_executed = 0;
    std::size_t m_workBeforeLook = 0;
    std::chrono::nanoseconds m_startedAt{};
    std::chrono::steady_clock::time_point m_nextLook;
};

} // namespace zeltpc5::host
