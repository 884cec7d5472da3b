#pragma once
// Helpers for the Windows-side tests: paths, processes, COM apartments, the registry.
#include <windows.h>
#include <objbase.h>

#include <optional>
#include <string>

namespace testing_support {

std::wstring binDirectory();  // where the test program, the DLL and msoutl.olb are
std::wstring dllPath();

// Runs a command line and returns its exit code.
DWORD run(const std::wstring& commandLine);
DWORD regsvr32(bool unregister);
// Loads the DLL into this process and calls one of its HRESULT exports (DllRegisterServer, ...).
HRESULT callDllExport(const char* name);

class ComApartment {
public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) { hr_ = CoInitializeEx(nullptr, model); }
    ~ComApartment() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    HRESULT hr() const { return hr_; }

private:
    HRESULT hr_;
};

bool keyExists(HKEY root, const std::wstring& path);
// A REG_SZ value (null name: the default value); nothing when absent or of another type.
std::optional<std::wstring> readString(HKEY root, const std::wstring& path, const wchar_t* name = nullptr);
std::optional<DWORD> readDword(HKEY root, const std::wstring& path, const wchar_t* name);
void writeString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value);
void deleteTree(HKEY root, const std::wstring& path);

// A key that everyone may read but nobody may open for writing, the way a standard user sees the
// machine's keys; its owner (this process) may still change its DACL. Removed on destruction.
class ReadOnlyKey {
public:
    ReadOnlyKey(HKEY root, std::wstring path);
    ~ReadOnlyKey();
    ReadOnlyKey(const ReadOnlyKey&) = delete;
    ReadOnlyKey& operator=(const ReadOnlyKey&) = delete;
    LSTATUS status() const { return status_; }  // of making it read-only

private:
    HKEY root_;
    std::wstring path_;
    LSTATUS status_;
};

std::wstring guidText(const GUID& g);
std::string narrow(const std::wstring& text);  // for test messages

}  // namespace testing_support
