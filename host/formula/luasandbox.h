// A Lua 5.4 state for charge criteria that cannot reach the system: only the base
// functions that compute, and the string (without pattern matching), table, math and utf8
// libraries, each function bounded in the work it can do (boundedlibraries.h). Every
// evaluation has an instruction budget, a processor time limit and a memory ceiling;
// whatever runs past them ends as a failure. Each evaluation sees library tables of its own,
// so that nothing one expression stores in them reaches another.
//
// One state serves every evaluation of the sandbox, and each expression is compiled once: the
// compiled chunk is kept, by the expression's exact text, for the evaluations of the same
// expression that follow (the chunk cache). A chunk holds nothing of an evaluation: its only
// upvalue, the environment, is set again before each run and after it. An evaluation that
// ends in a way that could leave the state unsound (out of memory, an error while handling an
// error) discards the state and its chunks; a new state takes the variables set since the
// last reset.
#pragma once

#include "host/formula/criteriadocuments.h"
#include "host/formula/evaluationbudget.h"

#include <zeltpc5/variant.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>
#include <vector>

struct lua_State;
struct lua_Debug;

namespace zeltpc5::host {

struct SandboxLimits
{
    // For the variables and everything an expression makes; the chunk cache comes on top.
    std::size_t memoryBytes = 16u * 1024u * 1024u;
    std::int64_t instructions = 1'000'000;
    std::chrono::milliseconds processorTime{100};

    // The chunk cache's bounds. A company has some tens of charges with criteria, so a run
    // compiles each of them once and keeps them all; expressions without end (a fuzzer, a
    // host that builds a new expression for every line) cost one compilation each, as before,
    // and what they leave behind stays bounded:
    // - 256 chunks, far more than the charges of a company;
    // - 256 KB of expression text (UTF-8) in all, four of the longest expressions allowed;
    // - 4 MB of the state's memory for the compiled chunks, measured (a chunk takes a few
    //   times its text: code, constants, names, line numbers).
    // The chunks are left out of the memory ceiling, which stays what it was for the variables
    // and everything an evaluation makes: a full cache leaves an evaluation no less. The state
    // so holds at most the ceiling and the cache's 4 MB.
    std::size_t chunks = 256;
    std::size_t chunkSourceBytes = 256 * 1024;
    std::size_t chunkMemory = 4 * 1024 * 1024;
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
    // Starts a state when there is none (the last one failed to start); whether there is one.
    bool start();
    // Drops every variable and anything earlier expressions left behind.
    bool resetVariables();
    // Names are Lua names; texts, numbers, Booleans, currency, and empty or null (nil).
    Status setVariable(const QString &name, const Variant &value);
    // The UTF-8 of the text set as the variable name since the last reset; null when there is
    // none. Shared, not copied.
    QByteArray textVariable(const QString &name) const;
    Outcome evaluate(const QString &expression);

    static constexpr qsizetype MaximumExpressionLength = 64 * 1024;

    // What the chunk cache holds, and how many states the sandbox has started; for tests.
    std::size_t cachedChunks() const { return m_chunks.size(); }
    std::size_t cachedSourceBytes() const { return m_chunkSourceBytes; }
    std::size_t cachedChunkMemory() const { return m_chunkMemory; }
    std::size_t memoryInUse() const { return m_allocation.used; }
    int statesStarted() const { return m_statesStarted; }

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
    // A variable as set since the last reset, so that a new state can take it; a text keeps
    // its UTF-8 through the next reset, for the same text set again (the same document for
    // the next charge of the line).
    struct Variable
    {
        QString name;
        QByteArray utf8Name;
        int kind = 0;
        bool boolean = false;
        std::int64_t integer = 0;
        double number = 0;
        QString text;
        QByteArray utf8Text;
        // The text as a Lua string, in the registry; LUA_NOREF when there is none.
        int string = -2;
        bool set = false;
    };
    // A compiled expression, or why the expression does not compile.
    struct Chunk
    {
        QString expression;
        int reference = -2; // in the registry; LUA_NOREF when it does not compile
        QString error;
        std::size_t sourceBytes = 0;
        std::size_t memory = 0;
    };
    struct TextHash
    {
        std::size_t operator()(const QString &text) const noexcept { return qHash(text); }
    };
    using ChunkList = std::list<Chunk>;

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
    // error message in m_failure otherwise, and m_status Lua's status.
    bool protectedCall(int (*f)(lua_State *), void *data);
    // Whether the last protectedCall failed so that the state may be unsound.
    bool failedBadly() const;
    // Closes the state, forgets its chunks, and starts another with the variables set.
    void restart();
    void close();
    // Sets the variable in the state; droppedString, a string it no longer needs, goes.
    bool setInState(Variable &variable, int droppedString = -2);
    void releaseStrings();
    // The cached chunk of an expression, made the most recently used; or none.
    ChunkList::iterator cached(const QString &expression);
    // Compiles an expression into a new chunk of the cache, in the evaluation's window; the
    // end of the cache and why when it cannot. transient: the chunk is too large to keep.
    class EvaluationWindow;
    ChunkList::iterator compile(const QString &expression, EvaluationWindow &window,
                                Outcome &failed, bool &transient);
    Outcome outcome(int type, bool boolean, double number);
    // Drops the least recently used chunks until another one of sourceBytes and memory fits;
    // dropped gets their references, for the state to let go of.
    void makeRoom(std::size_t sourceBytes, std::size_t memory, std::vector<int> &dropped);
    void drop(ChunkList::iterator chunk);
    void updateLimit();
    // Collects what an evaluation left if it is much.
    void settle();

    CriteriaDocuments *m_documents;
    SandboxLimits m_limits;
    Allocation m_allocation;
    // Memory in use after the last full collection, or less.
    std::size_t m_settledUse = 0;
    EvaluationBudget m_budget;
    lua_State *m_state = nullptr;
    int m_status = 0;
    QString m_failure;
    int m_statesStarted = 0;
    // In the registry: the environment of the variables, and the metatable of each
    // evaluation's layer of globals.
    int m_environment = -2;
    int m_layerMetatable = -2;
    std::vector<Variable> m_variables;
    // Texts not set again since the reset still have their Lua strings.
    bool m_stringsToRelease = false;
    // Most recently used first.
    ChunkList m_chunks;
    std::unordered_map<QString, ChunkList::iterator, TextHash> m_chunkIndex;
    std::size_t m_chunkSourceBytes = 0;
    std::size_t m_chunkMemory = 0;
};

// True for names an expression can use as a variable: a Lua name that is not a keyword.
bool IsVariableName(const QString &name);

} // namespace zeltpc5::host
