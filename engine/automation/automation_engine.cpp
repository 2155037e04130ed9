#include "engine/automation/automation_engine.h"

#include "engine/automation/com_support.h"
#include "engine/automation/engine_interfaces.h"
#include "engine/automation/wide_text.h"

#include <stdexcept>
#include <utility>

namespace kalvero {
namespace {

using automation::Bstr;
using automation::ComPtr;
using automation::SystemText;

// "RunSyntaxFile failed for C:\data\wave1.sps: Access is denied. (0x80070005)"
std::string FailureText(const std::string& operation, const std::string& syntaxFile,
                        const std::string& reason) {
    std::string text = operation + " failed";
    if (!syntaxFile.empty())
        text += " for " + syntaxFile;
    return text + ": " + reason;
}

void Check(HRESULT hr, const std::string& operation, const std::string& syntaxFile) {
    if (FAILED(hr))
        throw EngineError(FailureText(operation, syntaxFile, SystemText(hr)));
}

Bstr TextFor(const std::string& text, const std::string& operation, const std::string& syntaxFile) {
    try {
        return Bstr(text);
    } catch (const std::invalid_argument& notUtf8) {
        throw EngineError(FailureText(operation, syntaxFile, notUtf8.what()));
    }
}

class AutomationDocument : public EngineDocument {
public:
    AutomationDocument(ComPtr<IEngineDocument> document, std::string syntaxFile)
        : document_(std::move(document)), syntaxFile_(std::move(syntaxFile)) {}

    void SaveDocument(const std::string& path) override {
        const std::string operation = "SaveDocument to " + path;
        const Bstr target = TextFor(path, operation, syntaxFile_);
        Check(document_->SaveDocument(target.Get()), operation, syntaxFile_);
    }
    void ExportText(std::int32_t what, const std::string& path, std::int32_t option1,
                    std::int32_t option2) override {
        const std::string operation = "ExportText to " + path;
        const Bstr target = TextFor(path, operation, syntaxFile_);
        Check(document_->ExportText(what, target.Get(), option1, option2), operation, syntaxFile_);
    }
    void CloseDocument() override {
        Check(document_->CloseDocument(), "CloseDocument", syntaxFile_);
    }

private:
    ComPtr<IEngineDocument> document_;
    std::string syntaxFile_; // whose output the document holds
};

class AutomationSettings : public EngineSettings {
public:
    explicit AutomationSettings(ComPtr<IEngineSettings> settings)
        : settings_(std::move(settings)) {}
    void SetOutputKind(std::int32_t kind) override {
        Check(settings_->SetOutputKind(kind), "SetOutputKind " + std::to_string(kind), {});
    }

private:
    ComPtr<IEngineSettings> settings_;
};

class AutomationApplication : public EngineApplication {
public:
    explicit AutomationApplication(ComPtr<IEngineApplication> application)
        : application_(std::move(application)) {}

    std::shared_ptr<EngineSettings> GetSettings() override {
        ComPtr<IEngineSettings> settings;
        Check(application_->GetSettings(settings.Receive()), "GetSettings", {});
        Require(settings, "GetSettings");
        return std::make_shared<AutomationSettings>(std::move(settings));
    }
    void RunSyntaxFile(const std::string& name, bool flag) override {
        lastSyntaxFile_ = name;
        const Bstr file = TextFor(name, "RunSyntaxFile", name);
        const VARIANT_BOOL asked = flag ? VARIANT_TRUE : VARIANT_FALSE;
        Check(application_->RunSyntaxFile(file.Get(), asked), "RunSyntaxFile", name);
    }
    std::shared_ptr<EngineDocument> CurrentViewerDocument() override {
        ComPtr<IEngineDocument> document;
        Check(application_->CurrentViewerDocument(document.Receive()), "CurrentViewerDocument",
              lastSyntaxFile_);
        Require(document, "CurrentViewerDocument");
        return std::make_shared<AutomationDocument>(std::move(document), lastSyntaxFile_);
    }
    std::shared_ptr<EngineDocument> CurrentDraftDocument() override {
        ComPtr<IDispatch> object;
        Check(application_->CurrentDraftDocument(object.Receive()), "CurrentDraftDocument",
              lastSyntaxFile_);
        Require(object, "CurrentDraftDocument");
        ComPtr<IEngineDocument> document;
        Check(object->QueryInterface(__uuidof(IEngineDocument), document.ReceiveVoid()),
              "CurrentDraftDocument (asked for its document interface)", lastSyntaxFile_);
        return std::make_shared<AutomationDocument>(std::move(document), lastSyntaxFile_);
    }
    void QuitEngine() override { Check(application_->QuitEngine(), "QuitEngine", {}); }

private:
    // A call that succeeded but handed back no object.
    template <class Interface>
    void Require(const ComPtr<Interface>& object, const char* operation) {
        if (!object)
            throw EngineError(
                FailureText(operation, lastSyntaxFile_, "the engine returned nothing"));
    }

    ComPtr<IEngineApplication> application_;
    std::string lastSyntaxFile_;
};

std::string CreationFailure(const std::string& progId, const std::string& reason) {
    return "Cannot create the statistics engine " + progId + ": " + reason;
}

} // namespace

std::unique_ptr<EngineApplication>
AutomationEngineFactory::CreateObject(const std::string& progId) {
    const HRESULT com = automation::UseComOnThisThread();
    if (FAILED(com))
        throw EngineError(CreationFailure(progId, "COM cannot start: " + SystemText(com)));
    std::wstring wideProgId;
    try {
        wideProgId = automation::WideFromUtf8(progId);
    } catch (const std::invalid_argument& notUtf8) {
        throw EngineError(CreationFailure(progId, notUtf8.what()));
    }
    CLSID server;
    HRESULT hr = CLSIDFromProgID(wideProgId.c_str(), &server);
    if (FAILED(hr))
        throw EngineError(
            CreationFailure(progId, "no program is registered under that name; " + SystemText(hr)));
    ComPtr<IEngineApplication> application;
    hr = CoCreateInstance(server, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IEngineApplication),
                          application.ReceiveVoid());
    if (FAILED(hr))
        throw EngineError(CreationFailure(progId, SystemText(hr)));
    return std::make_unique<AutomationApplication>(std::move(application));
}

} // namespace kalvero
