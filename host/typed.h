#pragma once
// Base of the typed host references. Storing an object into one performs QueryInterface for the
// reference's interface; a failed QueryInterface raises host::Error like a failed call.
#include "host/automation.h"

namespace host {

template <class Self>
class TypedObject {
public:
    TypedObject() = default;

    static Self from(const Object& object) {
        Self typed;
        typed.object_ = object.queryInterface(Self::interfaceId);
        return typed;
    }
    static Self from(const Variant& value) { return from(value.toObject()); }

    // A reference of its own to the same interface: no QueryInterface, the type is known.
    Self newReference() const {
        Self typed;
        typed.object_ = object_.newReference();
        return typed;
    }

    bool isNothing() const noexcept { return object_.isNothing(); }
    explicit operator bool() const noexcept { return !isNothing(); }
    const Object& object() const noexcept { return object_; }

protected:
    Object object_;
};

}  // namespace host
