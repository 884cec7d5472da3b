#pragma once
// A reference to a host object together with a connection to the object's events: assigning an
// object connects to its event source, assigning another object or Nothing disconnects the
// previous one, and destruction disconnects and releases.
#include <utility>

#include "host/automation.h"

namespace zeltra {

template <class T>
class EventBound {
public:
    explicit EventBound(const host::Guid& eventIid) : eventIid_(eventIid) {}
    EventBound(const EventBound&) = delete;
    EventBound& operator=(const EventBound&) = delete;

    // Set once, before the first assignment.
    void setHandler(host::EventHandler handler) { handler_ = std::move(handler); }

    // Stores the object as T (QueryInterface) and connects to its events. Throws when either
    // fails, leaving the member as it was. Then ends the previous connection; if the previous
    // source refuses the unadvise, the assignment stands and the failure is raised.
    void assign(const host::Object& object) { take(T::from(object)); }
    // The same for an object already of type T: a reference of its own, no QueryInterface.
    void assign(const T& typed) { take(typed.newReference()); }

    // Empties the member: disconnects, then releases. Throws when the source refuses the
    // unadvise; the member is empty all the same.
    void clear() {
        const T previous = std::exchange(object_, T{});
        host::EventConnection previousConnection = std::move(connection_);
        previousConnection.disconnect();
    }

    const T& get() const noexcept { return object_; }
    bool isNothing() const noexcept { return object_.isNothing(); }
    bool connected() const noexcept { return connection_.connected(); }

private:
    void take(T typed) {
        if (typed.isNothing()) {
            clear();
            return;
        }
        host::EventConnection connection = typed.object().connect(eventIid_, handler_);
        T previous = std::exchange(object_, std::move(typed));
        host::EventConnection previousConnection = std::exchange(connection_, std::move(connection));
        previousConnection.disconnect();
    }

    host::Guid eventIid_;
    host::EventHandler handler_;
    T object_;                        // declared before the connection: the connection ends first
    host::EventConnection connection_;
};

}  // namespace zeltra
