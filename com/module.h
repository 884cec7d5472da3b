#pragma once
// What the library as a whole keeps: the count of its live objects and of the server locks, which
// DllCanUnloadNow reports, and the library's own file.
#include <windows.h>

#include <string>

namespace com {

// Counts as one live object of the library for its lifetime. Every object the library hands out
// (instances, class objects, event sinks, site objects) holds one.
class ModuleObject {
public:
    ModuleObject() noexcept;
    ModuleObject(const ModuleObject&) noexcept;
    ModuleObject& operator=(const ModuleObject&) noexcept = default;
    ~ModuleObject();
};

void lockServer(bool lock) noexcept;
// True when no object of the library is alive and no class object is locked.
[[nodiscard]] bool canUnload() noexcept;

[[nodiscard]] HMODULE moduleHandle() noexcept;
// The full path of the library's file; throws host::Error when Windows cannot tell it.
std::wstring modulePath();

}  // namespace com
