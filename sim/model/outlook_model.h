#pragma once
// A portable model of Outlook as an add-in sees it: the application, its name space, the
// Explorers and Inspectors collections, Explorer and item windows with their items and the item
// windows' command bars, event connections, per-object reference counts and failures injected on
// request. The in-memory fakes of the unit tests and the Win32 Outlook simulator both expose this
// one model.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/error.h"
#include "host/guid.h"
#include "host/hresult.h"
#include "sim/model/image.h"
#include "sim/model/ribbon.h"
#include "sim/model/value.h"

namespace sim {

using host::Guid;
using host::HResult;

enum class Kind {
    Application,
    NameSpace,
    Explorers,
    Inspectors,
    Explorer,
    Inspector,
    Item,
    Folder,
    AddInInstance,
    CommandBars,
    CommandBar,
    CommandBarControls,
    CommandBarButton,
    CommandBarPopup,
    ConnectionPoint,
    Selection,        // an Explorer's selected items
    WordDocument,     // Word's object model behind an editor that is Word
    WordWindows,
    WordWindow,
    WordSelection,
    WordApplication,
    RibbonUI,         // Office's ribbon objects handed to an add-in's callbacks
    RibbonControl,
    Picture,          // a picture object of the add-in's, as the host read it
};
const wchar_t* kindName(Kind kind);

// The interfaces an object of this kind answers QueryInterface for beyond IUnknown, IDispatch and
// IConnectionPointContainer: its Outlook or Office interfaces, all of them dual.
std::span<const Guid> typedInterfacesOf(Kind kind);
// The event interface an object of this kind raises, or null.
const Guid* eventInterfaceOf(Kind kind);

// How a member is invoked: the DISPATCH_* flags of IDispatch::Invoke, which may be combined
// (Visual Basic sends Method | Get for a value it uses). A member answers a call only when the call's
// flags include one of the kinds the member was declared with, as dispatch over a type library does.
using InvokeFlags = std::uint16_t;
namespace invoke {
inline constexpr InvokeFlags method = 1;
inline constexpr InvokeFlags get = 2;
inline constexpr InvokeFlags put = 4;
inline constexpr InvokeFlags putRef = 8;
}  // namespace invoke

// The kinds of value a parameter takes. Values are never converted from one kind to another, so an
// argument passed in another argument's place is refused rather than coerced.
using ValueKinds = std::uint8_t;
namespace takes {
inline constexpr ValueKinds boolean = 1;
inline constexpr ValueKinds integer = 2;
inline constexpr ValueKinds text = 4;
inline constexpr ValueKinds object = 8;  // a model object or Nothing
}  // namespace takes

struct Parameter {
    const wchar_t* name;
    ValueKinds kinds;
    bool optional;
};

// A call refused for its arguments before the member runs, as DispInvoke refuses it. For a type
// mismatch, position is the argument at fault in declared order (0 is the first argument; the value
// of a put comes last).
class ArgumentError : public host::Error {
public:
    ArgumentError(HResult hr, std::optional<std::size_t> position, std::string what)
        : host::Error(hr, std::move(what)), position_(position) {}
    std::optional<std::size_t> position() const { return position_; }

private:
    std::optional<std::size_t> position_;
};

// A failure the member itself raises (an automation exception), unlike the dispatch errors
// (unknown member, wrong arguments) that automation reports directly.
class MemberFailure : public host::Error {
public:
    using host::Error::Error;
};

// A failure injected on request.
class InjectedFailure : public MemberFailure {
public:
    using MemberFailure::MemberFailure;
};

// Receives events from a connection point; the Win32 simulator wraps the add-in's IDispatch sinks.
class Sink {
public:
    virtual ~Sink() = default;
    // Arguments in declared order; by-reference arguments may be changed by the call.
    virtual HResult invoke(std::int32_t dispid, std::vector<Value>& args) = 0;
};

class Model;

// Office's control types and the model's custom control Id.
inline constexpr std::int32_t msoControlButton = 1;
inline constexpr std::int32_t msoControlPopup = 10;
inline constexpr std::int32_t customControlId = 1;

// A picture as the clipboard's CF_DIB holds it: a packed device-independent bitmap
// (BITMAPINFOHEADER, colour table, bits).
using Picture = std::vector<std::uint8_t>;
struct PictureFormat {
    std::int32_t width;
    std::int32_t height;
    std::int32_t bitsPerPixel;
    std::size_t bitsOffset;  // where the pixels start, after the header and colour table
};
// The size and depth of a packed DIB, or nothing when the bytes are not a complete one.
std::optional<PictureFormat> pictureFormat(std::span<const std::uint8_t> dib);
// "16x16 4bpp", or "none" for an empty picture (a control showing the built-in face of its FaceId).
std::wstring describePicture(std::span<const std::uint8_t> dib);

// One host object.
class Node {
public:
    Node(Model& model, Kind kind, std::wstring name);
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    Kind kind() const { return kind_; }
    const std::wstring& name() const { return name_; }
    Model& model() const { return model_; }

