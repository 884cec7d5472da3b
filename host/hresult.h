#pragma once
// HRESULT values the add-in and its hosts exchange, usable without Windows headers.
#include <cstdint>

namespace host {

using HResult = std::int32_t;

namespace hresult {
constexpr HResult ok = 0;
constexpr HResult falseResult = 1;  // S_FALSE
constexpr HResult notImplemented = static_cast<HResult>(0x80004001);
constexpr HResult noInterface = static_cast<HResult>(0x80004002);
constexpr HResult pointer = static_cast<HResult>(0x80004003);
constexpr HResult fail = static_cast<HResult>(0x80004005);
constexpr HResult unexpected = static_cast<HResult>(0x8000FFFF);
constexpr HResult outOfMemory = static_cast<HResult>(0x8007000E);
constexpr HResult invalidArg = static_cast<HResult>(0x80070057);
constexpr HResult accessDenied = static_cast<HResult>(0x80070005);
constexpr HResult unknownInterface = static_cast<HResult>(0x80020001);  // DISP_E_UNKNOWNINTERFACE
constexpr HResult memberNotFound = static_cast<HResult>(0x80020003);    // DISP_E_MEMBERNOTFOUND
constexpr HResult paramNotFound = static_cast<HResult>(0x80020004);     // DISP_E_PARAMNOTFOUND
constexpr HResult typeMismatch = static_cast<HResult>(0x80020005);      // DISP_E_TYPEMISMATCH
constexpr HResult unknownName = static_cast<HResult>(0x80020006);       // DISP_E_UNKNOWNNAME
constexpr HResult badParamCount = static_cast<HResult>(0x8002000E);     // DISP_E_BADPARAMCOUNT
constexpr HResult noNamedArgs = static_cast<HResult>(0x80020007);       // DISP_E_NONAMEDARGS
constexpr HResult paramNotOptional = static_cast<HResult>(0x8002000F);  // DISP_E_PARAMNOTOPTIONAL
// How the type-library functions report a registry they may not write.
constexpr HResult typeLibRegistryAccess = static_cast<HResult>(0x8002801C);  // TYPE_E_REGISTRYACCESS
constexpr HResult exception = static_cast<HResult>(0x80020009);         // DISP_E_EXCEPTION
constexpr HResult noConnection = static_cast<HResult>(0x80040200);      // CONNECT_E_NOCONNECTION
constexpr HResult cannotConnect = static_cast<HResult>(0x80040202);     // CONNECT_E_CANNOTCONNECT
constexpr HResult noAggregation = static_cast<HResult>(0x80040110);     // CLASS_E_NOAGGREGATION
constexpr HResult classNotAvailable = static_cast<HResult>(0x80040111); // CLASS_E_CLASSNOTAVAILABLE
// A reference that holds no object was used ("object variable not set").
constexpr HResult objectNotSet = static_cast<HResult>(0x800A005B);
// Null used where a value was required ("invalid use of Null").
constexpr HResult invalidUseOfNull = static_cast<HResult>(0x800A005E);
constexpr HResult clipboardCannotOpen = static_cast<HResult>(0x800401D0);  // CLIPBRD_E_CANT_OPEN
// Ours (the customer bit set): the clipboard holds what cannot all be saved, so it is left alone:
// a format only its owner's data object gives ("FileContents"), an owner-drawn or private-handle
// format, one past the size limit or one that cannot be read, or saving took longer than its budget.
constexpr HResult clipboardNotSaved = static_cast<HResult>(0xA0040001);
}  // namespace hresult

constexpr bool failed(HResult hr) { return hr < 0; }
constexpr bool succeeded(HResult hr) { return hr >= 0; }

}  // namespace host
