#include "sim/win32/clipboard.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>

namespace sim::win32 {
namespace {

std::vector<std::uint8_t> bytesOf(HANDLE data) {
    std::vector<std::uint8_t> bytes;
    const SIZE_T size = data ? GlobalSize(data) : 0;
    const void* locked = size ? GlobalLock(data) : nullptr;
    if (!locked) return bytes;
    bytes.assign(static_cast<const std::uint8_t*>(locked), static_cast<const std::uint8_t*>(locked) + size);
    GlobalUnlock(data);
    return bytes;
}

// A bitmap handle as a packed DIB of its own depth.
std::optional<Picture> dibOf(HBITMAP bitmap) {
    BITMAP info{};
    if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return std::nullopt;
    const WORD bits = info.bmBitsPixel <= 1 ? 1 : info.bmBitsPixel <= 4 ? 4 : info.bmBitsPixel <= 8 ? 8 : info.bmBitsPixel <= 16 ? 16 : info.bmBitsPixel <= 24 ? 24 : 32;
    const std::size_t colours = bits <= 8 ? std::size_t{1} << bits : 0;
    const std::size_t stride = (static_cast<std::size_t>(info.bmWidth) * bits + 31) / 32 * 4;
    Picture dib(sizeof(BITMAPINFOHEADER) + 4 * colours + stride * static_cast<std::size_t>(info.bmHeight));
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(dib.data());
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = info.bmWidth;
    header->biHeight = info.bmHeight;
    header->biPlanes = 1;
    header->biBitCount = bits;
    header->biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight),
                               dib.data() + sizeof(BITMAPINFOHEADER) + 4 * colours,
                               reinterpret_cast<BITMAPINFO*>(dib.data()), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != info.bmHeight) return std::nullopt;
    return dib;
}

std::wstring formatName(UINT id) {
    static const std::pair<UINT, const wchar_t*> standard[] = {
        {CF_TEXT, L"CF_TEXT"}, {CF_BITMAP, L"CF_BITMAP"}, {CF_METAFILEPICT, L"CF_METAFILEPICT"},
        {CF_SYLK, L"CF_SYLK"}, {CF_DIF, L"CF_DIF"}, {CF_TIFF, L"CF_TIFF"}, {CF_OEMTEXT, L"CF_OEMTEXT"},
        {CF_DIB, L"CF_DIB"}, {CF_PALETTE, L"CF_PALETTE"}, {CF_PENDATA, L"CF_PENDATA"}, {CF_RIFF, L"CF_RIFF"},
        {CF_WAVE, L"CF_WAVE"}, {CF_UNICODETEXT, L"CF_UNICODETEXT"}, {CF_ENHMETAFILE, L"CF_ENHMETAFILE"},
        {CF_HDROP, L"CF_HDROP"}, {CF_LOCALE, L"CF_LOCALE"}, {CF_DIBV5, L"CF_DIBV5"},
        {CF_OWNERDISPLAY, L"CF_OWNERDISPLAY"}, {CF_DSPTEXT, L"CF_DSPTEXT"}, {CF_DSPBITMAP, L"CF_DSPBITMAP"},
        {CF_DSPMETAFILEPICT, L"CF_DSPMETAFILEPICT"}, {CF_DSPENHMETAFILE, L"CF_DSPENHMETAFILE"}};
    for (const auto& [format, name] : standard)
        if (format == id) return name;
    wchar_t name[256];
    const int length = GetClipboardFormatNameW(id, name, 256);
    return length > 0 ? std::wstring(name, static_cast<std::size_t>(length)) : L"format " + std::to_wstring(id);
}

// Formats the system makes from others (text in other encodings, a bitmap in other forms), and the
// markers an add-in may add to keep its own use of the clipboard away from clipboard monitors.
bool leftOut(UINT id, const std::wstring& name) {
    if (id == CF_TEXT || id == CF_OEMTEXT || id == CF_LOCALE || id == CF_BITMAP || id == CF_DIBV5) return true;
    return name == L"ExcludeClipboardContentFromMonitorProcessing" || name == L"CanIncludeInClipboardHistory" ||
           name == L"CanUploadToCloudClipboard";
}

// Formats whose data is a GDI handle, not memory.
bool isHandleFormat(UINT id) {
    return id == CF_BITMAP || id == CF_PALETTE || id == CF_ENHMETAFILE || id == CF_METAFILEPICT ||
           id == CF_DSPBITMAP || id == CF_DSPENHMETAFILE || id == CF_DSPMETAFILEPICT || id == CF_OWNERDISPLAY ||
           (id >= CF_GDIOBJFIRST && id <= CF_GDIOBJLAST);
}

