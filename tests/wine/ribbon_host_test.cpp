// The simulator's ribbon host driving an add-in object of the test's own through COM, as Office
// drives IRibbonExtensibility: GetCustomUI through the interface, callbacks by name through the
// IDispatch the object answers, with real IRibbonControl and IRibbonUI objects; and Word's selection
// read from a real edit control.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "com/ptr.h"
#include "sim/model/outlook_model.h"
#include "sim/win32/com_host.h"
#include "sim/win32/pictures.h"
#include "sim/win32/png_file.h"
#include "sim/win32/ribbon_target.h"
#include "sim/win32/window_layer.h"
#include "tests/wine/wine_test_support.h"

namespace {

using com::ComPtr;
using com::UniqueVariant;
using sim::win32::IRibbonExtensibility;

// A member of one of the simulator's objects, by name, as an add-in reaches it.
UniqueVariant read(IDispatch* object, const wchar_t* name, WORD flags = DISPATCH_PROPERTYGET) {
    std::wstring copy = name;
    LPOLESTR names[] = {copy.data()};
    DISPID id = DISPID_UNKNOWN;
    UniqueVariant result;
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return result;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &none, result.get(), nullptr, nullptr);
    return result;
}

bool sameObject(IUnknown* a, IUnknown* b) {
    ComPtr<IUnknown> x;
    ComPtr<IUnknown> y;
    a->QueryInterface(IID_IUnknown, x.putVoid());
    b->QueryInterface(IID_IUnknown, y.putVoid());
    return x && x.get() == y.get();
}

// The test's add-in: its XML per ribbon ID, and callbacks that record what Office passed them.
class FakeRibbon final : public IRibbonExtensibility {
public:
    std::map<std::wstring, std::wstring> xml;
    std::vector<std::wstring> asked;
    std::vector<std::wstring> called;
    bool enabled = true;
    bool keepControls = false;  // an add-in that holds on to what it was handed
    std::vector<ComPtr<IDispatch>> kept;
    ComPtr<IDispatch> ribbonUi;
    std::wstring lastId, lastTag;
    ComPtr<IDispatch> lastContext;
    VARTYPE imageType = VT_DISPATCH;
    ULONG refs = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != sim::win32::IID_IRibbonExtensibility)
            return E_NOINTERFACE;
        *out = static_cast<IRibbonExtensibility*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() noexcept override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override {
        if (riid != IID_NULL || count != 1) return E_INVALIDARG;
        for (std::size_t i = 0; i < callbacks.size(); ++i)
            if (callbacks[i] == names[0]) {
                ids[0] = static_cast<DISPID>(i + 1);
                return S_OK;
            }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                     UINT*) noexcept override {
        if (id < 1 || static_cast<std::size_t>(id) > callbacks.size() || flags != DISPATCH_METHOD) return DISP_E_MEMBERNOTFOUND;
        const std::wstring& name = callbacks[static_cast<std::size_t>(id) - 1];
        called.push_back(name);
        if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        const VARIANT& argument = params->rgvarg[0];
        if (name == L"loaded") {
            ribbonUi = ComPtr<IDispatch>(argument.pdispVal);
            return S_OK;
        }
        if (name == L"loadImage") {
            if (argument.vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
            return image(result);
        }
        if (argument.vt != VT_DISPATCH || !argument.pdispVal) return DISP_E_TYPEMISMATCH;
        IDispatch* control = argument.pdispVal;
        if (keepControls) kept.emplace_back(control);
        if (name == L"act") {
            lastId = com::toWString(read(control, L"Id")->bstrVal);
            lastTag = com::toWString(read(control, L"Tag")->bstrVal);
            UniqueVariant context = read(control, L"Context");
            lastContext = ComPtr<IDispatch>(context->pdispVal);
            if (!keepControls) lastContext.reset();
            else kept.push_back(lastContext);
            return S_OK;
        }
        if (name == L"getEnabled") {
            result->vt = VT_BOOL;
            result->boolVal = enabled ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        }
        if (name == L"getImage") return image(result);
        if (name == L"fails") return E_FAIL;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR ribbonId, BSTR* ribbonXml) noexcept override {
        const std::wstring id = com::toWString(ribbonId);
        asked.push_back(id);
        const auto it = xml.find(id);
        *ribbonXml = it == xml.end() ? nullptr : SysAllocString(it->second.c_str());
        return S_OK;
    }

private:
    HRESULT image(VARIANT* result) {
        if (imageType == VT_BSTR) {
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocString(L"not a picture");
            return S_OK;
        }
        sim::Image pixels{32, 32, std::vector<std::uint32_t>(32 * 32, 0x80FF0000u)};
        result->vt = VT_DISPATCH;
        result->pdispVal = sim::win32::makePicture(pixels).detach();
        return S_OK;
    }
    const std::vector<std::wstring> callbacks = {L"loaded", L"act", L"getEnabled", L"getImage", L"loadImage", L"fails"};
};

