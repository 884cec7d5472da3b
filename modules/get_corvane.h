#pragma once
// The module GetCorvane: opens pages of the maker's web site in the user's browser.
#include <string>

#include "host/desktop.h"

namespace zeltra {

// The page opened when no address is given, and the version page of the welcome window's link.
std::wstring defaultPage();
std::wstring versionPage();

// Hands the address to the shell, which opens it in the user's default browser. An empty address
// is first replaced by the default page, in the caller's string too. Nothing is reported when
// no browser can be started.
void OpenURL(host::Desktop& desktop, std::wstring& address);

}  // namespace zeltra
