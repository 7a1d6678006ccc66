#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "registry/registry_test_util_win32.h"
#include "settings/registry_settings.h"

namespace {

using registry_test::Read;

constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kName[] = L"ZANKeyboardWedge";

std::wstring OwnFolder() {
  std::wstring path = settings::RunningExecutablePath();
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

// Runs a program with one argument and returns its exit code (-1 when it could not start).
int RunProgram(const std::wstring& exe, const std::wstring& argument) {
  std::wstring command = L"\"" + exe + L"\" " + argument;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &si, &pi)) {
    return -1;
  }
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}

void DeleteEntry() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRun, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueW(key, kName);
    RegCloseKey(key);
  }
}

// The helper program, copied into a folder whose name holds blanks and characters outside any
// single-byte code page, under a name whose extension is in capitals.
class RunEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteEntry();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"Zan Kassé Ω 数 " + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    exe_ = folder_ + L"\\Wedge Helper.EXE";
    ASSERT_TRUE(CopyFileW((OwnFolder() + L"zan_run_entry_helper.exe").c_str(), exe_.c_str(),
                          FALSE));
  }
  void TearDown() override {
    DeleteEntry();
    DeleteFileW(exe_.c_str());
    RemoveDirectoryW(folder_.c_str());
  }

  std::wstring folder_;
  std::wstring exe_;
};

TEST_F(RunEntryTest, StoresTheQuotedFullPathExactlyAndRemovesIt) {
  ASSERT_EQ(RunProgram(exe_, L"register"), 0);
  const auto value = Read(kRun, kName);
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
  const std::wstring expected = L"\"" + folder_ + L"\\Wedge Helper.exe\"";
  EXPECT_EQ(value->Text(), expected + L'\0');
  EXPECT_EQ(value->bytes.size(), (expected.size() + 1) * sizeof(wchar_t));

  ASSERT_EQ(RunProgram(exe_, L"remove"), 0);
  EXPECT_FALSE(Read(kRun, kName));
  ASSERT_EQ(RunProgram(exe_, L"remove"), 0) << "removing an absent entry is harmless";
  EXPECT_FALSE(Read(kRun, kName));
}

TEST_F(RunEntryTest, ARegistrationFollowsTheProgramToItsNewPlace) {
  ASSERT_EQ(RunProgram(exe_, L"register"), 0);
  const std::wstring moved = folder_ + L"\\moved.exe";
  ASSERT_TRUE(CopyFileW(exe_.c_str(), moved.c_str(), FALSE));
  ASSERT_EQ(RunProgram(moved, L"register"), 0);
  DeleteFileW(moved.c_str());
  const auto value = Read(kRun, kName);
  ASSERT_TRUE(value);
  EXPECT_EQ(value->Text(), L"\"" + moved + L"\"" + L'\0');
}

}  // namespace
