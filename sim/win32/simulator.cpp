#include "sim/win32/simulator.h"

#include <algorithm>
#include <chrono>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "host/iids.h"
#include "sim/win32/add_in_browser.h"
#include "sim/win32/clipboard_manager.h"
#include "sim/win32/console.h"
#include "sim/win32/install_settings.h"
#include "sim/win32/scenario_text.h"
#include "sim/win32/shell_opens.h"
#include "sim/win32/wide_text.h"

namespace sim::win32 {
namespace {

namespace iid = host::iid;

bool readLines(const std::wstring& path, std::vector<std::wstring>& lines) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    if (!file) return false;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(fromUtf8(line));
    }
    return true;
}

// Runs Outlook's messages until FILE exists, for at most MS milliseconds; whether it came. A change
// notification on its folder wakes the wait; where none can be had, it looks every 100 ms.
bool waitForFile(const std::wstring& file, ULONGLONG ms, const std::function<void()>& pumpMessages) {
    struct Notification {
        HANDLE handle;
        ~Notification() {
            if (handle != INVALID_HANDLE_VALUE) FindCloseChangeNotification(handle);
        }
    } change{FindFirstChangeNotificationW(std::filesystem::path(file).parent_path().c_str(), FALSE,
                                          FILE_NOTIFY_CHANGE_FILE_NAME)};
    const bool notified = change.handle != INVALID_HANDLE_VALUE;
    const ULONGLONG deadline = GetTickCount64() + ms;
    while (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        const DWORD slice = static_cast<DWORD>(notified ? deadline - now : std::min<ULONGLONG>(deadline - now, 100));
        const DWORD woke = MsgWaitForMultipleObjectsEx(notified ? 1 : 0, &change.handle, slice, QS_ALLINPUT,
                                                       MWMO_INPUTAVAILABLE);
        if (notified && woke == WAIT_OBJECT_0) FindNextChangeNotification(change.handle);
        pumpMessages();
    }
    return true;
}



// Splits "a|b|c|rest" into `parts` fields; the last one takes the rest of the text.
std::vector<std::wstring> fields(const std::wstring& text, std::size_t parts) {
    std::vector<std::wstring> result;
    std::size_t from = 0;
    while (result.size() + 1 < parts) {
        const std::size_t bar = text.find(L'|', from);
        if (bar == std::wstring::npos) break;
        result.push_back(text.substr(from, bar - from));
        from = bar + 1;
    }
    result.push_back(text.substr(from));
    return result;
}

std::wstring yesNo(bool value) { return value ? L"True" : L"False"; }

// A pasted face as "16x16 4bpp", one assigned to Picture as "picture 16x16" (and "masked" with a
// Mask), "none" for the built-in face of its FaceId.
std::wstring faceOf(const Node::Control& c) {
    if (c.picture.empty()) return describePicture(c.face);
    return L"picture " + std::to_wstring(c.picture.width) + L"x" + std::to_wstring(c.picture.height) +
           (c.mask.empty() ? L"" : L" masked");
}

// Finds, reports and answers the message boxes of this thread.
std::unique_ptr<MessageBoxWatcher> messageBoxWatcher() {
    return std::make_unique<MessageBoxWatcher>([](const MessageBoxSeen& box) {
        print(L"outlook: message box " + quoted(box.title) + L" (" + box.icon + L"; " + box.buttons + L"): " +
              quoted(oneLine(box.text)) + L", answered " + box.answer);
    });
}

std::optional<std::int32_t> parseItemClass(const std::wstring& name) {
    static const std::pair<const wchar_t*, std::int32_t> classes[] = {
        {L"mail", 43}, {L"post", 45}, {L"appointment", 26}, {L"contact", 40}, {L"distlist", 69},
        {L"task", 48}, {L"journal", 42}, {L"document", 41}, {L"meeting", 53}};
    for (const auto& [n, value] : classes)
        if (name == n) return value;
    try {
        std::size_t used = 0;
        const int value = std::stoi(name, &used);
        if (used == name.size()) return value;
    } catch (...) {
    }
    return std::nullopt;
}

bool isAddInActivity(TraceEntry::Type type) {
    return type == TraceEntry::Type::AddInCall || type == TraceEntry::Type::Advise ||
           type == TraceEntry::Type::Unadvise;
}

}  // namespace

Simulator::Simulator(Options options)
    : options_(options),
      messageBoxes_(options.answerMessageBoxes ? messageBoxWatcher() : nullptr),
      com_(model_),
      windows_(model_, options.visible),
      addIns_(com_) {
    model_.setControlListener([this](const Node&) { windows_.barsChanged(); });
    // The clipboard manager hears of a view's copy and opens the clipboard before Outlook's loop
    // gets to its next message: it then reads the copy's formats while the add-in handles the
    // change, and waits for Outlook's thread to render them.
    windows_.afterCopy = [this] {
        if (!clipboardManager_) return;
        const ULONGLONG deadline = GetTickCount64() + 1000;
        while (!GetOpenClipboardWindow() && GetTickCount64() < deadline) Sleep(1);
    };
    // IOleWindow of Explorers and Inspectors gives their real windows.
    model_.setWindowHandles(
        [this](const Node& window) { return reinterpret_cast<std::uintptr_t>(windows_.handleOf(window)); });
    // Word's objects read the real editors.
    model_.setEditorSource([this](const Node& window) { return windows_.editorState(window); });
    model_.setTraceListener([this](const TraceEntry& e) {
        if (!traceShown_ && e.type != TraceEntry::Type::Failure && e.type != TraceEntry::Type::UiError) return;
        switch (e.type) {
            case TraceEntry::Type::HostEvent: print(L"  host: " + e.text); break;
            case TraceEntry::Type::AddInCall:
            case TraceEntry::Type::Advise:
            case TraceEntry::Type::Unadvise: print(L"    add-in: " + e.text); break;
            case TraceEntry::Type::Failure: print(L"    ! " + e.text); break;
            case TraceEntry::Type::Note: print(L"  " + e.text); break;
            case TraceEntry::Type::UiError:
                print(L"outlook: " + e.text);
                // Office shows this to a user who asked to see add-in errors, and may stop calling
                // the add-in: a callback must never fail, whatever fails inside it.
                if (e.text.rfind(L"customUI callback error", 0) == 0) callbackErrors_++;
                break;
            case TraceEntry::Type::QueryInterface:
            case TraceEntry::Type::AddRef:
            case TraceEntry::Type::Release:
                if (options_.verbose) print(L"      " + e.text);
                break;
        }
    });
    if (options_.failCall > 0) model_.failCall(options_.failCall, static_cast<HResult>(0x80004005));
    windows_.onUserClose = [this](Node& window) { close(window); };
    windows_.onNewItem = [this] { windows_.bringToFront(openItem(43, L"Select a word here and press Zeltra.")); };
    windows_.onNewExplorer = [this] {
        Node& explorer = model_.openExplorer();
        windows_.opened(explorer);
    };
    windows_.onQuit = [this] { quit(); };
    // The add-in's Inspector.Activate brings the real window forward, its text taking the focus.
    model_.setActivationListener([this](Node& window) { windows_.bringToFront(window); });
    if (!applicationClass_.registered()) printError(L"could not register the Outlook.Application class object");
    if (options_.answerMessageBoxes)
        addInWindows_ = std::make_unique<AddInWindowWatcher>(
            [this](HWND window) { return addIns_.ownsWindowClass(window); },
            [this](HWND window) { addInWindowShown(window); });
}

