#pragma once
// Waiting on a thread that owns windows. Another thread may be blocked on a message it sent to one
// of them: a clipboard holder reading a format that a window of this thread renders on request
// (every copy made through OleSetClipboard is rendered so), a cross-thread SendMessage. Sleep would
// keep that message from being delivered, so that the holder never lets go; these waits deliver
// sent messages as they come and leave every posted message and all input queued for the thread's
// own message loop.
#include <windows.h>

namespace host::win32 {

// Until the object is signalled (true) or the tick count reaches the deadline (false); a null object
// is never signalled. A message handled meanwhile may take the wait past its deadline.
bool waitHandlingSentMessages(HANDLE object, ULONGLONG deadline) noexcept;

// A pause of that many milliseconds that delivers sent messages meanwhile.
inline void pauseHandlingSentMessages(DWORD milliseconds) noexcept {
    (void)waitHandlingSentMessages(nullptr, GetTickCount64() + milliseconds);
}

}  // namespace host::win32