    // References held outside the model (by the add-in and its adapters).
    int refs() const { return refs_; }
    void addRef();
    void release();

    // State of windows and items.
    bool open = true;
    std::int32_t itemClass = 0;     // items
    std::wstring body;              // items; folders: the folder's name
    Node* item = nullptr;           // inspectors: the item shown
    Node* commandBars = nullptr;    // inspectors: their own bars, made when first asked for
    Node* currentFolder = nullptr;  // explorers: made when first asked for
    std::wstring progId;            // add-in instance objects
    bool compose = false;           // inspectors: a new item being written, not one received or saved
    std::int32_t editorType = 0;    // inspectors: olEditorText 1, olEditorHTML 2, olEditorRTF 3, olEditorWord 4
    Node* wordDocument = nullptr;   // inspectors: Word's document of their editor; explorers: of the inline response
    Node* hostWindow = nullptr;     // Word's objects, ribbon controls: the window they belong to
    Node* wordWindows = nullptr;    // Word documents: their Windows collection, window and selection
    Node* wordWindow = nullptr;
    Node* wordSelection = nullptr;
    Node* selection = nullptr;      // explorers: the Selection collection of what is selected now
    Node* readingItem = nullptr;    // explorers: the item in the reading pane
    bool inlineResponse = false;    // explorers: an inline reply is open in the reading pane
    std::wstring controlId;         // ribbon controls: Id and Tag; IRibbonUI: its ribbon ID
    std::wstring controlTag;
    Image image;                    // pictures

    // Command bars. A CommandBars collection holds bars, a CommandBarControls collection controls,
    // in their order; a bar and a pop-up own one CommandBarControls collection.
    std::vector<Node*> elements;
    Node* controls = nullptr;
    bool controlDeleted = false;  // CommandBarControls: one of them was deleted this session
    std::wstring barName;
    struct Control {
        std::int32_t type = msoControlButton;
        std::int32_t id = customControlId;
        std::wstring caption;
        std::wstring descriptionText;
        std::wstring onAction;
        std::wstring tag;
        std::wstring tooltipText;
        std::wstring parameter;
        bool beginGroup = false;
        bool visible = true;
        bool temporary = false;
        bool custom = false;  // added by an add-in (or retained from such a control), not built in
        std::int32_t faceId = 0;
        std::int32_t style = 0;
        Picture face;  // pasted; empty: the built-in face of faceId
        Image picture;  // assigned to Picture (empty when the face was pasted or is built in)
        Image mask;     // assigned to Mask: its white pixels make the picture transparent
        // The members the add-in set (puts) or called (methods) on this control, in order; only
        // calls that took effect count.
        std::vector<std::wstring> changes;
    } control;

    // Connection points: the object whose events they deliver, and the event interface.
    Node* source = nullptr;
    Guid eventIid;

