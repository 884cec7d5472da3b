#include "forms/win32/form_window.h"

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "com/boundary.h"
#include "com/module.h"
#include "com/ptr.h"
#include "host/error.h"
#include "host/win32/dispatch.h"
#include "resources/resource_ids.h"

// The two control-hosting functions of the system's atl.dll.
extern "C" BOOL WINAPI AtlAxWinInit();
extern "C" HRESULT WINAPI AtlAxGetControl(HWND window, IUnknown** control);

namespace zeltra::forms::win32 {
namespace {

// --- The form as designed -----------------------------------------------------------------------
// Positions and sizes are in twips (1440 to the inch), as the form designer keeps them; they are
// converted for the window's DPI when the window is made.

struct TwipRect {
    int left, top, width, height;
};

constexpr wchar_t caption[] = L"Corvane Zeltra";
constexpr int clientWidth = 4590;
constexpr int clientHeight = 2430;

enum ControlId : int { myIconId = 1, webBrowser1Id = 2 };

struct ControlDesign {
    ControlId id;
    const wchar_t* windowClass;
    const wchar_t* text;
    DWORD style;  // besides WS_CHILD | WS_VISIBLE
    TwipRect rect;
};

// MyIcon and WebBrowser1 lie below the client area, so that they are never seen when the form is
// shown. A centred image keeps the picture box at its own size.
constexpr ControlDesign controls[] = {
    {myIconId, L"Static", L"", SS_BITMAP | SS_CENTERIMAGE, {120, 2520, 375, 375}},
    {webBrowser1Id, L"AtlAxWin", L"Shell.Explorer.2", 0, {1560, 2760, 495, 135}},
};

// --- Helpers ------------------------------------------------------------------------------------

[[nodiscard]] host::Error lastError(const char* context) {
    const DWORD code = GetLastError();
    return host::Error(code ? HRESULT_FROM_WIN32(code) : E_FAIL, context);
}

// The window's DPI: GetDpiForWindow where the system has it, the screen's otherwise.
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

int toPixels(int twips, UINT dpi) noexcept { return MulDiv(twips, static_cast<int>(dpi), 1440); }

// The button face exactly as the resource holds it: BITMAPINFOHEADER, colour table, pixels.
host::Bitmap storedPicture(HMODULE module) {
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDB_BUTTON_FACE), RT_BITMAP);
    if (!found) throw lastError("FindResource button face");
    const HGLOBAL loaded = LoadResource(module, found);
    const auto* bytes = loaded ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
    if (!bytes) throw lastError("LoadResource button face");
    return host::Bitmap{{bytes, bytes + SizeofResource(module, found)}};
}

struct BitmapDeleter {
    void operator()(HBITMAP bitmap) const noexcept { DeleteObject(bitmap); }
};
using OwnedBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter>;

// The form's window class, registered with the library's handle while a form lives. Windows does
// not unregister a library's classes when the library unloads, so the class goes with the form:
// a class left behind would keep a window procedure that may no longer be there.
class FormClass {
public:
    FormClass(WNDPROC procedure, HMODULE module) : module_(module) {
        WNDCLASSEXW existing{};
        existing.cbSize = sizeof existing;
        if (GetClassInfoExW(module_, formWindowClass, &existing)) return;
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = module_;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        windowClass.lpszClassName = formWindowClass;
        if (!RegisterClassExW(&windowClass)) throw lastError("RegisterClassEx form");
    }
    // Fails, harmlessly, while another window of the class is alive.
    ~FormClass() { UnregisterClassW(formWindowClass, module_); }
    FormClass(const FormClass&) = delete;
    FormClass& operator=(const FormClass&) = delete;

private:
    HMODULE module_;
};

// The form window: destroyed with its owner unless the user closed it first. While it exists
// the library stays loaded: its window procedure and the control it hosts are the library's code.
class OwnedWindow {
public:
    OwnedWindow() = default;
    OwnedWindow(const OwnedWindow&) = delete;
    OwnedWindow& operator=(const OwnedWindow&) = delete;
    ~OwnedWindow() {
        if (handle_) DestroyWindow(handle_);  // the window procedure forgets it on WM_NCDESTROY
    }
    HWND get() const noexcept { return handle_; }
    void adopt(HWND handle) noexcept {
        handle_ = handle;
        keepsTheLibraryLoaded_.emplace();
    }
    void forget() noexcept {
        handle_ = nullptr;
        keepsTheLibraryLoaded_.reset();
    }

private:
    HWND handle_ = nullptr;
    std::optional<com::ModuleObject> keepsTheLibraryLoaded_;
};

