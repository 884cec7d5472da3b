#include <gtest/gtest.h>

#include "host/text.h"
#include "tests/fakes/host_fixture.h"

namespace {

using sim::Node;

struct AddressCase {
    const char* name;
    std::wstring redirectPage;
    std::wstring selection;
    std::wstring address;
};

struct LaunchAddress : testing::TestWithParam<AddressCase> {};

TEST_P(LaunchAddress, IsThePathWithTheEncodedSelection) {
    EXPECT_EQ(zeltra::launchAddress(GetParam().redirectPage, GetParam().selection), GetParam().address);
}

const std::wstring page = L"D:\\My Tools\\Z\\cvredir.htm";
INSTANTIATE_TEST_SUITE_P(
    Cases, LaunchAddress,
    testing::Values(
        AddressCase{"words", page, L"Hello World", L"file:///D:/My%20Tools/Z/cvredir.htm?hello%20world"},
        AddressCase{"mixed_case", page, L"MixedCase Text", L"file:///D:/My%20Tools/Z/cvredir.htm?mixedcase%20text"},
        AddressCase{"nothing", page, L"", L"file:///D:/My%20Tools/Z/cvredir.htm?"},
        AddressCase{"backslash", page, L"a\\b", L"file:///D:/My%20Tools/Z/cvredir.htm?a/b"},
        // The folder's path as the shell writes a file URL: what an address reads differently escaped.
        AddressCase{"folder_with_hash", L"C:\\Users\\j#doe\\cvredir.htm", L"x", L"file:///C:/Users/j%23doe/cvredir.htm?x"},
        AddressCase{"folder_with_percent", L"D:\\100% sure\\%41\\cvredir.htm", L"x",
                    L"file:///D:/100%25%20sure/%2541/cvredir.htm?x"},
        AddressCase{"folder_beyond_ascii", L"C:\\Users\\Zo\u00EB\\\u0416\\cvredir.htm", L"x",
                    L"file:///C:/Users/Zo%EB/\u0416/cvredir.htm?x"},
        AddressCase{"folder_on_a_server", L"\\\\server\\share\\Z\\cvredir.htm", L"x", L"file://server/share/Z/cvredir.htm?x"},
        AddressCase{"trailing_backslash_folder", L"D:\\Tools\\Z\\\\cvredir.htm", L"x",
                    L"file:///D:/Tools/Z//cvredir.htm?x"},
        AddressCase{"reserved", page, L"50% #1 a&b c+d?", L"file:///D:/My%20Tools/Z/cvredir.htm?50%25%20%231%20a%26b%20c%2Bd%3F"},
        AddressCase{"address_kept", page, L"Mail@Example.org", L"file:///D:/My%20Tools/Z/cvredir.htm?mail@example.org"},
        AddressCase{"web_address_kept", page, L"https://www.example.org/A-b_c.d~e",
                    L"file:///D:/My%20Tools/Z/cvredir.htm?https://www.example.org/A-b_c.d~e"},
        // A web address keeps its case, whatever the case of its scheme; its path and query may need it.
        AddressCase{"web_address_case", page, L"HTTPS://Example.org/AbC?Q=x",
                    L"file:///D:/My%20Tools/Z/cvredir.htm?HTTPS://Example.org/AbC%3FQ%3Dx"},
        AddressCase{"http_address_case", page, L"Http://Example.org/P", L"file:///D:/My%20Tools/Z/cvredir.htm?Http://Example.org/P"},
        // Blanks before it do not count: the page trims them.
        AddressCase{"blanks_before_web_address", page, L" \t\u00A0https://Example.org/AbC ",
                    L"file:///D:/My%20Tools/Z/cvredir.htm?%20%09%C2%A0https://Example.org/AbC%20"},
        // Anything else is lower-cased: a host without its scheme, another scheme, an address in words.
        AddressCase{"host_without_scheme", page, L"Example.org/AbC", L"file:///D:/My%20Tools/Z/cvredir.htm?example.org/abc"},
        AddressCase{"other_scheme", page, L"FTP://Example.org/AbC", L"file:///D:/My%20Tools/Z/cvredir.htm?ftp://example.org/abc"},
        AddressCase{"scheme_without_slashes", page, L"Https:Example.org", L"file:///D:/My%20Tools/Z/cvredir.htm?https:example.org"},
        AddressCase{"address_in_words", page, L"See https://Example.org/AbC",
                    L"file:///D:/My%20Tools/Z/cvredir.htm?see%20https://example.org/abc"},
        AddressCase{"line_break", page, L"two\r\nlines", L"file:///D:/My%20Tools/Z/cvredir.htm?two%0D%0Alines"},
        AddressCase{"non_ascii", page, L"\u00C4rger \u00FC", L"file:///D:/My%20Tools/Z/cvredir.htm?%C3%A4rger%20%C3%BC"},
        AddressCase{"three_bytes", page, L"\u20AC", L"file:///D:/My%20Tools/Z/cvredir.htm?%E2%82%AC"}),
    [](const auto& param) { return std::string(param.param.name); });

// The query of an address whose selection was ASCII, its escapes decoded.
std::wstring decodedQuery(const std::wstring& address) {
    std::wstring text;
    for (std::size_t i = address.find(L'?') + 1; i < address.size(); ++i) {
        if (address[i] != L'%') {
            text += address[i];
            continue;
        }
        text += static_cast<wchar_t>(std::stoi(std::string(address.begin() + i + 1, address.begin() + i + 3), nullptr, 16));
        i += 2;
    }
    return text;
}

TEST(LaunchAddressLength, ALongSelectionGoesInWithItsFirst2000Characters) {
    std::wstring mail;
    while (mail.size() < 100 * 1024) mail += L"line 42, 50% off\r\n";
    EXPECT_EQ(decodedQuery(zeltra::launchAddress(page, mail)), mail.substr(0, 2000));
    EXPECT_EQ(decodedQuery(zeltra::launchAddress(page, mail.substr(0, 2000))), mail.substr(0, 2000));
}

TEST(LaunchAddressLength, ASurrogatePairAcrossTheLimitIsLeftOutWhole) {
    const std::wstring smiley = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    EXPECT_TRUE(zeltra::launchAddress(page, std::wstring(1999, L'a') + smiley + L"b").ends_with(L"?" + std::wstring(1999, L'a')));
    EXPECT_TRUE(zeltra::launchAddress(page, std::wstring(1998, L'a') + smiley + L"b").ends_with(L"aa%F0%9F%98%80"));
}

TEST(LaunchAddressLength, ALongWebAddressKeepsItsCase) {
    const std::wstring address = L"https://Example.org/?Q=" + std::wstring(3000, L'X');
    EXPECT_EQ(decodedQuery(zeltra::launchAddress(page, address)), address.substr(0, 2000));
}

TEST(PercentEncoding, WritesCharactersBeyondTheBasicPlaneAsFourBytes) {
    std::wstring smile;
    if constexpr (sizeof(wchar_t) == 2) {
        smile = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    } else {
        smile = {static_cast<wchar_t>(0x1F600)};
    }
    EXPECT_EQ(host::percentEncoded(smile), L"%F0%9F%98%80");
    EXPECT_EQ(host::percentEncoded(std::wstring(1, static_cast<wchar_t>(0xD800))), L"%EF%BF%BD") << "a lone surrogate";
}

// Pressing the button of a mail window: capture through the clipboard, then the browser control.
struct ButtonPress : testing::Test {
    fakes::Session session;
    sim::Model& model = session.model;
    fakes::FakeDesktop& desktop = session.desktop;
    Node* button = nullptr;
    const fakes::ClipboardData usersClipboard = {{L"CF_UNICODETEXT", fakes::FakeDesktop::textBytes(L"alpha")},
                                                 {L"Private", {7, 7}}};