const wchar_t readXml[] =
    L"<customUI xmlns='http://schemas.microsoft.com/office/2009/07/customui' onLoad='loaded'><ribbon><tabs>"
    L"<tab idMso='TabReadMessage'><group id='zeltra' label='Zeltra'>"
    L"<button id='launch' tag='theTag' label='Zel&amp;tra' size='large' getEnabled='getEnabled' getImage='getImage' "
    L"onAction='act'/><button id='broken' label='Broken' getEnabled='missing' getImage='fails'/>"
    L"</group></tab></tabs></ribbon></customUI>";

struct RibbonHost : testing::Test {
    testing_support::ComApartment apartment;
    sim::Model model;
    sim::win32::ComHost com{model};
    FakeRibbon addIn;

    void connect() {
        auto target = sim::win32::ribbonTargetOf(com, static_cast<IRibbonExtensibility*>(&addIn), L"Fake.Connect");
        ASSERT_NE(target, nullptr);
        model.ribbons().connected(std::move(target));
    }
    bool reported(const std::wstring& start) const {
        for (const auto& e : model.traceLog())
            if (e.type == sim::TraceEntry::Type::UiError && e.text.rfind(start, 0) == 0) return true;
        return false;
    }
    void TearDown() override {
        addIn.ribbonUi.reset();
        addIn.kept.clear();
        addIn.lastContext.reset();
        model.ribbons().disconnected();
        EXPECT_TRUE(model.referencesHeld().empty());
        EXPECT_TRUE(model.overReleases().empty());
        EXPECT_EQ(addIn.refs, 1u);  // the host let go of the add-in's object
    }
};

TEST_F(RibbonHost, AsksForEachRibbonIdOncePerConnectionAndIgnoresAnObjectWithoutIt) {
    ComPtr<IUnknown> notARibbon;
    CreateStreamOnHGlobal(nullptr, TRUE, reinterpret_cast<IStream**>(notARibbon.put()));
    EXPECT_EQ(sim::win32::ribbonTargetOf(com, notARibbon.get(), L"Other.Connect"), nullptr);

    addIn.xml[L"Microsoft.Outlook.Mail.Read"] = readXml;
    connect();
    model.openInspector(43, L"one");
    model.openInspector(43, L"two");
    model.openInspector(43, L"new", true);
    EXPECT_EQ(addIn.asked, (std::vector<std::wstring>{L"Microsoft.Outlook.Explorer", L"Microsoft.Outlook.Mail.Read",
                                                      L"Microsoft.Outlook.Mail.Compose"}));
    EXPECT_EQ(model.ribbons().takeCustomUiCalls(), 3);
    // A new connection asks again.
    model.ribbons().disconnected();
    addIn.ribbonUi.reset();
    connect();
    EXPECT_EQ(model.ribbons().takeCustomUiCalls(), 3);
}

TEST_F(RibbonHost, ARefusedDocumentIsReportedAndNoneOfItsCallbacksIsCalled) {
    addIn.xml[L"Microsoft.Outlook.Mail.Read"] =
        L"<customUI xmlns='http://schemas.microsoft.com/office/2009/07/customui' onLoad='loaded'>\n<ribbon><tabs>"
        L"<tab idMso='TabReadMessage'><group id='g'><button id='b' getEnabled='getEnabled' enabled='true'/>"
        L"</group></tab></tabs></ribbon></customUI>";
    connect();
    sim::Node& window = model.openInspector(43, L"");
    EXPECT_EQ(model.ribbons().status(L"Microsoft.Outlook.Mail.Read"), sim::Ribbons::Status::Refused);
    EXPECT_TRUE(reported(L"customUI error in Microsoft.Outlook.Mail.Read: line 2: "));
    EXPECT_TRUE(addIn.called.empty());
    EXPECT_TRUE(model.ribbons().shown(window).empty());
}