Simulator::~Simulator() {
    if (postedLineWindow_) DestroyWindow(postedLineWindow_);
}

Node& Simulator::openItem(std::int32_t itemClass, std::wstring body) {
    Node& inspector = model_.openInspector(itemClass, std::move(body));
    windows_.opened(inspector);
    return inspector;
}

void Simulator::close(Node& window) {
    model_.closeWindow(window);
    windows_.closed(window);
    if (options_.visible && windows_.openCount() == 0) quit();
}

void Simulator::start() {
    if (started_) return;
    started_ = true;
    print(L"outlook: starting with " + std::to_wstring(model_.openExplorers().size()) + L" Explorer(s) and " +
          std::to_wstring(model_.openInspectors().size()) + L" item window(s)");
    addIns_.startup();
}

void Simulator::quit(bool lastTime, bool fast) {
    if (quitted_) return;
    quitted_ = true;
    print(fast ? L"outlook: quitting fast (the add-ins are only released)" : L"outlook: quitting");
    addIns_.shutdown(fast);
    reportWhatAddInsLeft(false);
    if (options_.visible && lastTime) PostQuitMessage(0);
}

void Simulator::disable() {
    addIns_.disable();
    reportWhatAddInsLeft(true);
}

void Simulator::enable() { addIns_.enable(); }

void Simulator::reportWhatAddInsLeft(bool freeLibraries) {
    if (lineDepth_ > 1) {
        print(L"outlook: the add-in's code is still running further up the stack: what it left is checked once it returns");
        leftoversDue_ = leftoversDue_.value_or(false) || freeLibraries;
        return;
    }
    const auto held = model_.referencesHeld();
    if (held.empty()) {
        print(L"outlook: references held by add-ins after disconnection: none");
    } else {
        leftNothingBehind_ = false;
        for (const auto& [node, count] : held)
            print(L"outlook: LEFT BEHIND: " + std::to_wstring(count) + L" reference(s) to " + label(node));
    }
    for (; overReleasesReported_ < model_.overReleases().size(); ++overReleasesReported_) {
        leftNothingBehind_ = false;
        print(L"outlook: OVER-RELEASED: " + model_.overReleases()[overReleasesReported_]);
    }
    for (; faultsReported_ < model_.faults().size(); ++faultsReported_) {
        leftNothingBehind_ = false;
        print(L"outlook: WRONG THREAD: " + model_.faults()[faultsReported_]);
    }
    // A sink Outlook still holds is code of the add-in that Outlook may call: its library must
    // refuse to unload until Outlook lets go of the sinks.
    if (const std::size_t kept = model_.connectionCount()) {
        print(L"outlook: still holding " + std::to_wstring(kept) + L" event sink(s) of the add-in");
        if (!addIns_.librariesAnswerUnload(false)) {
            leftNothingBehind_ = false;
            print(L"outlook: UNLOAD AGREED while Outlook holds the add-in's sinks");
        }
        model_.dropConnections();
    }
    addIns_.noteLibraryWindowClasses();
    if (!addIns_.librariesAnswerUnload(true)) leftNothingBehind_ = false;
    if (freeLibraries) addIns_.freeUnusedLibraries();
}

namespace {
constexpr UINT runPostedLineMessage = WM_APP + 7;
}  // namespace

void Simulator::postLine(std::wstring line) {
    if (!postedLineWindow_) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &Simulator::postedLineWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"OutlookSimPostedLines";
        RegisterClassExW(&windowClass);
        postedLineWindow_ = CreateWindowExW(0, windowClass.lpszClassName, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                            windowClass.hInstance, nullptr);
        SetWindowLongPtrW(postedLineWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    postedLines_.push_back({std::move(line), nextLine_ - 1});
    PostMessageW(postedLineWindow_, runPostedLineMessage, 0, 0);
}

LRESULT CALLBACK Simulator::postedLineWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    auto* self = reinterpret_cast<Simulator*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message != runPostedLineMessage || !self || self->postedLines_.empty())
        return DefWindowProcW(window, message, wParam, lParam);
    try {
        const auto [line, number] = self->postedLines_.front();
        self->postedLines_.erase(self->postedLines_.begin());
        self->runText(line, number);
    } catch (...) {
        printError(L"a posted scenario line failed");
    }
    return 0;
}

void Simulator::restart(const std::wstring& explorerName) {
    print(L"outlook: restarting");
    quit(false);
    addIns_.freeUnusedLibraries();
    for (Node* window : windows_.openWindows()) windows_.closed(*window);
    model_.endSession();
    started_ = false;
    quitted_ = false;
    if (!explorerName.empty()) {
        Node& explorer = model_.openExplorer();
        aliases_[explorerName] = &explorer;
        windows_.opened(explorer);
    }
    start();
}

Node* Simulator::taggedControl(Node& inspector, const std::wstring& tag) {
    Node* bar = model_.commandBar(inspector, L"Standard");
    if (!bar || !bar->controls) return nullptr;
    for (Node* control : bar->controls->elements)
        if (control->control.tag == tag) return control;
    return nullptr;
}

std::wstring Simulator::describeControl(const Node& node) const {
    const Node::Control& c = node.control;
    std::wstring text = node.name() + L": Type " + std::to_wstring(c.type) + L", Id " + std::to_wstring(c.id) +
                        L", Caption " + quoted(c.caption) + L", BeginGroup " + yesNo(c.beginGroup);
    if (node.kind() == Kind::CommandBarButton) text += L", FaceId " + std::to_wstring(c.faceId);
    text += L", TooltipText " + quoted(c.tooltipText) + L", DescriptionText " + quoted(c.descriptionText);
    if (node.kind() == Kind::CommandBarButton) text += L", Style " + std::to_wstring(c.style);
    text += L", Tag " + quoted(c.tag) + L", OnAction " + quoted(c.onAction) + L", Visible " + yesNo(c.visible) +
            L", Temporary " + yesNo(c.temporary) + (c.custom ? L", custom" : L", built in");
    if (node.kind() == Kind::CommandBarButton) text += L", face " + faceOf(c);
    return text;
}

Node* Simulator::lookup(const std::wstring& name) const {
    const auto alias = aliases_.find(name);
    if (alias != aliases_.end()) return alias->second;
    return model_.find(name);
}

std::wstring Simulator::label(const Node* node) const {
    if (!node) return L"none";
    for (const auto& [alias, n] : aliases_)
        if (n == node) return node->name() + L" (" + alias + L")";
    return node->name();
}

bool Simulator::connected(const Node& node, const host::Guid& eventIid) const {
    return std::any_of(node.connections.begin(), node.connections.end(),
                       [&](const Node::Connection& c) { return c.eventIid == eventIid; });
}

std::vector<Node*> Simulator::connectedWindows(Kind kind, const host::Guid& eventIid) const {
    std::vector<Node*> result;
    for (const auto& node : model_.nodes())
        if (node->kind() == kind && connected(*node, eventIid)) result.push_back(node.get());
    return result;
}

