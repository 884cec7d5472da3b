#include "com/module.h"

#include <atomic>

#include "host/error.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace com {
namespace {
// Constant-initialised: loading the library runs no code of ours.
constinit std::atomic<long> liveObjects{0};
constinit std::atomic<long> serverLocks{0};
}  // namespace

ModuleObject::ModuleObject() noexcept { ++liveObjects; }
ModuleObject::ModuleObject(const ModuleObject&) noexcept { ++liveObjects; }
ModuleObject::~ModuleObject() { --liveObjects; }

void lockServer(bool lock) noexcept {
    if (lock) ++serverLocks;
    else --serverLocks;
}

bool canUnload() noexcept { return liveObjects == 0 && serverLocks == 0; }

HMODULE moduleHandle() noexcept { return reinterpret_cast<HMODULE>(&__ImageBase); }

std::wstring modulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(moduleHandle(), path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) throw host::Error(HRESULT_FROM_WIN32(GetLastError()), "GetModuleFileName");
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace com