TEST_F(RibbonHost, CallsBackByNameWithAControlWhoseContextIsTheWindow) {
    addIn.xml[L"Microsoft.Outlook.Mail.Read"] = readXml;
    connect();
    sim::Node& window = model.openInspector(43, L"");
    ASSERT_TRUE(addIn.ribbonUi);
    EXPECT_EQ(model.ribbons().press(window, L"launch"), sim::Ribbons::Press::Done);
    EXPECT_EQ(addIn.lastId, L"launch");
    EXPECT_EQ(addIn.lastTag, L"theTag");
    // The context was the window's Inspector; the add-in released it and the control.
    addIn.keepControls = true;
    model.ribbons().press(window, L"launch");
    ASSERT_TRUE(addIn.lastContext);
    ComPtr<IDispatch> inspector = ComPtr<IDispatch>::attach(com.dispatchFor(&window));
    EXPECT_TRUE(sameObject(addIn.lastContext.get(), inspector.get()));
    inspector.reset();
    EXPECT_FALSE(model.referencesHeld().empty());  // what the add-in keeps stays counted
    addIn.kept.clear();
    addIn.lastContext.reset();
    EXPECT_EQ(model.referencesHeld().size(), 1u);  // only IRibbonUI, which onLoad kept
}

TEST_F(RibbonHost, IRibbonControlIsGetOnly) {
    addIn.xml[L"Microsoft.Outlook.Mail.Read"] = readXml;
    addIn.keepControls = true;
    connect();
    sim::Node& window = model.openInspector(43, L"");
    model.ribbons().press(window, L"launch");
    ASSERT_FALSE(addIn.kept.empty());
    IDispatch* control = addIn.kept.front().get();
    UniqueVariant value;
    value->vt = VT_BSTR;
    value->bstrVal = SysAllocString(L"other");
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{value.get(), &named, 1, 1};
    EXPECT_EQ(control->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(com::toWString(read(control, L"Id")->bstrVal), L"launch");
}

TEST_F(RibbonHost, GettersAreCalledAgainAfterInvalidateAndFailuresFallBack) {
    addIn.xml[L"Microsoft.Outlook.Mail.Read"] = readXml;
    connect();
    sim::Node& window = model.openInspector(43, L"");
    auto groups = model.ribbons().shown(window);
    ASSERT_EQ(groups.size(), 1u);
    ASSERT_EQ(groups[0].controls.size(), 2u);
    const auto& launch = groups[0].controls[0];
    EXPECT_TRUE(launch.enabled);
    ASSERT_TRUE(launch.image);
    EXPECT_EQ(launch.image->width, 32);
    EXPECT_EQ(launch.image->at(0, 0), 0x80FF0000u);  // alpha kept
    // getEnabled that does not exist and getImage that fails: disabled, no image, both reported.
    EXPECT_FALSE(groups[0].controls[1].enabled);
    EXPECT_FALSE(groups[0].controls[1].image);
    EXPECT_TRUE(reported(L"customUI callback error in Microsoft.Outlook.Mail.Read: getEnabled missing of broken"));
    EXPECT_TRUE(reported(L"customUI callback error in Microsoft.Outlook.Mail.Read: getImage fails of broken"));

    const auto count = [&] { return std::count(addIn.called.begin(), addIn.called.end(), L"getEnabled"); };
    EXPECT_EQ(count(), 1);
    model.ribbons().refreshAll();
    EXPECT_EQ(count(), 1);
    addIn.enabled = false;
    UniqueVariant ignored;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    ASSERT_EQ(addIn.ribbonUi->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, ignored.get(), nullptr,
                                     nullptr),
              S_OK);  // Invalidate
    model.ribbons().refreshAll();
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(model.ribbons().press(window, L"launch"), sim::Ribbons::Press::Disabled);

    // A picture answered with another type is no picture.
    addIn.imageType = VT_BSTR;
    UniqueVariant id;
    id->vt = VT_BSTR;
    id->bstrVal = SysAllocString(L"launch");
    DISPPARAMS one{id.get(), nullptr, 1, 0};
    ASSERT_EQ(addIn.ribbonUi->Invoke(2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &one, ignored.get(), nullptr,
                                     nullptr),
              S_OK);  // InvalidateControl
    groups = model.ribbons().shown(window);
    EXPECT_FALSE(groups[0].controls[0].image);
    EXPECT_EQ(count(), 3);
}

