#include "sim_reader_win32.h"

#include <olectl.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "card_fields.h"

namespace msr_sim {
namespace {

constexpr UINT kDeliverMessage = WM_APP + 1;
constexpr UINT kRaiseMessage = WM_APP + 2;  // wParam: the event to raise; lParam: its number
constexpr std::int32_t kPowerOnline = 2001, kPowerOffOffline = 2004;
constexpr std::int32_t kNoHardware = 107, kFailure = 111;

// OPOS result codes the simulated reader gives.
constexpr std::int32_t kSuccess = 0, kClosed = 101, kNotClaimed = 103, kNoService = 104,
                       kIllegal = 106, kNoExist = 109;

// OPOS event dispatch identifiers, and the names the common control objects ask for them by.
constexpr DISPID kDataEvent = 1, kErrorEvent = 3;
const wchar_t* EventName(DISPID id) {
  switch (id) {
    case 1: return L"DataEvent";
    case 2: return L"DirectIOEvent";
    case 3: return L"ErrorEvent";
    case 4: return L"OutputCompleteEvent";
    case 5: return L"StatusUpdateEvent";
    default: return L"";
  }
}

// An error event's arguments for a swipe that could not be read: OPOS_E_EXTENDED with the
// reader's LRC error, on input, and the response "clear" that the control suggests.
constexpr std::int32_t kExtended = 114, kLrcError = 204, kLocusInput = 2, kResponseClear = 12;

struct Number {
  Member member;
  DISPID id;
  const wchar_t* name;
};

// MSRLib.MSR's numbers. It answers no name (but two with the "health" option).
constexpr Number kMsrLibNumbers[] = {
    {Member::DataEventEnabled, 3, nullptr}, {Member::DeviceEnabled, 4, nullptr},
    {Member::ResultCode, 6, nullptr},       {Member::ResultCodeExtended, 7, nullptr},
    {Member::Track1, 21, nullptr},          {Member::Track2, 22, nullptr},
    {Member::Track3, 23, nullptr},          {Member::Account, 24, nullptr},
    {Member::Expiration, 25, nullptr},      {Member::ServiceCode, 26, nullptr},
    {Member::FirstName, 27, nullptr},       {Member::MiddleInitial, 28, nullptr},
    {Member::Surname, 29, nullptr},         {Member::Open, 34, nullptr},
    {Member::Close, 35, nullptr},           {Member::Claim, 36, nullptr},
    {Member::Release, 37, nullptr},         {Member::NumericSetting, 46, nullptr},
    {Member::SwipeTime, kDispSwipeTime, nullptr},
    // Only with the "health" option, by name.
    {Member::CheckHealth, 51, L"CheckHealth"}, {Member::State, 52, L"State"},
};

// The common control objects' numbers and names. Where MSRLib.MSR has its members, these have
// others: 34 is nothing, 36 is DirectIO, 3 and 4 are methods of their own, 27 to 29 descriptions,
// 46 a firmware method.
constexpr Number kOposNumbers[] = {
    {Member::OtherMethod, 3, L"SOData"},
    {Member::OtherMethod, 4, L"SODirectIO"},
    {Member::AutoDisable, 10, L"AutoDisable"},
    {Member::BinaryConversion, 11, L"BinaryConversion"},
    {Member::CapPowerReporting, 12, L"CapPowerReporting"},
    {Member::DataCount, 15, L"DataCount"},
    {Member::DataEventEnabled, 16, L"DataEventEnabled"},
    {Member::DeviceEnabled, 17, L"DeviceEnabled"},
    {Member::FreezeEvents, 18, L"FreezeEvents"},
    {Member::PowerNotify, 20, L"PowerNotify"},
    {Member::PowerState, 21, L"PowerState"},
    {Member::ResultCode, 22, L"ResultCode"},
    {Member::ResultCodeExtended, 23, L"ResultCodeExtended"},
    {Member::State, 24, L"State"},
    {Member::Description, 27, L"ControlObjectDescription"},
    {Member::Description, 28, L"ControlObjectVersion"},
    {Member::Description, 29, L"ServiceObjectDescription"},
    {Member::CheckHealth, 31, L"CheckHealth"},
    {Member::Claim, 32, L"ClaimDevice"},
    {Member::Close, 35, L"Close"},
    {Member::DirectIO, 36, L"DirectIO"},
    {Member::Open, 37, L"Open"},
    {Member::Release, 38, L"ReleaseDevice"},
    {Member::OtherMethod, 46, L"CompareFirmwareVersion"},
    {Member::Account, 50, L"AccountNumber"},
    {Member::DecodeData, 54, L"DecodeData"},
    {Member::Expiration, 56, L"ExpirationDate"},
    {Member::FirstName, 57, L"FirstName"},
    {Member::MiddleInitial, 58, L"MiddleInitial"},
    {Member::ParseDecodeData, 59, L"ParseDecodeData"},
    {Member::ServiceCode, 62, L"ServiceCode"},
    {Member::Surname, 63, L"Surname"},
    {Member::Track1, 65, L"Track1Data"},
    {Member::Track2, 67, L"Track2Data"},
    {Member::Track3, 69, L"Track3Data"},
    {Member::TransmitSentinels, 73, L"TransmitSentinels"},
    // UPOS 1.12's, numbered as this control pleases: its clients ask for them by name.
    {Member::SecurityInfo, 80, L"AdditionalSecurityInformation"},
    {Member::CapDataEncryption, 81, L"CapDataEncryption"},
    {Member::CardType, 82, L"CardType"},
    {Member::DataEncryptionAlgorithm, 83, L"DataEncryptionAlgorithm"},
    {Member::Track1Encrypted, 84, L"Track1EncryptedData"},
    {Member::Track2Encrypted, 85, L"Track2EncryptedData"},
    {Member::Track3Encrypted, 86, L"Track3EncryptedData"},
    {Member::SwipeTime, kDispSwipeTime, nullptr},
};

template <std::size_t N>
Member Find(const Number (&numbers)[N], DISPID id) {
  for (const Number& number : numbers) {
    if (number.id == id) return number.member;
  }
  return Member::None;
}

bool IsMethod(Member m) {
  return m == Member::Open || m == Member::Close || m == Member::Claim || m == Member::Release ||
         m == Member::CheckHealth || m == Member::DirectIO || m == Member::OtherMethod;
}

bool IsWritable(Member m) {
  switch (m) {
    case Member::DataEventEnabled: case Member::DeviceEnabled: case Member::NumericSetting:
    case Member::DecodeData: case Member::ParseDecodeData: case Member::TransmitSentinels:
    case Member::FreezeEvents: case Member::AutoDisable: case Member::PowerNotify:
    case Member::BinaryConversion:
      return true;
    default:
      return false;
  }
}

// The made-up encrypted data of a track: its bytes, padded with zeros to whole 8-byte blocks (as
// triple DES gives), XORed with a fixed pattern. Not encryption: only as long as a real reader's
// and the same for the same track.
std::wstring MadeUpBlocks(const std::wstring& track) {
  static const unsigned char kPattern[8] = {0x5a, 0xc3, 0x96, 0x3c, 0xa5, 0x69, 0x0f, 0xf0};
  std::wstring out;
  for (std::size_t i = 0; i < (track.size() + 7) / 8 * 8; ++i) {
    out += static_cast<wchar_t>((i < track.size() ? track[i] & 0xFF : 0) ^ kPattern[i % 8]);
  }
  return out;
}

// Bytes (one character each) as a binary property gives them under BinaryConversion: 0 as they
// are, 1 two characters a byte ('0' plus each nibble, high first), 2 three decimal digits a byte.
std::wstring Converted(const std::wstring& bytes, std::int32_t conversion) {
  if (conversion == 0) return bytes;
  std::wstring out;
  for (wchar_t c : bytes) {
    const int b = c & 0xFF;
    if (conversion == 1) {
      out += {static_cast<wchar_t>(L'0' + (b >> 4)), static_cast<wchar_t>(L'0' + (b & 0xF))};
    } else {
      out += {static_cast<wchar_t>(L'0' + b / 100), static_cast<wchar_t>(L'0' + b / 10 % 10),
              static_cast<wchar_t>(L'0' + b % 10)};
    }
  }
  return out;
}

std::wstring ArgText(VARIANT& v) {
  VARIANT copy;
  VariantInit(&copy);
  std::wstring text;
  const VARTYPE base = v.vt & ~VT_BYREF;
  if (base == VT_BOOL && SUCCEEDED(VariantChangeType(&copy, &v, 0, VT_BOOL))) {
    text = copy.boolVal ? L"true" : L"false";
  } else if (base == VT_BSTR && SUCCEEDED(VariantChangeType(&copy, &v, 0, VT_BSTR))) {
    text = L"\"" + std::wstring(copy.bstrVal ? copy.bstrVal : L"") + L"\"";
  } else if (SUCCEEDED(VariantChangeType(&copy, &v, 0, VT_I4))) {
    text = std::to_wstring(copy.lVal);
  } else {
    text = L"vt" + std::to_wstring(v.vt);
  }
  VariantClear(&copy);
  return text;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

SimConfig ReadConfig() {
  SimConfig config;
  wchar_t path[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(kConfigVariable, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return config;
  FILE* file = _wfopen(path, L"rb");
  if (!file) return config;
  char line[1024];
  while (std::fgets(line, sizeof line, file)) {
    wchar_t wide[1024];
    const int chars = MultiByteToWideChar(CP_UTF8, 0, line, -1, wide, 1024);
    if (chars > 0) config.Apply(wide);
  }
  std::fclose(file);
  return config;
}

LRESULT CALLBACK ReaderWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<SimReader*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return self ? self->OnMessage(hwnd, msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

HINSTANCE g_instance = nullptr;

// A message for the client's captioned top-level windows on the reader's thread (not for the
// hidden helper windows that OLE and the common controls keep there).
struct PostToClient {
  HWND own;
  UINT message;
  WPARAM wparam;
  static BOOL CALLBACK Each(HWND hwnd, LPARAM lp) {
    const auto* post = reinterpret_cast<const PostToClient*>(lp);
    if (hwnd != post->own && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CAPTION) == WS_CAPTION) {
      PostMessageW(hwnd, post->message, post->wparam, 0);
    }
    return TRUE;
  }
};

// Enumerates the reader's connection points.
class PointEnum final : public IEnumConnectionPoints {
 public:
  PointEnum(IConnectionPointContainer* owner, std::vector<IConnectionPoint*> points, ULONG pos)
      : owner_(owner), points_(std::move(points)), pos_(pos) {
    owner_->AddRef();
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumConnectionPoints)) {
      *object = this;
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = --refs_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** out, ULONG* fetched) override {
    ULONG n = 0;
    while (n < count && pos_ < points_.size()) {
      out[n] = points_[pos_++];
      out[n++]->AddRef();
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    pos_ += count;
    return pos_ <= points_.size() ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    pos_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** out) override {
    *out = new PointEnum(owner_, points_, pos_);
    return S_OK;
  }

 private:
  ~PointEnum() { owner_->Release(); }
  LONG refs_ = 1;
  IConnectionPointContainer* owner_;
  std::vector<IConnectionPoint*> points_;
  ULONG pos_;
};

}  // namespace

bool RegisterReaderWindowClass(HINSTANCE instance) {
  g_instance = instance;
  WNDCLASSW wc{};
  wc.lpfnWndProc = ReaderWindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = kWindowClass;
  return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HRESULT SimReader::Create(Flavour flavour, REFIID riid, void** object) {
  SimConfig config = ReadConfig();
  if (config.no_create) return E_FAIL;
  auto* reader = new SimReader(flavour, std::move(config));
  const HRESULT hr = reader->QueryInterface(riid, object);
  reader->Release();
  return hr;
}

SimReader::SimReader(Flavour flavour, SimConfig config)
    : flavour_(flavour),
      point_(*this, flavour == Flavour::Opos ? kOposEventsIid : kEventsIid),
      vtable_point_(*this, kVtableEventsIid),
      config_(std::move(config)),
      decode_data_(config_.decode_data),
      parse_decode_data_(config_.parse_decode_data),
      transmit_sentinels_(config_.transmit_sentinels),
      binary_conversion_(config_.binary_conversion) {
  // A hidden top-level window (not message-only) so that another process finds it by title.
  window_ = CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                            nullptr, g_instance, this);
}

SimReader::~SimReader() {
  if (raising_ > 0) {
    // Only a client that lets the reader go from inside the reader's own event gets here: a
    // real control would now return into freed memory. Make that visible, every time.
    Journal(L"freed inside its own event", 0, nullptr);
    TerminateProcess(GetCurrentProcess(), kFreedInEventExitCode);
  }
  for (Point* point : {&notify_point_, &vtable_point_, &point_}) {
    for (auto& sink : point->sinks) sink.second->Release();
  }
  if (window_) DestroyWindow(window_);
  if (helper_) FreeLibrary(helper_);
}

HRESULT SimReader::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
    *object = static_cast<IDispatch*>(this);
  } else if (IsEqualIID(riid, IID_IConnectionPointContainer)) {
    *object = static_cast<IConnectionPointContainer*>(this);
  } else if (!config_.no_class_info &&
             (IsEqualIID(riid, IID_IProvideClassInfo2) || IsEqualIID(riid, IID_IProvideClassInfo))) {
    *object = static_cast<IProvideClassInfo2*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG SimReader::AddRef() { return static_cast<ULONG>(++refs_); }

ULONG SimReader::Release() {
  const LONG left = --refs_;
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT SimReader::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return S_OK;
}
// Only a control with a vtable point has type information, the coclass's, whose library
// describes that point's interface.
HRESULT SimReader::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (!config_.vtable_point || !config_.no_default_source) return E_NOTIMPL;
  return ClassTypeInfo(info);
}
HRESULT SimReader::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  const bool msrlib = flavour_ == Flavour::MsrLib;
  if (msrlib && !config_.msrlib_health) return E_NOTIMPL;
  if (!names || !ids) return E_POINTER;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    const auto find = [&](const auto& numbers) {
      for (const Number& number : numbers) {
        if (number.name && names[i] && lstrcmpiW(number.name, names[i]) == 0 && !Hidden(number.member)) {
          ids[i] = number.id;
        }
      }
    };
    if (msrlib) {
      find(kMsrLibNumbers);
    } else {
      find(kOposNumbers);
    }
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT SimReader::GetClassInfo(ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (!config_.no_default_source) return E_NOTIMPL;
  return ClassTypeInfo(info);
}

// A coclass that implements nothing, so no default source to find in it; with a vtable point,
// its library also holds that point's interface, as TKIND_INTERFACE.
HRESULT SimReader::ClassTypeInfo(ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  ICreateTypeLib2* library = nullptr;
  HRESULT hr = CreateTypeLib2(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, L"zan_sim.tlb", &library);
  if (FAILED(hr)) return hr;
  ICreateTypeInfo* coclass = nullptr;
  hr = library->CreateTypeInfo(const_cast<LPOLESTR>(L"Reader"), TKIND_COCLASS, &coclass);
  if (SUCCEEDED(hr)) hr = coclass->SetGuid(point_.iid() == kEventsIid ? kClsid : kOposClsid);
  if (SUCCEEDED(hr)) hr = coclass->LayOut();
  if (SUCCEEDED(hr) && config_.vtable_point) {
    ICreateTypeInfo* vtable = nullptr;
    hr = library->CreateTypeInfo(const_cast<LPOLESTR>(L"ReaderNotify"), TKIND_INTERFACE, &vtable);
    if (SUCCEEDED(hr)) hr = vtable->SetGuid(kVtableEventsIid);
    if (SUCCEEDED(hr)) hr = vtable->LayOut();
    if (vtable) vtable->Release();
  }
  if (SUCCEEDED(hr)) hr = coclass->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(info));
  if (coclass) coclass->Release();
  library->Release();
  return hr;
}

HRESULT SimReader::GetGUID(DWORD kind, GUID* guid) {
  if (!guid) return E_POINTER;
  if (config_.no_default_source) return E_FAIL;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
  *guid = point_.iid();
  return S_OK;
}

HRESULT SimReader::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (!points) return E_POINTER;
  std::vector<IConnectionPoint*> all = {&notify_point_, &point_};
  if (config_.vtable_point) all.insert(all.begin() + 1, &vtable_point_);
  *points = new PointEnum(this, std::move(all), 0);
  return S_OK;
}

HRESULT SimReader::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  Point* found = IsEqualIID(riid, point_.iid())              ? &point_
                 : IsEqualIID(riid, IID_IPropertyNotifySink) ? &notify_point_
                 : config_.vtable_point && IsEqualIID(riid, kVtableEventsIid) ? &vtable_point_
                                                             : nullptr;
  *point = found;
  if (!found) return CONNECT_E_NOCONNECTION;
  found->AddRef();
  return S_OK;
}

