#pragma once
// In-memory fakes of the system services: a clipboard the model's PasteFace can read, recorded
// message boxes, a registry behind a fake WScript.Shell, and a form window.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "forms/form_window.h"
#include "host/automation.h"
#include "host/desktop.h"
#include "host/product_keys.h"

namespace fakes {

// One clipboard format and its bytes.
using ClipboardData = std::map<std::wstring, std::vector<std::uint8_t>>;

class FakeDesktop final : public host::Desktop {
public:
    struct MessageBox {
        std::wstring prompt;
        std::uint32_t style;
        std::wstring title;
    };

    ClipboardData clipboard;
    std::uint32_t sequenceNumber = 1;
    // When set, every open of the clipboard fails (another program holds it).
    bool clipboardLocked = false;
    std::vector<MessageBox> messageBoxes;
    bool messageBoxFails = false;
    // Another program's copy that lands during the wait, before the editor's own, or after the
    // editor's copy arrived and before the capture reads it.
    std::optional<ClipboardData> copiedMeanwhile;
    std::optional<ClipboardData> copiedAfterTheCopy;
    // The class of the window with the keyboard focus; Ctrl+C is sent only to a text view.
    std::wstring focusClass = L"_WwG";
    // The focused editor's selection, copied on Ctrl+C; nothing: the window copies nothing.
    std::optional<std::wstring> editorSelection;
    bool clearFails = false;
    // Every open fails from this many opens on (a program took the clipboard meanwhile).
    std::optional<int> clipboardLockedAfterOpens;
    int opens = 0;
    int copiesSent = 0;
    int copiesCancelled = 0;
    // Runs once when Outlook's loop next runs while a copy is awaited, before the keys arrive.
    std::function<void()> whileCopying;
    // When set, every save fails with it (hresult::clipboardNotSaved: what cannot all be saved).
    std::optional<host::HResult> saveFails;
    // What the capture handed to the guard, in order, and how often the guard was ended.
    struct GuardCall {
        std::shared_ptr<const host::ClipboardContent> saved;
        bool restored;
        bool copyOutstanding;
    };
    std::vector<GuardCall> guardCalls;
    int guardsEnded = 0;
    std::vector<std::uint32_t> commonControlsRegistered;

    static std::vector<std::uint8_t> textBytes(std::wstring_view text);
    void setClipboard(ClipboardData content) {
        clipboard = std::move(content);
        ++sequenceNumber;
    }
    // The picture on the clipboard as PasteFace reads it, if any.
    std::optional<std::vector<std::uint8_t>> picture() const;

    std::unique_ptr<host::ClipboardContent> saveClipboard() override;
    void restoreClipboard(const host::ClipboardContent& saved) override;
    bool restoreClipboardUnlessChanged(const host::ClipboardContent& saved, std::uint32_t sequence) override;
    void setClipboardPicture(const host::Bitmap& picture) override;
    // No picture objects here: the command-bar face then goes through the clipboard.
    host::Object pictureOf(const host::Bitmap&) override { throw host::Error(host::hresult::notImplemented, "no pictures"); }
    std::wstring clipboardText() override;
    std::optional<std::wstring> clipboardTextUnlessChanged(std::uint32_t sequence) override;
    void clearClipboard() override;
    std::optional<std::uint32_t> clearClipboardUnlessChanged(std::uint32_t sequence) override;
    // Another program's copy that lands while the clipboard is being saved.
    std::optional<ClipboardData> copiedWhileSaving;
    bool focusIsInTextView() noexcept override;
    bool sendCopyChord(std::uint32_t unchangedSince, std::function<void(host::CopyOutcome)> done) override;
    // Another program's copy that lands between the clipboard's emptying and the chord.
    std::optional<ClipboardData> copiedBeforeTheChord;
    void cancelCopyChord() noexcept override;
    // Whether a Ctrl+C was sent whose copy has not been delivered.
    bool copyAwaited() const { return awaitedCopy_ != nullptr; }
    std::uint32_t clipboardSequenceNumber() noexcept override { return sequenceNumber; }
    void guardClipboard(std::shared_ptr<const host::ClipboardContent> saved, bool restored,
                        bool copyOutstanding) noexcept override {
        guardCalls.push_back({std::move(saved), restored, copyOutstanding});
    }
    void endClipboardGuard() noexcept override { ++guardsEnded; }
    void messageBox(std::wstring_view prompt, std::uint32_t style, std::wstring_view title) override;
    void initCommonControls(std::uint32_t classes) noexcept override { commonControlsRegistered.push_back(classes); }
    void openWithShell(std::wstring_view address) noexcept override { shellOpens.emplace_back(address); }
    void postTask(std::function<void()> task) override { postedTasks.push_back(std::move(task)); }
    void cancelPostedTasks() noexcept override { postedTasks.clear(); }
    // Runs the posted tasks, as the thread's message loop would, until none is left.
    void runPostedTasks();
    // Outlook's own message loop runs: the posted tasks, then what runs while a copy is awaited
    // (whileCopying), then the keys of a Ctrl+C sent reach the focused window and the wait ends:
    // another program's copy (copiedMeanwhile) overtakes it, the editor copies its selection, or
    // it copies nothing and the bound passes.
    void runMessageLoop();

