// The statistics engine as the runs see it: an application object created by
// its ProgID, a settings object that selects the kind of output, and the
// output documents that hold one syntax file's output each.
//
// Every operation blocks until it is done and reports failure by throwing an
// exception (normally EngineError) whose message says what failed, naming the
// file concerned and the system's reason.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace kalvero {

inline constexpr const char* kEngineProgId = "SPSS.APPLICATION";

class EngineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A syntax file that was still running when the engine's time limit ran
// out; it was ended with everything it started, and nothing of it is kept.
class EngineTimedOut : public EngineError {
public:
    using EngineError::EngineError;
};

// What an engine can tell of one syntax file's run beyond its output.
struct SyntaxReport {
    // Errors in the syntax file's own commands: they are part of its output.
    bool hadErrors = false;
    std::string firstError; // the first of them, in the engine's words
    std::string status;     // how the engine's run of it ended: "exit 1", "signal 9"
};

class EngineDocument {
public:
    virtual ~EngineDocument() = default;
    // Writes the document to path (a Viewer or a Draft file).
    virtual void SaveDocument(const std::string& path) = 0;
    // Writes the document to path as text; the runs pass 1, path, 1, 0.
    virtual void ExportText(std::int32_t what, const std::string& path, std::int32_t option1,
                            std::int32_t option2) = 0;
    // Discards the document: the next syntax file's output starts a new one.
    virtual void CloseDocument() = 0;
};

class EngineSettings {
public:
    virtual ~EngineSettings() = default;
    // 0: Viewer documents (and their text); 1: Draft documents.
    virtual void SetOutputKind(std::int32_t kind) = 0;
};

class EngineApplication {
public:
    // Releasing an engine that was not told to quit ends it all the same and
    // cleans up after it; it never throws.
    virtual ~EngineApplication() = default;
    virtual std::shared_ptr<EngineSettings> GetSettings() = 0;
    // Executes the named syntax file; returns when its commands have run and
    // their output is in the current document.
    virtual void RunSyntaxFile(const std::string& name, bool flag) = 0;
    // What the engine can tell of the syntax file run last, whether it ran
    // through or failed. An engine that cannot tell reports nothing.
    virtual SyntaxReport LastSyntaxReport() const { return {}; }
    virtual std::shared_ptr<EngineDocument> CurrentViewerDocument() = 0;
    virtual std::shared_ptr<EngineDocument> CurrentDraftDocument() = 0;
    // Ends the engine; no call follows it.
    virtual void QuitEngine() = 0;
};

// Creates engines by ProgID. The platform supplies the real one; tests supply
// fakes. Throws when no engine can be created.
class EngineFactory {
public:
    virtual ~EngineFactory() = default;
    virtual std::unique_ptr<EngineApplication> CreateObject(const std::string& progId) = 0;
};

} // namespace kalvero
