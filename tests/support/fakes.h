// One recording fake for each interface a run talks to: the engine (factory,
// application, settings, documents), the windows' progress operations,
// message boxes and the shut-down request. Every call lands in one log, so
// tests can check the order across all of them; a fake made without a log
// keeps its own.
#pragma once

#include "batch/run_command.h"
#include "batch/statistics_engine.h"
#include "tests/support/native_file_system.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kalvero::testing {

using CallLog = std::vector<std::string>;

// Writes to a log that is either shared or its own.
class Recorder {
public:
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

protected:
    Recorder() : log_(own_) {}
    explicit Recorder(CallLog& log) : log_(log) {}
    CallLog own_;
    CallLog& log_;
};

struct EngineScript {
    // Called inside each RunSyntaxFile with the 1-based call number, while the
    // run is in progress; throw from it to make that call fail.
    std::function<void(int call, const std::string& name)> onRun;
    // Called when the run tells the engine to quit.
    std::function<void()> onQuit;
    bool failCreate = false;
    std::string createFailure = "The statistics package PSPP cannot be found";
    bool failQuit = false;
    std::string failRunOn;   // RunSyntaxFile of this name fails
    std::string failSaveFor; // SaveDocument/ExportText to this path fails
    bool writeFiles = false; // outputs are written as real files
    // Every call is also made on an engine of this factory (the real one, in
    // benchmarks), after it is recorded.
    EngineFactory* forwardTo = nullptr;
    // Called with each call as it is recorded ("RunSyntaxFile(/s/a.sps,true)").
    std::function<void(const std::string& call)> onCall;
};

class RecordingFactory : public EngineFactory, Recorder {
public:
    RecordingFactory() = default;
    explicit RecordingFactory(CallLog& log) : Recorder(log) {}
    std::unique_ptr<EngineApplication> CreateObject(const std::string& progId) override;

    EngineScript script;
    int created = 0;
    int quits = 0;
    std::vector<std::string> progIds;
    std::vector<std::string> ran;     // every syntax file run, in order
    std::vector<std::string> written; // every output path saved or exported

private:
    friend class RecordingEngine;
    friend class RecordingDocument;
    friend class RecordingSettings;
    // Safe from several workers' threads at once.
    void Record(const std::string& call) {
        {
            const std::lock_guard<std::mutex> guard(lock_);
            log_.push_back(call);
        }
        if (script.onCall)
            script.onCall(call);
    }
    std::mutex lock_;
};

class RecordingProgress : public RunProgress, Recorder {
public:
    RecordingProgress() = default;
    explicit RecordingProgress(CallLog& log) : Recorder(log) {}
    void SetProgressRange(float minimum, float maximum) override;
    void SetProgressValue(float value) override;
    void ShowProgress() override { log_.push_back("ShowProgress"); }
    void HideProgressBar() override { log_.push_back("HideProgressBar"); }
    void MinimiseMainWindow() override { log_.push_back("MinimiseMainWindow"); }
    void CloseProgress() override;
    bool failClose = false;
    float lastValue = 0;
    bool closed = false;
};

class FakeMessages : public MessageService, Recorder {
public:
    FakeMessages() = default;
    explicit FakeMessages(CallLog& log) : Recorder(log) {}
    void ShowMessage(const std::string& text) override {
        log_.push_back("Message(" + text + ")");
        texts.push_back(text);
    }
    std::vector<std::string> texts;
};

class FakeShutDown : public ShutDownService, Recorder {
public:
    FakeShutDown() = default;
    explicit FakeShutDown(CallLog& log) : Recorder(log) {}
    bool RequestShutDown() override;
    bool refuse = false;
    bool throwOnRequest = false;
    int requests = 0;
};

// Everything a run needs, wired to one log.
struct RunRig {
    CallLog log;
    RecordingFactory engines{log};
    RecordingProgress progress{log};
    FakeMessages messages{log};
    FakeShutDown shutDown{log};
    NativeFileSystem files;
    RunServices services{engines, messages, shutDown, files};

    // The log entries that start with prefix, in order.
    std::vector<std::string> Only(const std::string& prefix) const;
    int Count(const std::string& entry) const;
};

} // namespace kalvero::testing
