#include "engine/engine_core.h"

#include "batch/file_system.h"
#include "batch/run_stop.h"
#include "documents/html_to_rtf.h"
#include "documents/spv_check.h"
#include "engine/pspp_engine.h"
#include "system/disk_room.h"
#include "system/local_file_system.h"
#include "system/local_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace kalvero {
namespace {

constexpr int kMessageLines = 8;

// Everything pspp wrote for the document: its outputs and its charts.
void RemoveOutput(const RunOutput& output) {
    QDir folder(ToQt(output.folder));
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
        folder.remove(name);
}

// The first error pspp reported ("a.sps:6: error: FREQUENCIES: ...", or
// "error: ..." where it names no line), as far as its output was kept.
std::string FirstError(const ChildResult& outcome) {
    for (const QByteArray* part : {&outcome.outputHead, &outcome.outputTail})
        for (const QByteArray& line : part->split('\n'))
            if (line.contains(": error: ") || line.startsWith("error: "))
                return line.trimmed().toStdString();
    return std::string();
}

// "10 s", "0.25 s".
std::string SecondsText(std::chrono::milliseconds time) {
    std::string text = std::to_string(time.count() / 1000);
    if (const auto rest = time.count() % 1000) {
        std::string fraction = std::to_string(1000 + rest).substr(1);
        while (fraction.back() == '0')
            fraction.pop_back();
        text += "." + fraction;
    }
    return text + " s";
}

} // namespace

std::string MessagesOf(const ChildResult& outcome) {
    const std::string lines = LastLines(outcome.outputTail, kMessageLines);
    return lines.empty() ? std::string() : "; its last messages:\n" + lines;
}

EngineCore::EngineCore(QString pspp, QString supervisor, std::unique_ptr<EngineFolder> temporary,
                       std::chrono::milliseconds timeLimit)
    : pspp_(std::move(pspp)), supervisor_(std::move(supervisor)), temporary_(std::move(temporary)),
      work_(temporary_->Path() + "/work"), timeLimit_(timeLimit) {
    const std::string failure = watch_.Start(supervisor_, temporary_->Path());
    if (!failure.empty())
        throw EngineError("Cannot start " + FromQt(supervisor_) + " to watch over the folder " +
                          temporary_->Path() + ": " + failure);
    MakeWorkFolder();
}

EngineCore::~EngineCore() {
    child_.Kill();
    DiscardCurrent();
}

void EngineCore::CheckAlive() const {
    if (quit_)
        throw EngineError("The statistics engine has already quit");
}

void EngineCore::SetOutputKind(std::int32_t kind) {
    CheckAlive();
    if (kind != 0 && kind != 1)
        throw EngineError("Output kind " + std::to_string(kind) +
                          " is not known (0: Viewer documents, 1: Draft documents)");
    kind_ = kind;
}

void EngineCore::Run(const std::string& name) {
    CheckAlive();
    if (child_.IsRunning())
        throw EngineError("Cannot run " + name + ": the engine is still running a syntax file");
    report_ = SyntaxReport();
    const std::string absolute = AbsolutePath(name);
    CheckReadableFile(absolute, name, "syntax file");

    // The document holds the last syntax file's output only.
    DiscardCurrent();
    if (workMissing_)
        MakeWorkFolder();
    auto output = std::make_shared<RunOutput>();
    output->syntaxName = name;
    output->folder = work_;
    Wanted wanted;
    wanted.html = kind_ == 1;
    wanted.text = kind_ == 0 && expected_ != Expected::Viewer;
    wanted.viewer = kind_ == 0 && expected_ != Expected::Text;

    const ChildResult outcome = child_.Run(RequestFor(absolute, *output, wanted));
    report_.status = outcome.Status();
    try {
        Collect(outcome, *output, wanted);
    } catch (...) {
        // Whatever the failed pspp left behind goes, too. Should the folder
        // not come back, the next run makes it.
        QDir(ToQt(work_)).removeRecursively();
        workMissing_ = true;
        try {
            MakeWorkFolder();
        } catch (const EngineError&) {
        }
        throw;
    }
    current_ = std::move(output);
}

