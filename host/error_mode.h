#pragma once
// The two error modes of the add-in's procedures.
//
// "No trap": a failure ends the procedure and passes to its caller. That is plain C++: let
// host::Error propagate.
//
// "Resume next": a failing step is abandoned silently and execution goes on with the next step;
// when the failing step is the condition of a test, execution goes on inside the test's body.
// Procedures in that mode run each step through these helpers instead of writing try/catch.
#include <optional>
#include <utility>

namespace host {

template <class Step>
void resumeNext(Step&& step) noexcept {
    try {
        std::forward<Step>(step)();
    } catch (...) {
    }
}

// True when the condition holds, and also when evaluating it failed.
template <class Condition>
bool holdsOrFailsToEvaluate(Condition&& condition) noexcept {
    try {
        return std::forward<Condition>(condition)();
    } catch (...) {
        return true;
    }
}

// Automation's three-valued logic: a comparison with Null gives Null, and an If on Null takes
// the Else branch.
using Tristate = std::optional<bool>;

constexpr Tristate tristateAnd(Tristate a, Tristate b) {
    if (a == false || b == false) return false;
    if (!a || !b) return std::nullopt;
    return true;
}

constexpr bool holds(Tristate t) { return t.value_or(false); }

}  // namespace host
