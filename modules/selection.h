#pragma once
// Where the text a press launches comes from: one port, two adapters. Word's object model gives
// the selection of an item window (or an inline reply) whose editor is Word without touching the
// clipboard; the clipboard chord serves what the object model does not expose (a mail read in the
// reading pane, editors other than Word).
#include <optional>
#include <string>

#include "host/desktop.h"
#include "host/object.h"
#include "host/outlook.h"
#include "modules/mod_outlook.h"

namespace zeltra {

class SelectionSource {
public:
    virtual ~SelectionSource() = default;
    // The selected text ("" when nothing is selected), or nothing when it cannot be had: the press
    // then launches nothing.
    virtual std::optional<std::wstring> selectedText() noexcept = 0;
};

// The selection of a Word document's first window, as Word reports it: an insertion point selects
// nothing (Word's Text is then the character after it), and paragraph marks ("\r") become the
// line breaks an edit control copies.
class WordSelection final : public SelectionSource {
public:
    explicit WordSelection(host::Object document) : document_(std::move(document)) {}
    std::optional<std::wstring> selectedText() noexcept override;
    // Whether anything is selected; nothing when Word cannot tell.
    std::optional<bool> anythingSelected() noexcept;

private:
    host::Object selection() const;
    host::Object document_;
};

// The clipboard chord of GetSelectedText: the window with the keyboard focus copies its selection.
class ClipboardSelection final : public SelectionSource {
public:
    ClipboardSelection(ModOutlook& module, host::Desktop& desktop) : module_(module), desktop_(desktop) {}
    std::optional<std::wstring> selectedText() noexcept override { return GetSelectedText(module_, desktop_); }

private:
    ModOutlook& module_;
    host::Desktop& desktop_;
};

// Word's Document of an item window whose editor is Word, or Nothing. The window is looked up among
// the item windows of `trusted` (the Application Outlook passed to OnConnection), so that Outlook's
// object-model guard trusts the call to WordEditor; without it, `window` is used as given.
host::Object wordDocumentOf(const host::Application& trusted, const host::Inspector& window);
// Word's Document of the inline reply an Explorer shows in its reading pane, or Nothing.
host::Object inlineReplyDocumentOf(const host::Application& trusted, const host::Explorer& window);

}  // namespace zeltra
