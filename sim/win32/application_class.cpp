#include "sim/win32/application_class.h"

#include <unknwn.h>

#include "com/ptr.h"
#include "host/iids.h"
#include "host/win32/guid.h"

namespace sim::win32 {

// Lives as long as the registration; COM's references to it are not the model's to count.
class ApplicationClassRegistration::Factory final : public IClassFactory {
public:
    explicit Factory(ComHost& host) : host_(host) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return 2; }
    ULONG STDMETHODCALLTYPE Release() noexcept override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        Model& model = host_.model();
        if (GetCurrentThreadId() != thread_) {
            model.recordFault(L"Outlook.Application created on thread " + std::to_wstring(GetCurrentThreadId()));
            return RPC_E_WRONG_THREAD;
        }
        model.trace(TraceEntry::Type::AddInCall, L"CoCreateInstance(Outlook.Application)");
        const auto application = com::ComPtr<IDispatch>::attach(host_.dispatchFor(&model.application()));
        return application->QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) noexcept override { return S_OK; }

private:
    ComHost& host_;
    DWORD thread_ = GetCurrentThreadId();
};

ApplicationClassRegistration::ApplicationClassRegistration(ComHost& host) : factory_(new Factory(host)) {
    if (FAILED(CoRegisterClassObject(::win32::toGuid(host::iid::OutlookApplicationClass), factory_,
                                     CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie_)))
        cookie_ = 0;
}

ApplicationClassRegistration::~ApplicationClassRegistration() {
    if (cookie_) CoRevokeClassObject(cookie_);
    delete factory_;
}

}  // namespace sim::win32
