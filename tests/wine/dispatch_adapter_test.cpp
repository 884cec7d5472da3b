// The real automation adapter (host/win32) against the simulator's COM objects, in this process.
// Raw IDispatch calls show which shapes of call the simulator refuses, as Office does.
#include <gtest/gtest.h>

#include "tests/support/error_of.h"
#include <ocidl.h>
#include <olectl.h>

#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "com/ptr.h"
#include "host/iids.h"
#include "host/outlook.h"
#include "host/win32/dispatch.h"
#include "sim/win32/com_host.h"
#include "tests/wine/wine_test_support.h"

namespace {

using com::ComPtr;
using com::UniqueVariant;

constexpr DISPID explorersId = 0x119;
constexpr DISPID activeExplorerId = 0x111;
constexpr DISPID currentFolderId = 0x2101;
constexpr DISPID bodyId = 0x9100;
constexpr DISPID captionId = 0x60040003;
constexpr DISPID findControlId = 0x60040007;
constexpr DISPID addId = 0x60030000;
constexpr UINT noArgError = 0xFFFFFFFF;

struct DispatchAdapter : testing::Test {
    testing_support::ComApartment apartment;
    sim::Model model;
    std::unique_ptr<sim::win32::ComHost> com = std::make_unique<sim::win32::ComHost>(model);

    host::Object wrap(sim::Node& node) {
        IDispatch* dispatch = com->dispatchFor(&node);
        host::Object object = win32::wrapDispatch(dispatch);
        dispatch->Release();
        return object;
    }
    host::Application application() { return host::Application::from(wrap(model.application())); }
    host::CommandBar standardBar(sim::Node& inspector) {
        return host::Inspector::from(wrap(inspector)).commandBars().item(L"Standard");
    }

    void TearDown() override {
        EXPECT_TRUE(model.referencesHeld().empty());
        EXPECT_TRUE(model.overReleases().empty());
        EXPECT_TRUE(model.faults().empty());
        EXPECT_EQ(model.connectionCount(), 0u);
    }
};

using testing_support::errorOf;

// The arguments of a raw IDispatch::Invoke, in rgvarg order: the member's last argument first.
class RawArguments {
public:
    RawArguments& integer(std::int32_t value) {
        VARIANT& v = next();
        v.vt = VT_I4;
        v.lVal = value;
        return *this;
    }
    RawArguments& boolean(bool value) {
        VARIANT& v = next();
        v.vt = VT_BOOL;
        v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        return *this;
    }
    RawArguments& text(const wchar_t* value) {
        VARIANT& v = next();
        v.bstrVal = com::Bstr(value).detach();
        v.vt = VT_BSTR;
        return *this;
    }
    RawArguments& missing() {
        VARIANT& v = next();
        v.vt = VT_ERROR;
        v.scode = DISP_E_PARAMNOTFOUND;
        return *this;
    }
    RawArguments& object(IUnknown* value, VARTYPE type = VT_DISPATCH) {
        VARIANT& v = next();
        value->AddRef();
        v.punkVal = value;
        v.vt = type;
        return *this;
    }
    // A reference to a VARIANT the caller keeps.
    RawArguments& reference(VARIANT& value) {
        VARIANT& v = next();
        v.pvarVal = &value;
        v.vt = VT_BYREF | VT_VARIANT;
        return *this;
    }
    VARIANTARG* data() { return values_.empty() ? nullptr : values_.front().get(); }
    UINT count() const { return static_cast<UINT>(values_.size()); }

private:
    VARIANT& next() { return *values_.emplace_back().get(); }
    std::vector<UniqueVariant> values_;
};

struct RawResult {
    HRESULT hr = E_FAIL;
    UINT argError = noArgError;
    UniqueVariant value;
};

RawResult invokeRaw(IDispatch* target, DISPID id, WORD flags, RawArguments& args, std::vector<DISPID> named = {}) {
    RawResult call;
    DISPPARAMS params{args.data(), named.empty() ? nullptr : named.data(), args.count(),
                      static_cast<UINT>(named.size())};
    EXCEPINFO exception{};
    call.hr = target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, call.value.get(), &exception,
                             &call.argError);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return call;
}

RawResult invokeRaw(IDispatch* target, DISPID id, WORD flags) {
    RawArguments none;
    return invokeRaw(target, id, flags, none);
}

// --- Calls by name and DISPID, failures, events --------------------------------------------------

TEST_F(DispatchAdapter, CallsByNameAndByDispidAndPutsProperties) {
    sim::Node& explorer = model.openExplorer();
    sim::Node& inspector = model.openInspector(43, L"before");
    const auto app = application();
    EXPECT_EQ(app.explorers().count(), host::Variant(1));
    EXPECT_TRUE(app.getNamespace(L"MAPI").object().isSameObject(wrap(model.nameSpace())));
    EXPECT_TRUE(app.object().get(host::DispId{0x111}).toObject().isSameObject(wrap(explorer)));

    const host::Object item = host::Inspector::from(wrap(inspector)).currentItem();
    EXPECT_EQ(host::itemClass(item), host::Variant(43));
    item.put(L"Body", host::Variant(L"after"));
    EXPECT_EQ(inspector.item->body, L"after");
    EXPECT_EQ(item.get(L"Body"), host::Variant(L"after"));
}

