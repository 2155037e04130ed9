#include "tests/support/fakes.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace kalvero::testing {

namespace {

std::string Number(float value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(value));
    return buffer;
}

} // namespace

class RecordingSettings : public EngineSettings {
public:
    RecordingSettings(RecordingFactory& factory, std::shared_ptr<EngineSettings> real)
        : factory_(factory), real_(std::move(real)) {}
    void SetOutputKind(std::int32_t kind) override {
        factory_.Record("SetOutputKind(" + std::to_string(kind) + ")");
        if (real_)
            real_->SetOutputKind(kind);
    }

private:
    RecordingFactory& factory_;
    std::shared_ptr<EngineSettings> real_;
};

class RecordingDocument : public EngineDocument {
public:
    RecordingDocument(RecordingFactory& factory, std::shared_ptr<EngineDocument> real)
        : factory_(factory), real_(std::move(real)) {}
    void SaveDocument(const std::string& path) override {
        factory_.Record("SaveDocument(" + path + ")");
        Write(path);
        if (real_)
            real_->SaveDocument(path);
    }
    void ExportText(std::int32_t what, const std::string& path, std::int32_t option1,
                    std::int32_t option2) override {
        factory_.Record("ExportText(" + std::to_string(what) + "," + path + "," +
                        std::to_string(option1) + "," + std::to_string(option2) + ")");
        Write(path);
        if (real_)
            real_->ExportText(what, path, option1, option2);
    }
    void CloseDocument() override {
        factory_.Record("CloseDocument");
        if (real_)
            real_->CloseDocument();
    }

private:
    void Write(const std::string& path) {
        if (path == factory_.script.failSaveFor)
            throw EngineError("Cannot write " + path + ": Permission denied");
        {
            const std::lock_guard<std::mutex> guard(factory_.lock_);
            factory_.written.push_back(path);
        }
        if (factory_.script.writeFiles)
            std::ofstream(std::filesystem::u8path(path), std::ios::binary) << "output\n";
    }
    RecordingFactory& factory_;
    std::shared_ptr<EngineDocument> real_;
};

class RecordingEngine : public EngineApplication {
public:
    RecordingEngine(RecordingFactory& factory, std::unique_ptr<EngineApplication> real)
        : factory_(factory), real_(std::move(real)) {}
    ~RecordingEngine() override { factory_.Record("Release"); }

    std::shared_ptr<EngineSettings> GetSettings() override {
        factory_.Record("GetSettings");
        return std::make_shared<RecordingSettings>(factory_,
                                                   real_ ? real_->GetSettings() : nullptr);
    }
    void RunSyntaxFile(const std::string& name, bool flag) override {
        factory_.Record("RunSyntaxFile(" + name + "," + (flag ? "true" : "false") + ")");
        {
            const std::lock_guard<std::mutex> guard(factory_.lock_);
            factory_.ran.push_back(name);
        }
        ++runs_;
        if (factory_.script.onRun)
            factory_.script.onRun(runs_, name);
        if (!factory_.script.failRunOn.empty() && name == factory_.script.failRunOn)
            throw EngineError("Cannot run " + name + ": test failure");
        if (real_)
            real_->RunSyntaxFile(name, flag);
    }
    SyntaxReport LastSyntaxReport() const override {
        return real_ ? real_->LastSyntaxReport() : SyntaxReport();
    }
    std::shared_ptr<EngineDocument> CurrentViewerDocument() override {
        factory_.Record("CurrentViewerDocument");
        return std::make_shared<RecordingDocument>(factory_, real_ ? real_->CurrentViewerDocument()
                                                                   : nullptr);
    }
    std::shared_ptr<EngineDocument> CurrentDraftDocument() override {
        factory_.Record("CurrentDraftDocument");
        return std::make_shared<RecordingDocument>(factory_,
                                                   real_ ? real_->CurrentDraftDocument() : nullptr);
    }
    void QuitEngine() override {
        factory_.Record("QuitEngine");
        ++factory_.quits;
        if (factory_.script.onQuit)
            factory_.script.onQuit();
        if (factory_.script.failQuit)
            throw EngineError("The statistics package did not quit");
        if (real_)
            real_->QuitEngine();
    }

private:
    RecordingFactory& factory_;
    std::unique_ptr<EngineApplication> real_;
    int runs_ = 0;
};

std::unique_ptr<EngineApplication> RecordingFactory::CreateObject(const std::string& progId) {
    Record("Create(" + progId + ")");
    ++created;
    progIds.push_back(progId);
    if (script.failCreate)
        throw EngineError(script.createFailure);
    return std::make_unique<RecordingEngine>(
        *this, script.forwardTo ? script.forwardTo->CreateObject(progId) : nullptr);
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
