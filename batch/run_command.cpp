#include "batch/run_command.h"

#include "batch/message_text.h"
#include "batch/run_stop.h"

#include <exception>

namespace kalvero {

const char* const kEmptyListMessage = "No Syntax or List of Syntaxes ";

std::string RunFailureMessage(const RunPosition& position, const std::string& reason) {
    std::string text = "The run has been stopped ";
    switch (position.stage) {
    case RunPosition::Stage::SettingUp:
        text += "before the first syntax.";
        break;
    case RunPosition::Stage::Entry:
        text += "at entry " + std::to_string(position.entryNumber) + " (" +
                ShortenName(position.entry) + ").";
        break;
    case RunPosition::Stage::ListLine:
        text += "at line " + std::to_string(position.lineNumber) + " of the list file " +
                std::to_string(position.entryNumber) + " (" + ShortenName(position.entry) + ")";
        text += position.syntaxFile.empty() ? "."
                                            : ", syntax " + ShortenName(position.syntaxFile) + ".";
        break;
    case RunPosition::Stage::Closing:
        text += "while closing the statistics package.";
        break;
    }
    text += "\n\nReason: " + ShortenMiddle(reason, kShownReasonLength) + "\n\n";
    text += "Syntaxes executed before: " + std::to_string(position.executed) + " ";
    return text;
}

void StartRun(const RunSettings& settings, RunProgress& progress, const RunServices& services) {
    if (settings.entries.empty()) {
        try {
            services.messages.ShowMessage(kEmptyListMessage);
        } catch (...) {
        }
        return;
    }

    ClearStop();
    RunPosition position;
    try {
        if (settings.inputMode == InputMode::SyntaxFiles)
            RunSyntaxFiles(settings, progress, services, position);
        if (settings.inputMode == InputMode::SyntaxLists)
            RunSyntaxLists(settings, progress, services, position);
    } catch (const RunStopped& stopped) {
        // A stopped run leaves no progress window behind: the user closed it.
        try {
            progress.CloseProgress();
        } catch (...) {
        }
        try {
            services.messages.ShowMessage(RunFailureMessage(position, stopped.what()));
        } catch (...) {
        }
    } catch (const std::exception& failure) {
        try {
            services.messages.ShowMessage(RunFailureMessage(position, failure.what()));
        } catch (...) {
        }
    } catch (...) {
        try {
            services.messages.ShowMessage(RunFailureMessage(position, "unknown failure"));
        } catch (...) {
        }
    }
}

} // namespace kalvero
