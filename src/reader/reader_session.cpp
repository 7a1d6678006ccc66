#include "reader/reader_session.h"

#include "reader/properties.h"

namespace reader {
namespace {

struct CodeName {
  std::int32_t code;
  const wchar_t* name;
};

constexpr CodeName kCodeNames[] = {
    {0, L"OposSuccess"},     {101, L"OposEClosed"},     {102, L"OposEClaimed"},
    {103, L"OposENotclaimed"}, {104, L"OposENoservice"}, {105, L"OposEDisabled"},
    {106, L"OposEIllegal"},  {107, L"OposENohardware"}, {108, L"OposEOffline"},
    {109, L"OposENoexist"},  {110, L"OposEExists"},     {111, L"OposEFailure"},
    {112, L"OposETimeout"},  {113, L"OposEBusy"},
};

// The magnetic stripe reader's extended codes for start sentinel, end sentinel, parity and LRC
// errors: after a 114 the name already kept is left as it is for these.
bool IsStripeErrorCode(std::int16_t ext) { return ext >= 201 && ext <= 204; }

// The stop sequence looks at no outcome.
void Ignore(bool) {}

}  // namespace

const wchar_t* ResultCodeName(std::int32_t code) {
  for (const CodeName& entry : kCodeNames) {
    if (entry.code == code) return entry.name;
  }
  return nullptr;
}

void ReaderSession::Start(ReaderDispatch& msr) {
  problem_.reset();
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
  called = msr.Put(DispId::NumericSetting, std::int32_t{1});
  iResult = NarrowCode(GetInt(msr, DispId::ResultCode));  // the extended code is not read here
  note(DispId::NumericSetting, called);
  called = msr.Call(DispId::ClaimDevice, {std::int32_t{1000}});
  read_both();
  note(DispId::ClaimDevice, called);
  called = msr.Put(DispId::DeviceEnabled, true);
  read_both();
  note(DispId::DeviceEnabled, called);
  called = msr.Put(DispId::DataEventEnabled, true);
  read_both();
  note(DispId::DataEventEnabled, called);
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
