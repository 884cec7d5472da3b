#pragma once
// RAII owners for COM interface pointers, BSTRs and VARIANTs, and the error helpers used at every
// COM boundary. Nothing here throws from a destructor.
#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>

#include <bit>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "host/error.h"
#include "host/guid.h"

namespace win32 {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}  // NOLINT
    // Takes a new reference to p.
    explicit ComPtr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { reset(); }

    // Adopts a reference the caller already owns.
    static ComPtr attach(T* p) {
        ComPtr result;
        result.p_ = p;
        return result;
    }
    T* detach() noexcept { return std::exchange(p_, nullptr); }
    void reset() noexcept {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    // For out-parameters: releases what is held and gives the slot.
    T** put() noexcept {
        reset();
        return &p_;
    }
    void** putVoid() noexcept { return reinterpret_cast<void**>(put()); }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    template <class U>
    HRESULT queryInterface(REFIID iid, ComPtr<U>& out) const noexcept {
        return p_ ? p_->QueryInterface(iid, out.putVoid()) : E_POINTER;
    }

private:
    T* p_ = nullptr;
};

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::wstring_view text) : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
        if (!b_) throw std::bad_alloc();
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : b_(std::exchange(other.b_, nullptr)) {}
    ~Bstr() { SysFreeString(b_); }
    BSTR get() const noexcept { return b_; }
    BSTR* put() noexcept {
        SysFreeString(std::exchange(b_, nullptr));
        return &b_;
    }
    BSTR detach() noexcept { return std::exchange(b_, nullptr); }

private:
    BSTR b_ = nullptr;
};

class UniqueVariant {
public:
    UniqueVariant() { VariantInit(&v_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    ~UniqueVariant() { VariantClear(&v_); }
    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    VARIANT* operator->() noexcept { return &v_; }

private:
    VARIANT v_;
};

inline std::wstring toWString(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }

// Throws host::Error for a failed HRESULT.
inline void check(HRESULT hr, const char* context = "") { host::throwIfFailed(static_cast<host::HResult>(hr), context); }

inline GUID toGuid(const host::Guid& g) { return std::bit_cast<GUID>(g); }
inline host::Guid fromGuid(const GUID& g) { return std::bit_cast<host::Guid>(g); }

}  // namespace win32

// At a COM boundary: turn whatever the body throws into the returned HRESULT.
#define ZELTRA_COM_BOUNDARY_BEGIN try {
#define ZELTRA_COM_BOUNDARY_END                                              \
    }                                                                         \
    catch (...) {                                                             \
        return static_cast<HRESULT>(host::hresultFromCurrentException());     \
    }
