#include "sim/model/outlook_model.h"

#include <algorithm>
#include <cwctype>
#include <utility>

#include "host/error.h"
#include "host/iids.h"

namespace sim {
namespace iid = host::iid;

namespace {

// Interfaces the add-in never asks for by name; only the model needs them.
constexpr Guid mapiFolderIid = Guid::parse("{00063006-0000-0000-C000-000000000046}");
constexpr Guid commandBarPopupIid = Guid::parse("{000C030A-0000-0000-C000-000000000046}");
constexpr Guid selectionIid = Guid::parse("{00063087-0000-0000-C000-000000000046}");
// Word's object model, type library version 8.x.
constexpr Guid wordDocumentIid = Guid::parse("{0002096B-0000-0000-C000-000000000046}");
constexpr Guid wordWindowsIid = Guid::parse("{00020961-0000-0000-C000-000000000046}");
constexpr Guid wordWindowIid = Guid::parse("{00020962-0000-0000-C000-000000000046}");
constexpr Guid wordSelectionIid = Guid::parse("{00020975-0000-0000-C000-000000000046}");
constexpr Guid wordApplicationIid = Guid::parse("{00020970-0000-0000-C000-000000000046}");
// Office's ribbon objects.
constexpr Guid ribbonUiIid = Guid::parse("{000C03A7-0000-0000-C000-000000000046}");
constexpr Guid ribbonControlIid = Guid::parse("{000C0395-0000-0000-C000-000000000046}");

constexpr std::int32_t beforeFolderSwitch = 0xF003;
constexpr std::int32_t folderSwitch = 0xF002;

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
        {&iid::IOleWindow, L"IOleWindow"},
        {&iid::Application, L"_Application"},
        {&iid::NameSpace, L"_NameSpace"},
        {&iid::Explorer, L"_Explorer"},
        {&iid::Inspector, L"_Inspector"},
        {&iid::Inspectors, L"_Inspectors"},
        {&iid::Explorers, L"_Explorers"},
        {&mapiFolderIid, L"MAPIFolder"},
        {&iid::ApplicationEvents_10, L"ApplicationEvents_10"},
        {&iid::ExplorerEvents_10, L"ExplorerEvents_10"},
        {&iid::InspectorEvents_10, L"InspectorEvents_10"},
        {&iid::ItemEvents_10, L"ItemEvents_10"},
        {&iid::ExplorersEvents, L"ExplorersEvents"},
        {&iid::InspectorsEvents, L"InspectorsEvents"},
        {&iid::NameSpaceEvents, L"NameSpaceEvents"},
        {&iid::CommandBars, L"_CommandBars"},
        {&iid::CommandBar, L"CommandBar"},
        {&iid::CommandBarControls, L"CommandBarControls"},
        {&iid::CommandBarControl, L"CommandBarControl"},
        {&iid::CommandBarButton, L"_CommandBarButton"},
        {&commandBarPopupIid, L"CommandBarPopup"},
        {&iid::CommandBarButtonEvents, L"_CommandBarButtonEvents"},
        {&selectionIid, L"Selection"},
        {&wordDocumentIid, L"Word _Document"},
        {&wordWindowsIid, L"Word Windows"},
        {&wordWindowIid, L"Word Window"},
        {&wordSelectionIid, L"Word Selection"},
        {&wordApplicationIid, L"Word _Application"},
        {&ribbonUiIid, L"IRibbonUI"},
        {&ribbonControlIid, L"IRibbonControl"},
    };
    for (const auto& [guid, name] : names)
        if (*guid == g) return name;
    return host::toWString(g);
}

std::wstring widen(const char* text) {
    std::wstring wide;
    for (; *text; ++text) wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return wide;
}

std::string narrow(std::wstring_view text) {
    std::string result;
    for (const wchar_t c : text) result += c < 128 ? static_cast<char>(c) : '?';
    return result;
}

[[noreturn]] void raiseFromMember(HResult hr, const char* what) { throw MemberFailure(hr, what); }

bool isOfKinds(ValueKinds kinds, const Value& value) {
    if (std::holds_alternative<bool>(value)) return kinds & takes::boolean;
    if (std::holds_alternative<std::int32_t>(value)) return kinds & takes::integer;
    if (std::holds_alternative<std::wstring>(value)) return kinds & takes::text;
    if (std::holds_alternative<Node*>(value)) return kinds & takes::object;
    return false;  // Empty, doubles and Missing fit no declared parameter
}

// DispInvoke's checks of a call's arguments against the member's parameters.
void checkArguments(std::span<const Parameter> parameters, std::span<const Value> args) {
    if (args.size() > parameters.size())
        throw ArgumentError(host::hresult::badParamCount, std::nullopt, "more arguments than parameters");
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const Parameter& parameter = parameters[i];
        if (i >= args.size() || std::holds_alternative<Missing>(args[i])) {
            if (!parameter.optional)
                throw ArgumentError(host::hresult::paramNotOptional, std::nullopt,
                                    narrow(parameter.name) + " is not optional");
            continue;
        }
        if (!isOfKinds(parameter.kinds, args[i]))
            throw ArgumentError(host::hresult::typeMismatch, i, narrow(parameter.name) + " of another type");
    }
}

// The value of a put: exactly one, of a kind the property takes.
void checkAssignedValue(ValueKinds kinds, std::span<const Value> args) {
    if (args.empty()) throw ArgumentError(host::hresult::paramNotOptional, std::nullopt, "no value to assign");
    if (args.size() > 1) throw ArgumentError(host::hresult::badParamCount, std::nullopt, "more than one value");
    if (std::holds_alternative<Missing>(args[0]))
        throw ArgumentError(host::hresult::paramNotOptional, std::nullopt, "no value to assign");
    if (!isOfKinds(kinds, args[0])) throw ArgumentError(host::hresult::typeMismatch, 0, "value of another type");
}

// An argument that was given (checked already against its parameter), or nothing.
template <class T>
std::optional<T> given(std::span<const Value> args, std::size_t i) {
    if (i >= args.size()) return std::nullopt;
    const T* value = std::get_if<T>(&args[i]);
    return value ? std::optional<T>(*value) : std::nullopt;
}

std::int32_t countOf(std::size_t count) { return static_cast<std::int32_t>(count); }

// The 1-based element of a collection; E_INVALIDARG outside it, as Office raises it.
Node* elementAt(const Node& collection, std::int32_t index) {
    if (index < 1 || static_cast<std::size_t>(index) > collection.elements.size())
        raiseFromMember(host::hresult::invalidArg, "no element at that index");
    return collection.elements[static_cast<std::size_t>(index) - 1];
}

