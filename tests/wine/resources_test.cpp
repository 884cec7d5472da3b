// The DLL's resources and version block, read back through the Windows API.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <tuple>
#include <vector>

#include "DODuruda_Vored_h.h"
#include "com/ptr.h"
#include "resources/resource_ids.h"
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
        return bytes(FindResourceExW(module_, type, MAKEINTRESOURCEW(1), language));
    }
    std::vector<std::uint8_t> numbered(const wchar_t* type, int id) const {
        return bytes(FindResourceW(module_, MAKEINTRESOURCEW(id), type));
    }
    std::vector<std::uint8_t> bytes(HRSRC found) const {
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

// The welcome window's art, read back the way Windows itself reads it.

#pragma pack(push, 2)
struct GroupIconEntry {  // one image of an RT_GROUP_ICON directory, after its 6-byte header
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;  // of the RT_ICON holding the image
};
#pragma pack(pop)
static_assert(sizeof(GroupIconEntry) == 14);

BITMAPINFOHEADER headerOf(const std::vector<std::uint8_t>& image) {
    BITMAPINFOHEADER info{};
    if (image.size() >= sizeof info) std::memcpy(&info, image.data(), sizeof info);
    return info;
}

using IconImage = std::tuple<int, int, int>;  // width, height, bits a pixel

TEST_F(Resources, TheProductIconGroupListsItsFourImages) {
    const auto group = numbered(RT_GROUP_ICON, IDI_PRODUCT_ICON);
    WORD header[3] = {};
    ASSERT_GE(group.size(), sizeof header);
    std::memcpy(header, group.data(), sizeof header);
    EXPECT_EQ(header[1], 1);  // icons, not cursors
    ASSERT_EQ(group.size(), sizeof header + header[2] * sizeof(GroupIconEntry));

    std::vector<IconImage> listed;
    for (WORD i = 0; i < header[2]; ++i) {
        GroupIconEntry entry;
        std::memcpy(&entry, group.data() + sizeof header + i * sizeof entry, sizeof entry);
        listed.emplace_back(entry.width, entry.height, entry.bitCount);
        // Each image must be what the directory says it is.
        const auto image = numbered(RT_ICON, entry.id);
        const BITMAPINFOHEADER info = headerOf(image);
        EXPECT_EQ(image.size(), entry.bytes);
        EXPECT_EQ(info.biWidth, entry.width);
        EXPECT_EQ(info.biHeight, 2 * entry.height);  // the colours, then the mask
        EXPECT_EQ(info.biBitCount, entry.bitCount);
    }
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<IconImage>{{16, 16, 8}, {32, 32, 8}, {48, 48, 32}, {128, 128, 32}}));
}

// The icon drawn on magenta at its own size: the pixels, top-down, as 0x00RRGGBB.
std::vector<std::uint32_t> drawnOnMagenta(HICON icon, int size) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP canvas = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, canvas);
    HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
    const RECT all = {0, 0, size, size};
    FillRect(dc, &all, magenta);
    DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    GdiFlush();
    const auto* first = static_cast<const std::uint32_t*>(bits);
    std::vector<std::uint32_t> pixels(first, first + size * size);
    SelectObject(dc, old);
    DeleteObject(magenta);
    DeleteObject(canvas);
    DeleteDC(dc);
    for (auto& p : pixels) p &= 0xFFFFFF;
    return pixels;
}

bool greenish(std::uint32_t rgb) {
    const int red = rgb >> 16 & 0xFF, green = rgb >> 8 & 0xFF, blue = rgb & 0xFF;
    return green > red + 40 && green > blue + 40;
}

// Windows picks an image for each size by itself: at 16 and 32 it must find the one drawn for it.
TEST_F(Resources, TheProductIconLoadsAt16And32FromItsOwnImages) {
    auto group = numbered(RT_GROUP_ICON, IDI_PRODUCT_ICON);
    ASSERT_FALSE(group.empty());
    for (const int size : {16, 32}) {
        SCOPED_TRACE(size);
        const int id = LookupIconIdFromDirectoryEx(group.data(), TRUE, size, size, LR_DEFAULTCOLOR);
        EXPECT_EQ(headerOf(numbered(RT_ICON, id)).biWidth, size);

        HICON icon = static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(IDI_PRODUCT_ICON), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr);
        ICONINFO parts{};
        ASSERT_TRUE(GetIconInfo(icon, &parts));
        BITMAP colour{};
        EXPECT_EQ(GetObjectW(parts.hbmColor, sizeof colour, &colour), static_cast<int>(sizeof colour));
        EXPECT_EQ(colour.bmWidth, size);
        EXPECT_EQ(colour.bmHeight, size);

        // Rounded corners let the background through; inside is green, and the Z crosses the
        // middle column in white.
        const auto pixels = drawnOnMagenta(icon, size);
        EXPECT_EQ(pixels[0], 0xFF00FFu);
        EXPECT_EQ(pixels[size * size - 1], 0xFF00FFu);
        EXPECT_TRUE(greenish(pixels[size / 8 * size + size / 2]));
        bool white = false;
        for (int y = 0; y < size; ++y) white = white || pixels[y * size + size / 2] == 0xFFFFFFu;
        EXPECT_TRUE(white);
        DeleteObject(parts.hbmColor);
        DeleteObject(parts.hbmMask);
        DestroyIcon(icon);
    }
}

