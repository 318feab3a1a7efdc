// A Lua 5.4 state for charge criteria that cannot reach the system: only the base
// functions that compute, and the string (without pattern matching), table, math and utf8
// libraries, each function bounded in the work it can do (boundedlibraries.h). Every
// evaluation has an instruction budget and a processor time limit, the state a memory
// ceiling; whatever runs past them ends as a failure. Each evaluation sees library tables of
// its own, so that nothing one expression stores in them reaches another.
#pragma once

#include "host/formula/criteriadocuments.h"
#include "host/formula/evaluationbudget.h"

#include <zeltpc5/variant.h>

#include <chrono>
#include <cstddef>
#include <cstdint>

struct lua_State;
struct lua_Debug;

namespace zeltpc5::host {

struct SandboxLimits
{
    std::size_t memoryBytes = 16u * 1024u * 1024u;
    std::int64_t instructions = 1'000'000;
    std::chrono::milliseconds processorTime{100};
};

class LuaSandbox
{
public:
    struct Outcome
    {
        Variant value; // a Boolean, a Double, or Null when there is no usable value
        QString error; // why there is none; empty on success
    };

    // The helpers Option and PriceCost read from documents, which must outlive the sandbox.
    explicit LuaSandbox(CriteriaDocuments *documents, SandboxLimits limits = SandboxLimits());
    ~LuaSandbox();
    LuaSandbox(const LuaSandbox &) = delete;
    LuaSandbox &operator=(const LuaSandbox &) = delete;

    bool isReady() const { return m_state != nullptr; }
    // Drops every variable and anything earlier expressions left behind.
    bool resetVariables();
    // Names are Lua names; texts, numbers, Booleans, currency, and empty or null (nil).
    Status setVariable(const QString &name, const Variant &value);
    Outcome evaluate(const QString &expression);

    static constexpr qsizetype MaximumExpressionLength = 64 * 1024;

    // For library functions: counts work done outside Lua instructions, in units of about a
    // byte copied or compared; raises the stop, as a Lua error, once the running evaluation
    // is out of budget (0 units only checks).
    static void spend(lua_State *L, std::size_t units);

private:
    struct Allocation
    {
        std::size_t used = 0;
        std::size_t limit = 0;
    };
    static void *allocate(void *ud, void *ptr, std::size_t oldSize, std::size_t newSize);
    static void countInstructions(lua_State *L, lua_Debug *);
    // Ends the evaluation: every instruction from now on raises the stop, so that a pcall in
    // the expression cannot swallow it.
    void stopSoon();
    static void stop(lua_State *L);
    static LuaSandbox *of(lua_State *L);
    using Lookup = const QByteArray *(CriteriaDocuments::*)(QByteArrayView);
    using Unread = bool (CriteriaDocuments::*)() const;
    // The value named by the helper's first argument.
    static const QByteArray *lookUp(lua_State *L, Lookup lookup, Unread unread);
    static int pushNumber(lua_State *L, const QByteArray *text);
    static int option(lua_State *L);
    static int optionNumber(lua_State *L);
    static int priceCost(lua_State *L);
    static int priceCostNumber(lua_State *L);
    static int open(lua_State *L);

    // Runs f with data under lua_pcall, so that no Lua error escapes; false with the
    // error message in m_failure otherwise.
    bool protectedCall(int (*f)(lua_State *), void *data);

    CriteriaDocuments *m_documents;
    SandboxLimits m_limits;
    Allocation m_allocation;
    // Memory in use after the last full collection, or less.
    std::size_t m_settledUse = 0;
    EvaluationBudget m_budget;
    lua_State *m_state = nullptr;
    QString m_failure;
};

// True for names an expression can use as a variable: a Lua name that is not a keyword.
bool IsVariableName(const QString &name);

} // namespace zeltpc5::host
