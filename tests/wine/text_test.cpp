// The launch address as the DLL builds it, with the system's lower-case mapping; file URLs by the
// add-in's own rules against the system's UrlCreateFromPathW and PathCreateFromUrlW.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <optional>

#include "host/file_url.h"
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

// The shell's own answers (Wine's follow Windows' by its conformance tests): the add-in writes and
// reads a file URL as they do, for the folders of the unit tests.
constexpr DWORD urlLength = 2084;  // INTERNET_MAX_URL_LENGTH

std::wstring systemUrlFromPath(const std::wstring& path) {
    wchar_t url[urlLength];
    DWORD length = urlLength;
    const HRESULT hr = UrlCreateFromPathW(path.c_str(), url, &length, 0);
    return SUCCEEDED(hr) ? std::wstring(url) : L"failed";
}

std::optional<std::wstring> systemPathFromUrl(const std::wstring& url) {
    wchar_t path[urlLength];
    DWORD length = urlLength;
    if (PathCreateFromUrlW(url.c_str(), path, &length, 0) != S_OK) return std::nullopt;
    return std::wstring(path);
}

TEST(FileUrls, AreWrittenAndReadAsTheShellDoes) {
    for (const std::wstring path :
         {L"C:\\Program Files\\Corvane\\Zeltra\\cvredir.htm", L"C:\\Users\\j#doe\\cvredir.htm",
          L"D:\\100% sure\\%41\\x", L"C:\\Users\\Zo\u00EB\\\u0416\u0410\u0420\\\u65E5",
          L"C:\\a\u007F\u0080\u00FF\u0100\tb", L"C:\\<>{}^[]`&;=,'()!~@+$-_.", L"C:/mixed\\slashes",
          L"c:foo\\bar", L"\\\\server\\share\\j#doe\\cvredir.htm", L"\\\\localhost\\share\\x", L"\\foo\\bar",
          L"foo\\bar", L"C|\\x", L"file:///c:/foo/bar", L"xx:c:\\foo"}) {
        const std::wstring url = host::fileUrlFromPath(path);
        EXPECT_EQ(url, systemUrlFromPath(path));
        EXPECT_EQ(host::pathFromFileUrl(url), systemPathFromUrl(url));
    }
    for (const std::wstring url :
         {L"file:///C:/Users/j%23doe/cvredir.htm", L"FILE:///C|/Zo%EB/%D0", L"file:///c:/foo/ba%5Cr",
          L"file:///c:/a%2Fb", L"file:/C:/x", L"file:C:/x%20y", L"file://localhost/C:/x",
          L"file://server/share/a%20b", L"file:////server/share/a%20b", L"file:///host/c:/foo",
          L"file://host/c:/foo", L"file://C:\\Zeltra Test\\a%20b"})
        EXPECT_EQ(host::pathFromFileUrl(url), systemPathFromUrl(url));
}

}  // namespace
