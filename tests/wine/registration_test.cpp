// regsvr32 on the real DLL, then the registry read back.
#include <gtest/gtest.h>

#include "DODuruda_Vored_h.h"
#include "tests/wine/wine_test_support.h"

using namespace testing_support;

namespace {

const std::wstring addInKey = L"Software\\Microsoft\\Office\\Outlook\\Addins\\DODuruda_Vored.Connect";
const std::wstring libidKey = L"TypeLib\\" + guidText(LIBID_DODuruda_Vored);
// Below HKEY_LOCAL_MACHINE: the machine's classes; below HKEY_CURRENT_USER: the user's own.
const std::wstring scopeClasses = L"Software\\Classes\\";
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
    void TearDown() override {
        EXPECT_EQ(regsvr32(true), 0u);
        // Whatever a failed test left of ours for the user, so that it fails alone.
        for (const auto& c : classes) {
            deleteTree(HKEY_CURRENT_USER, scopeClasses + L"CLSID\\" + guidText(*c.clsid));
            deleteTree(HKEY_CURRENT_USER, scopeClasses + c.progId);
        }
    }

    // The class and ProgID keys at classesPath below root: "" below HKEY_CLASSES_ROOT, scopeClasses below a hive.
    static void expectClassKeys(HKEY root, const std::wstring& classesPath) {
        for (const auto& c : classes) {
            const std::wstring clsidKey = classesPath + L"CLSID\\" + guidText(*c.clsid);
            SCOPED_TRACE(narrow(c.progId));
            EXPECT_EQ(readString(root, clsidKey), c.progId);
            const auto server = readString(root, clsidKey + L"\\InprocServer32");
            ASSERT_TRUE(server.has_value());
            EXPECT_TRUE(sameFile(*server, dllPath())) << narrow(*server);
            EXPECT_EQ(readString(root, clsidKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
            EXPECT_EQ(readString(root, clsidKey + L"\\ProgID"), c.progId);
            EXPECT_EQ(readString(root, clsidKey + L"\\TypeLib"), guidText(LIBID_DODuruda_Vored));
            EXPECT_EQ(readString(root, clsidKey + L"\\VERSION"), L"1.0");
            EXPECT_EQ(readString(root, classesPath + c.progId), c.progId);
            EXPECT_EQ(readString(root, classesPath + c.progId + L"\\CLSID"), guidText(*c.clsid));
        }
    }

    static void expectNoClassKeys(HKEY root, const std::wstring& classesPath) {
        for (const auto& c : classes) {
            EXPECT_FALSE(keyExists(root, classesPath + L"CLSID\\" + guidText(*c.clsid))) << narrow(c.progId);
            EXPECT_FALSE(keyExists(root, classesPath + c.progId));
        }
    }

    static void expectTypeLibraryRegistered() {
        for (const auto& c : classes) {
            // The default interfaces are marshalled through the type library.
            const std::wstring interfaceKey = L"Interface\\" + guidText(*c.defaultInterface);
            EXPECT_EQ(readString(HKEY_CLASSES_ROOT, interfaceKey + L"\\ProxyStubClsid32"), psOaInterface);
            EXPECT_EQ(readString(HKEY_CLASSES_ROOT, interfaceKey + L"\\TypeLib"), guidText(LIBID_DODuruda_Vored));
        }
        EXPECT_EQ(readString(HKEY_CLASSES_ROOT, libidKey + L"\\1.0"), L"Corvane Zeltra Add-In");
        const auto typeLibPath = readString(HKEY_CLASSES_ROOT, libidKey + L"\\1.0\\0\\win64");
        ASSERT_TRUE(typeLibPath.has_value());
        EXPECT_TRUE(sameFile(*typeLibPath, dllPath()));
    }

    static void expectOutlookEntry() {
        EXPECT_EQ(readString(HKEY_CURRENT_USER, addInKey, L"FriendlyName"), L"Corvane Zeltra");
        EXPECT_EQ(readString(HKEY_CURRENT_USER, addInKey, L"Description"), L"Launch WebSites from Words with Zeltra");
        EXPECT_EQ(readDword(HKEY_CURRENT_USER, addInKey, L"LoadBehavior"), 3u);
        EXPECT_EQ(readDword(HKEY_CURRENT_USER, addInKey, L"CommandLineSafe"), 0u);
    }

    static void expectRegistered() {
        expectClassKeys(HKEY_CLASSES_ROOT, L"");
        expectTypeLibraryRegistered();
        expectOutlookEntry();
    }

    static void expectNothingOfOursLeft() {
        expectNoClassKeys(HKEY_CURRENT_USER, scopeClasses);
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

TEST_F(Registration, AccessDeniedPartwayThroughTheMachineClassesRegistersThemForTheUserInstead) {
    // Registration meets the second class's machine-wide key after it has registered the type
    // library and the first class there.
    const std::wstring deniedClass = scopeClasses + L"CLSID\\" + guidText(CLSID_OutAddIn);
    const ReadOnlyKey denied(HKEY_LOCAL_MACHINE, deniedClass);
    ASSERT_EQ(denied.status(), ERROR_SUCCESS);

    ASSERT_EQ(callDllExport("DllRegisterServer"), S_OK);
    expectClassKeys(HKEY_CURRENT_USER, scopeClasses);
    // What the machine-wide attempt wrote is gone.
    const std::wstring firstClass = scopeClasses + L"CLSID\\" + guidText(CLSID_Connect);
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, firstClass));
    for (const auto& c : classes) EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, scopeClasses + c.progId));
    // Wine's RegisterTypeLibForUser registers machine-wide; HKEY_CLASSES_ROOT shows either scope.
    expectTypeLibraryRegistered();
    expectOutlookEntry();

