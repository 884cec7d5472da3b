// clipboard_manager.exe HOLD_MS: another program that keeps a clipboard history, as clipboard
// managers and Windows' own clipboard history do. Right after every change it opens the clipboard
// and, unless it is empty, HOLD_MS later reads every format, so that a format offered for
// rendering on request is rendered then by its owner (for a copy made with OleSetClipboard, a
// window of the thread that copied), while the manager holds the clipboard open and waits for it. Content that carries the
// "ExcludeClipboardContentFromMonitorProcessing" format is left unread, as Windows documents.
#include <windows.h>

#include <cwchar>

#include "sim/win32/clipboard_manager.h"
#include "sim/win32/other_program.h"

namespace {

using namespace sim::win32::clipboard_manager;

// Opens the clipboard as soon as the program that changed it lets go; false when the manager is
// told to stop first.
bool openWhenFree(HWND window, const Shared& shared) {
    while (!OpenClipboard(window)) {
        if (shared.stop) return false;
        Sleep(1);
    }
    return true;
}

void readEveryFormat(HWND window, Shared& shared, DWORD holdMs) {
    if (!openWhenFree(window, shared)) return;
    const UINT excluded = RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing");
    if (CountClipboardFormats() == 0 || IsClipboardFormatAvailable(excluded)) {
        CloseClipboard();
        InterlockedIncrement(&shared.skipped);
        return;
    }
    Sleep(holdMs);  // what a manager does before it reads: look at the formats, decide what to keep
    // Reading has a format's owner render it: its thread must handle WM_RENDERFORMAT first.
    for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format))
        GetClipboardData(format);
    CloseClipboard();
    InterlockedIncrement(&shared.reads);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const sim::win32::SharedWithTheSimulator<Shared> memory(sharedName);
    Shared* const shared = memory.get();
    if (!shared) return 1;
    const DWORD holdMs = argc > 1 ? static_cast<DWORD>(_wtoi(argv[1])) : 0;
    const HWND window = CreateWindowExW(0, L"STATIC", L"Zeltra Test Clipboard Manager", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, nullptr, nullptr);
    if (!window || !AddClipboardFormatListener(window)) return 1;
    InterlockedExchange(&shared->listening, 1);
    while (!shared->stop) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        bool changed = false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_CLIPBOARDUPDATE) changed = true;
            else DispatchMessageW(&message);
        }
        if (changed) readEveryFormat(window, *shared, holdMs);
    }
    RemoveClipboardFormatListener(window);
    DestroyWindow(window);
    return 0;
}
