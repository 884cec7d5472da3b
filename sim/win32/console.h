#pragma once
// UTF-8 output to the console or to a pipe, whatever the code page.
#include <string_view>

namespace sim::win32 {

void print(std::wstring_view line);  // adds the line break
void printError(std::wstring_view line);

}  // namespace sim::win32
