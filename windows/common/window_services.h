// The services the windows hand to the batch run and use themselves. The
// program sets them at start with the platform's real services; tests set
// fakes, so that no test blocks on a message box, starts a program or shuts
// the machine down.
#pragma once

#include "batch/file_system.h"
#include "batch/run_services.h"
#include "batch/statistics_engine.h"
#include "batch/system_services.h"

namespace kalvero {

struct WindowServices {
    EngineFactory* engines = nullptr;
    MessageService* messages = nullptr;
    ShutDownService* shutDown = nullptr;
    Registry* registry = nullptr;
    ProgramLauncher* launcher = nullptr;
    FileSystem* files = nullptr;
};

// The services in force; every pointer must be set before a window uses it.
WindowServices& Services();

// The application's title, the caption of every message box.
extern const char* const kApplicationTitle; // "SPSS_KALVERO"

} // namespace kalvero
