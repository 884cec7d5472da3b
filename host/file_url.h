#pragma once
// File URLs as the Windows shell writes and reads them (UrlCreateFromPathW, PathCreateFromUrlW),
// in portable code: the address the add-in gives its browser control and the one the control
// reports back then name the same file, whatever characters the installation folder has.
#include <optional>
#include <string>
#include <string_view>

namespace host {

// The URL of a file, by UrlCreateFromPathW's rules: "file:///" before a path with a drive letter,
// "file:" before any other (so \\server\share\x becomes file://server/share/x), "/" for "\", and
// escaped as %XX of the UTF-16 unit: "%", "#", blanks, control characters, U+007F to U+00FF and
// < > " { } | ^ [ ] ` &. Characters beyond U+00FF stay as they are, and so does everything from a
// "?" on. A text that is an address already (a scheme of two characters or more) is returned as
// it is.
std::wstring fileUrlFromPath(std::wstring_view path);

// The path a file URL names, by PathCreateFromUrlW's rules: the slashes after "file:" tell a
// drive ("file:///C:/x", also "C|"), a server ("file://server/share/x" is \\server\share\x) or
// "localhost"; "/" becomes "\" and then each %XX becomes the UTF-16 unit XX (so an escaped "/"
// stays "/"), except after "file://" directly before a drive, which is taken as written. A query
// or fragment is part of the text: cut it off before. Nothing when the text is no file URL.
std::optional<std::wstring> pathFromFileUrl(std::wstring_view url);

}  // namespace host