HRESULT SimReader::Point::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IConnectionPoint)) {
    *object = this;
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT SimReader::Point::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

HRESULT SimReader::Point::GetConnectionPointContainer(IConnectionPointContainer** c) {
  if (!c) return E_POINTER;
  *c = &owner_;
  owner_.AddRef();
  return S_OK;
}

HRESULT SimReader::Point::Advise(IUnknown* sink, DWORD* cookie) {
  if (!sink || !cookie) return E_POINTER;
  IUnknown* connected = nullptr;
  // A sink must answer for the point's interface itself, as clients of real controls must.
  if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&connected)))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  *cookie = owner_.next_cookie_++;
  sinks[*cookie] = connected;
  return S_OK;
}

HRESULT SimReader::Point::Unadvise(DWORD cookie) {
  const auto it = sinks.find(cookie);
  if (it == sinks.end()) return CONNECT_E_NOCONNECTION;
  IUnknown* sink = it->second;
  sinks.erase(it);
  sink->Release();
  if (owner_.config_.release_wait_ms && this == &owner_.point_) {
    // Held meanwhile: a client may let go of its last reference while this runs its loop.
    owner_.AddRef();
    owner_.Journal(L"teardown", 0, nullptr);
    owner_.WaitPumping(owner_.config_.release_wait_ms, 0);
    owner_.Release();
  }
  return S_OK;
}

