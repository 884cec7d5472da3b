// Doubles as text by Automation's own conversions, in the user's locale, as Visual Basic converts
// them; the C library's formatted input and output would bring their own copies into the DLL.
#include <windows.h>
#include <oleauto.h>

#include "com/boundary.h"
#include "com/ptr.h"
#include "host/number_text.h"

namespace host {

std::wstring doubleText(double value) {
    com::Bstr text;
    com::throwIfFailed(VarBstrFromR8(value, LOCALE_USER_DEFAULT, 0, text.put()), "VarBstrFromR8");
    return com::toWString(text.get());
}

std::optional<double> parseDouble(std::wstring_view text) {
    std::wstring terminated(text);
    double value = 0;
    if (FAILED(VarR8FromStr(terminated.data(), LOCALE_USER_DEFAULT, 0, &value))) return std::nullopt;
    return value;
}

}  // namespace host
