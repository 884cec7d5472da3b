#include <gtest/gtest.h>

#include "modules/mod_outlook.h"
#include "tests/fakes/system_fakes.h"

namespace {

constexpr host::HResult accessDenied = static_cast<host::HResult>(0x80070005);
const std::wstring warningText =
    L"Corvane Zeltra Add-in was not able\r\nto locate the installation folder.\r\n\r\n"
    L"Please re-install Corvane Zeltra or \r\nvisit zeltra.example for support.";

struct StartUp : testing::Test {
    fakes::FakeDesktop desktop;
    fakes::FakeRegistry registry;
    fakes::FakeObjectFactory objects{registry};
    zeltra::ModOutlook module;

    void setFolder(host::Variant value) { registry.values[zeltra::installationFolderValue] = std::move(value); }
    void setFlag(host::Variant value) { registry.values[zeltra::welcomeFlagValue] = std::move(value); }
    void setUserFolder(host::Variant value) { registry.values[zeltra::userInstallationFolderValue] = std::move(value); }
    void setUserFlag(host::Variant value) { registry.values[zeltra::userWelcomeFlagValue] = std::move(value); }
    void runMain() {
        zeltra::Main(module, desktop, objects);
        EXPECT_EQ(*objects.liveShells, 0) << "the shell object is released when Main ends";
    }
    void expectOneWarning() {
        ASSERT_EQ(desktop.messageBoxes.size(), 1u);
        EXPECT_EQ(desktop.messageBoxes[0].prompt, warningText);
        EXPECT_EQ(desktop.messageBoxes[0].style, 48u);
        EXPECT_EQ(desktop.messageBoxes[0].title, L"Corvane Zeltra Add-in");
    }
};

TEST_F(StartUp, AFolderBecomesTheRedirectPagePathWithoutAWarning) {
    setFolder(L"D:\\Tools\\Z");
    runMain();
    EXPECT_EQ(module.strRedirPage, L"D:\\Tools\\Z\\cvredir.htm");
    EXPECT_TRUE(desktop.messageBoxes.empty());
    EXPECT_EQ(desktop.commonControlsRegistered, std::vector<std::uint32_t>{0x200});
    EXPECT_EQ(objects.shellsCreated, 1) << "one shell object serves both reads";
}

TEST_F(StartUp, ATrailingBackslashIsKept) {
    setFolder(L"D:\\Tools\\Z\\");
    runMain();
    EXPECT_EQ(module.strRedirPage, L"D:\\Tools\\Z\\\\cvredir.htm");
}

TEST_F(StartUp, ANumericFolderValueReadsAsItsDecimalText) {
    setFolder(std::int32_t{7});
    runMain();
    EXPECT_EQ(module.strRedirPage, L"7\\cvredir.htm");
}

// Each leaves the path empty and shows the warning exactly once.
struct MissingInstallation : StartUp, testing::WithParamInterface<const char*> {};

TEST_P(MissingInstallation, WarnsOnceAndLeavesThePathEmpty) {
    const std::string how = GetParam();
    if (how == "empty") setFolder(L"");
    if (how == "not text") setFolder(host::Variant::null());
    if (how == "access denied") {
        setFolder(L"D:\\Tools\\Z");
        registry.failures[zeltra::installationFolderValue] = accessDenied;
    }
    if (how == "no shell") {
        setFolder(L"D:\\Tools\\Z");
        objects.shellAvailable = false;
    }
    runMain();
    EXPECT_EQ(module.strRedirPage, L"");
    expectOneWarning();
}

INSTANTIATE_TEST_SUITE_P(Cases, MissingInstallation,
                         testing::Values("missing", "empty", "not text", "access denied", "no shell"),
                         [](const auto& param) {
                             std::string name = param.param;
                             for (char& c : name) if (c == ' ') c = '_';
                             return name;
                         });

TEST_F(StartUp, AWarningThatCannotBeShownEndsMainQuietly) {
    desktop.messageBoxFails = true;
    runMain();  // Main runs in resume-next mode: nothing leaves it
    EXPECT_EQ(module.strRedirPage, L"");
}

struct FlagCase {
    const char* name;
    host::Variant stored;
    std::wstring read;
};

struct WelcomeFlag : StartUp, testing::WithParamInterface<FlagCase> {};

TEST_P(WelcomeFlag, ReadsAsAutomationConvertsIt) {
    setFolder(L"C:\\Zeltra");
    if (!GetParam().stored.isEmpty()) setFlag(GetParam().stored);
    runMain();
    EXPECT_EQ(module.strMSOAO, GetParam().read);
    EXPECT_EQ(module.strRedirPage, L"C:\\Zeltra\\cvredir.htm") << "the flag does not disturb the folder";
}

INSTANTIATE_TEST_SUITE_P(Values, WelcomeFlag,
                         testing::Values(FlagCase{"text_1", L"1", L"1"}, FlagCase{"dword_1", std::int32_t{1}, L"1"},
                                         FlagCase{"leading_zero", L"01", L"01"},
                                         FlagCase{"leading_blank", L" 1", L" 1"}, FlagCase{"yes", L"yes", L"yes"},
                                         FlagCase{"missing", host::Variant(), L""},
                                         FlagCase{"not_text", host::Variant::null(), L""}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(StartUp, ResettingTheFlagWritesTheTextZeroWithoutAType) {
    setFlag(std::int32_t{1});
    zeltra::ResetMSOAO(module, objects);
    ASSERT_EQ(registry.writes.size(), 1u);
    EXPECT_EQ(registry.writes[0].first, zeltra::welcomeFlagValue);
    EXPECT_EQ(registry.writes[0].second, host::Variant(L"0")) << "a string, not the number 0";
    EXPECT_EQ(*objects.liveShells, 0);
}

TEST_F(StartUp, AFlagThatCannotBeWrittenIsLeftQuietly) {
    setFlag(L"1");
    registry.failures[zeltra::welcomeFlagValue] = accessDenied;
    zeltra::ResetMSOAO(module, objects);
    EXPECT_EQ(registry.values[zeltra::welcomeFlagValue], host::Variant(L"1"));
    objects.shellAvailable = false;
    zeltra::ResetMSOAO(module, objects);  // nothing to report either
    EXPECT_TRUE(registry.writes.empty());
}

// The per-user package writes the same values below HKCU, and nothing below HKLM.
TEST_F(StartUp, WithoutAMachineWideFolderThePerUserInstallationIsRead) {
    setUserFolder(L"C:\\Users\\Ann\\AppData\\Local\\Programs\\Corvane\\Zeltra");
    setUserFlag(L"1");
    runMain();
    EXPECT_EQ(module.strRedirPage, L"C:\\Users\\Ann\\AppData\\Local\\Programs\\Corvane\\Zeltra\\cvredir.htm");
    EXPECT_EQ(module.strMSOAO, L"1");
    EXPECT_EQ(module.installationScope, zeltra::InstallationScope::user);
    EXPECT_TRUE(desktop.messageBoxes.empty());
    EXPECT_EQ(objects.shellsCreated, 1) << "one shell object serves every read";
}

TEST_F(StartUp, AMachineWideFolderWinsAndItsFlagIsReadNotTheUsers) {
    setFolder(L"C:\\Program Files\\Corvane\\Zeltra");
    setUserFolder(L"C:\\Users\\Ann\\Zeltra");
    setUserFlag(L"1");
    runMain();
    EXPECT_EQ(module.strRedirPage, L"C:\\Program Files\\Corvane\\Zeltra\\cvredir.htm");
    EXPECT_EQ(module.strMSOAO, L"") << "the machine-wide installation has no flag";
    EXPECT_EQ(module.installationScope, zeltra::InstallationScope::machine);
}

TEST_F(StartUp, AMachineWideFolderThatCannotBeReadAsTextLeavesItToThePerUserOne) {
    setFolder(host::Variant::null());
    setFlag(L"1");
    setUserFolder(L"D:\\Mine");
    setUserFlag(L"0");
    runMain();
    EXPECT_EQ(module.strRedirPage, L"D:\\Mine\\cvredir.htm");
    EXPECT_EQ(module.strMSOAO, L"0") << "the flag comes from the installation whose folder was read";
}

TEST_F(StartUp, AnEmptyMachineWideFolderIsAnInstallationWithoutAFolder) {
    setFolder(L"");
    setUserFolder(L"D:\\Mine");
    runMain();
    EXPECT_EQ(module.strRedirPage, L"");
    EXPECT_EQ(module.installationScope, zeltra::InstallationScope::machine);
    expectOneWarning();
}

TEST_F(StartUp, NeitherInstallationWarnsOnce) {
    registry.failures[zeltra::installationFolderValue] = accessDenied;
    registry.failures[zeltra::userInstallationFolderValue] = accessDenied;
    runMain();
    EXPECT_EQ(module.strRedirPage, L"");
    expectOneWarning();
}

TEST_F(StartUp, ThePerUserFlagIsResetWhereItWasRead) {
    setUserFolder(L"D:\\Mine");
    setUserFlag(L"1");
    runMain();
    zeltra::ResetMSOAO(module, objects);
    ASSERT_EQ(registry.writes.size(), 1u);
    EXPECT_EQ(registry.writes[0].first, zeltra::userWelcomeFlagValue);
    EXPECT_EQ(registry.values.count(zeltra::welcomeFlagValue), 0u) << "nothing is written machine-wide";
}

}  // namespace