HRESULT SimReader::Point::EnumConnections(IEnumConnections** e) {
  if (e) *e = nullptr;
  return E_NOTIMPL;
}

void SimReader::Journal(const wchar_t* kind, DISPID id, const DISPPARAMS* params) {
  if (config_.journal.empty()) return;
  std::wstring line = std::wstring(kind) + L" " + std::to_wstring(id);
  if (params) {
    for (UINT i = params->cArgs; i-- > 0;) line += L" " + ArgText(params->rgvarg[i]);
  }
  line += L"\n";
  if (FILE* file = _wfopen(config_.journal.c_str(), L"ab")) {
    const std::string bytes = Utf8(line);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
}

void SimReader::SetResult(std::int32_t code, std::int32_t ext) {
  result_ = code;
  result_ext_ = ext;
}

HRESULT SimReader::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO*, UINT*) {
  Member member = flavour_ == Flavour::Opos ? Find(kOposNumbers, id) : Find(kMsrLibNumbers, id);
  if (Hidden(member)) member = Member::None;
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  const bool method = IsMethod(member);
  Journal(put ? L"put" : method ? L"call" : L"get", id, params);
  if (config_.fail_invoke) return E_UNEXPECTED;
  if (!params) return E_INVALIDARG;
  if (member == Member::None) return DISP_E_MEMBERNOTFOUND;

  if (method) {
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (result) VariantInit(result);
    return Method(member, id, params, result);
  }
  if (put) return PutProperty(member, id, params);
  if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
  if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
  if (!result) return E_INVALIDARG;
  if (config_.failing_gets.count(id)) return E_FAIL;
  return GetProperty(member, result);
}