    void SetUp() override {
        session.module.strRedirPage = L"C:\\Zeltra Test\\cvredir.htm";
        model.openExplorer();
        ASSERT_EQ(session.onConnection(), host::hresult::ok);
        Node& inspector = model.openInspector(43, L"mail");
        for (Node* control : model.commandBar(inspector, L"Standard")->controls->elements)
            if (control->control.tag == L"Zeltra") button = control;
        ASSERT_NE(button, nullptr);
        desktop.setClipboard(usersClipboard);
    }
    void TearDown() override { session.disconnectAndExpectNothingHeld(); }
    // Presses the button; returns the failures the add-in gave back from the Click event. Outlook's
    // own loop runs afterwards: it delivers the Ctrl+C to the window and the copy to the add-in.
    std::vector<host::HResult> press() {
        model.click(*button);
        std::vector<host::HResult> failures = model.takeEventFailures();
        desktop.runMessageLoop();
        return failures;
    }
    const std::vector<std::wstring>& navigations() const { return session.form->navigations; }
};

TEST_F(ButtonPress, NavigatesToTheSelectionAndGivesTheClipboardBack) {
    desktop.editorSelection = L"Beta Gamma";
    EXPECT_TRUE(press().empty());
    EXPECT_EQ(navigations(), std::vector<std::wstring>{L"file:///C:/Zeltra%20Test/cvredir.htm?beta%20gamma"});
    EXPECT_EQ(session.module.strSelection, L"Beta Gamma");
    EXPECT_EQ(desktop.clipboard, usersClipboard) << "every format the user had";
    EXPECT_EQ(desktop.copiesSent, 1);
}

// The add-in runs no message loop of its own: the press returns to Outlook with the keys sent, and
// only Outlook's loop brings the copy, and with it the launch.
TEST_F(ButtonPress, ReturnsToOutlookAtOnceAndLaunchesOnceOutlooksLoopHasBroughtTheCopy) {
    desktop.editorSelection = L"Beta Gamma";
    model.click(*button);
    EXPECT_TRUE(model.takeEventFailures().empty());
    EXPECT_EQ(desktop.copiesSent, 1);
    EXPECT_TRUE(desktop.copyAwaited());
    EXPECT_TRUE(navigations().empty());
    EXPECT_TRUE(desktop.clipboard.empty()) << "emptied for the copy";
    desktop.runMessageLoop();
    EXPECT_EQ(navigations(), std::vector<std::wstring>{L"file:///C:/Zeltra%20Test/cvredir.htm?beta%20gamma"});
    EXPECT_EQ(desktop.clipboard, usersClipboard);
}

// After a click on the message list the focus is there, and Ctrl+C would copy the items' columns.
TEST_F(ButtonPress, WithTheFocusOutsideATextViewNothingIsCopiedOrLaunchedAndTheClipboardIsUntouched) {
    desktop.editorSelection = L"From\tSubject\tReceived";
    desktop.focusClass = L"SUPERGRID";
    const std::uint32_t sequence = desktop.sequenceNumber;
    EXPECT_TRUE(press().empty());
    EXPECT_EQ(desktop.copiesSent, 0);
    EXPECT_TRUE(navigations().empty());
    EXPECT_EQ(desktop.sequenceNumber, sequence) << "not even saved and emptied";
    EXPECT_TRUE(desktop.guardCalls.empty());
    desktop.focusClass = L"Internet Explorer_Server";
    press();
    EXPECT_EQ(desktop.copiesSent, 1) << "the reading pane's HTML viewer copies";
}

TEST_F(ButtonPress, TwoPressesCarryTheirOwnSelections) {
    desktop.editorSelection = L"First";
    press();
    desktop.editorSelection = L"Second";
    press();
    EXPECT_EQ(navigations(), (std::vector<std::wstring>{L"file:///C:/Zeltra%20Test/cvredir.htm?first",
                                                        L"file:///C:/Zeltra%20Test/cvredir.htm?second"}));
}

TEST_F(ButtonPress, NothingSelectedNavigatesToThePageAloneAndEmptiesTheSelection) {
    session.module.strSelection = L"earlier";
    press();
    EXPECT_EQ(navigations(), std::vector<std::wstring>{L"file:///C:/Zeltra%20Test/cvredir.htm?"});
    EXPECT_EQ(session.module.strSelection, L"");
    EXPECT_EQ(desktop.clipboard, usersClipboard);
}

TEST_F(ButtonPress, WithoutAnInstallationEachPressWarnsAndTouchesNothing) {
    session.module.strRedirPage.clear();
    desktop.editorSelection = L"word";
    const std::uint32_t sequence = desktop.sequenceNumber;
    EXPECT_TRUE(press().empty());
    EXPECT_TRUE(press().empty());
    EXPECT_EQ(desktop.messageBoxes.size(), 2u);
    EXPECT_EQ(desktop.messageBoxes[0].title, L"Corvane Zeltra Add-in");
    EXPECT_TRUE(navigations().empty());
    EXPECT_EQ(desktop.sequenceNumber, sequence) << "the clipboard is not touched";
    EXPECT_EQ(desktop.copiesSent, 0);
}

TEST_F(ButtonPress, AClipboardHeldByAnotherProgramEndsThePressQuietly) {
    desktop.editorSelection = L"word";
    desktop.clipboardLocked = true;
    EXPECT_TRUE(press().empty()) << "no error goes back into the host's event";
    EXPECT_TRUE(navigations().empty());
    EXPECT_EQ(desktop.copiesSent, 0);
    EXPECT_TRUE(desktop.messageBoxes.empty());
}

TEST_F(ButtonPress, AClearThatFailsPutsTheClipboardBackAndNavigatesNothing) {
    desktop.editorSelection = L"word";
    desktop.clearFails = true;
    EXPECT_TRUE(press().empty());
    EXPECT_TRUE(navigations().empty());
    EXPECT_EQ(desktop.clipboard, usersClipboard);
}

TEST_F(ButtonPress, AClipboardThatCannotBeGivenBackNavigatesNothing) {
    desktop.editorSelection = L"word";
    desktop.opens = 0;
    desktop.clipboardLockedAfterOpens = 3;  // save, clear, read; then every restore fails
    EXPECT_TRUE(press().empty());
    EXPECT_TRUE(navigations().empty());
}

// Outlook's loop runs while the copy is awaited; what arrives meanwhile must not run a capture of
// its own over the one that is waiting.
TEST_F(ButtonPress, ASecondPressDuringTheCaptureIsIgnored) {
    desktop.editorSelection = L"Alpha";
    desktop.whileCopying = [&] {  // a double click
        model.click(*button);
        EXPECT_TRUE(model.takeEventFailures().empty());
    };
    EXPECT_TRUE(press().empty());
    EXPECT_EQ(navigations(), std::vector<std::wstring>{L"file:///C:/Zeltra%20Test/cvredir.htm?alpha"});
    EXPECT_EQ(desktop.copiesSent, 1);
    EXPECT_EQ(desktop.clipboard, usersClipboard);
}

TEST_F(ButtonPress, AnItemWindowOpenedDuringTheCaptureGetsItsButtonOnceTheCaptureIsOver) {
    desktop.editorSelection = L"Alpha";
    Node* second = nullptr;
    desktop.whileCopying = [&] {
        second = &model.openInspector(43, L"second");
        EXPECT_EQ(fakes::zeltraButton(model, *second), nullptr)
            << "its face would go through the clipboard the capture is using";
    };
    press();
    EXPECT_EQ(navigations(), std::vector<std::wstring>{L"file:///C:/Zeltra%20Test/cvredir.htm?alpha"});
    ASSERT_NE(second, nullptr);
    const Node* made = fakes::zeltraButton(model, *second);
    ASSERT_NE(made, nullptr);
    EXPECT_FALSE(made->control.face.empty());
    EXPECT_EQ(desktop.clipboard, usersClipboard);
}

TEST_F(ButtonPress, ADisconnectionDuringTheCaptureLaunchesNothingAndLeavesNothing) {
    desktop.editorSelection = L"Alpha";
    desktop.whileCopying = [&] {
        EXPECT_EQ(session.onDisconnection(fakes::ext_dm_UserClosed), host::hresult::ok);
        session.connect.reset();
    };
    EXPECT_TRUE(press().empty());
    EXPECT_TRUE(navigations().empty());
    EXPECT_EQ(session.form->loads, 1) << "the form is not made again after the add-in's end";
    EXPECT_EQ(session.form->unloads, 1);
    EXPECT_EQ(desktop.copiesCancelled, 1) << "the wait ends with the add-in, its keys taken back";
    EXPECT_EQ(desktop.clipboard, usersClipboard) << "the user's clipboard is back";
}

TEST_F(ButtonPress, AClipboardThatCannotAllBeSavedIsLeftUntouchedAndThePressEndsQuietly) {
    desktop.editorSelection = L"word";
    desktop.saveFails = host::hresult::clipboardNotSaved;
    const std::uint32_t sequence = desktop.sequenceNumber;
    EXPECT_TRUE(press().empty()) << "no error goes back into the host's event";
    EXPECT_TRUE(navigations().empty());
    EXPECT_EQ(desktop.copiesSent, 0);
    EXPECT_EQ(desktop.sequenceNumber, sequence) << "not even emptied";
    EXPECT_EQ(desktop.clipboard, usersClipboard);
    EXPECT_TRUE(desktop.guardCalls.empty()) << "nothing to look after";
    EXPECT_TRUE(desktop.messageBoxes.empty());
}

// What the capture hands to the desktop's guard once it has put the user's content back.
struct Guarded : ButtonPress {
    // Puts back what the guard was given, as the guard would, over whatever is there now.
    void guardRestores() {
        ASSERT_EQ(desktop.guardCalls.size(), 1u);
        desktop.clipboardLocked = false;
        desktop.clipboardLockedAfterOpens.reset();
        desktop.setClipboard({{L"CF_UNICODETEXT", fakes::FakeDesktop::textBytes(L"late copy")}});
        desktop.restoreClipboard(*desktop.guardCalls[0].saved);
    }
};

TEST_F(Guarded, ACopyThatArrivedLeavesNothingOutstandingAndTheSavedContentIsTheUsers) {
    desktop.editorSelection = L"word";
    press();
    ASSERT_EQ(desktop.guardCalls.size(), 1u);
    EXPECT_TRUE(desktop.guardCalls[0].restored);
    EXPECT_FALSE(desktop.guardCalls[0].copyOutstanding);
    EXPECT_EQ(desktop.guardsEnded, 0) << "the add-in ends the guard only when it goes";
    guardRestores();
    EXPECT_EQ(desktop.clipboard, usersClipboard);
}

TEST_F(Guarded, ACopyThatHasNotArrivedIsOutstanding) {
    press();
    ASSERT_EQ(desktop.guardCalls.size(), 1u);
    EXPECT_TRUE(desktop.guardCalls[0].restored);
    EXPECT_TRUE(desktop.guardCalls[0].copyOutstanding);
}

TEST_F(Guarded, ARestoreThatFailsIsLeftToTheGuardAndNavigatesNothing) {
    desktop.editorSelection = L"word";
    desktop.opens = 0;
    desktop.clipboardLockedAfterOpens = 3;  // save, clear, read; then every restore fails
    press();
    EXPECT_TRUE(navigations().empty());
    ASSERT_EQ(desktop.guardCalls.size(), 1u);
    EXPECT_FALSE(desktop.guardCalls[0].restored);
    EXPECT_FALSE(desktop.guardCalls[0].copyOutstanding);
    guardRestores();
    EXPECT_EQ(desktop.clipboard, usersClipboard);
}

TEST_F(Guarded, AClearThatFailsSendsNoCopySoNoneIsOutstanding) {
    desktop.editorSelection = L"word";
    desktop.clearFails = true;
    press();
    EXPECT_EQ(desktop.copiesSent, 0);
    ASSERT_EQ(desktop.guardCalls.size(), 1u);
    EXPECT_TRUE(desktop.guardCalls[0].restored);
    EXPECT_FALSE(desktop.guardCalls[0].copyOutstanding);
}

// Another program's copy during the capture is the user's newer content: it is never overwritten
// with the content saved before it.
TEST_F(ButtonPress, AnotherProgramsCopyDuringTheWaitStaysAndNothingIsLaunched) {
    desktop.editorSelection = L"word";
    const fakes::ClipboardData theirs = {{L"CF_UNICODETEXT", fakes::FakeDesktop::textBytes(L"theirs")}};
    desktop.copiedMeanwhile = theirs;
    EXPECT_TRUE(press().empty());
    EXPECT_TRUE(navigations().empty());
    EXPECT_EQ(desktop.clipboard, theirs);
    // The window's copy may still land: the guard keeps the newer content, not the user's older one.
    ASSERT_EQ(desktop.guardCalls.size(), 1u);
    EXPECT_TRUE(desktop.guardCalls[0].copyOutstanding);
    desktop.setClipboard({{L"CF_UNICODETEXT", fakes::FakeDesktop::textBytes(L"late copy")}});
    desktop.restoreClipboard(*desktop.guardCalls[0].saved);
    EXPECT_EQ(desktop.clipboard, theirs);
}

TEST_F(ButtonPress, AnotherProgramsCopyBeforeTheChordSendsNoKeysAndStays) {
    desktop.editorSelection = L"word";
    const fakes::ClipboardData theirs = {{L"CF_UNICODETEXT", fakes::FakeDesktop::textBytes(L"theirs")}};
    desktop.copiedBeforeTheChord = theirs;
    EXPECT_TRUE(press().empty());
    EXPECT_EQ(desktop.copiesSent, 0) << "the window's copy would overwrite it";
    EXPECT_TRUE(navigations().empty());
    EXPECT_EQ(desktop.clipboard, theirs);
    EXPECT_TRUE(desktop.guardCalls.empty());
}

TEST_F(ButtonPress, AnotherProgramsCopyWhileTheClipboardIsSavedIsNotEmptied) {
    desktop.editorSelection = L"word";
    const fakes::ClipboardData theirs = {{L"CF_UNICODETEXT", fakes::FakeDesktop::textBytes(L"theirs")}};
    desktop.copiedWhileSaving = theirs;
    EXPECT_TRUE(press().empty());
    EXPECT_TRUE(navigations().empty());
    EXPECT_EQ(desktop.copiesSent, 0);
    EXPECT_EQ(desktop.clipboard, theirs);
}

// As the copy is read: what was read may be the other program's, so nothing is launched.
TEST_F(ButtonPress, AnotherProgramsCopyAsTheCopyIsReadStaysAndNothingIsLaunched) {
    desktop.editorSelection = L"word";
    const fakes::ClipboardData theirs = {{L"CF_UNICODETEXT", fakes::FakeDesktop::textBytes(L"theirs")}};
    desktop.copiedAfterTheCopy = theirs;
    EXPECT_TRUE(press().empty());
    EXPECT_TRUE(navigations().empty());
    EXPECT_EQ(desktop.clipboard, theirs);
    EXPECT_TRUE(desktop.guardCalls.empty());
}

// The launch comes from Outlook's loop, long after the Click event returned: a browser control that
// refuses the address launches nothing and reports to nobody.
TEST_F(ButtonPress, ABrowserThatRefusesTheAddressLaunchesNothingAndTheClipboardComesBack) {
    desktop.editorSelection = L"word";
    session.form->navigateFails = true;
    EXPECT_TRUE(press().empty());
    EXPECT_TRUE(navigations().empty());
    EXPECT_EQ(desktop.clipboard, usersClipboard);
    desktop.editorSelection = L"again";
    session.form->navigateFails = false;
    press();
    EXPECT_EQ(navigations(), std::vector<std::wstring>{L"file:///C:/Zeltra%20Test/cvredir.htm?again"})
        << "the next press works";
}

}  // namespace
