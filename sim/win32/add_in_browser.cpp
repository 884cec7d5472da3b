#include "sim/win32/add_in_browser.h"

#include <exdisp.h>

#include <cstring>

#include "com/ptr.h"

extern "C" HRESULT WINAPI AtlAxGetControl(HWND window, IUnknown** control);

namespace sim::win32 {
namespace {

constexpr wchar_t formClass[] = L"ZeltraFormAddIn";
constexpr wchar_t hostClass[] = L"AtlAxWin";

BOOL CALLBACK findHost(HWND window, LPARAM found) noexcept {
    wchar_t name[16] = L"";
    if (GetClassNameW(window, name, 16) && lstrcmpW(name, hostClass) == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND addInFormWindow() {
    if (HWND form = FindWindowExW(nullptr, nullptr, formClass, nullptr)) return form;
    return FindWindowExW(HWND_MESSAGE, nullptr, formClass, nullptr);
}

HWND browserHostIn(HWND form) {
    HWND host = nullptr;
    if (form) EnumChildWindows(form, &findHost, reinterpret_cast<LPARAM>(&host));
    return host;
}

namespace {

com::ComPtr<IWebBrowser2> addInBrowser() {
    const HWND host = browserHostIn(addInFormWindow());
    com::ComPtr<IUnknown> control;
    com::ComPtr<IWebBrowser2> browser;
    if (host && SUCCEEDED(AtlAxGetControl(host, control.put())) && control)
        (void)control.queryInterface(IID_IWebBrowser2, browser);
    return browser;
}

}  // namespace

HRESULT navigateAddInBrowser(const std::wstring& address, bool posted) {
    const com::ComPtr<IWebBrowser2> browser = addInBrowser();
    if (!browser) return E_FAIL;
    com::Bstr url(address);
    VARIANT none;
    VariantInit(&none);
    com::UniqueVariant postData;
    if (posted) {
        constexpr char form[] = "q=x";
        SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, sizeof form - 1);
        if (!bytes) return E_OUTOFMEMORY;
        std::memcpy(bytes->pvData, form, sizeof form - 1);
        postData->parray = bytes;
        postData->vt = VT_ARRAY | VT_UI1;
    }
    return browser->Navigate(url.get(), &none, &none, postData.get(), &none);
}

std::optional<std::wstring> addInBrowserAddress() {
    const com::ComPtr<IWebBrowser2> browser = addInBrowser();
    if (!browser) return std::nullopt;
    com::Bstr address;
    if (FAILED(browser->get_LocationURL(address.put()))) return std::nullopt;
    return address.get() ? std::wstring(address.get(), SysStringLen(address.get())) : std::wstring();
}

}  // namespace sim::win32
