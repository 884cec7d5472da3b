// Benchmarks of the press: how long the add-in's handling of a button's Click takes (the capture
// and the navigation), and a soak of many presses while another program copies text at random
// moments. Figures are printed, never asserted.
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <chrono>
#include <string>
#include <vector>

#include "sim/win32/add_in_browser.h"
#include "sim/win32/clipboard_manager.h"
#include "sim/win32/clipboard_writer.h"
#include "sim/win32/console.h"
#include "sim/win32/other_program.h"
#include "sim/win32/simulator.h"

namespace sim::win32 {
namespace {

Node* zeltraButton(Model& model, Node& inspector) {
    ControlCriteria ours;
    ours.tag = L"Zeltra";
    return model.findControl(*model.commandBar(inspector, L"Standard"), ours);
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Resources {
    unsigned long long privateBytes = 0;
    unsigned long gdiObjects = 0;
    unsigned long userWindows = 0;
};

// The process's private resident memory. Wine reports no PrivateUsage; the kernel's own figure
// (RssAnon, read through drive Z:) is the one that grows with the heap.
unsigned long long privateBytes() {
    if (FILE* status = _wfopen(L"Z:\\proc\\self\\status", L"r")) {
        char line[256];
        unsigned long long kilobytes = 0;
        while (std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "RssAnon: %llu kB", &kilobytes) == 1) break;
        std::fclose(status);
        if (kilobytes) return kilobytes * 1024;
    }
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        return memory.PrivateUsage;
    return 0;
}

// Live GDI objects: GetGuiResources where the system counts them; Wine does not, so the entries
// in use in the process's GDI handle table (the PEB's GdiSharedHandleTable, 24 bytes an entry,
// the object's type at byte 14) are counted instead.
unsigned long gdiObjects() {
    if (const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return counted;
    PROCESS_BASIC_INFORMATION process{};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &process, sizeof process, nullptr) != 0)
        return 0;
    const auto* peb = reinterpret_cast<const std::uint8_t*>(process.PebBaseAddress);
    const auto* table = *reinterpret_cast<const std::uint8_t* const*>(peb + 0xF8);
    MEMORY_BASIC_INFORMATION region{};
    if (!table || !VirtualQuery(table, &region, sizeof region) || region.State != MEM_COMMIT) return 0;
    const std::size_t readable = region.RegionSize - static_cast<std::size_t>(table - static_cast<const std::uint8_t*>(region.BaseAddress));
    const std::size_t entries = std::min<std::size_t>(readable / 24, 0x10000);
    unsigned long used = 0;
    for (std::size_t i = 0; i < entries; ++i) used += table[i * 24 + 14] != 0;
    return used;
}

BOOL CALLBACK countChild(HWND, LPARAM count) {
    ++*reinterpret_cast<unsigned long*>(count);
    return TRUE;
}

BOOL CALLBACK countWindow(HWND window, LPARAM count) {
    ++*reinterpret_cast<unsigned long*>(count);
    EnumChildWindows(window, &countChild, count);
    return TRUE;
}

// The windows of this thread, top-level, child and message-only: Wine counts no USER objects.
unsigned long userWindows() {
    if (const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) return counted;
    unsigned long count = 0;
    EnumThreadWindows(GetCurrentThreadId(), &countWindow, reinterpret_cast<LPARAM>(&count));
    for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
         window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr))
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) countWindow(window, reinterpret_cast<LPARAM>(&count));
    return count;
}

Resources resourcesNow() { return {privateBytes(), gdiObjects(), userWindows()}; }

}  // namespace

double Simulator::pressToLaunchMs(const std::function<void()>& press) {
    const auto ms = [](auto from, auto to) { return std::chrono::duration<double, std::milli>(to - from).count(); };
    const auto begin = std::chrono::steady_clock::now();
    press();
    const auto pressed = std::chrono::steady_clock::now();
    // A launch from Word's selection is made in the press; a copy comes through Outlook's loop.
    if (!addIns_.awaitsMessages()) return ms(begin, pressed);
    runUntilAddInsIdle();
    return ms(begin, std::chrono::steady_clock::now());
}

double Simulator::medianClickMs(Node& inspector, int start, int length, int presses) {
    Node* button = zeltraButton(model_, inspector);
    if (!button) return -1;
    std::vector<double> times;
    for (int i = 0; i < presses; ++i) {
        windows_.select(inspector, start, length);
        times.push_back(pressToLaunchMs([&] { model_.click(*button); }));
        pumpMessages();
    }
    return median(times);
}

Simulator::RibbonTiming Simulator::medianRibbonMs(Node& window, int start, int length, int presses,
                                                  const wchar_t* menuIdMso) {
    std::vector<double> times;
    RibbonTiming timing;
    for (int i = 0; i < presses; ++i) {
        windows_.select(window, start, length);
        const DWORD sequence = GetClipboardSequenceNumber();
        bool pressed = true;
        times.push_back(pressToLaunchMs([&] {
            if (menuIdMso)
                model_.ribbons().pickMenuEntry(window, menuIdMso, std::wstring(L"ZeltraLookUp") + menuIdMso);
            else
                pressed = model_.ribbons().press(window, std::nullopt) == Ribbons::Press::Done;
        }));
        if (!pressed) return {};
        pumpMessages();
        if (GetClipboardSequenceNumber() != sequence) ++timing.clipboardChanges;
    }
    timing.medianMs = median(times);
    return timing;
}