    struct Connection {
        std::uint32_t cookie;
        Guid eventIid;
        std::shared_ptr<Sink> sink;
    };
    std::vector<Connection> connections;

private:
    Model& model_;
    Kind kind_;
    std::wstring name_;
    int refs_ = 0;
};

struct TraceEntry {
    // UiError: what Office shows an add-in developer who asked to see add-in user interface errors.
    enum class Type { HostEvent, AddInCall, QueryInterface, AddRef, Release, Advise, Unadvise, Failure, Note, UiError };
    Type type;
    std::wstring text;
};

// What FindControl looks for; an empty criterion matches every control.
struct ControlCriteria {
    std::optional<std::int32_t> type;
    std::optional<std::int32_t> id;
    std::optional<std::wstring> tag;
    bool visibleOnly = false;
    bool recursive = false;  // also inside pop-ups
};

// What an editor shows: its text as the edit control holds it (line breaks as CR LF) and the
// selection in it, as UTF-16 positions.
struct EditorState {
    std::wstring text;
    std::size_t start = 0;
    std::size_t end = 0;
};

// Word's view of an editor's text: paragraph marks as a lone CR, the document's final paragraph
// mark after the last character, positions counted in Word's characters.
struct WordText {
    std::wstring text;
    std::int32_t start = 0;
    std::int32_t end = 0;
};
WordText wordView(const EditorState& state);

inline constexpr std::int32_t olEditorText = 1;
inline constexpr std::int32_t olEditorHTML = 2;
inline constexpr std::int32_t olEditorRTF = 3;
inline constexpr std::int32_t olEditorWord = 4;
inline constexpr std::int32_t olMeetingRequest = 53;

class Model {
public:
    Model();
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    Node& application() { return *application_; }
    Node& nameSpace() { return *nameSpace_; }
    Node& explorersCollection() { return *explorers_; }
    Node& inspectorsCollection() { return *inspectors_; }
    Node& addInInstance(std::wstring_view progId);

    // --- What the add-in does: every call goes through here. Failures throw host::Error. ---
    // Whether the object answers QueryInterface for iid; counts no reference.
    void queryInterface(Node& node, const Guid& iid);
    std::optional<std::int32_t> dispidOf(const Node& node, std::wstring_view name) const;
    // The kinds of the member that a call with these flags reaches; throws DISP_E_MEMBERNOTFOUND
    // when it reaches none.
    InvokeFlags invokeKind(const Node& node, std::int32_t dispid, InvokeFlags flags) const;
    // Arguments in declared order; the value of a put comes last. Omitted optional arguments are
    // Missing or left off the end. Refused arguments throw ArgumentError.
    Value invoke(Node& node, std::int32_t dispid, InvokeFlags flags, std::span<const Value> args);
    Value invoke(Node& node, std::wstring_view name, InvokeFlags flags, std::span<const Value> args);
    std::uint32_t advise(Node& node, const Guid& eventIid, std::shared_ptr<Sink> sink);
    void unadvise(Node& node, std::uint32_t cookie);
    bool raisesEvents(const Node& node, const Guid& eventIid) const;
    // The connection point of source for eventIid: an object of its own, with its own references.
    Node& connectionPoint(Node& source, const Guid& eventIid);

    // --- What the user does, with the host's events. ---
    // The major version of Outlook: 11 (2003), 12 (2007), 14 (2010) or 16 (2013 and later).
    void setVersion(int version) { version_ = version; }
    int version() const { return version_; }
    Ribbons& ribbons() { return ribbons_; }

    Node& openExplorer();
    // An item window: of a received or saved item (read), or of a new one being written (compose).
    Node& openInspector(std::int32_t itemClass, std::wstring body, bool compose = false);
    void setEditorType(Node& inspector, std::int32_t editorType);
    // The explorer's selection becomes one item with that body, or nothing; SelectionChange follows.
    void selectItem(Node& explorer, std::optional<std::wstring> body);
    // An inline reply opens in the explorer's reading pane, in Word.
    void replyInline(Node& explorer);
    // Where Word's objects read the text and selection of a window's editor (an item window's
    // text, an explorer's reading pane); without a source, the item's body with nothing selected.
    using EditorSource = std::function<std::optional<EditorState>(const Node& window)>;
    void setEditorSource(EditorSource source) { editorSource_ = std::move(source); }
    std::optional<EditorState> editorState(const Node& window) const;
    // A new object of the model's own (for the ribbon host) or a picture of an add-in's.
    Node& createObject(Kind kind, std::wstring name) { return create(kind, std::move(name)); }
    Node& pictureObject(Image image);
    void closeWindow(Node& window);
    void activate(Node& window);
    // Activate called by the add-in: the window comes to the front, and the listener is told, so
    // that the real window follows (as Outlook's does, taking the keyboard focus).
    void activateByCall(Node& window);
    using ActivationListener = std::function<void(Node& window)>;
    void setActivationListener(ActivationListener listener) { activationListener_ = std::move(listener); }
    // Switches to a new folder of that name: BeforeFolderSwitch, then FolderSwitch unless a handler
    // cancelled. Returns whether a handler cancelled the switch.
    bool switchFolder(Node& explorer, std::wstring folderName);
    bool switchFolder(Node& explorer, Node& folder);
    // Clicks a command-bar button: Office raises Click for every button object with the same Tag
    // that has a connection (only the button itself when its Tag is empty). Returns whether a
    // handler set CancelDefault.
    bool click(Node& button);

