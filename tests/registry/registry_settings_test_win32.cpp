#include "settings/registry_settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <vector>

#include "registry/registry_test_util_win32.h"
#include "settings/settings_table.h"
#include "shell/form_model.h"
#include "unit/settings_fakes.h"

namespace {

using registry_test::Read;
using registry_test::Write;
using shell::Ctl;

constexpr wchar_t kAppKey[] = L"Software\\VB and VBA Program Settings\\ZANKeyboardWedge";
constexpr wchar_t kOptions[] = L"Software\\VB and VBA Program Settings\\ZANKeyboardWedge\\Options";

// Works on the program's own settings key of the test prefix; empty before and after.
class RegistrySettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey); }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey); }

  void ExpectStored(const std::vector<std::wstring>& texts) {
    ASSERT_EQ(texts.size(), settings::kSettings.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
      const auto value = Read(kOptions, settings::kSettings[i].key);
      ASSERT_TRUE(value) << settings::kSettings[i].key;
      EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
      EXPECT_EQ(value->bytes.size(), (texts[i].size() + 1) * sizeof(wchar_t)) << "NUL included";
      EXPECT_EQ(value->Text(), texts[i] + L'\0');
    }
  }

  std::unique_ptr<settings::SettingsStore> store = settings::MakeRegistrySettingsStore();
};

TEST_F(RegistrySettingsTest, AllTenKeysRoundTripFromAnEmptyStore) {
  shell::FormModel first{*store};
  settings::LoadSettings(*store, first);
  EXPECT_FALSE(Read(kOptions, L"StartUp")) << "a load writes nothing";
  settings::SaveSettings(*store, first);
  ExpectStored({L"1", L"0", L"False", L"True", L"False", L"1", L"1", L"1", L"True", L"False"});

  first.SetValue(Ctl::chkStartup, 2);
  first.SetValue(Ctl::chkHideform, 1);
  first.SetValue(Ctl::optCR2, -1);
  first.SetValue(Ctl::optTrkFix0, 0);
  first.SetValue(Ctl::optTrkFix1, 0);
  first.SetValue(Ctl::optSentinel1, -1);
  settings::SaveSettings(*store, first);
  ExpectStored({L"2", L"1", L"False", L"False", L"True", L"0", L"0", L"1", L"False", L"True"});

  shell::FormModel second{*store};
  settings::LoadSettings(*store, second);
  for (const settings::SettingRow& row : settings::kSettings) {
    EXPECT_EQ(second.SettingValue(row.setting), first.SettingValue(row.setting)) << row.key;
  }
}

TEST_F(RegistrySettingsTest, BadAndWronglyTypedValuesTakeTheirDefaultsAndAreRewritten) {
  const DWORD zero = 0;
  Write(kOptions, L"StartUp", REG_DWORD, &zero, sizeof zero);
  const BYTE binary[] = {'T', 0, 'r', 0, 'u', 0, 'e', 0, 0, 0};
  Write(kOptions, L"Sent1", REG_BINARY, binary, sizeof binary);
  Write(kOptions, L"Trk0", REG_SZ, L"abc", 8);
  Write(kOptions, L"Trk1", REG_SZ, L"7", 4);
  Write(kOptions, L"CR2", REG_MULTI_SZ, L"True\0", 12);
  Write(kOptions, L"HideOnStart", REG_SZ, L"1", 2);  // stored without its NUL: still "1"

  shell::FormModel form{*store};
  settings::LoadSettings(*store, form);
  EXPECT_EQ(form.Value(Ctl::chkStartup), 1);
  EXPECT_EQ(form.Value(Ctl::optSentinel0), -1);
  EXPECT_EQ(form.Value(Ctl::optTrkFix0), 1);
  EXPECT_EQ(form.Value(Ctl::optTrkFix1), 1);
  EXPECT_EQ(form.Value(Ctl::optCR2), 0);
  EXPECT_EQ(form.Value(Ctl::chkHideform), 1);
  EXPECT_EQ(settings::StoredHideOnStart(*store), std::optional<std::int16_t>(1));

  settings::SaveSettings(*store, form);
  ExpectStored({L"1", L"1", L"False", L"True", L"False", L"1", L"1", L"1", L"True", L"False"});
}

