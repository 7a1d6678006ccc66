#pragma once
// What the typing target shares with the program that types into it: a block of memory and an
// event, both named after the name given on its command line.

#include <cstdint>
#include <string>

namespace type_target {

// Messages the target's main window takes (WM_APP + n).
constexpr unsigned kArm = 0x8001;    // wParam: the text length to wait for; empties the box
constexpr unsigned kFocus = 0x8002;  // brings the window to the front, the focus into the box
constexpr unsigned kSetClipboard = 0x8003;  // puts Shared::clipboard on the clipboard as text

constexpr int kMaxStamps = 8192;
constexpr int kMaxPasted = 2048;

// The clipboard formats that keep a text out of clipboard history, the cloud clipboard and
// clipboard monitors, as bits of Shared::paste_formats.
constexpr std::int32_t kExcludeFromMonitors = 1;  // ExcludeClipboardContentFromMonitorProcessing
constexpr std::int32_t kNoHistory = 2;            // CanIncludeInClipboardHistory, DWORD 0
constexpr std::int32_t kNoCloud = 4;              // CanUploadToCloudClipboard, DWORD 0

struct Shared {
  volatile std::int32_t ready;         // 1 once the box exists and has the focus
  volatile std::int32_t expected;      // the length being waited for; 0 when not armed
  volatile std::int32_t length;        // the box's text length at the last change
  volatile std::int64_t first_change;  // QueryPerformanceCounter at the first change after arming
  volatile std::int64_t done;          // ... when the text reached the expected length
  std::uint64_t main_window;           // HWND of the target's top-level window
  std::uint64_t edit;                  // HWND of its box
  // Filled by the --chars box only, emptied by kArm.
  volatile std::int32_t stamp_count;   // characters stamped (Enter counts once)
  // The message time (GetMessageTime, ms) of the key that typed each character: when it came
  // into the box's input queue, however late the box then took it.
  volatile std::int64_t stamps[kMaxStamps];
  volatile std::int32_t packets;       // keys that came as Unicode key events (VK_PACKET)
  volatile std::int32_t pastes;        // Ctrl+V received
  volatile std::int32_t paste_formats; // kExclude... bits present at every Ctrl+V (-1: none yet)
  wchar_t pasted[kMaxPasted];          // the clipboard texts pasted, one after another
  wchar_t clipboard[kMaxPasted];       // the text kSetClipboard puts on the clipboard
  // --paste-hold: while set, the box keeps the clipboard open after it has read a paste.
  volatile std::int32_t hold_paste;
  volatile std::int32_t holding;       // 1 while it does
  // --clipboard-tool: the texts read at each change of the clipboard, "|" after each ("-" for no
  // text), and how many.
  volatile std::int32_t clipboard_reads;
  wchar_t clipboard_seen[kMaxPasted];
};

inline std::wstring MappingName(const std::wstring& name) { return L"Local\\ZanTypeTarget." + name; }
inline std::wstring DoneEventName(const std::wstring& name) { return L"Local\\ZanTypeTargetDone." + name; }

}  // namespace type_target
