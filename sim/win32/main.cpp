// The Outlook simulator: hosts the add-ins registered for Outlook as Outlook does.
//
//   outlook_sim --scenario FILE [--verbose] [--visible] [--lenient] [--fail-call N] [--installed]
//   outlook_sim --count-calls FILE
//   outlook_sim --benchmark [ITEM_WINDOWS]
//   outlook_sim --soak [PRESSES]
//   outlook_sim --interactive
#include <windows.h>
#include <objbase.h>

#include <string>

#include "sim/win32/console.h"
#include "sim/win32/simulator.h"

int wmain(int argc, wchar_t** argv) {
    using namespace sim::win32;
    Options options;
    std::wstring mode;
    std::wstring file;
    int count = 20;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--verbose") options.verbose = true;
        else if (arg == L"--visible") options.visible = true;
        else if (arg == L"--lenient") options.lenient = true;
        else if (arg == L"--installed") options.installed = true;
        else if (arg == L"--fail-call" && hasValue) options.failCall = _wtoi(argv[++i]);
        else if ((arg == L"--scenario" || arg == L"--count-calls") && hasValue) mode = arg, file = argv[++i];
        else if (arg == L"--benchmark") mode = arg, count = hasValue ? _wtoi(argv[++i]) : count;
        else if (arg == L"--soak") mode = arg, count = hasValue ? _wtoi(argv[++i]) : 10000;
        else if (arg == L"--interactive") mode = arg, options.visible = true, options.answerMessageBoxes = false;
        else mode.clear(), i = argc;
    }
    if (mode.empty()) {
        printError(L"usage: outlook_sim --scenario FILE [--verbose] [--visible] [--lenient] [--fail-call N] [--installed]\n"
                   L"       outlook_sim --count-calls FILE | --benchmark [ITEM_WINDOWS] | --soak [PRESSES] | --interactive");
        return 2;
    }
    if (FAILED(OleInitialize(nullptr))) {
        printError(L"OleInitialize failed");
        return 3;
    }
    int result = 0;
    {
        Simulator simulator(options);
        if (mode == L"--scenario") result = simulator.runScenario(file);
        else if (mode == L"--count-calls") result = simulator.countCalls(file);
        else if (mode == L"--benchmark") result = simulator.runBenchmark(count > 0 ? count : 20);
        else if (mode == L"--soak") result = simulator.runSoak(count > 0 ? count : 10000);
        else result = simulator.runInteractive();
    }
    OleUninitialize();
    return result;
}