void SimReader::DoOpen(const wchar_t* device, DISPID open_id) {
  if (open_) {
    SetResult(kIllegal);
    return;
  }
  if (config_.no_device) {
    SetResult(kNoExist);
    return;
  }
  if (!config_.helper_dll.empty() && !helper_) {
    // By its bare name, through the process's DLL search, as reader software loads its own.
    helper_ = LoadLibraryW(config_.helper_dll.c_str());
    if (!helper_) {
      SetResult(kNoService);
      return;
    }
  }
  if (config_.open_wait_ms) WaitPumping(config_.open_wait_ms, open_id);
  if (powered_) lost_ = false;  // a device plugged in again works once opened afresh
  open_ = true;
  SetWindowTextW(window_, (std::wstring(kWindowTitlePrefix) + device).c_str());
  SetResult(kSuccess);
}

void SimReader::WaitPumping(unsigned ms, DISPID open_id) {
  // As a control waiting for its device thread does, naively: every message is dispatched,
  // WM_QUIT too, which is thereby lost to the client's own loop.
  const ULONGLONG end = GetTickCount64() + ms;
  for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  Journal(L"returned", open_id, nullptr);
}

HRESULT SimReader::Method(Member member, DISPID id, DISPPARAMS* params, VARIANT* result) {
  const UINT wanted = (member == Member::Open || member == Member::Claim ||
                       member == Member::CheckHealth) ? 1 : 0;
  if ((member == Member::DirectIO || member == Member::OtherMethod)) {
    SetResult(kIllegal);  // nothing the simulated device does
  } else {
    if (params->cArgs != wanted) return DISP_E_BADPARAMCOUNT;
    VARIANT arg;
    VariantInit(&arg);
    if (wanted == 1 &&
        FAILED(VariantChangeType(&arg, &params->rgvarg[0], 0, member == Member::Open ? VT_BSTR : VT_I4))) {
      return DISP_E_TYPEMISMATCH;
    }
    const auto fault = config_.results.find(id);
    if (fault != config_.results.end()) {
      SetResult(fault->second.first, fault->second.second);
    } else {
      switch (member) {
        case Member::Open:
          DoOpen(arg.bstrVal ? arg.bstrVal : L"", id);
          break;
        case Member::Close:
          if (!open_) {
            SetResult(kClosed);
            break;
          }
          open_ = claimed_ = device_enabled_ = data_event_enabled_ = false;
          if (powered_) lost_ = false;
          power_notify_ = 0;
          waiting_.clear();
          SetWindowTextW(window_, L"");
          SetResult(kSuccess);
          break;
        case Member::Claim:
          if (!open_) {
            SetResult(kClosed);
            break;
          }
          claimed_ = true;
          SetResult(kSuccess);
          break;
        case Member::Release:
          if (!open_) {
            SetResult(kClosed);
          } else if (!claimed_) {
            SetResult(kNotClaimed);
          } else {
            claimed_ = device_enabled_ = false;
            waiting_.clear();
            SetResult(kSuccess);
          }
          break;
        case Member::CheckHealth:
          SetResult(!open_ ? kClosed : !claimed_ ? kNotClaimed : lost_ ? kFailure : kSuccess);
          break;
        default:
          break;
      }
    }
    VariantClear(&arg);
  }
  // The common control objects' methods return the result code as well.
  if (flavour_ == Flavour::Opos && result) {
    result->vt = VT_I4;
    result->lVal = result_;
  }
  return S_OK;
}

