#pragma once
// Components other than Outlook that the add-in drives late-bound.
#include <string_view>

#include "host/iids.h"
#include "host/typed.h"

namespace host {

// The WebBrowser control, reached through IDispatch.
class WebBrowser {
public:
    explicit WebBrowser(Object control) : control_(std::move(control)) {}
    // Navigate(URL) by DISPID with the address alone; the other arguments are not passed.
    void navigate(std::wstring_view address) const { control_.call(DispId{dispid::Navigate}, {Variant(address)}); }
    // Silent: the control shows no dialog of its own (script errors among them).
    void setSilent(bool silent) const { control_.put(DispId{dispid::Silent}, Variant(silent)); }

private:
    Object control_;
};

// The Windows Script Host shell object, for the registry.
class WshShell : public TypedObject<WshShell> {
public:
    static constexpr const Guid& interfaceId = iid::IWshShell3;
    Variant regRead(std::wstring_view name) const { return object_.get(L"RegRead", {Variant(name)}); }
    // RegWrite(Name, Value, Type) with Type left out: a string value.
    void regWrite(std::wstring_view name, const Variant& value) const {
        object_.call(L"RegWrite", {Variant(name), value, Variant::missing()});
    }
};

}  // namespace host
