// What every run shares: the settings of one run, the output formats, the
// naming of output files and the display operations a run calls on the
// windows.
//
// Data flow of a run: the main window reads its controls into RunSettings and
// hands them with a RunProgress to StartRun (run_command.h). The run plans
// the batch (batch_plan.h: each output path from OutputPathFor), runs it with
// the engine (batch_runner.h, statistics_engine.h) and reports through
// RunProgress; FinishRun closes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalvero {

enum class InputMode { SyntaxFiles, SyntaxLists };

enum class OutputFormat { Viewer, Draft, Text };

// Which engine document holds a syntax file's output.
enum class DocumentKind { Viewer, Draft };

// How that document reaches the output file.
enum class WriteMethod { SaveDocument, ExportText };

struct FormatTraits {
    const char* extension; // without the dot
    std::int32_t outputKind;
    DocumentKind document;
    WriteMethod write;
};

// The format table: extension, output kind set once per run, document taken
// after each syntax file, and how it is written.
const FormatTraits& TraitsOf(OutputFormat format);

struct RunSettings {
    std::vector<std::string> entries; // paths as the user added them, unchanged
    InputMode inputMode = InputMode::SyntaxFiles;
    OutputFormat outputFormat = OutputFormat::Viewer;
    bool shutDownAfterRun = false;
};

// The output path for a syntax file: the path up to and including the last
// dot of its file name, then the extension. A file name without a dot gets
// "." and the extension appended, so the output always stays beside the
// syntax file. Both "/" and "\" separate directories.
std::string OutputPathFor(const std::string& path, const std::string& extension);

// The operations by which a run shows its state. The progress window carries
// out all but MinimiseMainWindow, which the main window carries out. Any of
// them may throw; that is a failure of the run.
class RunProgress {
public:
    virtual ~RunProgress() = default;
    virtual void SetProgressRange(float minimum, float maximum) = 0;
    virtual void SetProgressValue(float value) = 0;
    virtual void ShowProgress() = 0;
    virtual void HideProgressBar() = 0;
    virtual void MinimiseMainWindow() = 0;
    virtual void CloseProgress() = 0;
};

} // namespace kalvero
