// Self-registration against an in-memory registry: which scope the classes land in, what a failure
// leaves behind, and what unregistration removes.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "addin/registration.h"
#include "host/error.h"

namespace {

using zeltra::Hive;
using zeltra::Scope;

using host::hresult::accessDenied;
using host::hresult::invalidArg;
using host::hresult::typeLibRegistryAccess;
constexpr host::HResult diskFull = static_cast<host::HResult>(0x80070070);  // ERROR_DISK_FULL

const std::wstring libid = L"{6D6C546B-F5BD-460D-92FC-9295F2A7496F}";
const std::wstring connectClsid = L"{2C970844-CA6D-4E6F-8BEC-592950FBAB88}";
const std::wstring outAddInClsid = L"{9BC826BA-968E-4CD0-8990-92385363270A}";
const std::wstring outlookAddIns = L"Software\\Microsoft\\Office\\Outlook\\Addins\\";
const std::wstring addInKey = outlookAddIns + L"DODuruda_Vored.Connect";
const std::wstring serverPath = L"C:\\Program Files\\Corvane\\Zeltra\\DODuruda_Vored.dll";

struct Class {
    std::wstring clsid;
    std::wstring progId;
};
const Class classes[] = {{connectClsid, L"DODuruda_Vored.Connect"}, {outAddInClsid, L"DODuruda_Vored.OutAddIn"}};

Hive classesHive(Scope scope) { return scope == Scope::machine ? Hive::localMachine : Hive::currentUser; }
const char* scopeName(Scope scope) { return scope == Scope::machine ? "machine" : "user"; }

zeltra::AddInEntry outlookEntry() {
    return {L"HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\Outlook", L"Corvane Zeltra",
            L"Launch WebSites from Words with Zeltra", 3, 0};
}

// Keys and values by hive and path (paths compared as written: the code under test spells every
// key one way). Writes and deletions at or below a path can be made to fail, as can the
// type-library functions of a scope; a type library is registered the way oleaut32 does it, as
// keys under the scope's classes.
class FakeRegistry final : public zeltra::RegistryPort {
public:
    using Value = std::variant<std::wstring, std::uint32_t>;
    using Values = std::map<std::tuple<Hive, std::wstring, std::wstring>, Value>;

    // Every write or deletion at or below key fails with hr; with a value name, only setting that value.
    void failWrites(Hive hive, std::wstring key, host::HResult hr, std::wstring valueName = {}) {
        writeFailures_.push_back({hive, std::move(key), std::move(valueName), hr});
    }
    void failTypeLibrary(Scope scope, host::HResult hr) { typeLibraryFailures_[scope] = hr; }
    void failNothing() {
        writeFailures_.clear();
        typeLibraryFailures_.clear();
    }

    std::optional<Value> value(Hive hive, const std::wstring& key, const std::wstring& name = {}) const {
        const auto found = values_.find({hive, key, name});
        if (found == values_.end()) return std::nullopt;
        return found->second;
    }
    bool everWritten(Hive hive, const std::wstring& key) const { return everWritten_.contains({hive, key}); }
    const Values& values() const { return values_; }
    // Keys at or below key, for checking that nothing is left there.
    std::vector<std::wstring> keysAt(Hive hive, const std::wstring& key) const {
        std::vector<std::wstring> found;
        for (const auto& [h, path] : keys_)
            if (h == hive && isAtOrBelow(path, key)) found.push_back(path);
        return found;
    }

    void setString(Hive hive, std::wstring_view key, std::wstring_view name, std::wstring_view value) override {
        set(hive, std::wstring(key), std::wstring(name), std::wstring(value));
    }
    void setDword(Hive hive, std::wstring_view key, std::wstring_view name, std::uint32_t value) override {
        set(hive, std::wstring(key), std::wstring(name), value);
    }
    bool keyExists(Hive hive, std::wstring_view key) override { return keys_.contains({hive, std::wstring(key)}); }
    void deleteTree(Hive hive, std::wstring_view key) override {
        const std::wstring path(key);
        if (!keys_.contains({hive, path})) return;
        checkWrite(hive, path, {});
        std::erase_if(keys_, [&](const auto& k) { return k.first == hive && isAtOrBelow(k.second, path); });
        std::erase_if(values_, [&](const auto& v) {
            return std::get<0>(v.first) == hive && isAtOrBelow(std::get<1>(v.first), path);
        });
    }

