#pragma once
// A failed host call raises host::Error carrying the call's HRESULT.
#include <exception>
#include <string>

#include "host/hresult.h"

namespace host {

class Error : public std::exception {
public:
    explicit Error(HResult hr, std::string context = {});
    HResult hr() const noexcept { return hr_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    HResult hr_;
    std::string what_;
};

inline void throwIfFailed(HResult hr, const char* context = "") {
    if (failed(hr)) throw Error(hr, context);
}

// The HRESULT for the exception being handled; call only inside a catch block.
// Used at every boundary where a failure must turn into a return value.
HResult hresultFromCaughtException() noexcept;

}  // namespace host
