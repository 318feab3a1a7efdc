#include "host/formula/luasandbox.h"

#include "host/formula/boundedlibraries.h"

#include <lua.hpp>

#include <locale.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zeltpc5::host {

namespace {

// The count hook runs every so many instructions. It also looks at the clock, so a few
// instructions that each take long (comparing two long texts) cannot run far past the
// time limit.
constexpr int HookInterval = 100;

const char BaseKey[] = "zeltfe5.base";
const char LayerKey[] = "zeltfe5.layer";

constexpr std::size_t MaximumErrorLength = 1000;
// Growth in use after an evaluation beyond which it is cleared away at once.
constexpr std::size_t SettleAbove = 1024 * 1024;
// A reset clears the variables' table name by name up to this many names; a table that an
// expression filled with more is replaced, so that its size goes with it.
constexpr int MaximumNamesCleared = 64;

// The base functions an expression may use: nothing that loads code, touches files,
// prints, changes metatables (so no finalizers, which Lua runs with the hook off) or steers
// the collector.
const char *const AllowedBase[] = {"assert",   "error",  "ipairs", "next",    "pairs",  "pcall",
                                   "rawequal", "rawget", "rawlen", "rawset",  "select", "tonumber",
                                   "tostring", "type",   "xpcall", "_VERSION"};
const char *const AllowedLibraries[] = {LUA_STRLIBNAME, LUA_TABLIBNAME, LUA_MATHLIBNAME,
                                        LUA_UTF8LIBNAME};

enum class Kind { Nil, Boolean, Integer, Number, Text };

// Texts compare byte by byte during an evaluation: the same order on every computer, and a
// comparison costs no more than a memcmp (collation under a user's locale can cost many
// times that, inside one instruction).
locale_t ByteOrder()
{
    static const locale_t locale = [] {
        const locale_t base = duplocale(LC_GLOBAL_LOCALE);
        if (!base)
            return locale_t(nullptr);
        const locale_t byteOrder = newlocale(LC_COLLATE_MASK, "C", base);
        if (!byteOrder)
            freelocale(base);
        return byteOrder;
    }();
    return locale;
}

bool SameText(const QString &a, const QString &b)
{
    return a.size() == b.size() && (a.constData() == b.constData() || a == b);
}

// The __index of each evaluation's layer of globals: takes a name from the base, a library
// table as a copy of its own, and keeps it in the layer. What an expression stores in a
// library table so stays in that evaluation, and an evaluation that uses no library pays
// for no copy.
int copyOnFirstUse(lua_State *L)
{
    lua_settop(L, 2);
    lua_pushvalue(L, 2);
    if (lua_rawget(L, lua_upvalueindex(1)) == LUA_TTABLE) {
        lua_newtable(L);
        lua_pushnil(L);
        while (lua_next(L, 3)) {
            lua_pushvalue(L, -2);
            lua_insert(L, -2);
            lua_rawset(L, 4);
        }
        lua_replace(L, 3);
    }
    if (!lua_isnil(L, 3)) {
        lua_pushvalue(L, 2);
        lua_pushvalue(L, 3);
        lua_rawset(L, 1);
    }
    return 1;
}

struct OpenRequest
{
    int environment = LUA_NOREF;
    int layerMetatable = LUA_NOREF;
};

struct ClearRequest
{
    int environment = LUA_NOREF;
    // Texts of variables no longer kept.
    const std::vector<int> *dropped = nullptr;
    bool replaced = false;
};

// Empties the variables' table: what was set, and anything earlier expressions left in it.
int clearEnvironment(lua_State *L)
{
    auto *r = static_cast<ClearRequest *>(lua_touserdata(L, 1));
    for (const int text : *r->dropped)
        luaL_unref(L, LUA_REGISTRYINDEX, text);
    lua_rawgeti(L, LUA_REGISTRYINDEX, r->environment);
    int names = 0;
    bool replace = false;
    lua_pushnil(L);
    while (lua_next(L, 2)) {
        lua_pop(L, 1);
        if (++names > MaximumNamesCleared) {
            lua_pop(L, 1);
            replace = true;
            break;
        }
        lua_pushvalue(L, -1);
        lua_pushnil(L);
        lua_rawset(L, 2);
    }
    if (!replace)
        return 0;
    lua_newtable(L);
    lua_getmetatable(L, 2);
    lua_setmetatable(L, -2);
    lua_rawseti(L, LUA_REGISTRYINDEX, r->environment);
    r->replaced = true;
    return 0;
}

struct RetargetRequest
{
    int environment = LUA_NOREF;
    const std::vector<int> *chunks = nullptr;
};

// Gives the compiled chunks the variables' table that replaced theirs.
int retargetIn(lua_State *L)
{
    const auto *r = static_cast<const RetargetRequest *>(lua_touserdata(L, 1));
    lua_rawgeti(L, LUA_REGISTRYINDEX, r->environment);
    for (const int chunk : *r->chunks) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, chunk);
        lua_pushvalue(L, 2);
        lua_setupvalue(L, -2, 1);
        lua_pop(L, 1);
    }
    return 0;
}

