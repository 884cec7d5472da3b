// The packages' check of Office's bitness, a custom action of every package (64-bit code,
// scheduled on x64 Windows only: elsewhere every Office is 32-bit). It reads Office's values in
// both registry views, which a 32-bit package's own AppSearch may not (ICE80), and when Office of
// the other bitness is there it ends the installation with the package's message, which Windows
// Installer shows, or logs in a silent installation.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>
#include <utility>
#include <vector>

#include "host/win32/registry_key.h"
#include "installer/checks/office_bitness.h"

namespace {

using zeltra::setup::Bitness;

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

// Every value of Office's that can be read, from the 64-bit view and the 32-bit one.
std::vector<std::wstring> officeValuesFound() {
    std::vector<std::wstring> found;
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        for (const auto& value : zeltra::setup::officeValues) {
            const auto key = host::win32::RegKey::open(HKEY_LOCAL_MACHINE, value.key, KEY_QUERY_VALUE | view);
            if (auto text = key.string(value.name)) found.push_back(std::move(*text));
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
    const std::vector<std::wstring> found = officeValuesFound();
    if (!zeltra::setup::otherOfficeFound(*package, std::vector<std::wstring_view>(found.begin(), found.end())))
        return ERROR_SUCCESS;
    refuse(install, property(install, refusalProperty));
    return ERROR_INSTALL_FAILURE;
} catch (...) {
    return ERROR_INSTALL_FAILURE;
}
