// The DLL's class objects and COM classes, loaded in this process.
#include <gtest/gtest.h>
#include <ocidl.h>

#include <vector>

#include "DODuruda_Vored_h.h"
#include "extensibility.h"
#include "com/ptr.h"
#include "sim/win32/com_host.h"
#include "tests/wine/wine_test_support.h"

using namespace testing_support;
using com::ComPtr;

namespace {

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();

class ComServer : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(apartment_.hr()));
        library_ = LoadLibraryW(dllPath().c_str());
        ASSERT_NE(library_, nullptr);
        getClassObject_ = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(library_, "DllGetClassObject")));
        canUnloadNow_ = reinterpret_cast<CanUnloadNowFn>(reinterpret_cast<void*>(GetProcAddress(library_, "DllCanUnloadNow")));
        ASSERT_NE(getClassObject_, nullptr);
        ASSERT_NE(canUnloadNow_, nullptr);
        ASSERT_EQ(canUnloadNow_(), S_OK) << "a previous test left an object alive";
    }
    void TearDown() override {
        EXPECT_EQ(canUnloadNow_(), S_OK);
        FreeLibrary(library_);
    }

    ComPtr<IClassFactory> factory(const CLSID& clsid) {
        ComPtr<IClassFactory> result;
        EXPECT_EQ(getClassObject_(clsid, IID_IClassFactory, result.putVoid()), S_OK);
        return result;
    }
    template <class T>
    ComPtr<T> create(const CLSID& clsid, const IID& iid) {
        ComPtr<T> object;
        EXPECT_EQ(factory(clsid)->CreateInstance(nullptr, iid, object.putVoid()), S_OK);
        return object;
    }

    ComApartment apartment_;
    HMODULE library_ = nullptr;
    GetClassObjectFn getClassObject_ = nullptr;
    CanUnloadNowFn canUnloadNow_ = nullptr;
};

