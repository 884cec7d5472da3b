// The DLL's resources and version block, read back through the Windows API.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "DODuruda_Vored_h.h"
#include "tests/wine/wine_test_support.h"

using namespace testing_support;

namespace {

class Resources : public testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExW(dllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override { FreeLibrary(module_); }

    std::vector<std::uint8_t> resource(const wchar_t* type, WORD language) const {
        HRSRC found = FindResourceExW(module_, type, MAKEINTRESOURCEW(1), language);
        if (!found) return {};
        const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(module_, found)));
        return {data, data + SizeofResource(module_, found)};
    }

    HMODULE module_ = nullptr;
};

const WORD neutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);

std::vector<std::uint8_t> iidRecord(const IID& iid) {
    std::vector<std::uint8_t> bytes(4 + sizeof iid);
    bytes[0] = 16;
    std::memcpy(bytes.data() + 4, &iid, sizeof iid);
    return bytes;
}

TEST_F(Resources, HoldTheTypeLibraryAndTheTwoInterfaceRecords) {
    const auto typeLibrary = resource(L"TYPELIB", neutral);
    ASSERT_GE(typeLibrary.size(), 4u);
    EXPECT_EQ(std::memcmp(typeLibrary.data(), "MSFT", 4), 0);
    EXPECT_EQ(resource(L"_IID_CONNECT", neutral), iidRecord(IID__Connect));
    EXPECT_EQ(resource(L"_IID_OUTADDIN", neutral), iidRecord(IID__OutAddIn));
}

// Built here field by field, independently of the registration code that parses it.
TEST_F(Resources, TheAddInRegistrationRecordIsByteExact) {
    std::vector<std::uint8_t> fields;
    const auto u32 = [&fields](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) fields.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    const auto text = [&](const char* s) {
        u32(static_cast<std::uint32_t>(std::strlen(s) + 1));
        fields.insert(fields.end(), s, s + std::strlen(s) + 1);
    };
    text("HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\Outlook");
    text("Corvane Zeltra");
    text("Launch WebSites from Words with Zeltra");
    u32(3);
    text("DODuruda_Vored.dll");
    u32(0);  // no additional registry key
    u32(0);  // not command-line safe
    u32(0);
    u32(0);
    u32(0);

    const std::uint8_t designer[16] = {0xF7, 0x14, 0x07, 0xAC, 0x04, 0x3D, 0xD1, 0x11,
                                       0xAE, 0x7D, 0x00, 0xA0, 0xC9, 0x0F, 0x26, 0xF4};
    std::vector<std::uint8_t> expected(designer, designer + 16);
    const auto size = static_cast<std::uint32_t>(fields.size());
    for (int i = 0; i < 4; ++i) expected.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
    expected.insert(expected.end(), fields.begin(), fields.end());

    EXPECT_EQ(resource(L"ADDINREG", neutral), expected);
}

class VersionBlock : public testing::Test {
protected:
    void SetUp() override {
        const DWORD size = GetFileVersionInfoSizeW(dllPath().c_str(), nullptr);
        ASSERT_GT(size, 0u);
        block_.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(dllPath().c_str(), 0, size, block_.data()));
    }
    std::optional<std::wstring> value(const wchar_t* key) {
        void* data = nullptr;
        UINT length = 0;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
        if (!VerQueryValueW(block_.data(), path.c_str(), &data, &length)) return std::nullopt;
        return length ? std::wstring(static_cast<const wchar_t*>(data)) : std::wstring();
    }
    std::vector<std::uint8_t> block_;
};

TEST_F(VersionBlock, CarriesTheFixedInfoAndEveryString) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block_.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block_.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);

    EXPECT_EQ(value(L"CompanyName"), L"Razarid Urododidivivu");
    EXPECT_EQ(value(L"FileDescription"), L"Corvane Zeltra Add-in for Outlook");
    EXPECT_EQ(value(L"ProductName"), L"Corvane Zeltra Add-in");
    EXPECT_EQ(value(L"Comments"), L"Launch WebSites from Word with Zeltra\u2122");
    EXPECT_EQ(value(L"InternalName"), L"DODuruda_Vored");
    EXPECT_EQ(value(L"OriginalFilename"), L"DODuruda_Vored.dll");
    EXPECT_EQ(value(L"FileVersion"), L"1.00");
    EXPECT_EQ(value(L"ProductVersion"), L"1.00");
    EXPECT_EQ(value(L"OLESelfRegister"), L"");
}

}  // namespace