struct VariableRequest
{
    int environment = LUA_NOREF;
    const char *name = nullptr;
    Kind kind = Kind::Nil;
    bool boolean = false;
    lua_Integer integer = 0;
    double number = 0;
    const char *text = nullptr;
    std::size_t length = 0;
    // The text as a Lua string already, in the registry; or the string made, kept there.
    int string = LUA_NOREF;
    int madeString = LUA_NOREF;
    // A string no longer kept, let go of once the variable is set.
    int droppedString = LUA_NOREF;
};

int setVariableIn(lua_State *L)
{
    auto *r = static_cast<VariableRequest *>(lua_touserdata(L, 1));
    lua_rawgeti(L, LUA_REGISTRYINDEX, r->environment);
    switch (r->kind) {
    case Kind::Nil:
        lua_pushnil(L);
        break;
    case Kind::Boolean:
        lua_pushboolean(L, r->boolean);
        break;
    case Kind::Integer:
        lua_pushinteger(L, r->integer);
        break;
    case Kind::Number:
        lua_pushnumber(L, r->number);
        break;
    case Kind::Text:
        if (r->string != LUA_NOREF) {
            lua_rawgeti(L, LUA_REGISTRYINDEX, r->string);
        } else {
            lua_pushlstring(L, r->text, r->length);
            lua_pushvalue(L, -1);
            r->madeString = luaL_ref(L, LUA_REGISTRYINDEX);
        }
        break;
    }
    lua_setfield(L, -2, r->name);
    if (r->droppedString != LUA_NOREF)
        luaL_unref(L, LUA_REGISTRYINDEX, r->droppedString);
    return 0;
}

struct CompileRequest
{
    const char *expression = nullptr; // "return " followed by the text
    std::size_t expressionLength = 0;
    const char *chunk = nullptr; // the text as it is
    std::size_t chunkLength = 0;
    int environment = LUA_NOREF;
    // Chunks to drop first, to make room.
    const std::vector<int> *dropped = nullptr;
    bool syntaxError = false;
    bool outOfMemory = false;
    int reference = LUA_NOREF;
    std::size_t before = 0;
    std::size_t after = 0;
};

std::size_t MemoryInUse(lua_State *L)
{
    return std::size_t(lua_gc(L, LUA_GCCOUNT, 0)) * 1024u + std::size_t(lua_gc(L, LUA_GCCOUNTB, 0));
}

// Compiles the expression into a chunk kept in the registry, with the variables' table as
// its environment (never the state's own globals), and measures the memory it takes: what
// is in use after a full collection, with the chunk and without.
int compileIn(lua_State *L)
{
    auto *r = static_cast<CompileRequest *>(lua_touserdata(L, 1));
    for (const int chunk : *r->dropped)
        luaL_unref(L, LUA_REGISTRYINDEX, chunk);
    lua_gc(L, LUA_GCCOLLECT);
    r->before = MemoryInUse(L);
    // Text only: precompiled chunks could bypass the checks of the compiler.
    const int asExpression =
        luaL_loadbufferx(L, r->expression, r->expressionLength, "=criteria", "t");
    if (asExpression != LUA_OK) {
        // Not an expression; perhaps statements that return a value. If neither compiles,
        // the expression's own message is the helpful one.
        const int asStatements = luaL_loadbufferx(L, r->chunk, r->chunkLength, "=criteria", "t");
        if (asStatements != LUA_OK) {
            lua_pop(L, 1);
            r->syntaxError = asExpression == LUA_ERRSYNTAX && asStatements == LUA_ERRSYNTAX;
            r->outOfMemory = asExpression == LUA_ERRMEM || asStatements == LUA_ERRMEM;
            return lua_error(L);
        }
        lua_remove(L, -2);
    }
    lua_rawgeti(L, LUA_REGISTRYINDEX, r->environment);
    lua_setupvalue(L, -2, 1);
    r->reference = luaL_ref(L, LUA_REGISTRYINDEX);
    lua_gc(L, LUA_GCCOLLECT);
    r->after = MemoryInUse(L);
    return 0;
}

