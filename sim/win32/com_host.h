#pragma once
// COM objects that expose the Outlook model to a real add-in, held to the rules a type-library
// driven Office dispatch applies. Every interface of a model object is a pointer of its own (its
// IUnknown identity, IDispatch, each Outlook or Office interface, IConnectionPointContainer), and
// QueryInterface from any of them answers the same set. AddRef and Release through any of them are
// counted on the model object; connection points are objects of their own, counted on their own
// model object. Every object answers only on the thread that created it: a call from another
// thread gets RPC_E_WRONG_THREAD, and each such call is recorded as a fault in the model.
#include <windows.h>
#include <oaidl.h>

#include <map>
#include <memory>
#include <optional>

#include "sim/model/outlook_model.h"
#include "sim/win32/clipboard.h"

namespace sim::win32 {

class ComObject;

// How the simulator passes by-reference booleans (Cancel, CancelDefault) to the add-in's sinks.
enum class ByRefStyle {
    Bool,     // VT_BYREF|VT_BOOL, as Outlook and Office do
    Variant,  // VT_BYREF|VT_VARIANT pointing to a VT_BOOL VARIANT, as some hosts do
};

class ComHost {
public:
    explicit ComHost(Model& model);
    ~ComHost();
    ComHost(const ComHost&) = delete;
    ComHost& operator=(const ComHost&) = delete;

    Model& model() const { return model_; }

    // The object's IDispatch with a new reference (counted on the node); null for null. The object
    // is made on first use and belongs to the thread that makes it.
    IDispatch* dispatchFor(Node* node);
    // The node behind any interface pointer of this host's objects, or null.
    Node* nodeOf(IUnknown* unknown) const;
    // A model value into an empty VARIANT, which then owns what it holds (an object counted as a
    // reference handed out); a VARIANT from the add-in as a model value, nothing for a type the
    // model does not take.
    void toVariant(const Value& value, VARIANT& out);
    std::optional<Value> toValue(const VARIANT& value) const;

    // The real clipboard, as Outlook's and the user's side of the desktop use it.
    Clipboard& clipboard() { return clipboard_; }

    ByRefStyle byRefStyle() const { return byRefStyle_; }
    void setByRefStyle(ByRefStyle style) { byRefStyle_ = style; }

private:
    Model& model_;
    Clipboard clipboard_;
    std::map<Node*, std::unique_ptr<ComObject>> objects_;
    ByRefStyle byRefStyle_ = ByRefStyle::Bool;
};

}  // namespace sim::win32
