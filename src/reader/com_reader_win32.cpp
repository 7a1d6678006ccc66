#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <optional>
#include <utility>

#include "platform/raii_win32.h"
#include "reader/com_reader.h"

namespace reader {
namespace {

using platform::ComPtr;
using platform::ExcepInfo;
using platform::Variant;

// The reader's event dispinterface: its data, error and status update events. DirectIO (2) and
// OutputComplete (4) are accepted and dropped.
constexpr DISPID kDataEvent = 1;
constexpr DISPID kErrorEvent = 3;
constexpr DISPID kStatusUpdateEvent = 5;

struct EventName {
  const wchar_t* name;
  DISPID id;
};
constexpr EventName kEventNames[] = {{L"DataEvent", kDataEvent},       {L"DirectIOEvent", 2},
                                     {L"ErrorEvent", kErrorEvent},     {L"OutputCompleteEvent", 4},
                                     {L"StatusUpdateEvent", kStatusUpdateEvent}};

bool ToVariant(const DispValue& value, Variant& out) {
  if (const auto* s = std::get_if<std::wstring>(&value)) {
    out.vt = VT_BSTR;
    out.bstrVal = SysAllocStringLen(s->data(), static_cast<UINT>(s->size()));
    return out.bstrVal != nullptr;
  }
  if (const auto* n = std::get_if<std::int32_t>(&value)) {
    out.vt = VT_I4;
    out.lVal = *n;
  } else if (const auto* b = std::get_if<bool>(&value)) {
    out.vt = VT_BOOL;
    out.boolVal = *b ? VARIANT_TRUE : VARIANT_FALSE;
  }
  return true;
}

// Strings and Booleans as they are, numbers as 32-bit integers where they fit, as text where
// they don't (the integer reading then finds no number in them), empty as no value.
bool FromVariant(VARIANT& in, DispValue& out) {
  switch (in.vt) {
    case VT_EMPTY:
    case VT_NULL:
      out = std::monostate{};
      return true;
    case VT_BSTR:
      out = std::wstring(in.bstrVal ? in.bstrVal : L"", SysStringLen(in.bstrVal));
      return true;
    case VT_BOOL:
      out = in.boolVal != VARIANT_FALSE;
      return true;
    default:
      break;
  }
  Variant converted;
  if (SUCCEEDED(VariantChangeType(&converted, &in, 0, VT_I4))) {
    out = static_cast<std::int32_t>(converted.lVal);
    return true;
  }
  if (SUCCEEDED(VariantChangeType(&converted, &in, 0, VT_BSTR))) {
    out = std::wstring(converted.bstrVal ? converted.bstrVal : L"", SysStringLen(converted.bstrVal));
    return true;
  }
  return false;
}

// The event's argument at `position` (0 is the first) as a 32-bit integer; 0 when missing. An
// argument may come by value or by reference; VariantChangeType reads both.
std::int32_t IntArgument(const DISPPARAMS* params, UINT position) {
  if (!params || position >= params->cArgs) return 0;
  Variant converted;
  // Dispatch arguments travel last first.
  VARIANT& arg = params->rgvarg[params->cArgs - 1 - position];
  return SUCCEEDED(VariantChangeType(&converted, &arg, 0, VT_I4)) ? converted.lVal : 0;
}

// Receives the control's events. It answers only for IUnknown, IDispatch and the one event
// interface it was made for: a connection point for any other interface (a property-change
// sink, say) would call methods this object does not have.
class EventSink final : public IDispatch {
 public:
  EventSink(const IID& event_iid, ReaderEvents& events) : event_iid_(event_iid), events_(&events) {}

  void Detach() { events_ = nullptr; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, event_iid_)) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  // The OPOS Common Control Objects ask for each event's number by name before they raise it,
  // and raise nothing when the answer is an error other than E_NOTIMPL ("use your own number").
  // The events are answered with the numbers OPOS gives them, which Invoke takes.
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (!names || !ids || count != 1 || !names[0]) return E_NOTIMPL;
    for (const auto& event : kEventNames) {
      if (lstrcmpiW(names[0], event.name) == 0) {
        ids[0] = event.id;
        return S_OK;
      }
    }
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    if (!events_) return S_OK;
    // The program may release the reader while an event runs; the sink stays alive until the
    // event returns.
    const ComPtr<EventSink> self = ComPtr<EventSink>::Copy(this);
    try {
      if (id == kDataEvent) {
        events_->OnDataEvent(IntArgument(params, 0));
      } else if (id == kErrorEvent) {
        // ErrorEvent(ResultCode, ResultCodeExtended, ErrorLocus, ErrorResponse): the response,
        // passed by reference, keeps the value the control chose.
        events_->OnErrorEvent(IntArgument(params, 0), IntArgument(params, 1),
                              IntArgument(params, 2));
      } else if (id == kStatusUpdateEvent) {
        events_->OnStatusUpdateEvent(IntArgument(params, 0));
      }
    } catch (...) {
      // Nothing may cross back into the control.
    }
    return S_OK;
  }

