#include "host/variant.h"

#include <cmath>
#include <cstdio>
#include <cwchar>
#include <cwctype>

#include "host/automation.h"

namespace host {
namespace {

[[noreturn]] void typeMismatch() { throw Error(hresult::typeMismatch, "type mismatch"); }

// A string that Automation would take as a number: optional blanks around a decimal number.
std::optional<double> parseNumber(const std::wstring& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::iswspace(text[begin])) ++begin;
    while (end > begin && std::iswspace(text[end - 1])) --end;
    if (begin == end) return std::nullopt;
    const std::wstring trimmed = text.substr(begin, end - begin);
    for (const wchar_t c : trimmed) {
        // Only plain decimal notation; no hexadecimal, infinities or NaN.
        if (!(std::iswdigit(c) || c == L'.' || c == L'-' || c == L'+' || c == L'e' || c == L'E')) return std::nullopt;
    }
    wchar_t* stop = nullptr;
    const double value = std::wcstod(trimmed.c_str(), &stop);
    if (stop != trimmed.c_str() + trimmed.size()) return std::nullopt;
    return value;
}

}  // namespace

bool Variant::asBool() const {
    if (const auto* b = std::get_if<bool>(&value_)) return *b;
    typeMismatch();
}

std::int32_t Variant::asInt() const {
    if (const auto* i = std::get_if<std::int32_t>(&value_)) return *i;
    typeMismatch();
}

double Variant::asDouble() const {
    if (const auto* d = std::get_if<double>(&value_)) return *d;
    if (const auto* i = std::get_if<std::int32_t>(&value_)) return *i;
    typeMismatch();
}

const std::wstring& Variant::asString() const {
    if (const auto* s = std::get_if<std::wstring>(&value_)) return *s;
    typeMismatch();
}

HResult Variant::asError() const {
    if (const auto* e = std::get_if<ErrorTag>(&value_)) return e->code;
    typeMismatch();
}

Object Variant::toObject() const {
    if (const auto* o = std::get_if<Object>(&value_)) return *o;
    if (isEmpty()) return {};
    typeMismatch();
}

std::wstring Variant::toText() const {
    switch (kind()) {
        case Kind::Empty: return {};
        case Kind::Null: throw Error(hresult::invalidUseOfNull, "invalid use of Null");
        case Kind::Bool: return asBool() ? L"True" : L"False";
        case Kind::Int: return std::to_wstring(asInt());
        case Kind::Double: {
            char text[32];
            std::snprintf(text, sizeof text, "%.15G", asDouble());
            return {text, text + std::char_traits<char>::length(text)};
        }
        case Kind::String: return asString();
        case Kind::Object:
        case Kind::Error: break;
    }
    typeMismatch();
}

bool operator==(const Variant& a, const Variant& b) {
    if (a.kind() != b.kind()) return false;
    switch (a.kind()) {
        case Variant::Kind::Empty:
        case Variant::Kind::Null: return true;
        case Variant::Kind::Bool: return a.asBool() == b.asBool();
        case Variant::Kind::Int: return a.asInt() == b.asInt();
        case Variant::Kind::Double: return a.asDouble() == b.asDouble();
        case Variant::Kind::String: return a.asString() == b.asString();
        case Variant::Kind::Object: return a.toObject().isSameObject(b.toObject());
        case Variant::Kind::Error: return a.asError() == b.asError();
    }
    return false;
}

std::optional<int> compareWithInteger(const Variant& value, std::int64_t number) {
    double left = 0;
    switch (value.kind()) {
        case Variant::Kind::Null: return std::nullopt;
        case Variant::Kind::Empty: left = 0; break;
        case Variant::Kind::Bool: left = value.asBool() ? -1 : 0; break;  // True is -1
        case Variant::Kind::Int: left = value.asInt(); break;
        case Variant::Kind::Double: left = value.asDouble(); break;
        case Variant::Kind::String: {
            const auto parsed = parseNumber(value.asString());
            if (!parsed) typeMismatch();
            left = *parsed;
            break;
        }
        case Variant::Kind::Object:
        case Variant::Kind::Error: typeMismatch();
    }
    if (std::isnan(left)) typeMismatch();
    const auto right = static_cast<double>(number);
    return left < right ? -1 : left > right ? 1 : 0;
}

std::wstring describe(const Variant& value) {
    switch (value.kind()) {
        case Variant::Kind::Empty: return L"Empty";
        case Variant::Kind::Null: return L"Null";
        case Variant::Kind::String: return L"\"" + value.asString() + L"\"";
        case Variant::Kind::Object: return value.toObject() ? L"<object>" : L"Nothing";
        case Variant::Kind::Error: {
            wchar_t text[24];
            std::swprintf(text, 24, L"Error 0x%08X", static_cast<unsigned>(value.asError()));
            return text;
        }
        default: return value.toText();
    }
}

}  // namespace host
