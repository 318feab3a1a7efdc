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
const char EnvironmentKey[] = "zeltfe5.env";
const char LayerKey[] = "zeltfe5.layer";

constexpr std::size_t MaximumErrorLength = 1000;
// Growth in use after an evaluation beyond which it is cleared away at once.
constexpr std::size_t SettleAbove = 1024 * 1024;

// The base functions an expression may use: nothing that loads code, touches files,
// prints, changes metatables (so no finalizers, which Lua runs with the hook off) or steers
// the collector.
const char *const AllowedBase[] = {"assert",   "error",  "ipairs", "next",    "pairs",  "pcall",
                                   "rawequal", "rawget", "rawlen", "rawset",  "select", "tonumber",
                                   "tostring", "type",   "xpcall", "_VERSION"};
const char *const AllowedLibraries[] = {LUA_STRLIBNAME, LUA_TABLIBNAME, LUA_MATHLIBNAME,
                                        LUA_UTF8LIBNAME};

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

// Variables live in an environment of their own until the next reset; its __index is set
// to a fresh layer for every evaluation.
int newEnvironment(lua_State *L)
{
    lua_newtable(L);
    lua_newtable(L);
    lua_setmetatable(L, -2);
    lua_setfield(L, LUA_REGISTRYINDEX, EnvironmentKey);
    return 0;
}

struct VariableRequest
{
    const char *name = nullptr;
    enum class Kind { Nil, Boolean, Integer, Number, Text } kind = Kind::Nil;
    bool boolean = false;
    lua_Integer integer = 0;
    double number = 0;
    const char *text = nullptr;
    std::size_t length = 0;
};

int setVariableIn(lua_State *L)
{
    const auto *r = static_cast<const VariableRequest *>(lua_touserdata(L, 1));
    lua_getfield(L, LUA_REGISTRYINDEX, EnvironmentKey);
    switch (r->kind) {
    case VariableRequest::Kind::Nil:
        lua_pushnil(L);
        break;
    case VariableRequest::Kind::Boolean:
        lua_pushboolean(L, r->boolean);
        break;
    case VariableRequest::Kind::Integer:
        lua_pushinteger(L, r->integer);
        break;
    case VariableRequest::Kind::Number:
        lua_pushnumber(L, r->number);
        break;
    case VariableRequest::Kind::Text:
        lua_pushlstring(L, r->text, r->length);
        break;
    }
    lua_setfield(L, -2, r->name);
    return 0;
}

struct EvaluationRequest
{
    const char *expression = nullptr; // "return " followed by the text
    std::size_t expressionLength = 0;
    const char *chunk = nullptr; // the text as it is
    std::size_t chunkLength = 0;
    int type = LUA_TNIL;
    bool boolean = false;
    double number = 0;
};

int evaluateIn(lua_State *L)
{
    auto *r = static_cast<EvaluationRequest *>(lua_touserdata(L, 1));
    // Text only: precompiled chunks could bypass the checks of the compiler.
    if (luaL_loadbufferx(L, r->expression, r->expressionLength, "=criteria", "t") != LUA_OK) {
        // Not an expression; perhaps statements that return a value. If neither compiles,
        // the expression's own message is the helpful one.
        if (luaL_loadbufferx(L, r->chunk, r->chunkLength, "=criteria", "t") != LUA_OK) {
            lua_pop(L, 1);
            return lua_error(L);
        }
        lua_remove(L, -2);
    }
    lua_getfield(L, LUA_REGISTRYINDEX, EnvironmentKey);
    lua_getmetatable(L, -1);
    lua_newtable(L);
    luaL_setmetatable(L, LayerKey);
    lua_setfield(L, -2, "__index");
    lua_pop(L, 1);
    lua_setupvalue(L, -2, 1);
    lua_call(L, 0, 1);
    r->type = lua_type(L, -1);
    if (r->type == LUA_TBOOLEAN)
        r->boolean = lua_toboolean(L, -1);
    else if (r->type == LUA_TNUMBER)
        r->number = lua_tonumber(L, -1);
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
    m_allocation.limit = m_limits.memoryBytes;
    m_state = lua_newstate(&LuaSandbox::allocate, this);
    if (!m_state)
        return;
    *static_cast<LuaSandbox **>(lua_getextraspace(m_state)) = this;
    if (!protectedCall(&LuaSandbox::open, nullptr) || !resetVariables()) {
        lua_close(m_state);
        m_state = nullptr;
        return;
    }
    m_settledUse = m_allocation.used;
}

LuaSandbox::~LuaSandbox()
{
    if (m_state)
        lua_close(m_state);
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
    lua_pop(L, 1);
    lua_setfield(L, LUA_REGISTRYINDEX, BaseKey);
    return 0;
}

