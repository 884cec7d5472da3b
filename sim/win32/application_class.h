#pragma once
// The simulated Outlook's class object for Outlook.Application, registered for the process as the
// running Outlook registers its own: an add-in that creates the application class gets the
// running application, with references of its own that the model counts.
#include <windows.h>

#include "sim/win32/com_host.h"

namespace sim::win32 {

class ApplicationClassRegistration {
public:
    explicit ApplicationClassRegistration(ComHost& host);
    ~ApplicationClassRegistration();
    ApplicationClassRegistration(const ApplicationClassRegistration&) = delete;
    ApplicationClassRegistration& operator=(const ApplicationClassRegistration&) = delete;

    bool registered() const noexcept { return cookie_ != 0; }

private:
    class Factory;
    Factory* factory_;
    DWORD cookie_ = 0;
};

}  // namespace sim::win32
