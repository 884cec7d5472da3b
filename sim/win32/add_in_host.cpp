#include "sim/win32/add_in_host.h"

#include <oleauto.h>

#include <algorithm>
#include <chrono>
#include <utility>

#include "sim/win32/console.h"
#include "sim/win32/ribbon_target.h"

namespace sim::win32 {
namespace {

using com::ComPtr;

std::wstring hex(HRESULT hr) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08X", static_cast<unsigned>(hr));
    return text;
}

std::wstring readString(HKEY key, const wchar_t* name) {
    wchar_t buffer[512];
    DWORD size = sizeof buffer;
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) return {};
    return buffer;
}

// The add-in library registered for a ProgID, to ask it DllCanUnloadNow later.
std::wstring libraryOf(const std::wstring& progId) {
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(progId.c_str(), &clsid))) return {};
    wchar_t text[40];
    StringFromGUID2(clsid, text, 40);
    HKEY key = nullptr;
    const std::wstring path = std::wstring(L"CLSID\\") + text + L"\\InprocServer32";
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    std::wstring library = readString(key, nullptr);
    RegCloseKey(key);
    return library;
}

// Office hands the notifications an empty array of custom arguments.
class CustomArray {
public:
    CustomArray() : array_(SafeArrayCreateVector(VT_VARIANT, 0, 0)) {}
    ~CustomArray() { SafeArrayDestroy(array_); }
    CustomArray(const CustomArray&) = delete;
    CustomArray& operator=(const CustomArray&) = delete;
    SAFEARRAY** get() { return &array_; }

private:
    SAFEARRAY* array_;
};

template <class Call>
HRESULT timed(double& milliseconds, Call call) {
    const auto begin = std::chrono::steady_clock::now();
    const HRESULT hr = call();
    milliseconds = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    return hr;
}

}  // namespace

std::vector<AddInEntry> registeredAddIns() {
    std::vector<AddInEntry> entries;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        HKEY addins = nullptr;
        if (RegOpenKeyExW(root, L"Software\\Microsoft\\Office\\Outlook\\Addins", 0, KEY_READ, &addins) != ERROR_SUCCESS)
            continue;
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = 256;
            if (RegEnumKeyExW(addins, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            bool seen = false;
            for (const auto& e : entries) seen = seen || _wcsicmp(e.progId.c_str(), name) == 0;
            if (seen) continue;
            HKEY entry = nullptr;
            if (RegOpenKeyExW(addins, name, 0, KEY_READ, &entry) != ERROR_SUCCESS) continue;
            AddInEntry e{name, readString(entry, L"FriendlyName"), 0};
            DWORD size = sizeof e.loadBehavior;
            RegGetValueW(entry, nullptr, L"LoadBehavior", RRF_RT_REG_DWORD, nullptr, &e.loadBehavior, &size);
            RegCloseKey(entry);
            entries.push_back(std::move(e));
        }
        RegCloseKey(addins);
    }
    return entries;
}

com::ComPtr<IDTExtensibility2> AddInHost::connect(const AddInEntry& entry, ext_ConnectMode mode) {
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(entry.progId.c_str(), &clsid);
    ComPtr<IDTExtensibility2> object;
    if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDTExtensibility2, object.putVoid());
    if (FAILED(hr)) {
        print(L"outlook: could not create " + entry.progId + L": " + hex(hr));
        return {};
    }
    const std::wstring library = libraryOf(entry.progId);
    if (!library.empty() && std::find(libraries_.begin(), libraries_.end(), library) == libraries_.end())
        libraries_.push_back(library);

    Model& model = com_.model();
    const auto application = ComPtr<IDispatch>::attach(com_.dispatchFor(&model.application()));
    const auto instance = ComPtr<IDispatch>::attach(com_.dispatchFor(&model.addInInstance(entry.progId)));
    CustomArray custom;
    hr = timed(timings_.onConnectionMs,
               [&] { return object->OnConnection(application.get(), mode, instance.get(), custom.get()); });
    print(std::wstring(L"outlook: OnConnection(") + (mode == ext_cm_Startup ? L"ext_cm_Startup" : L"ext_cm_AfterStartup") +
          L") -> " + hex(hr));
    if (FAILED(hr)) return {};  // Outlook disables an add-in that fails to connect
    // Office 2007 and later ask the connection object for its ribbon customisation.
    if (model.version() >= 12) {
        auto ribbon = ribbonTargetOf(com_, object.get(), entry.progId, ribbonCallbackPath_);
        print(std::wstring(L"outlook: QueryInterface(IRibbonExtensibility) -> ") +
              (ribbon ? L"S_OK" : L"not answered: no ribbon customisation"));
        if (ribbon) model.ribbons().connected(std::move(ribbon));
    }
    return object;
}

void AddInHost::startup() {
    for (const AddInEntry& entry : registeredAddIns()) {
        if (entry.loadBehavior != 3) {
            print(L"outlook: add-in " + entry.progId + L" has load behaviour " + std::to_wstring(entry.loadBehavior) +
                  L": not loaded at start-up");
            continue;
        }
        print(L"outlook: loading add-in " + entry.progId + L" (\"" + entry.friendlyName + L"\")");
        ComPtr<IDTExtensibility2> object = connect(entry, ext_cm_Startup);
        if (!object) continue;
        CustomArray custom;
        print(L"outlook: OnStartupComplete -> " + hex(object->OnStartupComplete(custom.get())));
        loaded_.push_back({entry, std::move(object)});
    }
}