    // --- Command bars. ---
    Node& commandBarsOf(Node& inspector);
    Node* commandBar(Node& inspector, std::wstring_view name);
    // The first control of bar (a CommandBar) that meets every criterion, or null.
    Node* findControl(const Node& bar, const ControlCriteria& criteria) const;
    // A new control in a CommandBarControls collection, at the 1-based position before (appended
    // when absent). Throws MemberFailure(E_INVALIDARG) for a type or position it does not take.
    Node& addControl(Node& controls, std::int32_t type, std::int32_t id, std::optional<std::int32_t> before);
    // PasteFace: the clipboard's picture becomes the button's face. Throws MemberFailure(E_FAIL)
    // when the clipboard holds no picture (or none can be read).
    void pasteFace(Node& button);
    // Takes the control off whatever bar or pop-up holds it.
    void deleteControl(Node& control);
    // Where PasteFace reads the clipboard's picture: a packed DIB, or nothing when the clipboard
    // holds no bitmap. Without a source the clipboard holds none.
    using PictureSource = std::function<std::optional<Picture>()>;
    void setClipboardPictureSource(PictureSource source) { pictureSource_ = std::move(source); }
    // The handle of an Explorer's or Inspector's window (the simulator's real windows); without
    // one, a number that stands for the window.
    using WindowHandles = std::function<std::uintptr_t(const Node& window)>;
    void setWindowHandles(WindowHandles handles) { windowHandles_ = std::move(handles); }
    // IOleWindow::GetWindow of an Explorer or an Inspector, as the add-in calls it.
    std::uintptr_t windowHandle(Node& window);
    // Called after the add-in changed a control (a put or PasteFace that took effect).
    using ControlListener = std::function<void(const Node& control)>;
    void setControlListener(ControlListener listener) { controlListener_ = std::move(listener); }

    // --- Sessions: Outlook quitting and starting again. ---
    // Outlook has quit: its windows go (without events: no add-in is connected any more), and the
    // bars keep their custom controls that are not temporary, per bar name and item class, for
    // the item windows of later sessions. For each bar name and class, the controls kept are those
    // of the item window of that class opened last whose bar had any (the bar's own controls,
    // custom pop-ups with what they hold); a class none of whose windows had any keeps what it had.
    void endSession();

    // --- State. ---
    std::vector<Node*> openExplorers() const;
    std::vector<Node*> openInspectors() const;
    Node* activeExplorer() const;
    Node* activeInspector() const;
    // The Explorer or Inspector in front (Application.ActiveWindow), or null.
    Node* activeWindow() const;
    Node* find(std::wstring_view name) const;
    const std::vector<std::unique_ptr<Node>>& nodes() const { return nodes_; }
    // Every object the add-in still holds a reference to, with the count.
    std::vector<std::pair<const Node*, int>> referencesHeld() const;
    std::size_t connectionCount() const;
    // Outlook going away: every connection it still holds (those whose Unadvise it refused)
    // ends, and the sinks are released.
    void dropConnections();
    // Releases beyond the references handed out; each is a fault of the add-in.
    const std::vector<std::wstring>& overReleases() const { return overReleases_; }
    // Calls that broke COM's rules (an object used from a thread other than its own); each is a
    // fault of the add-in.
    void recordFault(std::wstring what);
    const std::vector<std::wstring>& faults() const { return faults_; }
    void clearFaults() { faults_.clear(); }

