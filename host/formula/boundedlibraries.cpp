#include "host/formula/boundedlibraries.h"

#include "host/formula/luasandbox.h"

#include <lua.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>

// Everything here runs inside Lua, which unwinds errors with longjmp: no C++ object with a
// destructor is alive while a Lua call could raise one.

namespace zeltpc5::host {

namespace {

// The work of reading, writing or comparing one element, or of passing one argument.
constexpr std::size_t ElementCost = 16;
// next scans a table's empty slots up to the following entry, and there is no knowing how
// many there are: each call is counted as a long scan.
constexpr std::size_t ScanCost = 4096;
// string.find searches at least this much text at once.
constexpr std::size_t SearchWindow = 64 * 1024;

void spend(lua_State *L, std::size_t units)
{
    LuaSandbox::spend(L, units);
}

std::size_t times(std::size_t count, std::size_t units)
{
    return count > SIZE_MAX / units ? SIZE_MAX : count * units;
}

// How many indices first..last holds; 0 when none.
std::size_t elementsBetween(lua_Integer first, lua_Integer last)
{
    if (last < first)
        return 0;
    const lua_Unsigned n = lua_Unsigned(last) - lua_Unsigned(first);
    return n >= SIZE_MAX ? SIZE_MAX : std::size_t(n) + 1;
}

// The library function a wrapper stands for, in its first upvalue, called in the wrapper's
// own frame: its arguments, results and error messages stay as they were.
int callOriginal(lua_State *L)
{
    return lua_tocfunction(L, lua_upvalueindex(1))(L);
}

// Pays for the arguments (a text by its length, anything else as one element), then does
// what the original does: enough for functions whose work follows their arguments' size.
int chargedCall(lua_State *L)
{
    std::size_t units = 0;
    for (int i = lua_gettop(L); i > 0; --i)
        units += lua_type(L, i) == LUA_TSTRING ? lua_rawlen(L, i) : ElementCost;
    spend(L, units);
    return callOriginal(L);
}

// string.rep: a result of nothing is given at once, since the original copies nothing as
// many times as asked; otherwise the result must fit in memory, which bounds the copying.
int boundedRep(lua_State *L)
{
    std::size_t length = 0;
    std::size_t separator = 0;
    luaL_checklstring(L, 1, &length);
    const lua_Integer n = luaL_checkinteger(L, 2);
    luaL_optlstring(L, 3, "", &separator);
    if (n > 0) {
        if (length + separator == 0) {
            lua_pushliteral(L, "");
            return 1;
        }
        spend(L, times(std::size_t(n), length + separator));
    }
    return callOriginal(L);
}

std::size_t startOfSearch(lua_Integer init, std::size_t length)
{
    if (init > 0)
        return std::size_t(init) - 1;
    if (init == 0 || init < -lua_Integer(length))
        return 0;
    return length - std::size_t(-init);
}

// string.find, always as a plain search, the original's arguments and results. memmem is
// linear in the text and the pattern; the text is searched in windows of at least the
// pattern's length, overlapping by it, so that the work is reported as it goes.
int plainFind(lua_State *L)
{
    std::size_t length = 0;
    std::size_t patternLength = 0;
    const char *text = luaL_checklstring(L, 1, &length);
    const char *pattern = luaL_checklstring(L, 2, &patternLength);
    std::size_t from = startOfSearch(luaL_optinteger(L, 3, 1), length);
    if (from > length) {
        luaL_pushfail(L);
        return 1;
    }
    const std::size_t window = std::max(patternLength, SearchWindow);
    while (length - from >= patternLength) {
        const std::size_t span = std::min(length - from, window + patternLength);
        spend(L, span + patternLength);
        if (const void *found = memmem(text + from, span, pattern, patternLength)) {
            const std::size_t at = std::size_t(static_cast<const char *>(found) - text);
            lua_pushinteger(L, lua_Integer(at) + 1);
            lua_pushinteger(L, lua_Integer(at + patternLength));
            return 2;
        }
        if (span == length - from)
            break;
        from += window;
    }
    luaL_pushfail(L);
    return 1;
}

// The length of the table in the first argument: a border, which a few far keys can place
// anywhere, so what loops up to it pays element by element.
lua_Integer tableLength(lua_State *L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    return luaL_len(L, 1);
}

int boundedInsert(lua_State *L)
{
    const lua_Integer end = luaL_intop(+, tableLength(L), 1);
    lua_Integer position = end;
    switch (lua_gettop(L)) {
    case 2:
        break;
    case 3:
        position = luaL_checkinteger(L, 2);
        luaL_argcheck(L, lua_Unsigned(position) - 1u < lua_Unsigned(end), 2,
                      "position out of bounds");
        for (lua_Integer i = end; i > position; --i) {
            spend(L, ElementCost);
            lua_geti(L, 1, i - 1);
            lua_seti(L, 1, i);
        }
        break;
    default:
        return luaL_error(L, "wrong number of arguments to 'insert'");
    }
    lua_seti(L, 1, position);
    return 0;
}

int boundedRemove(lua_State *L)
{
    const lua_Integer size = tableLength(L);
    lua_Integer position = luaL_optinteger(L, 2, size);
    if (position != size)
        luaL_argcheck(L, lua_Unsigned(position) - 1u <= lua_Unsigned(size), 2,
                      "position out of bounds");
    lua_geti(L, 1, position);
    for (; position < size; ++position) {
        spend(L, ElementCost);
        lua_geti(L, 1, position + 1);
        lua_seti(L, 1, position);
    }
    lua_pushnil(L);
    lua_seti(L, 1, position);
    return 1;
}

// table.move over any range, nils included: paid element by element.
int boundedMove(lua_State *L)
{
    const lua_Integer first = luaL_checkinteger(L, 2);
    const lua_Integer last = luaL_checkinteger(L, 3);
    const lua_Integer to = luaL_checkinteger(L, 4);
    const int target = lua_isnoneornil(L, 5) ? 1 : 5;
    luaL_checktype(L, 1, LUA_TTABLE);
    luaL_checktype(L, target, LUA_TTABLE);
    if (last >= first) {
        luaL_argcheck(L, first > 0 || last < LUA_MAXINTEGER + first, 3,
                      "too many elements to move");
        const lua_Integer n = last - first + 1;
        luaL_argcheck(L, to <= LUA_MAXINTEGER - n + 1, 4, "destination wrap around");
        // Upwards unless that would overwrite elements not yet moved.
        if (to > last || to <= first || (target != 1 && !lua_compare(L, 1, target, LUA_OPEQ))) {
            for (lua_Integer i = 0; i < n; ++i) {
                spend(L, ElementCost);
                lua_geti(L, 1, first + i);
                lua_seti(L, target, to + i);
            }
        } else {
            for (lua_Integer i = n - 1; i >= 0; --i) {
                spend(L, ElementCost);
                lua_geti(L, 1, first + i);
                lua_seti(L, target, to + i);
            }
        }
    }
    lua_pushvalue(L, target);
    return 1;
}

void addField(lua_State *L, luaL_Buffer *b, lua_Integer i)
{
    spend(L, ElementCost);
    lua_geti(L, 1, i);
    if (!lua_isstring(L, -1))
        luaL_error(L, "invalid value (at index %I) in table for 'concat'",
                   static_cast<LUAI_UACINT>(i));
    luaL_addvalue(b);
}

// table.concat: each element may need a number turned into text, so each is paid for.
int boundedConcat(lua_State *L)
{
    lua_Integer last = tableLength(L);
    std::size_t separatorLength = 0;
    const char *separator = luaL_optlstring(L, 2, "", &separatorLength);
    lua_Integer i = luaL_optinteger(L, 3, 1);
    last = luaL_opt(L, luaL_checkinteger, 4, last);
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    for (; i < last; ++i) {
        addField(L, &b, i);
        luaL_addlstring(&b, separator, separatorLength);
    }
    if (i == last)
        addField(L, &b, i);
    luaL_pushresult(&b);
    return 1;
}

// table.unpack gives at most what the stack holds; paid for before.
int boundedUnpack(lua_State *L)
{
    const lua_Integer first = luaL_optinteger(L, 2, 1);
    const lua_Integer last = luaL_opt(L, luaL_checkinteger, 3, luaL_len(L, 1));
    spend(L, times(elementsBetween(first, last), ElementCost));
    return callOriginal(L);
}

// The order table.sort asks for, paid comparison by comparison: with the default order or a
// C function as the order, nothing else would count the comparisons.
int countedComparison(lua_State *L)
{
    spend(L, ElementCost);
    if (lua_isnil(L, lua_upvalueindex(1))) {
        lua_pushboolean(L, lua_compare(L, 1, 2, LUA_OPLT));
        return 1;
    }
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, 1);
    return 1;
}

int boundedSort(lua_State *L)
{
    if (!lua_isnoneornil(L, 2))
        luaL_checktype(L, 2, LUA_TFUNCTION);
    lua_settop(L, 2);
    lua_pushvalue(L, 2);
    lua_pushcclosure(L, &countedComparison, 1);
    lua_replace(L, 2);
    return callOriginal(L);
}

int boundedNext(lua_State *L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    spend(L, ScanCost);
    lua_settop(L, 2);
    if (lua_next(L, 1))
        return 2;
    lua_pushnil(L);
    return 1;
}

int boundedPairs(lua_State *L)
{
    luaL_checkany(L, 1);
    lua_pushcfunction(L, &boundedNext);
    lua_pushvalue(L, 1);
    lua_pushnil(L);
    return 3;
}

// xpcall(f, handler, ...): the results of f, or false and what the handler makes of the
// error. The handler runs here, after the failed call has been unwound and with the hook
// on, not inside the hook that raised the error.
int xpcallAfterUnwinding(lua_State *L)
{
    const int n = lua_gettop(L);
    luaL_checktype(L, 2, LUA_TFUNCTION);
    lua_pushboolean(L, 1);
    lua_pushvalue(L, 1);
    for (int i = 3; i <= n; ++i)
        lua_pushvalue(L, i);
    const int status = lua_pcall(L, n - 2, LUA_MULTRET, 0);
    if (status == LUA_OK)
        return lua_gettop(L) - n;
    // A stopped evaluation stays stopped: no handler gets to run on.
    spend(L, ElementCost);
    // As in xpcall, a memory error reaches no handler.
    if (status != LUA_ERRMEM) {
        lua_pushvalue(L, 2);
        lua_insert(L, -2);
        lua_pcall(L, 1, 1, 0);
    }
    lua_pushboolean(L, 0);
    lua_replace(L, n + 1);
    return 2;
}

// One step of utf8.codes skips continuation bytes up to the next character, as many as
// the text has: paid for after, by the distance covered.
int countedCodeStep(lua_State *L)
{
    std::size_t length = 0;
    if (lua_type(L, 1) == LUA_TSTRING)
        lua_tolstring(L, 1, &length);
    const lua_Integer from = lua_tointeger(L, 2);
    const int results = callOriginal(L);
    const lua_Integer to = results > 0 ? lua_tointeger(L, -results) : lua_Integer(length);
    spend(L, to > from ? std::size_t(lua_Unsigned(to) - lua_Unsigned(from)) : 1);
    return results;
}

int countedCodes(lua_State *L)
{
    const int results = callOriginal(L);
    lua_pushvalue(L, -results);
    lua_pushcclosure(L, &countedCodeStep, 1);
    lua_replace(L, -results - 1);
    return results;
}

void wrap(lua_State *L, int table, const char *name, lua_CFunction wrapper)
{
    lua_getfield(L, table, name);
    lua_pushcclosure(L, wrapper, 1);
    lua_setfield(L, table, name);
}

void wrapEach(lua_State *L, int table, std::initializer_list<const char *> names)
{
    for (const char *name : names)
        wrap(L, table, name, &chargedCall);
}

void replace(lua_State *L, int table, const char *name, lua_CFunction function)
{
    lua_pushcfunction(L, function);
    lua_setfield(L, table, name);
}

void remove(lua_State *L, int table, std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        lua_pushnil(L);
        lua_setfield(L, table, name);
    }
}

