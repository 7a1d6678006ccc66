#include <windows.h>
#include <shellapi.h>

#include "e2e/program_fixture_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "type_target_client_win32.h"

namespace e2e {
namespace {

constexpr wchar_t kWindowClass[] = L"ZANKeyboardWedgeForm1";
constexpr wchar_t kWindowCaption[] = L"Halvane ZAN VORNEL - OPOS to K/B Wedge";
constexpr wchar_t kSimConfigVariable[] = L"ZAN_MSR_SIM_CONFIG";
constexpr wchar_t kPolicyKey[] = L"Software\\Policies\\Halvane\\ZANKeyboardWedge";
constexpr wchar_t kUserRulesKey[] = L"Software\\VB and VBA Program Settings\\ZANKeyboardWedge\\Targets";
constexpr wchar_t kPolicyRulesKey[] = L"Software\\Policies\\Halvane\\ZANKeyboardWedge\\Targets";

std::optional<std::wstring> ReadText(const wchar_t* subkey, const wchar_t* name, DWORD* type_out) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  DWORD type = 0, size = 0;
  std::optional<std::wstring> text;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&buffer[0]), &bytes) ==
        ERROR_SUCCESS) {
      buffer.resize(bytes / sizeof(wchar_t));
      while (!buffer.empty() && buffer.back() == L'\0') buffer.pop_back();
      text = buffer;
      if (type_out) *type_out = type;
    }
  }
  RegCloseKey(key);
  return text;
}

void WriteText(const wchar_t* subkey, const wchar_t* name, const std::wstring& text) {
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, subkey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot create the registry key";
    return;
  }
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

void DeleteValue(const wchar_t* subkey, const wchar_t* name) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, name);
  RegCloseKey(key);
}

bool WriteFileText(const std::wstring& path, const std::string& text) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(f);
  return ok && written == text.size();
}

std::string ReadFileText(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  std::string text;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(f, buffer, sizeof buffer, &n, nullptr) && n > 0) text.append(buffer, n);
  CloseHandle(f);
  return text;
}


std::wstring ClassOf(HWND hwnd) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  return name;
}

// A top-level window's caption: read without asking the window, which may be busy starting.
std::wstring CaptionOf(HWND hwnd) {
  wchar_t text[512] = {};
  GetWindowTextW(hwnd, text, 512);
  return text;
}

// A control's text: GetWindowText does not read the controls of another process.
std::wstring TextOf(HWND hwnd) {
  wchar_t text[512] = {};
  SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000,
                      nullptr);
  return text;
}

struct WindowSearch {
  DWORD pid = 0;  // 0: any process
  const wchar_t* class_name = nullptr;
  const wchar_t* caption = nullptr;  // nullptr: any caption
  std::vector<HWND> found;

  void Check(HWND hwnd) {
    if (pid != 0) {
      DWORD owner = 0;
      GetWindowThreadProcessId(hwnd, &owner);
      if (owner != pid) return;
    }
    if (ClassOf(hwnd) != class_name) return;
    if (caption && CaptionOf(hwnd) != caption) return;
    found.push_back(hwnd);
  }
};

BOOL CALLBACK CheckWindow(HWND hwnd, LPARAM search) {
  reinterpret_cast<WindowSearch*>(search)->Check(hwnd);
  return TRUE;
}

// Every window below `parent` (children of children too) of a class.
std::vector<HWND> ChildrenOfClass(HWND parent, const wchar_t* class_name) {
  WindowSearch search;
  search.class_name = class_name;
  EnumChildWindows(parent, CheckWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK AddTopLevel(HWND hwnd, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
  return TRUE;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> all;
  EnumWindows(AddTopLevel, reinterpret_cast<LPARAM>(&all));
  return all;
}

}  // namespace

std::wstring TempFile(const wchar_t* suffix) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  // With the start time: Wine hands a finished test's process ID on to later tests.
  static int serial = 0;
  static const ULONGLONG started = GetTickCount64();
  return std::wstring(dir) + L"zan-e2e-" + std::to_wstring(sizeof(void*) * 8) + L"-" +
         std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(started) + L"-" +
         std::to_wstring(++serial) + suffix;
}

std::string Narrow(const std::wstring& s) {
  std::string out;
  for (wchar_t c : s) out += static_cast<char>(c);
  return out;
}

StoredSettings ReadStoredSettings() {
  StoredSettings out;
  for (std::size_t i = 0; i < kSettingKeys.size(); ++i) out[i] = ReadText(kOptionsKey, kSettingKeys[i], nullptr);
  return out;
}

