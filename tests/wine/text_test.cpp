// The launch address as the DLL builds it, with the system's lower-case mapping.
#include <gtest/gtest.h>

#include "host/text.h"
#include "modules/mod_outlook.h"

namespace {

TEST(SystemLowerCase, MapsLettersBeyondAsciiWhateverTheUsersLocale) {
    EXPECT_EQ(host::lowerCase(L"\u00C4RGER \u0416\u0410\u0420 \u03A3\u039F\u03A6\u0399\u0391 Stra\u00DFe"),
              L"\u00E4rger \u0436\u0430\u0440 \u03C3\u03BF\u03C6\u03B9\u03B1 stra\u00DFe");
    EXPECT_EQ(host::lowerCase(L""), L"");
}

TEST(SystemLowerCase, GivesTheAddressOfANonAsciiSelection) {
    EXPECT_EQ(zeltra::launchAddress(L"C:\\Zeltra Test\\cvredir.htm", L"\u0416\u0410\u0420 \u00C4"),
              L"file:///C:/Zeltra%20Test/cvredir.htm?%D0%B6%D0%B0%D1%80%20%C3%A4");
}

}  // namespace
