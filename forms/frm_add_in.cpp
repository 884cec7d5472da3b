#include "forms/frm_add_in.h"

#include "forms/navigation.h"
#include "host/components.h"
#include "host/error.h"
#include "host/error_mode.h"
#include "host/hresult.h"
#include "host/iids.h"
#include "modules/component.h"
#include "modules/get_corvane.h"

namespace zeltra {
namespace {

constexpr std::uint32_t white = 0xFFFFFF;
constexpr std::uint32_t blue = 0xFF0000;  // 0x00BBGGRR

}  // namespace

void FrmAddIn::DoIt(SelectionSource& source, std::function<void()> then) {
    source.readSelection([&module = component_.modOutlook, then = std::move(then)](std::wstring selection) {
        module.strSelection = std::move(selection);
        if (then) then();
    });
}

void FrmAddIn::Unload() noexcept {
    Form_Unload();
    if (const std::shared_ptr<FormWindow> window = std::move(window_)) window->unload();
}

FormWindow& FrmAddIn::loaded() {
    if (!isLoaded()) {
        browserEvents_ = host::EventConnection();
        browser_ = host::Object();
        if (const std::shared_ptr<FormWindow> closed = std::move(window_)) closed->unload();
        std::shared_ptr<FormWindow> window = load_(*this);
        if (!window) throw host::Error(host::hresult::outOfMemory, "form not loaded");
        // Without its guard the control is not used at all. The window is hidden: nothing it
        // would show (a script error box) may appear, and a navigation the guard could not judge
        // (an argument it cannot read, such as a form's posted bytes) is cancelled.
        host::Object browser = window->webBrowser1();
        host::WebBrowser(browser).setSilent(true);
        browserEvents_ = browser.connect(
            host::iid::DWebBrowserEvents2,
            [this](std::int32_t dispid, std::span<host::Variant> args) {
                if (dispid == host::dispid::BeforeNavigate2 && args.size() == 7)
                    WebBrowser1_BeforeNavigate2(args[0], args[1], args[6]);
                else if (dispid == host::dispid::NewWindow3 && args.size() == 5)
                    WebBrowser1_NewWindow3(args[1], args[4]);
            },
            host::OnFailedDelivery::Cancel);
        browser_ = std::move(browser);
        window_ = std::move(window);
    }
    return *window_;
}

// The control goes with the window: its events are given up while it is still there, so that it
// holds no sink of the library once the window has gone.
void FrmAddIn::Form_Unload() {
    browserEvents_ = host::EventConnection();
    browser_ = host::Object();
}

void FrmAddIn::WebBrowser1_BeforeNavigate2(const host::Variant& frame, const host::Variant& url, host::Variant& cancel) {
    const bool topFrame = frame.kind() == host::Variant::Kind::Object && frame.toObject().isSameObject(browser_);
    const std::wstring address = url.kind() == host::Variant::Kind::String ? url.asString() : std::wstring();
    const Navigation verdict = judgeNavigation(address, component_.modOutlook.strRedirPage, false);
    if (verdict == Navigation::Allow && topFrame) return;
    cancel = host::Variant(true);
    if (verdict == Navigation::HandOff && topFrame) component_.desktop.openWithShell(address);
}

void FrmAddIn::WebBrowser1_NewWindow3(host::Variant& cancel, const host::Variant& url) {
    cancel = host::Variant(true);
    const std::wstring address = url.kind() == host::Variant::Kind::String ? url.asString() : std::wstring();
    if (judgeNavigation(address, component_.modOutlook.strRedirPage, true) == Navigation::HandOff)
        component_.desktop.openWithShell(address);
}

// The link label keeps its hover look until the pointer reaches the form's own surface: moving
// straight onto another control leaves it as it is.
void FrmAddIn::Form_MouseMove() {
    loaded().setText1FontUnderline(false);
    loaded().setText1ForeColor(white);
}

void FrmAddIn::Text1_MouseMove() {
    loaded().setText1FontUnderline(true);
    loaded().setText1ForeColor(blue);
}

void FrmAddIn::Text1_Click() {
    std::wstring page = versionPage();
    OpenURL(component_.desktop, page);
    // The shell may run messages meanwhile, in which the form can be unloaded: nothing to hide then.
    if (isLoaded()) window_->hide();
}

void FrmAddIn::OKButton_Click() {
    const ModOutlook& module = component_.modOutlook;
    constexpr std::uint32_t okOnly = 0;
    component_.desktop.messageBox(L"URL: " + module.strRedirPage + L"\r\nTest: " + module.strSelection, okOnly,
                                  applicationTitle);
}

void FrmAddIn::GetNow_Click() {
    if (component_.modOutlook.strRedirPage.empty()) {
        ShowInstallError(component_.desktop);
        return;
    }
    host::Inspector inspector = component_.formApplication().activeInspector();
    // Without an item window there is nothing to capture from.
    if (inspector.isNothing()) return;
    inspector.activate();
    // Activate runs the host's messages: the add-in may have been disconnected meanwhile. Word's
    // selection is read through the application Outlook trusts (the form's own object is not);
    // any other editor copies its selection itself.
    if (!component_.connected()) return;
    host::Object document;
    if (!component_.modOutlook.objApp.isNothing())
        host::resumeNext([&] { document = wordDocumentOf(component_.modOutlook.objApp, inspector); });
    DoIt(*selectionSourceFor(component_, document), nullptr);
}

}  // namespace zeltra
