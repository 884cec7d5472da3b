#include "forms/navigation.h"

#include <optional>
#include <string>

#include "host/file_url.h"
#include "host/text.h"

namespace zeltra {
namespace {

// The file an address names: a file URL's path by PathCreateFromUrlW's rules, without its query
// and fragment (the page's own address escapes a "#" of the folder); a plain path, as Wine's
// control reports a file URL, without its query (a path has no "?", but it may have a "#").
std::optional<std::wstring> fileNamed(std::wstring_view address) {
    if (host::startsWithNoCase(address, L"file:"))
        return host::pathFromFileUrl(address.substr(0, address.find_first_of(L"?#")));
    return std::wstring(address.substr(0, address.find(L'?')));
}

// One spelling of a path: backslashes only, never two in a row after a UNC path's leading two
// (a folder read with a trailing backslash composes a doubled one), lower case.
std::wstring comparable(std::wstring_view path) {
    std::wstring text;
    for (wchar_t c : path) {
        if (c == L'/') c = L'\\';
        if (c == L'\\' && text.size() >= 2 && text.back() == L'\\') continue;
        text.push_back(c);
    }
    return host::lowerCase(text);
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
    if (newWindow || redirectPage.empty()) return Navigation::Drop;
    const std::optional<std::wstring> file = fileNamed(url);
    return file && comparable(*file) == comparable(redirectPage) ? Navigation::Allow : Navigation::Drop;
}

}  // namespace zeltra
