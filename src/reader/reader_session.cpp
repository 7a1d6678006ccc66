#include "reader/reader_session.h"

#include <utility>

#include "reader/properties.h"

namespace reader {
namespace {

// The OPOS result codes the program knows: their names, and what each means to someone at the
// till when a start step is refused with it.
struct KnownCode {
  std::int32_t code;
  const wchar_t* name;   // nullptr: named by its extended code
  const wchar_t* words;
};

constexpr KnownCode kKnownCodes[] = {
    {0, L"OposSuccess", L"card reader ready"},
    {101, L"OposEClosed", L"card reader not open"},
    {102, L"OposEClaimed", L"card reader in use by another program"},
    {103, L"OposENotclaimed", L"card reader not claimed"},
    {104, L"OposENoservice", L"card reader driver not found"},
    {105, L"OposEDisabled", L"card reader disabled"},
    {106, L"OposEIllegal", L"card reader refused a setting"},
    {107, L"OposENohardware", L"card reader not connected"},
    {108, L"OposEOffline", L"card reader offline"},
    {109, L"OposENoexist", L"card reader not found"},
    {110, L"OposEExists", L"card reader not ready"},
    {111, L"OposEFailure", L"card reader failed"},
    {112, L"OposETimeout", L"card reader did not answer"},
    {113, L"OposEBusy", L"card reader busy"},
    {kOposEExtended, nullptr, L"card reader error"},
};

const KnownCode* Find(std::int32_t code) {
  for (const KnownCode& entry : kKnownCodes) {
    if (entry.code == code) return &entry;
  }
  return nullptr;
}

// The magnetic stripe reader's extended codes for start sentinel, end sentinel, parity and LRC
// errors: after a 114 the name already kept is left as it is for these.
bool IsStripeErrorCode(std::int16_t ext) { return ext >= 201 && ext <= 204; }

// True when a call was made and the reader's result code says it took it.
bool Took(ReaderDispatch& msr, bool called) {
  return called && GetInt(msr, DispId::ResultCode).value_or(-1) == kOposSuccess;
}

// The stop sequence looks at no outcome.
void Ignore(bool) {}

}  // namespace

const wchar_t* ResultCodeName(std::int32_t code) {
  const KnownCode* known = Find(code);
  return known ? known->name : nullptr;
}

const wchar_t* ResultCodeWords(std::int32_t code) {
  const KnownCode* known = Find(code);
  return known ? known->words : L"card reader not ready";
}

void ReaderSession::Start(ReaderDispatch& msr) {
  problem_.reset();
  refused_.clear();
  sentinels_transmitted_ = false;
  power_reported_ = false;
  // A call that fails outright is treated like a step the reader refused: the sequence goes on,
  // and the code read back afterwards tells what there is to know. The first step that did not
  // succeed is kept, for the program to say what is wrong with the reader.
  auto note = [&](DispId step, bool called) {
    if (problem_) return;
    if (!called) problem_ = StartProblem{step, kUnreadableCode, kUnreadableCode, true};
    else if (iResult != 0) problem_ = StartProblem{step, iResult, iResultExt, false};
  };
  auto read_both = [&] {
    iResult = NarrowCode(GetInt(msr, DispId::ResultCode));
    iResultExt = NarrowCode(GetInt(msr, DispId::ResultCodeExtended));
  };

  bool called = msr.Call(DispId::Open, {std::wstring(kLogicalDeviceName)});
  read_both();
  opened_ = called && iResult == 0;
  note(DispId::Open, called);
  if (msr.FixedNumbers()) {
    called = msr.Put(DispId::NumericSetting, std::int32_t{1});
    iResult = NarrowCode(GetInt(msr, DispId::ResultCode));  // the extended code is not read here
    note(DispId::NumericSetting, called);
  } else {
    AskForDecodedTracks(msr);
  }
  called = msr.Call(DispId::ClaimDevice, {std::int32_t{1000}});
  read_both();
  note(DispId::ClaimDevice, called);
  // UPOS takes PowerNotify only while the device is disabled.
  if (!msr.FixedNumbers()) AskForPowerReports(msr);
  called = msr.Put(DispId::DeviceEnabled, true);
  read_both();
  note(DispId::DeviceEnabled, called);
  called = msr.Put(DispId::DataEventEnabled, true);
  read_both();
  note(DispId::DataEventEnabled, called);
}

void ReaderSession::AskForDecodedTracks(ReaderDispatch& msr) {
  // A control takes every set at the COM level; only its result code tells whether the service
  // object took it. A refusal costs no card: the program still types what the reader gives.
  const std::pair<DispId, bool> settings[] = {
      {DispId::DecodeData, true}, {DispId::ParseDecodeData, true}, {DispId::TransmitSentinels, false}};
  for (const auto& [id, value] : settings) {
    if (!Took(msr, msr.Put(id, value))) refused_.push_back(id);
  }
  // A service object that keeps sending the sentinels has them taken off each track before typing.
  const std::optional<std::int32_t> transmitted = GetInt(msr, DispId::TransmitSentinels);
  sentinels_transmitted_ = transmitted ? *transmitted != 0 : Refused(DispId::TransmitSentinels);
}

void ReaderSession::AskForPowerReports(ReaderDispatch& msr) {
  constexpr std::int32_t kPowerNotifyEnabled = 1;
  const std::optional<std::int32_t> capability = GetInt(msr, DispId::CapPowerReporting);
  if (!capability || *capability == 0) return;  // OPOS_PR_NONE
  power_reported_ = Took(msr, msr.Put(DispId::PowerNotify, kPowerNotifyEnabled));
}

ReaderCheck ReaderSession::Check(ReaderDispatch& msr) {
  constexpr std::int32_t kInternalCheck = 1, kIllegal = 106, kStateClosed = 1, kStateError = 4;
  if (power_reported_) {
    const std::optional<std::int32_t> power = GetInt(msr, DispId::PowerState);
    if (power && IsPowerLost(*power)) return ReaderCheck::Broken;
  }
  if (msr.Call(DispId::CheckHealth, {kInternalCheck})) {
    const std::int32_t code = GetInt(msr, DispId::ResultCode).value_or(-1);
    if (code == kOposSuccess) return ReaderCheck::Works;
    if (code != kIllegal) return ReaderCheck::Broken;  // 106: the service object has no such check
  }
  const std::optional<std::int32_t> state = GetInt(msr, DispId::State);
  if (!state) return ReaderCheck::Unknown;
  return *state == kStateClosed || *state == kStateError ? ReaderCheck::Broken : ReaderCheck::Works;
}

bool ReaderSession::Refused(DispId id) const {
  for (DispId refused : refused_) {
    if (refused == id) return true;
  }
  return false;
}

void ReaderSession::Stop(ReaderDispatch& msr) {
  Ignore(msr.Put(DispId::DeviceEnabled, false));
  Ignore(msr.Call(DispId::ReleaseDevice, {}));
  Ignore(msr.Call(DispId::Close, {}));
}

std::optional<std::wstring> ReaderSession::GetErr(const std::int16_t& iCode, ReaderDispatch& msr) {
  if (iCode == kOposEExtended) {
    if (!IsStripeErrorCode(iResultExt)) {
      const std::optional<std::int32_t> ext = GetInt(msr, DispId::ResultCodeExtended);
      if (!ext) return std::nullopt;
      sErrText = std::to_wstring(*ext) + L" error";
    }
  } else if (const wchar_t* name = ResultCodeName(iCode)) {
    sErrText = name;
  } else {
    const std::optional<std::int32_t> code = GetInt(msr, DispId::ResultCode);
    if (!code) return std::nullopt;
    sErrText = std::to_wstring(*code) + L" error";
  }
  return sErrText;
}

}  // namespace reader
