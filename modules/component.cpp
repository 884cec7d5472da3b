#include "modules/component.h"

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
    captures.cancel();
    desktop.cancelPostedTasks();
    desktop.endClipboardGuard();
    ribbons.release();
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

}  // namespace zeltra
