#include "addin/win32/apartment.h"

#include <objbase.h>
#include <windows.h>

#include <map>
#include <memory>

#include "forms/win32/form_window.h"
#include "host/win32/desktop.h"
#include "host/win32/dispatch.h"
#include "host/win32/product_keys.h"

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

// The system services of one apartment's component, made with it.
struct Apartment {
    host::win32::SystemDesktop desktop;
    win32::ComObjectFactory objects;
    host::win32::SystemProductKeys keys;
    Component component{desktop, objects, keys, &forms::win32::loadFormWindow};
};

using ApartmentMap = std::map<DWORD, std::unique_ptr<Apartment>>;

// Both constant-initialised, so loading the library runs no code of ours and no guard is needed.
// The map is made on first use, under the lock, and deliberately never destroyed: tearing it down
// would run at DLL detach, under the loader lock, and release host objects after their apartments
// are gone.
constinit SRWLOCK apartmentsLock = SRWLOCK_INIT;
constinit ApartmentMap* apartments = nullptr;

}  // namespace

Component& apartmentComponent(StartupRoutine startup) {
    const DWORD key = apartmentKey();
    Component* component = nullptr;
    bool created = false;
    {
        const ExclusiveLock guard(apartmentsLock);
        if (!apartments) apartments = new ApartmentMap;
        auto& slot = (*apartments)[key];
        if (!slot) {
            slot = std::make_unique<Apartment>();
            created = true;
        }
        component = &slot->component;
    }
    // Outside the lock: the routine may run a message loop that creates further objects.
    if (created && startup) startup(*component);
    return *component;
}

}  // namespace zeltra::server