TEST_F(Resources, TheHandPointerIsA32PixelMonochromeCursorWithItsHotSpotAtTheFingertip) {
    HCURSOR hand = static_cast<HCURSOR>(LoadImageW(module_, MAKEINTRESOURCEW(IDC_HAND_POINTER), IMAGE_CURSOR, 0, 0, 0));
    ASSERT_NE(hand, nullptr);
    ICONINFO parts{};
    ASSERT_TRUE(GetIconInfo(hand, &parts));
    EXPECT_FALSE(parts.fIcon);
    EXPECT_EQ(parts.xHotspot, 6u);
    EXPECT_EQ(parts.yHotspot, 0u);
    // A monochrome cursor has no colour bitmap: one 1-bit bitmap holds the AND mask above the XOR mask.
    EXPECT_EQ(parts.hbmColor, nullptr);
    BITMAP mask{};
    ASSERT_EQ(GetObjectW(parts.hbmMask, sizeof mask, &mask), static_cast<int>(sizeof mask));
    EXPECT_EQ(mask.bmWidth, 32);
    EXPECT_EQ(mask.bmHeight, 64);
    EXPECT_EQ(mask.bmBitsPixel, 1);

    // The hot spot is the middle of the fingertip's black outline, with the screen showing
    // through on either side of it.
    std::vector<BYTE> bits(static_cast<std::size_t>(mask.bmWidthBytes) * mask.bmHeight);
    ASSERT_EQ(GetBitmapBits(parts.hbmMask, static_cast<LONG>(bits.size()), bits.data()), static_cast<LONG>(bits.size()));
    const auto bit = [&](int x, int y) { return bits[y * mask.bmWidthBytes + x / 8] >> (7 - x % 8) & 1; };
    EXPECT_EQ(bit(6, 0), 0);       // AND: drawn
    EXPECT_EQ(bit(6, 32 + 0), 0);  // XOR: black
    EXPECT_EQ(bit(4, 0), 1);
    EXPECT_EQ(bit(8, 0), 1);
    DeleteObject(parts.hbmMask);
    DestroyCursor(hand);
}

// Decoded by the system's own GIF decoder, so that what the script encodes is known to read back.
TEST_F(Resources, TheLogoIsAGifOf85By25OnTheWindowsGreen) {
    using com::ComPtr;
    const auto gif = numbered(RT_RCDATA, IDR_LOGO);
    ASSERT_GE(gif.size(), 6u);
    EXPECT_EQ(std::memcmp(gif.data(), "GIF89a", 6), 0);

    const ComApartment apartment;
    ComPtr<IWICImagingFactory> factory;
    ASSERT_EQ(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWICImagingFactory), factory.putVoid()), S_OK);
    const auto stream = ComPtr<IStream>::attach(SHCreateMemStream(gif.data(), static_cast<UINT>(gif.size())));
    ASSERT_TRUE(stream);
    ComPtr<IWICBitmapDecoder> decoder;
    ASSERT_EQ(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnLoad, decoder.put()), S_OK);
    GUID container{};
    ASSERT_EQ(decoder->GetContainerFormat(&container), S_OK);
    EXPECT_EQ(guidText(container), guidText(GUID_ContainerFormatGif));
    ComPtr<IWICBitmapFrameDecode> frame;
    ASSERT_EQ(decoder->GetFrame(0, frame.put()), S_OK);
    UINT width = 0, height = 0;
    ASSERT_EQ(frame->GetSize(&width, &height), S_OK);
    ASSERT_EQ(width, 85u);
    ASSERT_EQ(height, 25u);

    ComPtr<IWICFormatConverter> converter;
    ASSERT_EQ(factory->CreateFormatConverter(converter.put()), S_OK);
    ASSERT_EQ(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom), S_OK);
    std::vector<std::uint32_t> pixels(width * height);  // 0xAARRGGBB
    ASSERT_EQ(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size() * 4), reinterpret_cast<BYTE*>(pixels.data())), S_OK);

    const std::uint32_t green = 0xFF55AA55;
    EXPECT_EQ(pixels.front(), green);
    EXPECT_EQ(pixels.back(), green);
    int greenEdge = 0;
    for (UINT x = 0; x < width; ++x) greenEdge += (pixels[x] == green) + (pixels[(height - 1) * width + x] == green);
    for (UINT y = 1; y + 1 < height; ++y) greenEdge += (pixels[y * width] == green) + (pixels[y * width + width - 1] == green);
    EXPECT_EQ(greenEdge, static_cast<int>(2 * (width + height) - 4));
    // The white of the wordmark and its mark.
    EXPECT_GT(std::count(pixels.begin(), pixels.end(), 0xFFFFFFFFu), 300);
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
