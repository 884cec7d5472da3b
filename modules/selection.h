#pragma once
// Where the text a press launches comes from: one port, two adapters. Word's object model gives
// the selection of an item window (or an inline reply) whose editor is Word without touching the
// clipboard; the clipboard chord serves what the object model does not expose (a mail read in the
// reading pane, editors other than Word).
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "host/desktop.h"
#include "host/object.h"
#include "host/outlook.h"
#include "modules/mod_outlook.h"

namespace zeltra {

class Component;

class SelectionSource {
public:
    using Delivery = std::function<void(std::wstring)>;
    virtual ~SelectionSource() = default;
    // Hands the selected text ("" when nothing is selected) to `deliver`: at once, or later from the
    // thread's message loop; never when it cannot be had (the press then launches nothing).
    virtual void readSelection(Delivery deliver) = 0;
};

// The selection of a Word document's first window, as Word reports it: an insertion point selects
// nothing (Word's Text is then the character after it), and paragraph marks ("\r") become the
// line breaks an edit control copies.
class WordSelection final : public SelectionSource {
public:
    explicit WordSelection(host::Object document) : document_(std::move(document)) {}
    void readSelection(Delivery deliver) override {
        if (std::optional<std::wstring> text = selectedText()) deliver(std::move(*text));
    }
    // The selected text, or nothing when Word cannot give it.
    std::optional<std::wstring> selectedText() noexcept;
    // Whether anything is selected; nothing when Word cannot tell.
    std::optional<bool> anythingSelected() noexcept;

private:
    host::Object selection() const;
    host::Object document_;
};

// The clipboard chord of GetSelectedText: the window with the keyboard focus copies its selection,
// which arrives once Outlook's loop has delivered the keys. One capture runs at a time: while one
// waits, another read delivers nothing.
class ClipboardSelection final : public SelectionSource {
public:
    explicit ClipboardSelection(Component& component) : component_(component) {}
    void readSelection(Delivery deliver) override;

private:
    Component& component_;
};

// Word's selection when the window's editor gave a document (not Nothing), otherwise the clipboard
// chord to the window with the keyboard focus.
std::unique_ptr<SelectionSource> selectionSourceFor(Component& component, const host::Object& wordDocument);

// Word's Document of an item window whose editor is Word, or Nothing. The window is looked up among
// the item windows of `trusted` (the Application Outlook passed to OnConnection), so that Outlook's
// object-model guard trusts the call to WordEditor; without it, `window` is used as given.
host::Object wordDocumentOf(const host::Application& trusted, const host::Inspector& window);
// Word's Document of the inline reply an Explorer shows in its reading pane, or Nothing.
host::Object inlineReplyDocumentOf(const host::Application& trusted, const host::Explorer& window);

}  // namespace zeltra
