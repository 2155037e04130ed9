// A fake of the statistics package's automation server, for the tests of
// the Windows target under Wine: a local COM server under the ProgID
// "SPSS.APPLICATION" and a class id of its own.
//
//   fake_automation_server /RegServer   registers the class, the ProgID and
//                                       the type library in this exe, whose
//                                       interfaces COM's standard marshaler
//                                       then carries
//   fake_automation_server -Embedding   (as COM starts it) serves one client
//                                       and ends when it has released every
//                                       object
//   fake_automation_server /Child       waits for good (a process the server
//                                       started, which must end with it)
//
// What it records and how it is made to fail: fake_journal.h.
#include "tests/windows_target/fake_server/fake_journal.h"
#include "tests/windows_target/fake_server/fake_objects.h"

#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace kalvero::fake {
namespace {

constexpr CLSID kFakeClsid = {
    0x8846CB43, 0xE2C2, 0x4B13, {0x8A, 0x1B, 0xD2, 0x72, 0xB0, 0x58, 0xBF, 0x1F}};
constexpr const wchar_t* kFakeClsidText = L"{8846CB43-E2C2-4B13-8A1B-D272B058BF1F}";
constexpr const wchar_t* kProgId = L"SPSS.APPLICATION";

class ApplicationFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The factory lives as long as the process.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        IUnknown* application = NewApplication();
        const HRESULT hr = application->QueryInterface(iid, object);
        application->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            CoAddRefServerProcess();
        else
            CoReleaseServerProcess();
        return S_OK;
    }
};

bool SetValue(const std::wstring& key, const std::wstring& value) {
    HKEY handle;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    const LONG result = RegSetValueExW(handle, nullptr, 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

int Register() {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const std::wstring classKey = std::wstring(L"CLSID\\") + kFakeClsidText;
    const bool registered =
        SetValue(std::wstring(kProgId) + L"\\CLSID", kFakeClsidText) &&
        SetValue(classKey, L"KALVERO fake statistics package") &&
        SetValue(classKey + L"\\LocalServer32", std::wstring(L"\"") + exe + L"\"") &&
        SetValue(classKey + L"\\ProgID", kProgId);
    if (!registered) {
        std::fprintf(stderr, "fake_automation_server: cannot write the registry\n");
        return 1;
    }
    ITypeLib* library = nullptr;
    const HRESULT hr = LoadTypeLibEx(exe, REGKIND_REGISTER, &library);
    if (FAILED(hr)) {
        std::fprintf(stderr, "fake_automation_server: cannot register the type library: 0x%08lX\n",
                     static_cast<unsigned long>(hr));
        return 1;
    }
    library->Release();
    return 0;
}

int Serve() {
    Journal("started " + std::to_string(GetCurrentProcessId()));
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return 1;
    static ApplicationFactory factory;
    DWORD cookie = 0;
    const HRESULT hr =
        CoRegisterClassObject(kFakeClsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &cookie);
    if (FAILED(hr)) {
        Journal("cannot register the class object");
        CoUninitialize();
        return 1;
    }
    WaitUntilAllReleased();
    CoRevokeClassObject(cookie);
    CoUninitialize();
    return 0;
}

} // namespace
} // namespace kalvero::fake

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "/RegServer") == 0)
        return kalvero::fake::Register();
    if (argc > 1 && std::strcmp(argv[1], "/Child") == 0)
        Sleep(INFINITE);
    return kalvero::fake::Serve();
}
