#pragma once
// The welcome form as designed: its size, colours, controls in tab order and their texts.
// Positions and sizes are in twips (1440 to the inch), as the form designer keeps them; they are
// converted for the window's DPI when the window is made.
#include <windows.h>

#include <string>

namespace zeltra::forms::win32 {

struct TwipRect {
    int left, top, width, height;
};

inline constexpr wchar_t caption[] = L"Corvane Zeltra";
inline constexpr int clientWidth = 4590;
inline constexpr int clientHeight = 2430;
inline constexpr COLORREF formGreen = RGB(85, 170, 85);
inline constexpr COLORREF white = RGB(255, 255, 255);
inline constexpr wchar_t linkLabelClass[] = L"ZeltraLinkLabel";
inline constexpr wchar_t text1Tooltip[] = L" Visit Zeltra online for Updates & Support ";

// Control ids stay clear of IDOK and IDCANCEL, which the dialog manager sends for Enter and Esc.
enum ControlId : int {
    picture1Id = 100,
    okButtonId,
    text1Id,
    text2Id,
    lastWordId,
    getNowId,
    myIconId,
    webBrowser1Id,
};

struct ControlDesign {
    ControlId id;
    const wchar_t* windowClass;
    DWORD style;  // besides WS_CHILD | WS_VISIBLE
    DWORD extendedStyle;
    TwipRect rect;
};

// In tab order, which is the order the windows are made in. GetNow, OKButton, MyIcon and
// WebBrowser1 lie below the client area, where they are never seen but still take the focus.
// The labels take the mouse (SS_NOTIFY), so that moving onto them is not moving over the form.
inline constexpr ControlDesign controls[] = {
    {picture1Id, L"Static", SS_BITMAP | SS_CENTERIMAGE | SS_NOTIFY, 0, {60, 0, 1280, 380}},
    {okButtonId, L"Button", BS_PUSHBUTTON | WS_TABSTOP, 0, {3240, 2520, 735, 255}},
    {text1Id, linkLabelClass, WS_TABSTOP, 0, {120, 2160, 1455, 255}},
    {text2Id, L"Static", SS_LEFT | SS_NOTIFY, 0, {3600, 90, 975, 285}},
    {lastWordId, L"Edit", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL, WS_EX_CLIENTEDGE,
     {120, 360, 4335, 1695}},
    {getNowId, L"Button", BS_PUSHBUTTON | WS_TABSTOP, 0, {2640, 2520, 495, 255}},
    {myIconId, L"Static", SS_BITMAP | SS_CENTERIMAGE, 0, {120, 2520, 375, 375}},
    {webBrowser1Id, L"AtlAxWin", 0, 0, {1560, 2760, 495, 135}},
};

// The text each control is made with.
std::wstring textOf(ControlId id);

// The window's DPI: GetDpiForWindow where the system has it, the screen's otherwise.
UINT dpiOf(HWND window) noexcept;

inline int toPixels(int twips, UINT dpi) noexcept { return MulDiv(twips, static_cast<int>(dpi), 1440); }

}  // namespace zeltra::forms::win32
