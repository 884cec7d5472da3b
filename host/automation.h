#pragma once
// The port through which the add-in reaches host automation objects. The Win32 adapter
// implements it over IDispatch; the test fakes over the in-memory Outlook model.
#include <cstdint>
#include <memory>
#include <span>

#include "host/error.h"
#include "host/object.h"
#include "host/variant.h"

namespace host {

// How a member is invoked, the way Visual Basic invokes it: a property read and a call whose result
// is used go out as DISPATCH_METHOD | DISPATCH_PROPERTYGET, so that they reach the member whether
// the host declared it a property or a method; a call made as a statement goes out as
// DISPATCH_METHOD; an assignment as DISPATCH_PROPERTYPUT, or DISPATCH_PROPERTYPUTREF for an object.
enum class InvokeKind { Statement, Value, Put, PutRef };

// One live event connection; destroying it disconnects quietly.
class EventConnection {
public:
    class Impl {
    public:
        virtual ~Impl() = default;
        // Stops delivery at once, then unadvises. Throws when the source refuses the unadvise;
        // delivery stays stopped either way. Later calls do nothing.
        virtual void disconnect() = 0;
    };

    EventConnection() = default;
    explicit EventConnection(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
    EventConnection(EventConnection&&) noexcept = default;
    EventConnection& operator=(EventConnection&& other) noexcept;
    ~EventConnection();

    bool connected() const noexcept { return impl_ != nullptr; }
    // Ends the connection; throws host::Error when the unadvise failed (the connection is
    // ended all the same).
    void disconnect();

private:
    std::unique_ptr<Impl> impl_;
};

class Automation {
public:
    virtual ~Automation() = default;  // releases the reference this object stands for

    virtual std::shared_ptr<Automation> queryInterface(const Guid& iid) = 0;
    // Another reference to the same interface (AddRef).
    virtual std::shared_ptr<Automation> duplicate() = 0;
    virtual Variant invoke(const Member& member, InvokeKind kind, std::span<const Variant> args) = 0;
    virtual std::unique_ptr<EventConnection::Impl> advise(const Guid& eventIid, EventHandler handler,
                                                          OnFailedDelivery onFailure) = 0;
    // An address standing for the object's identity (its IUnknown).
    virtual const void* identity() const = 0;
    // The window of a window object (IOleWindow::GetWindow), as a handle. Throws host::Error when
    // the object is none (E_NOINTERFACE) or cannot tell.
    virtual std::uintptr_t window() { throw Error(hresult::noInterface, "not a window object"); }
};

// Creates objects of registered classes, as a late-bound client does.
class ObjectFactory {
public:
    virtual ~ObjectFactory() = default;
    // A new object of the class, created by CLSID and queried for iid. Throws host::Error.
    virtual Object create(const Guid& clsid, const Guid& iid) = 0;
};

}  // namespace host
