#include "modules/get_corvane.h"

#include "modules/web_sites.h"

namespace zeltra {

std::wstring defaultPage() { return std::wstring(makerWebSite) + L"/apps/cvmail.html"; }
std::wstring versionPage() { return std::wstring(makerWebSite) + L"/version/zl10"; }

void OpenURL(host::Desktop& desktop, std::wstring& address) {
    if (address.empty()) address = defaultPage();
    desktop.openWithShell(address);
}

}  // namespace zeltra