void AddInHost::shutdown(bool fast) {
    for (Loaded& addIn : loaded_) {
        if (!fast) {
            CustomArray custom;
            print(L"outlook: OnBeginShutdown -> " + hex(addIn.object->OnBeginShutdown(custom.get())));
            const HRESULT hr = timed(timings_.onDisconnectionMs, [&] {
                return addIn.object->OnDisconnection(ext_dm_HostShutdown, custom.get());
            });
            print(L"outlook: OnDisconnection -> " + hex(hr));
        }
        com_.model().ribbons().disconnected();
        addIn.object.reset();
        print(L"outlook: released " + addIn.entry.progId);
    }
    loaded_.clear();
    disabled_.clear();
}

void AddInHost::disable() {
    for (Loaded& addIn : loaded_) {
        CustomArray custom;
        print(L"outlook: the user unticks " + addIn.entry.progId + L" in the COM Add-ins dialog");
        print(L"outlook: OnDisconnection(ext_dm_UserClosed) -> " +
              hex(addIn.object->OnDisconnection(ext_dm_UserClosed, custom.get())));
        com_.model().ribbons().disconnected();
        addIn.object.reset();
        print(L"outlook: released " + addIn.entry.progId);
        disabled_.push_back(addIn.entry);
    }
    loaded_.clear();
    freeUnusedLibraries();
}

void AddInHost::enable() {
    for (const AddInEntry& entry : std::exchange(disabled_, {})) {
        print(L"outlook: the user ticks " + entry.progId + L" in the COM Add-ins dialog");
        if (ComPtr<IDTExtensibility2> object = connect(entry, ext_cm_AfterStartup))
            loaded_.push_back({entry, std::move(object)});
    }
}

namespace {

// Every window on this thread whose class the library registered: top-level windows with their
// children, and message-only windows, which EnumThreadWindows does not list.
std::vector<HWND> libraryWindows(HMODULE library) {
    struct Search {
        HMODULE library;
        std::vector<HWND> found;
        void consider(HWND window) {
            if (reinterpret_cast<HMODULE>(GetClassLongPtrW(window, GCLP_HMODULE)) == library) found.push_back(window);
        }
        static BOOL CALLBACK child(HWND window, LPARAM context) {
            reinterpret_cast<Search*>(context)->consider(window);
            return TRUE;
        }
        static BOOL CALLBACK topLevel(HWND window, LPARAM context) {
            reinterpret_cast<Search*>(context)->consider(window);
            EnumChildWindows(window, &Search::child, context);
            return TRUE;
        }
    } search{library, {}};
    EnumThreadWindows(GetCurrentThreadId(), &Search::topLevel, reinterpret_cast<LPARAM>(&search));
    for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
         window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) {
        if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) continue;
        search.consider(window);
        EnumChildWindows(window, &Search::child, reinterpret_cast<LPARAM>(&search));
    }
    return search.found;
}

std::wstring classOf(HWND window) {
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

}  // namespace

void AddInHost::noteLibraryWindowClasses() {
    for (const auto& library : libraries_)
        if (const HMODULE module = GetModuleHandleW(library.c_str()))
            for (const HWND window : libraryWindows(module)) libraryClasses_.insert(classOf(window));
}

bool AddInHost::anyLibraryMapped() const {
    return std::any_of(libraries_.begin(), libraries_.end(),
                       [](const std::wstring& library) { return GetModuleHandleW(library.c_str()) != nullptr; });
}

bool AddInHost::librariesAnswerUnload(bool shouldUnload) const {
    bool all = true;
    for (const auto& library : libraries_) {
        HMODULE module = GetModuleHandleW(library.c_str());
        if (!module) continue;
        const auto canUnloadNow =
            reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
        const HRESULT hr = canUnloadNow ? canUnloadNow() : E_NOTIMPL;
        print(L"outlook: DllCanUnloadNow of " + library + L" -> " + (hr == S_OK ? L"S_OK" : hex(hr)));
        all = all && hr == (shouldUnload ? S_OK : S_FALSE);
        if (!shouldUnload) continue;
        // Its windows and classes would outlive the code behind their window procedures.
        for (const HWND window : libraryWindows(module)) {
            print(L"outlook: LEFT BEHIND: a window of class " + classOf(window) + L" of the add-in library");
            all = false;
        }
        for (const auto& name : libraryClasses_) {
            WNDCLASSEXW info{};
            info.cbSize = sizeof info;
            if (!GetClassInfoExW(module, name.c_str(), &info)) continue;
            print(L"outlook: LEFT BEHIND: the window class " + name + L" of the add-in library is still registered");
            all = false;
        }
    }
    return all;
}

bool AddInHost::awaitsMessages() const {
    for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
         window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr))
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId() && ownsWindowClass(window)) return true;
    return false;
}

bool AddInHost::ownsWindowClass(HWND window) const {
    const auto module = reinterpret_cast<HMODULE>(GetClassLongPtrW(window, GCLP_HMODULE));
    return std::any_of(libraries_.begin(), libraries_.end(),
                       [&](const std::wstring& library) { return module && GetModuleHandleW(library.c_str()) == module; });
}

void AddInHost::freeUnusedLibraries() const {
    CoFreeUnusedLibrariesEx(0, 0);
    for (const auto& library : libraries_)
        print(L"outlook: add-in library " + library + (GetModuleHandleW(library.c_str()) ? L" stays loaded" : L" unloaded"));
}

}  // namespace sim::win32
