#include <gtest/gtest.h>

#include "tests/support/error_of.h"

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
    const auto cookie = model.advise(second, host::iid::ExplorerEvents_10, std::make_shared<Probe>(model, seen));
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

namespace {

using sim::Missing;
using sim::Node;
using sim::Value;
namespace invoke = sim::invoke;

// Records the events it receives; sets the by-reference boolean (Cancel, CancelDefault) when asked.
struct RecordingSink : sim::Sink {
    std::vector<std::int32_t> dispids;
    std::vector<Node*> controls;  // Ctrl of each Click
    bool setsCancel = false;
    host::HResult invoke(std::int32_t dispid, std::vector<Value>& args) override {
        dispids.push_back(dispid);
        if (!args.empty())
            if (auto* const* node = std::get_if<Node*>(&args[0])) controls.push_back(*node);
        if (setsCancel && args.size() == 2) args[1] = true;
        return host::hresult::ok;
    }
};

using testing_support::errorOf;

// The argument position a refused call reports, or nothing.
std::optional<std::size_t> refusedPosition(const auto& action) {
    try {
        action();
    } catch (const sim::ArgumentError& e) {
        return e.position();
    }
    return std::nullopt;
}

Node* nodeOf(const Value& value) { return std::get<Node*>(value); }

struct CommandBars : testing::Test {
    sim::Model model;
    Node& inspector = model.openInspector(43, L"mail");
    Node& standard = *model.commandBar(inspector, L"Standard");
    Node& menuBar = *model.commandBar(inspector, L"Menu Bar");

    Value findControl(Node& bar, std::vector<Value> args) {
        return model.invoke(bar, L"FindControl", invoke::method | invoke::get, args);
    }
    Value add(std::vector<Value> args) {
        return model.invoke(*standard.controls, L"Add", invoke::method | invoke::get, args);
    }
    void put(Node& node, const wchar_t* member, Value value) { model.invoke(node, member, invoke::put, {&value, 1}); }
    Node& addTagged(const wchar_t* tag) {
        Node& button = *nodeOf(add({}));
        put(button, L"Tag", std::wstring(tag));
        return button;
    }
};

TEST_F(CommandBars, ItemTakesABarNameInAnyCaseOrAPosition) {
    Node& bars = model.commandBarsOf(inspector);
    const auto item = [&](Value index) {
        return model.invoke(bars, L"Item", invoke::method | invoke::get, {&index, 1});
    };
    EXPECT_EQ(nodeOf(item(std::wstring(L"standard"))), &standard);
    EXPECT_EQ(nodeOf(item(std::wstring(L"MENU BAR"))), &menuBar);
    EXPECT_EQ(nodeOf(item(1)), &menuBar);
    EXPECT_EQ(nodeOf(item(2)), &standard);
    EXPECT_THROW(item(std::wstring(L"Formatting")), sim::MemberFailure);
    EXPECT_EQ(errorOf([&] { item(std::wstring(L"Formatting")); }), host::hresult::invalidArg);
    EXPECT_EQ(errorOf([&] { item(3); }), host::hresult::invalidArg);
    EXPECT_EQ(errorOf([&] { item(0); }), host::hresult::invalidArg);
    EXPECT_EQ(errorOf([&] { item(true); }), host::hresult::typeMismatch);
    EXPECT_EQ(model.invoke(standard, L"Name", invoke::get, {}), Value(std::wstring(L"Standard")));
}

TEST_F(CommandBars, EachItemWindowHasBarsOfItsOwn) {
    Node& other = model.openInspector(43, L"other");
    EXPECT_NE(model.commandBar(other, L"Standard"), &standard);
    EXPECT_EQ(&model.commandBarsOf(inspector), inspector.commandBars);
    addTagged(L"Zeltra");
    EXPECT_EQ(model.commandBar(other, L"Standard")->controls->elements.size() + 1, standard.controls->elements.size());
}

TEST_F(CommandBars, FindControlReturnsTheFirstControlMeetingEveryGivenCriterion) {
    // Type, Id, Tag, Visible, Recursive; left out or missing, a criterion matches everything.
    Node* save = nodeOf(findControl(standard, {Missing{}, 3}));
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->control.caption, L"&Save");
    EXPECT_EQ(nodeOf(findControl(standard, {})), standard.controls->elements.front());
    EXPECT_EQ(nodeOf(findControl(standard, {sim::msoControlPopup})), nullptr);
    EXPECT_EQ(nodeOf(findControl(menuBar, {sim::msoControlPopup}))->control.caption, L"&File");

