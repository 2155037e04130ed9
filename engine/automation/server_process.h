// Which process serves the engine: the local server behind a COM proxy, so
// that a time limit can end that process and what it started (a Job
// Object), even though COM, not this program, started it.
//
// COM does not say which process serves a proxy, but the proxy's marshaled
// form does: the interface pointer id (IPID) of a standard OBJREF holds the
// low 16 bits of the serving process's id, in Windows's own COM as in
// Wine's. The candidates with those bits are narrowed down to the one that
// runs the class's registered program. The process that started a server
// need not be the one serving this client: COM hands a registered class
// object to whichever client asks first.
#pragma once

#include <windows.h>

#include <string>

namespace kalvero::automation {

// The program registered as the class's local server (LocalServer32), or
// nothing when there is none; LocalServerProgram: its file name alone.
std::wstring LocalServerPath(const CLSID& server);
std::wstring LocalServerProgram(const CLSID& server);

// The id of the process of program that serves proxy; 0 when it cannot be
// told (no standard proxy, or no process or more than one that fits).
DWORD ServerProcessId(IUnknown* proxy, const std::wstring& program);

} // namespace kalvero::automation
