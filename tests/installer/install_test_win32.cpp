// The installer as a shop's IT uses it: installed silently for the whole machine, the installed
// program started under Group Policy, replaced by a rebuild and by a newer version, removed
// silently; the program's event-log source comes and goes with it.

#include <windows.h>
#include <msi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "e2e/program_fixture_win32.h"
#include "settings/policies.h"
#include "type_target_client_win32.h"

namespace {

using e2e::Program;
using e2e::Settings;
using e2e::StoredSettings;

// The product's identity across all its versions: changing it breaks every upgrade.
constexpr wchar_t kUpgradeCode[] = L"{000BD191-1B12-4FC2-8428-4F212005A158}";
constexpr wchar_t kWindowClass[] = L"ZANKeyboardWedgeForm1";

std::wstring Wide(const char* text) { return std::wstring(text, text + strlen(text)); }

// Runs msiexec with an action (/i, /x) on a package, silently: its exit code.
int Msiexec(const wchar_t* action, const char* package) {
  return type_target::RunProcess(L"msiexec.exe " + std::wstring(action) + L" \"" +
                                     type_target::WinePath(package) + L"\" /qn",
                                 180000);
}

// The installed products of our UpgradeCode, as their version texts.
std::vector<std::wstring> InstalledVersions(std::vector<std::wstring>* codes = nullptr) {
  std::vector<std::wstring> versions;
  wchar_t code[39];
  for (DWORD i = 0; MsiEnumRelatedProductsW(kUpgradeCode, 0, i, code) == ERROR_SUCCESS; ++i) {
    wchar_t version[64] = {};
    DWORD size = 64;
    MsiGetProductInfoW(code, L"VersionString", version, &size);
    versions.push_back(version);
    if (codes) codes->push_back(code);
  }
  return versions;
}

void UninstallEverything() {
  std::vector<std::wstring> codes;
  InstalledVersions(&codes);
  for (const std::wstring& code : codes) {
    type_target::RunProcess(L"msiexec.exe /x " + code + L" /qn", 180000);
  }
}

std::wstring Folder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

std::wstring InstallDir() { return Folder(CSIDL_PROGRAM_FILES) + L"\\ZAN Keyboard Wedge"; }
std::wstring InstalledExe() { return InstallDir() + L"\\ZANKeyboardWedge.exe"; }
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The Start-menu shortcuts of the product. Windows puts a per-machine product's in the common
// Start menu; Wine's installer puts it in the user's whatever the package says.
std::vector<std::wstring> Shortcuts() {
  std::vector<std::wstring> found;
  for (int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
    const std::wstring path = Folder(csidl) + L"\\ZAN Keyboard Wedge.lnk";
    if (Exists(path)) found.push_back(path);
  }
  return found;
}

std::wstring ShortcutTarget(const std::wstring& link) {
  std::wstring target;
  IShellLinkW* shell_link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&shell_link)))) {
    return target;
  }
  IPersistFile* file = nullptr;
  if (SUCCEEDED(shell_link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)) &&
        SUCCEEDED(shell_link->GetPath(path, MAX_PATH, nullptr, 0))) {
      target = path;
    }
    file->Release();
  }
  shell_link->Release();
  return target;
}

// The pixel sizes of the images of an executable's first icon (resource 1).
std::set<int> IconSizes(const std::wstring& exe) {
  std::set<int> sizes;
  HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return sizes;
  if (HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(1), RT_GROUP_ICON)) {
    const auto* group = static_cast<const BYTE*>(LockResource(LoadResource(module, info)));
    const DWORD bytes = SizeofResource(module, info);
    // A header of three WORDs (the count last), then 14 bytes per image, the width first.
    const WORD count = group && bytes >= 6 ? *reinterpret_cast<const WORD*>(group + 4) : 0;
    for (WORD i = 0; i < count && 6u + 14u * (i + 1u) <= bytes; ++i) {
      const BYTE width = group[6 + 14 * i];
      sizes.insert(width == 0 ? 256 : width);
    }
  }
  FreeLibrary(module);
  return sizes;
}

// The program's event-log source, if registered: its message file and its event types.
std::optional<std::pair<std::wstring, DWORD>> EventSource() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\ZANKeyboardWedge", 0,
                    KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  wchar_t file[MAX_PATH] = {};
  DWORD types = 0, file_bytes = sizeof file, types_bytes = sizeof types;
  RegGetValueW(key, nullptr, L"EventMessageFile", RRF_RT_REG_SZ, nullptr, file, &file_bytes);
  RegGetValueW(key, nullptr, L"TypesSupported", RRF_RT_REG_DWORD, nullptr, &types, &types_bytes);
  RegCloseKey(key);
  return std::make_pair(std::wstring(file), types);
}

// Policy values, in the view of the registry where Group Policy writes them.
void SetPolicy(HKEY root, const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(root, settings::kPolicyKeyPath, 0, nullptr, 0,
                            KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes);
  RegCloseKey(key);
}
void SetPolicy(HKEY root, const wchar_t* name, DWORD value) {
  SetPolicy(root, name, REG_DWORD, &value, sizeof value);
}
void ClearPolicies() {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    RegDeleteKeyExW(root, settings::kPolicyKeyPath, KEY_WOW64_64KEY, 0);
  }
}

class InstallerTest : public e2e::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    CoInitialize(nullptr);
    ClearPolicies();
    UninstallEverything();
  }
  void TearDown() override {
    UninstallEverything();
    ClearPolicies();
    CoUninitialize();
    ProgramTest::TearDown();
  }
};

