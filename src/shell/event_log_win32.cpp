#include <windows.h>

#include "settings/app.h"
#include "shell/event_log.h"

namespace shell {

void WriteEventLog(const HealthNotice& notice) {
  HANDLE log = RegisterEventSourceW(nullptr, settings::kAppTitle);
  if (!log) return;  // deliberately quiet: the icon tells the cashier anyway
  const wchar_t* strings[] = {notice.words.c_str(), notice.control.c_str()};
  ReportEventW(log, notice.warning ? EVENTLOG_WARNING_TYPE : EVENTLOG_INFORMATION_TYPE, 0,
               notice.event_id, nullptr, 2, 0, strings, nullptr);
  DeregisterEventSource(log);
}

void WriteTypingEvent(std::uint32_t event_id, const std::wstring& program, const std::wstring& what) {
  HANDLE log = RegisterEventSourceW(nullptr, settings::kAppTitle);
  if (!log) return;  // deliberately quiet: the cashier heard the cue
  const wchar_t* strings[] = {program.c_str(), what.c_str()};
  ReportEventW(log, EVENTLOG_WARNING_TYPE, 0, event_id, nullptr, 2, 0, strings, nullptr);
  DeregisterEventSource(log);
}

}  // namespace shell
