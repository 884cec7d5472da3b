#include "addin/win32/apartment.h"

#include <objbase.h>
#include <windows.h>

#include <map>
#include <memory>

namespace zeltra::server {
namespace {

// Single-threaded apartments are told apart by their thread; the multithreaded apartment is one.
DWORD apartmentKey() {
    APTTYPE type = APTTYPE_CURRENT;
    APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
    if (SUCCEEDED(CoGetApartmentType(&type, &qualifier)) && (type == APTTYPE_MTA || type == APTTYPE_NA)) {
        return static_cast<DWORD>(-1 - static_cast<int>(type));  // never a thread id
    }
    return GetCurrentThreadId();
}

class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) noexcept : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK& lock_;
};

using ModuleMap = std::map<DWORD, std::unique_ptr<ModOutlook>>;

// Both constant-initialised, so loading the library runs no code of ours and no guard is needed.
// The map is made on first use, under the lock, and deliberately never destroyed: tearing it down
// would run at DLL detach, under the loader lock, and release host objects after their apartments
// are gone.
constinit SRWLOCK modulesLock = SRWLOCK_INIT;
constinit ModuleMap* modules = nullptr;

}  // namespace

ModOutlook& apartmentModule(StartupRoutine startup) {
    const DWORD key = apartmentKey();
    ModOutlook* module = nullptr;
    bool created = false;
    {
        const ExclusiveLock guard(modulesLock);
        if (!modules) modules = new ModuleMap;
        auto& slot = (*modules)[key];
        if (!slot) {
            slot = std::make_unique<ModOutlook>();
            created = true;
        }
        module = slot.get();
    }
    // Outside the lock: the routine may run a message loop that creates further objects.
    if (created && startup) startup(*module);
    return *module;
}

}  // namespace zeltra::server
