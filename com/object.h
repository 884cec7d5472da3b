#pragma once
// The base of the library's COM classes: reference counting that keeps the library loaded while
// the object lives, and QueryInterface driven by a table of the interfaces the class answers.
//
//     class Sink final : public com::Object<Sink, IDispatch> {
//     public:
//         static std::span<const com::InterfaceEntry<Sink>> interfaces() noexcept {
//             static constexpr com::InterfaceEntry<Sink> table[] = {
//                 com::interfaceEntry<Sink, IDispatch>(IID_IDispatch)};
//             return table;
//         }
//     };
//
// IID_IUnknown answers the first entry, whose pointer is the object's identity. Objects are
// created with a reference count of one, owned by whoever created them.
#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <span>

#include "com/module.h"

namespace com {

template <class Class>
struct InterfaceEntry {
    const IID* iid;
    IUnknown* (*reach)(Class* object) noexcept;
};

// An entry for an interface the class derives from.
template <class Class, class Interface>
constexpr InterfaceEntry<Class> interfaceEntry(const IID& iid) noexcept {
    return {&iid, [](Class* object) noexcept -> IUnknown* { return static_cast<Interface*>(object); }};
}

template <class Class>
[[nodiscard]] HRESULT queryInterfaceFromTable(Class* object, std::span<const InterfaceEntry<Class>> table, REFIID iid,
                                              void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (table.empty()) return E_NOINTERFACE;
    for (const InterfaceEntry<Class>& entry : table) {
        if (iid == *entry.iid || (iid == IID_IUnknown && &entry == &table.front())) {
            IUnknown* answer = entry.reach(object);
            answer->AddRef();
            *out = answer;
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}

template <class Class, class... Interfaces>
class Object : public Interfaces... {
public:
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
        return queryInterfaceFromTable(static_cast<Class*>(this), Class::interfaces(), iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const ULONG left = --refs_;
        if (left == 0) delete static_cast<Class*>(this);
        return left;
    }

protected:
    // The class befriends its base so that only Release destroys it: `friend ObjectBase;`.
    using ObjectBase = Object;
    Object() noexcept = default;
    ~Object() = default;

private:
    std::atomic<ULONG> refs_{1};
    ModuleObject counted_;
};

}  // namespace com
