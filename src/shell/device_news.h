#pragma once
// Windows' announcements about the PC's devices, as the reader's owner hears them.

#include <cstdint>
#include <optional>

#include "shell/reader_owner.h"

namespace shell {

// Asks Windows for the arrival and removal of every device interface, besides the device tree's
// changes every top-level window hears; undone when it goes.
class DeviceNotifications {
 public:
  explicit DeviceNotifications(void* hwnd);
  ~DeviceNotifications();
  DeviceNotifications(const DeviceNotifications&) = delete;
  DeviceNotifications& operator=(const DeviceNotifications&) = delete;

 private:
  void* handle_ = nullptr;
};

// What a WM_DEVICECHANGE says, or nothing for what does not concern a reader (volumes, handles,
// queries). Arrivals and removals count for device interfaces and ports only.
std::optional<DeviceNews> ReadDeviceChange(std::uintptr_t wparam, std::intptr_t lparam);

}  // namespace shell
