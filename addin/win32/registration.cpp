#include "addin/win32/registration.h"

#include <cstdint>
#include <string>

#include "addin/registration.h"
#include "addin/registration_record.h"
#include "addin/win32/registry.h"
#include "com/boundary.h"
#include "com/module.h"
#include "host/error.h"

namespace zeltra::server {
namespace {

std::wstring fromAnsi(const std::string& text) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

RegistrationRecord readRegistrationRecord() {
    const HMODULE module = com::moduleHandle();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), L"ADDINREG");
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) throw host::Error(HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND), "registration record");
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return parseRegistrationRecord({bytes, SizeofResource(module, found)});
}

AddInEntry readAddInEntry() {
    const RegistrationRecord record = readRegistrationRecord();
    return {fromAnsi(record.hostRegistryKey), fromAnsi(record.friendlyName), fromAnsi(record.description),
            record.loadBehavior, record.commandLineSafe};
}

}  // namespace

HRESULT registerServer() noexcept try {
    SystemRegistry registry;
    zeltra::registerServer(registry, com::modulePath(), readAddInEntry());
    return S_OK;
} catch (...) {
    return com::hresultFromCaughtException();
}

HRESULT unregisterServer() noexcept try {
    SystemRegistry registry;
    zeltra::unregisterServer(registry, readAddInEntry);
    return S_OK;
} catch (...) {
    return com::hresultFromCaughtException();
}

}  // namespace zeltra::server