TEST_F(ComServer, ServesTheClassObjectsOfBothClassesOnly) {
    EXPECT_TRUE(factory(CLSID_Connect));
    EXPECT_TRUE(factory(CLSID_OutAddIn));

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject_(IID__Connect, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject_(CLSID_Connect, IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST_F(ComServer, RefusesAggregation) {
    const auto classFactory = factory(CLSID_Connect);
    ComPtr<IUnknown> outer = create<IUnknown>(CLSID_OutAddIn, IID_IUnknown);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(classFactory->CreateInstance(outer.get(), IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
}

TEST_F(ComServer, CanUnloadOnlyWhenNoObjectOrLockLives) {
    {
        auto object = create<IUnknown>(CLSID_Connect, IID_IUnknown);
        EXPECT_EQ(canUnloadNow_(), S_FALSE);
    }
    EXPECT_EQ(canUnloadNow_(), S_OK);
    {
        auto classFactory = factory(CLSID_OutAddIn);
        EXPECT_EQ(classFactory->LockServer(TRUE), S_OK);
        classFactory.reset();
        EXPECT_EQ(canUnloadNow_(), S_FALSE);
        ComPtr<IClassFactory> again = factory(CLSID_OutAddIn);
        EXPECT_EQ(again->LockServer(FALSE), S_OK);
    }
    EXPECT_EQ(canUnloadNow_(), S_OK);
}

struct Answer {
    const IID* iid;
    HRESULT expected;
};

void expectInterfaces(IUnknown* object, std::initializer_list<Answer> answers) {
    ComPtr<IUnknown> identity;
    ASSERT_EQ(object->QueryInterface(IID_IUnknown, identity.putVoid()), S_OK);
    for (const auto& a : answers) {
        SCOPED_TRACE(narrow(guidText(*a.iid)));
        void* raw = reinterpret_cast<void*>(1);
        EXPECT_EQ(object->QueryInterface(*a.iid, &raw), a.expected);
        if (FAILED(a.expected)) {
            EXPECT_EQ(raw, nullptr);
            continue;
        }
        const auto answer = ComPtr<IUnknown>::attach(static_cast<IUnknown*>(raw));
        ComPtr<IUnknown> sameIdentity;
        ASSERT_EQ(answer->QueryInterface(IID_IUnknown, sameIdentity.putVoid()), S_OK);
        EXPECT_EQ(sameIdentity.get(), identity.get());
    }
}

TEST_F(ComServer, ConnectAnswersItsFourInterfaces) {
    auto connect = create<IUnknown>(CLSID_Connect, IID_IUnknown);
    expectInterfaces(connect.get(), {{&IID_IUnknown, S_OK},
                                     {&IID_IDispatch, S_OK},
                                     {&IID__Connect, S_OK},
                                     {&IID_IDTExtensibility2, S_OK},
                                     {&IID__OutAddIn, E_NOINTERFACE},
                                     {&IID_IClassFactory, E_NOINTERFACE},
                                     {&IID_IConnectionPointContainer, E_NOINTERFACE}});
}

TEST_F(ComServer, OutAddInAnswersItsThreeInterfaces) {
    auto hub = create<IUnknown>(CLSID_OutAddIn, IID_IUnknown);
    expectInterfaces(hub.get(), {{&IID_IUnknown, S_OK},
                                 {&IID_IDispatch, S_OK},
                                 {&IID__OutAddIn, S_OK},
                                 {&IID__Connect, E_NOINTERFACE},
                                 {&IID_IDTExtensibility2, E_NOINTERFACE}});
}

// What CheckInspButton returns when called through IDispatch by its DISPID, with its exception's code.
struct DispatchOutcome {
    HRESULT hr;
    SCODE exceptionCode;
    VARTYPE resultType;
};

DispatchOutcome invokeCheckInspButton(IDispatch* hub, IDispatch* inspector) {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_DISPATCH;
    argument.pdispVal = inspector;
    DISPPARAMS params{&argument, nullptr, 1, 0};
    com::UniqueVariant result;
    EXCEPINFO exception{};
    const HRESULT hr =
        hub->Invoke(0x60030004, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.get(), &exception, nullptr);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return {hr, exception.scode, result->vt};
}

std::size_t taggedButtons(sim::Model& model, sim::Node& inspector) {
    std::size_t count = 0;
    for (const sim::Node* control : model.commandBar(inspector, L"Standard")->controls->elements)
        count += control->control.tag == L"Zeltra";
    return count;
}

TEST_F(ComServer, CheckInspButtonPlacesTheButtonThroughTheVtableAndByDispid) {
    sim::Model model;
    {
        sim::win32::ComHost host(model);
        auto hub = create<_OutAddIn>(CLSID_OutAddIn, IID__OutAddIn);
        ComPtr<IDispatch> hubDispatch;
        ASSERT_EQ(hub->QueryInterface(IID_IDispatch, hubDispatch.putVoid()), S_OK);
        com::Bstr name(L"CheckInspButton");
        LPOLESTR names[] = {name.get()};
        DISPID id = 0;
        ASSERT_EQ(hubDispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
        EXPECT_EQ(id, 0x60030004);

        sim::Node& first = model.openInspector(43, L"mail");
        const auto firstInspector = ComPtr<IDispatch>::attach(host.dispatchFor(&first));
        com::UniqueVariant result;
        EXPECT_EQ(hub->CheckInspButton(reinterpret_cast<_Inspector*>(firstInspector.get()), result.get()), S_OK);
        EXPECT_EQ(result->vt, VT_EMPTY);
        EXPECT_EQ(taggedButtons(model, first), 1u);

        sim::Node& second = model.openInspector(43, L"mail");
        const auto secondInspector = ComPtr<IDispatch>::attach(host.dispatchFor(&second));
        const DispatchOutcome byDispid = invokeCheckInspButton(hubDispatch.get(), secondInspector.get());
        EXPECT_EQ(byDispid.hr, S_OK);
        EXPECT_EQ(byDispid.resultType, VT_EMPTY);
        EXPECT_EQ(taggedButtons(model, second), 1u);

        // The first failing host call ends the method and comes back as its failure: from the vtable
        // as the HRESULT, through IDispatch as an exception carrying it.
        constexpr HRESULT refused = static_cast<HRESULT>(0x80041D0F);
        model.failMember(L"CommandBars", L"Item", refused, 2);
        sim::Node& third = model.openInspector(43, L"mail");
        const auto thirdInspector = ComPtr<IDispatch>::attach(host.dispatchFor(&third));
        com::UniqueVariant failedResult;
        EXPECT_EQ(hub->CheckInspButton(reinterpret_cast<_Inspector*>(thirdInspector.get()), failedResult.get()), refused);
        EXPECT_EQ(failedResult->vt, VT_EMPTY);
        const DispatchOutcome failedByDispid = invokeCheckInspButton(hubDispatch.get(), thirdInspector.get());
        EXPECT_EQ(failedByDispid.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(failedByDispid.exceptionCode, refused);
        EXPECT_EQ(taggedButtons(model, third), 0u);

        // The face came from the form, loaded hidden, which keeps the library loaded.
        const HWND form = FindWindowExW(nullptr, nullptr, L"ZeltraFormAddIn", nullptr);
        ASSERT_NE(form, nullptr);
        EXPECT_FALSE(IsWindowVisible(form));
        EXPECT_EQ(canUnloadNow_(), S_FALSE);
    }
    EXPECT_TRUE(model.referencesHeld().empty());
    // With no connection in the apartment, the form goes with the hub that made it, and its
    // window classes with it.
    EXPECT_EQ(FindWindowExW(nullptr, nullptr, L"ZeltraFormAddIn", nullptr), nullptr);
    WNDCLASSEXW formClass{};
    formClass.cbSize = sizeof formClass;
    EXPECT_FALSE(GetClassInfoExW(library_, L"ZeltraFormAddIn", &formClass));
    EXPECT_FALSE(GetClassInfoExW(library_, L"ZeltraLinkLabel", &formClass));
}

class ComServerRegistered : public ComServer {
protected:
    void SetUp() override {
        ASSERT_EQ(regsvr32(false), 0u);
        ComServer::SetUp();
    }
    void TearDown() override {
        ComServer::TearDown();
        EXPECT_EQ(regsvr32(true), 0u);
    }
};

TEST_F(ComServerRegistered, TheProgIdCreatesConnectWhichConnectsAndDisconnects) {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"DODuruda_Vored.Connect", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_Connect);

    for (const int explorers : {0, 1}) {
        SCOPED_TRACE(explorers);
        sim::Model model;
        {
            sim::win32::ComHost host(model);
            if (explorers) model.openExplorer();
            ComPtr<IDTExtensibility2> connect;
            ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDTExtensibility2, connect.putVoid()), S_OK);
            const auto application = ComPtr<IDispatch>::attach(host.dispatchFor(&model.application()));
            const auto addIn = ComPtr<IDispatch>::attach(host.dispatchFor(&model.addInInstance(L"DODuruda_Vored.Connect")));
            SAFEARRAY* custom = nullptr;
            EXPECT_EQ(connect->OnConnection(application.get(), ext_cm_Startup, addIn.get(), &custom), S_OK);
            EXPECT_EQ(model.connectionCount(), explorers ? 5u : 0u);
            EXPECT_EQ(connect->OnDisconnection(ext_dm_HostShutdown, &custom), S_OK);
            EXPECT_EQ(model.connectionCount(), 0u);
        }
        EXPECT_TRUE(model.referencesHeld().empty());
        EXPECT_TRUE(model.overReleases().empty());
    }
}


// What a host sees when it drives IDTExtensibility2 late-bound, through that interface's own IDispatch.
class LateBoundConnect : public ComServer {
protected:
    static DISPID dispidOf(IDispatch* dispatch, const wchar_t* member, HRESULT expected = S_OK) {
        com::Bstr name(member);
        LPOLESTR names[] = {name.get()};
        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), expected) << narrow(member);
        return id;
    }
    static HRESULT invoke(IDispatch* dispatch, DISPID id, std::vector<VARIANT> reversedArgs) {
        DISPPARAMS params{reversedArgs.empty() ? nullptr : reversedArgs.data(), nullptr,
                          static_cast<UINT>(reversedArgs.size()), 0};
        com::UniqueVariant result;
        EXCEPINFO exception{};
        UINT argError = 0;
        const HRESULT hr =
            dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.get(), &exception, &argError);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        return hr;
    }
    static VARIANT object(IDispatch* dispatch) {
        VARIANT v;
        v.vt = VT_DISPATCH;
        v.pdispVal = dispatch;
        return v;
    }
    static VARIANT integer(LONG value) {
        VARIANT v;
        v.vt = VT_I4;
        v.lVal = value;
        return v;
    }
    static VARIANT arrayByRef(SAFEARRAY** array) {
        VARIANT v;
        v.vt = VT_ARRAY | VT_VARIANT | VT_BYREF;
        v.pparray = array;
        return v;
    }
};

TEST_F(LateBoundConnect, IDTExtensibility2AnswersItsFiveMembersByNameAndDispid) {
    auto connect = create<IDTExtensibility2>(CLSID_Connect, IID_IDTExtensibility2);
    IDispatch* extensibility = connect.get();  // a dual interface is its own IDispatch
    const wchar_t* members[] = {L"OnConnection", L"OnDisconnection", L"OnAddInsUpdate", L"OnStartupComplete",
                                L"OnBeginShutdown"};
    for (DISPID expected = 1; expected <= 5; ++expected)
        EXPECT_EQ(dispidOf(extensibility, members[expected - 1]), expected);

    UINT count = 0;
    EXPECT_EQ(extensibility->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(extensibility->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put()), S_OK);
    com::Bstr name;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(com::toWString(name.get()), L"IDTExtensibility2");

    // _Connect, the default interface, has no members of its own.
    ComPtr<IDispatch> connectDispatch;
    ASSERT_EQ(connect->QueryInterface(IID_IDispatch, connectDispatch.putVoid()), S_OK);
    EXPECT_NE(static_cast<IDispatch*>(connectDispatch.get()), extensibility);
    dispidOf(connectDispatch.get(), L"OnConnection", DISP_E_UNKNOWNNAME);
}

TEST_F(LateBoundConnect, AHostCallingOnConnectionByDispidAttachesTheAddIn) {
    sim::Model model;
    {
        sim::win32::ComHost host(model);
        model.openExplorer();
        auto connect = create<IDTExtensibility2>(CLSID_Connect, IID_IDTExtensibility2);
        const auto application = ComPtr<IDispatch>::attach(host.dispatchFor(&model.application()));
        const auto addIn = ComPtr<IDispatch>::attach(host.dispatchFor(&model.addInInstance(L"DODuruda_Vored.Connect")));
        SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);

        // Arguments in reverse order: custom, AddInInst, ConnectMode, Application.
        EXPECT_EQ(invoke(connect.get(), 1, {arrayByRef(&custom), object(addIn.get()), integer(ext_cm_Startup),
                                            object(application.get())}),
                  S_OK);
        EXPECT_EQ(model.connectionCount(), 5u);
        EXPECT_EQ(invoke(connect.get(), 4, {arrayByRef(&custom)}), S_OK);
        EXPECT_EQ(invoke(connect.get(), 2, {arrayByRef(&custom), integer(ext_dm_HostShutdown)}), S_OK);
        EXPECT_EQ(model.connectionCount(), 0u);
        SafeArrayDestroy(custom);
    }
    EXPECT_TRUE(model.referencesHeld().empty());
}

TEST_F(LateBoundConnect, EveryIDispatchOfTheLibraryRefusesANonNullInterfaceId) {
    auto connect = create<IDTExtensibility2>(CLSID_Connect, IID_IDTExtensibility2);
    auto hub = create<IDispatch>(CLSID_OutAddIn, IID_IDispatch);
    com::Bstr name(L"OnConnection");
    LPOLESTR names[] = {name.get()};
    for (IDispatch* dispatch : {static_cast<IDispatch*>(connect.get()), hub.get()}) {
        DISPID id = 0;
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_IDispatch, names, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNINTERFACE);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        EXPECT_EQ(dispatch->Invoke(1, IID_IDispatch, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr,
                                   nullptr),
                  DISP_E_UNKNOWNINTERFACE);
    }
}

}  // namespace
