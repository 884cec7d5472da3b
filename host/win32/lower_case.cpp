// Lower case by the system's Unicode mapping, the same whatever the user's locale.
#include <windows.h>

#include "host/error.h"
#include "host/text.h"

namespace host {

std::wstring lowerCase(std::wstring_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.data(), length, nullptr, 0, nullptr,
                                   nullptr, 0);
    if (size <= 0) throw Error(HRESULT_FROM_WIN32(GetLastError()), "LCMapStringEx");
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.data(), length, out.data(), size, nullptr, nullptr,
                      0) != size)
        throw Error(HRESULT_FROM_WIN32(GetLastError()), "LCMapStringEx");
    return out;
}

}  // namespace host
