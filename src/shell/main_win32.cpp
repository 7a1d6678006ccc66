// The program: one window (the settings window, hidden most of the time), an icon in the
// notification area, and the card reader whose cards are typed into the active window.

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/raii_win32.h"
#include "reader/com_reader.h"
#include "reader/reader_control.h"
#include "reader/reader_health.h"
#include "reader/reader_session.h"
#include "settings/app.h"
#include "settings/policies.h"
#include "settings/registry_settings.h"
#include "settings/settings_table.h"
#include "shell/dll_search.h"
#include "shell/form_model.h"
#include "shell/lifecycle.h"
#include "shell/message_box.h"
#include "shell/message_pump.h"
#include "shell/settings_window.h"
#include "shell/single_instance.h"
#include "shell/tray_icon.h"
#include "wedge/card_event.h"
#include "wedge/send_input_keys.h"

namespace shell {
namespace {

// Windows' announcements that may bring a missing reader back (dbt.h, pbt values).
constexpr WPARAM kDevNodesChanged = 0x0007;  // DBT_DEVNODES_CHANGED: a device came or went
constexpr WPARAM kResumeSuspend = 0x0007;    // PBT_APMRESUMESUSPEND: the user woke the PC
constexpr WPARAM kResumeAutomatic = 0x0012;  // PBT_APMRESUMEAUTOMATIC
// A reconnect asked for inside a reader event, done once the event has returned.
constexpr UINT kReconnectMessage = WM_APP + 0x10;
constexpr UINT_PTR kReconnectTimer = 1;
// Announcements come in bursts (one device brings several): the reader is tried again at most
// this often.
constexpr ULONGLONG kReconnectQuietMs = 3000;

// The program's one owner of everything that lives while it runs: the settings store, the
// window's controls (the model) and the window, the tray icon, the reader and its card handler.
// They are made in this order and go in the reverse one. The reader is never let go while one of
// its events is on the stack: a shut-down that a yield inside a card runs (log-off, a task
// manager, "Exit") leaves the reader to the end of the message loop.
class WedgeApp final : public LifecycleSteps, public WindowOwner, public reader::ReaderEvents,
                       public wedge::UserCue {
 public:
  WedgeApp()
      : store_(settings::MakeRegistrySettingsStore()),
        model_(*store_),
        window_(model_, this),
        keys_(this),
        lifecycle_(*this, [](const char* step) {
          // Only the step's name: nothing of a card is ever logged.
          OutputDebugStringA("ZANKeyboardWedge: a step failed: ");
          OutputDebugStringA(step);
          OutputDebugStringA("\n");
        }) {}

  ~WedgeApp() override { LetReaderGo(); }

  // Main: loads the window (running the start-up sequence), shows it and runs the message loop
  // until the program ends. The process's exit code.
  int Main() {
    // The window first, the controls after the start-up sequence: the icon is in the
    // notification area sooner, and the controls show the loaded choices from the start.
    if (!window_.CreateFrame()) return 1;
    if (!lifecycle_.Form_Load()) return 0;
    window_.CreateControls();
    window_.Show();

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (window_.hwnd() && IsDialogMessageW(window_.hwnd(), &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    // No event of the reader is on the stack any more.
    LetReaderGo();
    return 0;
  }

  // LifecycleSteps
  bool PreviousInstance() override {
    instance_ = std::make_unique<SingleInstance>(kInstanceName);
    if (!instance_->AlreadyRunning()) window_.MarkRunningCopy();
    return instance_->AlreadyRunning();
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
    // The reader control lives in this thread's single-threaded apartment; its events come
    // through the message loop. Entered here, not at start, so the icon does not wait for OLE.
    ole_.Enter();
    last_start_ = GetTickCount64();
    const std::optional<std::wstring> named =
        settings::ReadReaderControlPolicy(*settings::MakeRegistryPolicySource());
    msr_ = std::make_unique<reader::ComReader>(*this, reader::ReaderControlCandidates(named));
    handler_ = std::make_unique<wedge::CardEventHandler>(*msr_, model_, keys_, &DoEvents, this);
    session_.Start(*msr_);
    handler_->SetSentinelsTransmitted(session_.sentinels_transmitted());
    ShowReaderHealth();
  }
  void SaveSettings() override { settings::SaveSettings(*store_, model_, locked_); }
  void UpdateRunAtStartup() override {
    settings::SetRunAtStartup(model_.Value(Ctl::chkStartup) != 0);
  }
  void RemoveTrayIcon() override {
    if (tray_) tray_->Remove();
  }
  void StopReader() override {
    if (reader_events_ > 0) {
      stop_reader_later_ = true;  // at the end of the message loop, once the event has returned
      return;
    }
    StopAndRelease();
  }

  // reader::ReaderEvents
  void OnDataEvent(std::int32_t Status) override {
    {
      const EventScope scope(reader_events_);
      if (handler_) handler_->MSR1_DataEvent(Status);
    }
    AfterReaderEvent();
  }
  void OnErrorEvent(std::int32_t result, std::int32_t extended, std::int32_t locus) override {
    {
      const EventScope scope(reader_events_);
      if (handler_) handler_->MSR1_ErrorEvent(result, extended, locus);
    }
    AfterReaderEvent();
  }

  // wedge::UserCue
  void CardNotTyped() override { MessageBeep(MB_ICONWARNING); }

  // WindowOwner
  void mnuSettings_Click() override { window_.Show(); }
  void mnuExit_Click() override { ExitApp(); }
  void mnuReconnect_Click() override { Reconnect(); }
  void IconsChanged() override { if (tray_) tray_->ChangeImage(window_.SmallIcon(!health_.ready)); }

  // The window is being unloaded (exit command, log-off, a task manager): no card is typed any
  // more, the shut-down sequence runs, then the message loop ends.
  void Form_Unload(std::int16_t) override {
    unloading_ = true;
    if (window_.hwnd()) KillTimer(window_.hwnd(), kReconnectTimer);
    if (handler_) handler_->StopHandling();
    lifecycle_.Form_Unload();
    PostQuitMessage(0);
  }

  // Sees the window's messages first: the notification area's callbacks and its restart.
  bool PreviewMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override {
    switch (msg) {
      case WM_DEVICECHANGE:
        if (wparam == kDevNodesChanged) DevicesChanged();
        return false;  // Windows' own handling goes on
      case WM_POWERBROADCAST:
        if (wparam == kResumeSuspend || wparam == kResumeAutomatic) DevicesChanged();
        return false;
      case WM_TIMER:
        if (wparam != kReconnectTimer) return false;
        KillTimer(window_.hwnd(), kReconnectTimer);
        if (!health_.ready) Reconnect();
        return true;
      case kReconnectMessage: Reconnect(); return true;
      default: break;
    }
    if (!tray_) return false;
    if (tray_->OnTaskbarCreated(msg)) return true;
    if (!tray_->IsCallback(msg, lparam)) return false;
    Form_MouseMove(static_cast<std::uint32_t>(lparam));
    return true;
  }

 private:
  // Counts the reader's events on the stack while one runs.
  class EventScope {
   public:
    explicit EventScope(int& depth) : depth_(depth) { ++depth_; }
    ~EventScope() { --depth_; }
    EventScope(const EventScope&) = delete;
    EventScope& operator=(const EventScope&) = delete;

   private:
    int& depth_;
  };

  // A mouse action on the icon: a right-button press opens the menu, nothing else does.
  void Form_MouseMove(std::uint32_t mouse_message) {
    DoEvents();
    if (!OpensTrayMenu(mouse_message)) return;
    const unsigned chosen =
        ShowTrayMenu(window_.hwnd(), window_.PopupMenu(), SettingsWindow::kCmdSettings);
    if (chosen == SettingsWindow::kCmdSettings) mnuSettings_Click();
    if (chosen == SettingsWindow::kCmdReconnect) mnuReconnect_Click();
    if (chosen == SettingsWindow::kCmdExit) mnuExit_Click();
  }

  // Unloads the window, which runs the shut-down sequence, and ends the program at once: no
  // handler still on the stack (a card being escaped, say) resumes. Inside a reader event the
  // program ends when the message loop does, right after the event has returned and the reader
  // has been let go.
  void ExitApp() {
    window_.Unload(1);
    if (reader_events_ > 0) return;
    LetReaderGo();
    ExitProcess(0);
  }

  // The reader is opened, claimed and enabled afresh: the stop sequence (when it was opened),
  // the control let go, then the start sequence as at start, creating the control first (its
  // software may have been installed since). Never inside one of the reader's events: then once
  // the event has returned.
  void Reconnect() {
    if (unloading_ || !lifecycle_.loaded()) return;
    if (reader_events_ > 0) {
      reconnect_after_event_ = true;
      return;
    }
    if (msr_ && session_.opened()) session_.Stop(*msr_);
    handler_.reset();
    if (msr_) msr_->Release();
    msr_.reset();
    StartReader();
  }

  // A device came or went, or the PC woke up: a reader that is not ready is tried again, at most
  // once in kReconnectQuietMs; a reader that is ready is left alone. Within the quiet time a
  // one-off timer tries once it is over (a device just plugged in may need a moment).
  void DevicesChanged() {
    if (health_.ready || unloading_ || !lifecycle_.loaded()) return;
    const ULONGLONG since = GetTickCount64() - last_start_;
    if (since >= kReconnectQuietMs) {
      Reconnect();
    } else if (window_.hwnd()) {
      SetTimer(window_.hwnd(), kReconnectTimer, static_cast<UINT>(kReconnectQuietMs - since), nullptr);
    }
  }

  void AfterReaderEvent() {
    if (reader_events_ > 0 || !reconnect_after_event_) return;
    reconnect_after_event_ = false;
    // Still inside the control's call that raised the event: from the message loop.
    PostMessageW(window_.hwnd(), kReconnectMessage, 0, 0);
  }

  // The reader's state in the icon: its tip says what is wrong and the image is greyed while
  // the reader is not ready; no message box, which would stop a till started at log-on.
  void ShowReaderHealth() {
    health_ = reader::AssessReader(msr_->HasControl(), msr_->EventsConnected(), session_,
                                   msr_->Tried());
    if (tray_) tray_->Change(window_.SmallIcon(!health_.ready), reader::HealthTip(kTrayTip, health_));
  }

  void StopAndRelease() {
    if (!msr_) return;
    session_.Stop(*msr_);
    msr_->Release();
  }

  // Stops the reader if the shut-down left that for later; frees the handler and the reader.
  void LetReaderGo() {
    if (stop_reader_later_) {
      stop_reader_later_ = false;
      StopAndRelease();
    }
    handler_.reset();
    msr_.reset();
  }

  std::unique_ptr<settings::SettingsStore> store_;
  settings::LockedSettings locked_;  // by the policies, read once at start
  FormModel model_;
  SettingsWindow window_;
  wedge::SendInputKeys keys_;
  Lifecycle lifecycle_;
  std::unique_ptr<SingleInstance> instance_;
  std::unique_ptr<TrayIcon> tray_;
  platform::OleApartment ole_;  // left after the reader and its handler are gone
  std::unique_ptr<reader::ComReader> msr_;
  std::unique_ptr<wedge::CardEventHandler> handler_;
  reader::ReaderSession session_;
  reader::ReaderHealth health_;
  int reader_events_ = 0;               // the reader's events on the stack
  bool stop_reader_later_ = false;      // the shut-down ran inside one of them
  bool reconnect_after_event_ = false;  // so did a reconnect
  bool unloading_ = false;
  ULONGLONG last_start_ = 0;            // when the reader was last started
};

}  // namespace
}  // namespace shell

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  shell::RestrictDllSearch();
  shell::EnablePerMonitorDpiAwareness();
  shell::WedgeApp app;
  return app.Main();
}
