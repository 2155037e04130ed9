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
// initialised once for each thread that creates an engine (com_support.h);
// an engine is used and released on the thread that made it.
//
// Outputs are published whole: the server saves into a temporary beside the
// target, which is then checked, flushed and moved over the target
// (system/windows/pending_output.h). The server's process is held in a job
// with everything it starts (automation_server.h): a syntax file still
// running after the time limit, or a stop request, ends them all; the next
// syntax file then gets a server of its own, with the output kind set again.
// Releasing the engine, with or without QuitEngine, leaves nothing running.
#pragma once

#include "batch/statistics_engine.h"

#include <memory>
#include <string>

namespace kalvero {

class AutomationEngineFactory : public EngineFactory {
public:
    // timeLimitSeconds > 0 ends a syntax file still running after that long,
    // with the server and everything it started (RunSyntaxFile, or the
    // document operation it was in, then throws EngineTimedOut).
    explicit AutomationEngineFactory(int timeLimitSeconds = 0)
        : timeLimitSeconds_(timeLimitSeconds) {}
    std::unique_ptr<EngineApplication> CreateObject(const std::string& progId) override;

private:
    int timeLimitSeconds_;
};

} // namespace kalvero
