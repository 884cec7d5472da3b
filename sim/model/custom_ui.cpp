#include "sim/model/custom_ui.h"

#include <algorithm>
#include <set>
#include <utility>

namespace sim::ui {

// --- What Outlook shows --------------------------------------------------------------------------
namespace {

const BuiltInMenu& readOnlyMenu() {
    static const BuiltInMenu menu{readOnlyTextMenu, {{L"Copy", L"Copy"}, {L"", L"Select All"}}};
    return menu;
}

const BuiltInMenu& composeMenu() {
    static const BuiltInMenu menu{composeTextMenu, {{L"Cut", L"Cut"}, {L"Copy", L"Copy"}, {L"Paste", L"Paste"}}};
    return menu;
}

// Office's Add-ins tab, where Outlook 2010 and later show the command-bar controls of add-ins.
BuiltInTab addInsTab() { return {L"TabAddIns", L"Add-ins", {}}; }

constexpr int outlook2013 = 15;

std::vector<RibbonKind> makeKinds() {
    const auto inspector = [](const wchar_t* id, BuiltInTab first, bool readOnly) {
        return RibbonKind{id, {std::move(first), addInsTab()}, {readOnly ? readOnlyMenu() : composeMenu()}};
    };
    return {
        {explorerRibbonId,
         {{L"TabMail", L"Home", {L"New", L"Delete", L"Respond", L"Quick Steps", L"Move"}}, addInsTab()},
         {readOnlyMenu(), composeMenu()}},
        inspector(L"Microsoft.Outlook.Mail.Read", {L"TabReadMessage", L"Message", {L"Delete", L"Respond", L"Move"}}, true),
        inspector(L"Microsoft.Outlook.Mail.Compose",
                  {L"TabNewMailMessage", L"Message", {L"Clipboard", L"Basic Text", L"Names"}}, false),
        inspector(L"Microsoft.Outlook.Appointment", {L"TabAppointment", L"Appointment", {L"Actions", L"Show"}}, false),
        inspector(L"Microsoft.Outlook.Contact", {L"TabContact", L"Contact", {L"Actions", L"Communicate"}}, false),
        // Office's control lists name these tabs for Outlook 2013 and later; none was found published
        // for earlier versions.
        inspector(L"Microsoft.Outlook.Post.Read", {L"TabReadMessage", L"Post", {L"Respond", L"Move"}, outlook2013}, true),
        inspector(L"Microsoft.Outlook.Post.Compose",
                  {L"TabNewMailMessage", L"Post", {L"Clipboard", L"Basic Text"}, outlook2013}, false),
        inspector(L"Microsoft.Outlook.Task", {L"TabTask", L"Task", {L"Actions", L"Manage Task"}, outlook2013}, false),
        inspector(L"Microsoft.Outlook.Journal", {L"TabJournal", L"Journal Entry", {L"Actions", L"Show"}, outlook2013},
                  false),
        // No published identifier was found for these.
        inspector(L"Microsoft.Outlook.MeetingRequest.Read", {L"", L"Meeting", {L"Respond", L"Calendar"}}, true),
        inspector(L"Microsoft.Outlook.MeetingRequest.Send", {L"", L"Meeting", {L"Actions", L"Attendees"}}, false),
        inspector(L"Microsoft.Outlook.DistributionList", {L"", L"Contact Group", {L"Actions", L"Members"}}, false),
    };
}

}  // namespace

const RibbonKind* ribbonKind(std::wstring_view ribbonId) {
    static const std::vector<RibbonKind> kinds = makeKinds();
    for (const RibbonKind& kind : kinds)
        if (kind.ribbonId == ribbonId) return &kind;
    return nullptr;
}

std::wstring inspectorRibbonId(int itemClass, bool compose) {
    const wchar_t* readOrCompose = compose ? L".Compose" : L".Read";
    switch (itemClass) {
        case 43: return std::wstring(L"Microsoft.Outlook.Mail") + readOrCompose;
        case 45: return std::wstring(L"Microsoft.Outlook.Post") + readOrCompose;
        case 53: return compose ? L"Microsoft.Outlook.MeetingRequest.Send" : L"Microsoft.Outlook.MeetingRequest.Read";
        case 26: return L"Microsoft.Outlook.Appointment";
        case 40: return L"Microsoft.Outlook.Contact";
        case 69: return L"Microsoft.Outlook.DistributionList";
        case 48: return L"Microsoft.Outlook.Task";
        case 42: return L"Microsoft.Outlook.Journal";
        default: return {};
    }
}

const std::wstring* Control::attribute(const std::wstring& name) const {
    const auto it = attributes.find(name);
    return it == attributes.end() ? nullptr : &it->second;
}

std::optional<bool> booleanValue(std::wstring_view text) {
    if (text == L"true" || text == L"1") return true;
    if (text == L"false" || text == L"0") return false;
    return std::nullopt;
}

// --- The schema ----------------------------------------------------------------------------------
namespace {

using Names = std::vector<const wchar_t*>;

struct Failure {
    xml::Error error;
};

[[noreturn]] void fail(int line, std::wstring message) { throw Failure{{line, std::move(message)}}; }

// The schema's attribute groups, as the element types below combine them.
const Names idAttributes = {L"id", L"idQ", L"idMso"};
const Names position = {L"insertAfterMso", L"insertBeforeMso", L"insertAfterQ", L"insertBeforeQ"};
const Names labels = {L"label", L"getLabel"};
const Names visibility = {L"visible", L"getVisible"};
const Names keytips = {L"keytip", L"getKeytip"};
const Names images = {L"image", L"imageMso", L"getImage"};
const Names screentips = {L"screentip", L"getScreentip"};
const Names supertips = {L"supertip", L"getSupertip"};
const Names enabling = {L"enabled", L"getEnabled"};
const Names descriptions = {L"description", L"getDescription"};
const Names showLabels = {L"showLabel", L"getShowLabel"};
const Names showImages = {L"showImage", L"getShowImage"};
const Names sizes = {L"size", L"getSize"};

const std::set<std::wstring> booleans = {L"visible", L"enabled", L"showLabel", L"showImage", L"startFromScratch"};

// One element type: the attributes it takes, which of them exclude each other, and the ways it
// may be identified.
struct ElementType {
    Control::Type type;
    std::vector<Names> groups;  // the attributes of each group exclude each other
    std::vector<std::wstring> identifiedBy;  // exactly one of these is required
};

const ElementType& typeFor(const std::wstring& element, bool inContextMenu) {
    static const ElementType tab{Control::Type::Tab, {idAttributes, {L"tag"}, labels, visibility, position, keytips},
                                 {L"id", L"idQ", L"idMso"}};
    static const ElementType group{Control::Type::Group,
                                   {idAttributes, {L"tag"}, labels, images, position, screentips, supertips,
                                    visibility, keytips},
                                   {L"id", L"idQ", L"idMso"}};
    static const ElementType button{Control::Type::Button,
                                    {idAttributes, {L"tag"}, {L"onAction"}, enabling, descriptions, images, labels,
                                     position, screentips, supertips, showImages, showLabels, sizes, visibility,
                                     keytips},
                                    {L"id", L"idQ", L"idMso"}};
    // In a menu a button has the size of its place.
    static const ElementType menuButton{Control::Type::Button,
                                        {idAttributes, {L"tag"}, {L"onAction"}, enabling, descriptions, images,
                                         labels, position, screentips, supertips, showImages, showLabels,
                                         visibility, keytips},
                                        {L"id", L"idQ", L"idMso"}};
    static const ElementType separator{Control::Type::Separator, {{L"id", L"idQ"}, {L"tag"}, position, visibility},
                                       {L"id", L"idQ"}};
    static const ElementType menuSeparator{Control::Type::MenuSeparator, {{L"id", L"idQ"}, {L"tag"}, position},
                                           {L"id", L"idQ"}};
    if (element == L"tab") return tab;
    if (element == L"group") return group;
    if (element == L"button") return inContextMenu ? menuButton : button;
    if (element == L"separator") return separator;
    return menuSeparator;
}

bool isNcName(std::wstring_view text) {
    if (text.empty() || text.size() > 1024) return false;
    const auto start = [](wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_' || c >= 0xC0; };
    if (!start(text[0])) return false;
    return std::all_of(text.begin(), text.end(), [&](wchar_t c) {
        return start(c) || (c >= L'0' && c <= L'9') || c == L'-' || c == L'.' || c == 0xB7;
    });
}

// Elements of the schema that the simulator does not model, by their parent.
const std::map<std::wstring, std::set<std::wstring>>& unmodelled() {
    static const std::map<std::wstring, std::set<std::wstring>> elements = {
        {L"customUI", {L"commands", L"backstage"}},
        {L"ribbon", {L"qat", L"contextualTabs", L"officeMenu"}},
        {L"group",
         {L"control", L"labelControl", L"toggleButton", L"checkBox", L"editBox", L"comboBox", L"dropDown", L"gallery",
          L"menu", L"dynamicMenu", L"splitButton", L"box", L"buttonGroup", L"dialogBoxLauncher"}},
        {L"contextMenu",
         {L"control", L"checkBox", L"gallery", L"toggleButton", L"splitButton", L"menu", L"dynamicMenu"}},
    };
    return elements;
}

class Checker {
public:
    Checker(std::wstring_view ribbonId, int officeVersion) : ribbonId_(ribbonId), version_(officeVersion) {
        kind_ = ribbonKind(ribbonId);
    }

    CustomUi check(const xml::Element& root) {
        scopes_.push_back({});
        declare(root);
        const auto [ns, local] = qualified(root.name, root.line);
        const bool accepted = ns == namespace2009 ? version_ >= 14 : ns == namespace2006 && version_ >= 12;
        if (local != L"customUI" || !accepted)
            fail(root.line, L"the root element is not customUI in a namespace this version of Office takes (" +
                                (ns.empty() ? std::wstring(L"no namespace") : ns) + L")");
        CustomUi ui;
        ui.xmlNamespace = ns;
        ns_ = ns;
        checkAttributes(root, {{L"onLoad"}, {L"loadImage"}}, {});
        if (const auto* a = root.attribute(L"onLoad")) ui.onLoad = a->value;
        if (const auto* a = root.attribute(L"loadImage")) ui.loadImage = a->value;
        // commands?, ribbon?, backstage?, contextMenus? in this order (the last two from 2009/07 on).
        std::vector<std::wstring> order = {L"commands", L"ribbon"};
        if (ns == namespace2009) order.insert(order.end(), {L"backstage", L"contextMenus"});
        std::size_t next = 0;
        for (const xml::Element& child : children(root)) {
            const std::wstring name = inSequence(child, order, next, L"customUI");
            if (name == L"ribbon") ribbon(child, ui);
            else contextMenus(child, ui);
            scopes_.pop_back();
        }
        scopes_.pop_back();
        return ui;
    }

private:
    // --- Namespaces
    void declare(const xml::Element& e) {
        auto& scope = scopes_.back();
        for (const xml::Attribute& a : e.attributes) {
            if (a.name == L"xmlns") scope[L""] = a.value;
            else if (a.name.rfind(L"xmlns:", 0) == 0) scope[a.name.substr(6)] = a.value;
        }
    }
    std::optional<std::wstring> lookup(const std::wstring& prefix) const {
        for (auto it = scopes_.rbegin(); it != scopes_.rend(); ++it) {
            const auto found = it->find(prefix);
            if (found != it->end()) return found->second;
        }
        return std::nullopt;
    }
    std::pair<std::wstring, std::wstring> qualified(const std::wstring& name, int line) const {
        const auto colon = name.find(L':');
        const std::wstring prefix = colon == std::wstring::npos ? L"" : name.substr(0, colon);
        const auto ns = lookup(prefix);
        if (!ns && !prefix.empty()) fail(line, L"the prefix '" + prefix + L"' is not declared");
        return {ns.value_or(L""), colon == std::wstring::npos ? name : name.substr(colon + 1)};
    }
    // The children of an element, each with its own namespace scope pushed (the caller pops it).
    struct Children {
        Checker& checker;
        const xml::Element& parent;
        struct Iterator {
            Checker& checker;
            std::vector<xml::Element>::const_iterator at;
            const xml::Element& operator*() const {
                checker.scopes_.push_back({});
                checker.declare(*at);
                return *at;
            }
            Iterator& operator++() {
                ++at;
                return *this;
            }
            bool operator!=(const Iterator& other) const { return at != other.at; }
        };
        Iterator begin() const { return {checker, parent.children.begin()}; }
        Iterator end() const { return {checker, parent.children.end()}; }
    };
    Children children(const xml::Element& parent) {
        if (parent.hasText) fail(parent.line, L"the element '" + parent.name + L"' cannot contain text");
        return {*this, parent};
    }
    std::wstring localName(const xml::Element& e) const {
        const auto [ns, local] = qualified(e.name, e.line);
        if (ns != ns_) fail(e.line, L"the element '" + e.name + L"' is not in the customUI namespace");
        return local;
    }

    [[noreturn]] void unexpected(const xml::Element& e, const std::wstring& name, const std::wstring& parent) const {
        fail(e.line, L"the element '" + name + L"' is unexpected according to the content model of its parent '" +
                         parent + L"'");
    }
    void refuseUnmodelled(const xml::Element& e, const std::wstring& name, const std::wstring& parent) const {
        const auto& table = unmodelled();
        const auto it = table.find(parent);
        if (it != table.end() && it->second.count(name))
            fail(e.line, L"the element '" + name + L"' is valid here but not modelled by the simulator");
    }

    // A child of an element whose children are a sequence of optional elements: each at most once,
    // in that order. Returns its local name; next is where the sequence goes on.
    std::wstring inSequence(const xml::Element& child, const std::vector<std::wstring>& order, std::size_t& next,
                            const std::wstring& parent) const {
        const std::wstring name = localName(child);
        const auto at = std::find(order.begin() + static_cast<std::ptrdiff_t>(next), order.end(), name);
        if (at == order.end()) unexpected(child, name, parent);
        next = static_cast<std::size_t>(at - order.begin()) + 1;
        refuseUnmodelled(child, name, parent);
        return name;
    }

    // --- Attributes
    void checkAttributes(const xml::Element& e, const std::vector<Names>& groups,
                         const std::vector<std::wstring>& identifiedBy) {
        for (const xml::Attribute& a : e.attributes) {
            if (a.name == L"xmlns" || a.name.rfind(L"xmlns:", 0) == 0) continue;
            bool known = false;
            for (const Names& group : groups)
                for (const wchar_t* n : group) known = known || a.name == n;
            if (!known)
                fail(a.line, L"the attribute '" + a.name + L"' on the element '" + localNameOf(e) +
                                 L"' is not defined in the schema");
            checkValue(a);
        }
        for (const Names& group : groups) {
            std::vector<std::wstring> present;
            for (const wchar_t* n : group)
                if (e.attribute(n)) present.push_back(n);
            if (present.size() > 1)
                fail(e.line, L"the attributes '" + present[0] + L"' and '" + present[1] + L"' on the element '" +
                                 localNameOf(e) + L"' exclude each other");
        }
        if (identifiedBy.empty()) return;
        int ids = 0;
        for (const auto& n : identifiedBy) ids += e.attribute(n) != nullptr;
        if (ids != 1)
            fail(e.line, L"the element '" + localNameOf(e) + L"' needs exactly one of " + join(identifiedBy));
    }
    static std::wstring join(const std::vector<std::wstring>& names) {
        std::wstring text;
        for (std::size_t i = 0; i < names.size(); ++i) text += (i ? i + 1 == names.size() ? L" or " : L", " : L"") + names[i];
        return text;
    }
    static std::wstring localNameOf(const xml::Element& e) {
        const auto colon = e.name.find(L':');
        return colon == std::wstring::npos ? e.name : e.name.substr(colon + 1);
    }
    void checkValue(const xml::Attribute& a) {
        const std::wstring& n = a.name;
        const std::wstring& v = a.value;
        if (booleans.count(n) && !booleanValue(v))
            fail(a.line, L"the value '" + v + L"' of the attribute '" + n + L"' is not a boolean");
        if (n == L"size" && v != L"normal" && v != L"large")
            fail(a.line, L"the value '" + v + L"' of the attribute 'size' is not normal or large");
        const bool callback = n == L"onAction" || n == L"onLoad" || n == L"loadImage" || n.rfind(L"get", 0) == 0;
        if (callback && (v.empty() || v.size() > 1024))
            fail(a.line, L"the callback name of the attribute '" + n + L"' is empty or too long");
        if ((n == L"id" || n == L"idMso" || n == L"insertAfterMso" || n == L"insertBeforeMso" || n == L"imageMso") &&
            !isNcName(v))
            fail(a.line, L"the value '" + v + L"' of the attribute '" + n + L"' is not a valid identifier");
        if (n == L"idQ" || n == L"insertAfterQ" || n == L"insertBeforeQ") {
            const auto colon = v.find(L':');
            if (colon == std::wstring::npos || !isNcName(v.substr(0, colon)) || !isNcName(v.substr(colon + 1)))
                fail(a.line, L"the value '" + v + L"' of the attribute '" + n + L"' is not a qualified identifier");
            if (!lookup(v.substr(0, colon)))
                fail(a.line, L"the prefix of the qualified identifier '" + v + L"' is not declared");
        }
        if (!callback && v.size() > 1024)
            fail(a.line, L"the value of the attribute '" + n + L"' is longer than 1024 characters");
        if (n == L"id" && !ids_.insert(v).second)
            fail(a.line, L"the identifier '" + v + L"' is used more than once");
    }

    Control control(const xml::Element& e, const ElementType& type) {
        checkAttributes(e, type.groups, type.identifiedBy);
        Control c{type.type, Control::IdKind::Custom, L"", {}, {}, e.line};
        for (const xml::Attribute& a : e.attributes)
            if (a.name != L"xmlns" && a.name.rfind(L"xmlns:", 0) != 0) c.attributes[a.name] = a.value;
        if (const auto* id = c.attribute(L"id")) c.id = *id;
        else if (const auto* q = c.attribute(L"idQ")) c.id = *q, c.idKind = Control::IdKind::Qualified;
        else if (const auto* mso = c.attribute(L"idMso")) c.id = *mso, c.idKind = Control::IdKind::BuiltIn;
        return c;
    }

    // --- Elements
    void ribbon(const xml::Element& e, CustomUi& ui) {
        checkAttributes(e, {{L"startFromScratch"}}, {});
        if (const auto* a = e.attribute(L"startFromScratch")) ui.startFromScratch = *booleanValue(a->value);
        // qat?, tabs?, contextualTabs?
        const std::vector<std::wstring> order = {L"qat", L"tabs", L"contextualTabs"};
        std::size_t next = 0;
        for (const xml::Element& child : children(e)) {
            inSequence(child, order, next, L"ribbon");
            tabs(child, ui);
            scopes_.pop_back();
        }
    }

    void tabs(const xml::Element& e, CustomUi& ui) {
        checkAttributes(e, {}, {});
        for (const xml::Element& child : children(e)) {
            const std::wstring name = localName(child);
            if (name != L"tab") unexpected(child, name, L"tabs");
            if (ui.tabs.size() == 100) fail(child.line, L"more than 100 tabs");
            Control tab = control(child, typeFor(name, false));
            if (tab.idKind == Control::IdKind::BuiltIn && !knownTab(tab.id))
                fail(child.line, L"unknown Office control ID: " + tab.id);
            for (const xml::Element& grandchild : children(child)) {
                const std::wstring groupName = localName(grandchild);
                if (groupName != L"group") unexpected(grandchild, groupName, L"tab");
                if (tab.children.size() == 100) fail(grandchild.line, L"more than 100 groups in a tab");
                tab.children.push_back(group(grandchild));
                scopes_.pop_back();
            }
            ui.tabs.push_back(std::move(tab));
            scopes_.pop_back();
        }
    }

    Control group(const xml::Element& e) {
        Control g = control(e, typeFor(L"group", false));
        g.children = controlsOf(e, L"group", L"separator");
        return g;
    }

    // The buttons and separators of a group, or of a context menu (whose separators are menu separators).
    std::vector<Control> controlsOf(const xml::Element& parent, const std::wstring& parentName, const wchar_t* separator) {
        std::vector<Control> controls;
        for (const xml::Element& child : children(parent)) {
            const std::wstring name = localName(child);
            refuseUnmodelled(child, name, parentName);
            if (name != L"button" && name != separator) unexpected(child, name, parentName);
            if (controls.size() == 1000) fail(child.line, L"more than 1000 controls in a " + parentName);
            controls.push_back(control(child, typeFor(name, parentName == L"contextMenu")));
            scopes_.pop_back();
        }
        return controls;
    }

    void contextMenus(const xml::Element& e, CustomUi& ui) {
        checkAttributes(e, {}, {});
        for (const xml::Element& child : children(e)) {
            const std::wstring name = localName(child);
            if (name != L"contextMenu") unexpected(child, name, L"contextMenus");
            checkAttributes(child, {{L"idMso"}}, {L"idMso"});
            ContextMenu menu{child.attribute(L"idMso")->value, {}};
            if (!knownMenu(menu.idMso)) fail(child.line, L"unknown Office control ID: " + menu.idMso);
            menu.items = controlsOf(child, L"contextMenu", L"menuSeparator");
            ui.contextMenus.push_back(std::move(menu));
            scopes_.pop_back();
        }
    }

    bool knownTab(const std::wstring& idMso) const {
        return kind_ && std::any_of(kind_->tabs.begin(), kind_->tabs.end(), [&](const BuiltInTab& t) {
                   const std::wstring known = t.idMsoIn(version_);
                   return !known.empty() && known == idMso;
               });
    }
    bool knownMenu(const std::wstring& idMso) const {
        return kind_ && std::any_of(kind_->menus.begin(), kind_->menus.end(),
                                    [&](const BuiltInMenu& m) { return m.idMso == idMso; });
    }

    std::wstring ribbonId_;
    int version_;
    const RibbonKind* kind_ = nullptr;
    std::wstring ns_;
    std::vector<std::map<std::wstring, std::wstring>> scopes_;
    std::set<std::wstring> ids_;
};

}  // namespace

Validated validate(std::wstring_view document, std::wstring_view ribbonId, int officeVersion) {
    xml::Parsed parsed = xml::parse(document);
    if (!parsed.root) return {std::nullopt, parsed.error};
    try {
        return {Checker(ribbonId, officeVersion).check(*parsed.root), std::nullopt};
    } catch (const Failure& f) {
        return {std::nullopt, f.error};
    }
}

}  // namespace sim::ui
