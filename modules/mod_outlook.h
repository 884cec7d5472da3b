#pragma once
// Module-level state of modOutlook. One instance exists per apartment that initialises the
// component; every object created in that apartment shares it.
#include <string>

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

// The component's start-up routine: runs once in each apartment, before the first object of the
// library is created there. Nothing else calls it.
void Main(ModOutlook& module);

}  // namespace zeltra
