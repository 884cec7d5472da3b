#include "tests/wine/wine_test_support.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <utility>
#include <vector>

namespace testing_support {

std::wstring binDirectory() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path, length);
    return directory.substr(0, directory.find_last_of(L"\\/"));
}

std::wstring dllPath() { return binDirectory() + L"\\DODuruda_Vored.dll"; }

DWORD run(const std::wstring& commandLine) {
    std::wstring mutableLine = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return static_cast<DWORD>(-1);
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = static_cast<DWORD>(-1);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

DWORD regsvr32(bool unregister) {
    return run(std::wstring(L"regsvr32.exe /s ") + (unregister ? L"/u " : L"") + L"\"" + dllPath() + L"\"");
}

HRESULT callDllExport(const char* name) {
    const HMODULE library = LoadLibraryW(dllPath().c_str());
    if (!library) return HRESULT_FROM_WIN32(GetLastError());
    const auto function = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(library, name)));
    const HRESULT hr = function ? function() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    FreeLibrary(library);
    return hr;
}

namespace {
LSTATUS setDacl(HKEY root, const std::wstring& path, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return static_cast<LSTATUS>(GetLastError());
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(root, path.c_str(), 0, WRITE_DAC, &key);
    if (status == ERROR_SUCCESS) {
        status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
        RegCloseKey(key);
    }
    LocalFree(descriptor);
    return status;
}
}  // namespace

ReadOnlyKey::ReadOnlyKey(HKEY root, std::wstring path) : root_(root), path_(std::move(path)) {
    HKEY key = nullptr;
    status_ = RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &key,
                              nullptr);
    if (status_ != ERROR_SUCCESS) return;
    RegCloseKey(key);
    status_ = setDacl(root_, path_, L"D:P(A;;KR;;;WD)");  // everyone: read; nothing inherited
}

ReadOnlyKey::~ReadOnlyKey() {
    setDacl(root_, path_, L"D:(A;;KA;;;WD)");
    deleteTree(root_, path_);
}

bool keyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::optional<std::wstring> readString(HKEY root, const std::wstring& path, const wchar_t* name) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1);
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer.data());
}

std::optional<DWORD> readDword(HKEY root, const std::wstring& path, const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

void writeString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    RegSetKeyValueW(root, path.c_str(), name, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void deleteTree(HKEY root, const std::wstring& path) {
    RegDeleteTreeW(root, path.c_str());
    RegDeleteKeyW(root, path.c_str());
}

std::wstring guidText(const GUID& g) {
    wchar_t text[40];
    StringFromGUID2(g, text, 40);
    return text;
}

std::string narrow(const std::wstring& text) {
    std::string result;
    for (const wchar_t c : text) result += c < 128 ? static_cast<char>(c) : '?';
    return result;
}

}  // namespace testing_support

namespace {

// Every object the add-in creates first runs its start-up, which warns with a message box when the
// product's installation is missing; these tests run with the product installed.
class InstalledProduct final : public testing::Environment {
public:
    void SetUp() override {
        testing_support::writeString(HKEY_LOCAL_MACHINE, L"Software\\Corvane\\Zeltra", nullptr, L"C:\\Zeltra Test");
        testing_support::writeString(HKEY_LOCAL_MACHINE, L"Software\\Corvane\\Zeltra", L"MSOAO", L"0");
    }
};

[[maybe_unused]] testing::Environment* const installedProduct = testing::AddGlobalTestEnvironment(new InstalledProduct);

}  // namespace
