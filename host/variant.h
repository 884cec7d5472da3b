#pragma once
// The subset of OLE Automation's VARIANT that crosses between the add-in and its host, with
// Automation's comparison and string conversion rules.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "host/hresult.h"
#include "host/object.h"

namespace host {

class Variant {
public:
    enum class Kind { Empty, Null, Bool, Int, Double, String, Object, Error };

    Variant() = default;
    Variant(bool value) : value_(value) {}                    // NOLINT: literal conversions read well
    Variant(std::int32_t value) : value_(value) {}            // NOLINT
    Variant(double value) : value_(value) {}                  // NOLINT
    Variant(std::wstring value) : value_(std::move(value)) {} // NOLINT
    Variant(std::wstring_view value) : value_(std::wstring(value)) {}  // NOLINT
    Variant(const wchar_t* value) : value_(std::wstring(value)) {}     // NOLINT
    Variant(Object value) : value_(std::move(value)) {}       // NOLINT

    static Variant null() { return Variant(NullTag{}); }
    static Variant error(HResult code) { return Variant(ErrorTag{code}); }
    // An optional argument left out of a call.
    static Variant missing() { return error(hresult::paramNotFound); }

    Kind kind() const { return static_cast<Kind>(value_.index()); }
    bool isEmpty() const { return kind() == Kind::Empty; }
    bool isNull() const { return kind() == Kind::Null; }

    // Typed access; each throws host::Error(typeMismatch) when the kind does not fit.
    bool asBool() const;
    std::int32_t asInt() const;
    double asDouble() const;
    const std::wstring& asString() const;
    HResult asError() const;
    // An object result. Empty counts as Nothing, as a host returning no object may leave it.
    Object toObject() const;

    // The standard VARIANT-to-string conversion: numbers in decimal, booleans as "True" and
    // "False", Empty as "". Null and objects do not convert.
    std::wstring toText() const;

    // Same kind and value; objects compare by COM identity.
    friend bool operator==(const Variant& a, const Variant& b);

private:
    struct NullTag {};
    struct ErrorTag {
        HResult code;
    };
    explicit Variant(NullTag tag) : value_(tag) {}
    explicit Variant(ErrorTag tag) : value_(tag) {}

    std::variant<std::monostate, NullTag, bool, std::int32_t, double, std::wstring, Object, ErrorTag> value_;
};

// Automation's comparison of a Variant with an integer constant (Count = 0, Class = 43):
// numbers compare numerically, a string compares by its numeric value and Empty counts as 0.
// Returns -1, 0 or 1; nothing when the Variant is Null. Throws host::Error(typeMismatch) for a
// string that is not a number, an object or an error value.
std::optional<int> compareWithInteger(const Variant& value, std::int64_t number);

inline std::optional<bool> equalsInteger(const Variant& value, std::int64_t number) {
    const auto c = compareWithInteger(value, number);
    return c ? std::optional<bool>(*c == 0) : std::nullopt;
}

inline std::optional<bool> lessOrEqualInteger(const Variant& value, std::int64_t number) {
    const auto c = compareWithInteger(value, number);
    return c ? std::optional<bool>(*c <= 0) : std::nullopt;
}

std::wstring describe(const Variant& value);  // for traces and test messages

}  // namespace host
