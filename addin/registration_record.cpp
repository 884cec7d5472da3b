#include "addin/registration_record.h"

#include <cstring>

#include "host/error.h"

namespace zeltra {
namespace {

// ERROR_INVALID_DATA as an HRESULT: the stored record is damaged.
constexpr host::HResult invalidData = static_cast<host::HResult>(0x8007000D);

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::span<const std::uint8_t> take(std::size_t count) {
        if (count > bytes_.size() - position_) throw host::Error(invalidData, "registration record is truncated");
        const auto part = bytes_.subspan(position_, count);
        position_ += count;
        return part;
    }
    std::uint32_t u32() {
        const auto b = take(4);
        return b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    }
    std::optional<std::string> string() {
        const std::uint32_t length = u32();
        if (length == 0) return std::nullopt;
        const auto text = take(length);
        if (text.back() != 0) throw host::Error(invalidData, "registration record string is not terminated");
        return std::string(text.begin(), text.end() - 1);
    }
    std::string requiredString() {
        auto text = string();
        if (!text) throw host::Error(invalidData, "registration record lacks a required string");
        return *text;
    }
    std::size_t remaining() const { return bytes_.size() - position_; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

}  // namespace

RegistrationRecord parseRegistrationRecord(std::span<const std::uint8_t> bytes) {
    Reader reader(bytes);
    RegistrationRecord record;
    std::memcpy(&record.designer, reader.take(sizeof record.designer).data(), sizeof record.designer);
    if (record.designer != addInDesignerId) throw host::Error(invalidData, "not an add-in registration record");
    const std::uint32_t size = reader.u32();
    if (size != reader.remaining()) throw host::Error(invalidData, "registration record size does not match");
    record.hostRegistryKey = reader.requiredString();
    record.friendlyName = reader.requiredString();
    record.description = reader.requiredString();
    record.loadBehavior = reader.u32();
    record.satelliteLibrary = reader.string();
    record.additionalRegistryKey = reader.string();
    record.commandLineSafe = reader.u32();
    for (auto& r : record.reserved) r = reader.u32();
    if (reader.remaining() != 0) throw host::Error(invalidData, "registration record has trailing bytes");
    return record;
}

}  // namespace zeltra