// Outlook's own message loop: its views pre-translate their shortcuts (Ctrl+C among them) before a
// message is translated and dispatched.
void Simulator::handle(MSG& message) {
    if (windows_.preTranslate(message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void Simulator::runUntilAddInsIdle(DWORD boundMs) {
    // A line run inside another loop (the add-in's window's) leaves the messages to that loop.
    if (lineDepth_ > 1 || (blockRunning_ && shownAddInWindow())) return;
    const ULONGLONG deadline = GetTickCount64() + boundMs;
    pumpMessages();
    for (ULONGLONG now = GetTickCount64(); addIns_.awaitsMessages() && now < deadline; now = GetTickCount64()) {
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 50)), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
        pumpMessages();
    }
}

int Simulator::pumpMessages() {
    MSG message;
    int handled = 0;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        handle(message);
        ++handled;
    }
    return handled;
}

void Simulator::noteBrowserAddress() {
    const auto address = addInBrowserAddress();
    if (!address || address->empty() || address == lastAddress_) return;
    lastAddress_ = address;
    ++navigations_;
}

Simulator::Outcome Simulator::execute(const std::vector<std::wstring>& words, const std::wstring& line) {
    const std::wstring& command = words[0];
    const auto argument = [&](std::size_t i) { return i < words.size() ? words[i] : std::wstring(); };
    const auto window = [&](std::size_t i) -> Node* {
        Node* node = lookup(argument(i));
        return node && (node->kind() == Kind::Explorer || node->kind() == Kind::Inspector) ? node : nullptr;
    };

    if (command == L"explorer" && words.size() == 2) {
        Node& explorer = model_.openExplorer();
        aliases_[words[1]] = &explorer;
        windows_.opened(explorer);
        return Outcome::Done;
    }
    if (command == L"item" && words.size() >= 3) {
        const auto itemClass = parseItemClass(words[2]);
        if (!itemClass) return Outcome::BadLine;
        Node& inspector = openItem(*itemClass, restAfter(line, 3));
        aliases_[words[1]] = &inspector;
        return Outcome::Done;
    }
    if (command == L"version" || command == L"ribbon-callbacks" || command == L"compose" || command == L"editor" || command == L"ribbon-click" ||
        command == L"right-click" || command == L"menu-pick" || command == L"menu-close" ||
        command == L"select-item" || command == L"reply-inline" || command == L"screenshot-menu")
        return ribbonLine(words, line);
    if (command == L"close" && words.size() == 2) {
        Node* node = window(1);
        if (!node) return Outcome::BadLine;
        close(*node);
        return Outcome::Done;
    }
    if (command == L"activate" && words.size() == 2) {
        Node* node = window(1);
        if (!node) return Outcome::BadLine;
        model_.activate(*node);
        windows_.bringToFront(*node);
        return Outcome::Done;
    }
    if (command == L"folder" && words.size() >= 3) {
        Node* node = window(1);
        if (!node || node->kind() != Kind::Explorer) return Outcome::BadLine;
        const bool cancelled = model_.switchFolder(*node, restAfter(line, 2));
        print(std::wstring(L"outlook: folder switch ") + (cancelled ? L"cancelled" : L"done"));
        return Outcome::Done;
    }
    if (command == L"select" && words.size() == 4) {
        Node* node = window(1);
        const auto start = parseCount(words[2]);
        const auto length = parseCount(words[3]);
        if (!node || !start || !length) return Outcome::BadLine;
        windows_.select(*node, *start, *length);
        print(L"outlook: selected \"" + windows_.selectedText(*node) + L"\"");
        return Outcome::Done;
    }
    if (command == L"lock-clipboard" && words.size() == 2) {
        // Another program holds the clipboard open for MS milliseconds from now; 0 lets go at once.
        const auto ms = parseUnsigned(words[1]);
        if (!ms || *ms == INFINITE) return Outcome::BadLine;
        if (*ms == 0) {
            clipboardHolder_.release();
            print(L"outlook: the other program has closed the clipboard");
            return Outcome::Done;
        }
        if (!clipboardHolder_.hold(*ms)) {
            print(L"  UNMET: the other program could not open the clipboard");
            return Outcome::Unmet;
        }
        print(L"outlook: another program holds the clipboard open for " + words[1] + L" ms");
        return Outcome::Done;
    }
    if (command == L"click" && (words.size() == 2 || words.size() == 3)) return click(words);
    if (command == L"send-input" && words.size() == 2) return sendInput(words[1]);
    if (command == L"fail" && (words.size() == 3 || words.size() == 4)) {
        const auto times = words.size() == 4 ? parseCount(words[3]) : std::optional<int>(1);
        if (!times) return Outcome::BadLine;
        const Node* node = aliases_.count(words[1]) ? aliases_.at(words[1]) : nullptr;
        model_.failMember(node ? node->name() : words[1], words[2], static_cast<HResult>(0x80004005), *times);
        return Outcome::Done;
    }
    if (command == L"byref" && words.size() == 2 && (words[1] == L"bool" || words[1] == L"variant")) {
        com_.setByRefStyle(words[1] == L"bool" ? ByRefStyle::Bool : ByRefStyle::Variant);
        return Outcome::Done;
    }
    if (command == L"start" && words.size() == 1) {
        start();
        return Outcome::Done;
    }
    if (command == L"quit" && (words.size() == 1 || (words.size() == 2 && words[1] == L"fast"))) {
        quit(true, words.size() == 2);
        return Outcome::Done;
    }
    if (command == L"disable" && words.size() == 1) {
        disable();
        return Outcome::Done;
    }
    if (command == L"enable" && words.size() == 1) {
        enable();
        return Outcome::Done;
    }
    if (command == L"during-click" && words.size() >= 2) {
        duringClick_ = restAfter(line, 1);
        return Outcome::Done;
    }
    if (command == L"pump" && words.size() == 1) {
        pumpMessages();
        return Outcome::Done;
    }
    if (command == L"restart" && words.size() <= 2) {
        restart(words.size() == 2 ? words[1] : std::wstring());
        return Outcome::Done;
    }
    if (command == L"customize" && words.size() >= 4) return customize(words, line);
    if (command == L"show" && words.size() == 3 && words[1] == L"bar") {
        Node* node = window(2);
        if (!node || node->kind() != Kind::Inspector) return Outcome::BadLine;
        Node* bar = model_.commandBar(*node, L"Standard");
        for (const Node* control : bar->controls->elements) {
            print(L"outlook: " + describeControl(*control));
            if (control->controls)
                for (const Node* inner : control->controls->elements) print(L"outlook:   " + describeControl(*inner));
        }
        return Outcome::Done;
    }
    if (command == L"screenshot" && words.size() >= 3) {
        Node* node = window(1);
        if (!node) return Outcome::BadLine;
        const std::wstring file = unquote(rawRestAfter(line, 2));
        pumpMessages();  // pending repaints first
        return saved(windows_.saveImage(*node, file), L"the image of " + label(node), file);
    }
    if (command == L"message-box" && words.size() >= 3) {
        const auto style = parseUnsigned(words[1]);
        const auto parts = fields(restAfter(line, 2), 2);
        if (!style || parts.size() != 2) return Outcome::BadLine;
        const int answer = MessageBoxW(nullptr, parts[1].c_str(), parts[0].c_str(), *style);
        print(L"outlook: MessageBoxW returned " + std::to_wstring(answer));
        return Outcome::Done;
    }
    if ((command == L"clipboard" || command == L"clipboard-monitor" || command == L"clipboard-manager") && words.size() >= 2)
        return clipboardLine(words, line);
    if (command == L"slow-copy" && (words.size() == 3 || words.size() == 4)) return slowCopy(words);
    if (command == L"wait" && words.size() == 2) return wait(words[1]);
    if (command == L"wait-file" && words.size() >= 3) {
        // wait-file MS FILE: Outlook runs its messages until another program makes FILE.
        const auto ms = parseUnsigned(words[1]);
        const std::wstring file = unquote(rawRestAfter(line, 2));
        if (!ms) return Outcome::BadLine;
        if (waitForFile(file, *ms, [this] { pumpMessages(); })) return Outcome::Done;
        print(L"  UNMET: " + file + L" did not appear within " + words[1] + L" ms");
        return Outcome::Unmet;
    }
    if ((command == L"browser-navigate" || command == L"browser-navigate-post") && words.size() >= 2) {
        // What the redirect page does with location.replace, or a form in it that posts, inside
        // the add-in's browser control.
        const bool posted = command == L"browser-navigate-post";
        const std::wstring address = unquote(rawRestAfter(line, 1));
        const HRESULT hr = navigateAddInBrowser(address, posted);
        print(L"outlook: the add-in's browser control is sent to " + address + (posted ? L" with posted bytes" : L"") +
              L": Navigate -> " + hex(hr));
        return Outcome::Done;
    }
    if (command == L"mouse-move" || command == L"mouse-click" || command == L"close-window" ||
        command == L"activate-window" || command == L"screenshot-window")
        return windowLine(words, line);
    if (command == L"registry" && words.size() >= 3) return registryLine(words, line);
    if (command == L"expect" && words.size() >= 2) return expect(words, line);
    return Outcome::BadLine;
}

