#include "shell/device_news.h"

#include <windows.h>
#include <dbt.h>

namespace shell {

DeviceNotifications::DeviceNotifications(void* hwnd) {
  DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
  filter.dbcc_size = sizeof(filter);
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  handle_ = RegisterDeviceNotificationW(
      static_cast<HWND>(hwnd), &filter,
      DEVICE_NOTIFY_WINDOW_HANDLE | DEVICE_NOTIFY_ALL_INTERFACE_CLASSES);
}

DeviceNotifications::~DeviceNotifications() {
  if (handle_) UnregisterDeviceNotification(handle_);
}

std::optional<DeviceNews> ReadDeviceChange(std::uintptr_t wparam, std::intptr_t lparam) {
  if (wparam == DBT_DEVNODES_CHANGED) return DeviceNews::NodesChanged;
  if (wparam != DBT_DEVICEARRIVAL && wparam != DBT_DEVICEREMOVECOMPLETE) return std::nullopt;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lparam);
  if (!header || header->dbch_size < sizeof(DEV_BROADCAST_HDR)) return std::nullopt;
  if (header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE &&
      header->dbch_devicetype != DBT_DEVTYP_PORT) {
    return std::nullopt;
  }
  return wparam == DBT_DEVICEARRIVAL ? DeviceNews::Arrived : DeviceNews::Removed;
}

}  // namespace shell
