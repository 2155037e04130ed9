// Recording fakes of everything a run talks to: the engine, the windows'
// progress operations, message boxes and the shut-down request. Every call
// lands in one shared log, so tests can check the order across all of them.
#pragma once

#include "run_command.h"
#include "statistics_engine.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kalvero::testing {

using CallLog = std::vector<std::string>;

struct EngineScript {
    // Called before each RunSyntaxFile with the 1-based call number; throw
    // from it to make that call fail.
    std::function<void(int call, const std::string& name)> onRun;
    bool failCreate = false;
    bool failQuit = false;
    std::string failSaveFor; // SaveDocument/ExportText to this path fails
};

class RecordingEngine : public EngineApplication {
public:
    RecordingEngine(CallLog& log, EngineScript& script) : log_(log), script_(script) {}
    ~RecordingEngine() override { log_.push_back("Release"); }

    std::shared_ptr<EngineSettings> GetSettings() override;
    void RunSyntaxFile(const std::string& name, bool flag) override;
    std::shared_ptr<EngineDocument> CurrentViewerDocument() override;
    std::shared_ptr<EngineDocument> CurrentDraftDocument() override;
    void QuitEngine() override;

private:
    CallLog& log_;
    EngineScript& script_;
    int runs_ = 0;
};

class RecordingFactory : public EngineFactory {
public:
    explicit RecordingFactory(CallLog& log) : log_(log) {}
    std::unique_ptr<EngineApplication> CreateObject(const std::string& progId) override;
    EngineScript script;

private:
    CallLog& log_;
};

class RecordingProgress : public RunProgress {
public:
    explicit RecordingProgress(CallLog& log) : log_(log) {}
    void SetProgressRange(float minimum, float maximum) override;
    void SetProgressValue(float value) override;
    void ShowProgress() override { log_.push_back("ShowProgress"); }
    void HideProgressBar() override { log_.push_back("HideProgressBar"); }
    void MinimiseMainWindow() override { log_.push_back("MinimiseMainWindow"); }
    void CloseProgress() override;
    bool failClose = false;

private:
    CallLog& log_;
};

class FakeMessages : public MessageService {
public:
    explicit FakeMessages(CallLog& log) : log_(log) {}
    void ShowMessage(const std::string& text) override {
        log_.push_back("Message(" + text + ")");
        texts.push_back(text);
    }
    std::vector<std::string> texts;

private:
    CallLog& log_;
};

class FakeShutDown : public ShutDownService {
public:
    explicit FakeShutDown(CallLog& log) : log_(log) {}
    bool RequestShutDown() override;
    bool refuse = false;
    bool throwOnRequest = false;
    int requests = 0;

private:
    CallLog& log_;
};

// Everything a run needs, wired to one log.
struct RunRig {
    CallLog log;
    RecordingFactory engines{log};
    RecordingProgress progress{log};
    FakeMessages messages{log};
    FakeShutDown shutDown{log};
    RunServices services{engines, messages, shutDown};

    // The log entries that start with prefix, in order.
    std::vector<std::string> Only(const std::string& prefix) const;
    int Count(const std::string& entry) const;
};

} // namespace kalvero::testing
