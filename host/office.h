#pragma once
// The Office command-bar library as the add-in uses it; each member is named here once.
// Optional arguments the add-in leaves out are passed as "missing", as an early-bound call would.
#include <string_view>

#include "host/iids.h"
#include "host/typed.h"

namespace host {

inline constexpr std::int32_t msoControlButton = 1;
inline constexpr std::int32_t msoButtonIconAndCaption = 3;

class CommandBarButton : public TypedObject<CommandBarButton> {
public:
    static constexpr const Guid& interfaceId = iid::CommandBarButton;
    void setCaption(std::wstring_view v) const { object_.put(L"Caption", Variant(v)); }
    void setBeginGroup(bool v) const { object_.put(L"BeginGroup", Variant(v)); }
    void setFaceId(std::int32_t v) const { object_.put(L"FaceId", Variant(v)); }
    void setTooltipText(std::wstring_view v) const { object_.put(L"TooltipText", Variant(v)); }
    void setDescriptionText(std::wstring_view v) const { object_.put(L"DescriptionText", Variant(v)); }
    void setStyle(std::int32_t v) const { object_.put(L"Style", Variant(v)); }
    void setTag(std::wstring_view v) const { object_.put(L"Tag", Variant(v)); }
    void setOnAction(std::wstring_view v) const { object_.put(L"OnAction", Variant(v)); }
    void setVisible(bool v) const { object_.put(L"Visible", Variant(v)); }
    // The face without the clipboard: two pictures (IPictureDisp), assigned by reference; in the
    // mask white is transparent. The mask goes after the picture.
    void setPicture(const Object& picture) const { object_.putObjectByValue(L"Picture", picture); }
    void setMask(const Object& mask) const { object_.putObjectByValue(L"Mask", mask); }
    void pasteFace() const { object_.call(L"PasteFace"); }
    // Delete([Temporary]): the control goes from its bar, for good.
    void remove() const { object_.call(L"Delete", {Variant::missing()}); }
};

class CommandBarControls : public TypedObject<CommandBarControls> {
public:
    static constexpr const Guid& interfaceId = iid::CommandBarControls;
    // Add(Type, Id, Parameter, Before, Temporary) with Type and Temporary given.
    Object add(std::int32_t type, bool temporary) const {
        return object_.get(L"Add", {Variant(type), Variant::missing(), Variant::missing(), Variant::missing(),
                                     Variant(temporary)}).toObject();
    }
};

class CommandBar : public TypedObject<CommandBar> {
public:
    static constexpr const Guid& interfaceId = iid::CommandBar;
    // FindControl(Type, Id, Tag, Visible, Recursive) with Id and Recursive left out.
    Object findControl(std::int32_t type, std::wstring_view tag, bool visible) const {
        return object_.get(L"FindControl", {Variant(type), Variant::missing(), Variant(tag), Variant(visible),
                                             Variant::missing()}).toObject();
    }
    CommandBarControls controls() const { return CommandBarControls::from(object_.get(L"Controls")); }
};

class CommandBars : public TypedObject<CommandBars> {
public:
    static constexpr const Guid& interfaceId = iid::CommandBars;
    CommandBar item(std::wstring_view name) const { return CommandBar::from(object_.get(L"Item", {Variant(name)})); }
};

}  // namespace host
