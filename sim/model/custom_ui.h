#pragma once
// The custom UI documents an add-in's IRibbonExtensibility::GetCustomUI returns, read and checked as
// Office checks them against its customUI schemas (the 2006/01 namespace of Office 2007 and the
// 2009/07 one of Office 2010 and later), for the part of them the simulator models: tabs with
// groups of buttons and separators, and context menus with buttons and menu separators. Also what
// Outlook itself shows per ribbon ID: its built-in tabs and text context menus.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/model/xml_reader.h"

namespace sim::ui {

inline constexpr wchar_t namespace2006[] = L"http://schemas.microsoft.com/office/2006/01/customui";
inline constexpr wchar_t namespace2009[] = L"http://schemas.microsoft.com/office/2009/07/customui";

inline constexpr wchar_t explorerRibbonId[] = L"Microsoft.Outlook.Explorer";
inline constexpr wchar_t composeTextMenu[] = L"ContextMenuText";
inline constexpr wchar_t readOnlyTextMenu[] = L"ContextMenuReadOnlyMailText";

// What Outlook shows on its own.
struct BuiltInEntry {
    std::wstring idMso;  // empty where no published identifier was found for it
    std::wstring label;
};
struct BuiltInTab {
    std::wstring idMso;  // empty where no published identifier was found for it
    std::wstring label;
    std::vector<std::wstring> groups;
    int idMsoSince = 12;  // the first Outlook version whose published control lists name it

    // Its idMso in that Outlook version; empty where none is known there.
    std::wstring idMsoIn(int outlookVersion) const { return outlookVersion >= idMsoSince ? idMso : std::wstring(); }
};
struct BuiltInMenu {
    std::wstring idMso;
    std::vector<BuiltInEntry> entries;
};
struct RibbonKind {
    std::wstring ribbonId;
    std::vector<BuiltInTab> tabs;  // the first is the one a window opens on
    std::vector<BuiltInMenu> menus;
};
// Null for a ribbon ID Outlook does not have.
const RibbonKind* ribbonKind(std::wstring_view ribbonId);
// The ribbon ID of an item window of that Outlook item class, in read or compose mode; empty for
// a class whose windows have no ribbon of their own here.
std::wstring inspectorRibbonId(int itemClass, bool compose);

// One control of a loaded document.
struct Control {
    enum class Type { Tab, Group, Button, Separator, MenuSeparator };
    enum class IdKind { Custom, Qualified, BuiltIn };
    Type type;
    IdKind idKind;
    std::wstring id;  // the value of id, idQ or idMso
    std::map<std::wstring, std::wstring> attributes;
    std::vector<Control> children;
    int line;

    const std::wstring* attribute(const std::wstring& name) const;
    bool custom() const { return idKind != IdKind::BuiltIn; }
};
struct ContextMenu {
    std::wstring idMso;
    std::vector<Control> items;
};
struct CustomUi {
    std::wstring xmlNamespace;
    std::wstring onLoad;
    std::wstring loadImage;
    bool startFromScratch = false;
    std::vector<Control> tabs;
    std::vector<ContextMenu> contextMenus;
};

struct Validated {
    std::optional<CustomUi> ui;
    std::optional<xml::Error> error;  // the first error; the whole document is ignored then
};
// officeVersion: 12 takes the 2006/01 namespace only; 14 and later both.
Validated validate(std::wstring_view document, std::wstring_view ribbonId, int officeVersion);

// A boolean attribute's value as the schema reads it (true, false, 1, 0); nothing for any other.
std::optional<bool> booleanValue(std::wstring_view text);

}  // namespace sim::ui
