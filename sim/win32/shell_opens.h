#pragma once
// What the shell was asked to open in a browser: the simulator registers itself as the http and
// https protocol handler of the prefix, and each start of it as a handler appends the address it
// was given to a log that scenarios read.
#include <optional>
#include <string>
#include <vector>

namespace sim::win32::shell_opens {

// While it lives, shell_open_recorder.exe (beside the calling program) is the handler of http and
// https addresses, recording into an empty log; then the handlers the prefix had come back and
// the log goes, so that a run leaves the prefix as it found it.
class RecorderRegistration {
public:
    RecorderRegistration();
    ~RecorderRegistration();
    RecorderRegistration(const RecorderRegistration&) = delete;
    RecorderRegistration& operator=(const RecorderRegistration&) = delete;

    bool registered() const noexcept { return registered_; }

private:
    std::optional<std::wstring> previousHttp_, previousHttps_;
    bool registered_ = false;
};
// The handler's side: appends the address to the log; returns the process exit code.
int record(const std::wstring& address);
// Every address recorded since registerRecorder, in order.
std::vector<std::wstring> recorded();

}  // namespace sim::win32::shell_opens
