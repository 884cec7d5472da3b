#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "addin/registration_record.h"
#include "host/error.h"

namespace {

// A record built field by field.
struct RecordBuilder {
    std::vector<std::uint8_t> fields;
    void u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) fields.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void text(const char* s) {
        u32(static_cast<std::uint32_t>(std::strlen(s) + 1));
        fields.insert(fields.end(), s, s + std::strlen(s) + 1);
    }
    std::vector<std::uint8_t> bytes(std::uint32_t sizeAdjustment = 0) const {
        std::vector<std::uint8_t> out(16);
        std::memcpy(out.data(), &zeltra::addInDesignerId, 16);
        const auto size = static_cast<std::uint32_t>(fields.size()) + sizeAdjustment;
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
        out.insert(out.end(), fields.begin(), fields.end());
        return out;
    }
};

RecordBuilder outlookRecord() {
    RecordBuilder b;
    b.text("HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\Outlook");
    b.text("Corvane Zeltra");
    b.text("Launch WebSites from Words with Zeltra");
    b.u32(3);
    b.text("DODuruda_Vored.dll");
    b.u32(0);
    b.u32(0);
    b.u32(0);
    b.u32(0);
    b.u32(0);
    return b;
}

TEST(RegistrationRecord, ReadsEveryField) {
    const auto record = zeltra::parseRegistrationRecord(outlookRecord().bytes());
    EXPECT_EQ(record.hostRegistryKey, "HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\Outlook");
    EXPECT_EQ(record.friendlyName, "Corvane Zeltra");
    EXPECT_EQ(record.description, "Launch WebSites from Words with Zeltra");
    EXPECT_EQ(record.loadBehavior, 3u);
    EXPECT_EQ(record.satelliteLibrary, "DODuruda_Vored.dll");
    EXPECT_EQ(record.additionalRegistryKey, std::nullopt);
    EXPECT_EQ(record.commandLineSafe, 0u);
}

TEST(RegistrationRecord, RefusesDamagedRecords) {
    const auto good = outlookRecord().bytes();
    auto truncated = good;
    truncated.resize(good.size() - 1);
    EXPECT_THROW(zeltra::parseRegistrationRecord(truncated), host::Error);
    EXPECT_THROW(zeltra::parseRegistrationRecord(outlookRecord().bytes(4)), host::Error);  // size too large
    auto wrongDesigner = good;
    wrongDesigner[0] ^= 1;
    EXPECT_THROW(zeltra::parseRegistrationRecord(wrongDesigner), host::Error);
    RecordBuilder unterminated;
    unterminated.u32(3);
    unterminated.fields.insert(unterminated.fields.end(), {'a', 'b', 'c'});
    EXPECT_THROW(zeltra::parseRegistrationRecord(unterminated.bytes()), host::Error);
    RecordBuilder hugeLength;
    hugeLength.u32(0xFFFFFFFF);
    EXPECT_THROW(zeltra::parseRegistrationRecord(hugeLength.bytes()), host::Error);
}

}  // namespace
