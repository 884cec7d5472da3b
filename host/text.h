#pragma once
// Text as the launch address needs it: the platform's lower-case mapping and percent-encoding.
#include <string>
#include <string_view>

namespace host {

// Lower case by the platform's Unicode mapping, independent of the user's locale
// (host/win32/lower_case.cpp). The native build maps ASCII and Latin-1 only, for the tests.
std::wstring lowerCase(std::wstring_view text);

// Every character outside A-Z a-z 0-9 - . _ ~ / : @ written as the percent escapes of its UTF-8
// bytes, upper-case hex ("a b" -> "a%20b", "é" -> "%C3%A9"). A lone surrogate counts as U+FFFD.
std::wstring percentEncoded(std::wstring_view text);

}  // namespace host
