// The standard functions as charge criteria get them. A C function runs without the
// instruction hook, so every one whose work is not small and fixed either reports that work
// to the evaluation (LuaSandbox::spend) before and while it does it, or is replaced by one
// that does; those that could loop without end whatever their arguments' size
// (string.rep of nothing, table.move over a range of nils, table.insert below a far border,
// a plain search) are replaced outright.
#pragma once

struct lua_State;

namespace zeltpc5::host {

// Applies the above to the global functions and the string, table, math and utf8 tables
// opened in L, and to the string metatable, in place. Also:
// - string.find always searches plain text, in windows, so that its work stays linear;
//   dump, match, gmatch and gsub go (pattern matching runs inside C and can take
//   exponential time; dump makes bytecode);
// - xpcall calls its message handler after the failed call has been unwound: Lua runs a
//   message handler inside the hook that raised the error, where no hook can stop it;
// - math.randomseed goes: one expression must not steer what another draws.
void BoundLibraries(lua_State *L);

} // namespace zeltpc5::host
