// One process of the statistics package's automation server, as the engine
// drives it: created by its class id on the local machine (COM starts it),
// held in a job with everything it starts (system/windows/process_job.h),
// and every call into it watched (call_watch.h) for the time limit and for
// stop requests. A failing call becomes an EngineError naming the
// operation, the syntax file and the system's text; a call that the watch
// cut short becomes EngineTimedOut or RunStopped.
#pragma once

#include "engine/automation/call_watch.h"
#include "engine/automation/com_support.h"
#include "engine/automation/engine_interfaces.h"
#include "system/windows/process_job.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace kalvero::automation {

class AutomationServer {
public:
    // Starts a server of the class and takes its process into a job; throws
    // EngineError "Cannot create the statistics engine PROGID: reason". A
    // time limit needs the job; without one, a server whose process cannot
    // be told is driven all the same, only not ended by a stop.
    AutomationServer(const CLSID& server, const std::string& progId,
                     std::chrono::seconds timeLimit);
    // Ends the server with everything it started. One that was told to quit
    // gets its objects released first and a moment to end on its own; one
    // that was not is ended first, since it may hang in a call and would not
    // answer the release.
    ~AutomationServer();
    AutomationServer(const AutomationServer&) = delete;
    AutomationServer& operator=(const AutomationServer&) = delete;

    IEngineApplication* Application() const { return application_.Get(); }
    // The settings object, once GetSettings has taken it.
    ComPtr<IEngineSettings>& Settings() { return settings_; }

    // The calls of one syntax file, from RunSyntaxFile to CloseDocument,
    // share its time limit; any other call has one of its own.
    void StartSyntaxFile(const std::string& name);
    void EndSyntaxFile();

    // Makes a call into the server under the watch; its failure throws.
    // syntaxFile names the file concerned in the message, if any.
    void Call(const std::string& operation, const std::string& syntaxFile,
              const std::function<HRESULT()>& call);

    // Whether the server's process has ended (or was ended): its objects
    // answer no more.
    bool Ended() const;
    // QuitEngine went through.
    void Quit() { quit_ = true; }

private:
    [[noreturn]] void Fail(HRESULT hr, const std::string& operation,
                           const std::string& syntaxFile) const;

    std::string progId_;
    std::chrono::seconds timeLimit_;
    std::unique_ptr<ProcessJob> job_;
    ComPtr<IEngineApplication> application_;
    ComPtr<IEngineSettings> settings_;
    std::optional<CallWatch::Clock::time_point> syntaxFileDeadline_;
    bool quit_ = false;
    std::unique_ptr<CallWatch> watch_;
};

// "Cannot create the statistics engine PROGID: reason".
std::string CreationFailure(const std::string& progId, const std::string& reason);

} // namespace kalvero::automation
