#include "hub/out_addin.h"

#include "host/components.h"
#include "host/error_mode.h"
#include "modules/launch.h"

namespace zeltra {

using host::resumeNext;
using host::holdsOrFailsToEvaluate;

namespace {
host::Variant argumentOrEmpty(std::span<host::Variant> args, std::size_t index) {
    return index < args.size() ? args[index] : host::Variant();
}

constexpr const wchar_t* buttonTag = L"Zeltra";

// VARIANT equality with an item class number: only a number of the same value is equal (Empty,
// text and objects never are).
bool sameNumber(const host::Variant& value, std::int32_t number) {
    switch (value.kind()) {
        case host::Variant::Kind::Int: return value.asInt() == number;
        case host::Variant::Kind::Double: return value.asDouble() == number;
        default: return false;
    }
}

// Which item windows get the button, by their item's class; the first equal entry decides. From
// the Outlook version given on, the kind's first tab is one our ribbon XML names (addin/ribbon.cpp)
// and the button is there instead; before it (the tabs of posts, tasks and journal entries are not
// confirmed before 2013) the window keeps the command-bar button, which Office shows on the
// Add-ins tab.
constexpr int noRibbon = 0;
constexpr int outlook2007 = 12;
constexpr int outlook2013 = 15;
struct ItemClassRule {
    std::int32_t itemClass;
    bool button;
    int ribbonSince;
};
constexpr ItemClassRule itemClassRules[] = {
    {43, true, outlook2007},   // mail item
    {45, true, outlook2013},   // post
    {26, true, outlook2007},   // appointment
    {40, true, outlook2007},   // contact
    {69, false, noRibbon},     // distribution list
    {48, true, outlook2013},   // task
    {42, true, outlook2013},   // journal entry
    {41, false, noRibbon},     // document
};

ButtonPlace buttonPlace(const host::Variant& itemClass, const Component& component) {
    for (const auto& rule : itemClassRules) {
        if (!sameNumber(itemClass, rule.itemClass)) continue;
        if (!rule.button) return ButtonPlace::none;
        const bool onOurRibbon = rule.ribbonSince != noRibbon && component.outlookVersion >= rule.ribbonSince;
        return onOurRibbon ? ButtonPlace::ribbon : ButtonPlace::commandBar;
    }
    return ButtonPlace::none;
}
}  // namespace

std::shared_ptr<OutAddIn> OutAddIn::create(Component& component) {
    std::shared_ptr<OutAddIn> hub(new OutAddIn(component));
    hub->bindHandlers();
    return hub;
}

OutAddIn::OutAddIn(Component& component) : component_(component) {}

// objApp is set and emptied together with objOutlook. A hub destroyed while still attached (the
// host released the add-in without disconnecting it, or the detach failed partway) empties it too,
// so that the module does not keep the host's application alive after the add-in is gone.
OutAddIn::~OutAddIn() {
    if (!objOutlook.isNothing() && module().objApp.object().isSameObject(objOutlook.get().object())) {
        module().objApp = {};
    }
}

template <class Dispatch>
host::EventHandler OutAddIn::handler(Dispatch dispatch) {
    return [weak = weak_from_this(), dispatch](std::int32_t dispid, std::span<host::Variant> args) {
        const std::shared_ptr<OutAddIn> hub = weak.lock();
        if (hub) dispatch(*hub, dispid, args);
    };
}

void OutAddIn::bindHandlers() {
    colExpl.setHandler(handler([](OutAddIn& hub, std::int32_t dispid, std::span<host::Variant> args) {
        if (dispid == host::dispid::NewExplorer) hub.colExpl_NewExplorer(argumentOrEmpty(args, 0));
    }));
    colInsp.setHandler(handler([](OutAddIn& hub, std::int32_t dispid, std::span<host::Variant> args) {
        if (dispid == host::dispid::NewInspector) hub.colInsp_NewInspector(argumentOrEmpty(args, 0));
    }));
    objExpl.setHandler(handler([](OutAddIn& hub, std::int32_t dispid, std::span<host::Variant> args) {
        if (dispid == host::dispid::BeforeFolderSwitch && args.size() == 2) {
            hub.objExpl_BeforeFolderSwitch(args[0], args[1]);
        } else if (dispid == host::dispid::SelectionChange) {
            hub.objExpl_SelectionChange();
        } else if (dispid == host::dispid::Close) {
            hub.objExpl_Close();
        }
    }));
    objInsp.setHandler(handler([](OutAddIn& hub, std::int32_t dispid, std::span<host::Variant>) {
        if (dispid == host::dispid::Close) {
            hub.currentInspectorClosed_ = true;
            hub.objInsp_Close();
        }
    }));
    // The application, the name space and the items raise events the add-in does not handle.
    const host::EventHandler ignore = handler([](OutAddIn&, std::int32_t, std::span<host::Variant>) {});
    for (auto* member : {&objMailItem, &objPostItem, &objContactItem, &objDistListItem, &objApptItem, &objTaskItem,
                         &objJournalItem, &objDocumentItem})
        member->setHandler(ignore);
    objOutlook.setHandler(ignore);
    objCBButton.setHandler(handler([](OutAddIn& hub, std::int32_t dispid, std::span<host::Variant>) {
        if (dispid == host::dispid::Click) hub.objCBButton_Click();
    }));
    objNS.setHandler(ignore);
}

bool OutAddIn::isAttached() const {
    return !objOutlook.isNothing() || !objNS.isNothing() || !colExpl.isNothing() || !colInsp.isNothing() ||
           !objExpl.isNothing() || !objInsp.isNothing();
}

host::Variant OutAddIn::CheckInspButton(const host::Inspector& inspector, ButtonPlace place) {
    const host::Inspector window = inspector.newReference();
    objCommandBar = window.commandBars().item(L"Standard");
    // Office keeps a permanent button across restarts: look ours up by its tag first. Only the
    // bar's own buttons count (not pop-ups, not what is inside them); hidden ones count too.
    objCBButton.assign(objCommandBar.findControl(host::msoControlButton, buttonTag, false));
    if (place == ButtonPlace::ribbon) {
        // The window shows the add-in's ribbon group; a command-bar button would be a second one,
        // on the Add-ins tab. One that an earlier version left there goes.
        if (!objCBButton.isNothing()) {
            const host::CommandBarButton left = objCBButton.get().newReference();
            objCBButton.clear();
            left.remove();
        }
        return {};
    }
    if (!objCBButton.isNothing()) return {};

    // Temporary: a button Office kept would outlive the add-in (its OnAction naming a class that an
    // uninstall removed), and every item window gets its own anyway.
    objCBButton.assign(objCommandBar.controls().add(host::msoControlButton, true));
    const host::CommandBarButton button = objCBButton.get().newReference();
    button.setCaption(L"Zel&tra");
    button.setBeginGroup(false);
    button.setFaceId(3621);
    button.setTooltipText(L" Launch selected text with Zeltra ");
    button.setDescriptionText(L" Launch selected text with Zeltra from Razarid Urododidivivu ");
    button.setStyle(host::msoButtonIconAndCaption);
    button.setTag(buttonTag);
    // The add-in's own ProgID: Office loads it to run a retained button pressed while it is not loaded.
    button.setOnAction(L"!<DODuruda_Vored.Connect>");
    button.setVisible(true);
    setFace(button);
    return {};
}

void OutAddIn::setFace(const host::CommandBarButton& button) {
    FrmAddIn& form = component_.frmAddIn();
    try {
        button.setPicture(component_.desktop.pictureOf(form.myIconPicture()));
        button.setMask(component_.desktop.pictureOf(form.myIconMask()));
        return;
    } catch (const host::Error&) {
        // An Office that refuses Picture takes the face from the clipboard.
    }
    // PasteFace takes the face from the clipboard; the user's own content goes back afterwards.
    host::KeptClipboard userClipboard(component_.desktop);
    component_.desktop.setClipboardPicture(form.myIconPicture());
    userClipboard.markOurs();
    button.pasteFace();
}

void OutAddIn::objCBButton_Click() {
    // The item window in front is the one whose button was pressed; when its editor is Word, its
    // selection is read from Word's object model.
    host::Object document;
    host::resumeNext([&] {
        const host::Inspector window = objOutlook.get().activeInspector();
        if (!window.isNothing()) document = wordDocumentOf(objOutlook.get(), window);
    });
    LaunchSelectionOf(component_, document);
}

void OutAddIn::AttachOutlook(const host::Application& app, std::wstring_view /*progId: handed over, never used*/) {
    objOutlook.assign(app);
    module().objApp = app.newReference();
    objNS.assign(objOutlook.get().getNamespace(L"MAPI"));
    colExpl.assign(objOutlook.get().explorers());
    colInsp.assign(objOutlook.get().inspectors());
    objExpl.assign(objOutlook.get().activeExplorer());
    followOtherWindowsOf(colExpl.get(), true);
    followOtherWindowsOf(colInsp.get(), false);
}

void OutAddIn::followOtherWindow(const host::Object& window, bool explorer) {
    if (window.isNothing()) return;
    for (const OtherWindow& other : otherWindows_)
        if (other.window.isSameObject(window)) return;
    const host::Object held = window.newReference();
    host::EventConnection events = held.connect(
        explorer ? host::iid::ExplorerEvents_10 : host::iid::InspectorEvents_10,
        handler([explorer, window = held](OutAddIn& hub, std::int32_t dispid, std::span<host::Variant>) {
            if (dispid == host::dispid::SelectionChange && explorer) {
                hub.objExpl_SelectionChange();
            } else if (dispid == host::dispid::Close) {
                // Copies: what the handler holds goes with the connection it ends.
                const bool closingExplorer = explorer;
                const host::Object closing = window;
                if (closingExplorer) hub.objExpl_Close();
                else hub.objInsp_Close();
                hub.stopFollowing(closing);
            }
        }));
    otherWindows_.push_back({held, std::move(events)});
}

void OutAddIn::stopFollowing(const host::Object& window) noexcept {
    for (auto it = otherWindows_.begin(); it != otherWindows_.end(); ++it) {
        if (!it->window.isSameObject(window)) continue;
        const OtherWindow leaving = std::move(*it);  // disconnects and releases as it goes
        otherWindows_.erase(it);
        return;
    }
}

template <class Collection>
void OutAddIn::followOtherWindowsOf(const Collection& windows, bool explorers) noexcept {
    std::int32_t count = 0;
    resumeNext([&] {
        const host::Variant value = windows.count();
        if (value.kind() == host::Variant::Kind::Int) count = value.asInt();
    });
    for (std::int32_t index = 1; index <= count; ++index) {
        resumeNext([&] {
            const host::Object window = windows.item(index).object();
            const host::Object followed = explorers ? objExpl.get().object() : objInsp.get().object();
            if (!window.isSameObject(followed)) followOtherWindow(window, explorers);
        });
    }
}

void OutAddIn::DetachOutlook() {
    otherWindows_.clear();
    currentInspectorClosed_ = false;
    objInsp.clear();
    objExpl.clear();
    colInsp.clear();
    colExpl.clear();
    objNS.clear();
    module().objApp = {};
    objOutlook.clear();
}

void OutAddIn::colExpl_NewExplorer(const host::Variant& explorer) noexcept {
    resumeNext([&] {
        if (objExpl.isNothing()) objExpl.assign(explorer.toObject());
        else followOtherWindow(explorer.toObject(), true);
    });
}

void OutAddIn::colInsp_NewInspector(const host::Variant& inspector) noexcept {
    // The item window followed so far is still open unless its Close came: it stays followed.
    if (!objInsp.isNothing() && !currentInspectorClosed_)
        resumeNext([&] { followOtherWindow(objInsp.get().object(), false); });
    resumeNext([&] {
        objInsp.assign(inspector.toObject());
        currentInspectorClosed_ = false;
    });
    host::Object item;
    resumeNext([&] { item = objInsp.get().currentItem(); });
    host::Variant itemClass;
    resumeNext([&] { itemClass = host::itemClass(item); });
    const ButtonPlace place = buttonPlace(itemClass, component_);
    if (place != ButtonPlace::none)
        resumeNext([&] { checkButtonOutsideCaptures(host::Inspector::from(inspector), place); });
}

void OutAddIn::checkButtonOutsideCaptures(const host::Inspector& inspector, ButtonPlace place) {
    component_.captures.whenNotCapturing([weak = weak_from_this(), window = inspector.newReference(), place] {
        if (const std::shared_ptr<OutAddIn> hub = weak.lock()) resumeNext([&] { hub->CheckInspButton(window, place); });
    });
}

void OutAddIn::checkButtonIfItsClassGetsOne(const host::Inspector& inspector) noexcept {
    host::Variant itemClass;
    resumeNext([&] { itemClass = host::itemClass(inspector.currentItem()); });
    const ButtonPlace place = buttonPlace(itemClass, component_);
    if (place != ButtonPlace::none) resumeNext([&] { checkButtonOutsideCaptures(inspector, place); });
}

void OutAddIn::CheckOpenInspectors() noexcept {
    if (colInsp.isNothing()) return;
    std::int32_t count = 0;
    resumeNext([&] {
        const host::Variant value = colInsp.get().count();
        if (value.kind() == host::Variant::Kind::Int) count = value.asInt();
    });
    for (std::int32_t index = 1; index <= count; ++index) {
        host::Inspector inspector;
        resumeNext([&] { inspector = colInsp.get().item(index); });
        if (!inspector.isNothing()) checkButtonIfItsClassGetsOne(inspector);
    }
    resumeNext([&] {
        objInsp.assign(objOutlook.get().activeInspector());
        currentInspectorClosed_ = false;
        stopFollowing(objInsp.get().object());
    });
}

// The Home tab's button is enabled while the reading pane shows an item: Office asks again once told.
void OutAddIn::objExpl_SelectionChange() noexcept { component_.ribbons.invalidateButton(); }

void OutAddIn::objExpl_BeforeFolderSwitch(const host::Variant&, host::Variant&) noexcept {
    // The folder switch is never cancelled.
}

void OutAddIn::objExpl_Close() noexcept {
    resumeNext([&] {
        objExpl.assign(module().objApp.activeExplorer());
        stopFollowing(objExpl.get().object());  // followed through objExpl from now on
    });
    const bool noWindowLeft = holdsOrFailsToEvaluate([&] {
        const bool noExplorer = objExpl.isNothing();
        return host::holds(host::tristateAnd(noExplorer, host::equalsInteger(module().objApp.inspectors().count(), 0)));
    });
    if (noWindowLeft) resumeNext([&] { DetachOutlook(); });
}

void OutAddIn::objInsp_Close() noexcept {
    // Only tested: the tracked Explorer stays as it is.
    const bool noWindowLeft = holdsOrFailsToEvaluate([&] {
        const bool noExplorer = module().objApp.activeExplorer().isNothing();
        return host::holds(
            host::tristateAnd(noExplorer, host::lessOrEqualInteger(module().objApp.inspectors().count(), 1)));
    });
    if (noWindowLeft) resumeNext([&] { DetachOutlook(); });
}

}  // namespace zeltra