// The 1-based window of Explorers.Item or Inspectors.Item; E_INVALIDARG outside them.
Node* windowAt(const std::vector<Node*>& open, std::int32_t index) {
    if (index < 1 || static_cast<std::size_t>(index) > open.size())
        raiseFromMember(host::hresult::invalidArg, "no window at that index");
    return open[static_cast<std::size_t>(index) - 1];
}

std::uint32_t readU32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint16_t readU16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

bool meets(const Node& control, const ControlCriteria& criteria) {
    return (!criteria.type || control.control.type == *criteria.type) &&
           (!criteria.id || control.control.id == *criteria.id) &&
           (!criteria.tag || control.control.tag == *criteria.tag);
}

Node* findIn(const Node& controls, const ControlCriteria& criteria) {
    for (Node* control : controls.elements) {
        if (criteria.visibleOnly && !control->control.visible) continue;
        if (meets(*control, criteria)) return control;
        if (criteria.recursive && control->controls)
            if (Node* found = findIn(*control->controls, criteria)) return found;
    }
    return nullptr;
}

}  // namespace

std::optional<PictureFormat> pictureFormat(std::span<const std::uint8_t> dib) {
    constexpr std::size_t infoHeaderSize = 40;
    constexpr std::uint32_t rgb = 0, bitFields = 3;
    if (dib.size() < infoHeaderSize) return std::nullopt;
    const std::uint32_t headerSize = readU32(dib, 0);
    if (headerSize < infoHeaderSize || headerSize > dib.size()) return std::nullopt;
    const auto width = static_cast<std::int32_t>(readU32(dib, 4));
    const auto height = static_cast<std::int32_t>(readU32(dib, 8));
    const std::uint16_t planes = readU16(dib, 12);
    const std::uint16_t bits = readU16(dib, 14);
    const std::uint32_t compression = readU32(dib, 16);
    const std::uint32_t imageSize = readU32(dib, 20);
    const std::uint32_t coloursUsed = readU32(dib, 32);
    if (planes != 1 || width <= 0 || height == 0 || height < -65536 || height > 65536 || width > 65536)
        return std::nullopt;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return std::nullopt;
    std::uint64_t size = headerSize;
    if (bits <= 8) size += 4ull * (coloursUsed ? coloursUsed : 1u << bits);
    else size += 4ull * coloursUsed;
    if (compression == bitFields && headerSize == infoHeaderSize) size += 12;
    const auto bitsOffset = static_cast<std::size_t>(size);
    if (compression == rgb || compression == bitFields) {
        const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
        size += stride * static_cast<std::uint64_t>(height < 0 ? -static_cast<std::int64_t>(height) : height);
    } else {
        size += imageSize;
    }
    if (size > dib.size()) return std::nullopt;
    return PictureFormat{width, height < 0 ? -height : height, bits, bitsOffset};
}

std::wstring describePicture(std::span<const std::uint8_t> dib) {
    if (dib.empty()) return L"none";
    const auto format = pictureFormat(dib);
    if (!format) return L"unreadable";
    return std::to_wstring(format->width) + L"x" + std::to_wstring(format->height) + L" " +
           std::to_wstring(format->bitsPerPixel) + L"bpp";
}

std::span<const Guid> typedInterfacesOf(Kind kind) {
    static constexpr Guid application[] = {iid::Application};
    static constexpr Guid nameSpace[] = {iid::NameSpace};
    static constexpr Guid explorers[] = {iid::Explorers};
    static constexpr Guid inspectors[] = {iid::Inspectors};
    static constexpr Guid explorer[] = {iid::Explorer};
    static constexpr Guid inspector[] = {iid::Inspector};
    static constexpr Guid folder[] = {mapiFolderIid};
    static constexpr Guid commandBars[] = {iid::CommandBars};
    static constexpr Guid commandBar[] = {iid::CommandBar};
    static constexpr Guid controls[] = {iid::CommandBarControls};
    static constexpr Guid button[] = {iid::CommandBarButton, iid::CommandBarControl};
    static constexpr Guid popup[] = {commandBarPopupIid, iid::CommandBarControl};
    static constexpr Guid selection[] = {selectionIid};
    static constexpr Guid document[] = {wordDocumentIid};
    static constexpr Guid windows[] = {wordWindowsIid};
    static constexpr Guid window[] = {wordWindowIid};
    static constexpr Guid wordSelection[] = {wordSelectionIid};
    static constexpr Guid wordApplication[] = {wordApplicationIid};
    static constexpr Guid ribbonUi[] = {ribbonUiIid};
    static constexpr Guid ribbonControl[] = {ribbonControlIid};
    switch (kind) {
        case Kind::Selection: return selection;
        case Kind::WordDocument: return document;
        case Kind::WordWindows: return windows;
        case Kind::WordWindow: return window;
        case Kind::WordSelection: return wordSelection;
        case Kind::WordApplication: return wordApplication;
        case Kind::RibbonUI: return ribbonUi;
        case Kind::RibbonControl: return ribbonControl;
        case Kind::Picture: return {};
        case Kind::Application: return application;
        case Kind::NameSpace: return nameSpace;
        case Kind::Explorers: return explorers;
        case Kind::Inspectors: return inspectors;
        case Kind::Explorer: return explorer;
        case Kind::Inspector: return inspector;
        case Kind::Folder: return folder;
        case Kind::CommandBars: return commandBars;
        case Kind::CommandBar: return commandBar;
        case Kind::CommandBarControls: return controls;
        case Kind::CommandBarButton: return button;
        case Kind::CommandBarPopup: return popup;
        case Kind::Item:
        case Kind::AddInInstance:
        case Kind::ConnectionPoint: return {};
    }
    return {};
}

const Guid* eventInterfaceOf(Kind kind) {
    switch (kind) {
        case Kind::Application: return &iid::ApplicationEvents_10;
        case Kind::NameSpace: return &iid::NameSpaceEvents;
        case Kind::Explorers: return &iid::ExplorersEvents;
        case Kind::Inspectors: return &iid::InspectorsEvents;
        case Kind::Explorer: return &iid::ExplorerEvents_10;
        case Kind::Inspector: return &iid::InspectorEvents_10;
        case Kind::Item: return &iid::ItemEvents_10;
        case Kind::CommandBarButton: return &iid::CommandBarButtonEvents;
        default: return nullptr;
    }
}

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
        case Kind::CommandBars: return L"CommandBars";
        case Kind::CommandBar: return L"CommandBar";
        case Kind::CommandBarControls: return L"CommandBarControls";
        case Kind::CommandBarButton: return L"CommandBarButton";
        case Kind::CommandBarPopup: return L"CommandBarPopup";
        case Kind::ConnectionPoint: return L"ConnectionPoint";
        case Kind::Selection: return L"Selection";
        case Kind::WordDocument: return L"WordDocument";
        case Kind::WordWindows: return L"WordWindows";
        case Kind::WordWindow: return L"WordWindow";
        case Kind::WordSelection: return L"WordSelection";
        case Kind::WordApplication: return L"WordApplication";
        case Kind::RibbonUI: return L"RibbonUI";
        case Kind::RibbonControl: return L"RibbonControl";
        case Kind::Picture: return L"Picture";
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
// One member as a type library describes it: its invoke kinds, the parameters of its get or
// method call, and the kinds of value a put or putRef assigns.
struct Model::MemberInfo {
    using Read = std::function<Value(Model&, Node&, std::span<const Value>)>;
    using Write = std::function<void(Model&, Node&, const Value&)>;

