#pragma once
// A component exists once per apartment, with its module-level data and its form, and the
// start-up routine runs once in each apartment, before the first object of the library is
// created there.
#include "modules/component.h"

namespace zeltra::server {

using StartupRoutine = void (*)(Component&);

// The component of the calling thread's apartment. The first call in an apartment creates it
// and runs startup on it; later calls return the same component. startup may run a message loop,
// and calls made from inside that loop get the component without running startup again.
Component& apartmentComponent(StartupRoutine startup);

}  // namespace zeltra::server
