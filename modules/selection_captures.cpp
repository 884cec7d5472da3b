#include "modules/selection_captures.h"

namespace zeltra {

void SelectionCaptures::start(std::function<void(std::wstring)> deliver) {
    if (capture_) return;  // a second press while the first one's copy is awaited
    capture_ = std::make_unique<GetSelectedText>(module_, desktop_);
    if (!capture_->start([this](host::CopyOutcome copy) { copyArrived(copy); })) {
        capture_.reset();
        runWorkHeldBack();
        return;
    }
    deliver_ = std::move(deliver);
}

void SelectionCaptures::copyArrived(host::CopyOutcome copy) noexcept {
    const std::unique_ptr<GetSelectedText> capture = std::move(capture_);
    const std::function<void(std::wstring)> deliver = std::move(deliver_);
    if (!capture) return;
    std::optional<std::wstring> text = capture->finish(copy);
    try {
        if (text && deliver) deliver(std::move(*text));
    } catch (...) {
        // The press has long returned to Outlook: a launch that failed launches nothing.
    }
    runWorkHeldBack();
}

void SelectionCaptures::whenNotCapturing(std::function<void()> work) {
    if (!capture_) {
        work();
        return;
    }
    heldBack_.push_back(std::move(work));
}

void SelectionCaptures::cancel() noexcept {
    capture_.reset();
    deliver_ = nullptr;
    heldBack_.clear();
}

void SelectionCaptures::runWorkHeldBack() noexcept {
    // Each piece of work may start a capture of its own, which holds back what follows it.
    while (!heldBack_.empty() && !capture_) {
        std::function<void()> work = std::move(heldBack_.front());
        heldBack_.erase(heldBack_.begin());
        try {
            work();
        } catch (...) {
            // Held-back work is the host's events' work, which fails quietly.
        }
    }
}

}  // namespace zeltra