void WriteStoredSettings(const StoredSettings& settings) {
  for (std::size_t i = 0; i < kSettingKeys.size(); ++i) {
    if (settings[i]) {
      WriteText(kOptionsKey, kSettingKeys[i], *settings[i]);
    } else {
      DeleteValue(kOptionsKey, kSettingKeys[i]);
    }
  }
}

std::optional<std::wstring> ReadRunEntry(DWORD* type) { return ReadText(kRunKey, kRunValue, type); }
void WriteRunEntry(const std::wstring& text) { WriteText(kRunKey, kRunValue, text); }
void DeleteRunEntry() { DeleteValue(kRunKey, kRunValue); }

std::wstring ProgramExe() { return type_target::WinePath(ZAN_PROGRAM_EXE); }
std::wstring SwipeExe() { return type_target::WinePath(ZAN_SWIPE_EXE); }
std::wstring TypeTargetExe() { return type_target::WinePath(ZAN_TYPE_TARGET_EXE); }

StoredSettings Settings(const std::array<const wchar_t*, 10>& texts) {
  StoredSettings out;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (std::wstring(texts[i]) != L"-") out[i] = texts[i];
  }
  return out;
}

std::vector<HWND> WindowsOf(DWORD pid, const wchar_t* class_name, const wchar_t* caption) {
  WindowSearch search;
  search.pid = pid;
  search.class_name = class_name;
  search.caption = caption;
  for (HWND hwnd : TopLevelWindows()) search.Check(hwnd);
  return search.found;
}

std::vector<std::wstring> ChildTexts(HWND parent, const wchar_t* class_name) {
  std::vector<std::wstring> texts;
  for (HWND child : ChildrenOfClass(parent, class_name)) texts.push_back(TextOf(child));
  return texts;
}

HWND ChildWithText(HWND parent, const wchar_t* class_name, const std::wstring& text) {
  for (HWND child : ChildrenOfClass(parent, class_name)) {
    if (TextOf(child) == text) return child;
  }
  return nullptr;
}

bool TrayIconShown(HWND owner) {
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof(nid);
  nid.hWnd = owner;
  nid.uID = 1;
  nid.uFlags = 0;  // changes nothing: the program's own image and tip stay
  return Shell_NotifyIconW(NIM_MODIFY, &nid) != FALSE;
}

std::wstring TrayTip(HWND icon_window) {
  RECT r{};
  if (!GetWindowRect(icon_window, &r)) return L"";
  const std::string over_icon =
      "mousemove " + std::to_string((r.left + r.right) / 2) + " " + std::to_string((r.top + r.bottom) / 2);
  // The area's tip windows belong to its top-level window; the one that shows is the icon's.
  const HWND area = GetAncestor(icon_window, GA_ROOT);
  std::wstring tip;
  ULONGLONG hovered = 0;
  WaitFor(
      [&] {
        bool balloon = false;
        for (HWND top : TopLevelWindows()) {
          if (ClassOf(top) != L"tooltips_class32" || !IsWindowVisible(top)) continue;
          RECT b{};
          // A balloon the program shows (at any moment, a reader's change) keeps Wine's tray
          // from showing the tip: a click ends it, and its text is not the tip.
          if ((GetWindowLongW(top, GWL_STYLE) & TTS_BALLOON) && GetWindowRect(top, &b)) {
            type_target::Xdotool("mousemove " + std::to_string((b.left + b.right) / 2) + " " +
                                 std::to_string((b.top + b.bottom) / 2) + " click 1");
            balloon = true;
            continue;
          }
          const HWND owner = GetWindow(top, GW_OWNER);
          if (owner != icon_window && owner != area) continue;
          tip = TextOf(top);
          if (!tip.empty()) return true;
        }
        // The tip shows while the pointer rests on the icon; a move away first makes it a new
        // arrival. Again now and then: a busy machine may miss the first.
        if (balloon || GetTickCount64() - hovered > 1500) {
          type_target::Xdotool("mousemove 600 600");
          Sleep(200);
          type_target::Xdotool(over_icon);
          hovered = GetTickCount64();
        }
        return false;
      },
      8000);
  type_target::Xdotool("mousemove 600 600");
  return tip;
}

std::wstring ShownBalloon() {
  std::wstring text;
  WaitFor(
      [&] {
        for (HWND top : TopLevelWindows()) {
          RECT r{};
          if (ClassOf(top) != L"tooltips_class32" || !IsWindowVisible(top) ||
              !(GetWindowLongW(top, GWL_STYLE) & TTS_BALLOON) || !GetWindowRect(top, &r)) {
            continue;
          }
          text = TextOf(top);
          type_target::Xdotool("mousemove " + At({(r.left + r.right) / 2, (r.top + r.bottom) / 2}) + " click 1");
          return !text.empty();
        }
        return false;
      },
      8000);
  return text;
}

