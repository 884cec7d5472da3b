// The desktop's shell open, observed through the simulator's recorder (built beside this program)
// registered as the prefix's https handler: the address reaches the browser as given.
#include <gtest/gtest.h>

#include <string>

#include "host/win32/desktop.h"
#include "sim/win32/shell_opens.h"
#include "tests/wine/wine_test_support.h"

namespace {

std::wstring nextRecorded() {
    for (int tries = 0; tries < 300; ++tries) {
        const auto addresses = sim::win32::shell_opens::recorded();
        if (!addresses.empty()) return addresses.front();
        Sleep(50);
    }
    return L"(nothing opened)";
}

TEST(ShellOpen, HandsTheAddressToTheBrowserIntactOutsideTheAnsiCodePageToo) {
    const testing_support::ComApartment apartment;
    const sim::win32::shell_opens::RecorderRegistration recorder;
    ASSERT_TRUE(recorder.registered());
    const std::wstring address = L"https://example.org/caf\u00E9/\u65E5\u672C?q=\u0416";
    host::win32::SystemDesktop().openWithShell(address);
    EXPECT_EQ(nextRecorded(), address);
}

}  // namespace
