#pragma once
// The Outlook object model as the add-in uses it; each member is named here once.
#include <string_view>

#include "host/iids.h"
#include "host/office.h"
#include "host/typed.h"

namespace host {

class NameSpace : public TypedObject<NameSpace> {
public:
    static constexpr const Guid& interfaceId = iid::NameSpace;
};

class Explorer : public TypedObject<Explorer> {
public:
    static constexpr const Guid& interfaceId = iid::Explorer;
};

class Explorers : public TypedObject<Explorers> {
public:
    static constexpr const Guid& interfaceId = iid::Explorers;
    Variant count() const { return object_.get(L"Count"); }
    // The main window at a 1-based index.
    Explorer item(std::int32_t index) const { return Explorer::from(object_.get(L"Item", {Variant(index)})); }
};

class Inspector : public TypedObject<Inspector> {
public:
    static constexpr const Guid& interfaceId = iid::Inspector;
    CommandBars commandBars() const { return CommandBars::from(object_.get(L"CommandBars")); }
    // The item shown, held untyped: only its "Class" is read, late-bound.
    Object currentItem() const { return object_.get(L"CurrentItem").toObject(); }
    void activate() const { object_.call(L"Activate"); }
};

class Inspectors : public TypedObject<Inspectors> {
public:
    static constexpr const Guid& interfaceId = iid::Inspectors;
    Variant count() const { return object_.get(L"Count"); }
    // The item window at a 1-based index.
    Inspector item(std::int32_t index) const { return Inspector::from(object_.get(L"Item", {Variant(index)})); }
};

class Application : public TypedObject<Application> {
public:
    static constexpr const Guid& interfaceId = iid::Application;
    NameSpace getNamespace(std::wstring_view type) const {
        return NameSpace::from(object_.get(L"GetNamespace", {Variant(type)}));
    }
    Explorers explorers() const { return Explorers::from(object_.get(L"Explorers")); }
    Inspectors inspectors() const { return Inspectors::from(object_.get(L"Inspectors")); }
    Explorer activeExplorer() const { return Explorer::from(object_.get(L"ActiveExplorer")); }
    Inspector activeInspector() const { return Inspector::from(object_.get(L"ActiveInspector")); }
};

// Outlook's object-class number of an item, read late-bound by name.
inline Variant itemClass(const Object& item) { return item.get(L"Class"); }

}  // namespace host
