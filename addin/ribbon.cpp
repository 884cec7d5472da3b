#include "addin/ribbon.h"

#include "host/error_mode.h"
#include "host/iids.h"
#include "modules/launch.h"

namespace zeltra {
namespace {

// Where the add-in goes in each ribbon it adds to: the window's first tab, and the text context
// menus of its text. Tab and menu names are Office's idMso, as its control lists give them.
struct TextMenu {
    const wchar_t* idMso;
    const wchar_t* firstEntryIdMso;  // the entry goes before it, at the top
};
constexpr TextMenu readOnlyText{L"ContextMenuReadOnlyMailText", L"Copy"};
constexpr TextMenu editableText{L"ContextMenuText", L"Cut"};

constexpr int outlook2007 = 12;
constexpr int outlook2010 = 14;
constexpr int outlook2013 = 15;

struct RibbonPlace {
    const wchar_t* ribbonId;
    const wchar_t* tabIdMso;
    const TextMenu* menus[2];
    int since;  // the first Outlook version whose ribbon the add-in adds to there
};

// The kinds of item window the command-bar button serves; distribution lists and documents get
// nothing, as they get no button. The first tabs of posts, tasks and journal entries are named in
// Office's control lists from Outlook 2013 on only, and Office refuses a whole document that names
// a tab it does not have: before 2013 those windows keep the command-bar button.
constexpr RibbonPlace places[] = {
    {L"Microsoft.Outlook.Mail.Read", L"TabReadMessage", {&readOnlyText, nullptr}, outlook2007},
    {L"Microsoft.Outlook.Mail.Compose", L"TabNewMailMessage", {&editableText, nullptr}, outlook2007},
    {L"Microsoft.Outlook.Appointment", L"TabAppointment", {&editableText, nullptr}, outlook2007},
    {L"Microsoft.Outlook.Contact", L"TabContact", {&editableText, nullptr}, outlook2007},
    {L"Microsoft.Outlook.Post.Read", L"TabReadMessage", {&readOnlyText, nullptr}, outlook2013},
    {L"Microsoft.Outlook.Post.Compose", L"TabNewMailMessage", {&editableText, nullptr}, outlook2013},
    {L"Microsoft.Outlook.Task", L"TabTask", {&editableText, nullptr}, outlook2013},
    {L"Microsoft.Outlook.Journal", L"TabJournal", {&editableText, nullptr}, outlook2013},
    // The main window (it has a ribbon from 2010 on): the Home tab, and the reading pane's menus
    // (a mail read there, an inline reply).
    {L"Microsoft.Outlook.Explorer", L"TabMail", {&readOnlyText, &editableText}, outlook2010},
};

constexpr const wchar_t* namespace2006 = L"http://schemas.microsoft.com/office/2006/01/customui";
constexpr const wchar_t* namespace2009 = L"http://schemas.microsoft.com/office/2009/07/customui";
constexpr const wchar_t* explorerRibbonId = L"Microsoft.Outlook.Explorer";

// The ribbon button's and the menu entries' common attributes.
std::wstring commonAttributes() {
    return L" getImage=\"GetZeltraImage\" onAction=\"OnZeltraAction\" screentip=\"Zeltra\""
           L" supertip=\" Launch selected text with Zeltra \"";
}

std::wstring menuEntry(const TextMenu& menu) {
    return std::wstring(L"<contextMenu idMso=\"") + menu.idMso + L"\"><button id=\"ZeltraLookUp" + menu.idMso +
           L"\" label=\"Look up with Zel&amp;tra\" insertBeforeMso=\"" + menu.firstEntryIdMso + L"\"" +
           commonAttributes() + L" getVisible=\"GetZeltraVisible\"/></contextMenu>";
}

struct Window {
    host::Inspector inspector;
    host::Explorer explorer;
};

// The control's window: its Context is the Inspector or the Explorer the user pressed it on.
Window windowOf(const host::Object& control) {
    const host::Object context = control.get(host::DispId{host::dispid::RibbonControlContext}).toObject();
    Window window;
    host::resumeNext([&] { window.inspector = host::Inspector::from(context); });
    if (window.inspector.isNothing()) window.explorer = host::Explorer::from(context);
    return window;
}

// Word's document behind the control's window, or Nothing where the object model has none.
host::Object documentOf(const Window& window, const host::Application& trusted) {
    host::Object document;
    host::resumeNext([&] {
        document = window.inspector.isNothing() ? inlineReplyDocumentOf(trusted, window.explorer)
                                                : wordDocumentOf(trusted, window.inspector);
    });
    return document;
}

}  // namespace

std::wstring customUiFor(std::wstring_view ribbonId, int outlookVersion) {
    const bool withMenus = outlookVersion >= outlook2010;
    for (const RibbonPlace& place : places) {
        if (ribbonId != place.ribbonId || outlookVersion < place.since) continue;
        const bool explorer = ribbonId == explorerRibbonId;
        std::wstring xml = std::wstring(L"<customUI xmlns=\"") + (withMenus ? namespace2009 : namespace2006) +
                           L"\" onLoad=\"OnRibbonLoad\"><ribbon><tabs><tab idMso=\"" + place.tabIdMso +
                           L"\"><group id=\"ZeltraGroup\" label=\"Zeltra\"><button id=\"" + LoadedRibbons::buttonId +
                           L"\" label=\"Zel&amp;tra\" size=\"large\"" + commonAttributes() +
                           (explorer ? L" getEnabled=\"GetZeltraEnabled\"" : L"") +
                           L"/></group></tab></tabs></ribbon>";
        if (withMenus) {
            xml += L"<contextMenus>";
            for (const TextMenu* menu : place.menus)
                if (menu) xml += menuEntry(*menu);
            xml += L"</contextMenus>";
        }
        return xml + L"</customUI>";
    }
    return {};
}

void RibbonCallbacks::OnZeltraAction(const host::Object& control) {
    const Window window = windowOf(control);
    // A mail read in the reading pane, or an editor other than Word, has no document.
    LaunchSelectionOf(component_, documentOf(window, component_.modOutlook.objApp));
}

bool RibbonCallbacks::GetZeltraEnabled(const host::Object& control) noexcept try {
    const Window window = windowOf(control);
    if (window.explorer.isNothing()) return true;
    const host::Variant shown = window.explorer.object().get(L"Selection").toObject().get(L"Count");
    return !host::equalsInteger(shown, 0).value_or(false);
} catch (...) {
    return true;  // when Outlook cannot tell, the press decides
}

bool RibbonCallbacks::GetZeltraVisible(const host::Object& control) noexcept try {
    const host::Object document = documentOf(windowOf(control), component_.modOutlook.objApp);
    if (document.isNothing()) return true;  // a mail read in the reading pane: not known
    return WordSelection(document).anythingSelected().value_or(true);
} catch (...) {
    return true;
}

}  // namespace zeltra
