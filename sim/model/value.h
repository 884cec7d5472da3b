#pragma once
// Values that cross the simulated host's members and events.
#include <cstdint>
#include <string>
#include <variant>

namespace sim {

class Node;

struct Missing {  // an optional argument the caller left out
    friend bool operator==(Missing, Missing) = default;
};

// Empty, a boolean, a 32-bit integer, a double, a string, an object (null is Nothing) or a
// missing argument.
using Value = std::variant<std::monostate, bool, std::int32_t, double, std::wstring, Node*, Missing>;

std::wstring describe(const Value& value);

}  // namespace sim
