#include "batch/engine_session.h"

#include "batch/run_stop.h"

namespace kalvero {

EngineSession OpenEngine(OutputFormat format, EngineFactory& engines) {
    EngineSession session;
    session.application = engines.CreateObject(kEngineProgId);
    if (!session.application)
        throw EngineError("The statistics package could not be started");
    session.extension = " ";
    session.settings = session.application->GetSettings();
    if (!session.settings)
        throw EngineError("The statistics package gave no settings object");
    const FormatTraits& traits = TraitsOf(format);
    session.settings->SetOutputKind(traits.outputKind);
    session.extension = traits.extension;
    return session;
}

void ExecuteSyntaxFile(EngineSession& session, OutputFormat format, const std::string& name,
                       const std::string& outputPath) {
    ThrowIfStopRequested();
    EngineApplication& engine = *session.application;
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
}

} // namespace kalvero
