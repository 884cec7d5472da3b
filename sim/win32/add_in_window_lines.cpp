// The scenario lines about the add-in's own window: what the user sees of it, the mouse and the
// keyboard on it, and what it asked the shell to open.
#include <algorithm>
#include <memory>
#include <vector>

#include "sim/win32/console.h"
#include "sim/win32/png_file.h"
#include "sim/win32/scenario_text.h"
#include "sim/win32/shell_opens.h"
#include "sim/win32/simulator.h"
#include "sim/win32/wide_text.h"

namespace sim::win32 {
namespace {

// The screen's pixels of a rectangle of the window's client area, as a user sees them.
class ScreenPixels : public Canvas {
public:
    ScreenPixels(HWND window, RECT area) : Canvas(area.right - area.left, area.bottom - area.top) {
        if (empty()) return;
        POINT origin{area.left, area.top};
        ClientToScreen(window, &origin);
        const HDC screen = GetDC(nullptr);
        BitBlt(dc(), 0, 0, width(), height(), screen, origin.x, origin.y, SRCCOPY);
        ReleaseDC(nullptr, screen);
        GdiFlush();
    }
};

std::wstring colourText(std::uint32_t rgb) {
    wchar_t text[8];
    swprintf(text, 8, L"%06X", static_cast<unsigned>(rgb));
    return text;
}

std::optional<std::uint32_t> parseColour(const std::wstring& text) {
    if (text.size() != 6) return std::nullopt;
    const auto value = parseUnsigned(L"0x" + text);
    return value;
}

RECT clientOf(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return client;
}

// A user sees a control only where it lies inside its window's client area.
bool seenByUser(HWND control, HWND window) {
    if (!IsWindowVisible(control)) return false;
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
    const RECT client = clientOf(window);
    RECT common{};
    return IntersectRect(&common, &place, &client) != FALSE;
}

INPUT mouseInput(DWORD flags, POINT screen) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    input.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    return input;
}

}  // namespace

Simulator::Outcome Simulator::windowLine(const std::vector<std::wstring>& words, const std::wstring& line) {
    const std::wstring& command = words[0];
    const HWND window = shownAddInWindow();
    if (!window) {
        print(L"  UNMET: the add-in shows no window of its own");
        return Outcome::Unmet;
    }
    if ((command == L"mouse-move" || command == L"mouse-click") && words.size() == 3) {
        // mouse-move X Y: the pointer goes to that point of the window's client area.
        const auto x = parseCount(words[1]);
        const auto y = parseCount(words[2]);
        if (!x || !y) return Outcome::BadLine;
        POINT at{*x, *y};
        ClientToScreen(window, &at);
        std::vector<INPUT> inputs = {mouseInput(MOUSEEVENTF_MOVE, at)};
        if (command == L"mouse-click") {
            inputs.push_back(mouseInput(MOUSEEVENTF_LEFTDOWN, at));
            inputs.push_back(mouseInput(MOUSEEVENTF_LEFTUP, at));
        }
        const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
        if (sent != inputs.size()) {
            print(L"  UNMET: SendInput took " + std::to_wstring(sent) + L" of the mouse events");
            return Outcome::Unmet;
        }
        return Outcome::Done;
    }
    if (command == L"close-window" && words.size() == 1) {
        // What the window's close box sends.
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        return Outcome::Done;
    }
    if (command == L"activate-window" && words.size() == 1) {
        // The user clicks the window's caption: it comes to the front, its focus where it was.
        SetForegroundWindow(window);
        return Outcome::Done;
    }
    if (command == L"screenshot-window" && words.size() >= 2) {
        // The whole window, its frame and caption too.
        const std::wstring file = unquote(rawRestAfter(line, 1));
        RECT frame{};
        GetWindowRect(window, &frame);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&frame), 2);
        const ScreenPixels pixels(window, frame);
        return saved(pixels.savePng(file), L"the add-in's window as the screen shows it", file);
    }
    return Outcome::BadLine;
}