// An add-in shaped as Microsoft's native sample: its IRibbonExtensibility's own IDispatch knows
// GetCustomUI only, and the callbacks are answered by the object's IDispatch, another interface of
// the same object.
class SampleShapedAddIn {
public:
    int presses = 0;
    bool answersDispatch = true;
    ULONG refs = 1;

    IUnknown* identity() { return &callbacks_; }

private:
    HRESULT query(REFIID iid, void** out) {
        *out = nullptr;
        if (iid == IID_IUnknown || (iid == IID_IDispatch && answersDispatch)) *out = static_cast<IDispatch*>(&callbacks_);
        else if (iid == sim::win32::IID_IRibbonExtensibility) *out = static_cast<IRibbonExtensibility*>(&ribbon_);
        else return E_NOINTERFACE;
        ++refs;
        return S_OK;
    }
    // The names one IDispatch knows, at DISPIDs 1, 2, ...
    static HRESULT idOf(const std::vector<std::wstring>& known, REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) {
        if (riid != IID_NULL || count != 1) return E_INVALIDARG;
        const auto it = std::find(known.begin(), known.end(), names[0]);
        ids[0] = it == known.end() ? DISPID_UNKNOWN : static_cast<DISPID>(it - known.begin() + 1);
        return it == known.end() ? DISP_E_UNKNOWNNAME : S_OK;
    }

    template <typename Interface>
    struct Part : Interface {
        SampleShapedAddIn& outer;
        explicit Part(SampleShapedAddIn& o) : outer(o) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override { return outer.query(iid, out); }
        ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++outer.refs; }
        ULONG STDMETHODCALLTYPE Release() noexcept override { return --outer.refs; }
        HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
            *count = 0;
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    };
    struct Callbacks final : Part<IDispatch> {
        using Part::Part;
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override {
            return idOf({L"act"}, riid, names, count, ids);
        }
        HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                         UINT*) noexcept override {
            if (id != 1 || flags != DISPATCH_METHOD) return DISP_E_MEMBERNOTFOUND;
            ++outer.presses;
            return S_OK;
        }
    };
    struct Ribbon final : Part<IRibbonExtensibility> {
        using Part::Part;
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override {
            return idOf({L"GetCustomUI"}, riid, names, count, ids);
        }
        HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept override {
            return DISP_E_MEMBERNOTFOUND;  // GetCustomUI is called through the interface
        }
        HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR ribbonId, BSTR* ribbonXml) noexcept override {
            *ribbonXml = com::toWString(ribbonId) == L"Microsoft.Outlook.Mail.Read"
                             ? SysAllocString(L"<customUI xmlns='http://schemas.microsoft.com/office/2009/07/customui'>"
                                              L"<ribbon><tabs><tab idMso='TabReadMessage'><group id='g' label='G'>"
                                              L"<button id='launch' label='Launch' onAction='act'/></group></tab></tabs>"
                                              L"</ribbon></customUI>")
                             : nullptr;
            return S_OK;
        }
    };
    Callbacks callbacks_{*this};
    Ribbon ribbon_{*this};
};

struct RibbonCallbackPaths : testing::Test {
    testing_support::ComApartment apartment;
    sim::Model model;
    sim::win32::ComHost com{model};
    SampleShapedAddIn addIn;

    // Connects the add-in, presses its button on a mail window, and returns the callback error
    // reported, or "" when none was.
    std::wstring press(sim::win32::CallbackPath path) {
        auto target = sim::win32::ribbonTargetOf(com, addIn.identity(), L"Sample.Connect", path);
        if (!target) return L"no IRibbonExtensibility";
        model.ribbons().connected(std::move(target));
        sim::Node& window = model.openInspector(43, L"");
        EXPECT_EQ(model.ribbons().press(window, L"launch"), sim::Ribbons::Press::Done);
        model.ribbons().disconnected();
        for (const auto& e : model.traceLog())
            if (e.type == sim::TraceEntry::Type::UiError) return e.text;
        return L"";
    }
    void TearDown() override {
        EXPECT_TRUE(model.referencesHeld().empty());
        EXPECT_EQ(addIn.refs, 1u);  // the host let go of every interface it took
    }
};

