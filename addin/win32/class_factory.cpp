#include "addin/win32/class_factory.h"

#include "DODuruda_Vored_h.h"
#include "addin/win32/apartment.h"
#include "addin/win32/com_object.h"
#include "addin/win32/connect_object.h"
#include "hub/win32/out_addin_object.h"

namespace zeltra::com {
namespace {

struct CreatableClass {
    const CLSID* clsid;
    HRESULT (*create)(ModOutlook& module, REFIID iid, void** out) noexcept;
};

constexpr CreatableClass creatableClasses[] = {
    {&CLSID_Connect, &ConnectObject::createInstance},
    {&CLSID_OutAddIn, &OutAddInObject::createInstance},
};

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(const CreatableClass& entry) : entry_(entry) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.addRef(); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = refs_.release();
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        ZELTRA_COM_BOUNDARY_BEGIN
        // The apartment's start-up routine runs before its first object exists.
        ModOutlook& module = apartmentModule(&Main);
        return entry_.create(module, iid, out);
        ZELTRA_COM_BOUNDARY_END
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lockServer(lock != FALSE);
        return S_OK;
    }

private:
    ~ClassFactory() = default;
    const CreatableClass& entry_;
    RefCount refs_;
};

}  // namespace

HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const auto& entry : creatableClasses) {
        if (*entry.clsid != clsid) continue;
        ZELTRA_COM_BOUNDARY_BEGIN
        const auto factory = win32::ComPtr<ClassFactory>::attach(new ClassFactory(entry));
        return factory->QueryInterface(iid, out);
        ZELTRA_COM_BOUNDARY_END
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace zeltra::com