    // Visible True skips hidden controls; False or left out finds them too.
    Node* checkNames = nodeOf(findControl(standard, {Missing{}, 361}));
    ASSERT_NE(checkNames, nullptr);
    EXPECT_FALSE(checkNames->control.visible);
    EXPECT_EQ(nodeOf(findControl(standard, {Missing{}, 361, Missing{}, false})), checkNames);
    EXPECT_EQ(nodeOf(findControl(standard, {Missing{}, 361, Missing{}, true})), nullptr);

    // Recursive looks inside pop-ups as well.
    EXPECT_EQ(nodeOf(findControl(menuBar, {Missing{}, 19})), nullptr);
    Node* copy = nodeOf(findControl(menuBar, {Missing{}, 19, Missing{}, Missing{}, true}));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->control.caption, L"&Copy");

    Node& first = addTagged(L"Zeltra");
    Node& second = addTagged(L"Zeltra");
    EXPECT_EQ(nodeOf(findControl(standard, {sim::msoControlButton, Missing{}, std::wstring(L"Zeltra"), true})), &first);
    put(first, L"Visible", false);
    EXPECT_EQ(nodeOf(findControl(standard, {sim::msoControlButton, Missing{}, std::wstring(L"Zeltra"), true})),
              &second);
    EXPECT_EQ(nodeOf(findControl(standard, {sim::msoControlButton, Missing{}, std::wstring(L"Zeltra")})), &first);
    EXPECT_EQ(nodeOf(findControl(standard, {sim::msoControlPopup, Missing{}, std::wstring(L"Zeltra")})), nullptr);
    EXPECT_EQ(nodeOf(findControl(standard, {Missing{}, 4, std::wstring(L"Zeltra")})), nullptr);
    EXPECT_EQ(nodeOf(findControl(standard, {Missing{}, Missing{}, std::wstring(L"zeltra")})), nullptr);
}

TEST_F(CommandBars, AddAppendsUnlessGivenAPositionBefore) {
    Node& controls = *standard.controls;
    const std::size_t builtIn = controls.elements.size();
    Node* appended = nodeOf(add({}));
    EXPECT_EQ(controls.elements.back(), appended);
    EXPECT_EQ(appended->kind(), sim::Kind::CommandBarButton);
    EXPECT_EQ(appended->control.type, sim::msoControlButton);
    EXPECT_EQ(appended->control.id, sim::customControlId);
    EXPECT_TRUE(appended->control.visible);

    Node* first = nodeOf(add({sim::msoControlButton, Missing{}, std::wstring(L"p"), 1, true}));
    EXPECT_EQ(controls.elements.front(), first);
    EXPECT_EQ(first->control.parameter, L"p");
    EXPECT_TRUE(first->control.temporary);
    Node* third = nodeOf(add({Missing{}, Missing{}, Missing{}, 3}));
    EXPECT_EQ(controls.elements[2], third);
    const auto afterTheLast = static_cast<std::int32_t>(controls.elements.size() + 1);
    Node* last = nodeOf(add({Missing{}, Missing{}, Missing{}, afterTheLast}));
    EXPECT_EQ(controls.elements.back(), last);
    EXPECT_EQ(controls.elements.size(), builtIn + 4);
    EXPECT_EQ(model.invoke(controls, L"Count", invoke::get, {}), Value(static_cast<std::int32_t>(builtIn + 4)));
    const Value one = 1;
    EXPECT_EQ(nodeOf(model.invoke(controls, L"Item", invoke::method | invoke::get, {&one, 1})), first);

    Node* popup = nodeOf(add({sim::msoControlPopup}));
    EXPECT_EQ(popup->kind(), sim::Kind::CommandBarPopup);
    EXPECT_EQ(errorOf([&] { add({4}); }), host::hresult::invalidArg);
    EXPECT_EQ(errorOf([&] { add({Missing{}, Missing{}, Missing{}, 0}); }), host::hresult::invalidArg);
    EXPECT_EQ(errorOf([&] {
                  add({Missing{}, Missing{}, Missing{}, static_cast<std::int32_t>(controls.elements.size() + 2)});
              }),
              host::hresult::invalidArg);
    EXPECT_EQ(controls.elements.size(), builtIn + 5);
}

