#pragma once
// A handle to one host automation object: a counted reference to an interface of that object.
// Copies share the reference; the reference is released when the last copy goes. An empty
// handle is Automation's Nothing.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "host/guid.h"

namespace host {

class Automation;
class EventConnection;
class Variant;

struct DispId {
    std::int32_t value;
};

// A member named for a late-bound call: by name (looked up through IDispatch) or by DISPID.
class Member {
public:
    Member(std::wstring_view name) : name_(name) {}  // NOLINT: names read naturally at call sites
    Member(const wchar_t* name) : name_(name) {}     // NOLINT
    Member(DispId id) : id_(id.value), byId_(true) {}  // NOLINT
    bool byId() const { return byId_; }
    const std::wstring& name() const { return name_; }
    std::int32_t id() const { return id_; }
    std::wstring describe() const;

private:
    std::wstring name_;
    std::int32_t id_ = 0;
    bool byId_ = false;
};

// Called for every event that arrives on a connection: the DISPID and the arguments in their
// declared order. By-reference arguments may be changed; the adapter writes them back.
using EventHandler = std::function<void(std::int32_t dispid, std::span<Variant> args)>;

// What a connection does with an event it could not deliver: one with an argument that cannot be
// converted (its handler is not run), or whose handler threw. Either way the failure goes back to
// the source as the sink's result.
enum class OnFailedDelivery {
    Report,  // nothing more
    // The event is also cancelled: every Boolean argument passed by reference (VT_BYREF|VT_BOOL, or
    // VT_BYREF|VT_VARIANT holding a Boolean) is set to True. For a guard whose events carry no such
    // argument but their Cancel, so that a failure fails closed.
    Cancel,
};

class Object {
public:
    Object() = default;
    explicit Object(std::shared_ptr<Automation> impl) : impl_(std::move(impl)) {}

    bool isNothing() const noexcept { return !impl_; }
    explicit operator bool() const noexcept { return impl_ != nullptr; }

    // QueryInterface for iid, as a new reference; Nothing stays Nothing. Throws on failure.
    Object queryInterface(const Guid& iid) const;
    // A reference of its own to the same interface, without asking the object anything.
    Object newReference() const;

    // A value: a property, or the result of a function. The arguments go in their declared order.
    Variant get(const Member& member, std::initializer_list<Variant> args = {}) const;
    // A method called as a statement; whatever it returns is discarded.
    void call(const Member& member, std::initializer_list<Variant> args = {}) const;
    // Assigns a property; an object value is assigned by reference.
    void put(const Member& member, const Variant& value) const;
    // Assigns an object to a property declared to take it by value (propput, no Set in Visual
    // Basic), as Office declares CommandBarButton.Picture and .Mask.
    void putObjectByValue(const Member& member, const Object& value) const;

    // Connects handler to the object's connection point for eventIid.
    EventConnection connect(const Guid& eventIid, EventHandler handler,
                            OnFailedDelivery onFailure = OnFailedDelivery::Report) const;

    // COM identity: true when both handles reach the same object, whatever the interface.
    bool isSameObject(const Object& other) const;

    // The handle of the object's window, for a window object (an Explorer, an Inspector: their
    // IOleWindow). Throws when it is none or cannot tell.
    std::uintptr_t window() const;

    Automation* automation() const noexcept { return impl_.get(); }

private:
    std::shared_ptr<Automation> checked() const;
    std::shared_ptr<Automation> impl_;
};

}  // namespace host