std::vector<HWND> TrayIconWindows() {
  // Wine 8 draws them in its X11 driver's stand-alone tray, later versions in explorer's.
  static const wchar_t* const kIconClasses[] = {L"__winex11_tray_icon", L"__wine_tray_icon"};
  std::vector<HWND> icons;
  for (HWND top : TopLevelWindows()) {
    for (const wchar_t* icon_class : kIconClasses) {
      for (HWND child : ChildrenOfClass(top, icon_class)) {
        if (IsWindowVisible(child)) icons.push_back(child);
      }
    }
  }
  return icons;
}

HWND AddedIcon(const std::vector<HWND>& icons_before) {
  std::vector<HWND> added;
  for (HWND icon : TrayIconWindows()) {
    if (std::find(icons_before.begin(), icons_before.end(), icon) == icons_before.end()) {
      added.push_back(icon);
    }
  }
  if (added.size() != 1) {
    ADD_FAILURE() << added.size() << " new icons in the notification area";
    return nullptr;
  }
  return added[0];
}

int Swipe(const std::wstring& args) {
  return type_target::RunProcess(L"\"" + SwipeExe() + L"\" " + args, 20000);
}

Program::Program(std::wstring exe)
    : exe_(std::move(exe)), config_(TempFile(L".cfg")), journal_(TempFile(L".journal")) {}

Program::~Program() {
  End();
  DeleteFileW(config_.c_str());
  DeleteFileW(journal_.c_str());
}

bool Program::Configure(const std::vector<std::string>& sim_config) {
  std::string config = "journal=" + Narrow(journal_) + "\n";
  for (const std::string& line : sim_config) config += line + "\n";
  return WriteFileText(config_, config);
}

bool Program::Start(const std::vector<std::string>& sim_config) {
  DeleteFileW(journal_.c_str());
  if (!Configure(sim_config)) {
    std::fprintf(stderr, "the reader's configuration was not written (%lu)\n", GetLastError());
    return false;
  }
  // The child inherits the variable; the reader it creates reads the file named there.
  SetEnvironmentVariableW(kSimConfigVariable, config_.c_str());
  // Under Wine a start has failed, rarely and without a cause to see: it says why and is tried
  // once more.
  if (process_) CloseHandle(process_);  // an earlier run that ended by itself
  process_ = nullptr;
  for (int attempt = 0; attempt < 2 && !process_; ++attempt) {
    process_ = type_target::StartProcess(L"\"" + exe_ + L"\"", &pid_);
    if (process_) break;
    std::fprintf(stderr, "the program did not start (%lu)\n", GetLastError());
    Sleep(500);
  }
  SetEnvironmentVariableW(kSimConfigVariable, nullptr);
  return process_ != nullptr;
}

bool Program::WaitReady(unsigned ms, bool with_reader) {
  return WaitFor(
      [&] {
        if (!Running()) return true;  // no use waiting for a program that ended
        if (!Window()) return false;
        if (!with_reader) return true;
        for (const std::string& line : Journal()) {
          // Data events on, the last step of the start: MSRLib.MSR's number, or the common
          // control objects'.
          if (line == "put 3 true" || line == "put 16 true") return true;
        }
        return false;
      },
      ms) &&
         Running();
}

