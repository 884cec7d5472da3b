// The Outlook model's versions, Word's object model behind the editors, the Explorer's selection,
// command-bar faces from picture objects, and the ribbon host over a fake add-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>

#include "addin/ribbon.h"
#include "host/iids.h"
#include "sim/model/outlook_model.h"
#include "tests/fakes/host_fixture.h"

namespace {

using sim::invoke::get;
using sim::invoke::method;
using sim::invoke::put;
using sim::Value;

std::wstring text(const Value& v) { return std::get<std::wstring>(v); }
std::int32_t number(const Value& v) { return std::get<std::int32_t>(v); }
sim::Node* object(const Value& v) { return std::get<sim::Node*>(v); }

TEST(OutlookVersions, ApplicationVersionAndTheMembersEachVersionHas) {
    sim::Model model;
    EXPECT_EQ(text(model.invoke(model.application(), 0x116, get, {})), L"16.0.0.5000");
    model.setVersion(11);
    EXPECT_EQ(text(model.invoke(model.application(), L"Version", get, {})), L"11.0.0.8312");
    sim::Node& explorer = model.openExplorer();
    // ActiveInlineResponseWordEditor came with Outlook 2013.
    EXPECT_FALSE(model.dispidOf(explorer, L"ActiveInlineResponseWordEditor"));
    EXPECT_THROW(model.invoke(explorer, 0xFC94, get, {}), host::Error);
    model.setVersion(16);
    EXPECT_EQ(model.dispidOf(explorer, L"ActiveInlineResponseWordEditor"), 0xFC94);
    EXPECT_EQ(object(model.invoke(explorer, 0xFC94, get, {})), nullptr);
}

TEST(OutlookVersions, ItemWindowsEditInWordFrom2007AndIn2003InHtml) {
    sim::Model model;
    model.setVersion(11);
    sim::Node& old = model.openInspector(43, L"x");
    EXPECT_EQ(number(model.invoke(old, L"EditorType", get, {})), sim::olEditorHTML);
    EXPECT_EQ(std::get<bool>(model.invoke(old, L"IsWordMail", method, {})), false);
    EXPECT_EQ(object(model.invoke(old, L"WordEditor", get, {})), nullptr);
    model.setVersion(14);
    sim::Node& current = model.openInspector(43, L"x");
    EXPECT_EQ(number(model.invoke(current, 0x2110, get, {})), sim::olEditorWord);
    // IsWordMail is a method: read as a property alone it is not found.
    EXPECT_THROW(model.invoke(current, 0x2105, get, {}), host::Error);
    EXPECT_EQ(std::get<bool>(model.invoke(current, 0x2105, method | get, {})), true);
    EXPECT_NE(object(model.invoke(current, 0x210F, get, {})), nullptr);
    model.setEditorType(current, sim::olEditorText);
    EXPECT_EQ(object(model.invoke(current, 0x210F, get, {})), nullptr);
}

struct WordFixture : testing::Test {
    sim::Model model;
    sim::EditorState editor{L"Hello World\r\nSecond line", 0, 0};
    WordFixture() {
        model.setEditorSource([this](const sim::Node&) { return editor; });
    }
    // Document.Windows(1).Selection, the way an add-in reaches it.
    sim::Node& selectionOf(sim::Node& inspector) {
        sim::Node* document = object(model.invoke(inspector, L"WordEditor", get, {}));
        sim::Node* windows = object(model.invoke(*document, L"Windows", get, {}));
        const Value one = 1;
        sim::Node* window = object(model.invoke(*windows, 0, method | get, {&one, 1}));
        return *object(model.invoke(*window, L"Selection", get, {}));
    }
};

TEST_F(WordFixture, SelectionTextIsWordsWithParagraphMarksAsCarriageReturns) {
    sim::Node& selection = selectionOf(model.openInspector(43, L""));
    editor.start = 6;
    editor.end = 19;  // "World\r\nSecond"
    EXPECT_EQ(text(model.invoke(selection, L"Text", get, {})), L"World\rSecond");
    EXPECT_EQ(number(model.invoke(selection, L"Start", get, {})), 6);
    EXPECT_EQ(number(model.invoke(selection, L"End", get, {})), 18);  // the CR LF counts once
    EXPECT_EQ(number(model.invoke(selection, L"Type", get, {})), 2);   // wdSelectionNormal
    // Text is the default member.
    EXPECT_EQ(text(model.invoke(selection, 0, get, {})), L"World\rSecond");
}

TEST_F(WordFixture, AnInsertionPointReadsAsTheCharacterAfterIt) {
    sim::Node& selection = selectionOf(model.openInspector(43, L""));
    editor.start = editor.end = 6;
    EXPECT_EQ(number(model.invoke(selection, L"Type", get, {})), 1);  // wdSelectionIP
    EXPECT_EQ(text(model.invoke(selection, L"Text", get, {})), L"W");
    editor.start = editor.end = 11;  // before the paragraph mark
    EXPECT_EQ(text(model.invoke(selection, L"Text", get, {})), L"\r");
    editor.start = editor.end = editor.text.size();  // at the end: the document's last paragraph mark
    EXPECT_EQ(text(model.invoke(selection, L"Text", get, {})), L"\r");
    EXPECT_EQ(number(model.invoke(selection, L"Start", get, {})), 23);
}

TEST_F(WordFixture, WordsApplicationSelectionIsThatOfTheFrontWordWindow) {
    sim::Node& first = model.openInspector(43, L"");
    sim::Node& front = model.openInspector(43, L"");
    sim::Node& frontSelection = selectionOf(front);
    sim::Node* document = object(model.invoke(first, L"WordEditor", get, {}));
    sim::Node* word = object(model.invoke(*document, L"Application", get, {}));
    EXPECT_EQ(object(model.invoke(*word, L"Selection", get, {})), &frontSelection);
    model.activate(first);
    EXPECT_EQ(object(model.invoke(*word, L"Selection", get, {})), &selectionOf(first));
    model.setEditorType(first, sim::olEditorHTML);
    model.setEditorType(front, sim::olEditorHTML);
    EXPECT_THROW(model.invoke(*word, L"Selection", get, {}), sim::MemberFailure);
}

TEST(OutlookVersions, TheExplorersSelectionChangesWithSelectionChangeAndInlineRepliesAreWord) {
    sim::Model model;
    sim::Node& explorer = model.openExplorer();
    int changes = 0;
    struct Counter : sim::Sink {
        int& n;
        explicit Counter(int& c) : n(c) {}
        host::HResult invoke(std::int32_t dispid, std::vector<Value>&) override {
            n += dispid == 0xF007;
            return host::hresult::ok;
        }
    };
    model.advise(explorer, host::iid::ExplorerEvents_10, std::make_shared<Counter>(changes));
    sim::Node* empty = object(model.invoke(explorer, L"Selection", get, {}));
    EXPECT_EQ(number(model.invoke(*empty, L"Count", get, {})), 0);
    model.selectItem(explorer, L"the body");
    EXPECT_EQ(changes, 1);
    sim::Node* selection = object(model.invoke(explorer, 0x2202, get, {}));
    ASSERT_EQ(number(model.invoke(*selection, 0x50, get, {})), 1);
    const Value one = 1;
    sim::Node* item = object(model.invoke(*selection, 0x51, method, {&one, 1}));
    EXPECT_EQ(text(model.invoke(*item, L"Body", get, {})), L"the body");
    EXPECT_EQ(object(model.invoke(explorer, L"ActiveInlineResponseWordEditor", get, {})), nullptr);
    model.replyInline(explorer);
    sim::Node* reply = object(model.invoke(explorer, L"ActiveInlineResponseWordEditor", get, {}));
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->kind(), sim::Kind::WordDocument);
    model.selectItem(explorer, std::nullopt);  // a new selection closes the reply
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(object(model.invoke(explorer, L"ActiveInlineResponseWordEditor", get, {})), nullptr);
}

