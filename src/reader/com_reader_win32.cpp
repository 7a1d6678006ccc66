#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <utility>

#include "reader/com_reader.h"

namespace reader {
namespace {

// Owns one COM interface pointer; put() releases what it held first.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }

 private:
  T* p_ = nullptr;
};

// A VARIANT that clears itself.
struct Variant : VARIANT {
  Variant() { VariantInit(this); }
  ~Variant() { VariantClear(this); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
};

// An EXCEPINFO whose strings are freed.
struct ExcepInfo : EXCEPINFO {
  ExcepInfo() : EXCEPINFO{} {}
  ~ExcepInfo() {
    SysFreeString(bstrSource);
    SysFreeString(bstrDescription);
    SysFreeString(bstrHelpFile);
  }
  ExcepInfo(const ExcepInfo&) = delete;
  ExcepInfo& operator=(const ExcepInfo&) = delete;
};

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

// Receives the control's events; only the data event (1) goes anywhere. DirectIO (2), Error (3)
// and StatusUpdate (5) are accepted and dropped.
class EventSink final : public IDispatch {
 public:
  explicit EventSink(ComReader::DataEventCallback on_data) : on_data_(std::move(on_data)) {}

  void SetEventIid(const IID& iid) { event_iid_ = iid; }
  void Detach() { on_data_ = nullptr; }

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
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    constexpr DISPID kDataEvent = 1;
    if (id != kDataEvent || !on_data_) return S_OK;
    std::int32_t status = 0;
    if (params && params->cArgs >= 1) {
      Variant converted;
      // The Status argument may come by value or by reference; VariantChangeType reads both.
      if (SUCCEEDED(VariantChangeType(&converted, &params->rgvarg[params->cArgs - 1], 0, VT_I4))) {
        status = converted.lVal;
      }
    }
    // Keeps the callback alive even if the handler releases the reader while it runs.
    const ComReader::DataEventCallback on_data = on_data_;
    try {
      on_data(status);
    } catch (...) {
      // Nothing may cross back into the control.
    }
    return S_OK;
  }

 private:
  ~EventSink() = default;

  LONG refs_ = 1;
  IID event_iid_ = IID_NULL;
  ComReader::DataEventCallback on_data_;
};

}  // namespace

struct ComReader::Impl {
  ComPtr<IDispatch> control;
  ComPtr<IConnectionPoint> point;
  EventSink* sink = nullptr;
  DWORD cookie = 0;

  bool Invoke(DispId id, WORD flags, DISPPARAMS& params, VARIANT* result) {
    if (!control) return false;
    ExcepInfo excep;
    UINT bad_arg = 0;
    const HRESULT hr = control->Invoke(static_cast<DISPID>(id), IID_NULL, LOCALE_USER_DEFAULT,
                                       flags, &params, result, &excep, &bad_arg);
    return SUCCEEDED(hr);
  }

  bool Advise(const IID& iid, IConnectionPoint* cp) {
    sink->SetEventIid(iid);
    DWORD new_cookie = 0;
    if (FAILED(cp->Advise(sink, &new_cookie))) return false;
    cookie = new_cookie;
    cp->AddRef();
    *point.put() = cp;
    return true;
  }

  void Connect(DataEventCallback on_data) {
    ComPtr<IConnectionPointContainer> container;
    if (FAILED(control->QueryInterface(IID_IConnectionPointContainer, container.put_void()))) return;
    sink = new EventSink(std::move(on_data));

    ComPtr<IProvideClassInfo2> info;
    IID iid = IID_NULL;
    if (SUCCEEDED(control->QueryInterface(IID_IProvideClassInfo2, info.put_void())) &&
        SUCCEEDED(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &iid))) {
      ComPtr<IConnectionPoint> cp;
      if (SUCCEEDED(container->FindConnectionPoint(iid, cp.put())) && Advise(iid, cp.get())) return;
    }

    // No default source named: take the first connection point that accepts us.
    ComPtr<IEnumConnectionPoints> points;
    if (FAILED(container->EnumConnectionPoints(points.put()))) return;
    for (;;) {
      ComPtr<IConnectionPoint> cp;
      ULONG fetched = 0;
      if (points->Next(1, cp.put(), &fetched) != S_OK || fetched != 1) return;
      if (SUCCEEDED(cp->GetConnectionInterface(&iid)) && Advise(iid, cp.get())) return;
    }
  }

  void Disconnect() {
    if (point) {
      point->Unadvise(cookie);
      point.reset();
    }
    if (sink) {
      sink->Detach();
      std::exchange(sink, nullptr)->Release();
    }
    control.reset();
  }
};

ComReader::ComReader(DataEventCallback on_data, const wchar_t* prog_id) : impl_(new Impl) {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(prog_id, &clsid))) return;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IDispatch, impl_->control.put_void()))) {
    return;
  }
  impl_->Connect(std::move(on_data));
}

ComReader::~ComReader() { impl_->Disconnect(); }

void ComReader::Release() { impl_->Disconnect(); }

bool ComReader::HasControl() const { return static_cast<bool>(impl_->control); }

bool ComReader::EventsConnected() const { return static_cast<bool>(impl_->point); }

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
