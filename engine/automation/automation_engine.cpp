#include "engine/automation/automation_engine.h"

#include "engine/automation/automation_server.h"
#include "engine/automation/com_support.h"
#include "system/windows/pending_output.h"
#include "system/windows/wide_text.h"

#include <optional>
#include <stdexcept>
#include <utility>

namespace kalvero {
namespace {

using automation::AutomationServer;
using automation::Bstr;
using automation::ComPtr;
using automation::CreationFailure;

Bstr TextFor(const std::string& text, const std::string& operation, const std::string& syntaxFile) {
    try {
        return Bstr(text);
    } catch (const std::invalid_argument& notUtf8) {
        throw EngineError(operation + " failed for " + syntaxFile + ": " + notUtf8.what());
    }
}

// What the engine's objects share: the server in use, replaced by a new
// one after it was ended, and the output kind to set on each.
struct EngineLink {
    CLSID clsid;
    std::string progId;
    std::chrono::seconds timeLimit;
    std::shared_ptr<AutomationServer> server;
    std::optional<std::int32_t> outputKind;
};

class AutomationDocument : public EngineDocument {
public:
    AutomationDocument(std::shared_ptr<AutomationServer> server, ComPtr<IEngineDocument> document,
                       std::string syntaxFile)
        : server_(std::move(server)), document_(std::move(document)),
          syntaxFile_(std::move(syntaxFile)) {}

    void SaveDocument(const std::string& path) override {
        const std::string operation = "SaveDocument to " + path;
        PendingOutput output = Pending(path);
        const Bstr target = TextFor(output.TemporaryPath(), operation, syntaxFile_);
        server_->Call(operation, syntaxFile_,
                      [&] { return document_->SaveDocument(target.Get()); });
        Publish(output);
    }
    void ExportText(std::int32_t what, const std::string& path, std::int32_t option1,
                    std::int32_t option2) override {
        const std::string operation = "ExportText to " + path;
        PendingOutput output = Pending(path);
        const Bstr target = TextFor(output.TemporaryPath(), operation, syntaxFile_);
        server_->Call(operation, syntaxFile_,
                      [&] { return document_->ExportText(what, target.Get(), option1, option2); });
        Publish(output);
    }
    void CloseDocument() override {
        server_->Call("CloseDocument", syntaxFile_, [&] { return document_->CloseDocument(); });
        server_->EndSyntaxFile();
    }

private:
    // "Cannot write C:\data\wave1.spo: reason", as the engine's failure.
    static PendingOutput Pending(const std::string& path) {
        try {
            return PendingOutput(path);
        } catch (const std::runtime_error& failure) {
            throw EngineError(failure.what());
        }
    }
    static void Publish(PendingOutput& output) {
        try {
            output.Commit();
        } catch (const std::runtime_error& failure) {
            throw EngineError(failure.what());
        }
    }

    std::shared_ptr<AutomationServer> server_;
    ComPtr<IEngineDocument> document_;
    std::string syntaxFile_; // whose output the document holds
};

// Takes the settings object of the link's server and sets the output kind
// on it, if one was set before.
void TakeSettings(EngineLink& link) {
    AutomationServer& server = *link.server;
    server.Call("GetSettings", {},
                [&] { return server.Application()->GetSettings(server.Settings().Receive()); });
    if (!server.Settings())
        throw EngineError("GetSettings failed: the engine returned nothing");
    if (link.outputKind)
        server.Call("SetOutputKind " + std::to_string(*link.outputKind), {},
                    [&] { return server.Settings()->SetOutputKind(*link.outputKind); });
}

class AutomationSettings : public EngineSettings {
public:
    explicit AutomationSettings(std::shared_ptr<EngineLink> link) : link_(std::move(link)) {}
    void SetOutputKind(std::int32_t kind) override {
        AutomationServer& server = *link_->server;
        server.Call("SetOutputKind " + std::to_string(kind), {},
                    [&] { return server.Settings()->SetOutputKind(kind); });
        link_->outputKind = kind;
    }

private:
    std::shared_ptr<EngineLink> link_;
};

class AutomationApplication : public EngineApplication {
public:
    explicit AutomationApplication(std::shared_ptr<EngineLink> link) : link_(std::move(link)) {}

