#pragma once
// Text as the launch address and the browser control's guard need it: the platform's lower-case
// mapping, percent-encoding, web addresses recognised, and text cut to a length.
#include <cstddef>
#include <string>
#include <string_view>

namespace host {

// Lower case by the platform's Unicode mapping, independent of the user's locale
// (host/win32/lower_case.cpp). The native build maps ASCII and Latin-1 only, for the tests.
std::wstring lowerCase(std::wstring_view text);

// Every character outside A-Z a-z 0-9 - . _ ~ / : @ written as the percent escapes of its UTF-8
// bytes, upper-case hex ("a b" -> "a%20b", "é" -> "%C3%A9"). A lone surrogate counts as U+FFFD.
std::wstring percentEncoded(std::wstring_view text);

// Whether text begins with prefix, ASCII letters compared without their case.
bool startsWithNoCase(std::wstring_view text, std::wstring_view prefix);
// Whether text begins with "http://" or "https://", in any case.
bool startsWithWebScheme(std::wstring_view text);

// The first maxUnits characters of text (UTF-16 code units in the DLL), or one fewer when the
// last of them is the first half of a surrogate pair: a pair is never split.
std::wstring_view leadingUnits(std::wstring_view text, std::size_t maxUnits);

}  // namespace host
