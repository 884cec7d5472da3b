#pragma once
// An in-memory Outlook session with the add-in's Connect object, as the host would drive it.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "addin/connect.h"
#include "sim/model/outlook_model.h"
#include "tests/fakes/model_automation.h"
#include "tests/fakes/system_fakes.h"

namespace fakes {

// How the host connects the add-in (ext_ConnectMode).
inline constexpr std::int32_t ext_cm_AfterStartup = 0;
inline constexpr std::int32_t ext_cm_Startup = 1;
// How it disconnects it (ext_DisconnectMode).
inline constexpr std::int32_t ext_dm_HostShutdown = 0;
inline constexpr std::int32_t ext_dm_UserClosed = 1;

struct Session {
    sim::Model model;
    FakeDesktop desktop;
    FakeRegistry registry;
    FakeObjectFactory objects{registry};
    FakeProductKeys keys{registry};
    std::shared_ptr<FakeFormWindow::State> form = std::make_shared<FakeFormWindow::State>();
    zeltra::Component component{desktop, objects, keys, FakeFormWindow::loader(form)};
    zeltra::ModOutlook& module = component.modOutlook;
    std::unique_ptr<zeltra::Connect> connect =
        std::make_unique<zeltra::Connect>(component, [this] { return zeltra::OutAddIn::create(component); });

    // Outlook 2003 unless a test says otherwise: the command-bar button is the surface there.
    explicit Session(int outlookVersion = 11) {
        model.setVersion(outlookVersion);
        model.setClipboardPictureSource([this] { return desktop.picture(); });
        objects.hostApplication = [this] { return wrap(model.application()); };
    }

    // The host hands over its application and add-in objects for the call and releases them after.
    host::HResult onConnection(std::int32_t connectMode = ext_cm_Startup) {
        return connect->AddinInstance_OnConnection(wrap(model.application()), connectMode,
                                                   wrap(model.addInInstance(L"DODuruda_Vored.Connect")));
    }
    host::HResult onDisconnection(std::int32_t removeMode = 0) {
        return connect->AddinInstance_OnDisconnection(removeMode);
    }
    zeltra::OutAddIn* hub() const { return connect->hub().get(); }

    // The host disconnects and releases the add-in (unless it did already), which must then hold
    // nothing of the host's.
    void disconnectAndExpectNothingHeld() {
        if (connect) {
            EXPECT_EQ(onDisconnection(), host::hresult::ok);
        }
        connect.reset();
        EXPECT_FALSE(component.connected());
        EXPECT_TRUE(model.referencesHeld().empty());
        EXPECT_EQ(model.connectionCount(), 0u);
        EXPECT_TRUE(model.overReleases().empty());
    }

    // Texts of the trace entries of one type, in order.
    std::vector<std::wstring> traced(sim::TraceEntry::Type type) const {
        std::vector<std::wstring> texts;
        for (const auto& e : model.traceLog())
            if (e.type == type) texts.push_back(e.text);
        return texts;
    }
};

// The add-in's button among the Standard bar's own controls of an item window, or null.
inline sim::Node* zeltraButton(sim::Model& model, sim::Node& inspector) {
    sim::ControlCriteria ours;
    ours.tag = L"Zeltra";
    return model.findControl(*model.commandBar(inspector, L"Standard"), ours);
}

// True when handle refers to node.
inline bool refersTo(const host::Object& handle, const sim::Node& node) {
    return handle.automation() && handle.automation()->identity() == &node;
}

}  // namespace fakes
