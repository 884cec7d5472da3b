#include "sim/model/outlook_model.h"

#include <algorithm>
#include <cwctype>
#include <utility>

#include "host/error.h"
#include "host/iids.h"

namespace sim {
namespace iid = host::iid;

namespace {

bool sameText(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(x) == std::towlower(y);
           });
}

std::wstring interfaceName(const Guid& g) {
    static const std::pair<const Guid*, const wchar_t*> names[] = {
        {&iid::IUnknown, L"IUnknown"},
        {&iid::IDispatch, L"IDispatch"},
        {&iid::IConnectionPointContainer, L"IConnectionPointContainer"},
        {&iid::Application, L"_Application"},
        {&iid::NameSpace, L"_NameSpace"},
        {&iid::Explorer, L"_Explorer"},
        {&iid::Inspector, L"_Inspector"},
        {&iid::Inspectors, L"_Inspectors"},
        {&iid::Explorers, L"_Explorers"},
        {&iid::ApplicationEvents, L"ApplicationEvents"},
        {&iid::ExplorerEvents, L"ExplorerEvents"},
        {&iid::InspectorEvents, L"InspectorEvents"},
        {&iid::ItemEvents, L"ItemEvents"},
        {&iid::ExplorersEvents, L"ExplorersEvents"},
        {&iid::InspectorsEvents, L"InspectorsEvents"},
        {&iid::NameSpaceEvents, L"NameSpaceEvents"},
    };
    for (const auto& [guid, name] : names)
        if (*guid == g) return name;
    return host::toWString(g);
}

const Guid* typedInterface(Kind kind) {
    switch (kind) {
        case Kind::Application: return &iid::Application;
        case Kind::NameSpace: return &iid::NameSpace;
        case Kind::Explorers: return &iid::Explorers;
        case Kind::Inspectors: return &iid::Inspectors;
        case Kind::Explorer: return &iid::Explorer;
        case Kind::Inspector: return &iid::Inspector;
        default: return nullptr;
    }
}

const Guid* eventInterface(Kind kind) {
    switch (kind) {
        case Kind::Application: return &iid::ApplicationEvents;
        case Kind::NameSpace: return &iid::NameSpaceEvents;
        case Kind::Explorers: return &iid::ExplorersEvents;
        case Kind::Inspectors: return &iid::InspectorsEvents;
        case Kind::Explorer: return &iid::ExplorerEvents;
        case Kind::Inspector: return &iid::InspectorEvents;
        case Kind::Item: return &iid::ItemEvents;
        default: return nullptr;
    }
}

[[noreturn]] void fail(HResult hr, const char* what) { throw host::Error(hr, what); }

void expectArgs(std::span<const Value> args, std::size_t count) {
    if (args.size() != count) fail(host::hresult::badParamCount, "wrong number of arguments");
}

const std::wstring& stringArg(std::span<const Value> args, std::size_t i) {
    const auto* s = std::get_if<std::wstring>(&args[i]);
    if (!s) fail(host::hresult::typeMismatch, "string argument expected");
    return *s;
}

std::int32_t countOf(const std::vector<Node*>& windows) { return static_cast<std::int32_t>(windows.size()); }

}  // namespace

const wchar_t* kindName(Kind kind) {
    switch (kind) {
        case Kind::Application: return L"Application";
        case Kind::NameSpace: return L"NameSpace";
        case Kind::Explorers: return L"Explorers";
        case Kind::Inspectors: return L"Inspectors";
        case Kind::Explorer: return L"Explorer";
        case Kind::Inspector: return L"Inspector";
        case Kind::Item: return L"Item";
        case Kind::Folder: return L"Folder";
        case Kind::AddInInstance: return L"AddInInstance";
    }
    return L"?";
}

