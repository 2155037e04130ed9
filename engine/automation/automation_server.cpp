#include "engine/automation/automation_server.h"

#include "batch/run_stop.h"
#include "batch/statistics_engine.h"
#include "engine/automation/server_process.h"
#include "system/windows/wide_text.h"

#include <mutex>
#include <stdexcept>

namespace kalvero::automation {
namespace {

// How long a released server may take to end on its own before it is ended.
constexpr DWORD kEndOnItsOwnMs = 5000;

// "RunSyntaxFile failed for C:\data\wave1.sps: Access is denied. (0x80070005)"
std::string FailureText(const std::string& operation, const std::string& syntaxFile,
                        const std::string& reason) {
    std::string text = operation + " failed";
    if (!syntaxFile.empty())
        text += " for " + syntaxFile;
    return text + ": " + reason;
}

std::string Seconds(std::chrono::seconds limit) {
    return std::to_string(limit.count()) + " s";
}

// Why COM could not create the server. "Class not registered" for a class
// that is registered means (in Wine, which starts a local server from the
// client) that its program could not be started: it is missing, or its
// process did not come up.
std::string WhyNotCreated(HRESULT hr, const CLSID& server) {
    const std::wstring program = LocalServerPath(server);
    if (hr != REGDB_E_CLASSNOTREG || program.empty())
        return SystemText(hr);
    const std::string shown = Utf8FromWide(program);
    if (GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES)
        return "its server " + shown + " is not there (" + SystemText(hr) + ")";
    return "its server " + shown + " did not start (" + SystemText(hr) + ")";
}

} // namespace

std::string CreationFailure(const std::string& progId, const std::string& reason) {
    return "Cannot create the statistics engine " + progId + ": " + reason;
}

AutomationServer::AutomationServer(const CLSID& server, const std::string& progId,
                                   std::chrono::seconds timeLimit)
    : progId_(progId), timeLimit_(timeLimit) {
    // One creation at a time in this program, up to the server's process
    // being held: the workers of a batch create their servers at once, and
    // Wine's COM then fails one activation now and then (0xC0000005), or
    // hands the server that one worker's activation started to another.
    static std::mutex oneAtATime;
    const std::lock_guard<std::mutex> creating(oneAtATime);
    const HRESULT hr = CoCreateInstance(server, nullptr, CLSCTX_LOCAL_SERVER,
                                        __uuidof(IEngineApplication), application_.ReceiveVoid());
    if (FAILED(hr))
        throw EngineError(CreationFailure(progId, WhyNotCreated(hr, server)));
    const DWORD process = ServerProcessId(application_.Get(), LocalServerProgram(server));
    try {
        if (process == 0)
            throw std::runtime_error("the process that serves it cannot be told");
        job_ = std::make_unique<ProcessJob>(process);
    } catch (const std::runtime_error& failure) {
        if (timeLimit_.count() > 0)
            throw EngineError(CreationFailure(progId, std::string(failure.what()) +
                                                          ", so no time limit can be kept"));
    }
    watch_ = std::make_unique<CallWatch>([this] {
        if (job_)
            job_->EndAll();
    });
}

AutomationServer::~AutomationServer() {
    if (job_ && !quit_)
        job_->EndAll();
    settings_.Reset();
    application_.Reset();
    if (job_ && !job_->WaitForEnd(kEndOnItsOwnMs))
        job_->EndAll();
}

void AutomationServer::StartSyntaxFile(const std::string&) {
    syntaxFileDeadline_.reset();
    if (timeLimit_.count() > 0)
        syntaxFileDeadline_ = CallWatch::Clock::now() + timeLimit_;
}

void AutomationServer::EndSyntaxFile() {
    syntaxFileDeadline_.reset();
}

void AutomationServer::Call(const std::string& operation, const std::string& syntaxFile,
                            const std::function<HRESULT()>& call) {
    std::optional<CallWatch::Clock::time_point> deadline = syntaxFileDeadline_;
    if (!deadline && timeLimit_.count() > 0)
        deadline = CallWatch::Clock::now() + timeLimit_;
    HRESULT hr;
    {
        const CallWatch::Call watched(*watch_, deadline);
        hr = call();
    }
    if (FAILED(hr))
        Fail(hr, operation, syntaxFile);
}

void AutomationServer::Fail(HRESULT hr, const std::string& operation,
                            const std::string& syntaxFile) const {
    switch (watch_->WhyEnded()) {
    case CallWatch::Ending::Stopped:
        throw RunStopped("The run was " + StopReason());
    case CallWatch::Ending::TimedOut:
        throw EngineTimedOut("The statistics package did not " +
                             (syntaxFile.empty() ? "answer " + operation : "finish " + syntaxFile) +
                             " within " + Seconds(timeLimit_) +
                             "; it was ended with everything it started");
    case CallWatch::Ending::None:
        break;
    }
    throw EngineError(FailureText(operation, syntaxFile, SystemText(hr)));
}

bool AutomationServer::Ended() const {
    return watch_->WhyEnded() != CallWatch::Ending::None || (job_ && job_->WaitForEnd(0));
}

} // namespace kalvero::automation
