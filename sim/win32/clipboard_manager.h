#pragma once
// What the clipboard manager (clipboard_manager.exe, another program) shares with the simulator:
// a stop flag and how many clipboard changes it has read, in memory shared by name.
#include <windows.h>

namespace sim::win32::clipboard_manager {

inline constexpr wchar_t sharedName[] = L"Local\\ZeltraClipboardManager";

struct Shared {
    volatile LONG stop;       // set by the simulator to end the manager
    volatile LONG listening;  // set by the manager once it hears of changes
    volatile LONG reads;      // changes whose every format it has read
    volatile LONG skipped;    // changes marked to be kept out of clipboard managers
};

}  // namespace sim::win32::clipboard_manager
