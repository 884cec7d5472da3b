#include "host/win32/clipboard.h"

#include <cstring>
#include <utility>

#include "host/error.h"
#include "host/win32/last_error.h"
#include "host/win32/sent_messages.h"
#include "host/win32/unique_handle.h"

namespace host::win32 {
namespace {

class LockedGlobal {
public:
    explicit LockedGlobal(HGLOBAL global) noexcept
        : global_(global), data_(static_cast<std::uint8_t*>(GlobalLock(global))) {}
    LockedGlobal(const LockedGlobal&) = delete;
    LockedGlobal& operator=(const LockedGlobal&) = delete;
    ~LockedGlobal() {
        if (data_) GlobalUnlock(global_);
    }
    std::uint8_t* data() const noexcept { return data_; }

private:
    HGLOBAL global_;
    std::uint8_t* data_;
};

[[noreturn]] void throwNotSaved(const char* why) { throw Error(hresult::clipboardNotSaved, why); }

// How a format's data is held, and so how it is saved. Most formats are global memory: the text
// formats, CF_DIB, CF_DIBV5, CF_HDROP, CF_LOCALE and every registered format ("HTML Format",
// "Rich Text Format", private ones).
enum class Kind { global, enhMetaFile, metaFilePict, palette, keptThroughDib, notSaved };

Kind kindOf(UINT format) noexcept {
    switch (format) {
    case CF_ENHMETAFILE:
        return Kind::enhMetaFile;
    case CF_METAFILEPICT:
        return Kind::metaFilePict;
    case CF_PALETTE:
        return Kind::palette;
    // Whenever CF_BITMAP is listed, CF_DIB and CF_DIBV5 are listed too: the system renders them
    // from the bitmap if they were not put there, and renders the bitmap back from them when
    // they are put back. The DIBs carry the pixels, so the device-dependent bitmap is not kept.
    case CF_BITMAP:
        return Kind::keptThroughDib;
    // What cannot be kept: the owner draws CF_OWNERDISPLAY itself; the CF_DSP* formats stand in
    // for the owner's private data, and CF_PRIVATEFIRST..CF_PRIVATELAST and
    // CF_GDIOBJFIRST..CF_GDIOBJLAST are handles only their owner knows how to copy or free.
    case CF_OWNERDISPLAY:
    case CF_DSPTEXT:
    case CF_DSPBITMAP:
    case CF_DSPMETAFILEPICT:
    case CF_DSPENHMETAFILE:
        return Kind::notSaved;
    default:
        if (format >= CF_PRIVATEFIRST && format <= CF_PRIVATELAST) return Kind::notSaved;
        if (format >= CF_GDIOBJFIRST && format <= CF_GDIOBJLAST) return Kind::notSaved;
        return Kind::global;
    }
}

// A saved CF_METAFILEPICT: this header, then the metafile's bits.
struct PictureHeader {
    LONG mapMode;
    LONG xExt;
    LONG yExt;
};

// The bytes of one format's data; none when it cannot be read or is larger than the budget.
// (Data of no bytes at all cannot be locked either.)
std::vector<std::uint8_t> readData(Kind kind, HANDLE data, std::size_t budget) {
    std::vector<std::uint8_t> bytes;
    switch (kind) {
    case Kind::global: {
        const SIZE_T size = GlobalSize(data);
        const LockedGlobal view(data);
        if (view.data() && size <= budget) bytes.assign(view.data(), view.data() + size);
        break;
    }
    case Kind::enhMetaFile: {
        const auto metaFile = static_cast<HENHMETAFILE>(data);
        const UINT size = GetEnhMetaFileBits(metaFile, 0, nullptr);
        if (size > budget) break;
        bytes.resize(size);
        if (GetEnhMetaFileBits(metaFile, size, bytes.data()) != size) bytes.clear();
        break;
    }
    case Kind::metaFilePict: {
        METAFILEPICT picture;
        {
            const LockedGlobal view(data);
            if (!view.data() || GlobalSize(data) < sizeof picture) break;
            std::memcpy(&picture, view.data(), sizeof picture);
        }
        const UINT size = GetMetaFileBitsEx(picture.hMF, 0, nullptr);
        const PictureHeader header{picture.mm, picture.xExt, picture.yExt};
        if (size == 0 || sizeof header + size > budget) break;
        bytes.resize(sizeof header + size);
        std::memcpy(bytes.data(), &header, sizeof header);
        if (GetMetaFileBitsEx(picture.hMF, size, bytes.data() + sizeof header) != size) bytes.clear();
        break;
    }
    case Kind::palette: {
        const auto palette = static_cast<HPALETTE>(data);
        const UINT count = GetPaletteEntries(palette, 0, 0, nullptr);
        if (count * sizeof(PALETTEENTRY) > budget) break;
        bytes.resize(count * sizeof(PALETTEENTRY));
        if (GetPaletteEntries(palette, 0, count, reinterpret_cast<PALETTEENTRY*>(bytes.data())) != count) bytes.clear();
        break;
    }
    case Kind::keptThroughDib:
    case Kind::notSaved:
        break;
    }
    return bytes;
}

UniqueGlobal makeGlobal(const void* bytes, std::size_t size) {
    UniqueGlobal global(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!global) throwLastError("GlobalAlloc");
    const LockedGlobal view(global.get());
    if (!view.data()) throwLastError("GlobalLock");
    std::memcpy(view.data(), bytes, size);
    return global;
}

// Data for SetClipboardData made from saved bytes; owned and freed here until the clipboard
// takes it.
class ClipboardData {
public:
    ClipboardData(UINT format, std::span<const std::uint8_t> bytes) : format_(format), kind_(kindOf(format)) {
        switch (kind_) {
        case Kind::global:
            handle_ = makeGlobal(bytes.data(), bytes.size()).release();
            break;
        case Kind::enhMetaFile:
            handle_ = SetEnhMetaFileBits(static_cast<UINT>(bytes.size()), bytes.data());
            break;
        case Kind::metaFilePict: {
            PictureHeader header;
            std::memcpy(&header, bytes.data(), sizeof header);
            UniqueMetaFile metaFile(
                SetMetaFileBitsEx(static_cast<UINT>(bytes.size() - sizeof header), bytes.data() + sizeof header));
            if (!metaFile) break;
            const METAFILEPICT picture{header.mapMode, header.xExt, header.yExt, metaFile.get()};
            handle_ = makeGlobal(&picture, sizeof picture).release();
            (void)metaFile.release();  // the picture holds it now
            break;
        }
        case Kind::palette: {
            const auto count = static_cast<WORD>(bytes.size() / sizeof(PALETTEENTRY));
            std::vector<std::uint8_t> buffer(sizeof(LOGPALETTE) + bytes.size());
            auto* palette = reinterpret_cast<LOGPALETTE*>(buffer.data());
            palette->palVersion = 0x300;
            palette->palNumEntries = count;
            std::memcpy(palette->palPalEntry, bytes.data(), bytes.size());
            handle_ = CreatePalette(palette);
            break;
        }
        case Kind::keptThroughDib:
        case Kind::notSaved:
            break;
        }
        if (!handle_) throwLastError("making clipboard data");
    }
    ClipboardData(const ClipboardData&) = delete;
    ClipboardData& operator=(const ClipboardData&) = delete;
    ~ClipboardData() {
        if (!handle_) return;
        switch (kind_) {
        case Kind::enhMetaFile:
            DeleteEnhMetaFile(static_cast<HENHMETAFILE>(handle_));
            break;
        case Kind::palette:
            DeleteObject(handle_);
            break;
        case Kind::metaFilePict:
            if (const LockedGlobal view(handle_); view.data())
                DeleteMetaFile(reinterpret_cast<const METAFILEPICT*>(view.data())->hMF);
            GlobalFree(handle_);
            break;
        default:
            GlobalFree(handle_);
            break;
        }
    }

