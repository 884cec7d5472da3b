#pragma once
// Module-level data exists once per apartment, and the start-up routine runs once in each
// apartment, before the first object of the library is created there.
#include "modules/mod_outlook.h"

namespace zeltra::server {

using StartupRoutine = void (*)(ModOutlook&);

// The module data of the calling thread's apartment. The first call in an apartment creates it
// and runs startup on it; later calls return the same data. startup may run a message loop, and
// calls made from inside that loop get the data without running startup again.
ModOutlook& apartmentModule(StartupRoutine startup);

}  // namespace zeltra::server
