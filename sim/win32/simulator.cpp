#include "sim/win32/simulator.h"

#include <algorithm>
#include <chrono>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/iids.h"
#include "sim/win32/console.h"

namespace sim::win32 {
namespace {

namespace iid = host::iid;

std::wstring fromUtf8(const std::string& text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

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

std::vector<std::wstring> split(const std::wstring& line) {
    std::vector<std::wstring> words;
    std::wistringstream stream(line);
    for (std::wstring word; stream >> word;) words.push_back(word);
    return words;
}

// The text after the first `skip` words.
std::wstring restAfter(const std::wstring& line, std::size_t skip) {
    std::size_t i = 0;
    for (std::size_t w = 0; w < skip; ++w) {
        while (i < line.size() && std::iswspace(line[i])) ++i;
        while (i < line.size() && !std::iswspace(line[i])) ++i;
    }
    while (i < line.size() && std::iswspace(line[i])) ++i;
    std::wstring rest = line.substr(i);
    // "\n" in a body stands for a line break.
    for (std::size_t at; (at = rest.find(L"\\n")) != std::wstring::npos;) rest.replace(at, 2, L"\r\n");
    return rest;
}

std::optional<std::int32_t> parseItemClass(const std::wstring& name) {
    static const std::pair<const wchar_t*, std::int32_t> classes[] = {
        {L"mail", 43}, {L"post", 45}, {L"appointment", 26}, {L"contact", 40}, {L"distlist", 69},
        {L"task", 48}, {L"journal", 42}, {L"document", 41}};
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

std::optional<int> parseCount(const std::wstring& text) {
    try {
        std::size_t used = 0;
        const int value = std::stoi(text, &used);
        if (used == text.size() && value >= 0) return value;
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
    : options_(options), com_(model_), windows_(model_, options.visible), addIns_(com_) {
    model_.setTraceListener([this](const TraceEntry& e) {
        switch (e.type) {
            case TraceEntry::Type::HostEvent: print(L"  host: " + e.text); break;
            case TraceEntry::Type::AddInCall:
            case TraceEntry::Type::Advise:
            case TraceEntry::Type::Unadvise: print(L"    add-in: " + e.text); break;
            case TraceEntry::Type::Failure: print(L"    ! " + e.text); break;
            case TraceEntry::Type::Note: print(L"  " + e.text); break;
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
}

Simulator::~Simulator() = default;

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

void Simulator::quit() {
    if (quitted_) return;
    quitted_ = true;
    print(L"outlook: quitting");
    addIns_.shutdown();
    const auto held = model_.referencesHeld();
    if (held.empty()) {
        print(L"outlook: references held by add-ins after disconnection: none");
    } else {
        leftNothingBehind_ = false;
        for (const auto& [node, count] : held)
            print(L"outlook: LEFT BEHIND: " + std::to_wstring(count) + L" reference(s) to " + label(node));
    }
    for (const auto& name : model_.overReleases()) {
        leftNothingBehind_ = false;
        print(L"outlook: OVER-RELEASED: " + name);
    }
    for (const auto& fault : model_.faults()) {
        leftNothingBehind_ = false;
        print(L"outlook: WRONG THREAD: " + fault);
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
    if (!addIns_.librariesAnswerUnload(true)) leftNothingBehind_ = false;
    if (options_.visible) PostQuitMessage(0);
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

int Simulator::pumpMessages() {
    MSG message;
    int handled = 0;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
        ++handled;
    }
    return handled;
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
    if (command == L"quit" && words.size() == 1) {
        quit();
        return Outcome::Done;
    }
    if (command == L"pump" && words.size() == 1) {
        pumpMessages();
        return Outcome::Done;
    }
    if (command == L"expect" && words.size() >= 2) return expect(words);
    return Outcome::BadLine;
}

Simulator::Outcome Simulator::expect(const std::vector<std::wstring>& words) {
    const std::wstring& what = words[1];
    std::wstring actual;
    std::wstring wanted;
    if (what == L"attached" || what == L"detached") {
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
        const bool explorer = what == L"tracked";
        const auto windows = connectedWindows(explorer ? Kind::Explorer : Kind::Inspector,
                                              explorer ? iid::ExplorerEvents_10 : iid::InspectorEvents_10);
        for (const Node* n : windows) actual += (actual.empty() ? L"" : L", ") + label(n);
        if (actual.empty()) actual = L"none";
        const Node* expected = words[2] == L"none" ? nullptr : lookup(words[2]);
        if (words[2] != L"none" && !expected) return Outcome::BadLine;
        wanted = label(expected);
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
        print(L"  ok: " + wanted);
        return Outcome::Done;
    }
    print(L"  UNMET: expected " + wanted + L", found " + actual);
    return Outcome::Unmet;
}

int Simulator::runScenario(const std::wstring& path) {
    std::vector<std::wstring> lines;
    if (!readLines(path, lines)) {
        printError(L"cannot read scenario " + path);
        return 2;
    }
    int unmet = 0;
    std::size_t previousCommandStart = 0;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        std::wstring line = lines[n];
        if (const auto hash = line.find(L'#'); hash != std::wstring::npos) line.erase(hash);
        const auto words = split(line);
        if (words.empty()) continue;
        line.erase(line.find_last_not_of(L" \t") + 1);
        print(L"> " + line.substr(line.find_first_not_of(L" \t")));
        // "expect quiet" looks at what the command before it did.
        const bool expectation = words[0] == L"expect";
        if (!expectation) previousCommandStart = model_.traceLog().size();
        commandTraceStart_ = previousCommandStart;
        const Outcome outcome = execute(words, line);
        pumpMessages();
        if (outcome == Outcome::BadLine) {
            printError(L"scenario line " + std::to_wstring(n + 1) + L" not understood: " + lines[n]);
            return 2;
        }
        if (outcome == Outcome::Unmet) ++unmet;
    }
    quit();
    if (!leftNothingBehind_) print(L"outlook: the add-in left references or loaded code behind, or broke COM's rules");
    if (unmet) print(L"outlook: " + std::to_wstring(unmet) + L" expectation(s) unmet");
    if (!leftNothingBehind_) return 1;
    return unmet && !options_.lenient ? 1 : 0;
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
    while (!quitted_ && GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    quit();
    return leftNothingBehind_ ? 0 : 1;
}

int Simulator::runBenchmark(int itemWindows) {
    const auto now = [] { return std::chrono::steady_clock::now(); };
    const auto ms = [](auto from, auto to) { return std::chrono::duration<double, std::milli>(to - from).count(); };
    Node& explorer = model_.openExplorer();
    windows_.opened(explorer);
    start();
    std::vector<double> newInspector;
    std::vector<Node*> items;
    for (int i = 0; i < itemWindows; ++i) {
        const auto begin = now();
        items.push_back(&model_.openInspector(43, L"benchmark"));
        newInspector.push_back(ms(begin, now()));
    }
    for (Node* item : items) model_.closeWindow(*item);
    quit();
    std::sort(newInspector.begin(), newInspector.end());
    wchar_t figures[256];
    swprintf(figures, 256, L"bench addin=%ls onconnection_ms=%.4f newinspector_ms=%.4f ondisconnection_ms=%.4f",
             addIns_.anyLoadedEver() ? L"yes" : L"no", addIns_.timings().onConnectionMs,
             newInspector[newInspector.size() / 2], addIns_.timings().onDisconnectionMs);
    print(figures);
    return leftNothingBehind_ ? 0 : 1;
}

}  // namespace sim::win32
