#pragma once
// Every call the program makes on the card reader control, by dispatch identifier.

#include <cstdint>
#include <string_view>

namespace reader {

enum class DispKind : std::uint8_t { Method, PropertyPut, PropertyGet };

// The dispatch identifiers of the reader control's operations that the program uses.
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
  // A numeric setting of the control; the start sequence sets it to 1. The program gives it no name
  // of its own because it relies on nothing but the value.
  NumericSetting = 46,
};

struct DispInfo {
  DispId id;
  std::string_view name;
  DispKind kind;
};

// The one table of the reader's operations: identifier, name, kind.
inline constexpr DispInfo kReaderCalls[] = {
    {DispId::Open, "Open", DispKind::Method},
    {DispId::NumericSetting, "NumericSetting", DispKind::PropertyPut},
    {DispId::ClaimDevice, "ClaimDevice", DispKind::Method},
    {DispId::DeviceEnabled, "DeviceEnabled", DispKind::PropertyPut},
    {DispId::DataEventEnabled, "DataEventEnabled", DispKind::PropertyPut},
    {DispId::ReleaseDevice, "ReleaseDevice", DispKind::Method},
    {DispId::Close, "Close", DispKind::Method},
    {DispId::ResultCode, "ResultCode", DispKind::PropertyGet},
    {DispId::ResultCodeExtended, "ResultCodeExtended", DispKind::PropertyGet},
    {DispId::Track1Data, "Track1Data", DispKind::PropertyGet},
    {DispId::Track2Data, "Track2Data", DispKind::PropertyGet},
    {DispId::Track3Data, "Track3Data", DispKind::PropertyGet},
    {DispId::AccountNumber, "AccountNumber", DispKind::PropertyGet},
    {DispId::ExpirationDate, "ExpirationDate", DispKind::PropertyGet},
    {DispId::FirstName, "FirstName", DispKind::PropertyGet},
    {DispId::MiddleInitial, "MiddleInitial", DispKind::PropertyGet},
    {DispId::Surname, "Surname", DispKind::PropertyGet},
};

// The table row of `id`, or nullptr for an identifier the program never calls.
constexpr const DispInfo* FindDisp(std::int32_t id) {
  for (const DispInfo& info : kReaderCalls) {
    if (static_cast<std::int32_t>(info.id) == id) return &info;
  }
  return nullptr;
}

// The reader's logical device name; fixed, not configurable.
inline constexpr wchar_t kLogicalDeviceName[] = L"ZANKeyboardWedge";

// Result codes of the OPOS standard that the program names or tests for.
inline constexpr std::int32_t kOposSuccess = 0;
inline constexpr std::int32_t kOposEExtended = 114;

}  // namespace reader
