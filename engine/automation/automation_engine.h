// The statistics engine on Windows: the statistics package's automation
// server, created by its ProgID on the local machine and driven through the
// interfaces of engine_interfaces.idl, one call for each operation of
// batch/statistics_engine.h.
//
// The server is a local server (its own process, reached through COM's
// marshaling whatever its bitness), so every interface pointer held here is
// a proxy: the calls block until the server answers. The package registers
// its own type library, and COM's standard (type library) marshaler carries
// the calls with it; this program ships no proxy of its own.
//
// Every failing HRESULT becomes an EngineError that names the operation, the
// syntax file concerned and the system's text for the HRESULT. COM is
// initialised once for each thread that creates an engine (com_support.h).
//
// Not yet here: a time limit, and ending a server that was released without
// QuitEngine and stays. Both will end the serving process (server_process.h)
// and what it started through a Job Object with kill-on-close.
#pragma once

#include "batch/statistics_engine.h"

#include <memory>
#include <string>

namespace kalvero {

class AutomationEngineFactory : public EngineFactory {
public:
    std::unique_ptr<EngineApplication> CreateObject(const std::string& progId) override;
};

} // namespace kalvero
