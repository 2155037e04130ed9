#include "window_fakes.h"

#include "main/main_window.h"
#include "progress/progress_window.h"
#include "syntax_select/syntax_select_window.h"

#include <QCoreApplication>
#include <QEvent>

namespace kalvero::test {

namespace {
class FakeSettings : public EngineSettings {
public:
    void SetOutputKind(std::int32_t) override {}
};

class FakeDocument : public EngineDocument {
public:
    explicit FakeDocument(FakeEngineFactory& log) : log_(log) {}
    void SaveDocument(const std::string& path) override { log_.written.push_back(path); }
    void ExportText(std::int32_t, const std::string& path, std::int32_t, std::int32_t) override {
        log_.written.push_back(path);
    }
    void CloseDocument() override {}

private:
    FakeEngineFactory& log_;
};

class FakeEngine : public EngineApplication {
public:
    explicit FakeEngine(FakeEngineFactory& log) : log_(log) {}
    std::shared_ptr<EngineSettings> GetSettings() override {
        return std::make_shared<FakeSettings>();
    }
    void RunSyntaxFile(const std::string& name, bool) override {
        log_.ran.push_back(name);
        if (log_.onRun)
            log_.onRun(name);
        if (name == log_.failOn)
            throw EngineError("Cannot run " + name + ": test failure");
    }
    std::shared_ptr<EngineDocument> CurrentViewerDocument() override {
        return std::make_shared<FakeDocument>(log_);
    }
    std::shared_ptr<EngineDocument> CurrentDraftDocument() override {
        return std::make_shared<FakeDocument>(log_);
    }
    void QuitEngine() override {
        ++log_.quits;
        if (log_.onQuit)
            log_.onQuit();
    }

private:
    FakeEngineFactory& log_;
};
} // namespace

std::unique_ptr<EngineApplication> FakeEngineFactory::CreateObject(const std::string& progId) {
    ++created;
    progIds.push_back(progId);
    return std::make_unique<FakeEngine>(*this);
}

void WindowTest::SetUp() {
    saved_ = Services();
    Services().engines = &engines;
    Services().messages = &messages;
    Services().shutDown = &shutDown;
}

void WindowTest::TearDown() {
    UnloadAll();
    Services() = saved_;
}

void WindowTest::UnloadAll() {
    SYNT_SELECT.Unload();
    WAIT.Unload();
    MAIN.Unload();
    FlushDeletes();
}

void WindowTest::FlushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace kalvero::test
