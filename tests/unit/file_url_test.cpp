// File URLs by the shell's rules: the address of the redirect page in any folder, and the path the
// browser control's address names. tests/wine/text_test.cpp holds the same cases against the
// system's own UrlCreateFromPathW and PathCreateFromUrlW.
#include <gtest/gtest.h>

#include <utility>

#include "host/file_url.h"

namespace {

std::string narrow(const std::wstring& text) {
    std::string out;
    for (const wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

TEST(FileUrlFromPath, WritesTheDriveOrServerAndEscapesWhatAnAddressWouldReadDifferently) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\Program Files\\Corvane\\Zeltra\\cvredir.htm", L"file:///C:/Program%20Files/Corvane/Zeltra/cvredir.htm"},
        {L"C:\\Users\\j#doe\\cvredir.htm", L"file:///C:/Users/j%23doe/cvredir.htm"},
        {L"C:\\50% off\\%41\\x", L"file:///C:/50%25%20off/%2541/x"},
        // Latin-1 as one escaped unit; beyond it, as it is.
        {L"C:\\Users\\Zo\u00EB\\x", L"file:///C:/Users/Zo%EB/x"},
        {L"C:\\\u0416\u0410\u0420\\\u65E5", L"file:///C:/\u0416\u0410\u0420/\u65E5"},
        {L"C:\\a\u007F\u0080\u00FF\u0100", L"file:///C:/a%7F%80%FF\u0100"},
        {L"C:\\a\tb", L"file:///C:/a%09b"},
        {L"C:\\<>\"{}|^[]`&", L"file:///C:/%3C%3E%22%7B%7D%7C%5E%5B%5D%60%26"},
        {L"C:\\a;b=c,d'e(f)!~@+$-_.", L"file:///C:/a;b=c,d'e(f)!~@+$-_."},
        {L"C:/mixed\\slashes", L"file:///C:/mixed/slashes"},
        // The machine or server as the leading slashes say.
        {L"c:foo\\bar", L"file:///c:foo/bar"},
        {L"\\\\server\\share\\Zeltra\\cvredir.htm", L"file://server/share/Zeltra/cvredir.htm"},
        {L"\\\\localhost\\share\\x", L"file:///share/x"},
        {L"\\foo\\bar", L"file:///foo/bar"},
        {L"foo\\bar", L"file:foo/bar"},
        {L"C|\\x", L"file:C%7C/x"},  // "|" marks a drive in an address, not in a path
        // What is an address already stays as it is.
        {L"file:///c:/foo/bar", L"file:///c:/foo/bar"},
        {L"xx:c:\\foo", L"xx:c:\\foo"},
    };
    for (const auto& [path, url] : cases) EXPECT_EQ(host::fileUrlFromPath(path), url) << narrow(path);
}

TEST(PathFromFileUrl, ReadsTheSlashesThenTheEscapes) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"file:///C:/Users/j%23doe/cvredir.htm", L"C:\\Users\\j#doe\\cvredir.htm"},
        {L"FILE:///C|/Zo%EB/%D0", L"C:\\Zo\u00EB\\\u00D0"},
        {L"file:///c:/foo/ba%5Cr", L"c:\\foo\\ba\\r"},  // an escaped backslash is one after all
        {L"file:///c:/a%2Fb", L"c:\\a/b"},             // an escaped slash stays one
        {L"file:/C:/x", L"C:\\x"},
        {L"file:C:/x%20y", L"C:\\x y"},
        {L"file://localhost/C:/x", L"C:\\x"},
        {L"file://server/share/a%20b", L"\\\\server\\share\\a b"},
        {L"file:////server/share/a%20b", L"\\\\server\\share\\a%20b"},
        {L"file:///host/c:/foo", L"\\host\\c:\\foo"},
        {L"file://host/c:/foo", L"\\\\hostc:\\foo"},
        // After "file://" directly, a drive's path is taken as written: Wine's control reports so.
        {L"file://C:\\Zeltra Test\\a%20b", L"C:\\Zeltra Test\\a%20b"},
    };
    for (const auto& [url, path] : cases) EXPECT_EQ(host::pathFromFileUrl(url), path) << narrow(url);
    EXPECT_EQ(host::pathFromFileUrl(L"https://example.org/x"), std::nullopt);
    EXPECT_EQ(host::pathFromFileUrl(L"C:\\Zeltra\\cvredir.htm"), std::nullopt);
}

TEST(FileUrls, NameTheFolderTheyWereMadeFrom) {
    for (const std::wstring path :
         {L"C:\\Users\\j#doe\\AppData\\Local\\Programs\\Corvane\\Zeltra\\cvredir.htm", L"C:\\Users\\Zo\u00EB\\cvredir.htm",
          L"D:\\100% sure\\%41%\\cvredir.htm", L"C:\\\u041F\u0430\u043F\u043A\u0430 & {x}^`[1]\\cvredir.htm",
          L"\\\\server\\share\\j#doe\\cvredir.htm"})
        EXPECT_EQ(host::pathFromFileUrl(host::fileUrlFromPath(path)), path) << narrow(path);
}

}  // namespace