    std::vector<std::wstring> shellOpens;
    std::vector<std::function<void()>> postedTasks;

private:
    void open();
    std::function<void(host::CopyOutcome)> awaitedCopy_;
};

// The registry as WScript.Shell shows it: values by their full path in the shell's notation.
struct FakeRegistry {
    std::map<std::wstring, host::Variant> values;
    // Paths whose reads or writes fail with the given HRESULT (access denied, say).
    std::map<std::wstring, host::HResult> failures;
    std::vector<std::pair<std::wstring, host::Variant>> writes;
    // The last-write time of the product's machine-wide key: moves on with every write there.
    std::uint64_t productKeyWritten = 1;
};

// The per-user product key, and the machine-wide key's write time as the registry keeps it.
class FakeProductKeys final : public host::ProductKeys {
public:
    explicit FakeProductKeys(FakeRegistry& registry) : registry_(registry) {}
    std::optional<std::uint64_t> installationWriteTime() noexcept override { return registry_.productKeyWritten; }
    std::optional<std::wstring> userValue(std::wstring_view name) noexcept override;
    void setUserValue(std::wstring_view name, std::wstring_view value) override;

    std::map<std::wstring, std::wstring> userValues;
    bool userKeyFails = false;

private:
    FakeRegistry& registry_;
};

// Creates WScript.Shell objects over a FakeRegistry; every other class is not registered.
class FakeObjectFactory final : public host::ObjectFactory {
public:
    explicit FakeObjectFactory(FakeRegistry& registry) : registry_(registry) {}
    host::Object create(const host::Guid& clsid, const host::Guid& iid) override;

    // Makes the host's application object, as the running host's class object does.
    std::function<host::Object()> hostApplication;
    bool shellAvailable = true;
    int shellsCreated = 0;
    // Shell objects still alive (references not yet released).
    std::shared_ptr<int> liveShells = std::make_shared<int>(0);

private:
    FakeRegistry& registry_;
};

class FakeFormWindow final : public zeltra::FormWindow {
public:
    struct State {
        int loads = 0;
        bool closedByUser = false;
        bool failToLoad = false;
        std::vector<std::wstring> navigations;
        bool navigateFails = false;
        int shows = 0;
        std::vector<std::uintptr_t> owners;  // the window each show was modal to (0: none)
        bool showFails = false;
        int hides = 0;
        int unloads = 0;  // windows destroyed with everything they made
        // What the user does while the form is shown; the handlers of the form last loaded.
        std::function<void(zeltra::FormEvents&)> whileShown;
        zeltra::FormEvents* handlers = nullptr;
        host::EventHandler browserEvents;  // while the form is connected to WebBrowser1
        host::OnFailedDelivery browserEventsOnFailure = host::OnFailedDelivery::Report;
        bool silent = false;  // WebBrowser1's Silent
        bool text1Underlined = false;
        std::uint32_t text1Colour = 0xFFFFFF;
    };
    explicit FakeFormWindow(std::shared_ptr<State> state) : state_(std::move(state)) {}
    void showModal(std::uintptr_t ownerWindow) override;
    void hide() override { ++state_->hides; }
    void setText1FontUnderline(bool underline) override { state_->text1Underlined = underline; }
    void setText1ForeColor(std::uint32_t colour) override { state_->text1Colour = colour; }
    bool exists() const override { return !unloaded_ && !state_->closedByUser; }
    void unload() noexcept override;
    host::Bitmap myIconPicture() const override { return faceBitmap(); }
    host::Bitmap myIconMask() const override { return faceBitmap(); }
    host::Object webBrowser1() const override;

    // A 16 x 16 bitmap with 16 colours, as the form's MyIcon holds.
    static host::Bitmap faceBitmap();
    static zeltra::FormLoader loader(std::shared_ptr<State> state);

private:
    std::shared_ptr<State> state_;
    bool unloaded_ = false;
};

}  // namespace fakes