// A stored value no load may take: another registry type, or a text that is not one of the
// key's texts (the other kind's included). `what` says which, for failure messages.
struct HostileValue {
  DWORD type = REG_SZ;
  std::vector<BYTE> bytes;
  std::string what;
};

HostileValue Sz(const std::wstring& text, std::string what, DWORD type = REG_SZ) {
  HostileValue v{type, {}, std::move(what)};
  const BYTE* p = reinterpret_cast<const BYTE*>(text.data());
  v.bytes.assign(p, p + (text.size() + 1) * sizeof(wchar_t));
  return v;
}

HostileValue Hostile(const settings::SettingRow& row, std::mt19937& random) {
  const bool box = row.kind == settings::SettingKind::CheckBox;
  // A text the key takes but does not default to, so that taking it would show.
  const std::wstring not_default = box ? L"2" : std::wstring(row.default_text) == L"True" ? L"False" : L"True";
  auto pick = [&](auto& list) { return list[random() % (sizeof list / sizeof list[0])]; };
  auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  switch (random() % 12) {
    case 0: {
      const wchar_t* const blanks[] = {L"", L" ", L"\t \t", L"\r\n"};
      return Sz(pick(blanks), "empty or blank");
    }
    case 1: {  // a number far out of range, up to 100,000 digits
      std::wstring digits(between(6, 100000), L'0');
      for (wchar_t& d : digits) d = static_cast<wchar_t>(L'0' + random() % 10);
      digits[0] = static_cast<wchar_t>(L'1' + random() % 9);
      return Sz(digits, "huge number of " + std::to_string(digits.size()) + " digits");
    }
    case 2: {  // up to 100,000 letters
      std::wstring letters(between(6, 100000), L'a');
      for (wchar_t& c : letters) c = static_cast<wchar_t>((random() % 2 ? L'a' : L'A') + random() % 26);
      return Sz(letters, "huge text of " + std::to_string(letters.size()) + " letters");
    }
    case 3: {
      const wchar_t* const words[] = {L"yes", L"on", L"Ja", L"wahr", L"T", L"Tru", L"Fals", L"Truee",
                                      L"False!", L"1.0", L"0x1", L"1e0", L"--1", L"+-0", L"0 1", L"-",
                                      L"+", L"NaN", L"#TRUE#", L"\"True\"", L"'1'", L"True False"};
      return Sz(pick(words), "not a value");
    }
    case 4: {  // a number the key does not take: any for an option, all but 0, 1, 2 for a box
      int n = between(-100000, 100000);
      if (box && n >= 0 && n <= 2) n += 3;
      return Sz(std::to_wstring(n), "number " + std::to_string(n));
    }
    case 5: {
      const wchar_t* const other_kind[] = {L"True", L"False", L"true"};
      const wchar_t* const other_box[] = {L"0", L"1", L"2", L"-1"};
      return Sz(box ? pick(other_kind) : pick(other_box), "the other kind's text");
    }
    case 6: {
      const wchar_t* const unicode[] = {
          L"\uff34\uff52\uff55\uff45", L"\uff11", L"\u0661", L"\u00b9", L"\u00bd", L"\u0422rue",
          L"F\u0430lse", L"\u03a4RUE", L"1\u0301", L"\u200b1", L"True\u200b", L"\U0001F600",
          L"\xd800", L"\xffff", L"\u0130"};
      return Sz(pick(unicode), "Unicode look-alike");
    }
    case 7: {  // a NUL before any text: what is read ends there
      const wchar_t* const after[] = {L"True", L"1", L"0", L"False"};
      return Sz(std::wstring(L"\0", 1) + pick(after), "embedded NUL");
    }
    case 8: {
      const DWORD d = random() % 2 ? static_cast<DWORD>(random() % 3) : static_cast<DWORD>(random());
      HostileValue v{REG_DWORD, {}, "REG_DWORD " + std::to_string(d)};
      v.bytes.assign(reinterpret_cast<const BYTE*>(&d), reinterpret_cast<const BYTE*>(&d) + sizeof d);
      return v;
    }
    case 9: {
      const ULONGLONG q = random() % 3;
      HostileValue v{REG_QWORD, {}, "REG_QWORD"};
      v.bytes.assign(reinterpret_cast<const BYTE*>(&q), reinterpret_cast<const BYTE*>(&q) + sizeof q);
      return v;
    }
    case 10: {  // random bytes, or the key's default text as bytes
      if (random() % 2) return Sz(not_default, "text as REG_BINARY", REG_BINARY);
      HostileValue v{REG_BINARY, std::vector<BYTE>(between(0, 64)), "random REG_BINARY"};
      for (BYTE& b : v.bytes) b = static_cast<BYTE>(random());
      return v;
    }
    default: {
      const DWORD types[] = {REG_EXPAND_SZ, REG_MULTI_SZ, REG_NONE};
      return Sz(not_default, "valid text of another type", pick(types));
    }
  }
}