Simulator::Outcome Simulator::saved(HRESULT hr, const std::wstring& what, const std::wstring& file) {
    if (FAILED(hr)) {
        print(L"  UNMET: could not save " + what + L" to " + file + L": " + hex(hr));
        return Outcome::Unmet;
    }
    print(L"outlook: saved " + what + L" to " + file);
    return Outcome::Done;
}

Simulator::Outcome Simulator::customize(const std::vector<std::wstring>& words, const std::wstring& line) {
    // customize NAME button|popup TAG visible|hidden [CAPTION]: the user adds a control to the
    // Standard bar through Office's Customize dialog; customize NAME paste-face TAG: pastes the
    // clipboard's picture on a button as its image (Paste Button Image).
    Node* node = lookup(words[1]);
    if (node && node->kind() == Kind::Inspector && words[2] == L"paste-face" && words.size() == 4) {
        Node* button = taggedControl(*node, words[3]);
        if (!button || button->kind() != Kind::CommandBarButton) return Outcome::BadLine;
        try {
            model_.pasteFace(*button);
        } catch (const MemberFailure&) {
            print(L"  UNMET: the user cannot paste a button image: the clipboard holds no picture");
            return Outcome::Unmet;
        }
        windows_.barsChanged();
        return Outcome::Done;
    }
    if (words.size() < 5) return Outcome::BadLine;
    const bool popup = words[2] == L"popup";
    if (!node || node->kind() != Kind::Inspector || (!popup && words[2] != L"button") ||
        (words[4] != L"visible" && words[4] != L"hidden"))
        return Outcome::BadLine;
    Node* bar = model_.commandBar(*node, L"Standard");
    Node& control = model_.addControl(*bar->controls, popup ? msoControlPopup : msoControlButton, customControlId,
                                      std::nullopt);
    control.control.tag = words[3];
    control.control.visible = words[4] == L"visible";
    control.control.caption = unquote(rawRestAfter(line, 5));
    windows_.barsChanged();
    print(L"outlook: the user adds " + describeControl(control));
    return Outcome::Done;
}

Simulator::Outcome Simulator::click(const std::vector<std::wstring>& words) {
    // click NAME [TAG]: the user presses the first visible button of the Standard bar captioned
    // "Zel&tra", or carrying that tag. A command bar takes no focus: it stays where it was.
    Node* node = lookup(words[1]);
    if (!node || node->kind() != Kind::Inspector) return Outcome::BadLine;
    const bool byTag = words.size() == 3;
    Node* bar = model_.commandBar(*node, L"Standard");
    Node* button = nullptr;
    for (Node* control : bar->controls->elements)
        if (control->kind() == Kind::CommandBarButton && control->control.visible &&
            (byTag ? control->control.tag == words[2] : control->control.caption == L"Zel&tra")) {
            button = control;
            break;
        }
    const std::wstring which = byTag ? L"tagged " + quoted(words[2]) : L"captioned \"Zel&tra\"";
    if (!button) {
        print(L"  UNMET: no visible button " + which + L" on the Standard bar of " + label(node));
        return Outcome::Unmet;
    }
    const std::wstring tag = button->control.tag;
    print(L"outlook: the user clicks " + button->name() + L" (" + which + L", Tag " + quoted(tag) + L") on " +
          label(node));
    // Posted before the click is raised: Outlook's loop runs that line first after the press
    // (posted messages come before input), before the keystrokes a capture sent.
    if (duringClick_) postLine(*std::exchange(duringClick_, std::nullopt));
    const bool cancelled = model_.click(*button);
    print(std::wstring(L"outlook: click done") + (cancelled ? L", CancelDefault set" : L"") +
          (windows_.editorHasFocus(*node) ? L"; the keyboard focus is in its text"
                                          : L"; its text is not the keyboard focus"));
    runUntilAddInsIdle();
    return Outcome::Done;
}

