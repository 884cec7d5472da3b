#pragma once
// The HRESULT of the host::Error an action raises; S_OK when it raises none.
#include "host/error.h"

namespace testing_support {

host::HResult errorOf(const auto& action) {
    try {
        action();
    } catch (const host::Error& e) {
        return e.hr();
    }
    return host::hresult::ok;
}

}  // namespace testing_support
