#pragma once
// The press, whatever surface the user pressed (the command-bar button, the ribbon, the context
// menu) and wherever its text comes from.
#include "modules/component.h"
#include "modules/selection.h"

namespace zeltra {

// Without an installation, the warning; otherwise the text from the source goes, capped and
// encoded, into the redirect page's address, where the form's WebBrowser1 navigates: at once for
// Word's selection, once the copy has arrived for the clipboard's. A capture that could not be
// made, or during which the add-in went, launches nothing. Throws when the warning cannot be shown,
// or Navigate fails for a selection at hand (a launch after a copy reports to nobody).
void LaunchSelection(Component& component, SelectionSource& source);
// The same with Word's selection when the window's editor gave a document, and otherwise the
// clipboard chord to the window with the keyboard focus (where the user's click left it).
void LaunchSelectionOf(Component& component, const host::Object& wordDocument);

}  // namespace zeltra