    void registerTypeLibrary(Scope scope) override {
        checkTypeLibrary(scope);
        const Hive hive = classesHive(scope);
        try {
            set(hive, typeLibKey(), {}, std::wstring(L"Corvane Zeltra Add-In"));
            set(hive, typeLibKey() + L"\\0\\win64", {}, serverPath);
            for (const auto& iid : interfaces) set(hive, interfaceKey(iid) + L"\\TypeLib", {}, libid);
        } catch (const host::Error& e) {
            // oleaut32 reports a registry it may not write as TYPE_E_REGISTRYACCESS.
            throw host::Error(e.hr() == accessDenied ? typeLibRegistryAccess : e.hr(), "fake RegisterTypeLib");
        }
    }
    void unregisterTypeLibrary(Scope scope) override {
        checkTypeLibrary(scope);
        const Hive hive = classesHive(scope);
        if (!keyExists(hive, typeLibKey())) throw host::Error(invalidArg, "fake UnRegisterTypeLib: not registered");
        for (const auto& iid : interfaces) deleteTree(hive, interfaceKey(iid));
        deleteTree(hive, L"Software\\Classes\\TypeLib\\" + libid);
    }

    // _Connect and _OutAddIn, which the type library describes.
    static constexpr const wchar_t* interfaces[] = {L"{5CFFB577-8D73-47FF-B392-723C10409038}",
                                                    L"{CA27005F-1FEE-45E6-8686-3AC8584CB9B6}"};
    static std::wstring typeLibKey() { return L"Software\\Classes\\TypeLib\\" + libid + L"\\1.0"; }
    static std::wstring interfaceKey(const wchar_t* iid) {
        return std::wstring(L"Software\\Classes\\Interface\\") + iid;
    }

private:
    struct WriteFailure {
        Hive hive;
        std::wstring key;
        std::wstring valueName;
        host::HResult hr;
    };
    static bool isAtOrBelow(const std::wstring& path, const std::wstring& key) {
        return path == key || (path.size() > key.size() && path.starts_with(key) && path[key.size()] == L'\\');
    }
    void checkWrite(Hive hive, const std::wstring& key, const std::wstring& valueName) const {
        for (const auto& f : writeFailures_)
            if (f.hive == hive && isAtOrBelow(key, f.key) && (f.valueName.empty() || f.valueName == valueName))
                throw host::Error(f.hr, "fake registry write");
    }
    void checkTypeLibrary(Scope scope) const {
        if (const auto found = typeLibraryFailures_.find(scope); found != typeLibraryFailures_.end())
            throw host::Error(found->second, "fake type library");
    }
    void set(Hive hive, const std::wstring& key, const std::wstring& name, Value value) {
        checkWrite(hive, key, name);
        for (auto end = key.find(L'\\'); end != std::wstring::npos; end = key.find(L'\\', end + 1))
            keys_.insert({hive, key.substr(0, end)});
        keys_.insert({hive, key});
        everWritten_.insert({hive, key});
        values_[{hive, key, name}] = std::move(value);
    }