bool LuaSandbox::protectedCall(int (*f)(lua_State *), void *data)
{
    lua_State *L = m_state;
    lua_pushcfunction(L, f);
    lua_pushlightuserdata(L, data);
    const int status = lua_pcall(L, 1, 0, 0);
    // A stop that a pcall in the expression caught and gave as the expression's result (in
    // a tail call, where no instruction follows) still ends the evaluation.
    if (status == LUA_OK && m_budget.spent() == EvaluationBudget::Spent::Nothing) {
        m_failure.clear();
        return true;
    }
    // Once out of budget every instruction fails, whatever error came last.
    if (m_budget.spent() == EvaluationBudget::Spent::Instructions)
        m_failure = QStringLiteral("the expression ran too long");
    else if (m_budget.spent() == EvaluationBudget::Spent::ProcessorTime)
        m_failure = QStringLiteral("the expression used too much processor time");
    else if (status == LUA_ERRMEM)
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

bool LuaSandbox::resetVariables()
{
    if (!m_state)
        return false;
    m_documents->clear();
    return protectedCall(&newEnvironment, nullptr);
}

Status LuaSandbox::setVariable(const QString &name, const Variant &value)
{
    if (!IsVariableName(name))
        return Status::error(Error::InvalidProcedureCall,
                             QStringLiteral("Not a variable name: %1").arg(name));
    const QByteArray utf8Name = name.toUtf8();
    QByteArray text;
    VariableRequest r;
    r.name = utf8Name.constData();
    switch (TypeOf(value)) {
    case VariantType::Empty:
    case VariantType::Null:
        break;
    case VariantType::Bool:
        r.kind = VariableRequest::Kind::Boolean;
        r.boolean = ToBool(value).value_or(false);
        break;
    case VariantType::Int16:
    case VariantType::Int32:
        r.kind = VariableRequest::Kind::Integer;
        r.integer = ToInt32(value).value_or(0);
        break;
    case VariantType::Single:
    case VariantType::Double:
        r.kind = VariableRequest::Kind::Number;
        r.number = ToDouble(value).value_or(0.0);
        break;
    case VariantType::Currency:
        r.kind = VariableRequest::Kind::Number;
        r.number = double(value.value<CurrencyValue>().scaled) / 10000.0;
        break;
    case VariantType::String:
        r.kind = VariableRequest::Kind::Text;
        text = value.toString().toUtf8();
        r.text = text.constData();
        r.length = std::size_t(text.size());
        break;
    case VariantType::Object:
    case VariantType::Unsupported:
        return Status::error(Error::TypeMismatch);
    }
    if (!m_state || !protectedCall(&setVariableIn, &r))
        return Status::error(Error::InvalidProcedureCall,
                             m_state ? m_failure : QStringLiteral("The formula engine is closed."));
    return Status();
}

LuaSandbox::Outcome LuaSandbox::evaluate(const QString &expression)
{
    if (!m_state)
        return {MakeNull(), QStringLiteral("the formula engine is closed")};
    if (expression.trimmed().isEmpty())
        return {MakeNull(), QStringLiteral("there is no expression")};
    if (expression.size() > MaximumExpressionLength)
        return {MakeNull(), QStringLiteral("the expression is too long")};

    const QByteArray chunk = expression.toUtf8();
    const QByteArray asExpression = QByteArrayLiteral("return ") + chunk;
    EvaluationRequest r;
    r.expression = asExpression.constData();
    r.expressionLength = std::size_t(asExpression.size());
    r.chunk = chunk.constData();
    r.chunkLength = std::size_t(chunk.size());

    const locale_t byteOrder = ByteOrder();
    const locale_t previousLocale = byteOrder ? uselocale(byteOrder) : nullptr;
    m_budget.start();
    lua_sethook(m_state, &LuaSandbox::countInstructions, LUA_MASKCOUNT, HookInterval);
    const bool ok = protectedCall(&evaluateIn, &r);
    lua_sethook(m_state, nullptr, 0, 0);
    m_budget.finish();
    if (previousLocale)
        uselocale(previousLocale);
    // What an evaluation leaves stays reachable from stack slots that the next one has not
    // written yet, and even an emergency collection keeps it; a full collection clears those
    // slots, so that every evaluation starts with about the memory of the first.
    m_settledUse = std::min(m_settledUse, m_allocation.used);
    if (m_allocation.used > m_settledUse + SettleAbove) {
        lua_gc(m_state, LUA_GCCOLLECT);
        m_settledUse = m_allocation.used;
    }
    if (!ok)
        return {MakeNull(), m_failure};

    switch (r.type) {
    case LUA_TBOOLEAN:
        return {MakeBool(r.boolean), QString()};
    case LUA_TNUMBER:
        if (std::isnan(r.number))
            return {MakeNull(), QStringLiteral("the expression gives no number")};
        return {MakeDouble(r.number), QString()};
    case LUA_TNIL:
        return {MakeNull(), QString()};
    default:
        return {MakeNull(), QStringLiteral("the expression gives neither a Boolean nor a number")};
    }
}

} // namespace zeltpc5::host