ChildRequest EngineCore::RequestFor(const std::string& absolute, const RunOutput& output,
                                    const Wanted& wanted) const {
    ChildRequest request;
    request.program = pspp_;
    // As bytes, through the supervisor: a name need not be valid text.
    std::vector<std::string>& arguments = request.argumentBytes;
    arguments = {"-r"};
    if (wanted.text)
        arguments.insert(arguments.end(),
                         {"-o", output.TextPath(), "-O", "format=txt", "-O", "charts=none"});
    if (wanted.viewer)
        arguments.insert(arguments.end(), {"-o", output.ViewerPath(), "-O", "format=spv"});
    if (wanted.html)
        arguments.insert(arguments.end(), {"-o", output.HtmlPath(), "-O", "format=html"});
    // Named as in its own folder, where pspp runs, so that messages in the
    // output read "a.sps:8: error: ..." rather than the full path.
    const std::string shortName = NameOf(absolute);
    arguments.push_back(shortName.front() == '-' ? "./" + shortName : shortName);
    request.workingDirectoryBytes = FolderOf(absolute);

    // pspp's own temporary files go into the work folder too, so that a pspp
    // killed half-way leaves nothing elsewhere.
    request.environment = PsppEnvironment(request.environment);
    request.environment.insert(QStringLiteral("TMPDIR"), ToQt(output.folder));
    request.timeLimit = timeLimit_;
    request.supervisor = supervisor_;
    request.supervisedFolder = ToQt(temporary_->Path());
    return request;
}

void EngineCore::Collect(const ChildResult& outcome, RunOutput& output, const Wanted& wanted) {
    Judge(outcome, output.syntaxName);
    output.hasText = wanted.text && QFileInfo::exists(ToQt(output.TextPath()));
    output.hasViewer = wanted.viewer && QFileInfo::exists(ToQt(output.ViewerPath()));
    output.hasHtml = wanted.html && QFileInfo::exists(ToQt(output.HtmlPath()));
    if ((wanted.text && !output.hasText) || (wanted.viewer && !output.hasViewer) ||
        (wanted.html && !output.hasHtml))
        throw EngineError("PSPP wrote no output for " + output.syntaxName + " (exit status " +
                          std::to_string(outcome.exitCode) + ")" + MessagesOf(outcome));
    CheckComplete(output);
    // Status 1 means errors inside the syntax file: they are part of its
    // output, as the commercial package puts them into the Viewer.
    report_.hadErrors = outcome.ExitedWith({1});
    if (report_.hadErrors)
        report_.firstError = FirstError(outcome);
}

void EngineCore::Judge(const ChildResult& outcome, const std::string& name) const {
    if (outcome.ExitedWith({0, 1}))
        return;
    switch (outcome.ending) {
    case ChildResult::Ending::NotStarted:
        throw EngineError("Cannot start PSPP (" + FromQt(pspp_) + ") for " + name + ": " +
                          FromQt(outcome.startError));
    case ChildResult::Ending::Stopped:
        throw RunStopped("The run was " + StopReason());
    case ChildResult::Ending::TimedOut:
        throw EngineTimedOut("PSPP did not finish " + name + " within " + SecondsText(timeLimit_) +
                             "; it was ended with everything it started");
    default:
        throw EngineError("PSPP failed while running " + name + ": " + outcome.Describe() +
                          MessagesOf(outcome));
    }
}

// pspp's exit status does not tell whether its output reached the disk whole:
// a file system left without room, or an SPV whose zip directory is cut off
// or damaged, means it did not.
void EngineCore::CheckComplete(const RunOutput& output) const {
    CheckRoomLeft(output.folder, "the output of " + output.syntaxName);
    if (output.hasHtml) {
        // pspp ends its HTML with this comment once all of it is written; only
        // the end of the file is read for it.
        static const std::string kEnd = "<!-- end of file -->";
        QFile file(ToQt(output.HtmlPath()));
        std::string tail;
        if (file.open(QIODevice::ReadOnly) && file.seek(std::max<qint64>(0, file.size() - 64)))
            tail = file.readAll().toStdString();
        while (!tail.empty() && std::isspace(static_cast<unsigned char>(tail.back())))
            tail.pop_back();
        if (tail.size() < kEnd.size() ||
            tail.compare(tail.size() - kEnd.size(), kEnd.size(), kEnd) != 0)
            throw EngineError("PSPP's Draft output of " + output.syntaxName + " in " +
                              output.folder + " is incomplete: it does not end with " + kEnd);
    }
    if (output.hasViewer) {
        const std::string problem = ZipProblem(output.ViewerPath());
        if (!problem.empty())
            throw EngineError("PSPP's Viewer output of " + output.syntaxName + " in " +
                              output.folder + " is incomplete: " + problem);
    }
}

