// What the fake automation server records and the faults it is told to
// make, both shared by every object of the server.
//
// The journal (the file named by KALVERO_FAKE_JOURNAL, UTF-8) gets one line
// per call, written and closed before the call does anything, so that a
// server that hangs or dies leaves its last call behind:
//   started 1234                  the server's process id
//   child 1240                    a process it started (spawn-and-hang)
//   RunSyntaxFile(C:\d\a.sps, -1) a call with its arguments as received
//   IEngineDocument slot 40       a position the runs never call
//   ended                         the last object was released
//
// KALVERO_FAKE_FAULT = "<operation> <n> <action>" makes the n-th call (from
// 1, counted in the journal: over every server that writes to it) of that
// operation fail with the HRESULT action (0x80070005), "hang" for
// good, "spawn-and-hang" (start a process of its own that waits for good,
// then hang), "die" at once, or "silent": report success and do nothing, as
// a package that does not notice a full disk.
#pragma once

#include <windows.h>

#include <string>

namespace kalvero::fake {

std::string Utf8(const wchar_t* text);

// Writes line to the journal (if there is one).
void Journal(const std::string& line);

// Journals the call and carries out a fault planned for it: returns the
// HRESULT to fail with, S_FALSE when the call is to do nothing, or S_OK
// when it is to go ahead.
HRESULT Call(const std::string& operation, const std::string& arguments);

// Starts this program as a child that waits for good; journals its id.
void SpawnChild();

} // namespace kalvero::fake
