// The fixture of the window tests: the shared recording fakes installed in
// Services(), and every window unloaded after each test.
#pragma once

#include "system/local_file_system.h"
#include "tests/support/fakes.h"
#include "windows/common/window_services.h"

#include <gtest/gtest.h>

namespace kalvero::test {

using FakeEngineFactory = kalvero::testing::RecordingFactory;
using FakeMessages = kalvero::testing::FakeMessages;
using FakeShutDown = kalvero::testing::FakeShutDown;

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
    LocalFileSystem files;

private:
    WindowServices saved_;
};

} // namespace kalvero::test
