#include "engine/pspp_engine.h"

#include "engine/engine_core.h"

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
#include "system/supervisor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvero {
namespace {

constexpr std::chrono::seconds kVersionTimeout{30};

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
    SyntaxReport LastSyntaxReport() const override { return core_->LastReport(); }

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

// The pspp last asked for its version, and what it answered: asking costs as
// much as starting pspp for a syntax file, so a pspp is asked once while it
// stays the same file (same place, identity and modification time); engines
// made at the same time wait for one answer.

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
struct Answer {
    std::optional<AnsweredPspp> pspp;
    std::string failure; // empty: it answered with its version
};

std::mutex askLock;
std::optional<Answer> lastAnswer;

std::optional<AnsweredPspp> Identify(const QString& pspp) {
    struct stat info {};
    if (::stat(FromQt(pspp).c_str(), &info) != 0)
        return std::nullopt;
    return AnsweredPspp{pspp, info.st_dev, info.st_ino,
                        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                            info.st_mtim.tv_nsec};
}

// Why pspp does not answer with its version, or an empty text.
std::string AskVersion(const QString& pspp) {
    ChildRequest request;
    request.program = pspp;
    request.arguments << QStringLiteral("--version");
    request.timeLimit = kVersionTimeout;
    request.stoppable = false;
    const ChildResult outcome = RunningChild().Run(request);
    if (outcome.ending == ChildResult::Ending::TimedOut)
        return "it did not answer within " + std::to_string(kVersionTimeout.count()) + " s";
    if (!outcome.ExitedWith({0}))
        return outcome.Describe() + MessagesOf(outcome);
    if (!outcome.outputTail.contains("PSPP"))
        return "it did not report a PSPP version";
    return std::string();
}

// pspp on PATH, checked by asking it for its version.
QString FindPspp() {
    const QString pspp = QStandardPaths::findExecutable(QStringLiteral("pspp"));
    if (pspp.isEmpty())
        throw EngineError(std::string("The statistics package PSPP cannot be found: there is no "
                                      "program pspp on the search path (PATH). ") +
                          kInstallHint);
    const std::optional<AnsweredPspp> identity = Identify(pspp);
    const std::lock_guard<std::mutex> lock(askLock);
    // A good answer holds while pspp stays the same file; after a failure
    // the next engine asks again.
    const bool known =
        lastAnswer && identity && lastAnswer->pspp == identity && lastAnswer->failure.empty();
    if (!known)
        lastAnswer = Answer{identity, AskVersion(pspp)};

    if (!lastAnswer->failure.empty())
        throw EngineError("The statistics package PSPP (" + FromQt(pspp) +
                          ") cannot be started: " + lastAnswer->failure + ". " + kInstallHint);
    return pspp;
}

} // namespace

std::unique_ptr<EngineApplication> PsppEngineFactory::CreateObject(const std::string& progId) {
    if (progId != kEngineProgId)
        throw EngineError("Cannot create the statistics engine " + progId + ": only " +
                          kEngineProgId + " (PSPP) is available");
    QString pspp = FindPspp();
    QString supervisor = FindSupervisor(ProgramFolder());
    if (supervisor.isEmpty())
        throw EngineError(
            std::string("The statistics engine cannot be created: its helper program ") +
            kSupervisorName + ", which ends whatever a syntax file leaves running, is missing (" +
            SupervisorPlaces(ProgramFolder()) + "). Reinstall KALVERO.");
    auto temporary = std::make_unique<EngineFolder>();
    return std::make_unique<PsppEngine>(std::make_shared<EngineCore>(
        std::move(pspp), std::move(supervisor), std::move(temporary), timeLimit_));
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
