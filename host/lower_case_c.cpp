// The native build's lower case, for the unit tests: ASCII and Latin-1 only.
#include "host/text.h"

namespace host {

std::wstring lowerCase(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out) {
        if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c = static_cast<wchar_t>(c + 0x20);
    }
    return out;
}

}  // namespace host
