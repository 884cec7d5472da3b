// The form's real window: hidden, its controls at their designed places, the hosted WebBrowser
// control, and its lifetime, alone and under FrmAddIn.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "forms/frm_add_in.h"
#include "forms/win32/form_window.h"
#include "host/variant.h"
#include "host/win32/desktop.h"
#include "host/win32/dispatch.h"
#include "host/win32/product_keys.h"
#include "modules/component.h"
#include "resources/resource_ids.h"
#include "tests/support/error_of.h"
#include "tests/wine/wine_test_support.h"

namespace {

using zeltra::forms::win32::formWindowClass;

// The events the window reports, counted.
struct CountedEvents final : zeltra::FormEvents {
    int formMoves = 0, text1Moves = 0, text1Clicks = 0, okClicks = 0, getNowClicks = 0;
    void Form_MouseMove() override { ++formMoves; }
    void Text1_MouseMove() override { ++text1Moves; }
    void Text1_Click() override { ++text1Clicks; }
    void OKButton_Click() override { ++okClicks; }
    void GetNow_Click() override { ++getNowClicks; }
    void Form_Unload() override {}
};

std::shared_ptr<zeltra::FormWindow> loadFormWindow() {
    static CountedEvents events;
    return zeltra::forms::win32::loadFormWindow(events);
}

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

std::wstring classOf(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring textOf(HWND window) {
    wchar_t text[2048] = L"";
    GetWindowTextW(window, text, 2048);
    return text;
}

struct DesignedControl {
    const wchar_t* windowClass;
    std::vector<int> twips;
    bool tabStop;
};

TEST(FormWindow, LoadsHiddenWithItsControlsInTabOrderAtTheirDesignedPlaces) {
    onOwnThread([] {
        const auto form = loadFormWindow();
        const HWND window = formWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(IsWindowVisible(window));
        RECT client{};
        GetClientRect(window, &client);
        EXPECT_EQ((std::vector<int>{0, 0, client.right, client.bottom}), inPixels(window, {0, 0, 4590, 2430}));
        wchar_t caption[32] = L"";
        GetWindowTextW(window, caption, 32);
        EXPECT_STREQ(caption, L"Corvane Zeltra");

        // Picture1, OKButton, Text1, Text2, LastWord, GetNow, MyIcon, WebBrowser1.
        const DesignedControl designed[] = {
            {L"Static", {60, 0, 1280, 380}, false},        {L"Button", {3240, 2520, 735, 255}, true},
            {L"ZeltraLinkLabel", {120, 2160, 1455, 255}, true}, {L"Static", {3600, 90, 975, 285}, false},
            {L"Edit", {120, 360, 4335, 1695}, false},      {L"Button", {2640, 2520, 495, 255}, true},
            {L"Static", {120, 2520, 375, 375}, false},     {L"AtlAxWin", {1560, 2760, 495, 135}, false},
        };
        std::vector<HWND> children;
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            children.push_back(child);
        ASSERT_EQ(children.size(), std::size(designed));
        for (std::size_t i = 0; i < children.size(); ++i) {
            EXPECT_EQ(classOf(children[i]), designed[i].windowClass) << "control " << i;
            EXPECT_EQ(placeOf(children[i]), inPixels(window, designed[i].twips)) << "control " << i;
            EXPECT_EQ((GetWindowLongW(children[i], GWL_STYLE) & WS_TABSTOP) != 0, designed[i].tabStop) << "control " << i;
        }
        EXPECT_EQ(textOf(children[1]), L"OK");
        EXPECT_EQ(textOf(children[2]), L"zeltra.example\r\n");
        EXPECT_EQ(textOf(children[3]), L"Version 1.0");
        EXPECT_EQ(textOf(children[4]).substr(0, 48), L"Thank you for installing Corvane Zeltra v1.0\r\n\r\n");
        EXPECT_EQ(textOf(children[5]), L"<");
        // The link's address fits its label, in the label's own font.
        const HDC dc = GetDC(children[2]);
        const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(children[2], WM_GETFONT, 0, 0)));
        const std::wstring link = textOf(children[2]).substr(0, textOf(children[2]).find(L"\r\n"));
        SIZE extent{};
        GetTextExtentPoint32W(dc, link.c_str(), static_cast<int>(link.size()), &extent);
        SelectObject(dc, previous);
        ReleaseDC(children[2], dc);
        RECT label{};
        GetClientRect(children[2], &label);
        EXPECT_LE(extent.cx, label.right);
        EXPECT_EQ(textOf(children[7]), L"Shell.Explorer.2");

        BITMAP shown{};
        GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(children[6], STM_GETIMAGE, IMAGE_BITMAP, 0)), sizeof shown,
                   &shown);
        EXPECT_EQ((std::vector<long>{shown.bmWidth, shown.bmHeight, shown.bmBitsPixel}), (std::vector<long>{16, 16, 4}));
        GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(children[0], STM_GETIMAGE, IMAGE_BITMAP, 0)), sizeof shown,
                   &shown);
        EXPECT_EQ((std::vector<long>{shown.bmWidth, shown.bmHeight}), (std::vector<long>{85, 25}));
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

