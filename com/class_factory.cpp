#include "com/class_factory.h"

#include "com/boundary.h"
#include "com/object.h"
#include "com/ptr.h"

namespace com {
namespace {

class ClassFactory final : public Object<ClassFactory, IClassFactory> {
public:
    explicit ClassFactory(const CreatableClass& entry) noexcept : entry_(entry) {}

    static std::span<const InterfaceEntry<ClassFactory>> interfaces() noexcept {
        static constexpr InterfaceEntry<ClassFactory> table[] = {
            interfaceEntry<ClassFactory, IClassFactory>(IID_IClassFactory)};
        return table;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return entry_.create(iid, out);
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override {
        lockServer(lock != FALSE);
        return S_OK;
    }

private:
    friend ObjectBase;
    ~ClassFactory() = default;
    const CreatableClass& entry_;
};

}  // namespace

HRESULT getClassObject(std::span<const CreatableClass> classes, REFCLSID clsid, REFIID iid, void** out) noexcept try {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const CreatableClass& entry : classes) {
        if (*entry.clsid != clsid) continue;
        const auto factory = ComPtr<ClassFactory>::attach(new ClassFactory(entry));
        return factory->QueryInterface(iid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
} catch (...) {
    return hresultFromCaughtException();
}

}  // namespace com
