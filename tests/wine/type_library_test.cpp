// The embedded type library, loaded from the DLL as a host would.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "DODuruda_Vored_h.h"
#include "com/ptr.h"
#include "tests/wine/wine_test_support.h"

using namespace testing_support;
using com::ComPtr;

namespace {

const GUID outlookLibrary = {0x00062FFF, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const WORD dualInterfaceFlags =
    TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;

// The type flags as stored in the compiled type library (MSFT format): the header, one offset per
// type description into the first segment of the segment directory, and the flags at byte 48 of
// each description. Wine's loader reports them slightly differently for the dispatch side of a
// dual interface, so the stored bytes are checked as well as what the loader reports.
std::vector<DWORD> storedTypeFlags(const std::vector<std::uint8_t>& tlb) {
    const auto i32 = [&tlb](std::size_t at) {
        DWORD v;
        std::memcpy(&v, tlb.data() + at, 4);
        return v;
    };
    const DWORD count = i32(0x20);
    std::size_t offsets = 0x54 + ((i32(0x14) & 0x100) ? 4 : 0);
    const std::size_t segments = offsets + 4 * count;
    const DWORD typeInfoSegment = i32(segments);
    std::vector<DWORD> flags;
    for (DWORD i = 0; i < count; ++i) flags.push_back(i32(typeInfoSegment + i32(offsets + 4 * i) + 48));
    return flags;
}

std::vector<std::uint8_t> typeLibraryResource() {
    HMODULE module = LoadLibraryExW(dllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), L"TYPELIB");
    const auto* data = found ? static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found))) : nullptr;
    std::vector<std::uint8_t> bytes;
    if (data) bytes.assign(data, data + SizeofResource(module, found));
    FreeLibrary(module);
    return bytes;
}

struct TypeAttr {
    TypeAttr(ITypeInfo* info) : info_(info) { info_->GetTypeAttr(&attr_); }
    ~TypeAttr() { info_->ReleaseTypeAttr(attr_); }
    const TYPEATTR* operator->() const { return attr_; }
    ITypeInfo* info_;
    TYPEATTR* attr_ = nullptr;
};

std::wstring nameOf(ITypeInfo* info, MEMBERID id = MEMBERID_NIL) {
    com::Bstr name;
    info->GetDocumentation(id, name.put(), nullptr, nullptr, nullptr);
    return com::toWString(name.get());
}

class TypeLibrary : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(LoadTypeLibEx(dllPath().c_str(), REGKIND_NONE, library_.put()), S_OK);
    }
    ComPtr<ITypeInfo> info(UINT index) {
        ComPtr<ITypeInfo> result;
        EXPECT_EQ(library_->GetTypeInfo(index, result.put()), S_OK);
        return result;
    }
    ComPtr<ITypeLib> library_;
};