Simulator::Outcome Simulator::clipboardLine(const std::vector<std::wstring>& words, const std::wstring& line) {
    const std::wstring& what = words[1];
    if (words[0] == L"clipboard-manager") {
        // clipboard-manager HOLD_MS | off: another program (clipboard_manager.exe) reads every
        // format right after each change, HOLD_MS after opening the clipboard.
        if (what == L"off" && words.size() == 2) {
            clipboardManager_.reset();
            print(L"outlook: the clipboard manager has ended");
            return Outcome::Done;
        }
        const auto ms = parseUnsigned(what);
        if (!ms || *ms == INFINITE || words.size() != 2) return Outcome::BadLine;
        clipboardManager_.reset();
        clipboardManager_ = std::make_unique<ClipboardManagerProgram>(clipboard_manager::sharedName,
                                                                      L"clipboard_manager.exe", what);
        const ULONGLONG deadline = GetTickCount64() + 5000;
        while (clipboardManager_->started() && !clipboardManager_->read(&clipboard_manager::Shared::listening) &&
               GetTickCount64() < deadline)
            Sleep(5);
        if (!clipboardManager_->read(&clipboard_manager::Shared::listening)) {
            clipboardManager_.reset();
            print(L"  UNMET: the clipboard manager did not start");
            return Outcome::Unmet;
        }
        print(L"outlook: a clipboard manager reads every format right after each change, " + what +
              L" ms after it opened the clipboard");
        return Outcome::Done;
    }
    if (words[0] == L"clipboard-monitor") {
        // Another program opens the clipboard right after every change and holds it MS ms.
        if (what == L"off" && words.size() == 2) {
            clipboardMonitor_.stop();
            print(L"outlook: the other program no longer watches the clipboard");
            return Outcome::Done;
        }
        const auto ms = parseUnsigned(what);
        if (!ms || *ms == INFINITE || words.size() != 2) return Outcome::BadLine;
        if (!clipboardMonitor_.start(*ms)) {
            print(L"  UNMET: the other program could not listen for clipboard changes");
            return Outcome::Unmet;
        }
        print(L"outlook: another program opens the clipboard right after every change and holds it " + what + L" ms");
        return Outcome::Done;
    }
    bool done = false;
    if (what == L"set" && words.size() >= 3) done = com_.clipboard().setText(unquote(restAfter(line, 2)));
    else if (what == L"set-elsewhere" && words.size() >= 3) done = otherProgramCopy_.copy(unquote(restAfter(line, 2)));
    else if (what == L"add-bitmap" && words.size() == 2) done = com_.clipboard().addBitmap();
    else if (what == L"add-private" && words.size() == 2) done = com_.clipboard().addPrivate();
    else if (what == L"add-file-contents" && words.size() == 2) done = com_.clipboard().addFileContents();
    else if (what == L"add-owner-display" && words.size() == 2) done = com_.clipboard().addOwnerDisplay();
    else if (what == L"set-delayed" && words.size() >= 5 && (words[3] == L"here" || words[3] == L"elsewhere")) {
        // clipboard set-delayed MS here|elsewhere TEXT: a program offers TEXT, rendered on request in MS ms.
        const auto ms = parseUnsigned(words[2]);
        if (!ms || *ms == INFINITE) return Outcome::BadLine;
        delayedOwner_.reset();
        const std::wstring text = unquote(restAfter(line, 4));
        delayedOwner_ = std::make_unique<DelayedOwner>(words[3] == L"here", *ms, text);
        done = delayedOwner_->offered();
        if (done)
            print(L"outlook: " + std::wstring(words[3] == L"here" ? L"a window of Outlook's thread" : L"another program") +
                  L" offers " + quoted(oneLine(text)) + L" on the clipboard, rendered on request in " + words[2] + L" ms");
    } else if (what == L"remember" && words.size() == 2) {
        rememberedClipboard_ = com_.clipboard().snapshot();
        rememberedSequence_ = Clipboard::sequenceNumber();
        done = rememberedClipboard_.has_value();
        if (done) print(L"outlook: the clipboard holds " + Clipboard::describe(*rememberedClipboard_));
    } else if (what == L"remember-sequence" && words.size() == 2) {
        // Reading the formats would have their owner render them: only the number is kept.
        rememberedClipboard_.reset();
        rememberedSequence_ = Clipboard::sequenceNumber();
        print(L"outlook: the clipboard's sequence number is " + std::to_wstring(*rememberedSequence_));
        return Outcome::Done;
    } else return Outcome::BadLine;
    if (done) return Outcome::Done;
    print(L"  UNMET: the clipboard could not be opened or took no data (" + what + L")");
    return Outcome::Unmet;
}

Simulator::Outcome Simulator::slowCopy(const std::vector<std::wstring>& words) {
    Node* node = lookup(words[1]);
    const auto ms = parseUnsigned(words[2]);
    const bool withoutTextFirst = words.size() == 4;
    if (!node || node->kind() != Kind::Inspector || !ms || *ms == INFINITE ||
        (withoutTextFirst && words[3] != L"without-text-first") || !windows_.setSlowCopy(*node, *ms, withoutTextFirst))
        return Outcome::BadLine;
    print(L"outlook: the editor of " + label(node) + L" answers Ctrl+C after " + words[2] + L" ms" +
          (withoutTextFirst ? L", putting a change without text on the clipboard first" : L""));
    return Outcome::Done;
}

Simulator::Outcome Simulator::wait(const std::wstring& milliseconds) {
    const auto ms = parseUnsigned(milliseconds);
    if (!ms || *ms == INFINITE) return Outcome::BadLine;
    const ULONGLONG deadline = GetTickCount64() + *ms;
    for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        pumpMessages();
    }
    return Outcome::Done;
}

Simulator::Outcome Simulator::registryLine(const std::vector<std::wstring>& words, const std::wstring& line) {
    // registry set NAME sz TEXT | registry set NAME dword N | registry delete NAME
    bool done = false;
    if (words[1] == L"set" && words.size() >= 5 && words[3] == L"sz") {
        done = install_settings::set(words[2], unquote(rawRestAfter(line, 4)));
    } else if (words[1] == L"set" && words.size() == 5 && words[3] == L"dword") {
        const auto number = parseUnsigned(words[4]);
        if (!number) return Outcome::BadLine;
        done = install_settings::set(words[2], *number);
    } else if (words[1] == L"set" && words.size() == 4 && words[3] == L"sz") {
        done = install_settings::set(words[2], std::wstring());
    } else if (words[1] == L"delete" && words.size() == 3) {
        done = install_settings::remove(words[2]);
    } else {
        return Outcome::BadLine;
    }
    if (done) {
        print(L"outlook: the installation's " + words[2] + L" is now " + install_settings::describe(words[2]));
        return Outcome::Done;
    }
    print(L"  UNMET: could not change the installation's " + words[2] + L" in the registry");
    return Outcome::Unmet;
}

Simulator::Outcome Simulator::expectBars(const std::vector<std::wstring>& words, const std::wstring& line,
                                         std::wstring& actual, std::wstring& wanted) {
    const std::wstring& what = words[1];
    Node* node = words.size() > 2 ? lookup(words[2]) : nullptr;
    if (!node || node->kind() != Kind::Inspector) return Outcome::BadLine;
    if (what == L"button-count" && words.size() == 5) {
        // expect button-count NAME TAG N: controls with the tag among the Standard bar's own
        const auto count = parseCount(words[4]);
        if (!count) return Outcome::BadLine;
        const Node* bar = model_.commandBar(*node, L"Standard");
        const auto found = std::count_if(bar->controls->elements.begin(), bar->controls->elements.end(),
                                         [&](const Node* c) { return c->control.tag == words[3]; });
        actual = std::to_wstring(found) + L" control(s) tagged " + quoted(words[3]);
        wanted = std::to_wstring(*count) + L" control(s) tagged " + quoted(words[3]);
        return Outcome::Done;
    }
    if (words.size() < 5) return Outcome::BadLine;
    const Node* control = taggedControl(*node, words[3]);
    if (what == L"sets" && words.size() == 5) {
        // expect sets NAME TAG MEMBER,MEMBER,...|none
        wanted = words[4];
        if (!control) {
            actual = L"no control tagged " + quoted(words[3]);
            return Outcome::Done;
        }
        for (const auto& member : control->control.changes) actual += (actual.empty() ? L"" : L",") + member;
        if (actual.empty()) actual = L"none";
        return Outcome::Done;
    }
    if (what != L"button" || words.size() < 5) return Outcome::BadLine;
    // expect button NAME TAG PROPERTY VALUE
    const std::wstring property = words[4];
    wanted = property + L" " + unquote(rawRestAfter(line, 5));
    if (!control) {
        actual = L"no control tagged " + quoted(words[3]);
        return Outcome::Done;
    }
    const Node::Control& c = control->control;
    const std::pair<const wchar_t*, std::wstring> properties[] = {
        {L"Caption", c.caption},
        {L"BeginGroup", yesNo(c.beginGroup)},
        {L"FaceId", std::to_wstring(c.faceId)},
        {L"TooltipText", c.tooltipText},
        {L"DescriptionText", c.descriptionText},
        {L"Style", std::to_wstring(c.style)},
        {L"Tag", c.tag},
        {L"OnAction", c.onAction},
        {L"Visible", yesNo(c.visible)},
        {L"Parameter", c.parameter},
        {L"Id", std::to_wstring(c.id)},
        {L"Type", std::to_wstring(c.type)},
        {L"Temporary", yesNo(c.temporary)},
        {L"face", faceOf(c)},
    };
    for (const auto& [name, value] : properties)
        if (property == name) actual = property + L" " + value;
    if (actual.empty()) return Outcome::BadLine;
    if (actual != wanted) print(L"  the control: " + describeControl(*control));
    return Outcome::Done;
}

