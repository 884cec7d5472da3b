#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "sim/model/custom_ui.h"
#include "sim/model/xml_reader.h"

namespace {

using sim::ui::validate;

// --- The XML reader ------------------------------------------------------------------------------

TEST(XmlReader, ReadsElementsAttributesReferencesCommentsAndTheDeclaration) {
    const auto parsed = sim::xml::parse(
        L"\xFEFF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- head -->\n"
        L"<a x='1 &lt;&gt;&amp;&apos;&quot;' y=\"&#65;&#x42;&#x1F600;\">\n  <b/><!-- inside -->\n  <c z=\"\t\"></c>\n</a>\n");
    ASSERT_TRUE(parsed.root) << parsed.error->message;
    const auto& a = *parsed.root;
    EXPECT_EQ(a.name, L"a");
    EXPECT_EQ(a.attribute(L"x")->value, L"1 <>&'\"");
    const std::wstring y = a.attribute(L"y")->value;
    EXPECT_EQ(y.substr(0, 2), L"AB");
    EXPECT_EQ(y.size(), sizeof(wchar_t) == 2 ? 4u : 3u);  // U+1F600 as a surrogate pair where wchar_t is 16-bit
    ASSERT_EQ(a.children.size(), 2u);
    EXPECT_EQ(a.children[0].name, L"b");
    EXPECT_EQ(a.children[1].line, 5);
    EXPECT_EQ(a.children[1].attribute(L"z")->value, L" ");  // whitespace in a value is normalised
    EXPECT_FALSE(a.hasText);
}

TEST(XmlReader, NotesTextThatIsNotBlank) {
    const auto parsed = sim::xml::parse(L"<a> x </a>");
    ASSERT_TRUE(parsed.root);
    EXPECT_TRUE(parsed.root->hasText);
}

TEST(XmlReader, RefusesWhatIsNotWellFormedOrNotTaken) {
    const std::pair<const wchar_t*, int> refused[] = {
        {L"", 1},
        {L"<a>", 1},
        {L"<a></b>", 1},
        {L"<a>\n\n</a\n", 4},
        {L"<a x='1' x='2'/>", 1},
        {L"<a x=1/>", 1},
        {L"<a x='<'/>", 1},
        {L"<a x='&nbsp;'/>", 1},
        {L"<a x='&#0;'/>", 1},
        {L"<a x='&#xZ;'/>", 1},
        {L"<a x='&amp'/>", 1},
        {L"<a x='1'y='2'/>", 1},
        {L"<a/><b/>", 1},
        {L"<a/>text", 1},
        {L"\n<?xml version='1.0'?><a/>", 2},
        {L"<?xml encoding='utf-8'?><a/>", 1},
        {L"<!DOCTYPE a><a/>", 1},
        {L"<a><![CDATA[x]]></a>", 1},
        {L"<a><?pi x?></a>", 1},
        {L"<!-- a -- b --><a/>", 1},
        {L"<1a/>", 1},
        {L"<a>]]></a>", 1},
        {L"<a>\x01</a>", 1},
    };
    for (const auto& [text, line] : refused) {
        const auto parsed = sim::xml::parse(text);
        EXPECT_FALSE(parsed.root) << "accepted: " << testing::PrintToString(std::wstring(text));
        if (parsed.error) {
            EXPECT_EQ(parsed.error->line, line) << testing::PrintToString(std::wstring(text));
        }
    }
}

// --- The customUI schema -------------------------------------------------------------------------

const std::wstring ns2009 = L"http://schemas.microsoft.com/office/2009/07/customui";
const std::wstring ns2006 = L"http://schemas.microsoft.com/office/2006/01/customui";

std::wstring document(const std::wstring& ns, const std::wstring& inside, const std::wstring& rootAttributes = L"") {
    return L"<customUI xmlns=\"" + ns + L"\"" + rootAttributes + L">" + inside + L"</customUI>";
}

std::wstring readTab(const std::wstring& groupInside, const std::wstring& tabAttributes = L"idMso=\"TabReadMessage\"") {
    return L"<ribbon><tabs><tab " + tabAttributes + L"><group id=\"g\" label=\"Zeltra\">" + groupInside +
           L"</group></tab></tabs></ribbon>";
}

std::wstring errorOf(const sim::ui::Validated& v) { return v.error ? v.error->message : L"(accepted)"; }

TEST(CustomUi, AcceptsTabsGroupsButtonsAndContextMenusOfTheirNamespaces) {
    const std::wstring xml =
        document(ns2009,
                 readTab(L"<button id=\"b1\" label=\"Zel&amp;tra\" size=\"large\" getImage=\"img\" onAction=\"act\" "
                         L"getEnabled=\"en\" screentip=\"s\" tag=\"t\" showLabel=\"1\"/><separator id=\"s1\"/>"
                         L"<button idMso=\"Copy\"/>") +
                     L"<contextMenus><contextMenu idMso=\"ContextMenuReadOnlyMailText\">"
                     L"<menuSeparator id=\"m1\"/><button id=\"b2\" label=\"Look up\" insertAfterMso=\"Copy\" "
                     L"getVisible=\"vis\"/></contextMenu></contextMenus>",
                 L" onLoad=\"loaded\" loadImage=\"load\"");
    const auto v = validate(xml, L"Microsoft.Outlook.Mail.Read", 14);
    ASSERT_TRUE(v.ui) << errorOf(v);
    EXPECT_EQ(v.ui->onLoad, L"loaded");
    EXPECT_EQ(v.ui->loadImage, L"load");
    ASSERT_EQ(v.ui->tabs.size(), 1u);
    EXPECT_FALSE(v.ui->tabs[0].custom());
    const auto& group = v.ui->tabs[0].children.at(0);
    ASSERT_EQ(group.children.size(), 3u);
    EXPECT_EQ(*group.children[0].attribute(L"label"), L"Zel&tra");
    EXPECT_EQ(group.children[1].type, sim::ui::Control::Type::Separator);
    EXPECT_EQ(group.children[2].idKind, sim::ui::Control::IdKind::BuiltIn);
    ASSERT_EQ(v.ui->contextMenus.size(), 1u);
    EXPECT_EQ(v.ui->contextMenus[0].items.size(), 2u);

    // A prefixed document, and a qualified id whose prefix is declared.
    const auto prefixed = validate(
        L"<x:customUI xmlns:x=\"" + ns2006 + L"\" xmlns:q=\"Zeltra.Connect\"><x:ribbon><x:tabs><x:tab idQ=\"q:tab\" "
        L"label=\"Z\"/></x:tabs></x:ribbon></x:customUI>",
        L"Microsoft.Outlook.Mail.Compose", 12);
    EXPECT_TRUE(prefixed.ui) << errorOf(prefixed);
}

TEST(CustomUi, TakesOnlyTheNamespacesOfThatVersion) {
    const std::wstring tab = readTab(L"<button id=\"b\" label=\"x\"/>");
    EXPECT_TRUE(validate(document(ns2006, tab), L"Microsoft.Outlook.Mail.Read", 12).ui);
    EXPECT_FALSE(validate(document(ns2009, tab), L"Microsoft.Outlook.Mail.Read", 12).ui);
    EXPECT_TRUE(validate(document(ns2006, tab), L"Microsoft.Outlook.Mail.Read", 16).ui);
    EXPECT_FALSE(validate(document(L"http://example.com/customui", tab), L"Microsoft.Outlook.Mail.Read", 16).ui);
    EXPECT_FALSE(validate(L"<customUI>" + tab + L"</customUI>", L"Microsoft.Outlook.Mail.Read", 16).ui);
    EXPECT_FALSE(validate(L"<ribbon xmlns=\"" + ns2009 + L"\"/>", L"Microsoft.Outlook.Mail.Read", 16).ui);
    // Context menus came with 2009/07.
    const std::wstring menus = L"<contextMenus><contextMenu idMso=\"ContextMenuReadOnlyMailText\"/></contextMenus>";
    EXPECT_FALSE(validate(document(ns2006, menus), L"Microsoft.Outlook.Mail.Read", 16).ui);
    EXPECT_TRUE(validate(document(ns2009, menus), L"Microsoft.Outlook.Mail.Read", 16).ui);
}

TEST(CustomUi, RefusesElementsOutOfTheirPlaceOrOrder) {
    const std::pair<std::wstring, int> refused[] = {
        // contextMenus before ribbon, a second ribbon, a group directly in tabs, a tab in a group
        {L"<contextMenus/>\n<ribbon/>", 2},
        {L"<ribbon/><ribbon/>", 1},
        {L"<ribbon><tabs><group id=\"g\"/></tabs></ribbon>", 1},
        {L"<ribbon><tabs><tab id=\"t\"><group id=\"g\"><tab id=\"t2\"/></group></tab></tabs></ribbon>", 1},
        // a menu separator belongs to menus, a size to a button in a group, text nowhere
        {readTab(L"<menuSeparator id=\"m\"/>"), 1},
        {L"<contextMenus><contextMenu idMso=\"ContextMenuReadOnlyMailText\"><button id=\"b\" size=\"large\"/>"
         L"</contextMenu></contextMenus>", 1},
        {L"<contextMenus><contextMenu idMso=\"ContextMenuReadOnlyMailText\"><separator id=\"s\"/>"
         L"</contextMenu></contextMenus>", 1},
        {readTab(L"label"), 1},
        // valid in the schema, not modelled here
        {readTab(L"<toggleButton id=\"t\"/>"), 1},
        {L"<ribbon><qat/></ribbon>", 1},
        // an element of another namespace
        {L"<ribbon><tabs><x:tab xmlns:x=\"urn:other\" id=\"t\"/></tabs></ribbon>", 1},
    };
    for (const auto& [inside, line] : refused) {
        const auto v = validate(document(ns2009, inside), L"Microsoft.Outlook.Mail.Read", 16);
        EXPECT_FALSE(v.ui) << "accepted: " << testing::PrintToString(inside);
        if (v.error) {
            EXPECT_EQ(v.error->line, line) << testing::PrintToString(inside);
        }
    }
}

TEST(CustomUi, RefusesAttributesTheSchemaDoesNotAllowOrCombine) {
    const std::wstring refused[] = {
        L"<button id=\"b\" colour=\"red\"/>",                 // not in the schema
        L"<button id=\"b\" x:label=\"l\" xmlns:x=\"urn:x\"/>",  // qualified attributes are not taken
        L"<button label=\"no id\"/>",                         // no id at all
        L"<button id=\"b\" idMso=\"Copy\"/>",                 // two ids
        L"<button id=\"b\" label=\"l\" getLabel=\"gl\"/>",     // a static value and its callback
        L"<button id=\"b\" enabled=\"true\" getEnabled=\"ge\"/>",
        L"<button id=\"b\" image=\"i\" imageMso=\"Copy\"/>",
        L"<button id=\"b\" insertAfterMso=\"Copy\" insertBeforeMso=\"Paste\"/>",
        L"<button id=\"b\" visible=\"yes\"/>",                // booleans are true, false, 1 or 0
        L"<button id=\"b\" size=\"huge\"/>",
        L"<button id=\"b\" onAction=\"\"/>",                   // callbacks have names
        L"<button id=\"1b\"/>",                               // ids are NCNames
        L"<button id=\"b\"/><button id=\"b\"/>",              // and unique
        L"<button idQ=\"nq\"/>",                              // qualified ids have a declared prefix
        L"<button idQ=\"p:b\"/>",
        L"<separator idMso=\"Copy\"/>",                       // separators are custom
    };
    for (const std::wstring& inside : refused) {
        const auto v = validate(document(ns2009, readTab(inside)), L"Microsoft.Outlook.Mail.Read", 16);
        EXPECT_FALSE(v.ui) << "accepted: " << testing::PrintToString(inside);
    }
    // The group's id must not clash with a button's either.
    EXPECT_FALSE(validate(document(ns2009, readTab(L"<button id=\"g\"/>")), L"Microsoft.Outlook.Mail.Read", 16).ui);
    // An unknown attribute on the root, and a non-boolean startFromScratch.
    EXPECT_FALSE(validate(document(ns2009, L"", L" onClose=\"x\""), L"Microsoft.Outlook.Mail.Read", 16).ui);
    EXPECT_FALSE(validate(document(ns2009, L"<ribbon startFromScratch=\"no\"/>"), L"Microsoft.Outlook.Mail.Read", 16).ui);
}

TEST(CustomUi, RefusesBuiltInTabsAndMenusOfOtherWindows) {
    const std::wstring tab = readTab(L"<button id=\"b\"/>", L"idMso=\"TabNewMailMessage\"");
    const auto v = validate(document(ns2009, tab), L"Microsoft.Outlook.Mail.Read", 16);
    ASSERT_FALSE(v.ui);
    EXPECT_EQ(v.error->message, L"unknown Office control ID: TabNewMailMessage");
    EXPECT_TRUE(validate(document(ns2009, tab), L"Microsoft.Outlook.Mail.Compose", 16).ui);
    EXPECT_TRUE(validate(document(ns2009, readTab(L"", L"idMso=\"TabMail\"")), sim::ui::explorerRibbonId, 16).ui);
    EXPECT_FALSE(validate(document(ns2009, readTab(L"", L"idMso=\"TabMail\"")), L"Microsoft.Outlook.Task", 16).ui);
    // A custom tab is fine anywhere.
    EXPECT_TRUE(validate(document(ns2009, readTab(L"", L"id=\"mine\" label=\"Mine\"")), L"Microsoft.Outlook.Task", 16).ui);

    const auto menu = [](const wchar_t* idMso) {
        return L"<contextMenus><contextMenu idMso=\"" + std::wstring(idMso) + L"\"/></contextMenus>";
    };
    EXPECT_FALSE(validate(document(ns2009, menu(L"ContextMenuText")), L"Microsoft.Outlook.Mail.Read", 16).ui);
    EXPECT_TRUE(validate(document(ns2009, menu(L"ContextMenuText")), L"Microsoft.Outlook.Mail.Compose", 16).ui);
    EXPECT_FALSE(validate(document(ns2009, menu(L"ContextMenuMailItem")), sim::ui::explorerRibbonId, 16).ui);
    EXPECT_FALSE(validate(document(ns2009, L"<contextMenus><contextMenu/></contextMenus>"),
                          L"Microsoft.Outlook.Mail.Read", 16).ui);
}

TEST(CustomUi, KnowsTheTabsOfPostsTasksAndJournalEntriesFrom2013On) {
    const std::pair<std::wstring, std::wstring> firstTabs[] = {
        {L"Microsoft.Outlook.Post.Read", L"TabReadMessage"},
        {L"Microsoft.Outlook.Post.Compose", L"TabNewMailMessage"},
        {L"Microsoft.Outlook.Task", L"TabTask"},
        {L"Microsoft.Outlook.Journal", L"TabJournal"},
    };
    for (const auto& [ribbonId, idMso] : firstTabs) {
        const std::wstring tab = readTab(L"<button id=\"b\"/>", L"idMso=\"" + idMso + L"\"");
        EXPECT_TRUE(validate(document(ns2009, tab), ribbonId, 16).ui) << testing::PrintToString(ribbonId);
        EXPECT_TRUE(validate(document(ns2006, tab), ribbonId, 15).ui) << testing::PrintToString(ribbonId);
        // Not confirmed for Outlook 2010 and 2007: refused there, as an unknown tab is.
        EXPECT_EQ(errorOf(validate(document(ns2009, tab), ribbonId, 14)), L"unknown Office control ID: " + idMso);
        EXPECT_EQ(errorOf(validate(document(ns2006, tab), ribbonId, 12)), L"unknown Office control ID: " + idMso);
        const sim::ui::BuiltInTab& first = sim::ui::ribbonKind(ribbonId)->tabs.front();
        EXPECT_EQ(first.idMsoIn(16), idMso);
        EXPECT_EQ(first.idMsoIn(14), L"");
    }
    // Each kind has its own: a task's is not a journal entry's, a post being read has no compose tab.
    EXPECT_FALSE(validate(document(ns2009, readTab(L"", L"idMso=\"TabJournal\"")), L"Microsoft.Outlook.Task", 16).ui);
    EXPECT_FALSE(validate(document(ns2009, readTab(L"", L"idMso=\"TabTask\"")), L"Microsoft.Outlook.Journal", 16).ui);
    EXPECT_FALSE(
        validate(document(ns2009, readTab(L"", L"idMso=\"TabNewMailMessage\"")), L"Microsoft.Outlook.Post.Read", 16).ui);
    // Meeting requests and distribution lists still have none.
    EXPECT_EQ(sim::ui::ribbonKind(L"Microsoft.Outlook.MeetingRequest.Read")->tabs.front().idMsoIn(16), L"");
    EXPECT_EQ(sim::ui::ribbonKind(L"Microsoft.Outlook.DistributionList")->tabs.front().idMsoIn(16), L"");
}

TEST(CustomUi, KnowsTheRibbonOfEachKindOfWindow) {
    EXPECT_EQ(sim::ui::inspectorRibbonId(43, false), L"Microsoft.Outlook.Mail.Read");
    EXPECT_EQ(sim::ui::inspectorRibbonId(43, true), L"Microsoft.Outlook.Mail.Compose");
    EXPECT_EQ(sim::ui::inspectorRibbonId(53, true), L"Microsoft.Outlook.MeetingRequest.Send");
    EXPECT_EQ(sim::ui::inspectorRibbonId(48, false), L"Microsoft.Outlook.Task");
    EXPECT_EQ(sim::ui::inspectorRibbonId(41, false), L"");
    for (const int itemClass : {43, 45, 53, 26, 40, 69, 48, 42})
        for (const bool compose : {false, true}) {
            const auto* kind = sim::ui::ribbonKind(sim::ui::inspectorRibbonId(itemClass, compose));
            ASSERT_NE(kind, nullptr) << itemClass;
            EXPECT_FALSE(kind->tabs.empty());
            EXPECT_EQ(kind->menus.size(), 1u);
        }
    EXPECT_EQ(sim::ui::ribbonKind(sim::ui::explorerRibbonId)->tabs[0].label, L"Home");
}

}  // namespace
