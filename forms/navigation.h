#pragma once
// What the hidden browser control may do: it only ever shows the redirect page, which sends the
// user on. Anything else it is asked to show goes to the user's own browser, or nowhere.
#include <string_view>

namespace zeltra {

enum class Navigation {
    Allow,    // the redirect page itself
    HandOff,  // an http or https address: cancelled here, opened in the default browser
    Drop,     // anything else, and a web address with a quote or a control character in it:
              // cancelled and forgotten
};

// url as the control reports it (a file URL may come as a plain path); redirectPage as composed
// from the installation folder. A new window never stays: it is handed off or dropped.
Navigation judgeNavigation(std::wstring_view url, std::wstring_view redirectPage, bool newWindow);

}  // namespace zeltra
