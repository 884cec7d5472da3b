#include "sim/model/xml_reader.h"

#include <cstdint>

namespace sim::xml {

const Attribute* Element::attribute(std::wstring_view attributeName) const {
    for (const Attribute& a : attributes)
        if (a.name == attributeName) return &a;
    return nullptr;
}

namespace {

bool isSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

bool isNameStart(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_' || c == L':' ||
           (c >= 0xC0 && c != 0xD7 && c != 0xF7 && (c < 0x2000 || c > 0x206F) && (c < 0xD800 || c > 0xDFFF) &&
            c != 0xFFFE && c != 0xFFFF) ||
           (c >= 0xD800 && c <= 0xDBFF);  // a high surrogate: a character beyond the basic plane
}

bool isNameChar(wchar_t c) {
    return isNameStart(c) || (c >= L'0' && c <= L'9') || c == L'-' || c == L'.' || c == 0xB7 ||
           (c >= 0xDC00 && c <= 0xDFFF) || (c >= 0x300 && c <= 0x36F) || c == 0x203F || c == 0x2040;
}

// Characters XML allows in a document at all.
bool isXmlChar(std::uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

struct Failure {
    Error error;
};

class Reader {
public:
    explicit Reader(std::wstring_view text) : text_(text) {}

    Element document() {
        if (starts(L"\xFEFF")) advance(1);
        if (starts(L"<?xml")) declaration();
        misc();
        if (atEnd() || peek() != L'<') fail(L"the document has no root element");
        Element root = element();
        misc();
        if (!atEnd()) fail(L"content after the root element");
        return root;
    }

private:
    [[noreturn]] void fail(std::wstring message) const { throw Failure{{line_, std::move(message)}}; }

    bool atEnd() const { return at_ >= text_.size(); }
    wchar_t peek() const { return atEnd() ? L'\0' : text_[at_]; }
    bool starts(std::wstring_view s) const { return text_.substr(at_, s.size()) == s; }
    void advance(std::size_t n) {
        for (std::size_t i = 0; i < n && !atEnd(); ++i, ++at_) {
            const auto code = static_cast<std::uint32_t>(text_[at_]);
            if (!isXmlChar(code) && !(code >= 0xD800 && code <= 0xDFFF)) fail(L"a character XML does not allow");
            if (code == L'\n') ++line_;
        }
    }
    void expect(std::wstring_view s) {
        if (!starts(s)) fail(L"expected '" + std::wstring(s) + L"'");
        advance(s.size());
    }
    bool skipSpace() {
        const std::size_t from = at_;
        while (!atEnd() && isSpace(peek())) advance(1);
        return at_ != from;
    }

    std::wstring name() {
        if (atEnd() || !isNameStart(peek())) fail(L"a name was expected");
        const std::size_t from = at_;
        while (!atEnd() && isNameChar(peek())) advance(1);
        return std::wstring(text_.substr(from, at_ - from));
    }

    // <?xml version="1.0" encoding="..." standalone="..."?>, only at the very start.
    void declaration() {
        expect(L"<?xml");
        if (!skipSpace()) fail(L"a malformed XML declaration");
        bool version = false;
        while (!starts(L"?>")) {
            if (atEnd()) fail(L"an unterminated XML declaration");
            const std::wstring key = name();
            skipSpace();
            expect(L"=");
            skipSpace();
            const std::wstring value = quoted(false);
            if (key == L"version") {
                if (version || value.size() < 3 || value.substr(0, 2) != L"1.") fail(L"a malformed XML declaration");
                version = true;
            } else if ((key != L"encoding" && key != L"standalone") || !version) {
                fail(L"a malformed XML declaration");
            }
            skipSpace();
        }
        if (!version) fail(L"the XML declaration has no version");
        advance(2);
    }

    // Whitespace and comments around the root element.
    void misc() {
        for (;;) {
            skipSpace();
            if (starts(L"<!--")) comment();
            else if (starts(L"<?")) fail(L"processing instructions are not accepted");
            else if (starts(L"<!")) fail(L"document type declarations are not accepted");
            else return;
        }
    }

    void comment() {
        expect(L"<!--");
        for (;;) {
            if (atEnd()) fail(L"an unterminated comment");
            if (starts(L"--")) {
                if (!starts(L"-->")) fail(L"'--' inside a comment");
                advance(3);
                return;
            }
            advance(1);
        }
    }

    void appendCode(std::wstring& out, std::uint32_t code) {
        if (!isXmlChar(code)) fail(L"a character reference to a character XML does not allow");
        if (sizeof(wchar_t) == 2 && code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (code >> 10));
            out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<wchar_t>(code);
        }
    }

    // &name; or &#N; or &#xH; (at '&').
    void reference(std::wstring& out) {
        advance(1);
        if (peek() == L'#') {
            advance(1);
            const bool hexadecimal = peek() == L'x';
            if (hexadecimal) advance(1);
            std::uint32_t code = 0;
            int digits = 0;
            for (; !atEnd() && peek() != L';'; ++digits) {
                const wchar_t c = peek();
                int digit = -1;
                if (c >= L'0' && c <= L'9') digit = c - L'0';
                else if (hexadecimal && c >= L'a' && c <= L'f') digit = c - L'a' + 10;
                else if (hexadecimal && c >= L'A' && c <= L'F') digit = c - L'A' + 10;
                if (digit < 0) fail(L"a malformed character reference");
                code = code * (hexadecimal ? 16 : 10) + static_cast<std::uint32_t>(digit);
                if (code > 0x10FFFF) fail(L"a character reference out of range");
                advance(1);
            }
            if (digits == 0 || atEnd()) fail(L"a malformed character reference");
            advance(1);
            appendCode(out, code);
            return;
        }
        static const std::pair<const wchar_t*, wchar_t> entities[] = {
            {L"lt", L'<'}, {L"gt", L'>'}, {L"amp", L'&'}, {L"apos", L'\''}, {L"quot", L'"'}};
        const std::wstring entity = name();
        expect(L";");
        for (const auto& [n, c] : entities)
            if (entity == n) {
                out += c;
                return;
            }
        fail(L"the entity '" + entity + L"' is not defined");
    }

    std::wstring quoted(bool references) {
        const wchar_t quote = peek();
        if (quote != L'"' && quote != L'\'') fail(L"a quoted value was expected");
        advance(1);
        std::wstring value;
        for (;;) {
            if (atEnd()) fail(L"an unterminated attribute value");
            const wchar_t c = peek();
            if (c == quote) break;
            if (c == L'<') fail(L"'<' inside an attribute value");
            if (c == L'&' && references) {
                reference(value);
                continue;
            }
            // Attribute value normalisation: whitespace characters become spaces.
            value += isSpace(c) ? L' ' : c;
            advance(1);
        }
        advance(1);
        return value;
    }

    Element element() {
        Element e{};
        e.line = line_;
        expect(L"<");
        e.name = name();
        for (;;) {
            const bool spaced = skipSpace();
            if (starts(L"/>")) {
                advance(2);
                return e;
            }
            if (starts(L">")) {
                advance(1);
                break;
            }
            if (!spaced) fail(L"whitespace is required between attributes");
            Attribute a{};
            a.line = line_;
            a.name = name();
            skipSpace();
            expect(L"=");
            skipSpace();
            a.value = quoted(true);
            if (e.attribute(a.name)) fail(L"the attribute '" + a.name + L"' appears twice");
            e.attributes.push_back(std::move(a));
        }
        content(e);
        expect(L"</");
        const int closingLine = line_;
        if (name() != e.name) {
            line_ = closingLine;
            fail(L"the end tag does not match the start tag '" + e.name + L"'");
        }
        skipSpace();
        expect(L">");
        return e;
    }

    void content(Element& e) {
        for (;;) {
            if (atEnd()) fail(L"the element '" + e.name + L"' is not closed");
            if (starts(L"</")) return;
            if (starts(L"<!--")) comment();
            else if (starts(L"<![CDATA[")) fail(L"CDATA sections are not accepted");
            else if (starts(L"<?")) fail(L"processing instructions are not accepted");
            else if (starts(L"<!")) fail(L"markup declarations are not accepted");
            else if (starts(L"<")) e.children.push_back(element());
            else if (peek() == L'&') {
                std::wstring ignored;
                reference(ignored);
                e.hasText = true;
            } else {
                if (starts(L"]]>")) fail(L"']]>' in content");
                if (!isSpace(peek())) e.hasText = true;
                advance(1);
            }
        }
    }

    std::wstring_view text_;
    std::size_t at_ = 0;
    int line_ = 1;
};

}  // namespace

Parsed parse(std::wstring_view text) {
    try {
        return {Reader(text).document(), std::nullopt};
    } catch (const Failure& f) {
        return {std::nullopt, f.error};
    }
}

}  // namespace sim::xml