    // Puts it on the open clipboard, which owns it from then on.
    void put() {
        if (!SetClipboardData(format_, handle_)) throwLastError("SetClipboardData");
        handle_ = nullptr;
    }

private:
    UINT format_;
    Kind kind_;
    HANDLE handle_ = nullptr;
};

// The registered formats that keep content out of clipboard history, the cloud clipboard and
// clipboard monitors. We put them on whatever we put there; they are never saved.
class MarkerFormats {
public:
    MarkerFormats() {
        for (const UINT format : formats_)
            if (format == 0) throwLastError("RegisterClipboardFormatW");
    }
    bool contains(UINT format) const noexcept {
        for (const UINT marker : formats_)
            if (marker == format) return true;
        return false;
    }
    // On the open clipboard; history and the cloud clipboard are denied with a DWORD 0, and the
    // monitors' format means "keep out" whatever its data.
    void put() const {
        constexpr std::uint8_t zero[sizeof(DWORD)] = {};
        for (const UINT format : formats_) ClipboardData(format, zero).put();
    }

private:
    UINT formats_[3] = {
        RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing"),
        RegisterClipboardFormatW(L"CanIncludeInClipboardHistory"),
        RegisterClipboardFormatW(L"CanUploadToCloudClipboard"),
    };
};

// The clipboard, open until this goes. It is opened for a message-only window of our own: an
// open for no window does not keep every other opener out (Wine lets a second one in), and
// EmptyClipboard would then leave the clipboard without an owner. Another program may hold the
// clipboard for a moment, so the open is tried a few times, 130 ms in all at most.
class OpenClipboardScope {
public:
    explicit OpenClipboardScope(const ClipboardOptions& options, Opening opening = Opening::retryBriefly)
        : window_(CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {
        if (!window_) throwLastError("CreateWindowExW");
        constexpr DWORD pauses[] = {10, 20, 40, 60};
        for (const DWORD pause : pauses) {
            if (opening == Opening::once) break;
            if (OpenClipboard(window_.get())) return;
            if (options.pause) {
                options.pause(pause);
            } else {
                // The holder may be waiting for a window of this thread to render a format.
                pauseHandlingSentMessages(pause);
            }
        }
        if (!OpenClipboard(window_.get())) throwLastError("OpenClipboard");
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    ~OpenClipboardScope() { CloseClipboard(); }

    void empty() const {
        if (!EmptyClipboard()) throwLastError("EmptyClipboard");
    }

private:
    UniqueWindow window_;
};

// Listed before any is read: reading a format the system or a delayed-rendering owner has still
// to render puts the rendered data on the clipboard.
std::vector<UINT> listFormats() {
    std::vector<UINT> formats;
    for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format))
        formats.push_back(format);
    if (GetLastError() != ERROR_SUCCESS) throwLastError("EnumClipboardFormats");
    return formats;
}

}  // namespace

std::unique_ptr<ClipboardContent> ClipboardContent::save(const ClipboardOptions& options,
                                                         const std::atomic<bool>* abandoned) {
    const MarkerFormats markers;
    // A copied attachment or message offers its files' bytes only through its data object, one
    // file at a time; through the clipboard they cannot come back at all.
    const UINT fileContents = RegisterClipboardFormatW(L"FileContents");
    if (fileContents == 0) throwLastError("RegisterClipboardFormatW");
    auto content = std::make_unique<ClipboardContent>();
    const OpenClipboardScope clipboard(options);
    const std::vector<UINT> formats = listFormats();
    // Before any is read: reading has owners render their formats, for nothing if one cannot be kept.
    for (const UINT format : formats)
        if (kindOf(format) == Kind::notSaved || format == fileContents) throwNotSaved("a format that cannot be saved");
    std::size_t budget = options.maxSavedBytes;
    for (const UINT format : formats) {
        if (abandoned && abandoned->load()) throwNotSaved("saving abandoned");
        const Kind kind = kindOf(format);
        if (kind == Kind::keptThroughDib || markers.contains(format)) continue;
        const HANDLE data = GetClipboardData(format);
        if (!data) throwNotSaved("a format whose data cannot be had");
        std::vector<std::uint8_t> bytes = readData(kind, data, budget);
        if (bytes.empty()) throwNotSaved("a format that cannot be read or is past the size limit");
        budget -= bytes.size();
        content->formats_.push_back({format, std::move(bytes)});
    }
    return content;
}

namespace {

// Replaces what the open clipboard holds with the saved formats.
void putBack(const OpenClipboardScope& clipboard, std::span<const SavedFormat> formats) {
    const MarkerFormats markers;
    clipboard.empty();
    // Everything that can be put back is, in the order it was listed; the first failure is
    // reported afterwards.
    HResult failure = hresult::ok;
    for (const SavedFormat& saved : formats) {
        try {
            ClipboardData(saved.format, saved.bytes).put();
        } catch (...) {
            if (succeeded(failure)) failure = hresultFromCaughtException();
        }
    }
    markers.put();
    if (failed(failure)) throw Error(failure, "restoring the clipboard");
}

}  // namespace

void ClipboardContent::restore(const ClipboardOptions& options, Opening opening) const {
    const OpenClipboardScope clipboard(options, opening);
    putBack(clipboard, formats_);
}

bool ClipboardContent::restoreUnlessChanged(DWORD sequence, const ClipboardOptions& options) const {
    const OpenClipboardScope clipboard(options);
    if (GetClipboardSequenceNumber() != sequence) return false;
    putBack(clipboard, formats_);
    return true;
}

void setClipboardPicture(const host::Bitmap& picture, const ClipboardOptions& options) {
    if (picture.dib.empty()) throw Error(hresult::invalidArg, "empty picture");
    const MarkerFormats markers;
    ClipboardData dib(CF_DIB, picture.dib);
    const OpenClipboardScope clipboard(options);
    clipboard.empty();
    dib.put();
    markers.put();
}

bool clipboardOffersText() noexcept {
    return IsClipboardFormatAvailable(CF_UNICODETEXT) || IsClipboardFormatAvailable(CF_TEXT);
}

DWORD clipboardOwnerThread() noexcept {
    const HWND owner = GetClipboardOwner();
    return owner ? GetWindowThreadProcessId(owner, nullptr) : 0;
}

namespace {

// CF_UNICODETEXT of the open clipboard, up to its first NUL.
std::wstring openClipboardText() {
    const HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (!data) return {};
    const std::size_t capacity = GlobalSize(data) / sizeof(wchar_t);
    const auto* text = static_cast<const wchar_t*>(GlobalLock(data));
    if (!text) return {};
    std::size_t length = 0;
    while (length < capacity && text[length] != L'\0') ++length;
    std::wstring result(text, length);
    GlobalUnlock(data);
    return result;
}

}  // namespace

std::wstring clipboardText(const ClipboardOptions& options) {
    const OpenClipboardScope clipboard(options);
    return openClipboardText();
}

std::optional<std::wstring> clipboardTextUnlessChanged(DWORD sequence, const ClipboardOptions& options) {
    const OpenClipboardScope clipboard(options);
    // Rendering a format on request moves the number on neither Windows nor Wine.
    if (GetClipboardSequenceNumber() != sequence) return std::nullopt;
    return openClipboardText();
}

std::optional<DWORD> clearClipboardUnlessChanged(DWORD sequence, const ClipboardOptions& options) {
    {
        const OpenClipboardScope clipboard(options);
        if (GetClipboardSequenceNumber() != sequence) return std::nullopt;
        clipboard.empty();
    }
    // The number once closed (closing may move it): a program that copied since has put formats
    // there; one that copies later moves it on.
    const DWORD emptied = GetClipboardSequenceNumber();
    if (CountClipboardFormats() != 0) return std::nullopt;
    return emptied;
}

void clearClipboard(const ClipboardOptions& options) {
    const OpenClipboardScope clipboard(options);
    clipboard.empty();
}

}  // namespace host::win32
