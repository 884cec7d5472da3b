#pragma once
// The object the host creates when it loads the add-in. It receives the host's five connection
// notifications and turns them into the start and the stop of the whole add-in.
#include <functional>
#include <memory>

#include "addin/ribbon.h"
#include "host/automation.h"
#include "hub/out_addin.h"
#include "modules/component.h"

namespace zeltra {

using HubFactory = std::function<std::shared_ptr<OutAddIn>()>;

class Connect {
public:
    // createHub makes the one event hub when it is first needed.
    Connect(Component& component, HubFactory createHub);
    // The host's final release. A host that skipped OnDisconnection (Outlook 2010 and later at
    // exit) ends the connection here.
    ~Connect();
    Connect(const Connect&) = delete;
    Connect& operator=(const Connect&) = delete;

    // Each returns the HRESULT for the host and never throws.
    host::HResult AddinInstance_OnConnection(const host::Object& application, std::int32_t connectMode,
                                             const host::Object& addInInst) noexcept;
    host::HResult AddinInstance_OnDisconnection(std::int32_t removeMode) noexcept;
    host::HResult AddinInstance_OnAddInsUpdate() noexcept { return host::hresult::ok; }
    host::HResult AddinInstance_OnStartupComplete() noexcept;
    host::HResult AddinInstance_OnBeginShutdown() noexcept { return host::hresult::ok; }

    // The hub, or null when none exists (for the component and its tests).
    const std::shared_ptr<OutAddIn>& hub() const noexcept { return objAddIn_; }

    // IRibbonExtensibility: the customUI XML of a ribbon ID, "" where the add-in adds nothing.
    std::wstring GetCustomUI(std::wstring_view ribbonId) const {
        return customUiFor(ribbonId, component_.outlookVersion);
    }
    // The callbacks that XML names.
    RibbonCallbacks& ribbon() noexcept { return ribbon_; }

private:
    // objAddIn creates the hub when it is used while empty.
    OutAddIn& objAddIn();
    void endConnection() noexcept;

    Component& component_;
    HubFactory createHub_;
    std::shared_ptr<OutAddIn> objAddIn_;
    RibbonCallbacks ribbon_{component_};
    bool connected_ = false;  // from OnConnection to OnDisconnection or the final release
};

}  // namespace zeltra
