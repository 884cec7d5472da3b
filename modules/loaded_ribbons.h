#pragma once
// The ribbons Outlook loaded with the add-in's XML (their IRibbonUI, handed to onLoad), kept to have
// the add-in's button asked again when what it shows changes (the main window's selection).
#include <vector>

#include "host/object.h"

namespace zeltra {

class LoadedRibbons {
public:
    // The add-in's ribbon button, in every ribbon's XML.
    static constexpr const wchar_t* buttonId = L"ZeltraButton";

    void keep(const host::Object& ribbon) { ribbons_.push_back(ribbon.newReference()); }
    // Has every loaded ribbon ask the add-in's button again (enabled or not); failures are skipped.
    void invalidateButton() noexcept;
    void release() noexcept { ribbons_.clear(); }

private:
    std::vector<host::Object> ribbons_;
};

}  // namespace zeltra
