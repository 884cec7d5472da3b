#include "forms/frm_add_in.h"

#include "host/error.h"
#include "host/hresult.h"
#include "modules/component.h"
#include "modules/get_corvane.h"

namespace zeltra {
namespace {

constexpr std::uint32_t white = 0xFFFFFF;
constexpr std::uint32_t blue = 0xFF0000;  // 0x00BBGGRR

}  // namespace

bool FrmAddIn::DoIt(ModOutlook& module, host::Desktop& desktop) {
    std::optional<std::wstring> selection = GetSelectedText(module, desktop);
    if (!selection) return false;
    module.strSelection = std::move(*selection);
    return true;
}

FormWindow& FrmAddIn::loaded() {
    if (!isLoaded()) {
        window_.reset();
        window_ = load_(*this);
        if (!window_) throw host::Error(host::hresult::outOfMemory, "form not loaded");
    }
    return *window_;
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
    loaded().hide();
}

void FrmAddIn::OKButton_Click() {
    const ModOutlook& module = component_.modOutlook;
    constexpr std::uint32_t okOnly = 0;
    component_.desktop.messageBox(L"URL: " + module.strRedirPage + L"\r\nTest: " + module.strSelection, okOnly,
                                  applicationTitle);
}

void FrmAddIn::GetNow_Click() {
    ModOutlook& module = component_.modOutlook;
    if (module.strRedirPage.empty()) {
        ShowInstallError(component_.desktop);
        return;
    }
    {
        const host::Inspector inspector = component_.formApplication().activeInspector();
        // Without an item window there is nothing to capture from.
        if (inspector.isNothing()) return;
        inspector.activate();
    }
    DoIt(module, component_.desktop);
}

}  // namespace zeltra
