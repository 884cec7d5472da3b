#include "addin/registration.h"

#include <exception>
#include <utility>
#include <vector>

#include "host/error.h"
#include "host/guid.h"

namespace zeltra {
namespace {

struct RegisteredClass {
    host::Guid clsid;
    const wchar_t* progId;
};

constexpr host::Guid libraryId = host::Guid::parse("{6D6C546B-F5BD-460D-92FC-9295F2A7496F}");
constexpr const wchar_t* libraryVersion = L"1.0";
constexpr RegisteredClass registeredClasses[] = {
    {host::Guid::parse("{2C970844-CA6D-4E6F-8BEC-592950FBAB88}"), L"DODuruda_Vored.Connect"},
    {host::Guid::parse("{9BC826BA-968E-4CD0-8990-92385363270A}"), L"DODuruda_Vored.OutAddIn"},
};
constexpr const wchar_t* addInProgId = L"DODuruda_Vored.Connect";

bool deniesAccess(host::HResult hr) {
    return hr == host::hresult::accessDenied || hr == host::hresult::typeLibRegistryAccess;
}

Hive classesHive(Scope scope) { return scope == Scope::machine ? Hive::localMachine : Hive::currentUser; }

constexpr const wchar_t* classesKey = L"Software\\Classes\\";
std::wstring classKey(const RegisteredClass& c) { return classesKey + (L"CLSID\\" + host::toWString(c.clsid)); }
std::wstring progIdKey(const RegisteredClass& c) { return std::wstring(classesKey) + c.progId; }
std::wstring typeLibraryKey() {
    return classesKey + (L"TypeLib\\" + host::toWString(libraryId)) + L"\\" + libraryVersion;
}

struct RegistryKey {
    Hive hive;
    std::wstring path;
};

// "HKEY_CURRENT_USER\Software\Microsoft\Office\Outlook" -> HKCU, "Software\...\Outlook\Addins\<ProgID>"
RegistryKey addInKey(std::wstring_view hostKey) {
    const auto slash = hostKey.find(L'\\');
    if (slash == std::wstring_view::npos) throw host::Error(host::hresult::invalidArg, "add-in key has no path");
    const std::wstring_view root = hostKey.substr(0, slash);
    Hive hive;
    if (root == L"HKEY_CURRENT_USER") {
        hive = Hive::currentUser;
    } else if (root == L"HKEY_LOCAL_MACHINE") {
        hive = Hive::localMachine;
    } else {
        throw host::Error(host::hresult::invalidArg, "unknown registry root in the add-in key");
    }
    return {hive, std::wstring(hostKey.substr(slash + 1)) + L"\\Addins\\" + addInProgId};
}

// What a registration has written so far. Unless kept, it is undone on destruction, the last
// write first; an undo step that fails does not stop the others.
class Rollback {
public:
    Rollback() = default;
    Rollback(const Rollback&) = delete;
    Rollback& operator=(const Rollback&) = delete;
    ~Rollback() { undo(); }

    // Called before the write it undoes, so that a write that fails halfway is undone too.
    void add(std::function<void()> undoStep) { steps_.push_back(std::move(undoStep)); }

    void undo() noexcept {
        while (!steps_.empty()) {
            try {
                steps_.back()();
            } catch (...) {
                // Best effort: the failure being reported is the one that made us undo.
            }
            steps_.pop_back();
        }
    }
    void keep() noexcept { steps_.clear(); }

private:
    std::vector<std::function<void()>> steps_;
};

void registerScope(RegistryPort& registry, Scope scope, std::wstring_view serverPath, Rollback& written) {
    written.add([&registry, scope] { registry.unregisterTypeLibrary(scope); });
    registry.registerTypeLibrary(scope);

    const Hive hive = classesHive(scope);
    const std::wstring libid = host::toWString(libraryId);
    for (const RegisteredClass& c : registeredClasses) {
        const std::wstring clsidKey = classKey(c);
        written.add([&registry, hive, clsidKey] { registry.deleteTree(hive, clsidKey); });
        registry.setString(hive, clsidKey, {}, c.progId);
        registry.setString(hive, clsidKey + L"\\InprocServer32", {}, serverPath);
        registry.setString(hive, clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
        registry.setString(hive, clsidKey + L"\\ProgID", {}, c.progId);
        registry.setString(hive, clsidKey + L"\\TypeLib", {}, libid);
        registry.setString(hive, clsidKey + L"\\VERSION", {}, libraryVersion);

        const std::wstring progId = progIdKey(c);
        written.add([&registry, hive, progId] { registry.deleteTree(hive, progId); });
        registry.setString(hive, progId, {}, c.progId);
        registry.setString(hive, progId + L"\\CLSID", {}, host::toWString(c.clsid));
    }
}

// Runs every part of a removal and keeps the first failure for the end.
class FirstFailure {
public:
    template <class Part>
    void attempt(Part&& part) noexcept {
        try {
            part();
        } catch (...) {
            if (!first_) first_ = std::current_exception();
        }
    }
    void rethrow() const {
        if (first_) std::rethrow_exception(first_);
    }

private:
    std::exception_ptr first_;
};

}  // namespace

void registerServer(RegistryPort& registry, std::wstring_view serverPath, const AddInEntry& addIn) {
    const RegistryKey addInLocation = addInKey(addIn.hostKey);
    Rollback written;
    try {
        registerScope(registry, Scope::machine, serverPath, written);
    } catch (const host::Error& e) {
        if (!deniesAccess(e.hr())) throw;
        written.undo();
        registerScope(registry, Scope::user, serverPath, written);
    }

    written.add([&registry, addInLocation] { registry.deleteTree(addInLocation.hive, addInLocation.path); });
    registry.setString(addInLocation.hive, addInLocation.path, L"FriendlyName", addIn.friendlyName);
    registry.setString(addInLocation.hive, addInLocation.path, L"Description", addIn.description);
    registry.setDword(addInLocation.hive, addInLocation.path, L"LoadBehavior", addIn.loadBehavior);
    registry.setDword(addInLocation.hive, addInLocation.path, L"CommandLineSafe", addIn.commandLineSafe);
    written.keep();
}

void unregisterServer(RegistryPort& registry, const std::function<AddInEntry()>& readAddIn) {
    FirstFailure failure;
    failure.attempt([&] {
        const RegistryKey addInLocation = addInKey(readAddIn().hostKey);
        registry.deleteTree(addInLocation.hive, addInLocation.path);
    });
    for (const Scope scope : {Scope::machine, Scope::user}) {
        const Hive hive = classesHive(scope);
        for (const RegisteredClass& c : registeredClasses) {
            failure.attempt([&] { registry.deleteTree(hive, classKey(c)); });
            failure.attempt([&] { registry.deleteTree(hive, progIdKey(c)); });
        }
        failure.attempt([&] {
            // Unregistering a type library that is not registered is an error to the type-library functions.
            if (registry.keyExists(hive, typeLibraryKey())) registry.unregisterTypeLibrary(scope);
        });
    }
    failure.rethrow();
}

}  // namespace zeltra
