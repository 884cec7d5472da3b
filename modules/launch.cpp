#include "modules/launch.h"

#include "host/components.h"

namespace zeltra {

void LaunchSelection(Component& component, SelectionSource& source) {
    ModOutlook& mod = component.modOutlook;
    if (mod.strRedirPage.empty()) {
        ShowInstallError(component.desktop);
        return;
    }
    FrmAddIn& form = component.frmAddIn();
    const auto releasesBefore = component.releases();
    if (!form.DoIt(source)) return;
    // The capture ran the thread's messages: the add-in may have gone meanwhile, and its form
    // with it.
    if (component.releases() != releasesBefore) return;
    host::WebBrowser(form.webBrowser1()).navigate(launchAddress(mod.strRedirPage, mod.strSelection));
}

void LaunchSelectionOf(Component& component, const host::Object& wordDocument) {
    if (!wordDocument.isNothing()) {
        WordSelection word(wordDocument);
        LaunchSelection(component, word);
        return;
    }
    ClipboardSelection clipboard(component.modOutlook, component.desktop);
    LaunchSelection(component, clipboard);
}

}  // namespace zeltra