std::wstring describe(const Value& value) {
    struct Visitor {
        std::wstring operator()(std::monostate) const { return L"Empty"; }
        std::wstring operator()(bool b) const { return b ? L"True" : L"False"; }
        std::wstring operator()(std::int32_t i) const { return std::to_wstring(i); }
        std::wstring operator()(double d) const { return std::to_wstring(d); }
        std::wstring operator()(const std::wstring& s) const { return L"\"" + s + L"\""; }
        std::wstring operator()(Node* n) const { return n ? n->name() : L"Nothing"; }
        std::wstring operator()(Missing) const { return L"(missing)"; }
    };
    return std::visit(Visitor{}, value);
}

// ---------------------------------------------------------------------------------------------
Node::Node(Model& model, Kind kind, std::wstring name) : model_(model), kind_(kind), name_(std::move(name)) {}

void Node::addRef() {
    ++refs_;
    model_.trace(TraceEntry::Type::AddRef, name_ + L" AddRef -> " + std::to_wstring(refs_));
}

void Node::release() {
    if (refs_ == 0) {
        model_.overReleases_.push_back(name_);
        model_.trace(TraceEntry::Type::Failure, name_ + L" released more often than referenced");
        return;
    }
    --refs_;
    model_.trace(TraceEntry::Type::Release, name_ + L" Release -> " + std::to_wstring(refs_));
}

// ---------------------------------------------------------------------------------------------
struct Model::MemberInfo {
    const wchar_t* name;
    std::int32_t dispid;
    InvokeFlags kinds;
    std::function<Value(Model&, Node&, std::span<const Value>)> read;
    std::function<void(Model&, Node&, const Value&)> write;
};

const std::vector<Model::MemberInfo>& Model::membersOf(Kind kind) {
    static const std::vector<MemberInfo> application = {
        {L"GetNamespace", 0x110, invoke::method,
         [](Model& m, Node&, std::span<const Value> a) -> Value {
             expectArgs(a, 1);
             if (!sameText(stringArg(a, 0), L"MAPI")) fail(host::hresult::invalidArg, "unknown name space type");
             return m.nameSpace_;
         }, {}},
        {L"ActiveExplorer", 0x111, invoke::method, [](Model& m, Node&, std::span<const Value>) -> Value { return m.activeExplorer(); }, {}},
        {L"ActiveInspector", 0x112, invoke::method, [](Model& m, Node&, std::span<const Value>) -> Value { return m.activeInspector(); }, {}},
        {L"Explorers", 0x119, invoke::get, [](Model& m, Node&, std::span<const Value>) -> Value { return m.explorers_; }, {}},
        {L"Inspectors", 0x11A, invoke::get, [](Model& m, Node&, std::span<const Value>) -> Value { return m.inspectors_; }, {}},
    };
    static const std::vector<MemberInfo> nameSpace = {
        {L"Type", 0x2101, invoke::get, [](Model&, Node&, std::span<const Value>) -> Value { return std::wstring(L"MAPI"); }, {}},
    };
    static const std::vector<MemberInfo> explorers = {
        {L"Count", 0x50, invoke::get, [](Model& m, Node&, std::span<const Value>) -> Value { return countOf(m.windows(Kind::Explorer)); }, {}},
    };
    static const std::vector<MemberInfo> inspectors = {
        {L"Count", 0x50, invoke::get, [](Model& m, Node&, std::span<const Value>) -> Value { return countOf(m.windows(Kind::Inspector)); }, {}},
    };
    static const std::vector<MemberInfo> explorer = {
        {L"Activate", 0x2113, invoke::method, [](Model& m, Node& n, std::span<const Value>) -> Value { m.activate(n); return {}; }, {}},
    };
    static const std::vector<MemberInfo> inspector = {
        {L"CurrentItem", 0x2102, invoke::get, [](Model&, Node& n, std::span<const Value>) -> Value { return n.item; }, {}},
        {L"Activate", 0x2113, invoke::method, [](Model& m, Node& n, std::span<const Value>) -> Value { m.activate(n); return {}; }, {}},
    };
    static const std::vector<MemberInfo> item = {
        {L"Class", 0xF00A, invoke::get, [](Model&, Node& n, std::span<const Value>) -> Value { return n.itemClass; }, {}},
        {L"Body", 0x9100, invoke::get | invoke::put, [](Model&, Node& n, std::span<const Value>) -> Value { return n.body; },
         [](Model&, Node& n, const Value& v) {
             const auto* text = std::get_if<std::wstring>(&v);
             if (!text) fail(host::hresult::typeMismatch, "Body takes text");
             n.body = *text;
         }},
    };
    static const std::vector<MemberInfo> folder = {
        {L"Name", 0x3001, invoke::get, [](Model&, Node& n, std::span<const Value>) -> Value { return n.body; }, {}},
    };
    static const std::vector<MemberInfo> addInInstance = {
        {L"ProgId", 0x3, invoke::get, [](Model&, Node& n, std::span<const Value>) -> Value { return n.progId; }, {}},
    };
    switch (kind) {
        case Kind::Application: return application;
        case Kind::NameSpace: return nameSpace;
        case Kind::Explorers: return explorers;
        case Kind::Inspectors: return inspectors;
        case Kind::Explorer: return explorer;
        case Kind::Inspector: return inspector;
        case Kind::Item: return item;
        case Kind::Folder: return folder;
        case Kind::AddInInstance: return addInInstance;
    }
    return folder;
}

