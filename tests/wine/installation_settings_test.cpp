// The installation settings as the add-in reads them at start-up: through the system's real
// WScript.Shell object, from the real registry.
#include <gtest/gtest.h>

#include "host/win32/dispatch.h"
#include "host/win32/product_keys.h"
#include "modules/mod_outlook.h"
#include "tests/wine/wine_test_support.h"

using testing_support::ComApartment;

namespace {

const wchar_t* const productKey = L"Software\\Corvane\\Zeltra";

class RecordingDesktop final : public host::Desktop {
public:
    int warnings = 0;
    std::unique_ptr<host::ClipboardContent> saveClipboard() override { throw host::Error(E_NOTIMPL); }
    void restoreClipboard(const host::ClipboardContent&) override { throw host::Error(E_NOTIMPL); }
    bool restoreClipboardUnlessChanged(const host::ClipboardContent&, std::uint32_t) override {
        throw host::Error(E_NOTIMPL);
    }
    void setClipboardPicture(const host::Bitmap&) override { throw host::Error(E_NOTIMPL); }
    host::Object pictureOf(const host::Bitmap&) override { throw host::Error(E_NOTIMPL); }
    std::wstring clipboardText() override { throw host::Error(E_NOTIMPL); }
    std::optional<std::wstring> clipboardTextUnlessChanged(std::uint32_t) override { throw host::Error(E_NOTIMPL); }
    void clearClipboard() override { throw host::Error(E_NOTIMPL); }
    std::optional<std::uint32_t> clearClipboardUnlessChanged(std::uint32_t) override { throw host::Error(E_NOTIMPL); }
    bool focusIsInTextView() noexcept override { return false; }
    bool sendCopyChord(std::uint32_t, std::function<void(host::CopyOutcome)>) override { throw host::Error(E_NOTIMPL); }
    void cancelCopyChord() noexcept override {}
    std::uint32_t clipboardSequenceNumber() noexcept override { return 0; }
    void guardClipboard(std::shared_ptr<const host::ClipboardContent>, bool, bool) noexcept override {}
    void endClipboardGuard() noexcept override {}
    void messageBox(std::wstring_view, std::uint32_t, std::wstring_view) override { ++warnings; }
    void initCommonControls(std::uint32_t) noexcept override {}
    void openWithShell(std::wstring_view) noexcept override {}
    void postTask(std::function<void()>) override { throw host::Error(E_NOTIMPL); }
    void cancelPostedTasks() noexcept override {}
};

// Puts an installation's values (machine-wide or per-user) back as they were when the test ends.
class SavedInstallation {
public:
    explicit SavedInstallation(HKEY hive) : hive_(hive), folder_(testing_support::readString(hive, productKey)),
                                            flag_(testing_support::readString(hive, productKey, L"MSOAO")) {
        testing_support::deleteTree(hive_, productKey);
    }
    ~SavedInstallation() {
        testing_support::deleteTree(hive_, productKey);
        if (folder_) testing_support::writeString(hive_, productKey, nullptr, *folder_);
        if (flag_) testing_support::writeString(hive_, productKey, L"MSOAO", *flag_);
    }

private:
    HKEY hive_;
    std::optional<std::wstring> folder_, flag_;
};

void writeDword(const wchar_t* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, productKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

struct InstallationSettings : testing::Test {
    ComApartment apartment;
    SavedInstallation saved{HKEY_LOCAL_MACHINE};
    SavedInstallation savedForTheUser{HKEY_CURRENT_USER};
    RecordingDesktop desktop;
    win32::ComObjectFactory objects;
    zeltra::ModOutlook module;

    void runMain() { zeltra::Main(module, desktop, objects); }
};

TEST_F(InstallationSettings, AFolderAndAWelcomeFlagAreReadThroughTheShell) {
    testing_support::writeString(HKEY_LOCAL_MACHINE, productKey, nullptr, L"C:\\Zeltra Test");
    testing_support::writeString(HKEY_LOCAL_MACHINE, productKey, L"MSOAO", L"1");
    runMain();
    EXPECT_EQ(module.strRedirPage, L"C:\\Zeltra Test\\cvredir.htm");
    EXPECT_EQ(module.strMSOAO, L"1");
    EXPECT_EQ(desktop.warnings, 0);
}

TEST_F(InstallationSettings, ANumericFlagReadsAsItsDecimalText) {
    testing_support::writeString(HKEY_LOCAL_MACHINE, productKey, nullptr, L"D:\\Tools\\Z\\");
    writeDword(L"MSOAO", 1);
    runMain();
    EXPECT_EQ(module.strMSOAO, L"1");
    EXPECT_EQ(module.strRedirPage, L"D:\\Tools\\Z\\\\cvredir.htm");
}

TEST_F(InstallationSettings, AMissingFolderWarnsAndTheResetWritesTheTextZero) {
    writeDword(L"MSOAO", 1);
    runMain();
    EXPECT_EQ(module.strRedirPage, L"");
    EXPECT_EQ(desktop.warnings, 1);

    zeltra::ResetMSOAO(module, objects);
    EXPECT_EQ(testing_support::readString(HKEY_LOCAL_MACHINE, productKey, L"MSOAO"), std::optional<std::wstring>(L"0"))
        << "a string value now, not the number";
}

// What the per-user package writes: the same values below HKCU, nothing below HKLM.
TEST_F(InstallationSettings, APerUserInstallationIsReadAndItsFlagResetBelowHkcu) {
    testing_support::writeString(HKEY_CURRENT_USER, productKey, nullptr, L"C:\\Zeltra User");
    testing_support::writeString(HKEY_CURRENT_USER, productKey, L"MSOAO", L"1");
    runMain();
    EXPECT_EQ(module.strRedirPage, L"C:\\Zeltra User\\cvredir.htm");
    EXPECT_EQ(module.strMSOAO, L"1");
    EXPECT_EQ(desktop.warnings, 0);

    zeltra::ResetMSOAO(module, objects);
    EXPECT_EQ(testing_support::readString(HKEY_CURRENT_USER, productKey, L"MSOAO"), std::optional<std::wstring>(L"0"));
    EXPECT_EQ(testing_support::readString(HKEY_LOCAL_MACHINE, productKey, L"MSOAO"), std::nullopt)
        << "nothing machine-wide";
}

// The per-user record of the welcome is tied to the time the installation last wrote its key.
TEST_F(InstallationSettings, TheKeysWriteTimeMovesOnWithAWriteAndUserValuesAreKept) {
    testing_support::writeString(HKEY_LOCAL_MACHINE, productKey, L"MSOAO", L"0");
    host::win32::SystemProductKeys keys;
    const auto before = keys.installationWriteTime();
    ASSERT_TRUE(before);
    EXPECT_EQ(keys.installationWriteTime(), before) << "reading leaves the time as it is";
    Sleep(20);
    // The installer writes the flag again (Wine keeps the time when a write changes nothing).
    testing_support::writeString(HKEY_LOCAL_MACHINE, productKey, L"MSOAO", L"1");
    EXPECT_GT(keys.installationWriteTime().value_or(0), *before);

    const std::optional<std::wstring> userFlag = testing_support::readString(HKEY_CURRENT_USER, productKey, L"MSOAO");
    keys.setUserValue(L"MSOAO", L"0");
    EXPECT_EQ(keys.userValue(L"MSOAO"), std::optional<std::wstring>(L"0"));
    EXPECT_EQ(keys.userValue(L"Absent"), std::nullopt);
    if (userFlag) keys.setUserValue(L"MSOAO", *userFlag);
    else testing_support::deleteTree(HKEY_CURRENT_USER, productKey);
}

}  // namespace
