#pragma once
// Office's ribbon host, for the add-ins connected to Outlook 2007 and later: each ribbon ID's
// custom UI asked for once per connection and checked (sim/model/custom_ui.h), the add-in's
// callbacks called by name as Office calls them, their answers kept per window until the add-in
// invalidates them, the IRibbonUI object of each loaded ribbon and an IRibbonControl object for
// every callback, counted like every other object the add-in is handed.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/model/custom_ui.h"
#include "sim/model/image.h"
#include "sim/model/value.h"

namespace sim {

class Model;
class Node;

// The add-in's IRibbonExtensibility as the host reaches it.
class RibbonTarget {
public:
    virtual ~RibbonTarget() = default;
    // GetCustomUI(ribbonId); nothing when the call failed.
    virtual std::optional<std::wstring> customUi(const std::wstring& ribbonId) = 0;

    enum class Returns { Nothing, Boolean, Integer, Text, Picture };
    struct Answer {
        enum class Status { Done, NameNotFound, Failed, WrongType } status = Status::Done;
        Value value;                 // a boolean or text
        std::optional<Image> image;  // a picture, read from the object the add-in returned
        std::wstring detail;         // why it went wrong
    };
    // Looks the callback up by name and calls it with these arguments (in declared order).
    virtual Answer call(const std::wstring& name, const std::vector<Value>& args, Returns returns) = 0;
    virtual std::wstring name() const = 0;
};

class Ribbons {
public:
    explicit Ribbons(Model& model) : model_(model) {}

    enum class Status { None, Valid, Refused };

    // After an add-in's OnConnection: the explorer's ribbon (Outlook 2010 and later) and those of
    // the item windows already open are loaded at once.
    void connected(std::shared_ptr<RibbonTarget> target);
    // Before its release: its ribbons are gone.
    void disconnected();
    // After NewInspector: the first window of a kind loads that kind's ribbon.
    void windowOpened(Node& window);

    // The ribbon ID a window shows, or empty (Outlook 2003, explorers of Outlook 2007, a document).
    std::wstring ribbonIdOf(const Node& window) const;
    // How the current connection's custom UI of that ribbon ID came out; nothing when not asked.
    std::optional<Status> status(const std::wstring& ribbonId) const;
    // GetCustomUI calls since the last takeCustomUiCalls().
    int takeCustomUiCalls() { return std::exchange(customUiCalls_, 0); }

    struct ShownControl {
        std::wstring id;
        bool separator = false;
        std::wstring label;
        bool enabled = true;
        bool visible = true;
        bool large = false;
        bool showLabel = true;
        bool showImage = true;
        std::optional<Image> image;
    };
    struct ShownGroup {
        std::wstring id;
        std::wstring label;
        bool visible = true;
        bool onFirstTab = true;  // on the tab the window opens on, or on a tab of its own
        std::vector<ShownControl> controls;
    };
    // The add-in's groups on a window's ribbon, with the getters that are due called first.
    std::vector<ShownGroup> shown(Node& window);
    // What the window showed when it last asked, for drawing (no callback is made).
    const std::vector<ShownGroup>& lastShown(const Node& window) const;
    // Calls every getter that is due, on every window that shows a ribbon.
    void refreshAll();

    enum class Press { Done, Absent, Disabled };
    // The user presses the add-in's first button on the window's ribbon, or the one with that id.
    Press press(Node& window, const std::optional<std::wstring>& controlId);

    struct MenuEntry {
        std::wstring id;  // empty for a built-in entry without a known id
        std::wstring label;
        bool custom = false;
        bool separator = false;
        bool enabled = true;
        std::optional<Image> image;
    };
    // The entries of a built-in context menu of that window as it opens, the add-in's entries at
    // the place its XML puts them; their getters are called at every opening.
    std::vector<MenuEntry> openMenu(Node& window, const std::wstring& menuIdMso);
    // onAction of the add-in's menu entry.
    void pickMenuEntry(Node& window, const std::wstring& menuIdMso, const std::wstring& id);

    // IRibbonUI.Invalidate, IRibbonUI.InvalidateControl.
    void invalidate(const Node& ribbonUi, const std::optional<std::wstring>& controlId);

private:
    struct Loaded {
        std::wstring ribbonId;
        Status status = Status::None;
        std::optional<ui::CustomUi> ui;
        Node* ribbonUi = nullptr;
        std::map<std::wstring, Image> loadedImages;  // loadImage answers by image name
    };
    struct Cache {
        std::map<std::wstring, ShownControl> states;  // by control id
        std::vector<ShownGroup> groups;
        bool stale = true;
    };
    Loaded* load(const std::wstring& ribbonId);
    Loaded* loadedFor(const Node& window);
    ShownControl evaluate(Loaded& loaded, Node& window, const ui::Control& control);
    std::optional<Image> image(Loaded& loaded, Node& window, const ui::Control& control);
    RibbonTarget::Answer call(Loaded& loaded, const std::wstring& callback, std::vector<Value> args,
                              RibbonTarget::Returns returns);
    Node& controlObject(Node& window, const ui::Control& control);
    void reportCallbackError(const Loaded& loaded, const std::wstring& what, const RibbonTarget::Answer& answer);

    Model& model_;
    std::shared_ptr<RibbonTarget> target_;
    std::vector<std::unique_ptr<Loaded>> loaded_;
    std::map<const Node*, Cache> caches_;
    int customUiCalls_ = 0;
    int controlsMade_ = 0;
    bool calling_ = false;  // a callback is running: no other starts inside it
};

}  // namespace sim
