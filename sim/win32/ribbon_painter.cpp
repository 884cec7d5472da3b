#include "sim/win32/ribbon_painter.h"

#include <algorithm>

#include "sim/win32/pictures.h"

namespace sim::win32 {
namespace {

constexpr int groupLabelHeight = 16;
constexpr int menuRowHeight = 22;
constexpr int menuSeparatorHeight = 7;
constexpr int menuImageColumn = 28;

// A GDI object selected into a DC for the scope, and deleted after when it was made for it.
class Selected {
public:
    Selected(HDC dc, HGDIOBJ object, bool owned) : dc_(dc), object_(object), owned_(owned), previous_(SelectObject(dc, object)) {}
    ~Selected() {
        SelectObject(dc_, previous_);
        if (owned_) DeleteObject(object_);
    }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

private:
    HDC dc_;
    HGDIOBJ object_;
    bool owned_;
    HGDIOBJ previous_;
};

void fill(HDC dc, const RECT& r, COLORREF colour) {
    const HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

void frame(HDC dc, const RECT& r, COLORREF colour) {
    const HBRUSH brush = CreateSolidBrush(colour);
    FrameRect(dc, &r, brush);
    DeleteObject(brush);
}

// A ribbon label as the ribbon shows it: no accelerator, "&&" an ampersand.
std::wstring withoutAccelerator(const std::wstring& label) {
    std::wstring shown;
    for (std::size_t i = 0; i < label.size(); ++i) {
        if (label[i] == L'&' && i + 1 < label.size()) ++i;
        else if (label[i] == L'&') continue;
        shown += label[i];
    }
    return shown;
}

int textWidth(HDC dc, const std::wstring& text, UINT prefix) {
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), -1, &r, DT_SINGLELINE | DT_CALCRECT | prefix);
    return r.right;
}

// One of the add-in's controls in a group: a large one with its picture above the label, a normal
// one with its picture left of it. Ribbon labels show no accelerator: their ampersand is hidden.
int paintControl(HDC dc, const Ribbons::ShownControl& c, int x, int top, int bottom) {
    if (c.separator) {
        const RECT line{x + 2, top + 2, x + 3, bottom - 2};
        fill(dc, line, RGB(0xC8, 0xC8, 0xC8));
        return 6;
    }
    SetTextColor(dc, GetSysColor(c.enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    const std::wstring label = c.showLabel ? withoutAccelerator(c.label) : L"";
    const int labelWidth = textWidth(dc, label, DT_NOPREFIX);
    if (c.large) {
        const int width = std::max(largeImage, labelWidth) + 8;
        if (c.showImage && c.image) drawImage(dc, *c.image, x + (width - largeImage) / 2, top + 2, largeImage, !c.enabled);
        RECT place{x, top + largeImage + 4, x + width, bottom};
        DrawTextW(dc, label.c_str(), -1, &place, DT_CENTER | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
        return width;
    }
    int at = x + 2;
    if (c.showImage && c.image) {
        drawImage(dc, *c.image, at, top + 2, smallImage, !c.enabled);
        at += smallImage + 3;
    }
    RECT place{at, top + 2, at + labelWidth, top + 2 + smallImage};
    DrawTextW(dc, label.c_str(), -1, &place, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    return at + labelWidth + 4 - x;
}

}  // namespace

void drawImage(HDC dc, const Image& image, int x, int y, int size, bool greyed) {
    if (image.empty()) return;
    const BITMAPINFO info = topDown32(image.width, image.height);
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) return;
    // AlphaBlend takes premultiplied pixels.
    auto* out = static_cast<std::uint32_t*>(bits);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const std::uint32_t p = image.pixels[i];
        std::uint32_t a = p >> 24;
        if (greyed) a /= 3;
        const auto scale = [a](std::uint32_t c) { return c * a / 255; };
        out[i] = a << 24 | scale((p >> 16) & 0xFF) << 16 | scale((p >> 8) & 0xFF) << 8 | scale(p & 0xFF);
    }
    const HDC source = CreateCompatibleDC(dc);
    {
        const Selected selected(source, bitmap, false);
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        AlphaBlend(dc, x, y, size, size, source, 0, 0, image.width, image.height, blend);
    }
    DeleteDC(source);
    DeleteObject(bitmap);
}

void paintRibbon(HDC dc, const RECT& area, const ui::RibbonKind& kind, const std::vector<Ribbons::ShownGroup>& groups,
                 const std::vector<std::wstring>& extraTabs) {
    const int saved = SaveDC(dc);
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    fill(dc, area, RGB(0xF3, 0xF3, 0xF3));
    // The tab row: the first tab selected, then the others the user could pick.
    int x = area.left + 6;
    const int tabTop = area.top + 2;
    std::vector<std::wstring> tabs = {kind.tabs.empty() ? L"" : kind.tabs.front().label};
    tabs.insert(tabs.end(), extraTabs.begin(), extraTabs.end());
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        const int width = textWidth(dc, tabs[i], DT_NOPREFIX) + 16;
        const RECT tab{x, tabTop, x + width, area.top + ribbonTabRowHeight};
        if (i == 0) {
            fill(dc, tab, RGB(0xFF, 0xFF, 0xFF));
            frame(dc, tab, RGB(0xC0, 0xC0, 0xC0));
        }
        SetTextColor(dc, i == 0 ? RGB(0x1E, 0x4E, 0x9A) : GetSysColor(COLOR_BTNTEXT));
        RECT text = tab;
        DrawTextW(dc, tabs[i].c_str(), -1, &text, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
        x += width + 2;
    }
    const RECT body{area.left, area.top + ribbonTabRowHeight, area.right, area.bottom};
    fill(dc, body, RGB(0xFF, 0xFF, 0xFF));
    const RECT line{area.left, area.bottom - 1, area.right, area.bottom};
    fill(dc, line, RGB(0xC0, 0xC0, 0xC0));
    const int top = body.top + 4;
    const int labelTop = body.bottom - groupLabelHeight - 2;
    x = area.left + 4;
    const auto groupEnd = [&](int start, const std::wstring& label) {
        const int width = std::max(x - start, textWidth(dc, label, DT_NOPREFIX) + 8);
        SetTextColor(dc, RGB(0x60, 0x60, 0x60));
        RECT text{start, labelTop, start + width, body.bottom - 2};
        const std::wstring shown = withoutAccelerator(label);
        DrawTextW(dc, shown.c_str(), -1, &text, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
        const RECT divider{start + width + 2, top, start + width + 3, body.bottom - 4};
        fill(dc, divider, RGB(0xD8, 0xD8, 0xD8));
        x = start + width + 6;
    };
    // Outlook's own groups, as placeholders.
    if (!kind.tabs.empty())
        for (const std::wstring& name : kind.tabs.front().groups) {
            const int start = x;
            const RECT placeholder{x + 4, top + 2, x + 4 + largeImage, top + 2 + largeImage};
            fill(dc, placeholder, RGB(0xE4, 0xE4, 0xE4));
            x += largeImage + 8;
            groupEnd(start, name);
        }
    // The add-in's groups of that tab, or of tabs of their own.
    for (const Ribbons::ShownGroup& group : groups) {
        if (!group.visible || !group.onFirstTab) continue;
        const int start = x;
        for (const Ribbons::ShownControl& control : group.controls)
            if (control.visible) x += paintControl(dc, control, x, top, labelTop) + 2;
        groupEnd(start, group.label);
    }
    RestoreDC(dc, saved);
}

SIZE menuSize(HDC dc, const std::vector<Ribbons::MenuEntry>& entries) {
    const int saved = SaveDC(dc);
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    int width = 120;
    int height = 4;
    for (const auto& e : entries) {
        height += e.separator ? menuSeparatorHeight : menuRowHeight;
        if (!e.separator) width = std::max(width, menuImageColumn + textWidth(dc, e.label, 0) + 24);
    }
    RestoreDC(dc, saved);
    return {width, height};
}

void paintMenu(HDC dc, const RECT& area, const std::vector<Ribbons::MenuEntry>& entries) {
    const int saved = SaveDC(dc);
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    fill(dc, area, RGB(0xFC, 0xFC, 0xFC));
    const RECT column{area.left + 1, area.top + 1, area.left + menuImageColumn, area.bottom - 1};
    fill(dc, column, RGB(0xF0, 0xF0, 0xF0));
    frame(dc, area, RGB(0x80, 0x80, 0x80));
    int y = area.top + 2;
    for (const auto& e : entries) {
        if (e.separator) {
            const RECT line{area.left + menuImageColumn + 2, y + 3, area.right - 4, y + 4};
            fill(dc, line, RGB(0xD0, 0xD0, 0xD0));
            y += menuSeparatorHeight;
            continue;
        }
        if (e.image) drawImage(dc, *e.image, area.left + 6, y + (menuRowHeight - smallImage) / 2, smallImage, !e.enabled);
        SetTextColor(dc, GetSysColor(e.enabled ? COLOR_MENUTEXT : COLOR_GRAYTEXT));
        // Menus underline the accelerator.
        RECT text{area.left + menuImageColumn + 6, y, area.right - 4, y + menuRowHeight};
        DrawTextW(dc, e.label.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER);
        y += menuRowHeight;
    }
    RestoreDC(dc, saved);
}

}  // namespace sim::win32
