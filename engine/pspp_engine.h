// The statistics engine on this platform: GNU PSPP.
//
// PsppEngineFactory creates the engine for the ProgID "SPSS.APPLICATION"
// after checking that the program pspp is on PATH and starts. The engine runs
// each syntax file in a fresh pspp process (so no state carries over from one
// file to the next), with -r, the file's absolute path, no standard input and
// the file's own folder as working directory. pspp writes into a private
// temporary folder of the engine; SaveDocument and ExportText put the file
// from there at the target under a temporary name (a hard link where the
// file system allows) and rename it over the target.
//
// Documents: output kind 0 gives a Viewer document (SaveDocument writes
// PSPP's SPV file, charts included; ExportText writes its text, without
// charts), kind 1 a Draft document (SaveDocument writes pspp's HTML output,
// tables and charts, as an RTF document: documents/html_to_rtf.h). The syntax
// file is named to pspp as in its own folder, so that message locations in
// every output read "a.sps:8: ...".
// Each output format costs pspp time of its own, so pspp is asked only for
// the output that will be written: for kind 0 the
// first syntax file produces both SPV and text, and later files produce what
// the previous document was written as (SPV after SaveDocument, text after
// ExportText). Text wanted from an SPV-only document is converted with
// pspp-output; a Viewer document wanted after the engine has switched to text
// is a failure, since the syntax file cannot be run again. pspp's exit
// status 1 means errors inside the syntax file: its output holds them, and
// LastSyntaxReport says so, with the first of them.
#pragma once

#include "batch/statistics_engine.h"

#include <QProcessEnvironment>

#include <chrono>
#include <memory>
#include <string>

namespace kalvero {

class PsppEngineFactory : public EngineFactory {
public:
    // A timeLimit above zero ends a syntax file still running after that long,
    // never earlier (RunSyntaxFile then throws EngineTimedOut).
    explicit PsppEngineFactory(std::chrono::milliseconds timeLimit = {}) : timeLimit_(timeLimit) {}
    // Fails, saying what is missing, without pspp or the supervisor
    // kalvero-supervise (system/supervisor.h).
    std::unique_ptr<EngineApplication> CreateObject(const std::string& progId) override;

private:
    std::chrono::milliseconds timeLimit_;
};

// The environment pspp runs in: the given one, but with a UTF-8 character
// type when its locale is not UTF-8 (pspp reads syntax files by the locale,
// and under cron the locale is often "C").
QProcessEnvironment PsppEnvironment(QProcessEnvironment environment);

// Gives this program the environment of PsppEnvironment, before Qt starts
// (which would otherwise warn about the locale and switch it by itself).
void UseUtf8Locale();

} // namespace kalvero
