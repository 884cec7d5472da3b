#include "modules/mod_outlook.h"

namespace zeltra {

void Main(ModOutlook& /*module*/) {
    // Reading the installation settings into the module comes with the redirect page.
}

}  // namespace zeltra
