#include "counter16.h"
#include "run_command.h"
#include "run_steps.h"

#include <stdexcept>

namespace kalvero {

EngineSession OpenEngine(const RunSettings& settings, const RunServices& services) {
    EngineSession session;
    session.application = services.engines.CreateObject(kEngineProgId);
    if (!session.application)
        throw EngineError("The statistics package could not be started");
    session.extension = " ";
    session.settings = session.application->GetSettings();
    if (!session.settings)
        throw EngineError("The statistics package gave no settings object");
    const FormatTraits& traits = TraitsOf(settings.outputFormat);
    session.settings->SetOutputKind(traits.outputKind);
    session.extension = traits.extension;
    return session;
}

void ExecuteSyntaxFile(EngineApplication& engine, OutputFormat format, const std::string& name,
                       const std::string& outputPath, RunPosition& position) {
    position.syntaxFile = name;
    if (outputPath == name)
        throw std::runtime_error("The output " + outputPath +
                                 " would replace the syntax file itself");
    engine.RunSyntaxFile(name, true);

    const FormatTraits& traits = TraitsOf(format);
    const std::shared_ptr<EngineDocument> document = traits.document == DocumentKind::Draft
                                                         ? engine.CurrentDraftDocument()
                                                         : engine.CurrentViewerDocument();
    if (!document)
        throw EngineError("The statistics package gave no output document for " + name);
    if (traits.write == WriteMethod::ExportText)
        document->ExportText(1, outputPath, 1, 0);
    else
        document->SaveDocument(outputPath);
    document->CloseDocument();
    ++position.executed;
}

void RunSyntaxFiles(const RunSettings& settings, RunProgress& progress, const RunServices& services,
                    RunPosition& position) {
    position = RunPosition();
    const std::int16_t count = Count16(settings.entries.size(), "entries in the list");

    progress.SetProgressRange(0.0f, static_cast<float>(count));
    std::int16_t done = 1;
    progress.SetProgressValue(static_cast<float>(done));
    progress.ShowProgress();
    progress.MinimiseMainWindow();

    EngineSession engine = OpenEngine(settings, services);

    for (std::int16_t index = 0; index < count; ++index) {
        const std::string& path = settings.entries[static_cast<std::size_t>(index)];
        position.stage = RunPosition::Stage::Entry;
        position.entryNumber = index + 1;
        position.entry = path;
        const std::string outputPath = OutputPathFor(path, engine.extension);
        ExecuteSyntaxFile(*engine.application, settings.outputFormat, path, outputPath, position);
        done = index;
        Increment16(done, "entries in the list");
        progress.SetProgressValue(static_cast<float>(done));
    }

    FinishRun(*engine.application, settings, progress, services, position);
}

} // namespace kalvero
