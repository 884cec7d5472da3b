#include <gtest/gtest.h>

#include "tests/fakes/host_fixture.h"

namespace {

using sim::Node;
using sim::TraceEntry;
using fakes::refersTo;

// Every test ends with the host releasing Connect; nothing may stay referenced or connected.
struct ConnectTest : testing::Test {
    fakes::Session session;
    sim::Model& model = session.model;

    void TearDown() override {
        session.connect.reset();
        EXPECT_TRUE(model.referencesHeld().empty()) << "references left: " << model.referencesHeld().size();
        EXPECT_EQ(model.connectionCount(), 0u);
        EXPECT_TRUE(model.overReleases().empty());
        EXPECT_TRUE(session.module.objApp.isNothing());
    }
};

struct WindowCounts {
    int explorers;
    int inspectors;
    bool attaches;
};

class WindowTest : public ConnectTest, public testing::WithParamInterface<WindowCounts> {};

TEST_P(WindowTest, AttachesUnlessNoWindowIsOpen) {
    const auto counts = GetParam();
    for (int i = 0; i < counts.explorers; ++i) model.openExplorer();
    for (int i = 0; i < counts.inspectors; ++i) model.openInspector(43, L"body");

    EXPECT_EQ(session.onConnection(), host::hresult::ok);
    ASSERT_EQ(session.hub() != nullptr, counts.attaches);
    if (counts.attaches) {
        EXPECT_TRUE(session.hub()->isAttached());
        EXPECT_EQ(session.hub()->explorer().isNothing(), counts.explorers == 0);
    }
    // Both counts are always read (and once more to follow every open window, when attached).
    const auto calls = session.traced(TraceEntry::Type::AddInCall);
    const auto expected = counts.attaches ? 2 : 1;
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"Explorers.Count"), expected);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"Inspectors.Count"), expected);

    EXPECT_EQ(session.onDisconnection(), host::hresult::ok);
    EXPECT_EQ(session.hub(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Counts, WindowTest,
                         testing::Values(WindowCounts{0, 0, false}, WindowCounts{0, 1, true},
                                         WindowCounts{1, 0, true}, WindowCounts{1, 1, true},
                                         WindowCounts{2, 3, true}));

TEST_F(ConnectTest, ACountThatCannotBeReadMeansNoAttach) {
    model.openExplorer();
    for (const auto& [target, member] : std::vector<std::pair<std::wstring, std::wstring>>{
             {L"Application", L"Explorers"},
             {L"Explorers", L"Count"},
             {L"Application", L"Inspectors"},
             {L"Inspectors", L"Count"}}) {
        model.failMember(target, member, host::hresult::fail);
        EXPECT_EQ(session.onConnection(), host::hresult::ok) << std::string(member.begin(), member.end());
        EXPECT_EQ(session.hub(), nullptr);
    }
}

TEST_F(ConnectTest, NoProgIdOrNoApplicationInterfaceMeansNoHub) {
    model.openExplorer();
    model.failMember(L"AddInInstance", L"ProgId", host::hresult::fail);
    EXPECT_EQ(session.onConnection(), host::hresult::ok);
    EXPECT_EQ(session.hub(), nullptr);

    model.failMember(L"Application", L"QueryInterface", host::hresult::noInterface);
    EXPECT_EQ(session.onConnection(), host::hresult::ok);
    EXPECT_EQ(session.hub(), nullptr);
}

TEST_F(ConnectTest, AHubThatCannotBeCreatedStillGivesSuccess) {
    model.openExplorer();
    session.connect = std::make_unique<zeltra::Connect>(session.component, []() -> std::shared_ptr<zeltra::OutAddIn> {
        throw host::Error(host::hresult::outOfMemory);
    });
    EXPECT_EQ(session.onConnection(), host::hresult::ok);
    EXPECT_EQ(session.hub(), nullptr);
    EXPECT_EQ(session.onDisconnection(), host::hresult::outOfMemory);
}

// Attach stops at the failing step; the members set before it stay, the later ones stay empty.
struct AttachFailure {
    const wchar_t* target;
    const wchar_t* member;
    int membersSet;  // of objOutlook, objNS, colExpl, colInsp, objExpl
    int callsBefore = 0;  // calls of the member that succeed first (the window test's)
};

class AttachFailureTest : public ConnectTest, public testing::WithParamInterface<AttachFailure> {};

TEST_P(AttachFailureTest, KeepsTheEarlierMembersAndReturnsSuccess) {
    model.openExplorer();
    model.failMember(GetParam().target, GetParam().member, host::hresult::fail, 1, GetParam().callsBefore);
    EXPECT_EQ(session.onConnection(), host::hresult::ok);
    ASSERT_NE(session.hub(), nullptr);
    const auto& hub = *session.hub();
    const bool set[] = {!hub.outlook().isNothing(), !hub.nameSpace().isNothing(), !hub.explorers().isNothing(),
                        !hub.inspectors().isNothing(), !hub.explorer().isNothing()};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(set[i], i < GetParam().membersSet) << "member " << i;
    EXPECT_EQ(session.module.objApp.isNothing(), GetParam().membersSet == 0);
    EXPECT_EQ(session.onDisconnection(), host::hresult::ok);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, AttachFailureTest,
    testing::Values(AttachFailure{L"Application", L"Advise", 0}, AttachFailure{L"Application", L"GetNamespace", 1},
                    AttachFailure{L"NameSpace", L"Advise", 1}, AttachFailure{L"Application", L"Explorers", 2, 1},
                    AttachFailure{L"Explorers", L"Advise", 2}, AttachFailure{L"Application", L"Inspectors", 3, 1},
                    AttachFailure{L"Inspectors", L"QueryInterface", 3},
                    AttachFailure{L"Application", L"ActiveExplorer", 4}, AttachFailure{L"Explorer", L"Advise", 4}));

TEST_F(ConnectTest, DetachEmptiesTheMembersInItsOrderAndThenReleasesTheHub) {
    model.openExplorer();
    EXPECT_EQ(session.onConnection(), host::hresult::ok);
    model.openInspector(43, L"mail");
    ASSERT_FALSE(session.hub()->inspector().isNothing());
    model.clearTrace();

    EXPECT_EQ(session.onDisconnection(), host::hresult::ok);
    std::vector<std::wstring> order;
    for (const auto& e : model.traceLog()) {
        if (e.type == TraceEntry::Type::Unadvise) order.push_back(e.text);
        if (e.type == TraceEntry::Type::Release) order.push_back(e.text);
    }
    const std::vector<std::wstring> expected = {
        L"Inspector 1 Unadvise InspectorEvents_10",       L"Inspector 1 Release -> 0",
        L"Explorer 1 Unadvise ExplorerEvents_10",         L"Explorer 1 Release -> 0",
        L"Inspectors Unadvise InspectorsEvents",       L"Inspectors Release -> 0",
        L"Explorers Unadvise ExplorersEvents",         L"Explorers Release -> 0",
        L"NameSpace Unadvise NameSpaceEvents",         L"NameSpace Release -> 0",
        L"Application Release -> 1",  // objApp, before objOutlook
        L"Application Unadvise ApplicationEvents_10",     L"Application Release -> 0",
        // The item window's bar and button go with the hub.
        L"Inspector 1 CommandBars Standard Release -> 0",
        L"Control 13 Unadvise _CommandBarButtonEvents",   L"Control 13 Release -> 0",
    };
    EXPECT_EQ(order, expected);
    EXPECT_EQ(session.hub(), nullptr);
}

TEST_F(ConnectTest, ASecondConnectionReusesTheHubAndAttachesItAgain) {
    model.openExplorer();
    EXPECT_EQ(session.onConnection(), host::hresult::ok);
    const zeltra::OutAddIn* first = session.hub();
    EXPECT_EQ(session.onConnection(), host::hresult::ok);
    EXPECT_EQ(session.hub(), first);
    EXPECT_TRUE(session.hub()->isAttached());
    // Re-attaching replaced each member: one reference and one connection per object.
    EXPECT_EQ(model.application().refs(), 2);  // objOutlook and objApp
    EXPECT_EQ(model.explorersCollection().refs(), 1);
    EXPECT_EQ(model.explorersCollection().connections.size(), 1u);
}

TEST_F(ConnectTest, DisconnectionWithoutAttachSucceedsAndLeavesNothing) {
    EXPECT_EQ(session.onConnection(), host::hresult::ok);  // no window: nothing attached
    EXPECT_EQ(session.onDisconnection(), host::hresult::ok);
    EXPECT_EQ(session.hub(), nullptr);
    EXPECT_EQ(session.onDisconnection(), host::hresult::ok);
}

TEST_F(ConnectTest, AFailedDetachIsReturnedAndTheHubKept) {
    model.openExplorer();
    EXPECT_EQ(session.onConnection(), host::hresult::ok);
    model.failMember(L"Inspectors", L"Unadvise", host::hresult::unexpected);

    EXPECT_EQ(session.onDisconnection(), host::hresult::unexpected);
    ASSERT_NE(session.hub(), nullptr);
    EXPECT_TRUE(session.hub()->explorer().isNothing());   // emptied before the failure
    EXPECT_TRUE(session.hub()->inspectors().isNothing());  // the failing member is emptied too
    EXPECT_FALSE(session.hub()->explorers().isNothing());  // the rest stays
    EXPECT_FALSE(session.module.objApp.isNothing());
    model.inspectorsCollection().connections.clear();  // the host kept the refused connection
}

// The form (made for the first button's face), its browser control and the welcome not yet shown
// exist only while the add-in is connected, so that the library can unload after the user
// unticks it; the next connection makes them again.
TEST_F(ConnectTest, TheLastDisconnectionUnloadsTheFormAndTheNextUseLoadsItAgain) {
    model.openExplorer();
    session.module.strMSOAO = L"1";
    ASSERT_EQ(session.onConnection(), host::hresult::ok);
    EXPECT_EQ(session.connect->AddinInstance_OnStartupComplete(), host::hresult::ok);
    model.openInspector(43, L"mail");
    ASSERT_EQ(session.form->loads, 1);
    EXPECT_EQ(session.onDisconnection(fakes::ext_dm_UserClosed), host::hresult::ok);
    EXPECT_EQ(session.form->unloads, 1);
    EXPECT_TRUE(session.desktop.postedTasks.empty()) << "the welcome is not shown after the end";
    EXPECT_TRUE(model.referencesHeld().empty());

    ASSERT_EQ(session.onConnection(fakes::ext_cm_AfterStartup), host::hresult::ok);
    model.openInspector(43, L"another mail");
    EXPECT_EQ(session.form->loads, 2);
}

// Outlook 2010 and later often only release the add-in at exit.
TEST_F(ConnectTest, AReleaseWithoutDisconnectionEndsTheConnectionAndLeavesNothing) {
    model.openExplorer();
    ASSERT_EQ(session.onConnection(), host::hresult::ok);
    model.openInspector(43, L"mail");
    session.connect.reset();
    EXPECT_FALSE(session.component.connected());
    EXPECT_EQ(session.form->unloads, 1);
}

// The user ticks the add-in in the COM Add-ins dialog while item windows are open: their buttons
// (which Office kept) work again, and the window in front is followed.
TEST_F(ConnectTest, ConnectedAfterStartupTheOpenItemWindowsGetWorkingButtons) {
    model.openExplorer();
    Node& mail = model.openInspector(43, L"mail");
    model.openInspector(69, L"distribution list");
    Node& task = model.openInspector(48, L"task");
    session.module.strRedirPage = L"C:\\Z\\cvredir.htm";
    ASSERT_EQ(session.onConnection(fakes::ext_cm_AfterStartup), host::hresult::ok);
    for (Node* window : {&mail, &task}) {
        Node* button = fakes::zeltraButton(model, *window);
        ASSERT_NE(button, nullptr) << window->name();
    }
    EXPECT_TRUE(refersTo(session.hub()->inspector().object(), task));
    session.desktop.editorSelection = L"word";
    model.click(*fakes::zeltraButton(model, mail));
    session.desktop.runMessageLoop();
    EXPECT_EQ(session.form->navigations, std::vector<std::wstring>{L"file:///C:/Z/cvredir.htm?word"});
    const auto buttonsBound = std::count_if(model.nodes().begin(), model.nodes().end(), [](const auto& node) {
        return node->kind() == sim::Kind::CommandBarButton && !node->connections.empty();
    });
    EXPECT_EQ(buttonsBound, 1) << "one button bound, whatever the number of windows";
}

TEST_F(ConnectTest, ConnectAndRemoveModesChangeNothing) {
    model.openExplorer();
    for (const std::int32_t mode : {0, 1, 2, 3, 5, -1}) {
        EXPECT_EQ(session.onConnection(mode), host::hresult::ok);
        EXPECT_TRUE(session.hub()->isAttached());
        EXPECT_EQ(session.onDisconnection(mode), host::hresult::ok);
        EXPECT_EQ(session.hub(), nullptr);
    }
}

}  // namespace
