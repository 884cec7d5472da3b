// The first-run welcome at start-up completion and the welcome form's handlers, over the fakes.
#include <gtest/gtest.h>

#include <algorithm>

#include "modules/get_corvane.h"
#include "tests/fakes/host_fixture.h"

namespace {

using fakes::Session;

const std::wstring machineFlag = L"HKLM\\Software\\Corvane\\Zeltra\\MSOAO";
const std::wstring perUserInstallationFlag = L"HKCU\\Software\\Corvane\\Zeltra\\MSOAO";

// Each start of the host: a new component over the same registry, its flag read afresh.
struct Starts {
    fakes::FakeRegistry registry;
    std::map<std::wstring, std::wstring> userValues;
    zeltra::InstallationScope scope = zeltra::InstallationScope::machine;

    // Starts a session, reporting whether the welcome was shown.
    bool welcomeShown() {
        Session session;
        session.registry = registry;
        session.keys.userValues = userValues;
        session.module.installationScope = scope;
        const std::wstring& flag = scope == zeltra::InstallationScope::machine ? machineFlag : perUserInstallationFlag;
        session.module.strMSOAO = registry.values.count(flag) ? registry.values.at(flag).toText() : L"";
        session.model.openExplorer();
        EXPECT_EQ(session.onConnection(), host::hresult::ok);
        EXPECT_EQ(session.connect->AddinInstance_OnStartupComplete(), host::hresult::ok);
        // Outlook times its start-up: the welcome waits for the thread's message loop.
        EXPECT_EQ(session.form->shows, 0);
        session.desktop.runPostedTasks();
        registry = session.registry;
        userValues = session.keys.userValues;
        session.disconnectAndExpectNothingHeld();
        return session.form->shows == 1;
    }
};

TEST(FirstRunWelcome, IsShownOnceAndTheFlagIsThenZeroMachineWideAndForTheUser) {
    Starts starts;
    starts.registry.values[machineFlag] = host::Variant(L"1");
    EXPECT_TRUE(starts.welcomeShown());
    EXPECT_EQ(starts.registry.values[machineFlag], host::Variant(L"0"));
    EXPECT_EQ(starts.userValues[L"MSOAO"], L"0");
    EXPECT_FALSE(starts.welcomeShown());
}

// The welcome is modal to Outlook's window in front, as a dialog box is; without an attached
// Outlook (no window open at the connection) it is shown on its own.
TEST(FirstRunWelcome, IsModalToOutlooksActiveWindowAndToNoneWithoutOne) {
    Session session;
    session.module.strMSOAO = L"1";
    session.model.openExplorer();
    sim::Node& mail = session.model.openInspector(43, L"mail");
    ASSERT_EQ(session.onConnection(), host::hresult::ok);
    ASSERT_EQ(session.connect->AddinInstance_OnStartupComplete(), host::hresult::ok);
    session.desktop.runPostedTasks();
    EXPECT_EQ(session.form->owners, std::vector<std::uintptr_t>{reinterpret_cast<std::uintptr_t>(&mail)})
        << "the item window in front, through its IOleWindow";
    session.disconnectAndExpectNothingHeld();

    Session alone;
    alone.module.strMSOAO = L"1";
    ASSERT_EQ(alone.onConnection(), host::hresult::ok);
    ASSERT_EQ(alone.connect->AddinInstance_OnStartupComplete(), host::hresult::ok);
    alone.desktop.runPostedTasks();
    EXPECT_EQ(alone.form->owners, std::vector<std::uintptr_t>{0});
    alone.disconnectAndExpectNothingHeld();
}

// A standard user cannot write below HKLM: the user's record ends the welcome, until the
// installer writes the machine-wide values anew.
TEST(FirstRunWelcome, WithTheMachineFlagReadOnlyEachInstallationWelcomesTheUserOnce) {
    Starts starts;
    starts.registry.values[machineFlag] = host::Variant(L"1");
    starts.registry.failures[machineFlag] = host::hresult::accessDenied;
    EXPECT_TRUE(starts.welcomeShown());
    EXPECT_EQ(starts.registry.values[machineFlag], host::Variant(L"1"));
    EXPECT_FALSE(starts.welcomeShown());
    EXPECT_FALSE(starts.welcomeShown());

    ++starts.registry.productKeyWritten;  // a new installation
    EXPECT_TRUE(starts.welcomeShown());
    EXPECT_FALSE(starts.welcomeShown());
}

// The per-user package's flag lives in the user's own key: writing it back is the user's record,
// and nothing is written machine-wide.
TEST(FirstRunWelcome, OfAPerUserInstallationIsShownOnceAndOnlyItsFlagIsWritten) {
    Starts starts;
    starts.scope = zeltra::InstallationScope::user;
    starts.registry.values[perUserInstallationFlag] = host::Variant(L"1");
    EXPECT_TRUE(starts.welcomeShown());
    EXPECT_EQ(starts.registry.values[perUserInstallationFlag], host::Variant(L"0"));
    ASSERT_EQ(starts.registry.writes.size(), 1u);
    EXPECT_EQ(starts.registry.writes[0].first, perUserInstallationFlag);
    EXPECT_TRUE(starts.userValues.empty()) << "the installation's key is the user's: no second record in it";
    EXPECT_FALSE(starts.welcomeShown());
}

TEST(FirstRunWelcome, OfAPerUserInstallationIgnoresTheRecordOfAMachineWideOne) {
    Starts starts;
    starts.scope = zeltra::InstallationScope::user;
    starts.registry.values[perUserInstallationFlag] = host::Variant(L"1");
    starts.userValues = {{L"MSOAO", L"0"}, {L"Installation", L"0000000000000001"}};  // as the machine's left it
    EXPECT_TRUE(starts.welcomeShown());
}

TEST(FirstRunWelcome, OnlyTheExactTextOneShowsItAndNothingIsWrittenOtherwise) {
    for (const std::wstring flag : {L"", L"0", L"01", L" 1", L"1 ", L"yes"}) {
        Session session;
        session.module.strMSOAO = flag;
        EXPECT_EQ(session.connect->AddinInstance_OnStartupComplete(), host::hresult::ok);
        EXPECT_EQ(session.form->shows, 0) << "flag \"" << std::string(flag.begin(), flag.end()) << "\"";
        EXPECT_TRUE(session.registry.writes.empty());
        EXPECT_TRUE(session.keys.userValues.empty());
    }
}

TEST(FirstRunWelcome, AShowThatFailsResetsNothing) {
    Session session;
    session.module.strMSOAO = L"1";
    session.form->showFails = true;
    ASSERT_EQ(session.onConnection(), host::hresult::ok);
    EXPECT_EQ(session.connect->AddinInstance_OnStartupComplete(), host::hresult::ok);
    session.desktop.runPostedTasks();
    EXPECT_TRUE(session.registry.writes.empty());
    EXPECT_TRUE(session.keys.userValues.empty());
}

TEST(FirstRunWelcome, IsNotShownWhenTheAddInIsDisconnectedBeforeItsTurnComes) {
    Session session;
    session.module.strMSOAO = L"1";
    session.model.openExplorer();
    ASSERT_EQ(session.onConnection(), host::hresult::ok);
    EXPECT_EQ(session.connect->AddinInstance_OnStartupComplete(), host::hresult::ok);
    session.disconnectAndExpectNothingHeld();
    EXPECT_TRUE(session.desktop.postedTasks.empty());
    EXPECT_EQ(session.form->loads, 0);
    EXPECT_TRUE(session.registry.writes.empty());
}

// While the welcome is up the user unticks the add-in, or Outlook exits and only releases it:
// the welcome closes, the form goes, and nothing of the released add-in is touched.
struct WelcomeCutShort : testing::TestWithParam<bool /* OnDisconnection called */> {};

TEST_P(WelcomeCutShort, ByTheAddInsEndClosesTheFormAndLeavesNothingHeld) {
    Session session;
    session.module.strMSOAO = L"1";
    session.model.openExplorer();
    ASSERT_EQ(session.onConnection(), host::hresult::ok);
    session.model.openInspector(43, L"mail");
    EXPECT_EQ(session.connect->AddinInstance_OnStartupComplete(), host::hresult::ok);
    session.form->whileShown = [&](zeltra::FormEvents&) {
        if (GetParam()) {
            EXPECT_EQ(session.onDisconnection(fakes::ext_dm_UserClosed), host::hresult::ok);
        }
        session.connect.reset();
    };
    session.desktop.runPostedTasks();
    EXPECT_EQ(session.form->shows, 1);
    EXPECT_EQ(session.form->unloads, 1);
    EXPECT_FALSE(session.component.connected());
    EXPECT_TRUE(session.model.referencesHeld().empty());
    EXPECT_EQ(session.model.connectionCount(), 0u);
    EXPECT_EQ(session.registry.values[machineFlag], host::Variant(L"0")) << "the welcome was seen";
}
INSTANTIATE_TEST_SUITE_P(Ends, WelcomeCutShort, testing::Values(true, false),
                         [](const auto& end) { return end.param ? "Disconnected" : "ReleasedOnly"; });

// The user follows the link while the welcome is shown: the version page opens and the form hides.
TEST(WelcomeForm, TheLinkOpensTheVersionPageAndHidesTheForm) {
    Session session;
    session.module.strMSOAO = L"1";
    session.form->whileShown = [](zeltra::FormEvents& form) { form.Text1_Click(); };
    ASSERT_EQ(session.onConnection(), host::hresult::ok);
    EXPECT_EQ(session.connect->AddinInstance_OnStartupComplete(), host::hresult::ok);
    session.desktop.runPostedTasks();
    EXPECT_EQ(session.desktop.shellOpens, std::vector<std::wstring>{L"https://www.corvane.example/version/zl10"});
    EXPECT_EQ(session.form->hides, 1);
}

TEST(WelcomeForm, TheLinkLooksHoveredUntilThePointerReachesTheFormItself) {
    Session session;
    session.form->whileShown = [&](zeltra::FormEvents& form) {
        form.Text1_MouseMove();
        EXPECT_TRUE(session.form->text1Underlined);
        EXPECT_EQ(session.form->text1Colour, 0xFF0000u);
        form.Form_MouseMove();
    };
    session.component.frmAddIn().Show(0);
    EXPECT_FALSE(session.form->text1Underlined);
    EXPECT_EQ(session.form->text1Colour, 0xFFFFFFu);
}

TEST(WelcomeForm, OkShowsTheRedirectPageAndTheLastCapture) {
    Session session;
    session.module.strRedirPage = L"D:\\Tools\\Z\\cvredir.htm";
    session.form->whileShown = [&](zeltra::FormEvents& form) {
        form.OKButton_Click();
        session.module.strSelection = L"hello";
        form.OKButton_Click();
    };
    session.component.frmAddIn().Show(0);
    ASSERT_EQ(session.desktop.messageBoxes.size(), 2u);
    EXPECT_EQ(session.desktop.messageBoxes[0].prompt, L"URL: D:\\Tools\\Z\\cvredir.htm\r\nTest: ");
    EXPECT_EQ(session.desktop.messageBoxes[1].prompt, L"URL: D:\\Tools\\Z\\cvredir.htm\r\nTest: hello");
    EXPECT_EQ(session.desktop.messageBoxes[1].style, 0u);
    EXPECT_EQ(session.desktop.messageBoxes[1].title, L"Corvane Zeltra");
}

TEST(WelcomeForm, GetNowCapturesFromTheActiveItemWindowThroughItsOwnApplicationObject) {
    Session session;
    session.module.strRedirPage = L"C:\\Z\\cvredir.htm";
    ASSERT_EQ(session.onConnection(), host::hresult::ok);
    session.model.openInspector(43, L"alpha beta");
    session.desktop.editorSelection = L"alpha";
    session.form->whileShown = [](zeltra::FormEvents& form) { form.GetNow_Click(); };
    session.component.frmAddIn().Show(0);
    session.desktop.runMessageLoop();  // the copy comes through Outlook's loop
    EXPECT_EQ(session.module.strSelection, L"alpha");
    const auto calls = session.traced(sim::TraceEntry::Type::AddInCall);
    EXPECT_NE(std::find(calls.begin(), calls.end(), L"Application.ActiveInspector"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), L"Inspector 1.Activate"), calls.end());
    // The form's application object goes with the disconnection.
    session.disconnectAndExpectNothingHeld();
}

