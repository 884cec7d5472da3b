#include "modules/component.h"

#include "host/error_mode.h"
#include "host/iids.h"

namespace zeltra {

void Component::connectionEnded() noexcept {
    if (connections_ > 0) --connections_;
    releaseIfNotConnected();
}

void Component::releaseIfNotConnected() noexcept {
    if (connections_ > 0) return;
    // Nothing that waits for a connection may run after the last one: a capture waiting for its
    // copy (the user's clipboard goes back), a welcome not yet shown, button work held back for a
    // capture.
    capture_.reset();
    deliverCapture_ = nullptr;
    desktop.cancelPostedTasks();
    desktop.endClipboardGuard();
    afterCapture_.clear();
    ribbons_.clear();
    releaseFormApplication();
    // A capture or the welcome may still be running further up the stack; the form keeps itself
    // alive for them while its window goes.
    if (frmAddIn_) frmAddIn_->Unload();
}

std::uintptr_t Component::outlookWindow() noexcept try {
    if (modOutlook.objApp.isNothing()) return 0;
    const host::Object active = modOutlook.objApp.object().get(L"ActiveWindow").toObject();
    return active.isNothing() ? 0 : active.window();
} catch (...) {
    return 0;
}

void Component::invalidateRibbons() noexcept {
    for (const host::Object& ribbon : ribbons_)
        host::resumeNext([&] { ribbon.call(host::DispId{host::dispid::InvalidateControl}, {host::Variant(ribbonButtonId)}); });
}

void Component::captureSelection(std::function<void(std::wstring)> deliver) {
    if (capture_) return;  // a second press while the first one's copy is awaited
    capture_ = std::make_unique<GetSelectedText>(modOutlook, desktop);
    if (!capture_->start([this](host::CopyOutcome copy) { copyArrived(copy); })) {
        capture_.reset();
        runWorkHeldForTheCapture();
        return;
    }
    deliverCapture_ = std::move(deliver);
}

void Component::copyArrived(host::CopyOutcome copy) noexcept {
    const std::unique_ptr<GetSelectedText> capture = std::move(capture_);
    const std::function<void(std::wstring)> deliver = std::move(deliverCapture_);
    if (!capture) return;
    std::optional<std::wstring> text = capture->finish(copy);
    try {
        if (text && deliver) deliver(std::move(*text));
    } catch (...) {
        // The press has long returned to Outlook: a launch that failed launches nothing.
    }
    runWorkHeldForTheCapture();
}

void Component::whenNotCapturing(std::function<void()> work) {
    if (!capture_) {
        work();
        return;
    }
    afterCapture_.push_back(std::move(work));
}

void Component::runWorkHeldForTheCapture() noexcept {
    // Each piece of work may start a capture of its own, which holds back what follows it.
    while (!afterCapture_.empty() && !capture_) {
        std::function<void()> work = std::move(afterCapture_.front());
        afterCapture_.erase(afterCapture_.begin());
        try {
            work();
        } catch (...) {
            // Held-back work is the host's events' work, which fails quietly.
        }
    }
}

}  // namespace zeltra