    std::set<std::pair<Hive, std::wstring>> keys_;
    std::set<std::pair<Hive, std::wstring>> everWritten_;
    Values values_;
    std::vector<WriteFailure> writeFailures_;
    std::map<Scope, host::HResult> typeLibraryFailures_;
};

// The HRESULT a call fails with; S_OK when it does not throw.
template <class Call>
host::HResult failureOf(Call&& call) {
    try {
        call();
        return host::hresult::ok;
    } catch (const host::Error& e) {
        return e.hr();
    }
}

host::HResult registerServer(FakeRegistry& registry) {
    return failureOf([&] { zeltra::registerServer(registry, serverPath, outlookEntry()); });
}
host::HResult unregisterServer(FakeRegistry& registry) {
    return failureOf([&] { zeltra::unregisterServer(registry, outlookEntry); });
}

FakeRegistry::Value text(const std::wstring& s) { return s; }

void expectClassesIn(const FakeRegistry& registry, Scope scope) {
    SCOPED_TRACE(scopeName(scope));
    const Hive hive = classesHive(scope);
    for (const auto& c : classes) {
        const std::wstring key = L"Software\\Classes\\CLSID\\" + c.clsid;
        EXPECT_EQ(registry.value(hive, key), text(c.progId));
        EXPECT_EQ(registry.value(hive, key + L"\\InprocServer32"), text(serverPath));
        EXPECT_EQ(registry.value(hive, key + L"\\InprocServer32", L"ThreadingModel"), text(L"Apartment"));
        EXPECT_EQ(registry.value(hive, key + L"\\ProgID"), text(c.progId));
        EXPECT_EQ(registry.value(hive, key + L"\\TypeLib"), text(libid));
        EXPECT_EQ(registry.value(hive, key + L"\\VERSION"), text(L"1.0"));
        EXPECT_EQ(registry.value(hive, L"Software\\Classes\\" + c.progId), text(c.progId));
        EXPECT_EQ(registry.value(hive, L"Software\\Classes\\" + c.progId + L"\\CLSID"), text(c.clsid));
    }
    EXPECT_EQ(registry.value(hive, FakeRegistry::typeLibKey()), text(L"Corvane Zeltra Add-In"));
}

void expectNoClassesIn(const FakeRegistry& registry, Scope scope) {
    SCOPED_TRACE(scopeName(scope));
    const Hive hive = classesHive(scope);
    for (const auto& c : classes) {
        EXPECT_EQ(registry.keysAt(hive, L"Software\\Classes\\CLSID\\" + c.clsid), std::vector<std::wstring>{});
        EXPECT_EQ(registry.keysAt(hive, L"Software\\Classes\\" + c.progId), std::vector<std::wstring>{});
    }
    EXPECT_EQ(registry.keysAt(hive, L"Software\\Classes\\TypeLib\\" + libid), std::vector<std::wstring>{});
    for (const auto& iid : FakeRegistry::interfaces)
        EXPECT_EQ(registry.keysAt(hive, FakeRegistry::interfaceKey(iid)), std::vector<std::wstring>{});
}

void expectOutlookEntry(const FakeRegistry& registry) {
    EXPECT_EQ(registry.value(Hive::currentUser, addInKey, L"FriendlyName"), text(L"Corvane Zeltra"));
    EXPECT_EQ(registry.value(Hive::currentUser, addInKey, L"Description"),
              text(L"Launch WebSites from Words with Zeltra"));
    EXPECT_EQ(registry.value(Hive::currentUser, addInKey, L"LoadBehavior"), FakeRegistry::Value(3u));
    EXPECT_EQ(registry.value(Hive::currentUser, addInKey, L"CommandLineSafe"), FakeRegistry::Value(0u));
}

void expectNothingOfOurs(const FakeRegistry& registry) {
    expectNoClassesIn(registry, Scope::machine);
    expectNoClassesIn(registry, Scope::user);
    EXPECT_EQ(registry.keysAt(Hive::currentUser, addInKey), std::vector<std::wstring>{});
}

TEST(Registration, WritesTheClassesMachineWideWhenTheMachineAllowsItAndAgainTheSame) {
    FakeRegistry registry;
    ASSERT_EQ(registerServer(registry), host::hresult::ok);
    expectClassesIn(registry, Scope::machine);
    expectNoClassesIn(registry, Scope::user);
    expectOutlookEntry(registry);

    const FakeRegistry::Values once = registry.values();
    ASSERT_EQ(registerServer(registry), host::hresult::ok);
    EXPECT_EQ(registry.values(), once);
}

TEST(Registration, AccessDeniedMachineWideRegistersEverythingForTheUser) {
    struct Case {
        const char* name;
        void (*deny)(FakeRegistry&);
    };
    const Case cases[] = {
        {"HKLM\\Software\\Classes not writable (the type library meets it first)",
         [](FakeRegistry& r) { r.failWrites(Hive::localMachine, L"Software\\Classes", accessDenied); }},
        {"machine type library TYPE_E_REGISTRYACCESS",
         [](FakeRegistry& r) { r.failTypeLibrary(Scope::machine, typeLibRegistryAccess); }},
        {"machine type library E_ACCESSDENIED",
         [](FakeRegistry& r) { r.failTypeLibrary(Scope::machine, accessDenied); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeRegistry registry;
        c.deny(registry);
        ASSERT_EQ(registerServer(registry), host::hresult::ok);
        expectClassesIn(registry, Scope::user);
        expectNoClassesIn(registry, Scope::machine);
        expectOutlookEntry(registry);

        const FakeRegistry::Values once = registry.values();
        ASSERT_EQ(registerServer(registry), host::hresult::ok);
        EXPECT_EQ(registry.values(), once);
    }
}

TEST(Registration, AccessDeniedPartwayThroughTheMachineClassesRemovesWhatWasWrittenThereFirst) {
    FakeRegistry registry;
    // The second class's ProgID comes after the type library and the first class's keys.
    registry.failWrites(Hive::localMachine, L"Software\\Classes\\DODuruda_Vored.OutAddIn", accessDenied);
    ASSERT_EQ(registerServer(registry), host::hresult::ok);

    EXPECT_TRUE(registry.everWritten(Hive::localMachine, L"Software\\Classes\\CLSID\\" + connectClsid));
    EXPECT_TRUE(registry.everWritten(Hive::localMachine, L"Software\\Classes\\CLSID\\" + outAddInClsid));
    EXPECT_TRUE(registry.everWritten(Hive::localMachine, FakeRegistry::typeLibKey()));
    expectNoClassesIn(registry, Scope::machine);
    expectClassesIn(registry, Scope::user);
    expectOutlookEntry(registry);
}

TEST(Registration, AFailureAfterTheMachineRefusedRollsBackTheUserKeysAndTheOutlookEntry) {
    struct Case {
        const char* name;
        void (*fail)(FakeRegistry&);
    };
    const Case cases[] = {
        {"user class keys", [](FakeRegistry& r) {
             r.failWrites(Hive::currentUser, L"Software\\Classes\\CLSID\\" + outAddInClsid + L"\\VERSION", diskFull);
         }},
        {"user type library", [](FakeRegistry& r) { r.failTypeLibrary(Scope::user, diskFull); }},
        {"the Outlook entry halfway", [](FakeRegistry& r) {
             r.failWrites(Hive::currentUser, addInKey, diskFull, L"CommandLineSafe");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeRegistry registry;
        registry.failWrites(Hive::localMachine, L"Software\\Classes", accessDenied);
        c.fail(registry);
        EXPECT_EQ(registerServer(registry), diskFull);
        expectNothingOfOurs(registry);
    }
}

TEST(Registration, AMachineFailureOtherThanAccessDeniedGetsNoFallbackAndLeavesNothing) {
    struct Case {
        const char* name;
        void (*fail)(FakeRegistry&);
    };
    const Case cases[] = {
        {"machine class keys partway", [](FakeRegistry& r) {
             const std::wstring server = L"Software\\Classes\\CLSID\\" + outAddInClsid + L"\\InprocServer32";
             r.failWrites(Hive::localMachine, server, diskFull);
         }},
        {"machine type library", [](FakeRegistry& r) { r.failTypeLibrary(Scope::machine, diskFull); }},
        {"the Outlook entry after the machine classes", [](FakeRegistry& r) {
             r.failWrites(Hive::currentUser, addInKey, diskFull, L"LoadBehavior");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeRegistry registry;
        c.fail(registry);
        EXPECT_EQ(registerServer(registry), diskFull);
        expectNothingOfOurs(registry);
    }
}

TEST(Registration, AnAddInKeyOutsideTheKnownHivesIsRefusedAndLeavesNothing) {
    FakeRegistry registry;
    zeltra::AddInEntry entry = outlookEntry();
    entry.hostKey = L"HKEY_CLASSES_ROOT\\Software\\Microsoft\\Office\\Outlook";
    EXPECT_EQ(failureOf([&] { zeltra::registerServer(registry, serverPath, entry); }), invalidArg);
    entry.hostKey = L"HKEY_CURRENT_USER";
    EXPECT_EQ(failureOf([&] { zeltra::registerServer(registry, serverPath, entry); }), invalidArg);
    EXPECT_TRUE(registry.values().empty());
}

// Other software's keys beside ours, in both hives.
void addOtherSoftware(FakeRegistry& registry) {
    const std::wstring other = L"{0C0FFEE0-1234-4321-ABCD-0123456789AB}";
    for (const Hive hive : {Hive::localMachine, Hive::currentUser}) {
        registry.setString(hive, L"Software\\Classes\\CLSID\\" + other + L"\\InprocServer32", {}, L"C:\\other.dll");
        registry.setString(hive, L"Software\\Classes\\Other.Connect\\CLSID", {}, other);
        registry.setString(hive, L"Software\\Classes\\TypeLib\\" + other + L"\\1.0", {}, L"Other library");
    }
    registry.setString(Hive::currentUser, outlookAddIns + L"Other.Connect", L"FriendlyName", L"Other");
}

TEST(Unregistration, RemovesBothScopesAndLeavesOtherSoftwareAlone) {
    FakeRegistry registry;
    addOtherSoftware(registry);
    const FakeRegistry::Values others = registry.values();
    // Registered machine-wide once, then for the user while the machine refused.
    ASSERT_EQ(registerServer(registry), host::hresult::ok);
    registry.failWrites(Hive::localMachine, L"Software\\Classes", accessDenied);
    ASSERT_EQ(registerServer(registry), host::hresult::ok);
    registry.failNothing();
    expectClassesIn(registry, Scope::machine);
    expectClassesIn(registry, Scope::user);

    EXPECT_EQ(unregisterServer(registry), host::hresult::ok);
    expectNothingOfOurs(registry);
    EXPECT_EQ(registry.values(), others);

    // Unregistering what is not registered succeeds and changes nothing.
    EXPECT_EQ(unregisterServer(registry), host::hresult::ok);
    EXPECT_EQ(registry.values(), others);
}

TEST(Unregistration, TriesEveryPartAndReportsTheFirstFailure) {
    FakeRegistry registry;
    ASSERT_EQ(registerServer(registry), host::hresult::ok);
    registry.failWrites(Hive::localMachine, L"Software\\Classes", accessDenied);
    ASSERT_EQ(registerServer(registry), host::hresult::ok);

    // The machine-wide keys stay as they are; the user's are removed all the same.
    EXPECT_EQ(unregisterServer(registry), accessDenied);
    expectClassesIn(registry, Scope::machine);
    expectNoClassesIn(registry, Scope::user);
    EXPECT_EQ(registry.keysAt(Hive::currentUser, addInKey), std::vector<std::wstring>{});

    // An unreadable registration record does not keep the classes from being removed.
    registry.failNothing();
    const auto unreadable = []() -> zeltra::AddInEntry { throw host::Error(diskFull, "registration record"); };
    EXPECT_EQ(failureOf([&] { zeltra::unregisterServer(registry, unreadable); }), diskFull);
    expectNoClassesIn(registry, Scope::machine);
}

}  // namespace