// Values generated from a fixed seed, ten at a time: each start takes the defaults for them, the
// hide-at-start rule does not hide, and the save writes valid texts.
TEST_F(RegistrySettingsTest, HostileStoredValuesLoadAsTheDefaultsAndAreSavedValid) {
  const std::vector<std::wstring> defaults = {L"1",    L"0", L"False", L"True", L"False",
                                              L"1",    L"1", L"1",     L"True", L"False"};
  const std::int16_t default_values[] = {1, 0, 0, -1, 0, 1, 1, 1, -1, 0};
  std::mt19937 random(1306);
  const int kStarts = 24;
  int tried = 0;
  for (int start = 0; start < kStarts; ++start) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
    std::vector<std::string> written;
    for (const settings::SettingRow& row : settings::kSettings) {
      const HostileValue v = Hostile(row, random);
      Write(kOptions, row.key, v.type, v.bytes.data(), static_cast<DWORD>(v.bytes.size()));
      written.push_back(v.what);
      ++tried;
    }
    shell::FormModel form{*store};
    settings::LoadSettings(*store, form);
    for (std::size_t i = 0; i < settings::kSettings.size(); ++i) {
      EXPECT_EQ(form.SettingValue(settings::kSettings[i].setting), default_values[i])
          << "start " << start << ", " << written[i];
    }
    EXPECT_NE(settings::StoredHideOnStart(*store), std::optional<std::int16_t>(1)) << written[1];
    settings::SaveSettings(*store, form);
    ASSERT_NO_FATAL_FAILURE(ExpectStored(defaults)) << "start " << start;
  }
  std::printf("figure: stored values tried %d in %d loads and saves, defaults shown and saved for all\n",
              tried, kStarts);
}

TEST_F(RegistrySettingsTest, ReadsTextsOfAnyLengthAndWritesUnicode) {
  const std::wstring long_text(5000, L'7');
  ASSERT_TRUE(store->SaveSetting(L"ZANKeyboardWedge", L"Options", L"Long", long_text));
  EXPECT_EQ(store->GetSetting(L"ZANKeyboardWedge", L"Options", L"Long", L"-"), long_text);
  const std::wstring unicode = L"Kassé Ω 数";
  ASSERT_TRUE(store->SaveSetting(L"ZANKeyboardWedge", L"Options", L"Name", unicode));
  EXPECT_EQ(store->GetSetting(L"ZANKeyboardWedge", L"Options", L"Name", L"-"), unicode);
  EXPECT_EQ(store->GetSetting(L"ZANKeyboardWedge", L"Other", L"Name", L"-"), L"-");
}

}  // namespace
