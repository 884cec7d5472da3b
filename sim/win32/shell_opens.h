#pragma once
// What the shell was asked to open in a browser: the simulator registers itself as the http and
// https protocol handler of the prefix, and each start of it as a handler appends the address it
// was given to a log that scenarios read.
#include <string>
#include <vector>

namespace sim::win32::shell_opens {

// Makes shell_open_recorder.exe, beside the calling program, the handler of http and https
// addresses, and empties the log.
bool registerRecorder();
// The handler's side: appends the address to the log; returns the process exit code.
int record(const std::wstring& address);
// Every address recorded since registerRecorder, in order.
std::vector<std::wstring> recorded();

}  // namespace sim::win32::shell_opens
