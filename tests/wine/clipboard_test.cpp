// The desktop adapter on Wine's real clipboard: content saved and put back byte for byte, the
// picture, the formats that keep our content out of clipboard history, a clipboard held elsewhere.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <future>
#include <optional>
#include <thread>

#include "com/module.h"

#include "host/win32/desktop.h"
#include "tests/support/error_of.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using host::win32::ClipboardContent;

Bytes bytesOf(const void* data, std::size_t size) {
    const auto* begin = static_cast<const std::uint8_t*>(data);
    return Bytes(begin, begin + size);
}

Bytes dib(LONG width, LONG height, WORD bitCount, std::size_t colours) {  // BI_RGB, patterned
    const BITMAPINFOHEADER header{sizeof header, width, height, 1, bitCount, BI_RGB, 0, 0, 0, 0, 0};
    Bytes bytes = bytesOf(&header, sizeof header);
    bytes.resize(sizeof header + colours * 4 + (width * bitCount + 31) / 32 * 4 * height);
    for (std::size_t i = sizeof header; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    return bytes;
}

const UINT html = RegisterClipboardFormatW(L"HTML Format");
const UINT own = RegisterClipboardFormatW(L"Zeltra test private");
const std::vector<UINT> markers{RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing"),
                                RegisterClipboardFormatW(L"CanIncludeInClipboardHistory"),
                                RegisterClipboardFormatW(L"CanUploadToCloudClipboard")};
const Bytes text = bytesOf(L"Gr\u00fc\u00dfe", 12);
const host::Bitmap picture{dib(16, 16, 4, 16)};

Bytes savedBytes(const ClipboardContent& content, UINT format) {
    for (const auto& saved : content.formats())
        if (saved.format == format) return saved.bytes;
    return {};
}

Bytes rendered;  // what the test's window renders when asked for a delayed format
int renders = 0;
std::vector<DWORD> pauses;
void recordPause(DWORD milliseconds) { pauses.push_back(milliseconds); }

void setData(UINT format, const Bytes& bytes) {  // no bytes: rendered on request
    HGLOBAL global = bytes.empty() ? nullptr : GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (global) std::memcpy(GlobalLock(global), bytes.data(), bytes.size());
    if (global) GlobalUnlock(global);
    EXPECT_EQ(SetClipboardData(format, global), global);
}

LRESULT CALLBACK renderingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_RENDERFORMAT) {
        ++renders;
        setData(static_cast<UINT>(wParam), rendered);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

struct Clipboard : testing::Test {
    const WNDCLASSW windowClass{0, renderingProc, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"ZeltraClipTest"};
    const ATOM classRegistered = RegisterClassW(&windowClass);  // once; later tries fail harmlessly
    const HWND window = CreateWindowExW(0, L"ZeltraClipTest", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);

    Clipboard() { pauses.clear(); }
    ~Clipboard() override { DestroyWindow(window); }

    void fill(const std::vector<std::pair<UINT, Bytes>>& formats) {
        ASSERT_NE(OpenClipboard(window), 0);
        EmptyClipboard();
        for (const auto& [format, bytes] : formats) setData(format, bytes);
        CloseClipboard();
    }
    Bytes read(UINT format) {
        EXPECT_NE(OpenClipboard(window), 0);
        const HANDLE data = GetClipboardData(format);
        Bytes bytes = data ? bytesOf(GlobalLock(data), GlobalSize(data)) : Bytes{};
        if (data) GlobalUnlock(data);
        CloseClipboard();
        return bytes;
    }
    void expectMarkers() {
        for (const UINT marker : markers) EXPECT_EQ(read(marker), Bytes(4, 0));
    }
};

TEST_F(Clipboard, ContentSurvivesThePictureByteForByteAndThePictureIsTheExactDib) {
    const Bytes bitmap = dib(2, 2, 24, 0), page = bytesOf("<b>Zeltra</b>", 13), ours{0, 1, 2, 255};
    fill({{CF_UNICODETEXT, text}, {CF_DIB, bitmap}, {own, ours}, {html, page}});
    const auto saved = ClipboardContent::save();
    host::win32::setClipboardPicture(picture);
    EXPECT_EQ(read(CF_DIB), picture.dib);
    EXPECT_EQ(read(own), Bytes{});
    expectMarkers();
    saved->restore();
    EXPECT_EQ(read(CF_UNICODETEXT), text);
    EXPECT_EQ(read(CF_DIB), bitmap);
    EXPECT_EQ(read(own), ours);
    EXPECT_EQ(read(html), page);
    expectMarkers();
}

TEST_F(Clipboard, EmptySavesAsEmptyAndRestoresAsOnlyTheMarkersWhichAreNotSavedThemselves) {
    fill({});
    ClipboardContent::save()->restore();
    EXPECT_EQ(CountClipboardFormats(), 3);
    expectMarkers();
    EXPECT_EQ(ClipboardContent::save()->formats().size(), 0u);
}

TEST_F(Clipboard, DelayedRenderedFormatIsSavedWithWhatItsOwnerRenders) {
    rendered = bytesOf("rendered on request", 19);
    fill({{own, {}}});
    EXPECT_EQ(savedBytes(*ClipboardContent::save(), own), rendered);
}

// A content that comes back without one of its formats is not the user's content.
TEST_F(Clipboard, AFormatThatWouldPassTheSizeCapFailsTheSaveAndUpToTheCapItSaves) {
    fill({{html, Bytes(120, 1)}, {own, Bytes(100, 2)}, {CF_UNICODETEXT, text}});
    const auto saveWithin = [](std::size_t cap) { return [cap] { (void)ClipboardContent::save({cap, nullptr}); }; };
    EXPECT_EQ(testing_support::errorOf(saveWithin(200)), host::hresult::clipboardNotSaved);
    EXPECT_EQ(testing_support::errorOf(saveWithin(1000)), S_OK);
}

// Two different pictures: either would otherwise be rendered back from the other as it was.
TEST_F(Clipboard, EnhancedMetafileMetafilePictureAndPaletteSurvive) {
    const HDC enhanced = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr), old = CreateMetaFileW(nullptr);
    Rectangle(enhanced, 1, 2, 30, 40);
    Ellipse(old, 5, 6, 70, 80);
    const HGLOBAL oldPicture = GlobalAlloc(GMEM_FIXED, sizeof(METAFILEPICT));
    *static_cast<METAFILEPICT*>(oldPicture) = {MM_ANISOTROPIC, 100, 200, CloseMetaFile(old)};
    const struct { WORD version, count; PALETTEENTRY entries[2]; } palette{0x300, 2, {{1, 2, 3, 0}, {4, 5, 6, 0}}};
    ASSERT_NE(OpenClipboard(window), 0);
    EmptyClipboard();
    SetClipboardData(CF_ENHMETAFILE, CloseEnhMetaFile(enhanced));
    SetClipboardData(CF_METAFILEPICT, oldPicture);
    SetClipboardData(CF_PALETTE, CreatePalette(reinterpret_cast<const LOGPALETTE*>(&palette)));
    CloseClipboard();
    const auto before = ClipboardContent::save();
    host::win32::setClipboardPicture(picture);
    before->restore();
    const auto after = ClipboardContent::save();
    EXPECT_EQ(savedBytes(*before, CF_PALETTE), bytesOf(palette.entries, 8));
    for (const UINT format : {CF_ENHMETAFILE, CF_METAFILEPICT, CF_PALETTE}) {
        EXPECT_NE(savedBytes(*before, format).size(), 0u);
        EXPECT_EQ(savedBytes(*after, format), savedBytes(*before, format));
    }
}

