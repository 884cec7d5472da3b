#pragma once
// The real adapter of the automation port: host::Object over IDispatch interface pointers.
// Members are called late-bound, by name (DISPIDs looked up once per reference) or by DISPID;
// events arrive through connection-point sinks that call the handler by DISPID.
#include <windows.h>
#include <oaidl.h>

#include "host/automation.h"
#include "host/win32/guid.h"

namespace win32 {

// A new reference to dispatch as a host object; null gives Nothing.
host::Object wrapDispatch(IDispatch* dispatch);

// The IDispatch behind a host object made by wrapDispatch (no new reference), or null.
IDispatch* dispatchOf(const host::Object& object) noexcept;

// Creates objects by CLSID as a late-bound client does: in-process or local server.
class ComObjectFactory final : public host::ObjectFactory {
public:
    host::Object create(const host::Guid& clsid, const host::Guid& iid) override;
};

// Conversions between VARIANT and the port's Variant. toVariant writes into an initialised,
// empty VARIANT, which owns the result; on failure it stays empty.
host::Variant fromVariant(const VARIANT& value);
void toVariant(const host::Variant& value, VARIANT& out);

}  // namespace win32
