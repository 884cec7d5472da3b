#pragma once
// Desktop services the add-in uses besides automation objects: the clipboard, keystrokes,
// message boxes and the shell. Every operation throws host::Error when the system refuses it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// A device-independent bitmap: the BITMAPINFOHEADER, its colour table and the pixels.
struct Bitmap {
    std::vector<std::uint8_t> dib;
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // The clipboard's text; empty when it holds no text.
    virtual std::wstring clipboardText() = 0;
    virtual void setClipboardText(std::wstring_view text) = 0;
    virtual void clearClipboard() = 0;
    virtual void setClipboardPicture(const Bitmap& picture) = 0;

    // Sends the key string (such as "^c") to the window with the keyboard focus and returns once
    // that window has processed it.
    virtual void sendKeysAndWait(std::wstring_view keys) = 0;

    // A modal message box; returns when dismissed. The answer is not reported.
    virtual void messageBox(std::wstring_view prompt, std::uint32_t style, std::wstring_view title) = 0;

    // Hands a file or address to the shell ("open").
    virtual void shellOpen(std::wstring_view file, std::wstring_view parameters, std::wstring_view directory,
                           std::int32_t showCommand) = 0;
};

}  // namespace host