struct DropRequest
{
    const std::vector<int> *dropped = nullptr;
};

int dropIn(lua_State *L)
{
    const auto *r = static_cast<const DropRequest *>(lua_touserdata(L, 1));
    for (const int chunk : *r->dropped)
        luaL_unref(L, LUA_REGISTRYINDEX, chunk);
    lua_gc(L, LUA_GCCOLLECT);
    return 0;
}

struct RunRequest
{
    int chunk = LUA_NOREF;
    int environment = LUA_NOREF;
    int layerMetatable = LUA_NOREF;
    int type = LUA_TNIL;
    bool boolean = false;
    double number = 0;
};

// What a run leaves in the chunk and the variables' table goes: the chunk's environment is
// the variables' table again (an expression may assign _ENV), and the layer of library
// copies is let go.
void cleanUp(lua_State *L, int chunk, int environment)
{
    lua_pushvalue(L, environment);
    lua_setupvalue(L, chunk, 1);
    lua_getmetatable(L, environment);
    lua_pushnil(L);
    lua_setfield(L, -2, "__index");
    lua_pop(L, 1);
}

// Runs a compiled chunk in the variables' table, over a fresh layer of globals.
int runIn(lua_State *L)
{
    auto *r = static_cast<RunRequest *>(lua_touserdata(L, 1));
    lua_rawgeti(L, LUA_REGISTRYINDEX, r->chunk);
    lua_rawgeti(L, LUA_REGISTRYINDEX, r->environment);
    lua_pushvalue(L, 3);
    lua_setupvalue(L, 2, 1);
    lua_getmetatable(L, 3);
    lua_createtable(L, 0, 4);
    lua_rawgeti(L, LUA_REGISTRYINDEX, r->layerMetatable);
    lua_setmetatable(L, -2);
    lua_setfield(L, 4, "__index");
    lua_settop(L, 3);
    lua_pushvalue(L, 2);
    lua_call(L, 0, 1);
    r->type = lua_type(L, -1);
    if (r->type == LUA_TBOOLEAN)
        r->boolean = lua_toboolean(L, -1);
    else if (r->type == LUA_TNUMBER)
        r->number = lua_tonumber(L, -1);
    cleanUp(L, 2, 3);
    return 0;
}

// The same after a run that failed.
int cleanUpIn(lua_State *L)
{
    const auto *r = static_cast<const RunRequest *>(lua_touserdata(L, 1));
    lua_rawgeti(L, LUA_REGISTRYINDEX, r->chunk);
    lua_rawgeti(L, LUA_REGISTRYINDEX, r->environment);
    cleanUp(L, 2, 3);
    return 0;
}

void pushText(lua_State *L, const QByteArray *text)
{
    if (text)
        lua_pushlstring(L, text->constData(), std::size_t(text->size()));
    else
        lua_pushliteral(L, "");
}

} // namespace

bool IsVariableName(const QString &name)
{
    static const char *const keywords[] = {"and",   "break", "do",       "else", "elseif", "end",
                                           "false", "for",   "function", "goto", "if",     "in",
                                           "local", "nil",   "not",      "or",   "repeat", "return",
                                           "then",  "true",  "until",    "while"};
    if (name.isEmpty() || name.size() > 200 || name.at(0).isDigit())
        return false;
    for (const QChar c : name) {
        if (!(c.unicode() < 128 && (c.isLetterOrNumber() || c == u'_')))
            return false;
    }
    for (const char *keyword : keywords) {
        if (name == QLatin1String(keyword))
            return false;
    }
    return true;
}

LuaSandbox::LuaSandbox(CriteriaDocuments *documents, SandboxLimits limits)
    : m_documents(documents), m_limits(limits),
      m_budget(m_limits.instructions, m_limits.processorTime)
{
    // A new sandbox has no variables, so no documents either.
    m_documents->clear();
    updateLimit();
    restart();
}

LuaSandbox::~LuaSandbox()
{
    close();
}

void LuaSandbox::close()
{
    if (m_state)
        lua_close(m_state);
    m_state = nullptr;
    m_environment = LUA_NOREF;
    m_layerMetatable = LUA_NOREF;
    for (Variable &v : m_variables)
        v.string = LUA_NOREF;
    m_stringsToRelease = false;
    m_chunks.clear();
    m_chunkIndex.clear();
    m_chunkSourceBytes = 0;
    m_chunkMemory = 0;
    updateLimit();
}