const Model::MemberInfo* Model::memberById(Kind kind, std::int32_t dispid) {
    for (const auto& m : membersOf(kind))
        if (m.dispid == dispid) return &m;
    return nullptr;
}

Model::Model() {
    application_ = &create(Kind::Application, L"Application");
    nameSpace_ = &create(Kind::NameSpace, L"NameSpace");
    explorers_ = &create(Kind::Explorers, L"Explorers");
    inspectors_ = &create(Kind::Inspectors, L"Inspectors");
}

Node& Model::create(Kind kind, std::wstring name) {
    nodes_.push_back(std::make_unique<Node>(*this, kind, std::move(name)));
    return *nodes_.back();
}

Node& Model::addInInstance(std::wstring_view progId) {
    Node& node = create(Kind::AddInInstance, L"AddIn " + std::wstring(progId));
    node.progId = progId;
    return node;
}

void Model::trace(TraceEntry::Type type, std::wstring text) {
    traceLog_.push_back({type, std::move(text)});
    if (traceListener_) traceListener_(traceLog_.back());
}

void Model::failMember(std::wstring target, std::wstring member, HResult hr, int times, int skip) {
    failures_.push_back({std::move(target), std::move(member), hr, times, skip});
}

void Model::checkFailure(const Node& node, std::wstring_view member) {
    if (++callsMade_ == failCallNumber_) {
        trace(TraceEntry::Type::Failure, node.name() + L"." + std::wstring(member) + L" fails as requested (call " +
                                             std::to_wstring(callsMade_) + L")");
        throw InjectedFailure(failCallResult_, "injected failure");
    }
    for (auto it = failures_.begin(); it != failures_.end(); ++it) {
        if (!sameText(it->member, member)) continue;
        if (!sameText(it->target, node.name()) && !sameText(it->target, kindName(node.kind()))) continue;
        if (it->skip > 0) {
            --it->skip;
            continue;
        }
        const HResult hr = it->hr;
        if (it->times > 0 && --it->times == 0) failures_.erase(it);
        trace(TraceEntry::Type::Failure, node.name() + L"." + std::wstring(member) + L" fails as requested");
        throw InjectedFailure(hr, "injected failure");
    }
}

std::vector<HResult> Model::takeEventFailures() { return std::exchange(eventFailures_, {}); }

// --- The add-in's side ------------------------------------------------------------------------
void Model::queryInterface(Node& node, const Guid& iid) {
    trace(TraceEntry::Type::QueryInterface, node.name() + L" QueryInterface " + interfaceName(iid));
    if (iid == iid::IUnknown || iid == iid::IDispatch) return;
    const Guid* events = eventInterface(node.kind());
    if (iid == iid::IConnectionPointContainer && events) return;
    const Guid* typed = typedInterface(node.kind());
    if (typed && *typed == iid) {
        checkFailure(node, L"QueryInterface");
        return;
    }
    throw host::Error(host::hresult::noInterface, "no such interface");
}

