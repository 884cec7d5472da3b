#include "tests/fakes/model_automation.h"

#include <vector>

#include "host/iids.h"

namespace fakes {
namespace {

class ModelAutomation;

// The flags the real adapter sends for each kind of call.
sim::InvokeFlags invokeFlags(host::InvokeKind kind) {
    switch (kind) {
        case host::InvokeKind::Statement: return sim::invoke::method;
        case host::InvokeKind::Value: return sim::invoke::method | sim::invoke::get;
        case host::InvokeKind::Put: return sim::invoke::put;
        case host::InvokeKind::PutRef: return sim::invoke::putRef;
    }
    return 0;
}

sim::Value toModel(const host::Variant& v);
host::Variant fromModel(const sim::Value& v);

class ModelAutomation final : public host::Automation {
public:
    explicit ModelAutomation(sim::Node& node) : node_(node) { node_.addRef(); }
    ~ModelAutomation() override { node_.release(); }

    sim::Node& node() const { return node_; }

    std::shared_ptr<host::Automation> queryInterface(const host::Guid& iid) override {
        node_.model().queryInterface(node_, iid);
        return std::make_shared<ModelAutomation>(node_);
    }

    std::shared_ptr<host::Automation> duplicate() override { return std::make_shared<ModelAutomation>(node_); }

    host::Variant invoke(const host::Member& member, host::InvokeKind kind, std::span<const host::Variant> args) override {
        std::vector<sim::Value> modelArgs;
        for (const auto& a : args) modelArgs.push_back(toModel(a));
        const sim::InvokeFlags flags = invokeFlags(kind);
        sim::Model& model = node_.model();
        const sim::Value result = member.byId() ? model.invoke(node_, member.id(), flags, modelArgs)
                                                : model.invoke(node_, member.name(), flags, modelArgs);
        return fromModel(result);
    }

    std::unique_ptr<host::EventConnection::Impl> advise(const host::Guid& eventIid, host::EventHandler handler,
                                                        host::OnFailedDelivery onFailure) override;

    const void* identity() const override { return &node_; }

    std::uintptr_t window() override {
        node_.model().queryInterface(node_, host::iid::IOleWindow);
        return node_.model().windowHandle(node_);
    }

private:
    sim::Node& node_;
};

// Delivers the model's events to the add-in's handler until disconnected. The model passes its
// events' Booleans (Cancel, CancelDefault) by reference and no other Booleans.
class HandlerSink final : public sim::Sink {
public:
    HandlerSink(host::EventHandler handler, host::OnFailedDelivery onFailure)
        : handler_(std::move(handler)), onFailure_(onFailure) {}
    void disarm() { handler_ = nullptr; }

    host::HResult invoke(std::int32_t dispid, std::vector<sim::Value>& args) override {
        if (!handler_) return host::hresult::ok;
        const host::EventHandler handler = handler_;  // the handler may disarm this sink
        try {
            std::vector<host::Variant> converted;
            for (const auto& a : args) converted.push_back(fromModel(a));
            handler(dispid, converted);
            for (std::size_t i = 0; i < args.size(); ++i)
                if (std::holds_alternative<bool>(args[i]) && converted[i].kind() == host::Variant::Kind::Bool)
                    args[i] = converted[i].asBool();
            return host::hresult::ok;
        } catch (...) {
            if (onFailure_ == host::OnFailedDelivery::Cancel)
                for (sim::Value& arg : args)
                    if (std::holds_alternative<bool>(arg)) arg = true;
            return host::hresultFromCaughtException();
        }
    }

private:
    host::EventHandler handler_;
    host::OnFailedDelivery onFailure_;
};

class ModelConnection final : public host::EventConnection::Impl {
public:
    ModelConnection(sim::Node& node, std::shared_ptr<HandlerSink> sink, std::uint32_t cookie)
        : node_(node), sink_(std::move(sink)), cookie_(cookie) {}

    void disconnect() override {
        if (!sink_) return;
        sink_->disarm();
        sink_.reset();
        node_.model().unadvise(node_, cookie_);
    }

private:
    sim::Node& node_;
    std::shared_ptr<HandlerSink> sink_;
    std::uint32_t cookie_;
};

std::unique_ptr<host::EventConnection::Impl> ModelAutomation::advise(const host::Guid& eventIid,
                                                                     host::EventHandler handler,
                                                                     host::OnFailedDelivery onFailure) {
    auto sink = std::make_shared<HandlerSink>(std::move(handler), onFailure);
    const std::uint32_t cookie = node_.model().advise(node_, eventIid, sink);
    return std::make_unique<ModelConnection>(node_, std::move(sink), cookie);
}

sim::Value toModel(const host::Variant& v) {
    switch (v.kind()) {
        case host::Variant::Kind::Empty: return std::monostate{};
        case host::Variant::Kind::Bool: return v.asBool();
        case host::Variant::Kind::Int: return v.asInt();
        case host::Variant::Kind::Double: return v.asDouble();
        case host::Variant::Kind::String: return v.asString();
        case host::Variant::Kind::Error:
            if (v.asError() == host::hresult::paramNotFound) return sim::Missing{};
            break;
        case host::Variant::Kind::Object: {
            const host::Object object = v.toObject();
            if (object.isNothing()) return static_cast<sim::Node*>(nullptr);
            if (auto* fake = dynamic_cast<ModelAutomation*>(object.automation())) return &fake->node();
            break;
        }
        case host::Variant::Kind::Null: break;
    }
    throw host::Error(host::hresult::typeMismatch, "value the model does not take");
}

host::Variant fromModel(const sim::Value& v) {
    struct Visitor {
        host::Variant operator()(std::monostate) const { return {}; }
        host::Variant operator()(bool b) const { return b; }
        host::Variant operator()(std::int32_t i) const { return i; }
        host::Variant operator()(double d) const { return d; }
        host::Variant operator()(const std::wstring& s) const { return s; }
        host::Variant operator()(sim::Node* n) const { return wrap(n); }
        host::Variant operator()(sim::Missing) const { return host::Variant::missing(); }
    };
    return std::visit(Visitor{}, v);
}

}  // namespace

host::Object wrap(sim::Node& node) { return host::Object(std::make_shared<ModelAutomation>(node)); }
host::Object wrap(sim::Node* node) { return node ? wrap(*node) : host::Object(); }

}  // namespace fakes
