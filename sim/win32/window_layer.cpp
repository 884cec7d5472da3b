#include "sim/win32/window_layer.h"

#include <algorithm>
#include <vector>

#include "com/boundary.h"
#include "sim/win32/clipboard.h"
#include "sim/win32/ole_copy.h"
#include "sim/win32/png_file.h"
#include "sim/win32/ribbon_painter.h"

namespace sim::win32 {
namespace {

constexpr wchar_t explorerClass[] = L"ZeltraSimExplorer";
constexpr wchar_t inspectorClass[] = L"ZeltraSimInspector";
constexpr wchar_t menuClass[] = L"ZeltraSimContextMenu";
// The real views' window classes, as an add-in finds them at the keyboard focus: Word's document
// window (every editor and the reading pane from Outlook 2007 on), the HTML viewer (Outlook 2003's
// read windows and reading pane) and Outlook's RichEdit (Outlook 2003's other editors). Each is
// the edit control under that name. The message list is Outlook's own grid.
constexpr wchar_t wordViewClass[] = L"_WwG";
constexpr wchar_t htmlViewClass[] = L"Internet Explorer_Server";
constexpr wchar_t richEditClass[] = L"RichEdit20WPT";
constexpr wchar_t messageListClass[] = L"SUPERGRID";
constexpr int messageListWidth = 200;
constexpr int messageListRowHeight = 20;
constexpr int explorerButtonsHeight = 44;
constexpr int newItemButton = 101;
constexpr int newExplorerButton = 102;
constexpr int quitButton = 103;
constexpr int barHeight = 30;
constexpr int faceSize = 16;
constexpr std::int32_t msoButtonIcon = 1;
constexpr std::int32_t msoButtonCaption = 2;
constexpr UINT_PTR slowCopyTimer = 0x5A17;
// The edit control's own procedure, which the item windows' editors pass their messages on to.
WNDPROC editControlProc = nullptr;

// A face assigned as Picture, the mask's white pixels transparent.
Image maskedPicture(const Node::Control& control) {
    Image face = control.picture;
    const bool masked = control.mask.width == face.width && control.mask.height == face.height;
    for (std::size_t i = 0; i < face.pixels.size(); ++i) {
        face.pixels[i] |= 0xFF000000u;
        if (masked && (control.mask.pixels[i] & 0xFFFFFF) == 0xFFFFFF) face.pixels[i] = 0;
    }
    return face;
}

// A control's face: its picture, the pasted one, or a grey square standing for the built-in face.
void drawFace(HDC dc, const Node::Control& control, int x, int y) {
    const RECT square{x, y, x + faceSize, y + faceSize};
    if (!control.picture.empty()) {
        drawImage(dc, maskedPicture(control), x, y, faceSize, false);
        return;
    }
    if (const auto format = pictureFormat(control.face)) {
        const auto* info = reinterpret_cast<const BITMAPINFO*>(control.face.data());
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchDIBits(dc, x, y, faceSize, faceSize, 0, 0, format->width, format->height,
                      control.face.data() + format->bitsOffset, info, DIB_RGB_COLORS, SRCCOPY);
        return;
    }
    HBRUSH grey = CreateSolidBrush(RGB(0xA0, 0xA0, 0xA0));
    FillRect(dc, &square, grey);
    DeleteObject(grey);
    FrameRect(dc, &square, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
}

}  // namespace

void WindowLayer::registerClasses() {
    static bool registered = false;
    if (registered) return;
    for (const wchar_t* name : {explorerClass, inspectorClass, menuClass, messageListClass}) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = name == menuClass          ? &WindowLayer::menuProc
                         : name == messageListClass ? &WindowLayer::messageListProc
                                                    : &WindowLayer::windowProc;
        if (name == menuClass) wc.style = CS_DROPSHADOW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>((name == messageListClass ? COLOR_WINDOW : COLOR_BTNFACE) + 1);
        wc.lpszClassName = name;
        RegisterClassExW(&wc);
    }
    // The views: the edit control's class under the views' names, its procedure behind ours.
    WNDCLASSEXW edit{};
    edit.cbSize = sizeof edit;
    if (GetClassInfoExW(nullptr, L"EDIT", &edit)) {
        editControlProc = edit.lpfnWndProc;
        for (const wchar_t* name : {wordViewClass, htmlViewClass, richEditClass}) {
            WNDCLASSEXW view = edit;
            view.cbSize = sizeof view;
            view.lpfnWndProc = &WindowLayer::editorProc;
            view.hInstance = GetModuleHandleW(nullptr);
            view.lpszClassName = name;
            RegisterClassExW(&view);
        }
    }
    registered = true;
}

const wchar_t* WindowLayer::viewClassOf(const Node& window) const {
    if (model_.version() >= 12) return wordViewClass;
    const bool read = window.kind() == Kind::Explorer ||
                      (!window.compose && window.item && (window.item->itemClass == 43 || window.item->itemClass == 45));
    return read ? htmlViewClass : richEditClass;
}

const wchar_t* itemClassName(std::int32_t itemClass) {
    switch (itemClass) {
        case 43: return L"mail";
        case 45: return L"post";
        case 26: return L"appointment";
        case 40: return L"contact";
        case 69: return L"distlist";
        case 48: return L"task";
        case 42: return L"journal";
        case 41: return L"document";
        case 53: return L"meeting";
        default: return L"item";
    }
}

WindowLayer::WindowLayer(Model& model, bool visible) : model_(model), visible_(visible) { registerClasses(); }

WindowLayer::~WindowLayer() {
    closeMenu();
    for (auto& [node, window] : windows_) {
        SetWindowLongPtrW(window.frame, GWLP_USERDATA, 0);
        DestroyWindow(window.frame);
    }
}

void WindowLayer::opened(Node& window) {
    const bool explorer = window.kind() == Kind::Explorer;
    std::wstring title = explorer ? L"Inbox - " + window.name()
                                  : std::wstring(itemClassName(window.item ? window.item->itemClass : 0)) + L" - " +
                                        window.name();
    const int offset = 30 * static_cast<int>(windows_.size() % 10);
    const bool ribbons = model_.version() >= 12;
    HWND frame = CreateWindowExW(0, explorer ? explorerClass : inspectorClass, title.c_str(), WS_OVERLAPPEDWINDOW,
                                 40 + offset, 40 + offset, explorer ? 720 : ribbons ? 640 : 520,
                                 explorer ? 480 : ribbons ? 440 : 360, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!frame) return;
    SetWindowLongPtrW(frame, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    Window created{frame, nullptr};
    const int top = topOf(window);
    if (explorer) {
        int x = 10;
        for (const auto& [id, label] : {std::pair{newItemButton, L"New mail"}, std::pair{newExplorerButton, L"New window"},
                                        std::pair{quitButton, L"Quit Outlook"}}) {
            CreateWindowExW(0, L"BUTTON", label, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, x, top - explorerButtonsHeight + 8,
                            110, 28, frame, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                            nullptr);
            x += 120;
        }
    } else {
        model_.commandBarsOf(window);  // an item window shows its bars from the start
    }
    // The item's text, or the reading pane: read-only until an inline reply opens in it. An
    // Explorer's message list is on the left of its reading pane.
    const std::wstring body = window.item ? window.item->body : std::wstring();
    RECT client{};
    GetClientRect(frame, &client);
    const int left = explorer ? messageListWidth : 0;
    if (explorer)
        created.list = CreateWindowExW(WS_EX_CLIENTEDGE, messageListClass, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, top,
                                       messageListWidth, client.bottom - top, frame, nullptr, GetModuleHandleW(nullptr),
                                       nullptr);
    created.editor = CreateWindowExW(WS_EX_CLIENTEDGE, viewClassOf(window), body.c_str(),
                                     WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL |
                                         ES_NOHIDESEL | (explorer ? ES_READONLY : 0),
                                     left, top, client.right - left, client.bottom - top, frame, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
    SendMessageW(created.editor, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    windows_[&window] = created;
    if (visible_) {
        ShowWindow(frame, SW_SHOWNORMAL);
        UpdateWindow(frame);
    }
}

void WindowLayer::closed(Node& window) {
    const auto it = windows_.find(&window);
    if (it == windows_.end()) return;
    if (menu_ && GetWindow(menu_, GW_OWNER) == it->second.frame) closeMenu();
    const HWND frame = it->second.frame;
    windows_.erase(it);
    SetWindowLongPtrW(frame, GWLP_USERDATA, 0);
    DestroyWindow(frame);
}

void WindowLayer::bringToFront(Node& window) {
    const auto it = windows_.find(&window);
    if (it == windows_.end()) return;
    if (!IsWindowVisible(it->second.frame)) ShowWindow(it->second.frame, SW_SHOWNORMAL);
    // Keystrokes synthesised with SendInput go to the focus window of the foreground thread:
    // the frame becomes the foreground and active window, its editor the focus.
    SetForegroundWindow(it->second.frame);
    SetActiveWindow(it->second.frame);
    if (it->second.editor) SetFocus(it->second.editor);
}

bool WindowLayer::editorHasFocus(const Node& window) const {
    const auto it = windows_.find(&window);
    return it != windows_.end() && it->second.editor && GetFocus() == it->second.editor &&
           GetForegroundWindow() == it->second.frame;
}

void WindowLayer::select(Node& window, int start, int length) {
    const auto it = windows_.find(&window);
    if (it == windows_.end() || !it->second.editor) return;
    bringToFront(window);
    SendMessageW(it->second.editor, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(start + length));
}

std::wstring WindowLayer::selectedText(Node& window) const {
    const auto it = windows_.find(&window);
    if (it == windows_.end() || !it->second.editor) return {};
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(it->second.editor, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const int length = GetWindowTextLengthW(it->second.editor);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(it->second.editor, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    return text.substr(start, end - start);
}

bool WindowLayer::setSlowCopy(const Node& window, DWORD delayMs, bool withoutTextFirst) {
    const auto it = windows_.find(&window);
    if (it == windows_.end() || !it->second.editor) return false;
    it->second.copyDelay = delayMs;
    it->second.withoutTextFirst = withoutTextFirst;
    return true;
}

std::optional<LRESULT> WindowLayer::editorMessage(HWND editor, UINT message, WPARAM wParam) {
    const auto it = std::find_if(windows_.begin(), windows_.end(),
                                 [&](const auto& entry) { return entry.second.editor == editor; });
    if (it == windows_.end()) return std::nullopt;
    if (message == WM_COPY) {
        if (it->second.copyDelay == 0) {
            copySelectionOf(editor);
            return 0;
        }
        if (it->second.withoutTextFirst) {
            // A program that empties the clipboard first and puts its data there later.
            const OpenedClipboard open(editor);
            const auto bytes = Clipboard::privateBytes();
            const UINT format = RegisterClipboardFormatW(Clipboard::privateFormatName);
            if (open && EmptyClipboard() && format) addData(format, bytes.data(), bytes.size());
        }
        SetTimer(editor, slowCopyTimer, it->second.copyDelay, nullptr);
        return 0;
    }
    if (message == WM_TIMER && wParam == slowCopyTimer) {
        KillTimer(editor, slowCopyTimer);
        copySelectionOf(editor);
        return 0;
    }
    return std::nullopt;
}

// A view copies as Word, RichEdit and the HTML viewer do: through OLE, its formats rendered on
// request. Nothing selected, nothing copied.
void WindowLayer::copySelectionOf(HWND view) {
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(view, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (end <= start) return;
    const int length = GetWindowTextLengthW(view);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(view, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    copyThroughOle(text.substr(start, end - start));
    if (afterCopy) afterCopy();
}

bool WindowLayer::preTranslate(const MSG& message) {
    if (message.message != WM_KEYDOWN || (message.wParam != 'C' && message.wParam != VK_INSERT)) return false;
    if (GetKeyState(VK_CONTROL) >= 0 || GetKeyState(VK_MENU) < 0 || GetKeyState(VK_SHIFT) < 0) return false;
    for (const auto& [node, window] : windows_) {
        if (message.hwnd == window.editor) {
            // The view's own accelerator: its copy command.
            SendMessageW(window.editor, WM_COPY, 0, 0);
            return true;
        }
        if (message.hwnd == window.list) {
            // The message list copies its items' columns.
            if (node->readingItem) {
                copyThroughOle(messageListText(*node));
                if (afterCopy) afterCopy();
            }
            return true;
        }
    }
    return false;
}

std::wstring WindowLayer::messageListText(const Node& explorer) {
    const std::wstring body = explorer.readingItem ? explorer.readingItem->body : std::wstring();
    return L"From\tSubject\tReceived\r\nA. Sender\t" + body.substr(0, 40) + L"\tToday 09:30\r\n";
}

void WindowLayer::focusMessageList(Node& explorer) {
    const auto it = windows_.find(&explorer);
    if (it == windows_.end() || !it->second.list) return;
    bringToFront(explorer);
    SetFocus(it->second.list);
    InvalidateRect(it->second.list, nullptr, TRUE);
}

std::wstring WindowLayer::focusDescription(const std::function<std::wstring(const Node&)>& nameOf) const {
    const HWND focus = GetFocus();
    if (!focus) return L"nothing";
    for (const auto& [node, window] : windows_) {
        if (focus == window.list) return L"the message list of " + nameOf(*node);
        if (focus == window.editor)
            return std::wstring(node->kind() == Kind::Explorer ? L"the reading pane of " : L"the text of ") + nameOf(*node);
    }
    return L"another window";
}

// Outlook's grid: the column heads, and the selected item as its one row.
LRESULT CALLBACK WindowLayer::messageListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) noexcept try {
    auto* layer = reinterpret_cast<WindowLayer*>(GetWindowLongPtrW(GetParent(list), GWLP_USERDATA));
    switch (message) {
        case WM_LBUTTONDOWN:
            SetFocus(list);
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            InvalidateRect(list, nullptr, TRUE);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_PAINT:
        case WM_PRINTCLIENT: {
            PAINTSTRUCT paint{};
            const HDC dc = message == WM_PAINT ? BeginPaint(list, &paint) : reinterpret_cast<HDC>(wParam);
            RECT client{};
            GetClientRect(list, &client);
            FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
            const int saved = SaveDC(dc);
            SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
            SetBkMode(dc, TRANSPARENT);
            RECT head{0, 0, client.right, messageListRowHeight};
            FillRect(dc, &head, GetSysColorBrush(COLOR_BTNFACE));
            RECT headText{6, 0, client.right, messageListRowHeight};
            DrawTextW(dc, L"From    Subject", -1, &headText, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
            const Node* explorer = layer ? layer->nodeOf(GetParent(list)) : nullptr;
            if (explorer && explorer->readingItem) {
                RECT row{0, messageListRowHeight, client.right, 2 * messageListRowHeight};
                const bool focused = GetFocus() == list;
                FillRect(dc, &row, GetSysColorBrush(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
                SetTextColor(dc, GetSysColor(focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
                RECT rowText{6, row.top, client.right, row.bottom};
                const std::wstring line = L"A. Sender  " + explorer->readingItem->body;
                DrawTextW(dc, line.c_str(), -1, &rowText, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS);
            }
            RestoreDC(dc, saved);
            if (message == WM_PAINT) EndPaint(list, &paint);
            return 0;
        }
        default:
            return DefWindowProcW(list, message, wParam, lParam);
    }
} catch (...) {
    return com::lresultFromCaughtException(list, message, wParam, lParam);
}

// Nothing thrown by a handler may cross into the system's message dispatch. A view takes Ctrl+C
// (and Ctrl+Insert) only through its host's pre-translation (preTranslate): the key dispatched by
// any other message loop copies nothing.
LRESULT CALLBACK WindowLayer::editorProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam) noexcept try {
    constexpr WPARAM controlC = 0x03;
    if (message == WM_CHAR && wParam == controlC) return 0;
    if (message == WM_KEYDOWN && wParam == VK_INSERT && GetKeyState(VK_CONTROL) < 0) return 0;
    auto* layer = reinterpret_cast<WindowLayer*>(GetWindowLongPtrW(GetParent(editor), GWLP_USERDATA));
    if (layer)
        if (const auto handled = layer->editorMessage(editor, message, wParam)) return *handled;
    return CallWindowProcW(editControlProc, editor, message, wParam, lParam);
} catch (...) {
    return com::lresultFromCaughtException(editor, message, wParam, lParam);
}

std::vector<Node*> WindowLayer::openWindows() const {
    std::vector<Node*> open;
    for (const auto& [node, window] : windows_) open.push_back(const_cast<Node*>(node));
    return open;
}

void WindowLayer::barsChanged() {
    for (const auto& [node, window] : windows_) {
        const RECT strips{0, 0, 32767, topOf(*node)};
        InvalidateRect(window.frame, &strips, TRUE);
    }
}

int WindowLayer::topOf(const Node& window) const {
    const int version = model_.version();
    if (window.kind() == Kind::Explorer) return (version >= 14 ? ribbonHeight : 0) + explorerButtonsHeight;
    return version >= 12 ? ribbonHeight + barHeight : barHeight;
}

HWND WindowLayer::editorOf(const Node& window) const {
    const auto it = windows_.find(&window);
    return it == windows_.end() ? nullptr : it->second.editor;
}

std::optional<EditorState> WindowLayer::editorState(const Node& window) const {
    const HWND editor = editorOf(window);
    if (!editor) return std::nullopt;
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(editor, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const int length = GetWindowTextLengthW(editor);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(editor, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    return EditorState{std::move(text), start, end};
}

void WindowLayer::readingPaneChanged(Node& explorer, const std::optional<std::wstring>& replyText) {
    const HWND pane = editorOf(explorer);
    if (!pane) return;
    const std::wstring text = replyText ? *replyText : explorer.readingItem ? explorer.readingItem->body : std::wstring();
    SetWindowTextW(pane, text.c_str());
    SendMessageW(pane, EM_SETREADONLY, explorer.inlineResponse ? FALSE : TRUE, 0);
    SendMessageW(pane, EM_SETSEL, 0, 0);
}

void WindowLayer::openMenu(const Node& window, std::vector<Ribbons::MenuEntry> entries) {
    closeMenu();
    const auto it = windows_.find(&window);
    if (it == windows_.end()) return;
    menuEntries_ = std::move(entries);
    // At the selection's start in the text, as a right click there would put it.
    POINT at{20, 20};
    if (it->second.editor) {
        DWORD start = 0;
        SendMessageW(it->second.editor, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
        const LRESULT position = SendMessageW(it->second.editor, EM_POSFROMCHAR, start, 0);
        if (position != -1) at = {static_cast<short>(LOWORD(position)) + 4, static_cast<short>(HIWORD(position)) + 16};
        ClientToScreen(it->second.editor, &at);
    }
    const HDC screen = GetDC(nullptr);
    const SIZE size = menuSize(screen, menuEntries_);
    ReleaseDC(nullptr, screen);
    menu_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, menuClass, L"", WS_POPUP | WS_BORDER, at.x, at.y, size.cx,
                            size.cy, it->second.frame, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!menu_) return;
    SetWindowLongPtrW(menu_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    if (visible_) ShowWindow(menu_, SW_SHOWNOACTIVATE);
}

void WindowLayer::closeMenu() {
    if (!menu_) return;
    SetWindowLongPtrW(menu_, GWLP_USERDATA, 0);
    DestroyWindow(std::exchange(menu_, nullptr));
    menuEntries_.clear();
}

HRESULT WindowLayer::saveMenuImage(const std::wstring& path) const {
    if (!menu_) return E_INVALIDARG;
    RECT client{};
    GetClientRect(menu_, &client);
    const Canvas canvas(client.right, client.bottom);
    if (canvas.empty()) return E_OUTOFMEMORY;
    paintMenu(canvas.dc(), client, menuEntries_);
    GdiFlush();
    return canvas.savePng(path);
}

LRESULT CALLBACK WindowLayer::menuProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept try {
    auto* layer = reinterpret_cast<WindowLayer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (layer && (message == WM_PAINT || message == WM_PRINTCLIENT)) {
        PAINTSTRUCT paint{};
        const HDC dc = message == WM_PAINT ? BeginPaint(hwnd, &paint) : reinterpret_cast<HDC>(wParam);
        RECT client{};
        GetClientRect(hwnd, &client);
        paintMenu(dc, client, layer->menuEntries_);
        if (message == WM_PAINT) EndPaint(hwnd, &paint);
        return 0;
    }
    if (message == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
    return DefWindowProcW(hwnd, message, wParam, lParam);
} catch (...) {
    return com::lresultFromCaughtException(hwnd, message, wParam, lParam);
}

// The Standard bar as a toolbar: its visible controls from the left, a group line before a control
// that begins a group, each with its face and caption as its Style says (automatic shows both).
// addInsOnly: Office 2007 and later show the add-ins' controls of every bar on the Add-ins tab.
void WindowLayer::paintBar(HDC dc, Node& inspector, int width, int top, bool addInsOnly) const {
    const RECT strip{0, top, width, top + barHeight};
    FillRect(dc, &strip, GetSysColorBrush(COLOR_BTNFACE));
    const RECT line{0, top + barHeight - 1, width, top + barHeight};
    FillRect(dc, &line, GetSysColorBrush(COLOR_BTNSHADOW));
    std::vector<const Node*> controls;
    for (const Node* bar : model_.commandBarsOf(inspector).elements) {
        if (!addInsOnly && bar->barName != L"Standard") continue;
        for (const Node* control : bar->controls->elements)
            if (!addInsOnly || control->control.custom) controls.push_back(control);
    }
    const int saved = SaveDC(dc);
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    SetViewportOrgEx(dc, 0, top, nullptr);
    int x = 4;
    if (addInsOnly) {
        RECT label{x, 0, x + 60, barHeight - 1};
        SetTextColor(dc, RGB(0x1E, 0x4E, 0x9A));
        DrawTextW(dc, L"Add-ins", -1, &label, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        x += 56;
    }
    bool first = true;
    for (const Node* node : controls) {
        const Node::Control& control = node->control;
        if (!control.visible) continue;
        if (control.beginGroup && !first) {
            const RECT group{x + 1, 4, x + 2, barHeight - 5};
            FillRect(dc, &group, GetSysColorBrush(COLOR_BTNSHADOW));
            x += 5;
        }
        first = false;
        const bool popup = node->kind() == Kind::CommandBarPopup;
        const bool face = !popup && control.style != msoButtonCaption;
        const bool caption = popup || control.style != msoButtonIcon;
        RECT text{0, 0, 0, 0};
        if (caption) DrawTextW(dc, control.caption.c_str(), -1, &text, DT_SINGLELINE | DT_CALCRECT);
        const int itemWidth = 6 + (face ? faceSize : 0) + (face && caption ? 4 : 0) + (caption ? text.right : 0) +
                              (popup ? 10 : 0) + 6;
        RECT item{x, 3, x + itemWidth, barHeight - 4};
        DrawEdge(dc, &item, BDR_RAISEDINNER, BF_RECT);
        int at = x + 6;
        if (face) {
            drawFace(dc, control, at, (barHeight - 1 - faceSize) / 2);
            at += faceSize + 4;
        }
        if (caption) {
            // The ampersand marks the accelerator: drawn as an underline.
            RECT place{at, 0, at + text.right, barHeight - 1};
            DrawTextW(dc, control.caption.c_str(), -1, &place, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
            at += text.right;
        }
        if (popup) {
            const POINT arrow[] = {{at + 3, 13}, {at + 9, 13}, {at + 6, 16}};
            SelectObject(dc, GetStockObject(BLACK_BRUSH));
            Polygon(dc, arrow, 3);
        }
        x += itemWidth + 2;
    }
    RestoreDC(dc, saved);
}

HRESULT WindowLayer::saveImage(const Node& window, const std::wstring& path) const {
    const auto it = windows_.find(&window);
    if (it == windows_.end()) return E_INVALIDARG;
    RECT client{};
    GetClientRect(it->second.frame, &client);
    const int width = client.right;
    const int height = client.bottom;
    if (width <= 0 || height <= 0) return E_INVALIDARG;
    const Canvas canvas(width, height);
    if (canvas.empty()) return E_OUTOFMEMORY;
    const HDC dc = canvas.dc();
    // The window paints itself into the image, and each child window at its place, even while hidden.
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    SendMessageW(it->second.frame, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    for (HWND child = GetWindow(it->second.frame, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT place{};
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, it->second.frame, reinterpret_cast<POINT*>(&place), 2);
        POINT origin{};
        SetViewportOrgEx(dc, place.left, place.top, &origin);
        SendMessageW(child, WM_PRINT, reinterpret_cast<WPARAM>(dc),
                     PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
        SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
    }
    return canvas.savePng(path);
}

HWND WindowLayer::handleOf(const Node& window) const {
    const auto it = windows_.find(&window);
    return it == windows_.end() ? nullptr : it->second.frame;
}

Node* WindowLayer::nodeOf(HWND hwnd) const {
    for (const auto& [node, window] : windows_)
        if (window.frame == hwnd) return const_cast<Node*>(node);
    return nullptr;
}

// Nothing thrown by a handler may cross into the system's message dispatch.
LRESULT CALLBACK WindowLayer::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept try {
    auto* layer = reinterpret_cast<WindowLayer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return layer ? layer->handle(hwnd, message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
} catch (...) {
    return com::lresultFromCaughtException(hwnd, message, wParam, lParam);
}

LRESULT WindowLayer::handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            if (Node* node = nodeOf(hwnd); node && onUserClose) onUserClose(*node);
            return 0;
        case WM_SIZE: {
            const auto it = windows_.find(nodeOf(hwnd));
            if (it != windows_.end() && it->second.editor) {
                const int top = topOf(*it->first);
                const int height = std::max(0, HIWORD(lParam) - top);
                const int left = it->second.list ? messageListWidth : 0;
                if (it->second.list) MoveWindow(it->second.list, 0, top, messageListWidth, height, TRUE);
                MoveWindow(it->second.editor, left, top, std::max(0, LOWORD(lParam) - left), height, TRUE);
            }
            return 0;
        }
        case WM_PAINT:
        case WM_PRINTCLIENT: {
            Node* node = nodeOf(hwnd);
            if (!node) break;
            RECT client{};
            GetClientRect(hwnd, &client);
            PAINTSTRUCT paint{};
            HDC dc = message == WM_PAINT ? BeginPaint(hwnd, &paint) : reinterpret_cast<HDC>(wParam);
            const ui::RibbonKind* kind = ui::ribbonKind(model_.ribbons().ribbonIdOf(*node));
            const RECT strip{0, 0, client.right, ribbonHeight};
            if (kind) paintRibbon(dc, strip, *kind, model_.ribbons().lastShown(*node), {});
            if (node->kind() == Kind::Inspector) paintBar(dc, *node, client.right, kind ? ribbonHeight : 0, kind != nullptr);
            if (message == WM_PAINT) EndPaint(hwnd, &paint);
            return 0;
        }
        case WM_ACTIVATE:
            if (visible_ && LOWORD(wParam) != WA_INACTIVE)
                if (Node* node = nodeOf(hwnd)) model_.activate(*node);
            break;
        case WM_COMMAND:
            if (LOWORD(wParam) == newItemButton && onNewItem) onNewItem();
            if (LOWORD(wParam) == newExplorerButton && onNewExplorer) onNewExplorer();
            if (LOWORD(wParam) == quitButton && onQuit) onQuit();
            return 0;
        default: break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace sim::win32
