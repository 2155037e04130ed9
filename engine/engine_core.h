// The PSPP engine's work, behind the automation objects of pspp_engine.cpp:
// one pspp process per syntax file, started with -r, the file's name as in
// its own folder, that folder as working directory and no input; pspp
// writes into the engine's work folder only what the output kind asks for,
// and the document's save or export puts it beside the syntax file whole.
#pragma once

#include "batch/statistics_engine.h"
#include "engine/engine_folder.h"
#include "system/child_process.h"
#include "system/supervisor.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace kalvero {

inline constexpr const char* kInstallHint = "Install it with the package pspp.";

// "; its last messages:" and the child's last lines, or nothing when it
// said nothing.
std::string MessagesOf(const ChildResult& outcome);

// One syntax file's output in the engine's work folder.
struct RunOutput {
    std::string folder;
    std::string syntaxName; // as the caller gave it
    bool hasText = false;
    bool hasViewer = false;
    // A file already linked to a target is copied for any further target,
    // so that two outputs never share their data.
    bool textLinked = false;
    bool viewerLinked = false;
    bool hasHtml = false; // a Draft document's source, its charts beside it
    std::string TextPath() const { return folder + "/output.txt"; }
    std::string ViewerPath() const { return folder + "/output.spv"; }
    std::string HtmlPath() const { return folder + "/output.html"; }
};

class EngineCore {
public:
    // Each pspp runs under supervisor, which also watches over the folder
    // for as long as the engine lives. A time limit of zero is none.
    EngineCore(QString pspp, QString supervisor, std::unique_ptr<EngineFolder> temporary,
               std::chrono::milliseconds timeLimit);
    ~EngineCore();

    void CheckAlive() const;
    void SetOutputKind(std::int32_t kind);
    // Runs the syntax file name; its output becomes the current document.
    void Run(const std::string& name);
    const SyntaxReport& LastReport() const { return report_; }

    std::shared_ptr<RunOutput> Current(const char* document) const;
    void SaveViewer(const std::shared_ptr<RunOutput>& output, const std::string& path);
    void SaveDraft(const std::shared_ptr<RunOutput>& output, const std::string& path);
    void ExportText(const std::shared_ptr<RunOutput>& output, const std::string& path);
    void Close(const std::shared_ptr<RunOutput>& output);
    void Quit();

private:
    // What a kind 0 document is expected to be written as.
    enum class Expected { Unknown, Viewer, Text };
    struct Wanted {
        bool text = false;
        bool viewer = false;
        bool html = false;
    };

    ChildRequest RequestFor(const std::string& absolute, const RunOutput& output,
                            const Wanted& wanted) const;
    void Collect(const ChildResult& outcome, RunOutput& output, const Wanted& wanted);
    void Judge(const ChildResult& outcome, const std::string& name) const;
    void CheckComplete(const RunOutput& output) const;
    void CheckOpen(const std::shared_ptr<RunOutput>& output) const;
    std::string TextOf(RunOutput& output);
    void ConvertToText(RunOutput& output);
    void DiscardCurrent();
    void MakeWorkFolder();

    QString pspp_;
    QString supervisor_;
    std::unique_ptr<EngineFolder> temporary_;
    FolderWatch watch_; // ended before the folder goes
    std::string work_;
    std::chrono::milliseconds timeLimit_;
    SyntaxReport report_;
    bool workMissing_ = true;
    RunningChild child_;
    std::shared_ptr<RunOutput> current_;
    std::int32_t kind_ = 0;
    Expected expected_ = Expected::Unknown;
    bool quit_ = false;
};

} // namespace kalvero
