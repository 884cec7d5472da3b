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
    EXPECT_EQ(nodeOf(findControl(standard, {sim::msoControlPopup}))->control.caption, L"Acco&unts");
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

TEST_F(CommandBars, FindControlOfButtonsSkipsPopupsAndLooksInsideThemOnlyWhenRecursive) {
    const Value zeltra = std::wstring(L"Zeltra");
    Node& taggedPopup = *nodeOf(add({sim::msoControlPopup}));
    put(taggedPopup, L"Tag", zeltra);
    EXPECT_EQ(nodeOf(findControl(standard, {sim::msoControlButton, Missing{}, zeltra, false})), nullptr);
    EXPECT_EQ(nodeOf(findControl(standard, {Missing{}, Missing{}, zeltra})), &taggedPopup);
    EXPECT_EQ(nodeOf(findControl(standard, {sim::msoControlPopup, Missing{}, zeltra, true})), &taggedPopup);

    // A tagged button inside the bar's built-in pop-up.
    Node& accounts = *nodeOf(findControl(standard, {sim::msoControlPopup, 31081}));
    EXPECT_EQ(nodeOf(findControl(standard, {Missing{}, 31082})), nullptr);
    EXPECT_EQ(nodeOf(findControl(standard, {Missing{}, 31082, Missing{}, Missing{}, true}))->control.caption,
              L"&1 Mail Account");
    Node& nested = *nodeOf(model.invoke(*accounts.controls, L"Add", invoke::method | invoke::get, {}));
    put(nested, L"Tag", zeltra);
    EXPECT_EQ(nodeOf(findControl(standard, {sim::msoControlButton, Missing{}, zeltra, false})), nullptr);
    EXPECT_EQ(nodeOf(findControl(standard, {sim::msoControlButton, Missing{}, zeltra, false, false})), nullptr);
    EXPECT_EQ(nodeOf(findControl(standard, {sim::msoControlButton, Missing{}, zeltra, false, true})), &nested);

    // Inside a hidden pop-up nothing is visible.
    put(accounts, L"Visible", false);
    EXPECT_EQ(nodeOf(findControl(standard, {sim::msoControlButton, Missing{}, zeltra, true, true})), nullptr);
    EXPECT_EQ(nodeOf(findControl(standard, {sim::msoControlButton, Missing{}, zeltra, false, true})), &nested);
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

// A caller that binds by DISPID, with the numbers of the type libraries, reaches the member its name
// reaches, and nothing where the type library has a member the model does not.
TEST(OutlookModel, MembersAnswerAtTheDispidsOfTheirTypeLibraries) {
    sim::Model model;
    Node& nameSpace = model.nameSpace();
    EXPECT_EQ(model.dispidOf(nameSpace, L"Type"), 0x2104);
    EXPECT_EQ(model.invoke(nameSpace, 0x2104, invoke::get, {}), Value(std::wstring(L"MAPI")));
    // 0x2101 is NameSpace.CurrentUser.
    EXPECT_EQ(errorOf([&] { model.invoke(nameSpace, 0x2101, invoke::get, {}); }), host::hresult::memberNotFound);

    Node& inspector = model.openInspector(43, L"");  // edited in Word
    Node& document = *nodeOf(model.invoke(inspector, 0x210F, invoke::get, {}));
    Node* word = nodeOf(model.invoke(document, 1, invoke::get, {}));
    ASSERT_NE(word, nullptr);
    EXPECT_EQ(word->kind(), sim::Kind::WordApplication);
    EXPECT_EQ(model.dispidOf(document, L"Application"), 1);
    // On a Document 0x3E8 is BuiltInDocumentProperties; on Word's other objects it is Application.
    EXPECT_EQ(errorOf([&] { model.invoke(document, 0x3E8, invoke::get, {}); }), host::hresult::memberNotFound);
    Node& windows = *nodeOf(model.invoke(document, 0x22, invoke::get, {}));
    const Value one = 1;
    Node& window = *nodeOf(model.invoke(windows, 0, invoke::method | invoke::get, {&one, 1}));
    EXPECT_EQ(nodeOf(model.invoke(windows, 0x3E8, invoke::get, {})), word);
    EXPECT_EQ(nodeOf(model.invoke(window, 0x3E8, invoke::get, {})), word);
    EXPECT_EQ(nodeOf(model.invoke(*nodeOf(model.invoke(window, 4, invoke::get, {})), 0x3E8, invoke::get, {})), word);
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


// A packed DIB as the clipboard's CF_DIB holds it: header, colour table, bits (all zero).
sim::Picture dib(std::int32_t width, std::int32_t height, std::uint16_t bits) {
    const std::size_t colours = bits <= 8 ? std::size_t{1} << bits : 0;
    const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
    const std::size_t rows = static_cast<std::size_t>(height < 0 ? -height : height);
    sim::Picture bytes(40 + 4 * colours + stride * rows, 0);
    const auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, static_cast<std::uint32_t>(width));
    put32(8, static_cast<std::uint32_t>(height));
    bytes[12] = 1;
    bytes[14] = static_cast<std::uint8_t>(bits);
    return bytes;
}

TEST(OutlookModel, APictureIsAComplete16ColourOrDeeperDib) {
    const sim::Picture face = dib(16, 16, 4);
    EXPECT_EQ(face.size(), 40u + 64u + 128u);
    EXPECT_EQ(sim::describePicture(face), L"16x16 4bpp");
    EXPECT_EQ(sim::pictureFormat(face)->bitsOffset, 40u + 64u);
    EXPECT_EQ(sim::describePicture(dib(8, -8, 24)), L"8x8 24bpp");
    EXPECT_EQ(sim::pictureFormat(dib(8, -8, 24))->bitsOffset, 40u);
    EXPECT_EQ(sim::describePicture({}), L"none");
    const sim::Picture truncated(face.begin(), face.end() - 1);
    EXPECT_FALSE(sim::pictureFormat(truncated).has_value());
    sim::Picture noPlanes = face;
    noPlanes[12] = 0;
    EXPECT_FALSE(sim::pictureFormat(noPlanes).has_value());
    EXPECT_FALSE(sim::pictureFormat(std::span<const std::uint8_t>(face.data(), 39)).has_value());
}

TEST_F(CommandBars, PasteFaceTakesTheClipboardsPictureAndFailsWithoutOne) {
    Node& button = *nodeOf(add({}));
    put(button, L"FaceId", 3621);
    const auto paste = [&] { return model.invoke(button, L"PasteFace", invoke::method, {}); };

    // No source at all, an empty clipboard, bytes that are no bitmap: the member fails, nothing changes.
    EXPECT_EQ(errorOf(paste), host::hresult::fail);
    EXPECT_THROW(paste(), sim::MemberFailure);
    std::optional<sim::Picture> clipboard;
    model.setClipboardPictureSource([&] { return clipboard; });
    EXPECT_EQ(errorOf(paste), host::hresult::fail);
    clipboard = sim::Picture(40, 0);
    EXPECT_EQ(errorOf(paste), host::hresult::fail);
    EXPECT_TRUE(button.control.face.empty());
    EXPECT_EQ(button.control.faceId, 3621);
    EXPECT_EQ(button.control.changes, std::vector<std::wstring>{L"FaceId"});

    clipboard = dib(16, 16, 4);
    EXPECT_EQ(paste(), Value(std::monostate{}));
    EXPECT_EQ(button.control.face, *clipboard);
    EXPECT_EQ(sim::describePicture(button.control.face), L"16x16 4bpp");
    EXPECT_EQ(button.control.changes, (std::vector<std::wstring>{L"FaceId", L"PasteFace"}));
    // A FaceId put afterwards brings back a built-in face.
    put(button, L"FaceId", 59);
    EXPECT_TRUE(button.control.face.empty());

    // A method without arguments, on buttons only, at its DISPID too.
    const Value one = 1;
    EXPECT_EQ(errorOf([&] { model.invoke(button, L"PasteFace", invoke::method, {&one, 1}); }),
              host::hresult::badParamCount);
    EXPECT_EQ(errorOf([&] { model.invoke(button, L"PasteFace", invoke::get, {}); }), host::hresult::memberNotFound);
    EXPECT_EQ(model.invoke(button, 0x60050005, invoke::method, {}), Value(std::monostate{}));
    Node& popup = *nodeOf(add({sim::msoControlPopup}));
    EXPECT_EQ(errorOf([&] { model.invoke(popup, 0x60050005, invoke::method, {}); }), host::hresult::memberNotFound);
    EXPECT_EQ(errorOf([&] { model.invoke(popup, L"PasteFace", invoke::method, {}); }), host::hresult::unknownName);
}

TEST_F(CommandBars, AControlRecordsTheMembersSetOnItInOrder) {
    Node& button = *nodeOf(add({}));
    std::vector<const Node*> changed;
    model.setControlListener([&](const Node& control) { changed.push_back(&control); });
    model.setClipboardPictureSource([] { return std::optional<sim::Picture>(dib(16, 16, 4)); });
    put(button, L"Caption", std::wstring(L"Zel&tra"));
    put(button, L"BeginGroup", false);
    EXPECT_EQ(errorOf([&] { put(button, L"FaceId", std::wstring(L"3621")); }), host::hresult::typeMismatch);
    model.failMember(button.name(), L"TooltipText", host::hresult::accessDenied);
    EXPECT_EQ(errorOf([&] { put(button, L"TooltipText", std::wstring(L" tip ")); }), host::hresult::accessDenied);
    model.invoke(button, L"Caption", invoke::method | invoke::get, {});
    model.invoke(button, L"PasteFace", invoke::method, {});
    put(button, L"Visible", true);
    // Refused and failed puts and reads do not count.
    EXPECT_EQ(button.control.changes, (std::vector<std::wstring>{L"Caption", L"BeginGroup", L"PasteFace", L"Visible"}));
    EXPECT_EQ(changed.size(), 4u);
    EXPECT_EQ(changed.front(), &button);
    EXPECT_EQ(button.control.tooltipText, L"");

    // Every put and PasteFace is in the trace, in order.
    std::vector<std::wstring> calls;
    for (const auto& entry : model.traceLog())
        if (entry.type == sim::TraceEntry::Type::AddInCall && entry.text.starts_with(button.name() + L"."))
            calls.push_back(entry.text.substr(button.name().size() + 1));
    EXPECT_EQ(calls, (std::vector<std::wstring>{L"Caption(\"Zel&tra\")", L"BeginGroup(False)", L"FaceId(\"3621\")",
                                                L"TooltipText(\" tip \")", L"Caption", L"PasteFace", L"Visible(True)"}));
}

// The custom controls of the Standard bar of an item window.
std::vector<Node*> customControls(sim::Model& model, Node& inspector) {
    std::vector<Node*> found;
    for (Node* control : model.commandBar(inspector, L"Standard")->controls->elements)
        if (control->control.custom) found.push_back(control);
    return found;
}

TEST_F(CommandBars, NonTemporaryCustomControlsAreKeptPerItemClassAcrossARestart) {
    model.setClipboardPictureSource([] { return std::optional<sim::Picture>(dib(16, 16, 4)); });
    Node& kept = addTagged(L"Zeltra");
    put(kept, L"Caption", std::wstring(L"Zel&tra"));
    put(kept, L"FaceId", 3621);
    put(kept, L"Style", 3);
    put(kept, L"OnAction", std::wstring(L"!<MyCOMAddin.Connect>"));
    put(kept, L"TooltipText", std::wstring(L" Launch "));
    put(kept, L"Visible", false);
    model.invoke(kept, L"PasteFace", invoke::method, {});
    Node& temporary = *nodeOf(add({sim::msoControlButton, Missing{}, Missing{}, Missing{}, true}));
    put(temporary, L"Tag", std::wstring(L"Temporary"));
    Node& first = *nodeOf(add({sim::msoControlButton, Missing{}, Missing{}, 1, false}));
    put(first, L"Tag", std::wstring(L"First"));
    Node& popup = *nodeOf(add({sim::msoControlPopup}));
    Node& inPopup = *nodeOf(model.invoke(*popup.controls, L"Add", invoke::method, {}));
    put(inPopup, L"Caption", std::wstring(L"Inside"));
    // A post window of its own, and a later mail window whose bars nobody customised.
    Node& post = model.openInspector(45, L"post");
    Node& postButton = *nodeOf(model.invoke(*model.commandBar(post, L"Standard")->controls, L"Add", invoke::method, {}));
    put(postButton, L"Tag", std::wstring(L"Post"));
    model.commandBarsOf(model.openInspector(43, L"later"));
    model.openExplorer();

    model.endSession();
    EXPECT_TRUE(model.openInspectors().empty());
    EXPECT_TRUE(model.openExplorers().empty());
    EXPECT_EQ(model.activeInspector(), nullptr);
    EXPECT_FALSE(inspector.open);

    Node& mail = model.openInspector(43, L"after the restart");
    const auto copies = customControls(model, mail);
    ASSERT_EQ(copies.size(), 3u);
    EXPECT_EQ(copies[0]->control.tag, L"First");
    EXPECT_EQ(model.commandBar(mail, L"Standard")->controls->elements.front(), copies[0]);
    const Node& copy = *copies[1];
    EXPECT_NE(&copy, &kept);
    EXPECT_EQ(copy.kind(), sim::Kind::CommandBarButton);
    EXPECT_EQ(copy.control.tag, L"Zeltra");
    EXPECT_EQ(copy.control.caption, L"Zel&tra");
    EXPECT_EQ(copy.control.faceId, 3621);
    EXPECT_EQ(copy.control.style, 3);
    EXPECT_EQ(copy.control.onAction, L"!<MyCOMAddin.Connect>");
    EXPECT_EQ(copy.control.tooltipText, L" Launch ");
    EXPECT_FALSE(copy.control.visible);
    EXPECT_EQ(copy.control.face, kept.control.face);
    EXPECT_FALSE(copy.control.face.empty());
    EXPECT_TRUE(copy.control.changes.empty());
    EXPECT_EQ(copies[2]->kind(), sim::Kind::CommandBarPopup);
    ASSERT_EQ(copies[2]->controls->elements.size(), 1u);
    EXPECT_EQ(copies[2]->controls->elements[0]->control.caption, L"Inside");
    const Value zeltra = std::wstring(L"Zeltra");
    EXPECT_EQ(nodeOf(findControl(*model.commandBar(mail, L"Standard"), {sim::msoControlButton, Missing{}, zeltra})),
              &copy);

    const auto postCopies = customControls(model, model.openInspector(45, L"post"));
    ASSERT_EQ(postCopies.size(), 1u);
    EXPECT_EQ(postCopies[0]->control.tag, L"Post");
    EXPECT_TRUE(customControls(model, model.openInspector(48, L"task")).empty());
    EXPECT_EQ(model.commandBar(model.openInspector(43, L"menu"), L"Menu Bar")->controls->elements.size(),
              menuBar.controls->elements.size());
}

TEST_F(CommandBars, TheLastOpenedWindowOfAClassWithCustomControlsDecidesAndLaterSessionsKeepIt) {
    addTagged(L"Older");
    Node& newer = model.openInspector(43, L"newer");
    put(*nodeOf(model.invoke(*model.commandBar(newer, L"Standard")->controls, L"Add", invoke::method, {})), L"Tag",
        std::wstring(L"Newer"));
    model.commandBarsOf(model.openInspector(43, L"plain"));
    model.endSession();

    // A session that customises nothing keeps what the one before left.
    model.commandBarsOf(model.openInspector(26, L"appointment"));
    model.endSession();
    Node& third = model.openInspector(43, L"third session");
    auto copies = customControls(model, third);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0]->control.tag, L"Newer");
    // Retained copies are kept again, with what the add-in changed on them.
    put(*copies[0], L"Caption", std::wstring(L"Changed"));
    model.endSession();
    copies = customControls(model, model.openInspector(43, L"fourth session"));
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0]->control.caption, L"Changed");
}

}  // namespace
