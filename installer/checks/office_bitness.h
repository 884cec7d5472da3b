#pragma once
// Which Office a computer has, by the values Office itself writes: the bitness of Outlook 2010 and
// later (HKLM\Software\Microsoft\Office\<version>\Outlook, Bitness) and the platform of a
// Click-to-Run installation (HKLM\Software\Microsoft\Office\ClickToRun\Configuration, Platform),
// "x64" or "x86", in either registry view. Outlook loads only an add-in of its own bitness.
#include <optional>
#include <string_view>
#include <vector>

namespace zeltra::setup {

enum class Bitness { x86, x64 };

struct OfficeValue {
    std::wstring_view key;  // below HKLM
    std::wstring_view name;
};

inline constexpr OfficeValue officeValues[] = {
    {L"Software\\Microsoft\\Office\\14.0\\Outlook", L"Bitness"},
    {L"Software\\Microsoft\\Office\\15.0\\Outlook", L"Bitness"},
    {L"Software\\Microsoft\\Office\\16.0\\Outlook", L"Bitness"},
    {L"Software\\Microsoft\\Office\\ClickToRun\\Configuration", L"Platform"},
};

// The bitness a value names ("x64", "x86", in any case); nothing for any other text.
std::optional<Bitness> bitnessNamed(std::wstring_view text) noexcept;

// Whether the values found (in any view) show Office of another bitness than the package's. No
// Office at all is no reason to refuse: Office may come later.
bool otherOfficeFound(Bitness package, const std::vector<std::wstring_view>& found) noexcept;

}  // namespace zeltra::setup
