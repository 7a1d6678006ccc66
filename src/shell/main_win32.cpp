// The program: one window (the settings window, hidden most of the time), an icon in the
// notification area, and the card reader whose cards are typed into the active window.

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/raii_win32.h"
#include "reader/com_reader.h"
#include "reader/reader_control.h"
#include "reader/reader_health.h"
#include "reader/reader_session.h"
#include "settings/app.h"
#include "settings/policies.h"
#include "settings/registry_settings.h"
#include "settings/settings_table.h"
#include "settings/typing_rules.h"
#include "shell/device_news.h"
#include "shell/dll_search.h"
#include "shell/form_model.h"
#include "shell/lifecycle.h"
#include "shell/message_box.h"
#include "shell/message_pump.h"
#include "shell/event_log.h"
#include "shell/health_notice.h"
#include "shell/reader_owner.h"
#include "shell/restart.h"
#include "shell/rules_window.h"
#include "shell/settings_window.h"
#include "shell/single_instance.h"
#include "shell/tray_icon.h"
#include "wedge/card_event.h"
#include "wedge/ending.h"
#include "wedge/send_input_keys.h"
#include "wedge/typing_platform.h"
#include "wedge/typist.h"

namespace shell {
namespace {

// The PC woke from sleep (pbt values).
constexpr WPARAM kResumeSuspend = 0x0007;    // PBT_APMRESUMESUSPEND: the user woke the PC
constexpr WPARAM kResumeAutomatic = 0x0012;  // PBT_APMRESUMEAUTOMATIC
// Work for the reader, done from the message loop: a device announcement (its DeviceNews in
// wParam), and what waited for the reader's call or event to return.
constexpr UINT kDeviceNewsMessage = WM_APP + 0x10;
constexpr UINT kReaderWorkMessage = WM_APP + 0x11;
constexpr UINT_PTR kQuietTimer = 1;

std::vector<std::wstring> Arguments();

// The program's one owner of everything that lives while it runs: the settings store, the
// window's controls (the model) and the window, the typing of cards and the platform it types
// with, the tray icon and the reader's owner. They are made in this order and go in the reverse
// one. The program's end is one state, `ending_`: once it has begun, no card is handled or typed.
class WedgeApp final : public LifecycleSteps, public WindowOwner, public ReaderHost,
                       public wedge::UserCue {
 public:
  WedgeApp()
      : store_(settings::MakeRegistrySettingsStore()),
        model_(*store_),
        window_(model_, this),
        typist_(injector_, platform_, platform_, platform_, ending_, this, &settings::ReadTypingRules),
        lifecycle_(*this, [](const char* step) {
          // Only the step's name: nothing of a card is ever logged.
          OutputDebugStringA("ZANKeyboardWedge: a step failed: ");
          OutputDebugStringA(step);
          OutputDebugStringA("\n");
        }),
        reader_(*this, model_, typist_, &DoEvents, ending_, this) {
    platform_.Deliver(&typist_);
  }

  ~WedgeApp() override {
    reader_.Finish();
    typist_.Stop();
    platform_.Deliver(nullptr);
  }

  // Main: loads the window (running the start-up sequence), shows it and runs the message loop
  // until the program ends. The process's exit code.
  int Main() {
    // The window first, the controls after the start-up sequence: the icon is in the
    // notification area sooner, and the controls show the loaded choices from the start.
    if (!window_.CreateFrame()) return 1;
    if (!lifecycle_.Form_Load()) return 0;
    window_.CreateControls();
    // Started again by Windows after an update closed it: the window as the user left it.
    const std::optional<bool> restart = RestartWithWindowShown(Arguments());
    if (restart) model_.bFirstPaint = 0;
    if (restart.value_or(true)) window_.Show();
    restart_.WindowVisible(IsWindowVisible(window_.hwnd()) != FALSE);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (window_.hwnd() && IsDialogMessageW(window_.hwnd(), &msg)) continue;
      if (rules_window_.hwnd() && IsDialogMessageW(rules_window_.hwnd(), &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    // No call or event of the reader is on the stack any more.
    reader_.Finish();
    return 0;
  }

  // LifecycleSteps
  bool PreviousInstance() override {
    instance_ = std::make_unique<SingleInstance>(kInstanceName);
    const bool running = instance_->AlreadyRunning();
    if (!running) window_.MarkRunningCopy();
    return running;
  }
  // Once the user has read it, the running copy's window comes forward: that is what they
  // started the program for.
  void ShowAlreadyRunning() override {
    ShowMessage(L"Already Running");
    SettingsWindow::ShowRunningCopy();
  }
  void HideTestArea() override { model_.HideTestArea(); }
  void AddTrayIcon() override {
    tray_ = std::make_unique<TrayIcon>(window_.hwnd(), window_.SmallIcon());
    tray_->Add();  // refused: added when the taskbar comes up; cards are typed meanwhile
  }
  void LoadSettings() override {
    locked_ = settings::ReadPolicies(*settings::MakeRegistryPolicySource());
    settings::LoadSettings(*store_, model_, locked_);
  }
  void ArmFirstPaint() override { model_.bFirstPaint = -1; }
  void StartReader() override {
    devices_ = std::make_unique<DeviceNotifications>(window_.hwnd());
    reader_.Start();
  }
  void SaveSettings() override { settings::SaveSettings(*store_, model_, locked_); }
  void UpdateRunAtStartup() override {
    settings::SetRunAtStartup(model_.Value(Ctl::chkStartup) != 0);
  }
  void RemoveTrayIcon() override {
    if (tray_) tray_->Remove();
  }
  void StopReader() override { reader_.Stop(); }

  // ReaderHost
  std::unique_ptr<reader::ReaderControl> CreateControl(reader::ReaderEvents& events) override {
    // The reader control lives in this thread's single-threaded apartment; its events come
    // through the message loop. Entered here, not at start, so the icon does not wait for OLE.
    ole_.Enter();
    const std::optional<std::wstring> named =
        settings::ReadReaderControlPolicy(*settings::MakeRegistryPolicySource());
    return std::make_unique<reader::ComReader>(events, reader::ReaderControlCandidates(named));
  }
  void WorkWaiting() override {
    // Once the window is gone only the reader's stop waits, which the end of the message loop
    // does; a control's own message loop may have swallowed the request to end it.
    if (ending_.begun()) {
      PostQuitMessage(0);
      return;
    }
    PostMessageW(window_.hwnd(), kReaderWorkMessage, 0, 0);
  }
  void SetQuietTimer(unsigned ms) override {
    if (window_.hwnd()) SetTimer(window_.hwnd(), kQuietTimer, ms, nullptr);
  }
  std::uint64_t NowMs() override { return GetTickCount64(); }
  // The reader's state in the icon: its tip says what is wrong and the image is greyed while
  // the reader is not ready; no message box, which would stop a till started at log-on.
  // IT hears of it in the event log, the cashier from a balloon, once per change.
  void HealthChanged(const reader::ReaderHealth& health) override {
    if (tray_) tray_->Change(window_.SmallIcon(!health.ready), Tip());
    const std::optional<HealthNotice> notice = notices_.Next(health);
    if (!notice) return;
    WriteEventLog(*notice);
    if (notice->balloon && tray_) tray_->Notify(L"ZAN Keyboard Wedge", notice->words, notice->warning);
  }

  // wedge::UserCue
  void CardNotTyped() override { MessageBeep(MB_ICONWARNING); }
  void Trouble(wedge::TypingTrouble trouble, const std::wstring& program,
               const std::wstring& what) override {
    constexpr std::uint32_t kIds[] = {kEventRuleWrong,   kEventFieldMissing,  kEventWindowChanged,
                                      kEventPasteFailed, kEventWindowChanged, kEventKindRefused};
    WriteTypingEvent(kIds[static_cast<int>(trouble)], program, what);
    if (trouble != wedge::TypingTrouble::RuleWrong || rule_fault_ == program) return;
    rule_fault_ = program;
    if (tray_) tray_->Change(window_.SmallIcon(!reader_.health().ready), Tip());
  }
  // The verdict at a glance by the icon, with a sound of its own (none of them the cue's).
  void IdChecked(wedge::IdVerdict verdict, unsigned min_age) override {
    constexpr UINT kSounds[] = {MB_ICONASTERISK, MB_ICONHAND, MB_ICONQUESTION};
    MessageBeep(kSounds[static_cast<int>(verdict)]);
    const std::wstring notice = wedge::IdNotice(verdict, min_age);
    if (tray_) tray_->Notify(notice, notice, verdict != wedge::IdVerdict::OldEnough, true);
  }
  void RuleReadFine() override {
    if (!rule_fault_) return;
    rule_fault_.reset();
    if (tray_) tray_->Change(window_.SmallIcon(!reader_.health().ready), Tip());
  }

  // WindowOwner
  void mnuSettings_Click() override { window_.Show(); }
  void mnuRules_Click() override {
    if (!ending_.begun()) rules_window_.Show();
  }
  void mnuExit_Click() override { ExitApp(); }
  void mnuReconnect_Click() override {
    if (!ending_.begun() && lifecycle_.loaded()) reader_.Reconnect();
  }
  void IconsChanged() override {
    if (tray_) tray_->ChangeImage(window_.SmallIcon(!reader_.health().ready));
  }

  // The window is being unloaded (exit command, log-off, a task manager): no card is typed any
  // more, the shut-down sequence runs, then the message loop ends.
  void Form_Unload(std::int16_t) override {
    ending_.Begin();
    typist_.Stop();  // a card being typed stops here, what waits is wiped, the clipboard given back
    rules_window_.Close();
    if (window_.hwnd()) KillTimer(window_.hwnd(), kQuietTimer);
    devices_.reset();
    lifecycle_.Form_Unload();
    PostQuitMessage(0);
  }

  // Sees the window's messages first: the notification area's callbacks and its restart.
  bool PreviewMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override {
    switch (msg) {
      // Sent, and perhaps while the program is inside the reader: the work is posted.
      case WM_DEVICECHANGE:
        if (const std::optional<DeviceNews> news = ReadDeviceChange(wparam, lparam)) {
          PostMessageW(window_.hwnd(), kDeviceNewsMessage, static_cast<WPARAM>(*news), 0);
        }
        return false;  // Windows' own handling goes on
      case WM_POWERBROADCAST:
        if (wparam == kResumeSuspend || wparam == kResumeAutomatic) {
          PostMessageW(window_.hwnd(), kDeviceNewsMessage,
                       static_cast<WPARAM>(DeviceNews::Resumed), 0);
        }
        return false;
      case kDeviceNewsMessage:
        if (!ending_.begun() && lifecycle_.loaded() &&
            wparam <= static_cast<WPARAM>(DeviceNews::Resumed)) {
          reader_.DeviceAnnounced(static_cast<DeviceNews>(wparam));
        }
        return true;
      case kReaderWorkMessage:
        reader_.RunWaitingWork();
        return true;
      case WM_WINDOWPOSCHANGED: {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lparam);
        if (pos->flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW)) {
          restart_.WindowVisible((pos->flags & SWP_SHOWWINDOW) != 0);
        }
        return false;
      }
      case WM_TIMER:
        if (wparam != kQuietTimer) return false;
        KillTimer(window_.hwnd(), kQuietTimer);
        reader_.QuietTimeElapsed();
        return true;
      default: break;
    }
    if (!tray_) return false;
    if (tray_->OnTaskbarCreated(msg)) return true;
    if (!tray_->IsCallback(msg, lparam)) return false;
    Form_MouseMove(static_cast<std::uint32_t>(lparam));
    return true;
  }

 private:
  // The icon's tip: a wrong typing rule first, which keeps cards from being typed, else the
  // reader's state.
  std::wstring Tip() {
    if (rule_fault_) return std::wstring(kTrayTip) + L" - typing rule for " + *rule_fault_ + L" is wrong";
    return reader::HealthTip(kTrayTip, reader_.health());
  }

  // A mouse action on the icon: a right-button press opens the menu, nothing else does.
  void Form_MouseMove(std::uint32_t mouse_message) {
    DoEvents();
    if (!OpensTrayMenu(mouse_message)) return;
    const unsigned chosen =
        ShowTrayMenu(window_.hwnd(), window_.PopupMenu(), SettingsWindow::kCmdSettings);
    if (chosen == SettingsWindow::kCmdSettings) mnuSettings_Click();
    if (chosen == SettingsWindow::kCmdRules) mnuRules_Click();
    if (chosen == SettingsWindow::kCmdReconnect) mnuReconnect_Click();
    if (chosen == SettingsWindow::kCmdExit) mnuExit_Click();
  }

  // Unloads the window, which runs the shut-down sequence, and ends the program at once: no
  // handler still on the stack (a card being escaped, say) resumes. Inside a call or event of
  // the reader the program ends when the message loop does, once the reader may be let go.
  void ExitApp() {
    window_.Unload(1);
    if (reader_.busy()) return;
    reader_.Finish();
    ExitProcess(0);
  }

  std::unique_ptr<settings::SettingsStore> store_;
  settings::LockedSettings locked_;  // by the policies, read once at start
  FormModel model_;
  SettingsWindow window_;
  wedge::Ending ending_;
  wedge::SendInputKeys injector_;
  wedge::TypingPlatform platform_;
  wedge::Typist typist_;
  Lifecycle lifecycle_;
  std::unique_ptr<SingleInstance> instance_;
  std::unique_ptr<TrayIcon> tray_;
  platform::OleApartment ole_;  // left after the reader is gone
  ReaderOwner reader_;
  std::unique_ptr<DeviceNotifications> devices_;
  // How the settings window frames a card now, for the typing rules' previews.
  RulesWindow rules_window_{[this] {
    Framing f;
    for (int t = 0; t < 3; ++t) f.tracks[t] = model_.Value(optTrkFix(t)) == 1;
    f.sentinels = model_.Value(Ctl::optSentinel0) != 0;
    f.enter_per_track = model_.Value(Ctl::optCR0) != 0;
    f.enter_per_card = model_.Value(Ctl::optCR2) != 0;
    return f;
  }};
  HealthNotices notices_;
  // An update's restart manager closes the program and starts it again with these arguments;
  // not after a hang, nor after a reboot, where the log-on entry starts it. After a crash it is
  // started again too, on purpose: a till whose wedge has gone types no card until someone
  // notices, and Windows restarts a program only once it has run 60 s, so a crash at every
  // start does not loop.
  RestartRegistration restart_{[](const wchar_t* args) {
    RegisterApplicationRestart(args, RESTART_NO_HANG | RESTART_NO_REBOOT);
  }};
  std::optional<std::wstring> rule_fault_;  // the program whose typing rule is wrong
};

// The command line's arguments after the program's own name.
std::vector<std::wstring> Arguments() {
  std::vector<std::wstring> args;
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!argv) return args;
  for (int i = 1; i < count; ++i) args.emplace_back(argv[i]);
  LocalFree(argv);
  return args;
}

}  // namespace
}  // namespace shell

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  shell::RestrictDllSearch();
  shell::EnablePerMonitorDpiAwareness();
  shell::WedgeApp app;
  return app.Main();
}