std::promise<void> paused, released;

// Held by this thread for no window, the clipboard is saved on another.
TEST_F(Clipboard, HeldElsewhereTheSaveFailsAfterFourPauses) {
    ASSERT_NE(OpenClipboard(nullptr), 0);
    const auto save = [] { (void)ClipboardContent::save({1 << 20, recordPause}); };
    const auto error = std::async(std::launch::async, [&] { return testing_support::errorOf(save); }).get();
    CloseClipboard();
    EXPECT_EQ(error, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(pauses, (std::vector<DWORD>{10, 20, 40, 60}));
}

TEST_F(Clipboard, HeldElsewhereTheSaveSucceedsWhenTheHolderLetsGoWhileItWaits) {
    fill({{CF_UNICODETEXT, text}});
    ASSERT_NE(OpenClipboard(nullptr), 0);
    auto saving = std::async(std::launch::async, [] {
        return ClipboardContent::save({1 << 20, [](DWORD milliseconds) {
                                           recordPause(milliseconds);
                                           paused.set_value();
                                           released.get_future().wait();
                                       }});
    });
    paused.get_future().wait_for(std::chrono::seconds(10));
    CloseClipboard();
    released.set_value();
    EXPECT_EQ(savedBytes(*saving.get(), CF_UNICODETEXT), text);
    EXPECT_EQ(pauses, (std::vector<DWORD>{10}));
}

// A clipboard manager reads every format right after a change; a format this thread's window
// renders on request keeps the manager waiting, the clipboard open, until this thread handles the
// WM_RENDERFORMAT it sent. The waits between tries to open it deliver that message (a Sleep would
// keep it from this thread, and every try would fail), and leave posted messages queued.
TEST_F(Clipboard, HeldByAReaderWaitingForThisThreadToRenderTheOpenSucceedsOnceItIsRendered) {
    rendered = bytesOf("rendered here", 13);
    renders = 0;
    fill({{own, {}}});
    ASSERT_NE(PostMessageW(window, WM_APP, 0, 0), 0);
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Bytes readThere;
    std::atomic<bool> managerDone{false};
    std::thread manager([&] {
        const HWND reader = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
        if (!OpenClipboard(reader)) return;
        SetEvent(opened);
        const HANDLE data = GetClipboardData(own);  // sent to this test's thread, which renders it
        if (data) readThere = bytesOf(GlobalLock(data), GlobalSize(data));
        if (data) GlobalUnlock(data);
        CloseClipboard();
        DestroyWindow(reader);
        managerDone = true;
    });
    ASSERT_EQ(WaitForSingleObject(opened, 10000), WAIT_OBJECT_0);
    host::win32::SystemDesktop desktop;
    EXPECT_EQ(testing_support::errorOf([&] { desktop.clearClipboard(); }), S_OK);
    // Whatever happened, the manager gets its rendering before it is waited for.
    for (const ULONGLONG until = GetTickCount64() + 10000; !managerDone && GetTickCount64() < until; Sleep(1)) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    manager.join();
    CloseHandle(opened);
    EXPECT_EQ(renders, 1);
    EXPECT_EQ(readThere, rendered);
    EXPECT_EQ(CountClipboardFormats(), 0) << "emptied once the reader let go";
    MSG message;
    EXPECT_NE(PeekMessageW(&message, window, WM_APP, WM_APP, PM_REMOVE), 0) << "the posted message is still queued";
}

// What the message box showed as it opened; it is answered there and then.
std::wstring boxTitle, boxPrompt;
HWND boxOwner;
bool boxHasCancel;
LRESULT CALLBACK answerBox(int code, WPARAM wParam, LPARAM lParam) {
    const auto box = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && GetDlgItem(box, 0xFFFF)) {
        wchar_t buffer[64] = {};
        boxTitle.assign(buffer, GetWindowTextW(box, buffer, 64));
        boxPrompt.assign(buffer, GetDlgItemTextW(box, 0xFFFF, buffer, 64));
        boxOwner = GetWindow(box, GW_OWNER);
        boxHasCancel = GetWindowLongW(GetDlgItem(box, IDCANCEL), GWL_STYLE) & WS_VISIBLE;
        PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(Desktop, MessageBoxShowsPromptTitleAndStyleOwnedByTheActiveWindow) {
    const HWND active = CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    SetActiveWindow(active);
    const HHOOK hook = SetWindowsHookExW(WH_CBT, answerBox, nullptr, GetCurrentThreadId());
    host::win32::SystemDesktop().messageBox(L"Zeltra prompt", MB_OKCANCEL, L"Zeltra title");
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(boxTitle, L"Zeltra title");
    EXPECT_EQ(boxPrompt, L"Zeltra prompt");
    EXPECT_EQ(boxOwner, active);
    EXPECT_EQ(boxHasCancel, true);
    DestroyWindow(active);
}

// Wine registers the controls' classes whether asked or not; what shows is that the library stays.
TEST(Desktop, CommonControlsLibraryStaysLoaded) {
    host::win32::SystemDesktop().initCommonControls(ICC_PROGRESS_CLASS);
    EXPECT_NE(GetModuleHandleW(L"comctl32.dll"), nullptr);
}

}  // namespace

namespace {

// An edit control in a window of its own, in front with the keyboard focus, as an item window's
// editor is when its button is pressed.
class FocusedEditor {
public:
    explicit FocusedEditor(const wchar_t* content)
        : frame_(CreateWindowExW(0, L"STATIC", L"editor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                                 nullptr, nullptr, nullptr)),
          edit_(CreateWindowExW(0, L"EDIT", content, WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 280, 150, frame_, nullptr,
                                nullptr, nullptr)) {
        SetForegroundWindow(frame_);
        SetFocus(edit_);
    }
    ~FocusedEditor() { DestroyWindow(frame_); }
    void select(int start, int end) const { SendMessageW(edit_, EM_SETSEL, start, end); }
    void copy() const { SendMessageW(edit_, WM_COPY, 0, 0); }
    HWND edit() const { return edit_; }

private:
    HWND frame_;
    HWND edit_;
};

// This thread's own loop stands for Outlook's: it translates and dispatches (the edit control
// copies on the character Ctrl+C translates to) until done() holds; false when ten seconds pass.
bool runOutlooksLoopUntil(auto done) {
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (!done()) {
        if (GetTickCount64() > deadline) return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

// Sends the chord and runs the loop until the wait has ended; nothing when it never does.
std::optional<host::CopyResult> copyThroughTheLoop(host::win32::SystemDesktop& desktop) {
    std::optional<host::CopyResult> result;
    if (!desktop.sendCopyChord(desktop.clipboardSequenceNumber(), [&](host::CopyOutcome copy) { result = copy.result; }))
        return std::nullopt;
    runOutlooksLoopUntil([&] { return result.has_value(); });
    return result;
}

TEST(Desktop, TheChordReturnsAtOnceAndTheCopyArrivesThroughThisThreadsOwnLoop) {
    const FocusedEditor editor(L"alpha Beta Gamma");
    editor.select(6, 16);
    host::win32::SystemDesktop desktop;
    desktop.clearClipboard();
    std::optional<host::CopyResult> result;
    ASSERT_TRUE(com::canUnload());
    ASSERT_TRUE(desktop.sendCopyChord(desktop.clipboardSequenceNumber(), [&](host::CopyOutcome copy) { result = copy.result; }));
    EXPECT_FALSE(result.has_value()) << "no message ran: nothing was copied yet";
    EXPECT_FALSE(com::canUnload()) << "its window runs the library's code";
    EXPECT_TRUE(runOutlooksLoopUntil([&] { return result.has_value(); }));
    EXPECT_EQ(result, host::CopyResult::copied);
    EXPECT_EQ(desktop.clipboardText(), L"Beta Gamma");
    EXPECT_TRUE(com::canUnload()) << "the wait's window and class are gone";
}

TEST(Desktop, TheFocusIsInATextViewInAnEditControlButNotInAButton) {
    const FocusedEditor editor(L"alpha");
    host::win32::SystemDesktop desktop;
    EXPECT_TRUE(desktop.focusIsInTextView());
    const HWND button = CreateWindowExW(0, L"BUTTON", L"list", WS_CHILD | WS_VISIBLE, 0, 160, 80, 20,
                                        GetParent(editor.edit()), nullptr, nullptr, nullptr);
    SetFocus(button);
    EXPECT_FALSE(desktop.focusIsInTextView());
    SetFocus(editor.edit());
    EXPECT_TRUE(desktop.focusIsInTextView());
}

TEST(Desktop, ACancelledWaitReportsNothingAndItsKeysAreTakenBack) {
    const FocusedEditor editor(L"alpha Beta");
    editor.select(0, 5);
    host::win32::SystemDesktop desktop;
    desktop.clearClipboard();
    bool reported = false;
    ASSERT_TRUE(desktop.sendCopyChord(desktop.clipboardSequenceNumber(), [&](host::CopyOutcome) { reported = true; }));
    desktop.cancelCopyChord();
    EXPECT_TRUE(com::canUnload());
    runOutlooksLoopUntil([until = GetTickCount64() + 300] { return GetTickCount64() > until; });
    EXPECT_FALSE(reported);
    EXPECT_EQ(desktop.clipboardText(), L"") << "the editor never saw the keys";
}

// Wine makes the modifier keys follow the X server's, so a key held can only be checked in the
// keystrokes sent.
TEST(Desktop, TheChordLeavesTheModifiersTheUserHoldsAsTheyWere) {
    const auto keys = [](const std::vector<INPUT>& inputs) {
        std::vector<std::pair<WORD, bool>> result;
        for (const INPUT& input : inputs) {
            EXPECT_EQ(input.type, static_cast<DWORD>(INPUT_KEYBOARD));
            result.emplace_back(input.ki.wVk, (input.ki.dwFlags & KEYEVENTF_KEYUP) != 0);
        }
        return result;
    };
    const std::vector<std::pair<WORD, bool>> withAlt = {{VK_CONTROL, false}, {VK_LMENU, true}, {'C', false},
                                                         {'C', true},        {VK_LMENU, false}, {VK_CONTROL, true}};
    EXPECT_EQ(keys(host::win32::keyboardInputs(host::copyChord({host::ChordKey::leftAlt}))), withAlt);
    const std::vector<std::pair<WORD, bool>> controlHeld = {{'C', false}, {'C', true}};
    EXPECT_EQ(keys(host::win32::keyboardInputs(host::copyChord({host::ChordKey::control}))), controlHeld)
        << "the user's Ctrl stays down";
    const std::vector<std::pair<WORD, bool>> others = {{VK_RSHIFT, true}, {VK_RMENU, true}, {VK_LWIN, true},
                                                        {VK_RWIN, true},  {'C', false},     {'C', true}};
    const auto strokes = host::copyChord({host::ChordKey::control, host::ChordKey::rightShift, host::ChordKey::rightAlt,
                                          host::ChordKey::leftWin, host::ChordKey::rightWin});
    EXPECT_EQ(keys(host::win32::keyboardInputs(std::span(strokes).first(6))), others) << "each key its own code";
}

// An editor that, asked to copy, first puts a private format alone on the clipboard, and copies
// its selection a moment later.
WNDPROC editProcedure = nullptr;
LRESULT CALLBACK copiesInTwoSteps(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPY) {
        OpenClipboard(edit);
        EmptyClipboard();
        setData(own, Bytes{1});
        CloseClipboard();
        SetTimer(edit, 1, 50, nullptr);
        return 0;
    }
    if (message == WM_TIMER && wParam == 1) {
        KillTimer(edit, 1);
        return CallWindowProcW(editProcedure, edit, WM_COPY, 0, 0);
    }
    return CallWindowProcW(editProcedure, edit, message, wParam, lParam);
}

TEST(Desktop, AChangeWithoutTextDoesNotEndTheWaitForTheCopy) {
    const FocusedEditor editor(L"alpha Beta Gamma");
    editor.select(6, 10);
    editProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(editor.edit(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&copiesInTwoSteps)));
    host::win32::SystemDesktop desktop;
    desktop.clearClipboard();
    EXPECT_EQ(copyThroughTheLoop(desktop), host::CopyResult::copied);
    EXPECT_EQ(desktop.clipboardText(), L"Beta");
}

TEST(Desktop, NothingToCopyEndsTheWaitWithinItsBound) {
    const FocusedEditor editor(L"");
    host::win32::SystemDesktop desktop;
    desktop.clearClipboard();
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(copyThroughTheLoop(desktop), host::CopyResult::notCopied);
    EXPECT_LT(GetTickCount64() - start, 5000u) << "the bound's timer ends it";
    EXPECT_EQ(desktop.clipboardText(), L"");
}

}  // namespace

// The save on a worker thread within its budget, the guard after a capture, and a copy that
// makes a change without text first: SystemDesktop over Wine's clipboard.
namespace {

using host::win32::SystemDesktop;

// Runs this thread's messages until done() holds; false when ten seconds pass first.
bool pumpUntil(auto done) {
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (!done()) {
        if (GetTickCount64() > deadline) return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    return true;
}

class Event {
public:
    Event() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() { CloseHandle(handle_); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    void set() const { SetEvent(handle_); }
    HANDLE handle() const { return handle_; }
    bool waitBounded() const { return WaitForSingleObject(handle_, 10000) == WAIT_OBJECT_0; }

private:
    HANDLE handle_;
};

// Another program: a thread with a window of its own that opens the clipboard and holds it
// until let go, putting text there when told to.
class OtherProgram {
public:
    OtherProgram() : thread_([this] { run(); }) { holding_.waitBounded(); }
    ~OtherProgram() { letGo(); }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;
    bool opened() const { return opened_; }
    void put(std::wstring newText) {
        text_ = std::move(newText);
        put_.set();
        putDone_.waitBounded();
    }
    // Closes the clipboard (its listeners hear of the change) and keeps its window.
    void close() {
        close_.set();
        closeDone_.waitBounded();
    }
    void letGo() {
        released_.set();
        if (thread_.joinable()) thread_.join();
    }

private:
    void run() {
        const HWND window = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
        opened_ = OpenClipboard(window) != FALSE;
        holding_.set();
        const HANDLE events[] = {put_.handle(), released_.handle()};
        if (WaitForMultipleObjects(2, events, FALSE, 10000) == WAIT_OBJECT_0) {
            EmptyClipboard();
            setData(CF_UNICODETEXT, bytesOf(text_.c_str(), (text_.size() + 1) * sizeof(wchar_t)));
            putDone_.set();
            const HANDLE afterPut[] = {close_.handle(), released_.handle()};
            if (WaitForMultipleObjects(2, afterPut, FALSE, 10000) == WAIT_OBJECT_0) {
                CloseClipboard();
                opened_ = false;
                closeDone_.set();
                released_.waitBounded();
            }
        }
        if (opened_) CloseClipboard();
        DestroyWindow(window);
    }
    Event holding_, put_, putDone_, close_, closeDone_, released_;
    bool opened_ = false;
    std::wstring text_;
    std::thread thread_;
};

// An owner on a thread of its own that renders text late, once told to.
class LateOwner {
public:
    LateOwner() : thread_([this] { run(); }) { ready_.waitBounded(); }
    ~LateOwner() {
        renderNow();
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    LateOwner(const LateOwner&) = delete;
    LateOwner& operator=(const LateOwner&) = delete;
    void renderNow() const { render_.set(); }
    bool rendered() const { return rendered_.waitBounded(); }

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<LateOwner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_RENDERFORMAT && self) {
            self->render_.waitBounded();
            setData(static_cast<UINT>(wParam), bytesOf(L"late", 10));
            self->rendered_.set();
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    void run() {
        const WNDCLASSW windowClass{0, proc, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"ZeltraLateOwner"};
        RegisterClassW(&windowClass);
        const HWND window = CreateWindowExW(0, L"ZeltraLateOwner", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        threadId_ = GetCurrentThreadId();
        OpenClipboard(window);
        EmptyClipboard();
        SetClipboardData(CF_UNICODETEXT, nullptr);
        CloseClipboard();
        ready_.set();
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
        DestroyWindow(window);
    }
    Event ready_, render_, rendered_;
    DWORD threadId_ = 0;
    std::thread thread_;
};

struct BudgetedSave : Clipboard {
    SystemDesktop desktop;
    host::HResult saveError() {
        return testing_support::errorOf([&] { (void)desktop.saveClipboard(); });
    }
};

TEST_F(BudgetedSave, WhatCannotBeSavedFailsTheSaveAndLeavesTheClipboardAsItWas) {
    const UINT fileContents = RegisterClipboardFormatW(L"FileContents");
    const struct {
        const char* what;
        UINT format;
        Bytes bytes;  // none: delay-rendered by the fixture's window, which renders nothing
    } cases[] = {{"file contents", fileContents, Bytes(16, 1)},      {"owner display", CF_OWNERDISPLAY, {}},
                 {"display text", CF_DSPTEXT, Bytes(8, 2)},          {"private handle", CF_PRIVATEFIRST, Bytes(8, 3)},
                 {"GDI object handle", CF_GDIOBJFIRST + 1, Bytes(8, 4)}, {"unreadable", own, {}}};
    for (const auto& unsaved : cases) {
        SCOPED_TRACE(unsaved.what);
        rendered.clear();
        fill({{CF_UNICODETEXT, text}, {unsaved.format, unsaved.bytes}});
        const DWORD sequence = GetClipboardSequenceNumber();
        EXPECT_EQ(saveError(), host::hresult::clipboardNotSaved);
        EXPECT_EQ(GetClipboardSequenceNumber(), sequence);
        EXPECT_EQ(read(CF_UNICODETEXT), text);
    }
}

TEST_F(BudgetedSave, NothingIsRenderedWhenAFormatListedLaterCannotBeSaved) {
    rendered = bytesOf("rendered here", 13);
    renders = 0;
    fill({{own, {}}, {RegisterClipboardFormatW(L"FileContents"), Bytes(16, 1)}});
    EXPECT_EQ(saveError(), host::hresult::clipboardNotSaved);
    EXPECT_EQ(renders, 0);
}

TEST_F(BudgetedSave, AnOwnerOnThisThreadRendersWhileTheSaveWaitsAndNoPostedMessageRuns) {
    rendered = bytesOf("rendered here", 13);
    fill({{own, {}}, {CF_UNICODETEXT, text}});
    ASSERT_NE(PostMessageW(window, WM_APP, 0, 0), 0);
    const auto saved = desktop.saveClipboard();
    EXPECT_EQ(savedBytes(dynamic_cast<const ClipboardContent&>(*saved), own), rendered);
    MSG message;
    EXPECT_NE(PeekMessageW(&message, window, WM_APP, WM_APP, PM_REMOVE), 0) << "the posted message is still queued";
}

TEST_F(BudgetedSave, AnOwnerThatTakesLongerThanTheBudgetFailsTheSaveWhileTheLibraryMayUnload) {
    ASSERT_TRUE(com::canUnload());
    std::optional<LateOwner> owner(std::in_place);
    const DWORD sequence = GetClipboardSequenceNumber();
    EXPECT_EQ(saveError(), host::hresult::clipboardNotSaved) << "given up while the owner still renders";
    EXPECT_TRUE(com::canUnload()) << "the worker is no object of the library";
    owner->renderNow();
    ASSERT_TRUE(owner->rendered());
    EXPECT_EQ(GetClipboardSequenceNumber(), sequence);
    ASSERT_TRUE(pumpUntil([] { return GetOpenClipboardWindow() == nullptr; })) << "the worker lets go of it";
    EXPECT_EQ(read(CF_UNICODETEXT), bytesOf(L"late", 10));
    owner.reset();
}

// A capture on this thread: the user's content saved, the clipboard emptied, Ctrl+C sent to an
// editor in front with nothing selected (so that its copy is outstanding), and the content put
// back, unless the restore is to have failed.
struct Guard : Clipboard {
    SystemDesktop desktop{{}, {20, 1500}};
    FocusedEditor editor{L"alpha Beta Gamma"};
    std::shared_ptr<const host::ClipboardContent> saved;

    void captureWithTheCopyOutstanding(bool restore = true) {
        fill({{CF_UNICODETEXT, text}, {own, Bytes{9, 8, 7}}});
        saved = desktop.saveClipboard();
        desktop.clearClipboard();
        editor.select(0, 0);
        ASSERT_EQ(copyThroughTheLoop(desktop), host::CopyResult::notCopied);
        if (restore) desktop.restoreClipboard(*saved);
    }
    void expectTheUsersContent() {
        EXPECT_EQ(read(CF_UNICODETEXT), text);
        EXPECT_EQ(read(own), (Bytes{9, 8, 7}));
    }
    bool guardEnds() {
        return pumpUntil([&] { return !desktop.guarding(); });
    }
};

// What another program copies while the capture waits is the user's newer content, not the copy;
// the chord's keys not yet read are taken back, so that the window copies nothing over it later.
OtherProgram* copyingProgram = nullptr;
LRESULT CALLBACK copiesElsewhere(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        copyingProgram->put(L"theirs");
        copyingProgram->close();  // its listeners hear of the change
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(Desktop, AnotherProgramsCopyDuringTheWaitOvertakesTheCaptureAndItsKeysAreTakenBack) {
    const FocusedEditor editor(L"alpha Beta");
    editor.select(0, 5);
    SystemDesktop desktop;
    desktop.clearClipboard();
    OtherProgram program;
    ASSERT_TRUE(program.opened());
    copyingProgram = &program;
    const HWND trigger = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(trigger, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&copiesElsewhere));
    // Posted before the keys are sent: the loop reads it first, as a message Outlook had queued.
    PostMessageW(trigger, WM_APP, 0, 0);
    EXPECT_EQ(copyThroughTheLoop(desktop), host::CopyResult::overtaken);
    program.letGo();
    // Outlook's own loop goes on running its messages after the press.
    runOutlooksLoopUntil([until = GetTickCount64() + 300] { return GetTickCount64() > until; });
    EXPECT_EQ(desktop.clipboardText(), L"theirs") << "the editor copied late";
    DestroyWindow(trigger);
}

// Another program's copy after the capture emptied the clipboard and before the chord: the keys are
// not sent, so that the window's copy cannot overwrite that newer content.
TEST(Desktop, AChangeSinceTheCaptureEmptiedTheClipboardSendsNoChord) {
    const FocusedEditor editor(L"alpha Beta");
    editor.select(0, 5);
    host::win32::SystemDesktop desktop;
    desktop.clearClipboard();
    const std::uint32_t emptied = desktop.clipboardSequenceNumber();
    {
        OtherProgram program;
        program.put(L"theirs");
    }
    bool reported = false;
    EXPECT_FALSE(desktop.sendCopyChord(emptied, [&](host::CopyOutcome) { reported = true; }));
    EXPECT_TRUE(com::canUnload()) << "no wait is left";
    runOutlooksLoopUntil([until = GetTickCount64() + 300] { return GetTickCount64() > until; });
    EXPECT_FALSE(reported);
    EXPECT_EQ(desktop.clipboardText(), L"theirs") << "no keys went to the editor";
}

TEST_F(Guard, ALateCopyByTheWindowTheChordWentToIsUndone) {
    captureWithTheCopyOutstanding();
    desktop.guardClipboard(saved, true, true);
    EXPECT_FALSE(com::canUnload()) << "its timer runs the library's code";
    editor.select(6, 10);
    editor.copy();
    EXPECT_TRUE(guardEnds());
    expectTheUsersContent();
    EXPECT_TRUE(com::canUnload());
}

TEST_F(Guard, NewerContentFromAnotherProgramEndsTheWatchAndStays) {
    captureWithTheCopyOutstanding();
    desktop.guardClipboard(saved, true, true);
    OtherProgram other;
    other.put(L"newer");
    other.letGo();
    EXPECT_TRUE(guardEnds());
    EXPECT_EQ(read(CF_UNICODETEXT), bytesOf(L"newer", 12));
    editor.select(6, 10);
    editor.copy();
    pumpUntil([n = 0]() mutable { return ++n > 5; });
    EXPECT_EQ(read(CF_UNICODETEXT), bytesOf(L"Beta", 10)) << "a copy after the watch is left alone";
}

TEST_F(Guard, ARestoreThatCouldNotOpenTheClipboardIsRetriedUntilItIsFree) {
    captureWithTheCopyOutstanding(false);
    std::optional<OtherProgram> holder(std::in_place);
    ASSERT_TRUE(holder->opened());
    desktop.guardClipboard(saved, false, false);
    pumpUntil([n = 0]() mutable { return ++n > 5; });  // some looks while it is held
    EXPECT_TRUE(desktop.guarding());
    holder.reset();
    EXPECT_TRUE(guardEnds());
    expectTheUsersContent();
}

TEST_F(Guard, NewerContentEndsARestoreStillOwed) {
    captureWithTheCopyOutstanding(false);
    OtherProgram holder;
    desktop.guardClipboard(saved, false, false);
    holder.put(L"newer");
    holder.letGo();
    EXPECT_TRUE(guardEnds());
    EXPECT_EQ(read(CF_UNICODETEXT), bytesOf(L"newer", 12));
}

TEST_F(Guard, EndTriesARestoreStillOwedOnceMoreThenTheLibraryMayUnload) {
    captureWithTheCopyOutstanding(false);
    std::optional<OtherProgram> holder(std::in_place);
    desktop.guardClipboard(saved, false, false);
    EXPECT_FALSE(com::canUnload());
    holder.reset();
    desktop.endClipboardGuard();
    EXPECT_FALSE(desktop.guarding());
    EXPECT_TRUE(com::canUnload());
    expectTheUsersContent();
}

TEST_F(Guard, EndsByItselfWhenTheCopyNeverComes) {
    captureWithTheCopyOutstanding();
    desktop.guardClipboard(saved, true, true);
    EXPECT_TRUE(guardEnds());
    EXPECT_TRUE(com::canUnload());
    expectTheUsersContent();
}

TEST_F(Guard, ANewSaveEndsTheGuardPuttingBackWhatItStillOwedFirst) {
    captureWithTheCopyOutstanding(false);
    std::optional<OtherProgram> holder(std::in_place);
    desktop.guardClipboard(saved, false, false);
    holder.reset();
    const auto next = desktop.saveClipboard();
    EXPECT_FALSE(desktop.guarding());
    EXPECT_EQ(savedBytes(dynamic_cast<const ClipboardContent&>(*next), own), (Bytes{9, 8, 7}));
}

}  // namespace