std::optional<DWORD> Program::WaitExit(unsigned ms) {
  if (!process_ || WaitForSingleObject(process_, ms) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

bool Program::Running() const {
  return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

void Program::End() {
  if (!process_) return;
  if (Running()) {
    // Politely first: a killed instance leaves its icon behind, which slows the next start.
    if (HWND window = Window()) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0) {
      TerminateProcess(process_, 99);
      WaitForSingleObject(process_, 5000);
    }
  }
  CloseHandle(process_);
  process_ = nullptr;
}

HWND Program::Window() const {
  const std::vector<HWND> found = WindowsOf(pid_, kWindowClass, kWindowCaption);
  return found.empty() ? nullptr : found.front();
}

std::vector<std::string> Program::Journal() const {
  std::vector<std::string> lines;
  const std::string text = ReadFileText(journal_);
  std::size_t begin = 0;
  for (std::size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1) {
    lines.push_back(text.substr(begin, end - begin));
  }
  return lines;
}

void ProgramTest::SetUp() {
  saved_settings_ = ReadStoredSettings();
  saved_run_entry_ = ReadRunEntry();
  DeleteRunEntry();
}

void ProgramTest::TearDown() {
  // The programs first: each saves its settings as it ends.
  for (Program* program : started_) program->End();
  SetReaderControlPolicy(nullptr);
  SetTypingRules({});
  WriteStoredSettings(saved_settings_);
  // A Run entry left behind would start the program whenever the Wine prefix starts.
  if (saved_run_entry_) {
    WriteRunEntry(*saved_run_entry_);
  } else {
    DeleteRunEntry();
  }
}

void ProgramTest::StartWith(Program& program, const StoredSettings& settings,
                            const std::vector<std::string>& sim_config, bool with_reader) {
  WriteStoredSettings(settings);
  started_.push_back(&program);
  ASSERT_TRUE(program.Start(sim_config));
  ASSERT_TRUE(program.WaitReady(20000, with_reader)) << "the program did not open its reader";
}

void ProgramTest::SetReaderControlPolicy(const wchar_t* prog_id) {
  if (prog_id) WriteText(kPolicyKey, L"ReaderControl", prog_id);
  else DeleteValue(kPolicyKey, L"ReaderControl");
}

void ProgramTest::SetTypingRules(const TypingRules& user, const TypingRules& policy, const TypingRules& machine) {
  for (const auto& [subkey, rules] : {std::pair{kUserRulesKey, &user}, std::pair{kPolicyRulesKey, &policy}}) {
    RegDeleteKeyW(HKEY_CURRENT_USER, subkey);
    for (const auto& [name, data] : *rules) WriteText(subkey, name.c_str(), data);
  }
  // The computer's, in the registry's 64-bit view, where Group Policy writes it.
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kPolicyRulesKey, KEY_WOW64_64KEY, 0);
  HKEY key;
  if (machine.empty() || RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPolicyRulesKey, 0, nullptr, 0,
                                         KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr)) {
    return;
  }
  for (const auto& [name, data] : machine) {
    RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  }
  RegCloseKey(key);
}

void ProgramTest::ExpectShutDown(Program& program, HWND window, const StoredSettings& saved,
                                 bool run_entry, bool opos) {
  const std::optional<DWORD> code = program.WaitExit();
  ASSERT_TRUE(code.has_value()) << "the program did not end";
  EXPECT_EQ(*code, 0u);
  const StoredSettings stored = ReadStoredSettings();
  for (std::size_t i = 0; i < kSettingKeys.size(); ++i) {
    EXPECT_EQ(stored[i], saved[i]) << Narrow(kSettingKeys[i]);
  }
  DWORD type = 0;
  const std::optional<std::wstring> entry = ReadRunEntry(&type);
  if (run_entry) {
    ASSERT_TRUE(entry.has_value()) << "no log-on start entry";
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    // The executable's full path, quoted so that a folder with blanks starts the right file.
    EXPECT_EQ(*entry, L"\"" + ProgramExe() + L"\"");
  } else {
    EXPECT_FALSE(entry.has_value()) << Narrow(entry.value_or(L""));
  }
  EXPECT_FALSE(TrayIconShown(window)) << "the icon outlived the program";
  // A control's teardown, when it is configured to run the message loop, comes after the stop.
  std::vector<std::string> journal = program.Journal();
  journal.erase(std::remove_if(journal.begin(), journal.end(),
                               [](const std::string& l) { return l == "teardown 0" || l == "returned 0"; }),
                journal.end());
  ASSERT_GE(journal.size(), 3u);
  const std::vector<std::string> stop =
      opos ? std::vector<std::string>{"put 17 false", "call 38", "call 35"}
           : std::vector<std::string>{"put 4 false", "call 37", "call 35"};
  EXPECT_EQ(std::vector<std::string>(journal.end() - 3, journal.end()), stop);
}

// The popup menu the program has open, or nullptr.
HWND OpenMenu(const Program& program) {
  for (HWND menu : WindowsOf(program.pid(), L"#32768")) {
    if (IsWindowVisible(menu)) return menu;
  }
  return nullptr;
}

POINT Centre(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

std::string At(POINT p) { return std::to_string(p.x) + " " + std::to_string(p.y); }

// Presses and releases the right button over the program's icon, at the display, and returns
// the menu that opened.
HWND RightClickIcon(const Program& program, const std::vector<HWND>& icons_before) {
  HWND icon = AddedIcon(icons_before);
  if (!icon) return nullptr;
  EXPECT_TRUE(type_target::Xdotool("mousemove " + At(Centre(icon)) + " click 3"));
  HWND menu = nullptr;
  WaitFor([&] { return (menu = OpenMenu(program)) != nullptr; }, 5000);
  return menu;
}

void PressKeys(const std::vector<WORD>& keys, bool alt) {
  std::vector<INPUT> input;
  auto key = [&](WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    input.push_back(in);
  };
  if (alt) key(VK_MENU, false);
  for (WORD vk : keys) {
    key(vk, false);
    key(vk, true);
  }
  if (alt) key(VK_MENU, true);
  SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

}  // namespace e2e
