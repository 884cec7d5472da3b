#include "sim/win32/console.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "sim/win32/wide_text.h"

namespace sim::win32 {
namespace {
void write(FILE* stream, std::wstring_view line) {
    const std::string utf8 = toUtf8(std::wstring(line) + L'\n');
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
}
}  // namespace

void print(std::wstring_view line) { write(stdout, line); }
void printError(std::wstring_view line) { write(stderr, line); }

}  // namespace sim::win32