TEST_F(RibbonCallbackPaths, AsOfficeTheCallbacksAreFoundThroughTheObjectsIDispatch) {
    EXPECT_EQ(press(sim::win32::CallbackPath::objectDispatch), L"");
    EXPECT_EQ(addIn.presses, 1);
}

TEST_F(RibbonCallbackPaths, ThroughTheIRibbonExtensibilityPointerTheyAreNotFound) {
    EXPECT_EQ(press(sim::win32::CallbackPath::throughExtensibility),
              L"customUI callback error in Microsoft.Outlook.Mail.Read: onAction act of launch: no such callback "
              L"(GetIDsOfNames -> 0x80020006)");
    EXPECT_EQ(addIn.presses, 0);
}

TEST_F(RibbonCallbackPaths, AnObjectThatDoesNotAnswerIDispatchHasNoCallbacks) {
    addIn.answersDispatch = false;
    EXPECT_EQ(press(sim::win32::CallbackPath::objectDispatch),
              L"customUI callback error in Microsoft.Outlook.Mail.Read: onAction act of launch: no such callback "
              L"(QueryInterface(IDispatch) -> 0x80004002)");
    EXPECT_EQ(addIn.presses, 0);
}

const wchar_t menuXml[] =
    L"<customUI xmlns='http://schemas.microsoft.com/office/2009/07/customui' onLoad='loaded'><ribbon><tabs>"
    L"<tab idMso='TabReadMessage'><group id='zeltra' label='Zeltra'>"
    L"<button id='launch' label='Zel&amp;tra' size='large' getImage='getImage' onAction='act'/></group></tab>"
    L"</tabs></ribbon><contextMenus><contextMenu idMso='ContextMenuReadOnlyMailText'>"
    L"<button id='lookUp' label='Look &amp;up in Zeltra' getImage='getImage' insertAfterMso='Copy' onAction='act'/>"
    L"<menuSeparator id='line'/></contextMenu></contextMenus></customUI>";

// Whether any pixel of the area is near that colour.
bool drawn(const sim::win32::Canvas& canvas, RECT area, std::uint32_t rgb) {
    GdiFlush();
    const auto close = [](std::uint32_t a, std::uint32_t b) {
        for (int shift : {0, 8, 16})
            if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 8) return false;
        return true;
    };
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (close(canvas.pixel(x, y), rgb)) return true;
    return false;
}

TEST_F(RibbonHost, DrawsTheAddInsGroupWithItsBlendedPictureAndAMenuWithItsEntries) {
    addIn.xml[L"Microsoft.Outlook.Mail.Read"] = menuXml;
    addIn.xml[L"Microsoft.Outlook.Explorer"] = std::wstring(menuXml).replace(std::wstring(menuXml).find(L"TabReadMessage"), 14, L"TabMail");
    sim::win32::WindowLayer windows(model, false);
    connect();
    sim::Node& explorer = model.openExplorer();
    windows.opened(explorer);
    model.selectItem(explorer, L"The body of the selected mail, shown in the reading pane.");
    windows.readingPaneChanged(explorer);
    model.ribbons().refreshAll();
    sim::Node& window = model.openInspector(43, L"Hello World, the text of a mail");
    windows.opened(window);
    windows.select(window, 6, 5);
    const HWND frame = windows.handleOf(window);
    RECT client{};
    GetClientRect(frame, &client);
    {
        const sim::win32::Canvas canvas(client.right, client.bottom);
        SendMessageW(frame, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
        // Half-transparent red over the ribbon's white.
        EXPECT_TRUE(drawn(canvas, {0, 0, client.right, 104}, 0xFF7F7F));
        EXPECT_FALSE(drawn(canvas, {0, 104, client.right, client.bottom}, 0xFF7F7F));
    }
    const auto entries = model.ribbons().openMenu(window, L"ContextMenuReadOnlyMailText");
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[1].label, L"Look &up in Zeltra");
    EXPECT_EQ(entries[2].label, L"Select All");
    EXPECT_TRUE(entries[3].separator);  // placed nowhere in particular: at the end
    windows.openMenu(window, entries);
    ASSERT_TRUE(windows.menuWindow());
    const std::wstring folder = testing_support::binDirectory();
    EXPECT_EQ(windows.saveImage(window, folder + L"\\ribbon_mail_window.png"), S_OK);
    EXPECT_EQ(windows.saveMenuImage(folder + L"\\ribbon_context_menu.png"), S_OK);
    EXPECT_EQ(windows.saveImage(explorer, folder + L"\\ribbon_explorer.png"), S_OK);
    windows.closeMenu();
    windows.closed(window);
    windows.closed(explorer);
}