Simulator::Outcome Simulator::expectClipboard(const std::vector<std::wstring>& words, const std::wstring& line,
                                              std::wstring& actual, std::wstring& wanted) {
    const std::wstring& what = words[1];
    if ((what == L"clipboard" || what == L"clipboard-sequence") && words.size() == 3 &&
        (words[2] == L"unchanged" || words[2] == L"changed")) {
        if (what == L"clipboard-sequence" ? !rememberedSequence_ : !rememberedClipboard_) {
            printError(L"expect " + what + L" needs a \"clipboard remember\" line before it" +
                       (what == L"clipboard-sequence" ? L" (or \"clipboard remember-sequence\")" : L""));
            return Outcome::BadLine;
        }
        wanted = words[2];
        if (what == L"clipboard-sequence") {
            const DWORD now = Clipboard::sequenceNumber();
            actual = now == *rememberedSequence_ ? L"unchanged" : L"changed";
            if (actual != wanted)
                print(L"  sequence number " + std::to_wstring(*rememberedSequence_) + L", now " + std::to_wstring(now));
            return Outcome::Done;
        }
        const auto now = com_.clipboard().snapshot();
        if (!now) {
            actual = L"a clipboard that cannot be opened";
            return Outcome::Done;
        }
        const std::wstring differences = Clipboard::differences(*rememberedClipboard_, *now);
        actual = differences.empty() ? L"unchanged" : L"changed";
        if (actual != wanted)
            print(L"  the clipboard holds " + Clipboard::describe(*now) +
                  (differences.empty() ? L"" : L": " + differences));
        return Outcome::Done;
    }
    if (what == L"clipboard-held" && words.size() == 3 && (words[2] == L"yes" || words[2] == L"no")) {
        // Whether a window, of this program or another, has the clipboard open.
        actual = GetOpenClipboardWindow() ? L"yes" : L"no";
        wanted = words[2];
        return Outcome::Done;
    }
    if (what == L"clipboard-text" && words.size() >= 3) {
        const std::wstring raw = restAfter(line, 2);
        wanted = raw == L"none" ? L"none" : quoted(unquote(raw));
        const auto text = com_.clipboard().text();
        actual = text ? quoted(*text) : L"none";
        return Outcome::Done;
    }
    if (what == L"clipboard-picture" && words.size() >= 3) {
        wanted = rawRestAfter(line, 2);
        const auto picture = com_.clipboard().picture();
        actual = picture ? describePicture(*picture) : L"none";
        return Outcome::Done;
    }
    return Outcome::BadLine;
}

