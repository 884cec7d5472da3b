#include "addin/connect.h"

#include "host/error_mode.h"

namespace zeltra {

Connect::Connect(Component& component, HubFactory createHub)
    : component_(component), createHub_(std::move(createHub)) {}

OutAddIn& Connect::objAddIn() {
    if (!objAddIn_) objAddIn_ = createHub_();
    if (!objAddIn_) throw host::Error(host::hresult::outOfMemory, "hub not created");
    return *objAddIn_;
}

host::HResult Connect::AddinInstance_OnConnection(const host::Object& application, std::int32_t /*connectMode*/,
                                                  const host::Object& addInInst) noexcept {
    // With neither a main window nor an item window open there is nothing to follow. Both counts
    // are read; a count that cannot be read counts as no window.
    const bool noWindowOpen = host::holdsOrFailsToEvaluate([&] {
        const auto noExplorer = host::equalsInteger(application.get(L"Explorers").toObject().get(L"Count"), 0);
        const auto noInspector = host::equalsInteger(application.get(L"Inspectors").toObject().get(L"Count"), 0);
        return host::holds(host::tristateAnd(noExplorer, noInspector));
    });
    if (noWindowOpen) return host::hresult::ok;

    host::resumeNext([&] {
        const std::wstring progId = addInInst.get(L"ProgId").toText();
        const auto outlook = host::Application::from(application);
        objAddIn().AttachOutlook(outlook, progId);
    });
    return host::hresult::ok;
}

host::HResult Connect::AddinInstance_OnDisconnection(std::int32_t /*removeMode*/) noexcept {
    component_.releaseFormApplication();
    try {
        objAddIn().DetachOutlook();
    } catch (...) {
        return host::hresultFromCaughtException();
    }
    objAddIn_.reset();
    return host::hresult::ok;
}

host::HResult Connect::AddinInstance_OnStartupComplete() noexcept {
    if (!WelcomeDue(component_.modOutlook, component_.keys)) return host::hresult::ok;
    try {
        // Returns once the user has closed the welcome or followed its link; the host's events
        // are handled meanwhile, as usual.
        component_.frmAddIn().Show();
    } catch (...) {
        // Shown again at the next start.
        return host::hresultFromCaughtException();
    }
    ResetWelcome(component_.objects, component_.keys);
    return host::hresult::ok;
}

}  // namespace zeltra