TEST(WordSelectionThroughCom, FollowsTheRealEditControl) {
    testing_support::ComApartment apartment;
    sim::Model model;
    sim::win32::ComHost com{model};
    sim::win32::WindowLayer windows(model, false);
    model.setEditorSource([&](const sim::Node& w) { return windows.editorState(w); });
    sim::Node& inspector = model.openInspector(43, L"Hello World\r\nSecond");
    windows.opened(inspector);
    windows.select(inspector, 6, 9);  // "World\r\nSe"
    {
        ComPtr<IDispatch> window = ComPtr<IDispatch>::attach(com.dispatchFor(&inspector));
        UniqueVariant document = read(window.get(), L"WordEditor");
        ASSERT_EQ(document->vt, VT_DISPATCH);
        UniqueVariant application = read(document->pdispVal, L"Application");
        UniqueVariant selection = read(application->pdispVal, L"Selection");
        ASSERT_EQ(selection->vt, VT_DISPATCH);
        EXPECT_EQ(com::toWString(read(selection->pdispVal, L"Text")->bstrVal), L"World\rSe");
        EXPECT_EQ(read(selection->pdispVal, L"Type")->lVal, 2);
        windows.select(inspector, 3, 0);
        EXPECT_EQ(com::toWString(read(selection->pdispVal, L"Text")->bstrVal), L"l");
        EXPECT_EQ(read(selection->pdispVal, L"Type")->lVal, 1);
    }
    windows.closed(inspector);
    EXPECT_TRUE(model.referencesHeld().empty());
}

TEST(PictureFaces, APicturePutByValueBecomesTheFaceAndAMaskFollowsIt) {
    testing_support::ComApartment apartment;
    sim::Model model;
    sim::win32::ComHost com{model};
    sim::Node& inspector = model.openInspector(43, L"");
    sim::Node& button = model.addControl(*model.commandBar(inspector, L"Standard")->controls, sim::msoControlButton, 1,
                                         std::nullopt);
    {
        ComPtr<IDispatch> control = ComPtr<IDispatch>::attach(com.dispatchFor(&button));
        const auto assign = [&](const wchar_t* name, IDispatch* picture, WORD kind) {
            std::wstring copy = name;
            LPOLESTR names[] = {copy.data()};
            DISPID id = DISPID_UNKNOWN;
            control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
            VARIANT value;
            value.vt = VT_DISPATCH;
            value.pdispVal = picture;
            DISPID named = DISPID_PROPERTYPUT;
            DISPPARAMS params{&value, &named, 1, 1};
            EXCEPINFO exception{};
            const HRESULT hr = control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, nullptr, &exception, nullptr);
            SysFreeString(exception.bstrSource);
            return hr;
        };
        sim::Image red{16, 16, std::vector<std::uint32_t>(256, 0xFFFF0000u)};
        sim::Image white{16, 16, std::vector<std::uint32_t>(256, 0xFFFFFFFFu)};
        const ComPtr<IPictureDisp> picture = sim::win32::makePicture(red);
        const ComPtr<IPictureDisp> mask = sim::win32::makePicture(white);
        EXPECT_EQ(assign(L"Mask", mask.get(), DISPATCH_PROPERTYPUT), DISP_E_EXCEPTION);  // no picture yet
        EXPECT_EQ(assign(L"Picture", picture.get(), DISPATCH_PROPERTYPUTREF), DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(assign(L"Picture", picture.get(), DISPATCH_PROPERTYPUT), S_OK);
        EXPECT_EQ(assign(L"Mask", mask.get(), DISPATCH_PROPERTYPUT), S_OK);
    }
    ASSERT_EQ(button.control.picture.width, 16);
    EXPECT_EQ(button.control.picture.at(3, 3), 0xFFFF0000u);
    EXPECT_EQ(button.control.mask.at(3, 3), 0xFFFFFFFFu);
    EXPECT_TRUE(button.control.face.empty());
    EXPECT_TRUE(model.referencesHeld().empty());
}

}  // namespace
