#include "host/error.h"

#include <new>

#include "host/number_text.h"

namespace host {

Error::Error(HResult hr, std::string context) : hr_(hr) {
    const std::string code = hexText(static_cast<std::uint32_t>(hr));
    what_ = context.empty() ? "host call failed: " + code : context + ": " + code;
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
