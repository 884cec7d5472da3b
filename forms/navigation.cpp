#include "forms/navigation.h"

#include <cwctype>
#include <string>

#include "host/text.h"

namespace zeltra {
namespace {

int hexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// A file's path as one spelling: no "file:" and slashes before the drive, no query or fragment,
// escapes of ASCII decoded, backslashes only and never two in a row, lower case.
std::wstring filePath(std::wstring_view address) {
    if (host::startsWithNoCase(address, L"file:")) {
        address.remove_prefix(5);
        while (!address.empty() && (address.front() == L'/' || address.front() == L'\\')) address.remove_prefix(1);
    }
    address = address.substr(0, address.find_first_of(L"?#"));
    std::wstring path;
    for (std::size_t i = 0; i < address.size(); ++i) {
        wchar_t c = address[i];
        if (c == L'%' && i + 2 < address.size() && hexValue(address[i + 1]) >= 0 && hexValue(address[i + 2]) >= 0) {
            c = static_cast<wchar_t>(hexValue(address[i + 1]) * 16 + hexValue(address[i + 2]));
            i += 2;
        }
        if (c == L'/') c = L'\\';
        if (c == L'\\' && !path.empty() && path.back() == L'\\') continue;
        path.push_back(static_cast<wchar_t>(std::towlower(c)));
    }
    return path;
}

// The shell passes an address on to the browser on a command line such as `"browser" "%1"`: a
// quote would end the argument and let the rest of the address become options, and control
// characters (a line break among them) have no place in an address at all.
bool fitForTheShell(std::wstring_view address) {
    for (const wchar_t c : address)
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == L'"') return false;
    return true;
}

}  // namespace

Navigation judgeNavigation(std::wstring_view url, std::wstring_view redirectPage, bool newWindow) {
    if (host::startsWithWebScheme(url)) return fitForTheShell(url) ? Navigation::HandOff : Navigation::Drop;
    if (!newWindow && !redirectPage.empty() && filePath(url) == filePath(redirectPage)) return Navigation::Allow;
    return Navigation::Drop;
}

}  // namespace zeltra
