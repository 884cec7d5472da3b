// The packages' check of Office's bitness, a custom action of every package (64-bit code,
// scheduled on x64 Windows only: elsewhere every Office is 32-bit). It reads, in both registry
// views (which a 32-bit package's own AppSearch may not, ICE80), where App Paths names Outlook's
// executable and that file's header, and Office's values; when they show Office of the other
// bitness it ends the installation with the package's message, which Windows Installer shows, or
// logs in a silent installation. The decision itself is office_bitness.cpp's.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "host/win32/registry_key.h"
#include "host/win32/unique_handle.h"
#include "installer/checks/office_bitness.h"

namespace {

// The package's own properties: the bitness of Office it is for ("x64" or "x86"), and what it says
// when Office of the other bitness is installed.
constexpr wchar_t packageBitnessProperty[] = L"ZeltraOfficeBitness";
constexpr wchar_t refusalProperty[] = L"ZeltraOtherOfficeMessage";

class MsiHandle {
public:
    explicit MsiHandle(MSIHANDLE handle) noexcept : handle_(handle) {}
    MsiHandle(const MsiHandle&) = delete;
    MsiHandle& operator=(const MsiHandle&) = delete;
    ~MsiHandle() {
        if (handle_) MsiCloseHandle(handle_);
    }
    MSIHANDLE get() const noexcept { return handle_; }

private:
    MSIHANDLE handle_;
};

std::wstring property(MSIHANDLE install, const wchar_t* name) {
    DWORD length = 0;
    wchar_t none[1] = {};
    if (MsiGetPropertyW(install, name, none, &length) != ERROR_MORE_DATA) return {};
    std::wstring value(length, L'\0');
    ++length;
    if (MsiGetPropertyW(install, name, value.data(), &length) != ERROR_SUCCESS) return {};
    value.resize(length);
    return value;
}

constexpr REGSAM views[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

// The machine field of the executable at PATH; nothing when it cannot be read as one.
std::optional<std::uint16_t> machineOf(const std::wstring& path) {
    constexpr DWORD anyoneMay = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const HANDLE opened =
        CreateFileW(path.c_str(), GENERIC_READ, anyoneMay, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return std::nullopt;
    const host::win32::UniqueHandle file(opened);
    unsigned char start[4096];
    DWORD read = 0;
    if (!ReadFile(file.get(), start, sizeof start, &read, nullptr)) return std::nullopt;
    return zeltra::setup::executableMachine(std::span<const unsigned char>(start, read));
}

// What the computer shows of Office: Outlook's executables where App Paths names them, the 64-bit
// view's first, and every value of Office's that can be read, from the 64-bit view and the 32-bit one.
zeltra::setup::OfficeEvidence officeFound() {
    zeltra::setup::OfficeEvidence found;
    for (const REGSAM view : views) {
        const auto key = host::win32::RegKey::open(HKEY_LOCAL_MACHINE, zeltra::setup::outlookAppPath,
                                                   KEY_QUERY_VALUE | view);
        if (!key) continue;
        // RegGetValue expands a REG_EXPAND_SZ that RRF_RT_REG_SZ asks for.
        if (const auto named = key.string(L"")) {
            if (const auto machine = machineOf(std::wstring(zeltra::setup::pathNamed(*named))))
                found.outlookMachines.push_back(*machine);
        }
    }
    for (const auto& value : zeltra::setup::officeValues) {
        for (const REGSAM view : views) {
            const auto key = host::win32::RegKey::open(HKEY_LOCAL_MACHINE, value.key, KEY_QUERY_VALUE | view);
            if (auto read = key.string(value.name)) found.values.push_back({&value, std::move(*read)});
        }
    }
    return found;
}

void refuse(MSIHANDLE install, const std::wstring& message) {
    const MsiHandle record(MsiCreateRecord(0));
    MsiRecordSetStringW(record.get(), 0, message.c_str());
    MsiProcessMessage(install, INSTALLMESSAGE(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR), record.get());
}

}  // namespace

extern "C" UINT __stdcall CheckOfficeBitness(MSIHANDLE install) noexcept try {
    const auto package = zeltra::setup::bitnessNamed(property(install, packageBitnessProperty));
    if (!package) return ERROR_INSTALL_FAILURE;  // a package that names no bitness is broken
    const auto office = zeltra::setup::officeBitness(officeFound());
    if (!office || *office == *package) return ERROR_SUCCESS;
    refuse(install, property(install, refusalProperty));
    return ERROR_INSTALL_FAILURE;
} catch (...) {
    return ERROR_INSTALL_FAILURE;
}