std::wstring describeBytes(const std::optional<std::vector<std::uint8_t>>& bytes) {
    return bytes ? std::to_wstring(bytes->size()) + L" bytes" : L"a handle";
}

}  // namespace

OpenedClipboard::OpenedClipboard(HWND owner) {
    for (int attempt = 0; attempt < 10 && !open_; ++attempt) {
        if (attempt) Sleep(10);
        open_ = OpenClipboard(owner) != FALSE;
    }
}

OpenedClipboard::~OpenedClipboard() {
    if (open_) CloseClipboard();
}

bool addData(UINT format, const void* bytes, std::size_t size) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) return false;
    void* target = GlobalLock(memory);
    if (!target) {
        GlobalFree(memory);
        return false;
    }
    std::memcpy(target, bytes, size);
    GlobalUnlock(memory);
    if (SetClipboardData(format, memory)) return true;  // the clipboard owns it now
    GlobalFree(memory);
    return false;
}

Clipboard::Clipboard()
    : owner_(CreateWindowExW(0, L"STATIC", L"Outlook simulator clipboard", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             GetModuleHandleW(nullptr), nullptr)) {}

Clipboard::~Clipboard() {
    if (owner_) DestroyWindow(owner_);
}

std::optional<Picture> Clipboard::picture() const {
    OpenedClipboard open(owner_);
    if (!open) return std::nullopt;
    if (IsClipboardFormatAvailable(CF_DIB)) {
        Picture dib = bytesOf(GetClipboardData(CF_DIB));
        if (!dib.empty()) return dib;
    }
    if (IsClipboardFormatAvailable(CF_BITMAP)) return dibOf(static_cast<HBITMAP>(GetClipboardData(CF_BITMAP)));
    return std::nullopt;
}

std::optional<std::wstring> Clipboard::text() const {
    OpenedClipboard open(owner_);
    if (!open || !IsClipboardFormatAvailable(CF_UNICODETEXT)) return std::nullopt;
    const std::vector<std::uint8_t> bytes = bytesOf(GetClipboardData(CF_UNICODETEXT));
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    if (const auto end = text.find(L'\0'); end != std::wstring::npos) text.resize(end);
    return text;
}

