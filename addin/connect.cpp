#include "addin/connect.h"

#include <utility>

#include "host/error_mode.h"

namespace zeltra {

namespace {

// How the host connects and disconnects the add-in (ext_ConnectMode, ext_DisconnectMode).
constexpr std::int32_t connectedAfterStartup = 0;  // ext_cm_AfterStartup: the user ticked it in the COM Add-ins dialog

// The major version of "16.0.0.5000".
int majorVersion(const std::wstring& version) {
    int major = 0;
    for (const wchar_t c : version) {
        if (c < L'0' || c > L'9' || major > 1000) break;
        major = major * 10 + (c - L'0');
    }
    return major;
}

void showWelcome(Component& component);

// The welcome waits for a capture that is running: its window would take the focus the copy goes to.
void postWelcome(Component& component) {
    component.desktop.postTask([&component] { showWelcome(component); });
}

void showWelcome(Component& component) {
    // The add-in may have been disconnected before the thread came to this.
    if (!component.connected()) return;
    if (component.captures.capturing()) {
        component.captures.whenNotCapturing([&component] { postWelcome(component); });
        return;
    }
    try {
        // Modal to Outlook's active window, as a dialog box is. Returns once the user has closed the
        // welcome or followed its link (or the add-in was disconnected meanwhile); the host's
        // events are handled meanwhile, as usual.
        component.frmAddIn().Show(component.outlookWindow());
    } catch (...) {
        return;  // shown again at the next start
    }
    ResetWelcome(component.modOutlook, component.objects, component.keys);
}

}  // namespace

Connect::Connect(Component& component, HubFactory createHub)
    : component_(component), createHub_(std::move(createHub)) {}

Connect::~Connect() {
    if (!connected_) return;
    connected_ = false;
    // The hub lets go of everything it holds as it goes, unless a handler of its own is still
    // running further up the stack: then it does so as that returns.
    objAddIn_.reset();
    component_.connectionEnded();
}

OutAddIn& Connect::objAddIn() {
    if (!objAddIn_) objAddIn_ = createHub_();
    if (!objAddIn_) throw host::Error(host::hresult::outOfMemory, "hub not created");
    return *objAddIn_;
}

host::HResult Connect::AddinInstance_OnConnection(const host::Object& application, std::int32_t connectMode,
                                                  const host::Object& addInInst) noexcept {
    if (!connected_) {
        connected_ = true;
        component_.connectionStarted();
    }
    // Outlook 2007 and later serve the add-in's ribbon (the XML differs by version) instead of
    // command bars in item windows.
    host::resumeNext([&] { component_.outlookVersion = majorVersion(application.get(L"Version").toText()); });
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
    // Connected while Outlook runs: the item windows already open get their buttons, which
    // would otherwise stay dead until a new window opens.
    if (connectMode == connectedAfterStartup && objAddIn_) objAddIn_->CheckOpenInspectors();
    return host::hresult::ok;
}

host::HResult Connect::AddinInstance_OnDisconnection(std::int32_t /*removeMode*/) noexcept {
    host::HResult result = host::hresult::ok;
    try {
        objAddIn().DetachOutlook();
        objAddIn_.reset();
    } catch (...) {
        result = host::hresultFromCaughtException();
    }
    endConnection();
    return result;
}

void Connect::endConnection() noexcept {
    if (!std::exchange(connected_, false)) return;
    component_.connectionEnded();
}

host::HResult Connect::AddinInstance_OnStartupComplete() noexcept try {
    if (!WelcomeDue(component_.modOutlook, component_.keys)) return host::hresult::ok;
    // Outlook times its start-up and the other add-ins wait for this call: the welcome shows
    // from the thread's message loop once it has returned.
    postWelcome(component_);
    return host::hresult::ok;
} catch (...) {
    return host::hresultFromCaughtException();
}

}  // namespace zeltra