    const wchar_t* name;
    std::int32_t dispid;
    InvokeFlags kinds;
    std::vector<Parameter> parameters;
    ValueKinds assigns = 0;
    Read read;
    Write write;
    int since = 0;  // the first Outlook version that has it
};

namespace {

using MemberInfoRead = std::function<Value(Model&, Node&, std::span<const Value>)>;

template <class Info>
Info getter(const wchar_t* name, std::int32_t dispid, MemberInfoRead read) {
    return {name, dispid, invoke::get, {}, 0, std::move(read), {}};
}

template <class Info>
Info method(const wchar_t* name, std::int32_t dispid, std::vector<Parameter> parameters, MemberInfoRead read) {
    return {name, dispid, invoke::method, std::move(parameters), 0, std::move(read), {}};
}

// A get and put property of a command-bar control, stored in Node::Control.
template <class Info, class Field>
Info controlProperty(const wchar_t* name, std::int32_t dispid, ValueKinds kinds, Field Node::Control::*field) {
    return {name, dispid, invoke::get | invoke::put, {}, kinds,
            [field](Model&, Node& n, std::span<const Value>) -> Value { return n.control.*field; },
            [field](Model&, Node& n, const Value& v) { n.control.*field = std::get<Field>(v); }};
}

template <class Info>
Info since(int version, Info info) {
    info.since = version;
    return info;
}

std::wstring versionText(int version) {
    switch (version) {
        case 11: return L"11.0.0.8312";
        case 12: return L"12.0.0.6300";
        case 14: return L"14.0.0.7000";
        default: return std::to_wstring(version) + L".0.0.5000";
    }
}

// The value assigned to Picture or Mask: a picture object of the add-in's.
const Image& pictureOf(const Value& v) {
    const Node* picture = std::get<Node*>(v);
    if (!picture) raiseFromMember(host::hresult::invalidArg, "a picture is required");
    if (picture->kind() != Kind::Picture) throw ArgumentError(host::hresult::typeMismatch, 0, "a picture is required");
    return picture->image;
}

[[noreturn]] void noDocument() {
    // Word's "This command is not available because no document is open."
    raiseFromMember(static_cast<HResult>(0x800A1098), "no document is open");
}

}  // namespace

