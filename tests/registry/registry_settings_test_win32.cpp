#include "settings/registry_settings.h"

#include <gtest/gtest.h>

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
