#pragma once
// A process-wide table of named atoms in the manner of the system's global
// atom table: adding a name again counts it, deleting counts down, and an
// atom's number (0xC000 and up) is free again once its count reaches 0.

#include <cstdint>
#include <string>

using ATOM = std::uint16_t;

// 0 when the table is full or the name is empty. Names compare without regard to ASCII case.
ATOM GlobalAddAtom(const std::string& name);
// Returns 0 on success, the atom itself when it was not in the table.
ATOM GlobalDeleteAtom(ATOM atom);
ATOM GlobalFindAtom(const std::string& name);
std::string GlobalGetAtomName(ATOM atom);