TEST(OutlookVersions, ButtonFacesFromPicturesAreAssignedWithPutAndMaskedAfterThePicture) {
    sim::Model model;
    sim::Node& inspector = model.openInspector(43, L"");
    sim::Node* bar = model.commandBar(inspector, L"Standard");
    sim::Node& button = model.addControl(*bar->controls, sim::msoControlButton, 1, std::nullopt);
    const Value picture = &model.pictureObject(sim::Image{16, 16, std::vector<std::uint32_t>(256, 0xFF00FF00)});
    const Value mask = &model.pictureObject(sim::Image{16, 16, std::vector<std::uint32_t>(256, 0xFFFFFFFF)});
    // A mask before any picture is refused, and so is an assignment by reference.
    EXPECT_THROW(model.invoke(button, L"Mask", put, {&mask, 1}), sim::MemberFailure);
    EXPECT_THROW(model.invoke(button, L"Picture", sim::invoke::putRef, {&picture, 1}), host::Error);
    const Value notAPicture = &inspector;
    EXPECT_THROW(model.invoke(button, L"Picture", put, {&notAPicture, 1}), sim::ArgumentError);
    model.invoke(button, L"Picture", put, {&picture, 1});
    model.invoke(button, L"Mask", put, {&mask, 1});
    EXPECT_EQ(button.control.picture.width, 16);
    EXPECT_EQ(button.control.mask.at(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(button.control.changes, (std::vector<std::wstring>{L"Picture", L"Mask"}));
    const Value faceId = 59;
    model.invoke(button, L"FaceId", put, {&faceId, 1});
    EXPECT_TRUE(button.control.picture.empty());
}

}  // namespace

namespace {

// An add-in's IRibbonExtensibility: its XML per ribbon ID and its callbacks, recorded.
struct FakeRibbonAddIn : sim::RibbonTarget {
    std::map<std::wstring, std::wstring> xml;
    std::vector<std::wstring> asked;
    std::vector<std::pair<std::wstring, std::vector<Value>>> calls;
    bool enabled = true;
    std::optional<std::wstring> customUi(const std::wstring& ribbonId) override {
        asked.push_back(ribbonId);
        const auto it = xml.find(ribbonId);
        return it == xml.end() ? std::wstring() : it->second;
    }
    Answer call(const std::wstring& name, const std::vector<Value>& args, Returns) override {
        calls.emplace_back(name, args);
        if (name == L"getEnabled") return {Answer::Status::Done, enabled, std::nullopt, {}};
        if (name == L"getLabel") return {Answer::Status::Done, true, std::nullopt, {}};  // of the wrong type
        if (name == L"onAction" || name == L"loaded") return {};
        return {Answer::Status::NameNotFound, {}, std::nullopt, {}};
    }
    std::wstring name() const override { return L"the fake add-in"; }
    int callsOf(const std::wstring& name) const {
        return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const auto& c) { return c.first == name; }));
    }
};

