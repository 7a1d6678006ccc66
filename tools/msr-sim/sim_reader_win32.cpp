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
constexpr UINT kRaiseMessage = WM_APP + 2;  // wParam: the event to raise

// OPOS result codes the simulated reader gives.
constexpr std::int32_t kSuccess = 0, kClosed = 101, kNotClaimed = 103, kIllegal = 106, kNoExist = 109;

// OPOS event dispatch identifiers.
constexpr DISPID kDataEvent = 1, kErrorEvent = 3;

// An error event's arguments for a swipe that could not be read: OPOS_E_EXTENDED with the
// reader's LRC error, on input, and the response "clear" that the control suggests.
constexpr std::int32_t kExtended = 114, kLrcError = 204, kLocusInput = 2, kResponseClear = 12;

enum : DISPID {
  kDataEventEnabled = 3, kDeviceEnabled = 4, kResultCode = 6, kResultCodeExtended = 7,
  kTrack1 = 21, kTrack2 = 22, kTrack3 = 23, kAccount = 24, kExpiration = 25, kServiceCode = 26,
  kFirstName = 27, kMiddleInitial = 28, kSurname = 29,
  kOpen = 34, kClose = 35, kClaim = 36, kRelease = 37, kNumericSetting = 46,
};

bool IsMethod(DISPID id) { return id == kOpen || id == kClose || id == kClaim || id == kRelease; }

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

HRESULT SimReader::Create(REFIID riid, void** object) {
  SimConfig config = ReadConfig();
  if (config.no_create) return E_FAIL;
  auto* reader = new SimReader(std::move(config));
  const HRESULT hr = reader->QueryInterface(riid, object);
  reader->Release();
  return hr;
}

SimReader::SimReader(SimConfig config) : config_(std::move(config)) {
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
  for (Point* point : {&notify_point_, &point_}) {
    for (auto& sink : point->sinks) sink.second->Release();
  }
  if (window_) DestroyWindow(window_);
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
HRESULT SimReader::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
HRESULT SimReader::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT SimReader::GetClassInfo(ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT SimReader::GetGUID(DWORD kind, GUID* guid) {
  if (!guid) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
  *guid = kEventsIid;
  return S_OK;
}

HRESULT SimReader::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (!points) return E_POINTER;
  *points = new PointEnum(this, {&notify_point_, &point_}, 0);
  return S_OK;
}

HRESULT SimReader::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  Point* found = IsEqualIID(riid, kEventsIid)                ? &point_
                 : IsEqualIID(riid, IID_IPropertyNotifySink) ? &notify_point_
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
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  const bool method = IsMethod(id);
  Journal(put ? L"put" : method ? L"call" : L"get", id, params);
  if (config_.fail_invoke) return E_UNEXPECTED;
  if (!params) return E_INVALIDARG;

  if (method) {
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (result) VariantInit(result);
    return Method(id, params);
  }
  if (put) return PutProperty(id, params);
  if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
  if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
  if (!result) return E_INVALIDARG;
  if (config_.failing_gets.count(id)) return E_FAIL;
  return GetProperty(id, result);
}

HRESULT SimReader::Method(DISPID id, DISPPARAMS* params) {
  const UINT wanted = (id == kOpen || id == kClaim) ? 1 : 0;
  if (params->cArgs != wanted) return DISP_E_BADPARAMCOUNT;
  VARIANT arg;
  VariantInit(&arg);
  if (wanted == 1 &&
      FAILED(VariantChangeType(&arg, &params->rgvarg[0], 0, id == kOpen ? VT_BSTR : VT_I4))) {
    return DISP_E_TYPEMISMATCH;
  }
  const auto fault = config_.results.find(id);
  if (fault != config_.results.end()) {
    VariantClear(&arg);
    SetResult(fault->second.first, fault->second.second);
    return S_OK;
  }

  switch (id) {
    case kOpen:
      if (open_) {
        SetResult(kIllegal);
      } else if (config_.no_device) {
        SetResult(kNoExist);
      } else {
        open_ = true;
        SetWindowTextW(window_, (std::wstring(kWindowTitlePrefix) + (arg.bstrVal ? arg.bstrVal : L"")).c_str());
        SetResult(kSuccess);
      }
      break;
    case kClose:
      if (!open_) {
        SetResult(kClosed);
        break;
      }
      open_ = claimed_ = device_enabled_ = data_event_enabled_ = false;
      waiting_.clear();
      SetWindowTextW(window_, L"");
      SetResult(kSuccess);
      break;
    case kClaim:
      if (!open_) {
        SetResult(kClosed);
        break;
      }
      claimed_ = true;
      SetResult(kSuccess);
      break;
    case kRelease:
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
    default:
      break;
  }
  VariantClear(&arg);
  return S_OK;
}

