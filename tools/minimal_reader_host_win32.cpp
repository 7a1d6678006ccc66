// The reference for what hosting the reader control costs: the least a reader program is (COM in
// a single-threaded apartment, the control MSRLib.MSR opened as "ZANKeyboardWedge", claimed and
// enabled, its events connected to a sink that takes them, one hidden window and one icon), built
// with the program's static build flags. The wedge benchmark starts it the same way as the program
// and the minimal tray program. Its icon appears once the reader is enabled; a step that fails
// ends it without an icon, its exit code naming the step. It ends when its window is asked to
// close (WM_CLOSE), removing its icon and closing the reader first.

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <shellapi.h>

namespace {

NOTIFYICONDATAW g_icon{};
IDispatch* g_reader = nullptr;
IConnectionPoint* g_point = nullptr;
DWORD g_cookie = 0;
IID g_events = IID_NULL;

// A member's number: by name where the control answers names, else MSRLib.MSR's own (it answers
// none).
DISPID Id(const wchar_t* name, DISPID msrlib) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = DISPID_UNKNOWN;
  return SUCCEEDED(g_reader->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) ? id : msrlib;
}

// A method call (arg may be null), property put or get on the reader; false when COM refuses it.
bool Invoke(const wchar_t* name, DISPID msrlib, WORD flags, VARIANT* arg, VARIANT* result = nullptr) {
  DISPID put = DISPID_PROPERTYPUT;
  const bool is_put = flags == DISPATCH_PROPERTYPUT;
  DISPPARAMS params{arg, is_put ? &put : nullptr, arg ? 1u : 0u, is_put ? 1u : 0u};
  VARIANT ignored;
  VariantInit(&ignored);
  const HRESULT hr = g_reader->Invoke(Id(name, msrlib), IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                      result ? result : &ignored, nullptr, nullptr);
  VariantClear(&ignored);
  return SUCCEEDED(hr);
}

// The call went through and the control's ResultCode is success.
bool Done(bool called) {
  VARIANT code;
  VariantInit(&code);
  return called && Invoke(L"ResultCode", 6, DISPATCH_PROPERTYGET, nullptr, &code) &&
         SUCCEEDED(VariantChangeType(&code, &code, 0, VT_I4)) && code.lVal == 0;
}

bool SetOn(const wchar_t* name, DISPID msrlib) {
  VARIANT on;
  on.vt = VT_BOOL;
  on.boolVal = VARIANT_TRUE;
  return Done(Invoke(name, msrlib, DISPATCH_PROPERTYPUT, &on));
}

// Takes the reader's events: after a card, data events are enabled again (the control turns them
// off with each one). Lives as long as the process, so it counts no references.
class Sink final : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, g_events)) {
      *object = static_cast<IDispatch*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  // E_NOTIMPL tells a control that asks for an event's number by name to use its own.
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    if (id == 1) SetOn(L"DataEventEnabled", 3);  // DataEvent
    return S_OK;
  }
};

Sink g_sink;

// 0, or the step that failed: 3 create, 4 connect, 5 open, 6 claim, 7 enable.
int StartReader() {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(L"MSRLib.MSR", &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&g_reader)))) {
    return 3;
  }
  IProvideClassInfo2* info = nullptr;
  IConnectionPointContainer* container = nullptr;
  bool connected = SUCCEEDED(g_reader->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&info))) &&
                   SUCCEEDED(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &g_events)) &&
                   SUCCEEDED(g_reader->QueryInterface(IID_IConnectionPointContainer,
                                                      reinterpret_cast<void**>(&container))) &&
                   SUCCEEDED(container->FindConnectionPoint(g_events, &g_point)) &&
                   SUCCEEDED(g_point->Advise(&g_sink, &g_cookie));
  if (info) info->Release();
  if (container) container->Release();
  if (!connected) return 4;
  VARIANT device;
  device.vt = VT_BSTR;
  device.bstrVal = SysAllocString(L"ZANKeyboardWedge");
  const bool opened = Done(Invoke(L"Open", 34, DISPATCH_METHOD, &device));
  VariantClear(&device);
  if (!opened) return 5;
  VARIANT timeout;
  timeout.vt = VT_I4;
  timeout.lVal = 1000;
  if (!Done(Invoke(L"ClaimDevice", 36, DISPATCH_METHOD, &timeout))) return 6;
  if (!SetOn(L"DeviceEnabled", 4) || !SetOn(L"DataEventEnabled", 3)) return 7;
  return 0;
}

void StopReader() {
  if (g_point) {
    g_point->Unadvise(g_cookie);
    g_point->Release();
    g_point = nullptr;
  }
  if (g_reader) {
    Invoke(L"Close", 35, DISPATCH_METHOD, nullptr);
    g_reader->Release();
    g_reader = nullptr;
  }
}

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLOSE:
      Shell_NotifyIconW(NIM_DELETE, &g_icon);
      StopReader();
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.lpszClassName = L"ZanMinimalReaderHost";
  if (!RegisterClassW(&wc)) return 1;
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"ZAN minimal reader host", WS_OVERLAPPEDWINDOW,
                              CW_USEDEFAULT, CW_USEDEFAULT, 200, 100, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
  if (const int failed = StartReader()) {
    StopReader();
    CoUninitialize();
    return failed;
  }
  g_icon.cbSize = sizeof(g_icon);
  g_icon.hWnd = hwnd;
  g_icon.uID = 1;
  g_icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  g_icon.uCallbackMessage = WM_APP;
  g_icon.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  lstrcpynW(g_icon.szTip, L"minimal reader host", ARRAYSIZE(g_icon.szTip));
  Shell_NotifyIconW(NIM_ADD, &g_icon);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  CoUninitialize();
  return 0;
}