void LuaSandbox::restart()
{
    close();
    m_state = lua_newstate(&LuaSandbox::allocate, this);
    if (!m_state)
        return;
    ++m_statesStarted;
    *static_cast<LuaSandbox **>(lua_getextraspace(m_state)) = this;
    OpenRequest opened;
    if (!protectedCall(&LuaSandbox::open, &opened)) {
        close();
        return;
    }
    m_environment = opened.environment;
    m_layerMetatable = opened.layerMetatable;
    for (Variable &v : m_variables) {
        if (v.set && !setInState(v)) {
            close();
            return;
        }
    }
    m_settledUse = m_allocation.used;
}

bool LuaSandbox::start()
{
    if (!m_state)
        restart();
    return m_state != nullptr;
}

void LuaSandbox::updateLimit()
{
    m_allocation.limit = m_limits.memoryBytes + m_chunkMemory;
}

void *LuaSandbox::allocate(void *ud, void *ptr, std::size_t oldSize, std::size_t newSize)
{
    auto *s = static_cast<LuaSandbox *>(ud);
    Allocation *a = &s->m_allocation;
    // Without a block, oldSize tells the kind of object, not a size.
    const std::size_t old = ptr ? oldSize : 0;
    if (newSize == 0) {
        std::free(ptr);
        a->used -= old;
        return nullptr;
    }
    if (newSize > old && a->used - old + newSize > a->limit)
        return nullptr;
    // Building a long text is work no library function reports (a concatenation is one
    // instruction); the allocator cannot raise an error, but it can end the evaluation soon.
    if (newSize > old && !s->m_budget.worked(newSize - old))
        s->stopSoon();
    void *block = std::realloc(ptr, newSize);
    if (block)
        a->used = a->used - old + newSize;
    return block;
}

LuaSandbox *LuaSandbox::of(lua_State *L)
{
    return *static_cast<LuaSandbox **>(lua_getextraspace(L));
}

void LuaSandbox::countInstructions(lua_State *L, lua_Debug *)
{
    if (!of(L)->m_budget.executed(HookInterval))
        stop(L);
}

void LuaSandbox::spend(lua_State *L, std::size_t units)
{
    if (!of(L)->m_budget.worked(units))
        stop(L);
}

void LuaSandbox::stopSoon()
{
    // lua_sethook may be called at any point, even from inside the allocator.
    if (m_state)
        lua_sethook(m_state, &LuaSandbox::countInstructions, LUA_MASKCOUNT, 1);
}

void LuaSandbox::stop(lua_State *L)
{
    of(L)->stopSoon();
    luaL_error(L, "the expression ran too long");
}

// The helpers below run inside Lua: they hold no C++ object with a destructor while a
// Lua call could raise an error, since Lua unwinds with longjmp.
const QByteArray *LuaSandbox::lookUp(lua_State *L, Lookup lookup, Unread unread)
{
    std::size_t length = 0;
    const char *name = luaL_checklstring(L, 1, &length);
    spend(L, length);
    LuaSandbox *s = of(L);
    const QByteArrayView key(name, qsizetype(length));
    if (!(s->m_documents->*unread)())
        return (s->m_documents->*lookup)(key);
    // Reading the line's documents is the host's work, done once per line, not the
    // expression's. Timed on the monotonic clock: cheaper to read than processor time, and
    // never less.
    const auto started = std::chrono::steady_clock::now();
    const QByteArray *value = (s->m_documents->*lookup)(key);
    s->m_budget.giveBack(std::chrono::steady_clock::now() - started);
    return value;
}

int LuaSandbox::pushNumber(lua_State *L, const QByteArray *text)
{
    const std::optional<double> n = text ? CriteriaNumber(*text) : std::nullopt;
    if (n)
        lua_pushnumber(L, *n);
    else
        lua_pushnil(L);
    return 1;
}

int LuaSandbox::option(lua_State *L)
{
    pushText(L, lookUp(L, &CriteriaDocuments::optionValue, &CriteriaDocuments::optionsUnread));
    return 1;
}

int LuaSandbox::priceCost(lua_State *L)
{
    pushText(L, lookUp(L, &CriteriaDocuments::priceCostValue, &CriteriaDocuments::priceCostUnread));
    return 1;
}

