#include <vector>

#include "host/automation.h"
#include "host/number_text.h"

namespace host {

std::wstring Member::describe() const {
    return byId_ ? L"DISPID " + decimalText(id_) : name_;
}

// Each call keeps its own reference to the adapter: a handler running inside the call may empty
// the handle that the call was made through.
std::shared_ptr<Automation> Object::checked() const {
    if (!impl_) throw Error(hresult::objectNotSet, "object reference not set");
    return impl_;
}

Object Object::queryInterface(const Guid& iid) const {
    if (!impl_) return {};
    return Object(checked()->queryInterface(iid));
}

Object Object::newReference() const {
    if (!impl_) return {};
    return Object(checked()->duplicate());
}

Variant Object::get(const Member& member, std::initializer_list<Variant> args) const {
    return checked()->invoke(member, InvokeKind::Value, std::span<const Variant>(args.begin(), args.size()));
}

void Object::call(const Member& member, std::initializer_list<Variant> args) const {
    checked()->invoke(member, InvokeKind::Statement, std::span<const Variant>(args.begin(), args.size()));
}

void Object::put(const Member& member, const Variant& value) const {
    const InvokeKind kind = value.kind() == Variant::Kind::Object ? InvokeKind::PutRef : InvokeKind::Put;
    checked()->invoke(member, kind, std::span<const Variant>(&value, 1));
}

void Object::putObjectByValue(const Member& member, const Object& value) const {
    const Variant object(value);
    checked()->invoke(member, InvokeKind::Put, std::span<const Variant>(&object, 1));
}

EventConnection Object::connect(const Guid& eventIid, EventHandler handler, OnFailedDelivery onFailure) const {
    return EventConnection(checked()->advise(eventIid, std::move(handler), onFailure));
}

bool Object::isSameObject(const Object& other) const {
    if (!impl_ || !other.impl_) return !impl_ && !other.impl_;
    return impl_->identity() == other.impl_->identity();
}

std::uintptr_t Object::window() const { return checked()->window(); }

EventConnection& EventConnection::operator=(EventConnection&& other) noexcept {
    if (this != &other) {
        EventConnection old(std::move(*this));
        impl_ = std::move(other.impl_);
    }
    return *this;
}

EventConnection::~EventConnection() {
    if (!impl_) return;
    try {
        impl_->disconnect();
    } catch (...) {
        // Destruction cannot report; delivery is stopped whether or not the source agreed.
    }
}

void EventConnection::disconnect() {
    const auto impl = std::move(impl_);
    if (impl) impl->disconnect();
}

}  // namespace host
