#include <gtest/gtest.h>

#include "host/iids.h"
#include "tests/fakes/model_automation.h"

namespace {

// The host rules the add-in's tests rely on.
TEST(OutlookModel, AClosingWindowIsNoLongerActiveButStillCounted) {
    sim::Model model;
    sim::Node& first = model.openExplorer();
    sim::Node& second = model.openExplorer();
    EXPECT_EQ(model.activeExplorer(), &second);

    std::vector<sim::Value> seen;
    struct Probe : sim::Sink {
        sim::Model& model;
        std::vector<sim::Value>& seen;
        Probe(sim::Model& m, std::vector<sim::Value>& s) : model(m), seen(s) {}
        host::HResult invoke(std::int32_t, std::vector<sim::Value>&) override {
            seen.push_back(model.invoke(model.application(), L"ActiveExplorer", sim::invoke::method, {}));
            seen.push_back(model.invoke(model.explorersCollection(), L"Count", sim::invoke::get, {}));
            return host::hresult::ok;
        }
    };
    const auto cookie = model.advise(second, host::iid::ExplorerEvents, std::make_shared<Probe>(model, seen));
    model.closeWindow(second);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(std::get<sim::Node*>(seen[0]), &first);
    EXPECT_EQ(std::get<std::int32_t>(seen[1]), 2);
    EXPECT_EQ(model.openExplorers().size(), 1u);
    model.unadvise(second, cookie);
}

TEST(OutlookModel, InjectedFailuresHitTheNamedMemberTheRequestedNumberOfTimes) {
    sim::Model model;
    model.failMember(L"Application", L"GetNamespace", host::hresult::accessDenied, 2);
    const sim::Value mapi = std::wstring(L"MAPI");
    for (int i = 0; i < 2; ++i)
        EXPECT_THROW(model.invoke(model.application(), L"getnamespace", sim::invoke::method, {&mapi, 1}), host::Error);
    EXPECT_EQ(std::get<sim::Node*>(model.invoke(model.application(), 0x110, sim::invoke::method, {&mapi, 1})),
              &model.nameSpace());
}

TEST(OutlookModel, CountsReferencesAndCatchesOverReleases) {
    sim::Model model;
    {
        host::Object app = fakes::wrap(model.application());
        host::Object typed = app.queryInterface(host::iid::Application);
        EXPECT_EQ(model.application().refs(), 2);
        EXPECT_THROW(app.queryInterface(host::iid::Explorer), host::Error);
        EXPECT_EQ(model.application().refs(), 2);
    }
    EXPECT_TRUE(model.referencesHeld().empty());
    model.application().release();
    EXPECT_EQ(model.overReleases(), std::vector<std::wstring>{L"Application"});
}

}  // namespace
