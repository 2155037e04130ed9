// The services a run needs beyond the windows: the engine factory, message
// boxes, the machine's shut-down and the file system. Each is injected, so
// that tests fake them and no test ever blocks on a message box or shuts a
// machine down.
#pragma once

#include <string>

namespace kalvero {

class EngineFactory;
class FileSystem;

class MessageService {
public:
    virtual ~MessageService() = default;
    // Shows text in a message box (OK only, no icon, the application's title)
    // and returns when the user has pressed OK.
    virtual void ShowMessage(const std::string& text) = 0;
};

class ShutDownService {
public:
    virtual ~ShutDownService() = default;
    // Asks the system once for a plain power-off; returns whether the request
    // was accepted. May throw.
    virtual bool RequestShutDown() = 0;
};

struct RunServices {
    EngineFactory& engines;
    MessageService& messages;
    ShutDownService& shutDown;
    FileSystem& files;
};

} // namespace kalvero