TEST_F(InstallerTest, InstallsSilentlyAndTheInstalledProgramRunsWithItsIconUnderPolicy) {
  ASSERT_EQ(Msiexec(L"/i", ZAN_MSI), 0);
  EXPECT_EQ(InstalledVersions(), std::vector<std::wstring>{Wide(ZAN_VERSION)});
  EXPECT_EQ(FindWindowW(kWindowClass, nullptr), nullptr) << "the installation started the program";
  const std::wstring exe = InstalledExe();
  ASSERT_TRUE(Exists(exe));
  EXPECT_EQ(IconSizes(exe), (std::set<int>{16, 24, 32, 48}));
  EXPECT_EQ(EventSource(), std::make_pair(exe, DWORD{7}));
  const std::vector<std::wstring> shortcuts = Shortcuts();
  ASSERT_EQ(shortcuts.size(), 1u);
  EXPECT_EQ(CompareStringOrdinal(ShortcutTarget(shortcuts[0]).c_str(), -1, exe.c_str(), -1, TRUE),
            CSTR_EQUAL);

  // The machine's policy wins over the user's, a user's policy alone applies, a value of a type
  // the templates never write is ignored.
  SetPolicy(HKEY_LOCAL_MACHINE, L"SendSentinels", 0);
  SetPolicy(HKEY_CURRENT_USER, L"SendSentinels", 1);
  SetPolicy(HKEY_CURRENT_USER, L"CarriageReturn", 2);
  SetPolicy(HKEY_LOCAL_MACHINE, L"RunAtStartup", 0);
  const wchar_t text_one[] = L"1";
  SetPolicy(HKEY_LOCAL_MACHINE, L"HideOnStart", REG_SZ, text_one, sizeof text_one);
  const StoredSettings stored =
      Settings({L"1", L"0", L"False", L"True", L"False", L"1", L"1", L"1", L"True", L"False"});
  Program program(exe);
  StartWith(program, stored);
  HWND window = program.Window();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(e2e::WaitFor([&] { return e2e::TrayIconShown(window); }, 5000));

  struct Shown {
    const wchar_t* caption;
    bool checked, enabled;
  };
  const Shown shown[] = {
      {L"Do Not Send Sentinels", true, false},  {L"Send Sentinels", false, false},
      {L"Carriage Return with Card Data", true, false}, {L"No Carriage Return", false, false},
      {L"Run at Startup", false, false},        {L"Hide this form at startup", false, true},
      {L"Send Track2 to Active Window", true, true},
  };
  for (const Shown& s : shown) {
    SCOPED_TRACE(testing::Message() << std::string(s.caption, s.caption + wcslen(s.caption)));
    HWND control = nullptr;  // the controls come after the reader
    e2e::WaitFor([&] { return (control = e2e::ChildWithText(window, L"Button", s.caption)); }, 5000);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED, s.checked);
    EXPECT_EQ(IsWindowEnabled(control) != FALSE, s.enabled);
  }

  // At its end the program writes the choices it was free to change and leaves the locked ones
  // as the user stored them; the log-on entry follows the policy.
  PostMessageW(window, WM_CLOSE, 0, 0);
  ExpectShutDown(program, window, stored, false);
}

TEST_F(InstallerTest, ARebuildAndANewerVersionReplaceTheInstalledOneAndUninstallingLeavesTheUsersSettings) {
  ASSERT_EQ(Msiexec(L"/i", ZAN_MSI), 0);
  std::vector<std::wstring> before, after;
  InstalledVersions(&before);
  ASSERT_EQ(Msiexec(L"/i", ZAN_REBUILT_MSI), 0);
  EXPECT_EQ(InstalledVersions(&after), std::vector<std::wstring>{Wide(ZAN_VERSION)});
  EXPECT_NE(before, after) << "the rebuild with other files has the same ProductCode";
  ASSERT_EQ(Msiexec(L"/i", ZAN_NEXT_MSI), 0);
  EXPECT_EQ(InstalledVersions(), std::vector<std::wstring>{Wide(ZAN_NEXT_VERSION)});
  EXPECT_NE(Msiexec(L"/i", ZAN_MSI), 0) << "an older version went over a newer one";
  EXPECT_EQ(InstalledVersions(), std::vector<std::wstring>{Wide(ZAN_NEXT_VERSION)});
  EXPECT_TRUE(Exists(InstalledExe()));
  EXPECT_EQ(Shortcuts().size(), 1u);
  EXPECT_EQ(EventSource(), std::make_pair(InstalledExe(), DWORD{7}));

  const StoredSettings stored =
      Settings({L"0", L"1", L"True", L"False", L"False", L"1", L"0", L"0", L"False", L"True"});
  e2e::WriteStoredSettings(stored);
  const std::wstring entry = L"\"" + InstalledExe() + L"\"";
  e2e::WriteRunEntry(entry);
  ASSERT_EQ(Msiexec(L"/x", ZAN_NEXT_MSI), 0);
  EXPECT_TRUE(InstalledVersions().empty());
  EXPECT_FALSE(Exists(InstalledExe()));
  EXPECT_FALSE(Exists(InstallDir()));
  EXPECT_TRUE(Shortcuts().empty());
  EXPECT_EQ(EventSource(), std::nullopt);
  EXPECT_EQ(e2e::ReadStoredSettings(), stored);
  EXPECT_EQ(e2e::ReadRunEntry(), entry);
}

}  // namespace