 private:
  ~EventSink() = default;

  LONG refs_ = 1;
  IID event_iid_;
  ReaderEvents* events_;
};

// The [default, source] dispinterface of a coclass's type information.
bool DefaultSource(ITypeInfo* coclass, IID& iid) {
  TYPEATTR* attr = nullptr;
  if (!coclass || FAILED(coclass->GetTypeAttr(&attr))) return false;
  const platform::ScopeExit free_attr([&] { coclass->ReleaseTypeAttr(attr); });
  if (attr->typekind != TKIND_COCLASS) return false;
  for (UINT i = 0; i < attr->cImplTypes; ++i) {
    INT flags = 0;
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> source;
    constexpr INT kDefaultSource = IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE;
    if (FAILED(coclass->GetImplTypeFlags(i, &flags)) || (flags & kDefaultSource) != kDefaultSource ||
        FAILED(coclass->GetRefTypeOfImplType(i, &ref)) ||
        FAILED(coclass->GetRefTypeInfo(ref, source.put()))) {
      continue;
    }
    TYPEATTR* source_attr = nullptr;
    if (FAILED(source->GetTypeAttr(&source_attr))) return false;
    const bool is_dispinterface = source_attr->typekind == TKIND_DISPATCH;
    iid = source_attr->guid;
    source->ReleaseTypeAttr(source_attr);
    return is_dispinterface;
  }
  return false;
}

// The type library the control's own type information comes from, if it has one.
ComPtr<ITypeLib> TypeLibrary(IDispatch* control) {
  ComPtr<ITypeInfo> dispatch_info;
  ComPtr<ITypeLib> library;
  UINT index = 0;
  if (FAILED(control->GetTypeInfo(0, LOCALE_USER_DEFAULT, dispatch_info.put())) ||
      FAILED(dispatch_info->GetContainingTypeLib(library.put(), &index))) {
    library.reset();
  }
  return library;
}

// What the type library says of an interface: a dispinterface, something else, or nothing.
std::optional<bool> IsDispinterface(ITypeLib* library, const IID& iid) {
  ComPtr<ITypeInfo> info;
  TYPEATTR* attr = nullptr;
  if (!library || FAILED(library->GetTypeInfoOfGuid(iid, info.put())) ||
      FAILED(info->GetTypeAttr(&attr))) {
    return std::nullopt;
  }
  const bool dispatch = attr->typekind == TKIND_DISPATCH;
  info->ReleaseTypeAttr(attr);
  return dispatch;
}

// The control's event interface: what its class information names as the default source, or,
// for a control whose class information names none (or that has none), a connection point
// other than for property changes: the first its type library calls a dispinterface, else the
// first it does not describe. Events come through IDispatch::Invoke only, so a point the library
// describes as another kind of interface is never taken.
bool EventInterface(IDispatch* control, IConnectionPointContainer* container, const CLSID& clsid,
                    IID& iid) {
  ComPtr<IProvideClassInfo2> info2;
  if (SUCCEEDED(control->QueryInterface(IID_IProvideClassInfo2, info2.put_void())) &&
      SUCCEEDED(info2->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &iid))) {
    return true;
  }
  ComPtr<IProvideClassInfo> info;
  ComPtr<ITypeInfo> coclass;
  if (SUCCEEDED(control->QueryInterface(IID_IProvideClassInfo, info.put_void())) &&
      SUCCEEDED(info->GetClassInfo(coclass.put())) && DefaultSource(coclass.get(), iid)) {
    return true;
  }
  const ComPtr<ITypeLib> library = TypeLibrary(control);
  if (library && SUCCEEDED(library->GetTypeInfoOfGuid(clsid, coclass.put())) &&
      DefaultSource(coclass.get(), iid)) {
    return true;
  }
  ComPtr<IEnumConnectionPoints> points;
  if (FAILED(container->EnumConnectionPoints(points.put()))) return false;
  std::optional<IID> undescribed;
  for (;;) {
    ComPtr<IConnectionPoint> point;
    ULONG fetched = 0;
    if (points->Next(1, point.put(), &fetched) != S_OK || fetched != 1) break;
    IID candidate = IID_NULL;
    if (FAILED(point->GetConnectionInterface(&candidate)) ||
        IsEqualIID(candidate, IID_IPropertyNotifySink)) {
      continue;
    }
    const std::optional<bool> dispatch = IsDispinterface(library.get(), candidate);
    if (dispatch.value_or(false)) {
      iid = candidate;
      return true;
    }
    if (!dispatch && !undescribed) undescribed = candidate;
  }
  if (!undescribed) return false;
  iid = *undescribed;
  return true;
}

}  // namespace

