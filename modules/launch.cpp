#include "modules/launch.h"

#include "host/components.h"

namespace zeltra {

void LaunchSelection(Component& component, SelectionSource& source) {
    ModOutlook& mod = component.modOutlook;
    if (mod.strRedirPage.empty()) {
        ShowInstallError(component.desktop);
        return;
    }
    component.frmAddIn().DoIt(source, [&component, &mod] {
        host::WebBrowser(component.frmAddIn().webBrowser1()).navigate(launchAddress(mod.strRedirPage, mod.strSelection));
    });
}

void LaunchSelectionOf(Component& component, const host::Object& wordDocument) {
    LaunchSelection(component, *selectionSourceFor(component, wordDocument));
}

}  // namespace zeltra
