#pragma once
// Numbers as text and back. Integers are written here, without the C library's formatted output,
// which would bring a whole printf into the DLL. Doubles follow Automation's own conversions where
// the platform has them (host/win32/number_text.cpp) and the C library's elsewhere.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace host {

std::wstring decimalText(std::int64_t value);
// "0x" and `digits` upper-case hexadecimal digits, as HRESULTs are usually written.
std::string hexText(std::uint32_t value, int digits = 8);

// The shortest text that reads back as the same value to 15 significant digits ("1.5", "1E+20").
std::wstring doubleText(double value);
// A decimal number, with optional blanks around it; nothing for text that is not a number.
std::optional<double> parseDouble(std::wstring_view text);

}  // namespace host
