#include "host/variant.h"

#include <cmath>

#include "host/automation.h"
#include "host/number_text.h"

namespace host {
namespace {

[[noreturn]] void typeMismatch() { throw Error(hresult::typeMismatch, "type mismatch"); }

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
        case Kind::Int: return decimalText(asInt());
        case Kind::Double: return doubleText(asDouble());
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
            const auto parsed = parseDouble(value.asString());
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
            const std::string code = hexText(static_cast<std::uint32_t>(value.asError()));
            return L"Error " + std::wstring(code.begin(), code.end());
        }
        default: return value.toText();
    }
}

}  // namespace host