const wchar_t readXml[] =
    L"<customUI xmlns='http://schemas.microsoft.com/office/2009/07/customui' onLoad='loaded'><ribbon><tabs>"
    L"<tab idMso='TabReadMessage'><group id='g' label='Zeltra'>"
    L"<button id='b' label='Zel&amp;tra' getEnabled='getEnabled' onAction='onAction'/>"
    L"<button id='c' getLabel='getLabel' getVisible='getVisible'/></group></tab></tabs></ribbon>"
    L"<contextMenus><contextMenu idMso='ContextMenuReadOnlyMailText'>"
    L"<button id='m' label='Look up' insertAfterMso='Copy' onAction='onAction'/></contextMenu></contextMenus></customUI>";

TEST(RibbonHost, AsksOncePerRibbonIdAndCallsBackByNameWithTheWindowAsContext) {
    sim::Model model;
    auto addIn = std::make_shared<FakeRibbonAddIn>();
    addIn->xml[L"Microsoft.Outlook.Mail.Read"] = readXml;
    model.ribbons().connected(addIn);
    EXPECT_EQ(addIn->asked, std::vector<std::wstring>{L"Microsoft.Outlook.Explorer"});
    sim::Node& first = model.openInspector(43, L"");
    model.openInspector(43, L"");
    model.openInspector(43, L"", true);
    EXPECT_EQ(addIn->asked, (std::vector<std::wstring>{L"Microsoft.Outlook.Explorer", L"Microsoft.Outlook.Mail.Read",
                                                       L"Microsoft.Outlook.Mail.Compose"}));
    EXPECT_EQ(model.ribbons().status(L"Microsoft.Outlook.Mail.Read"), sim::Ribbons::Status::Valid);
    EXPECT_EQ(model.ribbons().status(L"Microsoft.Outlook.Mail.Compose"), sim::Ribbons::Status::None);
    ASSERT_EQ(addIn->callsOf(L"loaded"), 1);
    EXPECT_EQ(object(addIn->calls[0].second.at(0))->kind(), sim::Kind::RibbonUI);

    // Each read window asked its getters once; the one that is not there hides its control.
    EXPECT_EQ(addIn->callsOf(L"getEnabled"), 2);
    const auto groups = model.ribbons().shown(first);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].controls[0].label, L"Zel&tra");
    EXPECT_FALSE(groups[0].controls[1].visible);
    EXPECT_EQ(addIn->callsOf(L"getEnabled"), 2);  // answers are kept

    // The IRibbonControl of a callback names the control and the window.
    EXPECT_EQ(model.ribbons().press(first, std::nullopt), sim::Ribbons::Press::Done);
    const auto& press = addIn->calls.back();
    ASSERT_EQ(press.first, L"onAction");
    sim::Node& control = *object(press.second.at(0));
    EXPECT_EQ(text(model.invoke(control, 1, get, {})), L"b");
    EXPECT_EQ(object(model.invoke(control, 2, get, {})), &first);
    const Value id = std::wstring(L"x");
    EXPECT_THROW(model.invoke(control, 1, put, {&id, 1}), host::Error);  // get only

    // Invalidate has the getters asked again; disabled, the button cannot be pressed.
    addIn->enabled = false;
    const Value ribbonUi = addIn->calls[0].second.at(0);
    const Value b = std::wstring(L"b");
    model.invoke(*object(ribbonUi), L"InvalidateControl", method, {&b, 1});
    EXPECT_EQ(model.ribbons().press(first, L"b"), sim::Ribbons::Press::Disabled);
    EXPECT_EQ(model.ribbons().press(first, L"nothing"), sim::Ribbons::Press::Absent);
    EXPECT_EQ(addIn->callsOf(L"getEnabled"), 3);
    model.invoke(*object(ribbonUi), L"Invalidate", method, {});
    model.ribbons().refreshAll();
    EXPECT_EQ(addIn->callsOf(L"getEnabled"), 5);
}

