#include "modules/mod_outlook.h"

#include <string>

#include "host/components.h"
#include "host/error_mode.h"
#include "modules/web_sites.h"

namespace zeltra {

using host::resumeNext;

namespace {

// A procedure's own shell object: created on its first use, kept for the rest of the procedure.
class LocalShell {
public:
    explicit LocalShell(host::ObjectFactory& objects) : objects_(objects) {}
    const host::WshShell& operator*() {
        if (shell_.isNothing())
            shell_ = host::WshShell::from(objects_.create(host::iid::WshShellClass, host::iid::IWshShell3));
        return shell_;
    }
    const host::WshShell* operator->() { return &**this; }

private:
    host::ObjectFactory& objects_;
    host::WshShell shell_;
};

}  // namespace

void Main(ModOutlook& module, host::Desktop& desktop, host::ObjectFactory& objects) noexcept {
    desktop.initCommonControls(extendedComboBoxClasses);
    LocalShell shell(objects);
    // A value that cannot be read, or that does not convert to text, leaves the string as it was.
    resumeNext([&] { module.strRedirPage = shell->regRead(installationFolderValue).toText(); });
    resumeNext([&] { module.strMSOAO = shell->regRead(welcomeFlagValue).toText(); });
    resumeNext([&] {
        // The folder is used as read: a trailing backslash stays, and nothing checks that it exists.
        if (!module.strRedirPage.empty()) {
            module.strRedirPage += L"\\cvredir.htm";
        } else {
            ShowInstallError(desktop);
        }
    });
}

void ResetMSOAO(host::ObjectFactory& objects) noexcept {
    LocalShell shell(objects);
    resumeNext([&] { shell->regWrite(welcomeFlagValue, host::Variant(L"0")); });
}

void ShowInstallError(host::Desktop& desktop) {
    constexpr std::uint32_t okWithWarningIcon = 48;  // MB_OK | MB_ICONEXCLAMATION
    const std::wstring prompt = std::wstring(L"Corvane Zeltra Add-in was not able\r\n"
                                             L"to locate the installation folder.\r\n"
                                             L"\r\n"
                                             L"Please re-install Corvane Zeltra or \r\n"
                                             L"visit ") +
                                supportSite + L" for support.";
    desktop.messageBox(prompt, okWithWarningIcon, L"Corvane Zeltra Add-in");
}

}  // namespace zeltra