int Simulator::runSoak(int presses) {
    traceShown_ = false;
    model_.setVersion(11);  // the command-bar button: its press always captures through the clipboard
    writeTestInstallation();
    const std::vector<std::wstring> words = {L"alpha", L"bravo", L"charlie", L"delta", L"echo"};
    std::wstring body;
    std::vector<int> starts;
    for (const auto& word : words) {
        starts.push_back(static_cast<int>(body.size()));
        body += word + L" ";
    }
    Node& explorer = model_.openExplorer();
    windows_.opened(explorer);
    start();
    Node& mail = openItem(43, body);
    Node* button = zeltraButton(model_, mail);
    if (!button) {
        printError(L"soak: the mail window got no button");
        return 1;
    }
    com_.clipboard().setText(L"the user's own copy");
    OtherProgram<clipboard_writer::Shared> writer(clipboard_writer::sharedName, L"clipboard_writer.exe", L"7");
    if (!writer.started()) printError(L"soak: clipboard_writer.exe did not start; pressing without it");
    // A clipboard history reads every copy, the view's rendered by Outlook's thread meanwhile.
    OtherProgram<clipboard_manager::Shared> manager(clipboard_manager::sharedName, L"clipboard_manager.exe", L"2");
    if (!manager.started()) printError(L"soak: clipboard_manager.exe did not start; pressing without it");
    const auto lastWritten = [&writer] { return writer.read(&clipboard_writer::Shared::lastWritten); };

    int skipped = 0, wrongNavigation = 0, wrongClipboard = 0, reported = 0;
    Resources atStart{}, atEnd{};
    const auto begin = std::chrono::steady_clock::now();
    for (int press = 1; press <= presses; ++press) {
        const std::size_t w = static_cast<std::size_t>(press) % words.size();
        windows_.select(mail, starts[w], static_cast<int>(words[w].size()));
        // The writer's count first: a copy landing between the two reads then counts as during the press.
        const LONG writtenBefore = lastWritten();
        const std::wstring before = com_.clipboard().text().value_or(L"");
        const auto addressBefore = addInBrowserAddress();
        model_.click(*button);
        runUntilAddInsIdle();
        const LONG writtenAfter = lastWritten();
        const std::wstring after = com_.clipboard().text().value_or(L"");
        const auto address = addInBrowserAddress();

        // The clipboard holds what it held, or the other program's newest copy: never the
        // selection, never an older content over a newer one.
        const LONG afterNumber = clipboard_writer::numberOf(after);
        const bool clipboardRight = writtenAfter == writtenBefore ? (after == before || afterNumber > writtenAfter)
                                                                  : afterNumber >= writtenAfter;
        const std::wstring wanted = L"file://C:\\Zeltra Test\\cvredir.htm?" + words[w];
        const bool navigated = address && address != addressBefore;
        std::wstring problem;
        if (!clipboardRight) {
            ++wrongClipboard;
            problem += L" clipboard \"" + after + L"\" (before \"" + before + L"\", writes " +
                       std::to_wstring(writtenBefore) + L".." + std::to_wstring(writtenAfter) + L")";
        }
        if (!navigated) {
            ++skipped;  // a capture that could not be made safely is skipped by design
        } else if (*address != wanted) {
            ++wrongNavigation;
            problem += L" navigated " + *address;
        }
        if (!problem.empty() && reported < 20) {
            ++reported;
            print(L"soak: press " + std::to_wstring(press) + L" (" + words[w] + L"):" + problem);
        }
        if (press == std::min(100, presses)) atStart = resourcesNow();
        if (press == presses) atEnd = resourcesNow();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    quit();
    wchar_t figures[512];
    swprintf(figures, 512,
             L"soak presses=%d seconds=%.1f writer_copies=%ld manager_reads=%ld skipped=%d wrong_navigation=%d "
             L"wrong_clipboard=%d "
             L"private_bytes_growth=%lld gdi_growth=%ld user_growth=%ld (from press %d to %d; at the end %llu bytes, %lu GDI "
             L"objects, %lu USER objects)",
             presses, seconds, lastWritten(), manager.read(&clipboard_manager::Shared::reads), skipped, wrongNavigation,
             wrongClipboard,
             static_cast<long long>(atEnd.privateBytes) - static_cast<long long>(atStart.privateBytes),
             static_cast<long>(atEnd.gdiObjects) - static_cast<long>(atStart.gdiObjects),
             static_cast<long>(atEnd.userWindows) - static_cast<long>(atStart.userWindows), std::min(100, presses),
             presses, atEnd.privateBytes, atEnd.gdiObjects, atEnd.userWindows);
    print(figures);
    return leftNothingBehind_ ? 0 : 1;
}

}  // namespace sim::win32
