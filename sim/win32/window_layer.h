#pragma once
// The simulator's Explorer and item windows: real top-level Win32 windows. An item window of
// Outlook 2003 shows its Standard command bar as a strip along its top (each visible control with
// its face and caption); from Outlook 2007 on it shows a ribbon strip instead (the first tab with
// its built-in groups and the add-ins' groups), and the add-ins' command-bar controls on an
// Add-ins strip below it. Below them is an editable text control with the item's body. An
// Explorer shows the Home tab's ribbon strip from Outlook 2010 on, and a reading pane with the
// selected item's body (read-only, its text selectable). An open context menu is a popup window.
#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/model/outlook_model.h"
#include "sim/model/ribbon.h"

namespace sim::win32 {

class WindowLayer {
public:
    // visible: shown on screen (interactive use); otherwise created hidden.
    WindowLayer(Model& model, bool visible);
    ~WindowLayer();
    WindowLayer(const WindowLayer&) = delete;
    WindowLayer& operator=(const WindowLayer&) = delete;

    // Called when the user closes a window or asks for a new one (interactive use).
    std::function<void(Node&)> onUserClose;
    std::function<void()> onNewItem;
    std::function<void()> onNewExplorer;
    std::function<void()> onQuit;

    void opened(Node& window);
    void closed(Node& window);
    void bringToFront(Node& window);
    // Selects characters [start, start + length) of an item window's text; the window becomes the
    // foreground window and its text the keyboard focus.
    void select(Node& window, int start, int length);
    // Whether the window is the foreground window with the keyboard focus in its text.
    bool editorHasFocus(const Node& window) const;
    // The user clicks an Explorer's message list: the window comes to the front, the list takes
    // the focus.
    void focusMessageList(Node& explorer);
    // Where the keyboard focus is, in words, each window called as nameOf says.
    std::wstring focusDescription(const std::function<std::wstring(const Node&)>& nameOf) const;
    // Outlook's message loop asks this before it translates and dispatches each message, as it asks
    // the in-place active object (IOleInPlaceActiveObject::TranslateAccelerator): Ctrl+C (or
    // Ctrl+Insert) in a view of a window copies there. True when the message was taken.
    bool preTranslate(const MSG& message);
    // Called after a view or the message list put its copy on the clipboard.
    std::function<void()> afterCopy;
    std::wstring selectedText(Node& window) const;
    HWND handleOf(const Node& window) const;
    // The Explorer or item window whose frame that is, or null.
    const Node* windowOfFrame(HWND frame) const { return nodeOf(frame); }
    // The window's text control: an item window's editor, an Explorer's reading pane.
    HWND editorOf(const Node& window) const;
    std::size_t openCount() const { return windows_.size(); }
    std::vector<Node*> openWindows() const;
    // From now on the editor of an item window answers Ctrl+C (its WM_COPY) only after delayMs;
    // withoutTextFirst: at once it puts a change without text on the clipboard (the private test
    // format alone), then copies after delayMs. False for a window without an editor.
    bool setSlowCopy(const Node& window, DWORD delayMs, bool withoutTextFirst);
    // A control changed, or the ribbons' state: the windows draw their strips again.
    void barsChanged();
    // The text and selection of an item window's editor or an Explorer's reading pane.
    std::optional<EditorState> editorState(const Node& window) const;
    // The Explorer's reading pane shows its selected item, or an inline reply's text, editable.
    void readingPaneChanged(Node& explorer, const std::optional<std::wstring>& replyText = std::nullopt);
    // A context menu of these entries opens at the window's selection; closes again.
    void openMenu(const Node& window, std::vector<Ribbons::MenuEntry> entries);
    void closeMenu();
    HWND menuWindow() const { return menu_; }
    HRESULT saveMenuImage(const std::wstring& path) const;
    // Saves the window's client area, as it paints itself, as a PNG file.
    HRESULT saveImage(const Node& window, const std::wstring& path) const;

private:
    static void registerClasses();
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    static LRESULT CALLBACK editorProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    static LRESULT CALLBACK messageListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    // What a view does with a message of its own, before the edit control: its copy.
    std::optional<LRESULT> editorMessage(HWND editor, UINT message, WPARAM wParam);
    void copySelectionOf(HWND view);
    // The class of the view a window shows its text in, as in that Outlook version.
    const wchar_t* viewClassOf(const Node& window) const;
    // What the message list copies: its column heads and the selected item's row.
    static std::wstring messageListText(const Node& explorer);
    LRESULT handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    Node* nodeOf(HWND hwnd) const;
    void paintBar(HDC dc, Node& inspector, int width, int top, bool addInsOnly) const;
    // The height of the strips above a window's text.
    int topOf(const Node& window) const;
    static LRESULT CALLBACK menuProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    struct Window {
        HWND frame;
        HWND editor;  // item windows: their text; explorers: the reading pane
        HWND list = nullptr;  // explorers: the message list
        DWORD copyDelay = 0;
        bool withoutTextFirst = false;
    };
    Model& model_;
    bool visible_;
    std::map<const Node*, Window> windows_;
    HWND menu_ = nullptr;
    std::vector<Ribbons::MenuEntry> menuEntries_;
};

const wchar_t* itemClassName(std::int32_t itemClass);

}  // namespace sim::win32
