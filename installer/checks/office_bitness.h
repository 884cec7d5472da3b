#pragma once
// Which Office a computer has, decided from Outlook itself first: the machine field of the header
// of the OUTLOOK.EXE that App Paths names (the default value of outlookAppPath below HKLM, in
// either registry view). Only where no such file can be read, the values Office
// writes decide, the newest Office's first: the platform of a Click-to-Run installation, the
// bitness of Outlook 2016, 2013 and 2010, and the install root of Outlook 2007 and 2003, which
// exist only in 32 bits. Outlook loads only an add-in of its own bitness.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zeltra::setup {

enum class Bitness { x86, x64 };

// Where App Paths names Outlook's executable: the key's default value.
inline constexpr std::wstring_view outlookAppPath =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\OUTLOOK.EXE";

struct OfficeValue {
    std::wstring_view key;  // below HKLM
    std::wstring_view name;
    // Only Office of this bitness writes the value, whatever it says; otherwise the value says
    // "x64" or "x86".
    std::optional<Bitness> onlyOf;
};

// Office's values, newest Office first.
inline constexpr OfficeValue officeValues[] = {
    {L"Software\\Microsoft\\Office\\ClickToRun\\Configuration", L"Platform", std::nullopt},
    {L"Software\\Microsoft\\Office\\16.0\\Outlook", L"Bitness", std::nullopt},
    {L"Software\\Microsoft\\Office\\15.0\\Outlook", L"Bitness", std::nullopt},
    {L"Software\\Microsoft\\Office\\14.0\\Outlook", L"Bitness", std::nullopt},
    {L"Software\\Microsoft\\Office\\12.0\\Outlook\\InstallRoot", L"Path", Bitness::x86},
    {L"Software\\Microsoft\\Office\\11.0\\Outlook\\InstallRoot", L"Path", Bitness::x86},
};

// A value of officeValues as read, in either registry view.
struct OfficeValueFound {
    const OfficeValue* value;
    std::wstring text;
};

// What was found on the computer, each list in the order it is trusted.
struct OfficeEvidence {
    // The machine fields of the executables App Paths names, the 64-bit view's first (the one the
    // shell starts), each only where the file could be read as an executable.
    std::vector<std::uint16_t> outlookMachines;
    std::vector<OfficeValueFound> values;
};

// The bitness a value names ("x64", "x86", in any case); nothing for any other text.
std::optional<Bitness> bitnessNamed(std::wstring_view text) noexcept;

// The bitness of Office whose Outlook is an executable of this machine: i386 is 32-bit; x64 is
// 64-bit, and so is ARM64, since 64-bit Office on ARM is built to load x64 add-ins (Arm64EC) and
// has no add-ins of its own architecture. Nothing for any other machine.
std::optional<Bitness> bitnessOfMachine(std::uint16_t machine) noexcept;

// The machine field of an executable's header (its first bytes: "MZ", the offset of the PE
// header at 0x3C, "PE\0\0" there and the machine after it); nothing when the bytes are no such
// header or end before the field.
std::optional<std::uint16_t> executableMachine(std::span<const unsigned char> start) noexcept;

// The path a default value of App Paths names: the text without blanks around it and without the
// quotes that may enclose it.
std::wstring_view pathNamed(std::wstring_view text) noexcept;

// The bitness of the Office installed: the first Outlook executable of a machine it knows, else
// the first of Office's values, in the order of officeValues (of one value, the one found first),
// that tells one; nothing when neither does (no Office, or none known: Office may come later).
std::optional<Bitness> officeBitness(const OfficeEvidence& found) noexcept;

}  // namespace zeltra::setup
