// Fakes for the window tests: a recording engine whose syntax runs can call
// back into the test while the run is in progress, a shut-down that only
// counts, and a fixture that installs them in Services() and unloads every
// window after each test.
#pragma once

#include "fake_messages.h"
#include "statistics_engine.h"
#include "window_services.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kalvero::test {

class FakeEngineFactory : public EngineFactory {
public:
    std::unique_ptr<EngineApplication> CreateObject(const std::string& progId) override;

    // Called while the engine "runs" a syntax file, before it may fail.
    std::function<void(const std::string&)> onRun;
    // Called when the run tells the engine to quit.
    std::function<void()> onQuit;
    // A syntax file whose run fails.
    std::string failOn;

    int created = 0;
    int quits = 0;
    std::vector<std::string> progIds;
    std::vector<std::string> ran;
    std::vector<std::string> written;
};

class FakeShutDown : public ShutDownService {
public:
    bool RequestShutDown() override {
        ++requests;
        return true;
    }
    int requests = 0;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Unloads every window of the program and deletes them.
    static void UnloadAll();
    static void FlushDeletes();

    FakeEngineFactory engines;
    FakeMessages messages;
    FakeShutDown shutDown;

private:
    WindowServices saved_;
};

} // namespace kalvero::test
