#include "sim/win32/window_layer.h"

#include "com/boundary.h"

namespace sim::win32 {
namespace {

constexpr wchar_t explorerClass[] = L"ZeltraSimExplorer";
constexpr wchar_t inspectorClass[] = L"ZeltraSimInspector";
constexpr int newItemButton = 101;
constexpr int newExplorerButton = 102;
constexpr int quitButton = 103;

}  // namespace

void WindowLayer::registerClasses() {
    static bool registered = false;
    if (registered) return;
    for (const wchar_t* name : {explorerClass, inspectorClass}) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &WindowLayer::windowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = name;
        RegisterClassExW(&wc);
    }
    registered = true;
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
        default: return L"item";
    }
}

WindowLayer::WindowLayer(Model& model, bool visible) : model_(model), visible_(visible) { registerClasses(); }

WindowLayer::~WindowLayer() {
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
    HWND frame = CreateWindowExW(0, explorer ? explorerClass : inspectorClass, title.c_str(), WS_OVERLAPPEDWINDOW,
                                 40 + offset, 40 + offset, explorer ? 640 : 520, explorer ? 420 : 360, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (!frame) return;
    SetWindowLongPtrW(frame, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    Window created{frame, nullptr};
    if (explorer) {
        int x = 10;
        for (const auto& [id, label] : {std::pair{newItemButton, L"New mail"}, std::pair{newExplorerButton, L"New window"},
                                        std::pair{quitButton, L"Quit Outlook"}}) {
            CreateWindowExW(0, L"BUTTON", label, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, x, 10, 110, 28, frame,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
            x += 120;
        }
    } else {
        const std::wstring body = window.item ? window.item->body : std::wstring();
        RECT client{};
        GetClientRect(frame, &client);
        created.editor = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", body.c_str(),
                                         WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL,
                                         0, 0, client.right, client.bottom, frame, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    windows_[&window] = created;
    if (visible_) {
        ShowWindow(frame, SW_SHOWNORMAL);
        UpdateWindow(frame);
    }
}

void WindowLayer::closed(Node& window) {
    const auto it = windows_.find(&window);
    if (it == windows_.end()) return;
    const HWND frame = it->second.frame;
    windows_.erase(it);
    SetWindowLongPtrW(frame, GWLP_USERDATA, 0);
    DestroyWindow(frame);
}

void WindowLayer::bringToFront(Node& window) {
    const auto it = windows_.find(&window);
    if (it == windows_.end()) return;
    if (!IsWindowVisible(it->second.frame)) ShowWindow(it->second.frame, SW_SHOWNORMAL);
    SetForegroundWindow(it->second.frame);
    if (it->second.editor) SetFocus(it->second.editor);
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
            if (it != windows_.end() && it->second.editor)
                MoveWindow(it->second.editor, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
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
