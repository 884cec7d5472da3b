#include "host/error.h"

#include <cstdio>
#include <new>

namespace host {

Error::Error(HResult hr, std::string context) : hr_(hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    what_ = context.empty() ? std::string("host call failed: ") + code : context + ": " + code;
}

HResult hresultFromCaughtException() noexcept {
    try {
        throw;
    } catch (const Error& e) {
        return e.hr();
    } catch (const std::bad_alloc&) {
        return hresult::outOfMemory;
    } catch (...) {
        return hresult::unexpected;
    }
}

}  // namespace host
