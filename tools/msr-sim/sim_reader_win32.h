#pragma once
// The simulated OPOS magnetic stripe reader control: IDispatch by DISPID, a connection point for
// its events, and a hidden window on the creating thread that receives swiped cards and raises
// the data event.

#include <windows.h>
#include <ocidl.h>

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "sim_config.h"
#include "sim_protocol.h"

namespace msr_sim {

// The two control families the simulated reader stands in for: MSRLib.MSR with its own numbers,
// and the OPOS Common Control Objects' OPOS.MSR, which numbers its members as the common
// control objects do, is asked for them by name and asks its clients for their events' numbers.
enum class Flavour { MsrLib, Opos };

// {3F6C1E52-8B0D-4C47-9A51-6D2E7B0C4A11}
inline constexpr CLSID kClsid = {0x3f6c1e52, 0x8b0d, 0x4c47, {0x9a, 0x51, 0x6d, 0x2e, 0x7b, 0x0c, 0x4a, 0x11}};
// {3F6C1E53-8B0D-4C47-9A51-6D2E7B0C4A11}: the event dispinterface.
inline constexpr IID kEventsIid = {0x3f6c1e53, 0x8b0d, 0x4c47, {0x9a, 0x51, 0x6d, 0x2e, 0x7b, 0x0c, 0x4a, 0x11}};
inline constexpr wchar_t kProgId[] = L"MSRLib.MSR";
// {3F6C1E54-8B0D-4C47-9A51-6D2E7B0C4A11}: the common control objects' flavour.
inline constexpr CLSID kOposClsid = {0x3f6c1e54, 0x8b0d, 0x4c47, {0x9a, 0x51, 0x6d, 0x2e, 0x7b, 0x0c, 0x4a, 0x11}};
// {3F6C1E55-8B0D-4C47-9A51-6D2E7B0C4A11}: its event dispinterface.
inline constexpr IID kOposEventsIid = {0x3f6c1e55, 0x8b0d, 0x4c47, {0x9a, 0x51, 0x6d, 0x2e, 0x7b, 0x0c, 0x4a, 0x11}};
// A vtable interface of the control's own, with a connection point of its own ("vtablepoint").
inline constexpr IID kVtableEventsIid = {0x3f6c1e56, 0x8b0d, 0x4c47, {0x9a, 0x51, 0x6d, 0x2e, 0x7b, 0x0c, 0x4a, 0x11}};
inline constexpr wchar_t kOposProgId[] = L"OPOS.MSR";

// The members of the simulated reader, whatever their numbers.
enum class Member {
  None, Open, Close, Claim, Release, CheckHealth, DirectIO, OtherMethod,
  DataEventEnabled, DeviceEnabled, ResultCode, ResultCodeExtended, Track1, Track2, Track3,
  Account, Expiration, ServiceCode, FirstName, MiddleInitial, Surname, NumericSetting,
  DecodeData, ParseDecodeData, TransmitSentinels, FreezeEvents, AutoDisable, DataCount,
  PowerNotify, PowerState, CapPowerReporting, State, Description, SwipeTime,
  CardType, CapDataEncryption, DataEncryptionAlgorithm, BinaryConversion,
  Track1Encrypted, Track2Encrypted, Track3Encrypted, SecurityInfo,
};

// Registers the hidden window's class; once per process, before the first reader is created.
bool RegisterReaderWindowClass(HINSTANCE instance);

class SimReader final : public IDispatch, public IConnectionPointContainer, public IProvideClassInfo2 {
 public:
  // Reads the configuration named by the environment, which may say that creation fails.
  static HRESULT Create(Flavour flavour, REFIID riid, void** object);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
  HRESULT ClassTypeInfo(ITypeInfo** info);
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* arg_err) override;

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

  // IProvideClassInfo2
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;

  LRESULT OnMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 private:
  // A connection point of the reader: its event dispinterface, or property-change notification
  // (which every ActiveX control offers too, and which a client must not take for its events).
  // Lives and dies with the reader.
  class Point : public IConnectionPoint {
   public:
    Point(SimReader& owner, const IID& iid) : owner_(owner), iid_(iid) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_.Release(); }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** c) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** e) override;
    const IID& iid() const { return iid_; }

    // The connected sinks, each as the interface of this point.
    std::map<DWORD, IUnknown*> sinks;

   private:
    SimReader& owner_;
    IID iid_;
  };

  SimReader(Flavour flavour, SimConfig config);
  ~SimReader();

  void Journal(const wchar_t* kind, DISPID id, const DISPPARAMS* params);
  HRESULT Method(Member member, DISPID id, DISPPARAMS* params, VARIANT* result);
  HRESULT PutProperty(Member member, DISPID id, DISPPARAMS* params);
  HRESULT GetProperty(Member member, VARIANT* result);
  void SetResult(std::int32_t code, std::int32_t ext = 0);
  // A member this control does not have, as its configuration says ("cardtype=none").
  bool Hidden(Member member) const { return member == Member::CardType && config_.card_type_unknown; }
  void DoOpen(const wchar_t* device, DISPID open_id);
  // Runs the thread's messages for `ms`, then journals "returned <open_id>".
  void WaitPumping(unsigned ms, DISPID open_id);
  LRESULT OnCard(const COPYDATASTRUCT& data);
  void ScheduleDelivery();
  void Deliver();
  // What a track looks like as the reader reports it, with its decoding and sentinel settings.
  std::wstring Reported(const std::wstring& track, int number) const;
  // Raises event `id` on every connected sink with `values` as its arguments, first to last.
  void FireEvent(DISPID id, const std::vector<std::int32_t>& values);
  void NotifyChanged(DISPID id);

  Flavour flavour_;
  LONG refs_ = 1;
  int raising_ = 0;  // events being raised, on the stack
  Point notify_point_{*this, IID_IPropertyNotifySink};  // enumerated first, as many controls do
  Point point_;
  Point vtable_point_;  // enumerated before the events' point when configured
  DWORD next_cookie_ = 1;
  HWND window_ = nullptr;
  SimConfig config_;

  bool open_ = false, claimed_ = false, device_enabled_ = false, data_event_enabled_ = false;
  bool decode_data_, parse_decode_data_, transmit_sentinels_;
  bool freeze_events_ = false, auto_disable_ = false;
  // The device, not the control: a control made afresh finds it as the last one left it.
  static inline bool powered_ = true, lost_ = false;  // lost: it came and went; dead until Close
  std::int32_t power_notify_ = 0;
  std::int32_t result_ = 0, result_ext_ = 0, numeric_setting_ = 0;
  std::int32_t binary_conversion_;
  HMODULE helper_ = nullptr;  // the service object's own DLL, loaded by Open
  // The delivered card's tracks, fields and kind, and its encrypted data and key serial number as
  // bytes, one character each.
  std::map<Member, std::wstring> data_;
  std::int64_t delivered_sent_at_ = 0;
  std::deque<Card> waiting_;
};

}  // namespace msr_sim
