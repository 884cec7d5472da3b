#include "hub/out_addin.h"

#include "host/error_mode.h"

namespace zeltra {

using host::resumeNext;
using host::holdsOrFailsToEvaluate;

namespace {
host::Variant argumentOrEmpty(std::span<host::Variant> args, std::size_t index) {
    return index < args.size() ? args[index] : host::Variant();
}
}  // namespace

std::shared_ptr<OutAddIn> OutAddIn::create(ModOutlook& module) {
    std::shared_ptr<OutAddIn> hub(new OutAddIn(module));
    hub->bindHandlers();
    return hub;
}

OutAddIn::OutAddIn(ModOutlook& module) : module_(module) {}

// objApp is set and emptied together with objOutlook. A hub destroyed while still attached (the
// host released the add-in without disconnecting it, or the detach failed partway) empties it too,
// so that the module does not keep the host's application alive after the add-in is gone.
OutAddIn::~OutAddIn() {
    if (!objOutlook.isNothing() && module_.objApp.object().isSameObject(objOutlook.get().object())) {
        module_.objApp = {};
    }
}

template <class Dispatch>
host::EventHandler OutAddIn::handler(Dispatch dispatch) {
    return [weak = weak_from_this(), dispatch](std::int32_t dispid, std::span<host::Variant> args) {
        const std::shared_ptr<OutAddIn> hub = weak.lock();
        if (hub) dispatch(*hub, dispid, args);
    };
}

void OutAddIn::bindHandlers() {
    colExpl.setHandler(handler([](OutAddIn& hub, std::int32_t dispid, std::span<host::Variant> args) {
        if (dispid == host::dispid::NewExplorer) hub.colExpl_NewExplorer(argumentOrEmpty(args, 0));
    }));
    colInsp.setHandler(handler([](OutAddIn& hub, std::int32_t dispid, std::span<host::Variant> args) {
        if (dispid == host::dispid::NewInspector) hub.colInsp_NewInspector(argumentOrEmpty(args, 0));
    }));
    objExpl.setHandler(handler([](OutAddIn& hub, std::int32_t dispid, std::span<host::Variant> args) {
        if (dispid == host::dispid::BeforeFolderSwitch && args.size() == 2) {
            hub.objExpl_BeforeFolderSwitch(args[0], args[1]);
        } else if (dispid == host::dispid::Close) {
            hub.objExpl_Close();
        }
    }));
    objInsp.setHandler(handler([](OutAddIn& hub, std::int32_t dispid, std::span<host::Variant>) {
        if (dispid == host::dispid::Close) hub.objInsp_Close();
    }));
    // The application, the name space and the items raise events the add-in does not handle.
    const host::EventHandler ignore = handler([](OutAddIn&, std::int32_t, std::span<host::Variant>) {});
    for (auto* member : {&objMailItem, &objPostItem, &objContactItem, &objDistListItem, &objApptItem, &objTaskItem,
                         &objJournalItem, &objDocumentItem})
        member->setHandler(ignore);
    objOutlook.setHandler(ignore);
    objNS.setHandler(ignore);
}

bool OutAddIn::isAttached() const {
    return !objOutlook.isNothing() || !objNS.isNothing() || !colExpl.isNothing() || !colInsp.isNothing() ||
           !objExpl.isNothing() || !objInsp.isNothing();
}

host::Variant OutAddIn::CheckInspButton(const host::Inspector&) {
    throw host::Error(host::hresult::notImplemented, "CheckInspButton");
}

void OutAddIn::AttachOutlook(const host::Application& app, std::wstring_view /*progId: handed over, never used*/) {
    objOutlook.assign(app);
    module_.objApp = app.newReference();
    objNS.assign(objOutlook.get().getNamespace(L"MAPI"));
    colExpl.assign(objOutlook.get().explorers());
    colInsp.assign(objOutlook.get().inspectors());
    objExpl.assign(objOutlook.get().activeExplorer());
}

void OutAddIn::DetachOutlook() {
    objInsp.clear();
    objExpl.clear();
    colInsp.clear();
    colExpl.clear();
    objNS.clear();
    module_.objApp = {};
    objOutlook.clear();
}

void OutAddIn::colExpl_NewExplorer(const host::Variant& explorer) noexcept {
    resumeNext([&] {
        if (objExpl.isNothing()) objExpl.assign(explorer.toObject());
    });
}

void OutAddIn::colInsp_NewInspector(const host::Variant& inspector) noexcept {
    resumeNext([&] { objInsp.assign(inspector.toObject()); });
}

void OutAddIn::objExpl_BeforeFolderSwitch(const host::Variant&, host::Variant&) noexcept {
    // The folder switch is never cancelled.
}

void OutAddIn::objExpl_Close() noexcept {
    resumeNext([&] { objExpl.assign(module_.objApp.activeExplorer()); });
    const bool noWindowLeft = holdsOrFailsToEvaluate([&] {
        const bool noExplorer = objExpl.isNothing();
        return host::holds(host::tristateAnd(noExplorer, host::equalsInteger(module_.objApp.inspectors().count(), 0)));
    });
    if (noWindowLeft) resumeNext([&] { DetachOutlook(); });
}

void OutAddIn::objInsp_Close() noexcept {
    // Only tested: the tracked Explorer stays as it is.
    const bool noWindowLeft = holdsOrFailsToEvaluate([&] {
        const bool noExplorer = module_.objApp.activeExplorer().isNothing();
        return host::holds(
            host::tristateAnd(noExplorer, host::lessOrEqualInteger(module_.objApp.inspectors().count(), 1)));
    });
    if (noWindowLeft) resumeNext([&] { DetachOutlook(); });
}

}  // namespace zeltra
