#pragma once
// Reference counting shared by the library's COM classes: each instance counts as a live object
// of the library for DllCanUnloadNow.
#include <atomic>

#include "addin/win32/module.h"

namespace zeltra::com {

class RefCount {
public:
    ULONG addRef() noexcept { return ++refs_; }
    // Returns the count left; the caller deletes itself at zero.
    ULONG release() noexcept { return --refs_; }

private:
    std::atomic<ULONG> refs_{1};
    ModuleObject counted_;
};

}  // namespace zeltra::com