bool Model::raisesEvents(const Node& node, const Guid& eventIid) const {
    const Guid* events = eventInterface(node.kind());
    return events && *events == eventIid;
}

std::optional<std::int32_t> Model::dispidOf(const Node& node, std::wstring_view name) const {
    for (const auto& m : membersOf(node.kind()))
        if (sameText(m.name, name)) return m.dispid;
    return std::nullopt;
}

Value Model::invoke(Node& node, std::wstring_view name, InvokeFlags flags, std::span<const Value> args) {
    const auto dispid = dispidOf(node, name);
    if (!dispid) {
        trace(TraceEntry::Type::AddInCall, node.name() + L"." + std::wstring(name) + L": no such member");
        throw host::Error(host::hresult::unknownName, "unknown member name");
    }
    return invoke(node, *dispid, flags, args);
}

Value Model::invoke(Node& node, std::int32_t dispid, InvokeFlags flags, std::span<const Value> args) {
    const MemberInfo* member = memberById(node.kind(), dispid);
    if (!member) throw host::Error(host::hresult::memberNotFound, "unknown DISPID");
    // A property read as a method only, or a method invoked as a property, is not found.
    const InvokeFlags kind = flags & member->kinds;
    if (!kind) throw host::Error(host::hresult::memberNotFound, "member not invocable that way");
    const bool put = kind & (invoke::put | invoke::putRef);
    std::wstring call = node.name() + L"." + member->name;
    if (put || !args.empty()) {
        call += L"(";
        for (std::size_t i = 0; i < args.size(); ++i) call += (i ? L", " : L"") + describe(args[i]);
        call += L")";
    }
    trace(TraceEntry::Type::AddInCall, call);
    checkFailure(node, member->name);
    if (put) {
        expectArgs(args, 1);
        member->write(*this, node, args[0]);
        return {};
    }
    if (!member->read) throw host::Error(host::hresult::memberNotFound, "write-only member");
    return member->read(*this, node, args);
}

std::uint32_t Model::advise(Node& node, const Guid& eventIid, std::shared_ptr<Sink> sink) {
    trace(TraceEntry::Type::Advise, node.name() + L" Advise " + interfaceName(eventIid));
    if (!raisesEvents(node, eventIid)) throw host::Error(host::hresult::noInterface, "no such event interface");
    checkFailure(node, L"Advise");
    const std::uint32_t cookie = nextCookie_++;
    node.connections.push_back({cookie, eventIid, std::move(sink)});
    return cookie;
}

void Model::unadvise(Node& node, std::uint32_t cookie) {
    auto it = std::find_if(node.connections.begin(), node.connections.end(),
                           [&](const Node::Connection& c) { return c.cookie == cookie; });
    trace(TraceEntry::Type::Unadvise,
          node.name() + L" Unadvise " + (it == node.connections.end() ? L"?" : interfaceName(it->eventIid)));
    if (it == node.connections.end()) throw host::Error(host::hresult::noConnection, "no such connection");
    checkFailure(node, L"Unadvise");
    node.connections.erase(it);
}

std::size_t Model::connectionCount() const {
    std::size_t count = 0;
    for (const auto& node : nodes_) count += node->connections.size();
    return count;
}

void Model::dropConnections() {
    for (const auto& node : nodes_) {
        if (node->connections.empty()) continue;
        trace(TraceEntry::Type::Note, node->name() + L" releases the " + std::to_wstring(node->connections.size()) +
                                          L" event sink(s) it still holds");
        // Moved out first: releasing a sink may call back into the model.
        const auto connections = std::move(node->connections);
        node->connections.clear();
    }
}

