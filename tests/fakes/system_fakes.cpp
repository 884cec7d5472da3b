#include "tests/fakes/system_fakes.h"

#include <utility>

#include "host/copy_chord.h"
#include "host/iids.h"

namespace fakes {
namespace {

constexpr host::HResult fileNotFound = static_cast<host::HResult>(0x80070002);
constexpr host::HResult classNotRegistered = static_cast<host::HResult>(0x80040154);
constexpr const wchar_t* dibFormat = L"CF_DIB";

struct SavedClipboard final : host::ClipboardContent {
    ClipboardData content;
};

class FakeShell final : public host::Automation {
public:
    FakeShell(FakeRegistry& registry, std::shared_ptr<int> live) : registry_(registry), live_(std::move(live)) {
        ++*live_;
    }
    ~FakeShell() override { --*live_; }

    std::shared_ptr<host::Automation> queryInterface(const host::Guid& iid) override {
        if (iid != host::iid::IWshShell3 && iid != host::iid::IWshShell && iid != host::iid::IDispatch &&
            iid != host::iid::IUnknown)
            throw host::Error(host::hresult::noInterface, "not a shell interface");
        return duplicate();
    }
    std::shared_ptr<host::Automation> duplicate() override { return std::make_shared<FakeShell>(registry_, live_); }

    host::Variant invoke(const host::Member& member, host::InvokeKind kind, std::span<const host::Variant> args) override {
        if (member.name() == L"RegRead" && kind == host::InvokeKind::Value && args.size() == 1) {
            const std::wstring& path = args[0].asString();
            failIfAsked(path);
            const auto it = registry_.values.find(path);
            if (it == registry_.values.end()) throw host::Error(fileNotFound, "no such registry value");
            return it->second;
        }
        if (member.name() == L"RegWrite" && kind == host::InvokeKind::Statement && args.size() == 3) {
            const std::wstring& path = args[0].asString();
            failIfAsked(path);
            if (args[2] != host::Variant::missing()) throw host::Error(host::hresult::invalidArg, "type given");
            registry_.writes.emplace_back(path, args[1]);
            registry_.values[path] = args[1];
            if (path.starts_with(L"HKLM\\Software\\Corvane\\Zeltra\\")) ++registry_.productKeyWritten;
            return {};
        }
        throw host::Error(host::hresult::memberNotFound, "not a member the add-in uses this way");
    }
    std::unique_ptr<host::EventConnection::Impl> advise(const host::Guid&, host::EventHandler,
                                                        host::OnFailedDelivery) override {
        throw host::Error(host::hresult::cannotConnect, "the shell raises no events");
    }
    const void* identity() const override { return &registry_; }

private:
    void failIfAsked(const std::wstring& path) const {
        if (const auto it = registry_.failures.find(path); it != registry_.failures.end())
            throw host::Error(it->second, "registry failure as requested");
    }

