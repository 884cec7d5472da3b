// The scenario lines about Outlook 2007 and later: the version, item windows in compose mode and
// their editors, the ribbon and its buttons, text context menus, the Explorer's selection and
// inline replies, and the expectations about them.
#include <algorithm>

#include "sim/win32/console.h"
#include "sim/win32/scenario_text.h"
#include "sim/win32/simulator.h"

namespace sim::win32 {
namespace {

std::optional<std::int32_t> parseEditor(const std::wstring& name) {
    if (name == L"word") return olEditorWord;
    if (name == L"html") return olEditorHTML;
    if (name == L"rtf") return olEditorRTF;
    if (name == L"text") return olEditorText;
    return std::nullopt;
}

std::optional<std::int32_t> classOf(const std::wstring& name) {
    static const std::pair<const wchar_t*, std::int32_t> classes[] = {
        {L"mail", 43}, {L"post", 45}, {L"appointment", 26}, {L"contact", 40}, {L"distlist", 69},
        {L"task", 48}, {L"journal", 42}, {L"document", 41}, {L"meeting", olMeetingRequest}};
    for (const auto& [n, value] : classes)
        if (name == n) return value;
    return std::nullopt;
}

// The text context menu a right click in that window's text opens.
std::wstring textMenuOf(const Node& window, const std::wstring& ribbonId) {
    if (window.kind() == Kind::Explorer) return window.inlineResponse ? ui::composeTextMenu : ui::readOnlyTextMenu;
    const ui::RibbonKind* kind = ui::ribbonKind(ribbonId);
    return kind && !kind->menus.empty() ? kind->menus.front().idMso : std::wstring(ui::composeTextMenu);
}

const Ribbons::ShownControl* controlLabelled(const std::vector<Ribbons::ShownGroup>& groups, const std::wstring& label) {
    for (const auto& group : groups)
        for (const auto& control : group.controls)
            if (!control.separator && control.label == label && group.visible && control.visible) return &control;
    return nullptr;
}

}  // namespace

void Simulator::refreshRibbons() {
    model_.ribbons().refreshAll();
    windows_.barsChanged();
}

int Simulator::buttonsSeen(Node& window) {
    int seen = 0;
    for (const auto& group : model_.ribbons().shown(window))
        if (group.visible)
            seen += static_cast<int>(std::count_if(group.controls.begin(), group.controls.end(), [](const auto& c) {
                return !c.separator && c.visible;
            }));
    if (window.kind() != Kind::Inspector) return seen;
    // Outlook 2003 shows its Standard bar; later ones the add-ins' controls of every bar.
    const bool addInsTab = model_.version() >= 12;
    for (const Node* bar : model_.commandBarsOf(window).elements) {
        if (!addInsTab && bar->barName != L"Standard") continue;
        for (const Node* control : bar->controls->elements)
            seen += control->kind() == Kind::CommandBarButton && control->control.custom && control->control.visible;
    }
    return seen;
}

Simulator::Outcome Simulator::ribbonLine(const std::vector<std::wstring>& words, const std::wstring& line) {
    const std::wstring& command = words[0];
    const auto windowNamed = [&](const std::wstring& name) -> Node* {
        Node* node = lookup(name);
        return node && (node->kind() == Kind::Explorer || node->kind() == Kind::Inspector) ? node : nullptr;
    };
    if (command == L"version" && words.size() == 2) {
        // Before Outlook starts and before any window opens.
        const auto version = parseCount(words[1]);
        if (!version || (*version != 11 && *version != 12 && *version != 14 && *version != 16) || started_ ||
            windows_.openCount() != 0)
            return Outcome::BadLine;
        model_.setVersion(*version);
        // Not through the model's members: those count as the add-in's calls.
        print(L"outlook: this is Outlook " + words[1]);
        return Outcome::Done;
    }
    if (command == L"ribbon-callbacks" && words.size() == 2) {
        // Before Outlook starts: how it calls the ribbon callbacks of the add-ins it connects.
        if (started_) return Outcome::BadLine;
        const bool asOffice = words[1] == L"as-office";
        if (!asOffice && words[1] != L"through-extensibility") return Outcome::BadLine;
        addIns_.setRibbonCallbackPath(asOffice ? CallbackPath::objectDispatch : CallbackPath::throughExtensibility);
        print(std::wstring(L"outlook: ribbon callbacks through ") +
              (asOffice ? L"the IDispatch of the add-in's object" : L"the IRibbonExtensibility pointer"));
        return Outcome::Done;
    }
    if (command == L"compose" && words.size() >= 3) {
        // compose NAME CLASS [BODY]: a new item is being written.
        const auto itemClass = classOf(words[2]);
        if (!itemClass) return Outcome::BadLine;
        Node& inspector = model_.openInspector(*itemClass, restAfter(line, 3), true);
        windows_.opened(inspector);
        aliases_[words[1]] = &inspector;
        return Outcome::Done;
    }
    if (command == L"editor" && words.size() == 3) {
        Node* node = windowNamed(words[1]);
        const auto editor = parseEditor(words[2]);
        if (!node || node->kind() != Kind::Inspector || !editor) return Outcome::BadLine;
        model_.setEditorType(*node, *editor);
        return Outcome::Done;
    }
    if (command == L"ribbon-click" && (words.size() == 2 || words.size() == 3)) {
        Node* node = windowNamed(words[1]);
        if (!node) return Outcome::BadLine;
        const std::optional<std::wstring> id = words.size() == 3 ? std::optional(words[2]) : std::nullopt;
        const std::wstring which = id ? L"button " + quoted(*id) : L"first button of the add-in";
        print(L"outlook: the user presses the " + which + L" on the ribbon of " + label(node));
        if (duringClick_) postLine(*std::exchange(duringClick_, std::nullopt));
        const Ribbons::Press press = model_.ribbons().press(*node, id);
        if (press != Ribbons::Press::Done) {
            print(L"  UNMET: the " + which + L" is " + (press == Ribbons::Press::Absent ? L"not there" : L"disabled"));
            return Outcome::Unmet;
        }
        // The ribbon takes no focus: it stays where it was.
        print(std::wstring(L"outlook: ribbon press done") + (windows_.editorHasFocus(*node) ? L"; the keyboard focus is in its text"
                                                                                     : L"; its text is not the keyboard focus"));
        runUntilAddInsIdle();
        return Outcome::Done;
    }
    if (command == L"right-click" && words.size() == 2) {
        Node* node = windowNamed(words[1]);
        if (!node) return Outcome::BadLine;
        const std::wstring menu = textMenuOf(*node, model_.ribbons().ribbonIdOf(*node));
        auto entries = model_.ribbons().openMenu(*node, menu);
        std::wstring labels;
        for (const auto& e : entries) labels += (labels.empty() ? L"" : L", ") + (e.separator ? L"-" : quoted(e.label));
        print(L"outlook: the user right-clicks the text of " + label(node) + L": " + menu + L" opens with " + labels);
        windows_.openMenu(*node, entries);
        openMenu_ = OpenMenu{node, menu, std::move(entries)};
        return Outcome::Done;
    }
    if (command == L"menu-pick" && words.size() >= 2) {
        const std::wstring wanted = unquote(rawRestAfter(line, 1));
        if (!openMenu_) {
            print(L"  UNMET: no context menu is open");
            return Outcome::Unmet;
        }
        const OpenMenu menu = *std::exchange(openMenu_, std::nullopt);
        windows_.closeMenu();
        const auto entry = std::find_if(menu.entries.begin(), menu.entries.end(),
                                        [&](const auto& e) { return !e.separator && e.label == wanted; });
        if (entry == menu.entries.end() || !entry->enabled) {
            print(L"  UNMET: the menu has no enabled entry " + quoted(wanted));
            return Outcome::Unmet;
        }
        print(L"outlook: the user picks " + quoted(wanted) + L" (the menu closes)");
        if (entry->custom) {
            model_.ribbons().pickMenuEntry(*menu.window, menu.idMso, entry->id);
            runUntilAddInsIdle();
        } else if (const HWND text = windows_.editorOf(*menu.window)) {
            // Outlook's own entries do what they say; the view's copy goes through OLE.
            if (entry->id == L"Copy") SendMessageW(text, WM_COPY, 0, 0);
            else if (entry->id == L"Cut") SendMessageW(text, WM_CUT, 0, 0);
            else if (entry->id == L"Paste") SendMessageW(text, WM_PASTE, 0, 0);
            else if (entry->label == L"Select All") SendMessageW(text, EM_SETSEL, 0, -1);
        }
        return Outcome::Done;
    }
    if (command == L"menu-close" && words.size() == 1) {
        if (!openMenu_) return Outcome::BadLine;
        openMenu_.reset();
        windows_.closeMenu();
        print(L"outlook: the user closes the context menu");
        return Outcome::Done;
    }
    if (command == L"select-item" && words.size() >= 3) {
        Node* node = windowNamed(words[1]);
        if (!node || node->kind() != Kind::Explorer) return Outcome::BadLine;
        const std::wstring body = restAfter(line, 2);
        model_.selectItem(*node, body == L"none" ? std::nullopt : std::optional(unquote(body)));
        windows_.readingPaneChanged(*node);
        // The user clicked the item in the message list, which keeps the focus.
        windows_.focusMessageList(*node);
        return Outcome::Done;
    }
    if (command == L"reply-inline" && words.size() >= 2) {
        Node* node = windowNamed(words[1]);
        if (!node || node->kind() != Kind::Explorer) return Outcome::BadLine;
        model_.replyInline(*node);
        windows_.readingPaneChanged(*node, unquote(restAfter(line, 2)));
        return Outcome::Done;
    }
    if (command == L"screenshot-menu" && words.size() >= 2) {
        const std::wstring file = unquote(rawRestAfter(line, 1));
        return saved(windows_.saveMenuImage(file), L"the image of the context menu", file);
    }
    return Outcome::BadLine;
}

Simulator::Outcome Simulator::expectRibbon(const std::vector<std::wstring>& words, const std::wstring& line,
                                           std::wstring& actual, std::wstring& wanted) {
    const std::wstring& what = words[1];
    if (what == L"customui" && words.size() == 4 &&
        (words[3] == L"valid" || words[3] == L"refused" || words[3] == L"none")) {
        // expect customui RIBBON_ID valid|refused|none: how that ribbon ID's custom UI came out.
        const auto status = model_.ribbons().status(words[2]);
        actual = !status || *status == Ribbons::Status::None ? L"none"
                 : *status == Ribbons::Status::Valid         ? L"valid"
                                                             : L"refused";
        wanted = words[3];
        return Outcome::Done;
    }
    if (what == L"customui-calls" && words.size() == 3) {
        const auto count = parseCount(words[2]);
        if (!count) return Outcome::BadLine;
        actual = std::to_wstring(model_.ribbons().takeCustomUiCalls()) + L" GetCustomUI call(s)";
        wanted = words[2] + L" GetCustomUI call(s)";
        return Outcome::Done;
    }
    if (what == L"context-menu" && words.size() >= 4 && (words[2] == L"has" || words[2] == L"lacks")) {
        const std::wstring entry = unquote(rawRestAfter(line, 3));
        wanted = words[2] + L" " + quoted(entry);
        if (!openMenu_) {
            actual = L"no context menu open";
            return Outcome::Done;
        }
        const bool has = std::any_of(openMenu_->entries.begin(), openMenu_->entries.end(),
                                     [&](const auto& e) { return !e.separator && e.label == entry; });
        actual = std::wstring(has ? L"has " : L"lacks ") + quoted(entry);
        return Outcome::Done;
    }
    if (what == L"context-menu-first" && words.size() >= 3) {
        wanted = quoted(unquote(rawRestAfter(line, 2)));
        actual = !openMenu_ ? L"no context menu open" : openMenu_->entries.empty() ? L"an empty menu"
                                                                                  : quoted(openMenu_->entries.front().label);
        return Outcome::Done;
    }
    Node* node = words.size() > 2 ? lookup(words[2]) : nullptr;
    if (!node || (node->kind() != Kind::Explorer && node->kind() != Kind::Inspector)) return Outcome::BadLine;
    if (what == L"buttons-seen" && words.size() == 4) {
        const auto count = parseCount(words[3]);
        if (!count) return Outcome::BadLine;
        actual = std::to_wstring(buttonsSeen(*node)) + L" button(s) of add-ins seen";
        wanted = words[3] + L" button(s) of add-ins seen";
        return Outcome::Done;
    }
    if (what == L"ribbon" && words.size() >= 5 &&
        (words.back() == L"enabled" || words.back() == L"disabled" || words.back() == L"absent")) {
        // expect ribbon NAME LABEL enabled|disabled|absent; the label may hold blanks.
        const std::wstring rest = rawRestAfter(line, 3);
        const std::wstring entry = unquote(rest.substr(0, rest.find_last_not_of(L" \t", rest.rfind(words.back()) - 1) + 1));
        const std::vector<Ribbons::ShownGroup> groups = model_.ribbons().shown(*node);  // outlives control
        const auto* control = controlLabelled(groups, entry);
        actual = quoted(entry) + L" " + (!control ? L"absent" : control->enabled ? L"enabled" : L"disabled");
        wanted = quoted(entry) + L" " + words.back();
        return Outcome::Done;
    }
    if (what == L"ribbon-image" && words.size() >= 5) {
        // expect ribbon-image NAME LABEL WxH|none: the picture drawn for that control.
        const std::wstring rest = rawRestAfter(line, 3);
        const std::wstring entry = unquote(rest.substr(0, rest.find_last_not_of(L" \t", rest.rfind(words.back()) - 1) + 1));
        const std::vector<Ribbons::ShownGroup> groups = model_.ribbons().shown(*node);  // outlives control
        const auto* control = controlLabelled(groups, entry);
        const int size = control && control->large ? 32 : 16;
        actual = !control                                   ? L"no control " + quoted(entry)
                 : !control->image || !control->showImage ? L"none"
                                                           : std::to_wstring(size) + L"x" + std::to_wstring(size);
        wanted = words.back();
        return Outcome::Done;
    }
    return Outcome::BadLine;
}

}  // namespace sim::win32
