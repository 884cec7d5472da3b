#include "host/win32/sent_messages.h"

namespace host::win32 {

bool waitHandlingSentMessages(HANDLE object, ULONGLONG deadline) noexcept {
    const DWORD count = object ? 1 : 0;
    for (;;) {
        MSG message;
        // Sent messages are delivered inside PeekMessage; posted ones stay queued.
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (object && WaitForSingleObject(object, 0) == WAIT_OBJECT_0) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        const DWORD result = MsgWaitForMultipleObjectsEx(count, object ? &object : nullptr,
                                                         static_cast<DWORD>(deadline - now), QS_SENDMESSAGE,
                                                         MWMO_INPUTAVAILABLE);
        if (result == WAIT_OBJECT_0 + count) continue;  // a sent message: delivered above
        if (object && result == WAIT_OBJECT_0) return true;
        if (result == WAIT_FAILED) return false;
    }
}

}  // namespace host::win32
