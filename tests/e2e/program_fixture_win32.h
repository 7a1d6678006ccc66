#pragma once
// The real program under Wine, driven from outside as a user, a shop's IT and Windows would drive
// it: stored settings written before it starts, cards swiped on the simulated reader, the tray
// icon clicked at the display, the window sent the messages its frame and Windows send. Every
// test ends the program it started and puts back the registry values it touched.

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

// The ten stored settings, in the order the program loads and saves them.
inline constexpr std::array<const wchar_t*, 10> kSettingKeys = {
    L"StartUp", L"HideOnStart", L"CR0", L"CR1", L"CR2", L"Trk0", L"Trk1", L"Trk2", L"Sent1", L"Sent2"};

inline constexpr wchar_t kOptionsKey[] =
    L"Software\\VB and VBA Program Settings\\ZANKeyboardWedge\\Options";
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValue[] = L"ZANKeyboardWedge";

// Stored texts per key; a key without a text is absent from the store.
using StoredSettings = std::array<std::optional<std::wstring>, kSettingKeys.size()>;

// Typing rules as they sit under a Targets key: a program's file name (or "*") and its data.
using TypingRules = std::vector<std::pair<std::wstring, std::wstring>>;

// What the store holds under the program's Options key now (absent keys empty).
StoredSettings ReadStoredSettings();
// Replaces the Options key's ten values by `settings` (absent ones deleted).
void WriteStoredSettings(const StoredSettings& settings);
// The log-on start entry's text, if it exists as a REG_SZ value; `type` gets its type.
std::optional<std::wstring> ReadRunEntry(DWORD* type = nullptr);
void WriteRunEntry(const std::wstring& text);
void DeleteRunEntry();

// A text for a failure message (only the low byte of each character).
std::string Narrow(const std::wstring& s);

// A temporary file name ending in `suffix`, new to every call, test and run.
std::wstring TempFile(const wchar_t* suffix);

// The executables under test, as Wine paths.
std::wstring ProgramExe();
std::wstring SwipeExe();
std::wstring TypeTargetExe();

// Polls `done` every 20 ms until it holds or `ms` have passed.
template <typename Done>
bool WaitFor(Done done, unsigned ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    if (done()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(20);
  }
}

// The top-level windows of a process with a class (and, when given, a caption).
std::vector<HWND> WindowsOf(DWORD pid, const wchar_t* class_name, const wchar_t* caption = nullptr);
// The texts of a window's children of a class.
std::vector<std::wstring> ChildTexts(HWND parent, const wchar_t* class_name);
HWND ChildWithText(HWND parent, const wchar_t* class_name, const std::wstring& text);

// True while the notification area holds the icon that `owner` added under identifier 1 (only
// an existing icon can be modified; the modification changes nothing).
bool TrayIconShown(HWND owner);
// The tip of a notification-area icon, read from the tip window that shows while the pointer
// rests on the icon's window (see TrayIconWindows); empty when none showed.
std::wstring TrayTip(HWND icon_window);
// The text of a balloon that shows by the notification area (clicked away then, so that the next
// one can show); empty when none showed within 8 s.
std::wstring ShownBalloon();
// The windows of the notification area's icons (Wine draws each in a window of its own).
std::vector<HWND> TrayIconWindows();
// The window of the icon a program added: the one icon window not among `icons_before`.
HWND AddedIcon(const std::vector<HWND>& icons_before);

// Presses and releases keys (virtual-key codes), as the keyboard does, for the window that has the
// keyboard; with `alt`, Alt is held down for them.
void PressKeys(const std::vector<WORD>& keys, bool alt = false);

// Runs msr-swipe with `args`; its exit code (0: the card was taken), -1 when it did not run.
int Swipe(const std::wstring& args);

