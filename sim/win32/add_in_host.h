#pragma once
// Loads and drives add-ins as Outlook does: from the Outlook add-in entries in the registry,
// through IDTExtensibility2.
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "extensibility.h"
#include "com/ptr.h"
#include "sim/win32/com_host.h"
#include "sim/win32/ribbon_target.h"

namespace sim::win32 {

struct AddInEntry {
    std::wstring progId;
    std::wstring friendlyName;
    DWORD loadBehavior = 0;
};

// Outlook's add-in entries: HKCU first, then HKLM for ProgIDs not already seen.
std::vector<AddInEntry> registeredAddIns();

struct Timings {
    double onConnectionMs = 0;
    double onDisconnectionMs = 0;
};

class AddInHost {
public:
    explicit AddInHost(ComHost& com) : com_(com) {}

    // Creates each add-in whose load behaviour is 3 and connects it: OnConnection with the
    // application and an add-in instance object, then OnStartupComplete.
    void startup();
    // OnBeginShutdown and OnDisconnection for each loaded add-in, then releases it; fast, as
    // Outlook 2010 and later often exit: only the release.
    void shutdown(bool fast = false);
    // The user unticks the loaded add-ins in the COM Add-ins dialog: OnDisconnection with
    // ext_dm_UserClosed (no OnBeginShutdown), the release, then CoFreeUnusedLibraries.
    void disable();
    // The user ticks them again: created anew, OnConnection with ext_cm_AfterStartup (no
    // OnStartupComplete, as for any add-in connected while Outlook runs).
    void enable();
    // Asks DllCanUnloadNow of every add-in library loaded so far; true when each answers as
    // expected: S_OK when it should agree to unload, S_FALSE when it must stay loaded. A library
    // that should unload must also have no window of its own left and no window class of its
    // own still registered.
    bool librariesAnswerUnload(bool shouldUnload) const;
    // Remembers the classes of the windows the add-in libraries have made so far on this thread.
    void noteLibraryWindowClasses();
    // Whether an add-in library is mapped into the process.
    bool anyLibraryMapped() const;
    // Unloads the add-in libraries that agree to it (DllCanUnloadNow), as COM does for a process
    // that calls CoFreeUnusedLibraries, and reports which stay loaded.
    void freeUnusedLibraries() const;

    // Whether the window is of a class one of the add-in libraries registered.
    bool ownsWindowClass(HWND window) const;
    // Whether an add-in library has a message-only window on this thread: it waits for a message
    // of Outlook's loop (a copy, posted work).
    bool awaitsMessages() const;

    // Where the ribbon's callbacks of the add-ins connected from now on are looked up.
    void setRibbonCallbackPath(CallbackPath path) { ribbonCallbackPath_ = path; }

    bool anyLoaded() const { return !loaded_.empty(); }
    bool anyLoadedEver() const { return !libraries_.empty(); }
    const Timings& timings() const { return timings_; }

private:
    struct Loaded {
        AddInEntry entry;
        com::ComPtr<IDTExtensibility2> object;
    };
    // Creates the add-in and connects it in that mode; null when either fails.
    com::ComPtr<IDTExtensibility2> connect(const AddInEntry& entry, ext_ConnectMode mode);

    ComHost& com_;
    std::vector<Loaded> loaded_;
    std::vector<AddInEntry> disabled_;
    std::set<std::wstring> libraryClasses_;
    std::vector<std::wstring> libraries_;
    Timings timings_;
    CallbackPath ribbonCallbackPath_ = CallbackPath::objectDispatch;
};

}  // namespace sim::win32