TEST_F(DispatchAdapter, RaisesTheHostsFailures) {
    const auto app = application();
    EXPECT_EQ(errorOf([&] { app.object().get(L"NoSuchMember"); }), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(errorOf([&] { app.object().get(L"GetNamespace", {host::Variant(1)}); }), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(errorOf([&] { app.object().get(L"GetNamespace"); }), DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(errorOf([&] { app.object().get(L"GetNamespace", {host::Variant(L"MAPI"), host::Variant(1)}); }),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(errorOf([&] { app.object().get(L"GetNamespace", {host::Variant::missing()}); }),
              DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(errorOf([&] { app.object().queryInterface(host::iid::Inspector); }), E_NOINTERFACE);
    // A member that raises an exception reports it through EXCEPINFO.
    model.failMember(L"Application", L"ActiveExplorer", E_ACCESSDENIED);
    EXPECT_EQ(errorOf([&] { app.activeExplorer(); }), E_ACCESSDENIED);
}

TEST_F(DispatchAdapter, DeliversEventsWithTheirArgumentsAndWritesByRefArgumentsBack) {
    sim::Node& explorer = model.openExplorer();
    std::vector<std::int32_t> dispids;
    host::Object newInspector;
    const host::Object explorerObject = wrap(explorer);
    host::EventConnection explorerEvents =
        explorerObject.connect(host::iid::ExplorerEvents_10, [&](std::int32_t dispid, std::span<host::Variant> args) {
            dispids.push_back(dispid);
            if (dispid == 0xF003) args[1] = host::Variant(true);  // cancel the folder switch
        });
    const host::Object inspectors = wrap(model.inspectorsCollection());
    host::EventConnection inspectorEvents =
        inspectors.connect(host::iid::InspectorsEvents, [&](std::int32_t, std::span<host::Variant> args) {
            newInspector = args[0].toObject();
        });

    EXPECT_TRUE(model.switchFolder(explorer, L"Inbox"));
    sim::Node& inspector = model.openInspector(45, L"post");
    EXPECT_TRUE(newInspector.isSameObject(wrap(inspector)));
    newInspector = {};
    model.closeWindow(explorer);
    EXPECT_EQ(dispids, (std::vector<std::int32_t>{0xF003, 0xF008}));

    explorerEvents.disconnect();
    inspectorEvents.disconnect();
}

TEST_F(DispatchAdapter, AHandlerMayEndItsOwnConnectionWhileItRuns) {
    sim::Node& explorer = model.openExplorer();
    int calls = 0;
    host::EventConnection connection;
    connection = wrap(explorer).connect(host::iid::ExplorerEvents_10, [&](std::int32_t, std::span<host::Variant>) {
        ++calls;
        connection.disconnect();
    });
    model.switchFolder(explorer, L"Inbox");
    model.closeWindow(explorer);
    EXPECT_EQ(calls, 1);
}

TEST_F(DispatchAdapter, ARefusedUnadviseIsRaisedAndNothingMoreArrives) {
    sim::Node& explorer = model.openExplorer();
    int calls = 0;
    host::EventConnection connection =
        wrap(explorer).connect(host::iid::ExplorerEvents_10, [&](std::int32_t, std::span<host::Variant>) { ++calls; });
    model.failMember(L"Explorer 1", L"Unadvise", E_UNEXPECTED);
    EXPECT_EQ(errorOf([&] { connection.disconnect(); }), E_UNEXPECTED);
    model.closeWindow(explorer);
    EXPECT_EQ(calls, 0);
    explorer.connections.clear();  // the host kept the refused connection
}

// --- Puts -----------------------------------------------------------------------------------------

TEST_F(DispatchAdapter, APutCarriesDispidPropertyPutAndIsRefusedWithout) {
    sim::Node& inspector = model.openInspector(43, L"before");
    const host::Object item = host::Inspector::from(wrap(inspector)).currentItem();
    item.put(L"Body", host::Variant(L"after"));
    EXPECT_EQ(inspector.item->body, L"after");

    const host::CommandBar bar = standardBar(inspector);
    const auto button = host::CommandBarButton::from(bar.controls().add(host::msoControlButton, false));
    button.setCaption(L"Zel&tra");
    button.setFaceId(59);
    button.setBeginGroup(true);
    EXPECT_EQ(button.object().get(L"Caption"), host::Variant(L"Zel&tra"));
    const sim::Node* buttonNode = com->nodeOf(win32::dispatchOf(button.object()));
    ASSERT_NE(buttonNode, nullptr);
    EXPECT_EQ(buttonNode->control.caption, L"Zel&tra");
    EXPECT_EQ(buttonNode->control.faceId, 59);
    EXPECT_TRUE(buttonNode->control.beginGroup);

    IDispatch* itemDispatch = win32::dispatchOf(item);
    // The value alone, without its name DISPID_PROPERTYPUT: refused, nothing assigned.
    EXPECT_EQ(invokeRaw(itemDispatch, bodyId, DISPATCH_PROPERTYPUT, RawArguments().text(L"lost")).hr,
              DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(invokeRaw(itemDispatch, bodyId, DISPATCH_PROPERTYPUT, RawArguments().text(L"lost"), {0}).hr,
              DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(invokeRaw(win32::dispatchOf(button.object()), captionId, DISPATCH_PROPERTYPUT,
                        RawArguments().text(L"lost")).hr,
              DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(inspector.item->body, L"after");
    EXPECT_EQ(buttonNode->control.caption, L"Zel&tra");
    // A named argument on anything but a put.
    EXPECT_EQ(invokeRaw(itemDispatch, bodyId, DISPATCH_METHOD | DISPATCH_PROPERTYGET, RawArguments().text(L"x"),
                        {DISPID_PROPERTYPUT}).hr,
              DISP_E_NONAMEDARGS);
    // The value of another kind: its position in rgvarg is reported.
    const auto wrongKind =
        invokeRaw(itemDispatch, bodyId, DISPATCH_PROPERTYPUT, RawArguments().integer(7), {DISPID_PROPERTYPUT});
    EXPECT_EQ(wrongKind.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(wrongKind.argError, 0u);
    // The shape Office takes.
    EXPECT_EQ(
        invokeRaw(itemDispatch, bodyId, DISPATCH_PROPERTYPUT, RawArguments().text(L"raw"), {DISPID_PROPERTYPUT}).hr,
        S_OK);
    EXPECT_EQ(inspector.item->body, L"raw");
}

TEST_F(DispatchAdapter, AnObjectIsAssignedByReference) {
    sim::Node& first = model.openExplorer();
    sim::Node& second = model.openExplorer();
    const host::Object folder = wrap(first).get(L"CurrentFolder").toObject();
    const sim::Node* folderNode = com->nodeOf(win32::dispatchOf(folder));
    ASSERT_NE(folderNode, nullptr);
    EXPECT_EQ(folderNode->kind(), sim::Kind::Folder);

    const host::Object target = wrap(second);
    target.put(L"CurrentFolder", host::Variant(folder));
    EXPECT_EQ(second.currentFolder, folderNode);
    EXPECT_TRUE(target.get(L"CurrentFolder").toObject().isSameObject(folder));

    // CurrentFolder is assigned only by reference, as Outlook declares it.
    IDispatch* explorer = win32::dispatchOf(target);
    second.currentFolder = nullptr;
    EXPECT_EQ(invokeRaw(explorer, currentFolderId, DISPATCH_PROPERTYPUT,
                        RawArguments().object(win32::dispatchOf(folder)), {DISPID_PROPERTYPUT}).hr,
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(second.currentFolder, nullptr);
    EXPECT_EQ(invokeRaw(explorer, currentFolderId, DISPATCH_PROPERTYPUTREF,
                        RawArguments().object(win32::dispatchOf(folder))).hr,
              DISP_E_PARAMNOTOPTIONAL);
    // Any interface of the folder stands for it, its IUnknown too.
    ComPtr<IUnknown> identity;
    ASSERT_EQ(win32::dispatchOf(folder)->QueryInterface(IID_IUnknown, identity.putVoid()), S_OK);
    EXPECT_EQ(invokeRaw(explorer, currentFolderId, DISPATCH_PROPERTYPUTREF,
                        RawArguments().object(identity.get(), VT_UNKNOWN), {DISPID_PROPERTYPUT}).hr,
              S_OK);
    EXPECT_EQ(second.currentFolder, folderNode);
}

// --- Calls with several arguments -------------------------------------------------------------

TEST_F(DispatchAdapter, FindControlAndAddTakeTheirOmittedArgumentsInPlace) {
    sim::Node& inspector = model.openInspector(43, L"mail");
    const host::CommandBar bar = standardBar(inspector);
    sim::Node* barNode = model.commandBar(inspector, L"Standard");
    const std::size_t builtIn = barNode->controls->elements.size();

    const host::Object added = bar.controls().add(host::msoControlButton, false);
    ASSERT_EQ(barNode->controls->elements.size(), builtIn + 1);
    const sim::Node* addedNode = barNode->controls->elements.back();
    EXPECT_EQ(com->nodeOf(win32::dispatchOf(added)), addedNode);
    EXPECT_EQ(addedNode->control.type, host::msoControlButton);
    EXPECT_EQ(addedNode->control.id, sim::customControlId);

    EXPECT_TRUE(bar.findControl(host::msoControlButton, L"Zeltra", false).isNothing());
    const auto button = host::CommandBarButton::from(added);
    button.setTag(L"Zeltra");
    EXPECT_TRUE(bar.findControl(host::msoControlButton, L"Zeltra", false).isSameObject(added));
    EXPECT_TRUE(bar.findControl(host::msoControlButton, L"Zeltra", true).isSameObject(added));
    button.setVisible(false);
    EXPECT_TRUE(bar.findControl(host::msoControlButton, L"Zeltra", true).isNothing());
    EXPECT_TRUE(bar.findControl(host::msoControlButton, L"Zeltra", false).isSameObject(added));
}

TEST_F(DispatchAdapter, AReversedOrMisplacedArgumentListIsRefused) {
    sim::Node& inspector = model.openInspector(43, L"mail");
    const host::CommandBar bar = standardBar(inspector);
    const host::CommandBarControls controls = bar.controls();
    host::CommandBarButton::from(controls.add(host::msoControlButton, false)).setTag(L"Zeltra");
    sim::Node* controlsNode = model.commandBar(inspector, L"Standard")->controls;
    const std::size_t count = controlsNode->elements.size();
    IDispatch* barDispatch = win32::dispatchOf(bar.object());

    // FindControl(1, , "Zeltra", True) as Invoke expects it: the last argument first.
    const auto inOrder = invokeRaw(barDispatch, findControlId, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                   RawArguments().missing().boolean(true).text(L"Zeltra").missing().integer(1));
    EXPECT_EQ(inOrder.hr, S_OK);
    EXPECT_EQ(inOrder.value->vt, VT_DISPATCH);
    EXPECT_EQ(com->nodeOf(inOrder.value->pdispVal), controlsNode->elements.back());

    // The same list not reversed: Visible arrives as Id.
    const auto reversed = invokeRaw(barDispatch, findControlId, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                    RawArguments().integer(1).missing().text(L"Zeltra").boolean(true).missing());
    EXPECT_EQ(reversed.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(reversed.argError, 3u);
    EXPECT_EQ(reversed.value->vt, VT_EMPTY);

    // Add(1) with its four omitted arguments not reversed: the Type arrives as Temporary.
    const auto reversedAdd =
        invokeRaw(win32::dispatchOf(controls.object()), addId, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                  RawArguments().integer(1).missing().missing().missing().missing());
    EXPECT_EQ(reversedAdd.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(reversedAdd.argError, 0u);
    EXPECT_EQ(controlsNode->elements.size(), count);

    // Through the adapter: arguments in the wrong places, and one too many.
    EXPECT_EQ(errorOf([&] { bar.object().get(L"FindControl", {host::Variant(L"Zeltra"), host::Variant(1)}); }),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(errorOf([&] {
                  controls.object().get(L"Add", {host::Variant(1), host::Variant::missing(), host::Variant::missing(),
                                                 host::Variant::missing(), host::Variant(false), host::Variant(1)});
              }),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(controlsNode->elements.size(), count);
}

TEST_F(DispatchAdapter, AnArgumentByReferenceIsTakenAsItsValue) {
    sim::Node& inspector = model.openInspector(43, L"mail");
    const host::CommandBar bar = standardBar(inspector);
    host::CommandBarButton::from(bar.controls().add(host::msoControlButton, false)).setTag(L"Zeltra");
    UniqueVariant tag;
    tag->bstrVal = com::Bstr(L"Zeltra").detach();
    tag->vt = VT_BSTR;
    const auto found = invokeRaw(win32::dispatchOf(bar.object()), findControlId, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                 RawArguments().reference(*tag.get()).missing().missing());
    EXPECT_EQ(found.hr, S_OK);
    ASSERT_EQ(found.value->vt, VT_DISPATCH);
    EXPECT_EQ(com->nodeOf(found.value->pdispVal), model.commandBar(inspector, L"Standard")->controls->elements.back());
}

TEST_F(DispatchAdapter, AnInterfaceIdOtherThanNullIsRefused) {
    IDispatch* dispatch = win32::dispatchOf(application().object());
    com::Bstr name(L"Explorers");
    LPOLESTR names[] = {name.get()};
    DISPID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_IDispatch, names, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, explorersId);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    UniqueVariant result;
    EXPECT_EQ(dispatch->Invoke(explorersId, IID_IDispatch, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                               result.get(), nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(result->vt, VT_EMPTY);
}

// --- How members are invoked -----------------------------------------------------------------

TEST_F(DispatchAdapter, AValueReachesGetOnlyAndMethodOnlyMembersAlike) {
    sim::Node& explorer = model.openExplorer();
    const auto app = application();
    EXPECT_EQ(app.explorers().count(), host::Variant(1));                           // a property
    EXPECT_TRUE(app.activeExplorer().object().isSameObject(wrap(explorer)));  // a method
    EXPECT_EQ(app.object().get(L"Explorers").toObject().get(L"Count"), host::Variant(1));

    IDispatch* dispatch = win32::dispatchOf(app.object());
    EXPECT_EQ(invokeRaw(dispatch, explorersId, DISPATCH_METHOD).hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(invokeRaw(dispatch, activeExplorerId, DISPATCH_PROPERTYGET).hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(invokeRaw(dispatch, explorersId, DISPATCH_PROPERTYGET).hr, S_OK);
    EXPECT_EQ(invokeRaw(dispatch, activeExplorerId, DISPATCH_METHOD).hr, S_OK);
}

// --- Identity and interfaces -----------------------------------------------------------------

TEST_F(DispatchAdapter, AnObjectReachedThroughTwoInterfacesIsTheSameObject) {
    const auto app = application();
    host::Object fromEvent;
    host::EventConnection connection = app.explorers().object().connect(
        host::iid::ExplorersEvents,
        [&](std::int32_t, std::span<host::Variant> args) { fromEvent = args[0].toObject(); });
    model.openExplorer();
    ASSERT_FALSE(fromEvent.isNothing());
    const host::Explorer active = app.activeExplorer();  // QueryInterface for _Explorer
    EXPECT_NE(win32::dispatchOf(fromEvent), win32::dispatchOf(active.object()));
    EXPECT_TRUE(fromEvent.isSameObject(active.object()));
    EXPECT_TRUE(active.object().isSameObject(fromEvent));
    EXPECT_FALSE(fromEvent.isSameObject(app.object()));
    connection.disconnect();
}

TEST_F(DispatchAdapter, EveryInterfaceOfAnObjectAnswersTheSameSet) {
    const host::Object object = wrap(model.openExplorer());
    IDispatch* dispatch = win32::dispatchOf(object);
    ComPtr<IUnknown> identity;
    ComPtr<IDispatch> typed;
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, identity.putVoid()), S_OK);
    ASSERT_EQ(dispatch->QueryInterface(win32::toGuid(host::iid::Explorer), typed.putVoid()), S_OK);
    ASSERT_EQ(dispatch->QueryInterface(IID_IConnectionPointContainer, container.putVoid()), S_OK);
    const std::vector<IUnknown*> interfaces = {identity.get(), dispatch, typed.get(), container.get()};
    for (std::size_t i = 0; i < interfaces.size(); ++i)
        for (std::size_t j = i + 1; j < interfaces.size(); ++j) EXPECT_NE(interfaces[i], interfaces[j]);

    for (IUnknown* from : interfaces) {
        ComPtr<IUnknown> unknown;
        EXPECT_EQ(from->QueryInterface(IID_IUnknown, unknown.putVoid()), S_OK);
        EXPECT_EQ(unknown.get(), identity.get());
        ComPtr<IUnknown> other;
        EXPECT_EQ(from->QueryInterface(IID_IDispatch, other.putVoid()), S_OK);
        EXPECT_EQ(other.get(), dispatch);
        EXPECT_EQ(from->QueryInterface(win32::toGuid(host::iid::Explorer), other.putVoid()), S_OK);
        EXPECT_EQ(other.get(), typed.get());
        EXPECT_EQ(from->QueryInterface(win32::toGuid(host::iid::Inspector), other.putVoid()), E_NOINTERFACE);
        EXPECT_EQ(other.get(), nullptr);
        EXPECT_EQ(from->QueryInterface(win32::toGuid(host::iid::ExplorerEvents_10), other.putVoid()), E_NOINTERFACE);
        EXPECT_EQ(com->nodeOf(from), model.find(L"Explorer 1"));
    }
}

TEST_F(DispatchAdapter, ConnectionPointsCountTheirOwnReferences) {
    sim::Node& explorer = model.openExplorer();
    const host::Object object = wrap(explorer);
    const int explorerRefs = explorer.refs();
    host::EventConnection connection =
        object.connect(host::iid::ExplorerEvents_10, [](std::int32_t, std::span<host::Variant>) {});
    EXPECT_EQ(explorer.refs(), explorerRefs);
    const sim::Node& point = model.connectionPoint(explorer, host::iid::ExplorerEvents_10);
    EXPECT_EQ(point.refs(), 1);  // the adapter keeps the point for its Unadvise
    connection.disconnect();
    EXPECT_EQ(point.refs(), 0);
}

// --- Apartment --------------------------------------------------------------------------------

TEST_F(DispatchAdapter, ACallFromAnotherThreadIsRefused) {
    sim::Node& explorer = model.openExplorer();
    const auto app = application();
    IDispatch* dispatch = win32::dispatchOf(app.object());
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(dispatch->QueryInterface(IID_IConnectionPointContainer, container.putVoid()), S_OK);
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(container->FindConnectionPoint(win32::toGuid(host::iid::ApplicationEvents_10), point.put()), S_OK);
    const int refs = model.application().refs();

    host::HResult byName = S_OK;
    HRESULT byDispid = S_OK;
    HRESULT unadvise = S_OK;
    std::thread([&] {
        byName = errorOf([&] { app.activeExplorer(); });
        byDispid = invokeRaw(dispatch, activeExplorerId, DISPATCH_METHOD).hr;
        unadvise = point->Unadvise(1);
        dispatch->AddRef();
        dispatch->Release();
    }).join();
    EXPECT_EQ(byName, RPC_E_WRONG_THREAD);
    EXPECT_EQ(byDispid, RPC_E_WRONG_THREAD);
    EXPECT_EQ(unadvise, RPC_E_WRONG_THREAD);
    EXPECT_EQ(model.application().refs(), refs);
    EXPECT_EQ(model.faults().size(), 5u);  // GetIDsOfNames, Invoke, Unadvise, AddRef, Release
    model.clearFaults();

    // On its own thread the same object answers.
    EXPECT_TRUE(app.activeExplorer().object().isSameObject(wrap(explorer)));
    EXPECT_EQ(point->Unadvise(1), CONNECT_E_NOCONNECTION);
    EXPECT_TRUE(model.faults().empty());
}

// --- By-reference event arguments ------------------------------------------------------------

class ByReference : public DispatchAdapter, public testing::WithParamInterface<sim::win32::ByRefStyle> {};

TEST_P(ByReference, AHandlersCancelReachesTheHost) {
    com->setByRefStyle(GetParam());
    sim::Node& explorer = model.openExplorer();
    bool cancel = true;
    std::vector<host::Variant> received;
    host::EventConnection connection = wrap(explorer).connect(
        host::iid::ExplorerEvents_10, [&](std::int32_t dispid, std::span<host::Variant> args) {
            if (dispid != host::dispid::BeforeFolderSwitch) return;
            received.push_back(args[1]);
            args[1] = host::Variant(cancel);
        });
    EXPECT_TRUE(model.switchFolder(explorer, L"Archive"));
    EXPECT_EQ(explorer.currentFolder, nullptr);
    cancel = false;
    EXPECT_FALSE(model.switchFolder(explorer, L"Inbox"));
    ASSERT_NE(explorer.currentFolder, nullptr);
    EXPECT_EQ(explorer.currentFolder->body, L"Inbox");
    EXPECT_EQ(received, (std::vector<host::Variant>{host::Variant(false), host::Variant(false)}));
    EXPECT_TRUE(model.takeEventFailures().empty());
    connection.disconnect();
}

INSTANTIATE_TEST_SUITE_P(Styles, ByReference,
                         testing::Values(sim::win32::ByRefStyle::Bool, sim::win32::ByRefStyle::Variant),
                         [](const testing::TestParamInfo<sim::win32::ByRefStyle>& style) {
                             return style.param == sim::win32::ByRefStyle::Bool ? "BoolPointer" : "VariantPointer";
                         });

// The IDispatch of a test's own object, which lives on the test's stack: references counted, no
// type information, no names. QueryInterface and Invoke are the object's own.
class StackDispatch : public IDispatch {
public:
    ULONG refs = 0;

    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() noexcept override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override {
        return DISP_E_UNKNOWNNAME;
    }
};

// A sink of our own, to see the by-reference argument as the simulator passes it.
class CancellingSink final : public StackDispatch {
public:
    VARTYPE cancelType = VT_EMPTY;
    VARTYPE referredType = VT_EMPTY;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != win32::toGuid(host::iid::ExplorerEvents_10))
            return E_NOINTERFACE;
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) noexcept override {
        if (id != host::dispid::BeforeFolderSwitch || params->cArgs != 2) return S_OK;
        VARIANT& cancel = params->rgvarg[0];
        cancelType = cancel.vt;
        if (cancel.vt == (VT_BYREF | VT_BOOL)) {
            *cancel.pboolVal = VARIANT_TRUE;
        } else if (cancel.vt == (VT_BYREF | VT_VARIANT)) {
            referredType = cancel.pvarVal->vt;
            cancel.pvarVal->boolVal = VARIANT_TRUE;
        }
        return S_OK;
    }
};

TEST_F(DispatchAdapter, TheByReferenceStyleDecidesWhatASinkReceives) {
    sim::Node& explorer = model.openExplorer();
    const host::Object object = wrap(explorer);
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(win32::dispatchOf(object)->QueryInterface(IID_IConnectionPointContainer, container.putVoid()), S_OK);
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(container->FindConnectionPoint(win32::toGuid(host::iid::ExplorerEvents_10), point.put()), S_OK);
    for (const auto style : {sim::win32::ByRefStyle::Bool, sim::win32::ByRefStyle::Variant}) {
        com->setByRefStyle(style);
        CancellingSink sink;
        DWORD cookie = 0;
        ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
        EXPECT_TRUE(model.switchFolder(explorer, L"Archive"));
        EXPECT_EQ(point->Unadvise(cookie), S_OK);
        EXPECT_EQ(sink.refs, 0u);
        if (style == sim::win32::ByRefStyle::Bool) {
            EXPECT_EQ(sink.cancelType, VT_BYREF | VT_BOOL);
        } else {
            EXPECT_EQ(sink.cancelType, VT_BYREF | VT_VARIANT);
            EXPECT_EQ(sink.referredType, VT_BOOL);
        }
    }
}

TEST_F(DispatchAdapter, AClickReachesEveryConnectedButtonWithItsTag) {
    sim::Node& first = model.openInspector(43, L"one");
    sim::Node& second = model.openInspector(43, L"two");
    std::vector<host::CommandBarButton> buttons;
    for (sim::Node* inspector : {&first, &second}) {
        buttons.push_back(host::CommandBarButton::from(standardBar(*inspector).controls().add(host::msoControlButton, false)));
        buttons.back().setTag(L"Zeltra");
    }
    std::vector<host::Object> clicked;
    std::vector<host::EventConnection> connections;
    for (const auto& button : buttons) {
        connections.push_back(button.object().connect(
            host::iid::CommandBarButtonEvents, [&](std::int32_t dispid, std::span<host::Variant> args) {
                ASSERT_EQ(dispid, host::dispid::Click);
                ASSERT_EQ(args.size(), 2u);
                clicked.push_back(args[0].toObject());
                args[1] = host::Variant(true);  // CancelDefault
            }));
    }
    sim::Node* secondButton = com->nodeOf(win32::dispatchOf(buttons[1].object()));
    ASSERT_NE(secondButton, nullptr);
    EXPECT_TRUE(model.click(*secondButton));
    ASSERT_EQ(clicked.size(), 2u);
    for (const auto& ctrl : clicked) EXPECT_TRUE(ctrl.isSameObject(buttons[1].object()));
    clicked.clear();
    connections.clear();
}

// --- A failed delivery on a guard's connection --------------------------------------------------

// An event source of the test's own, with one connection point: the test raises its events with
// the arguments it builds, as the WebBrowser control would, without a result or EXCEPINFO.
class OwnEventSource final : public StackDispatch, public IConnectionPointContainer, public IConnectionPoint {
public:
    ComPtr<IDispatch> sink;

    HRESULT raise(DISPID id, VARIANTARG* args, UINT count) {
        DISPPARAMS params{args, nullptr, count, 0};
        return sink->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch) *out = static_cast<IDispatch*>(this);
        if (iid == IID_IConnectionPointContainer) *out = static_cast<IConnectionPointContainer*>(this);
        if (iid == IID_IConnectionPoint) *out = static_cast<IConnectionPoint*>(this);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    // One count for all three interfaces.
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return StackDispatch::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() noexcept override { return StackDispatch::Release(); }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) noexcept override {
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) noexcept override {
        *point = nullptr;
        if (iid != win32::toGuid(host::iid::DWebBrowserEvents2)) return CONNECT_E_NOCONNECTION;
        *point = this;
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* client, DWORD* cookie) noexcept override {
        if (sink) return CONNECT_E_ADVISELIMIT;
        *cookie = 1;
        return client->QueryInterface(win32::toGuid(host::iid::DWebBrowserEvents2), sink.putVoid());
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) noexcept override {
        if (cookie != 1 || !sink) return CONNECT_E_NOCONNECTION;
        sink.reset();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) noexcept override { return E_NOTIMPL; }
};

// BeforeNavigate2 as Wine's control raises it (dlls/ieframe/navigate.c): in rgvarg order Cancel,
// Headers, PostData, TargetFrameName, Flags, URL, the control. Every argument but the control comes by
// reference; PostData is a reference to a reference to the posted bytes, which no handler can
// take, or to nothing when the navigation posts nothing.
class BeforeNavigate2Arguments {
public:
    VARIANT_BOOL cancel = VARIANT_FALSE;
    UniqueVariant cancelHolder;  // VT_BOOL, for a Cancel passed as VT_BYREF|VT_VARIANT

    BeforeNavigate2Arguments(IDispatch* control, bool posted, VARTYPE cancelType) {
        url_->bstrVal = com::Bstr(L"https://example.org/form").detach();
        url_->vt = VT_BSTR;
        flags_->vt = VT_I4;
        frame_->vt = VT_BSTR;
        headers_->vt = VT_BSTR;
        if (posted) {
            SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, 3);
            if (bytes) std::memcpy(bytes->pvData, "q=x", 3);
            postData_->parray = bytes;
            postData_->vt = VT_ARRAY | VT_UI1;
        }
        postDataReference_->pvarVal = postData_.get();
        postDataReference_->vt = VT_BYREF | VT_VARIANT;
        cancelHolder->vt = VT_BOOL;
        cancelHolder->boolVal = VARIANT_FALSE;
        if (cancelType == (VT_BYREF | VT_BOOL)) {
            args_[0].pboolVal = &cancel;
        } else {
            args_[0].pvarVal = cancelHolder.get();
        }
        args_[0].vt = cancelType;
        reference(args_[1], headers_);
        reference(args_[2], postDataReference_);
        reference(args_[3], frame_);
        reference(args_[4], flags_);
        reference(args_[5], url_);
        args_[6].vt = VT_DISPATCH;
        args_[6].pdispVal = control;
    }
    VARIANTARG* data() noexcept { return args_; }
    bool cancelled() const noexcept {
        return args_[0].vt == (VT_BYREF | VT_BOOL) ? cancel != VARIANT_FALSE : cancelHolder->boolVal != VARIANT_FALSE;
    }

private:
    static void reference(VARIANTARG& arg, UniqueVariant& target) {
        arg.vt = VT_BYREF | VT_VARIANT;
        arg.pvarVal = target.get();
    }
    UniqueVariant url_, flags_, frame_, postData_, postDataReference_, headers_;
    VARIANTARG args_[7] = {};  // borrowed: nothing in them is owned
};

TEST(GuardConnection, AnArgumentThatCannotBeConvertedCancelsOnlyWhereAsked) {
    const testing_support::ComApartment apartment;
    for (const VARTYPE cancelType : {VARTYPE(VT_BYREF | VT_BOOL), VARTYPE(VT_BYREF | VT_VARIANT)}) {
        for (const auto onFailure : {host::OnFailedDelivery::Report, host::OnFailedDelivery::Cancel}) {
            const bool guard = onFailure == host::OnFailedDelivery::Cancel;
            SCOPED_TRACE(std::string(guard ? "cancel" : "report") + (cancelType == (VT_BYREF | VT_BOOL) ? ", bool" : ", variant"));
            OwnEventSource source;
            int handled = 0;
            host::EventConnection connection = win32::wrapDispatch(&source).connect(
                host::iid::DWebBrowserEvents2, [&](std::int32_t, std::span<host::Variant>) { ++handled; }, onFailure);
            ASSERT_TRUE(source.sink);

            BeforeNavigate2Arguments posted(&source, true, cancelType);
            EXPECT_EQ(source.raise(host::dispid::BeforeNavigate2, posted.data(), 7), DISP_E_TYPEMISMATCH);
            EXPECT_EQ(handled, 0);
            EXPECT_EQ(posted.cancelled(), guard);

            // Nothing posted: the handler takes the event, and leaves Cancel as it is.
            BeforeNavigate2Arguments plain(&source, false, cancelType);
            EXPECT_EQ(source.raise(host::dispid::BeforeNavigate2, plain.data(), 7), S_OK);
            EXPECT_EQ(handled, 1);
            EXPECT_FALSE(plain.cancelled());

            connection.disconnect();
            EXPECT_EQ(source.refs, 0u);
        }
    }
}

TEST(GuardConnection, AHandlerThatThrowsCancels) {
    const testing_support::ComApartment apartment;
    OwnEventSource source;
    host::EventConnection connection = win32::wrapDispatch(&source).connect(
        host::iid::DWebBrowserEvents2,
        [](std::int32_t, std::span<host::Variant>) { throw host::Error(E_ACCESSDENIED, "handler failed"); },
        host::OnFailedDelivery::Cancel);
    for (const VARTYPE cancelType : {VARTYPE(VT_BYREF | VT_BOOL), VARTYPE(VT_BYREF | VT_VARIANT)}) {
        BeforeNavigate2Arguments args(&source, false, cancelType);
        EXPECT_EQ(source.raise(host::dispid::BeforeNavigate2, args.data(), 7), E_ACCESSDENIED);
        EXPECT_TRUE(args.cancelled());
    }
    connection.disconnect();
    EXPECT_EQ(source.refs, 0u);
}

// --- What the adapter must not leak or let escape ----------------------------------------------

// An object of another adapter, which the Win32 adapter cannot pass to Invoke.
class ForeignAutomation final : public host::Automation {
public:
    std::shared_ptr<host::Automation> queryInterface(const host::Guid&) override {
        throw host::Error(E_NOINTERFACE, "foreign");
    }
    std::shared_ptr<host::Automation> duplicate() override { return std::make_shared<ForeignAutomation>(); }
    host::Variant invoke(const host::Member&, host::InvokeKind, std::span<const host::Variant>) override {
        throw host::Error(E_NOTIMPL, "foreign");
    }
    std::unique_ptr<host::EventConnection::Impl> advise(const host::Guid&, host::EventHandler,
                                                        host::OnFailedDelivery) override {
        throw host::Error(E_NOTIMPL, "foreign");
    }
    const void* identity() const override { return this; }
};

TEST_F(DispatchAdapter, ArgumentsConvertedBeforeAFailingOneAreReleased) {
    sim::Node& explorer = model.openExplorer();
    const auto app = application();
    const host::Object explorerObject = wrap(explorer);
    const int refs = explorer.refs();
    const host::Object foreign(std::make_shared<ForeignAutomation>());
    EXPECT_EQ(errorOf([&] {
                  app.object().get(L"GetNamespace", {host::Variant(explorerObject), host::Variant(foreign)});
              }),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(explorer.refs(), refs);
}

// A handler whose every copy fails: the adapter must share it, not copy it on each event.
struct HandlerThatCannotBeCopied {
    int* calls;
    explicit HandlerThatCannotBeCopied(int* counter) : calls(counter) {}
    HandlerThatCannotBeCopied(const HandlerThatCannotBeCopied&) { throw std::bad_alloc(); }
    HandlerThatCannotBeCopied(HandlerThatCannotBeCopied&& other) noexcept : calls(other.calls) {}
    HandlerThatCannotBeCopied& operator=(const HandlerThatCannotBeCopied&) = delete;
    void operator()(std::int32_t, std::span<host::Variant>) const { ++*calls; }
};

TEST_F(DispatchAdapter, AHandlerThatCannotBeCopiedStillReceivesItsEvents) {
    sim::Node& explorer = model.openExplorer();
    int calls = 0;
    host::EventHandler handler(HandlerThatCannotBeCopied{&calls});
    host::EventConnection connection = wrap(explorer).connect(host::iid::ExplorerEvents_10, std::move(handler));
    EXPECT_FALSE(model.switchFolder(explorer, L"Inbox"));  // BeforeFolderSwitch and FolderSwitch
    model.closeWindow(explorer);
    EXPECT_EQ(calls, 3);
    EXPECT_TRUE(model.takeEventFailures().empty());
    connection.disconnect();
}

}  // namespace