int library(lua_State *L, int globals, const char *name)
{
    lua_getfield(L, globals, name);
    return lua_gettop(L);
}

} // namespace

void BoundLibraries(lua_State *L)
{
    const int top = lua_gettop(L);
    lua_pushglobaltable(L);
    const int globals = lua_gettop(L);
    wrapEach(L, globals, {"tonumber", "select"});
    replace(L, globals, "next", &boundedNext);
    replace(L, globals, "pairs", &boundedPairs);
    replace(L, globals, "xpcall", &xpcallAfterUnwinding);

    const int string = library(L, globals, LUA_STRLIBNAME);
    wrapEach(L, string,
             {"byte", "char", "format", "lower", "pack", "packsize", "reverse", "sub", "unpack",
              "upper"});
    wrap(L, string, "rep", &boundedRep);
    replace(L, string, "find", &plainFind);
    remove(L, string, {"dump", "match", "gmatch", "gsub"});

    // Arithmetic on texts turns them into numbers first, in these metamethods.
    lua_pushliteral(L, "");
    lua_getmetatable(L, -1);
    const int metatable = lua_gettop(L);
    lua_pushnil(L);
    while (lua_next(L, metatable)) {
        if (lua_tocfunction(L, -1)) {
            lua_pushcclosure(L, &chargedCall, 1);
            lua_pushvalue(L, -2);
            lua_insert(L, -2);
            lua_rawset(L, metatable);
        } else {
            lua_pop(L, 1);
        }
    }

    const int table = library(L, globals, LUA_TABLIBNAME);
    wrapEach(L, table, {"pack"});
    wrap(L, table, "unpack", &boundedUnpack);
    wrap(L, table, "sort", &boundedSort);
    replace(L, table, "insert", &boundedInsert);
    replace(L, table, "remove", &boundedRemove);
    replace(L, table, "move", &boundedMove);
    replace(L, table, "concat", &boundedConcat);

    const int math = library(L, globals, LUA_MATHLIBNAME);
    wrapEach(L, math, {"max", "min"});
    remove(L, math, {"randomseed"});

    const int utf8 = library(L, globals, LUA_UTF8LIBNAME);
    wrapEach(L, utf8, {"char", "codepoint", "len", "offset"});
    wrap(L, utf8, "codes", &countedCodes);

    lua_settop(L, top);
}

} // namespace zeltpc5::host