int LuaSandbox::optionNumber(lua_State *L)
{
    return pushNumber(
        L, lookUp(L, &CriteriaDocuments::optionValue, &CriteriaDocuments::optionsUnread));
}

int LuaSandbox::priceCostNumber(lua_State *L)
{
    return pushNumber(
        L, lookUp(L, &CriteriaDocuments::priceCostValue, &CriteriaDocuments::priceCostUnread));
}

int LuaSandbox::open(lua_State *L)
{
    auto *r = static_cast<OpenRequest *>(lua_touserdata(L, 1));
    lua_settop(L, 0);
    luaL_requiref(L, LUA_GNAME, luaopen_base, 1);
    luaL_requiref(L, LUA_STRLIBNAME, luaopen_string, 1);
    luaL_requiref(L, LUA_TABLIBNAME, luaopen_table, 1);
    luaL_requiref(L, LUA_MATHLIBNAME, luaopen_math, 1);
    luaL_requiref(L, LUA_UTF8LIBNAME, luaopen_utf8, 1);
    lua_settop(L, 0);
    // In place: the string table is also what every string's methods reach.
    BoundLibraries(L);

    lua_newtable(L);
    for (const char *name : AllowedBase) {
        lua_getglobal(L, name);
        lua_setfield(L, -2, name);
    }
    for (const char *name : AllowedLibraries) {
        lua_getglobal(L, name);
        lua_setfield(L, -2, name);
    }
    const luaL_Reg helpers[] = {{"Option", &LuaSandbox::option},
                                {"OptionNumber", &LuaSandbox::optionNumber},
                                {"PriceCost", &LuaSandbox::priceCost},
                                {"PriceCostNumber", &LuaSandbox::priceCostNumber},
                                {nullptr, nullptr}};
    luaL_setfuncs(L, helpers, 0);

    luaL_newmetatable(L, LayerKey);
    lua_pushvalue(L, -2);
    lua_pushcclosure(L, &copyOnFirstUse, 1);
    lua_setfield(L, -2, "__index");
    r->layerMetatable = luaL_ref(L, LUA_REGISTRYINDEX);
    lua_setfield(L, LUA_REGISTRYINDEX, BaseKey);

    // The variables live in a table of their own, until the next reset; its metatable's
    // __index is a fresh layer of globals for every evaluation, and nothing in between.
    lua_newtable(L);
    lua_newtable(L);
    lua_setmetatable(L, -2);
    r->environment = luaL_ref(L, LUA_REGISTRYINDEX);
    return 0;
}

bool LuaSandbox::protectedCall(int (*f)(lua_State *), void *data)
{
    lua_State *L = m_state;
    lua_pushcfunction(L, f);
    lua_pushlightuserdata(L, data);
    m_status = lua_pcall(L, 1, 0, 0);
    // A stop that a pcall in the expression caught and gave as the expression's result (in
    // a tail call, where no instruction follows) still ends the evaluation.
    if (m_status == LUA_OK && m_budget.spent() == EvaluationBudget::Spent::Nothing) {
        m_failure.clear();
        return true;
    }
    // Once out of budget every instruction fails, whatever error came last.
    if (m_budget.spent() == EvaluationBudget::Spent::Instructions)
        m_failure = QStringLiteral("the expression ran too long");
    else if (m_budget.spent() == EvaluationBudget::Spent::ProcessorTime)
        m_failure = QStringLiteral("the expression used too much processor time");
    else if (m_status == LUA_ERRMEM)
        m_failure = QStringLiteral("the expression used too much memory");
    else if (lua_type(L, -1) == LUA_TSTRING) {
        // An expression's own error text can be as long as memory allows; LastError and the
        // log, once per line, get its start.
        std::size_t length = 0;
        const char *message = lua_tolstring(L, -1, &length);
        m_failure = QString::fromUtf8(message, qsizetype(std::min(length, MaximumErrorLength)));
    } else
        m_failure = QStringLiteral("the expression raised an error");
    lua_settop(L, 0);
    return false;
}

bool LuaSandbox::failedBadly() const
{
    // Lua keeps a state whole through the errors an expression raises; running out of memory
    // or failing while handling an error leave less to rely on, in Lua and in the functions
    // of this sandbox, so the state goes.
    return m_status != LUA_OK && m_status != LUA_ERRRUN && m_status != LUA_ERRSYNTAX;
}

