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

constexpr std::uint16_t machineI386 = 0x014C;   // IMAGE_FILE_MACHINE_I386
constexpr std::uint16_t machineAmd64 = 0x8664;  // IMAGE_FILE_MACHINE_AMD64
constexpr std::uint16_t machineArm64 = 0xAA64;  // IMAGE_FILE_MACHINE_ARM64

std::uint32_t littleEndian(std::span<const unsigned char> bytes, std::size_t at, std::size_t size) noexcept {
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;) value = (value << 8) | bytes[at + i];
    return value;
}

}  // namespace

std::optional<Bitness> bitnessNamed(std::wstring_view text) noexcept {
    if (equalIgnoringCase(text, L"x64")) return Bitness::x64;
    if (equalIgnoringCase(text, L"x86")) return Bitness::x86;
    return std::nullopt;
}

std::optional<Bitness> bitnessOfMachine(std::uint16_t machine) noexcept {
    switch (machine) {
    case machineI386:
        return Bitness::x86;
    case machineAmd64:
    case machineArm64:
        return Bitness::x64;
    default:
        return std::nullopt;
    }
}

std::optional<std::uint16_t> executableMachine(std::span<const unsigned char> start) noexcept {
    constexpr std::size_t peOffsetAt = 0x3C;
    if (start.size() < peOffsetAt + 4 || start[0] != 'M' || start[1] != 'Z') return std::nullopt;
    const std::uint32_t pe = littleEndian(start, peOffsetAt, 4);
    if (pe > start.size() || start.size() - pe < 6) return std::nullopt;
    if (start[pe] != 'P' || start[pe + 1] != 'E' || start[pe + 2] != 0 || start[pe + 3] != 0) return std::nullopt;
    return static_cast<std::uint16_t>(littleEndian(start, pe + 4, 2));
}

std::wstring_view pathNamed(std::wstring_view text) noexcept {
    const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') text = text.substr(1, text.size() - 2);
    return text;
}

std::optional<Bitness> officeBitness(const OfficeEvidence& found) noexcept {
    for (const std::uint16_t machine : found.outlookMachines)
        if (const auto bitness = bitnessOfMachine(machine)) return bitness;
    // The newest Office's values first, whatever order they were read in.
    for (const OfficeValue& kind : officeValues) {
        for (const OfficeValueFound& value : found.values) {
            if (value.value != &kind) continue;
            if (kind.onlyOf) return kind.onlyOf;
            if (const auto bitness = bitnessNamed(value.text)) return bitness;
        }
    }
    return std::nullopt;
}

}  // namespace zeltra::setup