HRESULT SimReader::PutProperty(DISPID id, DISPPARAMS* params) {
  if (params->cArgs != 1 || params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
    return DISP_E_PARAMNOTOPTIONAL;
  }
  if (id != kDataEventEnabled && id != kDeviceEnabled && id != kNumericSetting) {
    return DISP_E_MEMBERNOTFOUND;
  }
  VARIANT value;
  VariantInit(&value);
  if (FAILED(VariantChangeType(&value, &params->rgvarg[0], 0, id == kNumericSetting ? VT_I4 : VT_BOOL))) {
    return DISP_E_TYPEMISMATCH;
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
  if (id == kNumericSetting) {
    numeric_setting_ = value.lVal;
  } else if (id == kDeviceEnabled) {
    if (!claimed_) {
      SetResult(kNotClaimed);
      return S_OK;
    }
    device_enabled_ = value.boolVal != VARIANT_FALSE;
    if (!device_enabled_) waiting_.clear();
  } else {
    data_event_enabled_ = value.boolVal != VARIANT_FALSE;
  }
  SetResult(kSuccess);
  NotifyChanged(id);
  ScheduleDelivery();
  return S_OK;
}

HRESULT SimReader::GetProperty(DISPID id, VARIANT* result) {
  VariantInit(result);
  switch (id) {
    case kResultCode:
      result->vt = VT_I4;
      result->lVal = result_;
      return S_OK;
    case kResultCodeExtended:
      result->vt = VT_I4;
      result->lVal = result_ext_;
      return S_OK;
    case kDataEventEnabled:
    case kDeviceEnabled:
      result->vt = VT_BOOL;
      result->boolVal = (id == kDeviceEnabled ? device_enabled_ : data_event_enabled_) ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case kNumericSetting:
      result->vt = VT_I4;
      result->lVal = numeric_setting_;
      return S_OK;
    case kTrack1: case kTrack2: case kTrack3: case kAccount: case kExpiration: case kServiceCode:
    case kFirstName: case kMiddleInitial: case kSurname: {
      const std::wstring& text = data_[id];
      result->vt = VT_BSTR;
      result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
      return result->bstrVal ? S_OK : E_OUTOFMEMORY;
    }
    case kDispSwipeTime: {
      result->vt = VT_BSTR;
      result->bstrVal = SysAllocString(std::to_wstring(delivered_sent_at_).c_str());
      return result->bstrVal ? S_OK : E_OUTOFMEMORY;
    }
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
      FireEvent(static_cast<DISPID>(wp), {0, 0, 0, 0});
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
    return config_.Apply(line) ? kCardQueued : 0;
  }
  Card card;
  if (data.dwData != kCopyCard || !Deserialise(text, chars, card)) return 0;
  if (!open_ || !device_enabled_) return kCardIgnored;
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
  const CardFields fields = ParseFields(t1, t2);
  data_[kTrack1] = t1;
  data_[kTrack2] = t2;
  data_[kTrack3] = t3;
  data_[kAccount] = fields.account;
  data_[kExpiration] = fields.expiration;
  data_[kFirstName] = fields.first_name;
  data_[kMiddleInitial] = fields.middle_initial;
  data_[kSurname] = fields.surname;
  delivered_sent_at_ = card.sent_at;

  // As OPOS readers do: one event, then no more until the application enables them again.
  data_event_enabled_ = false;
  auto len = [](const std::wstring& t) { return static_cast<std::int32_t>(t.size() > 255 ? 255 : t.size()); };
  FireEvent(kDataEvent, {len(t1) | len(t2) << 8 | len(t3) << 16});
}

void SimReader::FireEvent(DISPID id, const std::vector<std::int32_t>& values) {
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
    sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
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
