// The machine's shut-down on this platform: a plain power-off requested from
// systemd-logind over the system D-Bus.
#pragma once

#include "batch/run_services.h"

namespace kalvero {

class LogindShutDown : public ShutDownService {
public:
    // Calls org.freedesktop.login1.Manager.PowerOff(false) once: no
    // interactive authorisation is asked for. Returns whether logind accepted
    // the call; without a system bus it returns false at once.
    bool RequestShutDown() override;
};

} // namespace kalvero
