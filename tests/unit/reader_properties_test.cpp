#include "reader/properties.h"

#include <gtest/gtest.h>

#include <tuple>

#include "unit/fakes.h"

namespace {

using reader::DispId;
using testing_fakes::FakeReader;

TEST(ReaderProperties, TextOfEveryValueKind) {
  FakeReader msr;
  msr.props[DispId::Track1Data] = std::wstring(L"B4111111111111111^X");
  msr.props[DispId::Track2Data] = std::int32_t{-42};
  msr.props[DispId::Track3Data] = true;
  msr.props[DispId::FirstName] = false;
  EXPECT_EQ(reader::GetText(msr, DispId::Track1Data), L"B4111111111111111^X");
  EXPECT_EQ(reader::GetText(msr, DispId::Track2Data), L"-42");
  EXPECT_EQ(reader::GetText(msr, DispId::Track3Data), L"True");
  EXPECT_EQ(reader::GetText(msr, DispId::FirstName), L"False");
  EXPECT_EQ(reader::GetText(msr, DispId::Surname), L"");  // never set: empty
  msr.failing = {DispId::Surname};
  EXPECT_EQ(reader::GetText(msr, DispId::Surname), std::nullopt);
}

TEST(ReaderProperties, ResultCodesAsIntegers) {
  FakeReader msr;
  const std::pair<reader::DispValue, std::optional<std::int32_t>> cases[] = {
      {std::int32_t{114}, 114},         {std::wstring(L" 201 "), 201},
      {std::wstring(L"-7"), -7},        {true, -1},
      {reader::DispValue{}, 0},         {std::wstring(L"abc"), std::nullopt},
      {std::wstring(L""), std::nullopt}, {std::wstring(L"99999999999"), std::nullopt},
      {std::wstring(L"-2147483648"), INT32_MIN},
  };
  for (const auto& [stored, expected] : cases) {
    msr.props[DispId::ResultCode] = stored;
    EXPECT_EQ(reader::GetInt(msr, DispId::ResultCode), expected);
  }
  msr.failing = {DispId::ResultCodeExtended};
  EXPECT_EQ(reader::GetInt(msr, DispId::ResultCodeExtended), std::nullopt);
}

TEST(ReaderProperties, NarrowingKeepsCodesAndMarksTheUnstorable) {
  EXPECT_EQ(reader::NarrowCode(0), 0);
  EXPECT_EQ(reader::NarrowCode(114), 114);
  EXPECT_EQ(reader::NarrowCode(-32768), -32768);
  EXPECT_EQ(reader::NarrowCode(32767), 32767);
  // 65536 + 101 would wrap to 101 ("closed"), a different and misleading code.
  EXPECT_EQ(reader::NarrowCode(65536 + 101), reader::kUnreadableCode);
  EXPECT_EQ(reader::NarrowCode(-32769), reader::kUnreadableCode);
  EXPECT_EQ(reader::NarrowCode(std::nullopt), reader::kUnreadableCode);
}

// What is not what the conversion makes is no data at all, never other bytes.
TEST(ReaderProperties, BinaryDataAsHexOrNothing) {
  using reader::BinaryConversion;
  const std::tuple<std::wstring, BinaryConversion, std::optional<std::wstring>> rows[] = {
      {std::wstring(L"\x00\xFF", 2), BinaryConversion::None, L"00FF"},
      {L"\x100", BinaryConversion::None, std::nullopt},
      {L"0?9:", BinaryConversion::Nibble, L"0F9A"},
      {L"0@", BinaryConversion::Nibble, std::nullopt},
      {L"0", BinaryConversion::Nibble, std::nullopt},
      {L"255000", BinaryConversion::Decimal, L"FF00"},
      {L"256", BinaryConversion::Decimal, std::nullopt},
      {L"25", BinaryConversion::Decimal, std::nullopt},
  };
  for (const auto& [text, conversion, hex] : rows) EXPECT_EQ(reader::BinaryAsHex(text, conversion), hex);
}

}  // namespace
