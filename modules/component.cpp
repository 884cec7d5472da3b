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
    ++releases_;
    // Nothing that waits for a connection may run after the last one: a welcome not yet shown,
    // button work held back for a capture.
    desktop.cancelPostedTasks();
    desktop.endClipboardGuard();
    afterCapture_.clear();
    ribbons_.clear();
    releaseFormApplication();
    // A capture or the welcome may still be running further up the stack; the form keeps itself
    // alive for them while its window goes.
    if (frmAddIn_) frmAddIn_->Unload();
}

void Component::invalidateRibbons() noexcept {
    for (const host::Object& ribbon : ribbons_)
        host::resumeNext([&] { ribbon.call(host::DispId{host::dispid::InvalidateControl}, {host::Variant(ribbonButtonId)}); });
}

void Component::whenNotCapturing(std::function<void()> work) {
    if (!capturing_) {
        work();
        return;
    }
    afterCapture_.push_back(std::move(work));
}

void Component::captureEnded() noexcept {
    capturing_ = false;
    // Each piece of work may start a capture of its own, which holds back what follows it.
    while (!afterCapture_.empty() && !capturing_) {
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