bool LuaSandbox::setInState(Variable &variable, int droppedString)
{
    VariableRequest r;
    r.environment = m_environment;
    r.name = variable.utf8Name.constData();
    r.kind = Kind(variable.kind);
    r.boolean = variable.boolean;
    r.integer = lua_Integer(variable.integer);
    r.number = variable.number;
    r.text = variable.utf8Text.constData();
    r.length = std::size_t(variable.utf8Text.size());
    r.string = variable.string;
    r.droppedString = droppedString;
    const bool set = protectedCall(&setVariableIn, &r);
    if (set && variable.kind == int(Kind::Text) && variable.string == LUA_NOREF)
        variable.string = r.madeString;
    return set;
}

bool LuaSandbox::resetVariables()
{
    if (!start())
        return false;
    m_documents->clear();
    // The texts set before the last reset and not since are forgotten; those set since keep
    // their UTF-8, and their Lua string until the next evaluation, for the same text set
    // again (the same document for the next charge of the line).
    std::vector<int> dropped;
    std::erase_if(m_variables, [&](const Variable &v) {
        if (v.set)
            return false;
        if (v.string != LUA_NOREF)
            dropped.push_back(v.string);
        return true;
    });
    for (Variable &v : m_variables) {
        v.set = false;
        m_stringsToRelease = m_stringsToRelease || v.string != LUA_NOREF;
    }
    ClearRequest r;
    r.environment = m_environment;
    r.dropped = &dropped;
    bool cleared = protectedCall(&clearEnvironment, &r);
    if (cleared && r.replaced) {
        std::vector<int> chunks;
        for (const Chunk &c : m_chunks) {
            if (c.reference != LUA_NOREF)
                chunks.push_back(c.reference);
        }
        RetargetRequest retarget;
        retarget.environment = m_environment;
        retarget.chunks = &chunks;
        cleared = protectedCall(&retargetIn, &retarget);
    }
    if (!cleared)
        restart();
    return m_state != nullptr;
}

Status LuaSandbox::setVariable(const QString &name, const Variant &value)
{
    auto known = std::find_if(m_variables.begin(), m_variables.end(),
                              [&](const Variable &v) { return v.name == name; });
    if (known == m_variables.end() && !IsVariableName(name))
        return Status::error(Error::InvalidProcedureCall,
                             QStringLiteral("Not a variable name: %1").arg(name));
    Variable v;
    if (known != m_variables.end()) {
        v = *known;
    } else {
        v.name = name;
        v.utf8Name = name.toUtf8();
    }
    const QString earlierText = v.kind == int(Kind::Text) ? v.text : QString();
    const QByteArray earlierUtf8 = v.kind == int(Kind::Text) ? v.utf8Text : QByteArray();
    const int earlierString = v.string;
    v.text = QString();
    v.utf8Text = QByteArray();
    v.string = LUA_NOREF;
    switch (TypeOf(value)) {
    case VariantType::Empty:
    case VariantType::Null:
        v.kind = int(Kind::Nil);
        break;
    case VariantType::Bool:
        v.kind = int(Kind::Boolean);
        v.boolean = ToBool(value).value_or(false);
        break;
    case VariantType::Int16:
    case VariantType::Int32:
        v.kind = int(Kind::Integer);
        v.integer = ToInt32(value).value_or(0);
        break;
    case VariantType::Single:
    case VariantType::Double:
        v.kind = int(Kind::Number);
        v.number = ToDouble(value).value_or(0.0);
        break;
    case VariantType::Currency:
        v.kind = int(Kind::Number);
        v.number = double(value.value<CurrencyValue>().scaled) / 10000.0;
        break;
    case VariantType::String:
        v.kind = int(Kind::Text);
        v.text = value.toString();
        // The same document again, for the next charge of the line: converted once, and
        // made a Lua string once.
        if (!earlierUtf8.isNull() && SameText(earlierText, v.text)) {
            v.utf8Text = earlierUtf8;
            v.string = earlierString;
        } else {
            v.utf8Text = v.text.toUtf8();
        }
        break;
    case VariantType::Object:
    case VariantType::Unsupported:
        return Status::error(Error::TypeMismatch);
    }
    if (!start())
        return Status::error(Error::InvalidProcedureCall,
                             QStringLiteral("The formula engine is closed."));
    v.set = true;
    // Once the variable is set, the Lua string of an earlier text goes.
    const int droppedString = earlierString != v.string ? earlierString : LUA_NOREF;
    if (!setInState(v, droppedString)) {
        const QString failure = m_failure;
        // With the variables as they were.
        if (failedBadly())
            restart();
        return Status::error(Error::InvalidProcedureCall, failure);
    }
    if (known != m_variables.end())
        *known = std::move(v);
    else
        m_variables.push_back(std::move(v));
    return Status();
}