    std::shared_ptr<EngineSettings> GetSettings() override {
        TakeSettings(*link_);
        return std::make_shared<AutomationSettings>(link_);
    }
    void RunSyntaxFile(const std::string& name, bool flag) override {
        lastSyntaxFile_ = name;
        const Bstr file = TextFor(name, "RunSyntaxFile", name);
        // A server ended by the time limit or a stop answers no more: the
        // next syntax file gets a server of its own.
        if (link_->server->Ended())
            StartAgain();
        AutomationServer& server = *link_->server;
        server.StartSyntaxFile(name);
        const VARIANT_BOOL asked = flag ? VARIANT_TRUE : VARIANT_FALSE;
        server.Call("RunSyntaxFile", name,
                    [&] { return server.Application()->RunSyntaxFile(file.Get(), asked); });
    }
    std::shared_ptr<EngineDocument> CurrentViewerDocument() override {
        AutomationServer& server = *link_->server;
        ComPtr<IEngineDocument> document;
        server.Call("CurrentViewerDocument", lastSyntaxFile_, [&] {
            return server.Application()->CurrentViewerDocument(document.Receive());
        });
        Require(document, "CurrentViewerDocument");
        return std::make_shared<AutomationDocument>(link_->server, std::move(document),
                                                    lastSyntaxFile_);
    }
    std::shared_ptr<EngineDocument> CurrentDraftDocument() override {
        AutomationServer& server = *link_->server;
        ComPtr<IDispatch> object;
        server.Call("CurrentDraftDocument", lastSyntaxFile_,
                    [&] { return server.Application()->CurrentDraftDocument(object.Receive()); });
        Require(object, "CurrentDraftDocument");
        ComPtr<IEngineDocument> document;
        server.Call(
            "CurrentDraftDocument (asked for its document interface)", lastSyntaxFile_, [&] {
                return object->QueryInterface(__uuidof(IEngineDocument), document.ReceiveVoid());
            });
        return std::make_shared<AutomationDocument>(link_->server, std::move(document),
                                                    lastSyntaxFile_);
    }
    void QuitEngine() override {
        AutomationServer& server = *link_->server;
        // A server that was ended has nothing left to quit.
        if (server.Ended())
            return;
        server.Call("QuitEngine", {}, [&] { return server.Application()->QuitEngine(); });
        server.Quit();
    }

private:
    // A call that succeeded but handed back no object.
    template <class Interface>
    void Require(const ComPtr<Interface>& object, const char* operation) {
        if (!object)
            throw EngineError(std::string(operation) + " failed for " + lastSyntaxFile_ +
                              ": the engine returned nothing");
    }

    void StartAgain() {
        link_->server.reset();
        link_->server =
            std::make_shared<AutomationServer>(link_->clsid, link_->progId, link_->timeLimit);
        TakeSettings(*link_);
    }

    std::shared_ptr<EngineLink> link_;
    std::string lastSyntaxFile_;
};

} // namespace

std::unique_ptr<EngineApplication>
AutomationEngineFactory::CreateObject(const std::string& progId) {
    const HRESULT com = automation::UseComOnThisThread();
    if (FAILED(com))
        throw EngineError(CreationFailure(progId, "COM cannot start: " + SystemText(com)));
    std::wstring wideProgId;
    try {
        wideProgId = WideFromUtf8(progId);
    } catch (const std::invalid_argument& notUtf8) {
        throw EngineError(CreationFailure(progId, notUtf8.what()));
    }
    auto link = std::make_shared<EngineLink>();
    const HRESULT hr = CLSIDFromProgID(wideProgId.c_str(), &link->clsid);
    if (FAILED(hr))
        throw EngineError(
            CreationFailure(progId, "no program is registered under that name; " + SystemText(hr)));
    link->progId = progId;
    link->timeLimit = std::chrono::seconds(timeLimitSeconds_);
    link->server = std::make_shared<AutomationServer>(link->clsid, progId, link->timeLimit);
    return std::make_unique<AutomationApplication>(std::move(link));
}

} // namespace kalvero
