#include "sim/win32/ribbon_target.h"

#include <cstring>
#include <utility>
#include <vector>

#include "sim/win32/pictures.h"
#include "sim/win32/scenario_text.h"

namespace sim::win32 {
namespace {

using Answer = RibbonTarget::Answer;
using Returns = RibbonTarget::Returns;

class AddInRibbon final : public RibbonTarget {
public:
    AddInRibbon(ComHost& com, com::ComPtr<IRibbonExtensibility> ribbon, com::ComPtr<IDispatch> callbacks,
                HRESULT callbacksAnswer, std::wstring progId)
        : com_(com), ribbon_(std::move(ribbon)), callbacks_(std::move(callbacks)), callbacksAnswer_(callbacksAnswer),
          progId_(std::move(progId)) {}

    std::optional<std::wstring> customUi(const std::wstring& ribbonId) override {
        com::Bstr id(ribbonId);
        com::Bstr owned;
        const HRESULT hr = ribbon_->GetCustomUI(id.get(), owned.put());
        if (FAILED(hr)) return std::nullopt;
        return com::toWString(owned.get());
    }

    Answer call(const std::wstring& name, const std::vector<Value>& args, Returns returns) override {
        if (!callbacks_)
            return {Answer::Status::NameNotFound, {}, std::nullopt, L"QueryInterface(IDispatch) -> " + hex(callbacksAnswer_)};
        std::wstring copy = name;
        LPOLESTR names[] = {copy.data()};
        DISPID dispid = DISPID_UNKNOWN;
        HRESULT hr = callbacks_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
        if (FAILED(hr)) return {Answer::Status::NameNotFound, {}, std::nullopt, L"GetIDsOfNames -> " + hex(hr)};
        // Arguments in reverse order; each object is a reference the add-in is handed for the call.
        std::vector<com::UniqueVariant> values(args.size());
        for (std::size_t i = 0; i < args.size(); ++i) com_.toVariant(args[i], *values[args.size() - 1 - i].get());
        DISPPARAMS params{values.empty() ? nullptr : values.front().get(), nullptr, static_cast<UINT>(values.size()), 0};
        com::UniqueVariant result;
        EXCEPINFO exception{};
        UINT argError = 0;
        hr = callbacks_->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                returns == Returns::Nothing ? nullptr : result.get(), &exception, &argError);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        if (FAILED(hr)) return {Answer::Status::Failed, {}, std::nullopt, L"Invoke -> " + hex(hr)};
        return read(*result.get(), returns);
    }

    std::wstring name() const override { return progId_; }

private:
    static Answer wrongType(const VARIANT& v) {
        return {Answer::Status::WrongType, {}, std::nullopt, L"VARTYPE " + std::to_wstring(v.vt)};
    }
    Answer read(const VARIANT& v, Returns returns) const {
        switch (returns) {
            case Returns::Nothing: return {};
            case Returns::Boolean:
                if (v.vt != VT_BOOL) return wrongType(v);
                return {Answer::Status::Done, v.boolVal != VARIANT_FALSE, std::nullopt, {}};
            case Returns::Integer:
                if (v.vt == VT_I4 || v.vt == VT_INT) return {Answer::Status::Done, static_cast<std::int32_t>(v.lVal), std::nullopt, {}};
                if (v.vt == VT_I2) return {Answer::Status::Done, static_cast<std::int32_t>(v.iVal), std::nullopt, {}};
                return wrongType(v);
            case Returns::Text:
                if (v.vt != VT_BSTR) return wrongType(v);
                return {Answer::Status::Done, com::toWString(v.bstrVal), std::nullopt, {}};
            case Returns::Picture: {
                if (v.vt != VT_DISPATCH && v.vt != VT_UNKNOWN) return wrongType(v);
                auto image = readPicture(v.punkVal);
                if (!image) return {Answer::Status::WrongType, {}, std::nullopt, L"not a picture that can be read"};
                return {Answer::Status::Done, {}, std::move(image), {}};
            }
        }
        return wrongType(v);
    }

    ComHost& com_;
    com::ComPtr<IRibbonExtensibility> ribbon_;
    com::ComPtr<IDispatch> callbacks_;  // null when the object did not answer IDispatch
    HRESULT callbacksAnswer_;
    std::wstring progId_;
};

}  // namespace

std::shared_ptr<RibbonTarget> ribbonTargetOf(ComHost& com, IUnknown* connectObject, const std::wstring& progId,
                                             CallbackPath path) {
    com::ComPtr<IRibbonExtensibility> ribbon;
    if (!connectObject || FAILED(connectObject->QueryInterface(IID_IRibbonExtensibility, ribbon.putVoid())) || !ribbon)
        return nullptr;
    com::ComPtr<IDispatch> callbacks;
    HRESULT answer = S_OK;
    if (path == CallbackPath::throughExtensibility) {
        callbacks = com::ComPtr<IDispatch>(ribbon.get());
    } else {
        answer = connectObject->QueryInterface(IID_IDispatch, callbacks.putVoid());
        if (FAILED(answer)) callbacks.reset();
        else if (!callbacks) answer = E_POINTER;
    }
    return std::make_shared<AddInRibbon>(com, std::move(ribbon), std::move(callbacks), answer, progId);
}

}  // namespace sim::win32
