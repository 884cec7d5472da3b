#pragma once
// The add-in's part of Office's ribbon (Outlook 2007 and later): the customUI XML of each ribbon
// ID it adds to, and what its callbacks do. Outlook 2007 has inspector ribbons only, in the
// 2006/01 namespace, which has no context menus; Outlook 2010 and later also the explorer's,
// in the 2009/07 namespace, with the text context menus.
#include <string>
#include <string_view>

#include "host/object.h"
#include "modules/component.h"

namespace zeltra {

// The XML for a ribbon ID and Outlook's major version, or "" where the add-in adds nothing.
std::wstring customUiFor(std::wstring_view ribbonId, int outlookVersion);

// The callbacks the XML names. Each is called by Office with an IRibbonControl whose Context is
// the window (an Inspector or an Explorer).
class RibbonCallbacks {
public:
    explicit RibbonCallbacks(Component& component) : component_(component) {}

    // Keeps the loaded ribbon (IRibbonUI) until the add-in's last connection ends.
    void OnRibbonLoad(const host::Object& ribbon) { component_.ribbons.keep(ribbon); }
    // The press: throws when the warning cannot be shown or Navigate fails.
    void OnZeltraAction(const host::Object& control);
    // The explorer's button: enabled while its reading pane shows an item.
    bool GetZeltraEnabled(const host::Object& control) noexcept;
    // The context menus' entry: shown when text is selected, where that can be known.
    bool GetZeltraVisible(const host::Object& control) noexcept;

private:
    Component& component_;
};

}  // namespace zeltra