const std::vector<Model::MemberInfo>& Model::membersOf(Kind kind) {
    using Args = std::span<const Value>;
    static const std::vector<MemberInfo> application = {
        method<MemberInfo>(L"GetNamespace", 0x110, {{L"Type", takes::text, false}},
                           [](Model& m, Node&, Args a) -> Value {
                               if (!sameText(std::get<std::wstring>(a[0]), L"MAPI"))
                                   raiseFromMember(host::hresult::invalidArg, "unknown name space type");
                               return m.nameSpace_;
                           }),
        method<MemberInfo>(L"ActiveExplorer", 0x111, {},
                           [](Model& m, Node&, Args) -> Value { return m.activeExplorer(); }),
        method<MemberInfo>(L"ActiveInspector", 0x112, {},
                           [](Model& m, Node&, Args) -> Value { return m.activeInspector(); }),
        method<MemberInfo>(L"ActiveWindow", 0x11F, {},
                           [](Model& m, Node&, Args) -> Value { return m.activeWindow(); }),
        getter<MemberInfo>(L"Explorers", 0x119, [](Model& m, Node&, Args) -> Value { return m.explorers_; }),
        getter<MemberInfo>(L"Inspectors", 0x11A, [](Model& m, Node&, Args) -> Value { return m.inspectors_; }),
        getter<MemberInfo>(L"Version", 0x116, [](Model& m, Node&, Args) -> Value { return versionText(m.version_); }),
    };
    static const std::vector<MemberInfo> nameSpace = {
        getter<MemberInfo>(L"Type", 0x2104, [](Model&, Node&, Args) -> Value { return std::wstring(L"MAPI"); }),
    };
    static const std::vector<MemberInfo> explorers = {
        getter<MemberInfo>(L"Count", 0x50,
                           [](Model& m, Node&, Args) -> Value { return countOf(m.windows(Kind::Explorer).size()); }),
        // A function in Outlook's type library; the open main windows, front first.
        method<MemberInfo>(L"Item", 0x51, {{L"Index", takes::integer, false}}, [](Model& m, Node&, Args a) -> Value {
            return windowAt(m.windows(Kind::Explorer), std::get<std::int32_t>(a[0]));
        }),
    };
    static const std::vector<MemberInfo> inspectors = {
        getter<MemberInfo>(L"Count", 0x50,
                           [](Model& m, Node&, Args) -> Value { return countOf(m.windows(Kind::Inspector).size()); }),
        // A function in Outlook's type library; the open item windows, front first.
        method<MemberInfo>(L"Item", 0x51, {{L"Index", takes::integer, false}}, [](Model& m, Node&, Args a) -> Value {
            return windowAt(m.windows(Kind::Inspector), std::get<std::int32_t>(a[0]));
        }),
    };
    static const std::vector<MemberInfo> explorer = {
        // An object property, as in Outlook: read with get, assigned only by reference.
        {L"CurrentFolder", 0x2101, invoke::get | invoke::putRef, {}, takes::object,
         [](Model& m, Node& n, Args) -> Value {
             if (!n.currentFolder) n.currentFolder = &m.createFolder(L"Inbox");
             return n.currentFolder;
         },
         [](Model& m, Node& n, const Value& v) {
             Node* folder = std::get<Node*>(v);
             if (!folder) raiseFromMember(host::hresult::invalidArg, "CurrentFolder takes a folder");
             if (folder->kind() != Kind::Folder)
                 throw ArgumentError(host::hresult::typeMismatch, 0, "CurrentFolder takes a folder");
             m.switchFolder(n, *folder);
         }},
        method<MemberInfo>(L"Activate", 0x2113, {}, [](Model& m, Node& n, Args) -> Value { m.activateByCall(n); return {}; }),
        getter<MemberInfo>(L"Selection", 0x2202, [](Model& m, Node& n, Args) -> Value {
            if (!n.selection) n.selection = &m.create(Kind::Selection, L"Selection " + std::to_wstring(++m.selectionsMade_));
            return n.selection;
        }),
        // Outlook 2013 and later (major version 15 on).
        since<MemberInfo>(15, getter<MemberInfo>(L"ActiveInlineResponseWordEditor", 0xFC94,
                                                 [](Model& m, Node& n, Args) -> Value {
                                                     return n.inlineResponse ? &m.wordDocumentOf(n) : nullptr;
                                                 })),
    };
    static const std::vector<MemberInfo> inspector = {
        getter<MemberInfo>(L"CommandBars", 0x2100,
                           [](Model& m, Node& n, Args) -> Value { return &m.commandBarsOf(n); }),
        getter<MemberInfo>(L"CurrentItem", 0x2102, [](Model&, Node& n, Args) -> Value { return n.item; }),
        method<MemberInfo>(L"Activate", 0x2113, {}, [](Model& m, Node& n, Args) -> Value { m.activateByCall(n); return {}; }),
        getter<MemberInfo>(L"EditorType", 0x2110, [](Model&, Node& n, Args) -> Value { return n.editorType; }),
        // A function in Outlook's type library, not a property.
        method<MemberInfo>(L"IsWordMail", 0x2105, {},
                           [](Model&, Node& n, Args) -> Value { return n.editorType == olEditorWord; }),
        getter<MemberInfo>(L"WordEditor", 0x210F, [](Model& m, Node& n, Args) -> Value {
            return n.editorType == olEditorWord ? &m.wordDocumentOf(n) : nullptr;
        }),
    };
    static const std::vector<MemberInfo> selection = {
        getter<MemberInfo>(L"Count", 0x50, [](Model&, Node& n, Args) -> Value { return countOf(n.elements.size()); }),
        method<MemberInfo>(L"Item", 0x51, {{L"Index", takes::integer, false}},
                           [](Model&, Node& n, Args a) -> Value { return elementAt(n, std::get<std::int32_t>(a[0])); }),
    };
    // Word's members, with the DISPIDs of Word's type library. A Document's Application is 1 (its
    // 0x3E8 is BuiltInDocumentProperties); that of Word's other objects is 0x3E8.
    static const std::vector<MemberInfo> wordDocument = {
        getter<MemberInfo>(L"Windows", 0x22, [](Model&, Node& n, Args) -> Value { return n.wordWindows; }),
        getter<MemberInfo>(L"Application", 0x1, [](Model& m, Node&, Args) -> Value { return &m.wordApplication(); }),
    };
    static const std::vector<MemberInfo> wordWindows = {
        getter<MemberInfo>(L"Count", 0x2, [](Model&, Node&, Args) -> Value { return 1; }),
        // Item is the default member.
        method<MemberInfo>(L"Item", 0x0, {{L"Index", takes::integer, false}}, [](Model&, Node& n, Args a) -> Value {
            if (std::get<std::int32_t>(a[0]) != 1)
                raiseFromMember(static_cast<HResult>(0x800A1745), "the requested member of the collection does not exist");
            return n.hostWindow->wordDocument->wordWindow;
        }),
        getter<MemberInfo>(L"Application", 0x3E8, [](Model& m, Node&, Args) -> Value { return &m.wordApplication(); }),
    };
    static const std::vector<MemberInfo> wordWindow = {
        getter<MemberInfo>(L"Document", 0x2, [](Model&, Node& n, Args) -> Value { return n.hostWindow->wordDocument; }),
        getter<MemberInfo>(L"Selection", 0x4,
                           [](Model&, Node& n, Args) -> Value { return n.hostWindow->wordDocument->wordSelection; }),
        getter<MemberInfo>(L"Application", 0x3E8, [](Model& m, Node&, Args) -> Value { return &m.wordApplication(); }),
    };
    const auto wordText = [](Model& m, const Node& n) {
        return wordView(m.editorState(*n.hostWindow).value_or(EditorState{}));
    };
    static const std::vector<MemberInfo> wordSelection = {
        // Text is the default member. An insertion point reads as the character after it.
        getter<MemberInfo>(L"Text", 0x0, [wordText](Model& m, Node& n, Args) -> Value {
            const WordText w = wordText(m, n);
            const auto start = static_cast<std::size_t>(w.start);
            const std::size_t length = w.start == w.end ? 1 : static_cast<std::size_t>(w.end - w.start);
            return w.text.substr(start, length);
        }),
        getter<MemberInfo>(L"Start", 0x3, [wordText](Model& m, Node& n, Args) -> Value { return wordText(m, n).start; }),
        getter<MemberInfo>(L"End", 0x4, [wordText](Model& m, Node& n, Args) -> Value { return wordText(m, n).end; }),
        // wdSelectionIP 1, wdSelectionNormal 2.
        getter<MemberInfo>(L"Type", 0x6, [wordText](Model& m, Node& n, Args) -> Value {
            const WordText w = wordText(m, n);
            return w.start == w.end ? 1 : 2;
        }),
        getter<MemberInfo>(L"Application", 0x3E8, [](Model& m, Node&, Args) -> Value { return &m.wordApplication(); }),
        getter<MemberInfo>(L"Document", 0x3EB, [](Model&, Node& n, Args) -> Value { return n.hostWindow->wordDocument; }),
    };
    static const std::vector<MemberInfo> wordApplication = {
        getter<MemberInfo>(L"ActiveDocument", 0x3, [](Model& m, Node&, Args) -> Value {
            if (Node* document = m.frontWordDocument()) return document;
            noDocument();
        }),
        getter<MemberInfo>(L"ActiveWindow", 0x4, [](Model& m, Node&, Args) -> Value {
            if (Node* document = m.frontWordDocument()) return document->wordWindow;
            noDocument();
        }),
        getter<MemberInfo>(L"Selection", 0x5, [](Model& m, Node&, Args) -> Value {
            if (Node* document = m.frontWordDocument()) return document->wordSelection;
            noDocument();
        }),
    };
    static const std::vector<MemberInfo> ribbonUi = {
        method<MemberInfo>(L"Invalidate", 1, {}, [](Model& m, Node& n, Args) -> Value {
            m.ribbons_.invalidate(n, std::nullopt);
            return {};
        }),
        method<MemberInfo>(L"InvalidateControl", 2, {{L"ControlID", takes::text, false}},
                           [](Model& m, Node& n, Args a) -> Value {
                               m.ribbons_.invalidate(n, std::get<std::wstring>(a[0]));
                               return {};
                           }),
    };
    static const std::vector<MemberInfo> ribbonControl = {
        getter<MemberInfo>(L"Id", 1, [](Model&, Node& n, Args) -> Value { return n.controlId; }),
        getter<MemberInfo>(L"Context", 2, [](Model&, Node& n, Args) -> Value { return n.hostWindow; }),
        getter<MemberInfo>(L"Tag", 3, [](Model&, Node& n, Args) -> Value { return n.controlTag; }),
    };
    static const std::vector<MemberInfo> item = {
        getter<MemberInfo>(L"Class", 0xF00A, [](Model&, Node& n, Args) -> Value { return n.itemClass; }),
        {L"Body", 0x9100, invoke::get | invoke::put, {}, takes::text,
         [](Model&, Node& n, Args) -> Value { return n.body; },
         [](Model&, Node& n, const Value& v) { n.body = std::get<std::wstring>(v); }},
    };
    static const std::vector<MemberInfo> folder = {
        getter<MemberInfo>(L"Name", 0x3001, [](Model&, Node& n, Args) -> Value { return n.body; }),
    };
    static const std::vector<MemberInfo> addInInstance = {
        getter<MemberInfo>(L"ProgId", 0x3, [](Model&, Node& n, Args) -> Value { return n.progId; }),
    };
    static const std::vector<MemberInfo> commandBars = {
        {L"Item", 0, invoke::get, {{L"Index", takes::text | takes::integer, false}}, 0,
         [](Model&, Node& n, Args a) -> Value {
             if (const auto index = given<std::int32_t>(a, 0)) return elementAt(n, *index);
             for (Node* bar : n.elements)
                 if (sameText(bar->barName, std::get<std::wstring>(a[0]))) return bar;
             raiseFromMember(host::hresult::invalidArg, "no command bar of that name");
         },
         {}},
    };
    static const std::vector<MemberInfo> commandBar = {
        getter<MemberInfo>(L"Name", 0x6004000E, [](Model&, Node& n, Args) -> Value { return n.barName; }),
        getter<MemberInfo>(L"Controls", 0x60040003, [](Model&, Node& n, Args) -> Value { return n.controls; }),
        method<MemberInfo>(L"FindControl", 0x60040007,
                           {{L"Type", takes::integer, true},
                            {L"Id", takes::integer, true},
                            {L"Tag", takes::text, true},
                            {L"Visible", takes::boolean, true},
                            {L"Recursive", takes::boolean, true}},
                           [](Model& m, Node& n, Args a) -> Value {
                               ControlCriteria criteria;
                               criteria.type = given<std::int32_t>(a, 0);
                               criteria.id = given<std::int32_t>(a, 1);
                               criteria.tag = given<std::wstring>(a, 2);
                               criteria.visibleOnly = given<bool>(a, 3).value_or(false);
                               criteria.recursive = given<bool>(a, 4).value_or(false);
                               return m.findControl(n, criteria);
                           }),
    };
    static const std::vector<MemberInfo> controls = {
        method<MemberInfo>(L"Add", 0x60030000,
                           {{L"Type", takes::integer, true},
                            {L"Id", takes::integer, true},
                            {L"Parameter", takes::text, true},
                            {L"Before", takes::integer, true},
                            {L"Temporary", takes::boolean, true}},
                           [](Model& m, Node& n, Args a) -> Value {
                               Node& control = m.addControl(n, given<std::int32_t>(a, 0).value_or(msoControlButton),
                                                            given<std::int32_t>(a, 1).value_or(customControlId),
                                                            given<std::int32_t>(a, 3));
                               control.control.parameter = given<std::wstring>(a, 2).value_or(L"");
                               control.control.temporary = given<bool>(a, 4).value_or(false);
                               return &control;
                           }),
        getter<MemberInfo>(L"Count", 0x60030001,
                           [](Model&, Node& n, Args) -> Value { return countOf(n.elements.size()); }),
        {L"Item", 0, invoke::get, {{L"Index", takes::integer, false}}, 0,
         [](Model&, Node& n, Args a) -> Value { return elementAt(n, std::get<std::int32_t>(a[0])); }, {}},
    };
    // What every control answers; a button adds its face and style, a pop-up its controls.
    const auto controlMembers = [] {
        return std::vector<MemberInfo>{
            controlProperty<MemberInfo>(L"BeginGroup", 0x60040000, takes::boolean, &Node::Control::beginGroup),
            controlProperty<MemberInfo>(L"Caption", 0x60040003, takes::text, &Node::Control::caption),
            // Delete([Temporary]): the control leaves its bar; Office keeps its absence across restarts.
            method<MemberInfo>(L"Delete", 0x60040007, {{L"Temporary", takes::boolean, true}},
                               [](Model& m, Node& n, Args) -> Value {
                                   m.deleteControl(n);
                                   return {};
                               }),
            controlProperty<MemberInfo>(L"DescriptionText", 0x60040008, takes::text, &Node::Control::descriptionText),
            getter<MemberInfo>(L"Id", 0x60040013, [](Model&, Node& n, Args) -> Value { return n.control.id; }),
            controlProperty<MemberInfo>(L"OnAction", 0x6004001A, takes::text, &Node::Control::onAction),
            controlProperty<MemberInfo>(L"Parameter", 0x6004001D, takes::text, &Node::Control::parameter),
            controlProperty<MemberInfo>(L"Tag", 0x60040023, takes::text, &Node::Control::tag),
            controlProperty<MemberInfo>(L"TooltipText", 0x60040025, takes::text, &Node::Control::tooltipText),
            getter<MemberInfo>(L"Type", 0x60040028, [](Model&, Node& n, Args) -> Value { return n.control.type; }),
            controlProperty<MemberInfo>(L"Visible", 0x60040029, takes::boolean, &Node::Control::visible),
        };
    };
    static const std::vector<MemberInfo> button = [&] {
        auto members = controlMembers();
        // A FaceId gives the button that built-in face, in place of a pasted one.
        members.push_back({L"FaceId", 0x60050003, invoke::get | invoke::put, {}, takes::integer,
                           [](Model&, Node& n, Args) -> Value { return n.control.faceId; },
                           [](Model&, Node& n, const Value& v) {
                               n.control.faceId = std::get<std::int32_t>(v);
                               n.control.face.clear();
                               n.control.picture = {};
                               n.control.mask = {};
                           }});
        // Assigned with a plain put, as Office's own examples do (".Picture = picture", no Set).
        members.push_back({L"Picture", 0x6005000E, invoke::put, {}, takes::object, {},
                           [](Model&, Node& n, const Value& v) {
                               n.control.picture = pictureOf(v);
                               n.control.mask = {};
                               n.control.face.clear();
                           }});
        members.push_back({L"Mask", 0x60050010, invoke::put, {}, takes::object, {},
                           [](Model&, Node& n, const Value& v) {
                               const Image& mask = pictureOf(v);
                               if (n.control.picture.empty())
                                   raiseFromMember(host::hresult::fail, "a mask before any picture");
                               n.control.mask = mask;
                           }});
        members.push_back(method<MemberInfo>(L"PasteFace", 0x60050005, {}, [](Model& m, Node& n, Args) -> Value {
            m.pasteFace(n);
            return {};
        }));
        members.push_back(controlProperty<MemberInfo>(L"Style", 0x6005000A, takes::integer, &Node::Control::style));
        return members;
    }();
    static const std::vector<MemberInfo> popup = [&] {
        auto members = controlMembers();
        members.push_back(
            getter<MemberInfo>(L"Controls", 0x60050001, [](Model&, Node& n, Args) -> Value { return n.controls; }));
        return members;
    }();
    static const std::vector<MemberInfo> none;
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
        case Kind::CommandBars: return commandBars;
        case Kind::CommandBar: return commandBar;
        case Kind::CommandBarControls: return controls;
        case Kind::CommandBarButton: return button;
        case Kind::CommandBarPopup: return popup;
        case Kind::Selection: return selection;
        case Kind::WordDocument: return wordDocument;
        case Kind::WordWindows: return wordWindows;
        case Kind::WordWindow: return wordWindow;
        case Kind::WordSelection: return wordSelection;
        case Kind::WordApplication: return wordApplication;
        case Kind::RibbonUI: return ribbonUi;
        case Kind::RibbonControl: return ribbonControl;
        case Kind::ConnectionPoint:
        case Kind::Picture: return none;
    }
    return none;
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