HRESULT SimReader::PutProperty(Member member, DISPID id, DISPPARAMS* params) {
  if (params->cArgs != 1 || params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
    return DISP_E_PARAMNOTOPTIONAL;
  }
  // The common control objects take every set of a property and report in ResultCode alone
  // whether the service object took it.
  const bool opos = flavour_ == Flavour::Opos;
  if (!IsWritable(member)) {
    if (!opos) return DISP_E_MEMBERNOTFOUND;
    SetResult(kIllegal);
    return S_OK;
  }
  VARIANT value;
  VariantInit(&value);
  const bool number = member == Member::NumericSetting || member == Member::PowerNotify ||
                      member == Member::BinaryConversion;
  if (FAILED(VariantChangeType(&value, &params->rgvarg[0], 0, number ? VT_I4 : VT_BOOL))) {
    if (!opos) return DISP_E_TYPEMISMATCH;
    SetResult(kIllegal);
    return S_OK;
  }
  const auto fault = config_.results.find(id);
  if (fault != config_.results.end()) {
    SetResult(fault->second.first, fault->second.second);
    return S_OK;
  }
  if (!open_) {
    SetResult(kClosed);
    return S_OK;
  }
  const bool on = !number && value.boolVal != VARIANT_FALSE;
  switch (member) {
    case Member::NumericSetting: numeric_setting_ = value.lVal; break;
    case Member::DeviceEnabled:
      if (!claimed_) {
        SetResult(kNotClaimed);
        return S_OK;
      }
      if (on && !powered_) {
        SetResult(kNoHardware);
        return S_OK;
      }
      device_enabled_ = on;
      if (!device_enabled_) waiting_.clear();
      break;
    case Member::DataEventEnabled: data_event_enabled_ = on; break;
    // As UPOS has it: parsing needs decoding, and no decoding means no parsing.
    case Member::DecodeData:
      decode_data_ = on;
      if (!on) parse_decode_data_ = false;
      break;
    case Member::ParseDecodeData:
      parse_decode_data_ = on;
      if (on) decode_data_ = true;
      break;
    case Member::TransmitSentinels: transmit_sentinels_ = on; break;
    case Member::FreezeEvents: freeze_events_ = on; break;
    case Member::AutoDisable: auto_disable_ = on; break;
    case Member::PowerNotify:
      if (device_enabled_) {  // UPOS: only while the device is disabled
        SetResult(kIllegal);
        return S_OK;
      }
      power_notify_ = value.lVal;
      break;
    case Member::BinaryConversion:
      if (value.lVal < 0 || value.lVal > 2) {
        SetResult(kIllegal);
        return S_OK;
      }
      binary_conversion_ = value.lVal;
      break;
    default: break;
  }
  SetResult(kSuccess);
  NotifyChanged(id);
  ScheduleDelivery();
  return S_OK;
}

