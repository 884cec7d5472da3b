// The form's real window: hidden, its controls at their designed places, the hosted WebBrowser
// control, and its lifetime, alone and under FrmAddIn.
#include <gtest/gtest.h>

#include <cstring>
#include <exception>
#include <functional>
#include <thread>
#include <vector>

#include "forms/frm_add_in.h"
#include "forms/win32/form_window.h"
#include "host/variant.h"
#include "host/win32/dispatch.h"
#include "resources/resource_ids.h"
#include "tests/support/error_of.h"
#include "tests/wine/wine_test_support.h"

namespace {

using zeltra::forms::win32::formWindowClass;
using zeltra::forms::win32::loadFormWindow;

// Wine's AtlAxWinInit initialises OLE on its thread for good: each test runs on a thread of its
// own, so that the rest of the program keeps its apartments. What the body throws fails the test.
void onOwnThread(const std::function<void()>& body) {
    std::thread([&] {
        const testing_support::ComApartment apartment;
        try {
            body();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "threw " << e.what();
        }
    }).join();
}

HWND formWindow() { return FindWindowW(formWindowClass, nullptr); }

bool formClassRegistered() {
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    return GetClassInfoExW(GetModuleHandleW(nullptr), formWindowClass, &info) != FALSE;
}

// A child's left, top, width and height in pixels of its parent's client area.
std::vector<int> placeOf(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::vector<int> inPixels(HWND window, std::vector<int> twips) {
    for (int& value : twips) value = MulDiv(value, static_cast<int>(GetDpiForWindow(window)), 1440);
    return twips;
}

TEST(FormWindow, LoadsHiddenWithThePictureBoxAndTheBrowserBelowTheClientArea) {
    onOwnThread([] {
        const auto form = loadFormWindow();
        const HWND window = formWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(IsWindowVisible(window));
        RECT client{};
        GetClientRect(window, &client);
        EXPECT_EQ((std::vector<int>{0, 0, client.right, client.bottom}), inPixels(window, {0, 0, 4590, 2430}));

        const HWND myIcon = FindWindowExW(window, nullptr, L"Static", nullptr);
        EXPECT_EQ(placeOf(myIcon), inPixels(window, {120, 2520, 375, 375}));
        BITMAP shown{};
        GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(myIcon, STM_GETIMAGE, IMAGE_BITMAP, 0)), sizeof shown, &shown);
        EXPECT_EQ((std::vector<long>{shown.bmWidth, shown.bmHeight, shown.bmBitsPixel}), (std::vector<long>{16, 16, 4}));

        const HWND browser = FindWindowExW(window, nullptr, L"AtlAxWin", nullptr);
        wchar_t text[32] = {};
        GetWindowTextW(browser, text, 32);
        EXPECT_STREQ(text, L"Shell.Explorer.2");
        EXPECT_EQ(placeOf(browser), inPixels(window, {1560, 2760, 495, 135}));
    });
}

TEST(FormWindow, MyIconPictureIsThe4BitButtonFaceAsTheDllStoresIt) {
    onOwnThread([] {
        const std::vector<std::uint8_t> dib = loadFormWindow()->myIconPicture().dib;
        ASSERT_EQ(dib.size(), sizeof(BITMAPINFOHEADER) + 16 * sizeof(RGBQUAD) + 16 * 8);
        BITMAPINFOHEADER h{};
        std::memcpy(&h, dib.data(), sizeof h);
        EXPECT_EQ((std::vector<long>{static_cast<long>(h.biSize), h.biWidth, h.biHeight, h.biBitCount,
                                     static_cast<long>(h.biCompression)}),
                  (std::vector<long>{40, 16, 16, 4, BI_RGB}));

        const HMODULE dll = LoadLibraryExW(testing_support::dllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        const HRSRC found = FindResourceW(dll, MAKEINTRESOURCEW(IDB_BUTTON_FACE), RT_BITMAP);
        ASSERT_NE(found, nullptr);
        const auto* stored = static_cast<const std::uint8_t*>(LockResource(LoadResource(dll, found)));
        EXPECT_EQ(dib, std::vector<std::uint8_t>(stored, stored + SizeofResource(dll, found)));
        FreeLibrary(dll);
    });
}

TEST(FormWindow, WebBrowser1TakesNavigateLateBoundAndReportsTheAddress) {
    onOwnThread([] {
        const auto form = loadFormWindow();
        const host::Object browser = form->webBrowser1();
        browser.call(host::DispId{104}, {L"file:///C:/Zeltra%20Test/cvredir.htm?hello%20world"});
        // Wine's control reports the path decoded, with backslashes, and the query as sent.
        EXPECT_EQ(browser.get(host::DispId{211}).asString(), LR"(file://C:\Zeltra Test\cvredir.htm?hello%20world)");
    });
}

TEST(FormWindow, GoesWhenTheUserClosesItOrWhenTheFormObjectGoes) {
    onOwnThread([] {
        auto form = loadFormWindow();
        const host::Object browser = form->webBrowser1();
        SendMessageW(formWindow(), WM_CLOSE, 0, 0);
        EXPECT_FALSE(form->exists());
        EXPECT_EQ(formWindow(), nullptr);
        EXPECT_EQ(testing_support::errorOf([&] { form->webBrowser1(); }), HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE));
        // The control went with its window: only this test's reference is left.
        win32::dispatchOf(browser)->AddRef();
        EXPECT_EQ(win32::dispatchOf(browser)->Release(), 1u);

        form = loadFormWindow();
        const HWND window = formWindow();
        form.reset();
        EXPECT_FALSE(IsWindow(window));
        EXPECT_FALSE(formClassRegistered());
    });
}

TEST(FormWindow, FrmAddInLoadsOnceAndAgainAfterTheUserClosedIt) {
    onOwnThread([] {
        int loads = 0;
        zeltra::FrmAddIn frm([&loads] {
            ++loads;
            return loadFormWindow();
        });
        frm.webBrowser1();
        const HWND first = formWindow();
        frm.myIconPicture();
        EXPECT_EQ(loads, 1);
        EXPECT_EQ(formWindow(), first);

        SendMessageW(first, WM_CLOSE, 0, 0);
        EXPECT_FALSE(frm.isLoaded());
        frm.webBrowser1();
        EXPECT_EQ(loads, 2);
        EXPECT_NE(formWindow(), nullptr);
    });
}

}  // namespace
