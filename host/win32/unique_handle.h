#pragma once
// The one owner of a Win32 handle that a single call frees: memory, metafiles, windows, kernel
// objects.
#include <windows.h>

#include <utility>

namespace host::win32 {

template <class Handle, auto destroy>
class Unique {
public:
    explicit Unique(Handle handle = nullptr) noexcept : handle_(handle) {}
    Unique(Unique&& other) noexcept : handle_(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~Unique() { reset(); }
    Handle get() const noexcept { return handle_; }
    [[nodiscard]] Handle release() noexcept { return std::exchange(handle_, nullptr); }
    void reset(Handle handle = nullptr) noexcept {
        if (const Handle old = std::exchange(handle_, handle)) destroy(old);
    }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

private:
    Handle handle_;
};

using UniqueGlobal = Unique<HGLOBAL, GlobalFree>;
using UniqueMetaFile = Unique<HMETAFILE, DeleteMetaFile>;
using UniqueWindow = Unique<HWND, DestroyWindow>;
using UniqueHandle = Unique<HANDLE, CloseHandle>;

}  // namespace host::win32
