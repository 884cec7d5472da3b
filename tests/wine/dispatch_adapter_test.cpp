// The real automation adapter (host/win32) against the simulator's COM objects, in this process.
#include <gtest/gtest.h>

#include "host/iids.h"
#include "host/outlook.h"
#include "host/win32/dispatch.h"
#include "sim/win32/com_host.h"
#include "tests/wine/wine_test_support.h"

namespace {

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

    void TearDown() override {
        EXPECT_TRUE(model.referencesHeld().empty());
        EXPECT_TRUE(model.overReleases().empty());
        EXPECT_EQ(model.connectionCount(), 0u);
    }
};

host::HResult errorOf(const auto& action) {
    try {
        action();
    } catch (const host::Error& e) {
        return e.hr();
    }
    return S_OK;
}

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
        explorerObject.connect(host::iid::ExplorerEvents, [&](std::int32_t dispid, std::span<host::Variant> args) {
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
    connection = wrap(explorer).connect(host::iid::ExplorerEvents, [&](std::int32_t, std::span<host::Variant>) {
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
        wrap(explorer).connect(host::iid::ExplorerEvents, [&](std::int32_t, std::span<host::Variant>) { ++calls; });
    model.failMember(L"Explorer 1", L"Unadvise", E_UNEXPECTED);
    EXPECT_EQ(errorOf([&] { connection.disconnect(); }), E_UNEXPECTED);
    model.closeWindow(explorer);
    EXPECT_EQ(calls, 0);
    explorer.connections.clear();  // the host kept the refused connection
}

}  // namespace
