#pragma once
// Module-level state of modOutlook and its procedures for the installation settings. One
// instance of the state exists per apartment that initialises the component; every object
// created in that apartment shares it.
#include <string>

#include "host/automation.h"
#include "host/desktop.h"
#include "host/outlook.h"

namespace zeltra {

struct ModOutlook {
    // The host's application object, held beside the hub's own reference while attached.
    host::Application objApp;
    // Full path of the redirect page; empty when the installation folder was not found.
    std::wstring strRedirPage;
    // The welcome flag as read at start-up.
    std::wstring strMSOAO;
    // The last captured selection.
    std::wstring strSelection;
};

// Where the product's installation leaves its folder and the welcome flag, in the shell
// object's notation (a trailing backslash names the key's default value).
inline constexpr const wchar_t* installationFolderValue = L"HKLM\\Software\\Corvane\\Zeltra\\";
inline constexpr const wchar_t* welcomeFlagValue = L"HKLM\\Software\\Corvane\\Zeltra\\MSOAO";
// ICC_USEREX_CLASSES: the extended combo box.
inline constexpr std::uint32_t extendedComboBoxClasses = 0x200;

// The component's start-up routine: registers the extended combo box class, reads the
// installation folder and the welcome flag into module, composing the redirect page's path, and
// warns when the folder is missing. Each step that fails is skipped. Runs once in each apartment,
// before the first object of the library is created there; nothing else calls it.
void Main(ModOutlook& module, host::Desktop& desktop, host::ObjectFactory& objects) noexcept;

// Writes the welcome flag back to "0"; a failure is skipped.
void ResetMSOAO(host::ObjectFactory& objects) noexcept;

// The add-in's one warning: the installation folder could not be found. Throws when the box
// cannot be shown.
void ShowInstallError(host::Desktop& desktop);

}  // namespace zeltra