struct ComReader::Impl {
  ComPtr<IDispatch> control;
  ComPtr<EventSink> sink;
  platform::AdviseToken connection;
  std::vector<std::wstring> tried;
  std::wstring prog_id;
  ControlNumbering numbering{true, nullptr};

  bool Invoke(DispId member, WORD flags, DISPPARAMS& params, VARIANT* result) {
    if (!control) return false;
    const std::optional<std::int32_t> id = numbering.Find(member);
    if (!id) return false;  // the control has no such member: as a refused call
    ExcepInfo excep;
    UINT bad_arg = 0;
    const HRESULT hr = control->Invoke(static_cast<DISPID>(*id), IID_NULL, LOCALE_USER_DEFAULT,
                                       flags, &params, result, &excep, &bad_arg);
    return SUCCEEDED(hr);
  }

  // The control's number for an OPOS name, asked of the control itself.
  std::optional<std::int32_t> LookUp(const wchar_t* name) {
    if (!control) return std::nullopt;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) ||
        id == DISPID_UNKNOWN) {
      return std::nullopt;
    }
    return static_cast<std::int32_t>(id);
  }

  // The first candidate that is registered and can be made.
  bool Create(const std::vector<std::wstring>& candidates, CLSID& clsid) {
    for (const std::wstring& candidate : candidates) {
      tried.push_back(candidate);
      if (FAILED(CLSIDFromProgID(candidate.c_str(), &clsid))) continue;
      if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                     IID_IDispatch, control.put_void()))) {
        prog_id = candidate;
        return true;
      }
    }
    return false;
  }

  void Connect(ReaderEvents& events, const CLSID& clsid) {
    ComPtr<IConnectionPointContainer> container;
    if (FAILED(control->QueryInterface(IID_IConnectionPointContainer, container.put_void()))) return;
    IID iid = IID_NULL;
    ComPtr<IConnectionPoint> point;
    if (!EventInterface(control.get(), container.get(), clsid, iid) ||
        FAILED(container->FindConnectionPoint(iid, point.put()))) {
      return;
    }
    *sink.put() = new EventSink(iid, events);
    connection.Advise(point.get(), sink.get());
  }

  void Disconnect() {
    connection.reset();
    if (sink) sink->Detach();
    sink.reset();
    control.reset();
  }
};

ComReader::ComReader(ReaderEvents& events, std::vector<std::wstring> candidates)
    : impl_(new Impl) {
  CLSID clsid;
  if (!impl_->Create(candidates, clsid)) return;
  Impl* impl = impl_.get();
  impl_->numbering = ControlNumbering(HasFixedNumbers(impl_->prog_id),
                                      [impl](const wchar_t* name) { return impl->LookUp(name); });
  impl_->Connect(events, clsid);
}

ComReader::~ComReader() { impl_->Disconnect(); }

void ComReader::Release() { impl_->Disconnect(); }

bool ComReader::HasControl() const { return static_cast<bool>(impl_->control); }

bool ComReader::EventsConnected() const { return static_cast<bool>(impl_->connection); }

std::wstring ComReader::ProgId() const { return impl_->prog_id; }

std::wstring ComReader::Tried() const {
  std::wstring list;
  for (const std::wstring& name : impl_->tried) list += (list.empty() ? L"" : L", ") + name;
  return list;
}

bool ComReader::FixedNumbers() const { return impl_->numbering.fixed_numbers(); }

bool ComReader::Call(DispId id, const std::vector<DispValue>& args) {
  // Dispatch arguments travel last first.
  std::vector<Variant> variants(args.size());
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (!ToVariant(args[i], variants[args.size() - 1 - i])) return false;
  }
  DISPPARAMS params{variants.empty() ? nullptr : variants.data(), nullptr,
                    static_cast<UINT>(variants.size()), 0};
  Variant ignored;  // a method's return value is never read
  return impl_->Invoke(id, DISPATCH_METHOD, params, &ignored);
}

bool ComReader::Put(DispId id, const DispValue& value) {
  Variant arg;
  if (!ToVariant(value, arg)) return false;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&arg, &named, 1, 1};
  return impl_->Invoke(id, DISPATCH_PROPERTYPUT, params, nullptr);
}

bool ComReader::Get(DispId id, DispValue& result) {
  DISPPARAMS params{nullptr, nullptr, 0, 0};
  Variant value;
  if (!impl_->Invoke(id, DISPATCH_PROPERTYGET | DISPATCH_METHOD, params, &value)) return false;
  return FromVariant(value, result);
}

}  // namespace reader
