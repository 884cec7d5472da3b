#pragma once
// The product's registry keys over the Win32 registry, in the calling process's view (a 32-bit
// add-in sees the 32-bit view, where its installer wrote).
#include "host/product_keys.h"

namespace host::win32 {

class SystemProductKeys final : public host::ProductKeys {
public:
    std::optional<std::uint64_t> installationWriteTime() noexcept override;
    std::optional<std::wstring> userValue(std::wstring_view name) noexcept override;
    void setUserValue(std::wstring_view name, std::wstring_view value) override;
};

}  // namespace host::win32
