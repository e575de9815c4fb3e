#include "widgets/kitatoms.h"
#include "platform/core/AsciiCase.h"

#include <map>
#include <mutex>

namespace {
constexpr ATOM FirstAtom = 0xC000;

struct AtomEntry {
    std::string Name;
    int Count = 0;
};

std::mutex gAtomLock;
std::map<ATOM, AtomEntry>& Atoms()
{
    static std::map<ATOM, AtomEntry> atoms;
    return atoms;
}

std::string Folded(std::string text) { return AsciiLower(std::move(text)); }

ATOM FindLocked(const std::string& name)
{
    const std::string key = Folded(name);
    for (const auto& [atom, entry] : Atoms())
        if (Folded(entry.Name) == key) return atom;
    return 0;
}
}  // namespace

ATOM GlobalAddAtom(const std::string& name)
{
    if (name.empty() || name.size() > 255) return 0;
    std::lock_guard lock(gAtomLock);
    if (ATOM found = FindLocked(name)) {
        ++Atoms()[found].Count;
        return found;
    }
    for (std::uint32_t atom = FirstAtom; atom <= 0xFFFF; ++atom) {
        if (!Atoms().count(static_cast<ATOM>(atom))) {
            Atoms()[static_cast<ATOM>(atom)] = AtomEntry{name, 1};
            return static_cast<ATOM>(atom);
        }
    }
    return 0;
}

ATOM GlobalDeleteAtom(ATOM atom)
{
    std::lock_guard lock(gAtomLock);
    auto it = Atoms().find(atom);
    if (it == Atoms().end()) return atom;
    if (--it->second.Count <= 0) Atoms().erase(it);
    return 0;
}

ATOM GlobalFindAtom(const std::string& name)
{
    std::lock_guard lock(gAtomLock);
    return FindLocked(name);
}

std::string GlobalGetAtomName(ATOM atom)
{
    std::lock_guard lock(gAtomLock);
    auto it = Atoms().find(atom);
    return it == Atoms().end() ? std::string() : it->second.Name;
}
