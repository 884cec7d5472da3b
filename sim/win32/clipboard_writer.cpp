// clipboard_writer.exe SEED: another program that copies text at random moments, as a user does in
// another window while the add-in works: "writer-1", "writer-2", ... each put on the clipboard by a
// window of its own after a pause of 1 to 60 ms, until the soak sets the shared stop flag. The
// number of the last text written is published in shared memory before the clipboard is closed.
#include <windows.h>

#include <cwchar>
#include <random>

#include "sim/win32/clipboard_writer.h"
#include "sim/win32/other_program.h"

namespace {

using namespace sim::win32::clipboard_writer;

bool putText(HWND owner, const std::wstring& text) {
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!global) return false;
    if (void* target = GlobalLock(global)) {
        std::wmemcpy(static_cast<wchar_t*>(target), text.c_str(), text.size() + 1);
        GlobalUnlock(global);
    }
    if (!OpenClipboard(owner)) {
        GlobalFree(global);
        return false;
    }
    EmptyClipboard();
    const bool put = SetClipboardData(CF_UNICODETEXT, global) != nullptr;
    if (!put) GlobalFree(global);
    return put;  // the clipboard stays open: the caller publishes the number first
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const sim::win32::SharedWithTheSimulator<Shared> memory(sharedName);
    Shared* const shared = memory.get();
    if (!shared) return 1;
    const HWND owner = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    std::mt19937 random(argc > 1 ? static_cast<unsigned>(_wtoi(argv[1])) : 1u);
    std::uniform_int_distribution<DWORD> pause(1, 60);
    LONG next = 1;
    while (!shared->stop) {
        Sleep(pause(random));
        if (!putText(owner, textOf(next))) continue;
        InterlockedExchange(&shared->lastWritten, next);
        CloseClipboard();
        ++next;
    }
    return 0;
}
