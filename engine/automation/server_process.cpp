#include "engine/automation/server_process.h"

#include "engine/automation/com_support.h"

#include <objbase.h>
#include <tlhelp32.h>

#include <cstring>
#include <cwctype>

namespace kalvero::automation {
namespace {

// A standard OBJREF: "MEOW", flags, IID, then STDOBJREF (flags, public
// references, OXID, OID, IPID); the IPID's Data3 holds the process id.
constexpr std::size_t kSignatureSize = 4;
constexpr std::size_t kIpidData3Offset = 4 + 4 + 16 + 4 + 4 + 8 + 8 + 6;
constexpr ULONG kObjrefSignature = 0x574F454D;
constexpr ULONG kObjrefStandard = 1;

// The low 16 bits of the serving process's id; -1 when proxy has no
// standard OBJREF.
long ServerIdBits(IUnknown* proxy) {
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Receive())))
        return -1;
    if (FAILED(CoMarshalInterface(stream.Get(), IID_IUnknown, proxy, MSHCTX_LOCAL, nullptr,
                                  MSHLFLAGS_NORMAL)))
        return -1;
    long bits = -1;
    HGLOBAL memory = nullptr;
    if (SUCCEEDED(GetHGlobalFromStream(stream.Get(), &memory)) &&
        GlobalSize(memory) >= kIpidData3Offset + 2) {
        const auto* bytes = static_cast<const unsigned char*>(GlobalLock(memory));
        ULONG signature = 0, flags = 0;
        USHORT data3 = 0;
        std::memcpy(&signature, bytes, sizeof signature);
        std::memcpy(&flags, bytes + kSignatureSize, sizeof flags);
        std::memcpy(&data3, bytes + kIpidData3Offset, sizeof data3);
        GlobalUnlock(memory);
        if (signature == kObjrefSignature && flags == kObjrefStandard)
            bits = data3;
    }
    // Normal marshal data holds a reference on the server's object until it
    // is unmarshaled once (Wine cannot release a proxy's marshal data any
    // other way): unmarshaling gives back this same proxy, released here.
    const LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ComPtr<IUnknown> same;
    CoUnmarshalInterface(stream.Get(), IID_IUnknown, same.ReceiveVoid());
    return bits;
}

bool SameName(const std::wstring& a, const wchar_t* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return i == a.size() && !b[i];
}

} // namespace

std::wstring LocalServerPath(const CLSID& server) {
    wchar_t clsid[40];
    StringFromGUID2(server, clsid, 40);
    const std::wstring key = std::wstring(L"CLSID\\") + clsid + L"\\LocalServer32";
    wchar_t command[2 * MAX_PATH];
    DWORD size = sizeof command;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, command,
                     &size) != ERROR_SUCCESS)
        return {};
    // "C:\Program Files\...\server.exe" /Automation, or the same unquoted.
    const std::wstring program(command);
    if (!program.empty() && program[0] == L'"')
        return program.substr(1, program.find(L'"', 1) - 1);
    return program.substr(0, program.find(L' '));
}

std::wstring LocalServerProgram(const CLSID& server) {
    const std::wstring path = LocalServerPath(server);
    return path.substr(path.find_last_of(L"\\/") + 1);
}

DWORD ServerProcessId(IUnknown* proxy, const std::wstring& program) {
    const long bits = ServerIdBits(proxy);
    if (bits < 0 || program.empty())
        return 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    DWORD found = 0;
    int candidates = 0;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if ((entry.th32ProcessID & 0xFFFF) == static_cast<DWORD>(bits) &&
            SameName(program, entry.szExeFile)) {
            found = entry.th32ProcessID;
            ++candidates;
        }
    }
    CloseHandle(snapshot);
    return candidates == 1 ? found : 0;
}

} // namespace kalvero::automation
