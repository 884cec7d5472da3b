// The start-up routine runs once in each apartment, before the apartment's first object.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "addin/win32/apartment.h"
#include "tests/wine/wine_test_support.h"

using testing_support::ComApartment;

namespace {

std::atomic<int> startups{0};
void countingStartup(zeltra::ModOutlook& module) {
    ++startups;
    module.strMSOAO = L"started";
    // A nested message loop in the routine may create further objects in the same apartment.
    EXPECT_EQ(&zeltra::server::apartmentModule(&countingStartup), &module);
}

zeltra::ModOutlook* moduleOnThread(DWORD model) {
    zeltra::ModOutlook* first = nullptr;
    std::thread([&] {
        const ComApartment apartment(model);
        first = &zeltra::server::apartmentModule(&countingStartup);
        EXPECT_EQ(&zeltra::server::apartmentModule(&countingStartup), first);
    }).join();
    return first;
}

TEST(Apartments, EachSingleThreadedApartmentRunsTheStartupOnceWithItsOwnData) {
    startups = 0;
    zeltra::ModOutlook* a = moduleOnThread(COINIT_APARTMENTTHREADED);
    zeltra::ModOutlook* b = moduleOnThread(COINIT_APARTMENTTHREADED);
    EXPECT_NE(a, b);
    EXPECT_EQ(startups, 2);
    EXPECT_EQ(a->strMSOAO, L"started");
}

TEST(Apartments, TheMultithreadedApartmentIsOneApartment) {
    const ComApartment keepsTheApartmentAlive(COINIT_MULTITHREADED);
    startups = 0;
    zeltra::ModOutlook* a = moduleOnThread(COINIT_MULTITHREADED);
    zeltra::ModOutlook* b = moduleOnThread(COINIT_MULTITHREADED);
    EXPECT_EQ(a, b);
    EXPECT_EQ(startups, 1);
}

}  // namespace
