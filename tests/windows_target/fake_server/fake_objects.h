// The fake statistics package's objects: the application, its settings and
// its output documents (Viewer or Draft).
//
// Each object is laid out as COM expects, its method table first, and the
// tables are built here from the positions of the package's interfaces,
// independently of the IDL the engine is compiled from: a position that is
// wrong on either side shows in the journal as another operation or as an
// unused slot. IDispatch's entries answer E_NOTIMPL.
#pragma once

#include <windows.h>

namespace kalvero::fake {

// A new application object with one reference, which the caller owns.
IUnknown* NewApplication();

// Waits until every object this process made has been released.
void WaitUntilAllReleased();

} // namespace kalvero::fake
