#include "sim/win32/message_boxes.h"

#include <algorithm>
#include <iterator>

#include "sim/win32/wide_text.h"

namespace sim::win32 {
namespace {

thread_local MessageBoxWatcher* watcher = nullptr;

// The controls of a message box: its text is the static control 0xFFFF, its icon a static control
// whose id differs between systems (stc1 in Wine's template, 20 in Windows').
constexpr int textId = 0xFFFF;
constexpr int iconIds[] = {0x0440, 20};

bool isDialog(HWND window) {
    wchar_t name[16];
    return GetClassNameW(window, name, 16) && std::wstring_view(name) == L"#32770";
}

std::wstring iconOf(HWND box) {
    HICON icon = nullptr;
    for (const int id : iconIds)
        if (HWND control = GetDlgItem(box, id); control && !icon)
            icon = reinterpret_cast<HICON>(SendMessageW(control, STM_GETICON, 0, 0));
    if (!icon) return L"none";
    const std::pair<const wchar_t*, const wchar_t*> icons[] = {
        {IDI_EXCLAMATION, L"warning"}, {IDI_HAND, L"error"}, {IDI_QUESTION, L"question"}, {IDI_ASTERISK, L"information"}};
    for (const auto& [resource, name] : icons)
        if (LoadIconW(nullptr, resource) == icon) return name;
    return L"other";
}

// The buttons in the order a message box lays them out.
constexpr std::pair<int, const wchar_t*> buttonNames[] = {
    {IDYES, L"Yes"},       {IDNO, L"No"},         {IDOK, L"OK"},         {IDABORT, L"Abort"},
    {IDRETRY, L"Retry"},   {IDCANCEL, L"Cancel"}, {IDIGNORE, L"Ignore"}, {IDTRYAGAIN, L"TryAgain"},
    {IDCONTINUE, L"Continue"}, {IDHELP, L"Help"}};

bool shows(HWND box, int id) {
    if (std::none_of(std::begin(buttonNames), std::end(buttonNames), [&](const auto& b) { return b.first == id; }))
        return false;
    HWND button = GetDlgItem(box, id);
    return button && (GetWindowLongW(button, GWL_STYLE) & WS_VISIBLE);
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(Listener listener)
    : listener_(std::move(listener)),
      hook_(SetWindowsHookExW(WH_CALLWNDPROCRET, &MessageBoxWatcher::afterWindowProc, nullptr, GetCurrentThreadId())) {
    watcher = this;
}

MessageBoxWatcher::~MessageBoxWatcher() {
    if (hook_) UnhookWindowsHookEx(hook_);
    watcher = nullptr;
}

// A message box has laid itself out once its WM_INITDIALOG has returned.
LRESULT CALLBACK MessageBoxWatcher::afterWindowProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (code == HC_ACTION && watcher && message->message == WM_INITDIALOG && isDialog(message->hwnd) &&
            GetDlgItem(message->hwnd, textId))
            watcher->found(message->hwnd);
    } catch (...) {
        // Nothing may cross into the system's message dispatch; the box then waits for a person.
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void MessageBoxWatcher::found(HWND box) {
    MessageBoxSeen seen{windowText(box), windowText(GetDlgItem(box, textId)), iconOf(box), {}, {}};
    int first = 0;
    for (const auto& [id, name] : buttonNames) {
        if (!shows(box, id)) continue;
        if (!first) first = id;
        seen.buttons += (seen.buttons.empty() ? L"" : L",") + std::wstring(name);
    }
    // The default button: the box gives it the focus (the dialog's default id may still name a
    // button of its template that this box does not show).
    int answer = 0;
    if (HWND focus = GetFocus(); focus && GetParent(focus) == box && shows(box, GetDlgCtrlID(focus)))
        answer = GetDlgCtrlID(focus);
    if (const LRESULT definition = SendMessageW(box, DM_GETDEFID, 0, 0);
        !answer && HIWORD(definition) == DC_HASDEFID && shows(box, LOWORD(definition)))
        answer = LOWORD(definition);
    if (!answer) answer = first;
    for (const auto& [id, name] : buttonNames)
        if (id == answer) seen.answer = name;
    // Pressed once the box's modal loop runs, as a user would press it. (Under Xvfb without a
    // window manager, Wine waits up to two seconds for the box's window to be mapped first.)
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
    seen_.push_back(seen);
    if (listener_) listener_(seen_.back());
}

}  // namespace sim::win32
