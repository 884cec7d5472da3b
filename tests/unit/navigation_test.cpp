// The hidden browser control's guard: only the redirect page stays; web addresses go to the
// user's browser; anything else goes nowhere.
#include <gtest/gtest.h>

#include "forms/navigation.h"
#include "modules/mod_outlook.h"
#include "tests/fakes/host_fixture.h"

namespace {

using zeltra::Navigation;

const std::wstring page = L"C:\\Zeltra Test\\cvredir.htm";

TEST(Navigation, OnlyTheRedirectPageStaysAndOnlyWebAddressesAreHandedOn) {
    const std::pair<std::wstring, Navigation> cases[] = {
        {L"file:///C:/Zeltra%20Test/cvredir.htm?hello%20world", Navigation::Allow},  // as the add-in sends it
        {L"C:\\Zeltra Test\\cvredir.htm?hello%20world", Navigation::Allow},          // as Wine reports it
        {L"file://c:\\zeltra test\\CVREDIR.HTM#top", Navigation::Allow},
        {L"file:///C:/Zeltra%20Test/other.htm", Navigation::Drop},
        {L"file:///C:/Zeltra%20Test/cvredir.htm.evil/x", Navigation::Drop},
        {L"C:\\Windows\\notepad.exe", Navigation::Drop},
        {L"https://example.org/", Navigation::HandOff},
        {L"HTTP://example.org/a?b=c", Navigation::HandOff},
        {L"javascript:alert(1)", Navigation::Drop},
        {L"about:blank", Navigation::Drop},
        {L"mailto:a@example.org", Navigation::Drop},
        {L"ftp://example.org/", Navigation::Drop},
        {L"", Navigation::Drop},
    };
    for (const auto& [url, verdict] : cases)
        EXPECT_EQ(zeltra::judgeNavigation(url, page, false), verdict) << std::string(url.begin(), url.end());
    EXPECT_EQ(zeltra::judgeNavigation(L"file:///C:/Zeltra%20Test/cvredir.htm", page, true), Navigation::Drop)
        << "a new window never stays";
    EXPECT_EQ(zeltra::judgeNavigation(L"cvredir.htm", L"", false), Navigation::Drop) << "no installation";
    // The folder as read, with a trailing backslash, composes a doubled one.
    EXPECT_EQ(zeltra::judgeNavigation(L"file:///D:/Tools/Z/cvredir.htm?x", L"D:\\Tools\\Z\\\\cvredir.htm", false),
              Navigation::Allow);
}

// A folder whose name an address reads differently unescaped (a per-user installation below
// C:\Users\j#doe or C:\Users\Zoë): the page is known by the file its address names.
TEST(Navigation, ThePageInAFolderOfAnyNameIsKnownByThePathItsAddressNames) {
    for (const std::wstring folder : {L"C:\\Users\\j#doe\\AppData\\Local\\Programs\\Corvane\\Zeltra",
                                      L"C:\\Users\\Zo\u00EB", L"D:\\100% sure\\%41", L"\\\\server\\share\\Zeltra"}) {
        const std::wstring redirectPage = folder + L"\\cvredir.htm";
        const std::string name(folder.begin(), folder.end());
        const std::wstring address = zeltra::launchAddress(redirectPage, L"Hello World");
        EXPECT_EQ(zeltra::judgeNavigation(address, redirectPage, false), Navigation::Allow) << name;
        // As Wine's control reports it: the path, the query unescaped too.
        EXPECT_EQ(zeltra::judgeNavigation(redirectPage + L"?hello world", redirectPage, false), Navigation::Allow)
            << name;
        EXPECT_EQ(zeltra::judgeNavigation(folder + L"\\other.htm?x", redirectPage, false), Navigation::Drop) << name;
    }
    const std::wstring hashPage = L"C:\\Users\\j#doe\\cvredir.htm";
    // The address written by hand, as the add-in once did: a "#" of the folder begins a fragment.
    EXPECT_EQ(zeltra::judgeNavigation(L"file:///C:/Users/j#doe/cvredir.htm?x", hashPage, false), Navigation::Drop);
    EXPECT_EQ(zeltra::judgeNavigation(L"file:///C:/Users/j%23doe/cvredir.htm#doe", hashPage, false), Navigation::Allow);
    EXPECT_EQ(zeltra::judgeNavigation(L"file:///C:/Users/j%23doe/CVREDIR.HTM", hashPage, false), Navigation::Allow);
}

// The shell puts the address on the browser's command line: a quote would end the argument there.
TEST(Navigation, AWebAddressWithAQuoteOrAControlCharacterIsDroppedNotHandedOn) {
    const std::pair<std::wstring, Navigation> cases[] = {
        {L"https://example.org/a\"b", Navigation::Drop},
        {L"https://example.org/\" --new-window file:///c:/", Navigation::Drop},
        {L"https://example.org/a\r\nb", Navigation::Drop},
        {L"https://example.org/\ta", Navigation::Drop},
        {std::wstring(L"https://example.org/a") + L'\0' + L"b", Navigation::Drop},
        {L"https://example.org/\x1F", Navigation::Drop},
        {L"https://example.org/\x7F", Navigation::Drop},
        {L"https://example.org/\x80", Navigation::Drop},
        {L"http://example.org/\x85", Navigation::Drop},  // NEL
        {L"https://example.org/\x9F", Navigation::Drop},
        // Around them: what an address may hold.
        {L"https://example.org/ a", Navigation::HandOff},
        {L"https://example.org/~", Navigation::HandOff},
        {L"https://example.org/\u00A0caf\u00E9", Navigation::HandOff},
        {L"https://example.org/it's", Navigation::HandOff},
    };
    for (const auto& [url, verdict] : cases) {
        EXPECT_EQ(zeltra::judgeNavigation(url, page, false), verdict) << std::string(url.begin(), url.end());
        EXPECT_EQ(zeltra::judgeNavigation(url, page, true), verdict) << "new window";
    }
}

struct BrowserEvents : testing::Test {
    fakes::Session session;
    host::Object browser;
    void SetUp() override {
        session.module.strRedirPage = page;
        browser = session.component.frmAddIn().webBrowser1();
        ASSERT_TRUE(session.form->browserEvents);
    }
    // Raises BeforeNavigate2 for the top frame; returns Cancel as the handler left it.
    bool navigateTopFrame(const std::wstring& url) {
        std::vector<host::Variant> args = {host::Variant(browser), host::Variant(url), 0, L"", {}, L"", false};
        session.form->browserEvents(250, args);
        return args[6] == host::Variant(true);
    }
};

TEST_F(BrowserEvents, AWebAddressIsCancelledHereAndOpenedInTheUsersBrowser) {
    EXPECT_FALSE(navigateTopFrame(L"C:\\Zeltra Test\\cvredir.htm?x"));
    EXPECT_TRUE(navigateTopFrame(L"https://example.org/"));
    EXPECT_TRUE(navigateTopFrame(L"javascript:alert(1)"));
    EXPECT_EQ(session.desktop.shellOpens, std::vector<std::wstring>{L"https://example.org/"});
}

TEST_F(BrowserEvents, TheControlIsSilentAndItsGuardFailsClosed) {
    EXPECT_TRUE(session.form->silent) << "no script error box from a hidden window";
    EXPECT_EQ(session.form->browserEventsOnFailure, host::OnFailedDelivery::Cancel);
}

TEST_F(BrowserEvents, NewWindowsAreAlwaysCancelledAndWebAddressesHandedOn) {
    for (const std::wstring url : {L"https://example.org/new", L"file:///C:/Zeltra%20Test/cvredir.htm"}) {
        std::vector<host::Variant> args = {{}, false, 0, L"", url};
        session.form->browserEvents(273, args);
        EXPECT_EQ(args[1], host::Variant(true));
    }
    EXPECT_EQ(session.desktop.shellOpens, std::vector<std::wstring>{L"https://example.org/new"});
}

}  // namespace