TEST(RibbonHost, PutsMenuEntriesWhereTheXmlSaysAndIgnoresRefusedDocuments) {
    sim::Model model;
    auto addIn = std::make_shared<FakeRibbonAddIn>();
    addIn->xml[L"Microsoft.Outlook.Mail.Read"] = readXml;
    addIn->xml[L"Microsoft.Outlook.Task"] = L"<customUI xmlns='http://schemas.microsoft.com/office/2009/07/customui'>"
                                            L"<ribbon><tabs><tab id='t' label='T'><group id='g'><button id='b' "
                                            L"onAction='onAction' size='big'/></group></tab></tabs></ribbon></customUI>";
    model.ribbons().connected(addIn);
    sim::Node& mail = model.openInspector(43, L"");
    const auto menu = model.ribbons().openMenu(mail, L"ContextMenuReadOnlyMailText");
    ASSERT_EQ(menu.size(), 3u);
    EXPECT_EQ(menu[0].label, L"Copy");
    EXPECT_EQ(menu[1].label, L"Look up");
    EXPECT_TRUE(menu[1].custom);
    EXPECT_EQ(menu[2].label, L"Select All");
    model.ribbons().pickMenuEntry(mail, L"ContextMenuReadOnlyMailText", L"m");
    EXPECT_EQ(addIn->calls.back().first, L"onAction");

    sim::Node& task = model.openInspector(48, L"");
    EXPECT_EQ(model.ribbons().status(L"Microsoft.Outlook.Task"), sim::Ribbons::Status::Refused);
    EXPECT_TRUE(model.ribbons().shown(task).empty());
    EXPECT_EQ(model.ribbons().press(task, std::nullopt), sim::Ribbons::Press::Absent);
    const bool reported = std::any_of(model.traceLog().begin(), model.traceLog().end(), [](const sim::TraceEntry& e) {
        return e.type == sim::TraceEntry::Type::UiError &&
               e.text.rfind(L"customUI error in Microsoft.Outlook.Task: line 1: ", 0) == 0;
    });
    EXPECT_TRUE(reported);
}

