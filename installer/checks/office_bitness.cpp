#include "installer/checks/office_bitness.h"

#include <algorithm>
#include <cwctype>

namespace zeltra::setup {
namespace {

bool equalIgnoringCase(std::wstring_view a, std::wstring_view b) noexcept {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(static_cast<std::wint_t>(x)) == std::towlower(static_cast<std::wint_t>(y));
           });
}

}  // namespace

std::optional<Bitness> bitnessNamed(std::wstring_view text) noexcept {
    if (equalIgnoringCase(text, L"x64")) return Bitness::x64;
    if (equalIgnoringCase(text, L"x86")) return Bitness::x86;
    return std::nullopt;
}

bool otherOfficeFound(Bitness package, const std::vector<std::wstring_view>& found) noexcept {
    return std::any_of(found.begin(), found.end(), [package](std::wstring_view value) {
        const auto named = bitnessNamed(value);
        return named && *named != package;
    });
}

}  // namespace zeltra::setup
