// regsvr32 on the real DLL, then the registry read back.
#include <gtest/gtest.h>

#include "DODuruda_Vored_h.h"
#include "tests/wine/wine_test_support.h"

using namespace testing_support;

namespace {

const std::wstring addInKey = L"Software\\Microsoft\\Office\\Outlook\\Addins\\DODuruda_Vored.Connect";
const std::wstring libidKey = L"TypeLib\\" + guidText(LIBID_DODuruda_Vored);
const std::wstring psOaInterface = L"{00020424-0000-0000-C000-000000000046}";

struct Class {
    const CLSID* clsid;
    const IID* defaultInterface;
    const wchar_t* progId;
};
const Class classes[] = {{&CLSID_Connect, &IID__Connect, L"DODuruda_Vored.Connect"},
                         {&CLSID_OutAddIn, &IID__OutAddIn, L"DODuruda_Vored.OutAddIn"}};

bool sameFile(const std::wstring& a, const std::wstring& b) { return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL; }

class Registration : public testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(regsvr32(true), 0u); }

    static void expectRegistered() {
        for (const auto& c : classes) {
            const std::wstring clsidKey = L"CLSID\\" + guidText(*c.clsid);
            SCOPED_TRACE(narrow(c.progId));
            EXPECT_EQ(readString(HKEY_CLASSES_ROOT, clsidKey), c.progId);
            const auto server = readString(HKEY_CLASSES_ROOT, clsidKey + L"\\InprocServer32");
            ASSERT_TRUE(server.has_value());
            EXPECT_TRUE(sameFile(*server, dllPath())) << narrow(*server);
            EXPECT_EQ(readString(HKEY_CLASSES_ROOT, clsidKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
            EXPECT_EQ(readString(HKEY_CLASSES_ROOT, clsidKey + L"\\ProgID"), c.progId);
            EXPECT_EQ(readString(HKEY_CLASSES_ROOT, clsidKey + L"\\TypeLib"), guidText(LIBID_DODuruda_Vored));
            EXPECT_EQ(readString(HKEY_CLASSES_ROOT, std::wstring(c.progId) + L"\\CLSID"), guidText(*c.clsid));
            // The default interfaces are marshalled through the type library.
            const std::wstring interfaceKey = L"Interface\\" + guidText(*c.defaultInterface);
            EXPECT_EQ(readString(HKEY_CLASSES_ROOT, interfaceKey + L"\\ProxyStubClsid32"), psOaInterface);
            EXPECT_EQ(readString(HKEY_CLASSES_ROOT, interfaceKey + L"\\TypeLib"), guidText(LIBID_DODuruda_Vored));
        }
        EXPECT_EQ(readString(HKEY_CLASSES_ROOT, libidKey + L"\\1.0"), L"Corvane Zeltra Add-In");
        const auto typeLibPath = readString(HKEY_CLASSES_ROOT, libidKey + L"\\1.0\\0\\win64");
        ASSERT_TRUE(typeLibPath.has_value());
        EXPECT_TRUE(sameFile(*typeLibPath, dllPath()));

        EXPECT_EQ(readString(HKEY_CURRENT_USER, addInKey, L"FriendlyName"), L"Corvane Zeltra");
        EXPECT_EQ(readString(HKEY_CURRENT_USER, addInKey, L"Description"), L"Launch WebSites from Words with Zeltra");
        EXPECT_EQ(readDword(HKEY_CURRENT_USER, addInKey, L"LoadBehavior"), 3u);
        EXPECT_EQ(readDword(HKEY_CURRENT_USER, addInKey, L"CommandLineSafe"), 0u);
    }

    static void expectNothingOfOursLeft() {
        for (const auto& c : classes) {
            EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + guidText(*c.clsid)));
            EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, c.progId));
            EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"Interface\\" + guidText(*c.defaultInterface)));
        }
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, libidKey));
        EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, addInKey));
    }
};

TEST_F(Registration, WritesTheClassesTheTypeLibraryAndTheOutlookEntryIdempotently) {
    ASSERT_EQ(regsvr32(false), 0u);
    expectRegistered();
    ASSERT_EQ(regsvr32(false), 0u);
    expectRegistered();
}

TEST_F(Registration, UnregisteringRemovesExactlyWhatRegistrationWrote) {
    const std::wstring otherAddIn = L"Software\\Microsoft\\Office\\Outlook\\Addins\\Other.Connect";
    const std::wstring otherClass = L"CLSID\\{0C0FFEE0-1234-4321-ABCD-0123456789AB}";
    writeString(HKEY_CURRENT_USER, otherAddIn, L"FriendlyName", L"Other");
    writeString(HKEY_CLASSES_ROOT, otherClass + L"\\InprocServer32", nullptr, L"C:\\other.dll");
    writeString(HKEY_CLASSES_ROOT, L"Other.Connect\\CLSID", nullptr, L"{0C0FFEE0-1234-4321-ABCD-0123456789AB}");

    ASSERT_EQ(regsvr32(false), 0u);
    ASSERT_EQ(regsvr32(true), 0u);
    expectNothingOfOursLeft();
    EXPECT_EQ(readString(HKEY_CURRENT_USER, otherAddIn, L"FriendlyName"), L"Other");
    EXPECT_EQ(readString(HKEY_CLASSES_ROOT, otherClass + L"\\InprocServer32"), L"C:\\other.dll");
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, L"Other.Connect\\CLSID"));
    // Unregistering what is not registered succeeds too.
    EXPECT_EQ(regsvr32(true), 0u);

    deleteTree(HKEY_CURRENT_USER, otherAddIn);
    deleteTree(HKEY_CLASSES_ROOT, otherClass);
    deleteTree(HKEY_CLASSES_ROOT, L"Other.Connect");
}

TEST_F(Registration, AFailureIsReportedAndLeavesNoHalfRegistration) {
    // The Outlook entry cannot be written: HKEY_CURRENT_USER is replaced by a volatile key, under
    // which no lasting key may be created.
    HKEY volatileKey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\ZeltraTestVolatile", 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &volatileKey, nullptr),
              ERROR_SUCCESS);
    HMODULE library = LoadLibraryW(dllPath().c_str());
    ASSERT_NE(library, nullptr);
    const auto registerServer = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllRegisterServer")));
    ASSERT_NE(registerServer, nullptr);

    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, volatileKey), ERROR_SUCCESS);
    const HRESULT hr = registerServer();
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(volatileKey);
    deleteTree(HKEY_CURRENT_USER, L"Software\\ZeltraTestVolatile");
    FreeLibrary(library);

    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    expectNothingOfOursLeft();
}

}  // namespace
