#pragma once
// Every member of the card reader control that the program uses.

#include <cstdint>

namespace reader {

enum class DispKind : std::uint8_t { Method, PropertyPut, PropertyGet };

// Members past this value have no number on MSRLib.MSR; every control is asked for them by name.
inline constexpr std::int32_t kByNameOnly = 0x10000;

// The members of the reader control that the program uses. Each value is the member's dispatch
// identifier on MSRLib.MSR, the control family whose numbers the program was built on. Every
// other OPOS control numbers its members its own way and is asked for each by its OPOS name.
enum class DispId : std::int32_t {
  DataEventEnabled = 3,
  DeviceEnabled = 4,
  ResultCode = 6,
  ResultCodeExtended = 7,
  Track1Data = 21,
  Track2Data = 22,
  Track3Data = 23,
  AccountNumber = 24,
  ExpirationDate = 25,
  FirstName = 27,
  MiddleInitial = 28,
  Surname = 29,
  Open = 34,
  Close = 35,
  ClaimDevice = 36,
  ReleaseDevice = 37,
  // A numeric setting of MSRLib.MSR; the start sequence sets it to 1. It has no OPOS name, so no
  // other control is sent it.
  NumericSetting = 46,
  // UPOS properties and methods the program uses on other controls.
  DecodeData = kByNameOnly,
  ParseDecodeData,
  TransmitSentinels,
  CapPowerReporting,
  PowerNotify,
  PowerState,
  State,
  CheckHealth,
  ServiceCode,  // the card's service code, where the control parses one
  // The kind of card and an encrypting reader's data (UPOS 1.12), and how binary data is given.
  CardType,
  CapDataEncryption,
  DataEncryptionAlgorithm,
  Track1EncryptedData,
  Track2EncryptedData,
  Track3EncryptedData,
  AdditionalSecurityInformation,
  BinaryConversion,
};

struct DispInfo {
  DispId id;
  const wchar_t* opos_name;  // nullptr: no OPOS name
  DispKind kind;
};

// The one table of the reader's members: identifier, OPOS name, kind.
inline constexpr DispInfo kReaderCalls[] = {
    {DispId::Open, L"Open", DispKind::Method},
    {DispId::NumericSetting, nullptr, DispKind::PropertyPut},
    {DispId::ClaimDevice, L"ClaimDevice", DispKind::Method},
    {DispId::DeviceEnabled, L"DeviceEnabled", DispKind::PropertyPut},
    {DispId::DataEventEnabled, L"DataEventEnabled", DispKind::PropertyPut},
    {DispId::ReleaseDevice, L"ReleaseDevice", DispKind::Method},
    {DispId::Close, L"Close", DispKind::Method},
    {DispId::ResultCode, L"ResultCode", DispKind::PropertyGet},
    {DispId::ResultCodeExtended, L"ResultCodeExtended", DispKind::PropertyGet},
    {DispId::Track1Data, L"Track1Data", DispKind::PropertyGet},
    {DispId::Track2Data, L"Track2Data", DispKind::PropertyGet},
    {DispId::Track3Data, L"Track3Data", DispKind::PropertyGet},
    {DispId::AccountNumber, L"AccountNumber", DispKind::PropertyGet},
    {DispId::ExpirationDate, L"ExpirationDate", DispKind::PropertyGet},
    {DispId::FirstName, L"FirstName", DispKind::PropertyGet},
    {DispId::MiddleInitial, L"MiddleInitial", DispKind::PropertyGet},
    {DispId::Surname, L"Surname", DispKind::PropertyGet},
    {DispId::DecodeData, L"DecodeData", DispKind::PropertyPut},
    {DispId::ParseDecodeData, L"ParseDecodeData", DispKind::PropertyPut},
    {DispId::TransmitSentinels, L"TransmitSentinels", DispKind::PropertyPut},
    {DispId::CapPowerReporting, L"CapPowerReporting", DispKind::PropertyGet},
    {DispId::PowerNotify, L"PowerNotify", DispKind::PropertyPut},
    {DispId::PowerState, L"PowerState", DispKind::PropertyGet},
    {DispId::State, L"State", DispKind::PropertyGet},
    {DispId::CheckHealth, L"CheckHealth", DispKind::Method},
    {DispId::ServiceCode, L"ServiceCode", DispKind::PropertyGet},
    {DispId::CardType, L"CardType", DispKind::PropertyGet},
    {DispId::CapDataEncryption, L"CapDataEncryption", DispKind::PropertyGet},
    {DispId::DataEncryptionAlgorithm, L"DataEncryptionAlgorithm", DispKind::PropertyGet},
    {DispId::Track1EncryptedData, L"Track1EncryptedData", DispKind::PropertyGet},
    {DispId::Track2EncryptedData, L"Track2EncryptedData", DispKind::PropertyGet},
    {DispId::Track3EncryptedData, L"Track3EncryptedData", DispKind::PropertyGet},
    {DispId::AdditionalSecurityInformation, L"AdditionalSecurityInformation", DispKind::PropertyGet},
    {DispId::BinaryConversion, L"BinaryConversion", DispKind::PropertyGet},
};

// The table row of `id`, or nullptr for a member the program never uses.
constexpr const DispInfo* FindDisp(DispId id) {
  for (const DispInfo& info : kReaderCalls) {
    if (info.id == id) return &info;
  }
  return nullptr;
}

// The reader's logical device name; fixed, not configurable.
inline constexpr wchar_t kLogicalDeviceName[] = L"ZANKeyboardWedge";

// Result codes of the OPOS standard that the program names or tests for.
inline constexpr std::int32_t kOposSuccess = 0;
inline constexpr std::int32_t kOposEExtended = 114;

// CapDataEncryption and DataEncryptionAlgorithm: no encryption (a bit, and a value).
inline constexpr std::int32_t kMsrDeNone = 0x00000001;

}  // namespace reader
