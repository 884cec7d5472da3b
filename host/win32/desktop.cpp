#include "host/win32/desktop.h"

#include <commctrl.h>

#include <string>

#include "host/error.h"
#include "host/win32/last_error.h"

namespace host::win32 {

std::unique_ptr<host::ClipboardContent> SystemDesktop::saveClipboard() { return ClipboardContent::save(options_); }

void SystemDesktop::restoreClipboard(const host::ClipboardContent& saved) {
    const auto* content = dynamic_cast<const ClipboardContent*>(&saved);
    if (!content) throw Error(hresult::invalidArg, "clipboard content of another desktop");
    content->restore(options_);
}

void SystemDesktop::setClipboardPicture(const host::Bitmap& picture) {
    host::win32::setClipboardPicture(picture, options_);
}

void SystemDesktop::messageBox(std::wstring_view prompt, std::uint32_t style, std::wstring_view title) {
    const std::wstring promptText(prompt);
    const std::wstring titleText(title);
    if (MessageBoxW(GetActiveWindow(), promptText.c_str(), titleText.c_str(), style) == 0)
        throw Error(lastErrorResult(), "MessageBoxW");
}

// The library is loaded and never freed: the classes it registers live in it, and windows of those
// classes may outlast this object, so freeing it could unload the code under them. Each call adds
// one more reference to a library the process keeps anyway.
void SystemDesktop::initCommonControls(std::uint32_t classes) noexcept {
    const HMODULE library = LoadLibraryW(L"comctl32.dll");
    if (!library) return;
    using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const auto init = reinterpret_cast<InitFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")));
    if (!init) return;
    const INITCOMMONCONTROLSEX controls{sizeof controls, classes};
    init(&controls);
}

}  // namespace host::win32