// --- The user's side --------------------------------------------------------------------------
void Model::raise(Node& source, const Guid& eventIid, std::int32_t dispid, std::vector<Value>& args,
                  const std::wstring& description) {
    trace(TraceEntry::Type::HostEvent, description);
    // A copy: handlers may connect and disconnect while the event is delivered.
    std::vector<std::shared_ptr<Sink>> sinks;
    for (const auto& c : source.connections)
        if (c.eventIid == eventIid) sinks.push_back(c.sink);
    for (const auto& sink : sinks) {
        const HResult hr = sink->invoke(dispid, args);
        if (host::failed(hr)) {
            eventFailures_.push_back(hr);
            trace(TraceEntry::Type::Failure, description + L" returned a failure");
        }
    }
}

Node& Model::openExplorer() {
    Node& explorer = create(Kind::Explorer, L"Explorer " + std::to_wstring(++explorersOpened_));
    zOrder_.insert(zOrder_.begin(), &explorer);
    std::vector<Value> args = {&explorer};
    raise(*explorers_, iid::ExplorersEvents, 0xF001, args, L"NewExplorer(" + explorer.name() + L")");
    return explorer;
}

Node& Model::openInspector(std::int32_t itemClass, std::wstring body) {
    const std::wstring number = std::to_wstring(++inspectorsOpened_);
    Node& item = create(Kind::Item, L"Item " + number);
    item.itemClass = itemClass;
    item.body = std::move(body);
    Node& inspector = create(Kind::Inspector, L"Inspector " + number);
    inspector.item = &item;
    zOrder_.insert(zOrder_.begin(), &inspector);
    std::vector<Value> args = {&inspector};
    raise(*inspectors_, iid::InspectorsEvents, 0xF001, args, L"NewInspector(" + inspector.name() + L")");
    return inspector;
}

void Model::closeWindow(Node& window) {
    if (!window.open) return;
    // While its Close event runs, the window is no longer active but still counted.
    window.open = false;
    const bool explorer = window.kind() == Kind::Explorer;
    std::vector<Value> args;
    raise(window, explorer ? iid::ExplorerEvents : iid::InspectorEvents, 0xF008, args, window.name() + L" Close");
    zOrder_.erase(std::remove(zOrder_.begin(), zOrder_.end(), &window), zOrder_.end());
}

void Model::activate(Node& window) {
    const auto it = std::find(zOrder_.begin(), zOrder_.end(), &window);
    if (it == zOrder_.end() || !window.open) return;
    zOrder_.erase(it);
    zOrder_.insert(zOrder_.begin(), &window);
    trace(TraceEntry::Type::Note, window.name() + L" comes to the front");
}

bool Model::switchFolder(Node& explorer, std::wstring folderName) {
    Node& folder = create(Kind::Folder, L"Folder " + std::to_wstring(++foldersMade_));
    folder.body = std::move(folderName);
    std::vector<Value> args = {&folder, false};
    raise(explorer, iid::ExplorerEvents, 0xF003, args, explorer.name() + L" BeforeFolderSwitch(" + folder.name() + L")");
    const auto* cancel = std::get_if<bool>(&args[1]);
    return cancel && *cancel;
}

std::vector<Node*> Model::windows(Kind kind) const {
    std::vector<Node*> result;
    for (Node* w : zOrder_)
        if (w->kind() == kind) result.push_back(w);
    return result;
}

std::vector<Node*> Model::openExplorers() const { return windows(Kind::Explorer); }
std::vector<Node*> Model::openInspectors() const { return windows(Kind::Inspector); }

Node* Model::activeExplorer() const {
    for (Node* w : zOrder_)
        if (w->kind() == Kind::Explorer && w->open) return w;
    return nullptr;
}

Node* Model::activeInspector() const {
    for (Node* w : zOrder_)
        if (w->kind() == Kind::Inspector && w->open) return w;
    return nullptr;
}

Node* Model::find(std::wstring_view name) const {
    for (const auto& n : nodes_)
        if (sameText(n->name(), name)) return n.get();
    return nullptr;
}

std::vector<std::pair<const Node*, int>> Model::referencesHeld() const {
    std::vector<std::pair<const Node*, int>> held;
    for (const auto& n : nodes_)
        if (n->refs() != 0) held.emplace_back(n.get(), n->refs());
    return held;
}

}  // namespace sim