QByteArray LuaSandbox::textVariable(const QString &name) const
{
    for (const Variable &v : m_variables) {
        if (v.set && v.kind == int(Kind::Text) && v.name == name)
            return v.utf8Text;
    }
    return QByteArray();
}

LuaSandbox::ChunkList::iterator LuaSandbox::cached(const QString &expression)
{
    if (!m_chunks.empty() && SameText(m_chunks.front().expression, expression))
        return m_chunks.begin();
    const auto found = m_chunkIndex.find(expression);
    if (found == m_chunkIndex.end())
        return m_chunks.end();
    m_chunks.splice(m_chunks.begin(), m_chunks, found->second);
    return found->second;
}

void LuaSandbox::drop(ChunkList::iterator chunk)
{
    m_chunkSourceBytes -= chunk->sourceBytes;
    m_chunkMemory -= chunk->memory;
    m_chunkIndex.erase(chunk->expression);
    m_chunks.erase(chunk);
    updateLimit();
}

void LuaSandbox::makeRoom(std::size_t sourceBytes, std::size_t memory, std::vector<int> &dropped)
{
    while (!m_chunks.empty() &&
           (m_chunks.size() >= m_limits.chunks ||
            m_chunkSourceBytes + sourceBytes > m_limits.chunkSourceBytes ||
            m_chunkMemory + memory > m_limits.chunkMemory)) {
        const auto last = std::prev(m_chunks.end());
        if (last->reference != LUA_NOREF)
            dropped.push_back(last->reference);
        drop(last);
    }
}

// The Lua strings of texts not set again since the reset go before an evaluation, so that
// they take nothing from its ceiling. luaL_unref raises no error: it writes slots that exist.
void LuaSandbox::releaseStrings()
{
    for (Variable &v : m_variables) {
        if (!v.set && v.string != LUA_NOREF) {
            luaL_unref(m_state, LUA_REGISTRYINDEX, v.string);
            v.string = LUA_NOREF;
        }
    }
    m_stringsToRelease = false;
}

// What an evaluation leaves stays reachable from stack slots that the next one has not
// written yet, and even an emergency collection keeps it; a full collection clears those
// slots, so that every evaluation starts with about the memory of the first.
void LuaSandbox::settle()
{
    m_settledUse = std::min(m_settledUse, m_allocation.used);
    if (m_allocation.used > m_settledUse + SettleAbove) {
        lua_gc(m_state, LUA_GCCOLLECT);
        m_settledUse = m_allocation.used;
    }
}

// The conditions of an evaluation, from its start to its end: texts ordered by their bytes,
// the budget running, the instruction hook set.
class LuaSandbox::EvaluationWindow
{
public:
    EvaluationWindow(lua_State *L, EvaluationBudget &budget, int interval, lua_Hook hook)
        : m_state(L), m_budget(budget)
    {
        const locale_t byteOrder = ByteOrder();
        m_previousLocale = byteOrder ? uselocale(byteOrder) : nullptr;
        m_budget.start();
        lua_sethook(m_state, hook, LUA_MASKCOUNT, interval);
    }
    ~EvaluationWindow() { close(); }
    // Whether the evaluation ran out of its budget, while the window is open.
    bool spent() const { return m_budget.spent() != EvaluationBudget::Spent::Nothing; }
    void close()
    {
        if (!m_state)
            return;
        lua_sethook(m_state, nullptr, 0, 0);
        m_budget.finish();
        if (m_previousLocale)
            uselocale(m_previousLocale);
        m_state = nullptr;
    }

private:
    lua_State *m_state;
    EvaluationBudget &m_budget;
    locale_t m_previousLocale = nullptr;
};

