// The shared COM layer's rules: what a failure becomes at the boundary, and the table-driven
// QueryInterface of the library's objects.
#include <gtest/gtest.h>

#include <new>

#include "com/boundary.h"
#include "com/object.h"
#include "com/ptr.h"
#include "host/error.h"

namespace {

template <class Throw>
HRESULT boundary(Throw raise) noexcept try {
    raise();
    return S_OK;
} catch (...) {
    return com::hresultFromCaughtException();
}

TEST(ComBoundary, TurnsEveryExceptionIntoAnHresult) {
    EXPECT_EQ(boundary([] { throw host::Error(E_ACCESSDENIED); }), E_ACCESSDENIED);
    EXPECT_EQ(boundary([] { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(boundary([] { throw 42; }), E_UNEXPECTED);
    EXPECT_EQ(boundary([] { com::throwIfFailed(S_FALSE, "success is not thrown"); }), S_OK);
}

constexpr wchar_t throwingClass[] = L"ZeltraTestThrowingWindow";
UINT throwOn = 0;

LRESULT CALLBACK throwingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept try {
    if (message == throwOn) throw std::bad_alloc();
    return DefWindowProcW(window, message, wParam, lParam);
} catch (...) {
    return com::lresultFromCaughtException(window, message, wParam, lParam);
}

TEST(ComBoundary, AWindowProcedureThatThrowsRefusesCreationAndOtherwiseFallsBackToTheDefault) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &throwingProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = throwingClass;
    RegisterClassW(&windowClass);

    throwOn = WM_CREATE;
    EXPECT_EQ(CreateWindowW(throwingClass, L"refused", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);

    throwOn = WM_GETTEXT;
    HWND window = CreateWindowW(throwingClass, L"kept", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    wchar_t text[16] = {};
    EXPECT_EQ(SendMessageW(window, WM_GETTEXT, 16, reinterpret_cast<LPARAM>(text)), 4);
    EXPECT_STREQ(text, L"kept");
    DestroyWindow(window);
    UnregisterClassW(throwingClass, GetModuleHandleW(nullptr));
}

// An object with two interfaces; its identity is the first entry.
class Probe final : public com::Object<Probe, IPersist, IClassFactory> {
public:
    static std::span<const com::InterfaceEntry<Probe>> interfaces() noexcept {
        static constexpr com::InterfaceEntry<Probe> table[] = {
            com::interfaceEntry<Probe, IPersist>(IID_IPersist),
            com::interfaceEntry<Probe, IClassFactory>(IID_IClassFactory),
        };
        return table;
    }
    static inline int destroyed = 0;

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) noexcept override {
        *id = CLSID_NULL;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void**) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) noexcept override { return E_NOTIMPL; }

private:
    friend ObjectBase;
    ~Probe() { ++destroyed; }
};

TEST(ComObject, AnswersItsTableWithOneIdentityAndKeepsTheModuleLoadedWhileAlive) {
    ASSERT_TRUE(com::canUnload());
    Probe::destroyed = 0;
    auto probe = com::ComPtr<IPersist>::attach(new Probe);
    EXPECT_FALSE(com::canUnload());

    com::ComPtr<IUnknown> identity;
    ASSERT_EQ(probe->QueryInterface(IID_IUnknown, identity.putVoid()), S_OK);
    EXPECT_EQ(identity.get(), static_cast<IUnknown*>(probe.get()));
    com::ComPtr<IClassFactory> factory;
    ASSERT_EQ(probe->QueryInterface(IID_IClassFactory, factory.putVoid()), S_OK);
    EXPECT_NE(static_cast<void*>(factory.get()), static_cast<void*>(probe.get()));
    com::ComPtr<IUnknown> identityAgain;
    ASSERT_EQ(factory->QueryInterface(IID_IUnknown, identityAgain.putVoid()), S_OK);
    EXPECT_EQ(identityAgain.get(), identity.get());

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(probe->QueryInterface(IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(probe->QueryInterface(IID_IPersist, nullptr), E_POINTER);

    identity.reset();
    identityAgain.reset();
    factory.reset();
    EXPECT_EQ(Probe::destroyed, 0);
    probe.reset();
    EXPECT_EQ(Probe::destroyed, 1);
    EXPECT_TRUE(com::canUnload());
}

}  // namespace
