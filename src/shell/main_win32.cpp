// The program: one window (the settings window, hidden most of the time), an icon in the
// notification area, and the card reader whose cards are typed into the active window.

#include <windows.h>
#include <ole2.h>

#include <memory>

#include "reader/com_reader.h"
#include "reader/reader_session.h"
#include "settings/app.h"
#include "settings/registry_settings.h"
#include "settings/settings_table.h"
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

// This thread's OLE apartment, entered once and left when the program ends.
class OleApartment {
 public:
  OleApartment() = default;
  OleApartment(const OleApartment&) = delete;
  OleApartment& operator=(const OleApartment&) = delete;
  ~OleApartment() {
    if (entered_) OleUninitialize();
  }
  void Enter() {
    if (!entered_) entered_ = SUCCEEDED(OleInitialize(nullptr));
  }

 private:
  bool entered_ = false;
};

class WedgeApp final : public LifecycleSteps {
 public:
  WedgeApp()
      : store_(settings::MakeRegistrySettingsStore()),
        model_(*store_),
        window_(model_),
        lifecycle_(*this, [](const char* step) {
          // Only the step's name: nothing of a card is ever logged.
          OutputDebugStringA("ZANKeyboardWedge: a step failed: ");
          OutputDebugStringA(step);
          OutputDebugStringA("\n");
        }) {}

  // Main: loads the window (running the start-up sequence), shows it and runs the message loop
  // until the program ends. The process's exit code.
  int Main() {
    // The window first, the controls after the start-up sequence: the icon is in the
    // notification area sooner, and the controls show the loaded choices from the start.
    if (!window_.CreateFrame()) return 1;
    window_.on_settings = [this] { mnuSettings_Click(); };
    window_.on_exit = [this] { mnuExit_Click(); };
    window_.on_unload = [this](std::int16_t) { Form_Unload(); };
    window_.on_message = [this](unsigned msg, std::uintptr_t, std::intptr_t lparam) {
      return OnWindowMessage(msg, lparam);
    };
    if (!lifecycle_.Form_Load()) return 0;
    window_.CreateControls();
    window_.Show();

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (window_.hwnd() && IsDialogMessageW(window_.hwnd(), &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    return 0;
  }

  // LifecycleSteps
  bool PreviousInstance() override {
    instance_ = std::make_unique<SingleInstance>(kInstanceName);
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
  void LoadSettings() override { settings::LoadSettings(*store_, model_); }
  void ArmFirstPaint() override { model_.bFirstPaint = -1; }
  void StartReader() override {
    // The reader control lives in this thread's single-threaded apartment; its events come
    // through the message loop. Entered here, not at start, so the icon does not wait for OLE.
    ole_.Enter();
    msr_ = std::make_unique<reader::ComReader>([this](std::int32_t Status) {
      if (handler_) handler_->MSR1_DataEvent(Status);
    });
    handler_ = std::make_unique<wedge::CardEventHandler>(*msr_, model_, keys_, &DoEvents);
    session_.Start(*msr_);
  }
  void SaveSettings() override { settings::SaveSettings(*store_, model_); }
  void UpdateRunAtStartup() override {
    settings::SetRunAtStartup(model_.Value(Ctl::chkStartup) != 0);
  }
  void RemoveTrayIcon() override {
    if (tray_) tray_->Remove();
  }
  void StopReader() override {
    if (!msr_) return;
    session_.Stop(*msr_);
    msr_->Release();
  }

 private:
  // The window is being unloaded (exit command, log-off, a task manager): the shut-down
  // sequence, then the message loop ends.
  void Form_Unload() {
    lifecycle_.Form_Unload();
    PostQuitMessage(0);
  }

  // Sees the window's messages first: the notification area's callbacks and its restart.
  bool OnWindowMessage(unsigned msg, std::intptr_t lparam) {
    if (!tray_) return false;
    if (tray_->OnTaskbarCreated(msg)) return true;
    if (!tray_->IsCallback(msg, lparam)) return false;
    Form_MouseMove(static_cast<std::uint32_t>(lparam));
    return true;
  }

  // A mouse action on the icon: a right-button press opens the menu, nothing else does.
  void Form_MouseMove(std::uint32_t mouse_message) {
    DoEvents();
    if (!OpensTrayMenu(mouse_message)) return;
    const unsigned chosen =
        ShowTrayMenu(window_.hwnd(), window_.PopupMenu(), SettingsWindow::kCmdSettings);
    if (chosen == SettingsWindow::kCmdSettings) mnuSettings_Click();
    if (chosen == SettingsWindow::kCmdExit) mnuExit_Click();
  }

  void mnuSettings_Click() { window_.Show(); }
  void mnuExit_Click() { ExitApp(); }

  // Unloads the window, which runs the shut-down sequence, and ends the program at once: no
  // handler still on the stack (a card being escaped, say) resumes.
  void ExitApp() {
    window_.Unload(1);
    ExitProcess(0);
  }

  std::unique_ptr<settings::SettingsStore> store_;
  FormModel model_;
  SettingsWindow window_;
  Lifecycle lifecycle_;
  std::unique_ptr<SingleInstance> instance_;
  std::unique_ptr<TrayIcon> tray_;
  wedge::SendInputKeys keys_;
  OleApartment ole_;  // left after the reader and its handler are gone
  std::unique_ptr<reader::ComReader> msr_;
  std::unique_ptr<wedge::CardEventHandler> handler_;
  reader::ReaderSession session_;
};

}  // namespace
}  // namespace shell

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  shell::EnablePerMonitorDpiAwareness();
  shell::WedgeApp app;
  return app.Main();
}
