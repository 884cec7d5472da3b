#pragma once
// COM objects that expose the Outlook model to a real add-in: every model object answers
// QueryInterface for its Outlook interfaces, IDispatch by name and by DISPID, and connection
// points for its event interface. AddRef and Release are counted on the model object, so the
// model knows every reference the add-in holds.
#include <windows.h>
#include <oaidl.h>

#include <map>
#include <memory>

#include "sim/model/outlook_model.h"

namespace sim::win32 {

class ComObject;

class ComHost {
public:
    explicit ComHost(Model& model);
    ~ComHost();
    ComHost(const ComHost&) = delete;
    ComHost& operator=(const ComHost&) = delete;

    Model& model() const { return model_; }

    // The object's IDispatch with a new reference (counted on the node); null for null.
    IDispatch* dispatchFor(Node* node);
    // The node behind an IDispatch of this host, or null.
    Node* nodeOf(IUnknown* unknown) const;

private:
    Model& model_;
    std::map<Node*, std::unique_ptr<ComObject>> objects_;
};

}  // namespace sim::win32
