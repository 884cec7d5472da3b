#include "sim/model/ribbon.h"

#include <algorithm>

#include "sim/model/outlook_model.h"

namespace sim {

namespace {

using Returns = RibbonTarget::Returns;
using AnswerStatus = RibbonTarget::Answer::Status;

std::wstring describeStatus(AnswerStatus status) {
    switch (status) {
        case AnswerStatus::NameNotFound: return L"no such callback";
        case AnswerStatus::Failed: return L"the callback failed";
        case AnswerStatus::WrongType: return L"the callback returned a value of another type";
        case AnswerStatus::Done: break;
    }
    return L"done";
}

bool isCustomButton(const ui::Control& c) { return c.type == ui::Control::Type::Button && c.custom(); }

}  // namespace

std::wstring Ribbons::ribbonIdOf(const Node& window) const {
    const int version = model_.version();
    if (version < 12) return {};
    if (window.kind() == Kind::Explorer) return version >= 14 ? ui::explorerRibbonId : L"";
    if (window.kind() != Kind::Inspector || !window.item) return {};
    return ui::inspectorRibbonId(window.item->itemClass, window.compose);
}

std::optional<Ribbons::Status> Ribbons::status(const std::wstring& ribbonId) const {
    for (const auto& loaded : loaded_)
        if (loaded->ribbonId == ribbonId) return loaded->status;
    return std::nullopt;
}

void Ribbons::connected(std::shared_ptr<RibbonTarget> target) {
    target_ = std::move(target);
    loaded_.clear();
    caches_.clear();
    if (!target_) return;
    if (model_.version() >= 14) load(ui::explorerRibbonId);
    for (Node* window : model_.openInspectors()) {
        const std::wstring id = ribbonIdOf(*window);
        if (!id.empty()) load(id);
    }
    refreshAll();
}

void Ribbons::disconnected() {
    target_.reset();
    loaded_.clear();
    caches_.clear();
}

void Ribbons::windowOpened(Node& window) {
    const std::wstring id = ribbonIdOf(window);
    if (!target_ || id.empty()) return;
    load(id);
    shown(window);
}

Ribbons::Loaded* Ribbons::load(const std::wstring& ribbonId) {
    for (const auto& loaded : loaded_)
        if (loaded->ribbonId == ribbonId) return loaded.get();
    auto loaded = std::make_unique<Loaded>();
    loaded->ribbonId = ribbonId;
    ++customUiCalls_;
    model_.trace(TraceEntry::Type::HostEvent, L"GetCustomUI(\"" + ribbonId + L"\") of " + target_->name());
    const std::optional<std::wstring> xml = target_->customUi(ribbonId);
    if (!xml) {
        model_.trace(TraceEntry::Type::UiError, L"GetCustomUI(\"" + ribbonId + L"\") failed: no custom UI there");
    } else if (!xml->empty()) {
        ui::Validated validated = ui::validate(*xml, ribbonId, model_.version());
        if (validated.error) {
            loaded->status = Status::Refused;
            model_.trace(TraceEntry::Type::UiError, L"customUI error in " + ribbonId + L": line " +
                                                        std::to_wstring(validated.error->line) + L": " +
                                                        validated.error->message);
        } else {
            loaded->status = Status::Valid;
            loaded->ui = std::move(validated.ui);
        }
    }
    Loaded* result = loaded.get();
    loaded_.push_back(std::move(loaded));
    if (result->status == Status::Valid) {
        Node& ribbonUi = model_.createObject(Kind::RibbonUI, L"IRibbonUI of " + ribbonId);
        ribbonUi.controlId = ribbonId;
        result->ribbonUi = &ribbonUi;
        if (!result->ui->onLoad.empty()) {
            const auto answer = call(*result, result->ui->onLoad, {&ribbonUi}, Returns::Nothing);
            if (answer.status != AnswerStatus::Done) reportCallbackError(*result, L"onLoad " + result->ui->onLoad, answer);
        }
    }
    return result;
}

Ribbons::Loaded* Ribbons::loadedFor(const Node& window) {
    const std::wstring id = ribbonIdOf(window);
    if (id.empty() || !target_) return nullptr;
    for (const auto& loaded : loaded_)
        if (loaded->ribbonId == id && loaded->status == Status::Valid) return loaded.get();
    return nullptr;
}

RibbonTarget::Answer Ribbons::call(Loaded&, const std::wstring& callback, std::vector<Value> args, Returns returns) {
    if (calling_ || !target_) return {AnswerStatus::Failed, {}, std::nullopt, L"called while another callback runs"};
    calling_ = true;
    RibbonTarget::Answer answer;
    try {
        answer = target_->call(callback, args, returns);
    } catch (...) {
        calling_ = false;
        throw;
    }
    calling_ = false;
    return answer;
}

void Ribbons::reportCallbackError(const Loaded& loaded, const std::wstring& what, const RibbonTarget::Answer& answer) {
    model_.trace(TraceEntry::Type::UiError, L"customUI callback error in " + loaded.ribbonId + L": " + what + L": " +
                                                describeStatus(answer.status) +
                                                (answer.detail.empty() ? L"" : L" (" + answer.detail + L")"));
}

Node& Ribbons::controlObject(Node& window, const ui::Control& control) {
    Node& object = model_.createObject(Kind::RibbonControl,
                                       L"IRibbonControl " + std::to_wstring(++controlsMade_) + L" (" + control.id + L")");
    object.controlId = control.id;
    if (const auto* tag = control.attribute(L"tag")) object.controlTag = *tag;
    object.hostWindow = &window;
    return object;
}

std::optional<Image> Ribbons::image(Loaded& loaded, Node& window, const ui::Control& control) {
    if (const auto* name = control.attribute(L"image")) {
        const auto known = loaded.loadedImages.find(*name);
        if (known != loaded.loadedImages.end()) return known->second;
        if (loaded.ui->loadImage.empty()) return std::nullopt;
        const auto answer = call(loaded, loaded.ui->loadImage, {*name}, Returns::Picture);
        if (answer.status != AnswerStatus::Done || !answer.image) {
            reportCallbackError(loaded, L"loadImage " + loaded.ui->loadImage + L"(\"" + *name + L"\")", answer);
            return std::nullopt;
        }
        loaded.loadedImages[*name] = *answer.image;
        return answer.image;
    }
    if (const auto* getter = control.attribute(L"getImage")) {
        const auto answer = call(loaded, *getter, {&controlObject(window, control)}, Returns::Picture);
        if (answer.status != AnswerStatus::Done || !answer.image) {
            reportCallbackError(loaded, L"getImage " + *getter + L" of " + control.id, answer);
            return std::nullopt;
        }
        return answer.image;
    }
    return std::nullopt;
}

Ribbons::ShownControl Ribbons::evaluate(Loaded& loaded, Node& window, const ui::Control& control) {
    ShownControl shown;
    shown.id = control.id;
    shown.separator = control.type == ui::Control::Type::Separator || control.type == ui::Control::Type::MenuSeparator;
    // A static value, or the answer of its callback; a callback that fails leaves the fallback.
    const auto boolean = [&](const wchar_t* attribute, const wchar_t* getter, bool otherwise, bool fallback) {
        if (const auto* value = control.attribute(attribute)) return *ui::booleanValue(*value);
        const auto* callback = control.attribute(getter);
        if (!callback) return otherwise;
        const auto answer = call(loaded, *callback, {&controlObject(window, control)}, Returns::Boolean);
        if (answer.status == AnswerStatus::Done)
            if (const auto* b = std::get_if<bool>(&answer.value)) return *b;
        reportCallbackError(loaded, std::wstring(getter) + L" " + *callback + L" of " + control.id,
                            answer.status == AnswerStatus::Done ? RibbonTarget::Answer{AnswerStatus::WrongType, {}, {}, {}} : answer);
        return fallback;
    };
    shown.visible = boolean(L"visible", L"getVisible", true, false);
    if (shown.separator) return shown;
    if (const auto* label = control.attribute(L"label")) {
        shown.label = *label;
    } else if (const auto* getter = control.attribute(L"getLabel")) {
        const auto answer = call(loaded, *getter, {&controlObject(window, control)}, Returns::Text);
        const auto* text = std::get_if<std::wstring>(&answer.value);
        if (answer.status == AnswerStatus::Done && text) shown.label = *text;
        else reportCallbackError(loaded, L"getLabel " + *getter + L" of " + control.id, answer);
    }
    if (control.type != ui::Control::Type::Button) return shown;
    shown.enabled = boolean(L"enabled", L"getEnabled", true, false);
    shown.showLabel = boolean(L"showLabel", L"getShowLabel", true, true);
    shown.showImage = boolean(L"showImage", L"getShowImage", true, true);
    if (const auto* size = control.attribute(L"size")) {
        shown.large = *size == L"large";
    } else if (const auto* getter = control.attribute(L"getSize")) {
        // RibbonControlSize: 0 normal, 1 large.
        const auto answer = call(loaded, *getter, {&controlObject(window, control)}, Returns::Integer);
        const auto* number = std::get_if<std::int32_t>(&answer.value);
        if (answer.status == AnswerStatus::Done && number) shown.large = *number == 1;
        else reportCallbackError(loaded, L"getSize " + *getter + L" of " + control.id, answer);
    }
    shown.image = image(loaded, window, control);
    return shown;
}

std::vector<Ribbons::ShownGroup> Ribbons::shown(Node& window) {
    Cache& cache = caches_[&window];
    Loaded* loaded = loadedFor(window);
    cache.groups.clear();
    if (!loaded) return cache.groups;
    const ui::RibbonKind* kind = ui::ribbonKind(loaded->ribbonId);
    const std::wstring firstTab = kind && !kind->tabs.empty() ? kind->tabs.front().idMsoIn(model_.version()) : L"";
    const auto state = [&](const ui::Control& control) -> const ShownControl& {
        auto it = cache.states.find(control.id);
        if (it == cache.states.end()) it = cache.states.emplace(control.id, evaluate(*loaded, window, control)).first;
        return it->second;
    };
    for (const ui::Control& tab : loaded->ui->tabs) {
        const bool tabVisible = state(tab).visible;
        const bool onFirstTab = !tab.custom() && !firstTab.empty() && tab.id == firstTab;
        for (const ui::Control& group : tab.children) {
            ShownGroup shownGroup;
            shownGroup.id = group.id;
            shownGroup.label = state(group).label;
            shownGroup.visible = tabVisible && state(group).visible;
            shownGroup.onFirstTab = onFirstTab;
            for (const ui::Control& control : group.children)
                if (control.custom()) shownGroup.controls.push_back(state(control));
            if (group.custom() || !shownGroup.controls.empty()) cache.groups.push_back(std::move(shownGroup));
        }
    }
    return cache.groups;
}

const std::vector<Ribbons::ShownGroup>& Ribbons::lastShown(const Node& window) const {
    static const std::vector<ShownGroup> none;
    const auto it = caches_.find(&window);
    return it == caches_.end() ? none : it->second.groups;
}

void Ribbons::refreshAll() {
    if (!target_) return;
    for (Node* window : model_.openExplorers()) shown(*window);
    for (Node* window : model_.openInspectors()) shown(*window);
}

Ribbons::Press Ribbons::press(Node& window, const std::optional<std::wstring>& controlId) {
    Loaded* loaded = loadedFor(window);
    if (!loaded) return Press::Absent;
    const std::vector<ShownGroup> groups = shown(window);
    for (const ui::Control& tab : loaded->ui->tabs)
        for (const ui::Control& group : tab.children)
            for (const ui::Control& control : group.children) {
                if (!isCustomButton(control) || (controlId && control.id != *controlId)) continue;
                const ShownControl& state = caches_[&window].states.at(control.id);
                const auto shownGroup = std::find_if(groups.begin(), groups.end(),
                                                     [&](const ShownGroup& g) { return g.id == group.id; });
                if (!state.visible || shownGroup == groups.end() || !shownGroup->visible) continue;
                if (!state.enabled) return Press::Disabled;
                model_.trace(TraceEntry::Type::HostEvent, L"ribbon button " + control.id + L" pressed on " + window.name());
                if (const auto* action = control.attribute(L"onAction")) {
                    const auto answer = call(*loaded, *action, {&controlObject(window, control)}, Returns::Nothing);
                    if (answer.status != AnswerStatus::Done)
                        reportCallbackError(*loaded, L"onAction " + *action + L" of " + control.id, answer);
                }
                return Press::Done;
            }
    return Press::Absent;
}

std::vector<Ribbons::MenuEntry> Ribbons::openMenu(Node& window, const std::wstring& menuIdMso) {
    std::vector<MenuEntry> entries;
    const ui::RibbonKind* kind = ui::ribbonKind(ribbonIdOf(window));
    if (!kind) {
        entries.push_back(MenuEntry{L"Copy", L"Copy", false, false, true, std::nullopt});  // Outlook 2003 and the explorers of Outlook 2007 have no customUI menus
        return entries;
    }
    for (const ui::BuiltInMenu& menu : kind->menus)
        if (menu.idMso == menuIdMso)
            for (const ui::BuiltInEntry& e : menu.entries)
                entries.push_back(MenuEntry{e.idMso, e.label, false, false, true, std::nullopt});
    Loaded* loaded = loadedFor(window);
    if (!loaded) return entries;
    for (const ui::ContextMenu& menu : loaded->ui->contextMenus) {
        if (menu.idMso != menuIdMso) continue;
        for (const ui::Control& item : menu.items) {
            if (!item.custom()) continue;
            const ShownControl state = evaluate(*loaded, window, item);
            if (!state.visible) continue;
            MenuEntry entry{item.id, state.label, true, state.separator, state.enabled, state.image};
            const auto place = [&](const wchar_t* attribute) -> std::optional<std::size_t> {
                const auto* target = item.attribute(attribute);
                if (!target) return std::nullopt;
                for (std::size_t i = 0; i < entries.size(); ++i)
                    if (!entries[i].custom && entries[i].id == *target) return i;
                return std::nullopt;
            };
            std::size_t at = entries.size();
            if (const auto after = place(L"insertAfterMso")) at = *after + 1;
            else if (const auto before = place(L"insertBeforeMso")) at = *before;
            entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
        }
    }
    return entries;
}

void Ribbons::pickMenuEntry(Node& window, const std::wstring& menuIdMso, const std::wstring& id) {
    Loaded* loaded = loadedFor(window);
    if (!loaded) return;
    for (const ui::ContextMenu& menu : loaded->ui->contextMenus) {
        if (menu.idMso != menuIdMso) continue;
        for (const ui::Control& item : menu.items) {
            if (item.id != id) continue;
            const auto* action = item.attribute(L"onAction");
            if (!action) return;
            const auto answer = call(*loaded, *action, {&controlObject(window, item)}, Returns::Nothing);
            if (answer.status != AnswerStatus::Done)
                reportCallbackError(*loaded, L"onAction " + *action + L" of " + item.id, answer);
            return;
        }
    }
}

void Ribbons::invalidate(const Node& ribbonUi, const std::optional<std::wstring>& controlId) {
    const auto it = std::find_if(loaded_.begin(), loaded_.end(),
                                 [&](const auto& loaded) { return loaded->ribbonUi == &ribbonUi; });
    if (it == loaded_.end()) return;  // a ribbon of an earlier connection
    for (auto& [window, cache] : caches_) {
        if (ribbonIdOf(*window) != (*it)->ribbonId) continue;
        if (controlId) cache.states.erase(*controlId);
        else cache.states.clear();
    }
    model_.trace(TraceEntry::Type::Note, (*it)->ribbonId + L": " +
                                             (controlId ? L"control " + *controlId + L" invalidated" : L"all invalidated"));
}

}  // namespace sim
