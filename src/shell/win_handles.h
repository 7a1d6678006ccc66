#pragma once
// Window-system handle types for adapter interfaces, without <windows.h>: the same incomplete
// structs that <windows.h> declares its handles with.

struct HWND__;
struct HICON__;
struct HMENU__;

namespace shell {
using WindowHandle = HWND__*;
using IconHandle = HICON__*;
using MenuHandle = HMENU__*;
}  // namespace shell
