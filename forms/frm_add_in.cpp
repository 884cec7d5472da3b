#include "forms/frm_add_in.h"

#include "host/error.h"
#include "host/hresult.h"

namespace zeltra {

bool FrmAddIn::DoIt(ModOutlook& module, host::Desktop& desktop) {
    std::optional<std::wstring> selection = GetSelectedText(module, desktop);
    if (!selection) return false;
    module.strSelection = std::move(*selection);
    return true;
}

FormWindow& FrmAddIn::loaded() {
    if (!isLoaded()) {
        window_.reset();
        window_ = load_();
        if (!window_) throw host::Error(host::hresult::outOfMemory, "form not loaded");
    }
    return *window_;
}

}  // namespace zeltra
