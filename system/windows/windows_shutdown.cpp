#include "system/windows/windows_shutdown.h"

#include "system/windows/handle.h"

namespace kalvero {

bool EnablePrivilege(const wchar_t* name) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    const Handle held(token);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid))
        return false;
    // Succeeds also when the token lacks the privilege; GetLastError tells.
    return AdjustTokenPrivileges(held.Get(), FALSE, &privileges, 0, nullptr, nullptr) &&
           GetLastError() == ERROR_SUCCESS;
}

bool WindowsShutDown::RequestShutDown() {
    // Without the privilege the request is refused; asking tells the same.
    EnablePrivilege(SE_SHUTDOWN_NAME);
    const DWORD reason =
        SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_MINOR_OTHER | SHTDN_REASON_FLAG_PLANNED;
    return initiate_(nullptr, nullptr, 0, SHUTDOWN_POWEROFF, reason) == ERROR_SUCCESS;
}

} // namespace kalvero
