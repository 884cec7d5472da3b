#include <gtest/gtest.h>

#include "tests/fakes/host_fixture.h"

namespace {

using fakes::refersTo;
using sim::Node;
using sim::TraceEntry;

const std::vector<std::wstring> tenMembersInOrder = {L"Caption", L"BeginGroup", L"FaceId",   L"TooltipText",
                                                     L"DescriptionText", L"Style", L"Tag", L"OnAction",
                                                     L"Visible", L"PasteFace"};

struct ButtonTest : testing::Test {
    fakes::Session session;
    sim::Model& model = session.model;
    fakes::FakeDesktop& desktop = session.desktop;
    const fakes::ClipboardData usersClipboard = {{L"CF_UNICODETEXT", {'h', 0, 'i', 0, 0, 0}},
                                                 {L"Private", {1, 2, 3}}};

    void SetUp() override {
        model.openExplorer();
        ASSERT_EQ(session.onConnection(), host::hresult::ok);
        desktop.setClipboard(usersClipboard);
    }
    void TearDown() override { session.disconnectAndExpectNothingHeld(); }
    zeltra::OutAddIn& hub() const { return *session.hub(); }

    Node& standardBar(Node& inspector) { return *model.commandBar(inspector, L"Standard"); }
    std::vector<Node*> tagged(Node& inspector) {
        std::vector<Node*> found;
        for (Node* control : standardBar(inspector).controls->elements)
            if (control->control.tag == L"Zeltra") found.push_back(control);
        return found;
    }
    Node& onlyButton(Node& inspector) {
        const auto found = tagged(inspector);
        EXPECT_EQ(found.size(), 1u);
        return found.empty() ? standardBar(inspector) : *found.front();
    }
    // The members the add-in called on node, in order.
    std::vector<std::wstring> membersCalledOn(const Node& node) const {
        std::vector<std::wstring> members;
        const std::wstring prefix = node.name() + L".";
        for (const auto& e : model.traceLog()) {
            if (e.type != TraceEntry::Type::AddInCall || e.text.rfind(prefix, 0) != 0) continue;
            const std::wstring rest = e.text.substr(prefix.size());
            members.push_back(rest.substr(0, rest.find(L'(')));
        }
        return members;
    }
    std::size_t callsTo(const std::wstring& member) const {
        std::size_t n = 0;
        for (const auto& e : model.traceLog())
            if (e.type == TraceEntry::Type::AddInCall && e.text.find(L"." + member) != std::wstring::npos) ++n;
        return n;
    }
    // An item window opened while the add-in does not watch, so that the test can prepare its bars,
    // then announced to the hub as the host's NewInspector would.
    Node& openUnseen(std::int32_t itemClass) {
        session.connect->hub()->DetachOutlook();
        Node& inspector = model.openInspector(itemClass, L"prepared");
        EXPECT_EQ(session.onConnection(), host::hresult::ok);
        return inspector;
    }
    void announce(Node& inspector) { hub().colInsp_NewInspector(host::Variant(fakes::wrap(inspector))); }
};

struct EveryItemKindWithAButton : ButtonTest, testing::WithParamInterface<std::int32_t> {};

TEST_P(EveryItemKindWithAButton, GetsOneButtonWithTheTenMembersInOrder) {
    Node& inspector = model.openInspector(GetParam(), L"body");
    Node& button = onlyButton(inspector);
    EXPECT_EQ(button.kind(), sim::Kind::CommandBarButton);
    EXPECT_EQ(membersCalledOn(button), tenMembersInOrder);
    const auto& c = button.control;
    EXPECT_EQ(c.caption, L"Zel&tra");
    EXPECT_FALSE(c.beginGroup);
    EXPECT_EQ(c.faceId, 3621);
    EXPECT_EQ(c.tooltipText, L" Launch selected text with Zeltra ");
    EXPECT_EQ(c.descriptionText, L" Launch selected text with Zeltra from Razarid Urododidivivu ");
    EXPECT_EQ(c.style, 3);
    EXPECT_EQ(c.onAction, L"!<DODuruda_Vored.Connect>");
    EXPECT_TRUE(c.visible);
    EXPECT_TRUE(c.temporary) << "a button Office kept would outlive the add-in";
    EXPECT_EQ(c.face, fakes::FakeFormWindow::faceBitmap().dib);

    EXPECT_TRUE(refersTo(hub().commandBarButton().object(), button));
    EXPECT_TRUE(refersTo(hub().commandBar().object(), standardBar(inspector)));
    EXPECT_TRUE(refersTo(hub().inspector().object(), inspector));
    EXPECT_EQ(desktop.clipboard, usersClipboard) << "the user's clipboard comes back";
    EXPECT_EQ(session.form->loads, 1) << "reaching MyIcon loads the form";
    EXPECT_TRUE(desktop.messageBoxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Classes, EveryItemKindWithAButton, testing::Values(43, 45, 26, 40, 48, 42));

struct ItemKindWithoutAButton : ButtonTest, testing::WithParamInterface<std::int32_t> {};

TEST_P(ItemKindWithoutAButton, GetsNoneButStillBecomesTheWatchedWindow) {
    Node& inspector = model.openInspector(GetParam(), L"body");
    EXPECT_EQ(callsTo(L"CommandBars"), 0u);
    EXPECT_TRUE(refersTo(hub().inspector().object(), inspector));
    EXPECT_TRUE(hub().commandBarButton().isNothing());
    EXPECT_FALSE(session.component.frmAddInExists()) << "nothing reached the form";
}

INSTANTIATE_TEST_SUITE_P(Classes, ItemKindWithoutAButton, testing::Values(69, 41, 0, 44, -43));

TEST_F(ButtonTest, AnItemThatCannotBeReadGetsNoButton) {
    model.failMember(L"Inspector", L"CurrentItem", host::hresult::fail);
    Node& first = model.openInspector(43, L"a");
    EXPECT_TRUE(refersTo(hub().inspector().object(), first));
    model.failMember(L"Item", L"Class", host::hresult::fail);
    Node& second = model.openInspector(43, L"b");
    EXPECT_TRUE(refersTo(hub().inspector().object(), second));
    EXPECT_EQ(callsTo(L"CommandBars"), 0u);
    EXPECT_TRUE(desktop.messageBoxes.empty());
}

struct ExistingButton : ButtonTest, testing::WithParamInterface<bool> {};

TEST_P(ExistingButton, IsReusedUntouched) {
    Node& inspector = openUnseen(43);
    Node& existing = model.addControl(*standardBar(inspector).controls, sim::msoControlButton, 1, std::nullopt);
    existing.control.tag = L"Zeltra";
    existing.control.caption = L"Kept";
    existing.control.visible = GetParam();
    const std::uint32_t sequence = desktop.sequenceNumber;
    model.clearTrace();

    announce(inspector);
    EXPECT_EQ(tagged(inspector), std::vector<Node*>{&existing});
    EXPECT_TRUE(membersCalledOn(existing).empty()) << "none of its properties is touched";
    EXPECT_EQ(existing.control.caption, L"Kept");
    EXPECT_EQ(existing.control.visible, GetParam());
    EXPECT_EQ(desktop.sequenceNumber, sequence) << "the clipboard is not touched";
    EXPECT_TRUE(refersTo(hub().commandBarButton().object(), existing));
    EXPECT_FALSE(session.component.frmAddInExists());
}

INSTANTIATE_TEST_SUITE_P(VisibleOrHidden, ExistingButton, testing::Bool());

TEST_F(ButtonTest, ATaggedPopupOrAButtonInsideOneDoesNotCount) {
    Node& inspector = openUnseen(43);
    Node& popup = model.addControl(*standardBar(inspector).controls, sim::msoControlPopup, 1, std::nullopt);
    popup.control.tag = L"Zeltra";
    Node& inside = model.addControl(*popup.controls, sim::msoControlButton, 1, std::nullopt);
    inside.control.tag = L"Zeltra";

    announce(inspector);
    const auto found = tagged(inspector);
    ASSERT_EQ(found.size(), 2u);
    Node& added = *found.back();
    EXPECT_EQ(added.kind(), sim::Kind::CommandBarButton);
    EXPECT_EQ(membersCalledOn(added), tenMembersInOrder);
    EXPECT_TRUE(refersTo(hub().commandBarButton().object(), added));
}

TEST_F(ButtonTest, TheBindingFollowsTheWindowOpenedLast) {
    Node& first = model.openInspector(43, L"a");
    Node& second = model.openInspector(45, L"b");
    EXPECT_EQ(tagged(first).size(), 1u);
    EXPECT_TRUE(refersTo(hub().commandBarButton().object(), onlyButton(second)));
    EXPECT_TRUE(refersTo(hub().commandBar().object(), standardBar(second)));
    EXPECT_EQ(onlyButton(first).connections.size(), 0u) << "one event connection at a time";
    EXPECT_EQ(onlyButton(second).connections.size(), 1u);
    EXPECT_EQ(session.form->loads, 1) << "the form stays loaded";
}

// The failure cases: each ends CheckInspButton at the failing step, and the caller goes on quietly.
struct AfterAFirstButton : ButtonTest {
    Node* first = nullptr;
    Node* firstButton = nullptr;
    void SetUp() override {
        ButtonTest::SetUp();
        first = &model.openInspector(43, L"first");
        firstButton = &onlyButton(*first);
        model.clearTrace();
    }
};

TEST_F(AfterAFirstButton, NoStandardBarKeepsTheEarlierBinding) {
    Node& inspector = openUnseen(43);
    model.commandBarsOf(inspector);
    standardBar(inspector).barName = L"Formatting";
    announce(inspector);
    EXPECT_TRUE(refersTo(hub().commandBarButton().object(), *firstButton));
    EXPECT_TRUE(refersTo(hub().commandBar().object(), *model.commandBar(*first, L"Standard")));
    EXPECT_TRUE(refersTo(hub().inspector().object(), inspector));
    EXPECT_TRUE(desktop.messageBoxes.empty());
}

TEST_F(AfterAFirstButton, FindControlFailingKeepsTheEarlierButton) {
    model.failMember(L"CommandBar", L"FindControl", host::hresult::fail);
    model.openInspector(43, L"second");
    EXPECT_TRUE(refersTo(hub().commandBarButton().object(), *firstButton));
    EXPECT_EQ(callsTo(L"Add"), 0u);
}

// Where Office refuses Picture (as the fakes do) the face goes through the clipboard; a clipboard
// another program holds leaves the button with the built-in face of its FaceId.
TEST_F(AfterAFirstButton, ALockedClipboardLeavesTheButtonItsBuiltInFace) {
    desktop.clipboardLocked = true;
    const std::uint32_t sequence = desktop.sequenceNumber;
    Node& second = model.openInspector(43, L"second");
    Node& button = onlyButton(second);
    EXPECT_EQ(button.control.faceId, 3621);
    EXPECT_TRUE(button.control.face.empty());
    EXPECT_TRUE(refersTo(hub().commandBarButton().object(), button));
    EXPECT_EQ(desktop.sequenceNumber, sequence) << "the clipboard is not touched";
}

TEST_F(AfterAFirstButton, AddFailingCreatesNoButtonAndGivesTheClipboardBack) {
    model.failMember(L"CommandBarControls", L"Add", host::hresult::fail);
    Node& second = model.openInspector(43, L"second");
    EXPECT_TRUE(tagged(second).empty());
    EXPECT_TRUE(hub().commandBarButton().isNothing());
    EXPECT_EQ(desktop.clipboard, usersClipboard);
}

TEST_F(AfterAFirstButton, APutFailingLeavesTheMembersSetBeforeIt) {
    model.failMember(L"CommandBarButton", L"Style", host::hresult::fail);
    Node& second = model.openInspector(43, L"second");
    const auto controls = standardBar(second).controls->elements;
    Node& button = *controls.back();
    const std::vector<std::wstring> upToStyle(tenMembersInOrder.begin(), tenMembersInOrder.begin() + 6);
    EXPECT_EQ(membersCalledOn(button), upToStyle);
    EXPECT_EQ(button.control.descriptionText, L" Launch selected text with Zeltra from Razarid Urododidivivu ");
    EXPECT_EQ(button.control.tag, L"") << "Tag and what follows stay unset";
    EXPECT_TRUE(button.control.face.empty());
    EXPECT_TRUE(refersTo(hub().commandBarButton().object(), button));
    EXPECT_EQ(desktop.clipboard, usersClipboard);
}

TEST_F(AfterAFirstButton, PasteFaceFailingKeepsFaceIdAndEverythingElse) {
    model.failMember(L"CommandBarButton", L"PasteFace", host::hresult::fail);
    Node& second = model.openInspector(43, L"second");
    Node& button = onlyButton(second);
    EXPECT_EQ(membersCalledOn(button), tenMembersInOrder);
    EXPECT_EQ(button.control.faceId, 3621);
    EXPECT_TRUE(button.control.face.empty());
    EXPECT_TRUE(button.control.visible);
    EXPECT_EQ(desktop.clipboard, usersClipboard);
}

TEST_F(AfterAFirstButton, WhatAnotherProgramCopiesMeanwhileIsNotOverwritten) {
    const fakes::ClipboardData otherProgram = {{L"CF_UNICODETEXT", {'x', 0, 0, 0}}};
    model.setTraceListener([&](const TraceEntry& e) {
        if (e.type == TraceEntry::Type::AddInCall && e.text.find(L".PasteFace") != std::wstring::npos)
            desktop.setClipboard(otherProgram);
    });
    Node& second = model.openInspector(43, L"second");
    model.setTraceListener(nullptr);
    EXPECT_TRUE(onlyButton(second).control.face.empty()) << "no picture left to paste";
    EXPECT_EQ(desktop.clipboard, otherProgram) << "the newer copy is the user's now";
}

TEST_F(ButtonTest, CheckInspButtonReportsTheFirstFailureToItsCaller) {
    Node& inspector = openUnseen(43);
    model.failMember(L"CommandBarControls", L"Add", host::hresult::fail);
    const auto call = [&] { hub().CheckInspButton(host::Inspector::from(fakes::wrap(inspector))); };
    EXPECT_THROW(call(), host::Error);
    model.clearFailures();
    EXPECT_TRUE(hub().CheckInspButton(host::Inspector::from(fakes::wrap(inspector))).isEmpty());
    EXPECT_EQ(tagged(inspector).size(), 1u);
}

TEST_F(ButtonTest, AFormTheUserClosedIsLoadedAgainForTheNextButton) {
    model.openInspector(43, L"a");
    session.form->closedByUser = true;
    Node& second = model.openInspector(43, L"b");
    EXPECT_EQ(session.form->loads, 2);
    EXPECT_EQ(onlyButton(second).control.face, fakes::FakeFormWindow::faceBitmap().dib);
}

}  // namespace
