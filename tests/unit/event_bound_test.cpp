#include <gtest/gtest.h>

#include "host/outlook.h"
#include "hub/event_bound.h"
#include "tests/fakes/model_automation.h"

namespace {

using sim::TraceEntry;

struct EventBoundTest : testing::Test {
    sim::Model model;
    sim::Node& first = model.openExplorer();
    sim::Node& second = model.openExplorer();
    std::vector<std::int32_t> received;
    zeltra::EventBound<host::Explorer> member{host::iid::ExplorerEvents_10};

    EventBoundTest() {
        member.setHandler([this](std::int32_t dispid, std::span<host::Variant>) { received.push_back(dispid); });
    }
    void TearDown() override {
        member.clear();
        EXPECT_TRUE(model.referencesHeld().empty());
        EXPECT_EQ(model.connectionCount(), 0u);
        EXPECT_TRUE(model.overReleases().empty());
    }
};

TEST_F(EventBoundTest, AssigningConnectsAndReassigningMovesTheConnection) {
    member.assign(fakes::wrap(first));
    EXPECT_EQ(first.refs(), 1);
    EXPECT_EQ(first.connections.size(), 1u);

    member.assign(fakes::wrap(second));
    EXPECT_EQ(first.refs(), 0);
    EXPECT_TRUE(first.connections.empty());
    EXPECT_EQ(second.connections.size(), 1u);

    model.closeWindow(first);
    EXPECT_TRUE(received.empty());
    model.closeWindow(second);
    EXPECT_EQ(received, std::vector<std::int32_t>{0xF008});
}

TEST_F(EventBoundTest, AFailedQueryInterfaceOrAdviseLeavesTheMemberAsItWas) {
    member.assign(fakes::wrap(first));
    model.failMember(L"Explorer 2", L"QueryInterface", host::hresult::noInterface);
    EXPECT_THROW(member.assign(fakes::wrap(second)), host::Error);
    model.failMember(L"Explorer 2", L"Advise", host::hresult::cannotConnect);
    EXPECT_THROW(member.assign(fakes::wrap(second)), host::Error);

    EXPECT_TRUE(fakes::wrap(first).isSameObject(member.get().object()));
    EXPECT_EQ(first.connections.size(), 1u);
    EXPECT_EQ(second.refs(), 0);
    EXPECT_TRUE(second.connections.empty());
}

TEST_F(EventBoundTest, EmptyingUnadvisesBeforeReleasingAndReportsARefusedUnadvise) {
    member.assign(fakes::wrap(first));
    model.clearTrace();
    model.failMember(L"Explorer 1", L"Unadvise", host::hresult::unexpected);
    EXPECT_THROW(member.clear(), host::Error);
    EXPECT_TRUE(member.isNothing());
    EXPECT_EQ(first.refs(), 0);

    std::vector<TraceEntry::Type> order;
    for (const auto& e : model.traceLog())
        if (e.type == TraceEntry::Type::Unadvise || e.type == TraceEntry::Type::Release) order.push_back(e.type);
    EXPECT_EQ(order, (std::vector{TraceEntry::Type::Unadvise, TraceEntry::Type::Release}));

    // The refused connection stays with the host, but it no longer reaches the handler.
    model.closeWindow(first);
    EXPECT_TRUE(received.empty());
    first.connections.clear();
}

TEST_F(EventBoundTest, AHandlerMayEmptyTheMemberWhoseEventIsRunning) {
    member.setHandler([this](std::int32_t dispid, std::span<host::Variant>) {
        member.clear();
        received.push_back(dispid);
    });
    member.assign(fakes::wrap(first));
    model.closeWindow(first);
    EXPECT_EQ(received, std::vector<std::int32_t>{0xF008});
    EXPECT_TRUE(first.connections.empty());
}

TEST_F(EventBoundTest, DestructionDisconnectsAndReleases) {
    {
        zeltra::EventBound<host::Explorer> local{host::iid::ExplorerEvents_10};
        local.setHandler([this](std::int32_t dispid, std::span<host::Variant>) { received.push_back(dispid); });
        local.assign(fakes::wrap(second));
        EXPECT_EQ(second.refs(), 1);
    }
    EXPECT_EQ(second.refs(), 0);
    model.closeWindow(second);
    EXPECT_TRUE(received.empty());
}

// The fake adapter as the real one: on a guard's connection an event that could not be delivered is
// cancelled; on any other it is only reported.
TEST(EventConnection, AHandlerThatThrowsCancelsTheEventOnlyOnAConnectionThatAsksForIt) {
    sim::Model model;
    sim::Node& explorer = model.openExplorer();
    const auto throwing = [](std::int32_t, std::span<host::Variant>) {
        throw host::Error(host::hresult::fail, "handler failed");
    };
    {
        const host::EventConnection reporting = fakes::wrap(explorer).connect(host::iid::ExplorerEvents_10, throwing);
        EXPECT_FALSE(model.switchFolder(explorer, L"Inbox"));
        EXPECT_EQ(model.takeEventFailures().size(), 2u);  // BeforeFolderSwitch and FolderSwitch
    }
    const host::EventConnection guarding =
        fakes::wrap(explorer).connect(host::iid::ExplorerEvents_10, throwing, host::OnFailedDelivery::Cancel);
    EXPECT_TRUE(model.switchFolder(explorer, L"Archive"));
    EXPECT_EQ(model.takeEventFailures().size(), 1u) << "reported as well";
}

}  // namespace
