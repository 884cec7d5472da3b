#include "forms/win32/form_resources.h"

#include <olectl.h>

#include "com/boundary.h"
#include "resources/resource_ids.h"

namespace zeltra::forms::win32 {

std::pair<const std::uint8_t*, DWORD> resourceBytes(HMODULE module, UINT id, const wchar_t* type, const char* what) {
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!found) throw lastError(what);
    const HGLOBAL loaded = LoadResource(module, found);
    const auto* bytes = loaded ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
    if (!bytes) throw lastError(what);
    return {bytes, SizeofResource(module, found)};
}

host::Bitmap storedPicture(HMODULE module, UINT id) {
    const auto [bytes, size] = resourceBytes(module, id, RT_BITMAP, "stored bitmap");
    return host::Bitmap{{bytes, bytes + size}};
}

com::ComPtr<IPicture> loadLogo(HMODULE module) {
    const auto [bytes, size] = resourceBytes(module, IDR_LOGO, RT_RCDATA, "logo");
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy) throw lastError("GlobalAlloc logo");
    void* target = GlobalLock(copy);
    if (!target) {
        GlobalFree(copy);
        throw lastError("GlobalLock logo");
    }
    CopyMemory(target, bytes, size);
    GlobalUnlock(copy);
    com::ComPtr<IStream> stream;
    const HRESULT created = CreateStreamOnHGlobal(copy, TRUE, stream.put());
    if (FAILED(created)) GlobalFree(copy);
    com::throwIfFailed(created, "logo stream");
    com::ComPtr<IPicture> picture;
    com::throwIfFailed(OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture, picture.putVoid()),
                       "OleLoadPicture logo");
    return picture;
}

OwnedFont makeFont(const wchar_t* face, int tenthsOfPoints, int weight, bool underline, UINT dpi) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(tenthsOfPoints, static_cast<int>(dpi), 720);
    font.lfWeight = weight;
    font.lfUnderline = underline;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    OwnedFont made(CreateFontIndirectW(&font));
    if (!made) throw lastError("CreateFont");
    return made;
}

}  // namespace zeltra::forms::win32
