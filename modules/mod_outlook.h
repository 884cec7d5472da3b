#pragma once
// Module-level state of modOutlook and its procedures for the installation settings. One
// instance of the state exists per apartment that initialises the component; every object
// created in that apartment shares it.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "host/automation.h"
#include "host/desktop.h"
#include "host/outlook.h"
#include "host/product_keys.h"

namespace zeltra {

// Where an installation keeps its settings: Software\Corvane\Zeltra below HKLM (the machine
// packages, for every user) or below HKCU (the per-user packages, which write nothing machine-wide).
enum class InstallationScope { machine, user };

struct ModOutlook {
    // The host's application object, held beside the hub's own reference while attached.
    host::Application objApp;
    // Full path of the redirect page; empty when the installation folder was not found.
    std::wstring strRedirPage;
    // The welcome flag as read at start-up.
    std::wstring strMSOAO;
    // Where Main found the installation, and so where the welcome flag is written back.
    InstallationScope installationScope = InstallationScope::machine;
    // The last captured selection.
    std::wstring strSelection;
};

// Where the product's installation leaves its folder and the welcome flag, in the shell
// object's notation (a trailing backslash names the key's default value): below HKLM for every
// user, or, installed by the per-user package, below HKCU.
inline constexpr const wchar_t* installationFolderValue = L"HKLM\\Software\\Corvane\\Zeltra\\";
inline constexpr const wchar_t* welcomeFlagValue = L"HKLM\\Software\\Corvane\\Zeltra\\MSOAO";
inline constexpr const wchar_t* userInstallationFolderValue = L"HKCU\\Software\\Corvane\\Zeltra\\";
inline constexpr const wchar_t* userWelcomeFlagValue = L"HKCU\\Software\\Corvane\\Zeltra\\MSOAO";
// ICC_USEREX_CLASSES: the extended combo box.
inline constexpr std::uint32_t extendedComboBoxClasses = 0x200;

// The component's start-up routine: registers the extended combo box class, reads the
// installation folder and the welcome flag into module, composing the redirect page's path, and
// warns when the folder is missing. The machine-wide installation is read when its folder can be
// read as text, the per-user one otherwise. Each step that fails is skipped. Runs once in each
// apartment, before the first object of the library is created there; nothing else calls it.
void Main(ModOutlook& module, host::Desktop& desktop, host::ObjectFactory& objects) noexcept;

// Writes the welcome flag back to "0", in the installation Main read; a failure is skipped.
void ResetMSOAO(const ModOutlook& module, host::ObjectFactory& objects) noexcept;

// Whether the first-run welcome is to be shown: the flag read at start-up is exactly "1", and
// this user has not seen the welcome of this installation. A standard user cannot write the
// machine-wide flag, so each user's welcome is also remembered under HKCU, with the time the
// installation last wrote its key: an installation written anew welcomes everyone again. A
// per-user installation's flag is the user's own, kept in that very key: it alone decides.
bool WelcomeDue(const ModOutlook& module, host::ProductKeys& keys) noexcept;
// After the welcome: ResetMSOAO, then, for a machine-wide installation, the welcome remembered for
// this user and installation. A failure is skipped.
void ResetWelcome(const ModOutlook& module, host::ObjectFactory& objects, host::ProductKeys& keys) noexcept;

// How much of a selection goes into the launch address: a whole mail selected with Ctrl+A would
// make an address of hundreds of KB.
inline constexpr std::size_t launchTextLimit = 2000;

// The redirect page's address with the selection as its query: the page's file URL as the shell
// writes it (host::fileUrlFromPath: "#", "%" and blanks of the folder escaped), then "?" and the
// selection's first launchTextLimit characters (a surrogate pair that would be cut is left out
// whole), lower-cased unless they are an http or https address (after blanks, which the page
// trims), and percent-encoded (a backslash in it becomes "/").
std::wstring launchAddress(std::wstring_view redirectPage, std::wstring_view selection);

// The application's title, on its message boxes.
inline constexpr const wchar_t* applicationTitle = L"Corvane Zeltra";

// The add-in's one warning: the installation folder could not be found. Throws when the box
// cannot be shown.
void ShowInstallError(host::Desktop& desktop);

}  // namespace zeltra