// The add-in's last connection ends while the welcome is up (the user unticks the add-in): the
// modal display returns, and the window, its classes and the hosted control go, although the
// display still runs when the form lets go of the window.
TEST(FormWindow, UnloadedInsideItsOwnModalDisplayItEndsTheDisplayAndLeavesNothing) {
    onOwnThread([] {
        static std::shared_ptr<zeltra::FormWindow> form;
        form = loadFormWindow();
        const host::Object browser = form->webBrowser1();
        SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR timer, DWORD) {
            KillTimer(nullptr, timer);
            std::exchange(form, nullptr)->unload();
        });
        const std::weak_ptr<zeltra::FormWindow> watched = form;
        watched.lock()->showModal(0);
        EXPECT_TRUE(watched.expired()) << "the display let go of the window object once it returned";
        EXPECT_EQ(formWindow(), nullptr);
        EXPECT_FALSE(formClassRegistered());
        win32::dispatchOf(browser)->AddRef();
        EXPECT_EQ(win32::dispatchOf(browser)->Release(), 1u);
    });
}

// Shown to Outlook's window, the form is a dialog box of that window: owned by it and centred on it,
// the window disabled until the form is hidden or closed, then enabled again and no longer the
// form's owner (a window Outlook closes later must not take the form with it).
TEST(FormWindow, ShownModallyToAWindowItOwnsAndDisablesItUntilHiddenOrClosed) {
    onOwnThread([] {
        static HWND outlook;
        static std::shared_ptr<zeltra::FormWindow> form;
        static bool ownedWhileShown, disabledWhileShown, centred;
        outlook = CreateWindowExW(0, L"STATIC", L"Inbox", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 200, 600, 400, nullptr,
                                  nullptr, nullptr, nullptr);
        form = loadFormWindow();
        const auto look = [](HWND, UINT, UINT_PTR timer, DWORD) {
            KillTimer(nullptr, timer);
            const HWND shown = formWindow();
            ownedWhileShown = GetWindow(shown, GW_OWNER) == outlook;
            disabledWhileShown = !IsWindowEnabled(outlook);
            RECT around{}, frame{};
            GetWindowRect(outlook, &around);
            GetWindowRect(shown, &frame);
            centred = std::abs((frame.left + frame.right) - (around.left + around.right)) <= 2 &&
                      std::abs((frame.top + frame.bottom) - (around.top + around.bottom)) <= 2;
            form->hide();
        };
        SetTimer(nullptr, 0, 10, look);
        form->showModal(reinterpret_cast<std::uintptr_t>(outlook));
        EXPECT_TRUE(ownedWhileShown);
        EXPECT_TRUE(disabledWhileShown);
        EXPECT_TRUE(centred);
        EXPECT_TRUE(IsWindowEnabled(outlook)) << "hidden: Outlook's window takes input again";
        EXPECT_NE(GetWindow(formWindow(), GW_OWNER), outlook);

        SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR timer, DWORD) {
            KillTimer(nullptr, timer);
            disabledWhileShown = !IsWindowEnabled(outlook);
            PostMessageW(formWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
        });
        form->showModal(reinterpret_cast<std::uintptr_t>(outlook));
        EXPECT_TRUE(disabledWhileShown);
        EXPECT_FALSE(form->exists());
        EXPECT_TRUE(IsWindowEnabled(outlook)) << "closed: Outlook's window takes input again";
        form.reset();
        DestroyWindow(outlook);
    });
}

TEST(FormWindow, FrmAddInMakesTheRealControlSilent) {
    onOwnThread([] {
        host::win32::SystemDesktop desktop;
        win32::ComObjectFactory objects;
        host::win32::SystemProductKeys keys;
        zeltra::Component component(desktop, objects, keys, &zeltra::forms::win32::loadFormWindow);
        const host::Object browser = component.frmAddIn().webBrowser1();
        EXPECT_EQ(browser.get(host::DispId{host::dispid::Silent}), host::Variant(true));
    });
}

TEST(FormWindow, FrmAddInLoadsOnceAndAgainAfterTheUserClosedIt) {
    onOwnThread([] {
        int loads = 0;
        host::win32::SystemDesktop desktop;
        win32::ComObjectFactory objects;
        host::win32::SystemProductKeys keys;
        zeltra::Component component(desktop, objects, keys, [&loads](zeltra::FormEvents& handlers) {
            ++loads;
            return zeltra::forms::win32::loadFormWindow(handlers);
        });
        zeltra::FrmAddIn& frm = component.frmAddIn();
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