// --- The form window ----------------------------------------------------------------------------

class FormWindowImpl final : public FormWindow {
public:
    FormWindowImpl();
    // The window goes first (its controls and the hosted control with it), then the picture's
    // bitmap, then the class.
    ~FormWindowImpl() override = default;
    FormWindowImpl(const FormWindowImpl&) = delete;
    FormWindowImpl& operator=(const FormWindowImpl&) = delete;

    bool exists() const override { return window_.get() != nullptr; }
    host::Bitmap myIconPicture() const override {
        checkedWindow();
        return picture_;
    }
    host::Object webBrowser1() const override;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    HWND checkedWindow() const;
    void createControls(UINT dpi);

    HMODULE module_ = com::moduleHandle();
    FormClass class_{&procedure, module_};
    host::Bitmap picture_ = storedPicture(module_);
    OwnedBitmap face_;
    OwnedWindow window_;
};

FormWindowImpl::FormWindowImpl() {
    face_.reset(static_cast<HBITMAP>(
        LoadImageW(module_, MAKEINTRESOURCEW(IDB_BUTTON_FACE), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!face_) throw lastError("LoadImage button face");
    // A fixed dialog frame with a close button only; never shown here.
    if (!CreateWindowExW(WS_EX_DLGMODALFRAME, formWindowClass, caption, WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, module_, this))
        throw lastError("CreateWindowEx form");
    const HWND window = window_.get();
    const UINT dpi = dpiOf(window);
    // The frame is whatever the system made around the default client area.
    RECT outer{}, client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    const int frameWidth = (outer.right - outer.left) - client.right;
    const int frameHeight = (outer.bottom - outer.top) - client.bottom;
    if (!SetWindowPos(window, nullptr, 0, 0, toPixels(clientWidth, dpi) + frameWidth,
                      toPixels(clientHeight, dpi) + frameHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE))
        throw lastError("SetWindowPos form");
    createControls(dpi);
}

void FormWindowImpl::createControls(UINT dpi) {
    // Registers the AtlAxWin class. atl.dll answers TRUE again on later calls; Wine's answers
    // FALSE once the class exists, which is as good (and initialises OLE on the thread each time,
    // which the host's thread has done already).
    WNDCLASSEXW hostClass{};
    hostClass.cbSize = sizeof hostClass;
    if (!AtlAxWinInit() && !GetClassInfoExW(module_, L"AtlAxWin", &hostClass))
        throw host::Error(E_FAIL, "AtlAxWinInit");
    for (const ControlDesign& design : controls) {
        const TwipRect& r = design.rect;
        if (!CreateWindowExW(0, design.windowClass, design.text, WS_CHILD | WS_VISIBLE | design.style,
                             toPixels(r.left, dpi), toPixels(r.top, dpi), toPixels(r.width, dpi),
                             toPixels(r.height, dpi), window_.get(),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), module_, nullptr))
            throw lastError("CreateWindowEx control");
    }
    SendMessageW(GetDlgItem(window_.get(), myIconId), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(face_.get()));
    // The AtlAxWin window is made even when the control in it is not: without one the load fails.
    (void)webBrowser1();
}

HWND FormWindowImpl::checkedWindow() const {
    if (!window_.get()) throw host::Error(HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE), "form window closed");
    return window_.get();
}

host::Object FormWindowImpl::webBrowser1() const {
    com::ComPtr<IUnknown> control;
    com::throwIfFailed(AtlAxGetControl(GetDlgItem(checkedWindow(), webBrowser1Id), control.put()), "AtlAxGetControl");
    com::ComPtr<IDispatch> dispatch;
    com::throwIfFailed(control.queryInterface(IID_IDispatch, dispatch), "WebBrowser1 IDispatch");
    if (!dispatch) throw host::Error(E_NOINTERFACE, "WebBrowser1 gave no IDispatch");
    return ::win32::wrapDispatch(dispatch.get());
}

LRESULT CALLBACK FormWindowImpl::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept try {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<FormWindowImpl*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_.adopt(window);
    } else if (message == WM_NCDESTROY) {
        // The last message, after the controls are gone: closing the window (WM_CLOSE's default
        // handling destroys it) unloads the form.
        if (auto* self = reinterpret_cast<FormWindowImpl*>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            self->window_.forget();
            self->face_.reset();
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
} catch (...) {
    return com::lresultFromCaughtException(window, message, wParam, lParam);
}

}  // namespace

std::unique_ptr<FormWindow> loadFormWindow() { return std::make_unique<FormWindowImpl>(); }

}  // namespace zeltra::forms::win32
