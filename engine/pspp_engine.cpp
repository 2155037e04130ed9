#include "engine/pspp_engine.h"

#include "batch/file_system.h"
#include "batch/run_settings.h"
#include "batch/run_stop.h"
#include "documents/html_to_rtf.h"
#include "documents/spv_check.h"
#include "engine/engine_folder.h"
#include "system/child_process.h"
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
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvero {
namespace {

constexpr const char* kInstallHint = "Install it with the package pspp.";
constexpr int kVersionTimeoutMs = 30000;
constexpr int kMessageLines = 8;

std::string Describe(const QString& program) {
    return FromQt(program);
}

// " Its last messages:" and pspp's last lines, or nothing when it said nothing.
std::string MessagesOf(const ChildResult& outcome) {
    const std::string lines = LastLines(outcome.outputTail, kMessageLines);
    return lines.empty() ? std::string() : "; its last messages:\n" + lines;
}

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

// What a kind 0 document is expected to be written as.
enum class Expected { Unknown, Viewer, Text };

class EngineCore {
public:
    EngineCore(QString pspp, std::unique_ptr<EngineFolder> temporary, int timeLimitSeconds)
        : pspp_(std::move(pspp)), temporary_(std::move(temporary)),
          work_(temporary_->Path() + "/work"), timeLimitSeconds_(timeLimitSeconds) {
        MakeWorkFolder();
    }
    ~EngineCore() {
        child_.Kill();
        DiscardCurrent();
    }

    void CheckAlive() const {
        if (quit_)
            throw EngineError("The statistics engine has already quit");
    }

    void SetOutputKind(std::int32_t kind) {
        CheckAlive();
        if (kind != 0 && kind != 1)
            throw EngineError("Output kind " + std::to_string(kind) +
                              " is not known (0: Viewer documents, 1: Draft documents)");
        kind_ = kind;
    }

    void Run(const std::string& name) {
        CheckAlive();
        if (child_.IsRunning())
            throw EngineError("Cannot run " + name + ": the engine is still running a syntax file");
        const std::string absolute = AbsolutePath(name);
        CheckReadableFile(absolute, name, "syntax file");
        const QString file = ToQt(absolute);
        if (FromQt(file) != absolute)
            throw EngineError("Cannot run " + name +
                              ": its name is not valid in the system's character encoding");

        // The document holds the last syntax file's output only.
        DiscardCurrent();
        hadErrors_ = false;
        if (workMissing_)
            MakeWorkFolder();
        auto output = std::make_shared<RunOutput>();
        output->syntaxName = name;
        output->folder = work_;

        const bool wantHtml = kind_ == 1;
        const bool wantText = kind_ == 0 && expected_ != Expected::Viewer;
        const bool wantViewer = kind_ == 0 && expected_ != Expected::Text;
        ChildRequest request;
        request.program = pspp_;
        request.arguments << "-r";
        if (wantText)
            request.arguments << "-o" << ToQt(output->TextPath()) << "-O"
                              << "format=txt"
                              << "-O"
                              << "charts=none";
        if (wantViewer)
            request.arguments << "-o" << ToQt(output->ViewerPath()) << "-O"
                              << "format=spv";
        if (wantHtml)
            request.arguments << "-o" << ToQt(output->HtmlPath()) << "-O"
                              << "format=html";
        // Named as in its own folder, where pspp runs, so that messages in
        // the output read "a.sps:8: error: ..." rather than the full path.
        const QString shortName = QFileInfo(file).fileName();
        request.arguments << (shortName.startsWith(QLatin1Char('-')) ? "./" + shortName
                                                                     : shortName);
        request.workingDirectory = ToQt(FolderOf(absolute));
        // pspp's own temporary files go into the work folder too, so that a
        // pspp killed half-way leaves nothing elsewhere.
        request.environment = PsppEnvironment(request.environment);
        request.environment.insert(QStringLiteral("TMPDIR"), ToQt(output->folder));
        if (timeLimitSeconds_ > 0)
            request.timeoutMs = timeLimitSeconds_ * 1000;

        const ChildResult outcome = child_.Run(request);
        try {
            Judge(outcome, name);
            output->hasText = wantText && QFileInfo::exists(ToQt(output->TextPath()));
            output->hasViewer = wantViewer && QFileInfo::exists(ToQt(output->ViewerPath()));
            output->hasHtml = wantHtml && QFileInfo::exists(ToQt(output->HtmlPath()));
            if ((wantText && !output->hasText) || (wantViewer && !output->hasViewer) ||
                (wantHtml && !output->hasHtml))
                throw EngineError("PSPP wrote no output for " + name + " (exit status " +
                                  std::to_string(outcome.exitCode) + ")" + MessagesOf(outcome));
            CheckComplete(*output);
            hadErrors_ = outcome.ExitedWith({1});
        } catch (...) {
            // Whatever the failed pspp left behind goes, too. Should the
            // folder not come back, the next run makes it.
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

    bool HadErrors() const { return hadErrors_; }

    std::shared_ptr<RunOutput> Current(const char* document) const {
        CheckAlive();
        if (!current_)
            throw EngineError(std::string("There is no ") + document +
                              ": no syntax file has run since the last one was closed");
        return current_;
    }

    // Throws unless output is still the current document.
    void CheckOpen(const std::shared_ptr<RunOutput>& output) const {
        CheckAlive();
        if (output != current_)
            throw EngineError("The output document of " + output->syntaxName + " has been closed");
    }

    void SaveViewer(const std::shared_ptr<RunOutput>& output, const std::string& path) {
        CheckOpen(output);
        if (!output->hasViewer) {
            expected_ = Expected::Viewer;
            throw EngineError("There is no Viewer document of " + output->syntaxName +
                              (kind_ == 1 ? ": the output kind is 1 (Draft documents)"
                                          : ": this engine kept only its text, because the "
                                            "output before it was exported as text"));
        }
        expected_ = Expected::Viewer;
        output->viewerLinked |=
            PublishFileAtomically(output->ViewerPath(), path, !output->viewerLinked);
    }

    void SaveDraft(const std::shared_ptr<RunOutput>& output, const std::string& path) {
        CheckOpen(output);
        if (!output->hasHtml)
            throw EngineError("There is no Draft document of " + output->syntaxName +
                              ": the output kind is 0 (Viewer documents)");
        WriteFileAtomically(
            path, HtmlToRtf(ReadWholeFile(output->HtmlPath()), output->folder, PageForLocale()));
    }

    void ExportText(const std::shared_ptr<RunOutput>& output, const std::string& path) {
        CheckOpen(output);
        if (kind_ == 0)
            expected_ = Expected::Text;
        output->textLinked |= PublishFileAtomically(TextOf(*output), path, !output->textLinked);
    }

    void Close(const std::shared_ptr<RunOutput>& output) {
        if (!quit_ && output == current_)
            DiscardCurrent();
    }

    void Quit() {
        if (quit_)
            return;
        child_.Kill();
        DiscardCurrent();
        quit_ = true;
        temporary_->Remove();
    }

private:
    void Judge(const ChildResult& outcome, const std::string& name) const {
        // Status 1 means errors inside the syntax file: they are part of its
        // output, as the commercial package puts them into the Viewer.
        if (outcome.ExitedWith({0, 1}))
            return;
        switch (outcome.ending) {
        case ChildResult::Ending::NotStarted:
            throw EngineError("Cannot start PSPP (" + Describe(pspp_) + ") for " + name + ": " +
                              FromQt(outcome.startError));
        case ChildResult::Ending::Stopped:
            throw RunStopped("The run was " + StopReason());
        case ChildResult::Ending::TimedOut:
            throw EngineTimedOut("PSPP did not finish " + name + " within " +
                                 std::to_string(timeLimitSeconds_) +
                                 " s; it was ended with everything it started");
        default:
            throw EngineError("PSPP failed while running " + name + ": " + outcome.Describe() +
                              MessagesOf(outcome));
        }
    }

    // pspp's exit status does not tell whether its output reached the disk
    // whole: a file system left without room, or an SPV whose zip directory
    // is cut off or damaged, means it did not.
    void CheckComplete(const RunOutput& output) const {
        CheckRoomLeft(output.folder, "the output of " + output.syntaxName);
        if (output.hasHtml) {
            // pspp ends its HTML with this comment once all of it is written;
            // only the end of the file is read for it.
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

    // The file that holds output's text.
    std::string TextOf(RunOutput& output) {
        if (!output.hasText && output.hasViewer)
            ConvertToText(output);
        if (!output.hasText)
            throw EngineError("There is no text output of " + output.syntaxName);
        return output.TextPath();
    }

    // The text of an SPV-only document, rendered as pspp renders text.
    void ConvertToText(RunOutput& output) {
        const QString converter = QStandardPaths::findExecutable(QStringLiteral("pspp-output"));
        if (converter.isEmpty())
            throw EngineError("Cannot convert the output of " + output.syntaxName +
                              " to text: there is no program pspp-output on the search path "
                              "(PATH). " +
                              kInstallHint);
        ChildRequest request;
        request.program = converter;
        request.arguments << "convert" << ToQt(output.ViewerPath()) << ToQt(output.TextPath())
                          << "-O"
                          << "format=txt"
                          << "-O"
                          << "charts=none";
        request.environment = PsppEnvironment(request.environment);
        request.environment.insert(QStringLiteral("TMPDIR"), ToQt(output.folder));
        const ChildResult outcome = child_.Run(request);
        if (outcome.ending == ChildResult::Ending::Stopped)
            throw RunStopped("The run was " + StopReason());
        if (!outcome.ExitedWith({0}))
            throw EngineError("Cannot convert the output of " + output.syntaxName +
                              " to text with pspp-output: " + outcome.Describe() +
                              MessagesOf(outcome));
        if (!QFileInfo::exists(ToQt(output.TextPath())))
            throw EngineError("Cannot convert the output of " + output.syntaxName +
                              " to text with pspp-output: it wrote nothing" + MessagesOf(outcome));
        CheckRoomLeft(output.folder, "the text of " + output.syntaxName);
        output.hasText = true;
    }

    void DiscardCurrent() {
        if (current_)
            RemoveOutput(*current_);
        current_.reset();
    }

    // Everything pspp wrote for the document: its outputs and its charts.
    static void RemoveOutput(const RunOutput& output) {
        QDir folder(ToQt(output.folder));
        for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
            folder.remove(name);
    }

    // The one folder that pspp writes into, kept from run to run.
    void MakeWorkFolder() {
        if (::mkdir(work_.c_str(), 0700) != 0 && errno != EEXIST)
            throw EngineError("Cannot create the temporary folder " + work_ + ": " +
                              std::strerror(errno));
        workMissing_ = false;
    }

    QString pspp_;
    std::unique_ptr<EngineFolder> temporary_;
    std::string work_;
    int timeLimitSeconds_ = 0;
    bool hadErrors_ = false;
    bool workMissing_ = true;
    RunningChild child_;
    std::shared_ptr<RunOutput> current_;
    std::int32_t kind_ = 0;
    Expected expected_ = Expected::Unknown;
    bool quit_ = false;
};

// Documents and settings refer to the engine weakly: once it is released
// they fail instead of keeping its temporary folder alive.
std::shared_ptr<EngineCore> Lock(const std::weak_ptr<EngineCore>& core) {
    std::shared_ptr<EngineCore> locked = core.lock();
    if (!locked)
        throw EngineError("The statistics engine has been released");
    return locked;
}

class PsppDocument : public EngineDocument {
public:
    PsppDocument(std::weak_ptr<EngineCore> core, std::shared_ptr<RunOutput> output,
                 DocumentKind kind)
        : core_(std::move(core)), output_(std::move(output)), kind_(kind) {}

    void SaveDocument(const std::string& path) override {
        if (kind_ == DocumentKind::Viewer)
            Lock(core_)->SaveViewer(output_, path);
        else
            Lock(core_)->SaveDraft(output_, path);
    }

    // 1, path, 1, 0: all of the output, as plain text.
    void ExportText(std::int32_t what, const std::string& path, std::int32_t option1,
                    std::int32_t option2) override {
        if (what != 1 || option1 != 1 || option2 != 0)
            throw EngineError("ExportText(" + std::to_string(what) + ", " + path + ", " +
                              std::to_string(option1) + ", " + std::to_string(option2) +
                              ") is not supported; only ExportText(1, path, 1, 0) is");
        Lock(core_)->ExportText(output_, path);
    }

    void CloseDocument() override {
        if (std::shared_ptr<EngineCore> core = core_.lock())
            core->Close(output_);
    }

private:
    std::weak_ptr<EngineCore> core_;
    std::shared_ptr<RunOutput> output_;
    DocumentKind kind_;
};

class PsppSettings : public EngineSettings {
public:
    explicit PsppSettings(std::weak_ptr<EngineCore> core) : core_(std::move(core)) {}
    void SetOutputKind(std::int32_t kind) override { Lock(core_)->SetOutputKind(kind); }

private:
    std::weak_ptr<EngineCore> core_;
};

class PsppEngine : public EngineApplication {
public:
    explicit PsppEngine(std::shared_ptr<EngineCore> core) : core_(std::move(core)) {}

    std::shared_ptr<EngineSettings> GetSettings() override {
        core_->CheckAlive();
        return std::make_shared<PsppSettings>(core_);
    }

    // The flag asks the commercial package to wait until the syntax has run;
    // this engine always waits.
    void RunSyntaxFile(const std::string& name, bool /*flag*/) override { core_->Run(name); }
    bool SyntaxHadErrors() const override { return core_->HadErrors(); }

    std::shared_ptr<EngineDocument> CurrentViewerDocument() override {
        return std::make_shared<PsppDocument>(core_, core_->Current("Viewer document"),
                                              DocumentKind::Viewer);
    }

    std::shared_ptr<EngineDocument> CurrentDraftDocument() override {
        return std::make_shared<PsppDocument>(core_, core_->Current("Draft document"),
                                              DocumentKind::Draft);
    }

    void QuitEngine() override { core_->Quit(); }

private:
    std::shared_ptr<EngineCore> core_;
};

// The pspp that last answered with its version: asking costs as much as
// starting pspp for a syntax file, so a pspp is asked once while it stays
// the same file (same place, identity and modification time).
struct AnsweredPspp {
    QString path;
    dev_t device = 0;
    ino_t inode = 0;
    std::int64_t modified = 0;
    bool operator==(const AnsweredPspp& other) const {
        return path == other.path && device == other.device && inode == other.inode &&
               modified == other.modified;
    }
};
std::mutex answeredLock;
std::optional<AnsweredPspp> answered;

std::optional<AnsweredPspp> Identify(const QString& pspp) {
    struct stat info {};
    if (::stat(FromQt(pspp).c_str(), &info) != 0)
        return std::nullopt;
    return AnsweredPspp{pspp, info.st_dev, info.st_ino,
                        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                            info.st_mtim.tv_nsec};
}

// pspp on PATH, checked by asking it for its version.
QString FindPspp() {
    const QString pspp = QStandardPaths::findExecutable(QStringLiteral("pspp"));
    if (pspp.isEmpty())
        throw EngineError(std::string("The statistics package PSPP cannot be found: there is no "
                                      "program pspp on the search path (PATH). ") +
                          kInstallHint);
    const std::optional<AnsweredPspp> identity = Identify(pspp);
    {
        const std::lock_guard<std::mutex> lock(answeredLock);
        if (identity && answered == identity)
            return pspp;
    }
    ChildRequest request;
    request.program = pspp;
    request.arguments << QStringLiteral("--version");
    request.timeoutMs = kVersionTimeoutMs;
    request.stoppable = false;
    const ChildResult outcome = RunningChild().Run(request);
    std::string reason;
    if (outcome.ending == ChildResult::Ending::TimedOut)
        reason = "it did not answer within " + std::to_string(kVersionTimeoutMs / 1000) + " s";
    else if (!outcome.ExitedWith({0}))
        reason = outcome.Describe() + MessagesOf(outcome);
    else if (!outcome.outputTail.contains("PSPP"))
        reason = "it did not report a PSPP version";
    if (!reason.empty())
        throw EngineError("The statistics package PSPP (" + Describe(pspp) +
                          ") cannot be started: " + reason + ". " + kInstallHint);
    const std::lock_guard<std::mutex> lock(answeredLock);
    answered = identity;
    return pspp;
}

} // namespace

std::unique_ptr<EngineApplication> PsppEngineFactory::CreateObject(const std::string& progId) {
    if (progId != kEngineProgId)
        throw EngineError("Cannot create the statistics engine " + progId + ": only " +
                          kEngineProgId + " (PSPP) is available");
    QString pspp = FindPspp();
    auto temporary = std::make_unique<EngineFolder>();
    return std::make_unique<PsppEngine>(
        std::make_shared<EngineCore>(std::move(pspp), std::move(temporary), timeLimitSeconds_));
}

QProcessEnvironment PsppEnvironment(QProcessEnvironment environment) {
    // LC_ALL overrides LC_CTYPE, which overrides LANG.
    const char* const kOrder[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    for (const char* name : kOrder) {
        const QString value = environment.value(QString::fromLatin1(name));
        if (value.isEmpty())
            continue;
        const QString lower = value.toLower();
        if (lower.contains(QStringLiteral("utf-8")) || lower.contains(QStringLiteral("utf8")))
            return environment;
        break;
    }
    // Only the character type changes, so messages keep the user's language;
    // LC_ALL, when set, would override it and is changed instead.
    const QString which = environment.contains(QStringLiteral("LC_ALL")) &&
                                  !environment.value(QStringLiteral("LC_ALL")).isEmpty()
                              ? QStringLiteral("LC_ALL")
                              : QStringLiteral("LC_CTYPE");
    environment.insert(which, QStringLiteral("C.UTF-8"));
    return environment;
}

void UseUtf8Locale() {
    const QProcessEnvironment now = QProcessEnvironment::systemEnvironment();
    const QProcessEnvironment wanted = PsppEnvironment(now);
    for (const char* name : {"LC_ALL", "LC_CTYPE"})
        if (wanted.value(QString::fromLatin1(name)) != now.value(QString::fromLatin1(name)))
            qputenv(name, wanted.value(QString::fromLatin1(name)).toLatin1());
}

} // namespace kalvero