Simulator::Outcome Simulator::expectWindow(const std::vector<std::wstring>& words, const std::wstring& line,
                                           std::wstring& actual, std::wstring& wanted) {
    const std::wstring& what = words[1];
    const HWND window = shownAddInWindow();
    if (what == L"window-shown" && words.size() == 3) {
        wanted = words[2];
        actual = window ? L"yes" : L"no";
        return Outcome::Done;
    }
    if (!window) {
        wanted = rawRestAfter(line, 1);
        actual = L"no window of the add-in shown";
        return Outcome::Done;
    }
    const RECT client = clientOf(window);
    if (what == L"window" && words.size() >= 3) {
        // expect window TITLE: its caption.
        wanted = unquote(rawRestAfter(line, 2));
        actual = windowText(window);
    } else if (what == L"window-client" && words.size() == 4) {
        wanted = words[2] + L" x " + words[3];
        actual = std::to_wstring(client.right) + L" x " + std::to_wstring(client.bottom);
    } else if (what == L"window-frame" && words.size() >= 3) {
        // expect window-frame fixed-dialog close-only no-taskbar centred
        wanted = rawRestAfter(line, 2);
        const LONG style = GetWindowLongW(window, GWL_STYLE);
        const LONG extended = GetWindowLongW(window, GWL_EXSTYLE);
        const bool fixedDialog = (style & WS_CAPTION) == WS_CAPTION && !(style & WS_THICKFRAME) &&
                                 (extended & WS_EX_DLGMODALFRAME);
        const bool closeOnly = (style & WS_SYSMENU) && !(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
        // The taskbar lists unowned windows, and any with WS_EX_APPWINDOW, unless they are tool windows.
        const bool inTaskbar = (extended & WS_EX_APPWINDOW) ||
                               (!GetWindow(window, GW_OWNER) && !(extended & WS_EX_TOOLWINDOW));
        // Centred on the Outlook window it is modal to, as a dialog box is, or on the screen.
        RECT frame{}, around{};
        GetWindowRect(window, &frame);
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
        if (const HWND owner = GetWindow(window, GW_OWNER); owner && windows_.windowOfFrame(owner))
            GetWindowRect(owner, &around);
        const bool centred = std::abs((frame.left - around.left) - (around.right - frame.right)) <= 1 &&
                             std::abs((frame.top - around.top) - (around.bottom - frame.bottom)) <= 1;
        actual = std::wstring(fixedDialog ? L"fixed-dialog" : L"resizable-or-plain") +
                 (closeOnly ? L" close-only" : L" more-buttons") + (inTaskbar ? L" in-taskbar" : L" no-taskbar") +
                 (centred ? L" centred" : L" off-centre");
    } else if (what == L"window-modal-to" && words.size() == 3) {
        // expect window-modal-to NAME|none: owned by that Outlook window, which takes no input
        // while the add-in's window is up.
        wanted = words[2] == L"none" ? L"no Outlook window" : label(lookup(words[2])) + L", disabled";
        const Node* owner = windows_.windowOfFrame(GetWindow(window, GW_OWNER));
        actual = !owner ? L"no Outlook window"
                        : label(owner) + (IsWindowEnabled(windows_.handleOf(*owner)) ? L", enabled" : L", disabled");
    } else if (what == L"seen" && words.size() >= 4) {
        // expect seen yes|no TEXT: a control whose text begins so lies where the user sees it.
        wanted = words[2] + L" " + quoted(restAfter(line, 3));
        const std::wstring text = unquote(restAfter(line, 3));
        bool seen = false, exists = false;
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (windowText(child).rfind(text, 0) != 0) continue;
            exists = true;
            seen = seen || seenByUser(child, window);
        }
        if (!exists) return actual = L"no control " + quoted(text), Outcome::Done;
        actual = std::wstring(seen ? L"yes " : L"no ") + quoted(restAfter(line, 3));
    } else if (what == L"focus" && words.size() >= 3) {
        // expect focus TEXT: the text of the window with the keyboard focus.
        wanted = quoted(unquote(restAfter(line, 2)));
        const HWND focus = GetFocus();
        actual = focus ? quoted(windowText(focus)) : L"no focus on this thread";
    } else if (what == L"pixel" && words.size() == 5) {
        // expect pixel X Y RRGGBB, in the window's client area as the screen shows it.
        const auto x = parseCount(words[2]);
        const auto y = parseCount(words[3]);
        const auto colour = parseColour(words[4]);
        if (!x || !y || !colour) return Outcome::BadLine;
        const ScreenPixels pixels(window, RECT{*x, *y, *x + 1, *y + 1});
        wanted = L"(" + words[2] + L", " + words[3] + L") " + colourText(*colour);
        actual = L"(" + words[2] + L", " + words[3] + L") " + (pixels.empty() ? L"unreadable" : colourText(pixels.pixel(0, 0)));
    } else if (what == L"colour" && words.size() == 8 && (words[7] == L"present" || words[7] == L"absent")) {
        // expect colour X Y W H RRGGBB present|absent: whether any pixel of the rectangle has it.
        const auto x = parseCount(words[2]), y = parseCount(words[3]);
        const auto w = parseCount(words[4]), h = parseCount(words[5]);
        const auto colour = parseColour(words[6]);
        if (!x || !y || !w || !h || !colour || !*w || !*h) return Outcome::BadLine;
        const ScreenPixels pixels(window, RECT{*x, *y, *x + *w, *y + *h});
        bool found = false;
        for (int row = 0; !pixels.empty() && row < pixels.height() && !found; ++row)
            for (int column = 0; column < pixels.width() && !found; ++column) found = pixels.pixel(column, row) == *colour;
        wanted = words[6] + L" " + words[7];
        actual = words[6] + (found ? L" present" : L" absent");
    } else {
        return Outcome::BadLine;
    }
    return Outcome::Done;
}

Simulator::Outcome Simulator::sendInput(const std::wstring& keys) {
    // The keys a user presses on the window in front: tab, space, enter, or ctrl+c (what an
    // add-in sends to copy the selection of the window in front).
    std::vector<WORD> down;
    if (keys == L"ctrl+c") down = {VK_CONTROL, 'C'};
    else if (keys == L"tab") down = {VK_TAB};
    else if (keys == L"space") down = {VK_SPACE};
    else if (keys == L"enter") down = {VK_RETURN};
    else return Outcome::BadLine;
    std::vector<INPUT> inputs;
    for (const WORD key : down) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto key = down.rbegin(); key != down.rend(); ++key) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *key;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    print(L"outlook: SendInput took " + std::to_wstring(sent) + L" of " + std::to_wstring(inputs.size()) +
          L" key events");
    return Outcome::Done;
}

std::wstring Simulator::nextShellOpen(bool expectingNone) {
    // The browser is a process of its own, so its record may take a moment.
    const ULONGLONG deadline = GetTickCount64() + (expectingNone ? 1500 : 15000);
    std::vector<std::wstring> addresses = shell_opens::recorded();
    while (addresses.size() <= shellOpensSeen_ && GetTickCount64() < deadline) {
        Sleep(50);
        addresses = shell_opens::recorded();
    }
    if (addresses.size() <= shellOpensSeen_) return L"none";
    return addresses[shellOpensSeen_++];
}

}  // namespace sim::win32
