#include "forms/win32/form_window.h"

#include <windows.h>
#include <commctrl.h>
#include <oaidl.h>
#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "com/boundary.h"
#include "com/module.h"
#include "com/ptr.h"
#include "forms/win32/form_design.h"
#include "forms/win32/form_resources.h"
#include "host/error.h"
#include "host/win32/desktop.h"
#include "host/win32/dispatch.h"
#include "host/win32/last_error.h"
#include "host/win32/window_class.h"
#include "resources/resource_ids.h"

// The two control-hosting functions of the system's atl.dll.
extern "C" BOOL WINAPI AtlAxWinInit();
extern "C" HRESULT WINAPI AtlAxGetControl(HWND window, IUnknown** control);

namespace zeltra::forms::win32 {
namespace {

// The form window: destroyed with its owner unless the user closed it first. While it exists
// the library stays loaded: its window procedure and the control it hosts are the library's code.
class OwnedWindow {
public:
    OwnedWindow() = default;
    OwnedWindow(const OwnedWindow&) = delete;
    OwnedWindow& operator=(const OwnedWindow&) = delete;
    ~OwnedWindow() { destroy(); }
    void destroy() noexcept {
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

class FormWindowImpl final : public FormWindow, public std::enable_shared_from_this<FormWindowImpl> {
public:
    explicit FormWindowImpl(FormEvents& handlers);
    ~FormWindowImpl() override { unload(); }
    FormWindowImpl(const FormWindowImpl&) = delete;
    FormWindowImpl& operator=(const FormWindowImpl&) = delete;

    bool exists() const override { return window_.get() != nullptr; }
    host::Bitmap myIconPicture() const override {
        checkedWindow();
        return picture_;
    }
    host::Bitmap myIconMask() const override {
        checkedWindow();
        return mask_;
    }
    host::Object webBrowser1() const override;
    void showModal(std::uintptr_t ownerWindow) override;
    void hide() override {
        const HWND window = checkedWindow();
        endModal();
        ShowWindow(window, SW_HIDE);
    }
    void setText1FontUnderline(bool underline) override;
    void setText1ForeColor(std::uint32_t colour) override;
    void unload() noexcept override;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    static LRESULT CALLBACK linkLabelProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleLinkLabel(HWND label, UINT message, WPARAM wParam, LPARAM lParam);
    void paintLinkLabel(HWND label);
    HWND checkedWindow() const;
    HWND control(ControlId id) const { return GetDlgItem(window_.get(), id); }
    void createControls(UINT dpi);
    void addTooltip();
    // Centred on the owner's frame, or on the screen without one, and kept within the work area.
    void centreOn(HWND owner);
    // Outlook's window is enabled again, as a dialog box does before it goes, so that it is the
    // window activated next; the form's own hidden owner takes over again.
    void endModal() noexcept;

    // The library stays loaded while this object lives: its window procedures may still be
    // running further up the stack after the window has gone.
    com::ModuleObject counted_;
    FormEvents* handlers_;  // null once unloaded
    HMODULE module_ = com::moduleHandle();
    HCURSOR handCursor_ = LoadCursorW(module_, MAKEINTRESOURCEW(IDC_HAND_POINTER));
    std::optional<host::win32::WindowClass> formClass_, linkClass_;
    host::Bitmap picture_ = storedPicture(module_, IDB_BUTTON_FACE);
    host::Bitmap mask_ = storedPicture(module_, IDB_BUTTON_MASK);
    OwnedBitmap face_;
    com::ComPtr<IPicture> logo_ = loadLogo(module_);
    OwnedIcon bigIcon_, smallIcon_;
    OwnedBrush green_{CreateSolidBrush(formGreen)};
    OwnedFont labelFont_, welcomeFont_, linkFont_, linkUnderlinedFont_;
    bool text1Underlined_ = false;
    COLORREF text1Colour_ = white;
    bool text1Pressed_ = false;
    HWND focusWhenInactive_ = nullptr;
    // An owner that is never shown keeps the form out of the taskbar.
    OwnedWindowHandle owner_;
    HWND modalOwner_ = nullptr;  // Outlook's window, disabled while the form is shown modally to it
    OwnedWindow window_;
};

FormWindowImpl::FormWindowImpl(FormEvents& handlers) : handlers_(&handlers) {
    formClass_.emplace(formWindowClass, &procedure, module_, LoadCursorW(nullptr, IDC_ARROW));
    linkClass_.emplace(linkLabelClass, &linkLabelProcedure, module_);
    if (!handCursor_) throw lastError("LoadCursor hand");
    if (!green_) throw lastError("CreateSolidBrush");
    face_.reset(static_cast<HBITMAP>(
        LoadImageW(module_, MAKEINTRESOURCEW(IDB_BUTTON_FACE), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!face_) throw lastError("LoadImage button face");
    owner_.reset(CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, module_, nullptr));
    if (!owner_) throw lastError("CreateWindowEx owner");
    // A fixed dialog frame with a close button only.
    if (!CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, formWindowClass, caption,
                         WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 0, 0, 320, 200, owner_.get(), nullptr,
                         module_, this))
        throw lastError("CreateWindowEx form");
    const HWND window = window_.get();
    const UINT dpi = dpiOf(window);
    // The frame is whatever the system made around the client area.
    RECT outer{}, client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    const int frameWidth = (outer.right - outer.left) - client.right;
    const int frameHeight = (outer.bottom - outer.top) - client.bottom;
    if (!SetWindowPos(window, nullptr, 0, 0, toPixels(clientWidth, dpi) + frameWidth,
                      toPixels(clientHeight, dpi) + frameHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE))
        throw lastError("SetWindowPos form");
    bigIcon_.reset(static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(IDI_PRODUCT_ICON), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
    smallIcon_.reset(static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(IDI_PRODUCT_ICON), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
    labelFont_ = makeFont(L"Trebuchet MS", 83, FW_NORMAL, false, dpi);
    welcomeFont_ = makeFont(L"Trebuchet MS", 83, FW_BOLD, false, dpi);
    linkFont_ = makeFont(L"MS Sans Serif", 80, FW_NORMAL, false, dpi);
    linkUnderlinedFont_ = makeFont(L"MS Sans Serif", 80, FW_NORMAL, true, dpi);
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
        const std::wstring text = textOf(design.id);
        if (!CreateWindowExW(design.extendedStyle, design.windowClass, text.c_str(),
                             WS_CHILD | WS_VISIBLE | design.style, toPixels(r.left, dpi), toPixels(r.top, dpi),
                             toPixels(r.width, dpi), toPixels(r.height, dpi), window_.get(),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), module_, this))
            throw lastError("CreateWindowEx control");
    }
    OLE_HANDLE logo = 0;
    com::throwIfFailed(logo_->get_Handle(&logo), "logo bitmap");
    SendMessageW(control(picture1Id), STM_SETIMAGE, IMAGE_BITMAP, static_cast<LPARAM>(logo));
    SendMessageW(control(myIconId), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(face_.get()));
    SendMessageW(control(text2Id), WM_SETFONT, reinterpret_cast<WPARAM>(labelFont_.get()), FALSE);
    SendMessageW(control(lastWordId), WM_SETFONT, reinterpret_cast<WPARAM>(welcomeFont_.get()), FALSE);
    addTooltip();
    // The AtlAxWin window is made even when the control in it is not: without one the load fails.
    (void)webBrowser1();
}

void FormWindowImpl::addTooltip() {
    // The tooltip is a courtesy: without the common controls the label simply has none.
    host::win32::initCommonControlClasses(ICC_BAR_CLASSES);
    const HWND tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_.get(),
                                         nullptr, module_, nullptr);
    if (!tooltip) return;
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;  // what every version of the common controls accepts
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_.get();
    tool.uId = reinterpret_cast<UINT_PTR>(control(text1Id));
    tool.lpszText = const_cast<wchar_t*>(text1Tooltip);
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

HWND FormWindowImpl::checkedWindow() const {
    if (!window_.get()) throw host::Error(HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE), "form window closed");
    return window_.get();
}

host::Object FormWindowImpl::webBrowser1() const {
    const HWND host = GetDlgItem(checkedWindow(), webBrowser1Id);
    com::ComPtr<IUnknown> hosted;
    com::throwIfFailed(AtlAxGetControl(host, hosted.put()), "AtlAxGetControl");
    com::ComPtr<IDispatch> dispatch;
    com::throwIfFailed(hosted.queryInterface(IID_IDispatch, dispatch), "WebBrowser1 IDispatch");
    if (!dispatch) throw host::Error(E_NOINTERFACE, "WebBrowser1 gave no IDispatch");
    return ::win32::wrapDispatch(dispatch.get());
}

void FormWindowImpl::centreOn(HWND owner) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT around = work;
    if (owner) GetWindowRect(owner, &around);
    RECT frame{};
    GetWindowRect(window_.get(), &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int left = std::clamp(static_cast<int>(around.left + (around.right - around.left - width) / 2),
                                static_cast<int>(work.left), std::max(static_cast<int>(work.left), static_cast<int>(work.right) - width));
    const int top = std::clamp(static_cast<int>(around.top + (around.bottom - around.top - height) / 2),
                               static_cast<int>(work.top), std::max(static_cast<int>(work.top), static_cast<int>(work.bottom) - height));
    SetWindowPos(window_.get(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindowImpl::endModal() noexcept {
    const HWND owner = std::exchange(modalOwner_, nullptr);
    if (!owner) return;
    EnableWindow(owner, TRUE);
    if (window_.get()) SetWindowLongPtrW(window_.get(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner_.get()));
}

void FormWindowImpl::showModal(std::uintptr_t ownerWindow) {
    // What runs inside the loop may unload the form and let go of this object.
    const std::shared_ptr<FormWindowImpl> keepAlive = shared_from_this();
    const HWND window = checkedWindow();
    auto owner = reinterpret_cast<HWND>(ownerWindow);
    if (owner && (!IsWindow(owner) || !IsWindowEnabled(owner))) owner = nullptr;  // gone, or a dialog of its own is up
    if (owner) {
        // Owned by Outlook's window, the form stays in front of it and shares its taskbar entry.
        SetWindowLongPtrW(window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
        modalOwner_ = owner;
    }
    centreOn(owner);
    ShowWindow(window, SW_SHOWNORMAL);
    if (!IsWindowVisible(window)) {
        endModal();
        throw lastError("ShowWindow form");
    }
    // As a dialog box does: the owner takes no input until the form goes.
    if (owner) EnableWindow(owner, FALSE);
    SetForegroundWindow(window);
    // Until the form is hidden or closed. Everything else on the thread goes on meanwhile.
    while (window_.get() && IsWindowVisible(window_.get())) {
        MSG message;
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            endModal();
            PostQuitMessage(static_cast<int>(message.wParam));  // for the loop that owns it
            return;
        }
        if (got < 0) {
            endModal();
            throw lastError("GetMessage");
        }
        if (!window_.get() || !IsDialogMessageW(window_.get(), &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    endModal();
}

void FormWindowImpl::unload() noexcept {
    handlers_ = nullptr;
    endModal();
    // The window goes first (its controls and the hosted control with it), then its owner, the
    // pictures, fonts and brushes, then the classes.
    window_.destroy();
    owner_.reset();
    logo_.reset();
    face_.reset();
    bigIcon_.reset();
    smallIcon_.reset();
    green_.reset();
    labelFont_.reset();
    welcomeFont_.reset();
    linkFont_.reset();
    linkUnderlinedFont_.reset();
    linkClass_.reset();
    formClass_.reset();
}

void FormWindowImpl::setText1FontUnderline(bool underline) {
    text1Underlined_ = underline;
    InvalidateRect(control(text1Id), nullptr, TRUE);
}

void FormWindowImpl::setText1ForeColor(std::uint32_t colour) {
    text1Colour_ = static_cast<COLORREF>(colour);
    InvalidateRect(control(text1Id), nullptr, TRUE);
}

LRESULT FormWindowImpl::handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!handlers_) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_ERASEBKGND: {
            RECT client{};
            GetClientRect(window, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, green_.get());
            return 1;
        }
        case WM_CTLCOLORSTATIC: {
            const HDC dc = reinterpret_cast<HDC>(wParam);
            // The read-only welcome text: the form's green on the window background.
            if (reinterpret_cast<HWND>(lParam) == control(lastWordId)) {
                SetTextColor(dc, formGreen);
                SetBkColor(dc, GetSysColor(COLOR_WINDOW));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
            }
            SetTextColor(dc, white);
            SetBkColor(dc, formGreen);
            return reinterpret_cast<LRESULT>(green_.get());
        }
        case WM_CTLCOLORBTN:
            return reinterpret_cast<LRESULT>(green_.get());
        case WM_MOUSEMOVE:
            handlers_->Form_MouseMove();
            return 0;
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == okButtonId) handlers_->OKButton_Click();
            else if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == getNowId) handlers_->GetNow_Click();
            return 0;
        case WM_CLOSE:
            // Outlook's window first, so that it is activated when this one goes.
            endModal();
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_DESTROY:
            endModal();
            handlers_->Form_Unload();
            return 0;
        case WM_ACTIVATE:
            // As a dialog does: the focus comes back to the control that had it.
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = GetFocus();
                focusWhenInactive_ = focus && IsChild(window, focus) ? focus : nullptr;
            } else {
                const HWND focus = focusWhenInactive_ ? focusWhenInactive_ : GetNextDlgTabItem(window, nullptr, FALSE);
                if (focus) SetFocus(focus);
            }
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

void FormWindowImpl::paintLinkLabel(HWND label) {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(label, &paint);
    RECT area{};
    GetClientRect(label, &area);
    FillRect(dc, &area, green_.get());
    wchar_t text[128] = L"";
    GetWindowTextW(label, text, 128);
    const HGDIOBJ previous = SelectObject(dc, text1Underlined_ ? linkUnderlinedFont_.get() : linkFont_.get());
    SetTextColor(dc, text1Colour_);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text, -1, &area, DT_LEFT | DT_TOP | DT_NOPREFIX);
    if (GetFocus() == label) {
        RECT extent = area;
        DrawTextW(dc, text, -1, &extent, DT_LEFT | DT_TOP | DT_NOPREFIX | DT_CALCRECT);
        DrawFocusRect(dc, &extent);
    }
    SelectObject(dc, previous);
    EndPaint(label, &paint);
}

LRESULT FormWindowImpl::handleLinkLabel(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!handlers_) return DefWindowProcW(label, message, wParam, lParam);
    switch (message) {
        case WM_PAINT:
            paintLinkLabel(label);
            return 0;
        case WM_SETCURSOR:
            SetCursor(handCursor_);
            return TRUE;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(text1Underlined_ ? linkUnderlinedFont_.get() : linkFont_.get());
        case WM_MOUSEMOVE:
            handlers_->Text1_MouseMove();
            return 0;
        case WM_LBUTTONDOWN:
            text1Pressed_ = true;
            SetFocus(label);
            return 0;
        case WM_LBUTTONUP:
            if (std::exchange(text1Pressed_, false)) handlers_->Text1_Click();
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_SPACE || wParam == VK_RETURN) handlers_->Text1_Click();
            return 0;
        case WM_GETDLGCODE: {
            // Enter follows the link rather than pressing a button of the form.
            const auto* key = reinterpret_cast<const MSG*>(lParam);
            return key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN ? DLGC_WANTMESSAGE : 0;
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            InvalidateRect(label, nullptr, TRUE);
            return 0;
        default:
            return DefWindowProcW(label, message, wParam, lParam);
    }
}

LRESULT CALLBACK FormWindowImpl::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept try {
    auto* self = reinterpret_cast<FormWindowImpl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<FormWindowImpl*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_.adopt(window);
    } else if (message == WM_NCDESTROY) {
        // The last message, after the controls are gone: closing the window (WM_CLOSE's default
        // handling destroys it) unloads the form.
        if (self) {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            self->window_.forget();
        }
    } else if (self) {
        // A handler may unload the form and let go of this object before it returns.
        const std::shared_ptr<FormWindowImpl> keepAlive = self->weak_from_this().lock();
        return self->handle(window, message, wParam, lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
} catch (...) {
    return com::lresultFromCaughtException(window, message, wParam, lParam);
}

LRESULT CALLBACK FormWindowImpl::linkLabelProcedure(HWND label, UINT message, WPARAM wParam, LPARAM lParam) noexcept try {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(label, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<FormWindowImpl*>(GetWindowLongPtrW(label, GWLP_USERDATA));
    if (message == WM_NCDESTROY) SetWindowLongPtrW(label, GWLP_USERDATA, 0);
    if (self && message != WM_NCCREATE && message != WM_NCDESTROY) {
        const std::shared_ptr<FormWindowImpl> keepAlive = self->weak_from_this().lock();
        return self->handleLinkLabel(label, message, wParam, lParam);
    }
    return DefWindowProcW(label, message, wParam, lParam);
} catch (...) {
    return com::lresultFromCaughtException(label, message, wParam, lParam);
}

}  // namespace

std::shared_ptr<FormWindow> loadFormWindow(FormEvents& handlers) { return std::make_shared<FormWindowImpl>(handlers); }

}  // namespace zeltra::forms::win32
