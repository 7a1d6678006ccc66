// The simulated reader's DLL entry points: class factory and self-registration.

#include <windows.h>
#include <olectl.h>

#include <string>

#include "sim_reader_win32.h"

namespace {

HINSTANCE g_module = nullptr;

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *object = this;
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // One static instance: counting would change nothing.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    static const bool registered = msr_sim::RegisterReaderWindowClass(g_module);
    if (!registered) return E_FAIL;
    return msr_sim::SimReader::Create(flavour_, riid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  explicit Factory(msr_sim::Flavour flavour) : flavour_(flavour) {}

 private:
  msr_sim::Flavour flavour_;
};

Factory g_msrlib_factory(msr_sim::Flavour::MsrLib);
Factory g_opos_factory(msr_sim::Flavour::Opos);

// The classes the DLL serves: each flavour of the reader under its own class and ProgID.
struct ClassEntry {
  const CLSID* clsid;
  const wchar_t* prog_id;
  const wchar_t* description;
};
constexpr ClassEntry kClasses[] = {
    {&msr_sim::kClsid, msr_sim::kProgId, L"ZAN simulated magnetic stripe reader (test only)"},
    {&msr_sim::kOposClsid, msr_sim::kOposProgId,
     L"ZAN simulated magnetic stripe reader, common control objects flavour (test only)"},
};

std::wstring GuidText(const GUID& guid) {
  wchar_t text[64];
  StringFromGUID2(guid, text, 64);
  return text;
}

class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  LSTATUS Create(HKEY parent, const std::wstring& path) {
    return RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key_, nullptr);
  }
  LSTATUS Set(const wchar_t* name, const std::wstring& value) {
    // REG_SZ sizes count the terminating NUL.
    return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }

 private:
  HKEY key_ = nullptr;
};

LSTATUS WriteKey(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
  Key key;
  LSTATUS status = key.Create(root, path);
  if (status == ERROR_SUCCESS) status = key.Set(name, value);
  return status;
}

LSTATUS Register(HKEY root) {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  for (const ClassEntry& entry : kClasses) {
    const std::wstring clsid = L"Software\\Classes\\CLSID\\" + GuidText(*entry.clsid);
    const std::wstring progid = std::wstring(L"Software\\Classes\\") + entry.prog_id;
    LSTATUS s = WriteKey(root, clsid, nullptr, entry.description);
    if (s == ERROR_SUCCESS) s = WriteKey(root, clsid + L"\\InprocServer32", nullptr, path);
    if (s == ERROR_SUCCESS) s = WriteKey(root, clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    if (s == ERROR_SUCCESS) s = WriteKey(root, clsid + L"\\ProgID", nullptr, entry.prog_id);
    if (s == ERROR_SUCCESS) s = WriteKey(root, progid, nullptr, entry.description);
    if (s == ERROR_SUCCESS) s = WriteKey(root, progid + L"\\CLSID", nullptr, GuidText(*entry.clsid));
    if (s != ERROR_SUCCESS) return s;
  }
  return ERROR_SUCCESS;
}

// The ProgID is one for both bitnesses' views of the classes; it stays while the other
// bitness's reader is still registered.
void Unregister(HKEY root) {
  for (const ClassEntry& entry : kClasses) {
    const std::wstring clsid = L"Software\\Classes\\CLSID\\" + GuidText(*entry.clsid);
    RegDeleteTreeW(root, clsid.c_str());
    const REGSAM other_view = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    HKEY other = nullptr;
    if (RegOpenKeyExW(root, clsid.c_str(), 0, KEY_READ | other_view, &other) == ERROR_SUCCESS) {
      RegCloseKey(other);
      continue;
    }
    RegDeleteTreeW(root, (std::wstring(L"Software\\Classes\\") + entry.prog_id).c_str());
  }
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualCLSID(clsid, msr_sim::kClsid)) return g_msrlib_factory.QueryInterface(riid, object);
  if (IsEqualCLSID(clsid, msr_sim::kOposClsid)) return g_opos_factory.QueryInterface(riid, object);
  return CLASS_E_CLASSNOTAVAILABLE;
}

// Readers may stay alive in windows and events of the process; the DLL stays loaded.
STDAPI DllCanUnloadNow() { return S_FALSE; }

// Machine-wide where allowed (and always under Wine, whose COM does not see per-user classes);
// per user when the user may not write the machine's classes.
STDAPI DllRegisterServer() {
  LSTATUS s = Register(HKEY_LOCAL_MACHINE);
  if (s == ERROR_ACCESS_DENIED) s = Register(HKEY_CURRENT_USER);
  return s == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
  Unregister(HKEY_LOCAL_MACHINE);
  Unregister(HKEY_CURRENT_USER);
  return S_OK;
}

}  // extern "C"
