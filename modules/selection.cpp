#include "modules/selection.h"

#include "host/error_mode.h"
#include "modules/component.h"

namespace zeltra {
namespace {

constexpr std::int32_t olEditorWord = 4;
constexpr std::int32_t wdSelectionIP = 1;

// Word ends a paragraph with "\r" alone.
std::wstring withEditLineBreaks(std::wstring text) {
    for (std::size_t at = 0; (at = text.find(L'\r', at)) != std::wstring::npos; ++at)
        if (at + 1 == text.size() || text[at + 1] != L'\n') text.insert(at + 1, 1, L'\n');
    return text;
}

// The same window reached through the trusted application's collection, when it is there.
template <class Window, class Collection>
Window trustedTwin(const Window& window, const Collection& windows) {
    const host::Variant count = windows.count();
    if (count.kind() != host::Variant::Kind::Int) return window;
    for (std::int32_t index = 1; index <= count.asInt(); ++index) {
        Window candidate = windows.item(index);
        if (candidate.object().isSameObject(window.object())) return candidate;
    }
    return window;
}

}  // namespace

host::Object WordSelection::selection() const {
    const host::Object window = document_.get(L"Windows").toObject().get(L"Item", {host::Variant(1)}).toObject();
    return window.get(L"Selection").toObject();
}

std::optional<bool> WordSelection::anythingSelected() noexcept try {
    const host::Variant type = selection().get(L"Type");
    return !host::equalsInteger(type, wdSelectionIP).value_or(false);
} catch (...) {
    return std::nullopt;
}

std::optional<std::wstring> WordSelection::selectedText() noexcept try {
    const host::Object current = selection();
    if (host::equalsInteger(current.get(L"Type"), wdSelectionIP).value_or(false)) return std::wstring();
    return withEditLineBreaks(current.get(L"Text").toText());
} catch (...) {
    return std::nullopt;
}

void ClipboardSelection::readSelection(Delivery deliver) { component_.captures.start(std::move(deliver)); }

std::unique_ptr<SelectionSource> selectionSourceFor(Component& component, const host::Object& wordDocument) {
    if (!wordDocument.isNothing()) return std::make_unique<WordSelection>(wordDocument);
    return std::make_unique<ClipboardSelection>(component);
}

host::Object wordDocumentOf(const host::Application& trusted, const host::Inspector& window) {
    host::Inspector inspector = window;
    if (!trusted.isNothing()) host::resumeNext([&] { inspector = trustedTwin(window, trusted.inspectors()); });
    if (!host::equalsInteger(inspector.object().get(L"EditorType"), olEditorWord).value_or(false)) return {};
    return inspector.object().get(L"WordEditor").toObject();
}

host::Object inlineReplyDocumentOf(const host::Application& trusted, const host::Explorer& window) {
    host::Explorer explorer = window;
    if (!trusted.isNothing()) host::resumeNext([&] { explorer = trustedTwin(window, trusted.explorers()); });
    return explorer.object().get(L"ActiveInlineResponseWordEditor").toObject();
}

}  // namespace zeltra
