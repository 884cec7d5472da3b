// A walk through the connection spine on the in-memory Outlook: the host connects the add-in with
// an Explorer open, windows open and close, and the host disconnects. Prints each host event and
// what the add-in did in answer.
#include <cstdio>
#include <string>

#include "tests/fakes/host_fixture.h"

namespace {

void print(const std::wstring& text) { std::printf("%ls\n", text.c_str()); }

void printState(fakes::Session& s) {
    const zeltra::OutAddIn* hub = s.hub();
    std::printf("   => hub: %s; connections held: %zu; references held: %zu\n",
                !hub ? "none" : hub->isAttached() ? "attached" : "detached", s.model.connectionCount(),
                s.model.referencesHeld().size());
}

}  // namespace

int main() {
    fakes::Session s;
    s.model.setTraceListener([](const sim::TraceEntry& e) {
        switch (e.type) {
            case sim::TraceEntry::Type::HostEvent: print(L" host: " + e.text); break;
            case sim::TraceEntry::Type::AddInCall:
            case sim::TraceEntry::Type::Advise:
            case sim::TraceEntry::Type::Unadvise: print(L"   add-in: " + e.text); break;
            case sim::TraceEntry::Type::Failure: print(L"   ! " + e.text); break;
            default: break;
        }
    });

    print(L"== Outlook starts with one Explorer");
    sim::Node& explorer = s.model.openExplorer();
    print(L"== OnConnection");
    std::printf("   -> 0x%08X\n", static_cast<unsigned>(s.onConnection()));
    printState(s);
    print(L"== The user opens a mail item and a second Explorer");
    sim::Node& mail = s.model.openInspector(43, L"Hello World");
    s.model.openExplorer();
    printState(s);
    print(L"== The tracked Explorer closes");
    s.model.closeWindow(explorer);
    printState(s);
    print(L"== The mail window closes");
    s.model.closeWindow(mail);
    printState(s);
    print(L"== OnBeginShutdown, OnDisconnection");
    std::printf("   -> 0x%08X, ", static_cast<unsigned>(s.connect->AddinInstance_OnBeginShutdown()));
    std::printf("0x%08X\n", static_cast<unsigned>(s.onDisconnection()));
    printState(s);
    s.connect.reset();
    const bool clean = s.model.referencesHeld().empty() && s.model.overReleases().empty();
    std::printf("== Host released Connect: %s\n", clean ? "no reference left" : "REFERENCES LEFT");
    return clean ? 0 : 1;
}
