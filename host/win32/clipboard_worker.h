#pragma once
// Saving the clipboard without blocking the host's thread: a format whose owner renders it late
// (a large copy of a spreadsheet, a hung program) is rendered on the owner's thread for as long as
// the owner takes, so the reading is done on a worker thread of its own, within a budget.
#include <memory>

#include "host/win32/clipboard.h"

namespace host::win32 {

// Saves the clipboard on a worker thread, which opens it for a message-only window of its own.
// The calling thread waits at most options.saveBudget from the call, meanwhile handling only the
// messages sent to its windows (the owner of late-rendered formats may be one of them: the host's
// own editor); it dispatches no posted message. Throws what ClipboardContent::save throws, and
// hresult::clipboardNotSaved when the budget is spent: the worker then stops at the next format
// and ends on its own, freeing what it saved. Until it ends it keeps the library loaded, without
// counting as one of its live objects.
[[nodiscard]] std::unique_ptr<ClipboardContent> saveClipboardWithinBudget(const ClipboardOptions& options);

}  // namespace host::win32