TEST_F(TypeLibrary, IdentifiesItself) {
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(library_->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, LIBID_DODuruda_Vored);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->lcid, 0u);
    EXPECT_EQ(attr->syskind, SYS_WIN64);
    library_->ReleaseTLibAttr(attr);

    com::Bstr name;
    com::Bstr description;
    ASSERT_EQ(library_->GetDocumentation(-1, name.put(), description.put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(com::toWString(name.get()), L"DODuruda_Vored");
    EXPECT_EQ(com::toWString(description.get()), L"Corvane Zeltra Add-In");
}

TEST_F(TypeLibrary, HoldsExactlyTheFourTypesInOrderWithTheirFlags) {
    ASSERT_EQ(library_->GetTypeInfoCount(), 4u);
    struct Expected {
        const wchar_t* name;
        const GUID* guid;
        TYPEKIND kind;
        WORD flags;
    };
    const Expected expected[] = {
        {L"_OutAddIn", &IID__OutAddIn, TKIND_DISPATCH, dualInterfaceFlags},
        {L"OutAddIn", &CLSID_OutAddIn, TKIND_COCLASS, TYPEFLAG_FCANCREATE},
        {L"_Connect", &IID__Connect, TKIND_DISPATCH, dualInterfaceFlags},
        {L"Connect", &CLSID_Connect, TKIND_COCLASS, TYPEFLAG_FCANCREATE},
    };
    for (UINT i = 0; i < 4; ++i) {
        SCOPED_TRACE(narrow(expected[i].name));
        const ComPtr<ITypeInfo> type = info(i);
        const TypeAttr attr(type.get());
        EXPECT_EQ(nameOf(type.get()), expected[i].name);
        EXPECT_EQ(attr->guid, *expected[i].guid);
        EXPECT_EQ(attr->typekind, expected[i].kind);
        // Wine's loader leaves oleautomation out of a dual interface's dispatch side.
        const WORD reported = attr->typekind == TKIND_DISPATCH ? expected[i].flags & ~TYPEFLAG_FOLEAUTOMATION : expected[i].flags;
        EXPECT_EQ(attr->wTypeFlags & ~TYPEFLAG_FOLEAUTOMATION, reported) << std::hex << attr->wTypeFlags;
        EXPECT_EQ(storedTypeFlags(typeLibraryResource()).at(i), expected[i].flags);
        if (attr->typekind == TKIND_COCLASS) {
            // One implemented interface, the default: the interface just before it.
            ASSERT_EQ(attr->cImplTypes, 1);
            INT implFlags = 0;
            ASSERT_EQ(type->GetImplTypeFlags(0, &implFlags), S_OK);
            EXPECT_EQ(implFlags, IMPLTYPEFLAG_FDEFAULT);
            HREFTYPE ref = 0;
            ASSERT_EQ(type->GetRefTypeOfImplType(0, &ref), S_OK);
            ComPtr<ITypeInfo> implemented;
            ASSERT_EQ(type->GetRefTypeInfo(ref, implemented.put()), S_OK);
            EXPECT_EQ(nameOf(implemented.get()), std::wstring(L"_") + expected[i].name);
        }
    }
}

TEST_F(TypeLibrary, CheckInspButtonTakesAnOutlookInspectorAndReturnsAVariant) {
    // Resolving the parameter's type needs Outlook's library registered: use our build-time one.
    ComPtr<ITypeLib> outlook;
    const std::wstring outlookPath = binDirectory() + L"\\msoutl.olb";
    ASSERT_EQ(LoadTypeLibEx(outlookPath.c_str(), REGKIND_REGISTER, outlook.put()), S_OK);

    const ComPtr<ITypeInfo> dispatch = info(0);
    HREFTYPE dualRef = 0;
    ASSERT_EQ(dispatch->GetRefTypeOfImplType(-1, &dualRef), S_OK);  // the vtable side of the dual interface
    ComPtr<ITypeInfo> vtable;
    ASSERT_EQ(dispatch->GetRefTypeInfo(dualRef, vtable.put()), S_OK);
    const TypeAttr attr(vtable.get());
    ASSERT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attr->wTypeFlags, dualInterfaceFlags) << std::hex << attr->wTypeFlags;
    ASSERT_EQ(attr->cFuncs, 1);

    FUNCDESC* function = nullptr;
    ASSERT_EQ(vtable->GetFuncDesc(0, &function), S_OK);
    EXPECT_EQ(function->memid, 0x60030004);
    EXPECT_EQ(function->oVft, 7 * static_cast<SHORT>(sizeof(void*)));  // first slot after IDispatch
    EXPECT_EQ(function->invkind, INVOKE_FUNC);
    EXPECT_EQ(function->elemdescFunc.tdesc.vt, VT_HRESULT);
    ASSERT_EQ(function->cParams, 2);
    const ELEMDESC& inspector = function->lprgelemdescParam[0];
    EXPECT_EQ(inspector.paramdesc.wParamFlags, PARAMFLAG_FIN);
    ASSERT_EQ(inspector.tdesc.vt, VT_PTR);
    ASSERT_EQ(inspector.tdesc.lptdesc->vt, VT_USERDEFINED);
    const ELEMDESC& result = function->lprgelemdescParam[1];
    EXPECT_EQ(result.paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
    ASSERT_EQ(result.tdesc.vt, VT_PTR);
    EXPECT_EQ(result.tdesc.lptdesc->vt, VT_VARIANT);

    ComPtr<ITypeInfo> inspectorType;
    ASSERT_EQ(vtable->GetRefTypeInfo(inspector.tdesc.lptdesc->hreftype, inspectorType.put()), S_OK);
    EXPECT_EQ(nameOf(inspectorType.get()), L"_Inspector");
    ComPtr<ITypeLib> container;
    UINT index = 0;
    ASSERT_EQ(inspectorType->GetContainingTypeLib(container.put(), &index), S_OK);
    TLIBATTR* libAttr = nullptr;
    ASSERT_EQ(container->GetLibAttr(&libAttr), S_OK);
    EXPECT_EQ(libAttr->guid, outlookLibrary);
    EXPECT_EQ(libAttr->wMajorVerNum, 9);
    EXPECT_EQ(libAttr->wMinorVerNum, 1);
    container->ReleaseTLibAttr(libAttr);

    BSTR names[3] = {};
    UINT count = 0;
    ASSERT_EQ(vtable->GetNames(0x60030004, names, 3, &count), S_OK);
    ASSERT_GE(count, 2u);
    EXPECT_EQ(com::toWString(names[0]), L"CheckInspButton");
    EXPECT_EQ(com::toWString(names[1]), L"Inspector");
    for (UINT i = 0; i < count; ++i) SysFreeString(names[i]);
    vtable->ReleaseFuncDesc(function);

    UnRegisterTypeLib(outlookLibrary, 9, 1, 0, SYS_WIN64);
}

TEST_F(TypeLibrary, TheConnectInterfaceHasNoMembersOfItsOwn) {
    const ComPtr<ITypeInfo> dispatch = info(2);
    HREFTYPE dualRef = 0;
    ASSERT_EQ(dispatch->GetRefTypeOfImplType(-1, &dualRef), S_OK);
    ComPtr<ITypeInfo> vtable;
    ASSERT_EQ(dispatch->GetRefTypeInfo(dualRef, vtable.put()), S_OK);
    const TypeAttr attr(vtable.get());
    EXPECT_EQ(attr->cFuncs, 0);
    EXPECT_EQ(attr->cbSizeVft, 7 * sizeof(void*));
}

}  // namespace
