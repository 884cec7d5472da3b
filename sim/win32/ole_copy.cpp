#include "sim/win32/ole_copy.h"

#include <ole2.h>
#include <shlobj.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "com/ptr.h"

namespace sim::win32 {
namespace {

std::atomic<long> renderings{0};

UINT htmlFormat() {
    static const UINT format = RegisterClipboardFormatW(L"HTML Format");
    return format;
}

HGLOBAL globalOf(const void* bytes, std::size_t size) {
    const HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!global) return nullptr;
    if (void* target = GlobalLock(global)) {
        std::memcpy(target, bytes, size);
        GlobalUnlock(global);
    }
    return global;
}

// The CF_HTML description of a fragment of plain text (ASCII offsets, as the format wants).
std::string htmlOf(const std::wstring& text) {
    std::string body;
    for (const wchar_t c : text) {
        if (c == L'<') body += "&lt;";
        else if (c == L'>') body += "&gt;";
        else if (c == L'&') body += "&amp;";
        else if (c < 0x80) body += static_cast<char>(c);
        else body += "&#" + std::to_string(static_cast<unsigned>(c)) + ";";
    }
    const std::string before = "<html><body><!--StartFragment-->";
    const std::string after = "<!--EndFragment--></body></html>";
    char header[160];
    const int headerSize = std::snprintf(header, sizeof header,
                                         "Version:0.9\r\nStartHTML:%010d\r\nEndHTML:%010d\r\nStartFragment:%010d\r\n"
                                         "EndFragment:%010d\r\n",
                                         0, 0, 0, 0);
    const std::size_t start = static_cast<std::size_t>(headerSize);
    const std::size_t fragment = start + before.size();
    const std::size_t fragmentEnd = fragment + body.size();
    const std::size_t end = fragmentEnd + after.size();
    std::snprintf(header, sizeof header,
                  "Version:0.9\r\nStartHTML:%010lu\r\nEndHTML:%010lu\r\nStartFragment:%010lu\r\nEndFragment:%010lu\r\n",
                  static_cast<unsigned long>(start), static_cast<unsigned long>(end), static_cast<unsigned long>(fragment),
                  static_cast<unsigned long>(fragmentEnd));
    return header + before + body + after;
}

// The view's copy: its text in the formats a text view offers, each made when OLE asks for it.
class TextData final : public IDataObject {
public:
    explicit TextData(std::wstring text) : text_(std::move(text)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDataObject) return E_NOINTERFACE;
        AddRef();
        *out = static_cast<IDataObject*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const long left = --references_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (!format || !medium) return E_POINTER;
        const HRESULT offered = QueryGetData(format);
        if (offered != S_OK) return offered;
        HGLOBAL global = nullptr;
        if (format->cfFormat == CF_UNICODETEXT) {
            global = globalOf(text_.c_str(), (text_.size() + 1) * sizeof(wchar_t));
        } else {
            const std::string html = htmlOf(text_);
            global = globalOf(html.c_str(), html.size() + 1);
        }
        if (!global) return E_OUTOFMEMORY;
        ++renderings;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = global;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        if (!format) return E_POINTER;
        if (format->cfFormat != CF_UNICODETEXT && format->cfFormat != htmlFormat()) return DV_E_FORMATETC;
        if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
        if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out) out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (direction != DATADIR_GET) return E_NOTIMPL;
        const FORMATETC formats[] = {
            {static_cast<CLIPFORMAT>(CF_UNICODETEXT), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
            {static_cast<CLIPFORMAT>(htmlFormat()), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
        };
        return SHCreateStdEnumFmtEtc(2, formats, out);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    ~TextData() = default;
    std::atomic<long> references_{1};
    std::wstring text_;
};

}  // namespace

bool copyThroughOle(const std::wstring& text) {
    const auto data = com::ComPtr<IDataObject>::attach(new TextData(text));
    // OleSetClipboard tries to open the clipboard once: held by another program, the copy fails
    // (CLIPBRD_E_CANT_OPEN), as the views' copies do.
    return SUCCEEDED(OleSetClipboard(data.get()));
}

long oleRenderings() { return renderings.load(); }

}  // namespace sim::win32
