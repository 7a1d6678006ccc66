#pragma once
// Owners for the Windows resources the adapters hold: every handle, COM pointer, VARIANT and
// event connection is released exactly once, by whoever holds it, however the code leaves.

#include <windows.h>
#include <ocidl.h>
#include <ole2.h>

#include <utility>

namespace platform {

// One handle of type H, closed by Close when it goes; move-only. Null is "none" (kernel handles
// from calls that fail with INVALID_HANDLE_VALUE must not be put here).
template <typename H, auto Close>
class Unique {
 public:
  Unique() = default;
  explicit Unique(H h) : h_(h) {}
  ~Unique() { reset(); }
  Unique(Unique&& other) noexcept : h_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;

  H get() const { return h_; }
  explicit operator bool() const { return h_ != H{}; }
  // Closes what it holds and hands out the slot for a call that opens a new one.
  H* put() {
    reset();
    return &h_;
  }
  H release() { return std::exchange(h_, H{}); }
  void reset(H h = H{}) {
    if (*this) Close(h_);
    h_ = h;
  }

 private:
  H h_ = H{};
};

inline BOOL WINAPI DeleteFontObject(HFONT font) { return DeleteObject(font); }
inline LSTATUS WINAPI CloseKey(HKEY key) { return RegCloseKey(key); }
inline void WINAPI FreeGlobal(HGLOBAL memory) { GlobalFree(memory); }

using UniqueHandle = Unique<HANDLE, CloseHandle>;
using UniqueKey = Unique<HKEY, CloseKey>;
using UniqueWindow = Unique<HWND, DestroyWindow>;
using UniqueMenu = Unique<HMENU, DestroyMenu>;
using UniqueIcon = Unique<HICON, DestroyIcon>;
using UniqueFont = Unique<HFONT, DeleteFontObject>;
using UniqueGlobal = Unique<HGLOBAL, FreeGlobal>;

// The clipboard opened for `owner`, closed again when this goes; false when another program holds
// it open.
class OpenedClipboard {
 public:
  explicit OpenedClipboard(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  ~OpenedClipboard() {
    if (open_) CloseClipboard();
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  explicit operator bool() const { return open_; }

 private:
  bool open_;
};

// Global memory locked while this lives; get() is null when it could not be locked.
template <typename T>
class LockedGlobal {
 public:
  explicit LockedGlobal(HANDLE memory)
      : memory_(memory), p_(memory ? static_cast<T*>(GlobalLock(memory)) : nullptr) {}
  ~LockedGlobal() {
    if (p_) GlobalUnlock(memory_);
  }
  LockedGlobal(const LockedGlobal&) = delete;
  LockedGlobal& operator=(const LockedGlobal&) = delete;
  T* get() const { return p_; }
  // The bytes of the block.
  SIZE_T bytes() const { return p_ ? GlobalSize(memory_) : 0; }

 private:
  HANDLE memory_;
  T* p_;
};

// One COM interface pointer, released when it goes; put() releases what it held first.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  // Takes its own reference on `p`.
  static ComPtr Copy(T* p) {
    ComPtr c;
    if (p) p->AddRef();
    c.p_ = p;
    return c;
  }

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

// Runs a function when the scope ends.
template <typename F>
class ScopeExit {
 public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ~ScopeExit() { f_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  F f_;
};

// This thread's OLE apartment: entered on request, left when the guard goes.
class OleApartment {
 public:
  OleApartment() = default;
  ~OleApartment() {
    if (entered_) OleUninitialize();
  }
  OleApartment(const OleApartment&) = delete;
  OleApartment& operator=(const OleApartment&) = delete;
  void Enter() {
    if (!entered_) entered_ = SUCCEEDED(OleInitialize(nullptr));
  }

 private:
  bool entered_ = false;
};

// A VARIANT that clears itself. A string it holds is wiped before it is freed, because it may
// have held card data.
struct Variant : VARIANT {
  Variant() { VariantInit(this); }
  ~Variant() { Clear(); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  void Clear() {
    if (vt == VT_BSTR && bstrVal) SecureZeroMemory(bstrVal, SysStringByteLen(bstrVal));
    VariantClear(this);
  }
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

// A sink connected to a connection point; disconnected when the token goes.
class AdviseToken {
 public:
  AdviseToken() = default;
  ~AdviseToken() { reset(); }
  AdviseToken(const AdviseToken&) = delete;
  AdviseToken& operator=(const AdviseToken&) = delete;

  // Connects `sink`; false (and nothing held) when the point refuses it.
  bool Advise(IConnectionPoint* point, IUnknown* sink) {
    reset();
    DWORD cookie = 0;
    if (!point || FAILED(point->Advise(sink, &cookie))) return false;
    point_ = ComPtr<IConnectionPoint>::Copy(point);
    cookie_ = cookie;
    return true;
  }
  explicit operator bool() const { return static_cast<bool>(point_); }
  void reset() {
    if (point_) point_->Unadvise(cookie_);  // nothing to do about a refusal while letting go
    point_.reset();
    cookie_ = 0;
  }

 private:
  ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

}  // namespace platform
