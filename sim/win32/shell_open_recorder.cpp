// The prefix's http and https handler while the simulator runs: records the address the shell
// hands it, in place of a browser. A windowless GUI program, so that starting it takes neither
// the keyboard focus nor the foreground from the windows the scenario drives.
#include <windows.h>
#include <shellapi.h>

#include "sim/win32/shell_opens.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const int result = arguments && count == 2 ? sim::win32::shell_opens::record(arguments[1]) : 2;
    LocalFree(arguments);
    return result;
}
