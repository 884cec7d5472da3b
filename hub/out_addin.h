#pragma once
// The add-in's event hub: holds the host's application, name space, window collections and
// current windows, follows their events, and detaches itself when the host has no window left.
#include <memory>
#include <string_view>
#include <vector>

#include "host/outlook.h"
#include "hub/event_bound.h"
#include "modules/component.h"

namespace zeltra {

// An Outlook item, held through its IDispatch.
class Item : public host::TypedObject<Item> {
public:
    static constexpr const host::Guid& interfaceId = host::iid::IDispatch;
};

// Where an item window's button goes: nowhere (its kind gets none), on its Standard bar, or in our
// group on its ribbon.
enum class ButtonPlace { none, commandBar, ribbon };

class OutAddIn : public std::enable_shared_from_this<OutAddIn> {
public:
    // Hubs are always shared: a running event handler keeps its hub alive until it returns.
    static std::shared_ptr<OutAddIn> create(Component& component);

    ~OutAddIn();
    OutAddIn(const OutAddIn&) = delete;
    OutAddIn& operator=(const OutAddIn&) = delete;

    // Finds the button tagged "Zeltra" on the item window's "Standard" bar or creates it, and binds
    // objCBButton to it (published on _OutAddIn). Throws on the first failure, keeping what was
    // done before it.
    // Where our ribbon group serves the window (place ribbon), a leftover tagged button is deleted
    // instead.
    host::Variant CheckInspButton(const host::Inspector& inspector, ButtonPlace place = ButtonPlace::commandBar);

    // Both throw on the first failure, keeping what was done before it.
    void AttachOutlook(const host::Application& app, std::wstring_view progId);
    void DetachOutlook();
    // Gives the item windows open now what a new one gets (the add-in was connected while Outlook
    // runs), and follows the active one. Resume-next: never throws.
    void CheckOpenInspectors() noexcept;

    // Host events; each runs in resume-next mode and so never throws.
    void colExpl_NewExplorer(const host::Variant& explorer) noexcept;
    void colInsp_NewInspector(const host::Variant& inspector) noexcept;
    void objExpl_SelectionChange() noexcept;
    void objExpl_BeforeFolderSwitch(const host::Variant& newFolder, host::Variant& cancel) noexcept;
    void objExpl_Close() noexcept;
    void objInsp_Close() noexcept;
    // The button was pressed: launch the selection. Throws on the first failure (the host gets it
    // back from its event call); a capture that could not be made ends it quietly.
    void objCBButton_Click();

    // Read access for the component and its tests.
    const host::Application& outlook() const { return objOutlook.get(); }
    const host::NameSpace& nameSpace() const { return objNS.get(); }
    const host::Explorer& explorer() const { return objExpl.get(); }
    const host::Explorers& explorers() const { return colExpl.get(); }
    const host::Inspector& inspector() const { return objInsp.get(); }
    const host::Inspectors& inspectors() const { return colInsp.get(); }
    const host::CommandBarButton& commandBarButton() const { return objCBButton.get(); }
    const host::CommandBar& commandBar() const { return objCommandBar; }
    bool isAttached() const;

private:
    explicit OutAddIn(Component& component);
    ModOutlook& module() const { return component_.modOutlook; }
    void bindHandlers();
    // The item window's button, made once no capture is running: making one pastes its face
    // through the clipboard, which a capture is using.
    void checkButtonOutsideCaptures(const host::Inspector& inspector, ButtonPlace place);
    void checkButtonIfItsClassGetsOne(const host::Inspector& inspector) noexcept;
    // The button's face: Picture and Mask, or PasteFace through the clipboard where Office
    // refuses them.
    void setFace(const host::CommandBarButton& button);
    // An event handler that keeps the hub alive while it runs and drops events once the hub is gone.
    template <class Dispatch>
    host::EventHandler handler(Dispatch dispatch);

    Component& component_;

    // The fifteen event-bound members.
    EventBound<host::Application> objOutlook{host::iid::ApplicationEvents_10};
    EventBound<host::NameSpace> objNS{host::iid::NameSpaceEvents};
    EventBound<host::Explorer> objExpl{host::iid::ExplorerEvents_10};
    EventBound<host::Explorers> colExpl{host::iid::ExplorersEvents};
    EventBound<host::Inspector> objInsp{host::iid::InspectorEvents_10};
    EventBound<host::Inspectors> colInsp{host::iid::InspectorsEvents};
    // Item members: declared with their event interface, never assigned.
    EventBound<Item> objMailItem{host::iid::ItemEvents_10};
    EventBound<Item> objPostItem{host::iid::ItemEvents_10};
    EventBound<Item> objContactItem{host::iid::ItemEvents_10};
    EventBound<Item> objDistListItem{host::iid::ItemEvents_10};
    EventBound<Item> objApptItem{host::iid::ItemEvents_10};
    EventBound<Item> objTaskItem{host::iid::ItemEvents_10};
    EventBound<Item> objJournalItem{host::iid::ItemEvents_10};
    EventBound<Item> objDocumentItem{host::iid::ItemEvents_10};
    EventBound<host::CommandBarButton> objCBButton{host::iid::CommandBarButtonEvents};
    host::CommandBar objCommandBar;

    // Every open Explorer and item window besides the ones followed through objExpl and objInsp,
    // connected to its events too: its Close is handled as theirs (so that the hub detaches when
    // the last window closes, whatever the order), an Explorer's SelectionChange as objExpl's.
    struct OtherWindow {
        host::Object window;
        host::EventConnection events;
    };
    std::vector<OtherWindow> otherWindows_;
    bool currentInspectorClosed_ = false;  // objInsp's window has closed (objInsp keeps it)
    void followOtherWindow(const host::Object& window, bool explorer);
    void stopFollowing(const host::Object& window) noexcept;
    // Follows the windows of a collection that are not objExpl or objInsp.
    template <class Collection>
    void followOtherWindowsOf(const Collection& windows, bool explorers) noexcept;
};

}  // namespace zeltra
