#pragma once
// The Outlook simulator: the Outlook model, its COM objects, real windows, and the add-ins
// loaded from the registry, driven by a scenario or by a person.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/model/outlook_model.h"
#include "sim/win32/add_in_host.h"
#include "sim/win32/add_in_windows.h"
#include "sim/win32/application_class.h"
#include "sim/win32/clipboard.h"
#include "sim/win32/clipboard_manager.h"
#include "sim/win32/clipboard_programs.h"
#include "sim/win32/com_host.h"
#include "sim/win32/message_boxes.h"
#include "sim/win32/other_program.h"
#include "sim/win32/shell_opens.h"
#include "sim/win32/window_layer.h"

namespace sim::win32 {

struct Options {
    bool verbose = false;   // also print QueryInterface, AddRef and Release
    bool visible = false;   // show the windows
    bool lenient = false;   // report unmet expectations without failing (failure injection runs)
    int failCall = 0;       // make the add-in's call number N fail
    bool answerMessageBoxes = true;  // find and answer message boxes (not when a person uses the windows)
    bool installed = false;  // scenarios keep the installation settings an installer left in the registry
};

class Simulator {
public:
    explicit Simulator(Options options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Runs a scenario file; returns the process exit code: 0 when every expectation held and the
    // add-ins left nothing behind, 1 otherwise, 2 for a scenario that cannot be read.
    int runScenario(const std::wstring& path);
    // Opens an Explorer, loads the add-ins and lets a person use the windows until Outlook quits.
    int runInteractive();
    // Prints the number of calls the add-in makes in a scenario (for failure injection runs).
    int countCalls(const std::wstring& path);

    // Measures connection, item window, press and disconnection times; prints one line of figures.
    int runBenchmark(int itemWindows);
    // Presses the button of a mail window `presses` times while another program copies text at
    // random moments; prints the presses whose navigation or clipboard came out wrong, and how
    // the process's private bytes, GDI and USER objects grew from press 100 to the last.
    int runSoak(int presses);

private:
    enum class Outcome { Done, Unmet, BadLine };
    Outcome execute(const std::vector<std::wstring>& words, const std::wstring& rest);
    Outcome expect(const std::vector<std::wstring>& words, const std::wstring& line);
    Outcome expectBars(const std::vector<std::wstring>& words, const std::wstring& line, std::wstring& actual,
                       std::wstring& wanted);
    Outcome expectClipboard(const std::vector<std::wstring>& words, const std::wstring& line, std::wstring& actual,
                            std::wstring& wanted);
    Outcome clipboardLine(const std::vector<std::wstring>& words, const std::wstring& line);
    // slow-copy NAME MS [without-text-first]: how an item window's editor answers Ctrl+C.
    Outcome slowCopy(const std::vector<std::wstring>& words);
    // wait MS: Outlook runs its messages for a while (an add-in's timers fire meanwhile).
    Outcome wait(const std::wstring& milliseconds);
    Outcome registryLine(const std::vector<std::wstring>& words, const std::wstring& line);
    Outcome click(const std::vector<std::wstring>& words);
    // The lines about Office 2007 and later (ribbon_lines.cpp): the version, windows in compose
    // mode and their editors, the ribbon, context menus, the Explorer's selection and inline
    // replies, and what the user sees of them.
    Outcome ribbonLine(const std::vector<std::wstring>& words, const std::wstring& line);
    Outcome expectRibbon(const std::vector<std::wstring>& words, const std::wstring& line, std::wstring& actual,
                         std::wstring& wanted);
    // How many of the add-ins' buttons a user sees on the window: on its ribbon, and the
    // command-bar buttons on its bars (its Add-ins tab from Office 2007 on).
    int buttonsSeen(Node& window);
    // After a line: the getters the add-in's invalidations made due are called, the strips drawn again.
    void refreshRibbons();
    // The lines about the add-in's own window (add_in_window_lines.cpp).
    Outcome windowLine(const std::vector<std::wstring>& words, const std::wstring& line);
    Outcome expectWindow(const std::vector<std::wstring>& words, const std::wstring& line, std::wstring& actual,
                         std::wstring& wanted);
    Outcome sendInput(const std::wstring& keys);
    // The report of an image saved (what: "the image of X") or not saved, as an unmet line.
    Outcome saved(HRESULT hr, const std::wstring& what, const std::wstring& file);
    // The next address the shell handed to the browser, or "none" once the wait is over.
    std::wstring nextShellOpen(bool expectingNone);
    // Runs scenario line n; counts an unmet expectation, remembers a line not understood.
    void runLine(std::size_t n);
    // The same for a line's text; n is the line it came from.
    void runText(const std::wstring& text, std::size_t n);
    // The add-in shows a window of its own. When the scenario's next line is "with-window", the
    // lines up to "end" run while it is shown, one at a time from a timer, so that the window's
    // own message loop (a modal one, say) handles the input they send; otherwise the user closes
    // the window with its close box.
    void addInWindowShown(HWND window);
    static void CALLBACK nextBlockLine(HWND, UINT, UINT_PTR timer, DWORD) noexcept;
    void armBlockTimer();
    HWND shownAddInWindow() const;
    Outcome customize(const std::vector<std::wstring>& words, const std::wstring& line);
    void start();
    // Outlook shuts down and reports what the add-ins left behind; lastTime: the program ends;
    // fast: as Outlook 2010 and later often exit, releasing the add-ins without OnBeginShutdown
    // and OnDisconnection.
    void quit(bool lastTime = true, bool fast = false);
    // The user unticks the add-ins in the COM Add-ins dialog, and ticks them again.
    void disable();
    void enable();
    // What the add-ins hold after they were released: every reference, sink and over-release is
    // reported, and each library must agree to unload with nothing of its own left. When the
    // add-in's own code is still running further up the stack (a line run inside its message
    // loop), the unload question waits until that code has returned.
    void reportWhatAddInsLeft(bool freeLibraries);
    // Runs a line from a message posted to the thread: inside whatever message loop runs next.
    void postLine(std::wstring line);
    static LRESULT CALLBACK postedLineWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    // Outlook quits, its windows go, and it starts again, with its main window when one is named.
    void restart(const std::wstring& explorerName);
    // The first of the Standard bar's own controls of an item window with that tag, or null.
    Node* taggedControl(Node& inspector, const std::wstring& tag);
    std::wstring describeControl(const Node& control) const;
    Node& openItem(std::int32_t itemClass, std::wstring body);
    void close(Node& window);
    Node* lookup(const std::wstring& name) const;
    std::wstring label(const Node* node) const;
    bool connected(const Node& node, const host::Guid& eventIid) const;
    std::vector<Node*> connectedWindows(Kind kind, const host::Guid& eventIid) const;
    // One message through Outlook's loop, and every message queued.
    void handle(MSG& message);
    int pumpMessages();
    // After a press: Outlook's loop runs until the add-ins wait for none of its messages (the
    // copy of a capture), at most boundMs.
    void runUntilAddInsIdle(DWORD boundMs = 3000);
    // Reads the add-in's browser address after each line and counts its changes.
    void noteBrowserAddress();
    void writeTestInstallation();
    // The time from a press to its launch: the press itself when the add-in launched in it, or up
    // to the end of the capture when the copy had to come through Outlook's loop.
    double pressToLaunchMs(const std::function<void()>& press);
    // The median time the add-in's handling of a Click takes with that text selected.
    double medianClickMs(Node& inspector, int start, int length, int presses);
    // The median time from a ribbon press (or, with menuIdMso, a pick of the add-in's entry on that
    // text menu) to its return, and how many presses changed the clipboard.
    struct RibbonTiming {
        double medianMs = -1;
        int clipboardChanges = 0;
    };
    RibbonTiming medianRibbonMs(Node& window, int start, int length, int presses, const wchar_t* menuIdMso = nullptr);
    void printInstallation(const std::wstring& which);

    Options options_;
    std::unique_ptr<MessageBoxWatcher> messageBoxes_;
    std::size_t messageBoxesCounted_ = 0;  // seen before the last "expect messages"
    std::optional<std::vector<Clipboard::Format>> rememberedClipboard_;
    std::optional<DWORD> rememberedSequence_;
    bool traceShown_ = true;  // the benchmark and the soak print only failures and UI errors
    ClipboardHolder clipboardHolder_;  // another program holding the clipboard open
    ClipboardMonitor clipboardMonitor_;  // another program reading the clipboard after each change
    OtherProgramCopy otherProgramCopy_;  // another program that copied text
    std::unique_ptr<DelayedOwner> delayedOwner_;  // the program that offered content rendered on request
    using ClipboardManagerProgram = OtherProgram<clipboard_manager::Shared>;
    std::unique_ptr<ClipboardManagerProgram> clipboardManager_;  // clipboard_manager.exe, while it runs
    std::optional<std::wstring> lastAddress_;  // the add-in's browser address last seen, when not empty
    int navigations_ = 0;                      // address changes seen since the last "expect navigations"
    Model model_;
    ComHost com_;
    WindowLayer windows_;
    AddInHost addIns_;
    std::map<std::wstring, Node*> aliases_;
    bool started_ = false;
    bool quitted_ = false;
    bool leftNothingBehind_ = true;
    std::size_t overReleasesReported_ = 0;
    std::size_t faultsReported_ = 0;
    std::size_t commandTraceStart_ = 0;
    std::size_t previousCommandStart_ = 0;
    ApplicationClassRegistration applicationClass_{com_};
    std::unique_ptr<AddInWindowWatcher> addInWindows_;
    HWND addInWindow_ = nullptr;  // the window the add-in showed last
    int addInWindowsShown_ = 0;   // since the last "expect add-in-windows"
    std::vector<std::wstring> lines_;
    std::size_t nextLine_ = 0;
    bool blockRunning_ = false;  // a "with-window" block has begun and not reached its "end"
    int lineDepth_ = 0;          // lines running now: more than one when a line runs inside another's loop
    std::optional<bool> leftoversDue_;  // checked once the outermost line returns; whether to free libraries then
    struct OpenMenu {
        Node* window = nullptr;
        std::wstring idMso;
        std::vector<Ribbons::MenuEntry> entries;
    };
    std::optional<OpenMenu> openMenu_;  // the context menu open now
    // Runs from Outlook's loop right after the next press, before the keys a capture sent.
    std::optional<std::wstring> duringClick_;
    std::vector<std::pair<std::wstring, std::size_t>> postedLines_;  // and the scenario line each came from
    HWND postedLineWindow_ = nullptr;
    int unmet_ = 0;
    int callbackErrors_ = 0;  // ribbon callbacks that failed, whatever the scenario expected
    std::optional<std::size_t> badLine_;
    std::size_t shellOpensSeen_ = 0;
    std::optional<shell_opens::RecorderRegistration> shellOpens_;  // for a scenario run
};

}  // namespace sim::win32