std::shared_ptr<RunOutput> EngineCore::Current(const char* document) const {
    CheckAlive();
    if (!current_)
        throw EngineError(std::string("There is no ") + document +
                          ": no syntax file has run since the last one was closed");
    return current_;
}

// Throws unless output is still the current document.
void EngineCore::CheckOpen(const std::shared_ptr<RunOutput>& output) const {
    CheckAlive();
    if (output != current_)
        throw EngineError("The output document of " + output->syntaxName + " has been closed");
}

void EngineCore::SaveViewer(const std::shared_ptr<RunOutput>& output, const std::string& path) {
    CheckOpen(output);
    expected_ = Expected::Viewer;
    if (!output->hasViewer)
        throw EngineError("There is no Viewer document of " + output->syntaxName +
                          (kind_ == 1 ? ": the output kind is 1 (Draft documents)"
                                      : ": this engine kept only its text, because the output "
                                        "before it was exported as text"));
    output->viewerLinked |=
        PublishFileAtomically(output->ViewerPath(), path, !output->viewerLinked);
}

void EngineCore::SaveDraft(const std::shared_ptr<RunOutput>& output, const std::string& path) {
    CheckOpen(output);
    if (!output->hasHtml)
        throw EngineError("There is no Draft document of " + output->syntaxName +
                          ": the output kind is 0 (Viewer documents)");
    WriteFileAtomically(
        path, HtmlToRtf(ReadWholeFile(output->HtmlPath()), output->folder, PageForLocale()));
}

void EngineCore::ExportText(const std::shared_ptr<RunOutput>& output, const std::string& path) {
    CheckOpen(output);
    if (kind_ == 0)
        expected_ = Expected::Text;
    output->textLinked |= PublishFileAtomically(TextOf(*output), path, !output->textLinked);
}

void EngineCore::Close(const std::shared_ptr<RunOutput>& output) {
    if (!quit_ && output == current_)
        DiscardCurrent();
}

void EngineCore::Quit() {
    if (quit_)
        return;
    child_.Kill();
    DiscardCurrent();
    quit_ = true;
    temporary_->Remove();
    watch_.End();
}

// The file that holds output's text.
std::string EngineCore::TextOf(RunOutput& output) {
    if (!output.hasText && output.hasViewer)
        ConvertToText(output);
    if (!output.hasText)
        throw EngineError("There is no text output of " + output.syntaxName);
    return output.TextPath();
}

// The text of an SPV-only document, rendered as pspp renders text.
void EngineCore::ConvertToText(RunOutput& output) {
    const QString converter = QStandardPaths::findExecutable(QStringLiteral("pspp-output"));
    if (converter.isEmpty())
        throw EngineError("Cannot convert the output of " + output.syntaxName +
                          " to text: there is no program pspp-output on the search path (PATH). " +
                          kInstallHint);
    ChildRequest request;
    request.program = converter;
    request.arguments << "convert" << ToQt(output.ViewerPath()) << ToQt(output.TextPath()) << "-O"
                      << "format=txt"
                      << "-O"
                      << "charts=none";
    request.environment = PsppEnvironment(request.environment);
    request.environment.insert(QStringLiteral("TMPDIR"), ToQt(output.folder));
    const ChildResult outcome = child_.Run(request);
    if (outcome.ending == ChildResult::Ending::Stopped)
        throw RunStopped("The run was " + StopReason());
    const std::string failure =
        "Cannot convert the output of " + output.syntaxName + " to text with pspp-output: ";
    if (!outcome.ExitedWith({0}))
        throw EngineError(failure + outcome.Describe() + MessagesOf(outcome));
    if (!QFileInfo::exists(ToQt(output.TextPath())))
        throw EngineError(failure + "it wrote nothing" + MessagesOf(outcome));
    CheckRoomLeft(output.folder, "the text of " + output.syntaxName);
    output.hasText = true;
}

void EngineCore::DiscardCurrent() {
    if (current_)
        RemoveOutput(*current_);
    current_.reset();
}

// The one folder that pspp writes into, kept from run to run.
void EngineCore::MakeWorkFolder() {
    if (::mkdir(work_.c_str(), 0700) != 0 && errno != EEXIST)
        throw EngineError("Cannot create the temporary folder " + work_ + ": " +
                          std::strerror(errno));
    workMissing_ = false;
}

} // namespace kalvero
