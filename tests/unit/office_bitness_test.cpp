// The packages' decision on Office's bitness: Outlook's own executable first, then Office's values.
#include <gtest/gtest.h>

#include <vector>

#include "installer/checks/office_bitness.h"

namespace {

using zeltra::setup::Bitness;
using zeltra::setup::bitnessNamed;
using zeltra::setup::bitnessOfMachine;
using zeltra::setup::executableMachine;
using zeltra::setup::OfficeEvidence;
using zeltra::setup::officeBitness;
using zeltra::setup::officeValues;

constexpr std::uint16_t i386 = 0x014C, amd64 = 0x8664, arm64 = 0xAA64;

// The first bytes of an executable: "MZ", the PE header's offset at 0x3C, "PE\0\0" and the machine.
std::vector<unsigned char> header(std::uint16_t machine, std::uint32_t peAt = 0x80, std::size_t size = 0x200) {
    std::vector<unsigned char> bytes(size, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    for (int i = 0; i < 4; ++i) bytes[0x3C + i] = static_cast<unsigned char>(peAt >> (8 * i));
    if (std::size_t{peAt} + 6 <= size) {
        bytes[peAt] = 'P';
        bytes[peAt + 1] = 'E';
        bytes[peAt + 4] = static_cast<unsigned char>(machine);
        bytes[peAt + 5] = static_cast<unsigned char>(machine >> 8);
    }
    return bytes;
}

// Office's value number INDEX of officeValues as read, with TEXT.
zeltra::setup::OfficeValueFound value(std::size_t index, std::wstring text) { return {&officeValues[index], text}; }
constexpr std::size_t clickToRun = 0, outlook2016 = 1, outlook2013 = 2, outlook2010 = 3, outlook2007 = 4, outlook2003 = 5;

TEST(OfficeBitness, TheValuesNameBitnessInAnyCase) {
    EXPECT_EQ(bitnessNamed(L"x64"), Bitness::x64);
    EXPECT_EQ(bitnessNamed(L"X64"), Bitness::x64);
    EXPECT_EQ(bitnessNamed(L"x86"), Bitness::x86);
    EXPECT_EQ(bitnessNamed(L"X86"), Bitness::x86);
    for (const std::wstring text : {L"", L"x32", L"amd64", L"x64 ", L" x86", L"x86x64", L"64"})
        EXPECT_EQ(bitnessNamed(text), std::nullopt) << std::string(text.begin(), text.end());
}

TEST(OfficeBitness, AnExecutablesMachineIsReadFromItsHeader) {
    EXPECT_EQ(executableMachine(header(i386)), i386);
    EXPECT_EQ(executableMachine(header(amd64)), amd64);
    EXPECT_EQ(executableMachine(header(arm64, 0x40, 0x46)), arm64) << "the field at the very end";
    EXPECT_EQ(executableMachine(header(amd64, 0x40, 0x45)), std::nullopt) << "the field cut off";
    EXPECT_EQ(executableMachine(header(amd64, 0x1000)), std::nullopt) << "the PE header beyond the bytes";
    EXPECT_EQ(executableMachine(header(amd64, 0xFFFFFFFF)), std::nullopt);
    EXPECT_EQ(executableMachine(std::vector<unsigned char>(0x3F, 'M')), std::nullopt) << "shorter than the DOS header";
    auto noMz = header(amd64);
    noMz[1] = 'X';
    EXPECT_EQ(executableMachine(noMz), std::nullopt);
    auto noPe = header(amd64);
    noPe[0x82] = 'X';
    EXPECT_EQ(executableMachine(noPe), std::nullopt);
}

TEST(OfficeBitness, MachinesOfOutlookAreBitnessesOfOffice) {
    EXPECT_EQ(bitnessOfMachine(i386), Bitness::x86);
    EXPECT_EQ(bitnessOfMachine(amd64), Bitness::x64);
    EXPECT_EQ(bitnessOfMachine(arm64), Bitness::x64) << "64-bit Office on ARM loads x64 add-ins";
    EXPECT_EQ(bitnessOfMachine(0x0200), std::nullopt) << "Itanium";
    EXPECT_EQ(bitnessOfMachine(0x01C4), std::nullopt) << "ARM (32-bit)";
    EXPECT_EQ(bitnessOfMachine(0), std::nullopt);
}

TEST(OfficeBitness, OutlooksOwnExecutableDecidesOverAnyValue) {
    // A value a removed Office left behind says otherwise.
    EXPECT_EQ(officeBitness({{amd64}, {value(outlook2010, L"x86")}}), Bitness::x64);
    EXPECT_EQ(officeBitness({{i386}, {value(clickToRun, L"x64"), value(outlook2016, L"x64")}}), Bitness::x86);
    // Outlook 2007 writes no bitness: its executable tells.
    EXPECT_EQ(officeBitness({{i386}, {}}), Bitness::x86);
    EXPECT_EQ(officeBitness({{arm64}, {}}), Bitness::x64);
    // The 64-bit view's executable (the one the shell starts) before the 32-bit view's; one of a
    // machine nobody knows is passed by.
    EXPECT_EQ(officeBitness({{amd64, i386}, {}}), Bitness::x64);
    EXPECT_EQ(officeBitness({{0x0200, i386}, {value(outlook2016, L"x64")}}), Bitness::x86);
}

TEST(OfficeBitness, WithoutAnExecutableTheNewestOfficesValueDecides) {
    EXPECT_EQ(officeBitness({{}, {value(outlook2016, L"x64")}}), Bitness::x64);
    EXPECT_EQ(officeBitness({{}, {value(clickToRun, L"X86")}}), Bitness::x86);
    // Read in any order: Click-to-Run's platform before 2016's bitness before 2010's.
    EXPECT_EQ(officeBitness({{}, {value(outlook2010, L"x86"), value(clickToRun, L"x64")}}), Bitness::x64);
    EXPECT_EQ(officeBitness({{}, {value(outlook2013, L"x86"), value(outlook2016, L"x64")}}), Bitness::x64);
    // A value that names no bitness tells nothing; the next one does.
    EXPECT_EQ(officeBitness({{0x0200}, {value(clickToRun, L"arm64"), value(outlook2013, L"x86")}}), Bitness::x86);
    // Outlook 2007 and 2003 are 32-bit: their install root is enough.
    EXPECT_EQ(officeBitness({{}, {value(outlook2007, L"C:\\Program Files\\Microsoft Office\\Office12\\")}}),
              Bitness::x86);
    EXPECT_EQ(officeBitness({{}, {value(outlook2003, L"")}}), Bitness::x86);
    EXPECT_EQ(officeBitness({{}, {value(outlook2003, L""), value(outlook2010, L"x64")}}), Bitness::x64)
        << "Office 2010 is newer than 2003's leftovers";
}

TEST(OfficeBitness, NoOfficeDecidesNothing) {
    EXPECT_EQ(officeBitness({}), std::nullopt);
    EXPECT_EQ(officeBitness({{0x0200}, {value(outlook2016, L""), value(clickToRun, L"unknown")}}), std::nullopt);
}

TEST(OfficeBitness, AppPathsNamesThePathPerhapsQuoted) {
    EXPECT_EQ(zeltra::setup::pathNamed(L"C:\\Office\\OUTLOOK.EXE"), L"C:\\Office\\OUTLOOK.EXE");
    EXPECT_EQ(zeltra::setup::pathNamed(L" \"C:\\Program Files\\OUTLOOK.EXE\" "), L"C:\\Program Files\\OUTLOOK.EXE");
    EXPECT_EQ(zeltra::setup::pathNamed(L"\""), L"\"");
    EXPECT_EQ(zeltra::setup::pathNamed(L""), L"");
}

}  // namespace
