#pragma once
// How the simulator draws what Office 2007 and later show: a window's ribbon strip (its first
// tab's built-in groups as placeholders, then the add-in's groups), pictures with their alpha,
// and an open context menu.
#include <windows.h>

#include <string>
#include <vector>

#include "sim/model/custom_ui.h"
#include "sim/model/image.h"
#include "sim/model/ribbon.h"

namespace sim::win32 {

inline constexpr int ribbonTabRowHeight = 22;
inline constexpr int ribbonHeight = 104;  // the tab row and the groups below it
inline constexpr int largeImage = 32;
inline constexpr int smallImage = 16;

// A picture drawn at size x size with its alpha (greyed: faded, for a disabled control).
void drawImage(HDC dc, const Image& image, int x, int y, int size, bool greyed);

// The ribbon strip of a window showing that kind's ribbon: the tab row (the first tab selected,
// then extraTabs) and the first tab's groups.
void paintRibbon(HDC dc, const RECT& area, const ui::RibbonKind& kind, const std::vector<Ribbons::ShownGroup>& groups,
                 const std::vector<std::wstring>& extraTabs);

// An open context menu: its size for these entries, and the menu drawn into a client area.
SIZE menuSize(HDC dc, const std::vector<Ribbons::MenuEntry>& entries);
void paintMenu(HDC dc, const RECT& area, const std::vector<Ribbons::MenuEntry>& entries);

}  // namespace sim::win32