TEST(RibbonHost, Outlook2003HasNoRibbonAnd2007NoExplorerRibbon) {
    sim::Model model;
    auto addIn = std::make_shared<FakeRibbonAddIn>();
    model.setVersion(11);
    model.ribbons().connected(addIn);
    model.openInspector(43, L"");
    EXPECT_TRUE(addIn->asked.empty());
    model.setVersion(12);
    model.ribbons().connected(addIn);
    model.openExplorer();
    model.openInspector(43, L"");
    EXPECT_EQ(addIn->asked, std::vector<std::wstring>{L"Microsoft.Outlook.Mail.Read"});
}

}  // namespace

namespace {

// The add-in's surface on the windows of each kind that gets a button, per Outlook version: the
// ribbon where its XML names the kind's first tab and Office's checks take it, otherwise the
// command-bar button; never both, never neither.
struct ItemWindowSurface : testing::TestWithParam<int> {};

TEST_P(ItemWindowSurface, IsTheRibbonWhereTheTabIsKnownAndTheCommandBarElsewhere) {
    const int version = GetParam();
    fakes::Session session(version);
    session.model.openExplorer();
    ASSERT_EQ(session.onConnection(), host::hresult::ok);
    // Mail items, appointments and contacts from 2007 on; posts, tasks and journal entries from 2013 on.
    const std::pair<std::int32_t, int> ribbonSince[] = {{43, 12}, {26, 12}, {40, 12}, {45, 15}, {48, 15}, {42, 15}};
    for (const auto& [itemClass, since] : ribbonSince)
        for (const bool compose : {false, true}) {
            const std::wstring ribbonId = sim::ui::inspectorRibbonId(itemClass, compose);
            const std::string where = testing::PrintToString(ribbonId) + " in " + std::to_string(version);
            const std::wstring xml = zeltra::customUiFor(ribbonId, version);
            EXPECT_EQ(!xml.empty(), version >= since) << where;
            if (!xml.empty()) {
                const auto checked = sim::ui::validate(xml, ribbonId, version);
                ASSERT_TRUE(checked.ui) << where << ": " << testing::PrintToString(checked.error->message);
                // On the tab the window opens on, and in its text's menu.
                const sim::ui::RibbonKind& kind = *sim::ui::ribbonKind(ribbonId);
                ASSERT_EQ(checked.ui->tabs.size(), 1u) << where;
                EXPECT_EQ(checked.ui->tabs[0].id, kind.tabs.front().idMsoIn(version)) << where;
                if (version >= 14) {
                    ASSERT_EQ(checked.ui->contextMenus.size(), 1u) << where;
                    EXPECT_EQ(checked.ui->contextMenus[0].idMso, kind.menus.front().idMso) << where;
                }
            }
            sim::Node& window = session.model.openInspector(itemClass, L"body", compose);
            EXPECT_EQ(fakes::zeltraButton(session.model, window) != nullptr, xml.empty()) << where;
        }
    session.disconnectAndExpectNothingHeld();
}

INSTANTIATE_TEST_SUITE_P(Versions, ItemWindowSurface, testing::Values(12, 14, 16));

}  // namespace
