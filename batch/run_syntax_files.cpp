#include "batch/counter16.h"
#include "batch/run_command.h"
#include "batch/run_steps.h"

#include <stdexcept>

namespace kalvero {

void RunSyntaxFiles(const RunSettings& settings, RunProgress& progress, const RunServices& services,
                    RunPosition& position) {
    position = RunPosition();
    const std::int16_t count = Count16(settings.entries.size(), "entries in the list");

    progress.SetProgressRange(0.0f, static_cast<float>(count));
    std::int16_t done = 1;
    progress.SetProgressValue(static_cast<float>(done));
    progress.ShowProgress();
    progress.MinimiseMainWindow();

    EngineSession engine = OpenEngine(settings.outputFormat, services.engines);
    for (const std::string& entry : settings.entries)
        engine.guard.AddInput(entry, "syntax file");

    for (std::int16_t index = 0; index < count; ++index) {
        const std::string& path = settings.entries[static_cast<std::size_t>(index)];
        position.stage = RunPosition::Stage::Entry;
        position.entryNumber = index + 1;
        position.entry = path;
        const std::string outputPath = OutputPathFor(path, engine.extension);
        ExecuteSyntaxFile(engine, settings.outputFormat, path, outputPath, position);
        done = index;
        Increment16(done, "entries in the list");
        progress.SetProgressValue(static_cast<float>(done));
    }

    FinishRun(*engine.application, settings, progress, services, position);
}

} // namespace kalvero
