// The positions of the operations in their interfaces' method tables,
// counted from 0 with IUnknown's three and IDispatch's four entries: checked
// against the C layout of the interfaces that the IDL compiler generates.
#define CINTERFACE
#include "engine/automation/engine_interfaces.h"

#include <cstddef>

namespace {

constexpr std::size_t Position(std::size_t offset) {
    return offset / sizeof(void*);
}

static_assert(Position(offsetof(IEngineApplicationVtbl, QueryInterface)) == 0);
static_assert(Position(offsetof(IEngineApplicationVtbl, Invoke)) == 6);
static_assert(Position(offsetof(IEngineApplicationVtbl, GetSettings)) == 8);
static_assert(Position(offsetof(IEngineApplicationVtbl, CurrentViewerDocument)) == 19);
static_assert(Position(offsetof(IEngineApplicationVtbl, RunSyntaxFile)) == 22);
static_assert(Position(offsetof(IEngineApplicationVtbl, QuitEngine)) == 24);
static_assert(Position(offsetof(IEngineApplicationVtbl, CurrentDraftDocument)) == 33);
static_assert(Position(offsetof(IEngineSettingsVtbl, SetOutputKind)) == 72);
static_assert(Position(offsetof(IEngineDocumentVtbl, CloseDocument)) == 32);
static_assert(Position(offsetof(IEngineDocumentVtbl, ExportText)) == 66);
static_assert(Position(offsetof(IEngineDocumentVtbl, SaveDocument)) == 67);

} // namespace
