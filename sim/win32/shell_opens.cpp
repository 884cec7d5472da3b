#include "sim/win32/shell_opens.h"

#include <windows.h>

#include <filesystem>
#include <fstream>

#include "sim/win32/wide_text.h"

namespace sim::win32::shell_opens {
namespace {

std::wstring logPath() {
    wchar_t folder[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH + 1, folder);
    return std::wstring(folder) + L"zeltra-shell-opens.log";
}

// Wine's shell reads the handlers from HKEY_CLASSES_ROOT, which it keeps machine-wide.
std::wstring commandKey(const wchar_t* scheme) {
    return std::wstring(L"Software\\Classes\\") + scheme + L"\\shell\\open\\command";
}

std::optional<std::wstring> command(const wchar_t* scheme) {
    wchar_t text[1024] = L"";
    DWORD size = sizeof text;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, commandKey(scheme).c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(text);
}

bool setCommand(const wchar_t* scheme, const std::optional<std::wstring>& text) {
    if (!text) return RegDeleteTreeW(HKEY_LOCAL_MACHINE, commandKey(scheme).c_str()) == ERROR_SUCCESS;
    HKEY opened = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, commandKey(scheme).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const bool set = RegSetValueExW(opened, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text->c_str()),
                                    static_cast<DWORD>((text->size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    RegCloseKey(opened);
    return set;
}

}  // namespace

RecorderRegistration::RecorderRegistration() : previousHttp_(command(L"http")), previousHttps_(command(L"https")) {
    wchar_t own[MAX_PATH + 1] = L"";
    if (!GetModuleFileNameW(nullptr, own, MAX_PATH + 1)) return;
    const std::wstring program = own;
    const std::wstring recorder = program.substr(0, program.find_last_of(L'\\') + 1) + L"shell_open_recorder.exe";
    const std::wstring recording = L"\"" + recorder + L"\" \"%1\"";
    DeleteFileW(logPath().c_str());
    registered_ = setCommand(L"http", recording) && setCommand(L"https", recording);
}

RecorderRegistration::~RecorderRegistration() {
    setCommand(L"http", previousHttp_);
    setCommand(L"https", previousHttps_);
    DeleteFileW(logPath().c_str());
}

int record(const std::wstring& address) {
    std::ofstream log(std::filesystem::path(logPath()), std::ios::binary | std::ios::app);
    log << toUtf8(address) << '\n';
    return log ? 0 : 1;
}

std::vector<std::wstring> recorded() {
    std::vector<std::wstring> addresses;
    std::ifstream log(std::filesystem::path(logPath()), std::ios::binary);
    for (std::string line; std::getline(log, line);) addresses.push_back(fromUtf8(line));
    return addresses;
}

}  // namespace sim::win32::shell_opens