    ASSERT_EQ(regsvr32(true), 0u);
    expectNothingOfOursLeft();
}

TEST_F(Registration, UnregisteringRemovesTheUsersClassesTooAndLeavesOtherProgramsKeys) {
    const std::wstring otherClsid = L"{0C0FFEE0-1234-4321-ABCD-0123456789AB}";
    const std::wstring otherClass = scopeClasses + L"CLSID\\" + otherClsid;
    const std::wstring otherProgId = scopeClasses + L"Other.Connect";
    writeString(HKEY_CURRENT_USER, otherClass + L"\\InprocServer32", nullptr, L"C:\\other.dll");
    writeString(HKEY_CURRENT_USER, otherProgId + L"\\CLSID", nullptr, otherClsid);

    ASSERT_EQ(regsvr32(false), 0u);
    // Beside the machine's registration, the user's own, as a registration for the user writes it.
    for (const auto& c : classes) {
        const std::wstring clsidKey = scopeClasses + L"CLSID\\" + guidText(*c.clsid);
        writeString(HKEY_CURRENT_USER, clsidKey, nullptr, c.progId);
        writeString(HKEY_CURRENT_USER, clsidKey + L"\\InprocServer32", nullptr, dllPath());
        writeString(HKEY_CURRENT_USER, clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
        writeString(HKEY_CURRENT_USER, scopeClasses + c.progId + L"\\CLSID", nullptr, guidText(*c.clsid));
    }

    ASSERT_EQ(regsvr32(true), 0u);
    expectNothingOfOursLeft();
    expectNoClassKeys(HKEY_LOCAL_MACHINE, scopeClasses);
    EXPECT_EQ(readString(HKEY_CURRENT_USER, otherClass + L"\\InprocServer32"), L"C:\\other.dll");
    EXPECT_EQ(readString(HKEY_CURRENT_USER, otherProgId + L"\\CLSID"), otherClsid);

    deleteTree(HKEY_CURRENT_USER, otherClass);
    deleteTree(HKEY_CURRENT_USER, otherProgId);
}

TEST_F(Registration, AMachineFailureOtherThanAccessDeniedIsNotRetriedForTheUser) {
    // The second class's machine-wide key is volatile: no lasting key may be created below it.
    const std::wstring volatileClass = scopeClasses + L"CLSID\\" + guidText(CLSID_OutAddIn);
    HKEY volatileKey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, volatileClass.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &volatileKey, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(volatileKey);

    const HRESULT hr = callDllExport("DllRegisterServer");
    deleteTree(HKEY_LOCAL_MACHINE, volatileClass);
    EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE));
    expectNothingOfOursLeft();
}

}  // namespace
