#pragma once
// The captures through the clipboard of one component: one at a time, from the press that starts
// it to the copy that finishes it in Outlook's own message loop, and the work that has to wait for
// it meanwhile (a button face pasted through the clipboard, the welcome window, which would take
// the keyboard focus the keys go to).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/desktop.h"
#include "modules/mod_outlook.h"
#include "modules/selection_capture.h"

namespace zeltra {

class SelectionCaptures {
public:
    SelectionCaptures(ModOutlook& module, host::Desktop& desktop) noexcept : module_(module), desktop_(desktop) {}
    SelectionCaptures(const SelectionCaptures&) = delete;
    SelectionCaptures& operator=(const SelectionCaptures&) = delete;

    // Starts a capture whose text goes to `deliver` once the copy has arrived, from the thread's
    // message loop; an error `deliver` throws is swallowed there (there is no caller left to tell).
    // Nothing happens while another capture runs, and `deliver` is never called when the capture
    // ends without a text to launch, or is cancelled first.
    void start(std::function<void(std::wstring)> deliver);
    bool capturing() const noexcept { return capture_ != nullptr; }
    // Runs the work now, or once the capture that is running has ended.
    void whenNotCapturing(std::function<void()> work);
    // Ends a capture still waiting for its copy (the user's clipboard goes back) and drops the
    // work held back for it.
    void cancel() noexcept;

private:
    void copyArrived(host::CopyOutcome copy) noexcept;
    void runWorkHeldBack() noexcept;

    ModOutlook& module_;
    host::Desktop& desktop_;
    std::unique_ptr<GetSelectedText> capture_;
    std::function<void(std::wstring)> deliver_;
    std::vector<std::function<void()>> heldBack_;
};

}  // namespace zeltra