    // --- Failure injection: member is a member name, "QueryInterface", "Advise" or "Unadvise";
    // target is an object's name ("Explorer 2") or a kind ("Explorer" for every Explorer).
    // The first `skip` matching calls succeed; then `times` calls fail (times < 0: every call). ---
    void failMember(std::wstring target, std::wstring member, HResult hr, int times = 1, int skip = 0);
    void clearFailures() { failures_.clear(); }
    // Every call the add-in makes that can fail (members, QueryInterface for a host interface,
    // Advise, Unadvise) is numbered from 1; failCall(n) makes call number n fail.
    void failCall(int number, HResult hr) { failCallNumber_ = number, failCallResult_ = hr; }
    int callsMade() const { return callsMade_; }
    // Host events raised since the last call, whose sinks returned failures.
    std::vector<HResult> takeEventFailures();

    // --- Trace of what the host and the add-in did. ---
    using TraceListener = std::function<void(const TraceEntry&)>;
    void setTraceListener(TraceListener listener) { traceListener_ = std::move(listener); }
    void trace(TraceEntry::Type type, std::wstring text);
    const std::vector<TraceEntry>& traceLog() const { return traceLog_; }
    void clearTrace() { traceLog_.clear(); }

private:
    struct Failure {
        std::wstring target;
        std::wstring member;
        HResult hr;
        int times;
        int skip;
    };
    struct MemberInfo;
    static const std::vector<MemberInfo>& membersOf(Kind kind);
    static const MemberInfo* memberById(Kind kind, std::int32_t dispid);
    void checkFailure(const Node& node, std::wstring_view member);
    Node& create(Kind kind, std::wstring name);
    Node& createFolder(std::wstring folderName);
    Node& wordDocumentOf(Node& window);
    Node& wordApplication();
    Node* frontWordDocument();
    Node* wordApplication_ = nullptr;
    Node& createControls(Node& owner);
    Node& createBar(Node& bars, std::wstring name);
    Node& createControl(Node& controls, std::int32_t type, std::int32_t id, std::wstring caption,
                        std::optional<std::size_t> index = std::nullopt);
    struct RetainedControl {
        Node::Control control;
        std::size_t position;
        std::vector<RetainedControl> children;  // of a pop-up
    };
    std::vector<RetainedControl> retainedFrom(const Node& controls) const;
    void restore(Node& controls, const std::vector<RetainedControl>& retained);
    void raise(Node& source, const Guid& eventIid, std::int32_t dispid, std::vector<Value>& args,
               const std::wstring& description);
    void deliver(Node& source, const Guid& eventIid, std::int32_t dispid, std::vector<Value>& args,
                 const std::wstring& description);
    std::vector<Node*> windows(Kind kind) const;

    std::vector<std::unique_ptr<Node>> nodes_;
    Node* application_;
    Node* nameSpace_;
    Node* explorers_;
    Node* inspectors_;
    // Windows in z-order, front first; the front open one is the active one.
    std::vector<Node*> zOrder_;
    WindowHandles windowHandles_;
    std::vector<Failure> failures_;
    std::vector<HResult> eventFailures_;
    std::vector<std::wstring> overReleases_;
    std::vector<std::wstring> faults_;
    std::vector<TraceEntry> traceLog_;
    TraceListener traceListener_;
    PictureSource pictureSource_;
    ControlListener controlListener_;
    ActivationListener activationListener_;
    // Custom controls kept across sessions, by bar name and item class.
    std::map<std::pair<std::wstring, std::int32_t>, std::vector<RetainedControl>> retained_;
    std::uint32_t nextCookie_ = 1;
    int callsMade_ = 0;
    int failCallNumber_ = 0;
    HResult failCallResult_ = 0;
    EditorSource editorSource_;
    int version_ = 16;
    Ribbons ribbons_{*this};
    int explorersOpened_ = 0;
    int selectionsMade_ = 0;
    int picturesMade_ = 0;
    int inspectorsOpened_ = 0;
    int foldersMade_ = 0;
    int controlsMade_ = 0;
    friend class Node;
};

}  // namespace sim