bool Clipboard::setText(const std::wstring& text) {
    OpenedClipboard open(owner_);
    if (!open || !EmptyClipboard()) return false;
    return addData(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

bool Clipboard::addBitmap() {
    OpenedClipboard open(owner_);
    const Picture dib = testBitmap();
    return open && addData(CF_DIB, dib.data(), dib.size());
}

bool Clipboard::addPrivate() {
    const UINT format = RegisterClipboardFormatW(privateFormatName);
    OpenedClipboard open(owner_);
    const auto bytes = privateBytes();
    return format && open && addData(format, bytes.data(), bytes.size());
}

bool Clipboard::addFileContents() {
    const UINT descriptor = RegisterClipboardFormatW(L"FileGroupDescriptorW");
    const UINT contents = RegisterClipboardFormatW(L"FileContents");
    FILEGROUPDESCRIPTORW files{};
    files.cItems = 1;
    files.fgd[0].dwFlags = FD_FILESIZE;
    files.fgd[0].nFileSizeLow = 12;
    lstrcpynW(files.fgd[0].cFileName, L"Attachment.txt", MAX_PATH);
    OpenedClipboard open(owner_);
    if (!descriptor || !contents || !open || GetClipboardOwner() != owner_) return false;
    if (!addData(descriptor, &files, sizeof files)) return false;
    SetClipboardData(contents, nullptr);  // for rendering on request, which the window never does
    return IsClipboardFormatAvailable(contents);
}

bool Clipboard::addOwnerDisplay() {
    OpenedClipboard open(owner_);
    if (!open || GetClipboardOwner() != owner_) return false;
    SetClipboardData(CF_OWNERDISPLAY, nullptr);
    return IsClipboardFormatAvailable(CF_OWNERDISPLAY);
}

Picture Clipboard::testBitmap() {
    constexpr int side = 8;
    constexpr std::size_t stride = side * 3;  // already a multiple of four
    Picture dib(sizeof(BITMAPINFOHEADER) + stride * side);
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(dib.data());
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = side;
    header->biHeight = side;
    header->biPlanes = 1;
    header->biBitCount = 24;
    header->biCompression = BI_RGB;
    header->biSizeImage = static_cast<DWORD>(stride * side);
    std::uint8_t* pixel = dib.data() + sizeof(BITMAPINFOHEADER);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            *pixel++ = static_cast<std::uint8_t>(32 * x);       // blue
            *pixel++ = static_cast<std::uint8_t>(32 * y);       // green
            *pixel++ = static_cast<std::uint8_t>(0x80 + x + y);  // red
        }
    return dib;
}

std::vector<std::uint8_t> Clipboard::privateBytes() {
    return {'Z', 'e', 'l', 't', 'r', 'a', 0, 1, 2, 3, 0xFE, 0xFF};
}

std::optional<std::vector<Clipboard::Format>> Clipboard::snapshot() const {
    OpenedClipboard open(owner_);
    if (!open) return std::nullopt;
    std::vector<Format> formats;
    for (UINT id = EnumClipboardFormats(0); id; id = EnumClipboardFormats(id)) {
        std::wstring name = formatName(id);
        if (leftOut(id, name)) continue;
        Format format{id, std::move(name), std::nullopt};
        if (!isHandleFormat(id)) format.bytes = bytesOf(GetClipboardData(id));
        formats.push_back(std::move(format));
    }
    return formats;
}

std::wstring Clipboard::differences(const std::vector<Format>& before, const std::vector<Format>& after) {
    std::wstring found;
    const auto add = [&](const std::wstring& what) { found += (found.empty() ? L"" : L"; ") + what; };
    for (const Format& was : before) {
        const auto now = std::find_if(after.begin(), after.end(), [&](const Format& f) { return f.id == was.id; });
        if (now == after.end()) add(was.name + L" gone");
        else if (now->bytes != was.bytes)
            add(was.name + L" changed (" + describeBytes(was.bytes) + L", now " + describeBytes(now->bytes) + L")");
    }
    for (const Format& now : after)
        if (std::none_of(before.begin(), before.end(), [&](const Format& f) { return f.id == now.id; }))
            add(now.name + L" added");
    return found;
}

std::wstring Clipboard::describe(const std::vector<Format>& formats) {
    if (formats.empty()) return L"empty";
    std::wstring text;
    for (const Format& format : formats)
        text += (text.empty() ? L"" : L", ") + format.name + L" (" + describeBytes(format.bytes) + L")";
    return text;
}

bool ProgramThread::start(std::function<void(ProgramThread&)> body) {
    stop();
    if (!ready_.handle || !stop_.handle) return false;
    ResetEvent(ready_.handle);
    ResetEvent(stop_.handle);
    ok_ = false;
    thread_ = std::thread([this, body = std::move(body)]() noexcept { body(*this); });
    waitHandlingSentMessages(ready_.handle);
    if (!ok_) stop();
    return ok_;
}

void ProgramThread::ready(bool ok) {
    ok_ = ok;
    SetEvent(ready_.handle);
}

void waitHandlingSentMessages(HANDLE event) {
    while (MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void ProgramThread::runMessagesUntilStopped(DWORD ms) const {
    const ULONGLONG deadline = ms == INFINITE ? ~0ull : GetTickCount64() + ms;
    for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
        const DWORD wait = ms == INFINITE ? INFINITE : static_cast<DWORD>(deadline - now);
        if (MsgWaitForMultipleObjects(1, &stop_.handle, FALSE, wait, QS_ALLINPUT) != WAIT_OBJECT_0 + 1) return;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
}

void ProgramThread::stop() {
    if (!thread_.joinable()) return;
    SetEvent(stop_.handle);
    thread_.join();
}

bool ClipboardHolder::hold(DWORD ms) {
    return thread_.start([ms](ProgramThread& thread) {
        // A message-only window of this thread: the clipboard's holder as GetOpenClipboardWindow tells.
        const HWND window = CreateWindowExW(0, L"STATIC", L"Zeltra Test Clipboard Holder", 0, 0, 0, 0, 0,
                                            HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
        const bool opened = window && OpenClipboard(window);
        thread.ready(opened);
        if (opened) {
            thread.runMessagesUntilStopped(ms);
            CloseClipboard();
        }
        if (window) DestroyWindow(window);
    });
}

bool OtherProgramCopy::copy(const std::wstring& text) {
    return thread_.start([text](ProgramThread& thread) {
        const HWND window = CreateWindowExW(0, L"STATIC", L"Zeltra Test Other Program", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                            nullptr, GetModuleHandleW(nullptr), nullptr);
        bool copied = false;
        if (window && OpenClipboard(window)) {
            copied = EmptyClipboard() && addData(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
            CloseClipboard();
        }
        thread.ready(copied);
        if (copied) thread.runMessagesUntilStopped(INFINITE);
        if (window) DestroyWindow(window);
    });
}

}  // namespace sim::win32