TEST(WelcomeForm, GetNowWithoutAnItemWindowDoesNothingAndWithoutAnInstallationWarns) {
    Session session;
    session.form->whileShown = [](zeltra::FormEvents& form) { form.GetNow_Click(); };
    session.component.frmAddIn().Show(0);
    ASSERT_EQ(session.desktop.messageBoxes.size(), 1u);
    EXPECT_EQ(session.desktop.messageBoxes[0].title, L"Corvane Zeltra Add-in");

    session.module.strRedirPage = L"C:\\Z\\cvredir.htm";
    session.component.frmAddIn().Show(0);
    EXPECT_EQ(session.desktop.messageBoxes.size(), 1u);
    EXPECT_EQ(session.desktop.copiesSent, 0);
}

TEST(OpenURL, AnEmptyAddressBecomesTheDefaultPageInTheCallersStringToo) {
    fakes::FakeDesktop desktop;
    std::wstring address;
    zeltra::OpenURL(desktop, address);
    EXPECT_EQ(address, L"https://www.corvane.example/apps/cvmail.html");
    std::wstring given = L"https://example.org/\u65E5\u672C";
    zeltra::OpenURL(desktop, given);
    EXPECT_EQ(desktop.shellOpens, (std::vector<std::wstring>{address, L"https://example.org/\u65E5\u672C"}));
}

}  // namespace
