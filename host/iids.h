#pragma once
// Identifiers of every host interface, event interface and class the add-in uses or serves.
#include "host/guid.h"

namespace host::iid {

inline constexpr Guid IUnknown = Guid::parse("{00000000-0000-0000-C000-000000000046}");
inline constexpr Guid IDispatch = Guid::parse("{00020400-0000-0000-C000-000000000046}");
inline constexpr Guid IConnectionPointContainer = Guid::parse("{B196B284-BAB4-101A-B69C-00AA00341D07}");
// Explorer and Inspector windows answer it with their window's handle.
inline constexpr Guid IOleWindow = Guid::parse("{00000114-0000-0000-C000-000000000046}");

// Outlook object model, type library version 9.1.
inline constexpr Guid OutlookLibrary = Guid::parse("{00062FFF-0000-0000-C000-000000000046}");
inline constexpr Guid Application = Guid::parse("{00063001-0000-0000-C000-000000000046}");
inline constexpr Guid NameSpace = Guid::parse("{00063002-0000-0000-C000-000000000046}");
inline constexpr Guid Explorer = Guid::parse("{00063003-0000-0000-C000-000000000046}");
inline constexpr Guid Inspector = Guid::parse("{00063005-0000-0000-C000-000000000046}");
inline constexpr Guid Inspectors = Guid::parse("{00063008-0000-0000-C000-000000000046}");
inline constexpr Guid Explorers = Guid::parse("{0006300A-0000-0000-C000-000000000046}");

// Outlook event interfaces (dispinterfaces raised through connection points), by the names Outlook's
// documentation gives these IIDs; the ones without "_10" there are older interfaces with other IIDs.
inline constexpr Guid ApplicationEvents_10 = Guid::parse("{0006300E-0000-0000-C000-000000000046}");
inline constexpr Guid ExplorerEvents_10 = Guid::parse("{0006300F-0000-0000-C000-000000000046}");
inline constexpr Guid InspectorEvents_10 = Guid::parse("{0006302A-0000-0000-C000-000000000046}");
inline constexpr Guid ItemEvents_10 = Guid::parse("{0006302B-0000-0000-C000-000000000046}");
inline constexpr Guid ExplorersEvents = Guid::parse("{00063078-0000-0000-C000-000000000046}");
inline constexpr Guid InspectorsEvents = Guid::parse("{00063079-0000-0000-C000-000000000046}");
inline constexpr Guid NameSpaceEvents = Guid::parse("{0006308C-0000-0000-C000-000000000046}");

// Outlook's application class, which the welcome form creates for itself.
inline constexpr Guid OutlookApplicationClass = Guid::parse("{0006F03A-0000-0000-C000-000000000046}");

// Office command bars, type library version 2.3.
inline constexpr Guid CommandBars = Guid::parse("{000C0302-0000-0000-C000-000000000046}");
inline constexpr Guid CommandBar = Guid::parse("{000C0304-0000-0000-C000-000000000046}");
inline constexpr Guid CommandBarControls = Guid::parse("{000C0306-0000-0000-C000-000000000046}");
inline constexpr Guid CommandBarControl = Guid::parse("{000C0308-0000-0000-C000-000000000046}");
inline constexpr Guid CommandBarButton = Guid::parse("{000C030E-0000-0000-C000-000000000046}");
// Office names it _CommandBarButtonEvents; a leading underscore and capital is reserved in C++.
inline constexpr Guid CommandBarButtonEvents = Guid::parse("{000C0351-0000-0000-C000-000000000046}");

// The Office add-in connection interface that the host drives.
inline constexpr Guid IDTExtensibility2 = Guid::parse("{B65AD801-ABAF-11D0-BB8B-00A0C90F2744}");

// Office's ribbon: the interface the add-in serves, and what Office hands its callbacks.
inline constexpr Guid IRibbonExtensibility = Guid::parse("{000C0396-0000-0000-C000-000000000046}");
inline constexpr Guid IRibbonControl = Guid::parse("{000C0395-0000-0000-C000-000000000046}");
inline constexpr Guid IRibbonUI = Guid::parse("{000C03A7-0000-0000-C000-000000000046}");

// Other components.
inline constexpr Guid WebBrowserClass = Guid::parse("{8856F961-340A-11D0-A96B-00C04FD705A2}");
inline constexpr Guid DWebBrowserEvents2 = Guid::parse("{34A715A0-6587-11D0-924A-0020AFC7AC4D}");
inline constexpr Guid WshShellClass = Guid::parse("{72C24DD5-D70A-438B-8A42-98424B88AFB8}");
inline constexpr Guid IWshShell3 = Guid::parse("{41904400-BE18-11D3-A28B-00104BD35090}");
inline constexpr Guid IWshShell = Guid::parse("{F935DC21-1CF0-11D0-ADB9-00C04FD58A0B}");

}  // namespace host::iid

namespace host::dispid {
// Events, as the host raises them.
inline constexpr int NewExplorer = 0xF001;
inline constexpr int NewInspector = 0xF001;
inline constexpr int BeforeFolderSwitch = 0xF003;
inline constexpr int SelectionChange = 0xF007;
inline constexpr int Close = 0xF008;
inline constexpr int Click = 1;
// The WebBrowser control's events (DWebBrowserEvents2).
inline constexpr int BeforeNavigate2 = 250;
inline constexpr int NewWindow3 = 273;
// The WebBrowser control's Navigate and Silent, called by DISPID.
inline constexpr int Navigate = 104;
inline constexpr int Silent = 551;
// IRibbonControl's Id and Context, IRibbonUI's InvalidateControl, by DISPID as Office declares them.
inline constexpr int RibbonControlId = 1;
inline constexpr int RibbonControlContext = 2;
inline constexpr int InvalidateControl = 2;
}  // namespace host::dispid