    FakeRegistry& registry_;
    std::shared_ptr<int> live_;
};

}  // namespace

class BrowserConnection final : public host::EventConnection::Impl {
public:
    explicit BrowserConnection(std::shared_ptr<FakeFormWindow::State> state) : state_(std::move(state)) {}
    void disconnect() override { state_->browserEvents = nullptr; }

private:
    std::shared_ptr<FakeFormWindow::State> state_;
};

// Records Navigate as the add-in must call it: by DISPID 104, as a statement, the address alone;
// and the put of Silent (DISPID 551).
class FakeBrowser final : public host::Automation {
public:
    explicit FakeBrowser(std::shared_ptr<FakeFormWindow::State> state) : state_(std::move(state)) {}
    std::shared_ptr<host::Automation> queryInterface(const host::Guid&) override { return duplicate(); }
    std::shared_ptr<host::Automation> duplicate() override { return std::make_shared<FakeBrowser>(state_); }
    host::Variant invoke(const host::Member& member, host::InvokeKind kind, std::span<const host::Variant> args) override {
        if (member.byId() && member.id() == 551 && kind == host::InvokeKind::Put && args.size() == 1 &&
            args[0].kind() == host::Variant::Kind::Bool) {
            state_->silent = args[0].asBool();
            return {};
        }
        if (!member.byId() || member.id() != 104 || kind != host::InvokeKind::Statement || args.size() != 1)
            throw host::Error(host::hresult::memberNotFound, "not Navigate as the add-in calls it");
        if (state_->navigateFails) throw host::Error(host::hresult::fail, "navigation refused");
        state_->navigations.push_back(args[0].asString());
        return {};
    }
    // The control's DWebBrowserEvents2, raised by the tests through the form's state.
    std::unique_ptr<host::EventConnection::Impl> advise(const host::Guid& iid, host::EventHandler handler,
                                                        host::OnFailedDelivery onFailure) override {
        if (iid != host::iid::DWebBrowserEvents2) throw host::Error(host::hresult::cannotConnect, "no such events");
        state_->browserEvents = std::move(handler);
        state_->browserEventsOnFailure = onFailure;
        return std::make_unique<BrowserConnection>(state_);
    }
    const void* identity() const override { return state_.get(); }

private:
    std::shared_ptr<FakeFormWindow::State> state_;
};

void FakeDesktop::open() {
    ++opens;
    if (clipboardLocked || (clipboardLockedAfterOpens && opens > *clipboardLockedAfterOpens))
        throw host::Error(host::hresult::clipboardCannotOpen, "clipboard held by another program");
}

std::vector<std::uint8_t> FakeDesktop::textBytes(std::wstring_view text) {
    std::vector<std::uint8_t> bytes;
    for (const wchar_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

std::wstring FakeDesktop::clipboardText() {
    open();
    const auto it = clipboard.find(L"CF_UNICODETEXT");
    std::wstring text;
    if (it == clipboard.end()) return text;
    for (std::size_t i = 0; i + 1 < it->second.size(); i += 2) {
        const wchar_t c = static_cast<wchar_t>(it->second[i] | (it->second[i + 1] << 8));
        if (c == 0) break;
        text += c;
    }
    return text;
}

std::optional<std::wstring> FakeDesktop::clipboardTextUnlessChanged(std::uint32_t sequence) {
    // Another program copies between the copy's arrival and its reading.
    if (copiedAfterTheCopy) setClipboard(*std::exchange(copiedAfterTheCopy, std::nullopt));
    if (sequenceNumber != sequence) {
        open();
        return std::nullopt;
    }
    return clipboardText();
}

std::optional<std::uint32_t> FakeDesktop::clearClipboardUnlessChanged(std::uint32_t sequence) {
    if (sequenceNumber != sequence) {
        open();
        return std::nullopt;
    }
    clearClipboard();
    return sequenceNumber;
}

void FakeDesktop::clearClipboard() {
    open();
    if (clearFails) throw host::Error(host::hresult::fail, "EmptyClipboard failed");
    setClipboard({});
}

bool FakeDesktop::focusIsInTextView() noexcept { return host::copiesSelectedText(focusClass); }

bool FakeDesktop::sendCopyChord(std::uint32_t unchangedSince, std::function<void(host::CopyOutcome)> done) {
    if (copiedBeforeTheChord) setClipboard(*std::exchange(copiedBeforeTheChord, std::nullopt));
    if (sequenceNumber != unchangedSince) return false;
    ++copiesSent;
    awaitedCopy_ = std::move(done);
    return true;
}

void FakeDesktop::cancelCopyChord() noexcept {
    if (std::exchange(awaitedCopy_, nullptr)) ++copiesCancelled;
}

void FakeDesktop::runMessageLoop() {
    runPostedTasks();
    if (!awaitedCopy_) return;
    if (whileCopying) std::exchange(whileCopying, nullptr)();
    if (!awaitedCopy_) return;  // cancelled meanwhile
    host::CopyResult result = host::CopyResult::notCopied;
    if (copiedMeanwhile) {
        setClipboard(*std::exchange(copiedMeanwhile, std::nullopt));
        result = host::CopyResult::overtaken;
    } else if (editorSelection) {
        setClipboard({{L"CF_UNICODETEXT", textBytes(*editorSelection)}});
        result = host::CopyResult::copied;
    }
    std::exchange(awaitedCopy_, nullptr)({result, sequenceNumber});
    runPostedTasks();
}

void FakeDesktop::runPostedTasks() {
    while (!postedTasks.empty()) {
        std::function<void()> task = std::move(postedTasks.front());
        postedTasks.erase(postedTasks.begin());
        task();
    }
}

std::optional<std::vector<std::uint8_t>> FakeDesktop::picture() const {
    const auto it = clipboard.find(dibFormat);
    if (it == clipboard.end()) return std::nullopt;
    return it->second;
}

std::unique_ptr<host::ClipboardContent> FakeDesktop::saveClipboard() {
    open();
    if (saveFails) throw host::Error(*saveFails, "the clipboard cannot all be saved");
    auto saved = std::make_unique<SavedClipboard>();
    saved->content = clipboard;
    if (copiedWhileSaving) setClipboard(*std::exchange(copiedWhileSaving, std::nullopt));
    return saved;
}

bool FakeDesktop::restoreClipboardUnlessChanged(const host::ClipboardContent& saved, std::uint32_t sequence) {
    open();
    if (sequenceNumber != sequence) return false;
    --opens;  // restoreClipboard opens it again
    restoreClipboard(saved);
    return true;
}

void FakeDesktop::restoreClipboard(const host::ClipboardContent& saved) {
    open();
    setClipboard(dynamic_cast<const SavedClipboard&>(saved).content);
}

void FakeDesktop::setClipboardPicture(const host::Bitmap& picture) {
    open();
    setClipboard({{dibFormat, picture.dib}});
}

void FakeDesktop::messageBox(std::wstring_view prompt, std::uint32_t style, std::wstring_view title) {
    if (messageBoxFails) throw host::Error(host::hresult::outOfMemory, "no message box");
    messageBoxes.push_back({std::wstring(prompt), style, std::wstring(title)});
}

host::Object FakeObjectFactory::create(const host::Guid& clsid, const host::Guid& iid) {
    if (clsid == host::iid::OutlookApplicationClass && hostApplication) return hostApplication().queryInterface(iid);
    if (clsid != host::iid::WshShellClass || !shellAvailable) throw host::Error(classNotRegistered, "class not registered");
    ++shellsCreated;
    return host::Object(std::make_shared<FakeShell>(registry_, liveShells)).queryInterface(iid);
}

host::Bitmap FakeFormWindow::faceBitmap() {
    // BITMAPINFOHEADER: size 40, 16 x 16, one plane, 4 bits, BI_RGB; then 16 colours and 128 bytes.
    std::vector<std::uint8_t> dib = {40, 0, 0, 0, 16, 0, 0, 0, 16, 0, 0, 0, 1, 0, 4, 0};
    dib.resize(40, 0);
    dib.resize(40 + 16 * 4 + 16 * 8, 0x22);
    return {dib};
}

host::Object FakeFormWindow::webBrowser1() const { return host::Object(std::make_shared<FakeBrowser>(state_)); }

void FakeFormWindow::unload() noexcept {
    if (unloaded_) return;
    unloaded_ = true;
    ++state_->unloads;
    state_->handlers = nullptr;
}

void FakeFormWindow::showModal(std::uintptr_t ownerWindow) {
    if (state_->showFails) throw host::Error(host::hresult::outOfMemory, "form not shown");
    ++state_->shows;
    state_->owners.push_back(ownerWindow);
    if (state_->whileShown && state_->handlers) state_->whileShown(*state_->handlers);
}

std::optional<std::wstring> FakeProductKeys::userValue(std::wstring_view name) noexcept {
    const auto it = userValues.find(std::wstring(name));
    if (userKeyFails || it == userValues.end()) return std::nullopt;
    return it->second;
}

void FakeProductKeys::setUserValue(std::wstring_view name, std::wstring_view value) {
    if (userKeyFails) throw host::Error(host::hresult::accessDenied, "per-user key refused");
    userValues[std::wstring(name)] = std::wstring(value);
}

zeltra::FormLoader FakeFormWindow::loader(std::shared_ptr<State> state) {
    return [state](zeltra::FormEvents& handlers) -> std::shared_ptr<zeltra::FormWindow> {
        if (state->failToLoad) throw host::Error(host::hresult::fail, "form not loaded");
        ++state->loads;
        state->handlers = &handlers;
        state->closedByUser = false;
        return std::make_shared<FakeFormWindow>(state);
    };
}

}  // namespace fakes