TEST_F(CommandBars, ArgumentsAreCheckedAsDispInvokeChecksThem) {
    EXPECT_EQ(errorOf([&] { findControl(standard, {1, 1, std::wstring(L"t"), true, true, true}); }),
              host::hresult::badParamCount);
    EXPECT_EQ(errorOf([&] { findControl(standard, {std::wstring(L"Zeltra"), 1}); }), host::hresult::typeMismatch);
    EXPECT_EQ(refusedPosition([&] { findControl(standard, {std::wstring(L"Zeltra"), 1}); }), 0u);
    EXPECT_EQ(refusedPosition([&] { findControl(standard, {1, true}); }), 1u);
    EXPECT_EQ(refusedPosition([&] { add({Missing{}, Missing{}, Missing{}, Missing{}, 1}); }), 4u);
    EXPECT_EQ(refusedPosition([&] { add({Missing{}, Missing{}, 7}); }), 2u);
    EXPECT_EQ(errorOf([&] { add({1.5}); }), host::hresult::typeMismatch);
    EXPECT_EQ(errorOf([&] { add({std::monostate{}}); }), host::hresult::typeMismatch);

    Node& button = *nodeOf(add({}));
    EXPECT_EQ(errorOf([&] { put(button, L"Caption", 7); }), host::hresult::typeMismatch);
    EXPECT_EQ(errorOf([&] { put(button, L"Visible", std::wstring(L"True")); }), host::hresult::typeMismatch);
    EXPECT_EQ(errorOf([&] { put(button, L"Caption", Missing{}); }), host::hresult::paramNotOptional);
    const Value two[] = {std::wstring(L"a"), std::wstring(L"b")};
    EXPECT_EQ(errorOf([&] { model.invoke(button, L"Caption", invoke::put, two); }), host::hresult::badParamCount);
    EXPECT_EQ(errorOf([&] { model.invoke(button, L"Caption", invoke::put, {}); }),
              host::hresult::paramNotOptional);
    EXPECT_EQ(errorOf([&] { put(button, L"Type", 10); }), host::hresult::memberNotFound);
    EXPECT_EQ(button.control.caption, L"");

    const Value missing = Missing{};
    EXPECT_EQ(errorOf([&] { model.invoke(model.application(), L"GetNamespace", invoke::method, {}); }),
              host::hresult::paramNotOptional);
    EXPECT_EQ(errorOf([&] { model.invoke(model.application(), L"GetNamespace", invoke::method, {&missing, 1}); }),
              host::hresult::paramNotOptional);
    const Value one = 1;
    EXPECT_EQ(errorOf([&] { model.invoke(model.application(), L"ActiveExplorer", invoke::method, {&one, 1}); }),
              host::hresult::badParamCount);
}

TEST_F(CommandBars, AClickReachesEveryConnectedButtonWithTheSameTag) {
    Node& clicked = addTagged(L"Zeltra");
    Node& otherWindowControls = *model.commandBar(model.openInspector(43, L"b"), L"Standard")->controls;
    Node& sameTagElsewhere = *nodeOf(model.invoke(otherWindowControls, L"Add", invoke::method, {}));
    put(sameTagElsewhere, L"Tag", std::wstring(L"Zeltra"));
    Node& otherTag = addTagged(L"Other");
    Node& untagged = *nodeOf(add({}));
    std::vector<std::shared_ptr<RecordingSink>> sinks;
    for (Node* button : {&clicked, &sameTagElsewhere, &otherTag, &untagged}) {
        sinks.push_back(std::make_shared<RecordingSink>());
        model.advise(*button, host::iid::CommandBarButtonEvents, sinks.back());
    }

    EXPECT_FALSE(model.click(clicked));
    EXPECT_EQ(sinks[0]->controls, std::vector<Node*>{&clicked});
    EXPECT_EQ(sinks[1]->controls, std::vector<Node*>{&clicked});
    EXPECT_EQ(sinks[1]->dispids, std::vector<std::int32_t>{host::dispid::Click});
    EXPECT_TRUE(sinks[2]->dispids.empty());
    EXPECT_TRUE(sinks[3]->dispids.empty());

    sinks[1]->setsCancel = true;
    EXPECT_TRUE(model.click(clicked));
    EXPECT_FALSE(model.click(untagged));
    EXPECT_EQ(sinks[3]->controls, std::vector<Node*>{&untagged});
    EXPECT_EQ(sinks[1]->dispids.size(), 2u);
}