HRESULT SimReader::GetProperty(Member member, VARIANT* result) {
  VariantInit(result);
  auto integer = [&](std::int32_t n) {
    result->vt = VT_I4;
    result->lVal = n;
    return S_OK;
  };
  auto boolean = [&](bool b) {
    result->vt = VT_BOOL;
    result->boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  };
  auto text = [&](const std::wstring& t) {
    result->vt = VT_BSTR;
    result->bstrVal = SysAllocStringLen(t.data(), static_cast<UINT>(t.size()));
    return result->bstrVal ? S_OK : E_OUTOFMEMORY;
  };
  switch (member) {
    case Member::ResultCode: return integer(result_);
    case Member::ResultCodeExtended: return integer(result_ext_);
    case Member::DataEventEnabled: return boolean(data_event_enabled_);
    case Member::DeviceEnabled: return boolean(device_enabled_);
    case Member::NumericSetting: return integer(numeric_setting_);
    case Member::DecodeData: return boolean(decode_data_);
    case Member::ParseDecodeData: return boolean(parse_decode_data_);
    case Member::TransmitSentinels: return boolean(transmit_sentinels_);
    case Member::FreezeEvents: return boolean(freeze_events_);
    case Member::AutoDisable: return boolean(auto_disable_);
    case Member::DataCount: return integer(static_cast<std::int32_t>(waiting_.size()));
    case Member::PowerNotify: return integer(power_notify_);
    case Member::CapPowerReporting: return integer(config_.power_reporting ? 1 : 0);  // standard
    case Member::PowerState:
      return integer(power_notify_ != 1 ? 2000 : powered_ ? kPowerOnline : kPowerOffOffline);
    case Member::State: return integer(!open_ ? 1 : lost_ ? 4 : 2);  // closed, error, idle
    case Member::Description: return text(L"ZAN simulated magnetic stripe reader (test only)");
    case Member::Track1: case Member::Track2: case Member::Track3: case Member::Account:
    case Member::Expiration: case Member::ServiceCode: case Member::FirstName:
    case Member::MiddleInitial: case Member::Surname: case Member::CardType:
      return text(data_[member]);
    case Member::SwipeTime: return text(std::to_wstring(delivered_sent_at_));
    // MSR_DE_NONE, or MSR_DE_NONE and MSR_DE_3DEA_DUKPT.
    case Member::CapDataEncryption: return integer(config_.encryption ? 3 : 1);
    case Member::DataEncryptionAlgorithm: return integer(config_.encryption ? config_.encryption : 1);
    case Member::BinaryConversion: return integer(binary_conversion_);
    case Member::Track1Encrypted: case Member::Track2Encrypted: case Member::Track3Encrypted:
    case Member::SecurityInfo:
      return text(Converted(data_[member], binary_conversion_));
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

LRESULT SimReader::OnMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COPYDATA:
      return OnCard(*reinterpret_cast<const COPYDATASTRUCT*>(lp));
    case kDeliverMessage:
      Deliver();
      return 0;
    case kRaiseMessage:
      FireEvent(static_cast<DISPID>(wp), {static_cast<std::int32_t>(lp), 0, 0, 0});
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

LRESULT SimReader::OnCard(const COPYDATASTRUCT& data) {
  const auto* text = static_cast<const wchar_t*>(data.lpData);
  const std::size_t chars = text ? data.cbData / sizeof(wchar_t) : 0;
  if (chars == 0) return 0;
  if (data.dwData == kCopyFault) {
    const std::wstring line(text, chars);
    // "raise=ID" raises one of the reader's other events (DirectIO 2, Error 3, StatusUpdate 5).
    if (line.compare(0, 6, L"raise=") == 0) {
      const long id = std::wcstol(line.c_str() + 6, nullptr, 10);
      if (id != 2 && id != 3 && id != 5) return 0;
      PostMessageW(window_, kRaiseMessage, static_cast<WPARAM>(id), 0);
      return kCardQueued;
    }
    // "power=off": unplugged (or switched off); "power=on": back, but dead to the service object
    // until it is closed and opened again, as most readers are.
    if (line == L"power=off" || line == L"power=on") {
      powered_ = line == L"power=on";
      if (!powered_) lost_ = true;
      if (power_notify_ == 1 && config_.power_reporting) {
        PostMessageW(window_, kRaiseMessage, 5, powered_ ? kPowerOnline : kPowerOffOffline);
      }
      return kCardQueued;
    }
    return config_.Apply(line) ? kCardQueued : 0;
  }
  Card card;
  if (data.dwData != kCopyCard || !Deserialise(text, chars, card)) return 0;
  if (!open_ || !device_enabled_ || lost_) return kCardIgnored;
  waiting_.push_back(std::move(card));
  ScheduleDelivery();
  return kCardQueued;
}

void SimReader::ScheduleDelivery() {
  // Delivered from the window's own message, never from inside the call that made it possible,
  // just as a control raises its events from its message loop.
  if (device_enabled_ && data_event_enabled_ && !waiting_.empty()) {
    PostMessageW(window_, kDeliverMessage, 0, 0);
  }
}

void SimReader::Deliver() {
  if (!open_ || !device_enabled_ || !data_event_enabled_ || waiting_.empty()) return;
  Card card = std::move(waiting_.front());
  waiting_.pop_front();
  if (card.bad) {
    // As OPOS readers report a swipe they could not decode: an error event instead of a data
    // event (an LRC error, on input, the default response "clear"), with data events off.
    data_event_enabled_ = false;
    FireEvent(kErrorEvent, {kExtended, kLrcError, kLocusInput, kResponseClear});
    return;
  }

  const std::wstring t1 = StripSentinels(card.track1), t2 = StripSentinels(card.track2),
                     t3 = StripSentinels(card.track3);
  const std::wstring kind = CardKind(t1, t2);
  // As encrypting readers do, a bank card's tracks and account number are reported masked.
  const bool encrypting = flavour_ == Flavour::Opos && config_.encryption > 1;
  const bool mask = encrypting && kind == L"BANK";
  const CardFields fields = parse_decode_data_ ? ParseFields(t1, t2) : CardFields{};
  data_[Member::Track1] = Reported(mask ? Masked(t1) : t1, 1);
  data_[Member::Track2] = Reported(mask ? Masked(t2) : t2, 2);
  data_[Member::Track3] = Reported(mask ? Masked(t3) : t3, 3);
  data_[Member::CardType] = config_.card_type ? *config_.card_type : kind;
  const std::wstring* clear[] = {&t1, &t2, &t3};
  const Member encrypted[] = {Member::Track1Encrypted, Member::Track2Encrypted, Member::Track3Encrypted};
  for (int i = 0; i < 3; ++i) {
    data_[encrypted[i]] = !encrypting ? L"" : card.encrypted[i] ? *card.encrypted[i] : MadeUpBlocks(*clear[i]);
  }
  std::wstring fixed_ksn;
  FromHex(L"ffff9876543210e00001", fixed_ksn);
  data_[Member::SecurityInfo] = !encrypting ? L"" : card.ksn ? *card.ksn : fixed_ksn;
  data_[Member::Account] = mask ? MaskedAccount(fields.account) : fields.account;
  data_[Member::Expiration] = fields.expiration;
  data_[Member::FirstName] = fields.first_name;
  data_[Member::MiddleInitial] = fields.middle_initial;
  data_[Member::Surname] = fields.surname;
  data_[Member::ServiceCode] = fields.service_code;
  delivered_sent_at_ = card.sent_at;

  // As OPOS readers do: one event, then no more until the application enables them again.
  data_event_enabled_ = false;
  auto len = [](const std::wstring& t) { return static_cast<std::int32_t>(t.size() > 255 ? 255 : t.size()); };
  FireEvent(kDataEvent, {len(t1) | len(t2) << 8 | len(t3) << 16});
}

std::wstring SimReader::Reported(const std::wstring& track, int number) const {
  if (track.empty()) return track;
  std::wstring out = track;
  if (transmit_sentinels_) out = (number == 1 ? L"%" : L";") + out + L"?";
  if (!decode_data_) {
    // Raw: each character as the code the stripe holds, 6 bits on track 1, 4 on the others.
    for (wchar_t& c : out) c = number == 1 ? static_cast<wchar_t>((c - 0x20) & 0x3F)
                                           : static_cast<wchar_t>((c - 0x30) & 0x0F);
  }
  return out;
}

void SimReader::FireEvent(DISPID id, const std::vector<std::int32_t>& values) {
  if (id == 5) Journal(L"raise 5", values.empty() ? 0 : values[0], nullptr);
  std::vector<IDispatch*> sinks;
  for (auto& entry : point_.sinks) {
    entry.second->AddRef();
    sinks.push_back(static_cast<IDispatch*>(entry.second));
  }
  // A handler may release the reader. Controls commonly hold themselves while they raise an
  // event; "selffree" leaves that out, as some do.
  const bool hold = !config_.self_free;
  if (hold) AddRef();
  ++raising_;
  if (config_.post_message) {
    // Ask the client's windows on this thread for something while its handler runs: a message
    // the handler's yields will dispatch (a close or a log-off in the middle of a card).
    PostToClient post{window_, std::exchange(config_.post_message, 0u), config_.post_wparam};
    EnumThreadWindows(GetCurrentThreadId(), &PostToClient::Each, reinterpret_cast<LPARAM>(&post));
  }
  // DataEvent and StatusUpdate carry one number, DirectIO three arguments, Error four (the last,
  // the error response, by reference).
  const UINT count = id == 2 ? 3 : id == 3 ? 4 : 1;
  for (IDispatch* sink : sinks) {
    DISPID fired = id;
    if (flavour_ == Flavour::Opos) {
      // As the common control objects do: the sink names the event's number, or says "your
      // own" with E_NOTIMPL; any other answer and the event is not raised.
      LPOLESTR name = const_cast<LPOLESTR>(EventName(id));
      DISPID answered = DISPID_UNKNOWN;
      const HRESULT hr = sink->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &answered);
      if (hr == S_OK) {
        fired = answered;
      } else if (hr != E_NOTIMPL) {
        sink->Release();
        continue;
      }
    }
    VARIANT args[4];
    LONG response = count == 4 && values.size() >= 4 ? values[3] : 0;
    for (UINT i = 0; i < count; ++i) {
      VARIANT& arg = args[count - 1 - i];  // the first argument travels last
      VariantInit(&arg);
      arg.vt = VT_I4;
      arg.lVal = i < values.size() ? values[i] : 0;
    }
    if (count == 4) {
      args[0].vt = VT_I4 | VT_BYREF;
      args[0].plVal = &response;
    }
    DISPPARAMS params{args, nullptr, count, 0};
    sink->Invoke(fired, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    sink->Release();
  }
  --raising_;
  if (hold) Release();
}

void SimReader::NotifyChanged(DISPID id) {
  std::vector<IPropertyNotifySink*> sinks;
  for (auto& entry : notify_point_.sinks) {
    entry.second->AddRef();
    sinks.push_back(static_cast<IPropertyNotifySink*>(entry.second));
  }
  for (IPropertyNotifySink* sink : sinks) {
    sink->OnChanged(id);
    sink->Release();
  }
}

}  // namespace msr_sim
