// The real program started on damaged stored settings, as IT tools, old versions or a broken
// profile leave them: it starts, shows the defaults for what it cannot take, and saves valid
// texts when it ends.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/program_fixture_win32.h"

namespace {

using e2e::kOptionsKey;
using e2e::kSettingKeys;

struct RawValue {
  DWORD type;
  std::vector<BYTE> bytes;
};

RawValue Text(const std::wstring& text, DWORD type = REG_SZ) {
  const BYTE* p = reinterpret_cast<const BYTE*>(text.data());
  return {type, std::vector<BYTE>(p, p + (text.size() + 1) * sizeof(wchar_t))};
}

RawValue Number(DWORD type, ULONGLONG n) {
  const BYTE* p = reinterpret_cast<const BYTE*>(&n);
  return {type, std::vector<BYTE>(p, p + (type == REG_QWORD ? 8 : 4))};
}

void WriteRaw(const wchar_t* name, const RawValue& value) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kOptionsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, name, 0, value.type, value.bytes.data(), static_cast<DWORD>(value.bytes.size()));
  RegCloseKey(key);
}

// The window's boxes and buttons for the ten settings, in key order, by their captions.
const wchar_t* const kCaptions[] = {
    L"Run at Startup", L"Hide this form at startup", L"Carriage Return with Track Data",
    L"No Carriage Return", L"Carriage Return with Card Data", L"Send Track1 to Active Window",
    L"Send Track2 to Active Window", L"Send Track3 to Active Window", L"Send Sentinels",
    L"Do Not Send Sentinels"};
const LRESULT kDefaultChecks[] = {BST_CHECKED,   BST_UNCHECKED, BST_UNCHECKED, BST_CHECKED,
                                  BST_UNCHECKED, BST_CHECKED,   BST_CHECKED,   BST_CHECKED,
                                  BST_CHECKED,   BST_UNCHECKED};

class StoredValues : public e2e::ProgramTest {};

TEST_F(StoredValues, DamagedOnesStartWithTheDefaultsShownAndAreSavedValid) {
  const std::vector<std::vector<RawValue>> starts = {
      // Other types, a huge text, a text beginning "True", a NUL first, Unicode digits.
      {Number(REG_DWORD, 0), Text(L"1", REG_BINARY), Text(L"Tru"), Text(L""),
       Text(std::wstring(70000, L'9')), Text(L"\uff10"), Text(std::wstring(L"\0" L"0", 2)),
       Number(REG_QWORD, 0), Text(L"False\0", REG_MULTI_SZ), Text(L"True", REG_EXPAND_SZ)},
      // Both option groups left with nothing selected, the boxes out of range.
      {Text(L"3"), Text(L"-1"), Text(L"False"), Text(L"False"), Text(L"False"), Text(L"32768"),
       Text(L"1.0"), Text(L"yes"), Text(L"False"), Text(L"False")},
  };
  const e2e::StoredSettings defaults =
      e2e::Settings({L"1", L"0", L"False", L"True", L"False", L"1", L"1", L"1", L"True", L"False"});
  for (std::size_t s = 0; s < starts.size(); ++s) {
    SCOPED_TRACE("start " + std::to_string(s));
    for (std::size_t k = 0; k < kSettingKeys.size(); ++k) WriteRaw(kSettingKeys[k], starts[s][k]);
    e2e::DeleteRunEntry();
    e2e::Program program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitReady()) << "the program did not start";
    HWND window = program.Window();
    ASSERT_TRUE(e2e::WaitFor([&] { return IsWindowVisible(window) != FALSE; }, 5000))
        << "the window hid itself";
    for (std::size_t k = 0; k < kSettingKeys.size(); ++k) {
      HWND button = e2e::ChildWithText(window, L"Button", kCaptions[k]);
      ASSERT_NE(button, nullptr);
      DWORD_PTR check = 0;
      SendMessageTimeoutW(button, BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &check);
      EXPECT_EQ(static_cast<LRESULT>(check), kDefaultChecks[k]) << "shown for the stored " << kSettingKeys[k];
    }
    PostMessageW(window, WM_CLOSE, 0, 0);  // as a task manager ends it: the settings are saved
    ExpectShutDown(program, window, defaults, true);
  }
}

}  // namespace
