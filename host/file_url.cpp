#include "host/file_url.h"

#include <algorithm>

#include "host/text.h"

namespace host {
namespace {

bool isAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool isAsciiDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool isSlash(wchar_t c) { return c == L'/' || c == L'\\'; }

// "C:" or, as URLs may write it, "C|".
bool startsWithDrive(std::wstring_view text) {
    return text.size() >= 2 && isAsciiLetter(text[0]) && (text[1] == L':' || text[1] == L'|');
}

// ParseURLW's test: letters, digits, "+", "-" or "." (two at least) and then ":".
bool startsWithScheme(std::wstring_view text) {
    std::size_t end = 0;
    while (end < text.size() && (isAsciiLetter(text[end]) || isAsciiDigit(text[end]) || text[end] == L'+' ||
                                 text[end] == L'-' || text[end] == L'.'))
        ++end;
    return end >= 2 && end < text.size() && text[end] == L':';
}

// UrlEscapeW's choice for a file URL escaped with URL_ESCAPE_PERCENT.
bool escapedInFileUrl(wchar_t c) {
    if (c <= 0x1F || (c >= 0x7F && c <= 0xFF)) return true;
    switch (c) {
    case L'%': case L'#': case L' ': case L'<': case L'>': case L'"': case L'{': case L'}': case L'|':
    case L'\\': case L'^': case L'[': case L']': case L'`': case L'&':
        return true;
    default:
        return false;
    }
}

int hexValue(wchar_t c) {
    if (isAsciiDigit(c)) return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// UrlUnescapeW without flags: every %XX, the query's too, becomes the one UTF-16 unit XX.
std::wstring unescaped(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<wchar_t>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

}  // namespace

std::wstring fileUrlFromPath(std::wstring_view path) {
    if (startsWithScheme(path)) return std::wstring(path);
    // What follows "file:" is written as its slashes say: one or three mean the local machine
    // ("///"), two or more otherwise a server ("//"); "//localhost/" is the local machine too.
    std::wstring_view rest = path;
    const bool drive = path.size() >= 2 && isAsciiLetter(path[0]) && path[1] == L':';  // "C|" is no path's
    std::size_t slashes = drive ? 3 : 0;
    while (!rest.empty() && isSlash(rest.front())) {
        ++slashes;
        rest.remove_prefix(1);
    }
    if (slashes == 2 && startsWithNoCase(rest, L"localhost")) {
        if (rest.size() > 9 && isSlash(rest[9])) rest.remove_prefix(10);
        slashes = 3;
    }
    std::wstring url = L"file:";
    if (slashes == 1 || slashes == 3) url += L"///";
    else if (slashes != 0) url += L"//";

    static constexpr wchar_t hexDigits[] = L"0123456789ABCDEF";
    bool inQuery = false;
    for (wchar_t c : rest) {
        inQuery = inQuery || c == L'?';
        if (inQuery) {
            url.push_back(c);
            continue;
        }
        if (c == L'\\') c = L'/';
        if (!escapedInFileUrl(c)) {
            url.push_back(c);
            continue;
        }
        url.push_back(L'%');
        url.push_back(hexDigits[(c >> 4) & 0xF]);
        url.push_back(hexDigits[c & 0xF]);
    }
    return url;
}

std::optional<std::wstring> pathFromFileUrl(std::wstring_view url) {
    if (!startsWithNoCase(url, L"file:")) return std::nullopt;
    url.remove_prefix(5);
    std::size_t slashes = 0;
    while (slashes < url.size() && isSlash(url[slashes])) ++slashes;
    std::wstring_view rest = url.substr(slashes);

    std::wstring path;
    bool unescape = true;
    switch (slashes) {
    case 0:  // file:C:/x, file:x
        break;
    case 1:  // file:/C:/x, file:/x
    case 3:  // file:///C:/x, file:///x
        if (!startsWithDrive(rest)) rest = url.substr(slashes - 1);
        break;
    case 2:
        if (rest.size() >= 10 && startsWithNoCase(rest, L"localhost") && isSlash(rest[9])) {
            rest.remove_prefix(10);
        } else if (startsWithDrive(rest)) {
            unescape = false;  // file://C:\x, the path as written
        } else {
            // file://server/share/x: the server with its two slashes, then the rest.
            const std::size_t end = std::min(rest.find_first_of(L"/\\"), rest.size());
            path = std::wstring(url.substr(0, slashes + end));
            rest.remove_prefix(end);
            if (!rest.empty() && startsWithDrive(rest.substr(1))) rest.remove_prefix(1);
        }
        break;
    case 4:  // file:////server/share/x, file:////C:/x
        unescape = false;
        if (startsWithDrive(rest)) break;
        rest = url.substr(slashes - 2);
        break;
    default:
        rest = url.substr(slashes - 2);
        break;
    }
    path += rest;
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    if (startsWithDrive(path)) path[1] = L':';
    if (unescape) path = unescaped(path);
    return path;
}

}  // namespace host
