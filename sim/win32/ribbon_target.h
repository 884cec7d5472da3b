#pragma once
// The add-in's IRibbonExtensibility as Office drives it: GetCustomUI through the interface, the
// callbacks of its XML by name through the IDispatch the add-in's object answers to QueryInterface.
#include <windows.h>
#include <oaidl.h>

#include <memory>
#include <string>

#include "com/ptr.h"
#include "sim/model/ribbon.h"
#include "sim/win32/com_host.h"

namespace sim::win32 {

// {000C0396-0000-0000-C000-000000000046}
inline constexpr GUID IID_IRibbonExtensibility = {0x000C0396, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Office's declaration: a dual interface with one method of its own.
struct IRibbonExtensibility : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR ribbonId, BSTR* ribbonXml) = 0;
};

// Where the host looks the callbacks up by name and calls them.
enum class CallbackPath {
    // As Office does: QueryInterface(IID_IDispatch) on the object that returned IRibbonExtensibility,
    // GetIDsOfNames and Invoke there. An IRibbonExtensibility whose own IDispatch knows only
    // GetCustomUI works.
    objectDispatch,
    // GetIDsOfNames and Invoke on the IRibbonExtensibility pointer itself.
    throughExtensibility,
};

// Asks the add-in's connection object for IRibbonExtensibility; null when it does not answer.
std::shared_ptr<RibbonTarget> ribbonTargetOf(ComHost& com, IUnknown* connectObject, const std::wstring& progId,
                                             CallbackPath path = CallbackPath::objectDispatch);

}  // namespace sim::win32
