#include <gtest/gtest.h>

#include "tests/fakes/host_fixture.h"

namespace {

using fakes::refersTo;
using sim::TraceEntry;

struct HubTest : testing::Test {
    fakes::Session session;
    sim::Model& model = session.model;

    void attach() {
        ASSERT_EQ(session.onConnection(), host::hresult::ok);
        ASSERT_NE(session.hub(), nullptr);
        ASSERT_TRUE(session.hub()->isAttached());
    }
    const zeltra::OutAddIn& hub() const { return *session.hub(); }

    // The add-in's calls into the host from the moment the given host event was raised.
    std::vector<std::wstring> callsAfter(const std::wstring& event) const {
        std::vector<std::wstring> calls;
        bool seen = false;
        for (const auto& e : model.traceLog()) {
            if (e.type == TraceEntry::Type::HostEvent) seen = e.text == event;
            else if (seen && e.type == TraceEntry::Type::AddInCall) calls.push_back(e.text);
        }
        return calls;
    }

    void TearDown() override {
        session.disconnectAndExpectNothingHeld();
        EXPECT_TRUE(model.takeEventFailures().empty());
    }
};

TEST_F(HubTest, TracksOneExplorerAndMovesToTheActiveOneWhenItCloses) {
    sim::Node& first = model.openExplorer();
    attach();
    EXPECT_TRUE(refersTo(hub().explorer().object(), first));

    sim::Node& second = model.openExplorer();
    EXPECT_TRUE(refersTo(hub().explorer().object(), first)) << "a second Explorer is not tracked";

    model.closeWindow(first);
    EXPECT_TRUE(refersTo(hub().explorer().object(), second));
    EXPECT_TRUE(hub().isAttached());

    model.closeWindow(second);
    EXPECT_FALSE(hub().isAttached()) << "no window left";
}

TEST_F(HubTest, AnExplorerOpenedWhileNoneIsTrackedBecomesTracked) {
    model.openInspector(43, L"mail");
    attach();
    EXPECT_TRUE(hub().explorer().isNothing());
    sim::Node& explorer = model.openExplorer();
    EXPECT_TRUE(refersTo(hub().explorer().object(), explorer));
}

TEST_F(HubTest, LastExplorerClosedWithAnItemWindowOpenStaysAttachedUntilThatWindowCloses) {
    sim::Node& explorer = model.openExplorer();
    attach();
    sim::Node& item = model.openInspector(43, L"mail");
    EXPECT_TRUE(refersTo(hub().inspector().object(), item));

    model.closeWindow(explorer);
    EXPECT_TRUE(hub().explorer().isNothing());
    EXPECT_TRUE(hub().isAttached());

    model.closeWindow(item);
    EXPECT_FALSE(hub().isAttached());
    EXPECT_TRUE(session.module.objApp.isNothing());
}

// Outlook 2003 with two item windows and no main window: whichever closes last, its Close detaches
// the hub, so that Outlook can go once its last window has closed.
TEST_F(HubTest, TheLastItemWindowToCloseDetachesWhateverTheOrder) {
    for (const bool newerFirst : {true, false}) {
        SCOPED_TRACE(newerFirst ? "the newer window closes first" : "the older window closes first");
        fakes::Session run;
        sim::Node& older = run.model.openInspector(43, L"older");
        ASSERT_EQ(run.onConnection(), host::hresult::ok);
        sim::Node& newer = run.model.openInspector(45, L"newer");
        EXPECT_EQ(older.connections.size(), 1u) << "every open item window is followed, once";
        EXPECT_EQ(newer.connections.size(), 1u);
        run.model.closeWindow(newerFirst ? newer : older);
        EXPECT_TRUE(run.hub()->isAttached()) << "one item window is still open";
        run.model.closeWindow(newerFirst ? older : newer);
        EXPECT_FALSE(run.hub()->isAttached());
        // Only the last button stays bound, until the hub goes: Outlook's application, name space,
        // collections and windows are all let go of.
        for (const auto& [node, refs] : run.model.referencesHeld())
            EXPECT_TRUE(node->kind() == sim::Kind::CommandBarButton || node->kind() == sim::Kind::CommandBar)
                << node->name() << " still held";
        run.disconnectAndExpectNothingHeld();
    }
}

// With a main window open the item windows' Closes detach nothing; the main window's does once no
// item window is left, whatever the order they closed in.
TEST_F(HubTest, WithAMainWindowOnlyItsCloseDetachesOnceTheItemWindowsAreGone) {
    sim::Node& explorer = model.openExplorer();
    attach();
    sim::Node& a = model.openInspector(43, L"A");
    sim::Node& b = model.openInspector(45, L"B");
    model.closeWindow(a);
    model.closeWindow(b);
    EXPECT_TRUE(hub().isAttached());
    model.closeWindow(explorer);
    EXPECT_FALSE(hub().isAttached());
}

TEST_F(HubTest, EverySecondMainWindowIsFollowedAndItsCloseReachesTheHub) {
    sim::Node& first = model.openExplorer();
    attach();
    sim::Node& second = model.openExplorer();
    EXPECT_EQ(second.connections.size(), 1u);
    model.closeWindow(first);
    EXPECT_TRUE(refersTo(hub().explorer().object(), second));
    EXPECT_EQ(second.connections.size(), 1u) << "followed once, through objExpl now";
    sim::Node& third = model.openExplorer();
    model.closeWindow(third);
    EXPECT_FALSE(callsAfter(L"Explorer 3 Close").empty()) << "the window counts are read again";
    EXPECT_TRUE(hub().isAttached());
    model.closeWindow(second);
    EXPECT_FALSE(hub().isAttached());
}

TEST_F(HubTest, AnItemWindowClosingWithOthersOpenKeepsTheHubAttached) {
    model.openInspector(43, L"already open");
    attach();
    sim::Node& item = model.openInspector(43, L"mail");
    model.closeWindow(item);  // two item windows counted while it closes
    EXPECT_TRUE(hub().isAttached());
    EXPECT_TRUE(refersTo(hub().inspector().object(), item)) << "Close does not empty objInsp";
}

TEST_F(HubTest, AWindowOpenedAfterTheHubDetachedGetsNothing) {
    sim::Node& explorer = model.openExplorer();
    attach();
    model.closeWindow(explorer);
    ASSERT_FALSE(hub().isAttached());

    sim::Node& item = model.openInspector(43, L"mail");
    sim::Node& later = model.openExplorer();
    EXPECT_TRUE(item.connections.empty());
    EXPECT_TRUE(later.connections.empty());
    EXPECT_TRUE(hub().inspector().isNothing());
    EXPECT_EQ(model.connectionCount(), 0u);
}

TEST_F(HubTest, WhenActiveExplorerFailsTheClosingExplorerStaysTracked) {
    sim::Node& explorer = model.openExplorer();
    attach();
    model.failMember(L"Application", L"ActiveExplorer", host::hresult::fail);
    model.closeWindow(explorer);
    EXPECT_TRUE(refersTo(hub().explorer().object(), explorer));
    EXPECT_TRUE(hub().isAttached()) << "objExpl is not empty, so the test is false";
}

TEST_F(HubTest, ACloseTestThatCannotBeEvaluatedDetaches) {
    sim::Node& explorer = model.openExplorer();
    attach();
    sim::Node& item = model.openInspector(43, L"mail");
    model.openExplorer();
    model.failMember(L"Application", L"Inspectors", host::hresult::fail);
    model.closeWindow(explorer);  // the active Explorer is the second one, but the count fails
    EXPECT_FALSE(hub().isAttached());
    (void)item;
}

TEST_F(HubTest, TheInspectorCloseTestFailingDetaches) {
    model.openExplorer();
    attach();
    sim::Node& item = model.openInspector(43, L"mail");
    model.failMember(L"Inspectors", L"Count", host::hresult::fail);
    model.closeWindow(item);
    EXPECT_FALSE(hub().isAttached());
}

TEST_F(HubTest, TheInspectorCloseTestLeavesTheTrackedExplorerAlone) {
    sim::Node& first = model.openExplorer();
    attach();
    sim::Node& item = model.openInspector(43, L"mail");
    model.openExplorer();
    model.closeWindow(item);
    EXPECT_TRUE(refersTo(hub().explorer().object(), first));
}

TEST_F(HubTest, FolderSwitchesAreNeverCancelled) {
    sim::Node& explorer = model.openExplorer();
    attach();
    EXPECT_FALSE(model.switchFolder(explorer, L"Inbox"));
    EXPECT_TRUE(hub().isAttached());
}

TEST_F(HubTest, ADisconnectionArrivingInsideAHandlerLeavesTheRunningHandlerSafe) {
    sim::Node& explorer = model.openExplorer();
    attach();
    // The host disconnects from a nested message loop while objExpl_Close runs.
    bool disconnected = false;
    model.setTraceListener([&](const TraceEntry& e) {
        if (!disconnected && e.type == TraceEntry::Type::AddInCall && e.text == L"Application.ActiveExplorer") {
            disconnected = true;
            EXPECT_EQ(session.onDisconnection(), host::hresult::ok);
        }
    });
    model.closeWindow(explorer);
    model.setTraceListener(nullptr);
    EXPECT_TRUE(disconnected);
    EXPECT_EQ(session.hub(), nullptr);
}

}  // namespace
