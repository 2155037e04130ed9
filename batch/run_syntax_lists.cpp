#include "batch/counter16.h"
#include "batch/run_command.h"
#include "batch/run_steps.h"
#include "batch/syntax_list.h"

namespace kalvero {

namespace {

// Runs every syntax line of one list file. The file is read twice: a counting
// pass, then a reading pass of exactly that many lines, so a list of more
// than 32,767 lines fails before any of its lines runs. The file is closed on
// every way out, failure included.
void RunListFile(EngineSession& engine, const RunSettings& settings, const std::string& listPath,
                 RunPosition& position) {
    std::int16_t lineCount = 0;
    {
        SyntaxListFile counting(listPath);
        lineCount = counting.CountLines();
    }
    SyntaxListFile list(listPath);
    for (std::int16_t lineIndex = 0; lineIndex < lineCount; ++lineIndex) {
        position.stage = RunPosition::Stage::ListLine;
        position.lineNumber = lineIndex + 1;
        position.syntaxFile.clear();
        const std::string line = list.ReadLine();
        const std::string name = TrimBlanks(line);
        if (ClassifyLine(name) != ListLineKind::Syntax)
            continue;
        // The output is named after the trimmed line, so blanks in front of
        // a name never move the output away from its syntax file.
        const std::string outputPath = OutputPathFor(name, engine.extension);
        ExecuteSyntaxFile(engine, settings.outputFormat, name, outputPath, position);
    }
}

} // namespace

void RunSyntaxLists(const RunSettings& settings, RunProgress& progress, const RunServices& services,
                    RunPosition& position) {
    position = RunPosition();
    progress.ShowProgress();
    progress.HideProgressBar();
    progress.MinimiseMainWindow();

    EngineSession engine = OpenEngine(settings.outputFormat, services.engines);

    const std::int16_t count = Count16(settings.entries.size(), "entries in the list");
    // Every list file and every syntax file they name is known before the
    // first one runs, so that no output replaces one that is still to come.
    for (const std::string& listPath : settings.entries) {
        engine.guard.AddInput(listPath, "syntax list file");
        for (const std::string& name : SyntaxNamesIn(listPath))
            engine.guard.AddInput(name, "syntax file");
    }
    for (std::int16_t index = 0; index < count; ++index) {
        const std::string& listPath = settings.entries[static_cast<std::size_t>(index)];
        position.stage = RunPosition::Stage::Entry;
        position.entryNumber = index + 1;
        position.entry = listPath;
        position.lineNumber = 0;
        position.syntaxFile.clear();
        RunListFile(engine, settings, listPath, position);
    }

    FinishRun(*engine.application, settings, progress, services, position);
}

} // namespace kalvero
