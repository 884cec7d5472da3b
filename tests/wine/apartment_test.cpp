// The start-up routine runs once in each apartment, before the apartment's first object.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "addin/win32/apartment.h"
#include "tests/wine/wine_test_support.h"

using testing_support::ComApartment;

namespace {

std::atomic<int> startups{0};
void countingStartup(zeltra::Component& component) {
    ++startups;
    component.modOutlook.strMSOAO = L"started";
    // A nested message loop in the routine may create further objects in the same apartment.
    EXPECT_EQ(&zeltra::server::apartmentComponent(&countingStartup), &component);
}

zeltra::Component* componentOnThread(DWORD model) {
    zeltra::Component* first = nullptr;
    std::thread([&] {
        const ComApartment apartment(model);
        first = &zeltra::server::apartmentComponent(&countingStartup);
        EXPECT_EQ(&zeltra::server::apartmentComponent(&countingStartup), first);
    }).join();
    return first;
}

TEST(Apartments, EachSingleThreadedApartmentRunsTheStartupOnceWithItsOwnData) {
    startups = 0;
    zeltra::Component* a = componentOnThread(COINIT_APARTMENTTHREADED);
    zeltra::Component* b = componentOnThread(COINIT_APARTMENTTHREADED);
    EXPECT_NE(a, b);
    EXPECT_EQ(startups, 2);
    EXPECT_EQ(a->modOutlook.strMSOAO, L"started");
}

TEST(Apartments, TheMultithreadedApartmentIsOneApartment) {
    const ComApartment keepsTheApartmentAlive(COINIT_MULTITHREADED);
    startups = 0;
    zeltra::Component* a = componentOnThread(COINIT_MULTITHREADED);
    zeltra::Component* b = componentOnThread(COINIT_MULTITHREADED);
    EXPECT_EQ(a, b);
    EXPECT_EQ(startups, 1);
}

}  // namespace