Simulator::Outcome Simulator::expect(const std::vector<std::wstring>& words, const std::wstring& line) {
    const std::wstring& what = words[1];
    std::wstring actual;
    std::wstring wanted;
    if (what == L"button" || what == L"button-count" || what == L"sets") {
        if (expectBars(words, line, actual, wanted) == Outcome::BadLine) return Outcome::BadLine;
    } else if (what.starts_with(L"ribbon") || what.starts_with(L"context-menu") || what.starts_with(L"customui") ||
               what == L"buttons-seen") {
        if (expectRibbon(words, line, actual, wanted) == Outcome::BadLine) return Outcome::BadLine;
    } else if (what.starts_with(L"window") || what == L"seen" || what == L"pixel" || what == L"colour" ||
               what == L"focus") {
        if (expectWindow(words, line, actual, wanted) == Outcome::BadLine) return Outcome::BadLine;
    } else if (what == L"takes-input" && words.size() == 4 && (words[3] == L"yes" || words[3] == L"no")) {
        // expect takes-input NAME yes|no: whether the user can use that Outlook window (it is
        // disabled while a window modal to it is up).
        const Node* node = lookup(words[2]);
        const HWND frame = node ? windows_.handleOf(*node) : nullptr;
        if (!frame) return Outcome::BadLine;
        wanted = label(node) + (words[3] == L"yes" ? L" takes input" : L" takes no input");
        actual = label(node) + (IsWindowEnabled(frame) ? L" takes input" : L" takes no input");
    } else if (what == L"keyboard-focus" && words.size() >= 3) {
        // expect keyboard-focus WHERE: "the message list of NAME", "the reading pane of NAME",
        // "the text of NAME", "another window" or "nothing".
        wanted = restAfter(line, 2);
        actual = windows_.focusDescription([this](const Node& window) {
            for (const auto& [alias, node] : aliases_)
                if (node == &window) return alias;
            return window.name();
        });
    } else if (what == L"shell-opened" && words.size() >= 3) {
        wanted = unquote(rawRestAfter(line, 2));
        actual = nextShellOpen(wanted == L"none");
    } else if (what.starts_with(L"clipboard")) {
        if (expectClipboard(words, line, actual, wanted) == Outcome::BadLine) return Outcome::BadLine;
    } else if ((what == L"navigated" || what == L"navigated-query") && words.size() >= 3) {
        // expect navigated ADDRESS|none: the LocationURL of the add-in's browser control now.
        // expect navigated-query QUERY: that address is the redirect page of the installation
        // the registry holds, with the query, as Wine's control reports a file URL.
        const auto address = addInBrowserAddress();
        actual = address && !address->empty() ? *address : L"none";
        wanted = unquote(rawRestAfter(line, 2));
        if (what == L"navigated-query") {
            const std::wstring folder = install_settings::describe(L"folder");
            wanted = L"file://" + (folder.rfind(L"sz ", 0) == 0 ? unquote(folder.substr(3)) : folder) +
                     L"\\cvredir.htm?" + wanted;
        }
    } else if (what == L"navigations" && words.size() == 3) {
        // Changes of that address seen after the lines since the scenario began or the last such line.
        const auto count = parseCount(words[2]);
        if (!count) return Outcome::BadLine;
        noteBrowserAddress();
        actual = std::to_wstring(navigations_) + L" navigation(s)";
        wanted = words[2] + L" navigation(s)";
        navigations_ = 0;
    } else if (what == L"add-in-windows" && words.size() == 3) {
        // Windows of its own the add-in showed since the scenario began or the last such line.
        const auto count = parseCount(words[2]);
        if (!count) return Outcome::BadLine;
        actual = std::to_wstring(addInWindowsShown_) + L" window(s)";
        wanted = words[2] + L" window(s)";
        addInWindowsShown_ = 0;
    } else if (what == L"messages" && words.size() == 3) {
        // Message boxes shown since the scenario began or since the last "expect messages".
        const auto count = parseCount(words[2]);
        if (!count) return Outcome::BadLine;
        const std::size_t shown = messageBoxes_ ? messageBoxes_->seen().size() : 0;
        actual = std::to_wstring(shown - messageBoxesCounted_) + L" message box(es)";
        wanted = words[2] + L" message box(es)";
        messageBoxesCounted_ = shown;
    } else if (what == L"message" && words.size() >= 3) {
        // expect message TITLE|ICON|BUTTONS|TEXT, of the last message box shown
        const auto parts = fields(restAfter(line, 2), 4);
        if (parts.size() != 4) return Outcome::BadLine;
        wanted = parts[0] + L"|" + parts[1] + L"|" + parts[2] + L"|" + unquote(parts[3]);
        static const std::vector<MessageBoxSeen> none;
        const auto& seen = messageBoxes_ ? messageBoxes_->seen() : none;
        actual = seen.empty() ? L"no message box"
                              : seen.back().title + L"|" + seen.back().icon + L"|" + seen.back().buttons + L"|" +
                                    seen.back().text;
    } else if (what == L"message-answer" && words.size() == 3) {
        // The button the last message box was answered with.
        static const std::vector<MessageBoxSeen> none;
        const auto& seen = messageBoxes_ ? messageBoxes_->seen() : none;
        actual = seen.empty() ? L"no message box" : seen.back().answer;
        wanted = words[2];
    } else if (what == L"registry" && words.size() >= 4) {
        // expect registry NAME sz TEXT|dword N|none
        actual = install_settings::describe(words[2]);
        if (words[3] == L"sz") wanted = L"sz " + quoted(unquote(rawRestAfter(line, 4)));
        else if (words[3] == L"dword" && words.size() == 5 && parseUnsigned(words[4]))
            wanted = L"dword " + std::to_wstring(*parseUnsigned(words[4]));
        else if (words[3] == L"none" && words.size() == 4) wanted = L"none";
        else return Outcome::BadLine;
    } else if (what == L"library" && words.size() == 3 && (words[2] == L"loaded" || words[2] == L"unloaded")) {
        // Whether an add-in library is mapped into Outlook's process.
        actual = addIns_.anyLibraryMapped() ? L"loaded" : L"unloaded";
        wanted = words[2];
    } else if (what == L"attached" || what == L"detached") {
        const bool attached = connected(model_.explorersCollection(), iid::ExplorersEvents) &&
                              connected(model_.inspectorsCollection(), iid::InspectorsEvents) &&
                              connected(model_.application(), iid::ApplicationEvents_10);
        const bool anyWindowFollowed = !connectedWindows(Kind::Explorer, iid::ExplorerEvents_10).empty() ||
                                       !connectedWindows(Kind::Inspector, iid::InspectorEvents_10).empty() ||
                                       connected(model_.explorersCollection(), iid::ExplorersEvents) ||
                                       connected(model_.inspectorsCollection(), iid::InspectorsEvents);
        actual = attached ? L"attached" : anyWindowFollowed ? L"partly attached" : L"detached";
        wanted = what;
    } else if ((what == L"tracked" || what == L"watched") && words.size() == 3) {
        // expect tracked|watched NAME,NAME,...|none: the Explorers (tracked) or item windows
        // (watched) whose events the add-in follows, each once (twice would be told).
        const bool explorer = what == L"tracked";
        const host::Guid& events = explorer ? iid::ExplorerEvents_10 : iid::InspectorEvents_10;
        const auto described = [&](const Node* n) {
            const auto count = std::count_if(n->connections.begin(), n->connections.end(),
                                             [&](const Node::Connection& c) { return c.eventIid == events; });
            return label(n) + (count > 1 ? L" " + std::to_wstring(count) + L" times" : L"");
        };
        for (const Node* n : connectedWindows(explorer ? Kind::Explorer : Kind::Inspector, events))
            actual += (actual.empty() ? L"" : L", ") + described(n);
        if (actual.empty()) actual = L"none";
        std::vector<const Node*> expected;
        if (words[2] != L"none") {
            std::wstring names = words[2] + L",";
            for (std::size_t at = 0, comma; (comma = names.find(L',', at)) != std::wstring::npos; at = comma + 1) {
                const Node* node = lookup(names.substr(at, comma - at));
                if (!node) return Outcome::BadLine;
                expected.push_back(node);
            }
        }
        // In the order the windows were made, as they are listed.
        for (const auto& node : model_.nodes())
            if (std::find(expected.begin(), expected.end(), node.get()) != expected.end())
                wanted += (wanted.empty() ? L"" : L", ") + label(node.get());
        if (wanted.empty()) wanted = L"none";
    } else if (what == L"connections" && words.size() == 3) {
        const auto count = parseCount(words[2]);
        if (!count) return Outcome::BadLine;
        actual = std::to_wstring(model_.connectionCount());
        wanted = words[2];
    } else if (what == L"refs" && words.size() == 4) {
        const Node* node = lookup(words[2]);
        const auto count = parseCount(words[3]);
        if (!node || !count) return Outcome::BadLine;
        actual = std::to_wstring(node->refs());
        wanted = words[3];
    } else if (what == L"quiet" && words.size() == 2) {
        // The previous command made no call into the host.
        int calls = 0;
        const auto& log = model_.traceLog();
        for (std::size_t i = commandTraceStart_; i < log.size(); ++i) calls += isAddInActivity(log[i].type);
        actual = calls ? std::to_wstring(calls) + L" add-in call(s)" : L"quiet";
        wanted = L"quiet";
    } else {
        return Outcome::BadLine;
    }
    if (actual == wanted) {
        print(L"  ok: " + oneLine(wanted));
        return Outcome::Done;
    }
    print(L"  UNMET: expected " + oneLine(wanted) + L", found " + oneLine(actual));
    return Outcome::Unmet;
}

void Simulator::runLine(std::size_t n) { runText(lines_[n], n); }

void Simulator::runText(const std::wstring& text, std::size_t n) {
    std::wstring line = withoutComment(text);
    const auto words = split(line);
    if (words.empty()) return;
    line.erase(line.find_last_not_of(L" \t") + 1);
    print(L"> " + line.substr(line.find_first_not_of(L" \t")));
    Outcome outcome = Outcome::Done;
    if (words[0] == L"with-window" && words.size() == 1) {
        // Reached here, the add-in shows no window: the block's lines have nothing to act on.
        print(L"  UNMET: the add-in shows no window of its own");
        outcome = Outcome::Unmet;
        while (nextLine_ < lines_.size() && !isLine(lines_[nextLine_], L"end")) ++nextLine_;
        ++nextLine_;
    } else if (words[0] == L"end" && words.size() == 1) {
        if (!blockRunning_) outcome = Outcome::BadLine;
        blockRunning_ = false;
    } else {
        // "expect quiet" looks at what the command before it did.
        if (words[0] != L"expect") previousCommandStart_ = model_.traceLog().size();
        commandTraceStart_ = previousCommandStart_;
        ++lineDepth_;
        outcome = execute(words, line);
        // A line run inside a message loop (the add-in's window's, the capture's wait) leaves the
        // messages to that loop: pumping them here would run them ahead of the loop's own checks.
        if (lineDepth_ == 1 && (!blockRunning_ || !shownAddInWindow())) pumpMessages();
        --lineDepth_;
        if (lineDepth_ == 0) refreshRibbons();
        noteBrowserAddress();
        addIns_.noteLibraryWindowClasses();
        if (lineDepth_ == 0 && leftoversDue_) reportWhatAddInsLeft(*std::exchange(leftoversDue_, std::nullopt));
    }
    if (outcome == Outcome::BadLine && !badLine_) {
        printError(L"scenario line " + std::to_wstring(n + 1) + L" not understood: " + text);
        badLine_ = n;
    }
    if (outcome == Outcome::Unmet) ++unmet_;
}

namespace {
thread_local Simulator* blockRunner = nullptr;
}  // namespace

HWND Simulator::shownAddInWindow() const {
    return addInWindow_ && IsWindow(addInWindow_) && IsWindowVisible(addInWindow_) ? addInWindow_ : nullptr;
}

