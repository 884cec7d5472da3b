#pragma once
// DllGetClassObject over a table of the library's creatable classes: one class object type serves
// them all, and each class object counts as a live object of the library.
#include <windows.h>

#include <span>

namespace com {

struct CreatableClass {
    const CLSID* clsid;
    // Creates an instance and queries it for iid; *out is null on failure.
    HRESULT (*create)(REFIID iid, void** out) noexcept;
};

// The class object for clsid, queried for iid; CLASS_E_CLASSNOTAVAILABLE for a CLSID not in the table.
[[nodiscard]] HRESULT getClassObject(std::span<const CreatableClass> classes, REFCLSID clsid, REFIID iid,
                                     void** out) noexcept;

}  // namespace com
