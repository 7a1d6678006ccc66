#pragma once
// The window system's handle types as <windows.h> declares them, so the declarations of the
// Windows adapters can name them without including it.

struct HWND__;
typedef HWND__* HWND;
struct HMENU__;
typedef HMENU__* HMENU;
struct HICON__;
typedef HICON__* HICON;
