// The shut-down request on Windows: InitiateShutdownW for a plain power-off,
// after enabling the shut-down privilege (SeShutdownPrivilege), which a
// process holds but has to switch on. The call itself is handed in, so that
// tests pass a recording stand-in and no test ever shuts a machine down.
#pragma once

#include "batch/run_services.h"

#include <windows.h>

namespace kalvero {

using InitiateShutdownCall = DWORD(WINAPI*)(LPWSTR machine, LPWSTR message, DWORD gracePeriod,
                                            DWORD flags, DWORD reason);

class WindowsShutDown : public ShutDownService {
public:
    // The program passes ::InitiateShutdownW.
    explicit WindowsShutDown(InitiateShutdownCall initiate) : initiate_(initiate) {}
    // Asks once, at once, with the reason "application, planned"; true when
    // the system took the request.
    bool RequestShutDown() override;

private:
    InitiateShutdownCall initiate_;
};

// Switches on a privilege the process holds; false when it holds none such.
bool EnablePrivilege(const wchar_t* name);

} // namespace kalvero