LuaSandbox::Outcome LuaSandbox::evaluate(const QString &expression)
{
    if (!start())
        return {MakeNull(), QStringLiteral("the formula engine is closed")};
    if (m_stringsToRelease)
        releaseStrings();
    // An expression in the cache is neither empty nor too long.
    auto chunk = cached(expression);
    if (chunk == m_chunks.end()) {
        if (expression.trimmed().isEmpty())
            return {MakeNull(), QStringLiteral("there is no expression")};
        if (expression.size() > MaximumExpressionLength)
            return {MakeNull(), QStringLiteral("the expression is too long")};
    } else if (chunk->reference == LUA_NOREF) {
        return {MakeNull(), chunk->error};
    }

    // Compiling counts against the evaluation's budget and ceiling, as it always did.
    EvaluationWindow window(m_state, m_budget, HookInterval, &LuaSandbox::countInstructions);
    bool transient = false;
    if (chunk == m_chunks.end()) {
        Outcome failed;
        chunk = compile(expression, window, failed, transient);
        if (chunk == m_chunks.end())
            return failed;
    }
    RunRequest r;
    r.chunk = chunk->reference;
    r.environment = m_environment;
    r.layerMetatable = m_layerMetatable;
    const bool ran = protectedCall(&runIn, &r);
    window.close();
    const QString failure = m_failure;
    if (!ran && failedBadly()) {
        restart();
        return {MakeNull(), failure};
    }
    bool sound = ran || protectedCall(&cleanUpIn, &r);
    if (sound && transient) {
        std::vector<int> dropped{chunk->reference};
        drop(chunk);
        DropRequest d;
        d.dropped = &dropped;
        sound = protectedCall(&dropIn, &d);
    }
    if (!sound)
        restart();
    else
        settle();
    if (!ran)
        return {MakeNull(), failure};
    return outcome(r.type, r.boolean, r.number);
}

LuaSandbox::ChunkList::iterator LuaSandbox::compile(const QString &expression,
                                                    EvaluationWindow &window, Outcome &failed,
                                                    bool &transient)
{
    const QByteArray source = expression.toUtf8();
    const std::size_t sourceBytes = std::size_t(source.size());
    const QByteArray asExpression = QByteArrayLiteral("return ") + source;
    std::vector<int> dropped;
    makeRoom(sourceBytes, 0, dropped);
    CompileRequest c;
    c.expression = asExpression.constData();
    c.expressionLength = std::size_t(asExpression.size());
    c.chunk = source.constData();
    c.chunkLength = sourceBytes;
    c.environment = m_environment;
    c.dropped = &dropped;
    const bool compiled = protectedCall(&compileIn, &c);
    const bool stopped = window.spent();
    const QString failure = m_failure;
    failed = {MakeNull(), failure};
    if (c.reference == LUA_NOREF) {
        window.close();
        if (failedBadly() || c.outOfMemory) {
            restart();
            return m_chunks.end();
        }
        // The same expression fails the same way next time, without compiling.
        if (c.syntaxError && !stopped && m_limits.chunks > 0 &&
            sourceBytes <= m_limits.chunkSourceBytes) {
            m_chunks.push_front(Chunk{expression, LUA_NOREF, failure, sourceBytes, 0});
            m_chunkIndex.emplace(expression, m_chunks.begin());
            m_chunkSourceBytes += sourceBytes;
        }
        settle();
        return m_chunks.end();
    }
    // Even when compiling used up the budget: the chunk is good.
    const std::size_t memory = c.after > c.before ? c.after - c.before : 0;
    dropped.clear();
    makeRoom(0, memory, dropped);
    m_chunks.push_front(Chunk{expression, c.reference, QString(), sourceBytes, memory});
    m_chunkIndex.emplace(expression, m_chunks.begin());
    m_chunkSourceBytes += sourceBytes;
    m_chunkMemory += memory;
    updateLimit();
    // A chunk larger than the cache runs once and goes.
    transient = m_limits.chunks == 0 || sourceBytes > m_limits.chunkSourceBytes ||
                memory > m_limits.chunkMemory;
    if (!dropped.empty()) {
        DropRequest d;
        d.dropped = &dropped;
        if (!protectedCall(&dropIn, &d)) {
            window.close();
            restart();
            return m_chunks.end();
        }
    }
    m_settledUse = m_allocation.used;
    if (!compiled) {
        window.close();
        settle();
        return m_chunks.end();
    }
    return m_chunks.begin();
}

LuaSandbox::Outcome LuaSandbox::outcome(int type, bool boolean, double number)
{
    switch (type) {
    case LUA_TBOOLEAN:
        return {MakeBool(boolean), QString()};
    case LUA_TNUMBER:
        if (std::isnan(number))
            return {MakeNull(), QStringLiteral("the expression gives no number")};
        return {MakeDouble(number), QString()};
    case LUA_TNIL:
        return {MakeNull(), QString()};
    default:
        return {MakeNull(), QStringLiteral("the expression gives neither a Boolean nor a number")};
    }
}

} // namespace zeltpc5::host
