#pragma once
// How Outlook's text views copy: through OleSetClipboard, as Word, RichEdit and the HTML viewer
// do. OLE offers every format with delayed rendering (SetClipboardData with no data) and renders a
// format only when somebody reads it, from IDataObject::GetData, in the OLE clipboard window of the
// thread that copied: Outlook's UI thread. That thread must therefore be free to handle the
// WM_RENDERFORMAT a reader sends it.
#include <windows.h>

#include <string>

namespace sim::win32 {

// Offers the text as CF_UNICODETEXT and "HTML Format" through OleSetClipboard; false when OLE
// refused (another program held the clipboard).
bool copyThroughOle(const std::wstring& text);

// How many formats the copies made so far have rendered on request (WM_RENDERFORMAT).
long oleRenderings();

}  // namespace sim::win32
