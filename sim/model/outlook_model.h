#pragma once
// A portable model of Outlook as an add-in sees it: the application, its name space, the
// Explorers and Inspectors collections, Explorer and item windows with their items, event
// connections, per-object reference counts and failures injected on request. The in-memory fakes
// of the unit tests and the Win32 Outlook simulator both expose this one model.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/error.h"
#include "host/guid.h"
#include "host/hresult.h"
#include "sim/model/value.h"

namespace sim {

using host::Guid;
using host::HResult;

enum class Kind { Application, NameSpace, Explorers, Inspectors, Explorer, Inspector, Item, Folder, AddInInstance };
const wchar_t* kindName(Kind kind);

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

// Receives events from a connection point; the Win32 simulator wraps the add-in's IDispatch sinks.
class Sink {
public:
    virtual ~Sink() = default;
    // Arguments in declared order; by-reference arguments may be changed by the call.
    virtual HResult invoke(std::int32_t dispid, std::vector<Value>& args) = 0;
};

class Model;

// A failure injected on request; a member raises it as an exception of its own, unlike the
// dispatch errors (unknown member, wrong arguments) that automation reports directly.
class InjectedFailure : public host::Error {
public:
    using host::Error::Error;
};

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
    std::int32_t itemClass = 0;  // items
    std::wstring body;           // items
    Node* item = nullptr;        // inspectors: the item shown
    std::wstring progId;         // add-in instance objects

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
    enum class Type { HostEvent, AddInCall, QueryInterface, AddRef, Release, Advise, Unadvise, Failure, Note };
    Type type;
    std::wstring text;
};

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
    Value invoke(Node& node, std::int32_t dispid, InvokeFlags flags, std::span<const Value> args);
    Value invoke(Node& node, std::wstring_view name, InvokeFlags flags, std::span<const Value> args);
    std::uint32_t advise(Node& node, const Guid& eventIid, std::shared_ptr<Sink> sink);
    void unadvise(Node& node, std::uint32_t cookie);
    bool raisesEvents(const Node& node, const Guid& eventIid) const;

    // --- What the user does, with the host's events. ---
    Node& openExplorer();
    Node& openInspector(std::int32_t itemClass, std::wstring body);
    void closeWindow(Node& window);
    void activate(Node& window);
    // Raises BeforeFolderSwitch; returns whether a handler cancelled the switch.
    bool switchFolder(Node& explorer, std::wstring folderName);

    // --- State. ---
    std::vector<Node*> openExplorers() const;
    std::vector<Node*> openInspectors() const;
    Node* activeExplorer() const;
    Node* activeInspector() const;
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
    void raise(Node& source, const Guid& eventIid, std::int32_t dispid, std::vector<Value>& args,
               const std::wstring& description);
    std::vector<Node*> windows(Kind kind) const;

    std::vector<std::unique_ptr<Node>> nodes_;
    Node* application_;
    Node* nameSpace_;
    Node* explorers_;
    Node* inspectors_;
    // Windows in z-order, front first; the front open one is the active one.
    std::vector<Node*> zOrder_;
    std::vector<Failure> failures_;
    std::vector<HResult> eventFailures_;
    std::vector<std::wstring> overReleases_;
    std::vector<TraceEntry> traceLog_;
    TraceListener traceListener_;
    std::uint32_t nextCookie_ = 1;
    int callsMade_ = 0;
    int failCallNumber_ = 0;
    HResult failCallResult_ = 0;
    int explorersOpened_ = 0;
    int inspectorsOpened_ = 0;
    int foldersMade_ = 0;
    friend class Node;
};

}  // namespace sim