TEST(OutlookModel, CurrentFolderIsReadAndAssignedOnlyByReference) {
    sim::Model model;
    Node& explorer = model.openExplorer();
    auto sink = std::make_shared<RecordingSink>();
    model.advise(explorer, host::iid::ExplorerEvents_10, sink);
    Node* inbox = nodeOf(model.invoke(explorer, L"CurrentFolder", invoke::method | invoke::get, {}));
    ASSERT_NE(inbox, nullptr);
    EXPECT_EQ(inbox->kind(), sim::Kind::Folder);
    EXPECT_EQ(model.invoke(*inbox, L"Name", invoke::get, {}), Value(std::wstring(L"Inbox")));

    model.switchFolder(explorer, L"Archive");
    const Value inboxValue = inbox;
    EXPECT_EQ(errorOf([&] { model.invoke(explorer, L"CurrentFolder", invoke::put, {&inboxValue, 1}); }),
              host::hresult::memberNotFound);
    EXPECT_NE(explorer.currentFolder, inbox);
    sink->dispids.clear();
    model.invoke(explorer, L"CurrentFolder", invoke::putRef, {&inboxValue, 1});
    EXPECT_EQ(explorer.currentFolder, inbox);
    EXPECT_EQ(sink->dispids, (std::vector<std::int32_t>{host::dispid::BeforeFolderSwitch, 0xF002}));

    const Value notAFolder = &explorer;
    EXPECT_EQ(errorOf([&] { model.invoke(explorer, L"CurrentFolder", invoke::putRef, {&notAFolder, 1}); }),
              host::hresult::typeMismatch);
    const Value text = std::wstring(L"Inbox");
    EXPECT_EQ(errorOf([&] { model.invoke(explorer, L"CurrentFolder", invoke::putRef, {&text, 1}); }),
              host::hresult::typeMismatch);

    // A cancelled switch keeps the folder and raises no FolderSwitch.
    sink->setsCancel = true;
    sink->dispids.clear();
    EXPECT_TRUE(model.switchFolder(explorer, L"Drafts"));
    EXPECT_EQ(explorer.currentFolder, inbox);
    EXPECT_EQ(sink->dispids, std::vector<std::int32_t>{host::dispid::BeforeFolderSwitch});
    explorer.connections.clear();
}

TEST(OutlookModel, MembersAnswerOnlyTheKindsTheyAreDeclaredWith) {
    sim::Model model;
    model.openExplorer();
    Node& app = model.application();
    EXPECT_EQ(errorOf([&] { model.invoke(app, L"Explorers", invoke::method, {}); }), host::hresult::memberNotFound);
    EXPECT_EQ(errorOf([&] { model.invoke(app, L"ActiveExplorer", invoke::get, {}); }), host::hresult::memberNotFound);
    EXPECT_EQ(errorOf([&] { model.invoke(app, L"Explorers", invoke::put, {}); }), host::hresult::memberNotFound);
    EXPECT_EQ(nodeOf(model.invoke(app, L"Explorers", invoke::method | invoke::get, {})), &model.explorersCollection());
    EXPECT_NE(nodeOf(model.invoke(app, L"ActiveExplorer", invoke::method | invoke::get, {})), nullptr);
}

TEST(OutlookModel, AConnectionPointIsAnObjectOfItsOwn) {
    sim::Model model;
    Node& point = model.connectionPoint(model.application(), host::iid::ApplicationEvents_10);
    EXPECT_EQ(&model.connectionPoint(model.application(), host::iid::ApplicationEvents_10), &point);
    EXPECT_NE(&model.connectionPoint(model.nameSpace(), host::iid::NameSpaceEvents), &point);
    point.addRef();
    EXPECT_EQ(model.application().refs(), 0);
    ASSERT_EQ(model.referencesHeld().size(), 1u);
    EXPECT_EQ(model.referencesHeld()[0].first, &point);
    point.release();
}

}  // namespace