void Simulator::addInWindowShown(HWND window) {
    addInWindow_ = window;
    ++addInWindowsShown_;
    wchar_t title[256] = L"";
    GetWindowTextW(window, title, 256);
    print(L"outlook: the add-in shows its window " + quoted(title));
    blockRunner = this;
    if (!blockRunning_ && nextLine_ < lines_.size() && isLine(lines_[nextLine_], L"with-window")) {
        print(L"> with-window");
        ++nextLine_;
        blockRunning_ = true;
    }
    // Acted on once the window's own message loop runs.
    armBlockTimer();
}

void Simulator::armBlockTimer() { SetTimer(nullptr, 0, 40, &Simulator::nextBlockLine); }

void CALLBACK Simulator::nextBlockLine(HWND, UINT, UINT_PTR timer, DWORD) noexcept {
    KillTimer(nullptr, timer);
    Simulator* self = blockRunner;
    if (!self) return;
    try {
        const HWND window = self->shownAddInWindow();
        if (!window) return;  // hidden or closed meanwhile: the rest of the block runs after it
        const bool atEnd = self->nextLine_ >= self->lines_.size() ||
                           isLine(self->lines_[self->nextLine_], L"end");
        if (!self->blockRunning_ || atEnd || self->badLine_) {
            if (self->blockRunning_ && !atEnd) self->nextLine_ = self->lines_.size();
            if (self->blockRunning_ && atEnd && self->nextLine_ < self->lines_.size()) {
                print(L"> end");
                ++self->nextLine_;
            }
            self->blockRunning_ = false;
            print(L"outlook: the user closes the add-in's window with its close box");
            PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
            return;
        }
        self->runLine(self->nextLine_++);
        self->armBlockTimer();
    } catch (...) {
        printError(L"a scenario line failed inside the add-in's window");
    }
}

int Simulator::runScenario(const std::wstring& path) {
    lines_.clear();
    if (!readLines(path, lines_)) {
        printError(L"cannot read scenario " + path);
        return 2;
    }
    shellOpens_.emplace();
    if (!shellOpens_->registered()) printError(L"could not register the recorder of shell opens");
    if (options_.installed)
        printInstallation(L"the installation as found");
    else
        writeTestInstallation();
    nextLine_ = 0;
    while (nextLine_ < lines_.size() && !badLine_) runLine(nextLine_++);
    if (badLine_) return 2;
    quit();
    if (!leftNothingBehind_) print(L"outlook: the add-in left references or loaded code behind, or broke COM's rules");
    if (callbackErrors_)
        print(L"outlook: " + std::to_wstring(callbackErrors_) + L" ribbon callback(s) failed, shown to the user as errors");
    if (unmet_) print(L"outlook: " + std::to_wstring(unmet_) + L" expectation(s) unmet");
    if (!leftNothingBehind_ || callbackErrors_) return 1;
    return unmet_ && !options_.lenient ? 1 : 0;
}

// Every scenario and benchmark run starts from the standard test installation.
void Simulator::writeTestInstallation() {
    if (install_settings::writeTestInstallation())
        printInstallation(L"the test installation");
    else
        printError(L"could not write the test installation's settings into the registry");
}

void Simulator::printInstallation(const std::wstring& which) {
    print(L"outlook: " + which + L": folder " + install_settings::describe(L"folder") + L", MSOAO " +
          install_settings::describe(L"MSOAO"));
}

int Simulator::countCalls(const std::wstring& path) {
    const int result = runScenario(path);
    print(L"calls " + std::to_wstring(model_.callsMade()));
    return result;
}

int Simulator::runInteractive() {
    Node& explorer = model_.openExplorer();
    windows_.opened(explorer);
    start();
    MSG message;
    while (!quitted_ && GetMessageW(&message, nullptr, 0, 0) > 0) handle(message);
    quit();
    return leftNothingBehind_ ? 0 : 1;
}

int Simulator::runBenchmark(int itemWindows) {
    traceShown_ = false;  // writing the trace would be most of what is measured
    const auto now = [] { return std::chrono::steady_clock::now(); };
    const auto ms = [](auto from, auto to) { return std::chrono::duration<double, std::milli>(to - from).count(); };
    // NewInspector of one mail item window after another, as the median time Outlook spends raising it.
    const auto openMailWindows = [&] {
        std::vector<double> times;
        std::vector<Node*> items;
        for (int i = 0; i < itemWindows; ++i) {
            const auto begin = now();
            items.push_back(&model_.openInspector(43, L"benchmark"));
            times.push_back(ms(begin, now()));
        }
        for (Node* item : items) model_.closeWindow(*item);
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    // Outlook 2003 first: its item windows get the command-bar button.
    model_.setVersion(11);
    writeTestInstallation();
    Node& explorer = model_.openExplorer();
    windows_.opened(explorer);
    start();
    const double onConnectionMs = addIns_.timings().onConnectionMs;
    // Every window gets a new button (a temporary one: Office keeps none).
    const double buttonCreatedMs = openMailWindows();
    // A press with a word selected, and with a 100 KB selection (Ctrl+A on a long mail).
    Node& word = openItem(43, L"Hello World");
    const double clickWordMs = medianClickMs(word, 0, 5, 15);
    // A long mail of short lines (an edit control takes minutes to wrap one 100 KB word).
    std::wstring longMail;
    while (longMail.size() < 100 * 1024) longMail += L"Line of a long mail, 50% off today only.\r\n";
    Node& large = openItem(43, longMail);
    const double clickLargeMs = medianClickMs(large, 0, static_cast<int>(longMail.size()), 7);
    quit(false);
    const double onDisconnectionMs = addIns_.timings().onDisconnectionMs;
    // Then Outlook 2013 and later: the ribbon in a mail window whose editor is Word, and the
    // reading pane's right-click menu, whose text only the clipboard gives.
    addIns_.freeUnusedLibraries();
    for (Node* window : windows_.openWindows()) windows_.closed(*window);
    model_.endSession();
    model_.setVersion(16);
    started_ = quitted_ = false;
    Node& main = model_.openExplorer();
    windows_.opened(main);
    start();
    // The window only looks for a leftover command-bar button; its ribbon asks for the XML once.
    const double ribbonWindowMs = openMailWindows();
    Node& wordMail = openItem(43, L"Hello World");
    const RibbonTiming ribbon = medianRibbonMs(wordMail, 0, 5, 15);
    model_.selectItem(main, std::wstring(L"Hello from the reading pane"));
    windows_.readingPaneChanged(main);
    const RibbonTiming menu = medianRibbonMs(main, 0, 5, 15, L"ContextMenuReadOnlyMailText");
    quit();
    wchar_t figures[512];
    swprintf(figures, 512,
             L"bench addin=%ls onconnection_ms=%.4f newinspector_created_ms=%.4f newinspector_ribbon_ms=%.4f "
             L"click_word_ms=%.4f click_100kb_ms=%.4f ondisconnection_ms=%.4f ribbon_word_ms=%.4f "
             L"ribbon_clipboard_changes=%d menu_reading_pane_ms=%.4f menu_clipboard_changes=%d",
             addIns_.anyLoadedEver() ? L"yes" : L"no", onConnectionMs, buttonCreatedMs, ribbonWindowMs, clickWordMs,
             clickLargeMs, onDisconnectionMs, ribbon.medianMs, ribbon.clipboardChanges, menu.medianMs,
             menu.clipboardChanges);
    print(figures);
    return leftNothingBehind_ ? 0 : 1;
}

}  // namespace sim::win32
