#include "forms/win32/form_design.h"

#include "modules/web_sites.h"

namespace zeltra::forms::win32 {

std::wstring textOf(ControlId id) {
    switch (id) {
        case okButtonId: return L"OK";
        case getNowId: return L"<";
        case text1Id: return std::wstring(supportSite) + L"\r\n";
        case text2Id: return L"Version 1.0";
        case lastWordId:
            return std::wstring(L"Thank you for installing Corvane Zeltra v1.0\r\n\r\n"
                                L"To use Zeltra from Outlook, simply open an item, highlight an email address or "
                                L"word then press your new Zeltra button.\r\n\r\n") +
                   trademarkNotice +
                   L" Current Terms of use are available online. Zeltra is a research tool that is as useful and "
                   L"safe to use, as the internet is; generally speaking. We advise that young children use Zeltra "
                   L"under parental supervision unless you would like someone else's values imposed on them."
                   L"\r\n\r\n" +
                   supportSite + L"\r\n" + rightsNotice + L"\r\n";
        case webBrowser1Id: return L"Shell.Explorer.2";
        default: return L"";
    }
}

UINT dpiOf(HWND window) noexcept {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    if (const HMODULE user = GetModuleHandleW(L"user32.dll")) {
        const auto getDpi = reinterpret_cast<GetDpiForWindowFunction>(
            reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")));
        if (getDpi) {
            if (const UINT dpi = getDpi(window)) return dpi;
        }
    }
    int dpi = 0;
    if (const HDC screen = GetDC(nullptr)) {
        dpi = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace zeltra::forms::win32
