#include "tests/windows_target/fake_server/fake_objects.h"

#include "tests/windows_target/fake_server/fake_journal.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <string>
#include <utility>

namespace kalvero::fake {
namespace {

// Positions of the operations, counted from 0 with IUnknown's three and
// IDispatch's four entries included.
constexpr std::size_t kGetSettings = 8;
constexpr std::size_t kCurrentViewerDocument = 19;
constexpr std::size_t kRunSyntaxFile = 22;
constexpr std::size_t kQuitEngine = 24;
constexpr std::size_t kCurrentDraftDocument = 33;
constexpr std::size_t kSetOutputKind = 72;
constexpr std::size_t kCloseDocument = 32;
constexpr std::size_t kExportText = 66;
constexpr std::size_t kSaveDocument = 67;

constexpr IID kApplicationIid = {
    0xD5AC05E0, 0xF84C, 0x11CE, {0xAF, 0x2E, 0x00, 0x00, 0xC0, 0x7A, 0xBC, 0x0D}};
constexpr IID kSettingsIid = {
    0x816A7DB0, 0x707B, 0x11CF, {0xAF, 0xA7, 0x00, 0x00, 0xC0, 0x7A, 0xBC, 0x0D}};
constexpr IID kDocumentIid = {
    0xAD3AD1B0, 0x33E2, 0x11CE, {0xBD, 0x75, 0x00, 0xAA, 0x00, 0x59, 0x03, 0x3A}};

enum class Kind { Application, Settings, ViewerDocument, DraftDocument };

using Slot = void (*)();

struct FakeObject {
    const Slot* methods;
    std::atomic<ULONG> references{1};
    Kind kind;
    std::wstring syntaxFile; // documents: whose output they hold
};

HANDLE AllReleased() {
    static HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

const char* InterfaceName(Kind kind) {
    switch (kind) {
    case Kind::Application:
        return "IEngineApplication";
    case Kind::Settings:
        return "IEngineSettings";
    default:
        return "IEngineDocument";
    }
}

const IID& OwnIid(Kind kind) {
    return kind == Kind::Application ? kApplicationIid
           : kind == Kind::Settings  ? kSettingsIid
                                     : kDocumentIid;
}

template <class Function> Slot AsSlot(Function function) {
    return reinterpret_cast<Slot>(function);
}

HRESULT STDMETHODCALLTYPE QueryInterface(FakeObject* self, REFIID iid, void** object) {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == OwnIid(self->kind)) {
        ++self->references;
        *object = self;
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE AddRef(FakeObject* self) {
    return ++self->references;
}

ULONG STDMETHODCALLTYPE Release(FakeObject* self) {
    const ULONG left = --self->references;
    if (left == 0) {
        delete self;
        if (CoReleaseServerProcess() == 0) {
            Journal("ended");
            SetEvent(AllReleased());
        }
    }
    return left;
}

// Every position the runs never call, IDispatch's included.
template <std::size_t Position> HRESULT STDMETHODCALLTYPE Unused(FakeObject* self) {
    Journal(std::string(InterfaceName(self->kind)) + " slot " + std::to_string(Position));
    return E_NOTIMPL;
}

FakeObject* NewObject(Kind kind, std::wstring syntaxFile = {});

std::wstring lastSyntaxFile; // of the one application of this process

HRESULT STDMETHODCALLTYPE GetSettings(FakeObject*, FakeObject** settings) {
    *settings = nullptr;
    const HRESULT planned = Call("GetSettings", "");
    if (FAILED(planned))
        return planned;
    *settings = NewObject(Kind::Settings);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RunSyntaxFile(FakeObject*, BSTR name, VARIANT_BOOL flag) {
    lastSyntaxFile = name ? name : L"";
    return Call("RunSyntaxFile", Utf8(name) + ", " + std::to_string(flag));
}

HRESULT TakeDocument(const char* operation, Kind kind, FakeObject** document) {
    *document = nullptr;
    const HRESULT planned = Call(operation, "");
    if (FAILED(planned))
        return planned;
    *document = NewObject(kind, lastSyntaxFile);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CurrentViewerDocument(FakeObject*, FakeObject** document) {
    return TakeDocument("CurrentViewerDocument", Kind::ViewerDocument, document);
}

HRESULT STDMETHODCALLTYPE CurrentDraftDocument(FakeObject*, FakeObject** document) {
    return TakeDocument("CurrentDraftDocument", Kind::DraftDocument, document);
}

HRESULT STDMETHODCALLTYPE QuitEngine(FakeObject*) {
    return Call("QuitEngine", "");
}

HRESULT STDMETHODCALLTYPE SetOutputKind(FakeObject*, long kind) {
    return Call("SetOutputKind", std::to_string(kind));
}

// Writes a recognisable output file: what it is and whose output it holds.
HRESULT WriteOutput(BSTR path, const std::string& what, const std::wstring& syntaxFile) {
    HANDLE file = CreateFileW(path ? path : L"", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return HRESULT_FROM_WIN32(GetLastError());
    const std::string text = what + "\r\n" + Utf8(syntaxFile.c_str()) + "\r\n";
    DWORD written = 0;
    const BOOL wrote =
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    const DWORD error = GetLastError();
    CloseHandle(file);
    return wrote && written == text.size() ? S_OK : HRESULT_FROM_WIN32(error);
}

HRESULT STDMETHODCALLTYPE SaveDocument(FakeObject* self, BSTR path) {
    const HRESULT planned = Call("SaveDocument", Utf8(path));
    if (planned != S_OK)
        return FAILED(planned) ? planned : S_OK;
    const bool draft = self->kind == Kind::DraftDocument;
    return WriteOutput(
        path, draft ? "{\\rtf1 KALVERO fake Draft document}" : "KALVERO fake Viewer document",
        self->syntaxFile);
}

HRESULT STDMETHODCALLTYPE ExportText(FakeObject* self, long what, BSTR path, long option1,
                                     long option2) {
    const HRESULT planned =
        Call("ExportText", std::to_string(what) + ", " + Utf8(path) + ", " +
                               std::to_string(option1) + ", " + std::to_string(option2));
    if (planned != S_OK)
        return FAILED(planned) ? planned : S_OK;
    return WriteOutput(path, "KALVERO fake Text export", self->syntaxFile);
}

HRESULT STDMETHODCALLTYPE CloseDocument(FakeObject*) {
    return Call("CloseDocument", "");
}

template <std::size_t Size, std::size_t... Position>
std::array<Slot, Size> UnusedSlots(std::index_sequence<Position...>) {
    return {AsSlot(&Unused<Position>)...};
}

// A method table of Size entries: IUnknown's, then the operations at their
// positions, every other entry unused.
template <std::size_t Size>
std::array<Slot, Size> MethodTable(std::initializer_list<std::pair<std::size_t, Slot>> operations) {
    std::array<Slot, Size> table = UnusedSlots<Size>(std::make_index_sequence<Size>());
    table[0] = AsSlot(&QueryInterface);
    table[1] = AsSlot(&AddRef);
    table[2] = AsSlot(&Release);
    for (const auto& [position, operation] : operations)
        table[position] = operation;
    return table;
}

const Slot* MethodsOf(Kind kind) {
    static const auto application = MethodTable<kCurrentDraftDocument + 1>(
        {{kGetSettings, AsSlot(&GetSettings)},
         {kCurrentViewerDocument, AsSlot(&CurrentViewerDocument)},
         {kRunSyntaxFile, AsSlot(&RunSyntaxFile)},
         {kQuitEngine, AsSlot(&QuitEngine)},
         {kCurrentDraftDocument, AsSlot(&CurrentDraftDocument)}});
    static const auto settings =
        MethodTable<kSetOutputKind + 1>({{kSetOutputKind, AsSlot(&SetOutputKind)}});
    static const auto document =
        MethodTable<kSaveDocument + 1>({{kCloseDocument, AsSlot(&CloseDocument)},
                                        {kExportText, AsSlot(&ExportText)},
                                        {kSaveDocument, AsSlot(&SaveDocument)}});
    switch (kind) {
    case Kind::Application:
        return application.data();
    case Kind::Settings:
        return settings.data();
    default:
        return document.data();
    }
}

FakeObject* NewObject(Kind kind, std::wstring syntaxFile) {
    CoAddRefServerProcess();
    auto* object = new FakeObject{MethodsOf(kind), {1}, kind, std::move(syntaxFile)};
    return object;
}

} // namespace

IUnknown* NewApplication() {
    return reinterpret_cast<IUnknown*>(NewObject(Kind::Application));
}

void WaitUntilAllReleased() {
    WaitForSingleObject(AllReleased(), INFINITE);
}

} // namespace kalvero::fake
