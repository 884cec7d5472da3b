#include "modules/loaded_ribbons.h"

#include "host/error_mode.h"
#include "host/iids.h"
#include "host/variant.h"

namespace zeltra {

void LoadedRibbons::invalidateButton() noexcept {
    for (const host::Object& ribbon : ribbons_)
        host::resumeNext([&] { ribbon.call(host::DispId{host::dispid::InvalidateControl}, {host::Variant(buttonId)}); });
}

}  // namespace zeltra