Node& Model::createFolder(std::wstring folderName) {
    Node& folder = create(Kind::Folder, L"Folder " + std::to_wstring(++foldersMade_));
    folder.body = std::move(folderName);
    return folder;
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

void Model::recordFault(std::wstring what) {
    trace(TraceEntry::Type::Failure, what);
    faults_.push_back(std::move(what));
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

std::uintptr_t Model::windowHandle(Node& window) {
    trace(TraceEntry::Type::AddInCall, window.name() + L" IOleWindow::GetWindow");
    checkFailure(window, L"GetWindow");
    if (windowHandles_) return windowHandles_(window);
    return reinterpret_cast<std::uintptr_t>(&window);
}

std::vector<HResult> Model::takeEventFailures() { return std::exchange(eventFailures_, {}); }

// --- The add-in's side ------------------------------------------------------------------------
void Model::queryInterface(Node& node, const Guid& iid) {
    trace(TraceEntry::Type::QueryInterface, node.name() + L" QueryInterface " + interfaceName(iid));
    if (iid == iid::IUnknown || iid == iid::IDispatch) return;
    if (iid == iid::IConnectionPointContainer && eventInterfaceOf(node.kind())) return;
    if (iid == iid::IOleWindow && (node.kind() == Kind::Explorer || node.kind() == Kind::Inspector)) {
        checkFailure(node, L"QueryInterface");
        return;
    }
    for (const Guid& typed : typedInterfacesOf(node.kind())) {
        if (typed != iid) continue;
        checkFailure(node, L"QueryInterface");
        return;
    }
    throw host::Error(host::hresult::noInterface, "no such interface");
}

bool Model::raisesEvents(const Node& node, const Guid& eventIid) const {
    const Guid* events = eventInterfaceOf(node.kind());
    return events && *events == eventIid;
}

Node& Model::connectionPoint(Node& source, const Guid& eventIid) {
    for (const auto& node : nodes_)
        if (node->kind() == Kind::ConnectionPoint && node->source == &source && node->eventIid == eventIid)
            return *node;
    Node& point = create(Kind::ConnectionPoint, source.name() + L" " + interfaceName(eventIid) + L" connection point");
    point.source = &source;
    point.eventIid = eventIid;
    return point;
}

std::optional<std::int32_t> Model::dispidOf(const Node& node, std::wstring_view name) const {
    for (const auto& m : membersOf(node.kind()))
        if (sameText(m.name, name) && m.since <= version_) return m.dispid;
    return std::nullopt;
}

InvokeFlags Model::invokeKind(const Node& node, std::int32_t dispid, InvokeFlags flags) const {
    const MemberInfo* member = memberById(node.kind(), dispid);
    if (!member || member->since > version_) throw host::Error(host::hresult::memberNotFound, "unknown DISPID");
    // A property read as a method only, or a method invoked as a property, is not found.
    const InvokeFlags kind = flags & member->kinds;
    if (!kind) throw host::Error(host::hresult::memberNotFound, "member not invocable that way");
    return kind;
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
    const InvokeFlags kind = invokeKind(node, dispid, flags);
    const MemberInfo& member = *memberById(node.kind(), dispid);
    const bool put = kind & (invoke::put | invoke::putRef);
    std::wstring call = node.name() + L"." + member.name;
    if (put || !args.empty()) {
        call += L"(";
        for (std::size_t i = 0; i < args.size(); ++i) call += (i ? L", " : L"") + describe(args[i]);
        call += L")";
    }
    trace(TraceEntry::Type::AddInCall, call);
    try {
        if (put) checkAssignedValue(member.assigns, args);
        else checkArguments(member.parameters, args);
    } catch (const ArgumentError& e) {
        trace(TraceEntry::Type::Failure, call + L" refused: " + widen(e.what()));
        throw;
    }
    checkFailure(node, member.name);
    Value result;
    try {
        if (put) member.write(*this, node, args[0]);
        else result = member.read(*this, node, args);
    } catch (const MemberFailure& e) {
        trace(TraceEntry::Type::Failure, call + L" fails: " + widen(e.what()));
        throw;
    }
    const bool control = node.kind() == Kind::CommandBarButton || node.kind() == Kind::CommandBarPopup;
    if (control && (put || ((kind & invoke::method) && member.kinds == invoke::method))) {
        node.control.changes.push_back(member.name);
        if (controlListener_) controlListener_(node);
    }
    return result;
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

// --- Command bars -------------------------------------------------------------------------------
Node& Model::createControls(Node& owner) {
    Node& controls = create(Kind::CommandBarControls, owner.name() + L" Controls");
    owner.controls = &controls;
    return controls;
}

Node& Model::createBar(Node& bars, std::wstring name) {
    Node& bar = create(Kind::CommandBar, bars.name() + L" " + name);
    bar.barName = std::move(name);
    createControls(bar);
    bars.elements.push_back(&bar);
    return bar;
}

Node& Model::createControl(Node& controls, std::int32_t type, std::int32_t id, std::wstring caption,
                           std::optional<std::size_t> index) {
    const bool popup = type == msoControlPopup;
    Node& control = create(popup ? Kind::CommandBarPopup : Kind::CommandBarButton,
                           L"Control " + std::to_wstring(++controlsMade_));
    control.control.type = type;
    control.control.id = id;
    control.control.caption = std::move(caption);
    if (popup) createControls(control);
    const auto at = index ? controls.elements.begin() + static_cast<std::ptrdiff_t>(*index) : controls.elements.end();
    controls.elements.insert(at, &control);
    return control;
}

// An item window's bars as Outlook shows them before any add-in changes them.
Node& Model::commandBarsOf(Node& inspector) {
    if (inspector.commandBars) return *inspector.commandBars;
    Node& bars = create(Kind::CommandBars, inspector.name() + L" CommandBars");
    inspector.commandBars = &bars;

    Node& menu = createBar(bars, L"Menu Bar");
    Node& file = createControl(*menu.controls, msoControlPopup, 30002, L"&File");
    createControl(*file.controls, msoControlButton, 3, L"&Save");
    createControl(*file.controls, msoControlButton, 4, L"&Print...");
    Node& edit = createControl(*menu.controls, msoControlPopup, 30003, L"&Edit");
    createControl(*edit.controls, msoControlButton, 19, L"&Copy");
    createControl(*edit.controls, msoControlButton, 22, L"&Paste");

    Node& standard = createBar(bars, L"Standard");
    createControl(*standard.controls, msoControlButton, 2617, L"&Send");
    createControl(*standard.controls, msoControlButton, 3, L"&Save");
    Node& accounts = createControl(*standard.controls, msoControlPopup, 31081, L"Acco&unts");
    createControl(*accounts.controls, msoControlButton, 31082, L"&1 Mail Account");
    Node& checkNames = createControl(*standard.controls, msoControlButton, 361, L"Check &Names");
    checkNames.control.visible = false;
    createControl(*standard.controls, msoControlButton, 4, L"&Print");

    // What earlier sessions kept of the custom controls of this kind of item window.
    const std::int32_t itemClass = inspector.item ? inspector.item->itemClass : 0;
    for (Node* bar : bars.elements) {
        const auto kept = retained_.find({bar->barName, itemClass});
        if (kept != retained_.end()) restore(*bar->controls, kept->second);
    }
    return bars;
}

std::vector<Model::RetainedControl> Model::retainedFrom(const Node& controls) const {
    std::vector<RetainedControl> kept;
    for (std::size_t i = 0; i < controls.elements.size(); ++i) {
        const Node& control = *controls.elements[i];
        if (!control.control.custom || control.control.temporary) continue;
        RetainedControl copy{control.control, i, {}};
        copy.control.changes.clear();
        if (control.controls) copy.children = retainedFrom(*control.controls);
        kept.push_back(std::move(copy));
    }
    return kept;
}

void Model::restore(Node& controls, const std::vector<RetainedControl>& retained) {
    for (const RetainedControl& kept : retained) {
        const std::size_t index = std::min(kept.position, controls.elements.size());
        Node& control = createControl(controls, kept.control.type, kept.control.id, kept.control.caption, index);
        control.control = kept.control;
        if (control.controls) restore(*control.controls, kept.children);
    }
}

void Model::endSession() {
    // Windows in the order they were opened: the one opened last decides for its class.
    for (const auto& node : nodes_) {
        if (node->kind() != Kind::Inspector || !node->commandBars) continue;
        const std::int32_t itemClass = node->item ? node->item->itemClass : 0;
        for (const Node* bar : node->commandBars->elements) {
            auto kept = retainedFrom(*bar->controls);
            // A bar a control was deleted from decides too, left empty or not.
            if (!kept.empty() || bar->controls->controlDeleted) retained_[{bar->barName, itemClass}] = std::move(kept);
        }
    }
    for (Node* window : zOrder_) window->open = false;
    zOrder_.clear();
    trace(TraceEntry::Type::Note, L"Outlook's windows are gone; the bars keep their custom controls");
}

Node* Model::commandBar(Node& inspector, std::wstring_view name) {
    for (Node* bar : commandBarsOf(inspector).elements)
        if (sameText(bar->barName, name)) return bar;
    return nullptr;
}

Node* Model::findControl(const Node& bar, const ControlCriteria& criteria) const {
    return bar.controls ? findIn(*bar.controls, criteria) : nullptr;
}

Node& Model::addControl(Node& controls, std::int32_t type, std::int32_t id, std::optional<std::int32_t> before) {
    if (type != msoControlButton && type != msoControlPopup)
        raiseFromMember(host::hresult::invalidArg, "control type not offered here");
    if (before && (*before < 1 || static_cast<std::size_t>(*before) > controls.elements.size() + 1))
        raiseFromMember(host::hresult::invalidArg, "no position there");
    const auto index = before ? std::optional<std::size_t>(static_cast<std::size_t>(*before) - 1) : std::nullopt;
    Node& control = createControl(controls, type, id, L"", index);
    control.control.custom = true;
    if (controlListener_) controlListener_(control);
    return control;
}

void Model::deleteControl(Node& control) {
    for (const auto& node : nodes_) {
        if (node->kind() != Kind::CommandBarControls) continue;
        auto& elements = node->elements;
        const auto gone = std::remove(elements.begin(), elements.end(), &control);
        if (gone == elements.end()) continue;
        elements.erase(gone, elements.end());
        node->controlDeleted = true;
    }
    trace(TraceEntry::Type::Note, control.name() + L" is deleted from its bar");
}

void Model::pasteFace(Node& button) {
    const std::optional<Picture> picture = pictureSource_ ? pictureSource_() : std::nullopt;
    if (!picture) raiseFromMember(host::hresult::fail, "the clipboard holds no picture");
    if (!pictureFormat(*picture)) raiseFromMember(host::hresult::fail, "the clipboard's picture cannot be read");
    button.control.face = *picture;
    button.control.picture = {};
    button.control.mask = {};
    trace(TraceEntry::Type::Note, button.name() + L" takes the clipboard's " + describePicture(*picture) +
                                      L" picture as its face");
}

// --- The user's side --------------------------------------------------------------------------
void Model::raise(Node& source, const Guid& eventIid, std::int32_t dispid, std::vector<Value>& args,
                  const std::wstring& description) {
    trace(TraceEntry::Type::HostEvent, description);
    deliver(source, eventIid, dispid, args, description);
}

void Model::deliver(Node& source, const Guid& eventIid, std::int32_t dispid, std::vector<Value>& args,
                    const std::wstring& description) {
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

Node& Model::openInspector(std::int32_t itemClass, std::wstring body, bool compose) {
    const std::wstring number = std::to_wstring(++inspectorsOpened_);
    Node& item = create(Kind::Item, L"Item " + number);
    item.itemClass = itemClass;
    item.body = std::move(body);
    Node& inspector = create(Kind::Inspector, L"Inspector " + number);
    inspector.item = &item;
    inspector.compose = compose;
    // Outlook 2007 and later always edit in Word; Outlook 2003 by default in its HTML editor.
    inspector.editorType = version_ >= 12 ? olEditorWord : olEditorHTML;
    zOrder_.insert(zOrder_.begin(), &inspector);
    std::vector<Value> args = {&inspector};
    raise(*inspectors_, iid::InspectorsEvents, 0xF001, args, L"NewInspector(" + inspector.name() + L")");
    ribbons_.windowOpened(inspector);
    return inspector;
}

void Model::setEditorType(Node& inspector, std::int32_t editorType) {
    inspector.editorType = editorType;
    trace(TraceEntry::Type::Note, inspector.name() + L" edits in " +
                                      (editorType == olEditorWord   ? L"Word"
                                       : editorType == olEditorHTML ? L"HTML"
                                       : editorType == olEditorRTF  ? L"rich text"
                                                                    : L"plain text"));
}

void Model::selectItem(Node& explorer, std::optional<std::wstring> body) {
    Node& selection = create(Kind::Selection, L"Selection " + std::to_wstring(++selectionsMade_));
    explorer.readingItem = nullptr;
    explorer.inlineResponse = false;
    if (body) {
        Node& item = create(Kind::Item, L"Item " + std::to_wstring(++inspectorsOpened_));
        item.itemClass = 43;
        item.body = std::move(*body);
        selection.elements.push_back(&item);
        explorer.readingItem = &item;
    }
    explorer.selection = &selection;
    std::vector<Value> none;
    raise(explorer, iid::ExplorerEvents_10, 0xF007, none, explorer.name() + L" SelectionChange");
}

void Model::replyInline(Node& explorer) {
    explorer.inlineResponse = true;
    trace(TraceEntry::Type::Note, explorer.name() + L" shows an inline response in its reading pane");
}

std::optional<EditorState> Model::editorState(const Node& window) const {
    if (editorSource_) return editorSource_(window);
    if (window.kind() == Kind::Inspector && window.item) return EditorState{window.item->body, 0, 0};
    if (window.kind() == Kind::Explorer && window.readingItem) return EditorState{window.readingItem->body, 0, 0};
    return std::nullopt;
}

WordText wordView(const EditorState& state) {
    WordText w;
    const auto position = [&](std::size_t at) {
        std::int32_t count = 0;
        for (std::size_t i = 0; i < at && i < state.text.size(); ++i)
            if (!(state.text[i] == L'\r' && i + 1 < state.text.size() && state.text[i + 1] == L'\n')) ++count;
        return count;
    };
    for (std::size_t i = 0; i < state.text.size(); ++i) {
        const wchar_t c = state.text[i];
        if (c == L'\r' && i + 1 < state.text.size() && state.text[i + 1] == L'\n') continue;
        w.text += c == L'\n' ? L'\r' : c;
    }
    w.text += L'\r';  // every Word document ends with a paragraph mark
    w.start = position(std::min(state.start, state.end));
    w.end = position(std::max(state.start, state.end));
    return w;
}

Node& Model::wordDocumentOf(Node& window) {
    if (window.wordDocument) return *window.wordDocument;
    const std::wstring name = window.name();
    Node& document = create(Kind::WordDocument, L"Word Document of " + name);
    document.hostWindow = &window;
    document.wordWindows = &create(Kind::WordWindows, L"Word Windows of " + name);
    document.wordWindow = &create(Kind::WordWindow, L"Word Window of " + name);
    document.wordSelection = &create(Kind::WordSelection, L"Word Selection of " + name);
    for (Node* part : {document.wordWindows, document.wordWindow, document.wordSelection}) part->hostWindow = &window;
    window.wordDocument = &document;
    return document;
}

Node& Model::wordApplication() {
    if (!wordApplication_) wordApplication_ = &create(Kind::WordApplication, L"Word Application");
    return *wordApplication_;
}

// Word's active document: that of the front window whose editor is Word.
Node* Model::frontWordDocument() {
    for (Node* window : zOrder_) {
        if (!window->open) continue;
        const bool word = window->kind() == Kind::Inspector ? window->editorType == olEditorWord : window->inlineResponse;
        if (word) return &wordDocumentOf(*window);
    }
    return nullptr;
}

Node& Model::pictureObject(Image image) {
    Node& picture = create(Kind::Picture, L"Picture " + std::to_wstring(++picturesMade_));
    picture.image = std::move(image);
    return picture;
}

void Model::closeWindow(Node& window) {
    if (!window.open) return;
    // While its Close event runs, the window is no longer active but still counted.
    window.open = false;
    const bool explorer = window.kind() == Kind::Explorer;
    std::vector<Value> args;
    raise(window, explorer ? iid::ExplorerEvents_10 : iid::InspectorEvents_10, 0xF008, args, window.name() + L" Close");
    zOrder_.erase(std::remove(zOrder_.begin(), zOrder_.end(), &window), zOrder_.end());
}

void Model::activate(Node& window) {
    const auto it = std::find(zOrder_.begin(), zOrder_.end(), &window);
    if (it == zOrder_.end() || !window.open) return;
    zOrder_.erase(it);
    zOrder_.insert(zOrder_.begin(), &window);
    trace(TraceEntry::Type::Note, window.name() + L" comes to the front");
}

void Model::activateByCall(Node& window) {
    activate(window);
    if (activationListener_ && window.open) activationListener_(window);
}

bool Model::switchFolder(Node& explorer, std::wstring folderName) {
    return switchFolder(explorer, createFolder(std::move(folderName)));
}

bool Model::switchFolder(Node& explorer, Node& folder) {
    std::vector<Value> args = {&folder, false};
    raise(explorer, iid::ExplorerEvents_10, beforeFolderSwitch, args,
          explorer.name() + L" BeforeFolderSwitch(" + folder.name() + L")");
    const auto* cancel = std::get_if<bool>(&args[1]);
    if (cancel && *cancel) return true;
    explorer.currentFolder = &folder;
    std::vector<Value> none;
    raise(explorer, iid::ExplorerEvents_10, folderSwitch, none, explorer.name() + L" FolderSwitch");
    return false;
}

bool Model::click(Node& button) {
    const std::wstring description = button.name() + L" Click";
    trace(TraceEntry::Type::HostEvent, description);
    // Chosen before delivery: a handler may add buttons of its own.
    std::vector<Node*> receivers = {&button};
    if (!button.control.tag.empty()) {
        for (const auto& node : nodes_)
            if (node.get() != &button && node->kind() == Kind::CommandBarButton &&
                node->control.tag == button.control.tag)
                receivers.push_back(node.get());
    }
    std::vector<Value> args = {&button, false};
    for (Node* receiver : receivers)
        deliver(*receiver, iid::CommandBarButtonEvents, host::dispid::Click, args, description);
    const auto* cancelDefault = std::get_if<bool>(&args[1]);
    return cancelDefault && *cancelDefault;
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

Node* Model::activeWindow() const {
    for (Node* w : zOrder_)
        if (w->open) return w;
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
