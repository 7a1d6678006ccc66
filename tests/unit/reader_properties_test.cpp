#include "reader/properties.h"
#include "reader/reader_control.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

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

// MSRLib.MSR is called by the numbers the program knows and asked by name only for what it has
// no number for; any other control is asked for each member by its OPOS name, once, and is never
// sent the member without an OPOS name.
TEST(ReaderProperties, MembersAreFoundByNumberOnMsrLibAndByNameElsewhere) {
  std::vector<std::wstring> asked;
  auto lookup = [&](const wchar_t* name) -> std::optional<std::int32_t> {
    asked.push_back(name);
    if (std::wstring(name) == L"Open") return 37;
    if (std::wstring(name) == L"CapPowerReporting") return 12;
    return std::nullopt;
  };
  reader::ControlNumbering fixed(reader::HasFixedNumbers(L"msrlib.msr.1"), lookup);
  EXPECT_EQ(fixed.Find(DispId::Open), 34);
  EXPECT_EQ(fixed.Find(DispId::NumericSetting), 46);
  EXPECT_EQ(fixed.Find(DispId::CapPowerReporting), 12);
  EXPECT_EQ(asked, std::vector<std::wstring>{L"CapPowerReporting"});

  asked.clear();
  reader::ControlNumbering by_name(reader::HasFixedNumbers(L"OPOS.MSR"), lookup);
  EXPECT_EQ(by_name.Find(DispId::Open), 37);
  EXPECT_EQ(by_name.Find(DispId::Open), 37);
  EXPECT_EQ(by_name.Find(DispId::ClaimDevice), std::nullopt);
  EXPECT_EQ(by_name.Find(DispId::ClaimDevice), std::nullopt);
  EXPECT_EQ(by_name.Find(DispId::NumericSetting), std::nullopt);
  EXPECT_EQ(asked, (std::vector<std::wstring>{L"Open", L"ClaimDevice"}));
  EXPECT_FALSE(reader::HasFixedNumbers(L"MSRLib.MSRX"));
}

}  // namespace
