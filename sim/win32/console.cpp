#include "sim/win32/console.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace sim::win32 {
namespace {
void write(FILE* stream, std::wstring_view line) {
    std::wstring text(line);
    text += L'\n';
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
}
}  // namespace

void print(std::wstring_view line) { write(stdout, line); }
void printError(std::wstring_view line) { write(stderr, line); }

}  // namespace sim::win32
