#include "modules/mod_outlook.h"

#include <string>

#include "host/components.h"
#include "host/error_mode.h"
#include "host/file_url.h"
#include "host/text.h"
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

struct InstallationValues {
    InstallationScope scope;
    const wchar_t* folder;
    const wchar_t* welcomeFlag;
};

constexpr InstallationValues installations[] = {
    {InstallationScope::machine, installationFolderValue, welcomeFlagValue},
    {InstallationScope::user, userInstallationFolderValue, userWelcomeFlagValue},
};

const InstallationValues& installationIn(InstallationScope scope) {
    return scope == InstallationScope::machine ? installations[0] : installations[1];
}

}  // namespace

void Main(ModOutlook& module, host::Desktop& desktop, host::ObjectFactory& objects) noexcept {
    desktop.initCommonControls(extendedComboBoxClasses);
    LocalShell shell(objects);
    // A value that cannot be read, or that does not convert to text, leaves the string as it was.
    // The machine-wide installation, when its folder reads as text; else the per-user one.
    for (const InstallationValues& installation : installations) {
        bool found = false;
        resumeNext([&] {
            module.strRedirPage = shell->regRead(installation.folder).toText();
            found = true;
        });
        if (found) {
            module.installationScope = installation.scope;
            break;
        }
    }
    const wchar_t* const welcomeFlag = installationIn(module.installationScope).welcomeFlag;
    resumeNext([&] { module.strMSOAO = shell->regRead(welcomeFlag).toText(); });
    resumeNext([&] {
        // The folder is used as read: a trailing backslash stays, and nothing checks that it exists.
        if (!module.strRedirPage.empty()) {
            module.strRedirPage += L"\\cvredir.htm";
        } else {
            ShowInstallError(desktop);
        }
    });
}

void ResetMSOAO(const ModOutlook& module, host::ObjectFactory& objects) noexcept {
    LocalShell shell(objects);
    resumeNext([&] { shell->regWrite(installationIn(module.installationScope).welcomeFlag, host::Variant(L"0")); });
}

namespace {

// The per-user record of the welcome, below HKCU\Software\Corvane\Zeltra.
constexpr const wchar_t* userWelcomeFlag = L"MSOAO";
constexpr const wchar_t* userWelcomedInstallation = L"Installation";

std::wstring installationStamp(host::ProductKeys& keys) {
    const auto written = keys.installationWriteTime();
    if (!written) return {};
    wchar_t digits[17];
    for (int i = 15; i >= 0; --i) digits[15 - i] = L"0123456789ABCDEF"[(*written >> (4 * i)) & 0xF];
    digits[16] = L'\0';
    return digits;
}

}  // namespace

bool WelcomeDue(const ModOutlook& module, host::ProductKeys& keys) noexcept try {
    if (module.strMSOAO != L"1") return false;
    if (module.installationScope == InstallationScope::user) return true;
    const std::wstring stamp = installationStamp(keys);
    const bool welcomedHere = !stamp.empty() && keys.userValue(userWelcomeFlag) == L"0" &&
                              keys.userValue(userWelcomedInstallation) == stamp;
    return !welcomedHere;
} catch (...) {
    return true;
}

void ResetWelcome(const ModOutlook& module, host::ObjectFactory& objects, host::ProductKeys& keys) noexcept {
    ResetMSOAO(module, objects);
    if (module.installationScope == InstallationScope::user) return;
    // Read after the reset: a machine-wide write that worked has moved the key's time on.
    resumeNext([&] {
        keys.setUserValue(userWelcomedInstallation, installationStamp(keys));
        keys.setUserValue(userWelcomeFlag, L"0");
    });
}

namespace {

std::wstring replaceAll(std::wstring text, std::wstring_view from, std::wstring_view to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::wstring::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// The white space the redirect page trims from its text (JavaScript's trim()).
bool trimmedByThePage(wchar_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

// A web address keeps its case, which its path and query may need. Blanks before it do not count:
// the page trims them before it reads the text as an address.
bool keepsItsCase(std::wstring_view text) {
    std::size_t start = 0;
    while (start < text.size() && trimmedByThePage(text[start])) ++start;
    return host::startsWithWebScheme(text.substr(start));
}

}  // namespace

std::wstring launchAddress(std::wstring_view redirectPage, std::wstring_view selection) {
    const std::wstring_view text = host::leadingUnits(selection, launchTextLimit);
    const std::wstring cased = keepsItsCase(text) ? std::wstring(text) : host::lowerCase(text);
    const std::wstring query = host::percentEncoded(replaceAll(cased, L"\\", L"/"));
    return host::fileUrlFromPath(redirectPage) + L"?" + query;
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