// One run of ZANKeyboardWedge.exe, with the simulated reader journalling to a file of its own.
class Program {
 public:
  // `exe`: the executable to run, the build's by default (an installed copy, say).
  explicit Program(std::wstring exe = ProgramExe());
  ~Program();  // ends the program if it still runs
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Starts the program, the simulated reader configured with `sim_config` lines besides its
  // journal (e.g. "nodevice"); false when it could not be started.
  bool Start(const std::vector<std::string>& sim_config = {});
  // Rewrites the reader's configuration, for a reader the program creates later (a reconnect).
  bool Configure(const std::vector<std::string>& sim_config);
  // Waits until its window exists and (`with_reader`) its reader is enabled: the program is
  // ready for cards.
  bool WaitReady(unsigned ms = 20000, bool with_reader = true);
  // Waits until it has ended; its exit code then, or nullopt.
  std::optional<DWORD> WaitExit(unsigned ms = 15000);
  bool Running() const;
  // Ends it as a task manager would (WM_CLOSE), and kills it when it does not end.
  void End();

  DWORD pid() const { return pid_; }
  HANDLE process() const { return process_; }
  // The program's settings window (found by class and process), or nullptr.
  HWND Window() const;
  // The calls the simulated reader received, e.g. "call 34 \"ZANKeyboardWedge\"", "put 4 true".
  std::vector<std::string> Journal() const;

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
  std::wstring exe_, config_, journal_;
};

// The popup menu the program has open, or nullptr.
HWND OpenMenu(const Program& program);
POINT Centre(HWND window);
// A point as xdotool takes it ("x y").
std::string At(POINT p);
// Presses and releases the right button over the program's icon, at the display, and returns
// the menu that opened.
HWND RightClickIcon(const Program& program, const std::vector<HWND>& icons_before);

// Copies of the typing target under the file names of other programs, in a folder of their own
// that goes with them.
class ProgramCopies {
 public:
  ProgramCopies() { CreateDirectoryW(dir_.c_str(), nullptr); }
  ~ProgramCopies() {
    for (const std::wstring& name : names_) DeleteFileW((dir_ + name).c_str());
    RemoveDirectoryW(dir_.c_str());
  }
  // The path of the copy named `name`, made on first use.
  std::wstring Of(const std::wstring& name) {
    if (CopyFileW(TypeTargetExe().c_str(), (dir_ + name).c_str(), TRUE)) names_.push_back(name);
    return dir_ + name;
  }

 private:
  std::wstring dir_ = TempFile(L"\\");
  std::vector<std::wstring> names_;
};

// The steps every test of the program shares.
class ProgramTest : public ::testing::Test {
 protected:
  // Keeps the values a test may touch; the Run entry starts absent.
  void SetUp() override;
  // Ends every program still running and puts the values back.
  void TearDown() override;

  // Starts `program` with `settings` stored and waits until it is ready for cards.
  void StartWith(Program& program, const StoredSettings& settings,
                 const std::vector<std::string>& sim_config = {}, bool with_reader = true);

  // The shut-down sequence has run to its end and the process is gone: all ten settings as
  // `saved`, the log-on start entry written (`run_entry`) or removed, the icon of `window` gone,
  // the reader disabled, released and closed as its last calls (by the numbers of OPOS.MSR when
  // `opos`, else of MSRLib.MSR).
  void ExpectShutDown(Program& program, HWND window, const StoredSettings& saved, bool run_entry,
                      bool opos = false);

  // Names the reader control to create by the user's ReaderControl policy (nullptr: none);
  // removed again when the test ends.
  void SetReaderControlPolicy(const wchar_t* prog_id);
  // Writes the user's typing rules, the user's policy list of them and the computer's (an empty
  // list: no key); the keys are removed again when the test ends.
  void SetTypingRules(const TypingRules& user, const TypingRules& policy = {}, const TypingRules& machine = {});

 private:
  std::vector<Program*> started_;  // by StartWith; ended before the values are put back
  StoredSettings saved_settings_;
  std::optional<std::wstring> saved_run_entry_;
};

// Settings from ten texts in key order; "-" leaves a key absent.
StoredSettings Settings(const std::array<const wchar_t*, 10>& texts);

}  // namespace e2e
