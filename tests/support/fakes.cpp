#include "tests/support/fakes.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace kalvero::testing {

namespace {

std::string Number(float value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(value));
    return buffer;
}

class RecordingSettings : public EngineSettings {
public:
    explicit RecordingSettings(CallLog& log) : log_(log) {}
    void SetOutputKind(std::int32_t kind) override {
        log_.push_back("SetOutputKind(" + std::to_string(kind) + ")");
    }

private:
    CallLog& log_;
};

} // namespace

class RecordingDocument : public EngineDocument {
public:
    explicit RecordingDocument(RecordingFactory& factory) : factory_(factory) {}
    void SaveDocument(const std::string& path) override {
        factory_.Log().push_back("SaveDocument(" + path + ")");
        Write(path);
    }
    void ExportText(std::int32_t what, const std::string& path, std::int32_t option1,
                    std::int32_t option2) override {
        factory_.Log().push_back("ExportText(" + std::to_string(what) + "," + path + "," +
                                 std::to_string(option1) + "," + std::to_string(option2) + ")");
        Write(path);
    }
    void CloseDocument() override { factory_.Log().push_back("CloseDocument"); }

private:
    void Write(const std::string& path) {
        if (path == factory_.script.failSaveFor)
            throw EngineError("Cannot write " + path + ": Permission denied");
        factory_.written.push_back(path);
        if (factory_.script.writeFiles)
            std::ofstream(path, std::ios::binary) << "output\n";
    }
    RecordingFactory& factory_;
};

class RecordingEngine : public EngineApplication {
public:
    explicit RecordingEngine(RecordingFactory& factory) : factory_(factory) {}
    ~RecordingEngine() override { factory_.Log().push_back("Release"); }

    std::shared_ptr<EngineSettings> GetSettings() override {
        factory_.Log().push_back("GetSettings");
        return std::make_shared<RecordingSettings>(factory_.Log());
    }
    void RunSyntaxFile(const std::string& name, bool flag) override {
        factory_.Log().push_back("RunSyntaxFile(" + name + "," + (flag ? "true" : "false") + ")");
        factory_.ran.push_back(name);
        ++runs_;
        if (factory_.script.onRun)
            factory_.script.onRun(runs_, name);
        if (!factory_.script.failRunOn.empty() && name == factory_.script.failRunOn)
            throw EngineError("Cannot run " + name + ": test failure");
    }
    std::shared_ptr<EngineDocument> CurrentViewerDocument() override {
        factory_.Log().push_back("CurrentViewerDocument");
        return std::make_shared<RecordingDocument>(factory_);
    }
    std::shared_ptr<EngineDocument> CurrentDraftDocument() override {
        factory_.Log().push_back("CurrentDraftDocument");
        return std::make_shared<RecordingDocument>(factory_);
    }
    void QuitEngine() override {
        factory_.Log().push_back("QuitEngine");
        ++factory_.quits;
        if (factory_.script.onQuit)
            factory_.script.onQuit();
        if (factory_.script.failQuit)
            throw EngineError("The statistics package did not quit");
    }

private:
    RecordingFactory& factory_;
    int runs_ = 0;
};

std::unique_ptr<EngineApplication> RecordingFactory::CreateObject(const std::string& progId) {
    log_.push_back("Create(" + progId + ")");
    ++created;
    progIds.push_back(progId);
    if (script.failCreate)
        throw EngineError(script.createFailure);
    return std::make_unique<RecordingEngine>(*this);
}

void RecordingProgress::SetProgressRange(float minimum, float maximum) {
    log_.push_back("SetProgressRange(" + Number(minimum) + "," + Number(maximum) + ")");
}

void RecordingProgress::SetProgressValue(float value) {
    log_.push_back("SetProgressValue(" + Number(value) + ")");
    lastValue = value;
}

void RecordingProgress::CloseProgress() {
    log_.push_back("CloseProgress");
    closed = true;
    if (failClose)
        throw std::runtime_error("the progress window cannot be closed");
}

bool FakeShutDown::RequestShutDown() {
    log_.push_back("RequestShutDown");
    ++requests;
    if (throwOnRequest)
        throw std::runtime_error("no system bus");
    return !refuse;
}

std::vector<std::string> RunRig::Only(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& entry : log)
        if (entry.compare(0, prefix.size(), prefix) == 0)
            out.push_back(entry);
    return out;
}

int RunRig::Count(const std::string& entry) const {
    return static_cast<int>(std::count(log.begin(), log.end(), entry));
}

} // namespace kalvero::testing
