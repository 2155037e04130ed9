#include "fakes.h"

#include <algorithm>
#include <cstdio>

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

class RecordingDocument : public EngineDocument {
public:
    RecordingDocument(CallLog& log, EngineScript& script) : log_(log), script_(script) {}
    void SaveDocument(const std::string& path) override {
        log_.push_back("SaveDocument(" + path + ")");
        if (path == script_.failSaveFor)
            throw EngineError("Cannot write " + path + ": Permission denied");
    }
    void ExportText(std::int32_t what, const std::string& path, std::int32_t option1,
                    std::int32_t option2) override {
        log_.push_back("ExportText(" + std::to_string(what) + "," + path + "," +
                       std::to_string(option1) + "," + std::to_string(option2) + ")");
        if (path == script_.failSaveFor)
            throw EngineError("Cannot write " + path + ": Permission denied");
    }
    void CloseDocument() override { log_.push_back("CloseDocument"); }

private:
    CallLog& log_;
    EngineScript& script_;
};

} // namespace

std::shared_ptr<EngineSettings> RecordingEngine::GetSettings() {
    log_.push_back("GetSettings");
    return std::make_shared<RecordingSettings>(log_);
}

void RecordingEngine::RunSyntaxFile(const std::string& name, bool flag) {
    log_.push_back("RunSyntaxFile(" + name + "," + (flag ? "true" : "false") + ")");
    ++runs_;
    if (script_.onRun)
        script_.onRun(runs_, name);
}

std::shared_ptr<EngineDocument> RecordingEngine::CurrentViewerDocument() {
    log_.push_back("CurrentViewerDocument");
    return std::make_shared<RecordingDocument>(log_, script_);
}

std::shared_ptr<EngineDocument> RecordingEngine::CurrentDraftDocument() {
    log_.push_back("CurrentDraftDocument");
    return std::make_shared<RecordingDocument>(log_, script_);
}

void RecordingEngine::QuitEngine() {
    log_.push_back("QuitEngine");
    if (script_.failQuit)
        throw EngineError("The statistics package did not quit");
}

std::unique_ptr<EngineApplication> RecordingFactory::CreateObject(const std::string& progId) {
    log_.push_back("Create(" + progId + ")");
    if (script.failCreate)
        throw EngineError("The statistics package PSPP cannot be found");
    return std::make_unique<RecordingEngine>(log_, script);
}

void RecordingProgress::SetProgressRange(float minimum, float maximum) {
    log_.push_back("SetProgressRange(" + Number(minimum) + "," + Number(maximum) + ")");
}

void RecordingProgress::SetProgressValue(float value) {
    log_.push_back("SetProgressValue(" + Number(value) + ")");
}

void RecordingProgress::CloseProgress() {
    log_.push_back("CloseProgress");
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
